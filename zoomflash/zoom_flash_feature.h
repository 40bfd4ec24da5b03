#pragma once

#include <cstdint>
#include <memory>

#include "host/host.h"
#include "zoomflash/zoom_flash_parameters.h"

namespace velorin::zoomflash {

// Zoom methods (ZoomMethod): Full Envelope, Related Envelope, or both (Full first).
inline constexpr std::int32_t kZoomFullEnvelope = 1;
inline constexpr std::int32_t kZoomRelatedEnvelope = 2;
inline constexpr std::int32_t kZoomBoth = 3;

// The visible work for one Source feature: finds its Related features (when
// `parameters.sourceField` is given) by the where clause of RelatedWhereClause,
// zooms by the chosen methods, writes the status text, and flashes the Source
// shape and the Related shapes. See ZoomFlashParameters for units; the layer
// names it holds are looked up again for every feature.
//
// Returns true when the feature was left unfinished: a lookup failure (one box,
// OK only) or an Esc seen by the feature's own cancel tracker; the engine then
// pauses. Esc is looked at only between flashes, so a flash under way always
// finishes.
//
// A shape that is empty counts as no shape (there is nothing to zoom to or
// draw); with no Source shape but Related shapes, the Source flash and its wait
// are skipped. Errors of host calls, of the where clause (see RelatedWhereClause)
// and of the host's envelope operations (it refuses a negative zoom factor or
// zoom width, which only a caller other than the dialog can pass) end the whole
// run.
bool ZoomFlashFeature(const std::shared_ptr<host::IFeature>& feature,
                      const std::shared_ptr<host::IApplication>& application,
                      const ZoomFlashParameters& parameters);

}  // namespace velorin::zoomflash
