#include "platform/memory/map.h"

#include <string>
#include <utility>

#include "host/codes.h"
#include "host/error.h"

namespace velorin::memory {

namespace {

[[noreturn]] void OutOfRange(const char* what, std::int32_t index, std::size_t count) {
    throw Error(host::E_HOST_INVALIDARG, std::string(what) + " index " + std::to_string(index) +
                                             " is out of range (the map has " +
                                             std::to_string(count) + ")");
}

bool InRange(std::int32_t index, std::size_t count) {
    return index >= 0 && static_cast<std::size_t>(index) < count;
}

}  // namespace

std::shared_ptr<Map> Map::Create(std::shared_ptr<HostContext> context, std::string name,
                                 std::unique_ptr<Canvas> canvas) {
    auto map = std::make_shared<Map>(Key{}, std::move(context), std::move(name), std::move(canvas));
    map->m_view.SetMap(std::weak_ptr<host::IMap>(map));
    return map;
}

Map::Map(Key, std::shared_ptr<HostContext> context, std::string name,
         std::unique_ptr<Canvas> canvas)
    : m_context(context), m_name(std::move(name)), m_view(std::move(context), std::move(canvas)) {}

std::string Map::Name() const {
    Enter("IMap::Name");
    return m_name;
}

std::int32_t Map::LayerCount() const {
    Enter("IMap::LayerCount");
    return static_cast<std::int32_t>(m_layers.size());
}

std::shared_ptr<host::ILayer> Map::Layer(std::int32_t index) const {
    Enter("IMap::Layer");
    if (!InRange(index, m_layers.size())) OutOfRange("Layer", index, m_layers.size());
    return m_layers[static_cast<std::size_t>(index)];
}

std::int32_t Map::StandaloneTableCount() const {
    Enter("IStandaloneTableCollection::StandaloneTableCount");
    return static_cast<std::int32_t>(m_tables.size());
}

std::shared_ptr<host::IStandaloneTable> Map::StandaloneTable(std::int32_t index) const {
    Enter("IStandaloneTableCollection::StandaloneTable");
    if (!InRange(index, m_tables.size())) OutOfRange("Standalone table", index, m_tables.size());
    return m_tables[static_cast<std::size_t>(index)];
}

std::shared_ptr<host::IEnvelope> Map::Extent() const {
    Enter("IActiveView::Extent");
    return m_view.Extent();
}

void Map::SetExtent(const std::shared_ptr<host::IEnvelope>& extent) {
    Enter("IActiveView::SetExtent");
    m_view.SetExtent(extent);
}

std::shared_ptr<host::IScreenDisplay> Map::ScreenDisplay() const {
    Enter("IActiveView::ScreenDisplay");
    return m_view.ScreenDisplay();
}

void Map::Refresh() {
    Enter("IActiveView::Refresh");
    m_view.Refresh();
}

void Map::AddLayer(std::shared_ptr<host::ILayer> layer) {
    InsertLayer(static_cast<std::int32_t>(m_layers.size()), std::move(layer));
}

void Map::InsertLayer(std::int32_t index, std::shared_ptr<host::ILayer> layer) {
    if (!layer) throw Error(host::E_HOST_POINTER, "A map cannot hold Nothing as a layer");
    if (!InRange(index, m_layers.size() + 1)) OutOfRange("Layer", index, m_layers.size());
    m_layers.insert(m_layers.begin() + index, std::move(layer));
    m_view.Invalidate();
}

std::shared_ptr<host::ILayer> Map::RemoveLayer(std::int32_t index) {
    if (!InRange(index, m_layers.size())) OutOfRange("Layer", index, m_layers.size());
    auto layer = std::move(m_layers[static_cast<std::size_t>(index)]);
    m_layers.erase(m_layers.begin() + index);
    m_view.Invalidate();
    return layer;
}

void Map::MoveLayer(std::int32_t from, std::int32_t to) {
    if (!InRange(from, m_layers.size())) OutOfRange("Layer", from, m_layers.size());
    if (!InRange(to, m_layers.size())) OutOfRange("Layer", to, m_layers.size());
    auto layer = std::move(m_layers[static_cast<std::size_t>(from)]);
    m_layers.erase(m_layers.begin() + from);
    m_layers.insert(m_layers.begin() + to, std::move(layer));
    m_view.Invalidate();
}

void Map::AddStandaloneTable(std::shared_ptr<memory::StandaloneTable> table) {
    if (!table) throw Error(host::E_HOST_POINTER, "A map cannot hold Nothing as a table");
    m_tables.push_back(std::move(table));
}

std::shared_ptr<memory::StandaloneTable> Map::RemoveStandaloneTable(std::int32_t index) {
    if (!InRange(index, m_tables.size())) OutOfRange("Standalone table", index, m_tables.size());
    auto table = std::move(m_tables[static_cast<std::size_t>(index)]);
    m_tables.erase(m_tables.begin() + index);
    return table;
}

}  // namespace velorin::memory
