// The map's redraw as the person waits for it, on an 800 x 600 screen:
//   - zoomed in on about 1,200 of 1,000,000 scattered points, against a map holding
//     only the points that window shows (the floor: drawing the visible features),
//     with one symbol and with a unique value legend of 100,000 values;
//   - the full extent of the 1,000,000 points, against blitting one marker image at
//     each point's pixel (the floor of any marker drawing);
//   - planning the zoomed redraw for a thread of its own: what the window's thread
//     does before the picture is drawn elsewhere.
// Each redraw is asked for and then looked at, as a window paints it. Run a release
// build: build/release/bench/redraw_bench
#include <benchmark/benchmark.h>

#include <QImage>
#include <QPainter>
#include <array>
#include <charconv>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "host/host.h"
#include "platform/memory/qt/qimage_canvas.h"
#include "platform/memory/reference_host.h"
#include "platform/memory/shape_painter.h"
#include "platform/memory/view.h"
#include "platform/objects/renderers.h"
#include "platform/objects/symbols.h"

namespace velorin::memory {
namespace {

constexpr std::int32_t kPoints = 1'000'000;
constexpr std::int32_t kKeys = 100'000;
constexpr std::int32_t kPalette = 64;
constexpr double kWorldWidth = 4000;
constexpr double kWorldHeight = 3000;
// About 1,200 of the points fall in this window (the density is 1/12 per unit²).
constexpr double kZoomLeft = 1000;
constexpr double kZoomBottom = 1000;
constexpr double kZoomWidth = 138.6;
constexpr double kZoomHeight = 103.95;

struct Point {
    double x;
    double y;
    std::int32_t key;
};

// The same scattered points every run.
const std::vector<Point>& Points() {
    static const std::vector<Point> points = [] {
        std::vector<Point> made;
        made.reserve(kPoints);
        std::uint64_t state = 12345;
        const auto next = [&] {
            state = state * 6364136223846793005ULL + 1442695040888963407ULL;
            return static_cast<double>(state >> 11) / static_cast<double>(1ULL << 53);
        };
        for (std::int32_t i = 0; i < kPoints; ++i) {
            const double x = next() * kWorldWidth;
            const double y = next() * kWorldHeight;
            made.push_back(Point{x, y, static_cast<std::int32_t>((i * 7919LL) % kKeys)});
        }
        return made;
    }();
    return points;
}

bool InZoom(const Point& p) {
    return p.x >= kZoomLeft && p.x <= kZoomLeft + kZoomWidth && p.y >= kZoomBottom &&
           p.y <= kZoomBottom + kZoomHeight;
}

std::string Decimal(std::int32_t value) {
    std::array<char, 16> digits{};
    const auto end = std::to_chars(digits.data(), digits.data() + digits.size(), value);
    return std::string(digits.data(), end.ptr);
}

std::shared_ptr<host::IFeatureRenderer> Legend(const std::shared_ptr<HostContext>& context) {
    std::array<std::shared_ptr<host::ISymbol>, kPalette> palette;
    for (std::int32_t i = 0; i < kPalette; ++i) {
        auto marker = std::make_shared<SimpleMarkerSymbol>(context);
        marker->SetColor(MakeRgbColor(context, (i * 37) % 256, (i * 91) % 256, i * 4));
        palette[static_cast<std::size_t>(i)] = marker;
    }
    auto legend = std::make_shared<UniqueValueRenderer>(context);
    legend->SetFieldCount(1);
    legend->SetField(0, "NerroID");
    for (std::int32_t key = 0; key < kKeys; ++key) {
        legend->AddValue(Decimal(key), "NerroID",
                         palette[static_cast<std::size_t>(key % kPalette)]);
    }
    return legend;
}

enum class Content { All, VisibleOnly };

// One host per content and legend, kept for every benchmark.
ReferenceHost& HostFor(Content content, bool legend) {
    static std::map<std::pair<Content, bool>, ReferenceHost> hosts;
    const auto key = std::make_pair(content, legend);
    auto found = hosts.find(key);
    if (found != hosts.end()) return found->second;
    HostBuilder builder;
    const auto& context = builder.Context();
    builder.FeatureLayer("NerroJunction", host::esriGeometryPoint)
        .Field("NerroID", host::esriFieldTypeInteger);
    for (const Point& p : Points()) {
        if (content == Content::VisibleOnly && !InZoom(p)) continue;
        builder.Feature({p.key}, MakePoint(p.x, p.y));
    }
    if (legend) builder.Renderer(Legend(context));
    return hosts.emplace(key, builder.Build(MakeQImageCanvas(800, 600))).first->second;
}

// Asks for a redraw and looks at it, as a window's paint does.
void RedrawAndLook(ReferenceHost& host) {
    host.View().Refresh();
    benchmark::DoNotOptimize(&host.View().Screen());
}

void Zoomed(benchmark::State& state, Content content) {
    ReferenceHost& host = HostFor(content, state.range(0) != 0);
    host.View().SetExtent(
        MakeEnvelope(kZoomLeft, kZoomBottom, kZoomLeft + kZoomWidth, kZoomBottom + kZoomHeight));
    RedrawAndLook(host);  // indexes and legend resolved before timing, as after a load
    for (auto _ : state) RedrawAndLook(host);
}

void BM_RedrawZoomed(benchmark::State& state) { Zoomed(state, Content::All); }
void BM_DrawVisibleOnly(benchmark::State& state) { Zoomed(state, Content::VisibleOnly); }
BENCHMARK(BM_RedrawZoomed)->ArgName("legend")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DrawVisibleOnly)->ArgName("legend")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// What a window's thread does for a redraw drawn on a thread of its own: plan the
// picture (MapView::PlanPicture), zoomed in as above; drawing it is the redraw.
void BM_PlanPictureZoomed(benchmark::State& state) {
    ReferenceHost& host = HostFor(Content::All, state.range(0) != 0);
    host.View().SetExtent(
        MakeEnvelope(kZoomLeft, kZoomBottom, kZoomLeft + kZoomWidth, kZoomBottom + kZoomHeight));
    RedrawAndLook(host);
    std::unique_ptr<Canvas> canvas = MakeQImageCanvas(1, 1);
    for (auto _ : state) {
        host.View().Refresh();
        auto picture = host.View().PlanPicture(std::move(canvas));
        canvas = picture->TakeCanvas();
    }
}
BENCHMARK(BM_PlanPictureZoomed)->ArgName("legend")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_RedrawFull(benchmark::State& state) {
    ReferenceHost& host = HostFor(Content::All, false);
    host.View().ZoomToFullExtent();
    RedrawAndLook(host);
    for (auto _ : state) RedrawAndLook(host);
    state.SetItemsProcessed(state.iterations() * kPoints);
}
BENCHMARK(BM_RedrawFull)->Unit(benchmark::kMillisecond);

// The floor of a full redraw: the background, then one image of the default marker
// drawn at each point's pixel, on a screen of the map's own kind.
void BM_BlitMarkersFloor(benchmark::State& state) {
    ReferenceHost& host = HostFor(Content::All, false);
    host.View().ZoomToFullExtent();
    std::vector<PixelXY> pixels;
    pixels.reserve(kPoints);
    for (const Point& p : Points()) pixels.push_back(host.View().ToPixel({p.x, p.y}));
    const double size = SimpleMarkerSymbol(nullptr).Size() * PixelsPerPoint;
    const int side = static_cast<int>(size) + 2;
    QImage marker(side, side, QImage::Format_ARGB32_Premultiplied);
    marker.fill(Qt::transparent);
    {
        QPainter painter(&marker);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(56, 168, 0));
        painter.drawEllipse(QPointF(side / 2.0, side / 2.0), size / 2, size / 2);
    }
    QImageCanvas canvas(800, 600);
    QImage& screen = canvas.MutableImage();
    for (auto _ : state) {
        screen.fill(QColor(250, 250, 245));
        QPainter painter(&screen);
        for (const PixelXY& p : pixels) {
            painter.drawImage(QPointF(p.x - side / 2.0, p.y - side / 2.0), marker);
        }
    }
    state.SetItemsProcessed(state.iterations() * kPoints);
}
BENCHMARK(BM_BlitMarkersFloor)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace velorin::memory
