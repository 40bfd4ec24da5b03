#include "platform/memory/layers.h"

#include <string>
#include <utility>

#include "host/codes.h"
#include "host/error.h"
#include "platform/memory/cursors.h"
#include "platform/memory/neutral_objects.h"

namespace velorin::memory {

namespace {

[[noreturn]] void OutOfRange(const char* what, std::int32_t index, std::size_t count) {
    throw Error(host::E_HOST_INVALIDARG, std::string(what) + " index " + std::to_string(index) +
                                             " is out of range (there are " +
                                             std::to_string(count) + ")");
}

std::string FirstTextField(const std::shared_ptr<FeatureClass>& featureClass) {
    if (!featureClass) return {};
    const Fields& fields = *featureClass->Store()->FieldSet();
    for (std::int32_t i = 0; i < fields.Count(); ++i) {
        if (fields.At(i).TypeCode() == host::esriFieldTypeString) return fields.At(i).NameText();
    }
    return {};
}

}  // namespace

// ---- LayerBase ---------------------------------------------------------------------

LayerBase::LayerBase(std::shared_ptr<HostContext> context, std::string name)
    : m_context(std::move(context)), m_name(std::move(name)) {}

std::string LayerBase::Name() const {
    Enter("ILayer::Name");
    return m_name;
}

void LayerBase::SetName(const std::string& name) {
    Enter("ILayer::SetName");
    m_name = name;
}

bool LayerBase::Visible() const {
    Enter("ILayer::Visible");
    return m_visible;
}

void LayerBase::SetVisible(bool visible) {
    Enter("ILayer::SetVisible");
    m_visible = visible;
}

// ---- FeatureLayer ------------------------------------------------------------------

FeatureLayer::FeatureLayer(std::shared_ptr<HostContext> context, std::string name,
                           std::shared_ptr<memory::FeatureClass> featureClass,
                           std::shared_ptr<host::IFeatureRenderer> renderer,
                           std::int32_t colorIndex)
    : LayerBase(std::move(context), std::move(name)),
      m_class(std::move(featureClass)),
      m_renderer(std::move(renderer)),
      m_propertyPage(SingleSymbolPropertyPageClassID),
      m_displayField(FirstTextField(m_class)),
      m_definition(std::make_shared<std::string>()) {
    if (!m_renderer) {
        FaultInjector::QuietScope quiet(m_context->faults);
        const std::int32_t shapeType = m_class ? m_class->ShapeType() : host::esriGeometryPolygon;
        m_renderer = MakeDefaultRenderer(m_context, shapeType, colorIndex);
    }
    std::shared_ptr<const RowStore> store;
    if (m_class) store = m_class->Store();
    m_selection = std::make_shared<memory::SelectionSet>(
        m_context, std::move(store),
        [definition = std::shared_ptr<const std::string>(m_definition)] { return *definition; });
}

const RowStore& FeatureLayer::Store() const {
    if (!m_class) {
        throw Error(host::E_HOST_FAIL, "Layer " + LayerBase::Name() + " has no data source");
    }
    return *m_class->Store();
}

std::shared_ptr<host::IFeatureClass> FeatureLayer::FeatureClass() const {
    Enter("IFeatureLayer::FeatureClass");
    return m_class;
}

std::shared_ptr<host::IFeatureCursor> FeatureLayer::SearchFeatures(
    const std::shared_ptr<host::IQueryFilter>& filter, bool recycling) const {
    Enter("IFeatureLayer::Search");
    const RowStore& store = Store();
    return std::make_shared<FeatureCursor>(
        m_class->Store(), SearchPositions(store, *m_definition, filter), recycling);
}

std::string FeatureLayer::DisplayField() const {
    Enter("IFeatureLayer::DisplayField");
    return m_displayField;
}

void FeatureLayer::SetDisplayField(const std::string& field) {
    Enter("IFeatureLayer::SetDisplayField");
    if (!field.empty() && (!m_class || m_class->Store()->FieldSet()->Find(field) < 0)) {
        throw Error(host::E_HOST_INVALIDARG,
                    "Layer " + LayerBase::Name() + " has no field " + field + " to display");
    }
    m_displayField = field;
}

std::shared_ptr<host::IFeatureRenderer> FeatureLayer::Renderer() const {
    Enter("IGeoFeatureLayer::Renderer");
    return m_renderer;
}

void FeatureLayer::SetRenderer(const std::shared_ptr<host::IFeatureRenderer>& renderer) {
    Enter("IGeoFeatureLayer::SetRenderer");
    if (!renderer) {
        throw Error(host::E_HOST_POINTER, "Layer " + LayerBase::Name() + " needs a renderer");
    }
    m_renderer = renderer;
}

std::string FeatureLayer::RendererPropertyPageClassID() const {
    Enter("IGeoFeatureLayer::RendererPropertyPageClassID");
    return m_propertyPage;
}

void FeatureLayer::SetRendererPropertyPageClassID(const std::string& classId) {
    Enter("IGeoFeatureLayer::SetRendererPropertyPageClassID");
    m_propertyPage = classId;
}

std::string FeatureLayer::DefinitionExpression() const {
    Enter("IFeatureLayerDefinition::DefinitionExpression");
    return *m_definition;
}

void FeatureLayer::SetDefinitionExpression(const std::string& whereClause) {
    Enter("IFeatureLayerDefinition::SetDefinitionExpression");
    // Compiled only to be checked: a clause that cannot be evaluated raises here,
    // with the old one kept, instead of failing every later search.
    if (m_class) {
        m_class->Store()->Compile(whereClause);
    } else if (whereClause.find_first_not_of(" \t\r\n") != std::string::npos) {
        throw Error(host::E_HOST_FAIL, "Layer " + LayerBase::Name() + " has no data source");
    }
    *m_definition = whereClause;
}

std::shared_ptr<host::ISelectionSet> FeatureLayer::SelectionSet() const {
    Enter("IFeatureSelection::SelectionSet");
    return m_selection;
}

std::shared_ptr<host::IFields> FeatureLayer::Fields() const {
    Enter("IClass::Fields");
    return Store().FieldSet();
}

std::int32_t FeatureLayer::FindField(const std::string& name) const {
    Enter("IClass::FindField");
    return Store().FieldSet()->Find(name);
}

std::int32_t FeatureLayer::RowCount(const std::shared_ptr<host::IQueryFilter>& filter) const {
    Enter("ITable::RowCount");
    return CountRows(Store(), *m_definition, filter);
}

std::shared_ptr<host::ICursor> FeatureLayer::SearchRows(
    const std::shared_ptr<host::IQueryFilter>& filter, bool recycling) const {
    Enter("ITable::Search");
    const RowStore& store = Store();
    return MakeCursor(m_class->Store(), SearchPositions(store, *m_definition, filter), recycling);
}

const std::vector<char>* FeatureLayer::DefinitionMask() const {
    const RowStore& store = Store();
    if (!m_mask.valid || m_mask.definition != *m_definition || m_mask.rows != store.Size()) {
        const QuietHost quiet(m_context);
        Mask mask{true, *m_definition, store.Size(), false, {}};
        const WhereClause clause = store.Compile(*m_definition);
        mask.everyRow = clause.IsEmpty();
        if (!mask.everyRow) {
            mask.passes.assign(store.Size(), 0);
            for (const std::size_t p : store.Find(clause)) mask.passes[p] = 1;
        }
        m_mask = std::move(mask);
    }
    return m_mask.everyRow ? nullptr : &m_mask.passes;
}

void FeatureLayer::Select(const std::vector<std::int32_t>& oids) { m_selection->Select(oids); }

void FeatureLayer::ClearSelection() { m_selection->Clear(); }

// ---- GroupLayer --------------------------------------------------------------------

GroupLayer::GroupLayer(std::shared_ptr<HostContext> context, std::string name)
    : LayerBase(std::move(context), std::move(name)) {}

std::int32_t GroupLayer::Count() const {
    Enter("ICompositeLayer::Count");
    return static_cast<std::int32_t>(m_layers.size());
}

std::shared_ptr<host::ILayer> GroupLayer::Layer(std::int32_t index) const {
    Enter("ICompositeLayer::Layer");
    if (index < 0 || static_cast<std::size_t>(index) >= m_layers.size()) {
        OutOfRange("Layer", index, m_layers.size());
    }
    return m_layers[static_cast<std::size_t>(index)];
}

void GroupLayer::Add(std::shared_ptr<host::ILayer> layer) {
    if (!layer) throw Error(host::E_HOST_POINTER, "A group layer cannot hold Nothing");
    m_layers.push_back(std::move(layer));
}

// ---- RasterLayer, OtherLayer -------------------------------------------------------

RasterLayer::RasterLayer(std::shared_ptr<HostContext> context, std::string name,
                         std::shared_ptr<RasterData> raster)
    : LayerBase(std::move(context), std::move(name)), m_raster(std::move(raster)) {}

std::shared_ptr<host::IUnknown> RasterLayer::Raster() const {
    Enter("IRasterLayer::Raster");
    return m_raster;
}

OtherLayer::OtherLayer(std::shared_ptr<HostContext> context, std::string name)
    : LayerBase(std::move(context), std::move(name)) {}

// ---- StandaloneTable ---------------------------------------------------------------

StandaloneTable::StandaloneTable(std::shared_ptr<HostContext> context, std::string name,
                                 std::shared_ptr<memory::Table> table)
    : m_context(std::move(context)), m_name(std::move(name)), m_table(std::move(table)) {
    std::shared_ptr<const RowStore> store;
    if (m_table) store = m_table->Store();
    m_selection = std::make_shared<memory::SelectionSet>(m_context, std::move(store));
}

std::string StandaloneTable::Name() const {
    m_context->faults.Enter("IStandaloneTable::Name");
    return m_name;
}

std::shared_ptr<host::ITable> StandaloneTable::Table() const {
    m_context->faults.Enter("IStandaloneTable::Table");
    return m_table;
}

std::shared_ptr<host::ISelectionSet> StandaloneTable::SelectionSet() const {
    m_context->faults.Enter("ITableSelection::SelectionSet");
    return m_selection;
}

void StandaloneTable::Select(const std::vector<std::int32_t>& oids) { m_selection->Select(oids); }

void StandaloneTable::ClearSelection() { m_selection->Clear(); }

}  // namespace velorin::memory
