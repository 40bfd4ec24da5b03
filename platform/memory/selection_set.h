#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "host/data.h"
#include "platform/memory/row_store.h"

namespace velorin::memory {

// The selected rows of a layer or standalone table, kept as object ids. A row
// counts, and is found, only while it passes the owner's definition query, read
// afresh on every call (so a changed query never leaves stale counts).
class SelectionSet final : public host::ISelectionSet {
  public:
    // store may be empty (a layer without data): the set is then always empty.
    // definition gives the owner's current definition query ("" for none); an
    // empty function means the owner has none.
    SelectionSet(std::shared_ptr<HostContext> context, std::shared_ptr<const RowStore> store,
                 std::function<std::string()> definition = {});

    std::int32_t Count() const override;
    // The selected rows passing the definition query and the filter, in object-id
    // order. Raises E_HOST_INVALID_SQL for a filter that cannot be evaluated.
    std::shared_ptr<host::ICursor> Search(const std::shared_ptr<host::IQueryFilter>& filter,
                                          bool recycling) const override;

    // Adds rows to the selection. Raises E_HOST_INVALIDARG, selecting nothing, when
    // an id names no row.
    void Select(const std::vector<std::int32_t>& oids);
    // Makes the selection exactly these rows; on E_HOST_INVALIDARG it is unchanged.
    void Replace(const std::vector<std::int32_t>& oids);
    void Clear();
    const std::set<std::int32_t>& Oids() const { return m_oids; }

  private:
    std::vector<std::size_t> Positions() const;
    void CheckExist(const std::vector<std::int32_t>& oids) const;

    std::shared_ptr<HostContext> m_context;
    std::shared_ptr<const RowStore> m_store;
    std::function<std::string()> m_definition;
    std::set<std::int32_t> m_oids;
};

}  // namespace velorin::memory
