#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "host/host.h"

namespace velorin::zoomflash {

// The Zoom and Flash engine: resolves the layers by name, validates, collects the
// Source features (the layer's selection, else all its features) into a set and
// visits them in that order with ZoomFlashFeature. Flash times are milliseconds,
// `zoomWidth` map units; `zoomMethod` 1 Full Envelope, 2 Related Envelope, 3 both.
//
// `sourceSet`: features to visit instead of the layer's; when empty the engine
// builds the set and leaves it here. `interrupted` comes back true only when the
// user ended the run at a pause after an unfinished feature (check B); Cancel at
// the pause before a feature (check A) leaves it as it was, normally false.
// Validation failures show one box each and return with `interrupted` false.
// Esc pauses with the "Paused" box (OK goes on, Cancel ends): one box per press.
//
// Host failures, the where-clause refusal of RelatedWhereClause and the host's
// refusal of a negative zoom factor or width (never checked here when a Source key
// field is given) raise velorin::Error and end the run.
void RunZoomFlash(const std::shared_ptr<host::IApplication>& application,
                  const std::string& sourceLayer, const std::string& sourceField,
                  const std::string& relatedLayer, const std::string& relatedField,
                  std::shared_ptr<host::ISet>& sourceSet, std::int16_t sourceFlashTime,
                  std::int16_t relatedFlashTime, std::int32_t zoomMethod, double zoomFactor,
                  double zoomWidth, bool& interrupted);

}  // namespace velorin::zoomflash
