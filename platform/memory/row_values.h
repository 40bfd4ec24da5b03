#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "host/field_value.h"

namespace velorin::memory {

// The values of one row, one per field in field order, seen where they are kept.
// A stored row reads its object-id field as the ObjectId and its geometry field as
// true when it has a shape, else null: a stand-in so that Shape IS [NOT] NULL can
// be evaluated on the values alone (the shape itself is kept apart). The values
// referred to belong to the store, not to this view: references handed out stay
// valid after the view is gone, as long as the store does.
class RowValues {
  public:
    // A plain list, one value per field, geometry field included: what a where
    // clause is tested on outside a store. Implicit, so that such a list can be
    // passed wherever a row's values are asked for.
    RowValues(const std::vector<host::FieldValue>& values)  // NOLINT(google-explicit-constructor)
        : m_values(values.data()), m_count(values.size()) {}
    // values: every field's value but the geometry field's, in field order;
    // shapeIndex: the geometry field, -1 for none.
    RowValues(const host::FieldValue* values, std::size_t count, std::int32_t shapeIndex,
              bool hasShape)
        : m_values(values), m_count(count), m_shapeIndex(shapeIndex), m_hasShape(hasShape) {}

    std::size_t size() const { return m_count; }
    const host::FieldValue& operator[](std::size_t field) const {
        if (m_shapeIndex < 0 || field < static_cast<std::size_t>(m_shapeIndex)) {
            return m_values[field];
        }
        if (field == static_cast<std::size_t>(m_shapeIndex)) return m_hasShape ? kShape : kNull;
        return m_values[field - 1];
    }
    // Raises std::out_of_range past the last field.
    const host::FieldValue& at(std::size_t field) const;
    const host::FieldValue& back() const { return (*this)[m_count - 1]; }

    std::vector<host::FieldValue> ToVector() const;
    friend bool operator==(const RowValues& row, const std::vector<host::FieldValue>& values);

  private:
    static const host::FieldValue kShape;
    static const host::FieldValue kNull;

    const host::FieldValue* m_values;
    std::size_t m_count;
    std::int32_t m_shapeIndex = -1;
    bool m_hasShape = false;
};

}  // namespace velorin::memory
