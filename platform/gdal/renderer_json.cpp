#include "platform/gdal/renderer_json.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <optional>
#include <string_view>
#include <typeinfo>
#include <utility>

#include "host/codes.h"
#include "host/error.h"
#include "host/object.h"
#include "platform/objects/renderers.h"
#include "platform/objects/symbols.h"

namespace velorin::gdal {

namespace {

struct StyleName {
    std::int32_t code;
    std::string_view name;
};

constexpr std::array<StyleName, 5> MarkerStyles{{{host::esriSMSCircle, "circle"},
                                                 {host::esriSMSSquare, "square"},
                                                 {host::esriSMSCross, "cross"},
                                                 {host::esriSMSX, "x"},
                                                 {host::esriSMSDiamond, "diamond"}}};
constexpr std::array<StyleName, 7> LineStyles{{{host::esriSLSSolid, "solid"},
                                               {host::esriSLSDash, "dash"},
                                               {host::esriSLSDot, "dot"},
                                               {host::esriSLSDashDot, "dashDot"},
                                               {host::esriSLSDashDotDot, "dashDotDot"},
                                               {host::esriSLSNull, "null"},
                                               {host::esriSLSInsideFrame, "insideFrame"}}};
constexpr std::array<StyleName, 8> FillStyles{{{host::esriSFSSolid, "solid"},
                                               {host::esriSFSHollow, "hollow"},
                                               {host::esriSFSHorizontal, "horizontal"},
                                               {host::esriSFSVertical, "vertical"},
                                               {host::esriSFSForwardDiagonal, "forwardDiagonal"},
                                               {host::esriSFSBackwardDiagonal, "backwardDiagonal"},
                                               {host::esriSFSCross, "cross"},
                                               {host::esriSFSDiagonalCross, "diagonalCross"}}};

// A value as a message quotes it: plain values as written, others by their kind, as
// a value nested deep enough could not even be printed.
std::string Described(const Json& value) {
    if (value.is_array()) return "an array";
    if (value.is_object()) return "an object";
    if (value.is_string()) {
        // Appended, not concatenated: GCC 12 at -O3 takes "\"" + text + "\"" for an
        // overlapping copy (-Wrestrict), which stops the release build.
        std::string quoted(1, '"');
        quoted += ShownText(value.get_ref<const std::string&>(), 60);
        quoted += '"';
        return quoted;
    }
    return value.dump();
}

template <std::size_t N>
std::optional<std::int32_t> StyleOfName(std::string_view name,
                                        const std::array<StyleName, N>& styles) {
    for (const auto& style : styles) {
        if (style.name == name) return style.code;
    }
    return std::nullopt;
}

template <std::size_t N>
std::int32_t StyleCode(const DocumentFaults& faults, const Json& value, const std::string& place,
                       const std::array<StyleName, N>& styles) {
    const std::string name = faults.Text(value, place);
    if (const auto code = StyleOfName(name, styles)) return *code;
    std::string known;
    for (const auto& style : styles) {
        known += (known.empty() ? "" : ", ") + std::string(style.name);
    }
    faults.Fail(place, "unknown style \"" + name + "\" (one of " + known + ")");
}

template <std::size_t N>
std::string_view StyleText(std::int32_t code, const std::array<StyleName, N>& styles) {
    for (const auto& style : styles) {
        if (style.code == code) return style.name;
    }
    return {};
}

std::array<std::int32_t, 3> ReadRgb(const DocumentFaults& faults, const Json& value,
                                    const std::string& place) {
    if (!value.is_array() || value.size() != 3) {
        faults.Fail(place, "a colour is [red, green, blue], three whole numbers from 0 to 255");
    }
    std::array<std::int32_t, 3> parts{};
    for (std::size_t i = 0; i < 3; ++i) {
        if (!value[i].is_number_integer() || value[i].get<std::int64_t>() < 0 ||
            value[i].get<std::int64_t>() > 255) {
            faults.Fail(
                PlaceOf(place, i),
                "a colour component is a whole number from 0 to 255, not " + Described(value[i]));
        }
        parts[i] = static_cast<std::int32_t>(value[i].get<std::int64_t>());
    }
    return parts;
}

// A place in the document spelt out only when a fault names it: saving a legend
// would otherwise make the place of every value's symbol for nothing.
class LazyPlace {
  public:
    template <class Make>
    explicit LazyPlace(const Make& make)
        : m_make(&make), m_spell([](const void* m) { return (*static_cast<const Make*>(m))(); }) {}

    std::string operator()() const { return m_spell(m_make); }

  private:
    const void* m_make;
    std::string (*m_spell)(const void*);
};

void WriteColor(JsonWriter& out, const DocumentFaults& faults,
                const std::shared_ptr<host::IColor>& color, const LazyPlace& place,
                const std::string& layer) {
    if (!color) faults.Fail(place(), "layer \"" + layer + "\": a symbol has no colour");
    const std::int32_t bgr = color->RGB();
    out.BeginArray();
    out.Integer(bgr & 0xFF);
    out.Integer((bgr >> 8) & 0xFF);
    out.Integer((bgr >> 16) & 0xFF);
    out.EndArray();
}

// Sizes and widths in points.
double ReadPoints(const DocumentFaults& faults, const Json& value, const std::string& place) {
    const double points = faults.Number(value, place);
    if (points < 0) faults.Fail(place, "a size is not negative");
    return points;
}

void WriteRasterOp(JsonWriter& out, const host::ISymbol& symbol) {
    const std::int32_t op = symbol.ROP2();
    if (op == host::esriROPCopyPen) return;
    out.Key("rasterOp");
    out.Integer(op);
}

// symbol as Interface. The host's own symbols (Own) are known by their type first:
// a dynamic_cast walks the class graph comparing names, which a legend of many
// symbols feels.
template <class Interface, class Own>
const Interface* SymbolAs(const host::ISymbol& symbol) {
    if (typeid(symbol) == typeid(Own)) {
        return static_cast<const Own*>(dynamic_cast<const void*>(&symbol));
    }
    return dynamic_cast<const Interface*>(&symbol);
}

// Writes a symbol and returns its type ("" for none), for an outline to be checked
// once written. Faults are raised in the order of the symbol's members: a missing
// colour before an unknown style.
std::string_view WriteSymbolAs(JsonWriter& out, const DocumentFaults& faults,
                               const host::ISymbol* symbol, const LazyPlace& place,
                               const std::string& layer) {
    if (symbol == nullptr) {
        out.Null();
        return {};
    }
    std::string_view type;
    std::string_view style;
    // Every simple symbol opens with its type and style.
    const auto open = [&](std::string_view symbolType, std::string_view styleText) {
        type = symbolType;
        style = styleText;
        out.BeginObject();
        out.Key("type");
        out.String(type);
        out.Key("style");
        out.String(style);
    };
    // Asked of the object itself, not through shared pointers: a legend's symbols
    // are many, and each copy of a pointer is an atomic count.
    using objects::SimpleFillSymbol;
    using objects::SimpleLineSymbol;
    using objects::SimpleMarkerSymbol;
    if (const auto* marker = SymbolAs<host::ISimpleMarkerSymbol, SimpleMarkerSymbol>(*symbol)) {
        open("simpleMarker", StyleText(marker->Style(), MarkerStyles));
        out.Key("size");
        out.Number(marker->Size());
        out.Key("color");
        WriteColor(out, faults, marker->Color(), place, layer);
    } else if (const auto* line = SymbolAs<host::ISimpleLineSymbol, SimpleLineSymbol>(*symbol)) {
        open("simpleLine", StyleText(line->Style(), LineStyles));
        out.Key("width");
        out.Number(line->Width());
        out.Key("color");
        WriteColor(out, faults, line->Color(), place, layer);
    } else if (const auto* fill = SymbolAs<host::ISimpleFillSymbol, SimpleFillSymbol>(*symbol)) {
        open("simpleFill", StyleText(fill->Style(), FillStyles));
        out.Key("color");
        WriteColor(out, faults, fill->Color(), place, layer);
        const auto outline = fill->Outline();
        const auto outlinePlace = [&] { return PlaceOf(place(), "outline"); };
        const auto notALine = [&] {
            faults.Fail(outlinePlace(),
                        "layer \"" + layer + "\": the outline is not a simple line symbol");
        };
        const auto* outlineSymbol = dynamic_cast<const host::ISymbol*>(outline.get());
        if (outline && outlineSymbol == nullptr) notALine();
        out.Key("outline");
        const std::string_view outlineType =
            WriteSymbolAs(out, faults, outlineSymbol, LazyPlace(outlinePlace), layer);
        if (!outlineType.empty() && outlineType != "simpleLine") {
            notALine();
        }
    } else {
        faults.Fail(place(), "layer \"" + layer +
                                 "\": only simple marker, line and fill symbols can be saved");
    }
    if (style.empty()) {
        faults.Fail(PlaceOf(place(), "style"),
                    "layer \"" + layer + "\": the symbol's style is unknown");
    }
    WriteRasterOp(out, *symbol);
    out.EndObject();
    return type;
}

}  // namespace

std::string PlaceOf(const std::string& place, std::string_view key) {
    return place.empty() ? std::string(key) : place + "." + std::string(key);
}

std::string PlaceOf(const std::string& place, std::size_t index) {
    return place + "[" + std::to_string(index) + "]";
}

// ---- DocumentFaults ----------------------------------------------------------------

void DocumentFaults::Fail(const std::string& place, const std::string& what) const {
    throw Error(host::E_HOST_FAIL,
                m_document + ": " + (place.empty() ? std::string() : place + ": ") + what);
}

const Json& DocumentFaults::Object(const Json& value, const std::string& place,
                                   std::initializer_list<std::string_view> keys) const {
    if (!value.is_object())
        Fail(place, "expected an object, not " + std::string(value.type_name()));
    for (const auto& item : value.items()) {
        bool known = false;
        for (const auto key : keys) known = known || key == item.key();
        if (!known) Fail(PlaceOf(place, item.key()), "unknown member");
    }
    return value;
}

const Json& DocumentFaults::Array(const Json& value, const std::string& place) const {
    if (!value.is_array()) Fail(place, "expected an array, not " + std::string(value.type_name()));
    return value;
}

const Json& DocumentFaults::Member(const Json& object, const std::string& place,
                                   const char* key) const {
    const Json* member = Find(object, key);
    if (!member) Fail(place, std::string("missing member \"") + key + "\"");
    return *member;
}

const Json* DocumentFaults::Find(const Json& object, const char* key) {
    const auto it = object.find(key);
    return it == object.end() ? nullptr : &*it;
}

std::string DocumentFaults::Text(const Json& value, const std::string& place) const {
    if (!value.is_string()) Fail(place, "expected a string, not " + std::string(value.type_name()));
    return value.get<std::string>();
}

bool DocumentFaults::Flag(const Json& value, const std::string& place) const {
    if (!value.is_boolean()) Fail(place, "expected true or false, not " + Described(value));
    return value.get<bool>();
}

double DocumentFaults::Number(const Json& value, const std::string& place) const {
    if (!value.is_number()) Fail(place, "expected a number, not " + Described(value));
    const double number = value.get<double>();
    if (!std::isfinite(number)) Fail(place, "expected a finite number");
    return number;
}

std::int32_t DocumentFaults::Whole(const Json& value, const std::string& place, std::int64_t lowest,
                                   std::int64_t highest) const {
    // Unsigned: numbers above the signed 64-bit range arrive as such.
    if (!value.is_number_integer() ||
        (value.is_number_unsigned() &&
         value.get<std::uint64_t>() > static_cast<std::uint64_t>(highest)) ||
        value.get<std::int64_t>() < lowest || value.get<std::int64_t>() > highest) {
        Fail(place, "expected a whole number from " + std::to_string(lowest) + " to " +
                        std::to_string(highest) + ", not " + Described(value));
    }
    return static_cast<std::int32_t>(value.get<std::int64_t>());
}

// ---- reading -----------------------------------------------------------------------

namespace {

// A simple symbol as a document writes it, checked but not yet made: both readings
// of a legend (a JSON value, or the parser's events) check into one and make the
// symbol from it, with the same host calls in the same order.
struct SymbolShape {
    std::string_view type;
    std::optional<std::int32_t> style{};
    std::optional<double> measure{};  // a marker's size, a line's width
    std::optional<std::array<std::int32_t, 3>> color{};
    std::optional<std::int32_t> rasterOp{};
    bool outlineGiven = false;             // a fill's "outline", null or not
    std::unique_ptr<SymbolShape> outline;  // its line, when not null
};

std::shared_ptr<host::ISymbol> MakeSymbol(const DocumentFaults& faults, const SymbolShape& shape,
                                          const LazyPlace& place,
                                          const std::shared_ptr<objects::HostContext>& context) {
    const auto finish = [&](auto& symbol) {
        if (shape.rasterOp) {
            try {
                symbol->SetROP2(*shape.rasterOp);
            } catch (const Error& error) {
                faults.Fail(PlaceOf(place(), "rasterOp"), error.Description());
            }
        }
    };
    const auto color = [&] {
        const auto& rgb = *shape.color;
        return objects::MakeRgbColor(context, rgb[0], rgb[1], rgb[2]);
    };
    if (shape.type == "simpleMarker") {
        auto marker = std::make_shared<objects::SimpleMarkerSymbol>(context);
        if (shape.style) marker->SetStyle(*shape.style);
        if (shape.measure) marker->SetSize(*shape.measure);
        if (shape.color) marker->SetColor(color());
        finish(marker);
        return marker;
    }
    if (shape.type == "simpleLine") {
        auto line = std::make_shared<objects::SimpleLineSymbol>(context);
        if (shape.style) line->SetStyle(*shape.style);
        if (shape.measure) line->SetWidth(*shape.measure);
        if (shape.color) line->SetColor(color());
        finish(line);
        return line;
    }
    auto fill = std::make_shared<objects::SimpleFillSymbol>(context);
    if (shape.style) fill->SetStyle(*shape.style);
    if (shape.color) fill->SetColor(color());
    if (shape.outlineGiven) {
        if (shape.outline) {
            const auto outlinePlace = [&] { return PlaceOf(place(), "outline"); };
            fill->SetOutline(std::dynamic_pointer_cast<host::ILineSymbol>(
                MakeSymbol(faults, *shape.outline, LazyPlace(outlinePlace), context)));
        } else {
            fill->SetOutline(nullptr);
        }
    }
    finish(fill);
    return fill;
}

// The members of a JSON symbol object of a known simple type, checked in the
// order a fault is reported in.
SymbolShape ReadShape(const DocumentFaults& faults, const Json& value, const std::string& place,
                      std::string_view type) {
    const bool marker = type == "simpleMarker";
    const bool line = type == "simpleLine";
    if (marker) {
        faults.Object(value, place, {"type", "style", "size", "color", "rasterOp"});
    } else if (line) {
        faults.Object(value, place, {"type", "style", "width", "color", "rasterOp"});
    } else {
        faults.Object(value, place, {"type", "style", "color", "outline", "rasterOp"});
    }
    SymbolShape shape;
    shape.type = type;
    if (const Json* style = DocumentFaults::Find(value, "style")) {
        const std::string stylePlace = PlaceOf(place, "style");
        shape.style = marker ? StyleCode(faults, *style, stylePlace, MarkerStyles)
                      : line ? StyleCode(faults, *style, stylePlace, LineStyles)
                             : StyleCode(faults, *style, stylePlace, FillStyles);
    }
    const char* measure = marker ? "size" : "width";
    if (const Json* points = marker || line ? DocumentFaults::Find(value, measure) : nullptr) {
        shape.measure = ReadPoints(faults, *points, PlaceOf(place, measure));
    }
    if (const Json* color = DocumentFaults::Find(value, "color")) {
        shape.color = ReadRgb(faults, *color, PlaceOf(place, "color"));
    }
    if (const Json* outline = marker || line ? nullptr : DocumentFaults::Find(value, "outline")) {
        shape.outlineGiven = true;
        if (!outline->is_null()) {
            const std::string outlinePlace = PlaceOf(place, "outline");
            const std::string outlineType = faults.Text(
                faults.Member(*outline, outlinePlace, "type"), PlaceOf(outlinePlace, "type"));
            if (outlineType != "simpleLine") {
                faults.Fail(PlaceOf(outlinePlace, "type"),
                            "an outline is a \"simpleLine\" symbol, not \"" + outlineType + "\"");
            }
            shape.outline = std::make_unique<SymbolShape>(
                ReadShape(faults, *outline, outlinePlace, "simpleLine"));
        }
    }
    if (const Json* op = DocumentFaults::Find(value, "rasterOp")) {
        shape.rasterOp = faults.Whole(*op, PlaceOf(place, "rasterOp"), 1, 16);
    }
    return shape;
}

}  // namespace

std::shared_ptr<host::ISymbol> ReadSymbol(const DocumentFaults& faults, const Json& value,
                                          const std::string& place,
                                          const std::shared_ptr<objects::HostContext>& context) {
    if (value.is_null()) return nullptr;
    if (!value.is_object()) faults.Fail(place, "expected a symbol object or null");
    const std::string typePlace = PlaceOf(place, "type");
    const std::string type = faults.Text(faults.Member(value, place, "type"), typePlace);
    if (type != "simpleMarker" && type != "simpleLine" && type != "simpleFill") {
        faults.Fail(typePlace, "unknown symbol type \"" + type +
                                   "\" (one of simpleMarker, simpleLine, simpleFill)");
    }
    const auto spelt = [&] { return place; };
    return MakeSymbol(faults, ReadShape(faults, value, place, type), LazyPlace(spelt), context);
}

namespace {

std::shared_ptr<host::IFeatureRenderer> ReadSimpleRenderer(
    const DocumentFaults& faults, const Json& value, const std::string& place,
    const std::shared_ptr<objects::HostContext>& context) {
    faults.Object(value, place, {"type", "symbol", "label"});
    auto renderer = std::make_shared<objects::SimpleRenderer>(context);
    if (const Json* symbol = DocumentFaults::Find(value, "symbol")) {
        renderer->SetSymbol(ReadSymbol(faults, *symbol, PlaceOf(place, "symbol"), context));
    }
    if (const Json* label = DocumentFaults::Find(value, "label")) {
        renderer->SetLabel(faults.Text(*label, PlaceOf(place, "label")));
    }
    return renderer;
}

void ReadKeyFields(const DocumentFaults& faults, const Json& value, const std::string& place,
                   objects::UniqueValueRenderer& renderer) {
    const std::string fieldsPlace = PlaceOf(place, "fields");
    const Json& fields = faults.Array(faults.Member(value, place, "fields"), fieldsPlace);
    faults.At(fieldsPlace,
              [&] { renderer.SetFieldCount(static_cast<std::int32_t>(fields.size())); });
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const std::string fieldPlace = PlaceOf(fieldsPlace, i);
        faults.Object(fields[i], fieldPlace, {"name", "isString"});
        const auto index = static_cast<std::int32_t>(i);
        renderer.SetField(index, faults.Text(faults.Member(fields[i], fieldPlace, "name"),
                                             PlaceOf(fieldPlace, "name")));
        if (const Json* isString = DocumentFaults::Find(fields[i], "isString")) {
            renderer.SetFieldType(index, faults.Flag(*isString, PlaceOf(fieldPlace, "isString")));
        }
    }
}

void ReadValueEntry(const DocumentFaults& faults, const Json& entry, const std::string& entryPlace,
                    objects::UniqueValueRenderer& renderer,
                    const std::shared_ptr<objects::HostContext>& context) {
    faults.Object(entry, entryPlace, {"value", "heading", "label", "symbol"});
    const std::string text =
        faults.Text(faults.Member(entry, entryPlace, "value"), PlaceOf(entryPlace, "value"));
    std::string heading;
    if (const Json* h = DocumentFaults::Find(entry, "heading")) {
        heading = faults.Text(*h, PlaceOf(entryPlace, "heading"));
    }
    std::shared_ptr<host::ISymbol> symbol;
    if (const Json* s = DocumentFaults::Find(entry, "symbol")) {
        symbol = ReadSymbol(faults, *s, PlaceOf(entryPlace, "symbol"), context);
    }
    faults.At(PlaceOf(entryPlace, "value"), [&] { renderer.AddValue(text, heading, symbol); });
    if (const Json* label = DocumentFaults::Find(entry, "label")) {
        renderer.SetLabel(text, faults.Text(*label, PlaceOf(entryPlace, "label")));
    }
}

std::shared_ptr<host::IFeatureRenderer> ReadUniqueValueRenderer(
    const DocumentFaults& faults, const Json& value, const std::string& place,
    const std::shared_ptr<objects::HostContext>& context, const LegendValues* legend) {
    faults.Object(value, place,
                  {"type", "fields", "values", "defaultSymbol", "useDefaultSymbol", "defaultLabel",
                   "colorScheme"});
    auto renderer =
        legend ? legend->renderer : std::make_shared<objects::UniqueValueRenderer>(context);
    ReadKeyFields(faults, value, place, *renderer);
    if (const Json* values = DocumentFaults::Find(value, "values")) {
        const std::string valuesPlace = PlaceOf(place, "values");
        faults.Array(*values, valuesPlace);
        if (legend && legend->failure) throw *legend->failure;
        for (std::size_t i = 0; i < values->size(); ++i) {
            ReadValueEntry(faults, (*values)[i], PlaceOf(valuesPlace, i), *renderer, context);
        }
    }
    if (const Json* symbol = DocumentFaults::Find(value, "defaultSymbol")) {
        renderer->SetDefaultSymbol(
            ReadSymbol(faults, *symbol, PlaceOf(place, "defaultSymbol"), context));
    }
    if (const Json* use = DocumentFaults::Find(value, "useDefaultSymbol")) {
        renderer->SetUseDefaultSymbol(faults.Flag(*use, PlaceOf(place, "useDefaultSymbol")));
    }
    if (const Json* label = DocumentFaults::Find(value, "defaultLabel")) {
        renderer->SetDefaultLabel(faults.Text(*label, PlaceOf(place, "defaultLabel")));
    }
    if (const Json* scheme = DocumentFaults::Find(value, "colorScheme")) {
        renderer->SetColorScheme(faults.Text(*scheme, PlaceOf(place, "colorScheme")));
    }
    return renderer;
}

}  // namespace

// ---- legend entries -----------------------------------------------------------------

void LegendEntry::Clear() {
    m_events.clear();
    m_textCount = 0;
}

void LegendEntry::AddText(Kind kind, const std::string& text) {
    // Copied into storage of an earlier entry: no allocation once the first
    // entries are read.
    if (m_textCount == m_texts.size()) m_texts.emplace_back();
    m_texts[m_textCount].assign(text);
    m_events.push_back(Event{kind, static_cast<std::uint32_t>(m_textCount++)});
}

Json LegendEntry::ToJson() const {
    // Without recursion, as the parser itself: an entry may nest as deep as the
    // document's text lets it.
    Json root;
    std::vector<Json*> open;
    Json* member = nullptr;
    const auto slot = [&]() -> Json& {
        if (open.empty()) return root;
        Json& container = *open.back();
        if (container.is_object()) return *member;
        container.push_back(nullptr);
        return container.back();
    };
    for (const Event& event : m_events) {
        switch (event.kind) {
            case Kind::StartObject:
            case Kind::StartArray: {
                Json& container = slot();
                container = event.kind == Kind::StartObject ? Json::object() : Json::array();
                open.push_back(&container);
                break;
            }
            case Kind::EndObject:
            case Kind::EndArray:
                open.pop_back();
                break;
            case Kind::Key:
                member = &(*open.back())[Text(event)];
                break;
            case Kind::String:
                slot() = Text(event);
                break;
            case Kind::Integer:
                slot() = event.Integer();
                break;
            case Kind::Unsigned:
                slot() = event.Whole();
                break;
            case Kind::Float:
                slot() = event.Number();
                break;
            case Kind::Bool:
                slot() = event.Flag();
                break;
            case Kind::Null:
                slot() = nullptr;
                break;
        }
    }
    return root;
}

namespace {

using Kind = LegendEntry::Kind;

// A legend entry read straight from its events, when it is regular: an object of
// "value", "heading", "label" and "symbol", each once, of the right kinds, whose
// symbol is null or a simple symbol that ReadSymbol takes without a fault. Anything
// else (a member written twice included) is left to the general reading, which
// finds the fault and its place: so every message stays that reading's own.
class RegularEntry {
  public:
    explicit RegularEntry(const LegendEntry& entry) : m_entry(entry), m_events(entry.Events()) {}

    bool Read() {
        if (!Take(Kind::StartObject)) return false;
        while (Is(Kind::Key)) {
            const std::string_view name = m_entry.Text(m_events[m_at++]);
            if (name == "value" || name == "heading" || name == "label") {
                const std::string*& text =
                    name == "value" ? m_value : (name == "heading" ? m_heading : m_label);
                if (text != nullptr || !Is(Kind::String)) return false;
                text = &m_entry.Text(m_events[m_at++]);
            } else if (name == "symbol") {
                if (m_hasSymbol) return false;
                m_hasSymbol = true;
                if (Take(Kind::Null)) continue;
                m_symbolMade = true;
                if (!Symbol(m_symbol, true)) return false;
            } else {
                return false;
            }
        }
        return Take(Kind::EndObject) && m_at == m_events.size() && m_value != nullptr;
    }

    // Into renderer, as the general reading would: the same calls in the same order.
    void Into(const DocumentFaults& faults, const std::string& valuesPlace, std::size_t index,
              objects::UniqueValueRenderer& renderer,
              const std::shared_ptr<objects::HostContext>& context) const {
        const auto entryPlace = [&] { return PlaceOf(valuesPlace, index); };
        std::shared_ptr<host::ISymbol> symbol;
        if (m_symbolMade) {
            const auto symbolPlace = [&] { return PlaceOf(entryPlace(), "symbol"); };
            symbol = MakeSymbol(faults, m_symbol, LazyPlace(symbolPlace), context);
        }
        static const std::string NoHeading;
        try {
            renderer.AddValue(*m_value, m_heading != nullptr ? *m_heading : NoHeading, symbol);
        } catch (const Error& error) {
            faults.Fail(PlaceOf(entryPlace(), "value"), error.Description());
        }
        if (m_label != nullptr) renderer.SetLabel(*m_value, *m_label);
    }

  private:
    static constexpr std::array<std::string_view, 7> SymbolKeys{
        "type", "style", "size", "width", "color", "rasterOp", "outline"};

    bool Is(Kind kind) const { return m_at < m_events.size() && m_events[m_at].kind == kind; }
    bool Take(Kind kind) {
        if (!Is(kind)) return false;
        ++m_at;
        return true;
    }

    // A whole number within [lowest, highest], as DocumentFaults::Whole takes it.
    bool Whole(std::int64_t lowest, std::int64_t highest, std::int32_t& value) {
        if (m_at >= m_events.size()) return false;
        const auto& event = m_events[m_at];
        std::int64_t number = 0;
        if (event.kind == Kind::Integer) {
            number = event.Integer();
        } else if (event.kind == Kind::Unsigned &&
                   event.Whole() <= static_cast<std::uint64_t>(highest)) {
            number = static_cast<std::int64_t>(event.Whole());
        } else {
            return false;
        }
        if (number < lowest || number > highest) return false;
        ++m_at;
        value = static_cast<std::int32_t>(number);
        return true;
    }

    // A size or width, as ReadPoints takes it.
    bool Points(std::optional<double>& points) {
        if (m_at >= m_events.size()) return false;
        const auto& event = m_events[m_at];
        double number = 0;
        if (event.kind == Kind::Integer) {
            number = static_cast<double>(event.Integer());
        } else if (event.kind == Kind::Unsigned) {
            number = static_cast<double>(event.Whole());
        } else if (event.kind == Kind::Float) {
            number = event.Number();
        } else {
            return false;
        }
        if (!std::isfinite(number) || number < 0) return false;
        ++m_at;
        points = number;
        return true;
    }

    // A simple symbol's object; outer: a fill's, which may have an outline.
    bool Symbol(SymbolShape& shape, bool outer) {
        if (!Take(Kind::StartObject)) return false;
        std::uint32_t seen = 0;
        const std::string* style = nullptr;
        while (Is(Kind::Key)) {
            const std::string_view name = m_entry.Text(m_events[m_at++]);
            const auto key = std::find(SymbolKeys.begin(), SymbolKeys.end(), name);
            if (key == SymbolKeys.end()) return false;
            const auto bit = 1U << static_cast<std::uint32_t>(key - SymbolKeys.begin());
            if ((seen & bit) != 0) return false;
            seen |= bit;
            if (name == "type" || name == "style") {
                if (!Is(Kind::String)) return false;
                const std::string& text = m_entry.Text(m_events[m_at++]);
                if (name == "type") {
                    shape.type = text;
                } else {
                    style = &text;
                }
            } else if (name == "size" || name == "width") {
                if (!Points(shape.measure)) return false;
            } else if (name == "color") {
                std::array<std::int32_t, 3> rgb{};
                if (!Take(Kind::StartArray)) return false;
                for (auto& part : rgb) {
                    if (!Whole(0, 255, part)) return false;
                }
                if (!Take(Kind::EndArray)) return false;
                shape.color = rgb;
            } else if (name == "rasterOp") {
                std::int32_t op = 0;
                if (!Whole(1, 16, op)) return false;
                shape.rasterOp = op;
            } else {  // outline
                if (!outer) return false;
                shape.outlineGiven = true;
                if (Take(Kind::Null)) continue;
                shape.outline = std::make_unique<SymbolShape>();
                if (!Symbol(*shape.outline, false) || shape.outline->type != "simpleLine") {
                    return false;
                }
            }
        }
        if (!Take(Kind::EndObject)) return false;
        // The members each type takes, as the bits of SymbolKeys.
        std::uint32_t allowed = 0;
        if (shape.type == "simpleMarker") {
            allowed = 0b0110111;
            if (style != nullptr) shape.style = StyleOfName(*style, MarkerStyles);
        } else if (shape.type == "simpleLine") {
            allowed = 0b0111011;
            if (style != nullptr) shape.style = StyleOfName(*style, LineStyles);
        } else if (shape.type == "simpleFill") {
            allowed = 0b1110011;
            if (style != nullptr) shape.style = StyleOfName(*style, FillStyles);
        } else {
            return false;
        }
        return (seen & 1U) != 0 && (seen & ~allowed) == 0 && (style == nullptr || shape.style);
    }

    const LegendEntry& m_entry;
    const std::vector<LegendEntry::Event>& m_events;
    std::size_t m_at = 0;
    const std::string* m_value = nullptr;
    const std::string* m_heading = nullptr;
    const std::string* m_label = nullptr;
    bool m_hasSymbol = false;
    bool m_symbolMade = false;  // an object, not null
    SymbolShape m_symbol;
};

}  // namespace

void ReadLegendEntry(const DocumentFaults& faults, const LegendEntry& entry,
                     const std::string& valuesPlace, LegendValues& legend,
                     const std::shared_ptr<objects::HostContext>& context) {
    const std::size_t index = legend.count++;
    if (legend.failure) return;
    try {
        RegularEntry regular(entry);
        if (regular.Read()) {
            regular.Into(faults, valuesPlace, index, *legend.renderer, context);
        } else {
            ReadValueEntry(faults, entry.ToJson(), PlaceOf(valuesPlace, index), *legend.renderer,
                           context);
        }
    } catch (const Error& error) {
        legend.failure = error;
    }
}

std::shared_ptr<host::IFeatureRenderer> ReadRenderer(
    const DocumentFaults& faults, const Json& value, const std::string& place,
    const std::shared_ptr<objects::HostContext>& context, const LegendValuesByPlace* legends) {
    if (!value.is_object()) faults.Fail(place, "expected a renderer object");
    const std::string typePlace = PlaceOf(place, "type");
    const std::string type = faults.Text(faults.Member(value, place, "type"), typePlace);
    if (type == "simple") return ReadSimpleRenderer(faults, value, place, context);
    if (type != "uniqueValue") {
        faults.Fail(typePlace,
                    "unknown renderer type \"" + type + "\" (one of simple, uniqueValue)");
    }
    const LegendValues* legend = nullptr;
    if (legends) {
        const auto found = legends->find(place);
        if (found != legends->end()) legend = &found->second;
    }
    return ReadUniqueValueRenderer(faults, value, place, context, legend);
}

// ---- writing -----------------------------------------------------------------------

void WriteSymbol(JsonWriter& out, const DocumentFaults& faults,
                 const std::shared_ptr<host::ISymbol>& symbol, const std::string& place,
                 const std::string& layer) {
    const auto spelt = [&place] { return place; };
    WriteSymbolAs(out, faults, symbol.get(), LazyPlace(spelt), layer);
}

void WriteRenderer(JsonWriter& out, const DocumentFaults& faults,
                   const std::shared_ptr<host::IFeatureRenderer>& renderer,
                   const std::string& place, const std::string& layer) {
    if (const auto simple = host::As<host::ISimpleRenderer>(renderer)) {
        out.BeginObject();
        out.Key("type");
        out.String("simple");
        out.Key("symbol");
        WriteSymbol(out, faults, simple->Symbol(), PlaceOf(place, "symbol"), layer);
        out.Key("label");
        out.String(simple->Label());
        out.EndObject();
        return;
    }
    const auto unique = host::As<host::IUniqueValueRenderer>(renderer);
    if (!unique) {
        faults.Fail(place,
                    "layer \"" + layer + "\": only simple and unique value renderers can be saved");
    }
    out.BeginObject();
    out.Key("type");
    out.String("uniqueValue");
    out.Key("fields");
    out.BeginArray();
    for (std::int32_t i = 0; i < unique->FieldCount(); ++i) {
        out.BeginObject();
        out.Key("name");
        out.String(unique->Field(i));
        out.Key("isString");
        out.Bool(unique->FieldType(i));
        out.EndObject();
    }
    out.EndArray();
    // Value by value: a legend may hold a value for every feature of a large layer.
    out.Key("values");
    out.BeginArray();
    const std::string valuesPlace = PlaceOf(place, "values");
    // One for the whole legend: a writer makes its 64 KiB buffer at its first write.
    JsonWriter check([](std::string_view) {});
    const auto writeValue = [&](std::int32_t i, std::string_view value, const std::string& heading,
                                std::string_view label,
                                const std::shared_ptr<host::ISymbol>& symbol) {
        const auto symbolPlace = [&] {
            return PlaceOf(PlaceOf(valuesPlace, static_cast<std::size_t>(i)), "symbol");
        };
        const LazyPlace lazySymbolPlace(symbolPlace);
        // A symbol that cannot be saved is the fault reported before a text that
        // cannot, though the texts are written first.
        if (!IsPlainText(value) || !IsPlainText(heading) || !IsPlainText(label)) {
            WriteSymbolAs(check, faults, symbol.get(), lazySymbolPlace, layer);
        }
        out.BeginObject();
        out.Key("value");
        out.String(value);
        out.Key("heading");
        out.String(heading);
        out.Key("label");
        out.String(label);
        out.Key("symbol");
        WriteSymbolAs(out, faults, symbol.get(), lazySymbolPlace, layer);
        out.EndObject();
    };
    // The host's own renderer is read in place: by name, each value would be
    // looked up once for each thing it holds.
    const auto* own = dynamic_cast<const objects::UniqueValueRenderer*>(unique.get());
    for (std::int32_t i = 0; i < unique->ValueCount(); ++i) {
        if (own != nullptr) {
            const auto entry = own->EntryAt(static_cast<std::size_t>(i));
            writeValue(i, entry.value, entry.heading, entry.label, entry.symbol);
        } else {
            const std::string value = unique->Value(i);
            writeValue(i, value, unique->Heading(value), unique->Label(value),
                       unique->Symbol(value));
        }
    }
    out.EndArray();
    out.Key("defaultSymbol");
    WriteSymbol(out, faults, unique->DefaultSymbol(), PlaceOf(place, "defaultSymbol"), layer);
    out.Key("useDefaultSymbol");
    out.Bool(unique->UseDefaultSymbol());
    out.Key("defaultLabel");
    out.String(unique->DefaultLabel());
    out.Key("colorScheme");
    out.String(unique->ColorScheme());
    out.EndObject();
}

std::vector<std::string> RendererFields(const std::shared_ptr<host::IFeatureRenderer>& renderer) {
    std::vector<std::string> names;
    if (const auto unique = host::As<host::IUniqueValueRenderer>(renderer)) {
        for (std::int32_t i = 0; i < unique->FieldCount(); ++i) names.push_back(unique->Field(i));
    }
    return names;
}

}  // namespace velorin::gdal
