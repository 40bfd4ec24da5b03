#include "platform/objects/host_context.h"

#include <cstdint>

#include "host/error.h"

namespace velorin::objects {

void FaultInjector::FailAt(std::string member, int nth, std::int32_t code,
                           std::string description) {
    m_rules.push_back(Rule{std::move(member), nth, code, std::move(description)});
}

void FaultInjector::Clear() { m_rules.clear(); }

void FaultInjector::Enter(std::string_view member) {
    if (m_quiet > 0) return;
    ++m_total;
    if (m_logging) m_calls.emplace_back(member);
    for (auto rule = m_rules.begin(); rule != m_rules.end(); ++rule) {
        if (!rule->member.empty() && rule->member != member) continue;
        if (--rule->remaining > 0) continue;
        Error error(rule->code, rule->description);
        m_rules.erase(rule);
        throw error;
    }
}

}  // namespace velorin::objects
