#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace velorin::host {

// A calendar date and time as the host stores it: days since 1899-12-30, the
// fraction being the time of day. Comparable and hashable through its number.
struct Date {
    double days = 0.0;
    friend bool operator==(const Date&, const Date&) = default;
};

// An object id, kept apart from a plain integer so that its field type survives.
struct ObjectId {
    std::int32_t value = 0;
    friend bool operator==(const ObjectId&, const ObjectId&) = default;
};

// The value of one field of one row. Null is the empty alternative.
class FieldValue {
  public:
    using Storage = std::variant<std::monostate, std::int16_t, std::int32_t, std::int64_t, float,
                                 double, std::string, Date, bool, ObjectId>;

    FieldValue() = default;
    FieldValue(std::int16_t v) : m_value(v) {}
    FieldValue(std::int32_t v) : m_value(v) {}
    FieldValue(std::int64_t v) : m_value(v) {}
    FieldValue(float v) : m_value(v) {}
    FieldValue(double v) : m_value(v) {}
    FieldValue(std::string v) : m_value(std::move(v)) {}
    FieldValue(const char* v) : m_value(std::string(v)) {}
    FieldValue(Date v) : m_value(v) {}
    FieldValue(bool v) : m_value(v) {}
    FieldValue(ObjectId v) : m_value(v) {}

    bool IsNull() const noexcept { return std::holds_alternative<std::monostate>(m_value); }
    const Storage& Get() const noexcept { return m_value; }

    // True for the integer, single, double and object id alternatives.
    bool IsNumber() const noexcept;
    // The numeric value of a number; 0 for anything else.
    double AsDouble() const noexcept;
    // The value of an integer or object id exactly (a double holds whole numbers
    // exactly only up to 2^53); empty for anything else.
    std::optional<std::int64_t> AsWhole() const noexcept;

    friend bool operator==(const FieldValue&, const FieldValue&) = default;

  private:
    Storage m_value;
};

// The one value-to-text conversion of the system, locale-free. Used by the
// extension for keys, where clauses and renderer values, and by the host's
// renderer when it matches values, so both sides always agree:
//   null          -> "" (empty)
//   integers, ids -> plain decimal, a minus sign for negatives, no separators
//   double        -> at most 15 significant digits, no trailing zeros (1.5, 300, 0.3)
//   single        -> the shortest digits that read back as the same single (0.1, 2.5)
//   both          -> laid out alike: fixed notation (100000, 0.0001) unless the
//                    exponent is below -4 or above 14 (1e+20, 1e-05); a zero of
//                    either sign is "0". So a number held as small integer,
//                    integer, single or double gives one text.
//   text          -> as it is
//   boolean       -> "True" or "False"
//   date          -> "YYYY-MM-DD" at midnight, else "YYYY-MM-DD HH:MM:SS" (seconds
//                    rounded), proleptic Gregorian calendar
std::string ToText(const FieldValue& value);

// Formats a double with at most 15 significant digits and no trailing zeros.
std::string FormatDouble(double value);
// The shortest text that reads back as the very same double, laid out as
// FormatDouble lays out its digits (0.30000000000000004, 1e+20). Not the text
// form of values: it is for a where clause that must find this very number.
std::string FormatDoubleExact(double value);

// Days since 1899-12-30 for a civil date and time; no range check beyond the
// calendar's arithmetic.
Date MakeDate(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);

}  // namespace velorin::host
