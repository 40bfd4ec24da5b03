#pragma once

#include <cstdint>
#include <string>

#include "ui/control.h"

namespace velorin::ui {

// A text box. Texts are UTF-8; lengths count characters (code points), a line
// break of carriage return and line feed counting as two.
class TextBox : public Control {
  public:
    static constexpr ControlKind kKind = ControlKind::TextBox;
    TextBox(Window& window, const ControlLayout& layout);

    const std::string& Text() const { return m_text; }
    // Sets the text, keeping only the first MaxLength() characters when a maximum
    // is set, as a person typing would be stopped there. A code point is never
    // split.
    void SetText(std::string text);

    // 0 means no limit. Lowering the maximum keeps a longer text already there;
    // the limit applies to the next text. Negative raises invalid property value (380).
    std::int32_t MaxLength() const { return m_maxLength; }
    void SetMaxLength(std::int32_t maxLength);

    Alignment TextAlignment() const { return m_alignment; }
    void SetTextAlignment(Alignment alignment);
    bool MultiLine() const { return m_multiLine; }
    bool VerticalScrollBar() const { return m_verticalScrollBar; }

  protected:
    void ResetKindState() override;

  private:
    const std::string m_declaredText;
    const std::int32_t m_declaredMaxLength;
    const Alignment m_declaredAlignment;
    const bool m_multiLine;
    const bool m_verticalScrollBar;

    std::string m_text;
    std::int32_t m_maxLength;
    Alignment m_alignment;
};

// The first `maxCharacters` characters (code points) of UTF-8 `text`; the whole
// text when it is shorter or `maxCharacters` is 0. Bytes that are not valid UTF-8
// count as one character each, so any input is cut somewhere sane.
std::string KeepFirstCharacters(std::string text, std::int32_t maxCharacters);

}  // namespace velorin::ui
