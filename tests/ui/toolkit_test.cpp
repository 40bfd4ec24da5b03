#include "ui/toolkit.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <vector>

#include "tests/ui/sample_layout.h"
#include "ui/numbers.h"
#include "ui/runtime_error.h"
#include "ui/window.h"

namespace velorin::ui {
namespace {

// A toolkit whose modal loop runs one step of the test's choosing and whose boxes
// answer what the test says, recording what reached the virtual parts.
class FakeToolkit : public Toolkit {
  public:
    void DoEvents() override {}
    std::optional<double> ParseNumber(std::string_view text) override { return ParseCNumber(text); }
    std::string FormatNumber(double value) override { return FormatGeneral15(value); }
    bool TakeEscPress() override { return false; }

    std::function<void(Window&)> modalStep;
    std::vector<MessageBoxRequest> boxes;
    MsgResult boxAnswer = MsgResult::Cancel;
    std::vector<std::int32_t> sleeps;
    bool sawModal = false;

  protected:
    void RunModal(Window& window) override {
        sawModal = window.Modal() && window.Visible() && window.Loaded();
        if (modalStep) {
            modalStep(window);
        }
    }
    MsgResult ShowMessageBox(const MessageBoxRequest& request) override {
        boxes.push_back(request);
        return boxAnswer;
    }
    void SleepFor(std::int32_t milliseconds) override { sleeps.push_back(milliseconds); }
};

TEST(Toolkit, AMessageBoxWithoutTitleCarriesTheLibraryName) {
    FakeToolkit toolkit;
    toolkit.MsgBox("Source Layer not specified");
    toolkit.MsgBox("Paused at A OID = 1.  Click OK to continue.", MsgButtons::OkCancel,
                   MsgIcon::None, "Paused");
    ASSERT_EQ(toolkit.boxes.size(), 2U);
    EXPECT_EQ(toolkit.boxes[0].title, "Velorin");
    EXPECT_EQ(toolkit.boxes[0].buttons, MsgButtons::OkOnly);
    EXPECT_EQ(toolkit.boxes[0].icon, MsgIcon::None);
    EXPECT_EQ(toolkit.boxes[1].title, "Paused");
}

TEST(Toolkit, AnOkOnlyBoxAlwaysGivesOkAndAnOkCancelBoxGivesTheAnswer) {
    FakeToolkit toolkit;  // its boxes answer Cancel, as a box closed by its close box
    EXPECT_EQ(toolkit.MsgBox("Could not find A", MsgButtons::OkOnly, MsgIcon::Critical),
              MsgResult::Ok);
    EXPECT_EQ(toolkit.MsgBox("Information needed", MsgButtons::OkCancel), MsgResult::Cancel);
}

TEST(Toolkit, ReportErrorShowsTheErrorsNumberAndDescription) {
    FakeToolkit toolkit;
    toolkit.ReportError(velorin::Error(-2147467259, "Unspecified error"));
    ASSERT_EQ(toolkit.boxes.size(), 1U);
    EXPECT_EQ(toolkit.boxes[0].text, "Error -2147467259: Unspecified error");
    EXPECT_EQ(toolkit.boxes[0].title, "Velorin");
}

TEST(Toolkit, ANegativeSleepNeverBlocks) {
    FakeToolkit toolkit;
    toolkit.Sleep(-1);
    toolkit.Sleep(-32768);
    toolkit.Sleep(1500);
    EXPECT_EQ(toolkit.sleeps, (std::vector<std::int32_t>{0, 0, 1500}));
}

TEST(Toolkit, ShowModalLoadsAndShowsTheWindowAndReturnsWhenItHides) {
    FakeToolkit toolkit;
    Window window(testing::kSampleLayout);
    int loads = 0;
    window.OnLoad([&] { ++loads; });
    toolkit.modalStep = [](Window& shown) { shown.Hide(); };
    toolkit.ShowModal(window);
    EXPECT_TRUE(toolkit.sawModal);
    EXPECT_EQ(loads, 1);
    EXPECT_TRUE(window.Loaded());
    EXPECT_FALSE(window.Visible());
    EXPECT_FALSE(window.Modal());
}

TEST(Toolkit, ShowModalReturnsWhenTheWindowUnloads) {
    FakeToolkit toolkit;
    Window window(testing::kSampleLayout);
    toolkit.modalStep = [](Window& shown) { shown.Unload(); };
    toolkit.ShowModal(window);
    EXPECT_FALSE(window.Loaded());
    EXPECT_FALSE(window.Modal());
    // Shown again after the close box: loads afresh.
    toolkit.modalStep = [](Window& shown) { shown.Hide(); };
    toolkit.ShowModal(window);
    EXPECT_TRUE(window.Loaded());
}

TEST(Toolkit, AWindowAlreadyShownCannotBeShownModally) {
    FakeToolkit toolkit;
    Window window(testing::kSampleLayout);
    window.Show();
    try {
        toolkit.ShowModal(window);
        FAIL() << "no error";
    } catch (const velorin::Error& error) {
        EXPECT_EQ(error.Number(), kErrCannotShowModally);
    }
    EXPECT_FALSE(window.Modal());
}

TEST(Toolkit, AWindowHiddenByItsLoadHandlerIsNotRunModally) {
    FakeToolkit toolkit;
    Window window(testing::kSampleLayout);
    window.OnLoad([&] { window.Unload(); });
    toolkit.ShowModal(window);
    EXPECT_FALSE(toolkit.sawModal);
    EXPECT_FALSE(window.Modal());
}

TEST(Toolkit, TheWindowIsNoLongerModalWhenTheLoopFails) {
    FakeToolkit toolkit;
    Window window(testing::kSampleLayout);
    toolkit.modalStep = [](Window&) { throw std::logic_error("script failed"); };
    EXPECT_THROW(toolkit.ShowModal(window), std::logic_error);
    EXPECT_FALSE(window.Modal());
}

}  // namespace
}  // namespace velorin::ui
