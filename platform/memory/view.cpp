#include "platform/memory/view.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "host/codes.h"
#include "host/error.h"
#include "platform/memory/canvas.h"
#include "platform/memory/layer_painter.h"
#include "platform/memory/layers.h"
#include "platform/memory/null_canvas.h"
#include "platform/memory/shape_painter.h"

namespace velorin::memory {

namespace {

[[noreturn]] void InvalidArgument(const std::string& what) {
    throw Error(host::E_HOST_INVALIDARG, what);
}

void CheckWindow(int width, int height) {
    if (width < 1 || height < 1 || width > kMaxScreenSide || height > kMaxScreenSide) {
        InvalidArgument("A map window of " + std::to_string(width) + " x " +
                        std::to_string(height) + " pixels is not possible (1 to " +
                        std::to_string(kMaxScreenSide) + " on each side)");
    }
}

}  // namespace

// What the view and its screen display share. The display may outlive the view
// (the extension can hold it), so both hold this, not each other.
struct ViewCore {
    std::shared_ptr<HostContext> context;
    std::unique_ptr<Canvas> canvas;
    std::weak_ptr<host::IMap> map;

    bool extentKnown = false;
    double centreX = 0.0;
    double centreY = 0.0;
    double scale = 1.0;  // map units per pixel, finite and > 0

    bool dirty = false;  // invalidated: the message pump is to ask for a redraw
    // A redraw was asked for and the pixels do not show it yet: they are drawn
    // when someone looks (Screen, or a drawing of the extension that needs the
    // pixels under it), so redraws nobody sees cost nothing.
    bool stale = false;
    bool drawing = false;      // between StartDrawing and FinishDrawing
    std::uint64_t serial = 0;  // redraws asked for
    // What the canvas shows, when it shows a picture of the map.
    std::optional<ViewTransform> shows;
    ReachCache reaches;
    std::shared_ptr<host::ISymbol> symbol;

    void ScreenChanged() const {
        if (context && context->hooks.screenChanged) context->hooks.screenChanged();
    }

    void MarkDirty() {
        dirty = true;
        if (context && context->hooks.redrawRequested) context->hooks.redrawRequested();
    }

    ViewTransform Transform() {
        EnsureExtent();
        const int w = canvas->Width();
        const int h = canvas->Height();
        return ViewTransform{centreX - w * scale / 2, centreY + h * scale / 2, scale, w, h};
    }

    void EnsureExtent() {
        if (!extentKnown) ZoomToFullExtent();
    }

    // Sets centre and scale to show the box [x0, x1] x [y0, y1] (ordered); a box
    // of no size keeps the scale. Returns what is wrong with the box instead, and
    // keeps the old view, when no finite scale shows it.
    const char* TryFit(double x0, double y0, double x1, double y1) {
        const double width = x1 - x0;
        const double height = y1 - y0;
        if (!std::isfinite(width) || !std::isfinite(height))
            return "The extent is too large to show";
        const double cx = x0 + width / 2;
        const double cy = y0 + height / 2;
        double newScale = scale;
        if (width > 0 || height > 0) {
            newScale = std::max(width / canvas->Width(), height / canvas->Height());
        }
        if (!(newScale > 0) || !std::isfinite(newScale)) return "The extent is too small to show";
        const double halfW = canvas->Width() * newScale / 2;
        const double halfH = canvas->Height() * newScale / 2;
        if (!std::isfinite(cx - halfW) || !std::isfinite(cx + halfW) ||
            !std::isfinite(cy - halfH) || !std::isfinite(cy + halfH)) {
            return "The extent is too large to show";
        }
        centreX = cx;
        centreY = cy;
        scale = newScale;
        extentKnown = true;
        return nullptr;
    }

    void ZoomToFullExtent() {
        const QuietHost quiet(context);
        EnvelopeGeometry full;
        if (auto shown = map.lock()) {
            const std::int32_t count = shown->LayerCount();
            for (std::int32_t i = 0; i < count; ++i) AddExtent(shown->Layer(i), full);
        }
        scale = 1.0;
        // Data spread too far for a finite scale gets the default view rather than
        // no view at all.
        if (!full.IsEmpty() && !TryFit(full.XMin(), full.YMin(), full.XMax(), full.YMax())) return;
        centreX = canvas->Width() / 2.0;
        centreY = canvas->Height() / 2.0;
        extentKnown = true;
    }

    static void AddExtent(const std::shared_ptr<host::ILayer>& layer, EnvelopeGeometry& full) {
        if (!layer) return;
        if (auto group = host::As<host::ICompositeLayer>(layer)) {
            const std::int32_t count = group->Count();
            for (std::int32_t i = 0; i < count; ++i) AddExtent(group->Layer(i), full);
            return;
        }
        // The host's own layers: straight from the store, without a feature object
        // and an envelope for every row.
        if (const auto own = std::dynamic_pointer_cast<FeatureLayer>(layer)) {
            if (!own->Data()) return;
            const Box box = own->Data()->Store()->Extent(own->DefinitionMask());
            if (!box.IsEmpty())
                full.Union(EnvelopeGeometry({}, box.xMin, box.yMin, box.xMax, box.yMax));
            return;
        }
        auto features = host::As<host::IFeatureLayer>(layer);
        if (!features || !features->FeatureClass()) return;
        auto cursor = features->Search(nullptr, true);
        if (!cursor) return;
        while (auto feature = cursor->NextFeature()) {
            if (auto shape = feature->Shape()) {
                if (auto box = shape->Envelope()) full.Union(*box);
            }
        }
    }

    // Asks for a redraw: counted and announced now, drawn when looked at.
    void Redraw() {
        dirty = false;
        stale = true;
        ++serial;
        if (context) ++context->record.redraws;
        ScreenChanged();
    }

    void EnsureDrawn() {
        if (stale) Paint();
    }

    void Paint() {
        stale = false;
        {
            const QuietHost quiet(context);
            const ViewTransform view = Transform();
            canvas->SetRasterOp(RasterOp::CopyPen);
            canvas->Clear(MapView::Background);
            if (auto shown = map.lock()) {
                for (std::int32_t i = shown->LayerCount() - 1; i >= 0; --i) {
                    DrawLayer(shown->Layer(i), view);
                }
            }
            canvas->SetRasterOp(RasterOp::CopyPen);
            shows = view;
        }
        if (context) ++context->record.paints;
    }

    // Adds the layer's picture (its members', bottom first, for a group) to the
    // plan; false when it can be drawn on this thread only.
    bool PlanLayer(const std::shared_ptr<host::ILayer>& layer, const ViewTransform& view,
                   std::vector<StoredLayerPicture>& layers) {
        if (!layer || !layer->Visible()) return true;
        if (auto group = host::As<host::ICompositeLayer>(layer)) {
            for (std::int32_t i = group->Count() - 1; i >= 0; --i) {
                if (!PlanLayer(group->Layer(i), view, layers)) return false;
            }
            return true;
        }
        if (const auto* stored = dynamic_cast<const FeatureLayer*>(layer.get())) {
            std::optional<StoredLayerPicture> picture =
                StoredLayerPicture::Plan(*stored, view, reaches);
            if (!picture) return false;
            layers.push_back(std::move(*picture));
            return true;
        }
        // Another host's feature layer is read through its interfaces; layers of
        // other kinds draw nothing.
        return !host::As<host::IGeoFeatureLayer>(layer);
    }

    void DrawLayer(const std::shared_ptr<host::ILayer>& layer, const ViewTransform& view) {
        if (!layer || !layer->Visible()) return;
        if (auto group = host::As<host::ICompositeLayer>(layer)) {
            for (std::int32_t i = group->Count() - 1; i >= 0; --i) {
                DrawLayer(group->Layer(i), view);
            }
            return;
        }
        if (const auto* stored = dynamic_cast<const FeatureLayer*>(layer.get())) {
            PaintStoredLayer(*canvas, view, *stored, reaches);
            return;
        }
        auto features = host::As<host::IGeoFeatureLayer>(layer);
        if (!features || !features->FeatureClass()) return;
        auto renderer = features->Renderer();
        if (!renderer) return;
        auto cursor = features->Search(nullptr, true);
        if (!cursor) return;
        // A feature the renderer gives no symbol, or one that cannot draw its
        // shape, is left out, as a map window leaves it out.
        // Features mostly share a few symbols: each is read once per run of equal ones.
        std::shared_ptr<host::ISymbol> lastSymbol;
        std::optional<SymbolLook> look;
        while (auto feature = cursor->NextFeature()) {
            auto shape = feature->Shape();
            if (!shape) continue;
            auto symbol = renderer->SymbolByFeature(feature);
            if (!symbol) continue;
            if (symbol != lastSymbol) {
                lastSymbol = symbol;
                look = TryReadSymbol(symbol);  // empty: a kind this host cannot draw
            }
            if (look) PaintShape(*canvas, view, *shape, *look);
        }
    }
};

// ---- the screen display ----------------------------------------------------------

namespace {

class ScreenDisplayImpl final : public host::IScreenDisplay {
  public:
    explicit ScreenDisplayImpl(std::shared_ptr<ViewCore> core) : m_core(std::move(core)) {}

    // Starting again while drawing starts afresh: a run that failed between
    // StartDrawing and FinishDrawing must not leave the display unusable.
    void StartDrawing(std::intptr_t hDC, std::int16_t cacheId) override {
        Enter("IDisplay::StartDrawing");
        if (hDC != 0) {
            InvalidArgument("The reference host draws only on its own window (hDC 0)");
        }
        if (cacheId != host::esriNoScreenCache) {
            InvalidArgument(
                "The reference host draws only on the visible screen (cache id -1), "
                "not on cache " +
                std::to_string(cacheId));
        }
        m_core->drawing = true;
        if (m_core->context) ++m_core->context->record.startDrawings;
    }

    void FinishDrawing() override {
        Enter("IDisplay::FinishDrawing");
        if (!m_core->drawing) {
            throw Error(host::E_HOST_FAIL, "FinishDrawing without StartDrawing");
        }
        m_core->drawing = false;
        if (m_core->context) ++m_core->context->record.finishDrawings;
    }

    void SetSymbol(const std::shared_ptr<host::ISymbol>& symbol) override {
        Enter("IDisplay::SetSymbol");
        if (!symbol) throw Error(host::E_HOST_POINTER, "SetSymbol needs a symbol");
        const QuietHost quiet(m_core->context);
        ReadSymbol(symbol);  // refuses a kind that cannot draw, before it is set
        m_core->symbol = symbol;
    }

    void DrawPoint(const std::shared_ptr<host::IGeometry>& point) override {
        Enter("IDisplay::DrawPoint");
        Draw("DrawPoint", point, {host::esriGeometryPoint});
    }
    void DrawMultipoint(const std::shared_ptr<host::IGeometry>& multipoint) override {
        Enter("IDisplay::DrawMultipoint");
        Draw("DrawMultipoint", multipoint, {host::esriGeometryMultipoint});
    }
    void DrawPolyline(const std::shared_ptr<host::IGeometry>& polyline) override {
        Enter("IDisplay::DrawPolyline");
        Draw("DrawPolyline", polyline, {host::esriGeometryPolyline});
    }
    void DrawPolygon(const std::shared_ptr<host::IGeometry>& polygon) override {
        Enter("IDisplay::DrawPolygon");
        Draw("DrawPolygon", polygon, {host::esriGeometryPolygon, host::esriGeometryEnvelope});
    }

    // The whole screen is redrawn whatever the rectangle; erase and cache id do
    // not change that.
    void Invalidate(const std::shared_ptr<host::IEnvelope>&, bool, std::int16_t) override {
        Enter("IScreenDisplay::Invalidate");
        m_core->MarkDirty();
    }

  private:
    void Enter(const char* member) const { Announce(m_core->context, member); }

    void Draw(const char* operation, const std::shared_ptr<host::IGeometry>& shape,
              std::initializer_list<std::int32_t> accepted) {
        if (!m_core->drawing) {
            throw Error(host::E_HOST_FAIL, std::string(operation) + " needs StartDrawing first");
        }
        if (!shape) throw Error(host::E_HOST_POINTER, std::string(operation) + " needs a geometry");
        if (!m_core->symbol) {
            throw Error(host::E_HOST_FAIL, std::string(operation) + " needs a symbol: SetSymbol");
        }
        const QuietHost quiet(m_core->context);
        const std::int32_t type = shape->GeometryType();
        if (std::find(accepted.begin(), accepted.end(), type) == accepted.end()) {
            InvalidArgument(std::string(operation) + " cannot draw a geometry of type " +
                            std::to_string(type));
        }
        const SymbolLook look = ReadSymbol(m_core->symbol);
        // An inverting flash needs the map under it as the person will see it.
        m_core->EnsureDrawn();
        const ViewTransform view = m_core->Transform();
        switch (PaintShape(*m_core->canvas, view, *shape, look)) {
            case PaintResult::Drawn:
                break;
            case PaintResult::UnsuitableSymbol:
                InvalidArgument(std::string(operation) + " cannot draw with a " + look.kindName +
                                " symbol");
            case PaintResult::UnsupportedGeometry:
                InvalidArgument(std::string(operation) +
                                " was given a geometry the host cannot read");
        }
        if (m_core->context) {
            m_core->context->record.draws.push_back(
                DrawRecord{operation, type, look.kindName, look.rgb, look.rop2,
                           look.kind == SymbolKind::Fill ? 0.0 : look.size});
        }
        m_core->ScreenChanged();
    }

    std::shared_ptr<ViewCore> m_core;
};

}  // namespace

// ---- MapView -------------------------------------------------------------------------

MapView::MapView(std::shared_ptr<HostContext> context, std::unique_ptr<Canvas> canvas)
    : m_core(std::make_shared<ViewCore>()) {
    m_core->context = std::move(context);
    m_core->canvas =
        canvas ? std::move(canvas) : std::make_unique<NullCanvas>(DefaultWidth, DefaultHeight);
    m_display = std::make_shared<ScreenDisplayImpl>(m_core);
}

MapView::~MapView() = default;
MapView::MapView(MapView&&) noexcept = default;
MapView& MapView::operator=(MapView&&) noexcept = default;

void MapView::SetMap(std::weak_ptr<host::IMap> map) {
    m_core->map = std::move(map);
    m_core->MarkDirty();
}

std::shared_ptr<host::IEnvelope> MapView::Extent() const {
    const ViewTransform view = m_core->Transform();
    return std::make_shared<EnvelopeGeometry>(m_core->context, view.left,
                                              view.top - view.height * view.scale,
                                              view.left + view.width * view.scale, view.top);
}

void MapView::SetExtent(const std::shared_ptr<host::IEnvelope>& extent) {
    if (!extent) throw Error(host::E_HOST_POINTER, "The extent needs an envelope");
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    {
        const QuietHost quiet(m_core->context);
        if (extent->IsEmpty()) InvalidArgument("An empty envelope cannot be shown");
        x0 = extent->XMin();
        y0 = extent->YMin();
        x1 = extent->XMax();
        y1 = extent->YMax();
    }
    if (!std::isfinite(x0) || !std::isfinite(y0) || !std::isfinite(x1) || !std::isfinite(y1)) {
        InvalidArgument("The extent must have finite coordinates");
    }
    if (x1 < x0) std::swap(x0, x1);
    if (y1 < y0) std::swap(y0, y1);
    m_core->EnsureExtent();
    if (const char* problem = m_core->TryFit(x0, y0, x1, y1)) InvalidArgument(problem);
    if (m_core->context) m_core->context->record.extents.push_back(ExtentRecord{x0, y0, x1, y1});
    m_core->MarkDirty();
}

void MapView::ZoomToFullExtent() {
    m_core->ZoomToFullExtent();
    m_core->MarkDirty();
}

std::shared_ptr<host::IScreenDisplay> MapView::ScreenDisplay() const { return m_display; }

void MapView::Refresh() { m_core->Redraw(); }

void MapView::Invalidate() { m_core->MarkDirty(); }

bool MapView::RedrawPending() const { return m_core->dirty; }

void MapView::ProcessPendingRedraw() {
    if (m_core->dirty) m_core->Redraw();
}

void MapView::Resize(int width, int height) {
    CheckWindow(width, height);
    m_core->EnsureExtent();
    m_core->canvas->Resize(width, height);
    m_core->shows.reset();
    m_core->Redraw();
}

int MapView::Width() const { return m_core->canvas->Width(); }
int MapView::Height() const { return m_core->canvas->Height(); }

double MapView::Scale() const {
    m_core->EnsureExtent();
    return m_core->scale;
}

PixelXY MapView::ToPixel(const XY& map) const { return m_core->Transform().ToPixel(map); }

XY MapView::ToMap(const PixelXY& pixel) const {
    const ViewTransform view = m_core->Transform();
    return {view.left + pixel.x * view.scale, view.top - pixel.y * view.scale};
}

const Canvas& MapView::Screen() const {
    m_core->EnsureDrawn();
    return *m_core->canvas;
}

bool MapView::ScreenStale() const { return m_core->stale; }
std::uint64_t MapView::RedrawSerial() const { return m_core->serial; }
const Canvas& MapView::ScreenAsItIs() const { return *m_core->canvas; }
std::optional<ViewTransform> MapView::ScreenShows() const { return m_core->shows; }

// ---- pictures drawn off the view's thread ------------------------------------------

struct MapPicture::Plan {
    ViewTransform view;
    std::vector<StoredLayerPicture> layers;  // bottom first
};

MapPicture::MapPicture() : m_plan(std::make_unique<Plan>()) {}
MapPicture::~MapPicture() = default;

MapPicture::State MapPicture::Draw(const std::atomic<bool>& cancel) {
    if (!m_offThread) return m_state = State::NeedsViewThread;
    const ViewTransform& view = m_plan->view;
    if (m_canvas->Width() != view.width || m_canvas->Height() != view.height) {
        m_canvas->Resize(view.width, view.height);
    }
    m_canvas->SetRasterOp(RasterOp::CopyPen);
    m_canvas->Clear(MapView::Background);
    for (const StoredLayerPicture& layer : m_plan->layers) {
        switch (layer.Paint(*m_canvas, view, cancel)) {
            case StoredLayerPicture::Drawn::Whole:
                break;
            case StoredLayerPicture::Drawn::Cancelled:
                return m_state = State::Cancelled;
            case StoredLayerPicture::Drawn::NeedsViewThread:
                return m_state = State::NeedsViewThread;
        }
    }
    m_canvas->SetRasterOp(RasterOp::CopyPen);
    return m_state = State::Whole;
}

std::unique_ptr<MapPicture> MapView::PlanPicture(std::unique_ptr<Canvas> canvas) const {
    std::unique_ptr<MapPicture> picture(new MapPicture());
    const QuietHost quiet(m_core->context);
    const ViewTransform view = m_core->Transform();
    picture->m_serial = m_core->serial;
    picture->m_plan->view = view;
    if (auto shown = m_core->map.lock()) {
        for (std::int32_t i = shown->LayerCount() - 1; i >= 0; --i) {
            if (!m_core->PlanLayer(shown->Layer(i), view, picture->m_plan->layers)) {
                picture->m_offThread = false;
                picture->m_plan->layers.clear();
                break;
            }
        }
    }
    picture->m_canvas = std::move(canvas);
    return picture;
}

bool MapView::Present(MapPicture& picture) {
    ViewCore& core = *m_core;
    // Nor while the extension draws on the screen: its drawing stays where it is.
    if (picture.m_state != MapPicture::State::Whole || !picture.m_canvas || !core.stale ||
        core.drawing || picture.m_serial != core.serial ||
        !(picture.m_plan->view == core.Transform())) {
        return false;
    }
    std::swap(core.canvas, picture.m_canvas);
    core.stale = false;
    core.shows = picture.m_plan->view;
    if (core.context) ++core.context->record.paints;
    return true;
}

}  // namespace velorin::memory
