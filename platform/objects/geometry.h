#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "host/geometry.h"
#include "platform/objects/host_context.h"

// The geometries any host hands out. Coordinates are map units, x east, y north.
// Every object takes the host context it belongs to (may be empty for geometry
// made outside a host); each member announces itself to the context's fault
// injector first.
namespace velorin::objects {

struct XY {
    double x = 0.0;
    double y = 0.0;
    friend bool operator==(const XY&, const XY&) = default;
};

using Path = std::vector<XY>;

class EnvelopeGeometry final : public host::IEnvelope, public host::IArea, public host::IClone {
  public:
    // An empty envelope (no extent; width and height 0).
    explicit EnvelopeGeometry(std::shared_ptr<HostContext> context = {});
    EnvelopeGeometry(std::shared_ptr<HostContext> context, double xMin, double yMin, double xMax,
                     double yMax);

    std::int32_t GeometryType() const override;
    std::int32_t Dimension() const override;
    bool IsEmpty() const override;
    std::shared_ptr<host::IEnvelope> Envelope() const override;

    double XMin() const override;
    double YMin() const override;
    double XMax() const override;
    double YMax() const override;
    double ZMin() const override;
    double ZMax() const override;
    void PutCoords(double xMin, double yMin, double xMax, double yMax) override;
    double Width() const override;
    double Height() const override;
    double Depth() const override;
    void SetWidth(double width) override;
    void SetHeight(double height) override;
    void SetDepth(double depth) override;
    void Expand(double dx, double dy, bool asRatio) override;
    void CenterAt(const std::shared_ptr<host::IPoint>& point) override;

    double Area() const override;
    std::shared_ptr<host::IPoint> Centroid() const override;
    std::shared_ptr<host::IClone> Clone() const override;

    // Grows to cover the other envelope (an empty one changes nothing).
    void Union(const host::IEnvelope& other);

  private:
    void Enter(const char* member) const;

    std::shared_ptr<HostContext> m_context;
    bool m_empty = true;
    double m_xMin = 0.0, m_yMin = 0.0, m_xMax = 0.0, m_yMax = 0.0;
    double m_zMin = 0.0, m_zMax = 0.0;
};

class PointGeometry final : public host::IPoint, public host::IClone {
  public:
    PointGeometry(std::shared_ptr<HostContext> context, double x, double y);

    std::int32_t GeometryType() const override;
    std::int32_t Dimension() const override;
    bool IsEmpty() const override;
    std::shared_ptr<host::IEnvelope> Envelope() const override;
    double X() const override;
    double Y() const override;
    void PutCoords(double x, double y) override;
    std::shared_ptr<host::IClone> Clone() const override;

    XY Coords() const { return {m_x, m_y}; }
    const std::shared_ptr<HostContext>& Context() const { return m_context; }

  private:
    std::shared_ptr<HostContext> m_context;
    double m_x, m_y;
};

// Multipoints, polylines and polygons share one shape: a list of parts.
// Multipoint: one part holding every point. Polyline: one part per path.
// Polygon: one part per ring, closed implicitly; holes are rings inside others
// and are filled even-odd.
class MultiPartGeometry final : public host::IGeometry, public host::IArea, public host::IClone {
  public:
    MultiPartGeometry(std::shared_ptr<HostContext> context, std::int32_t geometryType,
                      std::vector<Path> parts);

    std::int32_t GeometryType() const override;
    std::int32_t Dimension() const override;
    bool IsEmpty() const override;
    std::shared_ptr<host::IEnvelope> Envelope() const override;
    // Polygons: the enclosed area (holes subtracted); other kinds: 0.
    double Area() const override;
    // Polygons: the area-weighted centre; other kinds: the centre of the envelope.
    std::shared_ptr<host::IPoint> Centroid() const override;
    std::shared_ptr<host::IClone> Clone() const override;

    const std::vector<Path>& Parts() const { return m_parts; }
    // GeometryType without announcing the call: for the host's own drawing, which
    // may run on a thread of its own, where the context's observer must not be
    // touched.
    std::int32_t Type() const { return m_type; }

  private:
    std::shared_ptr<HostContext> m_context;
    std::int32_t m_type;
    std::vector<Path> m_parts;
};

class GeometryBag final : public host::IGeometry,
                          public host::IGeometryCollection,
                          public host::IClone {
  public:
    explicit GeometryBag(std::shared_ptr<HostContext> context = {});

    std::int32_t GeometryType() const override;
    std::int32_t Dimension() const override;
    bool IsEmpty() const override;
    // The union of the members' envelopes; empty for an empty bag.
    std::shared_ptr<host::IEnvelope> Envelope() const override;
    std::int32_t GeometryCount() const override;
    std::shared_ptr<host::IGeometry> Geometry(std::int32_t index) const override;
    void AddGeometry(const std::shared_ptr<host::IGeometry>& geometry) override;
    void AddGeometries(const std::shared_ptr<host::IGeometryCollection>& other) override;
    std::shared_ptr<host::IClone> Clone() const override;

  private:
    std::shared_ptr<HostContext> m_context;
    std::vector<std::shared_ptr<host::IGeometry>> m_members;
};

// Convenience constructors for the builder, loaders and tests.
std::shared_ptr<PointGeometry> MakePoint(double x, double y,
                                         std::shared_ptr<HostContext> context = {});
std::shared_ptr<MultiPartGeometry> MakeMultipoint(std::vector<XY> points,
                                                  std::shared_ptr<HostContext> context = {});
std::shared_ptr<MultiPartGeometry> MakePolyline(std::vector<Path> paths,
                                                std::shared_ptr<HostContext> context = {});
std::shared_ptr<MultiPartGeometry> MakePolygon(std::vector<Path> rings,
                                               std::shared_ptr<HostContext> context = {});
std::shared_ptr<EnvelopeGeometry> MakeEnvelope(double xMin, double yMin, double xMax, double yMax,
                                               std::shared_ptr<HostContext> context = {});

}  // namespace velorin::objects
