#include "platform/memory/selection_set.h"

#include <string>
#include <utility>

#include "host/codes.h"
#include "host/error.h"
#include "platform/memory/cursors.h"
#include "platform/memory/neutral_objects.h"

namespace velorin::memory {

SelectionSet::SelectionSet(std::shared_ptr<HostContext> context,
                           std::shared_ptr<const RowStore> store,
                           std::function<std::string()> definition)
    : m_context(std::move(context)),
      m_store(std::move(store)),
      m_definition(std::move(definition)) {}

std::vector<std::size_t> SelectionSet::Positions() const {
    std::vector<std::size_t> positions;
    if (!m_store) return positions;
    positions.reserve(m_oids.size());
    for (const std::int32_t oid : m_oids) {
        if (const auto position = m_store->PositionOf(oid)) positions.push_back(*position);
    }
    return positions;
}

std::int32_t SelectionSet::Count() const {
    m_context->faults.Enter("ISelectionSet::Count");
    if (!m_store) return 0;
    const WhereClause definition = m_store->Compile(m_definition ? m_definition() : std::string());
    return static_cast<std::int32_t>(m_store->Filter(Positions(), definition).size());
}

std::shared_ptr<host::ICursor> SelectionSet::Search(
    const std::shared_ptr<host::IQueryFilter>& filter, bool recycling) const {
    m_context->faults.Enter("ISelectionSet::Search");
    if (!m_store) {
        throw Error(host::E_HOST_FAIL, "The selection belongs to a layer without data");
    }
    const WhereClause clause =
        WhereClause::Both(m_store->Compile(m_definition ? m_definition() : std::string()),
                          m_store->Compile(ClauseOf(filter)));
    return MakeCursor(m_store, RowPositions(m_store->Filter(Positions(), clause)), recycling);
}

void SelectionSet::Select(const std::vector<std::int32_t>& oids) {
    CheckExist(oids);
    m_oids.insert(oids.begin(), oids.end());
}

void SelectionSet::Replace(const std::vector<std::int32_t>& oids) {
    CheckExist(oids);
    m_oids = std::set<std::int32_t>(oids.begin(), oids.end());
}

void SelectionSet::CheckExist(const std::vector<std::int32_t>& oids) const {
    for (const std::int32_t oid : oids) {
        if (!m_store || !m_store->PositionOf(oid)) {
            throw Error(host::E_HOST_INVALIDARG,
                        "No row with object id " + std::to_string(oid) + " to select");
        }
    }
}

void SelectionSet::Clear() { m_oids.clear(); }

}  // namespace velorin::memory
