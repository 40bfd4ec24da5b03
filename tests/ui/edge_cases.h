#pragma once

#include <array>
#include <new>
#include <stdexcept>
#include <string_view>

#include "host/error.h"

// What the error edge shows for each kind of thing a person's action can raise,
// one row per kind; every toolkit's test plays the same table through its own
// person (Toolkit::RunAtEdge).
namespace velorin::ui::testing {

struct EdgeCase {
    std::string_view raised;  // for failure messages
    void (*raise)();
    std::string_view box;  // the error box's text
};

inline constexpr std::array kEdgeCases = {
    EdgeCase{"a velorin::Error", [] { throw velorin::Error(-2147467259, "Unspecified error"); },
             "Error -2147467259: Unspecified error"},
    EdgeCase{"std::bad_alloc", [] { throw std::bad_alloc(); }, "Error 7: Out of memory"},
    EdgeCase{"another std::exception", [] { throw std::out_of_range("vector"); },
             "Error 51: Internal error: vector"},
    EdgeCase{"something not an exception", [] { throw 42; }, "Error 51: Internal error"},
};

}  // namespace velorin::ui::testing
