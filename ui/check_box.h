#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "ui/control.h"
#include "ui/event.h"

namespace velorin::ui {

// A check box with the values 0 (unchecked) and 1 (checked).
class CheckBox : public Control {
  public:
    static constexpr ControlKind kKind = ControlKind::CheckBox;
    CheckBox(Window& window, const ControlLayout& layout);

    const std::string& Caption() const { return CaptionText(); }
    void SetCaption(std::string caption) { SetCaptionText(std::move(caption)); }

    std::int16_t Value() const { return m_value; }
    // Fires Click when the value changes, whether the program or a person changed
    // it; setting the value it already has fires nothing. A value other than 0 or
    // 1 raises invalid property value (380).
    void SetValue(int value);
    bool Checked() const { return m_value == 1; }

    void OnClick(std::function<void()> handler) { m_click.Set(std::move(handler)); }

  protected:
    void ResetKindState() override;

  private:
    const std::int16_t m_declaredValue;
    std::int16_t m_value;
    Event m_click;
};

}  // namespace velorin::ui
