#pragma once

#include <memory>

#include "host/host.h"
#include "zoomflash/zoom_flash_parameters.h"

namespace velorin::zoomflash {

// What a run of the engine leaves behind.
struct ZoomFlashOutcome {
    // True only when the user ended the run at a pause after an unfinished
    // feature (check B); Cancel at the pause before a feature (check A) leaves it
    // as the features before left it, normally false. Validation failures leave
    // it false.
    bool interrupted = false;
    // The features visited: the set given to the run, or the one it built from
    // the Source layer; empty when none was given and validation ended the run.
    std::shared_ptr<host::ISet> sourceSet;
};

// The Zoom and Flash engine: resolves the layers by name, validates, collects the
// Source features (the layer's selection, else all its features) into a set and
// visits them in that order with ZoomFlashFeature. See ZoomFlashParameters for
// units and methods.
//
// `sourceSet`: features to visit instead of the layer's; when empty the engine
// builds the set and returns it in the outcome. Validation failures show one box
// each and return. Esc pauses with the "Paused" box (OK goes on, Cancel ends):
// one box per press.
//
// Host failures, the where-clause refusal of RelatedWhereClause and the host's
// refusal of a negative zoom factor or width (never checked here when a Source key
// field is given) raise velorin::Error and end the run.
ZoomFlashOutcome RunZoomFlash(const std::shared_ptr<host::IApplication>& application,
                              const ZoomFlashParameters& parameters,
                              std::shared_ptr<host::ISet> sourceSet = nullptr);

}  // namespace velorin::zoomflash
