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
//   MapPlan map;
//   map.Window(300, 200)
//       .FeatureLayer("NerroJunction", esriGeometryPoint)
//           .Field("NerroID", esriFieldTypeInteger).Field("Kind", esriFieldTypeString)
//           .Feature({1, "r"}, MakePoint(5, 35))
//           .Renderer(RendererPlan::UniqueValues("Kind", {{"r", SymbolPlan::For(esriGeometryPoint,
//           kRed)}}))
//       .GroupLayer("Hydro").FeatureLayer("Rivers", esriGeometryPolyline).EndGroup()
//       .StandaloneTable("Owners").Field("Owner", esriFieldTypeString).Row({"Ann"});
//
// As with the reference host's builder, a feature layer's class has an object id
// and a shape field before the declared fields, object ids start at 1, and each
// call after FeatureLayer or StandaloneTable applies to the one stated last.
namespace velorin::testing {

// The shapes a plan states are the host-neutral value geometries.
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
struct SymbolPlan {
    enum class Kind { Marker, Line, Fill, Other };
    Kind kind = Kind::Marker;
    Color color;
    std::int32_t style = 0;
    double size = 0;

    // The simple symbol a layer of that shape type draws with, solid, in color.
    static SymbolPlan For(std::int32_t shapeType, Color color);
    static SymbolPlan NotSimple(Color color) { return {Kind::Other, color, 0, 16}; }
};

// A renderer as data. Default: whatever a new layer of the host draws with.
struct RendererPlan {
    enum class Kind { Default, Simple, UniqueValues };
    Kind kind = Kind::Default;
    SymbolPlan symbol;  // Simple
    std::string field;  // UniqueValues: the one field
    std::vector<std::pair<std::string, SymbolPlan>> values;
    std::optional<SymbolPlan> defaultSymbol;  // what matches no value

    static RendererPlan Simple(SymbolPlan symbol) {
        return {Kind::Simple, symbol, {}, {}, std::nullopt};
    }
    static RendererPlan UniqueValues(std::string field,
                                     std::vector<std::pair<std::string, SymbolPlan>> values,
                                     std::optional<SymbolPlan> defaultSymbol = std::nullopt) {
        return {Kind::UniqueValues, {}, std::move(field), std::move(values), defaultSymbol};
    }
};

struct FieldPlan {
    std::string name;
    std::int32_t type = host::esriFieldTypeInteger;  // esriFieldType
    std::string alias;                               // empty: none
};

struct FeaturePlan {
    std::vector<host::FieldValue> values;  // one per declared field, in order
    std::shared_ptr<host::IGeometry> shape;
    std::int32_t oid = 0;  // 0: the next id
};

struct LayerPlan {
    enum class Kind { Feature, Group, Raster, Other };
    Kind kind = Kind::Feature;
    std::string name;
    // Feature layers.
    std::int32_t shapeType = host::esriGeometryNull;
    std::int32_t featureType = host::esriFTSimple;
    bool hasData = true;  // feature class, or raster
    std::vector<FieldPlan> fields;
    std::vector<FeaturePlan> features;
    std::vector<std::int32_t> selection;
    std::string definition;
    std::string displayField;
    RendererPlan renderer;
    // Group layers, top first.
    std::vector<LayerPlan> children;
};

struct TablePlan {
    std::string name;
    std::vector<FieldPlan> fields;
    std::vector<FeaturePlan> rows;  // shapes unused
    bool hasData = true;            // false: a table whose data source is gone
};

class MapPlan {
  public:
    MapPlan& Window(int width, int height);
    MapPlan& FeatureLayer(std::string name, std::int32_t shapeType,
                          std::int32_t featureType = host::esriFTSimple);
    MapPlan& WithoutFeatureClass();
    MapPlan& Field(std::string name, std::int32_t type, std::string alias = {});
    MapPlan& Feature(std::vector<host::FieldValue> values,
                     std::shared_ptr<host::IGeometry> shape = {}, std::int32_t oid = 0);
    MapPlan& Select(std::vector<std::int32_t> oids);
    MapPlan& Definition(std::string whereClause);
    MapPlan& DisplayField(std::string field);
    MapPlan& Renderer(RendererPlan renderer);
    MapPlan& GroupLayer(std::string name);
    MapPlan& EndGroup();
    MapPlan& RasterLayer(std::string name, bool hasRaster = true);
    MapPlan& OtherLayer(std::string name);
    MapPlan& StandaloneTable(std::string name, bool hasTable = true);
    MapPlan& Row(std::vector<host::FieldValue> values, std::int32_t oid = 0);

    int Width() const { return m_width; }
    int Height() const { return m_height; }
    // Top first, groups holding their layers.
    const std::vector<LayerPlan>& Layers() const { return m_layers; }
    const std::vector<TablePlan>& Tables() const { return m_tables; }

  private:
    // The list a new layer goes into: the innermost open group's, or the map's.
    std::vector<LayerPlan>& OpenList();
    LayerPlan& LastFeatureLayer(const char* what);

    int m_width = 300;
    int m_height = 200;
    std::vector<LayerPlan> m_layers;
    std::vector<std::size_t> m_openGroups;  // index path to the innermost open group
    std::vector<TablePlan> m_tables;
    // What Field, Feature, Select, ... apply to.
    enum class Last { None, Layer, Table } m_last = Last::None;
};

}  // namespace velorin::testing
