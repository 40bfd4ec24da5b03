#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host/host.h"
#include "platform/memory/reference_host.h"
#include "platform/objects/query_filter.h"
#include "platform/objects/renderers.h"
#include "tests/memory/data_fixture.h"
#include "tests/support/shapes.h"

namespace velorin::memory {
namespace {

using host::esriFieldTypeInteger;
using host::esriFieldTypeString;
using host::esriGeometryPoint;
using host::esriGeometryPolygon;
using testing::OidsOf;
using velorin::testing::Square;

// The map as the extension sees it: through the application it is given.
std::shared_ptr<host::IMap> FocusMapOf(const ReferenceHost& host) {
    auto document = host::As<host::IMxDocument>(host.Application()->Document());
    return document->FocusMap();
}

template <class Call>
std::int32_t ErrorNumberOf(Call call, std::string* description = nullptr) {
    try {
        call();
    } catch (const Error& error) {
        if (description) *description = error.Description();
        return error.Number();
    }
    return 0;
}

TEST(HostBuilder, StatesLayersGroupsTablesSelectionAndDefinitionInAFewLines) {
    auto host = HostBuilder()
                    .FeatureLayer("Catchment", esriGeometryPolygon)
                    .Field("NerroID", esriFieldTypeInteger)
                    .Field("Name", esriFieldTypeString)
                    .Feature({12, "A"}, MakePolygon({Square(0, 0, 1)}))
                    .Feature({5, Null}, MakePolygon({Square(2, 0, 1)}))
                    .Feature({13, "C"}, MakePolygon({Square(4, 0, 1)}))
                    .Select({1, 2, 3})
                    .Definition("NerroID > 10")
                    .GroupLayer("Hydro")
                    .FeatureLayer("Inner", esriGeometryPoint)
                    .Feature({}, MakePoint(1, 1))
                    .EndGroup()
                    .Hidden()
                    .RasterLayer("Elevation")
                    .RasterLayer("Broken", false)
                    .OtherLayer("Tiles")
                    .FeatureLayer("Orphan", esriGeometryPoint)
                    .WithoutFeatureClass()
                    .StandaloneTable("Owners")
                    .Field("Owner", esriFieldTypeString)
                    .Row({"Ann"})
                    .StandaloneTable("Lost", false)
                    .Build();

    auto map = FocusMapOf(host);
    ASSERT_EQ(map->LayerCount(), 6);
    std::vector<std::string> names;
    for (std::int32_t i = 0; i < map->LayerCount(); ++i) names.push_back(map->Layer(i)->Name());
    EXPECT_EQ(names, (std::vector<std::string>{"Catchment", "Hydro", "Elevation", "Broken", "Tiles",
                                               "Orphan"}));

    auto catchment = host::As<host::IFeatureLayer>(map->Layer(0));
    ASSERT_TRUE(catchment);
    auto fields = catchment->FeatureClass()->Fields();
    ASSERT_EQ(fields->FieldCount(), 4);
    EXPECT_EQ(fields->Field(0)->Name(), "OBJECTID");
    EXPECT_EQ(fields->Field(1)->Type(), host::esriFieldTypeGeometry);
    EXPECT_EQ(fields->Field(3)->Name(), "Name");
    EXPECT_EQ(host::As<host::IFeatureLayerDefinition>(catchment)->DefinitionExpression(),
              "NerroID > 10");
    EXPECT_EQ(host::As<host::IFeatureSelection>(catchment)->SelectionSet()->Count(), 2);

    auto group = host::As<host::ICompositeLayer>(map->Layer(1));
    ASSERT_TRUE(group);
    ASSERT_EQ(group->Count(), 1);
    EXPECT_EQ(group->Layer(0)->Name(), "Inner");
    EXPECT_FALSE(map->Layer(1)->Visible());
    EXPECT_TRUE(host::As<host::IRasterLayer>(map->Layer(2))->Raster());
    EXPECT_FALSE(host::As<host::IRasterLayer>(map->Layer(3))->Raster());
    EXPECT_FALSE(host::Supports<host::IFeatureLayer>(map->Layer(4)));
    EXPECT_FALSE(host::Supports<host::IRasterLayer>(map->Layer(4)));
    EXPECT_FALSE(host::As<host::IFeatureLayer>(map->Layer(5))->FeatureClass());

    auto tables = host::As<host::IStandaloneTableCollection>(map);
    ASSERT_EQ(tables->StandaloneTableCount(), 2);
    EXPECT_EQ(tables->StandaloneTable(0)->Table()->RowCount(nullptr), 1);
    EXPECT_EQ(tables->StandaloneTable(1)->Name(), "Lost");
    EXPECT_FALSE(tables->StandaloneTable(1)->Table());
}

TEST(HostBuilder, MistakesAreReportedAtTheCallThatMakesThem) {
    HostBuilder builder;
    EXPECT_THROW(builder.Field("Early", esriFieldTypeInteger), Error);
    EXPECT_THROW(builder.Feature({1}), Error);
    builder.FeatureLayer("Points", esriGeometryPoint).Field("N", esriFieldTypeInteger).Feature({1});
    EXPECT_THROW(builder.Field("Late", esriFieldTypeInteger), Error);
    EXPECT_THROW(builder.Feature({"one"}), Error);
    EXPECT_THROW(builder.Definition("N = 'one'"), Error);
    EXPECT_THROW(builder.Select({7}), Error);
    EXPECT_THROW(builder.EndGroup(), Error);
    builder.Build();
    EXPECT_THROW(builder.Build(), Error);
}

class FeatureLayerTest : public ::testing::Test {
  protected:
    std::shared_ptr<QueryFilter> Filter(const std::string& clause) {
        return std::make_shared<QueryFilter>(m_host.SharedContext(), clause);
    }

    ReferenceHost m_host = HostBuilder()
                               .FeatureLayer("Junctions", esriGeometryPoint)
                               .Field("NerroID", esriFieldTypeInteger)
                               .Field("Name", esriFieldTypeString)
                               .Feature({5, "a"}, MakePoint(0, 0))
                               .Feature({12, "b"}, MakePoint(1, 0))
                               .Feature({13, "b"}, MakePoint(2, 0))
                               .Feature({Null, "b"}, MakePoint(3, 0))
                               .Feature({20, "c"}, MakePoint(4, 0))
                               .Definition("NerroID > 10")
                               .Build();
    std::shared_ptr<FeatureLayer> m_layer = m_host.FeatureLayerNamed("Junctions");
};

TEST_F(FeatureLayerTest, DefinitionQueryNarrowsSearchesButNotTheClassCount) {
    std::shared_ptr<host::IFeatureLayer> layer = m_layer;
    EXPECT_EQ(OidsOf(layer->Search(nullptr, false)), (std::vector<std::int32_t>{2, 3, 5}));
    EXPECT_EQ(OidsOf(layer->Search(Filter("Name = 'b'"), true)), (std::vector<std::int32_t>{2, 3}));
    EXPECT_EQ(layer->FeatureClass()->FeatureCount(nullptr), 5);
    EXPECT_EQ(layer->FeatureClass()->FeatureCount(Filter("Name = 'b'")), 3);
}

TEST_F(FeatureLayerTest, TheLayerAsATableHonoursItsDefinitionQuery) {
    auto table = host::As<host::ITable>(m_layer);
    ASSERT_TRUE(table);
    EXPECT_EQ(table->RowCount(nullptr), 3);
    EXPECT_EQ(table->RowCount(Filter("NerroID = 5")), 0);
    auto cursor = table->Search(nullptr, false);
    EXPECT_EQ(OidsOf(cursor), (std::vector<std::int32_t>{2, 3, 5}));
    EXPECT_TRUE(host::Supports<host::IFeature>(table->Search(nullptr, false)->NextRow()));
    EXPECT_EQ(table->FindField("name"), 3);
}

TEST_F(FeatureLayerTest, AnUnevaluableDefinitionIsRefusedAndTheOldOneKept) {
    std::string description;
    EXPECT_EQ(ErrorNumberOf([&] { m_layer->SetDefinitionExpression("Name = 5"); }, &description),
              host::E_HOST_INVALID_SQL);
    EXPECT_NE(description.find("\"Name = 5\""), std::string::npos);
    EXPECT_EQ(m_layer->DefinitionExpression(), "NerroID > 10");
    m_layer->SetDefinitionExpression("");
    EXPECT_EQ(m_layer->RowCount(nullptr), 5);
}

TEST_F(FeatureLayerTest, SelectionCountsAndFindsOnlyFeaturesPassingTheDefinition) {
    m_host.Select("Junctions", {5, 1, 3});
    auto selection = host::As<host::IFeatureSelection>(m_layer)->SelectionSet();
    EXPECT_EQ(selection->Count(), 2);
    EXPECT_EQ(OidsOf(selection->Search(nullptr, false)), (std::vector<std::int32_t>{3, 5}));
    m_host.Select("Junctions", {2});
    EXPECT_EQ(selection->Count(), 1) << "Select replaces; the set handed out is live";
    EXPECT_EQ(ErrorNumberOf([&] { m_host.Select("Junctions", {2, 99}); }), host::E_HOST_INVALIDARG);
    EXPECT_EQ(selection->Count(), 1);
    m_host.ClearSelection();
    EXPECT_EQ(selection->Count(), 0);
}

TEST_F(FeatureLayerTest, ARendererAndADisplayFieldMustBeReal) {
    EXPECT_EQ(m_layer->DisplayField(), "Name") << "the first text field";
    EXPECT_EQ(ErrorNumberOf([&] { m_layer->SetDisplayField("Nope"); }), host::E_HOST_INVALIDARG);
    EXPECT_EQ(m_layer->DisplayField(), "Name");
    m_layer->SetDisplayField("nerroid");
    EXPECT_EQ(m_layer->DisplayField(), "nerroid");
    auto renderer = m_layer->Renderer();
    EXPECT_TRUE(host::Supports<host::ISimpleRenderer>(renderer));
    EXPECT_EQ(ErrorNumberOf([&] { m_layer->SetRenderer(nullptr); }), host::E_HOST_POINTER);
    EXPECT_EQ(m_layer->Renderer(), renderer);
    EXPECT_EQ(m_layer->RendererPropertyPageClassID(), SingleSymbolPropertyPageClassID);
}

TEST(FeatureLayer, WithoutAFeatureClassSearchesFailNamingTheLayer) {
    auto host =
        HostBuilder().FeatureLayer("Orphan", esriGeometryPoint).WithoutFeatureClass().Build();
    auto layer = host.FeatureLayerNamed("Orphan");
    std::string description;
    EXPECT_EQ(ErrorNumberOf([&] { layer->Search(nullptr, false); }, &description),
              host::E_HOST_FAIL);
    EXPECT_NE(description.find("Orphan"), std::string::npos);
    EXPECT_EQ(ErrorNumberOf([&] { host::As<host::ITable>(layer)->RowCount(nullptr); }),
              host::E_HOST_FAIL);
    EXPECT_EQ(layer->SelectionSet()->Count(), 0);
    EXPECT_EQ(ErrorNumberOf([&] { layer->SetDefinitionExpression("A = 1"); }), host::E_HOST_FAIL);
}

TEST(StandaloneTable, SelectionGivesTheSelectedRowsInOidOrder) {
    auto host = HostBuilder()
                    .StandaloneTable("Owners")
                    .Field("Owner", esriFieldTypeString)
                    .Row({"Ann"})
                    .Row({"Bo"})
                    .Row({"Cy"})
                    .Select({3, 1})
                    .Build();
    auto table = host::As<host::ITableSelection>(host.TableNamed("Owners"));
    ASSERT_TRUE(table);
    EXPECT_EQ(OidsOf(table->SelectionSet()->Search(nullptr, false)),
              (std::vector<std::int32_t>{1, 3}));
}

class MapTest : public ::testing::Test {
  protected:
    ReferenceHost m_host = HostBuilder().OtherLayer("A").OtherLayer("B").OtherLayer("C").Build();
    Map& m_map = m_host.FocusMap();

    std::vector<std::string> Names() {
        std::vector<std::string> names;
        for (std::int32_t i = 0; i < m_map.LayerCount(); ++i)
            names.push_back(m_map.Layer(i)->Name());
        return names;
    }
};

TEST_F(MapTest, IndexesOutOfRangeRaiseInvalidArgumentWithAClearText) {
    std::string description;
    EXPECT_EQ(ErrorNumberOf([&] { m_map.Layer(3); }, &description), host::E_HOST_INVALIDARG);
    EXPECT_EQ(description, "Layer index 3 is out of range (the map has 3)");
    EXPECT_EQ(ErrorNumberOf([&] { m_map.Layer(-1); }), host::E_HOST_INVALIDARG);
    EXPECT_EQ(ErrorNumberOf([&] { m_map.StandaloneTable(0); }), host::E_HOST_INVALIDARG);
}

TEST_F(MapTest, LayersCanBeInsertedMovedAndRemovedAndBadIndexesChangeNothing) {
    m_map.MoveLayer(0, 2);
    EXPECT_EQ(Names(), (std::vector<std::string>{"B", "C", "A"}));
    m_map.InsertLayer(0, std::make_shared<OtherLayer>(m_host.SharedContext(), "Top"));
    EXPECT_EQ(m_map.RemoveLayer(2)->Name(), "C");
    EXPECT_EQ(Names(), (std::vector<std::string>{"Top", "B", "A"}));
    EXPECT_THROW(m_map.MoveLayer(0, 3), Error);
    EXPECT_THROW(m_map.RemoveLayer(3), Error);
    EXPECT_THROW(m_map.InsertLayer(4, std::make_shared<OtherLayer>(m_host.SharedContext(), "X")),
                 Error);
    EXPECT_THROW(m_map.AddLayer(nullptr), Error);
    EXPECT_EQ(Names(), (std::vector<std::string>{"Top", "B", "A"}));
    EXPECT_TRUE(m_map.View().RedrawPending());
}

TEST(ReferenceHost, AnInjectedFaultSurfacesThroughARealHostCallWithItsCode) {
    auto host = HostBuilder().OtherLayer("A").Build();
    auto map = FocusMapOf(host);
    host.FailAt("IMap::LayerCount", 2, host::E_HOST_FAIL, "Map server went away");
    EXPECT_EQ(map->LayerCount(), 1);
    std::string description;
    EXPECT_EQ(ErrorNumberOf([&] { map->LayerCount(); }, &description), host::E_HOST_FAIL);
    EXPECT_EQ(description, "Map server went away");
    EXPECT_EQ(map->LayerCount(), 1) << "a rule fires once";

    host.FailAt("", 2, host::E_HOST_INVALIDARG, "any call");
    auto layer = map->Layer(0);
    EXPECT_EQ(ErrorNumberOf([&] { layer->Name(); }), host::E_HOST_INVALIDARG);
}

TEST(ReferenceHost, TheHostsOwnLookupsDoNotShiftTheCountATestAimsAt) {
    auto host = HostBuilder().OtherLayer("A").OtherLayer("B").Build();
    host.FailAt("ILayer::Name", 1, host::E_HOST_FAIL, "name");
    host.LayerNamed("B");
    EXPECT_EQ(ErrorNumberOf([&] { FocusMapOf(host)->Layer(0)->Name(); }), host::E_HOST_FAIL);
}

TEST(Application, TheFactoryIsTheApplicationAndMakesNewObjectsOfTheHost) {
    auto host = HostBuilder().Build();
    auto factory = host.Application()->ObjectFactory();
    EXPECT_EQ(host::As<host::IApplication>(factory), host.Application());
    auto bag = factory->NewGeometryBag();
    EXPECT_EQ(host::As<host::IGeometry>(bag)->GeometryType(), host::esriGeometryBag);
    EXPECT_NE(factory->NewSet(), factory->NewSet());
    EXPECT_EQ(factory->NewQueryFilter()->WhereClause(), "");
    EXPECT_EQ(factory->NewUniqueValuePropertyPage()->ClassID(), UniqueValuePropertyPageClassID);
    EXPECT_TRUE(factory->NewSimpleMarkerSymbol());
    EXPECT_TRUE(factory->NewSimpleLineSymbol());
    EXPECT_TRUE(factory->NewSimpleFillSymbol());
    EXPECT_TRUE(factory->NewRgbColor());
    EXPECT_TRUE(host::Supports<host::IFeatureRenderer>(factory->NewUniqueValueRenderer()));
    EXPECT_TRUE(factory->NewCancelTracker()->Continue());
    EXPECT_TRUE(host.Application()->StatusBar());

    // New objects belong to the host: its fault injection reaches them.
    auto set = factory->NewSet();
    host.FailAt("ISet::Add", 1, host::E_HOST_FAIL, "set");
    EXPECT_EQ(ErrorNumberOf([&] { set->Add(bag); }), host::E_HOST_FAIL);
}

TEST(MxDocument, ActiveViewIsTheFocusMapAndUpdateContentsIsRecorded) {
    auto host = HostBuilder().Title("Rivers.mxd").OtherLayer("A").Build();
    auto document = host.Application()->Document();
    EXPECT_EQ(document->Title(), "Rivers.mxd");
    auto mx = host::As<host::IMxDocument>(document);
    EXPECT_EQ(host::As<host::IMap>(mx->ActiveView()), mx->FocusMap());
    mx->UpdateContents();
    EXPECT_EQ(host.Record().contentsUpdates, 1);
    mx->ActiveView()->SetExtent(MakeEnvelope(0, 0, 10, 5));
    ASSERT_EQ(host.Record().extents.size(), 1U);
    EXPECT_EQ(host.Record().extents[0].xMax, 10.0);
}

}  // namespace
}  // namespace velorin::memory
