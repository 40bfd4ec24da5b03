#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "host/geometry.h"
#include "platform/objects/geometry.h"
#include "platform/memory/layers.h"

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

// How a click or a box changes the selection of a layer, as in desktop GIS:
// without a key it replaces it, Shift adds to it, Ctrl removes from it.
enum class SelectMode { Replace, Add, Remove };

// How far a click at point is from the shape, when it meets it: a point or a
// line within tolerance (the distance to the nearest vertex or segment), a
// polygon only when the point is inside it (0), never merely near its outline:
// at a small scale every neighbour of a country lies within a few pixels of the
// pointer. Empty when the click does not meet it.
std::optional<double> ClickDistance(const host::IGeometry& shape, objects::XY point,
                                    double tolerance);
bool ShapeMeetsClick(const host::IGeometry& shape, objects::XY point, double tolerance);

// Object ids of the layer's features that the box (or the click) meets, in the
// layer's search order. A layer without a feature class meets nothing.
std::vector<std::int32_t> FeaturesInBox(const memory::FeatureLayer& layer, const MapBox& box);
std::vector<std::int32_t> FeaturesAtClick(const memory::FeatureLayer& layer, objects::XY point,
                                          double tolerance);
// The one feature a click picks: the nearest of those it meets; of equally near
// ones (overlapping polygons) the one drawn last, which is the one on top.
std::optional<std::int32_t> FeatureAtClick(const memory::FeatureLayer& layer, objects::XY point,
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
