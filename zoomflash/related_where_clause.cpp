#include "zoomflash/related_where_clause.h"

#include <array>
#include <variant>

#include "host/codes.h"
#include "ui/runtime_error.h"

namespace velorin::zoomflash {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsNameStart(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }

// Advances over a run of digits; returns how many there were.
std::size_t SkipDigits(std::string_view text, std::size_t& i) {
    const std::size_t start = i;
    while (i < text.size() && IsDigit(text[i])) ++i;
    return i - start;
}

// An optional minus, digits with an optional decimal point, an optional exponent.
bool IsPlainNumber(std::string_view text) {
    std::size_t i = 0;
    if (i < text.size() && text[i] == '-') ++i;
    std::size_t digits = SkipDigits(text, i);
    if (i < text.size() && text[i] == '.') {
        ++i;
        digits += SkipDigits(text, i);
    }
    if (digits == 0) return false;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
        if (SkipDigits(text, i) == 0) return false;
    }
    return i == text.size();
}

bool SameLetters(std::string_view name, std::string_view keyword) {
    if (name.size() != keyword.size()) return false;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const char c = name[i] >= 'a' && name[i] <= 'z' ? static_cast<char>(name[i] - 32) : name[i];
        if (c != keyword[i]) return false;
    }
    return true;
}

bool IsPlainIdentifier(std::string_view name) {
    if (name.empty() || !IsNameStart(name.front())) return false;
    for (const char c : name) {
        if (!IsNameStart(c) && !IsDigit(c)) return false;
    }
    constexpr std::array<std::string_view, 5> kKeywords{"AND", "OR", "NOT", "IS", "NULL"};
    for (const std::string_view keyword : kKeywords) {
        if (SameLetters(name, keyword)) return false;
    }
    return true;
}

// `text` in `quote` characters, each one inside doubled.
std::string Quoted(std::string_view text, char quote) {
    std::string quoted(1, quote);
    for (const char c : text) {
        if (c == quote) quoted += quote;
        quoted += c;
    }
    quoted += quote;
    return quoted;
}

// The number to compare a numeric field with, or nothing when the key is none.
std::optional<std::string> KeyNumber(const host::FieldValue& key) {
    if (const auto* number = std::get_if<double>(&key.Get())) {
        return NumberKeyText(host::FormatDoubleExact(*number));
    }
    return NumberKeyText(host::ToText(key));
}

}  // namespace

std::optional<std::string> NumberKeyText(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
        if (!text.empty() && text.front() == '-') return std::nullopt;
    }
    if (!IsPlainNumber(text)) return std::nullopt;
    return std::string(text);
}

std::string RelatedWhereClause(std::string_view relatedField, std::int32_t relatedFieldType,
                               const host::FieldValue& key) {
    std::string clause =
        IsPlainIdentifier(relatedField) ? std::string(relatedField) : Quoted(relatedField, '"');
    if (relatedFieldType == host::esriFieldTypeString) {
        return clause + " = " + Quoted(host::ToText(key), '\'');
    }
    const std::optional<std::string> number = KeyNumber(key);
    if (!number) {
        std::string detail = "the Source key '";
        detail += host::ToText(key);
        detail += "' is not a number, and the Related key field ";
        detail += relatedField;
        detail += " holds numbers";
        ui::RaiseRuntimeError(ui::kErrTypeMismatch, detail);
    }
    return clause + " = " + *number;
}

}  // namespace velorin::zoomflash
