#include "copylegend/value_index.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <functional>
#include <random>
#include <string>
#include <string_view>
#include <unordered_set>

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

// The plain twin ValueIndex stands in for.
struct TextHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const noexcept {
        return std::hash<std::string_view>{}(text);
    }
};
using PlainIndex = std::unordered_set<std::string, TextHash, std::equal_to<>>;

// Texts chosen to reach every way a key is held: numbers either side of the
// largest kept as a bit and written with leading zeros or signs, short texts of
// any bytes (NUL, high bytes, the length of a slot exactly), long texts sharing
// their first bytes, with many repeats.
std::string AdversarialText(std::mt19937& random) {
    std::uniform_int_distribution<int> kind(0, 4);
    std::uniform_int_distribution<int> number(0, 60'000);
    std::uniform_int_distribution<int> nearBit(1'048'560, 1'048'590);
    std::uniform_int_distribution<int> length(0, 9);
    std::uniform_int_distribution<int> byte(0, 3);
    constexpr char kBytes[] = {'\0', '1', 'a', '\x80'};
    switch (kind(random)) {
        case 0:
            return std::to_string(number(random));
        case 1:
            return std::to_string(nearBit(random));
        case 2: {
            const int n = number(random) % 100;
            return (n % 2 == 0 ? "0" : "-") + std::to_string(n);
        }
        case 3: {
            std::string text(static_cast<std::size_t>(length(random)), ' ');
            for (char& c : text) c = kBytes[byte(random)];
            return text;
        }
        default:
            return "Catchment-" + std::to_string(number(random) % 5'000);
    }
}

TEST(ValueIndex, AgreesWithThePlainSetOnAdversarialTextsThroughManyGrowths) {
    std::mt19937 random(20030129);
    PlainIndex plain;
    ValueIndex index;
    for (int i = 0; i < 200'000; ++i) {
        const std::string text = AdversarialText(random);
        const bool added = plain.insert(text).second;
        ASSERT_EQ(index.Insert(text), added) << text;
    }
    EXPECT_EQ(index.Size(), plain.size());
    for (int i = 0; i < 50'000; ++i) {
        const std::string text = AdversarialText(random);
        ASSERT_EQ(index.Contains(text), plain.contains(text)) << text;
    }
}

}  // namespace
}  // namespace velorin::copylegend
