#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host/application.h"
#include "host/field_value.h"
#include "host/renderers.h"
#include "platform/memory/canvas.h"
#include "platform/memory/layers.h"
#include "platform/memory/reference_host.h"

// Legends a person makes in the window (the symbology dialog) or a batch run
// asks for (--categorize): ordinary simple and unique value renderers of the
// host, made through its own classes and object factory, so both tools and
// saving treat them like any other.
namespace velorin::app {

// A unique value legend on a field with more values than this is refused: a
// legend that long helps nobody, and a key such as the object id would make a
// symbol per feature.
inline constexpr std::size_t kMaxUniqueValues = 500;

// count colours, each far from the one before it: hues step by the golden
// angle, and saturation and lightness take turns, so a long legend keeps
// neighbours apart after the hues come round again. The same count always gives
// the same colours.
std::vector<objects::Rgb> DistinctColors(std::size_t count);

// The colour ramps a legend's values can be coloured along, in the order the
// dialog lists them (kColorRampNames). Random is DistinctColors; the others run
// from their light (or first) end to their dark (or last) end.
enum class ColorRamp { Random, Blues, Greens, Reds, Viridis, Spectral };
inline constexpr std::array<const char*, 6> kColorRampNames = {"Random", "Blues",   "Greens",
                                                               "Reds",   "Viridis", "Spectral"};

// count colours along the ramp, first to last end (one colour: the ramp's middle).
std::vector<objects::Rgb> RampColors(ColorRamp ramp, std::size_t count);

// What the dialog's single symbol page edits. style is the marker, line or fill
// style code of the layer's shape (esriSMS..., esriSLS..., esriSFS...).
struct SymbolChoice {
    objects::Rgb color{128, 128, 128};
    std::int32_t style = 0;
    double size = 8.0;  // marker size or line width in points; unused by fills
    objects::Rgb outlineColor{0, 0, 0};
    double outlineWidth = 1.0;  // points, fills only
};

// The natural order of one field's values: numbers by value whatever their
// width, texts as they compare, dates by time; null before everything.
bool ValueBefore(const host::FieldValue& a, const host::FieldValue& b);

// The symbol kind the layer's shape type draws with.
enum class ShapeKind { Marker, Line, Fill };
ShapeKind ShapeKindOf(std::int32_t shapeType);

// The symbol that stands for the layer's look: a simple renderer's symbol, a
// unique value renderer's first value's (else its default); empty otherwise.
std::shared_ptr<host::ISymbol> CurrentSymbol(const memory::FeatureLayer& layer);

// The choice that reproduces the symbol as far as a simple symbol can (its
// colour, style and size); the host's defaults for the kind where the symbol
// is of another kind or not simple.
SymbolChoice ReadSymbolChoice(const std::shared_ptr<host::ISymbol>& symbol, ShapeKind kind);

// A new simple symbol of the kind, made by the host's factory. Raises
// velorin::Error for a style or size the host refuses.
std::shared_ptr<host::ISymbol> MakeSymbol(host::IObjectFactory& factory, ShapeKind kind,
                                          const SymbolChoice& choice);

// The layer's distinct values of the field in their natural order (numbers by
// value, texts as they compare, dates by time), over the features the layer
// shows (its definition query applies). Nulls are left out: they fall under
// "all other values". Raises velorin::Error naming the field when the layer has
// no such field (or one that cannot key a legend: geometry, blob, raster) or
// more than kMaxUniqueValues values.
std::vector<host::FieldValue> DistinctValues(const memory::FeatureLayer& layer,
                                             const std::string& field);

// The fields a unique value legend can use, in the layer's order.
std::vector<std::string> LegendFields(const memory::FeatureLayer& layer);

// One value of a unique value legend as the dialog edits it: the value as the
// renderer keys it (host::ToText of the field's value), its label and its
// colour; the rest of the look is the legend's.
struct ValueClass {
    std::string value;
    std::string label;
    objects::Rgb color;
};

// The layer's values of the field (DistinctValues, so in their natural order,
// and raising what it raises), each labelled with itself, coloured along the
// ramp.
std::vector<ValueClass> ClassifyValues(const memory::FeatureLayer& layer, const std::string& field,
                                       ColorRamp ramp);

// A unique value renderer's values in its order, each with its label and its
// symbol's colour (grey where the symbol is not simple).
std::vector<ValueClass> ClassesOf(const host::IUniqueValueRenderer& renderer, ShapeKind kind);

// A new unique value renderer of the host on the field: one symbol per class
// (look's style in the class's colour, under its label), and the default
// symbol in grey under "<all other values>", used when allOtherValues is set.
// Raises velorin::Error naming the field when the layer has no such field.
std::shared_ptr<host::IUniqueValueRenderer> MakeUniqueValueRenderer(
    host::IObjectFactory& factory, const memory::FeatureLayer& layer, const std::string& field,
    const SymbolChoice& look, const std::vector<ValueClass>& classes, bool allOtherValues);

// A new simple renderer of the host drawing every feature with the symbol.
std::shared_ptr<host::IFeatureRenderer> MakeSimpleRenderer(const memory::ReferenceHost& host,
                                                           std::shared_ptr<host::ISymbol> symbol);

// Gives the layer the renderer, with the property page that edits its kind.
void ApplyRenderer(const memory::ReferenceHost& host, memory::FeatureLayer& layer,
                   const std::shared_ptr<host::IFeatureRenderer>& renderer);

// --categorize LAYER=FIELD: a unique value legend on the field for the feature
// layer of that name, in the colours the dialog proposes. Raises velorin::Error
// naming the layer or the field that does not fit, changing nothing.
void Categorize(const memory::ReferenceHost& host, const std::string& layer,
                const std::string& field);

}  // namespace velorin::app
