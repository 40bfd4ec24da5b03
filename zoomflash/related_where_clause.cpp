#include "zoomflash/related_where_clause.h"

#include "host/codes.h"
#include "ui/runtime_error.h"

namespace velorin::zoomflash {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Advances over a run of digits; returns how many there were.
std::size_t SkipDigits(std::string_view text, std::size_t& i) {
    const std::size_t start = i;
    while (i < text.size() && IsDigit(text[i])) ++i;
    return i - start;
}

}  // namespace

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

std::string RelatedWhereClause(std::string_view relatedField, std::int32_t relatedFieldType,
                               std::string_view keyText) {
    std::string clause(relatedField);
    if (relatedFieldType == host::esriFieldTypeString) {
        clause += " = '";
        for (const char c : keyText) {
            if (c == '\'') clause += '\'';
            clause += c;
        }
        clause += '\'';
        return clause;
    }
    if (!IsPlainNumber(keyText)) {
        std::string detail = "the Source key '";
        detail += keyText;
        detail += "' is not a number, and the Related key field ";
        detail += relatedField;
        detail += " holds numbers";
        ui::RaiseRuntimeError(ui::kErrTypeMismatch, detail);
    }
    clause += " = ";
    clause += keyText;
    return clause;
}

}  // namespace velorin::zoomflash
