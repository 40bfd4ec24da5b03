#include "ui/text_box.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/ui/sample_layout.h"
#include "ui/runtime_error.h"
#include "ui/window.h"

namespace velorin::ui {
namespace {

class TextBoxTest : public ::testing::Test {
  protected:
    Window m_window{testing::kSampleLayout};
    TextBox& m_box = m_window.TextBox("txtSrcFlashTime");  // at most 5 characters
};

TEST_F(TextBoxTest, ATextLongerThanTheMaximumKeepsItsFirstCharacters) {
    m_box.SetText("32.7675");
    EXPECT_EQ(m_box.Text(), "32.76");
}

TEST_F(TextBoxTest, ATextOfExactlyTheMaximumIsKeptWhole) {
    m_box.SetText("0.001");
    EXPECT_EQ(m_box.Text(), "0.001");
}

TEST_F(TextBoxTest, TheMaximumCountsCharactersAndNeverSplitsOne) {
    m_box.SetText(
        "\xC3\xA4\xC3\xB6\xC3\xBC\xC3\x9F\xE2\x82\xAC\xF0\x9F\x97\xBA");  // äöüß€🗺
    EXPECT_EQ(m_box.Text(), "\xC3\xA4\xC3\xB6\xC3\xBC\xC3\x9F\xE2\x82\xAC");
}

TEST_F(TextBoxTest, ZeroMeansNoLimitAndLoweringTheLimitKeepsTheTextThere) {
    m_box.SetMaxLength(0);
    m_box.SetText("123456789");
    EXPECT_EQ(m_box.Text(), "123456789");
    m_box.SetMaxLength(3);
    EXPECT_EQ(m_box.Text(), "123456789");
    m_box.SetText("abcdef");
    EXPECT_EQ(m_box.Text(), "abc");
}

TEST(KeepFirstCharacters, CutsMalformedUtf8SomewhereSaneWithoutReadingPastTheEnd) {
    // A lone lead byte and stray continuation bytes: each counts as one character.
    EXPECT_EQ(KeepFirstCharacters("\xC3", 1), "\xC3");
    EXPECT_EQ(KeepFirstCharacters("a\xC3z", 2), "a\xC3");
    EXPECT_EQ(KeepFirstCharacters("\x80\x80xy", 3), "\x80\x80x");
    EXPECT_EQ(KeepFirstCharacters("\xE2\x82x", 2), "\xE2\x82");  // a sequence cut short
    EXPECT_EQ(KeepFirstCharacters("", 3), "");
}

TEST(KeepFirstCharacters, CountsALineBreakOfCarriageReturnAndLineFeedAsTwo) {
    EXPECT_EQ(KeepFirstCharacters("a\r\nb", 2), "a\r");
}

TEST(TextBoxLayout, AnInitialTextLongerThanTheMaximumIsCutToo) {
    constexpr ControlLayout rows[] = {{.name = "txtShort",
                                       .kind = ControlKind::TextBox,
                                       .caption = "123456",
                                       .settings = {.maxLength = 2}}};
    Window window(WindowLayout{.name = "frmShort", .controls = rows});
    EXPECT_EQ(window.TextBox("txtShort").Text(), "12");
    window.TextBox("txtShort").SetText("x");
    window.Unload();
    EXPECT_EQ(window.TextBox("txtShort").Text(), "12");
}

}  // namespace
}  // namespace velorin::ui
