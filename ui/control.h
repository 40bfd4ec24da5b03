#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "ui/window_layout.h"
#include "ui/window_observer.h"

namespace velorin::ui {

class Window;

// The model of one control of a window: what every kind has. A control lives as
// long as its window and keeps its identity across unloading (unloading returns
// its state to the layout row, in place), so references to it stay valid.
//
// Reading never loads the window; every change first loads it, as touching a
// control of an unloaded window does (setting a handler is no touch). Each
// change is reported to the window's observer. Positions are in twips, relative
// to the container.
class Control {
  public:
    Control(Window& window, const ControlLayout& layout);
    virtual ~Control() = default;
    Control(const Control&) = delete;
    Control(Control&&) = delete;
    Control& operator=(const Control&) = delete;
    Control& operator=(Control&&) = delete;

    const std::string& Name() const { return m_name; }
    ControlKind Kind() const { return m_kind; }
    // The window's name and the control's, "frmZoomFlash.cboLyr1", for messages.
    std::string QualifiedName() const;

    Window& Owner() { return m_window; }
    const Window& Owner() const { return m_window; }
    const std::string& ContainerName() const { return m_containerName; }
    // The frame holding this control, or null when it sits on the window itself.
    const Control* Container() const { return m_container; }

    std::int32_t Left() const { return m_left; }
    std::int32_t Top() const { return m_top; }
    std::int32_t Width() const { return m_width; }
    std::int32_t Height() const { return m_height; }
    void Move(std::int32_t left, std::int32_t top, std::int32_t width, std::int32_t height);

    // Tab indices of a window are always 0..n-1, one per control: setting one
    // moves the control to that place in the order and renumbers the others.
    // A negative index raises invalid property value (380); one past the end
    // puts the control last.
    std::int16_t TabIndex() const { return m_tabIndex; }
    void SetTabIndex(int index);

    const std::string& ToolTip() const { return m_toolTip; }
    void SetToolTip(std::string toolTip);

    bool Enabled() const { return m_enabled; }
    void SetEnabled(bool enabled);
    bool Visible() const { return m_visible; }
    void SetVisible(bool visible);
    // Whether a person can reach the control: it and every frame holding it are
    // enabled and visible. (The window itself being shown is the toolkit's part.)
    bool Interactive() const;

  protected:
    // Loads the window if it is not loaded. Setters call it before changing state.
    void Touch();
    void Notify(ControlChange change);
    const std::string& CaptionText() const { return m_caption; }
    void SetCaptionText(std::string caption);

    // Returns the kind's own state to the layout row (called while unloading).
    virtual void ResetKindState() {}

  private:
    friend class Window;

    void ResetToLayout();

    Window& m_window;
    const std::string m_name;
    const ControlKind m_kind;
    const std::string m_containerName;
    const Control* m_container = nullptr;  // resolved by the window

    struct Declared {
        std::string caption;
        std::string toolTip;
        std::int32_t left = 0;
        std::int32_t top = 0;
        std::int32_t width = 0;
        std::int32_t height = 0;
        std::int16_t tabIndex = 0;  // normalised by the window
        bool enabled = true;
        bool visible = true;
    };
    Declared m_declared;

    std::string m_caption;
    std::string m_toolTip;
    std::int32_t m_left;
    std::int32_t m_top;
    std::int32_t m_width;
    std::int32_t m_height;
    std::int16_t m_tabIndex = 0;
    bool m_enabled;
    bool m_visible;
};

class Frame : public Control {
  public:
    static constexpr ControlKind kKind = ControlKind::Frame;
    using Control::Control;

    const std::string& Caption() const { return CaptionText(); }
    void SetCaption(std::string caption) { SetCaptionText(std::move(caption)); }
};

class Label : public Control {
  public:
    static constexpr ControlKind kKind = ControlKind::Label;
    Label(Window& window, const ControlLayout& layout);

    const std::string& Caption() const { return CaptionText(); }
    void SetCaption(std::string caption) { SetCaptionText(std::move(caption)); }
    Alignment TextAlignment() const { return m_alignment; }
    void SetTextAlignment(Alignment alignment);

  protected:
    void ResetKindState() override;

  private:
    const Alignment m_declaredAlignment;
    Alignment m_alignment;
};

// Raises type mismatch (13): "<window>.<control> is a <kind>, not a <wanted>".
[[noreturn]] void RaiseKindMismatch(const Control& control, ControlKind wanted);

// The checked casts from a control to the model class of its kind (T::kKind).
// As gives null for a control of another kind; Cast is for code that knows the
// kind and raises RaiseKindMismatch when it is wrong.
template <class T>
T* As(Control& control) noexcept {
    return control.Kind() == T::kKind ? static_cast<T*>(&control) : nullptr;
}

template <class T>
const T* As(const Control& control) noexcept {
    return control.Kind() == T::kKind ? static_cast<const T*>(&control) : nullptr;
}

template <class T>
T& Cast(Control& control) {
    T* typed = As<T>(control);
    if (typed == nullptr) {
        RaiseKindMismatch(control, T::kKind);
    }
    return *typed;
}

template <class T>
const T& Cast(const Control& control) {
    const T* typed = As<T>(control);
    if (typed == nullptr) {
        RaiseKindMismatch(control, T::kKind);
    }
    return *typed;
}

}  // namespace velorin::ui
