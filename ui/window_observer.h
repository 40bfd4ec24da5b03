#pragma once

namespace velorin::ui {

class Window;
class Control;

enum class WindowChange { Loaded, Caption, Shown, Hidden, Unloaded };

enum class ControlChange {
    Caption,
    Text,
    Enabled,
    Visible,
    Geometry,
    TabIndex,
    ToolTip,
    Items,
    ListIndex,
    Value,
    MaxLength,
    Alignment,
};

// Sees every change of a window and its control models, whoever made it (the
// form, the person through a toolkit, an unload), so that a toolkit can mirror
// the models live. It is called after the change, before any event handler the
// change fires. Unloading reports Unloaded once instead of every control's reset.
class WindowObserver {
  public:
    WindowObserver() = default;
    virtual ~WindowObserver() = default;
    WindowObserver(const WindowObserver&) = delete;
    WindowObserver(WindowObserver&&) = delete;
    WindowObserver& operator=(const WindowObserver&) = delete;
    WindowObserver& operator=(WindowObserver&&) = delete;

    virtual void WindowChanged(Window& window, WindowChange change) = 0;
    virtual void ControlChanged(Control& control, ControlChange change) = 0;
};

}  // namespace velorin::ui
