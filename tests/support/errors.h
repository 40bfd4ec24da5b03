#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "host/codes.h"
#include "host/error.h"

namespace velorin::testing {

// The description of the host failure `call` raises; a failure of the test when
// it raises nothing or another number.
inline std::string DescriptionOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const Error& error) {
        EXPECT_EQ(error.Number(), host::E_HOST_FAIL);
        return error.Description();
    }
    ADD_FAILURE() << "no error was raised";
    return {};
}

}  // namespace velorin::testing
