#pragma once

#include <cstdlib>
#include <iostream>
#include <string_view>

// What a fuzz target does when a promise of the code under test is broken: it
// says which, then aborts, so that libFuzzer (or the replay main) keeps the input
// as a crash. velorin::Error for bad input is an expected answer, never a finding.
namespace velorin::fuzz {

inline void Require(bool promise, std::string_view what) {
    if (!promise) {
        std::cerr << "broken promise: " << what << '\n';
        std::abort();
    }
}

}  // namespace velorin::fuzz
