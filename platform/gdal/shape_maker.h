#pragma once

#include <ogr_geometry.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "host/geometry.h"
#include "platform/objects/geometry.h"
#include "platform/objects/host_context.h"

// The shape mapping of a data set layer: which kind of host shape a GDAL
// geometry is, and the shape made of it. Internal to platform/gdal; the mapping
// as a whole is described at DataSetReader.
namespace velorin::gdal {

// The four shape types of the host, and Unknown while a layer that does not
// declare one has shown no geometry yet.
enum class ShapeKind { Unknown, Point, MultiPoint, Line, Polygon };

// The kind of a GDAL geometry type (curves as the lines or polygons they are
// linearised to); nothing for a kind the map cannot show.
std::optional<ShapeKind> KindOf(OGRwkbGeometryType type);
// The host's esriGeometryType of a kind; esriGeometryNull for Unknown.
std::int32_t ShapeTypeOf(ShapeKind kind);
// The kind that holds both, or nothing when they mix dimensions.
std::optional<ShapeKind> Merge(ShapeKind a, ShapeKind b);
// The kind in the plural, for messages: "points", "lines".
const char* KindName(ShapeKind kind);

// Turns OGR geometries into host shapes.
class ShapeMaker {
  public:
    explicit ShapeMaker(std::shared_ptr<objects::HostContext> context)
        : m_context(std::move(context)) {}

    // A shape of the shape type; empty for an empty geometry. Raises a plain
    // message (the caller names the layer and feature) for a non-finite coordinate.
    std::shared_ptr<host::IGeometry> Make(const OGRGeometry& geometry,
                                          std::int32_t shapeType) const;

    // The coordinates of a point in a layer of points, which the store keeps
    // without a shape object; empty for any other geometry or shape type. Raises
    // as Make does.
    static std::optional<objects::XY> PointOf(const OGRGeometry& geometry, std::int32_t shapeType);

  private:
    static void Add(const OGRSimpleCurve& curve, std::vector<objects::Path>& parts, bool ring);
    // Every point, path or ring in order; multipoints give one part per point.
    static void Collect(const OGRGeometry& geometry, std::vector<objects::Path>& parts);

    std::shared_ptr<objects::HostContext> m_context;
};

}  // namespace velorin::gdal
