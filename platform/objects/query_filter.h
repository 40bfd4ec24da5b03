#pragma once

#include <memory>
#include <string>

#include "host/data.h"
#include "platform/objects/host_context.h"

namespace velorin::objects {

// A where clause and nothing else; the table searched parses it.
class QueryFilter final : public host::IQueryFilter {
  public:
    explicit QueryFilter(std::shared_ptr<HostContext> context, std::string whereClause = {});

    std::string WhereClause() const override;
    void SetWhereClause(const std::string& whereClause) override;

    const std::string& ClauseText() const { return m_whereClause; }

  private:
    std::shared_ptr<HostContext> m_context;
    std::string m_whereClause;
};

// The clause of a search's filter: "" for no filter. Our own filters are read
// quietly (the host reading a filter is not a call of the extension); anyone
// else's through the interface.
std::string ClauseOf(const std::shared_ptr<host::IQueryFilter>& filter);

}  // namespace velorin::objects
