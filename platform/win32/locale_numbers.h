#pragma once

#include <optional>
#include <string>
#include <string_view>

// Numbers as the person's regional settings write them. The digits themselves
// are always done locale-free (ui/numbers.h, std::from_chars and std::to_chars);
// only the symbols around them follow the user.
namespace velorin::win32 {

// The symbols of one locale, UTF-8. An empty group separator means none.
struct NumberSymbols {
    std::string decimal = ".";
    std::string group = ",";
    std::string negative = "-";
};

// The user's current settings (GetLocaleInfoEx on the user's default locale),
// read afresh on every call so that a change in the regional settings applies
// at once. A symbol that cannot be read keeps its C-locale default.
NumberSymbols UserNumberSymbols();

// A number typed in a locale with `symbols`: blanks around it are ignored, the
// locale's decimal separator and negative sign are understood, and so is '-'.
// Refused, giving no value: group separators ("1,500" where ',' groups), a '.'
// where the decimal separator is something else, an empty text, "nan", "inf",
// values beyond a double and anything ParseCNumber refuses.
std::optional<double> ParseLocaleNumber(std::string_view text, const NumberSymbols& symbols);

// At most 15 significant digits, no trailing zeros, no group separators, with
// the locale's decimal separator and negative sign ("1234567,5" for a decimal
// comma). Negative zero is "0".
std::string FormatLocaleNumber(double value, const NumberSymbols& symbols);

}  // namespace velorin::win32
