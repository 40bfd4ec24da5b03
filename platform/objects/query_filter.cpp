#include "platform/objects/query_filter.h"

#include <utility>

namespace velorin::objects {

QueryFilter::QueryFilter(std::shared_ptr<HostContext> context, std::string whereClause)
    : m_context(std::move(context)), m_whereClause(std::move(whereClause)) {}

std::string QueryFilter::WhereClause() const {
    m_context->faults.Enter("IQueryFilter::WhereClause");
    return m_whereClause;
}

void QueryFilter::SetWhereClause(const std::string& whereClause) {
    m_context->faults.Enter("IQueryFilter::SetWhereClause");
    m_whereClause = whereClause;
}

std::string ClauseOf(const std::shared_ptr<host::IQueryFilter>& filter) {
    if (!filter) return {};
    if (const auto* own = dynamic_cast<const QueryFilter*>(filter.get())) return own->ClauseText();
    return filter->WhereClause();
}

}  // namespace velorin::objects
