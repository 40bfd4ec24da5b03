#pragma once

#include <charconv>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

// A tiny check harness for the Windows test programs: GoogleTest is not
// packaged for MinGW. Cases register themselves with VELORIN_CASE; CHECK*
// record a failure and go on, REQUIRE* end the case. main() (check.cpp) runs
// the cases whose group is named on the command line (all when none is) and
// ends with the line "N passed, M failed" that scripts/windows-check.sh reads.
namespace velorin::check {

using CaseBody = std::function<void()>;

struct Registration {
    Registration(const char* group, const char* name, CaseBody body);
};

// Thrown by REQUIRE*; ends the current case only.
struct CaseAborted {};

void Fail(const char* file, int line, const std::string& message);
// The command-line arguments after the program name, for cases that need them
// (the path of the DLL under test).
const std::vector<std::string>& Arguments();

// An HRESULT to compare and print in hex (CHECK_HR).
struct Hr {
    std::int32_t value;
    bool operator==(const Hr&) const = default;
};

std::string Hex(std::uint32_t value);

template <class T>
std::string Describe(const T& value) {
    if constexpr (std::is_same_v<T, Hr>) {
        return "0x" + Hex(static_cast<std::uint32_t>(value.value));
    } else if constexpr (std::is_same_v<T, bool>) {
        return value ? "true" : "false";
    } else if constexpr (std::is_integral_v<T> || std::is_enum_v<T>) {
        char digits[32];
        const auto end =
            std::to_chars(digits, digits + sizeof digits, static_cast<long long>(value)).ptr;
        return std::string(digits, end);
    } else if constexpr (std::is_convertible_v<T, std::wstring_view>) {
        // Non-ASCII characters print as their code in hex.
        std::string narrow;
        for (wchar_t c : std::wstring_view(value)) {
            if (c >= 0x20 && c < 0x7F) {
                narrow += static_cast<char>(c);
            } else {
                narrow += "\\x" + Hex(static_cast<std::uint32_t>(c)) + ";";
            }
        }
        return "L\"" + narrow + "\"";
    } else if constexpr (std::is_convertible_v<T, std::string_view>) {
        // Appended piece by piece: GCC 12 at -O3 reports "literal" + std::string
        // as an overlapping copy (a false -Wrestrict).
        std::string quoted(1, '"');
        quoted += std::string_view(value);
        quoted += '"';
        return quoted;
    } else {
        return "(value)";
    }
}

template <class A, class B>
bool CheckEqual(const A& actual, const B& expected, const char* actualText, const char* file,
                int line) {
    if (actual == expected) {
        return true;
    }
    Fail(file, line,
         std::string(actualText) + " is " + Describe(actual) + ", expected " + Describe(expected));
    return false;
}

}  // namespace velorin::check

#define VELORIN_CHECK_CONCAT2(a, b) a##b
#define VELORIN_CHECK_CONCAT(a, b) VELORIN_CHECK_CONCAT2(a, b)

// VELORIN_CASE(Group, Name) { ... }: one case; Group is what the command line
// selects (a program may run different groups at different stages).
#define VELORIN_CASE(group, name)                                       \
    static void group##_##name();                                       \
    static const ::velorin::check::Registration VELORIN_CHECK_CONCAT(   \
        registration_, group##_##name)(#group, #name, &group##_##name); \
    static void group##_##name()

#define CHECK(condition) \
    ((condition) ? true : (::velorin::check::Fail(__FILE__, __LINE__, #condition), false))
#define CHECK_EQ(actual, expected) \
    ::velorin::check::CheckEqual((actual), (expected), #actual, __FILE__, __LINE__)
#define CHECK_HR(actual, expected)                                                          \
    ::velorin::check::CheckEqual(::velorin::check::Hr{static_cast<std::int32_t>(actual)},   \
                                 ::velorin::check::Hr{static_cast<std::int32_t>(expected)}, \
                                 #actual, __FILE__, __LINE__)
#define REQUIRE(condition)                         \
    do {                                           \
        if (!CHECK(condition)) {                   \
            throw ::velorin::check::CaseAborted{}; \
        }                                          \
    } while (false)
#define REQUIRE_EQ(actual, expected)               \
    do {                                           \
        if (!CHECK_EQ(actual, expected)) {         \
            throw ::velorin::check::CaseAborted{}; \
        }                                          \
    } while (false)
