#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <typeinfo>
#include <vector>

#include "host/application.h"
#include "host/map.h"
#include "host/renderers.h"
#include "host/symbols.h"

// The symbol rules of Copy Legend Colors: only the colour of a Source feature's
// symbol crosses over; everything else about a Related symbol follows from the
// Related layer's geometry type.
namespace velorin::copylegend {

// Raised when a Source feature is drawn with anything but a simple marker, line or
// fill symbol. A plain number, not offset into the host's object-error range.
inline constexpr std::int32_t kErrSymbolNotSimple = 2021;
inline constexpr const char* kSymbolNotSimpleText = "Symbol type must be simple";

// The colour of the symbol the layer's current renderer draws the feature with:
// the symbol's own colour object, not a copy (callers that keep it clone it).
// Raises kErrSymbolNotSimple when the symbol is not simple, also when the renderer
// gives no symbol for the feature; a layer that is not a geo feature layer, or
// has no renderer, raises the host's interface or pointer failure.
std::shared_ptr<host::IColor> GetSimpleSymbolColor(
    const std::shared_ptr<host::IFeatureLayer>& layer,
    const std::shared_ptr<host::IFeature>& feature);

// As above, with the renderer already taken from the layer: the engine asks once
// per run instead of once per feature (nothing can replace a renderer while the
// run holds the user-interface thread). An empty renderer raises the host's
// pointer failure.
std::shared_ptr<host::IColor> GetSimpleSymbolColor(
    const std::shared_ptr<host::IFeatureRenderer>& renderer,
    const std::shared_ptr<host::IFeature>& feature);

// GetSimpleSymbolColor for every feature of one walk over one renderer: the same
// host calls, results and failures, but what kind of simple symbol a symbol is
// gets found once per dynamic type of symbol, not once per feature (asking a
// symbol for an interface costs as much as the rest of a feature's step, and a
// legend read from a document has a symbol object of its own for every value).
// No symbol is held between features.
class SimpleSymbolColors {
  public:
    // An empty renderer raises, as GetSimpleSymbolColor does, at the first
    // feature asked about, not here.
    explicit SimpleSymbolColors(std::shared_ptr<host::IFeatureRenderer> renderer);
    std::shared_ptr<host::IColor> Of(const std::shared_ptr<host::IFeature>& feature);

  private:
    enum class Kind : std::uint8_t { NotSimple, Marker, Line, Fill };
    // What every symbol of one dynamic type is, seen from the ISymbol part at
    // one place in it (a type may hold more than one): where each part lies is
    // fixed by the type, so the interface found by asking the first symbol of
    // the type lies at the same distance from every other symbol of the type.
    struct Known {
        const std::type_info* type = nullptr;
        std::ptrdiff_t symbolAt = 0;     // the ISymbol part, from the start of the object
        std::ptrdiff_t interfaceAt = 0;  // the simple marker, line or fill interface
        Kind kind = Kind::NotSimple;
    };

    const Known& KnownFor(const host::ISymbol& symbol, const void* whole, std::ptrdiff_t symbolAt);

    std::shared_ptr<host::IFeatureRenderer> m_renderer;
    std::vector<Known> m_known;  // one per type and place met: a handful
    std::size_t m_last = 0;      // in m_known: most walks meet one type only
};

// Independent copies of the colours of one walk, made by the host's clone
// operation, one clone per colour asked for, with the same failures as asking the
// colour for IClone and the copy for IColor. Where those interfaces lie in an
// object is found once per dynamic type, not once per colour: asking for an
// interface costs more than the clone itself.
class ColorCopies {
  public:
    std::shared_ptr<host::IColor> Of(const std::shared_ptr<host::IColor>& color);

    // Where one interface lies in objects of the dynamic type last met, seen from
    // the interface they were reached through.
    struct Learnt {
        const std::type_info* type = nullptr;
        std::ptrdiff_t fromAt = 0;  // the interface reached through, from the object's start
        std::ptrdiff_t toAt = 0;    // the interface asked for
        bool found = false;
    };

  private:
    Learnt m_clone;  // IClone, seen from IColor
    Learnt m_color;  // IColor, seen from the copy's IClone
};

// The symbol of the Related features whose key has no Source counterpart: an X
// marker of 12 points, a dashed line of 1 point, or a backward-diagonal hatch, in
// the host's default colour for a new symbol. shapeType is the Related class's
// esriGeometryType; anything but point, polyline or polygon raises invalid
// procedure call (5), as the engine refuses those shapes before asking.
std::shared_ptr<host::ISymbol> MakeDefaultSymbol(std::int32_t shapeType,
                                                 host::IObjectFactory& factory);

// The symbol of one renderer value: a 12-point circle, a solid line of 1 point, or
// a solid fill (outline as the host creates it), holding `color` itself; pass a
// copy when the colour belongs to someone else. Shapes as for MakeDefaultSymbol.
std::shared_ptr<host::ISymbol> MakeValueSymbol(std::int32_t shapeType,
                                               const std::shared_ptr<host::IColor>& color,
                                               host::IObjectFactory& factory);

}  // namespace velorin::copylegend
