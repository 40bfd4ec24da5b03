#include "platform/objects/geometry.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "host/codes.h"
#include "host/error.h"

namespace velorin::objects {

namespace {

[[noreturn]] void InvalidArgument(const std::string& what) {
    throw Error(host::E_HOST_INVALIDARG, what);
}

void RequireFinite(double value, const char* what) {
    if (!std::isfinite(value)) InvalidArgument(std::string(what) + " must be a finite number");
}

// Twice the signed area and the area-weighted centre sums of one closed ring.
struct RingSums {
    double twiceArea = 0.0;
    double cx = 0.0;
    double cy = 0.0;
};

RingSums SumRing(const Path& ring) {
    RingSums sums;
    const std::size_t n = ring.size();
    for (std::size_t i = 0; i < n; ++i) {
        const XY& a = ring[i];
        const XY& b = ring[(i + 1) % n];
        const double cross = a.x * b.y - b.x * a.y;
        sums.twiceArea += cross;
        sums.cx += (a.x + b.x) * cross;
        sums.cy += (a.y + b.y) * cross;
    }
    return sums;
}

bool PointInRing(const XY& p, const Path& ring) {
    bool inside = false;
    const std::size_t n = ring.size();
    for (std::size_t i = 0, j = n - 1; i < n; j = i++) {
        const XY& a = ring[i];
        const XY& b = ring[j];
        if ((a.y > p.y) != (b.y > p.y) && p.x < (b.x - a.x) * (p.y - a.y) / (b.y - a.y) + a.x) {
            inside = !inside;
        }
    }
    return inside;
}

}  // namespace

// ---- EnvelopeGeometry ----------------------------------------------------------

EnvelopeGeometry::EnvelopeGeometry(std::shared_ptr<HostContext> context)
    : m_context(std::move(context)) {}

EnvelopeGeometry::EnvelopeGeometry(std::shared_ptr<HostContext> context, double xMin, double yMin,
                                   double xMax, double yMax)
    : m_context(std::move(context)),
      m_empty(false),
      m_xMin(std::min(xMin, xMax)),
      m_yMin(std::min(yMin, yMax)),
      m_xMax(std::max(xMin, xMax)),
      m_yMax(std::max(yMin, yMax)) {}

void EnvelopeGeometry::Enter(const char* member) const { Announce(m_context, member); }

std::int32_t EnvelopeGeometry::GeometryType() const {
    Enter("IGeometry::GeometryType");
    return host::esriGeometryEnvelope;
}

std::int32_t EnvelopeGeometry::Dimension() const {
    Enter("IGeometry::Dimension");
    return 2;
}

bool EnvelopeGeometry::IsEmpty() const {
    Enter("IGeometry::IsEmpty");
    return m_empty;
}

std::shared_ptr<host::IEnvelope> EnvelopeGeometry::Envelope() const {
    Enter("IGeometry::Envelope");
    return std::make_shared<EnvelopeGeometry>(*this);
}

double EnvelopeGeometry::XMin() const {
    Enter("IEnvelope::XMin");
    return m_xMin;
}
double EnvelopeGeometry::YMin() const {
    Enter("IEnvelope::YMin");
    return m_yMin;
}
double EnvelopeGeometry::XMax() const {
    Enter("IEnvelope::XMax");
    return m_xMax;
}
double EnvelopeGeometry::YMax() const {
    Enter("IEnvelope::YMax");
    return m_yMax;
}
double EnvelopeGeometry::ZMin() const {
    Enter("IEnvelope::ZMin");
    return m_zMin;
}
double EnvelopeGeometry::ZMax() const {
    Enter("IEnvelope::ZMax");
    return m_zMax;
}

void EnvelopeGeometry::PutCoords(double xMin, double yMin, double xMax, double yMax) {
    Enter("IEnvelope::PutCoords");
    RequireFinite(xMin, "XMin");
    RequireFinite(yMin, "YMin");
    RequireFinite(xMax, "XMax");
    RequireFinite(yMax, "YMax");
    m_xMin = std::min(xMin, xMax);
    m_xMax = std::max(xMin, xMax);
    m_yMin = std::min(yMin, yMax);
    m_yMax = std::max(yMin, yMax);
    m_empty = false;
}

double EnvelopeGeometry::Width() const {
    Enter("IEnvelope::Width");
    return m_empty ? 0.0 : m_xMax - m_xMin;
}
double EnvelopeGeometry::Height() const {
    Enter("IEnvelope::Height");
    return m_empty ? 0.0 : m_yMax - m_yMin;
}
double EnvelopeGeometry::Depth() const {
    Enter("IEnvelope::Depth");
    return m_zMax - m_zMin;
}

// Sizes must be finite and not negative: a negative width would turn the box
// inside out, and every later fit of the view would follow it.
void EnvelopeGeometry::SetWidth(double width) {
    Enter("IEnvelope::Width");
    RequireFinite(width, "Width");
    if (width < 0) InvalidArgument("Width cannot be negative");
    if (m_empty) InvalidArgument("Width cannot be set on an empty envelope");
    m_xMax = m_xMin + width;
}

void EnvelopeGeometry::SetHeight(double height) {
    Enter("IEnvelope::Height");
    RequireFinite(height, "Height");
    if (height < 0) InvalidArgument("Height cannot be negative");
    if (m_empty) InvalidArgument("Height cannot be set on an empty envelope");
    m_yMax = m_yMin + height;
}

void EnvelopeGeometry::SetDepth(double depth) {
    Enter("IEnvelope::Depth");
    RequireFinite(depth, "Depth");
    if (depth < 0) InvalidArgument("Depth cannot be negative");
    m_zMax = m_zMin + depth;
}

void EnvelopeGeometry::Expand(double dx, double dy, bool asRatio) {
    Enter("IEnvelope::Expand");
    RequireFinite(dx, "Expand dx");
    RequireFinite(dy, "Expand dy");
    if (m_empty) return;
    const double cx = (m_xMin + m_xMax) / 2;
    const double cy = (m_yMin + m_yMax) / 2;
    double halfW = (m_xMax - m_xMin) / 2;
    double halfH = (m_yMax - m_yMin) / 2;
    if (asRatio) {
        if (dx < 0 || dy < 0) InvalidArgument("Expand ratio cannot be negative");
        halfW *= dx;
        halfH *= dy;
    } else {
        // Shrinking past nothing leaves a box of no size at the centre.
        halfW = std::max(0.0, halfW + dx);
        halfH = std::max(0.0, halfH + dy);
    }
    m_xMin = cx - halfW;
    m_xMax = cx + halfW;
    m_yMin = cy - halfH;
    m_yMax = cy + halfH;
}

void EnvelopeGeometry::CenterAt(const std::shared_ptr<host::IPoint>& point) {
    Enter("IEnvelope::CenterAt");
    if (!point) throw Error(host::E_HOST_POINTER, "CenterAt needs a point");
    const double x = point->X();
    const double y = point->Y();
    RequireFinite(x, "CenterAt x");
    RequireFinite(y, "CenterAt y");
    const double halfW = m_empty ? 0.0 : (m_xMax - m_xMin) / 2;
    const double halfH = m_empty ? 0.0 : (m_yMax - m_yMin) / 2;
    m_xMin = x - halfW;
    m_xMax = x + halfW;
    m_yMin = y - halfH;
    m_yMax = y + halfH;
    m_empty = false;
}

double EnvelopeGeometry::Area() const {
    Enter("IArea::Area");
    return m_empty ? 0.0 : (m_xMax - m_xMin) * (m_yMax - m_yMin);
}

std::shared_ptr<host::IPoint> EnvelopeGeometry::Centroid() const {
    Enter("IArea::Centroid");
    if (m_empty) throw Error(host::E_HOST_FAIL, "An empty envelope has no centroid");
    return std::make_shared<PointGeometry>(m_context, (m_xMin + m_xMax) / 2, (m_yMin + m_yMax) / 2);
}

std::shared_ptr<host::IClone> EnvelopeGeometry::Clone() const {
    Enter("IClone::Clone");
    return std::make_shared<EnvelopeGeometry>(*this);
}

void EnvelopeGeometry::Union(const host::IEnvelope& other) {
    if (other.IsEmpty()) return;
    if (m_empty) {
        m_xMin = other.XMin();
        m_yMin = other.YMin();
        m_xMax = other.XMax();
        m_yMax = other.YMax();
        m_empty = false;
        return;
    }
    m_xMin = std::min(m_xMin, other.XMin());
    m_yMin = std::min(m_yMin, other.YMin());
    m_xMax = std::max(m_xMax, other.XMax());
    m_yMax = std::max(m_yMax, other.YMax());
}

// ---- PointGeometry ---------------------------------------------------------------

PointGeometry::PointGeometry(std::shared_ptr<HostContext> context, double x, double y)
    : m_context(std::move(context)), m_x(x), m_y(y) {}

std::int32_t PointGeometry::GeometryType() const {
    Announce(m_context, "IGeometry::GeometryType");
    return host::esriGeometryPoint;
}
std::int32_t PointGeometry::Dimension() const {
    Announce(m_context, "IGeometry::Dimension");
    return 0;
}
bool PointGeometry::IsEmpty() const {
    Announce(m_context, "IGeometry::IsEmpty");
    return std::isnan(m_x) || std::isnan(m_y);
}
std::shared_ptr<host::IEnvelope> PointGeometry::Envelope() const {
    Announce(m_context, "IGeometry::Envelope");
    if (std::isnan(m_x) || std::isnan(m_y)) return std::make_shared<EnvelopeGeometry>(m_context);
    return std::make_shared<EnvelopeGeometry>(m_context, m_x, m_y, m_x, m_y);
}
double PointGeometry::X() const {
    Announce(m_context, "IPoint::X");
    return m_x;
}
double PointGeometry::Y() const {
    Announce(m_context, "IPoint::Y");
    return m_y;
}
void PointGeometry::PutCoords(double x, double y) {
    Announce(m_context, "IPoint::PutCoords");
    m_x = x;
    m_y = y;
}
std::shared_ptr<host::IClone> PointGeometry::Clone() const {
    Announce(m_context, "IClone::Clone");
    return std::make_shared<PointGeometry>(*this);
}

// ---- MultiPartGeometry ---------------------------------------------------------

MultiPartGeometry::MultiPartGeometry(std::shared_ptr<HostContext> context,
                                     std::int32_t geometryType, std::vector<Path> parts)
    : m_context(std::move(context)), m_type(geometryType), m_parts(std::move(parts)) {
    if (m_type != host::esriGeometryMultipoint && m_type != host::esriGeometryPolyline &&
        m_type != host::esriGeometryPolygon) {
        InvalidArgument("A multi-part geometry is a multipoint, a polyline or a polygon");
    }
    for (const Path& part : m_parts) {
        for (const XY& p : part) {
            RequireFinite(p.x, "A coordinate");
            RequireFinite(p.y, "A coordinate");
        }
    }
    std::erase_if(m_parts, [](const Path& part) { return part.empty(); });
}

std::int32_t MultiPartGeometry::GeometryType() const {
    Announce(m_context, "IGeometry::GeometryType");
    return m_type;
}

std::int32_t MultiPartGeometry::Dimension() const {
    Announce(m_context, "IGeometry::Dimension");
    return m_type == host::esriGeometryMultipoint ? 0
           : m_type == host::esriGeometryPolyline ? 1
                                                  : 2;
}

bool MultiPartGeometry::IsEmpty() const {
    Announce(m_context, "IGeometry::IsEmpty");
    return m_parts.empty();
}

std::shared_ptr<host::IEnvelope> MultiPartGeometry::Envelope() const {
    Announce(m_context, "IGeometry::Envelope");
    auto box = std::make_shared<EnvelopeGeometry>(m_context);
    bool first = true;
    double xMin = 0, yMin = 0, xMax = 0, yMax = 0;
    for (const Path& part : m_parts) {
        for (const XY& p : part) {
            if (first) {
                xMin = xMax = p.x;
                yMin = yMax = p.y;
                first = false;
            } else {
                xMin = std::min(xMin, p.x);
                xMax = std::max(xMax, p.x);
                yMin = std::min(yMin, p.y);
                yMax = std::max(yMax, p.y);
            }
        }
    }
    if (!first) box = std::make_shared<EnvelopeGeometry>(m_context, xMin, yMin, xMax, yMax);
    return box;
}

// Rings nested inside an odd number of other rings are holes; orientation does
// not matter, so data from any source gives the same answer.
double MultiPartGeometry::Area() const {
    Announce(m_context, "IArea::Area");
    if (m_type != host::esriGeometryPolygon) return 0.0;
    double area = 0.0;
    for (std::size_t i = 0; i < m_parts.size(); ++i) {
        int depth = 0;
        for (std::size_t j = 0; j < m_parts.size(); ++j) {
            if (i != j && PointInRing(m_parts[i].front(), m_parts[j])) ++depth;
        }
        const double a = std::fabs(SumRing(m_parts[i]).twiceArea) / 2;
        area += depth % 2 == 0 ? a : -a;
    }
    return area;
}

std::shared_ptr<host::IPoint> MultiPartGeometry::Centroid() const {
    Announce(m_context, "IArea::Centroid");
    if (m_parts.empty()) throw Error(host::E_HOST_FAIL, "An empty geometry has no centroid");
    if (m_type == host::esriGeometryPolygon) {
        double twiceArea = 0.0, cx = 0.0, cy = 0.0;
        for (std::size_t i = 0; i < m_parts.size(); ++i) {
            int depth = 0;
            for (std::size_t j = 0; j < m_parts.size(); ++j) {
                if (i != j && PointInRing(m_parts[i].front(), m_parts[j])) ++depth;
            }
            RingSums s = SumRing(m_parts[i]);
            // Normalise each ring's sign: shells add, holes subtract.
            const double sign = ((s.twiceArea >= 0) == (depth % 2 == 0)) ? 1.0 : -1.0;
            twiceArea += sign * s.twiceArea;
            cx += sign * s.cx;
            cy += sign * s.cy;
        }
        if (twiceArea != 0.0) {
            return std::make_shared<PointGeometry>(m_context, cx / (3 * twiceArea),
                                                   cy / (3 * twiceArea));
        }
    }
    auto box = Envelope();
    return std::make_shared<PointGeometry>(m_context, (box->XMin() + box->XMax()) / 2,
                                           (box->YMin() + box->YMax()) / 2);
}

std::shared_ptr<host::IClone> MultiPartGeometry::Clone() const {
    Announce(m_context, "IClone::Clone");
    return std::make_shared<MultiPartGeometry>(*this);
}

// ---- GeometryBag ---------------------------------------------------------------

GeometryBag::GeometryBag(std::shared_ptr<HostContext> context) : m_context(std::move(context)) {}

std::int32_t GeometryBag::GeometryType() const {
    Announce(m_context, "IGeometry::GeometryType");
    return host::esriGeometryBag;
}

std::int32_t GeometryBag::Dimension() const {
    Announce(m_context, "IGeometry::Dimension");
    std::int32_t dimension = 0;
    for (const auto& g : m_members) dimension = std::max(dimension, g->Dimension());
    return dimension;
}

bool GeometryBag::IsEmpty() const {
    Announce(m_context, "IGeometry::IsEmpty");
    return m_members.empty();
}

std::shared_ptr<host::IEnvelope> GeometryBag::Envelope() const {
    Announce(m_context, "IGeometry::Envelope");
    auto box = std::make_shared<EnvelopeGeometry>(m_context);
    for (const auto& g : m_members) box->Union(*g->Envelope());
    return box;
}

std::int32_t GeometryBag::GeometryCount() const {
    Announce(m_context, "IGeometryCollection::GeometryCount");
    return static_cast<std::int32_t>(m_members.size());
}

std::shared_ptr<host::IGeometry> GeometryBag::Geometry(std::int32_t index) const {
    Announce(m_context, "IGeometryCollection::Geometry");
    if (index < 0 || static_cast<std::size_t>(index) >= m_members.size()) {
        InvalidArgument("Geometry index " + std::to_string(index) + " is out of range");
    }
    return m_members[static_cast<std::size_t>(index)];
}

void GeometryBag::AddGeometry(const std::shared_ptr<host::IGeometry>& geometry) {
    Announce(m_context, "IGeometryCollection::AddGeometry");
    if (!geometry) throw Error(host::E_HOST_POINTER, "AddGeometry needs a geometry");
    m_members.push_back(geometry);
}

void GeometryBag::AddGeometries(const std::shared_ptr<host::IGeometryCollection>& other) {
    Announce(m_context, "IGeometryCollection::AddGeometries");
    if (!other) throw Error(host::E_HOST_POINTER, "AddGeometries needs a collection");
    // Copy first: adding a bag to itself must not read what it is appending.
    std::vector<std::shared_ptr<host::IGeometry>> added;
    const std::int32_t n = other->GeometryCount();
    added.reserve(static_cast<std::size_t>(n));
    // Called through a member pointer: GCC 12 at -O3 stops with an internal compiler
    // error (assign_temp) when it speculatively devirtualises a plain call here.
    const auto member = &host::IGeometryCollection::Geometry;
    for (std::int32_t i = 0; i < n; ++i) added.push_back(((*other).*member)(i));
    m_members.insert(m_members.end(), added.begin(), added.end());
}

std::shared_ptr<host::IClone> GeometryBag::Clone() const {
    Announce(m_context, "IClone::Clone");
    return std::make_shared<GeometryBag>(*this);
}

// ---- constructors ----------------------------------------------------------------

std::shared_ptr<PointGeometry> MakePoint(double x, double y, std::shared_ptr<HostContext> context) {
    return std::make_shared<PointGeometry>(std::move(context), x, y);
}

std::shared_ptr<MultiPartGeometry> MakeMultipoint(std::vector<XY> points,
                                                  std::shared_ptr<HostContext> context) {
    std::vector<Path> parts;
    if (!points.empty()) parts.push_back(std::move(points));
    return std::make_shared<MultiPartGeometry>(std::move(context), host::esriGeometryMultipoint,
                                               std::move(parts));
}

std::shared_ptr<MultiPartGeometry> MakePolyline(std::vector<Path> paths,
                                                std::shared_ptr<HostContext> context) {
    return std::make_shared<MultiPartGeometry>(std::move(context), host::esriGeometryPolyline,
                                               std::move(paths));
}

std::shared_ptr<MultiPartGeometry> MakePolygon(std::vector<Path> rings,
                                               std::shared_ptr<HostContext> context) {
    return std::make_shared<MultiPartGeometry>(std::move(context), host::esriGeometryPolygon,
                                               std::move(rings));
}

std::shared_ptr<EnvelopeGeometry> MakeEnvelope(double xMin, double yMin, double xMax, double yMax,
                                               std::shared_ptr<HostContext> context) {
    return std::make_shared<EnvelopeGeometry>(std::move(context), xMin, yMin, xMax, yMax);
}

}  // namespace velorin::objects
