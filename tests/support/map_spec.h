#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "host/codes.h"
#include "host/field_value.h"
#include "host/geometry.h"
#include "host/host.h"
#include "platform/objects/geometry.h"

// A map stated as plain data, so one statement can be built on every host the
// conformance suites run on (tests/support/host_fixture.h). Nothing here knows a
// host: symbols and renderers are descriptions that each fixture turns into its
// host's own objects.
//
//   MapSpec map;
//   map.Window(300, 200)
//       .FeatureLayer("NerroJunction", esriGeometryPoint)
//           .Field("NerroID", esriFieldTypeInteger).Field("Kind", esriFieldTypeString)
//           .Feature({1, "r"}, MakePoint(5, 35))
//           .Renderer(RendererSpec::UniqueValues("Kind", {{"r", SymbolSpec::For(esriGeometryPoint,
//           kRed)}}))
//       .GroupLayer("Hydro").FeatureLayer("Rivers", esriGeometryPolyline).EndGroup()
//       .StandaloneTable("Owners").Field("Owner", esriFieldTypeString).Row({"Ann"});
//
// As with the reference host's builder, a feature layer's class has an object id
// and a shape field before the declared fields, object ids start at 1, and each
// call after FeatureLayer or StandaloneTable applies to the one stated last.
namespace velorin::testing {

// The shapes a spec states are the host-neutral value geometries.
using objects::MakeMultipoint;
using objects::MakePoint;
using objects::MakePolygon;
using objects::MakePolyline;

// A null field value, for stating rows: .Feature({13, Null}, shape).
inline const host::FieldValue Null{};

struct Color {
    std::int32_t red = 0;
    std::int32_t green = 0;
    std::int32_t blue = 0;
    friend bool operator==(const Color&, const Color&) = default;
};

inline constexpr Color kRed{200, 30, 30};
inline constexpr Color kGreen{30, 160, 60};
inline constexpr Color kBlue{40, 60, 210};

// The colour a host colour object holds; raises when it is no RGB colour.
inline Color ColorOf(const std::shared_ptr<host::IColor>& color) {
    const auto rgb = host::Require<host::IRgbColor>(color, "IRgbColor");
    return {rgb->Red(), rgb->Green(), rgb->Blue()};
}

// A symbol as data. Simple markers, lines and fills use style (the host's style
// code) and size (marker size or line width in points; unused by fills); Other
// is a symbol that is no simple one (a picture or several layers).
struct SymbolSpec {
    enum class Kind { Marker, Line, Fill, Other };
    Kind kind = Kind::Marker;
    Color color;
    std::int32_t style = 0;
    double size = 0;

    // The simple symbol a layer of that shape type draws with, solid, in color.
    static SymbolSpec For(std::int32_t shapeType, Color color);
    static SymbolSpec NotSimple(Color color) { return {Kind::Other, color, 0, 16}; }
};

// A renderer as data. Default: whatever a new layer of the host draws with.
struct RendererSpec {
    enum class Kind { Default, Simple, UniqueValues };
    Kind kind = Kind::Default;
    SymbolSpec symbol;  // Simple
    std::string field;  // UniqueValues: the one field
    std::vector<std::pair<std::string, SymbolSpec>> values;
    std::optional<SymbolSpec> defaultSymbol;  // what matches no value

    static RendererSpec Simple(SymbolSpec symbol) {
        return {Kind::Simple, symbol, {}, {}, std::nullopt};
    }
    static RendererSpec UniqueValues(std::string field,
                                     std::vector<std::pair<std::string, SymbolSpec>> values,
                                     std::optional<SymbolSpec> defaultSymbol = std::nullopt) {
        return {Kind::UniqueValues, {}, std::move(field), std::move(values), defaultSymbol};
    }
};

struct FieldSpec {
    std::string name;
    std::int32_t type = host::esriFieldTypeInteger;  // esriFieldType
};

struct FeatureSpec {
    std::vector<host::FieldValue> values;  // one per declared field, in order
    std::shared_ptr<host::IGeometry> shape;
    std::int32_t oid = 0;  // 0: the next id
};

struct LayerSpec {
    enum class Kind { Feature, Group, Raster, Other };
    Kind kind = Kind::Feature;
    std::string name;
    // Feature layers.
    std::int32_t shapeType = host::esriGeometryNull;
    std::int32_t featureType = host::esriFTSimple;
    bool hasData = true;  // feature class, or raster
    std::vector<FieldSpec> fields;
    std::vector<FeatureSpec> features;
    std::vector<std::int32_t> selection;
    std::string definition;
    std::string displayField;
    RendererSpec renderer;
    // Group layers, top first.
    std::vector<LayerSpec> children;
};

struct TableSpec {
    std::string name;
    std::vector<FieldSpec> fields;
    std::vector<FeatureSpec> rows;  // shapes unused
};

class MapSpec {
  public:
    MapSpec& Window(int width, int height);
    MapSpec& FeatureLayer(std::string name, std::int32_t shapeType,
                          std::int32_t featureType = host::esriFTSimple);
    MapSpec& WithoutFeatureClass();
    MapSpec& Field(std::string name, std::int32_t type);
    MapSpec& Feature(std::vector<host::FieldValue> values,
                     std::shared_ptr<host::IGeometry> shape = {}, std::int32_t oid = 0);
    MapSpec& Select(std::vector<std::int32_t> oids);
    MapSpec& Definition(std::string whereClause);
    MapSpec& DisplayField(std::string field);
    MapSpec& Renderer(RendererSpec renderer);
    MapSpec& GroupLayer(std::string name);
    MapSpec& EndGroup();
    MapSpec& RasterLayer(std::string name, bool hasRaster = true);
    MapSpec& OtherLayer(std::string name);
    MapSpec& StandaloneTable(std::string name);
    MapSpec& Row(std::vector<host::FieldValue> values, std::int32_t oid = 0);

    int Width() const { return m_width; }
    int Height() const { return m_height; }
    // Top first, groups holding their layers.
    const std::vector<LayerSpec>& Layers() const { return m_layers; }
    const std::vector<TableSpec>& Tables() const { return m_tables; }

  private:
    // The list a new layer goes into: the innermost open group's, or the map's.
    std::vector<LayerSpec>& OpenList();
    LayerSpec& LastFeatureLayer(const char* what);

    int m_width = 300;
    int m_height = 200;
    std::vector<LayerSpec> m_layers;
    std::vector<std::size_t> m_openGroups;  // index path to the innermost open group
    std::vector<TableSpec> m_tables;
    // What Field, Feature, Select, ... apply to.
    enum class Last { None, Layer, Table } m_last = Last::None;
};

}  // namespace velorin::testing
