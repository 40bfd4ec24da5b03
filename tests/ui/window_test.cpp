#include "ui/window.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "tests/ui/sample_layout.h"
#include "ui/runtime_error.h"

namespace velorin::ui {
namespace {

// A form in the way the dialogs are written: the window is a member, the handlers
// are set once in the constructor, and the accepted values are the form's fields.
class SampleForm {
  public:
    SampleForm() {
        m_window.OnLoad([this] {
            ++loads;
            loadedWhileLoading = m_window.Loaded();
            m_window.Button("cmdHelp").SetTabIndex(0);
        });
        m_window.OnUnload([this] { ++unloads; });
        m_window.Button("cmdOK").OnClick([this] {
            accepted = m_window.ComboBox("cboLyr1").Text();
            m_window.Hide();
        });
    }

    Window m_window{testing::kSampleLayout};
    std::string accepted;
    int loads = 0;
    int unloads = 0;
    bool loadedWhileLoading = false;
};

TEST(Window, SettingHandlersInTheFormsConstructorDoesNotLoadIt) {
    SampleForm form;
    EXPECT_FALSE(form.m_window.Loaded());
    EXPECT_EQ(form.loads, 0);
}

TEST(Window, TheFirstTouchOfAControlLoadsTheWindowOnce) {
    SampleForm form;
    form.m_window.ComboBox("cboLyr1").AddItem("Catchment");
    form.m_window.TextBox("txtSrcFlashTime").SetText("2");
    EXPECT_TRUE(form.m_window.Loaded());
    EXPECT_TRUE(form.loadedWhileLoading) << "the load handler may touch controls";
    EXPECT_EQ(form.loads, 1);
    EXPECT_FALSE(form.m_window.Visible()) << "loading does not show";
}

TEST(Window, ReadingThroughAConstReferenceNeverLoads) {
    SampleForm form;
    const Window& window = form.m_window;
    EXPECT_EQ(window.Caption(), "Sample Dialog");
    ASSERT_NE(window.FindControl("cboLyr1"), nullptr);
    EXPECT_EQ(window.ControlAt(0).Name(), "fraSource");
    EXPECT_FALSE(window.Loaded());
    EXPECT_EQ(form.loads, 0);
}

TEST(Window, UnloadingResetsTheControlsButKeepsTheFormsFields) {
    SampleForm form;
    Window& window = form.m_window;
    window.ComboBox("cboLyr1").AddItem("Catchment");
    window.ComboBox("cboLyr1").SetListIndex(0);
    window.TextBox("txtSrcFlashTime").SetText("9");
    window.CheckBox("chkFull").SetValue(1);
    window.Label("Label7").SetEnabled(false);
    window.SetCaption("Changed");
    window.Button("cmdOK").Click();
    ASSERT_EQ(form.accepted, "Catchment");

    window.Unload();
    EXPECT_EQ(form.unloads, 1);
    EXPECT_FALSE(window.Loaded());
    EXPECT_EQ(form.accepted, "Catchment");
    EXPECT_EQ(window.Caption(), "Sample Dialog");
    const Window& unloaded = window;
    const auto& list = static_cast<const ComboBox&>(*unloaded.FindControl("cboLyr1"));
    EXPECT_EQ(list.ListCount(), 0);
    EXPECT_EQ(list.ListIndex(), -1);
    EXPECT_EQ(static_cast<const TextBox&>(*unloaded.FindControl("txtSrcFlashTime")).Text(), "1.5");
    EXPECT_EQ(static_cast<const CheckBox&>(*unloaded.FindControl("chkFull")).Value(), 0);
    EXPECT_TRUE(unloaded.FindControl("Label7")->Enabled());
}

TEST(Window, AnUnloadedWindowLoadsAgainOnTheNextTouchAndItsHandlersStillWork) {
    SampleForm form;
    Window& window = form.m_window;
    window.Load();
    window.Unload();
    window.ComboBox("cboLyr1").AddItem("Watershed");
    EXPECT_EQ(form.loads, 2);
    window.ComboBox("cboLyr1").SetListIndex(0);
    window.Button("cmdOK").Click();
    EXPECT_EQ(form.accepted, "Watershed");
}

TEST(Window, UnloadingAWindowThatIsNotLoadedDoesNothing) {
    SampleForm form;
    form.m_window.Unload();
    EXPECT_EQ(form.unloads, 0);
    EXPECT_EQ(form.loads, 0);
}

TEST(Window, UnloadGoesAheadWhenItsHandlerRaises) {
    Window window(testing::kSampleLayout);
    window.OnUnload([] { throw velorin::Error(-2147467259, "host failure"); });
    window.Show();
    window.TextBox("txtSrcFlashTime").SetText("7");
    EXPECT_THROW(window.Unload(), velorin::Error);
    EXPECT_FALSE(window.Loaded());
    EXPECT_FALSE(window.Visible());
    EXPECT_EQ(
        static_cast<const TextBox&>(*std::as_const(window).FindControl("txtSrcFlashTime")).Text(),
        "1.5");
}

TEST(Window, HidingKeepsTheWindowLoadedWithItsState) {
    SampleForm form;
    Window& window = form.m_window;
    window.Show();
    window.TextBox("txtSrcFlashTime").SetText("3");
    window.Hide();
    EXPECT_FALSE(window.Visible());
    EXPECT_TRUE(window.Loaded());
    EXPECT_EQ(window.TextBox("txtSrcFlashTime").Text(), "3");
    EXPECT_EQ(form.unloads, 0);
}

TEST(Window, EnterPressesTheDefaultButtonOnlyWhenItCanBeUsed) {
    SampleForm form;
    Window& window = form.m_window;
    window.ComboBox("cboLyr1").AddItem("A");
    window.ComboBox("cboLyr1").SetListIndex(0);
    window.Button("cmdOK").SetEnabled(false);
    window.PressEnter();
    EXPECT_EQ(form.accepted, "");
    window.Button("cmdOK").SetEnabled(true);
    window.PressEnter();
    EXPECT_EQ(form.accepted, "A");
}

TEST(Window, EscPressesOnlyAButtonDeclaredAsCancel) {
    constexpr ControlLayout rows[] = {
        {.name = "cmdClose",
         .kind = ControlKind::CommandButton,
         .settings = {.cancelButton = true}},
    };
    Window window(WindowLayout{.name = "frmEsc", .controls = rows});
    int closes = 0;
    window.Button("cmdClose").OnClick([&] { ++closes; });
    window.PressEsc();
    EXPECT_EQ(closes, 1);

    SampleForm form;  // its Cancel is not bound to Esc
    int cancels = 0;
    form.m_window.Button("cmdCancel").OnClick([&] { ++cancels; });
    form.m_window.PressEsc();
    EXPECT_EQ(cancels, 0);
}

TEST(Window, AnUnknownNameOrAWrongKindRaisesAnErrorNamingTheControl) {
    Window window(testing::kSampleLayout);
    try {
        window.ComboBox("cboLyr3");
        FAIL() << "no error";
    } catch (const velorin::Error& error) {
        EXPECT_EQ(error.Number(), kErrControlNotFound);
        EXPECT_NE(error.Description().find("frmSample.cboLyr3"), std::string::npos);
    }
    try {
        window.ComboBox("cmdOK");
        FAIL() << "no error";
    } catch (const velorin::Error& error) {
        EXPECT_EQ(error.Number(), kErrTypeMismatch);
        EXPECT_NE(error.Description().find("frmSample.cmdOK is a button, not a drop-down list"),
                  std::string::npos)
            << error.Description();
    }
}

TEST(Window, TabIndicesStayAPermutationWhenOneIsSetAndReturnOnUnload) {
    SampleForm form;  // its load handler moves cmdHelp to the front
    Window& window = form.m_window;
    window.Load();
    EXPECT_EQ(window.Button("cmdHelp").TabIndex(), 0);
    EXPECT_EQ(window.ComboBox("cboLyr1").TabIndex(), 1);
    EXPECT_EQ(window.Button("cmdCancel").TabIndex(), 6);
    std::vector<bool> taken(window.ControlCount(), false);
    for (std::size_t i = 0; i < window.ControlCount(); ++i) {
        const int index = window.ControlAt(i).TabIndex();
        ASSERT_LT(index, static_cast<int>(taken.size()));
        EXPECT_FALSE(taken[static_cast<std::size_t>(index)]) << "tab index " << index << " twice";
        taken[static_cast<std::size_t>(index)] = true;
    }
    window.Button("cmdOK").SetTabIndex(1000);
    EXPECT_EQ(window.Button("cmdOK").TabIndex(), static_cast<int>(window.ControlCount()) - 1);
    window.Unload();
    const Window& unloaded = window;
    EXPECT_EQ(unloaded.FindControl("cmdHelp")->TabIndex(), 6);
    EXPECT_EQ(unloaded.FindControl("cboLyr1")->TabIndex(), 0);
    // Rows without a declared index follow the declared ones, in row order.
    EXPECT_EQ(unloaded.FindControl("fraSource")->TabIndex(), 7);
    EXPECT_EQ(unloaded.FindControl("Label7")->TabIndex(), 8);
}

TEST(Window, AControlInADisabledFrameCannotBeReached) {
    Window window(testing::kSampleLayout);
    EXPECT_TRUE(window.ComboBox("cboLyr1").Interactive());
    window.Frame("fraSource").SetEnabled(false);
    EXPECT_TRUE(window.ComboBox("cboLyr1").Enabled());
    EXPECT_FALSE(window.ComboBox("cboLyr1").Interactive());
    EXPECT_TRUE(window.CheckBox("chkFull").Interactive());
}

class Recorder : public WindowObserver {
  public:
    void WindowChanged(Window& window, WindowChange change) override {
        (void)window;
        windowChanges.push_back(change);
    }
    void ControlChanged(Control& control, ControlChange change) override {
        controlChanges.emplace_back(control.Name(), change);
    }

    std::vector<WindowChange> windowChanges;
    std::vector<std::pair<std::string, ControlChange>> controlChanges;
};

TEST(Window, TheObserverSeesEveryChangeWhoeverMadeIt) {
    Window window(testing::kSampleLayout);
    Recorder recorder;
    window.SetObserver(&recorder);
    window.ComboBox("cboLyr1").AddItem("A");
    window.ComboBox("cboLyr1").SetListIndex(0);
    window.Label("Label7").SetEnabled(false);
    window.Show();
    window.Hide();
    window.Unload();
    EXPECT_EQ(recorder.windowChanges,
              (std::vector<WindowChange>{WindowChange::Loaded, WindowChange::Shown,
                                         WindowChange::Hidden, WindowChange::Unloaded}));
    using Change = std::pair<std::string, ControlChange>;
    EXPECT_EQ(recorder.controlChanges, (std::vector<Change>{{"cboLyr1", ControlChange::Items},
                                                            {"cboLyr1", ControlChange::ListIndex},
                                                            {"Label7", ControlChange::Enabled}}));
}

struct BadLayout {
    const char* name;
    std::vector<ControlLayout> rows;
    const char* problem;
};

class WindowBadLayout : public ::testing::TestWithParam<BadLayout> {};

TEST_P(WindowBadLayout, IsRefusedNamingTheProblem) {
    const WindowLayout layout{.name = "frmBad", .controls = GetParam().rows};
    try {
        Window window(layout);
        FAIL() << "accepted";
    } catch (const velorin::Error& error) {
        EXPECT_EQ(error.Number(), kErrInvalidPropertyValue);
        EXPECT_NE(error.Description().find(GetParam().problem), std::string::npos)
            << error.Description();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, WindowBadLayout,
    ::testing::Values(
        BadLayout{"DuplicateName",
                  {{.name = "cmdOK", .kind = ControlKind::CommandButton},
                   {.name = "cmdOK", .kind = ControlKind::CommandButton}},
                  "two controls named \"cmdOK\""},
        BadLayout{"UnknownContainer",
                  {{.name = "Label1", .kind = ControlKind::Label, .container = "fraNone"}},
                  "\"Label1\" sits in \"fraNone\", which is not a frame of this window"},
        BadLayout{"ContainerNotAFrame",
                  {{.name = "cmdOK", .kind = ControlKind::CommandButton},
                   {.name = "Label1", .kind = ControlKind::Label, .container = "cmdOK"}},
                  "which is not a frame"},
        BadLayout{"FramesHoldingEachOther",
                  {{.name = "fraA", .kind = ControlKind::Frame, .container = "fraB"},
                   {.name = "fraB", .kind = ControlKind::Frame, .container = "fraA"}},
                  "frames holding each other"},
        BadLayout{"CheckBoxValueTwo",
                  {{.name = "chk", .kind = ControlKind::CheckBox, .settings = {.value = 2}}},
                  "check box value"},
        BadLayout{"NegativeWidth",
                  {{.name = "lbl", .kind = ControlKind::Label, .width = -1}},
                  "negative size"}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST(Window, UnnamedLabelsMayShareTheirEmptyNameAndAreNotFoundByIt) {
    constexpr ControlLayout rows[] = {
        {.kind = ControlKind::Label, .caption = "Layer Name"},
        {.kind = ControlKind::Label, .caption = "Key Field Name"},
    };
    Window window(WindowLayout{.name = "frmUnnamed", .controls = rows});
    EXPECT_EQ(window.ControlCount(), 2U);
    EXPECT_EQ(window.FindControl(""), nullptr);
    EXPECT_EQ(window.ControlAt(1).QualifiedName(), "frmUnnamed.(unnamed label)");
}

}  // namespace
}  // namespace velorin::ui
