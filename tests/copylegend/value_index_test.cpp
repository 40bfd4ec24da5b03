#include "copylegend/value_index.h"

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>

namespace velorin::copylegend {
namespace {

TEST(ValueIndex, TextsDifferingInCaseSpacesOrBytesAreDifferentKeys) {
    ValueIndex index;
    const std::string withNul("a\0b", 3);
    // Texts either side of the longest one matched inside the table, one that
    // differs from another only by a trailing NUL, and numbers written in more
    // than one way or either side of the largest kept as a bit.
    for (const std::string& text :
         {std::string("abc"), std::string("ABC"), std::string("abc "), std::string(""),
          std::string("a"), withNul, std::string("a\0", 2), std::string("1234567"),
          std::string("12345678"), std::string("1234567\0", 8), std::string("0"), std::string("00"),
          std::string("07"), std::string("7"), std::string("1048575"), std::string("1048576"),
          std::string("-7")}) {
        EXPECT_FALSE(index.Contains(text)) << text;
        EXPECT_TRUE(index.Insert(text)) << text;
        EXPECT_TRUE(index.Contains(text)) << text;
        EXPECT_FALSE(index.Insert(text)) << text;
    }
    EXPECT_FALSE(index.Contains(std::string("a\0c", 3)));
    EXPECT_EQ(index.Size(), 17U);
}

TEST(ValueIndex, AgreesWithAnOrderedSetThroughManyGrowths) {
    // Short numeric texts like the keys of a map, with many repeats, plus texts
    // that share long prefixes: every answer must be the reference set's.
    std::mt19937 random(20030129);
    std::uniform_int_distribution<int> pick(0, 60'000);
    std::set<std::string> reference;
    ValueIndex index;
    for (int i = 0; i < 200'000; ++i) {
        const int n = pick(random);
        const std::string text =
            (n % 3 == 0) ? "Catchment-" + std::to_string(n) : std::to_string(n);
        const bool added = reference.insert(text).second;
        ASSERT_EQ(index.Insert(text), added) << text;
    }
    EXPECT_EQ(index.Size(), reference.size());
    for (int n = -10; n < 60'010; n += 7) {
        const std::string text = std::to_string(n);
        ASSERT_EQ(index.Contains(text), reference.contains(text)) << text;
    }
}

}  // namespace
}  // namespace velorin::copylegend
