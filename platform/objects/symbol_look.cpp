#include "platform/objects/symbol_look.h"

#include <algorithm>
#include <cmath>

#include "host/codes.h"
#include "host/error.h"
#include "platform/objects/symbols.h"

namespace velorin::objects {

namespace {

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

LinePen ReadLinePen(const host::ILineSymbol& line) {
    LinePen pen;
    if (auto color = line.Color()) pen.color = Rgb::FromHost(color->RGB());
    pen.widthPx = ClampPixels(line.Width() * PixelsPerPoint, MaxLinePx);
    if (const auto* simple = dynamic_cast<const host::ISimpleLineSymbol*>(&line)) {
        pen.style = ToLine(simple->Style());
    }
    return pen;
}

}  // namespace

double ClampPixels(double pixels, double most) {
    if (!std::isfinite(pixels) || pixels < 0) return 0.0;
    return std::min(pixels, most);
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

}  // namespace velorin::objects
