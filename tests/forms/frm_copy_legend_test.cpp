#include "forms/frm_copy_legend.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <tuple>
#include <vector>

#include "host/host.h"
#include "tests/support/host_fixture.h"
#include "tests/support/map_plan.h"
#include "tests/support/user_records.h"
#include "ui/current_toolkit.h"

// The Copy Legend Colors dialog on every host the binary links.
namespace velorin::forms {
namespace {

using host::esriFieldTypeDate;
using host::esriFieldTypeDouble;
using host::esriFieldTypeInteger;
using host::esriFieldTypeString;
using host::esriGeometryPoint;
using host::esriGeometryPolygon;
using velorin::testing::HostMaker;
using velorin::testing::MapPlan;

// The lists of the dialog as a person sees them: entries and the current one.
struct ListState {
    std::vector<std::string> entries;
    std::string current;
    friend bool operator==(const ListState&, const ListState&) = default;
};

ListState StateOf(const ui::ComboBox& list) { return {list.Items(), list.Text()}; }

std::ostream& operator<<(std::ostream& out, const ListState& state) {
    out << "[";
    for (const auto& entry : state.entries) out << entry << ";";
    return out << "] current " << state.current;
}

// What the suite's tests share, whatever their parameters.
class CopyLegendFormOnHost {
  protected:
    void Start(const HostMaker& maker) { m_maker = maker; }

    // Builds the test's one map and the dialog that runs over it.
    void Use(const MapPlan& map) {
        m_host = m_maker.make();
        m_host->Build(map);
        m_dialog.emplace();
        m_dialog->SetApplication(m_host->Application());
    }

    // The data-model map: three layers, each with the key fields of the model.
    void DataModelMap() {
        MapPlan map;
        map.FeatureLayer("Streams", host::esriGeometryPolyline)
            .Field("StreamID", esriFieldTypeInteger)
            .FeatureLayer("Catchment", esriGeometryPolygon)
            .Field("NerroID", esriFieldTypeInteger)
            .Field("JunctionID", esriFieldTypeString)
            .Field("Area", esriFieldTypeDouble)
            .Field("Surveyed", esriFieldTypeDate)
            .FeatureLayer("NerroJunction", esriGeometryPoint)
            .Field("JunctionID", esriFieldTypeInteger)
            .Field("NerroID", esriFieldTypeInteger);
        Use(map);
    }

    velorin::testing::HostFixture& Host() { return *m_host; }
    scripted::ScriptedUser& User() { return m_host->User(); }
    frmCopyLegend& Dialog() { return *m_dialog; }
    // The name the host gives a layer's object id field.
    std::string Oid() { return Host().Traits().objectIdField.name; }

    // FillInputs, then the modal show the run makes; the scenes decide the end.
    void Open() {
        m_dialog->FillInputs();
        ui::CurrentToolkit().ShowModal(m_dialog->Window());
    }

    // Opens and accepts what the dialog preselected, or what `pick` chose.
    void OpenAndAccept(const std::function<void(scripted::Scene&)>& pick = {}) {
        scripted::Scene& scene = User().OnShow("frmCopyLegend");
        if (pick) pick(scene);
        scene.Press("cmdOK");
        Open();
    }

    std::vector<std::string> BoxTexts() { return velorin::testing::BoxTexts(User()); }

    HostMaker m_maker;
    // The host first: the dialog holds its application and goes first.
    std::unique_ptr<velorin::testing::HostFixture> m_host;
    std::optional<frmCopyLegend> m_dialog;
};

class CopyLegendForm : public CopyLegendFormOnHost, public ::testing::TestWithParam<HostMaker> {
  protected:
    void SetUp() override { Start(GetParam()); }
};

INSTANTIATE_TEST_SUITE_P(Hosts, CopyLegendForm, ::testing::ValuesIn(velorin::testing::Hosts()),
                         velorin::testing::HostName);

TEST_P(CopyLegendForm, LoadsWithItsCaptionAndTheSourceLayerListFirstInTabOrder) {
    DataModelMap();
    Dialog().FillInputs();

    const ui::Window& window = Dialog().Window();
    EXPECT_EQ(window.Caption(), "Copy Legend Colors");
    EXPECT_EQ(window.ClientWidth(), 5925);
    EXPECT_EQ(window.ClientHeight(), 2850);
    EXPECT_FALSE(window.MinMaxButtons());
    const char* order[] = {"cboLyr1", "cboFld1",   "cboLyr2", "cboFld2",
                           "cmdOK",   "cmdCancel", "cmdHelp"};
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(Dialog().Window().Control(order[i]).TabIndex(), i) << order[i];
    }
    EXPECT_TRUE(Dialog().cmdOK().Default());
    EXPECT_TRUE(Dialog().UserCancel());
}

TEST_P(CopyLegendForm, FirstOpeningPreselectsTheDataModelLayersAndKeys) {
    DataModelMap();
    Dialog().FillInputs();

    const std::vector<std::string> layers{"Streams", "Catchment", "NerroJunction"};
    EXPECT_EQ(StateOf(Dialog().cboLyr1()), (ListState{layers, "NerroJunction"}));
    EXPECT_EQ(StateOf(Dialog().cboLyr2()), (ListState{layers, "Catchment"}));
    // The Source list offers the object id; neither offers dates or shapes.
    EXPECT_EQ(StateOf(Dialog().cboFld1()),
              (ListState{{Oid(), "JunctionID", "NerroID"}, "NerroID"}));
    EXPECT_EQ(StateOf(Dialog().cboFld2()),
              (ListState{{"NerroID", "JunctionID", "Area"}, "JunctionID"}));
}

// Grouped layers and feature types are the list routines' (tests of
// modUtilsForms, where hosts declare how they differ in both).
TEST_P(CopyLegendForm, PreferencesIgnoreLetterCaseAndPassOverOtherLayerKinds) {
    MapPlan map;
    map.OtherLayer("Labels")
        .FeatureLayer("WATERSHED", esriGeometryPolygon)
        .Field("junctionid", esriFieldTypeInteger)
        .RasterLayer("Catchment")
        .FeatureLayer("nerrojunction", esriGeometryPoint)
        .Field("NERROID", esriFieldTypeInteger);
    Use(map);
    Dialog().FillInputs();

    const std::vector<std::string> layers{"WATERSHED", "nerrojunction"};
    EXPECT_EQ(StateOf(Dialog().cboLyr1()), (ListState{layers, "nerrojunction"}));
    EXPECT_EQ(StateOf(Dialog().cboFld1()), (ListState{{Oid(), "NERROID"}, "NERROID"}));
    EXPECT_EQ(StateOf(Dialog().cboLyr2()), (ListState{layers, "WATERSHED"}));
    EXPECT_EQ(StateOf(Dialog().cboFld2()), (ListState{{"junctionid"}, "junctionid"}));
}

TEST_P(CopyLegendForm, AMapWithoutFeatureLayersLeavesEveryListEmptyAndRefusesOk) {
    MapPlan map;
    map.RasterLayer("Elevation");
    Use(map);
    User().OnShow("frmCopyLegend").Press("cmdOK").Press("cmdCancel");

    Open();

    for (ui::ComboBox* list :
         {&Dialog().cboLyr1(), &Dialog().cboFld1(), &Dialog().cboLyr2(), &Dialog().cboFld2()}) {
        EXPECT_EQ(list->ListCount(), 0) << list->Name();
    }
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{"Please specify all layers and key fields"});
    EXPECT_TRUE(Dialog().UserCancel());
    User().CheckFinished();
}

TEST_P(CopyLegendForm, WithOneFeatureLayerTheRelatedKeyListStaysEmpty) {
    MapPlan map;
    map.FeatureLayer("Catchment", esriGeometryPolygon).Field("JunctionID", esriFieldTypeInteger);
    Use(map);
    User().OnShow("frmCopyLegend").Press("cmdOK").Press("cmdCancel");

    Open();

    EXPECT_EQ(Dialog().cboLyr1().Text(), "Catchment");
    EXPECT_EQ(Dialog().cboLyr2().Text(), "Catchment");
    EXPECT_EQ(Dialog().cboFld1().ListCount(), 2);
    EXPECT_EQ(Dialog().cboFld2().ListCount(), 0);
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{"Please specify all layers and key fields"});
}

// ---- OK checks -------------------------------------------------------------------------

struct OkCase {
    const char* name;
    const char* sourceLayer;
    const char* relatedLayer;
    const char* message;
};

void PrintTo(const OkCase& c, std::ostream* out) { *out << c.name; }

class CopyLegendOkCheck : public CopyLegendFormOnHost,
                          public ::testing::TestWithParam<std::tuple<HostMaker, OkCase>> {
  protected:
    void SetUp() override { Start(std::get<0>(GetParam())); }
};

TEST_P(CopyLegendOkCheck, RefusesWithOneBoxAndKeepsTheDialogOpenAndItsLists) {
    const OkCase& c = std::get<1>(GetParam());
    // "Bare" has no field a Related key may be (its object id is a Source key only).
    MapPlan map;
    map.FeatureLayer("Bare", esriGeometryPoint)
        .Field("Surveyed", esriFieldTypeDate)
        .FeatureLayer("Catchment", esriGeometryPolygon)
        .Field("JunctionID", esriFieldTypeInteger)
        .FeatureLayer("NerroJunction", esriGeometryPoint)
        .Field("NerroID", esriFieldTypeInteger);
    Use(map);
    std::vector<ListState> before;
    User()
        .OnShow("frmCopyLegend")
        .Pick("cboLyr1", c.sourceLayer)
        .Pick("cboLyr2", c.relatedLayer)
        .Do([&](ui::Window&) {
            for (ui::ComboBox* list : {&Dialog().cboLyr1(), &Dialog().cboFld1(),
                                       &Dialog().cboLyr2(), &Dialog().cboFld2()}) {
                before.push_back(StateOf(*list));
            }
        })
        .Press("cmdOK")
        .Do([&](ui::Window& window) {
            EXPECT_TRUE(window.Visible());
            std::size_t i = 0;
            for (ui::ComboBox* list : {&Dialog().cboLyr1(), &Dialog().cboFld1(),
                                       &Dialog().cboLyr2(), &Dialog().cboFld2()}) {
                EXPECT_EQ(StateOf(*list), before.at(i++)) << list->Name();
            }
        })
        .Press("cmdCancel");

    Open();

    EXPECT_EQ(BoxTexts(), std::vector<std::string>{c.message});
    EXPECT_TRUE(Dialog().UserCancel());
    EXPECT_EQ(Dialog().SourceLayer(), "");
}

INSTANTIATE_TEST_SUITE_P(
    Hosts, CopyLegendOkCheck,
    ::testing::Combine(::testing::ValuesIn(velorin::testing::Hosts()),
                       ::testing::Values(
                           OkCase{
                               "SameLayerTwice", "Catchment", "Catchment",
                               "Source feature layer cannot be the same as Related feature layer"},
                           OkCase{"EmptyKeyListBeforeSameLayer", "Bare", "Bare",
                                  "Please specify all layers and key fields"},
                           OkCase{"EmptyRelatedKeyList", "Catchment", "Bare",
                                  "Please specify all layers and key fields"})),
    velorin::testing::HostCaseName<OkCase>);

// ---- Accepted and remembered names ----------------------------------------------------------

TEST_P(CopyLegendForm, OkStoresTheChoiceHidesTheDialogAndTheNextOpeningOffersItFirst) {
    DataModelMap();
    OpenAndAccept([](scripted::Scene& scene) {
        scene.Pick("cboLyr1", "Catchment")
            .Pick("cboFld1", "Area")
            .Pick("cboLyr2", "NerroJunction")
            .Pick("cboFld2", "NerroID");
    });

    EXPECT_FALSE(Dialog().UserCancel());
    EXPECT_FALSE(Dialog().Window().Visible());
    EXPECT_TRUE(Dialog().Window().Loaded());
    EXPECT_EQ(Dialog().SourceLayer(), "Catchment");
    EXPECT_EQ(Dialog().SourceField(), "Area");
    EXPECT_EQ(Dialog().RelatedLayer(), "NerroJunction");
    EXPECT_EQ(Dialog().RelatedField(), "NerroID");

    Dialog().FillInputs();
    EXPECT_TRUE(Dialog().UserCancel());
    EXPECT_EQ(Dialog().cboLyr1().Text(), "Catchment");
    EXPECT_EQ(Dialog().cboFld1().Text(), "Area");
    EXPECT_EQ(Dialog().cboLyr2().Text(), "NerroJunction");
    EXPECT_EQ(Dialog().cboFld2().Text(), "NerroID");

    // A layer picked by hand prefers the fixed key name only.
    Dialog().cboLyr1().SetListIndex(Dialog().cboLyr1().FindItem("NerroJunction"));
    EXPECT_EQ(Dialog().cboFld1().Text(), "NerroID");
    Dialog().cboLyr2().SetListIndex(Dialog().cboLyr2().FindItem("Catchment"));
    EXPECT_EQ(Dialog().cboFld2().Text(), "JunctionID");
}

TEST_P(CopyLegendForm, RememberedNamesMissingFromTheMapAreNotPreferred) {
    MapPlan map;
    map.FeatureLayer("Streams", host::esriGeometryPolyline)
        .Field("StreamID", esriFieldTypeInteger)
        .FeatureLayer("NerroJunction", esriGeometryPoint)
        .Field("NerroID", esriFieldTypeInteger)
        .Field("StreamID", esriFieldTypeInteger);
    Use(map);
    OpenAndAccept([](scripted::Scene& scene) {
        scene.Pick("cboLyr1", "Streams").Pick("cboFld1", "StreamID");
    });
    ASSERT_EQ(Dialog().SourceLayer(), "Streams");

    // "Streams" is gone: the layer is now "streams", another name in letter case
    // only. The layer now chosen has a StreamID too: the remembered layer decides.
    Host().FeatureLayer("Streams")->SetName("streams");
    Dialog().FillInputs();

    EXPECT_EQ(Dialog().cboLyr1().Text(), "NerroJunction");
    EXPECT_EQ(Dialog().cboFld1().Text(), "NerroID");
}

TEST_P(CopyLegendForm, CancelAndTheCloseBoxKeepTheAcceptedNamesAndLeaveUserCancelSet) {
    DataModelMap();
    OpenAndAccept();
    const std::string source = Dialog().SourceLayer();
    const std::string related = Dialog().RelatedLayer();

    User().OnShow("frmCopyLegend").Pick("cboLyr1", "Streams").Press("cmdCancel");
    Open();
    EXPECT_TRUE(Dialog().UserCancel());
    EXPECT_TRUE(Dialog().Window().Loaded());

    User().OnShow("frmCopyLegend").Pick("cboLyr1", "Streams").Close();
    Open();
    EXPECT_TRUE(Dialog().UserCancel());
    EXPECT_FALSE(Dialog().Window().Loaded());
    EXPECT_EQ(Dialog().SourceLayer(), source);
    EXPECT_EQ(Dialog().RelatedLayer(), related);

    // Closing released the application: filling again needs it set again.
    EXPECT_THROW(Dialog().FillInputs(), Error);
    Dialog().SetApplication(Host().Application());
    User()
        .OnShow("frmCopyLegend")
        .Do([&](ui::Window&) { EXPECT_EQ(Dialog().cboLyr1().Text(), source); })
        .Do([](ui::Window& window) { window.PressEsc(); });
    Open();
    EXPECT_TRUE(Dialog().UserCancel());
    User().CheckFinished();
}

TEST_P(CopyLegendForm, EscPressesCancel) {
    DataModelMap();
    OpenAndAccept();
    User().OnShow("frmCopyLegend").Do([](ui::Window& window) { window.PressEsc(); });

    Open();

    EXPECT_TRUE(Dialog().UserCancel());
    EXPECT_FALSE(Dialog().Window().Visible());
}

TEST_P(CopyLegendForm, HelpShowsTheToolsTextOverTheOpenDialog) {
    DataModelMap();
    std::string text;
    User().OnShow("frmCopyLegend").Press("cmdHelp").Press("cmdCancel");
    User()
        .OnShow("Help:  Copy Legend Colors")
        .Do([&](ui::Window& window) {
            EXPECT_TRUE(Dialog().Window().Visible());
            text = window.TextBox("txtHelp").Text();
        })
        .Press("cmdOK");

    Open();

    EXPECT_EQ(text,
              "This tool copies the legend colors from Source features to the legend colors of "
              "related features.  Each source feature and its related features will thus be "
              "rendered using the same color.  This tool requirse that a Unique Value Renderer "
              "already be in place for the Source features' legend.\r\n\r\nLast Updated - 29 Jan "
              "2003");
    User().CheckFinished();
}

}  // namespace
}  // namespace velorin::forms
