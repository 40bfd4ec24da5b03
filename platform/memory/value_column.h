#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "host/field_value.h"

namespace velorin::memory {

// One field's values for every row of a store, kept by the field's type: numbers
// and dates in an array of their own width, texts (and blobs) one after another in
// one buffer, nulls as one bit per row. What a row reads back is the value the
// field stores (StoredValue), made anew.
class ValueColumn {
  public:
    // fieldType: the host field type; the object-id and geometry fields have no
    // column. A type that holds no plain values keeps nulls only.
    explicit ValueColumn(std::int32_t fieldType);

    std::size_t Size() const { return m_nulls.size(); }
    // Appends a value as its field stores it: null or the alternative of the
    // field's type. Raises std::logic_error for another alternative.
    void Push(const host::FieldValue& value);
    // True when the value is as the field stores it already (null or the
    // alternative of the field's type), so that it can be pushed unconverted.
    bool Takes(const host::FieldValue& value) const;
    host::FieldValue At(std::size_t row) const;
    bool IsNull(std::size_t row) const { return m_nulls[row]; }
    // Drops the rows from the given one on (what an append that failed half way
    // added).
    void Truncate(std::size_t rows);
    // Makes room for that many rows in all (texts' characters aside, whose total
    // is not known), so that a reader knowing its count fills the column without
    // growing it and Compact has nothing to give back.
    void Reserve(std::size_t rows);
    // Gives back the room kept for rows to come.
    void Compact();

  private:
    enum class Kind : std::uint8_t { Nothing, Small, Integer, Big, Single, Double, Date, Text };

    Kind m_kind;
    std::vector<bool> m_nulls;
    std::vector<std::int16_t> m_small;
    std::vector<std::int32_t> m_integers;
    std::vector<std::int64_t> m_bigs;
    std::vector<float> m_singles;
    std::vector<double> m_doubles;  // doubles, or dates as days
    std::vector<char> m_chars;
    std::vector<std::size_t> m_ends;  // where each row's text ends in m_chars
};

}  // namespace velorin::memory
