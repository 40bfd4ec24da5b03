#pragma once

#include <cstdint>
#include <memory>

#include "host/host.h"

namespace velorin::zoomflash {

// The rows a run visits: the layer's current selection when it has one (count =
// the selection's count, fromSelection true), otherwise every row of the layer's
// table (count = its row count, fromSelection false). Cursors never recycle, so
// every row handed out is an object of its own. `layer` is a feature layer or a
// standalone table; anything else (or nothing) leaves all three outputs as they
// were. Host failures raise velorin::Error.
void OpenSourceCursor(const std::shared_ptr<host::IUnknown>& layer,
                      std::shared_ptr<host::ICursor>& cursor, std::int32_t& count,
                      bool& fromSelection);

}  // namespace velorin::zoomflash
