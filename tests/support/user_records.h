#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/scripted/scripted_user.h"

// What a scripted user saw, in the form the tests compare with a list.
namespace velorin::testing {

// The text of every message box shown, in order.
inline std::vector<std::string> BoxTexts(const scripted::ScriptedUser& user) {
    std::vector<std::string> texts;
    for (const auto& box : user.MessageBoxes()) texts.push_back(box.text);
    return texts;
}

// Every sleep asked of the toolkit, in milliseconds, in order.
inline std::vector<std::int32_t> SleptMilliseconds(const scripted::ScriptedUser& user) {
    std::vector<std::int32_t> slept;
    for (const auto& sleep : user.Sleeps()) slept.push_back(sleep.milliseconds);
    return slept;
}

}  // namespace velorin::testing
