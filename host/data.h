#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "host/field_value.h"
#include "host/geometry.h"
#include "host/object.h"

namespace velorin::host {

class IField : public virtual IUnknown {
  public:
    virtual std::string Name() const = 0;
    virtual std::string AliasName() const = 0;
    // esriFieldType code (host/codes.h).
    virtual std::int32_t Type() const = 0;
};

class IFields : public virtual IUnknown {
  public:
    virtual std::int32_t FieldCount() const = 0;
    virtual std::shared_ptr<IField> Field(std::int32_t index) const = 0;
    // Index of the field of that name, compared without regard to letter case as
    // the host's data sources do; -1 when absent.
    virtual std::int32_t FindField(const std::string& name) const = 0;
};

class IRowBuffer : public virtual IUnknown {
  public:
    virtual std::shared_ptr<IFields> Fields() const = 0;
    // The value at a field index; an index out of range raises an error.
    virtual FieldValue Value(std::int32_t index) const = 0;
};

class IRow : public virtual IRowBuffer {
  public:
    virtual bool HasOID() const = 0;
    virtual std::int32_t OID() const = 0;
};

class IFeature : public virtual IRow {
  public:
    // The feature's shape, or empty when it has none. The host hands out the
    // feature's own geometry: callers must not change it.
    virtual std::shared_ptr<IGeometry> Shape() const = 0;
};

class ICursor : public virtual IUnknown {
  public:
    // The next row, or empty at the end. A recycling cursor may hand back the
    // same row object each time, refilled.
    virtual std::shared_ptr<IRow> NextRow() = 0;
};

class IFeatureCursor : public virtual IUnknown {
  public:
    virtual std::shared_ptr<IFeature> NextFeature() = 0;
};

class IQueryFilter : public virtual IUnknown {
  public:
    virtual std::string WhereClause() const = 0;
    virtual void SetWhereClause(const std::string& whereClause) = 0;
};

class IClass : public virtual IUnknown {
  public:
    virtual std::shared_ptr<IFields> Fields() const = 0;
    virtual std::int32_t FindField(const std::string& name) const = 0;
};

// Searches take an optional filter: empty means every row. A where clause the
// host cannot evaluate raises an error quoting the clause.
class ITable : public virtual IClass {
  public:
    virtual std::int32_t RowCount(const std::shared_ptr<IQueryFilter>& filter) const = 0;
    virtual std::shared_ptr<ICursor> Search(const std::shared_ptr<IQueryFilter>& filter,
                                            bool recycling) const = 0;
};

class IFeatureClass : public virtual IClass {
  public:
    virtual std::int32_t ShapeType() const = 0;
    virtual std::int32_t FeatureType() const = 0;
    // Features of the class matching the filter; a layer's definition query does
    // not apply here.
    virtual std::int32_t FeatureCount(const std::shared_ptr<IQueryFilter>& filter) const = 0;
    virtual std::shared_ptr<IFeatureCursor> Search(const std::shared_ptr<IQueryFilter>& filter,
                                                   bool recycling) const = 0;
};

class ISelectionSet : public virtual IUnknown {
  public:
    virtual std::int32_t Count() const = 0;
    // The selected rows in object-id order, narrowed by the filter.
    virtual std::shared_ptr<ICursor> Search(const std::shared_ptr<IQueryFilter>& filter,
                                            bool recycling) const = 0;
};

// A set of objects, visited in the order they were added.
class ISet : public virtual IUnknown {
  public:
    virtual void Add(const std::shared_ptr<IUnknown>& object) = 0;
    virtual void Reset() = 0;
    // The next object, or empty at the end.
    virtual std::shared_ptr<IUnknown> Next() = 0;
    virtual std::int32_t Count() const = 0;
};

}  // namespace velorin::host
