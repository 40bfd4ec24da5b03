#include "platform/objects/set.h"

#include <utility>

#include "host/codes.h"
#include "host/error.h"

namespace velorin::objects {

Set::Set(std::shared_ptr<HostContext> context) : m_context(std::move(context)) {}

void Set::Add(const std::shared_ptr<host::IUnknown>& object) {
    m_context->faults.Enter("ISet::Add");
    if (!object) throw Error(host::E_HOST_POINTER, "Cannot add Nothing to a set");
    m_members.push_back(object);
}

void Set::Reset() {
    m_context->faults.Enter("ISet::Reset");
    m_next = 0;
}

std::shared_ptr<host::IUnknown> Set::Next() {
    m_context->faults.Enter("ISet::Next");
    if (m_next >= m_members.size()) return nullptr;
    return m_members[m_next++];
}

std::int32_t Set::Count() const {
    m_context->faults.Enter("ISet::Count");
    return static_cast<std::int32_t>(m_members.size());
}

}  // namespace velorin::objects
