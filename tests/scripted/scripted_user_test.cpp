#include "platform/scripted/scripted_user.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "tests/ui/sample_layout.h"
#include "ui/runtime_error.h"
#include "ui/window.h"

namespace velorin::scripted {
namespace {

using ::testing::HasSubstr;
using ui::MsgButtons;
using ui::MsgIcon;
using ui::MsgResult;

constexpr ui::ControlLayout kHelpControls[] = {
    {.name = "txtHelp",
     .kind = ui::ControlKind::TextBox,
     .left = 120,
     .top = 120,
     .width = 5052,
     .height = 5412,
     .tabIndex = 0,
     .settings = {.multiLine = true, .verticalScrollBar = true}},
    {.name = "cmdOK",
     .kind = ui::ControlKind::CommandButton,
     .caption = "OK",
     .left = 2280,
     .top = 5640,
     .width = 732,
     .height = 372,
     .tabIndex = 1},
};
constexpr ui::WindowLayout kHelpLayout{.name = "frmHelp",
                                       .caption = "Help",
                                       .clientWidth = 5295,
                                       .clientHeight = 6105,
                                       .controls = kHelpControls};

// A dialog written the way the tools' dialogs are: its checks speak through the
// toolkit, OK and Cancel hide it, Help shows a fresh help window modally.
class SampleDialog {
  public:
    explicit SampleDialog(ui::Toolkit& toolkit) : m_toolkit(toolkit) {
        m_window.OnUnload([this] { ++unloads; });
        m_window.Button("cmdOK").OnClick([this] { Accept(); });
        m_window.Button("cmdCancel").OnClick([this] {
            userCancel = true;
            m_window.Hide();
        });
        m_window.Button("cmdHelp").OnClick([this] { ShowHelp(); });
        m_window.ComboBox("cboLyr1").OnClick([this] { FillFields(); });
    }

    void FillInputs() {
        userCancel = true;
        ui::ComboBox& layers = m_window.ComboBox("cboLyr1");
        layers.Clear();
        layers.AddItem("Catchment");
        layers.AddItem("Watershed");
        layers.SetListIndex(0);
    }

    void Run() {
        FillInputs();
        m_toolkit.ShowModal(m_window);
    }

    ui::Window m_window{ui::testing::kSampleLayout};
    std::string sourceLayer;
    std::string sourceField;
    double flashTime = 0.0;
    bool userCancel = true;
    int unloads = 0;
    std::string helpText;

  private:
    void FillFields() {
        ui::ComboBox& fields = m_window.ComboBox("cboFld1");
        fields.Clear();
        fields.AddItem("<None>");
        fields.AddItem(m_window.ComboBox("cboLyr1").Text() + "ID");
        fields.SetListIndex(0);
    }

    void Accept() {
        if (m_window.ComboBox("cboFld1").Text() == "<None>" &&
            m_toolkit.MsgBox("Information needed to identify related features not given.  Only "
                             "source features will be flashed.",
                             MsgButtons::OkCancel) == MsgResult::Cancel) {
            return;
        }
        const std::optional<double> time =
            m_toolkit.ParseNumber(m_window.TextBox("txtSrcFlashTime").Text());
        if (!time) {
            m_toolkit.MsgBox("Please input a number for Source feature flash time");
            return;
        }
        sourceLayer = m_window.ComboBox("cboLyr1").Text();
        sourceField = m_window.ComboBox("cboFld1").Text();
        flashTime = *time;
        userCancel = false;
        m_window.Hide();
    }

    void ShowHelp() {
        ui::Window help(kHelpLayout);
        help.Button("cmdOK").OnClick([&help] { help.Unload(); });
        help.TextBox("txtHelp").SetText("This tool flashes.\r\n\r\nLast Updated - 29 Jan 2003");
        help.SetCaption("Help:  Sample Dialog");
        m_toolkit.ShowModal(help);
        helpText = "shown";
    }

    ui::Toolkit& m_toolkit;
};

class ScriptedUserTest : public ::testing::Test {
  protected:
    // Runs the dialog and returns the ScriptError's message, or fails.
    std::string FailureOf(SampleDialog& dialog) {
        try {
            dialog.Run();
        } catch (const ScriptError& error) {
            return error.what();
        }
        ADD_FAILURE() << "the script did not fail";
        return {};
    }

    ScriptedUser m_user;
    SampleDialog m_dialog{m_user};
};

TEST_F(ScriptedUserTest, APersonsPicksTypingAndOkReachTheForm) {
    m_user.OnShow("frmSample")
        .Pick("cboLyr1", "Watershed")
        .Pick("cboFld1", "WatershedID")
        .Type("txtSrcFlashTime", "0.5")
        .Check("chkFull", 1)
        .Press("cmdOK");
    m_dialog.Run();
    EXPECT_FALSE(m_dialog.userCancel);
    EXPECT_EQ(m_dialog.sourceLayer, "Watershed");
    EXPECT_EQ(m_dialog.sourceField, "WatershedID");
    EXPECT_EQ(m_dialog.flashTime, 0.5);
    EXPECT_TRUE(m_dialog.m_window.CheckBox("chkFull").Checked());
    EXPECT_FALSE(m_dialog.m_window.Visible());
    EXPECT_TRUE(m_dialog.m_window.Loaded());
    ASSERT_EQ(m_user.Shows().size(), 1U);
    EXPECT_EQ(m_user.Shows()[0].caption, "Sample Dialog");
    EXPECT_TRUE(m_user.MessageBoxes().empty());
    EXPECT_NO_THROW(m_user.CheckFinished());
}

TEST_F(ScriptedUserTest, TypingStopsAtTheMaximumLength) {
    m_user.OnShow("frmSample")
        .PickIndex("cboFld1", 1)
        .Type("txtSrcFlashTime", "1.23456")
        .PressEnter();
    m_dialog.Run();
    EXPECT_EQ(m_dialog.m_window.TextBox("txtSrcFlashTime").Text(), "1.234");
    EXPECT_EQ(m_dialog.flashTime, 1.234);
}

TEST_F(ScriptedUserTest, AWindowTheScriptLeavesOpenFailsWithItsCaption) {
    m_user.OnShow("frmSample").Type("txtSrcFlashTime", "2");
    EXPECT_THAT(FailureOf(m_dialog), HasSubstr("window left open: \"Sample Dialog\" (frmSample)"));
    EXPECT_FALSE(m_dialog.m_window.Modal());
}

TEST_F(ScriptedUserTest, AWindowShownWithoutASceneFailsWithItsCaption) {
    m_user.OnShow("frmOther").Press("cmdOK");
    EXPECT_THAT(FailureOf(m_dialog),
                HasSubstr("no scene for window \"Sample Dialog\" (frmSample), shown modally"));
}

TEST_F(ScriptedUserTest, AnUnansweredQuestionFailsQuotingItsText) {
    m_user.OnShow("frmSample").Press("cmdOK");  // cboFld1 shows "<None>": a question
    EXPECT_THAT(FailureOf(m_dialog),
                HasSubstr("no answer for message box \"Information needed to identify related "
                          "features not given.  Only source features will be flashed.\""));
}

TEST_F(ScriptedUserTest, AScriptErrorPassesThroughACommandsErrorTrap) {
    m_user.OnShow("frmSample").Press("cmdOK");
    const auto runInsideTrap = [this] {
        try {
            m_dialog.Run();
        } catch (const velorin::Error& error) {
            m_user.ReportError(error);
        }
    };
    EXPECT_THROW(runInsideTrap(), ScriptError);
    EXPECT_TRUE(m_user.MessageBoxes().empty());
}

TEST_F(ScriptedUserTest, OkOnlyBoxesAreAcknowledgedByThemselvesAndRecorded) {
    m_user.OnShow("frmSample")
        .PickIndex("cboFld1", 1)
        .Type("txtSrcFlashTime", "abc")
        .Press("cmdOK")
        .Type("txtSrcFlashTime", "1")
        .Press("cmdOK");
    m_dialog.Run();
    const std::vector<MessageBoxRecord> boxes = m_user.MessageBoxes();
    ASSERT_EQ(boxes.size(), 1U);
    EXPECT_EQ(boxes[0].text, "Please input a number for Source feature flash time");
    EXPECT_EQ(boxes[0].title, "Velorin");
    EXPECT_EQ(boxes[0].buttons, MsgButtons::OkOnly);
    EXPECT_EQ(boxes[0].icon, MsgIcon::None);
    EXPECT_EQ(boxes[0].answer, MsgResult::Ok);
    EXPECT_EQ(m_dialog.flashTime, 1.0);
}

TEST_F(ScriptedUserTest, AnAnswerMatchedByTextIsUsedOnce) {
    m_user.Answer("Information needed", MsgResult::Cancel);
    m_user.OnShow("frmSample").Press("cmdOK").Press("cmdOK");
    EXPECT_THAT(FailureOf(m_dialog), HasSubstr("no answer for message box \"Information needed"));
    ASSERT_EQ(m_user.MessageBoxes().size(), 1U);
    EXPECT_EQ(m_user.MessageBoxes()[0].answer, MsgResult::Cancel);
}

TEST_F(ScriptedUserTest, AnswersInOrderAndAlwaysAnswersCoverRepeatedQuestions) {
    m_user.AnswerNext(MsgResult::Cancel);
    m_user.AnswerNext(MsgResult::Ok);
    m_user.OnShow("frmSample").Press("cmdOK").Press("cmdOK");
    m_dialog.Run();
    EXPECT_FALSE(m_dialog.userCancel);
    EXPECT_EQ(m_dialog.sourceField, "<None>");

    ScriptedUser user;
    SampleDialog dialog(user);
    user.AnswerAlways("Only source features", MsgResult::Cancel);
    user.OnShow("frmSample").Press("cmdOK").Press("cmdOK").Press("cmdCancel");
    dialog.Run();
    EXPECT_EQ(user.MessageBoxes().size(), 2U);
    EXPECT_TRUE(dialog.userCancel);
}

TEST_F(ScriptedUserTest, CancelForABoxWithoutCancelIsAScriptError) {
    m_user.Answer("Please input a number", MsgResult::Cancel);
    m_user.OnShow("frmSample").PickIndex("cboFld1", 1).Type("txtSrcFlashTime", "x").Press("cmdOK");
    EXPECT_THAT(FailureOf(m_dialog), HasSubstr("which has no Cancel button"));
}

struct ImpossibleAction {
    const char* name;
    std::function<void(ui::Window&)> prepare;
    std::function<void(Scene&)> act;
    const char* complaint;
};

class ScriptedUserImpossible : public ScriptedUserTest,
                               public ::testing::WithParamInterface<ImpossibleAction> {};

TEST_P(ScriptedUserImpossible, FailsNamingTheWindowAndTheControl) {
    Scene& scene = m_user.OnShow("frmSample");
    scene.Do(GetParam().prepare);
    GetParam().act(scene);
    const std::string failure = FailureOf(m_dialog);
    EXPECT_THAT(failure, HasSubstr("window \"Sample Dialog\" (frmSample): "));
    EXPECT_THAT(failure, HasSubstr(GetParam().complaint));
}

INSTANTIATE_TEST_SUITE_P(
    Actions, ScriptedUserImpossible,
    ::testing::Values(
        ImpossibleAction{"PickOfAnEntryNotInTheList", [](ui::Window&) {},
                         [](Scene& s) { s.Pick("cboLyr1", "Waterbody"); },
                         "cboLyr1 has no entry \"Waterbody\"; entries: \"Catchment\", "
                         "\"Watershed\""},
        ImpossibleAction{"PickPastTheEnd", [](ui::Window&) {},
                         [](Scene& s) { s.PickIndex("cboLyr1", 2); }, "cboLyr1 has no entry 2"},
        ImpossibleAction{
            "PressOfADisabledButton", [](ui::Window& w) { w.Button("cmdOK").SetEnabled(false); },
            [](Scene& s) { s.Press("cmdOK"); }, "cmdOK cannot be used: it is disabled"},
        ImpossibleAction{"TypingIntoADisabledBox",
                         [](ui::Window& w) { w.TextBox("txtSrcFlashTime").SetEnabled(false); },
                         [](Scene& s) { s.Type("txtSrcFlashTime", "1"); },
                         "txtSrcFlashTime cannot be used: it is disabled"},
        ImpossibleAction{"PickInADisabledFrame",
                         [](ui::Window& w) { w.Frame("fraSource").SetEnabled(false); },
                         [](Scene& s) { s.Pick("cboLyr1", "Catchment"); },
                         "cboLyr1 cannot be used: its frame is disabled or hidden"},
        ImpossibleAction{"CheckOfAHiddenBox",
                         [](ui::Window& w) { w.CheckBox("chkFull").SetVisible(false); },
                         [](Scene& s) { s.Check("chkFull", 1); }, "it is hidden"},
        ImpossibleAction{"AControlNotInTheWindow", [](ui::Window&) {},
                         [](Scene& s) { s.Press("cmdApply"); }, "no control named \"cmdApply\""},
        ImpossibleAction{"AControlOfAnotherKind", [](ui::Window&) {},
                         [](Scene& s) { s.Pick("cmdOK", "OK"); },
                         "cmdOK is a button, not a drop-down list"},
        ImpossibleAction{"ACheckBoxValueOfTwo", [](ui::Window&) {},
                         [](Scene& s) { s.Check("chkFull", 2); }, "holds 0 or 1, not 2"}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST_F(ScriptedUserTest, AnActionAfterTheWindowClosedFails) {
    m_user.OnShow("frmSample").PickIndex("cboFld1", 1).Press("cmdOK").Type("txtSrcFlashTime", "3");
    EXPECT_THAT(FailureOf(m_dialog),
                HasSubstr("closed before the scene's action 3 (type \"3\" into txtSrcFlashTime)"));
}

TEST_F(ScriptedUserTest, TheCloseBoxUnloadsTheWindowAndTheFormKeepsItsFields) {
    m_user.OnShow("frmSample").PickIndex("cboFld1", 1).Press("cmdOK");
    m_dialog.Run();
    m_user.OnShow("frmSample").Pick("cboLyr1", "Watershed").Close();
    m_dialog.Run();
    EXPECT_EQ(m_dialog.unloads, 1);
    EXPECT_FALSE(m_dialog.m_window.Loaded());
    EXPECT_TRUE(m_dialog.userCancel);
    EXPECT_EQ(m_dialog.sourceLayer, "Catchment");
}

TEST_F(ScriptedUserTest, HelpOpensNestedOverTheDialogWhichThenGoesOn) {
    m_user.OnShow("frmSample").Press("cmdHelp").PickIndex("cboFld1", 1).Press("cmdOK");
    std::string shownText;
    m_user.OnShow("Help:  Sample Dialog")
        .Do([&shownText](ui::Window& help) { shownText = help.TextBox("txtHelp").Text(); })
        .Press("cmdOK");
    m_dialog.Run();
    EXPECT_EQ(shownText, "This tool flashes.\r\n\r\nLast Updated - 29 Jan 2003");
    EXPECT_EQ(m_dialog.helpText, "shown");
    EXPECT_FALSE(m_dialog.userCancel);
    ASSERT_EQ(m_user.Shows().size(), 2U);
    EXPECT_EQ(m_user.Shows()[1].window, "frmHelp");
    EXPECT_NO_THROW(m_user.CheckFinished());
}

TEST_F(ScriptedUserTest, AnErrorRaisedByAHandlerIsReportedInABoxAndTheWindowStaysUp) {
    m_user.OnShow("frmSample")
        .Do([](ui::Window& window) {
            window.ComboBox("cboFld1").OnClick(
                [] { throw velorin::Error(-2147467259, "Unspecified error"); });
        })
        .PickIndex("cboFld1", 1)
        .Press("cmdCancel");
    m_dialog.Run();
    ASSERT_EQ(m_user.MessageBoxes().size(), 1U);
    EXPECT_EQ(m_user.MessageBoxes()[0].text, "Error -2147467259: Unspecified error");
    EXPECT_TRUE(m_dialog.userCancel);
}

TEST(ScriptedUser, SleepingAdvancesTheVirtualClockAndIsRecorded) {
    ScriptedUser user;
    user.Sleep(1500);
    user.Sleep(-5);
    user.DoEvents();
    user.Sleep(2500);
    EXPECT_EQ(user.Now(), 4000);
    const std::vector<SleepRecord> sleeps = user.Sleeps();
    ASSERT_EQ(sleeps.size(), 3U);
    EXPECT_EQ(sleeps[1].milliseconds, 0);
    EXPECT_EQ(sleeps[1].nowAfter, 1500);
    EXPECT_EQ(sleeps[2].nowAfter, 4000);
    EXPECT_EQ(user.DoEventsCount(), 1);
    EXPECT_EQ(user.Transcript(),
              "sleep 1500 ms, clock at 1500 ms\nsleep 0 ms, clock at 1500 ms\n"
              "pending messages processed\nsleep 2500 ms, clock at 4000 ms\n");
}

// Which of `checks` cancel checks take an Esc press, as a string of 0 and 1.
std::string CancelChecks(ScriptedUser& user, int checks) {
    std::string taken;
    for (int i = 0; i < checks; ++i) {
        taken += user.TakeEscPress() ? '1' : '0';
    }
    return taken;
}

TEST(ScriptedUser, EscBeforeTheThirdCancelCheckStopsExactlyThatCheck) {
    ScriptedUser user;
    user.EscBeforeCancelCheck(3);
    EXPECT_EQ(CancelChecks(user, 5), "00100");
    EXPECT_NO_THROW(user.CheckFinished());
}

TEST(ScriptedUser, EscDuringASleepIsTakenByTheNextCancelCheckOnly) {
    ScriptedUser user;
    user.EscDuringSleep(2);
    user.Sleep(10);
    EXPECT_EQ(CancelChecks(user, 1), "0");
    user.Sleep(10);
    EXPECT_EQ(CancelChecks(user, 2), "10");
}

TEST(ScriptedUser, EscWhenAStatusTextAppearsFiresTheFirstTimeOnly) {
    ScriptedUser user;
    user.EscWhenStatus("Zooming to Source Feature OID = 4 ..Hit Esc to Pause");
    user.NoteStatusText("Zooming to Source Feature OID = 3 ..Hit Esc to Pause");
    EXPECT_EQ(CancelChecks(user, 1), "0");
    user.NoteStatusText("Zooming to Source Feature OID = 4 ..Hit Esc to Pause");
    user.NoteStatusText("Zooming to Source Feature OID = 4 ..Hit Esc to Pause");
    EXPECT_EQ(CancelChecks(user, 2), "10");
    EXPECT_EQ(user.StatusTexts().size(), 3U);
}

TEST(ScriptedUser, EachEscPressIsTakenByExactlyOneCheck) {
    ScriptedUser user;
    user.PressEsc();
    user.PressEsc();
    EXPECT_EQ(user.PendingEscPresses(), 2);
    EXPECT_EQ(CancelChecks(user, 3), "110");
    EXPECT_EQ(user.CancelChecks(), 3);
}

TEST(ScriptedUser, CheckFinishedListsWhatTheProgramNeverAskedFor) {
    ScriptedUser user;
    user.OnShow("frmHelp").Press("cmdOK");
    user.Answer("Paused", MsgResult::Cancel);
    user.AnswerNext(MsgResult::Ok);
    user.EscDuringSleep(4);
    user.EscWhenStatus("never");
    user.PressEsc();
    try {
        user.CheckFinished();
        FAIL() << "nothing listed";
    } catch (const ScriptError& error) {
        const std::string message = error.what();
        EXPECT_THAT(message, HasSubstr("scene for \"frmHelp\" never played"));
        EXPECT_THAT(message, HasSubstr("answer Cancel for \"Paused\" never given"));
        EXPECT_THAT(message, HasSubstr("queued answer OK never given"));
        EXPECT_THAT(message, HasSubstr("Esc during sleep 4 never pressed (0 sleeps)"));
        EXPECT_THAT(message, HasSubstr("Esc at status \"never\" never pressed"));
        EXPECT_THAT(message, HasSubstr("1 Esc press(es) never taken"));
    }
}

TEST_F(ScriptedUserTest, AListenerSeesEachEventAsItIsRecorded) {
    std::vector<std::string> heard;
    m_user.OnEvent([&heard](const Event& event) { heard.push_back(Describe(event)); });
    m_user.OnShow("frmSample")
        .Type("txtSrcFlashTime", "x")
        .PickIndex("cboFld1", 1)
        .PressEnter()
        .Press("cmdCancel");
    m_user.OnShow("frmSample").Press("cmdCancel");
    m_dialog.Run();
    ASSERT_EQ(heard.size(), 2U);
    EXPECT_EQ(heard[0], "window \"Sample Dialog\" (frmSample) shown modally");
    EXPECT_EQ(heard[1],
              "message box \"Please input a number for Source feature flash time\" titled "
              "\"Velorin\" [OK] answered OK");
    EXPECT_THROW(m_user.CheckFinished(), ScriptError);  // the second scene never played
}

TEST(ScriptedUser, NumbersReadAndWriteLikeTheCLocale) {
    ScriptedUser user;
    EXPECT_EQ(user.ParseNumber(" 1.5 "), 1.5);
    EXPECT_FALSE(user.ParseNumber("1,5").has_value());
    EXPECT_FALSE(user.ParseNumber("inf").has_value());
    EXPECT_EQ(user.FormatNumber(0.1 + 0.2), "0.3");
    EXPECT_EQ(user.FormatNumber(300), "300");
}

}  // namespace
}  // namespace velorin::scripted
