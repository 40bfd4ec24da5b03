#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/objects/renderers.h"

namespace velorin::objects {
namespace {

// The renderer's table of value positions against a standard map, on texts made
// to collide and to grow the table through many sizes: empty and one-character
// texts, texts that differ only at their end, long ones, embedded zero bytes, and
// texts that are prefixes of one another. Every text added is found at its place,
// and every text not added is not found.
TEST(ValuePositions, FindsWhatAStandardMapFinds) {
    std::mt19937 random(20261208);
    std::vector<std::string> texts{"", "a", std::string(1, '\0'), std::string("a\0b", 3)};
    for (int i = 0; i < 3000; ++i) {
        const std::string base(static_cast<std::size_t>(random() % 40), 'k');
        texts.push_back(base + std::to_string(i));
        texts.push_back(std::to_string(i));
        texts.push_back(std::string(static_cast<std::size_t>(i % 7), 'x'));
    }
    ValueTexts values;
    ValuePositions positions;
    std::unordered_map<std::string, std::uint32_t> plain;
    std::vector<std::string> missing;
    for (const std::string& text : texts) {
        if (random() % 5 == 0) {
            missing.push_back(text + "~");
            continue;
        }
        if (plain.count(text) != 0) {
            EXPECT_EQ(positions.Find(text, values), plain[text]);
            continue;
        }
        ASSERT_EQ(positions.Find(text, values), ValuePositions::None);
        const auto place = static_cast<std::uint32_t>(values.Size());
        values.PushBack(text);
        positions.Add(text, place, values);
        plain.emplace(text, place);
    }
    for (const auto& [text, place] : plain) EXPECT_EQ(positions.Find(text, values), place);
    for (const std::string& text : missing) {
        if (plain.count(text) == 0) {
            EXPECT_EQ(positions.Find(text, values), ValuePositions::None);
        }
    }
}

}  // namespace
}  // namespace velorin::objects
