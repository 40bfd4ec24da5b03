#include "tools/make_sample/hydrology_sample.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "host/codes.h"
#include "platform/gdal/map_document.h"
#include "platform/objects/geometry.h"
#include "tests/gdal/ogr_fixture.h"

namespace velorin::sample {
namespace {

using gdal::testing::ReadText;
using gdal::testing::TempFolder;

// The values of one field over a layer's features, in object-id order.
std::vector<host::FieldValue> Column(const memory::FeatureLayer& layer, const char* field) {
    const auto& store = *layer.Data()->Store();
    const std::int32_t index = store.FieldSet()->Find(field);
    EXPECT_GE(index, 0) << field;
    std::vector<host::FieldValue> values;
    for (std::size_t i = 0; i < store.Size(); ++i) {
        values.push_back(store.At(i).values.at(static_cast<std::size_t>(index)));
    }
    return values;
}

std::int32_t Whole(const host::FieldValue& value) { return std::get<std::int32_t>(value.Get()); }

double Area(const memory::FeatureLayer& layer) {
    double area = 0;
    const auto& store = *layer.Data()->Store();
    for (std::size_t i = 0; i < store.Size(); ++i) {
        area += host::As<host::IArea>(store.At(i).shape)->Area();
    }
    return area;
}

class HydrologySampleTest : public ::testing::Test {
  protected:
    void SetUp() override { m_files = WriteHydrologySample(m_folder / "out"); }

    TempFolder m_folder;
    SampleFiles m_files;
};

TEST_F(HydrologySampleTest, DocumentShowsTheFiveLayersWithTheirKeyFieldsPointsOnTop) {
    EXPECT_EQ(m_files.dataSet, m_folder / "out" / "hydrology.gpkg");
    const auto document = gdal::LoadMapDocument(m_files.document);
    std::vector<std::string> names;
    for (const auto& layer : document.host.FocusMap().Layers()) names.push_back(layer->Name());
    EXPECT_EQ(names, (std::vector<std::string>{"MonitoringPoint", "NerroJunction", "Watershed",
                                               "Waterbody", "Catchment"}));

    struct Expected {
        const char* layer;
        std::int32_t shapeType;
        std::vector<std::pair<const char*, std::int32_t>> fields;
    };
    const std::vector<Expected> expected{
        {"Catchment",
         host::esriGeometryPolygon,
         {{"NerroID", host::esriFieldTypeInteger},
          {"NextDownID", host::esriFieldTypeInteger},
          {"WatershedID", host::esriFieldTypeInteger},
          {"Name", host::esriFieldTypeString},
          {"AreaKm2", host::esriFieldTypeDouble}}},
        {"NerroJunction",
         host::esriGeometryPoint,
         {{"JunctionID", host::esriFieldTypeInteger}, {"NerroID", host::esriFieldTypeInteger}}},
        {"Watershed",
         host::esriGeometryPolygon,
         {{"WatershedID", host::esriFieldTypeInteger}, {"Name", host::esriFieldTypeString}}},
        {"Waterbody",
         host::esriGeometryPolygon,
         {{"WaterbodyID", host::esriFieldTypeInteger},
          {"Name", host::esriFieldTypeString},
          {"NerroID", host::esriFieldTypeInteger}}},
        {"MonitoringPoint",
         host::esriGeometryPoint,
         {{"FeatureID", host::esriFieldTypeInteger},
          {"Name", host::esriFieldTypeString},
          {"NerroID", host::esriFieldTypeInteger},
          {"InstalledOn", host::esriFieldTypeDate}}}};
    for (const auto& layer : expected) {
        const auto found = document.host.FeatureLayerNamed(layer.layer);
        EXPECT_EQ(found->Data()->ShapeType(), layer.shapeType) << layer.layer;
        const auto& fields = *found->Data()->Store()->FieldSet();
        for (const auto& [name, type] : layer.fields) {
            const std::int32_t index = fields.Find(name);
            ASSERT_GE(index, 0) << layer.layer << "." << name;
            EXPECT_EQ(fields.At(index).TypeCode(), type) << layer.layer << "." << name;
        }
    }
    // A lake with an island, and a station whose date is unknown.
    const auto lakes = document.host.FeatureLayerNamed("Waterbody")->Data()->Store();
    bool island = false;
    for (std::size_t i = 0; i < lakes->Size(); ++i) {
        const auto shape =
            std::dynamic_pointer_cast<objects::MultiPartGeometry>(lakes->At(i).shape);
        island = island || shape->Parts().size() == 2;
    }
    EXPECT_TRUE(island);
    const auto dates = Column(*document.host.FeatureLayerNamed("MonitoringPoint"), "InstalledOn");
    EXPECT_EQ(std::count_if(dates.begin(), dates.end(), [](const auto& v) { return v.IsNull(); }),
              1);
}

TEST_F(HydrologySampleTest, EveryCatchmentDrainsToAnOutletThroughItsOwnJunction) {
    const auto document = gdal::LoadMapDocument(m_files.document);
    const auto catchments = document.host.FeatureLayerNamed("Catchment");
    const auto junctions = document.host.FeatureLayerNamed("NerroJunction");
    const auto nerroIds = Column(*catchments, "NerroID");
    const auto nextDown = Column(*catchments, "NextDownID");
    ASSERT_GE(nerroIds.size(), 12U);
    ASSERT_LE(nerroIds.size(), 24U);

    std::map<std::int32_t, std::int32_t> downstream;
    for (std::size_t i = 0; i < nerroIds.size(); ++i) {
        downstream[Whole(nerroIds[i])] = Whole(nextDown[i]);
    }
    ASSERT_EQ(downstream.size(), nerroIds.size()) << "NerroIDs repeat";
    int outlets = 0;
    for (const auto& [id, next] : downstream) {
        outlets += next == 0;
        // Following the water from any catchment reaches an outlet without a loop.
        std::int32_t at = id;
        for (std::size_t steps = 0; at != 0; ++steps) {
            ASSERT_LT(steps, downstream.size()) << "loop from " << id;
            ASSERT_TRUE(downstream.contains(at)) << at << " is no catchment";
            at = downstream[at];
        }
    }
    EXPECT_EQ(outlets,
              static_cast<int>(
                  Column(*document.host.FeatureLayerNamed("Watershed"), "WatershedID").size()));

    // One junction per catchment, on that catchment's boundary box.
    const auto junctionIds = Column(*junctions, "NerroID");
    ASSERT_EQ(junctionIds.size(), nerroIds.size());
    std::set<std::int32_t> seen;
    for (std::size_t j = 0; j < junctionIds.size(); ++j) {
        const std::int32_t id = Whole(junctionIds[j]);
        EXPECT_TRUE(seen.insert(id).second) << "two junctions for " << id;
        const auto catchment = std::find(nerroIds.begin(), nerroIds.end(), junctionIds[j]);
        ASSERT_NE(catchment, nerroIds.end());
        const auto box = catchments->Data()
                             ->Store()
                             ->At(static_cast<std::size_t>(catchment - nerroIds.begin()))
                             .shape->Envelope();
        const auto point = std::dynamic_pointer_cast<objects::PointGeometry>(
            junctions->Data()->Store()->At(j).shape);
        EXPECT_GE(point->X(), box->XMin());
        EXPECT_LE(point->X(), box->XMax());
        EXPECT_GE(point->Y(), box->YMin());
        EXPECT_LE(point->Y(), box->YMax());
    }

    // The catchments tile their watersheds without gaps or overlaps.
    EXPECT_NEAR(Area(*catchments), Area(*document.host.FeatureLayerNamed("Watershed")), 1e-3);
}

TEST_F(HydrologySampleTest, CatchmentsAreDrawnInDistinctColoursByNerroID) {
    const auto document = gdal::LoadMapDocument(m_files.document);
    const auto catchments = document.host.FeatureLayerNamed("Catchment");
    const auto unique = host::As<host::IUniqueValueRenderer>(catchments->Renderer());
    ASSERT_NE(unique, nullptr);
    ASSERT_EQ(unique->FieldCount(), 1);
    EXPECT_EQ(unique->Field(0), "NerroID");
    EXPECT_FALSE(unique->FieldType(0));

    // Each catchment's own symbol, as the renderer picks it for the feature.
    std::set<std::int32_t> colours;
    const auto cursor = catchments->Search(nullptr, false);
    int count = 0;
    while (const auto feature = cursor->NextFeature()) {
        const auto symbol = host::As<host::IFillSymbol>(
            unique->Symbol(host::ToText(feature->Value(feature->Fields()->FindField("NerroID")))));
        ASSERT_NE(symbol, nullptr);
        EXPECT_EQ(catchments->Renderer()->SymbolByFeature(feature),
                  host::As<host::ISymbol>(symbol));
        colours.insert(symbol->Color()->RGB());
        ++count;
    }
    EXPECT_EQ(static_cast<int>(colours.size()), count);
    EXPECT_EQ(unique->ValueCount(), count);
    for (const char* name : {"MonitoringPoint", "NerroJunction", "Watershed", "Waterbody"}) {
        EXPECT_TRUE(host::Supports<host::ISimpleRenderer>(
            document.host.FeatureLayerNamed(name)->Renderer()))
            << name;
    }
}

TEST_F(HydrologySampleTest, EveryRunWritesTheSameBytes) {
    const auto second = WriteHydrologySample(m_folder / "second");
    EXPECT_EQ(ReadText(second.dataSet), ReadText(m_files.dataSet));
    EXPECT_EQ(ReadText(second.document), ReadText(m_files.document));
    // Writing over an earlier sample replaces it.
    const auto again = WriteHydrologySample(m_folder / "out");
    EXPECT_EQ(ReadText(again.dataSet), ReadText(second.dataSet));
}

}  // namespace
}  // namespace velorin::sample
