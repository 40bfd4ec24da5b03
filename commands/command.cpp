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
    // The trap is the toolkit's one error edge, so out of memory and any other
    // exception end in the same single box as a host's error instead of leaving
    // the click (through COM, as a bare failed HRESULT). The run is abandoned
    // where it stood, nothing is rolled back, and the command stays usable.
    ui::CurrentToolkit().RunAtEdge([this] { Run(); });
}

}  // namespace velorin::commands
