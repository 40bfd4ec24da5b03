#include "copylegend/symbol_copy.h"

#include <cstdint>
#include <string>
#include <utility>

#include "host/codes.h"
#include "host/error.h"
#include "host/object.h"
#include "ui/runtime_error.h"

namespace velorin::copylegend {

namespace {

[[noreturn]] void RaiseUnsupportedShape(std::int32_t shapeType) {
    ui::RaiseRuntimeError(ui::kErrInvalidProcedureCall,
                          "no Related symbol for geometry type " + std::to_string(shapeType));
}

}  // namespace

std::shared_ptr<host::IColor> GetSimpleSymbolColor(
    const std::shared_ptr<host::IFeatureLayer>& layer,
    const std::shared_ptr<host::IFeature>& feature) {
    const auto geoLayer = host::Require<host::IGeoFeatureLayer>(layer, "IGeoFeatureLayer");
    return GetSimpleSymbolColor(geoLayer->Renderer(), feature);
}

std::shared_ptr<host::IColor> GetSimpleSymbolColor(
    const std::shared_ptr<host::IFeatureRenderer>& renderer,
    const std::shared_ptr<host::IFeature>& feature) {
    if (!renderer) {
        throw Error(host::E_HOST_POINTER, "Object variable not set (expected IFeatureRenderer)");
    }
    const auto symbol = renderer->SymbolByFeature(feature);
    // The order of the tests matters only for a symbol of several kinds at once:
    // a marker's colour wins over a line's, a line's over a fill's.
    if (const auto marker = host::As<host::ISimpleMarkerSymbol>(symbol)) return marker->Color();
    if (const auto line = host::As<host::ISimpleLineSymbol>(symbol)) return line->Color();
    if (const auto fill = host::As<host::ISimpleFillSymbol>(symbol)) return fill->Color();
    throw Error(kErrSymbolNotSimple, kSymbolNotSimpleText);
}

SimpleSymbolColors::SimpleSymbolColors(std::shared_ptr<host::IFeatureRenderer> renderer)
    : m_renderer(std::move(renderer)), m_known(kPlaces) {}

std::shared_ptr<host::IColor> SimpleSymbolColors::Of(
    const std::shared_ptr<host::IFeature>& feature) {
    if (!m_renderer) {
        throw Error(host::E_HOST_POINTER, "Object variable not set (expected IFeatureRenderer)");
    }
    const auto symbol = m_renderer->SymbolByFeature(feature);
    if (!symbol) throw Error(kErrSymbolNotSimple, kSymbolNotSimpleText);
    // Objects lie at least 16 bytes apart; the multiply spreads the rest.
    const auto spread =
        static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(symbol.get()) >> 4) *
        0x9E3779B97F4A7C15ULL;
    Known& known = m_known[static_cast<std::size_t>(spread >> 40) & (kPlaces - 1)];
    if (known.symbol != symbol) Learn(known, symbol);
    switch (known.kind) {
        case Kind::Marker:
            return known.marker->Color();
        case Kind::Line:
            return known.line->Color();
        case Kind::Fill:
            return known.fill->Color();
        case Kind::NotSimple:
            break;
    }
    throw Error(kErrSymbolNotSimple, kSymbolNotSimpleText);
}

void SimpleSymbolColors::Learn(Known& place, const std::shared_ptr<host::ISymbol>& symbol) {
    // The same order of tests as GetSimpleSymbolColor.
    Known known;
    known.symbol = symbol;
    if (const auto marker = host::As<host::ISimpleMarkerSymbol>(symbol)) {
        known.kind = Kind::Marker;
        known.marker = marker.get();
    } else if (const auto line = host::As<host::ISimpleLineSymbol>(symbol)) {
        known.kind = Kind::Line;
        known.line = line.get();
    } else if (const auto fill = host::As<host::ISimpleFillSymbol>(symbol)) {
        known.kind = Kind::Fill;
        known.fill = fill.get();
    }
    place = std::move(known);
}

std::shared_ptr<host::ISymbol> MakeDefaultSymbol(std::int32_t shapeType,
                                                 host::IObjectFactory& factory) {
    switch (shapeType) {
        case host::esriGeometryPoint: {
            auto marker = factory.NewSimpleMarkerSymbol();
            marker->SetSize(12);
            marker->SetStyle(host::esriSMSX);
            return host::Require<host::ISymbol>(marker, "ISymbol");
        }
        case host::esriGeometryPolygon: {
            auto fill = factory.NewSimpleFillSymbol();
            fill->SetStyle(host::esriSFSBackwardDiagonal);
            return host::Require<host::ISymbol>(fill, "ISymbol");
        }
        case host::esriGeometryPolyline: {
            auto line = factory.NewSimpleLineSymbol();
            line->SetWidth(1);
            line->SetStyle(host::esriSLSDash);
            return host::Require<host::ISymbol>(line, "ISymbol");
        }
        default:
            RaiseUnsupportedShape(shapeType);
    }
}

std::shared_ptr<host::ISymbol> MakeValueSymbol(std::int32_t shapeType,
                                               const std::shared_ptr<host::IColor>& color,
                                               host::IObjectFactory& factory) {
    switch (shapeType) {
        case host::esriGeometryPoint: {
            auto marker = factory.NewSimpleMarkerSymbol();
            marker->SetSize(12);
            marker->SetStyle(host::esriSMSCircle);
            marker->SetColor(color);
            return host::Require<host::ISymbol>(marker, "ISymbol");
        }
        case host::esriGeometryPolygon: {
            auto fill = factory.NewSimpleFillSymbol();
            fill->SetStyle(host::esriSFSSolid);
            fill->SetColor(color);
            return host::Require<host::ISymbol>(fill, "ISymbol");
        }
        case host::esriGeometryPolyline: {
            auto line = factory.NewSimpleLineSymbol();
            line->SetWidth(1);
            line->SetStyle(host::esriSLSSolid);
            line->SetColor(color);
            return host::Require<host::ISymbol>(line, "ISymbol");
        }
        default:
            RaiseUnsupportedShape(shapeType);
    }
}

}  // namespace velorin::copylegend
