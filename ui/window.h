#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ui/check_box.h"
#include "ui/combo_box.h"
#include "ui/command_button.h"
#include "ui/control.h"
#include "ui/event.h"
#include "ui/text_box.h"
#include "ui/window_layout.h"
#include "ui/window_observer.h"

namespace velorin::ui {

class Toolkit;

// A window built from its layout, owning its control models. A form holds one as
// a member and sets its event handlers once, in its constructor; the handlers
// belong to the form and survive unloading, like the form's own fields.
//
// Loading: the window loads (and fires OnLoad, once) the first time it or one of
// its controls is touched: any change of a control (a setter, AddItem, Click),
// SetCaption, Load, Show, PressEnter or a modal show. Reading never loads, and
// neither does looking a control up or setting a handler, so a form can wire its
// handlers in its constructor; an unloaded window reads as its layout. Unload
// fires OnUnload, returns every control to its layout row, and leaves the window
// not loaded and not visible; the next touch loads it again.
//
// Modal showing belongs to the toolkit (Toolkit::ShowModal); it ends when the
// window is hidden or unloaded.
class Window {
  public:
    // Copies what it needs from `layout`. A malformed layout (two controls of one
    // name, a container that is not a frame of this window, a negative size)
    // raises invalid property value (380) naming the row: a programming error.
    explicit Window(const WindowLayout& layout);
    // Fires nothing: the form's other members may already be gone, so a form whose
    // unload handler must run unloads the window itself before it ends.
    ~Window();
    Window(const Window&) = delete;
    Window(Window&&) = delete;
    Window& operator=(const Window&) = delete;
    Window& operator=(Window&&) = delete;

    // The layout's name ("frmZoomFlash"); fixed.
    const std::string& Name() const { return m_name; }
    const std::string& Caption() const { return m_caption; }
    void SetCaption(std::string caption);
    std::int32_t ClientWidth() const { return m_clientWidth; }
    std::int32_t ClientHeight() const { return m_clientHeight; }
    bool Resizable() const { return m_resizable; }
    bool MinMaxButtons() const { return m_minMaxButtons; }
    bool CenterOnScreen() const { return m_centerOnScreen; }

    bool Loaded() const { return m_loaded; }
    bool Visible() const { return m_visible; }
    // Whether a toolkit is running the window modally right now.
    bool Modal() const { return m_modal; }

    void Load();
    // Makes the window visible without a modal loop (loading it first).
    void Show();
    // Makes it invisible; it stays loaded and keeps its controls' state. Ends a
    // modal show.
    void Hide();
    // Fires OnUnload, then resets the controls and marks the window not loaded and
    // not visible, also when the handler raises (the unload goes ahead; the
    // error passes on). Ends a modal show. Does nothing when not loaded.
    void Unload();

    // Enter: clicks the default button when it is interactive; otherwise nothing.
    void PressEnter();
    // Esc: clicks the cancel button when there is one and it is interactive.
    void PressEsc();

    void OnLoad(std::function<void()> handler) { m_load.Set(std::move(handler)); }
    void OnUnload(std::function<void()> handler) { m_unload.Set(std::move(handler)); }

    // Named accessors, for forms. An unknown name raises control not found (730),
    // a control of another kind type mismatch (13); both name the window and the
    // control: a programming error, never a person's.
    ui::Control& Control(std::string_view name);
    ui::Frame& Frame(std::string_view name);
    ui::Label& Label(std::string_view name);
    ui::ComboBox& ComboBox(std::string_view name);
    ui::TextBox& TextBox(std::string_view name);
    ui::CheckBox& CheckBox(std::string_view name);
    ui::CommandButton& Button(std::string_view name);

    // For toolkits: null when there is no control of that name.
    ui::Control* FindControl(std::string_view name);
    const ui::Control* FindControl(std::string_view name) const;
    // All controls in layout order.
    std::size_t ControlCount() const { return m_controls.size(); }
    ui::Control& ControlAt(std::size_t index) { return *m_controls.at(index); }
    const ui::Control& ControlAt(std::size_t index) const { return *m_controls.at(index); }
    // The button Enter presses, or null.
    ui::CommandButton* DefaultButton();

    // The observer is borrowed; pass null to detach it. One observer at a time.
    void SetObserver(WindowObserver* observer) { m_observer = observer; }

  private:
    friend class ui::Control;
    friend class Toolkit;

    void NotifyWindow(WindowChange change);
    void NotifyControl(ui::Control& control, ControlChange change);
    void MoveInTabOrder(ui::Control& control, int index);
    void ResetTabOrder();
    ui::CommandButton* FlaggedButton(bool cancel);

    // Toolkit::ShowModal brackets its loop with these.
    void BeginModal();
    void EndModal();

    const std::string m_name;
    const std::string m_declaredCaption;
    const std::int32_t m_clientWidth;
    const std::int32_t m_clientHeight;
    const bool m_resizable;
    const bool m_minMaxButtons;
    const bool m_centerOnScreen;

    std::vector<std::unique_ptr<ui::Control>> m_controls;
    // The controls in tab order; position = tab index.
    std::vector<ui::Control*> m_tabOrder;
    std::vector<ui::Control*> m_declaredTabOrder;

    std::string m_caption;
    bool m_loaded = false;
    bool m_visible = false;
    bool m_modal = false;
    bool m_unloading = false;
    Event m_load;
    Event m_unload;
    WindowObserver* m_observer = nullptr;
};

}  // namespace velorin::ui
