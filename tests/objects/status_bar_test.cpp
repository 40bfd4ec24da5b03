#include "platform/objects/status_bar.h"

#include <gtest/gtest.h>

#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "host/codes.h"
#include "host/error.h"
#include "platform/objects/cancel_tracker.h"

namespace velorin::objects {
namespace {

class StatusBarTest : public ::testing::Test {
  protected:
    std::shared_ptr<HostContext> m_context = std::make_shared<HostContext>();
    StatusBar m_bar{m_context};
};

TEST_F(StatusBarTest, MessagePaneTextsAreRecordedAndAnnounced) {
    std::vector<std::string> heard;
    m_context->hooks.statusChanged = [&](std::string_view text) { heard.emplace_back(text); };
    m_bar.SetMessage(0, "Zooming to Source Feature OID = 3 ..Hit Esc to Pause");
    m_bar.SetMessage(2, "other pane");
    m_bar.SetMessage(0, "");
    EXPECT_EQ(m_bar.Message(0), "");
    EXPECT_EQ(m_bar.Message(2), "other pane");
    const std::vector<std::string> expected{"Zooming to Source Feature OID = 3 ..Hit Esc to Pause",
                                            ""};
    EXPECT_EQ(m_context->record.statusTexts, expected);
    EXPECT_EQ(heard, expected);
}

TEST_F(StatusBarTest, PaneOutOfRangeRaises) {
    EXPECT_THROW(m_bar.SetMessage(-1, "x"), Error);
    EXPECT_THROW(m_bar.SetMessage(StatusBar::PaneCount, "x"), Error);
    EXPECT_THROW(m_bar.Message(StatusBar::PaneCount), Error);
    EXPECT_TRUE(m_context->record.statusTexts.empty());
}

TEST_F(StatusBarTest, ProgressBarIsOneObjectThatRecordsItsStates) {
    m_context->recordProgress = true;
    auto bar = m_bar.ProgressBar();
    EXPECT_EQ(bar, m_bar.ProgressBar());
    int changes = 0;
    m_context->hooks.progressChanged = [&] { ++changes; };
    bar->SetMinRange(0);
    bar->SetMaxRange(3);
    bar->SetPosition(0);
    bar->SetStepValue(1);
    bar->Show();
    for (int i = 1; i <= 3; ++i) {
        bar->SetMessage("Processing feature " + std::to_string(i) + " of 3...Hit Esc to Cancel");
        bar->Step();
    }
    bar->Hide();
    EXPECT_FALSE(m_bar.Progressor()->Shown());
    EXPECT_EQ(bar->Position(), 3);

    const auto& progress = m_context->record.progress;
    ASSERT_EQ(progress.size(), 11u);
    EXPECT_EQ(progress[3].event, "Show");
    EXPECT_EQ(progress[5].event, "Step");
    EXPECT_EQ(progress[5].position, 1);
    EXPECT_EQ(progress[5].message, "Processing feature 1 of 3...Hit Esc to Cancel");
    EXPECT_EQ(progress.back().event, "Hide");
    EXPECT_EQ(changes, 11);
}

// The record is a test facility: off unless a test asks for it.
TEST_F(StatusBarTest, UnlessAskedNoProgressIsRecordedYetTheBarMovesAndAnnounces) {
    int changes = 0;
    m_context->hooks.progressChanged = [&] { ++changes; };
    auto bar = m_bar.ProgressBar();
    bar->SetMaxRange(2);
    bar->SetMessage("Processing feature 1 of 2...Hit Esc to Cancel");
    bar->Step();
    EXPECT_EQ(bar->Position(), 1);
    EXPECT_EQ(bar->Message(), "Processing feature 1 of 2...Hit Esc to Cancel");
    EXPECT_EQ(changes, 3);
    EXPECT_TRUE(m_context->record.progress.empty());
}

TEST_F(StatusBarTest, PositionStaysWithinTheRange) {
    auto bar = m_bar.ProgressBar();
    bar->SetMaxRange(2);
    bar->SetStepValue(5);
    bar->Step();
    EXPECT_EQ(bar->Position(), 2);
    bar->SetPosition(-10);
    EXPECT_EQ(bar->Position(), 0);
    bar->SetMaxRange(std::numeric_limits<std::int32_t>::max());
    bar->SetPosition(std::numeric_limits<std::int32_t>::max() - 1);
    bar->Step();  // would wrap around in 32 bits
    EXPECT_EQ(bar->Position(), std::numeric_limits<std::int32_t>::max());
    // A feature class of no features gives a range of 0 to 0.
    bar->SetMaxRange(0);
    bar->SetStepValue(1);
    bar->Step();
    EXPECT_EQ(bar->Position(), 0);
}

// One Esc, two trackers (the engine's and the feature's): the press is reported
// once, to whichever asks first, and never again.
TEST(CancelTrackerTest, OneEscIsReportedOnceAcrossTrackers) {
    auto context = std::make_shared<HostContext>();
    int pendingPresses = 0;
    context->hooks.takeEscPress = [&] {
        if (pendingPresses == 0) return false;
        --pendingPresses;
        return true;
    };
    CancelTracker engine(context);
    CancelTracker feature(context);

    EXPECT_TRUE(engine.Continue());
    EXPECT_TRUE(feature.Continue());
    pendingPresses = 1;
    EXPECT_FALSE(feature.Continue());
    EXPECT_TRUE(engine.Continue());
    EXPECT_TRUE(feature.Continue());

    pendingPresses = 2;  // two presses: two pauses
    EXPECT_FALSE(engine.Continue());
    EXPECT_FALSE(feature.Continue());
    EXPECT_TRUE(engine.Continue());
}

TEST(CancelTrackerTest, WithoutAToolkitEscIsNeverPressed) {
    auto context = std::make_shared<HostContext>();
    CancelTracker tracker(context);
    EXPECT_TRUE(tracker.Continue());
}

TEST(CancelTrackerTest, InjectedFaultSurfacesWithItsCode) {
    auto context = std::make_shared<HostContext>();
    context->faults.FailAt("ITrackCancel::Continue", 2, host::E_HOST_FAIL, "tracker gone");
    CancelTracker tracker(context);
    EXPECT_TRUE(tracker.Continue());
    try {
        tracker.Continue();
        FAIL();
    } catch (const Error& error) {
        EXPECT_EQ(error.Number(), host::E_HOST_FAIL);
        EXPECT_EQ(error.Description(), "tracker gone");
    }
}

}  // namespace
}  // namespace velorin::objects
