#include "platform/memory/host_context.h"

#include <algorithm>
#include <cstdint>

#include "host/error.h"

namespace velorin::memory {

void FaultInjector::FailAt(std::string member, int nth, std::int32_t code,
                           std::string description) {
    m_rules.push_back(Rule{std::move(member), nth, code, std::move(description)});
}

void FaultInjector::Clear() { m_rules.clear(); }

void FaultInjector::Enter(std::string_view member) {
    if (m_quiet > 0) return;
    ++m_total;
    // Members are mostly named by literals: a name seen lately at the same
    // address finds its count without hashing (the text is still compared, as
    // the address of a name that was not a literal may come back with another).
    // Literals lie packed side by side, so the address is spread before it picks
    // a place: the few names of a walk's step then rarely share one.
    const std::uint64_t spread =
        static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(member.data())) *
        0x9E3779B97F4A7C15ULL;
    Recent& recent = m_recent[static_cast<std::size_t>(spread >> 56) % m_recent.size()];
    if (recent.address != member.data() || recent.name != member) {
        auto it = m_counts.find(member);
        if (it == m_counts.end()) it = m_counts.emplace(std::string(member), 0).first;
        recent = Recent{member.data(), it->first, &it->second};
    }
    ++*recent.count;
    for (auto rule = m_rules.begin(); rule != m_rules.end(); ++rule) {
        if (!rule->member.empty() && rule->member != member) continue;
        if (--rule->remaining > 0) continue;
        Error error(rule->code, rule->description);
        m_rules.erase(rule);
        throw error;
    }
}

int FaultInjector::CallCount(std::string_view member) const {
    if (member.empty()) return m_total;
    auto it = m_counts.find(member);
    return it == m_counts.end() ? 0 : it->second;
}

}  // namespace velorin::memory
