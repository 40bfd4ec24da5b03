#include "platform/memory/layer_painter.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <vector>

#include "host/codes.h"
#include "platform/memory/neutral_objects.h"
#include "platform/memory/rows.h"

namespace velorin::memory {

namespace {

constexpr double Unbounded = std::numeric_limits<double>::infinity();

// Whether a symbol can change only through the host's own setters, which count
// in SymbolShapeChanges: then what is read from it may be kept.
bool Tracked(const std::shared_ptr<host::ISymbol>& symbol) {
    if (!symbol) return true;
    if (!dynamic_cast<const SymbolBase*>(symbol.get())) return false;
    if (const auto fill = host::As<host::IFillSymbol>(symbol)) {
        const auto outline = fill->Outline();
        return !outline || dynamic_cast<const SymbolBase*>(outline.get()) != nullptr;
    }
    return true;
}

double ReachOfSymbol(const std::shared_ptr<host::ISymbol>& symbol) {
    const auto look = TryReadSymbol(symbol);
    return look ? ReachPx(*look) : 0.0;
}

// The symbol look of each feature of a layer, read once per symbol per redraw.
class LayerSymbols {
  public:
    LayerSymbols(std::shared_ptr<host::IFeatureRenderer> renderer,
                 std::shared_ptr<const RowStore> store)
        : m_renderer(std::move(renderer)), m_store(std::move(store)) {
        if (const auto* simple = dynamic_cast<const SimpleRenderer*>(m_renderer.get())) {
            m_single = TryReadSymbol(simple->Symbol());
            m_kind = Kind::Single;
        } else if (const auto unique =
                       std::dynamic_pointer_cast<const UniqueValueRenderer>(m_renderer)) {
            m_unique = unique.get();
            m_entries = &StoredMatches(*unique, m_store);
            m_slots.assign(unique->EntryCount() + 1, Unread);
            m_kind = Kind::Unique;
        }
    }

    // Empty when the feature gets no symbol, or one this host cannot draw.
    const SymbolLook* At(std::size_t position) {
        switch (m_kind) {
            case Kind::Single:
                return m_single ? &*m_single : nullptr;
            case Kind::Unique:
                return OfEntry((*m_entries)[position]);
            case Kind::PerFeature:
                break;
        }
        if (!m_feature) {
            m_feature = std::make_shared<Feature>(m_store, position);
        } else {
            m_feature->Repoint(position);
        }
        auto symbol = m_renderer->SymbolByFeature(m_feature);
        if (!symbol) return nullptr;
        // Features mostly share a few symbols: each is read once per run of equal ones.
        if (symbol != m_lastSymbol) {
            m_lastSymbol = symbol;
            m_lastLook = TryReadSymbol(symbol);
        }
        return m_lastLook ? &*m_lastLook : nullptr;
    }

  private:
    enum class Kind { Single, Unique, PerFeature };
    static constexpr std::int32_t Unread = -1;
    static constexpr std::int32_t Undrawable = -2;

    const SymbolLook* OfEntry(std::int32_t entry) {
        // Slot 0 is the default symbol's (NoEntry).
        std::int32_t& slot = m_slots[static_cast<std::size_t>(entry + 1)];
        if (slot == Unread) {
            const auto look = TryReadSymbol(m_unique->SymbolOfEntry(entry));
            slot = look ? static_cast<std::int32_t>(m_looks.size()) : Undrawable;
            if (look) m_looks.push_back(*look);
        }
        return slot >= 0 ? &m_looks[static_cast<std::size_t>(slot)] : nullptr;
    }

    std::shared_ptr<host::IFeatureRenderer> m_renderer;
    std::shared_ptr<const RowStore> m_store;
    Kind m_kind = Kind::PerFeature;
    std::optional<SymbolLook> m_single;
    const UniqueValueRenderer* m_unique = nullptr;
    const std::vector<std::int32_t>* m_entries = nullptr;
    std::vector<std::int32_t> m_slots;  // per entry, default first: Unread, Undrawable or a look
    std::vector<SymbolLook> m_looks;
    std::shared_ptr<Feature> m_feature;
    std::shared_ptr<host::ISymbol> m_lastSymbol;
    std::optional<SymbolLook> m_lastLook;
};

}  // namespace

double ReachCache::ReachOf(const std::shared_ptr<host::IFeatureRenderer>& renderer) {
    if (const auto* simple = dynamic_cast<const SimpleRenderer*>(renderer.get())) {
        return ReachOfSymbol(simple->Symbol());
    }
    const auto* unique = dynamic_cast<const UniqueValueRenderer*>(renderer.get());
    if (!unique) return Unbounded;
    const std::uint64_t shapeChanges = SymbolShapeChanges();
    auto found = m_entries.find(renderer.get());
    if (found != m_entries.end() && found->second.renderer.lock() == renderer &&
        found->second.version == unique->Version() && found->second.shapeChanges == shapeChanges) {
        return found->second.reach;
    }
    double reach = 0.0;
    bool tracked = true;
    for (std::int32_t entry = UniqueValueRenderer::NoEntry;
         entry < static_cast<std::int32_t>(unique->EntryCount()); ++entry) {
        const auto symbol = unique->SymbolOfEntry(entry);
        reach = std::max(reach, ReachOfSymbol(symbol));
        tracked = tracked && Tracked(symbol);
    }
    // Renderers that are gone leave their entries behind: clear now and then.
    if (m_entries.size() > 64) m_entries.clear();
    if (tracked) {
        m_entries[renderer.get()] = Entry{renderer, unique->Version(), shapeChanges, reach};
    } else {
        m_entries.erase(renderer.get());
    }
    return reach;
}

namespace {

// The markers of consecutive point features, handed to the canvas in runs of one
// shape, size and raster operation (colours may differ): the canvas then sets up
// once per run, not once per feature. Features keep their order.
class MarkerRuns {
  public:
    MarkerRuns(Canvas& canvas, const ViewTransform& view) : m_canvas(canvas), m_view(view) {
        m_pending.reserve(Capacity);
    }

    // As PaintMarkerAt draws the point with the look, in its turn.
    void Add(const XY& point, const SymbolLook& look) {
        if (!m_started || look.size != m_size || look.marker != m_shape || look.rop2 != m_rop2) {
            Follow(look);
        }
        if (point.x < m_window.xMin || point.x > m_window.xMax || point.y < m_window.yMin ||
            point.y > m_window.yMax) {
            return;
        }
        m_pending.push_back(MarkerAt{m_view.ToPixel(point), look.color});
        if (m_pending.size() == Capacity) Flush();
    }

    // Draws what is pending; whatever is drawn next comes after it.
    void Flush() {
        if (m_pending.empty()) return;
        m_canvas.SetRasterOp(static_cast<RasterOp>(m_rop2));
        m_canvas.DrawMarkers(m_pending, m_shape, m_sizePx);
        m_pending.clear();
    }

  private:
    static constexpr std::size_t Capacity = 4096;

    void Follow(const SymbolLook& look) {
        Flush();
        m_started = true;
        m_size = look.size;
        m_shape = look.marker;
        m_rop2 = look.rop2;
        m_sizePx = MarkerPx(look);
        m_window = m_view.Window(m_sizePx + 2);
    }

    Canvas& m_canvas;
    const ViewTransform& m_view;
    // What the run's markers share: their look's size, shape and raster operation.
    bool m_started = false;
    double m_size = 0.0;
    MarkerShape m_shape = MarkerShape::Circle;
    std::int32_t m_rop2 = 0;
    double m_sizePx = 0.0;
    ClipRect m_window;
    std::vector<MarkerAt> m_pending;
};

}  // namespace

void PaintStoredLayer(Canvas& canvas, const ViewTransform& view, const FeatureLayer& layer,
                      ReachCache& reaches) {
    const auto& featureClass = layer.Data();
    if (!featureClass) return;
    auto renderer = layer.Renderer();
    if (!renderer) return;
    const std::shared_ptr<RowStore>& store = featureClass->Store();
    const SpatialIndex& index = store->Spatial();
    const ClipRect window = view.Window(reaches.ReachOf(renderer));
    const Box query{window.xMin, window.yMin, window.xMax, window.yMax};
    if (index.Extent().IsEmpty() || !query.Meets(index.Extent())) return;
    const std::vector<char>* passes = layer.DefinitionMask();
    const bool points = featureClass->ShapeType() == host::esriGeometryPoint;

    // Only rows with a shape have a box that is not empty, so every position
    // visited below has a shape. A feature the renderer gives no symbol, or one
    // that cannot draw its shape, is left out, as a map window leaves it out.
    LayerSymbols symbols(std::move(renderer), store);
    MarkerRuns markers(canvas, view);
    const auto paint = [&](std::size_t position, const Box& box) {
        if (passes != nullptr && !(*passes)[position]) return;
        const SymbolLook* look = symbols.At(position);
        if (look == nullptr) return;
        if (points && look->kind == SymbolKind::Marker) {
            // A point's envelope is the point: no need to read the shape.
            markers.Add(XY{box.xMin, box.yMin}, *look);
        } else {
            markers.Flush();
            PaintShape(canvas, view, *store->ShapeAt(position), *look);
        }
    };
    if (query.Contains(index.Extent())) {
        // The whole layer is in view: every row with a shape, without a search.
        for (std::size_t position = 0; position < index.Size(); ++position) {
            const Box& box = index.BoxAt(position);
            if (!box.IsEmpty()) paint(position, box);
        }
    } else {
        for (const SpatialIndex::Hit& hit : index.SearchBoxes(query)) paint(hit.position, hit.box);
    }
    markers.Flush();
    canvas.SetRasterOp(RasterOp::CopyPen);
}

}  // namespace velorin::memory
