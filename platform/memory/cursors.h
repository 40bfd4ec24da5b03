#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "host/data.h"
#include "platform/memory/row_store.h"
#include "platform/memory/rows.h"

namespace velorin::memory {

// A cursor over rows found by a search, in the order given (object-id order). The
// rows are found when the search is made, so a bad where clause fails the search,
// not a later NextRow. A recycling cursor hands back one row object, refilled on
// each call; otherwise every call gives a new object that stays valid.
class RowCursor final : public host::ICursor {
  public:
    RowCursor(std::shared_ptr<const RowStore> store, RowPositions positions, bool recycling);

    std::shared_ptr<host::IRow> NextRow() override;

  private:
    std::shared_ptr<const RowStore> m_store;
    RowPositions m_positions;
    std::size_t m_next = 0;
    std::shared_ptr<Row> m_recycled;  // only for a recycling cursor
};

// The same over features; it answers both as ICursor and as IFeatureCursor, which
// share one position.
class FeatureCursor final : public host::ICursor, public host::IFeatureCursor {
  public:
    FeatureCursor(std::shared_ptr<const RowStore> store, RowPositions positions, bool recycling);

    std::shared_ptr<host::IRow> NextRow() override;
    std::shared_ptr<host::IFeature> NextFeature() override;

  private:
    std::shared_ptr<Feature> Next();

    std::shared_ptr<const RowStore> m_store;
    RowPositions m_positions;
    std::size_t m_next = 0;
    std::shared_ptr<Feature> m_recycled;  // only for a recycling cursor
};

// A FeatureCursor for a store of features, else a RowCursor.
std::shared_ptr<host::ICursor> MakeCursor(std::shared_ptr<const RowStore> store,
                                          RowPositions positions, bool recycling);

}  // namespace velorin::memory
