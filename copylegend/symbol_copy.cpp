#include "copylegend/symbol_copy.h"

#include <cstddef>
#include <cstdint>
#include <new>
#include <string>
#include <type_traits>
#include <typeinfo>
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

// How far a part of an object lies from the object's start, in bytes.
std::ptrdiff_t Distance(const void* whole, const void* part) {
    return static_cast<const char*>(part) - static_cast<const char*>(whole);
}

// The part of type I at `at` bytes into the object that starts at `whole`: that
// part exists, as the same type of object was asked for it with dynamic_cast.
template <class I, class Whole>
I* PartAt(Whole* whole, std::ptrdiff_t at) {
    using Byte = std::conditional_t<std::is_const_v<Whole>, const char, char>;
    return std::launder(reinterpret_cast<I*>(static_cast<Byte*>(whole) + at));
}

// The To part of the object that `from` is a part of, or null when it has none:
// asked with dynamic_cast the first time a dynamic type is met, then found at the
// distance learnt.
template <class To, class From>
To* LearntCast(ColorCopies::Learnt& learnt, From& from) {
    void* whole = dynamic_cast<void*>(&from);
    const std::ptrdiff_t fromAt = Distance(whole, &from);
    const std::type_info& type = typeid(from);
    if (learnt.type == nullptr || *learnt.type != type || learnt.fromAt != fromAt) {
        To* to = dynamic_cast<To*>(&from);
        learnt = {&type, fromAt, to ? Distance(whole, to) : 0, to != nullptr};
        return to;
    }
    if (!learnt.found) return nullptr;
    return PartAt<To>(whole, learnt.toAt);
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
    // The start of the whole object comes from its own type information, with no
    // search of its bases, unlike asking it for another interface.
    const void* whole = dynamic_cast<const void*>(symbol.get());
    const Known& known = KnownFor(*symbol, whole, Distance(whole, symbol.get()));
    switch (known.kind) {
        case Kind::Marker:
            return PartAt<const host::ISimpleMarkerSymbol>(whole, known.interfaceAt)->Color();
        case Kind::Line:
            return PartAt<const host::ISimpleLineSymbol>(whole, known.interfaceAt)->Color();
        case Kind::Fill:
            return PartAt<const host::ISimpleFillSymbol>(whole, known.interfaceAt)->Color();
        case Kind::NotSimple:
            break;
    }
    throw Error(kErrSymbolNotSimple, kSymbolNotSimpleText);
}

std::shared_ptr<host::IColor> ColorCopies::Of(const std::shared_ptr<host::IColor>& color) {
    // What the learnt way does not find is asked the usual way, which raises the
    // host's own failure.
    host::IClone* clone = color ? LearntCast<host::IClone>(m_clone, *color) : nullptr;
    if (clone == nullptr) clone = host::Require<host::IClone>(color, "IClone").get();
    std::shared_ptr<host::IClone> copy = clone->Clone();
    host::IColor* copied = copy ? LearntCast<host::IColor>(m_color, *copy) : nullptr;
    if (copied == nullptr) copied = host::Require<host::IColor>(copy, "IColor").get();
    return {std::move(copy), copied};
}

const SimpleSymbolColors::Known& SimpleSymbolColors::KnownFor(const host::ISymbol& symbol,
                                                              const void* whole,
                                                              std::ptrdiff_t symbolAt) {
    const std::type_info& type = typeid(symbol);
    const auto same = [&](const Known& known) {
        return known.symbolAt == symbolAt && *known.type == type;
    };
    if (m_last < m_known.size() && same(m_known[m_last])) return m_known[m_last];
    for (std::size_t i = 0; i < m_known.size(); ++i) {
        if (same(m_known[i])) {
            m_last = i;
            return m_known[i];
        }
    }
    // A type not met before: ask in the same order as GetSimpleSymbolColor.
    Known known{&type, symbolAt};
    if (const auto* marker = dynamic_cast<const host::ISimpleMarkerSymbol*>(&symbol)) {
        known.kind = Kind::Marker;
        known.interfaceAt = Distance(whole, marker);
    } else if (const auto* line = dynamic_cast<const host::ISimpleLineSymbol*>(&symbol)) {
        known.kind = Kind::Line;
        known.interfaceAt = Distance(whole, line);
    } else if (const auto* fill = dynamic_cast<const host::ISimpleFillSymbol*>(&symbol)) {
        known.kind = Kind::Fill;
        known.interfaceAt = Distance(whole, fill);
    }
    m_known.push_back(known);
    m_last = m_known.size() - 1;
    return m_known.back();
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
