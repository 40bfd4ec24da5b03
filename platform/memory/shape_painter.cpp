#include "platform/memory/shape_painter.h"

#include <algorithm>
#include <cmath>

#include "host/codes.h"
#include "host/error.h"
#include "platform/memory/neutral_objects.h"

namespace velorin::memory {

namespace {

using objects::MaxLinePx;
using objects::MaxMarkerPx;

double Clamp(double value, double most) { return objects::ClampPixels(value, most); }

// One geometry's coordinates, read through the concrete host classes when it is
// one of them, else through the host interfaces.
struct Parts {
    std::int32_t type = host::esriGeometryNull;
    std::vector<Path> parts;
};

std::optional<Parts> ReadParts(const host::IGeometry& shape) {
    if (const auto* point = dynamic_cast<const PointGeometry*>(&shape)) {
        const XY p = point->Coords();
        Parts result{host::esriGeometryPoint, {}};
        if (std::isfinite(p.x) && std::isfinite(p.y)) result.parts.push_back({p});
        return result;
    }
    if (const auto* multi = dynamic_cast<const MultiPartGeometry*>(&shape)) {
        return Parts{multi->Type(), multi->Parts()};
    }
    if (const auto* point = dynamic_cast<const host::IPoint*>(&shape)) {
        const XY p{point->X(), point->Y()};
        Parts result{host::esriGeometryPoint, {}};
        if (std::isfinite(p.x) && std::isfinite(p.y)) result.parts.push_back({p});
        return result;
    }
    if (const auto* box = dynamic_cast<const host::IEnvelope*>(&shape)) {
        Parts result{host::esriGeometryEnvelope, {}};
        if (!box->IsEmpty()) {
            const double x0 = box->XMin(), y0 = box->YMin(), x1 = box->XMax(), y1 = box->YMax();
            if (std::isfinite(x0) && std::isfinite(y0) && std::isfinite(x1) && std::isfinite(y1)) {
                result.parts.push_back({{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}});
            }
        }
        return result;
    }
    return std::nullopt;
}

PixelPath ToPixels(const Path& path, const ViewTransform& view) {
    PixelPath pixels;
    pixels.reserve(path.size());
    for (const XY& p : path) pixels.push_back(view.ToPixel(p));
    return pixels;
}

void PaintMarker(Canvas& canvas, const ViewTransform& view, const ClipRect& window, double sizePx,
                 const XY& p, const SymbolLook& look) {
    if (p.x < window.xMin || p.x > window.xMax || p.y < window.yMin || p.y > window.yMax) return;
    canvas.DrawMarker(view.ToPixel(p), look.marker, sizePx, look.color);
}

void PaintMarkers(Canvas& canvas, const ViewTransform& view, const std::vector<Path>& parts,
                  const SymbolLook& look) {
    const double sizePx = MarkerPx(look);
    const ClipRect window = view.Window(sizePx + 2);
    for (const Path& part : parts) {
        for (const XY& p : part) PaintMarker(canvas, view, window, sizePx, p, look);
    }
}

// How far beyond a vertex a stroke of the width reaches. The canvas mitres joins
// up to twice the width from the vertex and cuts them square there, so a cut
// mitre's corners lie up to hypot(2, 1/2) widths away; one pixel more covers
// rounding to the pixel grid.
double LineReachPx(double widthPx) { return 2.07 * std::max(widthPx, 1.0) + 1; }

void PaintLines(Canvas& canvas, const ViewTransform& view, const std::vector<Path>& parts,
                const LinePen& pen, bool closed) {
    if (pen.style == LineStyle::Null) return;
    // Every vertex whose join can reach the window is kept.
    const ClipRect window = view.Window(LineReachPx(pen.widthPx) + 16);
    std::vector<PixelPath> pixels;
    for (const Path& part : parts) {
        Path path = part;
        if (closed && path.size() > 1 && !(path.front() == path.back())) {
            path.push_back(path.front());
        }
        for (const Path& piece : ClipPath(path, window)) pixels.push_back(ToPixels(piece, view));
    }
    if (!pixels.empty()) canvas.StrokePaths(pixels, pen);
}

void PaintArea(Canvas& canvas, const ViewTransform& view, const std::vector<Path>& rings,
               const SymbolLook& look) {
    if (look.fill != FillStyle::Hollow) {
        const ClipRect window = view.Window(16);
        std::vector<PixelPath> pixels;
        for (const Path& ring : rings) {
            Path cut = ClipRing(ring, window);
            if (!cut.empty()) pixels.push_back(ToPixels(cut, view));
        }
        if (!pixels.empty()) canvas.FillRings(pixels, FillBrush{look.color, look.fill});
    }
    if (look.outline) PaintLines(canvas, view, rings, *look.outline, true);
}

}  // namespace

double MarkerPx(const SymbolLook& look) { return Clamp(look.size * PixelsPerPoint, MaxMarkerPx); }

void PaintMarkerAt(Canvas& canvas, const ViewTransform& view, const XY& point,
                   const SymbolLook& look) {
    const double sizePx = MarkerPx(look);
    PaintMarker(canvas, view, view.Window(sizePx + 2), sizePx, point, look);
}

double ReachPx(const SymbolLook& look) {
    switch (look.kind) {
        case SymbolKind::Marker:
            return MarkerPx(look) + 2;  // as far as PaintMarkers looks beyond the window
        case SymbolKind::Line:
            return LineReachPx(Clamp(look.size * PixelsPerPoint, MaxLinePx));
        case SymbolKind::Fill:
            return look.outline ? LineReachPx(look.outline->widthPx) : 1.0;
    }
    return 1.0;
}

ClipRect ViewTransform::Window(double marginPx) const {
    const double margin = marginPx * scale;
    return ClipRect{left - margin, top - height * scale - margin, left + width * scale + margin,
                    top + margin};
}

PaintResult PaintShape(Canvas& canvas, const ViewTransform& view, const host::IGeometry& shape,
                       const SymbolLook& look) {
    if (const auto* bag = dynamic_cast<const host::IGeometryCollection*>(&shape)) {
        const std::int32_t count = bag->GeometryCount();
        for (std::int32_t i = 0; i < count; ++i) {
            if (auto member = bag->Geometry(i)) PaintShape(canvas, view, *member, look);
        }
        return PaintResult::Drawn;
    }
    const std::optional<Parts> parts = ReadParts(shape);
    if (!parts) return PaintResult::UnsupportedGeometry;

    const bool pointKind =
        parts->type == host::esriGeometryPoint || parts->type == host::esriGeometryMultipoint;
    const bool lineKind = parts->type == host::esriGeometryPolyline;
    const bool areaKind =
        parts->type == host::esriGeometryPolygon || parts->type == host::esriGeometryEnvelope;
    const bool suits = (look.kind == SymbolKind::Marker && pointKind) ||
                       (look.kind == SymbolKind::Line && lineKind) ||
                       (look.kind == SymbolKind::Fill && areaKind);
    if (!suits) return PaintResult::UnsuitableSymbol;

    canvas.SetRasterOp(static_cast<RasterOp>(look.rop2));
    switch (look.kind) {
        case SymbolKind::Marker:
            PaintMarkers(canvas, view, parts->parts, look);
            break;
        case SymbolKind::Line:
            PaintLines(canvas, view, parts->parts,
                       LinePen{look.color, Clamp(look.size * PixelsPerPoint, MaxLinePx), look.line},
                       false);
            break;
        case SymbolKind::Fill:
            PaintArea(canvas, view, parts->parts, look);
            break;
    }
    canvas.SetRasterOp(RasterOp::CopyPen);
    return PaintResult::Drawn;
}

}  // namespace velorin::memory
