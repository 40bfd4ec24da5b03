#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "host/geometry.h"
#include "platform/memory/layers.h"
#include "platform/objects/geometry.h"

// Which features a click or a dragged box on the map meets. Map units
// throughout. Only the features the layer shows count (its definition query
// applies), whatever its visibility; features without a shape are never met.
namespace velorin::app {

struct MapBox {
    double xMin = 0.0;
    double yMin = 0.0;
    double xMax = 0.0;
    double yMax = 0.0;
};

// Whether the shape meets the box: a point inside it (edges included), a line or
// a ring crossing it, or a polygon around it. Envelopes, bags and shapes of
// other hosts never meet anything.
bool ShapeMeetsBox(const host::IGeometry& shape, const MapBox& box);

// A click: the box of half-width tolerance around the point, except that a
// polygon is met only when the point is inside it (or within tolerance of its
// outline), not when it merely lies in its envelope.
bool ShapeMeetsClick(const host::IGeometry& shape, objects::XY point, double tolerance);

// Object ids of the layer's features that the box (or the click) meets, in the
// layer's search order. A layer without a feature class meets nothing.
std::vector<std::int32_t> FeaturesInBox(const memory::FeatureLayer& layer, const MapBox& box);
std::vector<std::int32_t> FeaturesAtClick(const memory::FeatureLayer& layer, objects::XY point,
                                          double tolerance);

// The box around the shapes of the features the layer shows (selectedOnly: of
// its selected ones); empty when there is no such shape.
std::optional<MapBox> LayerBox(memory::FeatureLayer& layer, bool selectedOnly = false);
// The boxes of every feature layer of the list, group members too, joined.
std::optional<MapBox> JoinedBox(const std::vector<std::shared_ptr<host::ILayer>>& layers);
// The box grown on every side by fraction of its larger side, so that nothing
// shown in it touches the window's border (a point keeps a box of no size).
MapBox WithMargin(const MapBox& box, double fraction);

// The shapes of the layer's selected features that the layer shows.
std::vector<std::shared_ptr<host::IGeometry>> SelectedShapes(memory::FeatureLayer& layer);

}  // namespace velorin::app
