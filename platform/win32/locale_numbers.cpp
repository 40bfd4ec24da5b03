#include "platform/win32/locale_numbers.h"

#include <array>

#include "platform/win32/wide_text.h"
#include "platform/win32/windows_api.h"
#include "ui/numbers.h"

namespace velorin::win32 {

namespace {

// LOCALE_SDECIMAL and LOCALE_STHOUSAND hold at most 4 characters with the
// terminator, LOCALE_SNEGATIVESIGN 5; a little room to spare.
constexpr int kSymbolCapacity = 16;

// The symbol, or `fallback` when it cannot be read or is empty (a locale that
// writes nothing between the parts of a number would make every text ambiguous).
std::string ReadSymbol(LCTYPE type, std::string_view fallback) {
    std::array<wchar_t, kSymbolCapacity> buffer{};
    const int length = GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, type, buffer.data(),
                                       static_cast<int>(buffer.size()));
    if (length <= 1) {
        return std::string(fallback);
    }
    return Narrow(std::wstring_view(buffer.data(), static_cast<std::size_t>(length - 1)));
}

// Builds a new text rather than replacing in place: GCC 12 reports in-place
// std::string::replace at -O3 as an overlapping copy (a false -Wrestrict).
std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to) {
    if (from.empty()) {
        return std::string(text);
    }
    std::string replaced;
    replaced.reserve(text.size());
    std::size_t at = 0;
    for (std::size_t found = text.find(from); found != std::string_view::npos;
         found = text.find(from, at)) {
        replaced.append(text.substr(at, found - at));
        replaced.append(to);
        at = found + from.size();
    }
    replaced.append(text.substr(at));
    return replaced;
}

std::string_view TrimBlanks(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool Contains(std::string_view text, std::string_view part) {
    return !part.empty() && text.find(part) != std::string_view::npos;
}

}  // namespace

NumberSymbols UserNumberSymbols() {
    return NumberSymbols{.decimal = ReadSymbol(LOCALE_SDECIMAL, "."),
                         .group = ReadSymbol(LOCALE_STHOUSAND, ""),
                         .negative = ReadSymbol(LOCALE_SNEGATIVESIGN, "-")};
}

std::optional<double> ParseLocaleNumber(std::string_view text, const NumberSymbols& symbols) {
    // Blanks around the number first: a locale that groups with a space must
    // still accept " 1,5 ".
    text = TrimBlanks(text);
    if (symbols.group != symbols.decimal && Contains(text, symbols.group)) {
        return std::nullopt;
    }
    std::string c(text);
    if (symbols.decimal != ".") {
        // "1.5" under a decimal comma is most likely a grouped "15" or a slip;
        // either way it is not what the person's settings say.
        if (Contains(c, ".")) {
            return std::nullopt;
        }
        c = ReplaceAll(c, symbols.decimal, ".");
    }
    if (symbols.negative != "-") {
        c = ReplaceAll(c, symbols.negative, "-");
    }
    return ui::ParseCNumber(c);
}

std::string FormatLocaleNumber(double value, const NumberSymbols& symbols) {
    const std::string text = ui::FormatGeneral15(value);
    const bool negative = !text.empty() && text.front() == '-';
    const std::string digits =
        ReplaceAll(std::string_view(text).substr(negative ? 1 : 0), ".", symbols.decimal);
    return negative ? symbols.negative + digits : digits;
}

}  // namespace velorin::win32
