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

QString ToQgisExpression(std::string_view whereClause, const QgsFields& fields) {
    QString expression;
    std::string value;
    std::size_t i = 0;
    while (i < whereClause.size()) {
        const char c = whereClause[i];
        std::size_t end = 0;
        if ((c == '\'' || c == '"') && ReadQuoted(whereClause, i, c, value, end)) {
            expression += c == '\'' ? QgsExpression::quotedString(QString::fromStdString(value))
                                    : QgsExpression::quotedColumnRef(QString::fromStdString(value));
            i = end;
        } else if (IsNameStart(c)) {
            std::size_t j = i;
            while (j < whereClause.size() && IsNamePart(whereClause[j])) ++j;
            const QString word = Utf8(whereClause.substr(i, j - i));
            const int field = IsKeyword(word) ? -1 : fields.lookupField(word);
            expression +=
                field >= 0 ? QgsExpression::quotedColumnRef(fields.at(field).name()) : word;
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
            expression += Utf8(whereClause.substr(i, j - i));
            i = j;
        } else {
            std::size_t j = i + 1;
            while (j < whereClause.size() && whereClause[j] != '\'' && whereClause[j] != '"' &&
                   !IsNameStart(whereClause[j]) &&
                   !(whereClause[j] >= '0' && whereClause[j] <= '9')) {
                ++j;
            }
            // An unterminated quote passes through with the rest.
            if ((c == '\'' || c == '"')) j = whereClause.size();
            expression += Utf8(whereClause.substr(i, j - i));
            i = j;
        }
    }
    return expression;
}

}  // namespace velorin::qgis
