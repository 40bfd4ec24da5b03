#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>

#include "host/data.h"
#include "platform/memory/row_store.h"

namespace velorin::memory {

// A view of one stored row. It keeps its store alive, so it stays valid after the
// cursor that made it moves on (unless that cursor recycles it: see Repoint).
template <class Interface>
class RowObject : public Interface {
  public:
    RowObject(std::shared_ptr<const RowStore> store, std::size_t position)
        : m_store(std::move(store)), m_position(position) {}

    std::shared_ptr<host::IFields> Fields() const override;
    // Raises E_HOST_INVALIDARG for an index out of range. The geometry field reads
    // as null: the shape is read through IFeature::Shape.
    host::FieldValue Value(std::int32_t index) const override;
    bool HasOID() const override;
    std::int32_t OID() const override;

    // Makes this object show another row: what a recycling cursor does.
    void Repoint(std::size_t position) { m_position = position; }

    // Where the row is kept (not announced: for the host's own reads).
    const std::shared_ptr<const RowStore>& Store() const { return m_store; }
    std::size_t Position() const { return m_position; }

  protected:
    void Enter(const char* member) const { m_store->Context()->faults.Enter(member); }

  private:
    std::shared_ptr<const RowStore> m_store;
    std::size_t m_position;
};

// A row of a standalone table.
class Row final : public RowObject<host::IRow> {
  public:
    using RowObject::RowObject;
};

// A row of a feature class. Its shape, once read, is the one it hands out for as
// long as it shows that row: a point the store keeps as coordinates is made for
// this feature, so a change to it stays with the feature, as a fetched feature's
// does.
class Feature final : public RowObject<host::IFeature> {
  public:
    using RowObject::RowObject;
    std::shared_ptr<host::IGeometry> Shape() const override;

  private:
    mutable std::shared_ptr<host::IGeometry> m_shape;
    mutable std::optional<std::size_t> m_shapeOf;  // the position m_shape was read for
};

extern template class RowObject<host::IRow>;
extern template class RowObject<host::IFeature>;

}  // namespace velorin::memory
