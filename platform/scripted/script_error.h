#pragma once

#include <stdexcept>
#include <string>

#include "ui/toolkit.h"

namespace velorin::scripted {

// A script that does not fit what the program did: a window shown with no scene
// for it, a window left open, a message box nobody answers, an action a person
// could not take. It is deliberately not a velorin::Error, so no command's trap
// swallows it, and it is exempt from the toolkits' error edge: it ends the test
// with its message.
class ScriptError : public std::logic_error, public ui::EdgeExempt {
  public:
    using std::logic_error::logic_error;
};

}  // namespace velorin::scripted
