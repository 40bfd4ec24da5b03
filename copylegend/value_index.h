#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace velorin::copylegend {

// The key texts already given a value in the new legend, so that the walk finds
// a known key in O(1) instead of comparing it with every value added so far.
// Texts compare exactly: byte for byte, letter case and spaces included.
//
// Open addressing over a power-of-two table of 8-byte slots, kept at most half
// full. A text of at most 7 bytes, the usual key, is held in its slot itself, so
// a lookup touches one slot and nothing else; a longer text is held apart and
// its slot keeps its place and part of its hash. The walk looks a key up for
// every Source feature, with keys in no order: the smaller the table, the more
// of it stays in the cache. Smallest of all: a key that is the usual text of a
// whole number below 2^20 (digits only, no leading zero), as keys from number
// fields are, is one bit, by its number.
//
// The plain twin is std::unordered_set<std::string> with transparent lookup;
// tests/copylegend/value_index_test.cpp compares the two. What this saves, as
// measured (ratios of medians from one run, 1,000,000 Source features over
// 100,000 keys): with the plain set in its place, copylegend_bench's
// BM_CopyLegendColors takes 4.4x the CPU time and the headless Copy Legend run
// end to end (bench/copylegend_end_to_end.sh's data set) 1.6x. A lookup in the
// set misses the cache two or three times; most keys here are one bit of a few
// kilobytes.
class ValueIndex {
  public:
    // Adds the text unless it is there; true when it was added.
    bool Insert(std::string_view text);
    bool Contains(std::string_view text) const;
    std::size_t Size() const { return m_count; }

  private:
    // What a slot holding the text holds, and where the text's search starts.
    struct Probe {
        // A long text is matched by the low half (its tag and hash part) and then
        // by its text; the high half is the place it gets when it is inserted.
        std::uint64_t slot;
        std::uint64_t hash;
    };
    static Probe ProbeOf(std::string_view text, std::size_t longPlace);
    // The slot holding `text`, or the empty slot where it belongs.
    std::size_t Find(std::string_view text, const Probe& probe) const;
    // The key's number when it is kept as a bit, or -1.
    static std::int32_t NumberOf(std::string_view text);
    std::size_t Home(std::uint64_t hash) const;
    void Grow();

    std::vector<std::uint64_t> m_slots;    // 0: empty
    std::vector<std::string> m_long;       // the texts longer than 7 bytes
    std::vector<std::uint64_t> m_numbers;  // bit n: the text of number n is in
    std::size_t m_count = 0;               // keys in all
    std::size_t m_inTable = 0;             // keys in m_slots
    unsigned m_bits = 0;                   // m_slots.size() == 1 << m_bits
};

}  // namespace velorin::copylegend
