#pragma once

#include <cstdint>
#include <string>
#include <variant>

#include "ui/toolkit.h"

namespace velorin::scripted {

struct MessageBoxRecord {
    std::string text;
    std::string title;
    ui::MsgButtons buttons = ui::MsgButtons::OkOnly;
    ui::MsgIcon icon = ui::MsgIcon::None;
    ui::MsgResult answer = ui::MsgResult::Ok;
};

struct SleepRecord {
    std::int32_t milliseconds = 0;  // as slept: never negative
    std::int64_t nowAfter = 0;      // the virtual clock after the sleep, ms
};

struct DoEventsRecord {};

struct ShowRecord {
    std::string window;  // layout name
    std::string caption;
};

// An Esc press made pending, and why ("before cancel check 3", "during sleep 2",
// "status text ...", "pressed").
struct EscPressRecord {
    std::string cause;
};

// An Esc press taken by a cancel check (the n-th, counting from 1).
struct EscTakenRecord {
    int cancelCheck = 0;
};

struct StatusRecord {
    std::string text;
};

struct ExtentRecord {
    double xMin = 0.0;
    double yMin = 0.0;
    double xMax = 0.0;
    double yMax = 0.0;
};

using Event = std::variant<MessageBoxRecord, SleepRecord, DoEventsRecord, ShowRecord,
                           EscPressRecord, EscTakenRecord, StatusRecord, ExtentRecord>;

// One line describing the event, for transcripts and failure messages.
std::string Describe(const Event& event);

}  // namespace velorin::scripted
