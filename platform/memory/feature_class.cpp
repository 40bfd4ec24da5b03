#include "platform/memory/feature_class.h"

#include <string>
#include <utility>

#include "host/codes.h"
#include "host/error.h"
#include "platform/memory/cursors.h"
#include "platform/memory/neutral_objects.h"

namespace velorin::memory {

namespace {

WhereClause ClauseFor(const RowStore& store, const std::string& definition,
                      const std::shared_ptr<host::IQueryFilter>& filter) {
    return WhereClause::Both(store.Compile(definition), store.Compile(ClauseOf(filter)));
}

}  // namespace

std::vector<std::size_t> FindRows(const RowStore& store, const std::string& definition,
                                  const std::shared_ptr<host::IQueryFilter>& filter) {
    return store.Find(ClauseFor(store, definition, filter));
}

RowPositions SearchPositions(const RowStore& store, const std::string& definition,
                             const std::shared_ptr<host::IQueryFilter>& filter) {
    return store.Search(ClauseFor(store, definition, filter));
}

std::int32_t CountRows(const RowStore& store, const std::string& definition,
                       const std::shared_ptr<host::IQueryFilter>& filter) {
    const WhereClause clause = ClauseFor(store, definition, filter);
    const std::size_t count = clause.IsEmpty() ? store.Size() : store.Find(clause).size();
    return static_cast<std::int32_t>(count);
}

std::shared_ptr<Fields> MakeFields(const std::shared_ptr<HostContext>& context,
                                   const std::vector<FieldSpec>& declared, bool withObjectId,
                                   bool withShape) {
    std::vector<std::shared_ptr<Field>> fields;
    if (withObjectId) {
        fields.push_back(std::make_shared<Field>(context, "OBJECTID", host::esriFieldTypeOID));
    }
    if (withShape) {
        fields.push_back(std::make_shared<Field>(context, "Shape", host::esriFieldTypeGeometry));
    }
    for (const FieldSpec& field : declared) {
        fields.push_back(std::make_shared<Field>(context, field.name, field.type, field.alias));
    }
    return std::make_shared<Fields>(context, std::move(fields));
}

// ---- FeatureClass ------------------------------------------------------------------

FeatureClass::FeatureClass(std::shared_ptr<HostContext> context, std::string name,
                           std::int32_t shapeType, std::int32_t featureType,
                           std::shared_ptr<objects::Fields> fields)
    : m_context(std::move(context)),
      m_name(std::move(name)),
      m_shapeType(shapeType),
      m_featureType(featureType),
      m_store(std::make_shared<RowStore>(m_context, std::move(fields), true)) {}

FeatureClass::FeatureClass(std::shared_ptr<HostContext> context, std::string name,
                           std::int32_t shapeType, std::int32_t featureType,
                           std::shared_ptr<RowStore> store)
    : m_context(std::move(context)),
      m_name(std::move(name)),
      m_shapeType(shapeType),
      m_featureType(featureType),
      m_store(std::move(store)) {
    if (!m_store || !m_store->FeatureRows()) {
        throw Error(host::E_HOST_INVALIDARG, "A feature class is made over a store of features");
    }
}

std::shared_ptr<host::IFields> FeatureClass::Fields() const {
    m_context->faults.Enter("IClass::Fields");
    return m_store->FieldSet();
}

std::int32_t FeatureClass::FindField(const std::string& name) const {
    m_context->faults.Enter("IClass::FindField");
    return m_store->FieldSet()->Find(name);
}

std::int32_t FeatureClass::RowCount(const std::shared_ptr<host::IQueryFilter>& filter) const {
    m_context->faults.Enter("ITable::RowCount");
    return CountRows(*m_store, {}, filter);
}

std::int32_t FeatureClass::ShapeType() const {
    m_context->faults.Enter("IFeatureClass::ShapeType");
    return m_shapeType;
}

std::int32_t FeatureClass::FeatureType() const {
    m_context->faults.Enter("IFeatureClass::FeatureType");
    return m_featureType;
}

std::int32_t FeatureClass::FeatureCount(const std::shared_ptr<host::IQueryFilter>& filter) const {
    m_context->faults.Enter("IFeatureClass::FeatureCount");
    return CountRows(*m_store, {}, filter);
}

std::shared_ptr<host::ICursor> FeatureClass::SearchRows(
    const std::shared_ptr<host::IQueryFilter>& filter, bool recycling) const {
    m_context->faults.Enter("ITable::Search");
    return MakeCursor(m_store, SearchPositions(*m_store, {}, filter), recycling);
}

std::shared_ptr<host::IFeatureCursor> FeatureClass::SearchFeatures(
    const std::shared_ptr<host::IQueryFilter>& filter, bool recycling) const {
    m_context->faults.Enter("IFeatureClass::Search");
    return std::make_shared<FeatureCursor>(m_store, SearchPositions(*m_store, {}, filter),
                                           recycling);
}

std::int32_t FeatureClass::AddFeature(const std::vector<host::FieldValue>& attributes,
                                      std::shared_ptr<host::IGeometry> shape, std::int32_t oid) {
    if (shape && shape->GeometryType() != m_shapeType) {
        throw Error(host::E_HOST_INVALIDARG,
                    "A shape of geometry type " + std::to_string(shape->GeometryType()) +
                        " does not fit feature class " + m_name + " (geometry type " +
                        std::to_string(m_shapeType) + ")");
    }
    return m_store->Add(attributes, std::move(shape), oid);
}

// ---- Table -------------------------------------------------------------------------

Table::Table(std::shared_ptr<HostContext> context, std::string name,
             std::shared_ptr<objects::Fields> fields)
    : m_context(std::move(context)),
      m_name(std::move(name)),
      m_store(std::make_shared<RowStore>(m_context, std::move(fields), false)) {}

Table::Table(std::shared_ptr<HostContext> context, std::string name,
             std::shared_ptr<RowStore> store)
    : m_context(std::move(context)), m_name(std::move(name)), m_store(std::move(store)) {
    if (!m_store || m_store->FeatureRows()) {
        throw Error(host::E_HOST_INVALIDARG, "A table is made over a store of plain rows");
    }
}

std::shared_ptr<host::IFields> Table::Fields() const {
    m_context->faults.Enter("IClass::Fields");
    return m_store->FieldSet();
}

std::int32_t Table::FindField(const std::string& name) const {
    m_context->faults.Enter("IClass::FindField");
    return m_store->FieldSet()->Find(name);
}

std::int32_t Table::RowCount(const std::shared_ptr<host::IQueryFilter>& filter) const {
    m_context->faults.Enter("ITable::RowCount");
    return CountRows(*m_store, {}, filter);
}

std::shared_ptr<host::ICursor> Table::Search(const std::shared_ptr<host::IQueryFilter>& filter,
                                             bool recycling) const {
    m_context->faults.Enter("ITable::Search");
    return MakeCursor(m_store, SearchPositions(*m_store, {}, filter), recycling);
}

std::int32_t Table::AddRow(const std::vector<host::FieldValue>& attributes, std::int32_t oid) {
    return m_store->Add(attributes, nullptr, oid);
}

}  // namespace velorin::memory
