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
// Open addressing over a power-of-two table of small slots: a lookup touches one
// slot (and, on a hash match, the text itself), where a node-based set chases
// two or three pointers per lookup. The table is kept at most half full.
class ValueIndex {
  public:
    // Adds the text unless it is there; true when it was added.
    bool Insert(std::string_view text);
    bool Contains(std::string_view text) const;
    std::size_t Size() const { return m_texts.size(); }

  private:
    struct Slot {
        std::uint32_t tag = 0;    // low bits of the text's hash, to skip most compares
        std::uint32_t entry = 0;  // 1 + position in m_texts; 0 marks an empty slot
        // A text of at most 7 bytes, with its length (see Packed): such a text,
        // the usual key, is matched here without reading m_texts, which a
        // 100,000-key walk would mostly find outside the cache.
        std::uint64_t packed = 0;
    };

    // The slot holding `text`, or the empty slot where it belongs.
    std::size_t Find(std::string_view text, std::uint64_t hash) const;
    std::size_t Home(std::uint64_t hash) const;
    void Grow();

    std::vector<Slot> m_slots;
    std::vector<std::string> m_texts;
    std::vector<std::uint64_t> m_hashes;  // per text, so growing rehashes nothing
    unsigned m_bits = 0;                  // m_slots.size() == 1 << m_bits
};

}  // namespace velorin::copylegend
