#include "platform/memory/where_clause.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <system_error>
#include <type_traits>
#include <utility>
#include <variant>

#include "host/codes.h"
#include "host/error.h"

namespace velorin::memory {

namespace {

// Deep enough for any clause a person writes; shallow enough that parsing and
// evaluating never exhaust the stack.
constexpr int kMaxNesting = 200;

enum class CompareOp { Equal, NotEqual, Less, LessOrEqual, Greater, GreaterOrEqual };

enum class Truth { False, True, Unknown };

}  // namespace

struct WhereClause::Node {
    enum class Type { Compare, IsNull, And, Or, Not };
    Type type = Type::Compare;

    // Compare: a field on the left; on the right another field (rightField >= 0)
    // or a constant. IsNull: the field and whether it reads IS NOT NULL.
    CompareOp op = CompareOp::Equal;
    FieldKind kind = FieldKind::Number;
    std::int32_t field = -1;
    std::int32_t rightField = -1;
    double number = 0.0;  // number or date constant (dates as seconds)
    // The constant exactly, when it is a whole number within 64 bits: a double
    // holds whole numbers exactly only up to 2^53, and 64-bit keys go beyond.
    std::optional<std::int64_t> whole;
    std::string text;  // text constant
    bool negated = false;

    // And, Or (two or more), Not (one).
    std::vector<std::shared_ptr<const Node>> children;
};

namespace {

using Node = WhereClause::Node;

// ---- values -------------------------------------------------------------------------

// The single a literal compared with a single field stands for: the nearest
// single, as a single field stores a number, so the shortest text of a single
// (3.4028235e+38 for the largest) finds it. A literal that rounds to no finite
// single stays as it is and equals no stored single.
double AsSingle(double number) {
    constexpr double kLargest = std::numeric_limits<float>::max();
    // Halfway between the largest single and the next step above it: from here
    // on a number rounds away from every finite single.
    const double beyond = kLargest + std::ldexp(1.0, std::numeric_limits<float>::max_exponent -
                                                         std::numeric_limits<float>::digits - 1);
    const double magnitude = std::fabs(number);
    if (magnitude >= beyond) return number;
    if (magnitude > kLargest) return std::copysign(kLargest, number);
    return static_cast<double>(static_cast<float>(number));
}

std::optional<double> DateSeconds(double days) {
    if (!std::isfinite(days)) return std::nullopt;
    return std::round(days * 86400.0);
}

// The comparable number of a numeric or date field value; empty for null.
std::optional<double> NumberOf(const host::FieldValue& value, FieldKind kind) {
    if (kind == FieldKind::Date) {
        const auto* date = std::get_if<host::Date>(&value.Get());
        if (date == nullptr) return std::nullopt;
        return DateSeconds(date->days);
    }
    if (!value.IsNumber()) return std::nullopt;
    return value.AsDouble();
}

template <class T>
Truth Ordered(const T& left, CompareOp op, const T& right) {
    bool result = false;
    switch (op) {
        case CompareOp::Equal:
            result = left == right;
            break;
        case CompareOp::NotEqual:
            result = left != right;
            break;
        case CompareOp::Less:
            result = left < right;
            break;
        case CompareOp::LessOrEqual:
            result = left <= right;
            break;
        case CompareOp::Greater:
            result = left > right;
            break;
        case CompareOp::GreaterOrEqual:
            result = left >= right;
            break;
    }
    return result ? Truth::True : Truth::False;
}

Truth EvaluateCompare(const Node& node, const RowValues& values) {
    const host::FieldValue& left = values[static_cast<std::size_t>(node.field)];
    if (left.IsNull()) return Truth::Unknown;
    if (node.kind == FieldKind::Text) {
        const auto* leftText = std::get_if<std::string>(&left.Get());
        if (leftText == nullptr) return Truth::Unknown;
        if (node.rightField < 0) return Ordered<std::string_view>(*leftText, node.op, node.text);
        const host::FieldValue right = values[static_cast<std::size_t>(node.rightField)];
        const auto* rightText = std::get_if<std::string>(&right.Get());
        if (rightText == nullptr) return Truth::Unknown;
        return Ordered<std::string_view>(*leftText, node.op, *rightText);
    }
    if (node.rightField < 0 && node.whole) {
        if (const auto leftWhole = left.AsWhole()) return Ordered(*leftWhole, node.op, *node.whole);
    }
    const auto leftNumber = NumberOf(left, node.kind);
    if (!leftNumber) return Truth::Unknown;
    if (node.rightField < 0) return Ordered(*leftNumber, node.op, node.number);
    const auto rightNumber = NumberOf(values[static_cast<std::size_t>(node.rightField)], node.kind);
    if (!rightNumber) return Truth::Unknown;
    return Ordered(*leftNumber, node.op, *rightNumber);
}

Truth Evaluate(const Node& node, const RowValues& values) {
    switch (node.type) {
        case Node::Type::Compare:
            return EvaluateCompare(node, values);
        case Node::Type::IsNull: {
            const bool isNull = values[static_cast<std::size_t>(node.field)].IsNull();
            return isNull != node.negated ? Truth::True : Truth::False;
        }
        case Node::Type::Not: {
            const Truth inner = Evaluate(*node.children.front(), values);
            if (inner == Truth::Unknown) return Truth::Unknown;
            return inner == Truth::True ? Truth::False : Truth::True;
        }
        case Node::Type::And: {
            Truth result = Truth::True;
            for (const auto& child : node.children) {
                const Truth t = Evaluate(*child, values);
                if (t == Truth::False) return Truth::False;
                if (t == Truth::Unknown) result = Truth::Unknown;
            }
            return result;
        }
        case Node::Type::Or: {
            Truth result = Truth::False;
            for (const auto& child : node.children) {
                const Truth t = Evaluate(*child, values);
                if (t == Truth::True) return Truth::True;
                if (t == Truth::Unknown) result = Truth::Unknown;
            }
            return result;
        }
    }
    return Truth::Unknown;
}

// ---- tokens -------------------------------------------------------------------------

enum class TokenKind { End, Name, QuotedName, Text, Number, Operator, Open, Close, Minus };

struct Token {
    TokenKind kind = TokenKind::End;
    std::string text;      // name, text value, number spelling or operator
    std::size_t position;  // 1-based, for messages
};

bool IsNameStart(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsNameChar(char c) { return IsNameStart(c) || IsDigit(c); }
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

class Parser {
  public:
    Parser(std::string_view clause, const Fields& fields) : m_clause(clause), m_fields(fields) {}

    std::shared_ptr<const Node> ParseClause() {
        Tokenize();
        if (Peek().kind == TokenKind::End) return nullptr;
        auto root = ParseOr(0);
        if (Peek().kind != TokenKind::End) Fail("unexpected " + Describe(Peek()));
        return root;
    }

  private:
    [[noreturn]] void Fail(const std::string& reason) const {
        throw Error(host::E_HOST_INVALID_SQL,
                    "Invalid where clause \"" + std::string(m_clause) + "\": " + reason);
    }

    std::string Describe(const Token& token) const {
        switch (token.kind) {
            case TokenKind::End:
                return "end of clause";
            case TokenKind::Text:
                return "text '" + token.text + "' at position " + std::to_string(token.position);
            case TokenKind::QuotedName:
                return "\"" + token.text + "\" at position " + std::to_string(token.position);
            default:
                return token.text + " at position " + std::to_string(token.position);
        }
    }

    void Tokenize() {
        std::size_t i = 0;
        const std::size_t n = m_clause.size();
        while (i < n) {
            const char c = m_clause[i];
            const std::size_t position = i + 1;
            if (IsBlank(c)) {
                ++i;
            } else if (c == '\'' || c == '"') {
                m_tokens.push_back(TakeQuoted(i));
            } else if (IsNameStart(c)) {
                const std::size_t start = i;
                while (i < n && IsNameChar(m_clause[i])) ++i;
                m_tokens.push_back(
                    {TokenKind::Name, std::string(m_clause.substr(start, i - start)), position});
            } else if (IsDigit(c) || (c == '.' && i + 1 < n && IsDigit(m_clause[i + 1]))) {
                m_tokens.push_back(TakeNumber(i));
            } else if (c == '(' || c == ')') {
                m_tokens.push_back(
                    {c == '(' ? TokenKind::Open : TokenKind::Close, std::string(1, c), position});
                ++i;
            } else if (c == '-') {
                m_tokens.push_back({TokenKind::Minus, "-", position});
                ++i;
            } else if (c == '=' || c == '<' || c == '>') {
                m_tokens.push_back(TakeOperator(i));
            } else {
                Fail("unexpected character '" + std::string(1, c) + "' at position " +
                     std::to_string(position));
            }
        }
        m_tokens.push_back({TokenKind::End, {}, n + 1});
    }

    // Quoted text or a quoted name starting at `i`; the quote character doubled
    // stands for itself. Leaves `i` after the closing quote.
    Token TakeQuoted(std::size_t& i) const {
        const std::size_t n = m_clause.size();
        const char quote = m_clause[i];
        const std::size_t position = i + 1;
        std::string value;
        ++i;
        bool closed = false;
        while (i < n) {
            if (m_clause[i] == quote) {
                if (i + 1 < n && m_clause[i + 1] == quote) {
                    value += quote;
                    i += 2;
                    continue;
                }
                ++i;
                closed = true;
                break;
            }
            value += m_clause[i++];
        }
        if (!closed) {
            Fail(std::string(quote == '\'' ? "text" : "quoted field name") +
                 " starting at position " + std::to_string(position) + " is not closed");
        }
        if (quote == '"' && value.empty()) {
            Fail("empty field name at position " + std::to_string(position));
        }
        return {quote == '\'' ? TokenKind::Text : TokenKind::QuotedName, std::move(value),
                position};
    }

    // Digits with an optional fraction and exponent starting at `i`; a number
    // running straight into a name or a second point is malformed.
    Token TakeNumber(std::size_t& i) const {
        const std::size_t n = m_clause.size();
        const std::size_t start = i;
        while (i < n && IsDigit(m_clause[i])) ++i;
        if (i < n && m_clause[i] == '.') {
            ++i;
            while (i < n && IsDigit(m_clause[i])) ++i;
        }
        if (i < n && (m_clause[i] == 'e' || m_clause[i] == 'E')) {
            std::size_t j = i + 1;
            if (j < n && (m_clause[j] == '+' || m_clause[j] == '-')) ++j;
            if (j < n && IsDigit(m_clause[j])) {
                i = j;
                while (i < n && IsDigit(m_clause[i])) ++i;
            }
        }
        if (i < n && (IsNameChar(m_clause[i]) || m_clause[i] == '.')) {
            Fail("malformed number at position " + std::to_string(start + 1));
        }
        return {TokenKind::Number, std::string(m_clause.substr(start, i - start)), start + 1};
    }

    // =, <>, <, <=, > or >= starting at `i`.
    Token TakeOperator(std::size_t& i) const {
        const std::size_t n = m_clause.size();
        const char c = m_clause[i];
        const std::size_t position = i + 1;
        std::string op(1, c);
        if (c == '<' && i + 1 < n && (m_clause[i + 1] == '>' || m_clause[i + 1] == '=')) {
            op += m_clause[i + 1];
        } else if (c == '>' && i + 1 < n && m_clause[i + 1] == '=') {
            op += '=';
        }
        i += op.size();
        return {TokenKind::Operator, std::move(op), position};
    }

    const Token& Peek() const { return m_tokens[m_next]; }
    const Token& Take() { return m_tokens[m_next++]; }

    bool IsKeyword(const Token& token, std::string_view keyword) const {
        return token.kind == TokenKind::Name && SameName(token.text, keyword);
    }
    bool IsAnyKeyword(const Token& token) const {
        return IsKeyword(token, "AND") || IsKeyword(token, "OR") || IsKeyword(token, "NOT") ||
               IsKeyword(token, "IS") || IsKeyword(token, "NULL");
    }

    void Deeper(int depth) const {
        if (depth > kMaxNesting) {
            Fail("nested more than " + std::to_string(kMaxNesting) + " levels deep");
        }
    }

    std::shared_ptr<const Node> ParseOr(int depth) {
        Deeper(depth);
        return ParseList(depth, "OR", Node::Type::Or);
    }

    std::shared_ptr<const Node> ParseAnd(int depth) {
        return ParseList(depth, "AND", Node::Type::And);
    }

    // One or more terms joined by the keyword; the terms of OR are ANDs, of AND NOTs.
    std::shared_ptr<const Node> ParseList(int depth, std::string_view keyword, Node::Type type) {
        auto term = [&] { return type == Node::Type::Or ? ParseAnd(depth) : ParseNot(depth); };
        auto first = term();
        if (!IsKeyword(Peek(), keyword)) return first;
        auto list = std::make_shared<Node>();
        list->type = type;
        list->children.push_back(std::move(first));
        while (IsKeyword(Peek(), keyword)) {
            Take();
            list->children.push_back(term());
        }
        return list;
    }

    std::shared_ptr<const Node> ParseNot(int depth) {
        if (IsKeyword(Peek(), "NOT")) {
            Take();
            Deeper(depth + 1);
            auto node = std::make_shared<Node>();
            node->type = Node::Type::Not;
            node->children.push_back(ParseNot(depth + 1));
            return node;
        }
        if (Peek().kind == TokenKind::Open) {
            Take();
            auto inner = ParseOr(depth + 1);
            if (Peek().kind != TokenKind::Close) {
                Fail("expected ) but found " + Describe(Peek()));
            }
            Take();
            return inner;
        }
        return ParseTest();
    }

    struct Operand {
        std::int32_t field = -1;  // >= 0: a field
        bool isText = false;      // constants: text or number
        double number = 0.0;
        std::string text;
        std::string spelling;  // as written, for messages
    };

    Operand ParseOperand() {
        const Token& token = Take();
        Operand operand;
        switch (token.kind) {
            case TokenKind::Name:
                if (IsKeyword(token, "NULL")) {
                    Fail("NULL at position " + std::to_string(token.position) +
                         " can only be tested with IS NULL or IS NOT NULL");
                }
                if (IsAnyKeyword(token)) {
                    Fail("expected a field name or a value but found " + Describe(token));
                }
                [[fallthrough]];
            case TokenKind::QuotedName:
                operand.field = m_fields.Find(token.text);
                if (operand.field < 0) Fail("unknown field " + token.text);
                operand.spelling = m_fields.At(operand.field).NameText();
                return operand;
            case TokenKind::Text:
                operand.isText = true;
                operand.text = token.text;
                operand.spelling = "'" + token.text + "'";
                return operand;
            case TokenKind::Minus:
                if (Peek().kind != TokenKind::Number) {
                    Fail("expected a number after - at position " + std::to_string(token.position));
                }
                operand = ParseNumber(Take());
                operand.number = -operand.number;
                operand.spelling = "-" + operand.spelling;
                return operand;
            case TokenKind::Number:
                return ParseNumber(token);
            default:
                Fail("expected a field name or a value but found " + Describe(token));
        }
    }

    // The number as written, when it is a whole number within 64 bits.
    static std::optional<std::int64_t> WholeSpelled(const std::string& spelling) {
        std::int64_t whole = 0;
        const char* end = spelling.data() + spelling.size();
        const auto [ptr, ec] = std::from_chars(spelling.data(), end, whole);
        if (ec != std::errc() || ptr != end) return std::nullopt;
        return whole;
    }

    Operand ParseNumber(const Token& token) {
        Operand operand;
        operand.spelling = token.text;
        const char* begin = token.text.data();
        const char* end = begin + token.text.size();
        auto [ptr, ec] = std::from_chars(begin, end, operand.number);
        if (ec == std::errc::result_out_of_range ||
            (ec == std::errc() && !std::isfinite(operand.number))) {
            Fail("number " + token.text + " is out of range");
        }
        if (ec != std::errc() || ptr != end) {
            Fail("malformed number at position " + std::to_string(token.position));
        }
        return operand;
    }

    static CompareOp OperatorOf(const std::string& text) {
        if (text == "=") return CompareOp::Equal;
        if (text == "<>") return CompareOp::NotEqual;
        if (text == "<") return CompareOp::Less;
        if (text == "<=") return CompareOp::LessOrEqual;
        if (text == ">") return CompareOp::Greater;
        return CompareOp::GreaterOrEqual;
    }

    // The operator seen from the other side: 5 < X is X > 5.
    static CompareOp Mirrored(CompareOp op) {
        switch (op) {
            case CompareOp::Less:
                return CompareOp::Greater;
            case CompareOp::LessOrEqual:
                return CompareOp::GreaterOrEqual;
            case CompareOp::Greater:
                return CompareOp::Less;
            case CompareOp::GreaterOrEqual:
                return CompareOp::LessOrEqual;
            default:
                return op;
        }
    }

    std::shared_ptr<const Node> ParseTest() {
        Operand left = ParseOperand();
        if (IsKeyword(Peek(), "IS")) {
            const Token& is = Take();
            if (left.field < 0) {
                Fail("IS at position " + std::to_string(is.position) + " must follow a field name");
            }
            auto node = std::make_shared<Node>();
            node->type = Node::Type::IsNull;
            node->field = left.field;
            if (IsKeyword(Peek(), "NOT")) {
                Take();
                node->negated = true;
            }
            if (!IsKeyword(Peek(), "NULL")) Fail("expected NULL but found " + Describe(Peek()));
            Take();
            return node;
        }
        if (Peek().kind != TokenKind::Operator) {
            Fail("expected a comparison operator after " + left.spelling + " but found " +
                 Describe(Peek()));
        }
        const CompareOp op = OperatorOf(Take().text);
        Operand right = ParseOperand();
        return Bind(std::move(left), op, std::move(right));
    }

    std::shared_ptr<const Node> Bind(Operand left, CompareOp op, Operand right) {
        if (left.field < 0 && right.field < 0) {
            Fail("the comparison " + left.spelling + " with " + right.spelling + " names no field");
        }
        if (left.field < 0) {
            std::swap(left, right);
            op = Mirrored(op);
        }
        const objects::Field& field = m_fields.At(left.field);
        const FieldKind kind = KindOfFieldType(field.TypeCode());
        if (kind == FieldKind::Other) {
            Fail("field " + field.NameText() + " (" + FieldTypeName(field.TypeCode()) +
                 ") cannot be compared");
        }
        auto node = std::make_shared<Node>();
        node->type = Node::Type::Compare;
        node->op = op;
        node->kind = kind;
        node->field = left.field;
        if (right.field >= 0) {
            const objects::Field& other = m_fields.At(right.field);
            if (KindOfFieldType(other.TypeCode()) != kind) {
                Fail("field " + field.NameText() + " (" + FieldTypeName(field.TypeCode()) +
                     ") compared with field " + other.NameText() + " (" +
                     FieldTypeName(other.TypeCode()) + ")");
            }
            node->rightField = right.field;
            return node;
        }
        switch (kind) {
            case FieldKind::Number:
                if (right.isText) {
                    Fail("text compared with numeric field " + field.NameText());
                }
                node->number = right.number;
                if (field.TypeCode() == host::esriFieldTypeSingle) {
                    node->number = AsSingle(node->number);
                }
                node->number += 0.0;  // -0 keys as 0
                node->whole = WholeSpelled(right.spelling);
                break;
            case FieldKind::Text:
                if (!right.isText) Fail("number compared with text field " + field.NameText());
                node->text = std::move(right.text);
                break;
            case FieldKind::Date: {
                if (!right.isText) Fail("number compared with date field " + field.NameText());
                const auto seconds = ParseDate(right.text);
                if (!seconds) {
                    Fail("'" + right.text + "' is not a date for date field " + field.NameText() +
                         " (expected YYYY-MM-DD or YYYY-MM-DD HH:MM:SS)");
                }
                node->number = *seconds;
                break;
            }
            case FieldKind::Other:
                break;
        }
        return node;
    }

    // Whole seconds since the host's day zero for 'YYYY-MM-DD' or
    // 'YYYY-MM-DD HH:MM:SS'; empty when the text is not such a date.
    static std::optional<double> ParseDate(std::string_view text) {
        if (text.size() != 10 && text.size() != 19) return std::nullopt;
        auto part = [&](std::size_t at, std::size_t width, int& out) {
            for (std::size_t k = at; k < at + width; ++k) {
                if (!IsDigit(text[k])) return false;
            }
            return std::from_chars(text.data() + at, text.data() + at + width, out).ec ==
                   std::errc();
        };
        int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
        if (!part(0, 4, year) || text[4] != '-' || !part(5, 2, month) || text[7] != '-' ||
            !part(8, 2, day)) {
            return std::nullopt;
        }
        if (text.size() == 19 &&
            (text[10] != ' ' || !part(11, 2, hour) || text[13] != ':' || !part(14, 2, minute) ||
             text[16] != ':' || !part(17, 2, second))) {
            return std::nullopt;
        }
        static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
        const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
        if (month < 1 || month > 12) return std::nullopt;
        const int monthDays = kDays[month - 1] + (month == 2 && leap ? 1 : 0);
        if (day < 1 || day > monthDays || hour > 23 || minute > 59 || second > 59) {
            return std::nullopt;
        }
        return DateSeconds(host::MakeDate(year, month, day, hour, minute, second).days);
    }

    std::string_view m_clause;
    const Fields& m_fields;
    std::vector<Token> m_tokens;
    std::size_t m_next = 0;
};

void Splice(std::vector<std::shared_ptr<const Node>>& into,
            const std::shared_ptr<const Node>& node) {
    if (node->type == Node::Type::And) {
        into.insert(into.end(), node->children.begin(), node->children.end());
    } else {
        into.push_back(node);
    }
}

}  // namespace

WhereClause WhereClause::Compile(std::string_view text, const Fields& fields) {
    return WhereClause(Parser(text, fields).ParseClause());
}

WhereClause WhereClause::Both(const WhereClause& first, const WhereClause& second) {
    if (first.IsEmpty()) return second;
    if (second.IsEmpty()) return first;
    auto both = std::make_shared<Node>();
    both->type = Node::Type::And;
    Splice(both->children, first.m_root);
    Splice(both->children, second.m_root);
    return WhereClause(std::move(both));
}

bool WhereClause::Matches(const RowValues& values) const {
    return m_root == nullptr || Evaluate(*m_root, values) == Truth::True;
}

std::optional<WhereClause::Equality> WhereClause::IndexableEquality() const {
    if (m_root == nullptr) return std::nullopt;
    auto usable = [](const Node& node) {
        return node.type == Node::Type::Compare && node.op == CompareOp::Equal &&
               node.rightField < 0;
    };
    const Node* found = nullptr;
    if (usable(*m_root)) {
        found = m_root.get();
    } else if (m_root->type == Node::Type::And) {
        for (const auto& child : m_root->children) {
            if (usable(*child)) {
                found = child.get();
                break;
            }
        }
    }
    if (found == nullptr) return std::nullopt;
    return Equality{found->field, found->kind, found->number, found->text};
}

std::optional<double> IndexKeyOf(const host::FieldValue& value, FieldKind kind) {
    if (kind != FieldKind::Number && kind != FieldKind::Date) return std::nullopt;
    const auto number = NumberOf(value, kind);
    if (!number || std::isnan(*number)) return std::nullopt;
    return *number + 0.0;
}

}  // namespace velorin::memory
