#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

#include "host/renderers.h"
#include "platform/memory/canvas.h"
#include "platform/memory/layers.h"
#include "platform/memory/neutral_objects.h"
#include "platform/memory/shape_painter.h"
#include "platform/memory/spatial_index.h"
#include "platform/memory/store_matches.h"

namespace velorin::memory {

// How far the symbols of a renderer reach beyond their features' envelopes, kept
// per renderer while neither it nor any symbol's size, width, style or outline
// has changed (reading every symbol of a large legend costs more than drawing
// the few features a zoomed window shows).
class ReachCache {
  public:
    // Pixels; infinite when unknown (every feature is then visited).
    double ReachOf(const std::shared_ptr<host::IFeatureRenderer>& renderer);

  private:
    struct Entry {
        std::weak_ptr<host::IFeatureRenderer> renderer;
        std::uint64_t version = 0;
        std::uint64_t shapeChanges = 0;
        double reach = 0.0;
    };
    std::unordered_map<const host::IFeatureRenderer*, Entry> m_entries;
};

// One of the host's own feature layers as the map's redraw would draw it now, read
// on the view's thread into values of its own so that it can be drawn on another:
// the look of each of its renderer's symbols, the legend value each row matches,
// the rows its definition query passes, and its store of rows with the store's
// spatial index, built here. Drawing reads nothing else of the layer, its
// renderer or its symbols, which may change meanwhile; the store must not gain
// rows while a drawing runs (only readers fill stores, before anyone draws them).
class StoredLayerPicture {
  public:
    enum class Drawn {
        Whole,           // every feature the window shows
        Cancelled,       // stopped at a feature, as asked
        NeedsViewThread  // a shape the host did not make: the layer must be drawn on the view's
                         // thread
    };

    // Empty when the layer's renderer is neither a simple nor a unique value
    // renderer of this host (it gives each feature its symbol through its
    // interfaces, on the view's thread only). The caller holds a QuietHost.
    static std::optional<StoredLayerPicture> Plan(const FeatureLayer& layer,
                                                  const ViewTransform& view, ReachCache& reaches);

    // Draws the layer as PaintStoredLayer draws it, on any thread, asking cancel
    // before each feature. Announces nothing to the host's observer.
    Drawn Paint(Canvas& canvas, const ViewTransform& view, const std::atomic<bool>& cancel) const;

  private:
    StoredLayerPicture() = default;
    void ReadLooks(const UniqueValueRenderer& legend);

    std::shared_ptr<const RowStore> m_store;  // null: nothing of the layer is in view
    const SpatialIndex* m_index = nullptr;    // the store's
    Box m_query;
    std::optional<std::vector<char>> m_passes;  // the definition query's flags, if it has one
    bool m_points = false;
    // A unique value renderer's: per row, the value's entry; per entry, the
    // default symbol's first, its look. Else the one symbol's look.
    bool m_byValue = false;
    std::vector<std::int32_t> m_entries;
    std::vector<std::optional<SymbolLook>> m_looks;
    // The rows the window meets, when searched for while planning.
    std::optional<std::vector<SpatialIndex::Hit>> m_hits;
};

// Draws one of the host's own feature layers as the map's redraw draws any layer
// (definition query applied, the renderer's symbol for each feature, in object-id
// order), visiting only the features whose envelopes, grown by how far their
// symbols reach, meet the window. The caller holds a QuietHost.
void PaintStoredLayer(Canvas& canvas, const ViewTransform& view, const FeatureLayer& layer,
                      ReachCache& reaches);

}  // namespace velorin::memory
