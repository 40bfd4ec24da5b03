#include "commands/command.h"

#include "ui/current_toolkit.h"
#include "ui/runtime_error.h"

namespace velorin::commands {

void Command::OnCreate(const std::shared_ptr<host::IUnknown>& hook) {
    auto application = host::As<host::IApplication>(hook);
    if (!application) ui::RaiseTypeMismatch();
    m_application = std::move(application);
}

void Command::OnClick() {
    try {
        Run();
    } catch (const Error& error) {
        // The trap: the run is abandoned where it stood, nothing is rolled back,
        // and the command stays usable for the next click.
        ui::CurrentToolkit().ReportError(error);
    }
}

}  // namespace velorin::commands
