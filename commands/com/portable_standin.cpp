// STAND-IN, to be deleted: the portable command objects' definitions until
// commands/command.cpp and the tools' cls_*.cpp land, so that Velorin.dll can
// be built and its COM plumbing tested now. It keeps only what the COM layer
// relies on (OnCreate's type check and replacement, a click that returns); the
// runs do nothing. When the real velorin_commands library exists, link it in
// place of velorin_commands_standin and remove this file.
#include "commands/cls_copy_legend.h"
#include "commands/cls_zoom_flash.h"
#include "host/error.h"

namespace velorin::commands {

void Command::OnCreate(const std::shared_ptr<host::IUnknown>& hook) {
    auto application = host::As<host::IApplication>(hook);
    if (!application) {
        throw velorin::Error(13, "Type mismatch");
    }
    m_application = std::move(application);
}

void Command::OnClick() { Run(); }

clsZoomFlash::~clsZoomFlash() = default;
void clsZoomFlash::Run() {}

clsCopyLegend::~clsCopyLegend() = default;
void clsCopyLegend::Run() {}

}  // namespace velorin::commands
