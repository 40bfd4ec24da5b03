#include "forms/mod_utils_forms.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/host.h"
#include "platform/memory/reference_host.h"
#include "tests/forms/list_window.h"

namespace velorin::forms {
namespace {

using host::esriFieldTypeDate;
using host::esriFieldTypeDouble;
using host::esriFieldTypeInteger;
using host::esriFieldTypeString;
using host::esriGeometryPoint;
using host::esriGeometryPolygon;
using host::esriGeometryPolyline;
using memory::HostBuilder;
using Names = std::vector<std::string>;

std::shared_ptr<host::IMap> MapOf(const memory::ReferenceHost& host) {
    return host::As<host::IMxDocument>(host.Application()->Document())->FocusMap();
}

class PickLists : public ::testing::Test {
  protected:
    ui::ComboBox& List() { return m_window.ComboBox("cboList"); }

    void FillLayers(const memory::ReferenceHost& host, const NameList& kinds,
                    const std::optional<TypeList>& shapeTypes = std::nullopt,
                    const ListChoices& choices = {}) {
        FillLayerList(
            MapOf(host), List(),
            {.layerKinds = kinds, .featureTypes = ListedFeatureTypes(), .shapeTypes = shapeTypes},
            choices);
    }

    ui::Window m_window{testing::kListLayout};
};

// Every kind of layer the map can hold, some names shared.
memory::ReferenceHost MixedMap() {
    return HostBuilder()
        .FeatureLayer("Roads", esriGeometryPolyline)
        .FeatureLayer("roads", esriGeometryPolyline)
        .GroupLayer("Hydro")
        .FeatureLayer("Streams", esriGeometryPolyline)
        .EndGroup()
        .RasterLayer("Wells")
        .FeatureLayer("Wells", esriGeometryPoint)
        .FeatureLayer("Labels", esriGeometryPolygon, host::esriFTAnnotation)
        .FeatureLayer("Sizes", esriGeometryPolyline, host::esriFTDimension)
        .FeatureLayer("Valves", esriGeometryPoint, host::esriFTSimpleJunction)
        .FeatureLayer("Lost", esriGeometryPoint)
        .WithoutFeatureClass()
        .RasterLayer("Blank", false)
        .OtherLayer("Tiles")
        .FeatureLayer("Roads", esriGeometryPolygon)
        .StandaloneTable("Owners")
        .StandaloneTable("Gone", false)
        .Build();
}

TEST_F(PickLists, FeatureLayerListLeavesOutGroupsSpecialClassesAndMissingData) {
    const auto host = MixedMap();
    FillLayers(host, {"FeatureLayer"});
    EXPECT_EQ(List().Items(), (Names{"Roads", "roads", "Wells", "Valves", "Roads"}));
    EXPECT_EQ(List().ListIndex(), 0);
}

TEST_F(PickLists, KindsComeInMapOrderWithTablesLastAndUnknownKindsIgnored) {
    const auto host = MixedMap();
    FillLayers(host, {"Table", "RasterLayer", "featurelayer", "Group"}, std::nullopt,
               {.noneEntry = NoneEntry::First});
    EXPECT_EQ(List().Items(), (Names{"<None>", "Wells", "Owners"}));
    EXPECT_EQ(List().Text(), "<None>");
}

TEST_F(PickLists, ShapeTypesFilterOnlySimpleFeatureClasses) {
    const auto host = MixedMap();
    FillLayers(host, {"FeatureLayer"}, TypeList{esriGeometryPoint});
    // The junction layer is not simple: its shape is not looked at.
    EXPECT_EQ(List().Items(), (Names{"Wells", "Valves"}));
}

TEST_F(PickLists, ExcludedNamesAreDroppedExactly) {
    const auto host = MixedMap();
    FillLayers(host, {"FeatureLayer"}, std::nullopt, {.excludeNames = NameList{"Roads", "VALVES"}});
    EXPECT_EQ(List().Items(), (Names{"roads", "Wells", "Valves"}));
}

TEST_F(PickLists, EmptyMapGivesAnEmptyListOrNoneAlone) {
    const auto host = HostBuilder().Build();
    FillLayers(host, {"FeatureLayer"});
    EXPECT_EQ(List().ListCount(), 0);
    EXPECT_EQ(List().ListIndex(), -1);

    FillLayers(host, {"FeatureLayer"}, std::nullopt, {.noneEntry = NoneEntry::First});
    EXPECT_EQ(List().Items(), (Names{"<None>"}));
    EXPECT_EQ(List().ListIndex(), 0);
}

TEST_F(PickLists, RefillReplacesTheEntries) {
    const auto host = MixedMap();
    List().AddItem("stale");
    FillLayers(host, {"RasterLayer"});
    EXPECT_EQ(List().Items(), (Names{"Wells"}));
}

TEST(SameNameMessage, SpeaksOnlyWhenFeatureLayersShareTheExactName) {
    const auto host = MixedMap();
    const auto map = MapOf(host);
    EXPECT_EQ(SameNameMessage("Roads", map),
              "The map has 2 layers named Roads: rename them so that each has a name of its own, "
              "then try again");
    EXPECT_EQ(SameNameMessage("roads", map), "");  // another name in letter case
    EXPECT_EQ(SameNameMessage("Wells", map), "");  // its twin is a raster layer
    EXPECT_EQ(SameNameMessage("Nowhere", map), "");
}

TEST(FindFeatureLayer, FirstTopLevelFeatureLayerOfExactlyThatName) {
    const auto host = MixedMap();
    const auto map = MapOf(host);

    const auto roads = FindFeatureLayer("Roads", map);
    ASSERT_TRUE(roads);
    EXPECT_EQ(roads->FeatureClass()->ShapeType(), esriGeometryPolyline);
    EXPECT_EQ(FindFeatureLayer("roads", map)->Name(), "roads");
    EXPECT_EQ(FindFeatureLayer("Wells", map)->FeatureClass()->ShapeType(), esriGeometryPoint);
    EXPECT_FALSE(FindFeatureLayer("Streams", map));
    EXPECT_FALSE(FindFeatureLayer("Hydro", map));
    EXPECT_FALSE(FindFeatureLayer("ROADS", map));
    EXPECT_FALSE(FindFeatureLayer("Roads ", map));
    EXPECT_FALSE(FindFeatureLayer("Owners", map));
    EXPECT_FALSE(FindFeatureLayer("Roads", nullptr));
}

class FieldLists : public PickLists {
  protected:
    static memory::ReferenceHost Gauges() {
        return HostBuilder()
            .FeatureLayer("Gauges", esriGeometryPoint)
            .Field("NerroID", esriFieldTypeInteger, "Nerro identifier")
            .Field("Read", esriFieldTypeDate)
            .Field("Level", esriFieldTypeDouble)
            .Field("NextDownID", esriFieldTypeString)
            .Field("GaugeID", host::esriFieldTypeBigInteger)
            .Build();
    }
    std::shared_ptr<host::IFields> GaugeFields(const memory::ReferenceHost& host) {
        return FindFeatureLayer("Gauges", MapOf(host))->FeatureClass()->Fields();
    }
};

TEST_F(FieldLists, OffersNamesOfTheRequestedTypesInFieldOrder) {
    const auto host = Gauges();
    FillFieldList(GaugeFields(host), List(), SourceKeyFieldTypes(),
                  {.preferences = NameList{"JunctionID", "NextDownID", "NerroID", "FeatureID"},
                   .noneEntry = NoneEntry::First});
    EXPECT_EQ(List().Items(),
              (Names{"<None>", "OBJECTID", "NerroID", "Level", "NextDownID", "GaugeID"}));
    EXPECT_EQ(List().Text(), "NextDownID");

    FillFieldList(GaugeFields(host), List(), RelatedKeyFieldTypes(),
                  {.preferences = NameList{"NerroID", "JunctionID", "NextDownID", "FeatureID"},
                   .noneEntry = NoneEntry::First});
    EXPECT_EQ(List().Items(), (Names{"<None>", "NerroID", "Level", "NextDownID", "GaugeID"}));
    EXPECT_EQ(List().Text(), "NerroID");
}

TEST_F(FieldLists, NoFieldOfTheTypesGivesEmptyOrNoneAlone) {
    const auto host = Gauges();
    FillFieldList(GaugeFields(host), List(), {host::esriFieldTypeBlob});
    EXPECT_EQ(List().ListCount(), 0);
    FillFieldList(GaugeFields(host), List(), {host::esriFieldTypeBlob},
                  {.preferences = NameList{"<None>"}, .noneEntry = NoneEntry::First});
    EXPECT_EQ(List().Items(), (Names{"<None>"}));
    EXPECT_EQ(List().ListIndex(), 0);
}

TEST_F(FieldLists, MissingFieldCollectionRaisesAndLeavesTheListAlone) {
    List().AddItem("kept");
    EXPECT_THROW(
        FillFieldList(nullptr, List(), SourceKeyFieldTypes(), {.noneEntry = NoneEntry::First}),
        Error);
    EXPECT_EQ(List().Items(), (Names{"kept"}));
}

}  // namespace
}  // namespace velorin::forms
