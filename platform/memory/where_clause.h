#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/field_value.h"
#include "platform/memory/neutral_objects.h"
#include "platform/memory/row_values.h"

namespace velorin::memory {

// A where clause as the host evaluates it, parsed once and bound to the fields of
// one table. Grammar (keywords and field names without regard to letter case):
//
//   clause     := [ or ]                          blank means "every row"
//   or         := and { OR and }
//   and        := not { AND not }
//   not        := NOT not | '(' or ')' | test
//   test       := operand op operand | field IS [NOT] NULL
//   op         := = | <> | < | <= | > | >=
//   operand    := field | 'text' | [-]number
//   field      := Name | "Quoted Name"            letters, digits, _; '"' doubled inside quotes
//   'text'     := single quotes, '' standing for one quote
//
// Values compare by the kind of their field: numbers as doubles (a literal compared
// with a single field is first rounded to the nearest single, so Area = 0.1 finds the
// single 0.1 and Area = 3.4028235e+38 the largest single), text exactly and case-sensitively (byte
// order for < and >), dates against a text literal in the shared date form 'YYYY-MM-DD' or
// 'YYYY-MM-DD HH:MM:SS', to the second. A comparison must name a field on at least
// one side. Null never satisfies a comparison: logic is three-valued as in SQL, so
// NOT (X = 1) does not match a row where X is null either; only IS NULL finds it.
//
// Compile raises velorin::Error(E_HOST_INVALID_SQL) quoting the clause for anything
// it cannot evaluate: bad syntax, an unknown field, a text literal compared with a
// numeric field or a number with a text field (never coerced: the caller's key
// fields disagree and must hear so), a date text that is not a date, a comparison
// of a geometry or blob field, two constants compared, nesting deeper than 200.
class WhereClause {
  public:
    // The empty clause.
    WhereClause() = default;

    static WhereClause Compile(std::string_view text, const Fields& fields);
    // A clause that holds where both hold (the layer's definition query and a
    // search filter).
    static WhereClause Both(const WhereClause& first, const WhereClause& second);

    bool IsEmpty() const { return m_root == nullptr; }
    // True when the row's values (one per field, in field order) satisfy the clause.
    bool Matches(const RowValues& values) const;

    // An equality of a field with a constant that every matching row satisfies: the
    // whole clause, or one term of its top-level AND. The key is normalised as the
    // field's hash index keys its values (see IndexKeyOf).
    struct Equality {
        std::int32_t field = -1;
        FieldKind kind = FieldKind::Number;
        double number = 0.0;  // numbers and dates
        std::string text;     // text
    };
    std::optional<Equality> IndexableEquality() const;

    struct Node;

  private:
    explicit WhereClause(std::shared_ptr<const Node> root) : m_root(std::move(root)) {}

    std::shared_ptr<const Node> m_root;
};

// The number an index keys a numeric or date value by: numbers as doubles (-0 as
// 0), dates as whole seconds since the host's day zero. Empty for null and NaN,
// which equal nothing.
std::optional<double> IndexKeyOf(const host::FieldValue& value, FieldKind kind);

}  // namespace velorin::memory
