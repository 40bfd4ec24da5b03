#include "platform/gdal/feature_loop.h"

#include <ogr_feature.h>

#include <memory>

namespace velorin::gdal {

void ReadFeatures(OGRLayer& layer, const LayerPlan& plan, bool withShapes, PassBuilder& pass) {
    layer.ResetReading();
    while (OGRFeatureUniquePtr feature{layer.GetNextFeature()}) {
        pass.Begin(feature->GetFID());
        std::unique_ptr<OGRGeometry> geometry;
        if (withShapes) geometry.reset(feature->StealGeometry());
        pass.Check(geometry);
        if (!pass.Storing()) continue;
        for (std::size_t i = 0; i < plan.fields.size(); ++i) {
            pass.Values().push_back(ReadValue(*feature, static_cast<int>(i), plan.fields[i].kind));
        }
        pass.Store(geometry.get());
    }
}

}  // namespace velorin::gdal
