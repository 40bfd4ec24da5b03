#include "forms/frm_copy_legend.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "host/host.h"
#include "platform/memory/reference_host.h"
#include "tests/support/host_and_user.h"
#include "tests/support/user_records.h"
#include "ui/current_toolkit.h"

namespace velorin::forms {
namespace {

using host::esriFieldTypeDate;
using host::esriFieldTypeDouble;
using host::esriFieldTypeInteger;
using host::esriFieldTypeString;
using host::esriGeometryPoint;
using host::esriGeometryPolygon;
using memory::HostBuilder;

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

class CopyLegendForm : public ::testing::Test {
  protected:
    void Use(memory::ReferenceHost host) {
        m_run.emplace(std::move(host));
        m_dialog.SetApplication(m_run->Application());
    }

    // The data-model map: three layers, each with the key fields of the model.
    void DataModelMap() {
        Use(HostBuilder()
                .FeatureLayer("Streams", host::esriGeometryPolyline)
                .Field("StreamID", esriFieldTypeInteger)
                .FeatureLayer("Catchment", esriGeometryPolygon)
                .Field("NerroID", esriFieldTypeInteger)
                .Field("JunctionID", esriFieldTypeString)
                .Field("Area", esriFieldTypeDouble)
                .Field("Surveyed", esriFieldTypeDate)
                .FeatureLayer("NerroJunction", esriGeometryPoint)
                .Field("JunctionID", esriFieldTypeInteger)
                .Field("NerroID", esriFieldTypeInteger)
                .Build());
    }

    scripted::ScriptedUser& User() { return m_run->User(); }

    // FillInputs, then the modal show the run makes; the scenes decide the end.
    void Open() {
        m_dialog.FillInputs();
        ui::CurrentToolkit().ShowModal(m_dialog.Window());
    }

    // Opens and accepts what the dialog preselected, or what `pick` chose.
    void OpenAndAccept(std::function<void(scripted::Scene&)> pick = {}) {
        scripted::Scene& scene = User().OnShow("frmCopyLegend");
        if (pick) pick(scene);
        scene.Press("cmdOK");
        Open();
    }

    std::vector<std::string> BoxTexts() { return velorin::testing::BoxTexts(User()); }

    std::optional<testing::HostAndUser> m_run;
    frmCopyLegend m_dialog;
};

TEST_F(CopyLegendForm, LoadsWithItsCaptionAndTheSourceLayerListFirstInTabOrder) {
    DataModelMap();
    m_dialog.FillInputs();

    const ui::Window& window = m_dialog.Window();
    EXPECT_EQ(window.Caption(), "Copy Legend Colors");
    EXPECT_EQ(window.ClientWidth(), 5925);
    EXPECT_EQ(window.ClientHeight(), 2850);
    EXPECT_FALSE(window.MinMaxButtons());
    const char* order[] = {"cboLyr1", "cboFld1",   "cboLyr2", "cboFld2",
                           "cmdOK",   "cmdCancel", "cmdHelp"};
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(m_dialog.Window().Control(order[i]).TabIndex(), i) << order[i];
    }
    EXPECT_TRUE(m_dialog.cmdOK().Default());
    EXPECT_TRUE(m_dialog.UserCancel());
}

TEST_F(CopyLegendForm, FirstOpeningPreselectsTheDataModelLayersAndKeys) {
    DataModelMap();
    m_dialog.FillInputs();

    const std::vector<std::string> layers{"Streams", "Catchment", "NerroJunction"};
    EXPECT_EQ(StateOf(m_dialog.cboLyr1()), (ListState{layers, "NerroJunction"}));
    EXPECT_EQ(StateOf(m_dialog.cboLyr2()), (ListState{layers, "Catchment"}));
    // The Source list offers the object id; neither offers dates or shapes.
    EXPECT_EQ(StateOf(m_dialog.cboFld1()),
              (ListState{{"OBJECTID", "JunctionID", "NerroID"}, "NerroID"}));
    EXPECT_EQ(StateOf(m_dialog.cboFld2()),
              (ListState{{"NerroID", "JunctionID", "Area"}, "JunctionID"}));
}

TEST_F(CopyLegendForm, PreferencesIgnoreLetterCaseAndPassOverOtherLayerKinds) {
    Use(HostBuilder()
            .FeatureLayer("Labels", esriGeometryPolygon, host::esriFTAnnotation)
            .FeatureLayer("WATERSHED", esriGeometryPolygon)
            .Field("junctionid", esriFieldTypeInteger)
            .GroupLayer("Hydro")
            .FeatureLayer("Catchment", esriGeometryPolygon)
            .EndGroup()
            .RasterLayer("Elevation")
            .FeatureLayer("nerrojunction", esriGeometryPoint)
            .Field("NERROID", esriFieldTypeInteger)
            .Build());
    m_dialog.FillInputs();

    const std::vector<std::string> layers{"WATERSHED", "nerrojunction"};
    EXPECT_EQ(StateOf(m_dialog.cboLyr1()), (ListState{layers, "nerrojunction"}));
    EXPECT_EQ(StateOf(m_dialog.cboFld1()), (ListState{{"OBJECTID", "NERROID"}, "NERROID"}));
    EXPECT_EQ(StateOf(m_dialog.cboLyr2()), (ListState{layers, "WATERSHED"}));
    EXPECT_EQ(StateOf(m_dialog.cboFld2()), (ListState{{"junctionid"}, "junctionid"}));
}

TEST_F(CopyLegendForm, AMapWithoutFeatureLayersLeavesEveryListEmptyAndRefusesOk) {
    Use(HostBuilder().RasterLayer("Elevation").Build());
    User().OnShow("frmCopyLegend").Press("cmdOK").Press("cmdCancel");

    Open();

    for (ui::ComboBox* list :
         {&m_dialog.cboLyr1(), &m_dialog.cboFld1(), &m_dialog.cboLyr2(), &m_dialog.cboFld2()}) {
        EXPECT_EQ(list->ListCount(), 0) << list->Name();
    }
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{"Please specify all layers and key fields"});
    EXPECT_TRUE(m_dialog.UserCancel());
    User().CheckFinished();
}

TEST_F(CopyLegendForm, WithOneFeatureLayerTheRelatedKeyListStaysEmpty) {
    Use(HostBuilder()
            .FeatureLayer("Catchment", esriGeometryPolygon)
            .Field("JunctionID", esriFieldTypeInteger)
            .Build());
    User().OnShow("frmCopyLegend").Press("cmdOK").Press("cmdCancel");

    Open();

    EXPECT_EQ(m_dialog.cboLyr1().Text(), "Catchment");
    EXPECT_EQ(m_dialog.cboLyr2().Text(), "Catchment");
    EXPECT_EQ(m_dialog.cboFld1().ListCount(), 2);
    EXPECT_EQ(m_dialog.cboFld2().ListCount(), 0);
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{"Please specify all layers and key fields"});
}

// ---- OK checks -------------------------------------------------------------------------

struct OkCase {
    const char* name;
    const char* sourceLayer;
    const char* relatedLayer;
    const char* message;
};

class CopyLegendOkCheck : public CopyLegendForm, public ::testing::WithParamInterface<OkCase> {};

TEST_P(CopyLegendOkCheck, RefusesWithOneBoxAndKeepsTheDialogOpenAndItsLists) {
    // "Bare" has no key fields at all.
    Use(HostBuilder()
            .FeatureLayer("Bare", esriGeometryPoint)
            .WithoutDefaultFields()
            .FeatureLayer("Catchment", esriGeometryPolygon)
            .Field("JunctionID", esriFieldTypeInteger)
            .FeatureLayer("NerroJunction", esriGeometryPoint)
            .Field("NerroID", esriFieldTypeInteger)
            .Build());
    std::vector<ListState> before;
    User()
        .OnShow("frmCopyLegend")
        .Pick("cboLyr1", GetParam().sourceLayer)
        .Pick("cboLyr2", GetParam().relatedLayer)
        .Do([&](ui::Window&) {
            for (ui::ComboBox* list : {&m_dialog.cboLyr1(), &m_dialog.cboFld1(),
                                       &m_dialog.cboLyr2(), &m_dialog.cboFld2()}) {
                before.push_back(StateOf(*list));
            }
        })
        .Press("cmdOK")
        .Do([&](ui::Window& window) {
            EXPECT_TRUE(window.Visible());
            std::size_t i = 0;
            for (ui::ComboBox* list : {&m_dialog.cboLyr1(), &m_dialog.cboFld1(),
                                       &m_dialog.cboLyr2(), &m_dialog.cboFld2()}) {
                EXPECT_EQ(StateOf(*list), before.at(i++)) << list->Name();
            }
        })
        .Press("cmdCancel");

    Open();

    EXPECT_EQ(BoxTexts(), std::vector<std::string>{GetParam().message});
    EXPECT_TRUE(m_dialog.UserCancel());
    EXPECT_EQ(m_dialog.SourceLayer(), "");
}

INSTANTIATE_TEST_SUITE_P(
    InOrder, CopyLegendOkCheck,
    ::testing::Values(OkCase{"SameLayerTwice", "Catchment", "Catchment",
                             "Source feature layer cannot be the same as Related feature layer"},
                      OkCase{"EmptyKeyListBeforeSameLayer", "Bare", "Bare",
                             "Please specify all layers and key fields"},
                      OkCase{"EmptyRelatedKeyList", "Catchment", "Bare",
                             "Please specify all layers and key fields"}),
    [](const auto& row) { return std::string(row.param.name); });

// ---- Accepted and remembered names ----------------------------------------------------------

TEST_F(CopyLegendForm, OkStoresTheChoiceHidesTheDialogAndTheNextOpeningOffersItFirst) {
    DataModelMap();
    OpenAndAccept([](scripted::Scene& scene) {
        scene.Pick("cboLyr1", "Catchment")
            .Pick("cboFld1", "Area")
            .Pick("cboLyr2", "NerroJunction")
            .Pick("cboFld2", "NerroID");
    });

    EXPECT_FALSE(m_dialog.UserCancel());
    EXPECT_FALSE(m_dialog.Window().Visible());
    EXPECT_TRUE(m_dialog.Window().Loaded());
    EXPECT_EQ(m_dialog.SourceLayer(), "Catchment");
    EXPECT_EQ(m_dialog.SourceField(), "Area");
    EXPECT_EQ(m_dialog.RelatedLayer(), "NerroJunction");
    EXPECT_EQ(m_dialog.RelatedField(), "NerroID");

    m_dialog.FillInputs();
    EXPECT_TRUE(m_dialog.UserCancel());
    EXPECT_EQ(m_dialog.cboLyr1().Text(), "Catchment");
    EXPECT_EQ(m_dialog.cboFld1().Text(), "Area");
    EXPECT_EQ(m_dialog.cboLyr2().Text(), "NerroJunction");
    EXPECT_EQ(m_dialog.cboFld2().Text(), "NerroID");

    // A layer picked by hand prefers the fixed key name only.
    m_dialog.cboLyr1().SetListIndex(m_dialog.cboLyr1().FindItem("NerroJunction"));
    EXPECT_EQ(m_dialog.cboFld1().Text(), "NerroID");
    m_dialog.cboLyr2().SetListIndex(m_dialog.cboLyr2().FindItem("Catchment"));
    EXPECT_EQ(m_dialog.cboFld2().Text(), "JunctionID");
}

TEST_F(CopyLegendForm, RememberedNamesMissingFromTheMapAreNotPreferred) {
    DataModelMap();
    OpenAndAccept([](scripted::Scene& scene) {
        scene.Pick("cboLyr1", "Streams").Pick("cboFld1", "StreamID");
    });
    ASSERT_EQ(m_dialog.SourceLayer(), "Streams");

    // Another map: "Streams" is gone, and "streams" differs in letter case only.
    // The layer now chosen has a StreamID too: the remembered layer decides.
    Use(HostBuilder()
            .FeatureLayer("streams", host::esriGeometryPolyline)
            .Field("StreamID", esriFieldTypeInteger)
            .FeatureLayer("NerroJunction", esriGeometryPoint)
            .Field("NerroID", esriFieldTypeInteger)
            .Field("StreamID", esriFieldTypeInteger)
            .Build());
    m_dialog.FillInputs();

    EXPECT_EQ(m_dialog.cboLyr1().Text(), "NerroJunction");
    EXPECT_EQ(m_dialog.cboFld1().Text(), "NerroID");
}

TEST_F(CopyLegendForm, CancelAndTheCloseBoxKeepTheAcceptedNamesAndLeaveUserCancelSet) {
    DataModelMap();
    OpenAndAccept();
    const std::string source = m_dialog.SourceLayer();
    const std::string related = m_dialog.RelatedLayer();

    User().OnShow("frmCopyLegend").Pick("cboLyr1", "Streams").Press("cmdCancel");
    Open();
    EXPECT_TRUE(m_dialog.UserCancel());
    EXPECT_TRUE(m_dialog.Window().Loaded());

    User().OnShow("frmCopyLegend").Pick("cboLyr1", "Streams").Close();
    Open();
    EXPECT_TRUE(m_dialog.UserCancel());
    EXPECT_FALSE(m_dialog.Window().Loaded());
    EXPECT_EQ(m_dialog.SourceLayer(), source);
    EXPECT_EQ(m_dialog.RelatedLayer(), related);

    // Closing released the application: filling again needs it set again.
    EXPECT_THROW(m_dialog.FillInputs(), Error);
    m_dialog.SetApplication(m_run->Application());
    User()
        .OnShow("frmCopyLegend")
        .Do([&](ui::Window&) { EXPECT_EQ(m_dialog.cboLyr1().Text(), source); })
        .Do([](ui::Window& window) { window.PressEsc(); });
    Open();
    EXPECT_TRUE(m_dialog.UserCancel());
    User().CheckFinished();
}

TEST_F(CopyLegendForm, EscPressesCancel) {
    DataModelMap();
    OpenAndAccept();
    User().OnShow("frmCopyLegend").Do([](ui::Window& window) { window.PressEsc(); });

    Open();

    EXPECT_TRUE(m_dialog.UserCancel());
    EXPECT_FALSE(m_dialog.Window().Visible());
}

TEST_F(CopyLegendForm, HelpShowsTheToolsTextOverTheOpenDialog) {
    DataModelMap();
    std::string text;
    User().OnShow("frmCopyLegend").Press("cmdHelp").Press("cmdCancel");
    User()
        .OnShow("Help:  Copy Legend Colors")
        .Do([&](ui::Window& window) {
            EXPECT_TRUE(m_dialog.Window().Visible());
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
