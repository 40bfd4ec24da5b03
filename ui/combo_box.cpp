#include "ui/combo_box.h"

#include <algorithm>
#include <limits>
#include <utility>

#include "ui/runtime_error.h"

namespace velorin::ui {

namespace {

constexpr int kMaxEntries = std::numeric_limits<std::int16_t>::max();

void RequireInt16(int value) {
    if (value < std::numeric_limits<std::int16_t>::min() ||
        value > std::numeric_limits<std::int16_t>::max()) {
        RaiseOverflow();
    }
}

}  // namespace

void ComboBox::Clear() {
    Touch();
    m_items.clear();
    m_listIndex = -1;
    Notify(ControlChange::Items);
    Notify(ControlChange::ListIndex);
}

void ComboBox::AddItem(std::string text) {
    if (m_items.size() >= static_cast<std::size_t>(kMaxEntries)) {
        RaiseOverflow();
    }
    Touch();
    m_items.push_back(std::move(text));
    Notify(ControlChange::Items);
}

void ComboBox::AddItem(std::string text, int index) {
    RequireInt16(index);
    if (index < 0 || index > ListCount()) {
        RaiseRuntimeError(kErrInvalidProcedureCall, QualifiedName() + ".AddItem index");
    }
    if (m_items.size() >= static_cast<std::size_t>(kMaxEntries)) {
        RaiseOverflow();
    }
    Touch();
    m_items.insert(m_items.begin() + index, std::move(text));
    Notify(ControlChange::Items);
    if (m_listIndex >= 0 && index <= m_listIndex) {
        ++m_listIndex;
        Notify(ControlChange::ListIndex);
    }
}

const std::string& ComboBox::List(int index) const {
    RequireInt16(index);
    if (index < 0 || index >= ListCount()) {
        RaiseRuntimeError(kErrInvalidPropertyArrayIndex, QualifiedName() + ".List");
    }
    return m_items[static_cast<std::size_t>(index)];
}

void ComboBox::SetListIndex(int index) {
    RequireInt16(index);
    if (index < -1 || index >= ListCount()) {
        RaiseRuntimeError(kErrInvalidPropertyValue, QualifiedName() + ".ListIndex");
    }
    Touch();
    const bool changed = m_listIndex != index;
    m_listIndex = static_cast<std::int16_t>(index);
    if (changed) {
        Notify(ControlChange::ListIndex);
    }
    if (index >= 0) {
        m_click.Fire();
    }
}

std::string ComboBox::Text() const {
    return m_listIndex >= 0 ? m_items[static_cast<std::size_t>(m_listIndex)] : std::string();
}

std::int16_t ComboBox::FindItem(std::string_view text) const {
    const auto found = std::find(m_items.begin(), m_items.end(), text);
    return found == m_items.end() ? std::int16_t{-1}
                                  : static_cast<std::int16_t>(found - m_items.begin());
}

void ComboBox::ResetKindState() {
    m_items.clear();
    m_listIndex = -1;
}

}  // namespace velorin::ui
