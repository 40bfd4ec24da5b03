#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host/map.h"
#include "platform/memory/canvas.h"
#include "platform/memory/layers.h"
#include "platform/memory/neutral_objects.h"
#include "platform/memory/view.h"

namespace velorin::memory {

// A map: top-level layers listed top first, standalone tables, and the active view
// that shows them (its IActiveView members forward to the MapView it owns).
class Map final : public host::IMap,
                  public host::IStandaloneTableCollection,
                  public host::IActiveView {
    struct Key {
        explicit Key() = default;
    };

  public:
    // canvas may be empty (see MapView). The view draws this map.
    static std::shared_ptr<Map> Create(std::shared_ptr<HostContext> context, std::string name,
                                       std::unique_ptr<Canvas> canvas);
    Map(Key, std::shared_ptr<HostContext> context, std::string name,
        std::unique_ptr<Canvas> canvas);

    std::string Name() const override;
    std::int32_t LayerCount() const override;
    // Raises E_HOST_INVALIDARG for an index out of range.
    std::shared_ptr<host::ILayer> Layer(std::int32_t index) const override;

    std::int32_t StandaloneTableCount() const override;
    // Raises E_HOST_INVALIDARG for an index out of range.
    std::shared_ptr<host::IStandaloneTable> StandaloneTable(std::int32_t index) const override;

    std::shared_ptr<host::IEnvelope> Extent() const override;
    void SetExtent(const std::shared_ptr<host::IEnvelope>& extent) override;
    std::shared_ptr<host::IScreenDisplay> ScreenDisplay() const override;
    void Refresh() override;

    // Editing the layer list, for the builder and the map window (not announced).
    // Each change marks the view for redrawing. Indexes out of range and empty
    // layers raise E_HOST_INVALIDARG / E_HOST_POINTER and change nothing.
    void AddLayer(std::shared_ptr<host::ILayer> layer);  // at the bottom
    void InsertLayer(std::int32_t index, std::shared_ptr<host::ILayer> layer);
    std::shared_ptr<host::ILayer> RemoveLayer(std::int32_t index);
    // Takes the layer at from out and puts it back so that it ends at index to.
    void MoveLayer(std::int32_t from, std::int32_t to);
    const std::vector<std::shared_ptr<host::ILayer>>& Layers() const { return m_layers; }

    void AddStandaloneTable(std::shared_ptr<memory::StandaloneTable> table);
    std::shared_ptr<memory::StandaloneTable> RemoveStandaloneTable(std::int32_t index);
    const std::vector<std::shared_ptr<memory::StandaloneTable>>& StandaloneTables() const {
        return m_tables;
    }

    MapView& View() { return m_view; }
    const MapView& View() const { return m_view; }

  private:
    void Enter(const char* member) const { m_context->faults.Enter(member); }

    std::shared_ptr<HostContext> m_context;
    std::string m_name;
    std::vector<std::shared_ptr<host::ILayer>> m_layers;
    std::vector<std::shared_ptr<memory::StandaloneTable>> m_tables;
    MapView m_view;
};

}  // namespace velorin::memory
