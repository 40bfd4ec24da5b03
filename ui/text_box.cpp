#include "ui/text_box.h"

#include <algorithm>
#include <utility>

#include "ui/runtime_error.h"

namespace velorin::ui {

namespace {

bool IsContinuationByte(unsigned char byte) { return (byte & 0xC0U) == 0x80U; }

// The length in bytes of the character starting at `position`: a well-formed
// sequence of up to four bytes, or one byte for anything malformed.
std::size_t CharacterLength(const std::string& text, std::size_t position) {
    const auto lead = static_cast<unsigned char>(text[position]);
    std::size_t length = 1;
    if (lead >= 0xF0U && lead <= 0xF4U) {
        length = 4;
    } else if (lead >= 0xE0U) {
        length = lead <= 0xEFU ? 3 : 1;
    } else if (lead >= 0xC2U) {
        length = 2;
    }
    if (position + length > text.size()) {
        return 1;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if (!IsContinuationByte(static_cast<unsigned char>(text[position + i]))) {
            return 1;
        }
    }
    return length;
}

}  // namespace

std::string KeepFirstCharacters(std::string text, std::int32_t maxCharacters) {
    if (maxCharacters <= 0) {
        return text;
    }
    std::size_t position = 0;
    for (std::int32_t characters = 0; characters < maxCharacters && position < text.size();
         ++characters) {
        position += CharacterLength(text, position);
    }
    text.resize(std::min(position, text.size()));
    return text;
}

TextBox::TextBox(Window& window, const ControlLayout& layout)
    : Control(window, layout),
      m_declaredText(KeepFirstCharacters(std::string(layout.caption), layout.settings.maxLength)),
      m_declaredMaxLength(layout.settings.maxLength),
      m_declaredAlignment(layout.settings.alignment),
      m_multiLine(layout.settings.multiLine),
      m_verticalScrollBar(layout.settings.verticalScrollBar),
      m_text(m_declaredText),
      m_maxLength(m_declaredMaxLength),
      m_alignment(m_declaredAlignment) {}

void TextBox::SetText(std::string text) {
    Touch();
    m_text = KeepFirstCharacters(std::move(text), m_maxLength);
    Notify(ControlChange::Text);
}

void TextBox::SetMaxLength(std::int32_t maxLength) {
    if (maxLength < 0) {
        RaiseRuntimeError(kErrInvalidPropertyValue, QualifiedName() + ".MaxLength");
    }
    Touch();
    m_maxLength = maxLength;
    Notify(ControlChange::MaxLength);
}

void TextBox::SetTextAlignment(Alignment alignment) {
    Touch();
    m_alignment = alignment;
    Notify(ControlChange::Alignment);
}

void TextBox::ResetKindState() {
    m_text = m_declaredText;
    m_maxLength = m_declaredMaxLength;
    m_alignment = m_declaredAlignment;
}

}  // namespace velorin::ui
