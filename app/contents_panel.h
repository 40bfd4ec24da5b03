#pragma once

#include <QMenu>
#include <QPoint>
#include <QTreeWidget>
#include <functional>
#include <memory>
#include <set>
#include <vector>

#include "host/map.h"
#include "platform/memory/layers.h"
#include "platform/memory/map.h"

namespace velorin::app {

// The table of contents: the map's layers top first (group layers with their
// members), each with a check box for its visibility and its legend beneath
// (swatches with labels), then the standalone tables. The current layer, the
// one a click or a box on the map selects in, is the layer of the current row
// (a legend row stands for its layer); its caption is bold, so it stays marked
// when its legend is folded away. A hidden layer's rows are greyed.
//
// A layer's context menu (right button) offers Zoom to Layer, Zoom to Selection,
// Open Attribute Table, Properties... and Remove, each handed to the window;
// double-clicking a layer asks for its Properties. Top-level layers are
// reordered by dragging their rows.
class ContentsPanel final : public QTreeWidget {
  public:
    explicit ContentsPanel(QWidget* parent = nullptr);

    // Builds the list again from the map (null: empty), keeping the current
    // layer when the map still has it, else making the top feature layer current.
    void Rebuild(const memory::Map* map);

    // The layers' captions (with their selection counts) and boxes again, legends
    // as they were.
    void RefreshCaptions();

    // The layer of the current row; null when there is none.
    std::shared_ptr<host::ILayer> CurrentLayer() const;
    // The same, when it is a feature layer of this host.
    std::shared_ptr<memory::FeatureLayer> CurrentFeatureLayer() const;
    // Makes the layer's row current; false when the list does not show it.
    bool SetCurrentLayer(const std::shared_ptr<host::ILayer>& layer);

    // Whether the person folded the layer's legend; set before the list is built
    // again with a layer that comes back to the map.
    bool Folded(const host::ILayer& layer) const { return m_folded.contains(&layer); }
    void SetFolded(const host::ILayer& layer, bool folded);

    // The layer row under a pixel of the list's viewport (a legend row gives its
    // layer); null where there is none.
    std::shared_ptr<host::ILayer> LayerAt(QPoint pixel) const;
    // The context menu of the layer, as the right button shows it (the caller
    // owns it).
    QMenu* MenuFor(const std::shared_ptr<host::ILayer>& layer);
    // Where a top-level layer dropped at a pixel of the viewport ends: the index
    // among the map's top-level layers, or -1 when it does not move.
    int DropIndex(const std::shared_ptr<host::ILayer>& layer, QPoint pixel) const;

    // The person ticked or cleared a layer's box.
    std::function<void(const std::shared_ptr<host::ILayer>& layer, bool visible)> onVisibility;
    using LayerAction = std::function<void(const std::shared_ptr<host::ILayer>& layer)>;
    LayerAction onZoomToLayer;
    LayerAction onZoomToSelection;
    LayerAction onOpenTable;
    LayerAction onProperties;
    LayerAction onRemove;
    // Repair Data Source..., offered for a feature layer without data.
    LayerAction onRepair;
    // Why a feature layer has no data (its row's tooltip); empty when unknown.
    std::function<std::string(const host::ILayer& layer)> whyUnavailable;
    // A top-level layer dragged to index among the top-level layers.
    std::function<void(const std::shared_ptr<host::ILayer>& layer, int index)> onMove;

  protected:
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    void MarkCurrent();
    QTreeWidgetItem* AddLayer(const std::shared_ptr<host::ILayer>& layer, QTreeWidgetItem* parent);
    QTreeWidgetItem* ItemOf(const std::shared_ptr<host::ILayer>& layer);
    std::shared_ptr<host::ILayer> LayerOf(const QTreeWidgetItem* item) const;

    // The layers behind the rows; a row keeps its layer's index in this list.
    std::vector<std::shared_ptr<host::ILayer>> m_layers;
    const memory::Map* m_map = nullptr;
    QTreeWidgetItem* m_marked = nullptr;
    // The layers whose legends the person folded (compared by address only).
    std::set<const host::ILayer*> m_folded;
};

}  // namespace velorin::app
