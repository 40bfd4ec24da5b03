#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "ui/control.h"
#include "ui/event.h"

namespace velorin::ui {

// A drop-down list: a person can only pick one of its entries, never type. Counts
// and indices are 16-bit, the first entry has index 0, and -1 means no current
// entry. Index arguments are plain ints so that nothing wraps on the way in: a
// value outside 16 bits raises overflow (6), as converting it would.
class ComboBox : public Control {
  public:
    static constexpr ControlKind kKind = ControlKind::ComboBox;
    using Control::Control;

    // Removes every entry; no current entry remains. Click does not fire.
    void Clear();
    // Appends an entry. A list already holding 32767 entries raises overflow (6).
    void AddItem(std::string text);
    // Inserts an entry at `index` (0..ListCount()). Inserting at or before the
    // current entry moves the current index up by one, so the current text stays;
    // Click does not fire. An index out of range raises invalid procedure call (5).
    void AddItem(std::string text, int index);

    std::int16_t ListCount() const { return static_cast<std::int16_t>(m_items.size()); }
    // The entry at `index`; out of range raises invalid property array index (381).
    const std::string& List(int index) const;
    const std::vector<std::string>& Items() const { return m_items; }

    std::int16_t ListIndex() const { return m_listIndex; }
    // Makes entry `index` current and fires Click, every time, also when it was
    // current already: the program's selection and a person's pick are the same
    // event. -1 leaves no entry current and fires nothing. Any other index outside
    // the list raises invalid property value (380).
    void SetListIndex(int index);
    // The current entry's text, or empty when there is none.
    std::string Text() const;
    // The index of the first entry equal to `text` (exact, case-sensitive), or -1.
    std::int16_t FindItem(std::string_view text) const;

    void OnClick(std::function<void()> handler) { m_click.Set(std::move(handler)); }

  protected:
    void ResetKindState() override;

  private:
    std::vector<std::string> m_items;
    std::int16_t m_listIndex = -1;
    Event m_click;
};

}  // namespace velorin::ui
