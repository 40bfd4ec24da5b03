#include "host/field_value.h"

#include <array>
#include <charconv>
#include <cmath>
#include <string_view>
#include <type_traits>

namespace velorin::host {

namespace {

template <class T>
std::string IntegerText(T v) {
    std::array<char, 24> buf{};
    auto [end, ec] = std::to_chars(buf.data(), buf.data() + buf.size(), v);
    return std::string(buf.data(), end);
}

// The decimal exponents written in fixed notation, as the general format with
// 15 significant digits decides: 1e-04 is 0.0001, 1e+14 is 100000000000000.
constexpr int kSmallestFixedExponent = -4;
constexpr int kLargestFixedExponent = 14;

// A finite number's text from its scientific form ("d.ddde+XX", as to_chars
// writes it): fixed notation while the exponent lies in the range above, exponent
// form otherwise, always without trailing zeros. So every number type lays out
// the same digits the same way: 100000 and 0.0001 in fixed notation, 1e+20 and
// 1e-05 with an exponent. A zero of either sign is "0".
std::string LaidOut(std::string_view scientific) {
    const bool negative = scientific.front() == '-';
    if (negative) scientific.remove_prefix(1);
    const std::size_t e = scientific.find('e');
    std::string digits;
    for (const char c : scientific.substr(0, e)) {
        if (c != '.') digits += c;
    }
    while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
    if (digits == "0") return "0";
    int exponent = 0;
    const std::string_view exponentText = scientific.substr(e + 1);
    const std::size_t skip = exponentText.front() == '+' ? 1 : 0;
    std::from_chars(exponentText.data() + skip, exponentText.data() + exponentText.size(),
                    exponent);

    std::string text = negative ? "-" : "";
    const auto count = static_cast<int>(digits.size());
    if (exponent > kLargestFixedExponent || exponent < kSmallestFixedExponent) {
        text += digits.front();
        if (count > 1) text += '.' + digits.substr(1);
        text += exponent < 0 ? "e-" : "e+";
        const std::string magnitude = IntegerText(exponent < 0 ? -exponent : exponent);
        if (magnitude.size() < 2) text += '0';
        return text + magnitude;
    }
    if (exponent < 0) {
        return text + "0." + std::string(static_cast<std::size_t>(-exponent - 1), '0') + digits;
    }
    if (count <= exponent + 1) {
        return text + digits + std::string(static_cast<std::size_t>(exponent + 1 - count), '0');
    }
    const auto point = static_cast<std::size_t>(exponent + 1);
    return text + digits.substr(0, point) + '.' + digits.substr(point);
}

// Non-finite numbers keep to_chars's words ("inf", "-inf", "nan").
template <class T>
std::string NonFiniteText(T v) {
    std::array<char, 8> buf{};
    auto [end, ec] = std::to_chars(buf.data(), buf.data() + buf.size(), v);
    return std::string(buf.data(), end);
}

// The shortest digits that read back as the very same single.
std::string FloatText(float v) {
    if (!std::isfinite(v)) return NonFiniteText(v);
    std::array<char, 32> buf{};
    auto [end, ec] =
        std::to_chars(buf.data(), buf.data() + buf.size(), v, std::chars_format::scientific);
    return LaidOut(std::string_view(buf.data(), static_cast<std::size_t>(end - buf.data())));
}

// Civil date from days since 1970-01-01 (Howard Hinnant's algorithm).
void CivilFromDays(std::int64_t z, int& y, int& m, int& d) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2 ? 1 : 0));
}

std::int64_t DaysFromCivil(int y, int m, int d) {
    y -= m <= 2 ? 1 : 0;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy =
        (153 * static_cast<unsigned>(m > 2 ? m - 3 : m + 9) + 2) / 5 + static_cast<unsigned>(d) - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

// Decimal digits padded with zeros to `width` characters, a minus sign counting
// as one of them (-5 at width 4 is "-005"), as dates are written.
std::string ZeroPadded(int value, int width) {
    std::string digits = IntegerText(value < 0 ? -static_cast<std::int64_t>(value)
                                               : static_cast<std::int64_t>(value));
    const int wanted = value < 0 ? width - 1 : width;
    if (static_cast<int>(digits.size()) < wanted) {
        digits.insert(0, static_cast<std::size_t>(wanted) - digits.size(), '0');
    }
    return value < 0 ? '-' + digits : digits;
}

// Days between 1899-12-30 and 1970-01-01.
constexpr std::int64_t kEpochShift = 25569;

std::string DateText(Date date) {
    if (!std::isfinite(date.days)) return FormatDouble(date.days);
    // Round to whole seconds first so that 23:59:59.7 becomes the next midnight.
    const double totalSeconds = std::round(date.days * 86400.0);
    if (std::fabs(totalSeconds) > 1e15) return FormatDouble(date.days);
    const auto secs = static_cast<std::int64_t>(totalSeconds);
    std::int64_t dayNumber = secs / 86400;
    std::int64_t secOfDay = secs % 86400;
    if (secOfDay < 0) {
        secOfDay += 86400;
        --dayNumber;
    }
    int y = 0, m = 0, d = 0;
    CivilFromDays(dayNumber - kEpochShift, y, m, d);
    std::string text = ZeroPadded(y, 4) + '-' + ZeroPadded(m, 2) + '-' + ZeroPadded(d, 2);
    if (secOfDay != 0) {
        text += ' ' + ZeroPadded(static_cast<int>(secOfDay / 3600), 2) + ':' +
                ZeroPadded(static_cast<int>(secOfDay / 60 % 60), 2) + ':' +
                ZeroPadded(static_cast<int>(secOfDay % 60), 2);
    }
    return text;
}

}  // namespace

std::string FormatDouble(double value) {
    if (!std::isfinite(value)) return NonFiniteText(value);
    // Fifteen digits of the largest doubles round up beyond a double's range
    // (1.79769313486232e+308), a text that no longer reads back as a number:
    // they are written as the largest number fifteen digits show within it.
    constexpr double kLargestShown = 1.79769313486231e308;
    if (std::fabs(value) > kLargestShown) value = std::copysign(kLargestShown, value);
    std::array<char, 40> buf{};
    auto [end, ec] = std::to_chars(buf.data(), buf.data() + buf.size(), value,
                                   std::chars_format::scientific, 14);
    return LaidOut(std::string_view(buf.data(), static_cast<std::size_t>(end - buf.data())));
}

std::string FormatDoubleExact(double value) {
    if (!std::isfinite(value)) return NonFiniteText(value);
    std::array<char, 40> buf{};
    auto [end, ec] =
        std::to_chars(buf.data(), buf.data() + buf.size(), value, std::chars_format::scientific);
    return LaidOut(std::string_view(buf.data(), static_cast<std::size_t>(end - buf.data())));
}

Date MakeDate(int year, int month, int day, int hour, int minute, int second) {
    const auto days = DaysFromCivil(year, month, day) + kEpochShift;
    return Date{static_cast<double>(days) + (hour * 3600.0 + minute * 60.0 + second) / 86400.0};
}

bool FieldValue::IsNumber() const noexcept {
    return std::visit(
        [](const auto& v) {
            using T = std::decay_t<decltype(v)>;
            return std::is_same_v<T, std::int16_t> || std::is_same_v<T, std::int32_t> ||
                   std::is_same_v<T, std::int64_t> || std::is_same_v<T, float> ||
                   std::is_same_v<T, double> || std::is_same_v<T, ObjectId>;
        },
        m_value);
}

std::optional<std::int64_t> FieldValue::AsWhole() const noexcept {
    return std::visit(
        [](const auto& v) -> std::optional<std::int64_t> {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, std::int16_t> || std::is_same_v<T, std::int32_t> ||
                          std::is_same_v<T, std::int64_t>) {
                return v;
            } else if constexpr (std::is_same_v<T, ObjectId>) {
                return v.value;
            } else {
                return std::nullopt;
            }
        },
        m_value);
}

double FieldValue::AsDouble() const noexcept {
    return std::visit(
        [](const auto& v) -> double {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, ObjectId>) {
                return v.value;
            } else if constexpr (std::is_arithmetic_v<T> && !std::is_same_v<T, bool>) {
                return static_cast<double>(v);
            } else {
                return 0.0;
            }
        },
        m_value);
}

std::string ToText(const FieldValue& value) {
    return std::visit(
        [](const auto& v) -> std::string {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, std::monostate>) {
                return {};
            } else if constexpr (std::is_same_v<T, std::string>) {
                return v;
            } else if constexpr (std::is_same_v<T, bool>) {
                return v ? "True" : "False";
            } else if constexpr (std::is_same_v<T, float>) {
                return FloatText(v);
            } else if constexpr (std::is_same_v<T, double>) {
                return FormatDouble(v);
            } else if constexpr (std::is_same_v<T, Date>) {
                return DateText(v);
            } else if constexpr (std::is_same_v<T, ObjectId>) {
                return IntegerText(v.value);
            } else {
                return IntegerText(v);
            }
        },
        value.Get());
}

}  // namespace velorin::host
