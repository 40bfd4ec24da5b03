#include "platform/gdal/shape_maker.h"

#include <cmath>
#include <string>
#include <utility>

#include "host/codes.h"
#include "host/error.h"

namespace velorin::gdal {

namespace {

// Raises a plain message (the caller names the layer and feature) for a
// coordinate that is not finite.
objects::XY FiniteXY(double x, double y) {
    if (!std::isfinite(x) || !std::isfinite(y)) {
        throw Error(host::E_HOST_FAIL, "a coordinate is not a finite number");
    }
    return {x, y};
}

}  // namespace

std::optional<ShapeKind> KindOf(OGRwkbGeometryType type) {
    switch (wkbFlatten(type)) {
        case wkbUnknown:
            return ShapeKind::Unknown;
        case wkbPoint:
            return ShapeKind::Point;
        case wkbMultiPoint:
            return ShapeKind::MultiPoint;
        case wkbLineString:
        case wkbMultiLineString:
        case wkbCircularString:
        case wkbCompoundCurve:
        case wkbMultiCurve:
        case wkbCurve:
            return ShapeKind::Line;
        case wkbPolygon:
        case wkbMultiPolygon:
        case wkbCurvePolygon:
        case wkbMultiSurface:
        case wkbSurface:
            return ShapeKind::Polygon;
        default:
            return std::nullopt;
    }
}

std::int32_t ShapeTypeOf(ShapeKind kind) {
    switch (kind) {
        case ShapeKind::Point:
            return host::esriGeometryPoint;
        case ShapeKind::MultiPoint:
            return host::esriGeometryMultipoint;
        case ShapeKind::Line:
            return host::esriGeometryPolyline;
        case ShapeKind::Polygon:
            return host::esriGeometryPolygon;
        case ShapeKind::Unknown:
            break;
    }
    return host::esriGeometryNull;
}

std::optional<ShapeKind> Merge(ShapeKind a, ShapeKind b) {
    if (a == ShapeKind::Unknown || a == b) return b;
    if (b == ShapeKind::Unknown) return a;
    const auto isPoints = [](ShapeKind k) {
        return k == ShapeKind::Point || k == ShapeKind::MultiPoint;
    };
    if (isPoints(a) && isPoints(b)) return ShapeKind::MultiPoint;
    return std::nullopt;
}

const char* KindName(ShapeKind kind) {
    switch (kind) {
        case ShapeKind::Point:
            return "points";
        case ShapeKind::MultiPoint:
            return "multipoints";
        case ShapeKind::Line:
            return "lines";
        case ShapeKind::Polygon:
            return "polygons";
        case ShapeKind::Unknown:
            break;
    }
    return "unknown geometries";
}

std::shared_ptr<host::IGeometry> ShapeMaker::Make(const OGRGeometry& geometry,
                                                  std::int32_t shapeType) const {
    std::vector<objects::Path> parts;
    Collect(geometry, parts);
    std::erase_if(parts, [](const objects::Path& part) { return part.empty(); });
    if (parts.empty()) return nullptr;
    switch (shapeType) {
        case host::esriGeometryPoint:
            return objects::MakePoint(parts[0][0].x, parts[0][0].y, m_context);
        case host::esriGeometryMultipoint: {
            objects::Path points;
            for (auto& part : parts) points.insert(points.end(), part.begin(), part.end());
            return objects::MakeMultipoint(std::move(points), m_context);
        }
        case host::esriGeometryPolyline:
            return objects::MakePolyline(std::move(parts), m_context);
        default:
            return objects::MakePolygon(std::move(parts), m_context);
    }
}

std::optional<objects::XY> ShapeMaker::PointOf(const OGRGeometry& geometry, std::int32_t shapeType) {
    if (shapeType != host::esriGeometryPoint ||
        wkbFlatten(geometry.getGeometryType()) != wkbPoint || geometry.IsEmpty()) {
        return std::nullopt;
    }
    const auto& point = *geometry.toPoint();
    return FiniteXY(point.getX(), point.getY());
}

void ShapeMaker::Add(const OGRSimpleCurve& curve, std::vector<objects::Path>& parts, bool ring) {
    objects::Path path;
    path.reserve(static_cast<std::size_t>(curve.getNumPoints()));
    for (int i = 0; i < curve.getNumPoints(); ++i) {
        path.push_back(FiniteXY(curve.getX(i), curve.getY(i)));
    }
    if (ring && path.size() > 1 && path.front() == path.back()) path.pop_back();
    parts.push_back(std::move(path));
}

void ShapeMaker::Collect(const OGRGeometry& geometry, std::vector<objects::Path>& parts) {
    if (geometry.IsEmpty()) return;
    switch (wkbFlatten(geometry.getGeometryType())) {
        case wkbPoint: {
            const auto& point = *geometry.toPoint();
            parts.push_back({FiniteXY(point.getX(), point.getY())});
            return;
        }
        case wkbLineString:
            Add(*geometry.toLineString(), parts, false);
            return;
        case wkbPolygon: {
            const auto& polygon = *geometry.toPolygon();
            if (const auto* exterior = polygon.getExteriorRing()) Add(*exterior, parts, true);
            for (int i = 0; i < polygon.getNumInteriorRings(); ++i) {
                Add(*polygon.getInteriorRing(i), parts, true);
            }
            return;
        }
        case wkbMultiPoint:
        case wkbMultiLineString:
        case wkbMultiPolygon: {
            const auto& collection = *geometry.toGeometryCollection();
            for (int i = 0; i < collection.getNumGeometries(); ++i) {
                Collect(*collection.getGeometryRef(i), parts);
            }
            return;
        }
        default:
            throw Error(host::E_HOST_FAIL,
                        std::string("a ") + geometry.getGeometryName() + " cannot be shown");
    }
}

}  // namespace velorin::gdal
