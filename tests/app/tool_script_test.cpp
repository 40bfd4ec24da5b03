#include "app/tool_script.h"

#include <gtest/gtest.h>

namespace velorin::app {
namespace {

scripted::MessageBoxRecord Box(std::string text, ui::MsgIcon icon = ui::MsgIcon::None,
                               std::string title = "Velorin",
                               ui::MsgResult answer = ui::MsgResult::Ok) {
    return {std::move(text), std::move(title),
            answer == ui::MsgResult::Cancel ? ui::MsgButtons::OkCancel : ui::MsgButtons::OkOnly,
            icon, answer};
}

TEST(ErrorBox, IsTheTrapsErrorNumberAndDescriptionOnly) {
    EXPECT_TRUE(IsErrorBox(Box("Error 2021: Symbol type must be simple")));
    EXPECT_TRUE(IsErrorBox(Box("Error -2147467259: Unspecified error")));
    EXPECT_FALSE(IsErrorBox(Box("Errors were found")));
    EXPECT_FALSE(IsErrorBox(Box("Error : no number")));
    EXPECT_FALSE(IsErrorBox(Box("Error 13")));
    EXPECT_FALSE(IsErrorBox(Box("Error 13 happened: later")));
}

struct Ending {
    const char* name;
    Tool tool;
    DialogReport dialog;
    std::vector<scripted::MessageBoxRecord> boxes;
    int exitStatus;
};

void PrintTo(const Ending& ending, std::ostream* os) { *os << ending.name; }

class RunEnding : public ::testing::TestWithParam<Ending> {};

TEST_P(RunEnding, GivesItsExitStatus) {
    const Ending& ending = GetParam();
    const RunOutcome outcome = JudgeRun(ending.tool, ending.dialog, ending.boxes);
    EXPECT_EQ(outcome.exitStatus, ending.exitStatus) << outcome.summary;
    EXPECT_FALSE(outcome.summary.empty());
}

const DialogReport kAccepted{true, false};
const auto kZoomFlashDone = Box("Finished with Zoom and Flash Operation");

INSTANTIATE_TEST_SUITE_P(
    Boxes, RunEnding,
    ::testing::Values(
        Ending{"Finished", Tool::ZoomFlash, kAccepted, {kZoomFlashDone}, kExitFinished},
        Ending{"PausedAndGoneOn",
               Tool::ZoomFlash,
               kAccepted,
               {Box("Paused at Catchment OID = 7.  Click OK to continue.", ui::MsgIcon::None,
                    "Paused"),
                kZoomFlashDone},
               kExitFinished},
        // The engine stops at Cancel in a pause and still says it finished.
        Ending{"StoppedAtAPause",
               Tool::ZoomFlash,
               kAccepted,
               {Box("Paused at Catchment OID = 7.  Click OK to continue.", ui::MsgIcon::None,
                    "Paused", ui::MsgResult::Cancel),
                kZoomFlashDone},
               kExitStopped},
        // The engine refuses a layer and still says it finished.
        Ending{"RefusedByTheEngine",
               Tool::ZoomFlash,
               kAccepted,
               {Box("Could not find Rivers", ui::MsgIcon::Critical), kZoomFlashDone},
               kExitStopped},
        Ending{"RefusedByTheDialog",
               Tool::ZoomFlash,
               {true, true},
               {Box("Please select a Zoom Method")},
               kExitStopped},
        Ending{"DialogNeverShown", Tool::CopyLegend, {false, false}, {}, kExitStopped},
        Ending{"CancelledSilently", Tool::CopyLegend, kAccepted, {}, kExitStopped},
        Ending{"OtherToolsCompletion", Tool::CopyLegend, kAccepted, {kZoomFlashDone}, kExitStopped},
        Ending{"ErrorBox",
               Tool::CopyLegend,
               kAccepted,
               {Box("Error 2021: Symbol type must be simple")},
               kExitFailed}));

}  // namespace
}  // namespace velorin::app
