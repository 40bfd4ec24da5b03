#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host/data.h"
#include "platform/memory/neutral_objects.h"
#include "platform/memory/row_store.h"
#include "platform/memory/search_adapters.h"

namespace velorin::memory {

// Features of one shape type, searchable as a feature class and as a table. No
// definition query applies here: that belongs to a layer.
class FeatureClass final : public TableSearchAdapter, public FeatureClassSearchAdapter {
  public:
    // fields normally holds an object-id and a geometry field (see MakeFields).
    FeatureClass(std::shared_ptr<HostContext> context, std::string name, std::int32_t shapeType,
                 std::int32_t featureType, std::shared_ptr<objects::Fields> fields);
    // Over rows already stored (a loader's): store holds feature rows, and every
    // shape in it is of shapeType.
    FeatureClass(std::shared_ptr<HostContext> context, std::string name, std::int32_t shapeType,
                 std::int32_t featureType, std::shared_ptr<RowStore> store);

    // Called on the class itself, Search is the feature search; the table search is
    // reached through an ITable.
    using FeatureClassSearchAdapter::Search;

    std::shared_ptr<host::IFields> Fields() const override;
    std::int32_t FindField(const std::string& name) const override;
    std::int32_t RowCount(const std::shared_ptr<host::IQueryFilter>& filter) const override;
    std::int32_t ShapeType() const override;
    std::int32_t FeatureType() const override;
    std::int32_t FeatureCount(const std::shared_ptr<host::IQueryFilter>& filter) const override;

    const std::string& Name() const { return m_name; }
    const std::shared_ptr<RowStore>& Store() const { return m_store; }
    // Appends a feature (see RowStore::Add). A shape must be of the class's shape
    // type, or E_HOST_INVALIDARG is raised and nothing is added.
    std::int32_t AddFeature(const std::vector<host::FieldValue>& attributes,
                            std::shared_ptr<host::IGeometry> shape, std::int32_t oid = 0);

  protected:
    std::shared_ptr<host::ICursor> SearchRows(const std::shared_ptr<host::IQueryFilter>& filter,
                                              bool recycling) const override;
    std::shared_ptr<host::IFeatureCursor> SearchFeatures(
        const std::shared_ptr<host::IQueryFilter>& filter, bool recycling) const override;

  private:
    std::shared_ptr<HostContext> m_context;
    std::string m_name;
    std::int32_t m_shapeType;
    std::int32_t m_featureType;
    std::shared_ptr<RowStore> m_store;
};

// Rows without shapes: the data behind a standalone table.
class Table final : public host::ITable {
  public:
    Table(std::shared_ptr<HostContext> context, std::string name,
          std::shared_ptr<objects::Fields> fields);
    // Over rows already stored (a loader's); store holds plain rows.
    Table(std::shared_ptr<HostContext> context, std::string name, std::shared_ptr<RowStore> store);

    std::shared_ptr<host::IFields> Fields() const override;
    std::int32_t FindField(const std::string& name) const override;
    std::int32_t RowCount(const std::shared_ptr<host::IQueryFilter>& filter) const override;
    std::shared_ptr<host::ICursor> Search(const std::shared_ptr<host::IQueryFilter>& filter,
                                          bool recycling) const override;

    const std::string& Name() const { return m_name; }
    const std::shared_ptr<RowStore>& Store() const { return m_store; }
    std::int32_t AddRow(const std::vector<host::FieldValue>& attributes, std::int32_t oid = 0);

  private:
    std::shared_ptr<HostContext> m_context;
    std::string m_name;
    std::shared_ptr<RowStore> m_store;
};

// A field list: "OBJECTID" (object id), then "Shape" (geometry) when withShape,
// then the declared fields in order.
struct FieldSpec {
    std::string name;
    std::int32_t type;
    std::string alias;  // empty: the name
};
std::shared_ptr<Fields> MakeFields(const std::shared_ptr<HostContext>& context,
                                   const std::vector<FieldSpec>& declared, bool withObjectId = true,
                                   bool withShape = true);

// The rows of a store that satisfy the clauses joined by AND, in object-id order.
// Raises E_HOST_INVALID_SQL quoting the first clause that cannot be evaluated.
std::vector<std::size_t> FindRows(const RowStore& store, const std::string& definition,
                                  const std::shared_ptr<host::IQueryFilter>& filter);
// As FindRows, for a cursor: every row is given without a list when there is no
// clause.
RowPositions SearchPositions(const RowStore& store, const std::string& definition,
                             const std::shared_ptr<host::IQueryFilter>& filter);
// How many rows FindRows would give, without listing them when there is no clause.
std::int32_t CountRows(const RowStore& store, const std::string& definition,
                       const std::shared_ptr<host::IQueryFilter>& filter);

}  // namespace velorin::memory
