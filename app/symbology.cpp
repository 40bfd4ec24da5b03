#include "app/symbology.h"

#include <algorithm>
#include <cmath>
#include <unordered_set>
#include <variant>

#include "host/codes.h"
#include "host/error.h"
#include "host/object.h"
#include "platform/memory/feature_class.h"
#include "platform/objects/renderers.h"
#include "platform/objects/symbols.h"

namespace velorin::app {

namespace {

const objects::Rgb kOtherValuesGrey{190, 190, 190};
const objects::Rgb kOutlineGrey{90, 90, 90};

objects::Rgb FromHsv(double hue, double saturation, double value) {
    const double c = value * saturation;
    const double h = std::fmod(hue, 360.0) / 60.0;
    const double x = c * (1.0 - std::fabs(std::fmod(h, 2.0) - 1.0));
    double r = 0.0;
    double g = 0.0;
    double b = 0.0;
    if (h < 1) {
        r = c, g = x;
    } else if (h < 2) {
        r = x, g = c;
    } else if (h < 3) {
        g = c, b = x;
    } else if (h < 4) {
        g = x, b = c;
    } else if (h < 5) {
        r = x, b = c;
    } else {
        r = c, b = x;
    }
    const double m = value - c;
    const auto channel = [m](double v) {
        return static_cast<std::uint8_t>(std::clamp(std::lround((v + m) * 255.0), 0L, 255L));
    };
    return objects::Rgb{channel(r), channel(g), channel(b)};
}

std::shared_ptr<host::IRgbColor> NewColor(host::IObjectFactory& factory, objects::Rgb rgb) {
    auto color = factory.NewRgbColor();
    color->SetRed(rgb.red);
    color->SetGreen(rgb.green);
    color->SetBlue(rgb.blue);
    return color;
}

objects::Rgb RgbOf(const std::shared_ptr<host::IColor>& color, objects::Rgb fallback) {
    return color ? objects::Rgb::FromHost(color->RGB()) : fallback;
}

bool CanKey(std::int32_t fieldType) {
    return fieldType != host::esriFieldTypeGeometry && fieldType != host::esriFieldTypeBlob &&
           fieldType != host::esriFieldTypeRaster;
}

}  // namespace

bool ValueBefore(const host::FieldValue& a, const host::FieldValue& b) {
    if (a.IsNumber() && b.IsNumber()) return a.AsDouble() < b.AsDouble();
    if (a.Get().index() != b.Get().index()) return a.Get().index() < b.Get().index();
    return std::visit(
        [&b](const auto& left) -> bool {
            using T = std::decay_t<decltype(left)>;
            const T& right = std::get<T>(b.Get());
            if constexpr (std::is_same_v<T, host::Date>) {
                return left.days < right.days;
            } else if constexpr (std::is_same_v<T, std::monostate>) {
                return false;
            } else if constexpr (std::is_same_v<T, host::ObjectId>) {
                return left.value < right.value;
            } else {
                return left < right;
            }
        },
        a.Get());
}

namespace {

const memory::FeatureClass& ClassOf(const memory::FeatureLayer& layer) {
    if (!layer.Data()) {
        throw Error(host::E_HOST_FAIL,
                    "The layer \"" + layer.Name() + "\" has no data: its data source is missing");
    }
    return *layer.Data();
}

}  // namespace

std::shared_ptr<host::ISymbol> CurrentSymbol(const memory::FeatureLayer& layer) {
    const auto renderer = layer.Renderer();
    if (const auto simple = host::As<host::ISimpleRenderer>(renderer)) return simple->Symbol();
    if (const auto unique = host::As<host::IUniqueValueRenderer>(renderer)) {
        if (unique->ValueCount() > 0) return unique->Symbol(unique->Value(0));
        return unique->DefaultSymbol();
    }
    return nullptr;
}

std::vector<objects::Rgb> DistinctColors(std::size_t count) {
    constexpr double kGoldenAngle = 137.50776405003785;
    constexpr double kSaturation[] = {0.72, 0.55, 0.90};
    constexpr double kValue[] = {0.90, 0.75, 0.62};
    std::vector<objects::Rgb> colors;
    colors.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        // A start at 10 degrees gives a warm red first, not a pure one.
        const double hue = 10.0 + static_cast<double>(i) * kGoldenAngle;
        colors.push_back(FromHsv(hue, kSaturation[i % 3], kValue[(i / 3) % 3]));
    }
    return colors;
}

std::vector<objects::Rgb> RampColors(ColorRamp ramp, std::size_t count) {
    if (ramp == ColorRamp::Random) return DistinctColors(count);
    // Stops of ramps cartographers know, the light ends kept off white so that
    // every value shows on the map's background.
    static const std::vector<objects::Rgb> kBlues{
        {198, 219, 239}, {107, 174, 214}, {33, 113, 181}, {8, 48, 107}};
    static const std::vector<objects::Rgb> kGreens{
        {199, 233, 192}, {116, 196, 118}, {35, 139, 69}, {0, 68, 27}};
    static const std::vector<objects::Rgb> kReds{
        {252, 187, 161}, {251, 106, 74}, {203, 24, 29}, {103, 0, 13}};
    static const std::vector<objects::Rgb> kViridis{
        {68, 1, 84}, {59, 82, 139}, {33, 145, 140}, {94, 201, 98}, {253, 231, 37}};
    static const std::vector<objects::Rgb> kSpectral{{213, 62, 79},   {252, 141, 89},
                                                     {254, 224, 139}, {230, 245, 152},
                                                     {153, 213, 148}, {50, 136, 189}};
    const std::vector<objects::Rgb>& stops = ramp == ColorRamp::Blues     ? kBlues
                                             : ramp == ColorRamp::Greens  ? kGreens
                                             : ramp == ColorRamp::Reds    ? kReds
                                             : ramp == ColorRamp::Viridis ? kViridis
                                                                          : kSpectral;
    std::vector<objects::Rgb> colors;
    colors.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        const double at =
            count == 1 ? 0.5 : static_cast<double>(i) / static_cast<double>(count - 1);
        const double place = at * static_cast<double>(stops.size() - 1);
        const std::size_t from = std::min(static_cast<std::size_t>(place), stops.size() - 2);
        const double t = place - static_cast<double>(from);
        const auto mix = [t](std::uint8_t a, std::uint8_t b) {
            return static_cast<std::uint8_t>(std::lround(a + (b - a) * t));
        };
        const objects::Rgb& a = stops[from];
        const objects::Rgb& b = stops[from + 1];
        colors.push_back({mix(a.red, b.red), mix(a.green, b.green), mix(a.blue, b.blue)});
    }
    return colors;
}

ShapeKind ShapeKindOf(std::int32_t shapeType) {
    if (shapeType == host::esriGeometryPoint || shapeType == host::esriGeometryMultipoint) {
        return ShapeKind::Marker;
    }
    if (shapeType == host::esriGeometryPolyline) return ShapeKind::Line;
    return ShapeKind::Fill;
}

SymbolChoice ReadSymbolChoice(const std::shared_ptr<host::ISymbol>& symbol, ShapeKind kind) {
    SymbolChoice choice;
    switch (kind) {
        case ShapeKind::Marker:
            choice.style = host::esriSMSCircle;
            choice.size = 8.0;
            if (const auto marker = host::As<host::ISimpleMarkerSymbol>(symbol)) {
                choice.color = RgbOf(marker->Color(), choice.color);
                choice.style = marker->Style();
                choice.size = marker->Size();
            }
            break;
        case ShapeKind::Line:
            choice.style = host::esriSLSSolid;
            choice.size = 1.5;
            if (const auto line = host::As<host::ISimpleLineSymbol>(symbol)) {
                choice.color = RgbOf(line->Color(), choice.color);
                choice.style = line->Style();
                choice.size = line->Width();
            }
            break;
        case ShapeKind::Fill:
            choice.style = host::esriSFSSolid;
            choice.outlineColor = kOutlineGrey;
            if (const auto fill = host::As<host::ISimpleFillSymbol>(symbol)) {
                choice.color = RgbOf(fill->Color(), choice.color);
                choice.style = fill->Style();
                const auto outline = fill->Outline();
                choice.outlineWidth = outline ? outline->Width() : 0.0;
                if (outline) choice.outlineColor = RgbOf(outline->Color(), choice.outlineColor);
            }
            break;
    }
    return choice;
}

std::shared_ptr<host::ISymbol> MakeSymbol(host::IObjectFactory& factory, ShapeKind kind,
                                          const SymbolChoice& choice) {
    switch (kind) {
        case ShapeKind::Marker: {
            auto marker = factory.NewSimpleMarkerSymbol();
            marker->SetStyle(choice.style);
            marker->SetSize(choice.size);
            marker->SetColor(NewColor(factory, choice.color));
            return host::Require<host::ISymbol>(marker, "ISymbol");
        }
        case ShapeKind::Line: {
            auto line = factory.NewSimpleLineSymbol();
            line->SetStyle(choice.style);
            line->SetWidth(choice.size);
            line->SetColor(NewColor(factory, choice.color));
            return host::Require<host::ISymbol>(line, "ISymbol");
        }
        case ShapeKind::Fill:
            break;
    }
    auto fill = factory.NewSimpleFillSymbol();
    fill->SetStyle(choice.style);
    fill->SetColor(NewColor(factory, choice.color));
    if (choice.outlineWidth > 0.0) {
        auto outline = factory.NewSimpleLineSymbol();
        outline->SetWidth(choice.outlineWidth);
        outline->SetColor(NewColor(factory, choice.outlineColor));
        fill->SetOutline(outline);
    } else {
        fill->SetOutline(nullptr);
    }
    return host::Require<host::ISymbol>(fill, "ISymbol");
}

std::vector<std::string> LegendFields(const memory::FeatureLayer& layer) {
    std::vector<std::string> names;
    if (!layer.Data()) return names;
    const objects::Fields& fields = *layer.Data()->Store()->FieldSet();
    for (std::int32_t i = 0; i < fields.Count(); ++i) {
        if (CanKey(fields.At(i).TypeCode())) names.push_back(fields.At(i).NameText());
    }
    return names;
}

std::vector<host::FieldValue> DistinctValues(const memory::FeatureLayer& layer,
                                             const std::string& field) {
    const memory::FeatureClass& data = ClassOf(layer);
    const memory::RowStore& store = *data.Store();
    const std::int32_t index = store.FieldSet()->Find(field);
    if (index < 0 || !CanKey(store.FieldSet()->At(index).TypeCode())) {
        throw Error(host::E_HOST_INVALIDARG, "The layer \"" + layer.Name() + "\" has no field \"" +
                                                 field + "\" that a legend can use");
    }
    const objects::QuietHost quiet(store.Context());
    const std::vector<std::size_t> rows =
        memory::FindRows(store, layer.DefinitionExpression(), nullptr);
    std::unordered_set<std::string> seen;
    std::vector<host::FieldValue> values;
    for (const std::size_t row : rows) {
        const host::FieldValue& value = store.ValuesAt(row)[static_cast<std::size_t>(index)];
        if (value.IsNull() || !seen.insert(host::ToText(value)).second) continue;
        if (values.size() == kMaxUniqueValues) {
            throw Error(host::E_HOST_INVALIDARG,
                        "The field \"" + field + "\" of the layer \"" + layer.Name() +
                            "\" has more than " + std::to_string(kMaxUniqueValues) +
                            " different values: choose a field with fewer");
        }
        values.push_back(value);
    }
    std::sort(values.begin(), values.end(), ValueBefore);
    return values;
}

std::vector<ValueClass> ClassifyValues(const memory::FeatureLayer& layer, const std::string& field,
                                       ColorRamp ramp) {
    const std::vector<host::FieldValue> values = DistinctValues(layer, field);
    const std::vector<objects::Rgb> colors = RampColors(ramp, values.size());
    std::vector<ValueClass> classes;
    classes.reserve(values.size());
    for (std::size_t i = 0; i < values.size(); ++i) {
        std::string text = host::ToText(values[i]);
        classes.push_back({text, text, colors[i]});
    }
    return classes;
}

std::vector<ValueClass> ClassesOf(const host::IUniqueValueRenderer& renderer, ShapeKind kind) {
    std::vector<ValueClass> classes;
    const std::int32_t count = renderer.ValueCount();
    for (std::int32_t i = 0; i < count; ++i) {
        std::string value = renderer.Value(i);
        const objects::Rgb color = ReadSymbolChoice(renderer.Symbol(value), kind).color;
        classes.push_back({value, renderer.Label(value), color});
    }
    return classes;
}

std::shared_ptr<host::IUniqueValueRenderer> MakeUniqueValueRenderer(
    host::IObjectFactory& factory, const memory::FeatureLayer& layer, const std::string& field,
    const SymbolChoice& look, const std::vector<ValueClass>& classes, bool allOtherValues) {
    const memory::RowStore& store = *ClassOf(layer).Store();
    const std::int32_t index = store.FieldSet()->Find(field);
    if (index < 0 || !CanKey(store.FieldSet()->At(index).TypeCode())) {
        throw Error(host::E_HOST_INVALIDARG, "The layer \"" + layer.Name() + "\" has no field \"" +
                                                 field + "\" that a legend can use");
    }
    const objects::Field& key = store.FieldSet()->At(index);
    const ShapeKind kind = ShapeKindOf(layer.Data()->ShapeType());

    auto renderer = factory.NewUniqueValueRenderer();
    renderer->SetFieldCount(1);
    renderer->SetField(0, key.NameText());
    renderer->SetFieldType(0, objects::KindOfFieldType(key.TypeCode()) == objects::FieldKind::Text);
    for (const ValueClass& value : classes) {
        SymbolChoice choice = look;
        choice.color = value.color;
        renderer->AddValue(value.value, key.NameText(), MakeSymbol(factory, kind, choice));
        if (value.label != value.value) renderer->SetLabel(value.value, value.label);
    }
    SymbolChoice other = look;
    other.color = kOtherValuesGrey;
    renderer->SetDefaultSymbol(MakeSymbol(factory, kind, other));
    renderer->SetUseDefaultSymbol(allOtherValues);
    return renderer;
}

std::shared_ptr<host::IFeatureRenderer> MakeSimpleRenderer(const memory::ReferenceHost& host,
                                                           std::shared_ptr<host::ISymbol> symbol) {
    return std::make_shared<objects::SimpleRenderer>(host.SharedContext(), std::move(symbol));
}

void ApplyRenderer(const memory::ReferenceHost& host, memory::FeatureLayer& layer,
                   const std::shared_ptr<host::IFeatureRenderer>& renderer) {
    std::string page(objects::SingleSymbolPropertyPageClassID);
    if (host::As<host::IUniqueValueRenderer>(renderer)) {
        page = host.Application()->NewUniqueValuePropertyPage()->ClassID();
    }
    layer.SetRenderer(renderer);
    layer.SetRendererPropertyPageClassID(page);
}

void Categorize(const memory::ReferenceHost& host, const std::string& layerName,
                const std::string& field) {
    const auto layer = host.FeatureLayerNamed(layerName);
    const ShapeKind kind = ShapeKindOf(ClassOf(*layer).ShapeType());
    const SymbolChoice look = ReadSymbolChoice(CurrentSymbol(*layer), kind);
    auto renderer = MakeUniqueValueRenderer(*host.Application(), *layer, field, look,
                                            ClassifyValues(*layer, field, ColorRamp::Random), true);
    ApplyRenderer(host, *layer,
                  host::Require<host::IFeatureRenderer>(renderer, "IFeatureRenderer"));
    host.View().Refresh();
}

}  // namespace velorin::app
