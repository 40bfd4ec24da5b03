#pragma once

#include <cstdint>
#include <memory>
#include <unordered_map>

#include "host/renderers.h"
#include "platform/memory/canvas.h"
#include "platform/memory/layers.h"
#include "platform/memory/shape_painter.h"
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

// Draws one of the host's own feature layers as the map's redraw draws any layer
// (definition query applied, the renderer's symbol for each feature, in object-id
// order), visiting only the features whose envelopes, grown by how far their
// symbols reach, meet the window. The caller holds a QuietHost.
void PaintStoredLayer(Canvas& canvas, const ViewTransform& view, const FeatureLayer& layer,
                      ReachCache& reaches);

}  // namespace velorin::memory
