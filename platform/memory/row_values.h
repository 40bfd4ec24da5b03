#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "host/field_value.h"

namespace velorin::memory {

class RowStore;

// The values of one row, one per field in field order, read where they are kept.
// A stored row reads its object-id field as the ObjectId and its geometry field as
// true when it has a shape, else null: a stand-in so that Shape IS [NOT] NULL can
// be evaluated on the values alone (the shape itself is kept apart). Values are
// read by value: a store keeps them by type, not as field values.
class RowValues {
  public:
    // A plain list, one value per field, geometry field included: what a where
    // clause is tested on outside a store. Implicit, so that such a list can be
    // passed wherever a row's values are asked for.
    RowValues(const std::vector<host::FieldValue>& values)  // NOLINT(google-explicit-constructor)
        : m_list(values.data()), m_count(values.size()) {}
    // The row at that position of the store.
    RowValues(const RowStore& store, std::size_t position);

    std::size_t size() const { return m_count; }
    host::FieldValue operator[](std::size_t field) const {
        return m_store == nullptr ? m_list[field] : Stored(field);
    }
    // Raises std::out_of_range past the last field.
    host::FieldValue at(std::size_t field) const;
    host::FieldValue back() const { return (*this)[m_count - 1]; }

    std::vector<host::FieldValue> ToVector() const;
    friend bool operator==(const RowValues& row, const std::vector<host::FieldValue>& values);

  private:
    host::FieldValue Stored(std::size_t field) const;

    const host::FieldValue* m_list = nullptr;
    const RowStore* m_store = nullptr;
    std::size_t m_position = 0;
    std::size_t m_count;
};

}  // namespace velorin::memory
