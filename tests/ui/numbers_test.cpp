#include "ui/numbers.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

namespace velorin::ui {
namespace {

struct Parsed {
    const char* text;
    double value;
};

class ParseCNumberAccepts : public ::testing::TestWithParam<Parsed> {};

TEST_P(ParseCNumberAccepts, TheCLocalesDecimalForm) {
    const std::optional<double> value = ParseCNumber(GetParam().text);
    ASSERT_TRUE(value.has_value()) << GetParam().text;
    EXPECT_EQ(*value, GetParam().value) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(Texts, ParseCNumberAccepts,
                         ::testing::Values(Parsed{"1.5", 1.5}, Parsed{"  2.5  ", 2.5},
                                           Parsed{"\t300\t", 300.0}, Parsed{"-1", -1.0},
                                           Parsed{".0009", 0.0009}, Parsed{"-.5", -0.5},
                                           Parsed{"5.", 5.0}, Parsed{"1e3", 1000.0},
                                           Parsed{"2.5E-1", 0.25}, Parsed{"32.767", 32.767},
                                           Parsed{"0", 0.0}, Parsed{"007", 7.0}));

class ParseCNumberRefuses : public ::testing::TestWithParam<const char*> {};

TEST_P(ParseCNumberRefuses, WhatIsNotANumber) {
    EXPECT_FALSE(ParseCNumber(GetParam()).has_value()) << GetParam();
}

INSTANTIATE_TEST_SUITE_P(Texts, ParseCNumberRefuses,
                         ::testing::Values("", "   ", "+1", "1,500", "1,5", "1 500", "nan", "NaN",
                                           "inf", "-inf", "Infinity", "1.5abc", "abc", "0x10", "-",
                                           ".", "1e", "1e999", "--1", "1.5.1",
                                           "\xC2\xA0"
                                           "1"));

struct Formatted {
    double value;
    const char* text;
};

class FormatGeneral15Writes : public ::testing::TestWithParam<Formatted> {};

TEST_P(FormatGeneral15Writes, AtMostFifteenSignificantDigitsWithoutTrailingZeros) {
    EXPECT_EQ(FormatGeneral15(GetParam().value), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Values, FormatGeneral15Writes,
    ::testing::Values(Formatted{1.5, "1.5"}, Formatted{300.0, "300"}, Formatted{0.1 + 0.2, "0.3"},
                      Formatted{1.7, "1.7"}, Formatted{2.5, "2.5"}, Formatted{-1.0, "-1"},
                      Formatted{0.001, "0.001"}, Formatted{1.0 / 3.0, "0.333333333333333"},
                      Formatted{123456789012345.0, "123456789012345"},
                      Formatted{1234567890123456789.0, "1.23456789012346e+18"},
                      Formatted{1e20, "1e+20"}, Formatted{-0.0, "0"}, Formatted{0.0, "0"},
                      Formatted{std::numeric_limits<double>::infinity(), "inf"},
                      // The largest doubles round down, or the text would be beyond
                      // the range no reader takes.
                      Formatted{std::numeric_limits<double>::max(), "1.79769313486231e+308"},
                      Formatted{-std::numeric_limits<double>::max(), "-1.79769313486231e+308"}));

}  // namespace
}  // namespace velorin::ui
