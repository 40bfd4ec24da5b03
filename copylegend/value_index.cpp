#include "copylegend/value_index.h"

#include <algorithm>
#include <functional>
#include <limits>

#include "ui/runtime_error.h"

namespace velorin::copylegend {

namespace {

// A slot's low byte tells what it holds: 0x80 + length for a text of at most 7
// bytes (held in the other seven bytes, unused ones zero), kLongTag for a longer
// text (24 bits of its hash above, its place among the long texts in the high 32
// bits), 0 for nothing. So two short texts are equal exactly when their slots are.
constexpr std::uint64_t kShortTag = 0x80;
constexpr std::uint64_t kLongTag = 0x40;
constexpr std::size_t kShortest = 7;
constexpr std::uint64_t kLowHalf = 0xFFFFFFFFULL;
// The whole numbers kept as bits: below 2^20, so the bits take at most 128 KiB.
constexpr std::int32_t kNumbers = std::int32_t{1} << 20;

std::uint64_t Packed(std::string_view text) {
    std::uint64_t packed = kShortTag | text.size();
    for (std::size_t i = 0; i < text.size(); ++i) {
        packed |= static_cast<std::uint64_t>(static_cast<unsigned char>(text[i])) << (8 * (i + 1));
    }
    return packed;
}

// Spreads every bit of the number over the high bits, which choose the slot.
std::uint64_t Mix(std::uint64_t value) {
    value ^= value >> 33U;
    value *= 0xFF51AFD7ED558CCDULL;
    value ^= value >> 33U;
    value *= 0xC4CEB9FE1A85EC53ULL;
    value ^= value >> 33U;
    return value;
}

}  // namespace

ValueIndex::Probe ValueIndex::ProbeOf(std::string_view text, std::size_t longPlace) {
    if (text.size() <= kShortest) {
        const std::uint64_t packed = Packed(text);
        return {packed, Mix(packed)};
    }
    // Widened and mixed, so 32-bit targets spread over the table as well.
    const std::uint64_t hash = Mix(static_cast<std::uint64_t>(std::hash<std::string_view>{}(text)));
    return {kLongTag | ((hash & 0xFFFFFFU) << 8U) | (static_cast<std::uint64_t>(longPlace) << 32U),
            hash};
}

std::size_t ValueIndex::Home(std::uint64_t hash) const {
    return static_cast<std::size_t>(hash >> (64U - m_bits));
}

std::size_t ValueIndex::Find(std::string_view text, const Probe& probe) const {
    const std::size_t mask = m_slots.size() - 1;
    const bool isLong = text.size() > kShortest;
    for (std::size_t position = Home(probe.hash);; position = (position + 1) & mask) {
        const std::uint64_t slot = m_slots[position];
        if (slot == 0) return position;
        if (!isLong) {
            if (slot == probe.slot) return position;
        } else if ((slot & kLowHalf) == (probe.slot & kLowHalf) && m_long[slot >> 32U] == text) {
            return position;
        }
    }
}

std::int32_t ValueIndex::NumberOf(std::string_view text) {
    // 2^20 - 1 has 7 digits; a key of 7 digits may still lie above it.
    if (text.empty() || text.size() > 7 || (text[0] == '0' && text.size() > 1)) return -1;
    std::int32_t number = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return -1;
        number = number * 10 + (c - '0');
    }
    return number < kNumbers ? number : -1;
}

bool ValueIndex::Contains(std::string_view text) const {
    if (const std::int32_t number = NumberOf(text); number >= 0) {
        const auto word = static_cast<std::size_t>(number) / 64;
        return word < m_numbers.size() && ((m_numbers[word] >> (number % 64)) & 1U) != 0;
    }
    if (m_slots.empty()) return false;
    return m_slots[Find(text, ProbeOf(text, 0))] != 0;
}

bool ValueIndex::Insert(std::string_view text) {
    if (const std::int32_t number = NumberOf(text); number >= 0) {
        const auto word = static_cast<std::size_t>(number) / 64;
        if (word >= m_numbers.size()) {
            m_numbers.resize(
                std::min(std::size_t{kNumbers / 64}, std::max(word + 1, 2 * m_numbers.size())));
        }
        const std::uint64_t bit = std::uint64_t{1} << (number % 64);
        if ((m_numbers[word] & bit) != 0) return false;
        m_numbers[word] |= bit;
        ++m_count;
        return true;
    }
    if (2 * (m_inTable + 1) > m_slots.size()) Grow();
    const Probe probe = ProbeOf(text, m_long.size());
    std::uint64_t& slot = m_slots[Find(text, probe)];
    if (slot != 0) return false;
    if (text.size() > kShortest) m_long.emplace_back(text);
    slot = probe.slot;
    ++m_inTable;
    ++m_count;
    return true;
}

void ValueIndex::Grow() {
    // Long texts are numbered in 32 bits; a legend holds at most 2^31 values anyway.
    if (m_inTable >= std::numeric_limits<std::uint32_t>::max() / 2) ui::RaiseOverflow();
    const unsigned bits = m_bits == 0 ? 4 : m_bits + 1;
    std::vector<std::uint64_t> old(std::size_t{1} << bits);
    old.swap(m_slots);  // m_slots is now the larger table, all empty
    m_bits = bits;
    const std::size_t mask = m_slots.size() - 1;
    for (const std::uint64_t slot : old) {
        if (slot == 0) continue;
        std::uint64_t hash = 0;
        if ((slot & 0xFFU) == kLongTag) {
            hash = ProbeOf(m_long[slot >> 32U], 0).hash;
        } else {
            hash = Mix(slot);
        }
        std::size_t position = Home(hash);
        while (m_slots[position] != 0) position = (position + 1) & mask;
        m_slots[position] = slot;
    }
}

}  // namespace velorin::copylegend
