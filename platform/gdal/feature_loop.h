#pragma once

#include <ogrsf_frmts.h>

#include "platform/gdal/pass_builder.h"

// Internal to platform/gdal.
namespace velorin::gdal {

// Reads the layer through with GDAL's feature loop, every feature into pass.
// withShapes: the pass keeps the features' shapes.
void ReadFeatures(OGRLayer& layer, const LayerPlan& plan, bool withShapes, PassBuilder& pass);

}  // namespace velorin::gdal
