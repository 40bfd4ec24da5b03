#include "platform/qgis/where_clause.h"

#include <qgsexpression.h>
#include <qgsfields.h>

#include <array>
#include <string>

namespace velorin::qgis {

namespace {

bool IsNameStart(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
bool IsNamePart(char c) { return IsNameStart(c) || (c >= '0' && c <= '9'); }

bool IsKeyword(const QString& word) {
    static const std::array<QString, 8> keywords{QStringLiteral("AND"),  QStringLiteral("OR"),
                                                 QStringLiteral("NOT"),  QStringLiteral("IS"),
                                                 QStringLiteral("NULL"), QStringLiteral("IN"),
                                                 QStringLiteral("LIKE"), QStringLiteral("BETWEEN")};
    for (const QString& keyword : keywords) {
        if (word.compare(keyword, Qt::CaseInsensitive) == 0) return true;
    }
    return false;
}

// The text of a literal or name starting at `start` with `quote`, doubled quotes
// undone; `end` is set past the closing quote. False when it does not close.
bool ReadQuoted(std::string_view text, std::size_t start, char quote, std::string& value,
                std::size_t& end) {
    value.clear();
    for (std::size_t i = start + 1; i < text.size(); ++i) {
        if (text[i] != quote) {
            value += text[i];
        } else if (i + 1 < text.size() && text[i + 1] == quote) {
            value += quote;
            ++i;
        } else {
            end = i + 1;
            return true;
        }
    }
    return false;
}

QString Utf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<int>(text.size()));
}

}  // namespace

namespace {

// `column = number` as QGIS must be asked it to mean it exactly: QGIS's = takes
// two doubles as equal within a few machine epsilons (1.0000000000000002 = 1),
// and compares 64-bit integers as doubles (2^53 + 1 = 2^53), while its ordering
// is exact. A whole number beyond 2^53 is also compared by its text, which QGIS
// writes exactly for a 64-bit integer. Both forms still compile into a
// database's own SQL where QGIS compiles filters.
QString ExactEquality(const QString& column, const QString& number) {
    bool whole = false;
    const qlonglong value = number.toLongLong(&whole);
    constexpr qlonglong kExactInDoubles = qlonglong{1} << 53;
    if (whole && (value > kExactInDoubles || value < -kExactInDoubles)) {
        return QStringLiteral("(%1 = %2 AND to_string(%1) = '%2')").arg(column, number);
    }
    return QStringLiteral("(%1 >= %2 AND %1 <= %2)").arg(column, number);
}

// Where the translation stands after a field name: an equality with a number
// right after it is rewritten whole.
struct Pending {
    enum class Step { None, Column, Equals } step = Step::None;
    QString column;  // the quoted column reference
    int start = 0;   // where it begins in the expression
    bool negative = false;
};

}  // namespace

QString ToQgisExpression(std::string_view whereClause, const QgsFields& fields) {
    QString expression;
    std::string value;
    Pending pending;
    const auto column = [&](const QString& reference) {
        pending = {Pending::Step::Column, reference, static_cast<int>(expression.size()), false};
        expression += reference;
    };
    std::size_t i = 0;
    while (i < whereClause.size()) {
        const char c = whereClause[i];
        std::size_t end = 0;
        if ((c == '\'' || c == '"') && ReadQuoted(whereClause, i, c, value, end)) {
            if (c == '\'') {
                expression += QgsExpression::quotedString(QString::fromStdString(value));
                pending = {};
            } else {
                column(QgsExpression::quotedColumnRef(QString::fromStdString(value)));
            }
            i = end;
        } else if (IsNameStart(c)) {
            std::size_t j = i;
            while (j < whereClause.size() && IsNamePart(whereClause[j])) ++j;
            const QString word = Utf8(whereClause.substr(i, j - i));
            const int field = IsKeyword(word) ? -1 : fields.lookupField(word);
            if (field >= 0) {
                column(QgsExpression::quotedColumnRef(fields.at(field).name()));
            } else {
                expression += word;
                pending = {};
            }
            i = j;
        } else if (c >= '0' && c <= '9') {
            // A number, exponent included, passes whole (its 'e' is no name).
            std::size_t j = i;
            while (j < whereClause.size() &&
                   (IsNamePart(whereClause[j]) || whereClause[j] == '.' ||
                    ((whereClause[j] == '+' || whereClause[j] == '-') &&
                     (whereClause[j - 1] == 'e' || whereClause[j - 1] == 'E')))) {
                ++j;
            }
            const QString number = Utf8(whereClause.substr(i, j - i));
            if (pending.step == Pending::Step::Equals) {
                expression.truncate(pending.start);
                expression += ExactEquality(
                    pending.column, pending.negative ? QStringLiteral("-") + number : number);
            } else {
                expression += number;
            }
            pending = {};
            i = j;
        } else {
            std::size_t j = i + 1;
            while (j < whereClause.size() && whereClause[j] != '\'' && whereClause[j] != '"' &&
                   !IsNameStart(whereClause[j]) &&
                   !(whereClause[j] >= '0' && whereClause[j] <= '9')) {
                ++j;
            }
            // An unterminated quote passes through with the rest.
            if (c == '\'' || c == '"') j = whereClause.size();
            const QString run = Utf8(whereClause.substr(i, j - i));
            expression += run;
            QString bare = run;
            bare.remove(QLatin1Char(' '));
            if (pending.step == Pending::Step::Column && (bare == "=" || bare == "=-")) {
                pending.step = Pending::Step::Equals;
                pending.negative = bare == "=-";
            } else if (!bare.isEmpty() || pending.step == Pending::Step::None) {
                pending = {};
            }
            i = j;
        }
    }
    return expression;
}

}  // namespace velorin::qgis
