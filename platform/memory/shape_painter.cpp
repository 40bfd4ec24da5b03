#include "platform/memory/shape_painter.h"

#include <algorithm>
#include <cmath>

#include "host/codes.h"
#include "host/error.h"
#include "platform/memory/symbols.h"

namespace velorin::memory {

namespace {

// Bounds that keep a runaway size from asking the rasteriser for the impossible;
// no screen shows a symbol larger than this anyway.
constexpr double MaxMarkerPx = 4096.0;
constexpr double MaxLinePx = 1024.0;

MarkerShape ToMarker(std::int32_t style) {
    switch (style) {
        case host::esriSMSSquare:
            return MarkerShape::Square;
        case host::esriSMSCross:
            return MarkerShape::Cross;
        case host::esriSMSX:
            return MarkerShape::X;
        case host::esriSMSDiamond:
            return MarkerShape::Diamond;
        default:
            return MarkerShape::Circle;
    }
}

LineStyle ToLine(std::int32_t style) {
    switch (style) {
        case host::esriSLSDash:
            return LineStyle::Dash;
        case host::esriSLSDot:
            return LineStyle::Dot;
        case host::esriSLSDashDot:
            return LineStyle::DashDot;
        case host::esriSLSDashDotDot:
            return LineStyle::DashDotDot;
        case host::esriSLSNull:
            return LineStyle::Null;
        default:  // solid and inside-frame
            return LineStyle::Solid;
    }
}

FillStyle ToFill(std::int32_t style) {
    switch (style) {
        case host::esriSFSHollow:
            return FillStyle::Hollow;
        case host::esriSFSHorizontal:
            return FillStyle::Horizontal;
        case host::esriSFSVertical:
            return FillStyle::Vertical;
        case host::esriSFSForwardDiagonal:
            return FillStyle::ForwardDiagonal;
        case host::esriSFSBackwardDiagonal:
            return FillStyle::BackwardDiagonal;
        case host::esriSFSCross:
            return FillStyle::Cross;
        case host::esriSFSDiagonalCross:
            return FillStyle::DiagonalCross;
        default:
            return FillStyle::Solid;
    }
}

void ReadColor(const std::shared_ptr<host::IColor>& color, SymbolLook& look) {
    if (!color) return;  // drawn black, recorded as having no colour
    look.rgb = color->RGB();
    look.color = Rgb::FromHost(look.rgb);
}

double Clamp(double value, double most) {
    if (!std::isfinite(value) || value < 0) return 0.0;
    return std::min(value, most);
}

LinePen ReadLinePen(const host::ILineSymbol& line) {
    LinePen pen;
    if (auto color = line.Color()) pen.color = Rgb::FromHost(color->RGB());
    pen.widthPx = Clamp(line.Width() * PixelsPerPoint, MaxLinePx);
    if (const auto* simple = dynamic_cast<const host::ISimpleLineSymbol*>(&line)) {
        pen.style = ToLine(simple->Style());
    }
    return pen;
}

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
        return Parts{multi->GeometryType(), multi->Parts()};
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

SymbolLook ReadSymbol(const std::shared_ptr<host::ISymbol>& symbol) {
    if (!symbol) throw Error(host::E_HOST_POINTER, "No symbol to draw with");
    std::optional<SymbolLook> look = TryReadSymbol(symbol);
    if (!look) {
        throw Error(host::E_HOST_INVALIDARG,
                    "The symbol is not a marker, line or fill symbol and cannot draw");
    }
    return *look;
}

std::optional<SymbolLook> TryReadSymbol(const std::shared_ptr<host::ISymbol>& symbol) {
    if (!symbol) return std::nullopt;
    SymbolLook look;
    const std::int32_t rop2 = symbol->ROP2();
    look.rop2 =
        rop2 >= host::esriROPBlack && rop2 <= host::esriROPWhite ? rop2 : host::esriROPCopyPen;
    if (auto marker = host::As<host::IMarkerSymbol>(symbol)) {
        look.kind = SymbolKind::Marker;
        look.size = marker->Size();
        ReadColor(marker->Color(), look);
        if (auto simple = host::As<host::ISimpleMarkerSymbol>(symbol)) {
            look.kindName = "SimpleMarker";
            look.marker = ToMarker(simple->Style());
        } else if (host::Supports<PictureMarkerSymbol>(symbol)) {
            look.kindName = "PictureMarker";
            look.marker = MarkerShape::Picture;
        } else {
            look.kindName = "Marker";
        }
    } else if (auto line = host::As<host::ILineSymbol>(symbol)) {
        look.kind = SymbolKind::Line;
        look.size = line->Width();
        ReadColor(line->Color(), look);
        if (auto simple = host::As<host::ISimpleLineSymbol>(symbol)) {
            look.kindName = "SimpleLine";
            look.line = ToLine(simple->Style());
        } else {
            look.kindName = "Line";
        }
    } else if (auto fill = host::As<host::IFillSymbol>(symbol)) {
        look.kind = SymbolKind::Fill;
        ReadColor(fill->Color(), look);
        if (auto simple = host::As<host::ISimpleFillSymbol>(symbol)) {
            look.kindName = "SimpleFill";
            look.fill = ToFill(simple->Style());
        } else {
            look.kindName = "Fill";
        }
        if (auto outline = fill->Outline()) look.outline = ReadLinePen(*outline);
    } else {
        return std::nullopt;
    }
    return look;
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
