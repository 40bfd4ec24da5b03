#include "host/learnt_query.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "host/object.h"

namespace velorin::host {
namespace {

// Interfaces declared as the port declares them: virtual bases of IUnknown.
class IA : public virtual IUnknown {
  public:
    virtual int A() const = 0;
};
class IB : public virtual IUnknown {
  public:
    virtual int B() const = 0;
};
class IAB : public virtual IA, public virtual IB {};

// Objects as hosts make them, and the shapes that trip a distance learnt from
// the wrong object: parts in the other order, a derived type that shifts its
// base's parts, an interface held twice (no answer from a part that is not it),
// an object of none of them, and data between the parts.
struct OnlyA final : IA {
    int A() const override { return 1; }
};
struct AThenB : IA, IB {
    int A() const override { return 2; }
    int B() const override { return 2; }
};
struct BThenA final : IB, IA {
    std::int64_t data[2] = {};
    int A() const override { return 3; }
    int B() const override { return 3; }
};
struct Padding {
    virtual ~Padding() = default;
    std::int64_t data[5] = {};
};
struct ShiftedAThenB final : Padding, AThenB {};
struct Both final : IAB {
    int A() const override { return 4; }
    int B() const override { return 4; }
};
struct LeftA : IA {
    int A() const override { return 5; }
};
struct RightA : IA {
    int A() const override { return 6; }
};
struct TwiceA final : LeftA, RightA, IB {
    int B() const override { return 7; }
};
struct Neither final : IUnknown {};

// One object and every part it can be reached through.
struct Reached {
    std::shared_ptr<IUnknown> object;
    std::vector<IA*> aParts;
    std::vector<IB*> bParts;
};

template <class T>
Reached Make() {
    auto object = std::make_shared<T>();
    Reached reached{object, {}, {}};
    if constexpr (std::is_same_v<T, TwiceA>) {
        reached.aParts = {static_cast<LeftA*>(object.get()), static_cast<RightA*>(object.get())};
    } else if constexpr (std::is_base_of_v<IA, T>) {
        reached.aParts = {object.get()};
    }
    if constexpr (std::is_base_of_v<IB, T>) reached.bParts = {object.get()};
    return reached;
}

// Every learnt query reached through From, each beside its plain twin.
template <class From>
struct Queries {
    LearntQuery<From, IA> a;
    LearntQuery<From, IB> b;
    LearntQuery<From, IAB> ab;

    void ExpectSameAsDynamicCast(From& from, const std::string& where) {
        ASSERT_EQ(a.Find(from), dynamic_cast<IA*>(&from)) << where << " as IA";
        ASSERT_EQ(b.Find(from), dynamic_cast<IB*>(&from)) << where << " as IB";
        ASSERT_EQ(ab.Find(from), dynamic_cast<IAB*>(&from)) << where << " as IAB";
    }
};

TEST(LearntQuery, FindsWhatDynamicCastFindsForEveryTypePartAndObjectInAnyOrder) {
    std::vector<Reached> objects;
    for (int copy = 0; copy < 4; ++copy) {
        objects.insert(objects.end(),
                       {Make<OnlyA>(), Make<AThenB>(), Make<BThenA>(), Make<ShiftedAThenB>(),
                        Make<Both>(), Make<TwiceA>(), Make<Neither>()});
    }
    Queries<IUnknown> throughUnknown;
    Queries<IA> throughA;
    Queries<IB> throughB;
    // Runs of one type, then types alternating at every step, then a scattered
    // order: every way a cache of the last type met can be wrong.
    const std::size_t n = objects.size();
    std::vector<std::size_t> order;
    for (std::size_t i = 0; i < n; ++i) order.push_back((i % 4) * 7 + i / 4);
    for (std::size_t i = 0; i < n; ++i) order.push_back(i);
    for (std::size_t i = 0; i < 3 * n; ++i) order.push_back((i * 17 + 5) % n);
    for (const std::size_t i : order) {
        Reached& reached = objects[i];
        const std::string where = "object " + std::to_string(i);
        throughUnknown.ExpectSameAsDynamicCast(*reached.object, where + " through IUnknown");
        for (std::size_t p = 0; p < reached.aParts.size(); ++p) {
            throughA.ExpectSameAsDynamicCast(*reached.aParts[p],
                                             where + " through IA part " + std::to_string(p));
        }
        for (IB* part : reached.bParts) {
            throughB.ExpectSameAsDynamicCast(*part, where + " through IB");
        }
    }
}

TEST(LearntQuery, BorrowAnswersAndRaisesAsRequireDoes) {
    LearntQuery<IA, IB> query;
    const auto errorOf = [](const auto& ask) -> std::string {
        try {
            ask();
            return "none";
        } catch (const Error& error) {
            return std::to_string(error.Number()) + " " + error.Description();
        }
    };
    const std::vector<std::shared_ptr<IA>> objects = {
        std::make_shared<AThenB>(), std::make_shared<OnlyA>(), nullptr,
        std::make_shared<BThenA>(), std::make_shared<OnlyA>(), std::make_shared<AThenB>()};
    for (const std::shared_ptr<IA>& object : objects) {
        const std::string expected = errorOf([&] { Require<IB>(object, "IB"); });
        ASSERT_EQ(errorOf([&] { query.Borrow(object, "IB"); }), expected);
        if (expected == "none") {
            EXPECT_EQ(&query.Borrow(object, "IB"), Require<IB>(object, "IB").get());
        }
    }
}

}  // namespace
}  // namespace velorin::host
