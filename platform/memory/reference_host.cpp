#include "platform/memory/reference_host.h"

#include <string>
#include <utility>

#include "host/error.h"
#include "platform/memory/neutral_objects.h"
#include "platform/memory/null_canvas.h"
#include "platform/memory/store_matches.h"

namespace velorin::memory {

namespace {

[[noreturn]] void Missing(const std::string& what) { throw Error(host::E_HOST_INVALIDARG, what); }

// Depth first, top first: the first layer of that name for which accept holds.
template <class Accept>
std::shared_ptr<host::ILayer> FindLayer(const std::vector<std::shared_ptr<host::ILayer>>& layers,
                                        const std::string& name, const Accept& accept) {
    for (const auto& layer : layers) {
        if (layer->Name() == name && accept(layer)) return layer;
        if (const auto group = std::dynamic_pointer_cast<GroupLayer>(layer)) {
            if (auto found = FindLayer(group->Layers(), name, accept)) return found;
        }
    }
    return nullptr;
}

bool IsFeatureLayer(const std::shared_ptr<host::ILayer>& layer) {
    return std::dynamic_pointer_cast<memory::FeatureLayer>(layer) != nullptr;
}

}  // namespace

// ---- ReferenceHost -----------------------------------------------------------------

ReferenceHost::ReferenceHost(std::shared_ptr<HostContext> context,
                             std::shared_ptr<memory::Application> application)
    : m_context(std::move(context)), m_application(std::move(application)) {}

void ReferenceHost::FailAt(std::string member, int nth, std::int32_t code,
                           std::string description) const {
    m_context->faults.FailAt(std::move(member), nth, code, std::move(description));
}

Map& ReferenceHost::FocusMap() const {
    const auto& map = Document().MapObject();
    if (!map) Missing("The document has no map");
    return *map;
}

std::shared_ptr<host::ILayer> ReferenceHost::LayerNamed(const std::string& name) const {
    FaultInjector::QuietScope quiet(m_context->faults);
    auto layer = FindLayer(FocusMap().Layers(), name, [](const auto&) { return true; });
    if (!layer) Missing("No layer named " + name);
    return layer;
}

std::shared_ptr<FeatureLayer> ReferenceHost::FeatureLayerNamed(const std::string& name) const {
    FaultInjector::QuietScope quiet(m_context->faults);
    auto layer = FindLayer(FocusMap().Layers(), name, IsFeatureLayer);
    if (!layer) Missing("No feature layer named " + name);
    return std::dynamic_pointer_cast<memory::FeatureLayer>(layer);
}

std::shared_ptr<StandaloneTable> ReferenceHost::TableNamed(const std::string& name) const {
    for (const auto& table : FocusMap().StandaloneTables()) {
        FaultInjector::QuietScope quiet(m_context->faults);
        if (table->Name() == name) return table;
    }
    Missing("No standalone table named " + name);
}

void ReferenceHost::Select(const std::string& name, const std::vector<std::int32_t>& oids) const {
    FaultInjector::QuietScope quiet(m_context->faults);
    auto layer = FindLayer(FocusMap().Layers(), name, IsFeatureLayer);
    if (layer) {
        std::dynamic_pointer_cast<memory::FeatureLayer>(layer)->Selection().Replace(oids);
        return;
    }
    TableNamed(name)->Selection().Replace(oids);
}

void ReferenceHost::ClearSelection(const std::string& name) const { Select(name, {}); }

void ReferenceHost::ClearSelection() const {
    struct Clearer {
        void operator()(const std::vector<std::shared_ptr<host::ILayer>>& layers) const {
            for (const auto& layer : layers) {
                if (const auto feature = std::dynamic_pointer_cast<memory::FeatureLayer>(layer)) {
                    feature->ClearSelection();
                } else if (const auto group = std::dynamic_pointer_cast<GroupLayer>(layer)) {
                    (*this)(group->Layers());
                }
            }
        }
    };
    Clearer{}(FocusMap().Layers());
    for (const auto& table : FocusMap().StandaloneTables()) table->ClearSelection();
}

// ---- HostBuilder -------------------------------------------------------------------

HostBuilder::HostBuilder() : m_context(std::make_shared<HostContext>()) {
    MatchStoredRows(*m_context);
}

void HostBuilder::CheckOpen() const {
    if (m_built) throw Error(host::E_HOST_FAIL, "This host builder has already built its host");
}

HostBuilder& HostBuilder::Window(int width, int height) {
    CheckOpen();
    if (width < 1 || height < 1) {
        throw Error(host::E_HOST_INVALIDARG, "A window needs a size of at least 1 x 1 pixels");
    }
    m_window = std::make_pair(width, height);
    return *this;
}

HostBuilder& HostBuilder::MapName(std::string name) {
    CheckOpen();
    m_mapName = std::move(name);
    return *this;
}

HostBuilder& HostBuilder::Title(std::string title) {
    CheckOpen();
    m_title = std::move(title);
    return *this;
}

void HostBuilder::Place(std::shared_ptr<host::ILayer> layer) {
    m_last = layer;
    if (m_groups.empty()) {
        m_layers.push_back(std::move(layer));
    } else {
        m_groups.back()->Add(std::move(layer));
    }
}

// Makes the objects of the layer or table stated last, once its fields are known.
void HostBuilder::Seal() {
    CheckOpen();
    Pending pending = std::move(m_pending);
    m_pending = Pending{};
    switch (pending.kind) {
        case PendingKind::None:
            return;
        case PendingKind::FeatureLayer: {
            std::shared_ptr<memory::FeatureClass> featureClass;
            if (pending.withData) {
                featureClass = std::make_shared<memory::FeatureClass>(
                    m_context, pending.name, pending.shapeType, pending.featureType,
                    MakeFields(m_context, pending.fields, pending.defaultFields,
                               pending.defaultFields));
            }
            m_layer = std::make_shared<memory::FeatureLayer>(
                m_context, pending.name, std::move(featureClass), nullptr, m_featureLayers++);
            Place(m_layer);
            return;
        }
        case PendingKind::Table: {
            std::shared_ptr<memory::Table> table;
            if (pending.withData) {
                table = std::make_shared<memory::Table>(
                    m_context, pending.name,
                    MakeFields(m_context, pending.fields, pending.defaultFields, false));
            }
            m_table = std::make_shared<memory::StandaloneTable>(m_context, pending.name,
                                                                std::move(table));
            m_tables.push_back(m_table);
            return;
        }
    }
}

HostBuilder& HostBuilder::FeatureLayer(std::string name, std::int32_t shapeType,
                                       std::int32_t featureType) {
    Seal();
    m_layer.reset();
    m_table.reset();
    m_pending.kind = PendingKind::FeatureLayer;
    m_pending.name = std::move(name);
    m_pending.shapeType = shapeType;
    m_pending.featureType = featureType;
    return *this;
}

HostBuilder& HostBuilder::StandaloneTable(std::string name, bool hasTable) {
    Seal();
    m_layer.reset();
    m_table.reset();
    m_pending.kind = PendingKind::Table;
    m_pending.name = std::move(name);
    m_pending.withData = hasTable;
    return *this;
}

HostBuilder& HostBuilder::WithoutFeatureClass() {
    CheckOpen();
    if (m_pending.kind != PendingKind::FeatureLayer) {
        throw Error(host::E_HOST_INVALIDARG,
                    "WithoutFeatureClass must follow FeatureLayer, before anything else");
    }
    m_pending.withData = false;
    return *this;
}

HostBuilder& HostBuilder::WithoutDefaultFields() {
    CheckOpen();
    if (m_pending.kind == PendingKind::None) {
        throw Error(host::E_HOST_INVALIDARG,
                    "WithoutDefaultFields must follow FeatureLayer or StandaloneTable");
    }
    m_pending.defaultFields = false;
    return *this;
}

HostBuilder& HostBuilder::Field(std::string name, std::int32_t type, std::string alias) {
    CheckOpen();
    if (m_pending.kind == PendingKind::None) {
        throw Error(host::E_HOST_INVALIDARG,
                    "Field " + name +
                        " must follow FeatureLayer or StandaloneTable and come before the "
                        "first feature, row, selection or setting");
    }
    m_pending.fields.push_back(FieldSpec{std::move(name), type, std::move(alias)});
    return *this;
}

memory::FeatureLayer& HostBuilder::CurrentLayer(const char* what) {
    Seal();
    if (!m_layer) {
        throw Error(host::E_HOST_INVALIDARG, std::string(what) + " must follow a FeatureLayer");
    }
    return *m_layer;
}

HostBuilder& HostBuilder::Feature(std::vector<host::FieldValue> values,
                                  std::shared_ptr<host::IGeometry> shape, std::int32_t oid) {
    memory::FeatureLayer& layer = CurrentLayer("Feature");
    if (!layer.Data()) {
        throw Error(host::E_HOST_INVALIDARG,
                    "Layer " + layer.LayerBase::Name() + " was stated without a feature class");
    }
    layer.Data()->AddFeature(values, std::move(shape), oid);
    return *this;
}

HostBuilder& HostBuilder::Row(std::vector<host::FieldValue> values, std::int32_t oid) {
    Seal();
    if (!m_table || !m_table->Data()) {
        throw Error(host::E_HOST_INVALIDARG, "Row must follow a StandaloneTable that has a table");
    }
    m_table->Data()->AddRow(values, oid);
    return *this;
}

HostBuilder& HostBuilder::Select(std::vector<std::int32_t> oids) {
    Seal();
    if (m_table) {
        m_table->Select(oids);
    } else {
        CurrentLayer("Select").Select(oids);
    }
    return *this;
}

HostBuilder& HostBuilder::Definition(std::string whereClause) {
    FaultInjector::QuietScope quiet(m_context->faults);
    CurrentLayer("Definition").SetDefinitionExpression(whereClause);
    return *this;
}

HostBuilder& HostBuilder::DisplayField(std::string field) {
    FaultInjector::QuietScope quiet(m_context->faults);
    CurrentLayer("DisplayField").SetDisplayField(field);
    return *this;
}

HostBuilder& HostBuilder::Renderer(std::shared_ptr<host::IFeatureRenderer> renderer) {
    FaultInjector::QuietScope quiet(m_context->faults);
    CurrentLayer("Renderer").SetRenderer(renderer);
    return *this;
}

HostBuilder& HostBuilder::Hidden() {
    Seal();
    if (!m_last) throw Error(host::E_HOST_INVALIDARG, "Hidden must follow a layer");
    FaultInjector::QuietScope quiet(m_context->faults);
    m_last->SetVisible(false);
    return *this;
}

HostBuilder& HostBuilder::GroupLayer(std::string name) {
    Seal();
    m_layer.reset();
    m_table.reset();
    auto group = std::make_shared<memory::GroupLayer>(m_context, std::move(name));
    Place(group);
    m_groups.push_back(std::move(group));
    return *this;
}

HostBuilder& HostBuilder::EndGroup() {
    Seal();
    if (m_groups.empty()) throw Error(host::E_HOST_INVALIDARG, "EndGroup without a GroupLayer");
    m_last = m_groups.back();
    m_groups.pop_back();
    m_layer.reset();
    m_table.reset();
    return *this;
}

HostBuilder& HostBuilder::RasterLayer(std::string name, bool hasRaster) {
    Seal();
    m_layer.reset();
    m_table.reset();
    std::shared_ptr<RasterData> raster;
    if (hasRaster) raster = std::make_shared<RasterData>(name);
    Place(std::make_shared<memory::RasterLayer>(m_context, std::move(name), std::move(raster)));
    return *this;
}

HostBuilder& HostBuilder::OtherLayer(std::string name) {
    Seal();
    m_layer.reset();
    m_table.reset();
    Place(std::make_shared<memory::OtherLayer>(m_context, std::move(name)));
    return *this;
}

ReferenceHost HostBuilder::Build(std::unique_ptr<Canvas> canvas) {
    Seal();
    m_groups.clear();
    if (!canvas) {
        const auto [width, height] =
            m_window.value_or(std::make_pair(MapView::DefaultWidth, MapView::DefaultHeight));
        canvas = std::make_unique<NullCanvas>(width, height);
    } else if (m_window &&
               (canvas->Width() != m_window->first || canvas->Height() != m_window->second)) {
        canvas->Resize(m_window->first, m_window->second);
    }
    auto map = Map::Create(m_context, m_mapName, std::move(canvas));
    for (auto& layer : m_layers) map->AddLayer(std::move(layer));
    for (auto& table : m_tables) map->AddStandaloneTable(std::move(table));
    // The host starts as a map window opens: showing everything, drawn once.
    map->View().ZoomToFullExtent();
    map->View().Refresh();
    m_context->record.Clear();
    auto document = std::make_shared<MxDocument>(m_context, m_title, std::move(map));
    auto application = std::make_shared<memory::Application>(
        m_context, std::move(document), std::make_shared<objects::StatusBar>(m_context));
    m_built = true;
    return ReferenceHost(m_context, std::move(application));
}

}  // namespace velorin::memory
