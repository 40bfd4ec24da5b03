#include "ui/check_box.h"

#include "ui/runtime_error.h"

namespace velorin::ui {

CheckBox::CheckBox(Window& window, const ControlLayout& layout)
    : Control(window, layout),
      m_declaredValue(layout.settings.value),
      m_value(layout.settings.value) {}

void CheckBox::SetValue(int value) {
    if (value != 0 && value != 1) {
        RaiseRuntimeError(kErrInvalidPropertyValue, QualifiedName() + ".Value");
    }
    Touch();
    if (value == m_value) {
        return;
    }
    m_value = static_cast<std::int16_t>(value);
    Notify(ControlChange::Value);
    m_click.Fire();
}

void CheckBox::ResetKindState() { m_value = m_declaredValue; }

}  // namespace velorin::ui
