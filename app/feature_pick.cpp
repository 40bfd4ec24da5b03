#include "app/feature_pick.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#include "host/codes.h"
#include "platform/memory/row_store.h"
#include "platform/memory/spatial_index.h"

namespace velorin::app {

namespace {

using objects::Path;
using objects::XY;

bool Inside(const XY& p, const MapBox& box) {
    return p.x >= box.xMin && p.x <= box.xMax && p.y >= box.yMin && p.y <= box.yMax;
}

// Liang-Barsky: whether any part of the segment lies in the box.
bool SegmentMeetsBox(const XY& a, const XY& b, const MapBox& box) {
    const double dx = b.x - a.x;
    const double dy = b.y - a.y;
    double t0 = 0.0;
    double t1 = 1.0;
    const auto clip = [&](double p, double q) {
        if (p == 0.0) return q >= 0.0;
        const double t = q / p;
        if (p < 0.0) {
            if (t > t1) return false;
            t0 = std::max(t0, t);
        } else {
            if (t < t0) return false;
            t1 = std::min(t1, t);
        }
        return true;
    };
    return clip(-dx, a.x - box.xMin) && clip(dx, box.xMax - a.x) && clip(-dy, a.y - box.yMin) &&
           clip(dy, box.yMax - a.y);
}

bool PathMeetsBox(const Path& path, const MapBox& box, bool closed) {
    if (path.size() == 1) return Inside(path.front(), box);
    for (std::size_t i = 1; i < path.size(); ++i) {
        if (SegmentMeetsBox(path[i - 1], path[i], box)) return true;
    }
    return closed && path.size() > 2 && SegmentMeetsBox(path.back(), path.front(), box);
}

// Even-odd over every ring, as the host fills polygons: a point in a hole is
// outside.
bool InsidePolygon(const std::vector<Path>& rings, const XY& p) {
    bool inside = false;
    for (const Path& ring : rings) {
        const std::size_t n = ring.size();
        for (std::size_t i = 0, j = n - 1; n > 2 && i < n; j = i++) {
            const XY& a = ring[i];
            const XY& b = ring[j];
            if ((a.y > p.y) != (b.y > p.y) && p.x < (b.x - a.x) * (p.y - a.y) / (b.y - a.y) + a.x) {
                inside = !inside;
            }
        }
    }
    return inside;
}

double Distance(const XY& a, const XY& b) { return std::hypot(a.x - b.x, a.y - b.y); }

double SegmentDistance(const XY& a, const XY& b, const XY& p) {
    const double dx = b.x - a.x;
    const double dy = b.y - a.y;
    const double length2 = dx * dx + dy * dy;
    if (length2 == 0.0) return Distance(a, p);
    const double t = std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / length2, 0.0, 1.0);
    return Distance(XY{a.x + t * dx, a.y + t * dy}, p);
}

MapBox Around(const XY& p, double tolerance) {
    return {p.x - tolerance, p.y - tolerance, p.x + tolerance, p.y + tolerance};
}

// Visits every feature the layer shows: its definition query applies.
template <class Visit>
void EachFeature(const memory::FeatureLayer& layer, const Visit& visit) {
    if (!layer.Data()) return;
    const auto cursor = layer.Search(nullptr, false);
    while (const auto feature = cursor->NextFeature()) {
        if (const auto shape = feature->Shape()) visit(feature->OID(), shape);
    }
}

// Visits, in object-id order, the features the layer shows (its definition query
// applies) whose envelopes meet the box: the store's spatial index finds them, so
// a click on a layer of a million features reads only those near it.
template <class Visit>
void EachFeatureNear(const memory::FeatureLayer& layer, const MapBox& box, const Visit& visit) {
    if (!layer.Data()) return;
    const memory::RowStore& store = *layer.Data()->Store();
    const std::vector<char>* passes = layer.DefinitionMask();
    for (const std::uint32_t position :
         store.Spatial().Search(memory::Box{box.xMin, box.yMin, box.xMax, box.yMax})) {
        if (passes != nullptr && !(*passes)[position]) continue;
        if (const auto shape = store.ShapeAt(position)) visit(store.OidAt(position), shape);
    }
}

}  // namespace

bool ShapeMeetsBox(const host::IGeometry& shape, const MapBox& box) {
    if (const auto* point = dynamic_cast<const objects::PointGeometry*>(&shape)) {
        return Inside(point->Coords(), box);
    }
    const auto* parts = dynamic_cast<const objects::MultiPartGeometry*>(&shape);
    if (parts == nullptr) return false;
    switch (parts->GeometryType()) {
        case host::esriGeometryMultipoint:
            return std::any_of(parts->Parts().begin(), parts->Parts().end(), [&](const Path& path) {
                return std::any_of(path.begin(), path.end(),
                                   [&](const XY& p) { return Inside(p, box); });
            });
        case host::esriGeometryPolyline:
            return std::any_of(parts->Parts().begin(), parts->Parts().end(),
                               [&](const Path& path) { return PathMeetsBox(path, box, false); });
        case host::esriGeometryPolygon:
            return std::any_of(parts->Parts().begin(), parts->Parts().end(),
                               [&](const Path& ring) { return PathMeetsBox(ring, box, true); }) ||
                   InsidePolygon(parts->Parts(),
                                 XY{(box.xMin + box.xMax) / 2, (box.yMin + box.yMax) / 2});
        default:
            return false;
    }
}

std::optional<double> ClickDistance(const host::IGeometry& shape, objects::XY point,
                                    double tolerance) {
    double nearest = std::numeric_limits<double>::infinity();
    if (const auto* single = dynamic_cast<const objects::PointGeometry*>(&shape)) {
        nearest = Distance(single->Coords(), point);
    } else if (const auto* parts = dynamic_cast<const objects::MultiPartGeometry*>(&shape)) {
        switch (parts->GeometryType()) {
            case host::esriGeometryPolygon:
                if (InsidePolygon(parts->Parts(), point)) return 0.0;
                return std::nullopt;
            case host::esriGeometryMultipoint:
                for (const Path& path : parts->Parts()) {
                    for (const XY& p : path) nearest = std::min(nearest, Distance(p, point));
                }
                break;
            case host::esriGeometryPolyline:
                for (const Path& path : parts->Parts()) {
                    if (path.size() == 1) nearest = std::min(nearest, Distance(path[0], point));
                    for (std::size_t i = 1; i < path.size(); ++i) {
                        nearest = std::min(nearest, SegmentDistance(path[i - 1], path[i], point));
                    }
                }
                break;
            default:
                break;
        }
    }
    if (nearest <= tolerance) return nearest;
    return std::nullopt;
}

bool ShapeMeetsClick(const host::IGeometry& shape, objects::XY point, double tolerance) {
    return ClickDistance(shape, point, tolerance).has_value();
}

std::vector<std::int32_t> FeaturesInBox(const memory::FeatureLayer& layer, const MapBox& box) {
    std::vector<std::int32_t> oids;
    EachFeatureNear(layer, box,
                    [&](std::int32_t oid, const std::shared_ptr<host::IGeometry>& shape) {
                        if (ShapeMeetsBox(*shape, box)) oids.push_back(oid);
                    });
    return oids;
}

std::vector<std::int32_t> FeaturesAtClick(const memory::FeatureLayer& layer, objects::XY point,
                                          double tolerance) {
    std::vector<std::int32_t> oids;
    EachFeatureNear(layer, Around(point, tolerance),
                    [&](std::int32_t oid, const std::shared_ptr<host::IGeometry>& shape) {
                        if (ShapeMeetsClick(*shape, point, tolerance)) oids.push_back(oid);
                    });
    return oids;
}

std::optional<std::int32_t> FeatureAtClick(const memory::FeatureLayer& layer, objects::XY point,
                                           double tolerance) {
    std::optional<std::int32_t> picked;
    double best = std::numeric_limits<double>::infinity();
    EachFeatureNear(layer, Around(point, tolerance),
                    [&](std::int32_t oid, const std::shared_ptr<host::IGeometry>& shape) {
                        const std::optional<double> distance =
                            ClickDistance(*shape, point, tolerance);
                        // <=: features come in drawing order, so a tie goes to the
                        // later one, drawn over the other.
                        if (distance && *distance <= best) {
                            best = *distance;
                            picked = oid;
                        }
                    });
    return picked;
}

std::optional<MapBox> LayerBox(memory::FeatureLayer& layer, bool selectedOnly) {
    std::optional<MapBox> joined;
    const memory::SelectionSet& selection = layer.Selection();
    if (selectedOnly && selection.Oids().empty()) return joined;
    if (!selectedOnly) {
        // The store's own box of the rows the layer shows: no feature object is
        // made, so Full Extent on a layer of a million points costs no visit of each.
        if (!layer.Data()) return joined;
        const memory::Box box = layer.Data()->Store()->Extent(layer.DefinitionMask());
        if (!box.IsEmpty()) joined = MapBox{box.xMin, box.yMin, box.xMax, box.yMax};
        return joined;
    }
    const objects::QuietHost quiet(layer.Data() ? layer.Data()->Store()->Context() : nullptr);
    EachFeature(layer, [&](std::int32_t oid, const std::shared_ptr<host::IGeometry>& shape) {
        if (selectedOnly && !selection.Oids().contains(oid)) return;
        const auto box = shape->Envelope();
        if (!box || box->IsEmpty()) return;
        const MapBox one{box->XMin(), box->YMin(), box->XMax(), box->YMax()};
        if (!joined) {
            joined = one;
            return;
        }
        joined->xMin = std::min(joined->xMin, one.xMin);
        joined->yMin = std::min(joined->yMin, one.yMin);
        joined->xMax = std::max(joined->xMax, one.xMax);
        joined->yMax = std::max(joined->yMax, one.yMax);
    });
    return joined;
}

std::optional<MapBox> JoinedBox(const std::vector<std::shared_ptr<host::ILayer>>& layers) {
    std::optional<MapBox> joined;
    const auto join = [&](const std::optional<MapBox>& one) {
        if (!one) return;
        if (!joined) {
            joined = one;
            return;
        }
        joined->xMin = std::min(joined->xMin, one->xMin);
        joined->yMin = std::min(joined->yMin, one->yMin);
        joined->xMax = std::max(joined->xMax, one->xMax);
        joined->yMax = std::max(joined->yMax, one->yMax);
    };
    for (const auto& layer : layers) {
        if (const auto features = std::dynamic_pointer_cast<memory::FeatureLayer>(layer)) {
            join(LayerBox(*features));
        } else if (const auto group = std::dynamic_pointer_cast<memory::GroupLayer>(layer)) {
            join(JoinedBox(group->Layers()));
        }
    }
    return joined;
}

MapBox WithMargin(const MapBox& box, double fraction) {
    const double margin = std::max(box.xMax - box.xMin, box.yMax - box.yMin) * fraction;
    return {box.xMin - margin, box.yMin - margin, box.xMax + margin, box.yMax + margin};
}

std::vector<std::shared_ptr<host::IGeometry>> SelectedShapes(memory::FeatureLayer& layer) {
    std::vector<std::shared_ptr<host::IGeometry>> shapes;
    const memory::SelectionSet& selection = layer.Selection();
    if (selection.Oids().empty()) return shapes;
    EachFeature(layer, [&](std::int32_t oid, const std::shared_ptr<host::IGeometry>& shape) {
        if (selection.Oids().contains(oid)) shapes.push_back(shape);
    });
    return shapes;
}

}  // namespace velorin::app
