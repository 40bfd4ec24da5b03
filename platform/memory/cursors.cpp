#include "platform/memory/cursors.h"

#include <utility>

namespace velorin::memory {

namespace {

// The next row object of a cursor: the recycled one repointed, or a new one.
template <class RowType>
std::shared_ptr<RowType> Advance(const std::shared_ptr<const RowStore>& store,
                                 const RowPositions& positions, std::size_t& next,
                                 std::shared_ptr<RowType>& recycled, bool recycling) {
    if (next >= positions.Size()) return nullptr;
    const std::size_t position = positions[next++];
    if (!recycling) return std::make_shared<RowType>(store, position);
    if (recycled) {
        recycled->Repoint(position);
    } else {
        recycled = std::make_shared<RowType>(store, position);
    }
    return recycled;
}

}  // namespace

RowCursor::RowCursor(std::shared_ptr<const RowStore> store, RowPositions positions, bool recycling)
    : m_store(std::move(store)), m_positions(std::move(positions)) {
    if (recycling) m_recycled = std::make_shared<Row>(m_store, 0);
}

std::shared_ptr<host::IRow> RowCursor::NextRow() {
    m_store->Context()->faults.Enter("ICursor::NextRow");
    return Advance(m_store, m_positions, m_next, m_recycled, m_recycled != nullptr);
}

FeatureCursor::FeatureCursor(std::shared_ptr<const RowStore> store, RowPositions positions,
                             bool recycling)
    : m_store(std::move(store)), m_positions(std::move(positions)) {
    if (recycling) m_recycled = std::make_shared<Feature>(m_store, 0);
}

std::shared_ptr<Feature> FeatureCursor::Next() {
    return Advance(m_store, m_positions, m_next, m_recycled, m_recycled != nullptr);
}

std::shared_ptr<host::IRow> FeatureCursor::NextRow() {
    m_store->Context()->faults.Enter("ICursor::NextRow");
    return Next();
}

std::shared_ptr<host::IFeature> FeatureCursor::NextFeature() {
    m_store->Context()->faults.Enter("IFeatureCursor::NextFeature");
    return Next();
}

std::shared_ptr<host::ICursor> MakeCursor(std::shared_ptr<const RowStore> store,
                                          RowPositions positions, bool recycling) {
    if (store->FeatureRows()) {
        return std::make_shared<FeatureCursor>(std::move(store), std::move(positions), recycling);
    }
    return std::make_shared<RowCursor>(std::move(store), std::move(positions), recycling);
}

}  // namespace velorin::memory
