#pragma once

#include <optional>
#include <string>
#include <string_view>

// Locale-free number text, the same on every machine and under every C locale
// (a Qt application switches the C library's number locale, so nothing here uses
// strtod or printf).
namespace velorin::ui {

// A decimal number as the C locale writes it: optional '-', digits with an
// optional '.', optional exponent ("1.5", "-.5", "2e3"). Leading and trailing
// blanks (spaces, tabs) are ignored. Refused, giving no value: an empty text, a
// leading '+', group separators ("1,500"), "nan" and "inf", anything after the
// number, and values outside the range of a double.
std::optional<double> ParseCNumber(std::string_view text);

// The general form with at most 15 significant digits and no trailing zeros:
// 1.5 -> "1.5", 300 -> "300", 0.1 + 0.2 -> "0.3", 1e20 -> "1e+20". Negative zero
// is written "0"; NaN and infinities as "nan", "inf", "-inf". Every finite value
// is written so that ParseCNumber reads it back.
std::string FormatGeneral15(double value);

}  // namespace velorin::ui
