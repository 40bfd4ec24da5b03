#pragma once

#include <memory>
#include <string_view>

#include "host/application.h"

namespace velorin::copylegend {

// The box that tells a completed run; a batch driver recognises completion by it.
inline constexpr std::string_view kFinishedText = "Finished Copying Legend Colors";

// One click of Copy Legend Colors: the shared dialog is filled from the focus map
// and shown modally; after an accepted OK the engine runs with the four names,
// and "Finished Copying Legend Colors" follows when it completed. Cancel or the
// close box ends the run silently; so does an Esc during the engine's walk.
// Errors of the dialog, the engine or the host pass to the caller (the command's
// trap); the completion box is then not shown.
void RunCopyLegend(const std::shared_ptr<host::IApplication>& application);

}  // namespace velorin::copylegend
