// Layers and keys that real projects hold, through both tools and their dialogs,
// on every host the binary links: keys with a backslash or beyond 32 bits, layers
// that share a name, layers inside groups.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <tuple>
#include <vector>

#include "commands/cls_copy_legend.h"
#include "copylegend/copy_legend_colors.h"
#include "forms/frm_copy_legend.h"
#include "forms/frm_zoom_flash.h"
#include "tests/support/host_fixture.h"
#include "tests/support/map_plan.h"
#include "tests/support/user_records.h"
#include "zoomflash/run_zoom_flash.h"

namespace velorin::commands {
namespace {

using testing::Color;
using testing::HostMaker;
using testing::kGreen;
using testing::kRed;
using testing::MakePoint;
using testing::MakePolygon;
using testing::MapPlan;
using testing::RendererPlan;
using testing::SymbolPlan;

std::shared_ptr<host::IGeometry> Square(double x, double y) {
    return MakePolygon({{{x, y}, {x + 10, y}, {x + 10, y + 10}, {x, y + 10}}});
}

bool Lists(const std::vector<std::string>& entries, const std::string& name) {
    return std::find(entries.begin(), entries.end(), name) != entries.end();
}

class LayersAndKeysOnHost {
  protected:
    void Start(const HostMaker& maker) { m_host = maker.make(); }
    testing::HostFixture& Host() { return *m_host; }
    scripted::ScriptedUser& User() { return m_host->User(); }

    std::string LegendText(const std::string& layer, int nth = 0) {
        return testing::DescribeRenderer(m_host->FeatureLayer(layer, nth)->Renderer());
    }

    MapPlan m_map;
    std::unique_ptr<testing::HostFixture> m_host;
};

class LayersAndKeys : public LayersAndKeysOnHost, public ::testing::TestWithParam<HostMaker> {
  protected:
    void SetUp() override { Start(GetParam()); }
};

INSTANTIATE_TEST_SUITE_P(Hosts, LayersAndKeys, ::testing::ValuesIn(testing::Hosts()),
                         testing::HostName);

// ---- Keys -----------------------------------------------------------------------------

struct KeyCase {
    const char* name;
    std::int32_t fieldType;
    host::FieldValue key;
    host::FieldValue otherKey;  // one the where clause must not find
};

void PrintTo(const KeyCase& c, std::ostream* out) { *out << c.name; }

class RelatedKeys : public LayersAndKeysOnHost,
                    public ::testing::TestWithParam<std::tuple<HostMaker, KeyCase>> {
  protected:
    void SetUp() override { Start(std::get<0>(GetParam())); }
};

// Zoom and Flash finds the Related features of a key through its where clause:
// every one of them is flashed, and nothing else.
TEST_P(RelatedKeys, ZoomAndFlashFlashesEveryRelatedFeatureOfTheKey) {
    const KeyCase& c = std::get<1>(GetParam());
    m_map.FeatureLayer("Junctions", host::esriGeometryPoint)
        .Field("Key", c.fieldType)
        .Feature({c.key}, MakePoint(5, 45))
        .FeatureLayer("Pipes", host::esriGeometryPolygon)
        .Field("Key", c.fieldType)
        .Feature({c.key}, Square(0, 0))
        .Feature({c.otherKey}, Square(20, 0))
        .Feature({c.key}, Square(40, 0))
        .Feature({c.key}, Square(60, 0));
    Host().Build(m_map);

    const auto outcome = zoomflash::RunZoomFlash(Host().Application(), {.sourceLayer = "Junctions",
                                                                        .sourceField = "Key",
                                                                        .relatedLayer = "Pipes",
                                                                        .relatedField = "Key",
                                                                        .sourceFlashTime = 0,
                                                                        .relatedFlashTime = 50,
                                                                        .zoomMethod = 1,
                                                                        .zoomFactor = 1.2,
                                                                        .zoomWidth = 0});

    EXPECT_FALSE(outcome.interrupted);
    EXPECT_TRUE(testing::BoxTexts(User()).empty());
    int polygonDraws = 0;
    for (const auto& draw : Host().Context().record.draws) {
        if (draw.geometryType == host::esriGeometryPolygon) ++polygonDraws;
    }
    // Each flash draws its shape twice: once to show it, once to restore.
    EXPECT_EQ(polygonDraws, 3 * 2);
}

INSTANTIATE_TEST_SUITE_P(
    Hosts, RelatedKeys,
    ::testing::Combine(
        ::testing::ValuesIn(testing::Hosts()),
        ::testing::Values(KeyCase{"TextWithBackslashes", host::esriFieldTypeString, "C:\\temp\\x",
                                  "C:tempx"},
                          KeyCase{"TextEndingInABackslash", host::esriFieldTypeString, "x\\", "x"},
                          KeyCase{"BigIntegerBeyondDoubles", host::esriFieldTypeBigInteger,
                                  std::int64_t{9007199254740993}, std::int64_t{9007199254740992}})),
    testing::HostCaseName<KeyCase>);

// A 64-bit integer key (GeoPackage INTEGER, PostGIS bigint) is offered by both
// dialogs' key lists.
TEST_P(LayersAndKeys, BigIntegerKeysAreOfferedByBothDialogs) {
    // Both layers hold both keys, so whichever layers the dialogs preselect,
    // their key lists must offer both.
    for (const char* layer : {"Catchment", "NerroJunction"}) {
        m_map.FeatureLayer(layer, host::esriGeometryPolygon)
            .Field("NerroID", host::esriFieldTypeBigInteger)
            .Field("JunctionID", host::esriFieldTypeBigInteger)
            .Feature({std::int64_t{1}, std::int64_t{2}}, Square(0, 0));
    }
    Host().Build(m_map);
    const auto offersBoth = [](ui::Window& window, const char* list) {
        const auto entries = window.ComboBox(list).Items();
        return Lists(entries, "NerroID") && Lists(entries, "JunctionID");
    };

    forms::frmCopyLegend copyLegend;
    copyLegend.SetApplication(Host().Application());
    copyLegend.FillInputs();
    EXPECT_TRUE(offersBoth(copyLegend.Window(), "cboFld1"));
    EXPECT_TRUE(offersBoth(copyLegend.Window(), "cboFld2"));
    copyLegend.Window().Unload();

    forms::frmZoomFlash zoomFlash;
    zoomFlash.SetApplication(Host().Application());
    zoomFlash.FillInputs();
    EXPECT_TRUE(offersBoth(zoomFlash.Window(), "cboFld1"));
    EXPECT_TRUE(offersBoth(zoomFlash.Window(), "cboFld2"));
    zoomFlash.Window().Unload();
}

// Copy Legend Colors keyed on 64-bit integers beyond a double's 53 bits: the
// Related features are drawn in the colours of exactly their keys.
TEST_P(LayersAndKeys, BigIntegerKeysGetTheColoursOfExactlyTheirKeys) {
    const std::int64_t big = 9007199254740993;  // 2^53 + 1: no double holds it
    m_map.FeatureLayer("NerroJunction", host::esriGeometryPoint)
        .Field("NerroID", host::esriFieldTypeBigInteger)
        .Field("Kind", host::esriFieldTypeString)
        .Feature({big, "r"}, MakePoint(5, 45))
        .Feature({big - 1, "g"}, MakePoint(25, 45))
        .Renderer(RendererPlan::UniqueValues(
            "Kind", {{"r", SymbolPlan::For(host::esriGeometryPoint, kRed)},
                     {"g", SymbolPlan::For(host::esriGeometryPoint, kGreen)}}))
        .FeatureLayer("Catchment", host::esriGeometryPolygon)
        .Field("JunctionID", host::esriFieldTypeBigInteger)
        .Feature({big - 1}, Square(0, 0))
        .Feature({big}, Square(20, 0));
    Host().Build(m_map);

    EXPECT_FALSE(
        copylegend::CopyLegendColors(Host().Application(), {.sourceLayer = "NerroJunction",
                                                            .sourceField = "NerroID",
                                                            .relatedLayer = "Catchment",
                                                            .relatedField = "JunctionID"}));

    const testing::ScreenShot screen = Host().Screen();
    EXPECT_EQ(screen.At(5, 5), kGreen);
    EXPECT_EQ(screen.At(25, 5), kRed);
}

// ---- Layers ---------------------------------------------------------------------------

// Two layers named alike: the run changes the one the person picked (or refuses
// with a box that names the name), never the other.
TEST_P(LayersAndKeys, CopyLegendNeverChangesATwinNamedLayerThePersonDidNotPick) {
    m_map.FeatureLayer("NerroJunction", host::esriGeometryPoint)
        .Field("NerroID", host::esriFieldTypeInteger)
        .Field("Kind", host::esriFieldTypeString)
        .Feature({1, "r"}, MakePoint(5, 45))
        .Renderer(RendererPlan::UniqueValues(
            "Kind", {{"r", SymbolPlan::For(host::esriGeometryPoint, kRed)}}))
        .FeatureLayer("Catchment", host::esriGeometryPolygon)
        .Field("JunctionID", host::esriFieldTypeInteger)
        .Feature({1}, Square(0, 0))
        .FeatureLayer("Catchment", host::esriGeometryPolygon)
        .Field("JunctionID", host::esriFieldTypeInteger)
        .Feature({1}, Square(20, 0));
    Host().Build(m_map);
    const std::string notPicked = LegendText("Catchment", 0);

    clsCopyLegend command;
    command.OnCreate(Host().Application());
    // The Related list offers NerroJunction, Catchment, Catchment: the second
    // Catchment is picked.
    User()
        .OnShow("frmCopyLegend")
        .Pick("cboLyr1", "NerroJunction")
        .Pick("cboFld1", "NerroID")
        .PickIndex("cboLyr2", 2)
        .Pick("cboFld2", "JunctionID")
        .Press("cmdOK");
    command.OnClick();

    EXPECT_EQ(LegendText("Catchment", 0), notPicked);
    const auto boxes = testing::BoxTexts(User());
    const bool refusedNamingIt = boxes.size() == 1 &&
                                 boxes[0].find("Catchment") != std::string::npos &&
                                 boxes[0] != "Finished Copying Legend Colors";
    const bool pickedChanged =
        host::Supports<host::IUniqueValueRenderer>(Host().FeatureLayer("Catchment", 1)->Renderer());
    EXPECT_TRUE(refusedNamingIt || pickedChanged) << ::testing::PrintToString(boxes);
}

// A layer inside a group is listed by the dialogs exactly where the host's
// grouped layers are layers of the map.
TEST_P(LayersAndKeys, ALayerInsideAGroupIsListedWhereGroupedLayersAreMapLayers) {
    m_map.FeatureLayer("NerroJunction", host::esriGeometryPoint)
        .Field("NerroID", host::esriFieldTypeInteger)
        .GroupLayer("Hydro")
        .FeatureLayer("Catchment", host::esriGeometryPolygon)
        .Field("JunctionID", host::esriFieldTypeInteger)
        .EndGroup();
    Host().Build(m_map);
    const bool listed = Host().Traits().groupedLayersAreMapLayers.differs;

    forms::frmCopyLegend copyLegend;
    copyLegend.SetApplication(Host().Application());
    copyLegend.FillInputs();
    EXPECT_EQ(Lists(copyLegend.Window().ComboBox("cboLyr1").Items(), "Catchment"), listed);
    EXPECT_EQ(Lists(copyLegend.Window().ComboBox("cboLyr2").Items(), "Catchment"), listed);
    copyLegend.Window().Unload();

    forms::frmZoomFlash zoomFlash;
    zoomFlash.SetApplication(Host().Application());
    zoomFlash.FillInputs();
    EXPECT_EQ(Lists(zoomFlash.Window().ComboBox("cboLyr1").Items(), "Catchment"), listed);
    EXPECT_EQ(Lists(zoomFlash.Window().ComboBox("cboLyr2").Items(), "Catchment"), listed);
    zoomFlash.Window().Unload();
}

}  // namespace
}  // namespace velorin::commands
