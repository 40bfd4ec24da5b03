#include "zoomflash/run_zoom_flash_tool.h"

#include <gtest/gtest.h>

#include <limits>

#include "host/error.h"

namespace velorin::zoomflash {
namespace {

struct ConversionCase {
    double seconds;
    std::int16_t milliseconds;
};

class FlashTimeConversion : public ::testing::TestWithParam<ConversionCase> {};

TEST_P(FlashTimeConversion, RoundsHalvesToEven) {
    EXPECT_EQ(FlashMilliseconds(GetParam().seconds), GetParam().milliseconds);
}

INSTANTIATE_TEST_SUITE_P(Products, FlashTimeConversion,
                         ::testing::Values(ConversionCase{0.0015, 2}, ConversionCase{0.0025, 2},
                                           ConversionCase{0.0125, 12}, ConversionCase{0.0135, 14},
                                           ConversionCase{0.0005, 0}, ConversionCase{1.5, 1500},
                                           ConversionCase{31.999, 31999},
                                           ConversionCase{32.767, 32767},
                                           ConversionCase{-32.768, -32768}));

class FlashTimeOverflow : public ::testing::TestWithParam<double> {};

TEST_P(FlashTimeOverflow, RaisesOverflow) {
    try {
        FlashMilliseconds(GetParam());
        ADD_FAILURE() << "no overflow for " << GetParam() << " s";
    } catch (const Error& error) {
        EXPECT_EQ(error.Number(), 6);
    }
}

INSTANTIATE_TEST_SUITE_P(Products, FlashTimeOverflow,
                         ::testing::Values(32.7675, 40.0, -32.769,
                                           std::numeric_limits<double>::quiet_NaN(),
                                           std::numeric_limits<double>::infinity()));

}  // namespace
}  // namespace velorin::zoomflash
