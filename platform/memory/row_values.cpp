#include "platform/memory/row_values.h"

#include <stdexcept>
#include <string>

#include "platform/memory/row_store.h"

namespace velorin::memory {

RowValues::RowValues(const RowStore& store, std::size_t position)
    : m_store(&store),
      m_position(position),
      m_count(static_cast<std::size_t>(store.FieldSet()->Count())) {}

host::FieldValue RowValues::Stored(std::size_t field) const {
    return m_store->ValueAt(m_position, field);
}

host::FieldValue RowValues::at(std::size_t field) const {
    if (field >= m_count) {
        throw std::out_of_range("field " + std::to_string(field) + " of a row of " +
                                std::to_string(m_count));
    }
    return (*this)[field];
}

std::vector<host::FieldValue> RowValues::ToVector() const {
    std::vector<host::FieldValue> values;
    values.reserve(m_count);
    for (std::size_t i = 0; i < m_count; ++i) values.push_back((*this)[i]);
    return values;
}

bool operator==(const RowValues& row, const std::vector<host::FieldValue>& values) {
    if (row.size() != values.size()) return false;
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (!(row[i] == values[i])) return false;
    }
    return true;
}

}  // namespace velorin::memory
