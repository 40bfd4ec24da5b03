#pragma once

#include <cstdint>
#include <memory>

#include "host/application.h"
#include "host/learnt_query.h"
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
// host calls, results and failures, with the symbol's kind found once per
// dynamic type of symbol instead of once per feature (host::LearntQuery says
// what that saves). No symbol is held between features.
class SimpleSymbolColors {
  public:
    // An empty renderer raises, as GetSimpleSymbolColor does, at the first
    // feature asked about, not here.
    explicit SimpleSymbolColors(std::shared_ptr<host::IFeatureRenderer> renderer);
    std::shared_ptr<host::IColor> Of(const std::shared_ptr<host::IFeature>& feature);

  private:
    std::shared_ptr<host::IFeatureRenderer> m_renderer;
    host::LearntQuery<host::ISymbol, host::ISimpleMarkerSymbol> m_marker;
    host::LearntQuery<host::ISymbol, host::ISimpleLineSymbol> m_line;
    host::LearntQuery<host::ISymbol, host::ISimpleFillSymbol> m_fill;
};

// Independent copies of the colours of one walk, made by the host's clone
// operation, one clone per colour asked for, with the same failures as asking the
// colour for IClone and the copy for IColor; the interfaces are found once per
// dynamic type of colour (host::LearntQuery).
class ColorCopies {
  public:
    std::shared_ptr<host::IColor> Of(const std::shared_ptr<host::IColor>& color);

  private:
    host::LearntQuery<host::IColor, host::IClone> m_clone;
    host::LearntQuery<host::IClone, host::IColor> m_color;
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
