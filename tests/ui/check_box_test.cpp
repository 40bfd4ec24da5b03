#include "ui/check_box.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/ui/sample_layout.h"
#include "ui/runtime_error.h"
#include "ui/window.h"

namespace velorin::ui {
namespace {

class CheckBoxTest : public ::testing::Test {
  protected:
    CheckBoxTest() {
        m_check.OnClick([this] { m_seen.push_back(m_check.Value()); });
    }

    Window m_window{testing::kSampleLayout};
    CheckBox& m_check = m_window.CheckBox("chkFull");
    std::vector<int> m_seen;  // the value each Click handler saw
};

TEST_F(CheckBoxTest, ClickFiresOnEveryChangeAndSeesTheNewValue) {
    m_check.SetValue(1);
    m_check.SetValue(0);
    m_check.SetValue(1);
    EXPECT_EQ(m_seen, (std::vector<int>{1, 0, 1}));
    EXPECT_TRUE(m_check.Checked());
}

TEST_F(CheckBoxTest, SettingTheValueItAlreadyHasFiresNothing) {
    m_check.SetValue(0);
    m_check.SetValue(1);
    m_check.SetValue(1);
    EXPECT_EQ(m_seen, (std::vector<int>{1}));
}

TEST_F(CheckBoxTest, AValueOtherThanZeroOrOneIsRefusedAndChangesNothing) {
    m_check.SetValue(1);
    try {
        m_check.SetValue(2);
        FAIL() << "no error";
    } catch (const velorin::Error& error) {
        EXPECT_EQ(error.Number(), kErrInvalidPropertyValue);
    }
    EXPECT_EQ(m_check.Value(), 1);
    EXPECT_EQ(m_seen, (std::vector<int>{1}));
}

TEST(CommandButton, ClickRunsTheHandlerAndTheLayoutSaysWhichButtonEnterPresses) {
    Window window(testing::kSampleLayout);
    int okPresses = 0;
    window.Button("cmdOK").OnClick([&] { ++okPresses; });
    window.Button("cmdOK").Click();
    EXPECT_EQ(okPresses, 1);
    EXPECT_TRUE(window.Button("cmdOK").Default());
    EXPECT_FALSE(window.Button("cmdCancel").Default());
    EXPECT_FALSE(window.Button("cmdCancel").Cancel()) << "Cancel is not bound to Esc";
}

}  // namespace
}  // namespace velorin::ui
