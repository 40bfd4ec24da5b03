#include "ui/control.h"

#include <utility>

#include "ui/runtime_error.h"
#include "ui/window.h"

namespace velorin::ui {

std::string_view KindName(ControlKind kind) {
    switch (kind) {
        case ControlKind::Frame:
            return "frame";
        case ControlKind::Label:
            return "label";
        case ControlKind::ComboBox:
            return "drop-down list";
        case ControlKind::TextBox:
            return "text box";
        case ControlKind::CheckBox:
            return "check box";
        case ControlKind::CommandButton:
            return "button";
    }
    return "control";
}

void RaiseKindMismatch(const Control& control, ControlKind wanted) {
    std::string detail = control.QualifiedName();
    detail += " is a ";
    detail += KindName(control.Kind());
    detail += ", not a ";
    detail += KindName(wanted);
    RaiseRuntimeError(kErrTypeMismatch, detail);
}

Control::Control(Window& window, const ControlLayout& layout)
    : m_window(window),
      m_name(layout.name),
      m_kind(layout.kind),
      m_containerName(layout.container),
      m_declared{.caption = std::string(layout.caption),
                 .toolTip = std::string(layout.toolTip),
                 .left = layout.left,
                 .top = layout.top,
                 .width = layout.width,
                 .height = layout.height,
                 .tabIndex = 0,
                 .enabled = layout.settings.enabled,
                 .visible = layout.settings.visible},
      m_caption(m_declared.caption),
      m_toolTip(m_declared.toolTip),
      m_left(layout.left),
      m_top(layout.top),
      m_width(layout.width),
      m_height(layout.height),
      m_enabled(layout.settings.enabled),
      m_visible(layout.settings.visible) {}

std::string Control::QualifiedName() const {
    std::string name = m_window.Name();
    name += '.';
    name +=
        m_name.empty() ? std::string("(unnamed ") + std::string(KindName(m_kind)) + ")" : m_name;
    return name;
}

void Control::Move(std::int32_t left, std::int32_t top, std::int32_t width, std::int32_t height) {
    if (width < 0 || height < 0) {
        RaiseRuntimeError(kErrInvalidPropertyValue,
                          QualifiedName() + " cannot have a negative size");
    }
    Touch();
    m_left = left;
    m_top = top;
    m_width = width;
    m_height = height;
    Notify(ControlChange::Geometry);
}

void Control::SetTabIndex(int index) {
    if (index < 0) {
        RaiseRuntimeError(kErrInvalidPropertyValue, QualifiedName() + ".TabIndex");
    }
    Touch();
    m_window.MoveInTabOrder(*this, index);
}

void Control::SetToolTip(std::string toolTip) {
    Touch();
    m_toolTip = std::move(toolTip);
    Notify(ControlChange::ToolTip);
}

void Control::SetEnabled(bool enabled) {
    Touch();
    m_enabled = enabled;
    Notify(ControlChange::Enabled);
}

void Control::SetVisible(bool visible) {
    Touch();
    m_visible = visible;
    Notify(ControlChange::Visible);
}

bool Control::Interactive() const {
    for (const Control* control = this; control != nullptr; control = control->m_container) {
        if (!control->m_enabled || !control->m_visible) {
            return false;
        }
    }
    return true;
}

void Control::Touch() { m_window.Load(); }

void Control::Notify(ControlChange change) { m_window.NotifyControl(*this, change); }

void Control::SetCaptionText(std::string caption) {
    Touch();
    m_caption = std::move(caption);
    Notify(ControlChange::Caption);
}

void Control::ResetToLayout() {
    m_caption = m_declared.caption;
    m_toolTip = m_declared.toolTip;
    m_left = m_declared.left;
    m_top = m_declared.top;
    m_width = m_declared.width;
    m_height = m_declared.height;
    m_tabIndex = m_declared.tabIndex;
    m_enabled = m_declared.enabled;
    m_visible = m_declared.visible;
    ResetKindState();
}

Label::Label(Window& window, const ControlLayout& layout)
    : Control(window, layout),
      m_declaredAlignment(layout.settings.alignment),
      m_alignment(layout.settings.alignment) {}

void Label::SetTextAlignment(Alignment alignment) {
    Touch();
    m_alignment = alignment;
    Notify(ControlChange::Alignment);
}

void Label::ResetKindState() { m_alignment = m_declaredAlignment; }

}  // namespace velorin::ui
