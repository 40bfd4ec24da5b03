#include "commands/cls_zoom_flash.h"

#include "forms/shared_dialogs.h"
#include "zoomflash/run_zoom_flash_tool.h"

namespace velorin::commands {

clsZoomFlash::~clsZoomFlash() { forms::DropZoomFlashDialog(); }

void clsZoomFlash::Run() { zoomflash::RunZoomFlashTool(Application()); }

}  // namespace velorin::commands
