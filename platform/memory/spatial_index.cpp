#include "platform/memory/spatial_index.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace velorin::memory {

namespace {

// The position of (x, y), each 0 to 65535, along a Hilbert curve filling the
// square: boxes near each other on the map are near each other in the order, so
// a node's boxes stay small.
std::uint32_t Hilbert(std::uint32_t x, std::uint32_t y) {
    std::uint32_t a = x ^ y;
    std::uint32_t b = 0xFFFF ^ a;
    std::uint32_t c = 0xFFFF ^ (x | y);
    std::uint32_t d = x & (y ^ 0xFFFF);

    std::uint32_t A = a | (b >> 1);
    std::uint32_t B = (a >> 1) ^ a;
    std::uint32_t C = ((c >> 1) ^ (b & (d >> 1))) ^ c;
    std::uint32_t D = ((a & (c >> 1)) ^ (d >> 1)) ^ d;

    a = A;
    b = B;
    c = C;
    d = D;
    A = (a & (a >> 2)) ^ (b & (b >> 2));
    B = (a & (b >> 2)) ^ (b & ((a ^ b) >> 2));
    C ^= (a & (c >> 2)) ^ (b & (d >> 2));
    D ^= (b & (c >> 2)) ^ ((a ^ b) & (d >> 2));

    a = A;
    b = B;
    c = C;
    d = D;
    A = (a & (a >> 4)) ^ (b & (b >> 4));
    B = (a & (b >> 4)) ^ (b & ((a ^ b) >> 4));
    C ^= (a & (c >> 4)) ^ (b & (d >> 4));
    D ^= (b & (c >> 4)) ^ ((a ^ b) & (d >> 4));

    a = A;
    b = B;
    c = C;
    d = D;
    C ^= (a & (c >> 8)) ^ (b & (d >> 8));
    D ^= (b & (c >> 8)) ^ ((a ^ b) & (d >> 8));

    a = C ^ (C >> 1);
    b = D ^ (D >> 1);

    std::uint32_t i0 = x ^ y;
    std::uint32_t i1 = b | (0xFFFF ^ (i0 | a));

    i0 = (i0 | (i0 << 8)) & 0x00FF00FF;
    i0 = (i0 | (i0 << 4)) & 0x0F0F0F0F;
    i0 = (i0 | (i0 << 2)) & 0x33333333;
    i0 = (i0 | (i0 << 1)) & 0x55555555;

    i1 = (i1 | (i1 << 8)) & 0x00FF00FF;
    i1 = (i1 | (i1 << 4)) & 0x0F0F0F0F;
    i1 = (i1 | (i1 << 2)) & 0x33333333;
    i1 = (i1 | (i1 << 1)) & 0x55555555;

    return (i1 << 1) | i0;
}

Box Union(const Box& a, const Box& b) {
    if (a.IsEmpty()) return b;
    return Box{std::min(a.xMin, b.xMin), std::min(a.yMin, b.yMin), std::max(a.xMax, b.xMax),
               std::max(a.yMax, b.yMax)};
}

// 0 to 65535 across the extent; a degenerate extent maps to 0.
std::uint32_t Scaled(double value, double low, double span) {
    if (!(span > 0)) return 0;
    const double t = std::clamp((value - low) / span, 0.0, 1.0);
    return static_cast<std::uint32_t>(t * 65535.0);
}

}  // namespace

SpatialIndex::SpatialIndex(std::vector<Box> boxes) : m_boxes(std::move(boxes)) {
    std::vector<std::uint32_t> items;
    items.reserve(m_boxes.size());
    for (std::size_t p = 0; p < m_boxes.size(); ++p) {
        if (m_boxes[p].IsEmpty()) continue;
        items.push_back(static_cast<std::uint32_t>(p));
        m_extent = Union(m_extent, m_boxes[p]);
    }
    if (items.empty()) return;

    const double width = m_extent.xMax - m_extent.xMin;
    const double height = m_extent.yMax - m_extent.yMin;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> keyed;  // (curve position, row)
    keyed.reserve(items.size());
    for (const std::uint32_t p : items) {
        const Box& b = m_boxes[p];
        // Halves first, so boxes near the limits of a double do not overflow.
        const double cx = b.xMin / 2 + b.xMax / 2;
        const double cy = b.yMin / 2 + b.yMax / 2;
        keyed.emplace_back(
            Hilbert(Scaled(cx, m_extent.xMin, width), Scaled(cy, m_extent.yMin, height)), p);
    }
    std::sort(keyed.begin(), keyed.end());

    m_nodes.reserve(items.size() + items.size() / (NodeSize - 1) + 1);
    m_refs.reserve(m_nodes.capacity());
    for (const auto& [key, p] : keyed) {
        m_nodes.push_back(m_boxes[p]);
        m_refs.push_back(p);
    }
    m_levelEnds.push_back(m_nodes.size());
    std::size_t begin = 0;
    while (m_levelEnds.back() - begin > 1) {
        const std::size_t end = m_levelEnds.back();
        for (std::size_t first = begin; first < end; first += NodeSize) {
            Box box;
            for (std::size_t i = first; i < std::min(first + NodeSize, end); ++i) {
                box = Union(box, m_nodes[i]);
            }
            m_nodes.push_back(box);
            m_refs.push_back(static_cast<std::uint32_t>(first));
        }
        begin = end;
        m_levelEnds.push_back(m_nodes.size());
    }
}

template <class Found>
void SpatialIndex::Visit(const Box& query, Found&& found) const {
    struct Pending {
        std::size_t node;
        std::size_t level;
    };
    // Only nodes that meet the query are pushed.
    if (!m_nodes.back().Meets(query)) return;
    std::vector<Pending> stack{{m_nodes.size() - 1, m_levelEnds.size() - 1}};
    while (!stack.empty()) {
        const Pending at = stack.back();
        stack.pop_back();
        if (at.level == 0) {
            found(at.node);
            continue;
        }
        const std::size_t first = m_refs[at.node];
        const std::size_t end = std::min(first + NodeSize, m_levelEnds[at.level - 1]);
        for (std::size_t i = first; i < end; ++i) {
            if (!m_nodes[i].Meets(query)) continue;
            if (at.level == 1) {
                found(i);
            } else {
                stack.push_back({i, at.level - 1});
            }
        }
    }
}

std::vector<std::uint32_t> SpatialIndex::Search(const Box& query) const {
    std::vector<std::uint32_t> hits;
    if (m_nodes.empty() || query.IsEmpty() || !query.Meets(m_extent)) return hits;
    if (query.Contains(m_extent)) {
        hits.reserve(m_nodes.size());
        for (std::size_t p = 0; p < m_boxes.size(); ++p) {
            if (!m_boxes[p].IsEmpty()) hits.push_back(static_cast<std::uint32_t>(p));
        }
        return hits;
    }
    Visit(query, [&](std::size_t leaf) { hits.push_back(m_refs[leaf]); });
    std::sort(hits.begin(), hits.end());
    return hits;
}

std::vector<SpatialIndex::Hit> SpatialIndex::SearchBoxes(const Box& query) const {
    std::vector<Hit> hits;
    if (m_nodes.empty() || query.IsEmpty() || !query.Meets(m_extent)) return hits;
    // Sorted as plain numbers, the position above the leaf it was found in.
    std::vector<std::uint64_t> found;
    Visit(query, [&](std::size_t leaf) {
        found.push_back(std::uint64_t{m_refs[leaf]} << 32 | static_cast<std::uint32_t>(leaf));
    });
    std::sort(found.begin(), found.end());
    hits.reserve(found.size());
    for (const std::uint64_t key : found) {
        hits.push_back(Hit{static_cast<std::uint32_t>(key >> 32), m_nodes[key & 0xFFFFFFFFU]});
    }
    return hits;
}

}  // namespace velorin::memory
