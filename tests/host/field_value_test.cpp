#include "host/field_value.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "host/host.h"

namespace velorin::host {
namespace {

struct TextCase {
    FieldValue value;
    const char* text;
};

class FieldValueText : public ::testing::TestWithParam<TextCase> {};

TEST_P(FieldValueText, MatchesTheSharedTextForm) {
    EXPECT_EQ(ToText(GetParam().value), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    AllKinds, FieldValueText,
    ::testing::Values(
        TextCase{FieldValue{}, ""}, TextCase{FieldValue{std::int16_t{-32768}}, "-32768"},
        TextCase{FieldValue{std::int32_t{1234567}}, "1234567"},
        TextCase{FieldValue{std::int64_t{9007199254740993}}, "9007199254740993"},
        TextCase{FieldValue{ObjectId{12}}, "12"}, TextCase{FieldValue{1.5}, "1.5"},
        TextCase{FieldValue{300.0}, "300"}, TextCase{FieldValue{0.1 + 0.2}, "0.3"},
        TextCase{FieldValue{-0.25}, "-0.25"}, TextCase{FieldValue{1.0 / 3.0}, "0.333333333333333"},
        TextCase{FieldValue{0.1F}, "0.1"}, TextCase{FieldValue{2.5F}, "2.5"},
        TextCase{FieldValue{"x' OR 'a'='a"}, "x' OR 'a'='a"}, TextCase{FieldValue{true}, "True"},
        TextCase{FieldValue{MakeDate(2003, 1, 29)}, "2003-01-29"},
        TextCase{FieldValue{MakeDate(1899, 12, 30, 6, 30, 5)}, "1899-12-30 06:30:05"},
        TextCase{FieldValue{MakeDate(1850, 2, 28, 23, 59, 59)}, "1850-02-28 23:59:59"},
        TextCase{FieldValue{MakeDate(12345, 6, 7)}, "12345-06-07"},
        TextCase{FieldValue{MakeDate(-5, 3, 1, 0, 0, 9)}, "-005-03-01 00:00:09"}));

TEST(FieldValue, NumbersAreRecognisedAndReadAsDoubles) {
    EXPECT_TRUE(FieldValue{std::int16_t{3}}.IsNumber());
    EXPECT_TRUE(FieldValue{ObjectId{7}}.IsNumber());
    EXPECT_DOUBLE_EQ(FieldValue{ObjectId{7}}.AsDouble(), 7.0);
    EXPECT_FALSE(FieldValue{"12"}.IsNumber());
    EXPECT_FALSE(FieldValue{true}.IsNumber());
    EXPECT_FALSE(FieldValue{}.IsNumber());
}

TEST(FieldValue, NonFiniteDoublesHaveAText) {
    EXPECT_EQ(ToText(FieldValue{std::numeric_limits<double>::infinity()}), "inf");
    EXPECT_EQ(ToText(FieldValue{1e20}), "1e+20");
}

}  // namespace
}  // namespace velorin::host
