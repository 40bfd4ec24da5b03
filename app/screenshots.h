#pragma once

#include <iosfwd>

#include "app/command_line.h"

namespace velorin::app {

// Makes the README's pictures on the sample document, offscreen, into
// options.dir: the map window during a flash of Zoom and Flash over three
// selected catchments with their junctions ("map-window-flash.png"), the two
// dialogs as the scripted person set them ("zoom-flash-dialog.png",
// "copy-legend-dialog.png"), the Zoom and Flash help window
// ("zoom-flash-help.png"), and the map window after Copy Legend Colors gave the
// junctions their catchments' colours ("copy-legend-junctions.png"). The runs go
// through the real window, commands and dialogs with a scripted person. Returns
// an exit status; needs the QApplication.
int MakeScreenshots(const ScreenshotOptions& options, std::ostream& out, std::ostream& err);

}  // namespace velorin::app
