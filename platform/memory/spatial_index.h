#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace velorin::memory {

// An axis-aligned box in map units. A box with xMin > xMax holds nothing (a row
// without a shape, or with a coordinate that is not finite) and meets no box.
struct Box {
    double xMin = 1.0;
    double yMin = 1.0;
    double xMax = 0.0;
    double yMax = 0.0;

    bool IsEmpty() const { return !(xMin <= xMax && yMin <= yMax); }
    bool Meets(const Box& other) const {
        return xMin <= other.xMax && other.xMin <= xMax && yMin <= other.yMax && other.yMin <= yMax;
    }
    bool Contains(const Box& other) const {
        return xMin <= other.xMin && other.xMax <= xMax && yMin <= other.yMin && other.yMax <= yMax;
    }
};

// A packed R-tree over the envelopes of a store's rows, built once from all of
// them: items sorted along a Hilbert curve of their centres, sixteen to a node,
// each level the boxes of the one below. A search visits only the nodes that
// meet the query, so a window on a small part of a large layer costs what the
// features in it cost, not what the layer holds.
class SpatialIndex {
  public:
    // One box per row position.
    explicit SpatialIndex(std::vector<Box> boxes);

    std::size_t Size() const { return m_boxes.size(); }
    const Box& BoxAt(std::size_t position) const { return m_boxes[position]; }
    // The union of every box (empty when none holds anything).
    const Box& Extent() const { return m_extent; }

    // The positions whose boxes meet the query, ascending.
    std::vector<std::uint32_t> Search(const Box& query) const;

    struct Hit {
        std::uint32_t position;
        Box box;
    };
    // As Search, each position with its box, read from the tree's leaves (which
    // lie together for features near each other) instead of the row order.
    std::vector<Hit> SearchBoxes(const Box& query) const;

  private:
    // Calls found(leaf) for each leaf node whose box meets the query, in no order.
    template <class Found>
    void Visit(const Box& query, Found&& found) const;

    static constexpr std::size_t NodeSize = 16;

    std::vector<Box> m_boxes;  // by row position
    Box m_extent;
    // The tree: the leaves (sorted items) first, then each level of parents, the
    // root last. m_refs holds a row position for a leaf, else the first child.
    std::vector<Box> m_nodes;
    std::vector<std::uint32_t> m_refs;
    std::vector<std::size_t> m_levelEnds;  // end of each level in m_nodes
};

}  // namespace velorin::memory
