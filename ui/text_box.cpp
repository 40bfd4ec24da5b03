#include "ui/text_box.h"

#include <utility>

#include "ui/runtime_error.h"

namespace velorin::ui {

namespace {

bool IsContinuationByte(char c) { return (static_cast<unsigned char>(c) & 0xC0U) == 0x80U; }

}  // namespace

std::string KeepFirstCharacters(std::string text, std::int32_t maxCharacters) {
    if (maxCharacters <= 0) {
        return text;
    }
    std::int32_t characters = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (IsContinuationByte(text[i])) {
            continue;
        }
        if (characters == maxCharacters) {
            text.resize(i);
            break;
        }
        ++characters;
    }
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
