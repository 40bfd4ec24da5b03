#pragma once

#include <cstddef>
#include <memory>
#include <new>
#include <type_traits>
#include <typeinfo>
#include <vector>

#include "host/object.h"

namespace velorin::host {

// As<To> for a walk that asks a great many objects of a few dynamic types for
// the same interface, as Copy Legend Colors asks every Source feature's symbol
// for its simple kind and every colour for its clone. Asking a host object for
// another interface is a cross cast through virtual bases, which costs as much
// as the rest of a feature's step; this asks once per dynamic type.
//
// What it saves, as measured when it moved here (ratios of medians from one run,
// 1,000,000 Source features over 100,000 keys): with As<I> in its place,
// copylegend_bench's BM_CopyLegendColors takes 1.3x to 1.7x the CPU time, and the
// headless Copy Legend run end to end (velorin-map opening the GeoPackage of
// bench/copylegend_end_to_end.sh, walking, saving) takes 1.2x: the run's wait
// is a sixth shorter.
//
// Where an interface lies inside an object is fixed by the object's dynamic type
// and by which of its parts it is reached through: a part is known by its place
// and its static type, so one query serves one static type (two parts of
// different types may share a place, as a first base shares it with the virtual
// base it is laid over, and answer differently). The first object of a type
// is asked with dynamic_cast, as As asks, and every later one is answered from
// the distance learnt then. That is right only while As is dynamic_cast: a host
// whose interface query is anything else must not be asked through this. The
// plain twin is As; tests/host/learnt_query_test.cpp compares the two.
//
// Holds no object; one per walk, not shared between threads.
template <class From, class To>
class LearntQuery {
    static_assert(!std::is_const_v<From>, "interfaces are asked of mutable objects");

  public:
    // The To part of the object that `from` is a part of, or null when it has
    // none. `from` must be a part of a complete, living object.
    To* Find(From& from) {
        void* whole = dynamic_cast<void*>(&from);
        const std::ptrdiff_t fromAt = Distance(whole, &from);
        const std::type_info& type = typeid(from);
        const Learnt& learnt = LearntFor(type, fromAt, from, whole);
        if (!learnt.found) return nullptr;
        // The part exists: an object of this very type was found to hold it there.
        return std::launder(reinterpret_cast<To*>(static_cast<char*>(whole) + learnt.toAt));
    }

    // Require<To>(object, interfaceName), without sharing the object: the
    // interface lives as long as `object` does. An empty object or one without To
    // raises the host's failure, as Require does.
    To& Borrow(const std::shared_ptr<From>& object, const char* interfaceName) {
        To* to = object ? Find(*object) : nullptr;
        if (to == nullptr) return *Require<To>(object, interfaceName);
        return *to;
    }

  private:
    // Where To lies in objects of one dynamic type, reached through the part at
    // fromAt (a type may hold more than one part of the type reached through).
    struct Learnt {
        const std::type_info* type = nullptr;
        std::ptrdiff_t fromAt = 0;
        std::ptrdiff_t toAt = 0;
        bool found = false;
    };

    static std::ptrdiff_t Distance(const void* whole, const void* part) {
        return static_cast<const char*>(part) - static_cast<const char*>(whole);
    }

    const Learnt& LearntFor(const std::type_info& type, std::ptrdiff_t fromAt, From& from,
                            void* whole) {
        const auto same = [&](const Learnt& learnt) {
            return learnt.fromAt == fromAt && (learnt.type == &type || *learnt.type == type);
        };
        // Most walks meet one type only: the last one found is looked at first.
        if (m_last < m_learnt.size() && same(m_learnt[m_last])) return m_learnt[m_last];
        for (std::size_t i = 0; i < m_learnt.size(); ++i) {
            if (same(m_learnt[i])) {
                m_last = i;
                return m_learnt[i];
            }
        }
        To* to = dynamic_cast<To*>(&from);
        m_learnt.push_back({&type, fromAt, to ? Distance(whole, to) : 0, to != nullptr});
        m_last = m_learnt.size() - 1;
        return m_learnt.back();
    }

    std::vector<Learnt> m_learnt;  // one per dynamic type and place met: a handful
    std::size_t m_last = 0;        // in m_learnt
};

}  // namespace velorin::host
