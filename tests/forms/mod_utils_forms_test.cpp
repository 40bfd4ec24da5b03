#include "forms/mod_utils_forms.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/host.h"
#include "tests/forms/list_window.h"
#include "tests/support/host_fixture.h"
#include "tests/support/map_plan.h"

// The list routines on every host the binary links: the same map, the same
// lists, read through host interfaces.
namespace velorin::forms {
namespace {

using host::esriFieldTypeDate;
using host::esriFieldTypeDouble;
using host::esriFieldTypeInteger;
using host::esriFieldTypeString;
using host::esriGeometryPoint;
using host::esriGeometryPolygon;
using host::esriGeometryPolyline;
using velorin::testing::HostMaker;
using velorin::testing::MapPlan;
using Names = std::vector<std::string>;

class PickLists : public ::testing::TestWithParam<HostMaker> {
  protected:
    void SetUp() override { m_host = GetParam().make(); }

    void Build() { m_host->Build(m_map); }
    velorin::testing::HostFixture& Host() { return *m_host; }
    std::shared_ptr<host::IMap> Map() { return m_host->FocusMap(); }
    ui::ComboBox& List() { return m_window.ComboBox("cboList"); }

    void FillLayers(const NameList& kinds, const std::optional<TypeList>& shapeTypes = std::nullopt,
                    const ListChoices& choices = {}) {
        FillLayerList(
            Map(), List(),
            {.layerKinds = kinds, .featureTypes = ListedFeatureTypes(), .shapeTypes = shapeTypes},
            choices);
    }

    // Every kind of layer both hosts hold, some names shared, none in a group.
    void MixedMap() {
        m_map.FeatureLayer("Roads", esriGeometryPolyline)
            .FeatureLayer("roads", esriGeometryPolyline)
            .RasterLayer("Wells")
            .FeatureLayer("Wells", esriGeometryPoint)
            .FeatureLayer("Lost", esriGeometryPoint)
            .WithoutFeatureClass()
            .RasterLayer("Blank", false)
            .OtherLayer("Tiles")
            .FeatureLayer("Roads", esriGeometryPolygon)
            .StandaloneTable("Owners")
            .StandaloneTable("Gone", false);
        Build();
    }

    MapPlan m_map;
    std::unique_ptr<velorin::testing::HostFixture> m_host;
    ui::Window m_window{testing::kListLayout};
};

INSTANTIATE_TEST_SUITE_P(Hosts, PickLists, ::testing::ValuesIn(velorin::testing::Hosts()),
                         velorin::testing::HostName);

TEST_P(PickLists, FeatureLayerListLeavesOutOtherKindsAndMissingData) {
    MixedMap();
    FillLayers({"FeatureLayer"});
    EXPECT_EQ(List().Items(), (Names{"Roads", "roads", "Wells", "Roads"}));
    EXPECT_EQ(List().ListIndex(), 0);
}

TEST_P(PickLists, KindsComeInMapOrderWithTablesLastAndUnknownKindsIgnored) {
    MixedMap();
    FillLayers({"Table", "RasterLayer", "featurelayer", "Group"}, std::nullopt,
               {.noneEntry = NoneEntry::First});
    EXPECT_EQ(List().Items(), (Names{"<None>", "Wells", "Owners"}));
    EXPECT_EQ(List().Text(), "<None>");
}

TEST_P(PickLists, ShapeTypesFilterSimpleFeatureClasses) {
    MixedMap();
    FillLayers({"FeatureLayer"}, TypeList{esriGeometryPoint});
    EXPECT_EQ(List().Items(), (Names{"Wells"}));
    FillLayers({"FeatureLayer"}, TypeList{esriGeometryPolygon, esriGeometryPolyline});
    EXPECT_EQ(List().Items(), (Names{"Roads", "roads", "Roads"}));
}

TEST_P(PickLists, OnlyListedFeatureTypesAndTheShapeFilterOnlyForSimpleClasses) {
    const auto& simpleOnly = Host().Traits().everyClassIsSimple;
    if (simpleOnly.differs) GTEST_SKIP() << simpleOnly.reason;
    m_map.FeatureLayer("Labels", esriGeometryPolygon, host::esriFTAnnotation)
        .FeatureLayer("Sizes", esriGeometryPolyline, host::esriFTDimension)
        .FeatureLayer("Valves", esriGeometryPoint, host::esriFTSimpleJunction)
        .FeatureLayer("Mains", esriGeometryPolyline, host::esriFTComplexEdge)
        .FeatureLayer("Wells", esriGeometryPoint);
    Build();
    FillLayers({"FeatureLayer"});
    EXPECT_EQ(List().Items(), (Names{"Valves", "Mains", "Wells"}));
    // The junction and the edge are not simple: their shapes are not looked at.
    FillLayers({"FeatureLayer"}, TypeList{esriGeometryPolygon});
    EXPECT_EQ(List().Items(), (Names{"Valves", "Mains"}));
}

TEST_P(PickLists, ExcludedNamesAreDroppedExactly) {
    MixedMap();
    FillLayers({"FeatureLayer"}, std::nullopt, {.excludeNames = NameList{"Roads", "WELLS"}});
    EXPECT_EQ(List().Items(), (Names{"roads", "Wells"}));
}

TEST_P(PickLists, EmptyMapGivesAnEmptyListOrNoneAlone) {
    Build();
    FillLayers({"FeatureLayer"});
    EXPECT_EQ(List().ListCount(), 0);
    EXPECT_EQ(List().ListIndex(), -1);

    FillLayers({"FeatureLayer"}, std::nullopt, {.noneEntry = NoneEntry::First});
    EXPECT_EQ(List().Items(), (Names{"<None>"}));
    EXPECT_EQ(List().ListIndex(), 0);
}

TEST_P(PickLists, RefillReplacesTheEntries) {
    MixedMap();
    List().AddItem("stale");
    FillLayers({"RasterLayer"});
    EXPECT_EQ(List().Items(), (Names{"Wells"}));
}

TEST_P(PickLists, SameNameMessageSpeaksOnlyWhenFeatureLayersShareTheExactName) {
    MixedMap();
    EXPECT_EQ(SameNameMessage("Roads", Map()),
              "The map has 2 layers named Roads: rename them so that each has a name of its own, "
              "then try again");
    EXPECT_EQ(SameNameMessage("roads", Map()), "");  // another name in letter case
    EXPECT_EQ(SameNameMessage("Wells", Map()), "");  // its twin is a raster layer
    EXPECT_EQ(SameNameMessage("Nowhere", Map()), "");
}

TEST_P(PickLists, FindFeatureLayerGivesTheFirstFeatureLayerOfExactlyThatName) {
    MixedMap();
    const auto map = Map();

    const auto roads = FindFeatureLayer("Roads", map);
    ASSERT_TRUE(roads);
    EXPECT_EQ(roads->FeatureClass()->ShapeType(), esriGeometryPolyline);
    EXPECT_EQ(FindFeatureLayer("roads", map)->Name(), "roads");
    EXPECT_EQ(FindFeatureLayer("Wells", map)->FeatureClass()->ShapeType(), esriGeometryPoint);
    EXPECT_FALSE(FindFeatureLayer("ROADS", map));
    EXPECT_FALSE(FindFeatureLayer("Roads ", map));
    EXPECT_FALSE(FindFeatureLayer("Owners", map));
    EXPECT_FALSE(FindFeatureLayer("Gone", map));  // a table, even without its data
    EXPECT_FALSE(FindFeatureLayer("Tiles", map));
    EXPECT_FALSE(FindFeatureLayer("Roads", nullptr));
}

// Layers inside a group are listed and found exactly where the host's grouped
// layers are layers of the map; the group itself never is.
TEST_P(PickLists, ALayerInsideAGroupIsListedAndFoundWhereGroupedLayersAreMapLayers) {
    m_map.FeatureLayer("Roads", esriGeometryPolyline)
        .GroupLayer("Hydro")
        .FeatureLayer("Streams", esriGeometryPolyline)
        .EndGroup();
    Build();
    const bool grouped = Host().Traits().groupedLayersAreMapLayers.differs;

    FillLayers({"FeatureLayer"});
    EXPECT_EQ(List().Items(), grouped ? (Names{"Roads", "Streams"}) : (Names{"Roads"}));
    EXPECT_EQ(static_cast<bool>(FindFeatureLayer("Streams", Map())), grouped);
    EXPECT_FALSE(FindFeatureLayer("Hydro", Map()));
}

// ---- Field lists ----------------------------------------------------------------------------

class FieldLists : public PickLists {
  protected:
    void Gauges() {
        m_map.FeatureLayer("Gauges", esriGeometryPoint)
            .Field("NerroID", esriFieldTypeInteger, "Nerro identifier")
            .Field("Read", esriFieldTypeDate)
            .Field("Level", esriFieldTypeDouble)
            .Field("NextDownID", esriFieldTypeString)
            .Field("GaugeID", host::esriFieldTypeBigInteger);
        Build();
    }
    std::shared_ptr<host::IFields> GaugeFields() {
        return FindFeatureLayer("Gauges", Map())->FeatureClass()->Fields();
    }
};

INSTANTIATE_TEST_SUITE_P(Hosts, FieldLists, ::testing::ValuesIn(velorin::testing::Hosts()),
                         velorin::testing::HostName);

TEST_P(FieldLists, OffersNamesOfTheRequestedTypesInFieldOrder) {
    Gauges();
    const std::string oid = Host().Traits().objectIdField.name;
    FillFieldList(GaugeFields(), List(), SourceKeyFieldTypes(),
                  {.preferences = NameList{"JunctionID", "NextDownID", "NerroID", "FeatureID"},
                   .noneEntry = NoneEntry::First});
    EXPECT_EQ(List().Items(), (Names{"<None>", oid, "NerroID", "Level", "NextDownID", "GaugeID"}));
    EXPECT_EQ(List().Text(), "NextDownID");

    FillFieldList(GaugeFields(), List(), RelatedKeyFieldTypes(),
                  {.preferences = NameList{"NerroID", "JunctionID", "NextDownID", "FeatureID"},
                   .noneEntry = NoneEntry::First});
    EXPECT_EQ(List().Items(), (Names{"<None>", "NerroID", "Level", "NextDownID", "GaugeID"}));
    EXPECT_EQ(List().Text(), "NerroID");
}

TEST_P(FieldLists, NoFieldOfTheTypesGivesEmptyOrNoneAlone) {
    Gauges();
    FillFieldList(GaugeFields(), List(), {host::esriFieldTypeBlob});
    EXPECT_EQ(List().ListCount(), 0);
    FillFieldList(GaugeFields(), List(), {host::esriFieldTypeBlob},
                  {.preferences = NameList{"<None>"}, .noneEntry = NoneEntry::First});
    EXPECT_EQ(List().Items(), (Names{"<None>"}));
    EXPECT_EQ(List().ListIndex(), 0);
}

// No host is asked: the routine refuses before it touches the list.
TEST(FieldListWithoutFields, RaisesAndLeavesTheListAlone) {
    ui::Window window{testing::kListLayout};
    ui::ComboBox& list = window.ComboBox("cboList");
    list.AddItem("kept");
    EXPECT_THROW(
        FillFieldList(nullptr, list, SourceKeyFieldTypes(), {.noneEntry = NoneEntry::First}),
        Error);
    EXPECT_EQ(list.Items(), (Names{"kept"}));
}

}  // namespace
}  // namespace velorin::forms
