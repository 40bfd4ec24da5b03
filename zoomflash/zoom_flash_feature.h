#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "host/host.h"

namespace velorin::zoomflash {

// Zoom methods (ZoomMethod): Full Envelope, Related Envelope, or both (Full first).
inline constexpr std::int32_t kZoomFullEnvelope = 1;
inline constexpr std::int32_t kZoomRelatedEnvelope = 2;
inline constexpr std::int32_t kZoomBoth = 3;

// The visible work for one Source feature: finds its Related features (when
// `sourceField` is given) by the where clause of RelatedWhereClause, zooms by the
// chosen methods, writes the status text, and flashes the Source shape and the
// Related shapes. Times are in milliseconds, `zoomWidth` in map units.
//
// `interrupted` is set true on entry and false only when the feature has been
// completed: a lookup failure (one box, OK only) or an Esc seen by the feature's
// own cancel tracker leaves it true, and the engine then pauses. Esc is looked at
// only between flashes, so a flash under way always finishes.
//
// Choices of ours: a shape that is empty counts as no shape (there is nothing to
// zoom to or draw); with no Source shape but Related shapes, the Source flash and
// its wait are skipped. Errors of host calls, of the where clause (see
// RelatedWhereClause) and of the host's envelope operations (it refuses a
// negative zoom factor or zoom width, which only a caller other than the dialog
// can pass) end the whole run.
void ZoomFlashFeature(const std::shared_ptr<host::IFeature>& feature,
                      const std::shared_ptr<host::IApplication>& application, bool& interrupted,
                      const std::string& sourceField, const std::string& relatedLayer,
                      const std::string& relatedField, std::int16_t sourceFlashTime,
                      std::int16_t relatedFlashTime, std::int32_t zoomMethod, double zoomFactor,
                      double zoomWidth);

}  // namespace velorin::zoomflash
