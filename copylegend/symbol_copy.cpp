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
    : m_renderer(std::move(renderer)) {}

std::shared_ptr<host::IColor> SimpleSymbolColors::Of(
    const std::shared_ptr<host::IFeature>& feature) {
    if (!m_renderer) {
        throw Error(host::E_HOST_POINTER, "Object variable not set (expected IFeatureRenderer)");
    }
    const auto symbol = m_renderer->SymbolByFeature(feature);
    if (!symbol) throw Error(kErrSymbolNotSimple, kSymbolNotSimpleText);
    // In the order of GetSimpleSymbolColor.
    if (const auto* marker = m_marker.Find(*symbol)) return marker->Color();
    if (const auto* line = m_line.Find(*symbol)) return line->Color();
    if (const auto* fill = m_fill.Find(*symbol)) return fill->Color();
    throw Error(kErrSymbolNotSimple, kSymbolNotSimpleText);
}

std::shared_ptr<host::IColor> ColorCopies::Of(const std::shared_ptr<host::IColor>& color) {
    std::shared_ptr<host::IClone> copy = m_clone.Borrow(color, "IClone").Clone();
    host::IColor& copied = m_color.Borrow(copy, "IColor");
    return {std::move(copy), &copied};
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
