#include "copylegend/value_index.h"

#include <functional>
#include <limits>

#include "ui/runtime_error.h"

namespace velorin::copylegend {

namespace {

std::uint64_t HashOf(std::string_view text) {
    // Widened and mixed, so 32-bit targets spread over the table as well.
    return static_cast<std::uint64_t>(std::hash<std::string_view>{}(text)) * 0x9E3779B97F4A7C15ULL;
}

std::uint32_t TagOf(std::uint64_t hash) { return static_cast<std::uint32_t>(hash); }

// A text of at most 7 bytes as its bytes and its length in one number, so two
// such texts are equal exactly when their numbers are; a longer text packs to
// kLong, which no short text packs to.
constexpr std::uint64_t kLong = ~std::uint64_t{0};

std::uint64_t Packed(std::string_view text) {
    if (text.size() > 7) return kLong;
    std::uint64_t packed = text.size();
    for (std::size_t i = 0; i < text.size(); ++i) {
        packed |= static_cast<std::uint64_t>(static_cast<unsigned char>(text[i])) << (8 * (i + 1));
    }
    return packed;
}

}  // namespace

std::size_t ValueIndex::Home(std::uint64_t hash) const {
    // The high bits of the mixed hash are the best spread (Fibonacci hashing).
    return static_cast<std::size_t>(hash >> (64U - m_bits));
}

std::size_t ValueIndex::Find(std::string_view text, std::uint64_t hash) const {
    const std::size_t mask = m_slots.size() - 1;
    const std::uint32_t tag = TagOf(hash);
    const std::uint64_t packed = Packed(text);
    std::size_t position = Home(hash);
    for (;;) {
        const Slot& slot = m_slots[position];
        if (slot.entry == 0) return position;
        if (slot.tag == tag && slot.packed == packed &&
            (packed != kLong || m_texts[slot.entry - 1] == text)) {
            return position;
        }
        position = (position + 1) & mask;
    }
}

bool ValueIndex::Contains(std::string_view text) const {
    if (m_slots.empty()) return false;
    return m_slots[Find(text, HashOf(text))].entry != 0;
}

bool ValueIndex::Insert(std::string_view text) {
    if (2 * (m_texts.size() + 1) > m_slots.size()) Grow();
    const std::uint64_t hash = HashOf(text);
    Slot& slot = m_slots[Find(text, hash)];
    if (slot.entry != 0) return false;
    m_texts.emplace_back(text);
    m_hashes.push_back(hash);
    slot.tag = TagOf(hash);
    slot.entry = static_cast<std::uint32_t>(m_texts.size());
    slot.packed = Packed(text);
    return true;
}

void ValueIndex::Grow() {
    // Entries are numbered in 32 bits; a legend holds at most 2^31 values anyway.
    if (m_texts.size() >= std::numeric_limits<std::uint32_t>::max() / 2) ui::RaiseOverflow();
    m_bits = m_bits == 0 ? 4 : m_bits + 1;
    m_slots.assign(std::size_t{1} << m_bits, Slot{});
    const std::size_t mask = m_slots.size() - 1;
    for (std::size_t i = 0; i < m_texts.size(); ++i) {
        std::size_t position = Home(m_hashes[i]);
        while (m_slots[position].entry != 0) position = (position + 1) & mask;
        m_slots[position] =
            Slot{TagOf(m_hashes[i]), static_cast<std::uint32_t>(i + 1), Packed(m_texts[i])};
    }
}

}  // namespace velorin::copylegend
