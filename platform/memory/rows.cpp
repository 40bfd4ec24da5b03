#include "platform/memory/rows.h"

#include <string>

#include "host/codes.h"
#include "host/error.h"

namespace velorin::memory {

template <class Interface>
std::shared_ptr<host::IFields> RowObject<Interface>::Fields() const {
    Enter("IRowBuffer::Fields");
    return m_store->FieldSet();
}

template <class Interface>
host::FieldValue RowObject<Interface>::Value(std::int32_t index) const {
    Enter("IRowBuffer::Value");
    const RowValues values = m_store->ValuesAt(m_position);
    if (index < 0 || static_cast<std::size_t>(index) >= values.size()) {
        throw Error(host::E_HOST_INVALIDARG, "Field index " + std::to_string(index) +
                                                 " is out of range (the row has " +
                                                 std::to_string(values.size()) + " fields)");
    }
    if (index == m_store->FieldSet()->ShapeIndex()) return {};
    return values[static_cast<std::size_t>(index)];
}

template <class Interface>
bool RowObject<Interface>::HasOID() const {
    Enter("IRow::HasOID");
    return m_store->FieldSet()->OidIndex() >= 0;
}

template <class Interface>
std::int32_t RowObject<Interface>::OID() const {
    Enter("IRow::OID");
    return m_store->OidAt(m_position);
}

std::shared_ptr<host::IGeometry> Feature::Shape() const {
    Enter("IFeature::Shape");
    if (m_shapeOf != Position()) {
        m_shape = Store()->ShapeAt(Position());
        m_shapeOf = Position();
    }
    return m_shape;
}

template class RowObject<host::IRow>;
template class RowObject<host::IFeature>;

}  // namespace velorin::memory
