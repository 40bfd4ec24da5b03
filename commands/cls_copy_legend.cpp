#include "commands/cls_copy_legend.h"

#include "copylegend/run_copy_legend.h"
#include "forms/shared_dialogs.h"

namespace velorin::commands {

clsCopyLegend::~clsCopyLegend() { forms::DropCopyLegendDialog(); }

void clsCopyLegend::Run() { copylegend::RunCopyLegend(Application()); }

}  // namespace velorin::commands
