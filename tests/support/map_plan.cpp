#include "tests/support/map_plan.h"

#include "host/error.h"

namespace velorin::testing {

namespace {

[[noreturn]] void Mistake(const std::string& text) {
    throw Error(host::E_HOST_INVALIDARG, "MapPlan: " + text);
}

}  // namespace

SymbolPlan SymbolPlan::For(std::int32_t shapeType, Color color) {
    if (shapeType == host::esriGeometryPoint || shapeType == host::esriGeometryMultipoint) {
        return {Kind::Marker, color, host::esriSMSCircle, 8};
    }
    if (shapeType == host::esriGeometryPolyline) return {Kind::Line, color, host::esriSLSSolid, 1};
    return {Kind::Fill, color, host::esriSFSSolid, 0};
}

MapPlan& MapPlan::Window(int width, int height) {
    if (width <= 0 || height <= 0) Mistake("the window needs a size");
    m_width = width;
    m_height = height;
    return *this;
}

std::vector<LayerPlan>& MapPlan::OpenList() {
    std::vector<LayerPlan>* list = &m_layers;
    for (const std::size_t index : m_openGroups) list = &(*list)[index].children;
    return *list;
}

LayerPlan& MapPlan::LastFeatureLayer(const char* what) {
    if (m_last != Last::Layer) Mistake(std::string(what) + " needs a feature layer stated before");
    LayerPlan& layer = OpenList().back();
    if (layer.kind != LayerPlan::Kind::Feature)
        Mistake(std::string(what) + " on a non-feature layer");
    return layer;
}

MapPlan& MapPlan::FeatureLayer(std::string name, std::int32_t shapeType, std::int32_t featureType) {
    LayerPlan layer;
    layer.name = std::move(name);
    layer.shapeType = shapeType;
    layer.featureType = featureType;
    OpenList().push_back(std::move(layer));
    m_last = Last::Layer;
    return *this;
}

MapPlan& MapPlan::WithoutFeatureClass() {
    LastFeatureLayer("WithoutFeatureClass").hasData = false;
    return *this;
}

MapPlan& MapPlan::Field(std::string name, std::int32_t type, std::string alias) {
    if (m_last == Last::Table) {
        m_tables.back().fields.push_back({std::move(name), type, std::move(alias)});
        return *this;
    }
    LastFeatureLayer("Field").fields.push_back({std::move(name), type, std::move(alias)});
    return *this;
}

MapPlan& MapPlan::Feature(std::vector<host::FieldValue> values,
                          std::shared_ptr<host::IGeometry> shape, std::int32_t oid) {
    LayerPlan& layer = LastFeatureLayer("Feature");
    if (values.size() != layer.fields.size()) Mistake("a feature needs one value per field");
    layer.features.push_back({std::move(values), std::move(shape), oid});
    return *this;
}

MapPlan& MapPlan::Select(std::vector<std::int32_t> oids) {
    LastFeatureLayer("Select").selection = std::move(oids);
    return *this;
}

MapPlan& MapPlan::Definition(std::string whereClause) {
    LastFeatureLayer("Definition").definition = std::move(whereClause);
    return *this;
}

MapPlan& MapPlan::DisplayField(std::string field) {
    LastFeatureLayer("DisplayField").displayField = std::move(field);
    return *this;
}

MapPlan& MapPlan::Renderer(RendererPlan renderer) {
    LastFeatureLayer("Renderer").renderer = std::move(renderer);
    return *this;
}

MapPlan& MapPlan::GroupLayer(std::string name) {
    LayerPlan group;
    group.kind = LayerPlan::Kind::Group;
    group.name = std::move(name);
    std::vector<LayerPlan>& list = OpenList();
    list.push_back(std::move(group));
    m_openGroups.push_back(list.size() - 1);
    m_last = Last::None;
    return *this;
}

MapPlan& MapPlan::EndGroup() {
    if (m_openGroups.empty()) Mistake("EndGroup without a group");
    m_openGroups.pop_back();
    m_last = Last::None;
    return *this;
}

MapPlan& MapPlan::RasterLayer(std::string name, bool hasRaster) {
    LayerPlan layer;
    layer.kind = LayerPlan::Kind::Raster;
    layer.name = std::move(name);
    layer.hasData = hasRaster;
    OpenList().push_back(std::move(layer));
    m_last = Last::None;
    return *this;
}

MapPlan& MapPlan::OtherLayer(std::string name) {
    LayerPlan layer;
    layer.kind = LayerPlan::Kind::Other;
    layer.name = std::move(name);
    OpenList().push_back(std::move(layer));
    m_last = Last::None;
    return *this;
}

MapPlan& MapPlan::StandaloneTable(std::string name, bool hasTable) {
    m_tables.push_back({std::move(name), {}, {}, hasTable});
    m_last = Last::Table;
    return *this;
}

MapPlan& MapPlan::Row(std::vector<host::FieldValue> values, std::int32_t oid) {
    if (m_last != Last::Table) Mistake("Row needs a standalone table stated before");
    TablePlan& table = m_tables.back();
    if (values.size() != table.fields.size()) Mistake("a row needs one value per field");
    table.rows.push_back({std::move(values), {}, oid});
    return *this;
}

}  // namespace velorin::testing
