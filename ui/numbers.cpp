#include "ui/numbers.h"

#include <array>
#include <charconv>
#include <cmath>
#include <system_error>

namespace velorin::ui {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

}  // namespace

std::optional<double> ParseCNumber(std::string_view text) {
    text = TrimBlanks(text);
    if (text.empty()) {
        return std::nullopt;
    }
    // from_chars accepts "nan", "inf" and "infinity" (in any case); a person's
    // entry of those is not a number. A number starts with a digit, a point or a
    // minus sign followed by one of those.
    const std::string_view body = text.front() == '-' ? text.substr(1) : text;
    if (body.empty() || !(body.front() == '.' || (body.front() >= '0' && body.front() <= '9'))) {
        return std::nullopt;
    }
    double value = 0.0;
    const char* first = text.data();
    const char* last = text.data() + text.size();
    const auto result = std::from_chars(first, last, value, std::chars_format::general);
    if (result.ec != std::errc{} || result.ptr != last) {
        return std::nullopt;
    }
    return value;
}

std::string FormatGeneral15(double value) {
    if (value == 0.0) {
        return "0";
    }
    // Fifteen digits of the largest doubles round up beyond a double's range
    // (1.79769313486232e+308), a text no reader takes back: they are written as
    // the largest number fifteen digits can show within it.
    constexpr double kLargestShown = 1.79769313486231e308;
    if (std::isfinite(value) && std::fabs(value) > kLargestShown) {
        value = std::copysign(kLargestShown, value);
    }
    std::array<char, 32> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                      std::chars_format::general, 15);
    return std::string(buffer.data(), result.ptr);
}

}  // namespace velorin::ui
