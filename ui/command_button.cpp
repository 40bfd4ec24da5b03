#include "ui/command_button.h"

namespace velorin::ui {

CommandButton::CommandButton(Window& window, const ControlLayout& layout)
    : Control(window, layout),
      m_default(layout.settings.defaultButton),
      m_cancel(layout.settings.cancelButton) {}

void CommandButton::Click() {
    Touch();
    m_click.Fire();
}

}  // namespace velorin::ui
