#pragma once

#include <iosfwd>
#include <optional>

#include "app/command_line.h"
#include "platform/gdal/map_document.h"

namespace velorin::app {

// Runs one tool with no display, as --headless says: opens the document, makes
// the selections, and clicks the tool's command with a scripted user at the
// dialog (see PlanRun). Prints every message box as it comes and a closing line
// to out, and failures to err. Writes the frames and saves the document when
// asked; the document is saved only when the tool finished, so a stopped or
// failed run never overwrites a good document with a half-changed map.
//
// Returns the exit status (kExitFinished, kExitStopped, kExitUsage, kExitFailed).
// Needs a QGuiApplication (for the PNG frames) on the calling thread; installs its
// scripted user as the thread's toolkit for the run.
//
// opened: when given, the map opened for the run is left there instead of being
// taken apart before the return, for a process that ends right after the run and
// need not spend the time.
int RunHeadless(const HeadlessOptions& options, std::ostream& out, std::ostream& err,
                std::optional<gdal::MapDocument>* opened = nullptr);

}  // namespace velorin::app
