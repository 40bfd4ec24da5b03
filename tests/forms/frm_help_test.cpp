#include "forms/frm_help.h"

#include <gtest/gtest.h>

#include <string_view>

#include "platform/scripted/scripted_user.h"
#include "ui/current_toolkit.h"

namespace velorin::forms {
namespace {

class HelpWindow : public ::testing::Test {
  protected:
    scripted::ScriptedUser m_user;
    ui::ToolkitScope m_scope{m_user};
};

TEST_F(HelpWindow, ShowsTheCallersTextAndCaptionWithOkFocusedAndClosesOnOk) {
    bool seen = false;
    m_user.OnShow("Help:  Test")
        .Do([&](ui::Window& window) {
            seen = true;
            EXPECT_EQ(window.Name(), "frmHelp");
            EXPECT_EQ(window.TextBox("txtHelp").Text(), "one\r\n\r\ntwo");
            EXPECT_EQ(window.Button("cmdOK").TabIndex(), 0);
            EXPECT_EQ(window.TextBox("txtHelp").TabIndex(), 1);
            EXPECT_TRUE(window.TextBox("txtHelp").MultiLine());
        })
        .Press("cmdOK");

    constexpr std::string_view kParagraphs[] = {"one", "two"};
    ShowHelpWindow("Help:  Test", JoinHelpParagraphs(kParagraphs));

    EXPECT_TRUE(seen);
    m_user.CheckFinished();
}

TEST_F(HelpWindow, EveryShowingStartsFromAFreshWindow) {
    // The first showing is closed with the close box, the second with Esc; each
    // must come up with its own caption and text, nothing carried over.
    m_user.OnShow("Help:  First").Close();
    m_user.OnShow("Help:  Second").Do([](ui::Window& window) {
        EXPECT_EQ(window.TextBox("txtHelp").Text(), "second");
        window.PressEsc();
    });

    ShowHelpWindow("Help:  First", "first");
    ShowHelpWindow("Help:  Second", "second");

    ASSERT_EQ(m_user.Shows().size(), 2U);
    m_user.CheckFinished();
}

TEST(HelpParagraphs, AreSeparatedByAnEmptyLineWithNothingAfterTheLast) {
    constexpr std::string_view kOne[] = {"only"};
    constexpr std::string_view kThree[] = {"a", "b", "c"};
    EXPECT_EQ(JoinHelpParagraphs(kOne), "only");
    EXPECT_EQ(JoinHelpParagraphs(kThree), "a\r\n\r\nb\r\n\r\nc");
}

}  // namespace
}  // namespace velorin::forms
