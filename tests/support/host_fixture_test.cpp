// The fixture itself: one plan, read back through host interfaces, is the same
// map on every host, so a suite's failure on one host is the host's and not the
// fixture's.
#include "tests/support/host_fixture.h"

#include <gtest/gtest.h>

#include <string>
#include <type_traits>
#include <vector>

#include "tests/support/map_plan.h"

namespace velorin::testing {
namespace {

class HostFixtureBuild : public ::testing::TestWithParam<HostMaker> {
  protected:
    void SetUp() override { m_host = GetParam().make(); }
    std::unique_ptr<HostFixture> m_host;
};

INSTANTIATE_TEST_SUITE_P(Hosts, HostFixtureBuild, ::testing::ValuesIn(Hosts()), HostName);

// Kind and name of each layer, groups opened in place.
void Outline(const std::shared_ptr<host::ILayer>& layer, std::vector<std::string>& out) {
    std::string kind = "other";
    if (host::Supports<host::IFeatureLayer>(layer)) kind = "feature";
    if (host::Supports<host::IRasterLayer>(layer)) kind = "raster";
    if (const auto group = host::As<host::ICompositeLayer>(layer)) {
        out.push_back("group " + layer->Name() + " {");
        for (std::int32_t i = 0; i < group->Count(); ++i) Outline(group->Layer(i), out);
        out.push_back("}");
        return;
    }
    out.push_back(kind + " " + layer->Name());
}

// Each row as "oid: value value ...", shape and object id fields aside.
template <class Cursor>
std::vector<std::string> Rows(const std::shared_ptr<Cursor>& cursor) {
    std::vector<std::string> rows;
    const auto next = [&]() -> std::shared_ptr<host::IRow> {
        if constexpr (std::is_same_v<Cursor, host::IFeatureCursor>) {
            return cursor->NextFeature();
        } else {
            return cursor->NextRow();
        }
    };
    while (const auto row = next()) {
        std::string text = std::to_string(row->OID()) + ":";
        const auto fields = row->Fields();
        for (std::int32_t i = 0; i < fields->FieldCount(); ++i) {
            const std::int32_t type = fields->Field(i)->Type();
            if (type == host::esriFieldTypeOID || type == host::esriFieldTypeGeometry) continue;
            const host::FieldValue value = row->Value(i);
            text += " " + (value.IsNull() ? std::string("null") : host::ToText(value));
        }
        rows.push_back(text);
    }
    return rows;
}

// A map of every kind of layer and value a plan states.
MapPlan EveryKind() {
    MapPlan map;
    map.Window(200, 150)
        .FeatureLayer("Junctions", host::esriGeometryPoint)
        .Field("Name", host::esriFieldTypeString)
        .Field("Key", host::esriFieldTypeInteger)
        .Field("Big", host::esriFieldTypeBigInteger)
        .Field("Depth", host::esriFieldTypeDouble)
        .Feature({"a", 1, std::int64_t{9007199254740993}, 2.5}, MakePoint(5, 5))
        .Feature({"b", Null, Null, Null}, MakePoint(15, 5))
        .Feature({"C:\\x", 3, std::int64_t{-1}, 0.25}, MakePoint(25, 5))
        .Select({1, 3})
        .Definition("Key > 0")
        .DisplayField("Name")
        .Renderer(RendererPlan::UniqueValues(
            "Name", {{"a", SymbolPlan::For(host::esriGeometryPoint, kRed)}},
            SymbolPlan::For(host::esriGeometryPoint, kGreen)))
        .GroupLayer("Hydro")
        .FeatureLayer("Rivers", host::esriGeometryPolyline)
        .Renderer(RendererPlan::Simple(SymbolPlan::For(host::esriGeometryPolyline, kBlue)))
        .GroupLayer("Deep")
        .FeatureLayer("Lost", host::esriGeometryPolygon)
        .WithoutFeatureClass()
        .EndGroup()
        .EndGroup()
        .RasterLayer("Elevation")
        .RasterLayer("Gone", false)
        .OtherLayer("Notes")
        .StandaloneTable("Owners")
        .Field("Owner", host::esriFieldTypeString)
        .Row({"Ann"})
        .Row({"Bo"});
    return map;
}

TEST_P(HostFixtureBuild, TheSpecsLayersAreTheMapsInItsOrder) {
    m_host->Build(EveryKind());

    const auto focus = m_host->FocusMap();
    std::vector<std::string> outline;
    for (std::int32_t i = 0; i < focus->LayerCount(); ++i) Outline(focus->Layer(i), outline);
    // Where grouped layers are map layers the groups organise and are no layers.
    const std::vector<std::string> expected =
        m_host->Traits().groupedLayersAreMapLayers.differs
            ? std::vector<std::string>{"feature Junctions", "feature Rivers", "feature Lost",
                                       "raster Elevation",  "raster Gone",    "other Notes"}
            : std::vector<std::string>{"feature Junctions",
                                       "group Hydro {",
                                       "feature Rivers",
                                       "group Deep {",
                                       "feature Lost",
                                       "}",
                                       "}",
                                       "raster Elevation",
                                       "raster Gone",
                                       "other Notes"};
    EXPECT_EQ(outline, expected);
    const auto raster = [&](const std::string& name) {
        for (std::int32_t i = 0; i < focus->LayerCount(); ++i) {
            if (focus->Layer(i)->Name() == name)
                return host::As<host::IRasterLayer>(focus->Layer(i));
        }
        return std::shared_ptr<host::IRasterLayer>();
    };
    ASSERT_TRUE(raster("Elevation") && raster("Gone"));
    EXPECT_TRUE(raster("Elevation")->Raster());
    EXPECT_FALSE(raster("Gone")->Raster());
    EXPECT_FALSE(m_host->FeatureLayer("Lost")->FeatureClass());
}

TEST_P(HostFixtureBuild, TheSpecsFieldsFeaturesSelectionsAndRenderersReadBack) {
    m_host->Build(EveryKind());
    const auto focus = m_host->FocusMap();
    const auto junctions = m_host->FeatureLayer("Junctions");
    const auto junctionClass = junctions->FeatureClass();
    EXPECT_EQ(junctionClass->ShapeType(), host::esriGeometryPoint);
    const auto fields = junctionClass->Fields();
    std::vector<std::int32_t> types;
    for (std::int32_t i = 0; i < fields->FieldCount(); ++i)
        types.push_back(fields->Field(i)->Type());
    EXPECT_EQ(types, (std::vector<std::int32_t>{
                         host::esriFieldTypeOID, host::esriFieldTypeGeometry,
                         host::esriFieldTypeString, host::esriFieldTypeInteger,
                         host::esriFieldTypeBigInteger, host::esriFieldTypeDouble}));
    EXPECT_EQ(junctionClass->FindField("Big"), 4);
    // The definition query lets 1 and 3 through; both are selected.
    const bool classNarrowed = m_host->Traits().definitionNarrowsTheClass.differs;
    EXPECT_EQ(Rows(junctionClass->Search(nullptr, false)).size(), classNarrowed ? 2U : 3U);
    EXPECT_EQ(Rows(junctions->Search(nullptr, false)),
              (std::vector<std::string>{"1: a 1 9007199254740993 2.5", "3: C:\\x 3 -1 0.25"}));
    EXPECT_EQ(host::As<host::IFeatureSelection>(junctions)->SelectionSet()->Count(), 2);
    EXPECT_EQ(host::As<host::IFeatureLayerDefinition>(junctions)->DefinitionExpression(),
              "Key > 0");
    EXPECT_EQ(junctions->DisplayField(), "Name");
    EXPECT_EQ(DescribeRenderer(junctions->Renderer()),
              "unique values on Name (text); default used marker style 0 size 8 rgb 30,160,60; "
              "'a' a: marker style 0 size 8 rgb 200,30,30");
    EXPECT_EQ(DescribeRenderer(m_host->FeatureLayer("Rivers")->Renderer()),
              "simple: line style 0 size 1 rgb 40,60,210");

    const auto tables = host::As<host::IStandaloneTableCollection>(focus);
    ASSERT_GE(tables->StandaloneTableCount(), 1);
    EXPECT_EQ(tables->StandaloneTable(tables->StandaloneTableCount() - 1)->Name(), "Owners");
    EXPECT_EQ(Rows(tables->StandaloneTable(tables->StandaloneTableCount() - 1)
                       ->Table()
                       ->Search(nullptr, false)),
              (std::vector<std::string>{"1: Ann", "2: Bo"}));

    m_host->Select("Junctions", {3});
    EXPECT_EQ(host::As<host::IFeatureSelection>(junctions)->SelectionSet()->Count(), 1);
}

}  // namespace
}  // namespace velorin::testing

namespace velorin::testing {
namespace {

// A feature layer whose data source is gone is a layer of the map and nothing
// else: not also a standalone table.
TEST_P(HostFixtureBuild, AFeatureLayerWithoutDataIsNoStandaloneTable) {
    MapPlan map;
    map.FeatureLayer("Lost", host::esriGeometryPolygon).WithoutFeatureClass();
    m_host->Build(map);

    const auto focus = m_host->FocusMap();
    ASSERT_EQ(focus->LayerCount(), 1);
    EXPECT_EQ(focus->Layer(0)->Name(), "Lost");
    EXPECT_EQ(host::As<host::IStandaloneTableCollection>(focus)->StandaloneTableCount(), 0);
}

}  // namespace
}  // namespace velorin::testing
