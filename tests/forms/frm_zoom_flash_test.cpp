#include "forms/frm_zoom_flash.h"

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
#include "zoomflash/zoom_flash_parameters.h"

// The Zoom and Flash dialog on every host the binary links: the same map, the
// same person, the same lists and properties.
namespace velorin::forms {
namespace {

using host::esriFieldTypeDate;
using host::esriFieldTypeInteger;
using host::esriFieldTypeString;
using host::esriGeometryPoint;
using host::esriGeometryPolygon;
using velorin::testing::HostMaker;
using velorin::testing::MapPlan;
using Names = std::vector<std::string>;

// Streams, Watershed and NerroJunction, with key fields of the data model.
MapPlan Hydrology() {
    MapPlan map;
    map.FeatureLayer("Streams", host::esriGeometryPolyline)
        .Field("Name", esriFieldTypeString)
        .FeatureLayer("Watershed", esriGeometryPolygon)
        .Field("NerroID", esriFieldTypeInteger)
        .Field("Opened", esriFieldTypeDate)
        .Field("NextDownID", esriFieldTypeInteger)
        .FeatureLayer("NerroJunction", esriGeometryPoint)
        .Field("JunctionID", esriFieldTypeInteger)
        .Field("NerroID", esriFieldTypeInteger);
    return map;
}

// What the suite's tests share, whatever their parameters.
class ZoomFlashDialogOnHost {
  protected:
    void Start(const HostMaker& maker, const MapPlan& map = Hydrology()) {
        m_host = maker.make();
        m_host->Build(map);
        m_dialog.emplace();
        m_dialog->SetApplication(m_host->Application());
    }

    velorin::testing::HostFixture& Host() { return *m_host; }
    scripted::ScriptedUser& User() { return m_host->User(); }
    scripted::Scene& Scene() { return User().OnShow("frmZoomFlash"); }
    frmZoomFlash& Dialog() { return *m_dialog; }
    // The name the host gives a layer's object id field.
    std::string Oid() { return Host().Traits().objectIdField.name; }

    // One opening as the run makes it: application, fill, then show modally.
    void Open() {
        m_dialog->SetApplication(m_host->Application());
        m_dialog->FillInputs();
        ui::CurrentToolkit().ShowModal(m_dialog->Window());
    }
    // Opens with the defaults accepted, or with `inputs` played before OK.
    void Accept(const std::function<void(scripted::Scene&)>& inputs = {}) {
        scripted::Scene& scene = Scene();
        if (inputs) inputs(scene);
        scene.Press("cmdOK");
        Open();
        ASSERT_FALSE(m_dialog->UserCancel());
    }

    std::vector<std::string> BoxTexts() { return velorin::testing::BoxTexts(User()); }

    // The host first: the dialog holds its application and goes first.
    std::unique_ptr<velorin::testing::HostFixture> m_host;
    std::optional<frmZoomFlash> m_dialog;
};

class ZoomFlashDialogTest : public ZoomFlashDialogOnHost,
                            public ::testing::TestWithParam<HostMaker> {
  protected:
    void SetUp() override { Start(GetParam()); }
};

INSTANTIATE_TEST_SUITE_P(Hosts, ZoomFlashDialogTest, ::testing::ValuesIn(velorin::testing::Hosts()),
                         velorin::testing::HostName);

TEST_P(ZoomFlashDialogTest, LoadSetsTheTabOrderOfTheInputs) {
    Scene()
        .Do([](ui::Window& window) {
            const char* const order[] = {
                "cboLyr1",         "cboFld1",   "txtSrcFlashTime", "cboLyr2",    "cboFld2",
                "txtRelFlashTime", "chkFull",   "txtZoomFactor",   "chkRelated", "txtZoomWidth",
                "cmdOK",           "cmdCancel", "cmdHelp"};
            for (int i = 0; i < 13; ++i) EXPECT_EQ(window.Control(order[i]).TabIndex(), i);
            EXPECT_EQ(window.Caption(), "Zoom and Flash");
            EXPECT_EQ(window.TextBox("txtSrcFlashTime").MaxLength(), 5);
            EXPECT_EQ(window.TextBox("txtRelFlashTime").MaxLength(), 5);
            EXPECT_TRUE(window.Button("cmdOK").Default());
            EXPECT_FALSE(window.Button("cmdCancel").Cancel());
        })
        .Type("txtSrcFlashTime", "1.23456")
        .Do([](ui::Window& window) {
            EXPECT_EQ(window.TextBox("txtSrcFlashTime").Text(), "1.234");
        })
        .Press("cmdCancel");
    Open();
    EXPECT_TRUE(Dialog().UserCancel());
}

TEST_P(ZoomFlashDialogTest, FirstOpeningPreselectsDataModelNamesAndDefaults) {
    Scene()
        .Do([oid = Oid()](ui::Window& window) {
            EXPECT_EQ(window.ComboBox("cboLyr1").Items(),
                      (Names{"Streams", "Watershed", "NerroJunction"}));
            EXPECT_EQ(window.ComboBox("cboLyr1").Text(), "Watershed");
            EXPECT_EQ(window.ComboBox("cboFld1").Items(),
                      (Names{"<None>", oid, "NerroID", "NextDownID"}));
            EXPECT_EQ(window.ComboBox("cboFld1").Text(), "NextDownID");
            EXPECT_EQ(window.ComboBox("cboLyr2").Items(),
                      (Names{"<None>", "Streams", "Watershed", "NerroJunction"}));
            EXPECT_EQ(window.ComboBox("cboLyr2").Text(), "NerroJunction");
            EXPECT_EQ(window.ComboBox("cboFld2").Items(),
                      (Names{"<None>", "JunctionID", "NerroID"}));
            EXPECT_EQ(window.ComboBox("cboFld2").Text(), "NerroID");
            EXPECT_EQ(window.TextBox("txtSrcFlashTime").Text(), "1.5");
            EXPECT_EQ(window.TextBox("txtRelFlashTime").Text(), "2.5");
            EXPECT_EQ(window.TextBox("txtZoomFactor").Text(), "1.7");
            EXPECT_EQ(window.TextBox("txtZoomWidth").Text(), "300");
            EXPECT_EQ(window.CheckBox("chkFull").Value(), 1);
            EXPECT_EQ(window.CheckBox("chkRelated").Value(), 1);
            for (const char* name :
                 {"lblZoomFactor", "txtZoomFactor", "lblZoomWidth", "txtZoomWidth"}) {
                EXPECT_TRUE(window.Control(name).Enabled()) << name;
            }
        })
        .Press("cmdCancel");
    Open();
    User().CheckFinished();
}

TEST_P(ZoomFlashDialogTest, PickingALayerRefillsItsKeyFieldsFromTheFixedNames) {
    Scene()
        .Pick("cboLyr1", "NerroJunction")
        .Do([oid = Oid()](ui::Window& window) {
            EXPECT_EQ(window.ComboBox("cboFld1").Items(),
                      (Names{"<None>", oid, "JunctionID", "NerroID"}));
            EXPECT_EQ(window.ComboBox("cboFld1").Text(), "JunctionID");
        })
        .Pick("cboLyr2", "Streams")
        .Do([](ui::Window& window) {
            EXPECT_EQ(window.ComboBox("cboFld2").Items(), (Names{"<None>", "Name"}));
            EXPECT_EQ(window.ComboBox("cboFld2").Text(), "<None>");
        })
        .Pick("cboLyr2", "<None>")
        .Do([](ui::Window& window) {
            EXPECT_EQ(window.ComboBox("cboFld2").Items(), (Names{"<None>"}));
        })
        .Press("cmdCancel");
    Open();
}

TEST_P(ZoomFlashDialogTest, AcceptedOkStoresTheEntriesAndHides) {
    Accept([](scripted::Scene& scene) {
        scene.Type("txtSrcFlashTime", "0.001")
            .Type("txtRelFlashTime", "32.76")
            .Type("txtZoomFactor", "2")
            .Type("txtZoomWidth", "45.5");
    });
    EXPECT_EQ(Dialog().SourceLayer(), "Watershed");
    EXPECT_EQ(Dialog().SourceField(), "NextDownID");
    EXPECT_EQ(Dialog().RelatedLayer(), "NerroJunction");
    EXPECT_EQ(Dialog().RelatedField(), "NerroID");
    EXPECT_DOUBLE_EQ(Dialog().SourceFlashTime(), 0.001);
    EXPECT_DOUBLE_EQ(Dialog().RelatedFlashTime(), 32.76);
    EXPECT_DOUBLE_EQ(Dialog().ZoomFactor(), 2);
    EXPECT_DOUBLE_EQ(Dialog().ZoomWidth(), 45.5);
    EXPECT_EQ(Dialog().ZoomMethod(), 3);
    EXPECT_TRUE(Dialog().SearchRelated());
    EXPECT_FALSE(Dialog().Window().Visible());
    EXPECT_TRUE(Dialog().Window().Loaded());
    EXPECT_TRUE(BoxTexts().empty());
}

struct RefusalCase {
    const char* name;
    std::function<void(scripted::Scene&)> inputs;
    const char* message;
};

void PrintTo(const RefusalCase& c, std::ostream* out) { *out << c.name; }

class DialogRefusal : public ZoomFlashDialogOnHost,
                      public ::testing::TestWithParam<std::tuple<HostMaker, RefusalCase>> {
  protected:
    void SetUp() override { Start(std::get<0>(GetParam())); }
};

TEST_P(DialogRefusal, ShowsItsMessageAndKeepsEverything) {
    const RefusalCase& c = std::get<1>(GetParam());
    scripted::Scene& scene = Scene();
    c.inputs(scene);
    scene.Press("cmdOK")
        .Do([](ui::Window& window) { EXPECT_TRUE(window.Visible()); })
        .Press("cmdCancel");
    Open();

    EXPECT_EQ(BoxTexts(), (std::vector<std::string>{c.message}));
    const auto box = User().MessageBoxes()[0];
    EXPECT_EQ(box.title, "Velorin");
    EXPECT_EQ(box.icon, ui::MsgIcon::None);
    EXPECT_EQ(box.buttons, ui::MsgButtons::OkOnly);
    EXPECT_TRUE(Dialog().UserCancel());
    EXPECT_EQ(Dialog().SourceLayer(), "");
    EXPECT_EQ(Dialog().ZoomMethod(), 0);
}

std::function<void(scripted::Scene&)> Typed(const char* box, const char* text) {
    return [=](scripted::Scene& scene) { scene.Type(box, text); };
}

INSTANTIATE_TEST_SUITE_P(
    Hosts, DialogRefusal,
    ::testing::Combine(
        ::testing::ValuesIn(velorin::testing::Hosts()),
        ::testing::Values(
            RefusalCase{"SourceTimeAboveBound", Typed("txtSrcFlashTime", "32.77"),
                        "Please enter a source feature flash time less than 32 seconds"},
            RefusalCase{"SourceTimeBelowOneMs", Typed("txtSrcFlashTime", ".0009"),
                        "Please enter a source feature flash time greater than 1 millisecond"},
            RefusalCase{"SourceTimeZero", Typed("txtSrcFlashTime", "0"),
                        "Source feature flash time must be greater than zero"},
            RefusalCase{"SourceTimeNegative", Typed("txtSrcFlashTime", "-1"),
                        "Source feature flash time must be greater than zero"},
            RefusalCase{"SourceTimeEmpty", Typed("txtSrcFlashTime", ""),
                        "Please input a number for Source feature flash time"},
            RefusalCase{"SourceTimeWord", Typed("txtSrcFlashTime", "soon"),
                        "Please input a number for Source feature flash time"},
            RefusalCase{"RelatedTimeWord", Typed("txtRelFlashTime", "later"),
                        "Please input a number for Related feature flash time"},
            RefusalCase{"RelatedTimeZero", Typed("txtRelFlashTime", "0"),
                        "Related feature flash time must be greater than zero"},
            RefusalCase{"RelatedTimeAboveBound", Typed("txtRelFlashTime", "33"),
                        "Please enter a related feature flash time less than 32 seconds"},
            RefusalCase{"RelatedTimeBelowOneMs", Typed("txtRelFlashTime", "1e-4"),
                        "Please enter a related feature flash time greater than 1 millisecond"},
            RefusalCase{
                "RelatedMessageComesFirst",
                [](scripted::Scene&
                       scene) { scene.Type("txtSrcFlashTime", "x").Type("txtRelFlashTime", "-2"); },
                "Related feature flash time must be greater than zero"},
            RefusalCase{"ZoomFactorWord", Typed("txtZoomFactor", "big"),
                        "Please input a number for Zoom Factor"},
            RefusalCase{"ZoomFactorZero", Typed("txtZoomFactor", "0"),
                        "Zoom Factor must be greater than zero"},
            RefusalCase{"ZoomWidthWord", Typed("txtZoomWidth", "wide"),
                        "Please input a number for Zoom Width"},
            RefusalCase{"ZoomWidthNegative", Typed("txtZoomWidth", "-3"),
                        "Zoom Width must be greater than zero"},
            RefusalCase{
                "NoMethod",
                [](scripted::Scene& scene) { scene.Check("chkFull", 0).Check("chkRelated", 0); },
                "Please select a Zoom Method"})),
    velorin::testing::HostCaseName<RefusalCase>);

TEST_P(ZoomFlashDialogTest, UncheckedMethodsLeaveTheirBoxesDisabledAndUnchecked) {
    Accept([](scripted::Scene& scene) {
        scene.Check("chkFull", 0)
            .Do([](ui::Window& window) {
                EXPECT_FALSE(window.Control("lblZoomFactor").Enabled());
                EXPECT_FALSE(window.Control("txtZoomFactor").Enabled());
                // A person cannot type into it now; the program still can.
                window.TextBox("txtZoomFactor").SetText("-5");
            })
            .Check("chkFull", 1)
            .Do([](ui::Window& window) {
                EXPECT_TRUE(window.Control("lblZoomFactor").Enabled());
                EXPECT_TRUE(window.Control("txtZoomFactor").Enabled());
            })
            .Check("chkFull", 0);
    });
    EXPECT_TRUE(BoxTexts().empty());
    EXPECT_EQ(Dialog().ZoomMethod(), 2);
    EXPECT_DOUBLE_EQ(Dialog().ZoomFactor(), -5);  // stored as typed, unchecked
}

TEST_P(ZoomFlashDialogTest, NoneAsksFirstAndCancelChangesNothing) {
    User().AnswerNext(ui::MsgResult::Cancel);
    Scene()
        .Pick("cboFld2", "<None>")
        .Press("cmdOK")
        .Do([](ui::Window& window) { EXPECT_TRUE(window.Visible()); })
        .Press("cmdCancel");
    Open();

    ASSERT_EQ(User().MessageBoxes().size(), 1U);
    const auto question = User().MessageBoxes()[0];
    EXPECT_EQ(question.text,
              "Information needed to identify related features not given.  Only source features "
              "will be flashed.");
    EXPECT_EQ(question.buttons, ui::MsgButtons::OkCancel);
    EXPECT_EQ(question.icon, ui::MsgIcon::None);
    EXPECT_EQ(question.title, "Velorin");
    EXPECT_TRUE(Dialog().UserCancel());
    EXPECT_EQ(Dialog().SourceLayer(), "");
}

TEST_P(ZoomFlashDialogTest, NoneAnsweredOkTurnsRelatedSearchOffButStoresTheTextsShown) {
    User().AnswerNext(ui::MsgResult::Ok);
    Accept([](scripted::Scene& scene) {
        scene.Pick("cboFld2", "<None>").Type("txtRelFlashTime", "never");
    });

    EXPECT_EQ(BoxTexts().size(), 1U);  // the question; nothing about the Related time
    EXPECT_FALSE(Dialog().SearchRelated());
    EXPECT_EQ(Dialog().ZoomMethod(), 3);
    EXPECT_EQ(Dialog().RelatedLayer(), "NerroJunction");
    EXPECT_EQ(Dialog().RelatedField(), "<None>");
    EXPECT_DOUBLE_EQ(Dialog().RelatedFlashTime(), 0);  // not a number: the old value stays
}

TEST_P(ZoomFlashDialogTest, WithoutRelatedInformationFullEnvelopeIsRequired) {
    User().AnswerAlways("Only source features", ui::MsgResult::Ok);
    Scene()
        .Pick("cboLyr2", "<None>")
        .Check("chkFull", 0)
        .Press("cmdOK")
        .Press("cmdOK")  // the question comes again at every press
        .Press("cmdCancel");
    Open();

    const std::string question =
        "Information needed to identify related features not given.  Only source features will "
        "be flashed.";
    const std::string refusal =
        "Without related feature information, the Full Envelope Zoom Method must be selected";
    EXPECT_EQ(BoxTexts(), (std::vector<std::string>{question, refusal, question, refusal}));
    EXPECT_TRUE(Dialog().UserCancel());
}

TEST_P(ZoomFlashDialogTest, SecondOpeningOffersTheAcceptedValues) {
    User().AnswerNext(ui::MsgResult::Ok);
    Accept([](scripted::Scene& scene) {
        scene.Pick("cboLyr1", "Streams")
            .Pick("cboLyr2", "<None>")
            .Type("txtSrcFlashTime", "2.25")
            .Type("txtRelFlashTime", "-1")
            .Check("chkRelated", 0)
            .Type("txtZoomFactor", "0.5");
    });

    Scene()
        .Do([](ui::Window& window) {
            EXPECT_EQ(window.ComboBox("cboLyr1").Text(), "Streams");
            EXPECT_EQ(window.ComboBox("cboFld1").Text(), "<None>");
            // "<None>" wins over the data-model name that exists in the map.
            EXPECT_EQ(window.ComboBox("cboLyr2").Text(), "<None>");
            EXPECT_EQ(window.TextBox("txtSrcFlashTime").Text(), "2.25");
            EXPECT_EQ(window.TextBox("txtRelFlashTime").Text(), "-1");
            EXPECT_EQ(window.TextBox("txtZoomFactor").Text(), "0.5");
            EXPECT_EQ(window.TextBox("txtZoomWidth").Text(), "300");
            EXPECT_EQ(window.CheckBox("chkFull").Value(), 1);
            EXPECT_EQ(window.CheckBox("chkRelated").Value(), 0);
            EXPECT_FALSE(window.Control("lblZoomWidth").Enabled());
            EXPECT_FALSE(window.Control("txtZoomWidth").Enabled());
        })
        .Press("cmdCancel");
    Open();

    // Cancel keeps what the OK stored.
    EXPECT_TRUE(Dialog().UserCancel());
    EXPECT_EQ(Dialog().SourceLayer(), "Streams");
    EXPECT_DOUBLE_EQ(Dialog().SourceFlashTime(), 2.25);
    EXPECT_EQ(Dialog().ZoomMethod(), 1);
    User().CheckFinished();
}

TEST_P(ZoomFlashDialogTest, RememberedLayerCountsOnlyWhileTheMapHasItsExactName) {
    User().AnswerNext(ui::MsgResult::Ok);  // Streams has no key field: source only
    Accept([](scripted::Scene& scene) { scene.Pick("cboLyr1", "Streams"); });
    // Renamed in letter case only: the remembered name no longer counts, so the
    // data-model names decide again.
    Host().FeatureLayer("Streams")->SetName("STREAMS");
    Scene()
        .Do([](ui::Window& window) { EXPECT_EQ(window.ComboBox("cboLyr1").Text(), "Watershed"); })
        .Press("cmdCancel");
    Open();
}

TEST_P(ZoomFlashDialogTest, RememberedKeyFieldsCountWhileTheRememberedLayerHasThem) {
    // Both keys differ from what the data-model names would choose.
    Accept([](scripted::Scene& scene) {
        scene.Pick("cboFld1", "NerroID").Pick("cboFld2", "JunctionID");
    });
    const auto keys = [this](const char* source, const char* related) {
        Scene()
            .Do([=](ui::Window& window) {
                EXPECT_EQ(window.ComboBox("cboFld1").Text(), source);
                EXPECT_EQ(window.ComboBox("cboFld2").Text(), related);
            })
            .Press("cmdCancel");
        Open();
    };
    keys("NerroID", "JunctionID");

    // Renamed in letter case: the data-model names still choose these layers,
    // and they still have the remembered fields, but the remembered layers are
    // gone, so the remembered fields no longer lead.
    Host().FeatureLayer("Watershed")->SetName("WATERSHED");
    Host().FeatureLayer("NerroJunction")->SetName("nerrojunction");
    keys("NextDownID", "NerroID");
    User().CheckFinished();
}

TEST_P(ZoomFlashDialogTest, RememberedRelatedEnvelopeOnlyUnchecksFullEnvelope) {
    Accept([](scripted::Scene& scene) { scene.Check("chkFull", 0); });
    Scene()
        .Do([](ui::Window& window) {
            EXPECT_EQ(window.CheckBox("chkFull").Value(), 0);
            EXPECT_FALSE(window.Control("lblZoomFactor").Enabled());
            EXPECT_FALSE(window.Control("txtZoomFactor").Enabled());
            EXPECT_EQ(window.CheckBox("chkRelated").Value(), 1);
        })
        .Press("cmdCancel");
    Open();
}

// A flash time typed in full five characters may read longer as a number
// (".0015" is 0.0015); the next opening must still offer it so that a plain OK
// flashes for the very milliseconds the typed time did.
class RememberedFlashTime : public ZoomFlashDialogOnHost,
                            public ::testing::TestWithParam<std::tuple<HostMaker, const char*>> {
  protected:
    void SetUp() override { Start(std::get<0>(GetParam())); }
};

TEST_P(RememberedFlashTime, AcceptedUnchangedRunsTheSameMilliseconds) {
    const std::string typed = std::get<1>(GetParam());
    Accept([&](scripted::Scene& scene) {
        scene.Type("txtSrcFlashTime", typed).Type("txtRelFlashTime", typed);
    });
    const std::int16_t milliseconds = zoomflash::FlashMilliseconds(Dialog().SourceFlashTime());
    Accept();
    EXPECT_EQ(zoomflash::FlashMilliseconds(Dialog().SourceFlashTime()), milliseconds);
    EXPECT_EQ(zoomflash::FlashMilliseconds(Dialog().RelatedFlashTime()), milliseconds);
}

INSTANTIATE_TEST_SUITE_P(
    TypedInFull, RememberedFlashTime,
    ::testing::Combine(::testing::ValuesIn(velorin::testing::Hosts()),
                       ::testing::Values(".0015", ".1235", ".0025")),
    [](const ::testing::TestParamInfo<std::tuple<HostMaker, const char*>>& param) {
        return std::get<0>(param.param).name + "_" + std::to_string(param.index);
    });

TEST_P(ZoomFlashDialogTest, CloseBoxCancelsAndTheNextOpeningRebuildsTheWindow) {
    Accept([](scripted::Scene& scene) { scene.Type("txtZoomWidth", "12"); });
    const long heldWhileLoaded = Host().Application().use_count();
    Scene().Type("txtZoomWidth", "99").Close();
    Open();
    // The unloaded window let go of the application.
    EXPECT_EQ(Host().Application().use_count(), heldWhileLoaded - 1);
    EXPECT_TRUE(Dialog().UserCancel());
    EXPECT_FALSE(Dialog().Window().Loaded());
    EXPECT_DOUBLE_EQ(Dialog().ZoomWidth(), 12);

    Scene()
        .Do([](ui::Window& window) {
            EXPECT_EQ(window.TextBox("txtZoomWidth").Text(), "12");
            EXPECT_EQ(window.Control("cboLyr1").TabIndex(), 0);
        })
        .Press("cmdCancel");
    Open();
}

TEST_P(ZoomFlashDialogTest, HelpShowsTheToolsTextAndReturnsToTheUnchangedDialog) {
    std::string helpText;
    User()
        .OnShow("Help:  Zoom and Flash")
        .Do([&](ui::Window& window) { helpText = window.TextBox("txtHelp").Text(); })
        .Press("cmdOK");
    Scene()
        .Type("txtZoomWidth", "77")
        .Press("cmdHelp")
        .Do([](ui::Window& window) {
            EXPECT_TRUE(window.Visible());
            EXPECT_EQ(window.TextBox("txtZoomWidth").Text(), "77");
        })
        .Press("cmdCancel");
    Open();

    const std::string expected =
        "This tool zooms into a set of features one by one, and flashes each feature's "
        "geometry.  These are called the Source features.  If the Source Key Field, Related "
        "Feature Layer, and Related Layer Key Field are given, then the tool will also zoom into "
        "the related features to the Source feature, and flash their geometries as well.\r\n\r\n"
        "The Flash Time is the duration in seconds that each feature will be flashed.  This "
        "number must be greater than or equal to zero.\r\n\r\n"
        "The Zoom Method controls how the tool will zoom into the features.  Two methods are "
        "available:\r\n\r\n"
        "The Full Envelope method zooms into the envelope containing the Source feature and any "
        "related features.  Then the Source feature is flashed, followed by the Related "
        "features.  This size of this envelope can be expanded using the Zoom Fator.  For "
        "example, a value of 2 will result in an envelope that is twice as large as is necessary "
        "to encompass the Source and Related features.  This may be useful in seeing the context "
        "of the Source and Related features spatially.  A Zoom Factor between 0 and 1 will "
        "similarly shrink the envelope.\r\n\r\n"
        "The Related Envelope method zooms into each related feature individually.  For each "
        "zoom, the Source feature is flashed, followed by the Related feature.  If no Related "
        "features are present for the given Source feature, that feature is skipped.  The size "
        "of each zoom envelope (in map units) is controlled by the Zoom Width.  This method is "
        "designed to give a close-up view of the related features.\r\n\r\n"
        "Both Zoom Methods may be used separately, or together.  If used together, the Full "
        "Envelope zoom occurs first, followed by the Related Envelope Zoom.\r\n\r\n"
        "Last Updated - 29 Jan 2003";
    EXPECT_EQ(helpText, expected);
    User().CheckFinished();
}

TEST_P(ZoomFlashDialogTest, HostFailureAfterAPickIsReportedAndTheDialogStaysOpen) {
    Scene()
        .Do([this](ui::Window&) {
            Host().Context().faults.FailAt("IMxDocument::FocusMap", 1, host::E_HOST_FAIL,
                                           "Map gone");
        })
        .Pick("cboLyr1", "Streams")
        .Do([](ui::Window& window) { EXPECT_TRUE(window.Visible()); })
        .Press("cmdCancel");
    Open();
    EXPECT_EQ(BoxTexts(), (std::vector<std::string>{"Error -2147467259: Map gone"}));
}

class EmptyMapDialog : public ZoomFlashDialogTest {
  protected:
    void SetUp() override { Start(GetParam(), MapPlan{}); }
};

INSTANTIATE_TEST_SUITE_P(Hosts, EmptyMapDialog, ::testing::ValuesIn(velorin::testing::Hosts()),
                         velorin::testing::HostName);

TEST_P(EmptyMapDialog, OpensWithNoneOnlyAndRefusesOk) {
    Scene()
        .Do([](ui::Window& window) {
            EXPECT_EQ(window.ComboBox("cboLyr1").ListCount(), 0);
            EXPECT_EQ(window.ComboBox("cboFld1").Items(), (Names{"<None>"}));
            EXPECT_EQ(window.ComboBox("cboLyr2").Items(), (Names{"<None>"}));
            EXPECT_EQ(window.ComboBox("cboFld2").Items(), (Names{"<None>"}));
        })
        .Press("cmdOK")
        .Press("cmdCancel");
    Open();
    EXPECT_EQ(BoxTexts(), (std::vector<std::string>{"Source Layer not specified"}));
}

class OtherNamesDialog : public ZoomFlashDialogTest {
  protected:
    void SetUp() override {
        MapPlan map;
        map.FeatureLayer("Roads", host::esriGeometryPolyline)
            .Field("Code", esriFieldTypeInteger)
            .FeatureLayer("CATCHMENT", esriGeometryPolygon)
            .FeatureLayer("Parcels", esriGeometryPolygon);
        Start(GetParam(), map);
    }
};

INSTANTIATE_TEST_SUITE_P(Hosts, OtherNamesDialog, ::testing::ValuesIn(velorin::testing::Hosts()),
                         velorin::testing::HostName);

TEST_P(OtherNamesDialog, LetterCaseIsIgnoredForDataModelNamesAndUnknownKeysGiveNone) {
    Scene()
        .Do([](ui::Window& window) {
            EXPECT_EQ(window.ComboBox("cboLyr1").Text(), "CATCHMENT");
            EXPECT_EQ(window.ComboBox("cboLyr2").Text(), "CATCHMENT");
        })
        .Pick("cboLyr1", "Roads")
        .Do([](ui::Window& window) { EXPECT_EQ(window.ComboBox("cboFld1").Text(), "<None>"); })
        .Press("cmdCancel");
    Open();
}

}  // namespace
}  // namespace velorin::forms
