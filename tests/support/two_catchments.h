#pragma once

#include "host/codes.h"
#include "platform/memory/reference_host.h"
#include "platform/objects/geometry.h"
#include "tests/support/shapes.h"

namespace velorin::testing {

// Two catchments, each with one junction carrying its id; the data-model names
// make the Zoom and Flash dialog preselect everything. The caller builds it on
// the canvas of its platform.
inline memory::HostBuilder TwoCatchments() {
    using objects::MakePoint;
    using objects::MakePolygon;
    return memory::HostBuilder()
        .FeatureLayer("NerroJunction", host::esriGeometryPoint)
        .Field("JunctionID", host::esriFieldTypeInteger)
        .Field("NerroID", host::esriFieldTypeInteger)
        .Feature({100, 1}, MakePoint(5, 5))
        .Feature({200, 2}, MakePoint(25, 5))
        .FeatureLayer("Catchment", host::esriGeometryPolygon)
        .Field("NerroID", host::esriFieldTypeInteger)
        .Field("Name", host::esriFieldTypeString)
        .Feature({1, "Upper"}, MakePolygon({Square(0, 0, 10)}))
        .Feature({2, "Lower"}, MakePolygon({Square(20, 0, 10)}));
}

}  // namespace velorin::testing
