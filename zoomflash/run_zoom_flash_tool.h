#pragma once

#include <memory>

#include "host/application.h"
#include "zoomflash/zoom_flash_parameters.h"

namespace velorin::forms {
class frmZoomFlash;
}

namespace velorin::zoomflash {

// The run behind a click on Zoom and Flash: the shared dialog is filled from the
// focus map and shown; after an accepted OK its values go to the engine with the
// flash times in milliseconds, and "Finished with Zoom and Flash Operation"
// follows unless the user ended the run at a pause. Cancel or the close box end
// the run silently. Nothing is trapped here: every error (a flash time that
// overflows, a host failure) passes to the command's trap.
void RunZoomFlashTool(const std::shared_ptr<host::IApplication>& application);

// The accepted values of the dialog, read in the run's order and converted:
// without a related search the related names stay empty and the Related time 0,
// whatever the dialog's related boxes hold. The Source time is converted first,
// so when it overflows the Related time is not looked at.
ZoomFlashParameters ReadParameters(const forms::frmZoomFlash& dialog);

}  // namespace velorin::zoomflash
