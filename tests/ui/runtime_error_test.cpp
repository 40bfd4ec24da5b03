#include "ui/runtime_error.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace velorin::ui {
namespace {

struct Rounded {
    double value;
    std::int16_t expected;
};

class ToInt16CheckedRounds : public ::testing::TestWithParam<Rounded> {};

TEST_P(ToInt16CheckedRounds, ToTheNearestWithHalvesToEven) {
    EXPECT_EQ(ToInt16Checked(GetParam().value), GetParam().expected) << GetParam().value;
}

INSTANTIATE_TEST_SUITE_P(Values, ToInt16CheckedRounds,
                         ::testing::Values(Rounded{1.5, 2}, Rounded{2.5, 2}, Rounded{12.5, 12},
                                           Rounded{13.5, 14}, Rounded{0.5, 0}, Rounded{-0.5, 0},
                                           Rounded{-1.5, -2}, Rounded{-2.5, -2},
                                           Rounded{0.49999999999999994, 0},
                                           Rounded{31.999 * 1000, 31999},
                                           Rounded{32.767 * 1000, 32767}, Rounded{32767.0, 32767},
                                           Rounded{-32768.0, -32768}, Rounded{-32768.5, -32768},
                                           Rounded{32767.49, 32767}));

class ToInt16CheckedOverflows : public ::testing::TestWithParam<double> {};

TEST_P(ToInt16CheckedOverflows, OutsideSixteenBitsOrNotFinite) {
    try {
        (void)ToInt16Checked(GetParam());
        FAIL() << "no error for " << GetParam();
    } catch (const velorin::Error& error) {
        EXPECT_EQ(error.Number(), 6);
        EXPECT_EQ(error.Description(), "Overflow");
    }
}

INSTANTIATE_TEST_SUITE_P(Values, ToInt16CheckedOverflows,
                         ::testing::Values(32767.5, 32768.0, -32768.6, -32769.0, 1e300,
                                           std::numeric_limits<double>::quiet_NaN(),
                                           std::numeric_limits<double>::infinity(),
                                           -std::numeric_limits<double>::infinity()));

TEST(ToInt32Checked, RoundsTheSameWayOverItsWiderRange) {
    EXPECT_EQ(ToInt32Checked(2147483647.4), 2147483647);
    EXPECT_EQ(ToInt32Checked(-2147483648.5), -2147483648);
    EXPECT_THROW((void)ToInt32Checked(2147483647.5), velorin::Error);
}

TEST(RuntimeError, RaisingCarriesTheNumberAndItsStandardDescription) {
    struct Case {
        void (*raise)();
        std::int32_t number;
        const char* description;
    };
    const Case cases[] = {{RaiseOverflow, 6, "Overflow"},
                          {RaiseTypeMismatch, 13, "Type mismatch"},
                          {RaiseInvalidProcedureCall, 5, "Invalid procedure call or argument"},
                          {RaiseDivisionByZero, 11, "Division by zero"},
                          {RaiseInvalidUseOfNull, 94, "Invalid use of Null"},
                          {RaiseObjectRequired, 424, "Object required"}};
    for (const Case& c : cases) {
        try {
            c.raise();
            FAIL() << "nothing raised";
        } catch (const velorin::Error& error) {
            EXPECT_EQ(error.Number(), c.number);
            EXPECT_EQ(error.Description(), c.description);
        }
    }
}

TEST(RuntimeError, ADetailFollowsTheStandardDescription) {
    try {
        RaiseRuntimeError(kErrControlNotFound, "frmHelp.txtHelp2");
    } catch (const velorin::Error& error) {
        EXPECT_EQ(error.Description(), "Control not found: frmHelp.txtHelp2");
        EXPECT_EQ(ErrorMessageText(error), "Error 730: Control not found: frmHelp.txtHelp2");
    }
}

}  // namespace
}  // namespace velorin::ui
