#include "platform/gdal/json_writer.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <nlohmann/json.hpp>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace velorin::gdal {
namespace {

using Limits = std::numeric_limits<double>;

// The number as the writer writes it alone, without the closing line break.
std::string Written(double value) {
    std::string text;
    JsonWriter out([&text](std::string_view piece) { text.append(piece); });
    out.Number(value);
    out.Finish();
    text.pop_back();
    return text;
}

std::string Dumped(double value) { return nlohmann::ordered_json(value).dump(); }

// The numbers a document holds (sizes, widths, extents) and the edges of every
// form: zeros, whole numbers either side of the last plain one, the smallest
// plain fraction and the first in exponent form, the limits, what is not finite.
class JsonWriterNumber : public ::testing::TestWithParam<double> {};

TEST_P(JsonWriterNumber, IsWrittenAsTheJsonLibraryDumpsIt) {
    EXPECT_EQ(Written(GetParam()), Dumped(GetParam()));
}

INSTANTIATE_TEST_SUITE_P(DocumentNumbers, JsonWriterNumber,
                         ::testing::Values(0.0, -0.0, 1.0, -1.0, 300.0, 7.5, 12.5, 0.1, 0.1 + 0.2,
                                           1.0 / 3.0, 2.0 / 3.0, 0.5, 4.35, 2.675, 1e-4, 1e-5,
                                           0.001234, -2.5e-7, 123456789012345.0, 999999999999999.0,
                                           1e15, 1e16, 1234567890123456.0, 9007199254740993.0, 1e21,
                                           1.5e300, 478123.25, -3852641.5, 6.02e23, Limits::max(),
                                           Limits::lowest(), Limits::min(), Limits::denorm_min(),
                                           Limits::epsilon(), Limits::infinity(),
                                           -Limits::infinity(), Limits::quiet_NaN()));

// Any bits at all: the same form as the library's, and the same double read back.
// The digits are the shortest that read back, the nearest of those: the library's
// own digits are a last digit off, or one longer, for about one double in 600.
TEST(JsonWriter, WritesAnyDoubleInTheLibrarysFormAsTheShortestDigitsThatReadBack) {
    std::mt19937_64 random(20261208);
    for (int i = 0; i < 100'000; ++i) {
        const double value = std::bit_cast<double>(random());
        if (!std::isfinite(value)) continue;
        const std::string written = Written(value);
        const std::string dumped = Dumped(value);
        ASSERT_EQ(nlohmann::json::parse(written).get<double>(), value) << written;
        ASSERT_LE(written.size(), dumped.size()) << written << " " << dumped;
        ASSERT_EQ(written.find('e') == std::string::npos, dumped.find('e') == std::string::npos)
            << written << " " << dumped;
        ASSERT_EQ(written.substr(0, 2), dumped.substr(0, 2)) << written << " " << dumped;
    }
}

}  // namespace
}  // namespace velorin::gdal
