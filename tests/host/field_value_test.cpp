#include "host/field_value.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cstdint>
#include <limits>
#include <ostream>
#include <string>
#include <vector>

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
        TextCase{FieldValue{std::numeric_limits<double>::max()}, "1.79769313486231e+308"},
        TextCase{FieldValue{std::numeric_limits<double>::lowest()}, "-1.79769313486231e+308"},
        TextCase{FieldValue{0.1F}, "0.1"}, TextCase{FieldValue{2.5F}, "2.5"},
        TextCase{FieldValue{"x' OR 'a'='a"}, "x' OR 'a'='a"}, TextCase{FieldValue{true}, "True"},
        TextCase{FieldValue{MakeDate(2003, 1, 29)}, "2003-01-29"},
        TextCase{FieldValue{MakeDate(1899, 12, 30, 6, 30, 5)}, "1899-12-30 06:30:05"},
        TextCase{FieldValue{MakeDate(1850, 2, 28, 23, 59, 59)}, "1850-02-28 23:59:59"},
        TextCase{FieldValue{MakeDate(12345, 6, 7)}, "12345-06-07"},
        TextCase{FieldValue{MakeDate(-5, 3, 1, 0, 0, 9)}, "-005-03-01 00:00:09"}));

// One number held as each numeric type that can hold it exactly.
struct SameNumberCase {
    std::vector<FieldValue> held;
    const char* text;
};

void PrintTo(const SameNumberCase& c, std::ostream* os) { *os << c.text; }

class SameNumber : public ::testing::TestWithParam<SameNumberCase> {};

TEST_P(SameNumber, GivesOneTextWhateverTheNumericType) {
    for (const FieldValue& value : GetParam().held) {
        EXPECT_EQ(ToText(value), GetParam().text) << "held as variant " << value.Get().index();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Numbers, SameNumber,
    ::testing::Values(
        SameNumberCase{{std::int16_t{7}, std::int32_t{7}, ObjectId{7}, 7.0F, 7.0}, "7"},
        SameNumberCase{{std::int32_t{100000}, ObjectId{100000}, 100000.0F, 100000.0}, "100000"},
        SameNumberCase{{std::int32_t{-3000000}, -3e6F, -3e6}, "-3000000"},
        SameNumberCase{{std::int16_t{0}, -0.0F, -0.0}, "0"},
        SameNumberCase{{0.0001F, 0.0001}, "0.0001"}, SameNumberCase{{1e-5F, 1e-5}, "1e-05"},
        SameNumberCase{{0.5F, 0.5}, "0.5"}, SameNumberCase{{1e20F, 1e20}, "1e+20"},
        SameNumberCase{{std::int32_t{123456789}, 123456789.0}, "123456789"},
        SameNumberCase{{16777216.0F, 16777216.0}, "16777216"}));

TEST(FieldValue, ExactDoubleTextReadsBackAsTheSameDouble) {
    for (const double value : {0.1 + 0.2, 1.0000000000000002, 1.0 / 3.0, -2.5e-300, 1e20,
                               123456789012345.67, 3.4028234663852886e38}) {
        const std::string text = FormatDoubleExact(value);
        double back = 0.0;
        std::from_chars(text.data(), text.data() + text.size(), back);
        EXPECT_EQ(back, value) << text;
    }
    EXPECT_EQ(FormatDoubleExact(0.1 + 0.2), "0.30000000000000004");
    EXPECT_EQ(FormatDoubleExact(-0.0), "0");
    EXPECT_EQ(FormatDoubleExact(300.0), "300");
}

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
