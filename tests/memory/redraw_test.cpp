// The map's redraw as the person sees it: drawn only when looked at, through the
// spatial index (every feature whose drawing reaches the window, and no other),
// markers copied from stamps exactly as the painter draws them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "host/codes.h"
#include "platform/memory/qt/qimage_canvas.h"
#include "platform/memory/reference_host.h"
#include "platform/memory/spatial_index.h"
#include "platform/objects/renderers.h"
#include "platform/objects/symbols.h"

namespace velorin::memory {
namespace {

TEST(SpatialIndexTest, FindsExactlyTheBoxesMeetingTheQueryInPositionOrderWithTheirBoxes) {
    std::mt19937 random(7);
    std::uniform_real_distribution<double> at(-1000, 1000);
    std::uniform_real_distribution<double> size(0, 40);
    std::vector<Box> boxes;
    for (int i = 0; i < 5000; ++i) {
        const double x = at(random), y = at(random);
        boxes.push_back(i % 97 == 0 ? Box{} : Box{x, y, x + size(random), y + size(random)});
    }
    const SpatialIndex index(boxes);
    for (int q = 0; q < 200; ++q) {
        const double x = at(random), y = at(random), w = size(random) * q, h = size(random) * q;
        const Box query{x, y, x + w, y + h};
        std::vector<std::uint32_t> expected;
        for (std::size_t p = 0; p < boxes.size(); ++p) {
            if (!boxes[p].IsEmpty() && boxes[p].Meets(query)) {
                expected.push_back(static_cast<std::uint32_t>(p));
            }
        }
        EXPECT_EQ(index.Search(query), expected) << "query " << q;
        std::vector<std::uint32_t> found;
        for (const SpatialIndex::Hit& hit : index.SearchBoxes(query)) {
            found.push_back(hit.position);
            EXPECT_EQ(hit.box.xMin, boxes[hit.position].xMin);
            EXPECT_EQ(hit.box.yMax, boxes[hit.position].yMax);
        }
        EXPECT_EQ(found, expected) << "query " << q;
    }
    EXPECT_TRUE(SpatialIndex({}).Search(Box{-1, -1, 1, 1}).empty());
}

std::shared_ptr<host::IFeatureRenderer> MarkerRenderer(const std::shared_ptr<HostContext>& context,
                                                       std::shared_ptr<SimpleMarkerSymbol> marker) {
    return std::make_shared<SimpleRenderer>(context, std::move(marker));
}

class RedrawTest : public ::testing::Test {
  protected:
    RedrawTest() {
        HostBuilder builder;
        const auto& context = builder.Context();
        builder.Window(100, 80);
        m_marker = std::make_shared<SimpleMarkerSymbol>(context);
        m_marker->SetColor(MakeRgbColor(context, 200, 0, 0));
        m_marker->SetStyle(host::esriSMSSquare);
        // One point well inside, one just beyond the right edge of the window.
        builder.FeatureLayer("Wells", host::esriGeometryPoint)
            .Feature({}, MakePoint(50.5, 40.5))
            .Feature({}, MakePoint(104.5, 40.5))
            .Renderer(MarkerRenderer(context, m_marker));
        m_host.emplace(builder.Build(MakeQImageCanvas(100, 80)));
        m_host->View().SetExtent(MakeEnvelope(0, 0, 100, 80));
    }

    Rgb At(int x, int y) const { return m_host->View().Screen().Pixel(x, 79 - y); }

    std::optional<ReferenceHost> m_host;
    std::shared_ptr<SimpleMarkerSymbol> m_marker;
};

TEST_F(RedrawTest, ARefreshIsDrawnOnlyWhenTheScreenIsLookedAt) {
    HostRecord& record = m_host->Record();
    record.Clear();
    m_host->View().Refresh();
    m_host->View().Refresh();
    EXPECT_EQ(record.redraws, 2);
    EXPECT_EQ(record.paints, 0);
    EXPECT_EQ(At(50, 40), Rgb::FromHost(200));
    EXPECT_EQ(record.paints, 1);
    EXPECT_EQ(At(10, 10), (Rgb{250, 250, 245}));
    EXPECT_EQ(record.paints, 1);
}

TEST_F(RedrawTest, AMarkerReachingInFromBeyondTheWindowIsDrawnAndFollowsItsSize) {
    // 8 points is 10.7 pixels: the point 4.5 pixels beyond the edge reaches in.
    m_host->View().Refresh();
    EXPECT_EQ(At(99, 40), Rgb::FromHost(200));
    m_marker->SetSize(4);
    m_host->View().Refresh();
    EXPECT_EQ(At(99, 40), (Rgb{250, 250, 245}));
    m_marker->SetSize(30);
    m_host->View().Refresh();
    EXPECT_EQ(At(92, 40), Rgb::FromHost(200));
}

TEST_F(RedrawTest, ADefinitionQueryLeavesItsFeaturesOut) {
    auto layer = m_host->FeatureLayerNamed("Wells");
    layer->SetDefinitionExpression("OBJECTID = 2");
    m_host->View().Refresh();
    EXPECT_EQ(At(50, 40), (Rgb{250, 250, 245}));
    EXPECT_EQ(At(99, 40), Rgb::FromHost(200));
}

// A wide stroke's mitred join reaches up to about twice its width beyond the
// vertex. Each row is a feature lying wholly beyond the window whose sharp join
// points back into it: the redraw must look that far for it, and the painter
// must keep the vertex.
struct ReachingInCase {
    const char* name;
    std::int32_t shapeType;
};

class ReachingIn : public ::testing::TestWithParam<ReachingInCase> {};

TEST_P(ReachingIn, ASharpJoinBeyondTheWindowIsDrawnWhereItReaches) {
    HostBuilder builder;
    const auto& context = builder.Context();
    builder.Window(100, 80);
    auto line = std::make_shared<SimpleLineSymbol>(context);
    line->SetWidth(50);  // 66.7 pixels: the join reaches about 137 pixels
    line->SetColor(MakeRgbColor(context, 0, 0, 200));
    std::shared_ptr<host::ISymbol> symbol = line;
    if (GetParam().shapeType == host::esriGeometryPolygon) {
        auto fill = std::make_shared<SimpleFillSymbol>(context);
        fill->SetOutline(line);
        symbol = fill;
    }
    // The join 100 pixels beyond the right edge, its arms running on away from
    // the window 5 degrees either side of the axis.
    const double dx = 200 * std::cos(0.0873), dy = 200 * std::sin(0.0873);
    const Path arms{{200 + dx, 40 + dy}, {200, 40}, {200 + dx, 40 - dy}};
    builder.FeatureLayer("Far", GetParam().shapeType)
        .Feature({}, GetParam().shapeType == host::esriGeometryPolygon ? MakePolygon({arms})
                                                                       : MakePolyline({arms}))
        .Renderer(std::make_shared<SimpleRenderer>(context, symbol));
    ReferenceHost host = builder.Build(MakeQImageCanvas(100, 80));
    host.View().SetExtent(MakeEnvelope(0, 0, 100, 80));
    EXPECT_EQ(host.View().Screen().Pixel(90, 40), Rgb::FromHost(200 << 16));
}

INSTANTIATE_TEST_SUITE_P(Strokes, ReachingIn,
                         ::testing::Values(ReachingInCase{"Line", host::esriGeometryPolyline},
                                           ReachingInCase{"Outline", host::esriGeometryPolygon}),
                         [](const auto& testInfo) { return std::string(testInfo.param.name); });

// A layer wholly in view is drawn without asking the spatial index; it must draw
// what a search draws. One far point outside the window makes the second map
// search; everything else, overlaps and markers cut by the edges included, is
// the same.
TEST(WholeLayerRedrawTest, DrawsWhatASearchDraws) {
    const auto screen = [](bool farPoint) {
        HostBuilder builder;
        const auto& context = builder.Context();
        builder.Window(100, 80);
        auto legend = std::make_shared<UniqueValueRenderer>(context);
        legend->SetFieldCount(1);
        legend->SetField(0, "Kind");
        const std::int32_t styles[] = {host::esriSMSCircle, host::esriSMSSquare, host::esriSMSCross,
                                       host::esriSMSX, host::esriSMSDiamond};
        for (int kind = 0; kind < 10; ++kind) {
            auto marker = std::make_shared<SimpleMarkerSymbol>(context);
            marker->SetColor(MakeRgbColor(context, 25 * kind, 200 - 20 * kind, 90));
            marker->SetStyle(styles[kind % 5]);
            marker->SetSize(4 + kind);
            legend->AddValue(std::to_string(kind), "Kind", marker);
        }
        builder.FeatureLayer("Wells", host::esriGeometryPoint)
            .Field("Kind", host::esriFieldTypeInteger);
        std::mt19937 random(5);
        std::uniform_real_distribution<double> x(-6, 106);
        std::uniform_real_distribution<double> y(-6, 86);
        for (int i = 0; i < 400; ++i) builder.Feature({i % 11}, MakePoint(x(random), y(random)));
        builder.Feature({3});  // no shape
        if (farPoint) builder.Feature({3}, MakePoint(1000, 1000));
        builder.Renderer(legend);
        ReferenceHost host = builder.Build(MakeQImageCanvas(100, 80));
        host.View().SetExtent(MakeEnvelope(0, 0, 100, 80));
        return host.View().Screen().Pixels();
    };
    const std::vector<std::uint32_t> whole = screen(false);
    EXPECT_EQ(whole, screen(true));
    const std::uint32_t background = MapView::Background.ToPixel();
    EXPECT_TRUE(std::any_of(whole.begin(), whole.end(),
                            [&](std::uint32_t pixel) { return pixel != background; }));
}

// A flash's inverting marker must cover exactly the map's marker under it. On
// black, merge pen paints exactly the pen colour, so copy pen and merge pen must
// touch the same pixels wherever the centre falls in a pixel, on or between the
// 1/64 steps the rasteriser rounds to, and wherever the screen's edge cuts it.
TEST(MarkerStampTest, StampsPaintThePixelsThePainterPaints) {
    std::mt19937 random(11);
    std::uniform_real_distribution<double> fraction(0, 1);
    const Rgb ink{10, 200, 30};
    for (const MarkerShape shape : {MarkerShape::Circle, MarkerShape::Square, MarkerShape::Cross,
                                    MarkerShape::X, MarkerShape::Diamond, MarkerShape::Picture}) {
        QImageCanvas stamped(240, 240);
        QImageCanvas painted(240, 240);
        painted.SetRasterOp(RasterOp::MergePen);
        for (int i = 0; i < 36; ++i) {
            // Every other one on a 1/64 pixel grid, the stamps' own precision.
            const double step = i % 2 == 0 ? 64 : 1 << 20;
            const PixelXY centre{20 + (i % 6) * 40 + std::floor(fraction(random) * step) / step,
                                 20 + (i / 6) * 40 + std::floor(fraction(random) * step) / step};
            const double size = 3 + i * 0.7;
            stamped.DrawMarker(centre, shape, size, ink);
            painted.DrawMarker(centre, shape, size, ink);
        }
        // Cut by each edge of the canvas.
        for (const PixelXY centre : {PixelXY{0.25, 100.5}, PixelXY{239.75, 3.125},
                                     PixelXY{120.5, -3.25}, PixelXY{-2, 238.875}}) {
            stamped.DrawMarker(centre, shape, 14, ink);
            painted.DrawMarker(centre, shape, 14, ink);
        }
        EXPECT_EQ(stamped.Pixels(), painted.Pixels()) << "shape " << static_cast<int>(shape);
    }
}

}  // namespace
}  // namespace velorin::memory
