#include "platform/memory/layer_painter.h"

#include <algorithm>
#include <atomic>
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

namespace {

// Whether drawing the shape reads nothing through the host's interfaces: a
// picture drawn on a thread of its own must leave the context's observer alone.
bool OwnShape(const host::IGeometry& shape) {
    return dynamic_cast<const PointGeometry*>(&shape) != nullptr ||
           dynamic_cast<const MultiPartGeometry*>(&shape) != nullptr;
}

// What a layer's drawing reads of its store and where.
struct RowsToDraw {
    const RowStore& store;
    const SpatialIndex& index;
    Box query;                        // the window grown by the symbols' reach, in map units
    const std::vector<char>* passes;  // the definition query's flags per row, or null
    bool points;                      // a point layer: markers go at the rows' boxes
    // The rows the query meets, when already searched for; else null.
    const std::vector<SpatialIndex::Hit>* hits = nullptr;
};

// Draws the rows the query meets with the look lookAt(position) gives each (null:
// left out), as the map's redraw draws a layer. cancel is null on the view's own
// thread; else it is asked before each feature, and a shape that is not one of the
// host's own stops the drawing (it must be read on the view's thread).
template <class LookAt>
StoredLayerPicture::Drawn PaintRows(Canvas& canvas, const ViewTransform& view,
                                    const RowsToDraw& rows, LookAt&& lookAt,
                                    const std::atomic<bool>* cancel) {
    using Drawn = StoredLayerPicture::Drawn;
    Drawn drawn = Drawn::Whole;
    // Only rows with a shape have a box that is not empty, so every position
    // visited below has a shape. A feature the renderer gives no symbol, or one
    // that cannot draw its shape, is left out, as a map window leaves it out.
    MarkerRuns markers(canvas, view);
    const auto paint = [&](std::size_t position, const Box& box) {
        if (cancel != nullptr && cancel->load(std::memory_order_relaxed)) {
            drawn = Drawn::Cancelled;
            return false;
        }
        if (rows.passes != nullptr && !(*rows.passes)[position]) return true;
        const SymbolLook* look = lookAt(position);
        if (look == nullptr) return true;
        if (rows.points && look->kind == SymbolKind::Marker) {
            // A point's envelope is the point: no need to read the shape.
            markers.Add(XY{box.xMin, box.yMin}, *look);
            return true;
        }
        markers.Flush();
        const std::shared_ptr<host::IGeometry> shape = rows.store.ShapeAt(position);
        if (cancel != nullptr && !OwnShape(*shape)) {
            drawn = Drawn::NeedsViewThread;
            return false;
        }
        PaintShape(canvas, view, *shape, *look);
        return true;
    };
    if (rows.hits != nullptr) {
        for (const SpatialIndex::Hit& hit : *rows.hits) {
            if (!paint(hit.position, hit.box)) break;
        }
    } else if (rows.query.Contains(rows.index.Extent())) {
        // The whole layer is in view: every row with a shape, without a search.
        for (std::size_t position = 0; position < rows.index.Size(); ++position) {
            const Box& box = rows.index.BoxAt(position);
            if (!box.IsEmpty() && !paint(position, box)) break;
        }
    } else {
        for (const SpatialIndex::Hit& hit : rows.index.SearchBoxes(rows.query)) {
            if (!paint(hit.position, hit.box)) break;
        }
    }
    markers.Flush();
    canvas.SetRasterOp(RasterOp::CopyPen);
    return drawn;
}

// The window grown by how far the renderer's symbols reach, as a box; empty when
// it meets none of the store's shapes.
std::optional<Box> QueryOf(const ViewTransform& view, const SpatialIndex& index,
                           const std::shared_ptr<host::IFeatureRenderer>& renderer,
                           ReachCache& reaches) {
    const ClipRect window = view.Window(reaches.ReachOf(renderer));
    const Box query{window.xMin, window.yMin, window.xMax, window.yMax};
    if (index.Extent().IsEmpty() || !query.Meets(index.Extent())) return std::nullopt;
    return query;
}

}  // namespace

void PaintStoredLayer(Canvas& canvas, const ViewTransform& view, const FeatureLayer& layer,
                      ReachCache& reaches) {
    const auto& featureClass = layer.Data();
    if (!featureClass) return;
    auto renderer = layer.Renderer();
    if (!renderer) return;
    const std::shared_ptr<RowStore>& store = featureClass->Store();
    const SpatialIndex& index = store->Spatial();
    const std::optional<Box> query = QueryOf(view, index, renderer, reaches);
    if (!query) return;
    const RowsToDraw rows{*store, index, *query, layer.DefinitionMask(),
                          featureClass->ShapeType() == host::esriGeometryPoint};
    LayerSymbols symbols(std::move(renderer), store);
    PaintRows(
        canvas, view, rows, [&](std::size_t position) { return symbols.At(position); }, nullptr);
}

std::optional<StoredLayerPicture> StoredLayerPicture::Plan(const FeatureLayer& layer,
                                                           const ViewTransform& view,
                                                           ReachCache& reaches) {
    StoredLayerPicture plan;
    const auto& featureClass = layer.Data();
    const auto renderer = featureClass ? layer.Renderer() : nullptr;
    if (!renderer) return plan;
    const auto* simple = dynamic_cast<const SimpleRenderer*>(renderer.get());
    const auto unique = std::dynamic_pointer_cast<const UniqueValueRenderer>(renderer);
    // Any other renderer is asked feature by feature, through its interfaces.
    if (simple == nullptr && !unique) return std::nullopt;
    const std::shared_ptr<RowStore>& store = featureClass->Store();
    // Built here, where the store is read alone: the drawing only reads it.
    const SpatialIndex& index = store->Spatial();
    const std::optional<Box> query = QueryOf(view, index, renderer, reaches);
    if (!query) return plan;
    plan.m_store = store;
    plan.m_index = &index;
    plan.m_query = *query;
    if (const std::vector<char>* passes = layer.DefinitionMask()) plan.m_passes = *passes;
    plan.m_points = featureClass->ShapeType() == host::esriGeometryPoint;
    if (simple != nullptr) {
        plan.m_looks.push_back(TryReadSymbol(simple->Symbol()));
        return plan;
    }
    plan.m_byValue = true;
    plan.m_entries = StoredMatches(*unique, store);
    plan.ReadLooks(*unique);
    return plan;
}

void StoredLayerPicture::ReadLooks(const UniqueValueRenderer& legend) {
    // The person may change the legend while the picture is drawn, and the
    // drawing reads none of it: each value's look is read here, the default
    // symbol's first. A short legend is read whole.
    constexpr std::size_t kReadWhole = 1024;
    const std::size_t count = legend.EntryCount() + 1;
    m_looks.resize(count);
    const auto read = [&](std::size_t slot) {
        m_looks[slot] = TryReadSymbol(legend.SymbolOfEntry(static_cast<std::int32_t>(slot) - 1));
    };
    if (count <= kReadWhole) {
        for (std::size_t slot = 0; slot < count; ++slot) read(slot);
        return;
    }
    // A long one only where the window's features meet it, as the redraw on the
    // view's thread reads it: a window on a few features of a layer of 100,000
    // values reads a few (bench/redraw_bench, BM_PlanPictureZoomed). The rows are
    // searched for here, then, and the drawing takes them as they are.
    std::vector<char> met(count, 0);
    const auto meet = [&](std::size_t position) {
        if (m_passes && !(*m_passes)[position]) return;
        const auto slot = static_cast<std::size_t>(m_entries[position] + 1);
        if (!met[slot]) read(slot);
        met[slot] = 1;
    };
    if (m_query.Contains(m_index->Extent())) {
        for (std::size_t position = 0; position < m_index->Size(); ++position) {
            if (!m_index->BoxAt(position).IsEmpty()) meet(position);
        }
        return;
    }
    m_hits = m_index->SearchBoxes(m_query);
    for (const SpatialIndex::Hit& hit : *m_hits) meet(hit.position);
}

StoredLayerPicture::Drawn StoredLayerPicture::Paint(Canvas& canvas, const ViewTransform& view,
                                                    const std::atomic<bool>& cancel) const {
    if (!m_store) return Drawn::Whole;
    const RowsToDraw rows{*m_store, *m_index,
                          m_query,  m_passes ? &*m_passes : nullptr,
                          m_points, m_hits ? &*m_hits : nullptr};
    const auto lookAt = [this](std::size_t position) -> const SymbolLook* {
        const std::optional<SymbolLook>& look =
            m_byValue ? m_looks[static_cast<std::size_t>(m_entries[position] + 1)]
                      : m_looks.front();
        return look ? &*look : nullptr;
    };
    return PaintRows(canvas, view, rows, lookAt, &cancel);
}

}  // namespace velorin::memory
