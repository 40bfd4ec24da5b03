#pragma once

#include <functional>
#include <string>

#include "ui/control.h"
#include "ui/event.h"

namespace velorin::ui {

// A push button. The default button is the one Enter presses (Window::PressEnter),
// the cancel button the one Esc presses (Window::PressEsc); both come from the layout.
class CommandButton : public Control {
  public:
    static constexpr ControlKind kKind = ControlKind::CommandButton;
    CommandButton(Window& window, const ControlLayout& layout);

    const std::string& Caption() const { return CaptionText(); }
    void SetCaption(std::string caption) { SetCaptionText(std::move(caption)); }
    bool Default() const { return m_default; }
    bool Cancel() const { return m_cancel; }

    // Runs the Click handler: a person's press, or the program pressing it. It does
    // not look at Enabled; a toolkit lets a person press only an interactive button.
    void Click();

    void OnClick(std::function<void()> handler) { m_click.Set(std::move(handler)); }

  private:
    const bool m_default;
    const bool m_cancel;
    Event m_click;
};

}  // namespace velorin::ui
