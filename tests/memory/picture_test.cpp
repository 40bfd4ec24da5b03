// A redraw drawn off the view's thread (MapPicture): planned on the view's thread,
// drawn on another, and shown only when it is the picture the screen waits for.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <thread>

#include "host/codes.h"
#include "platform/memory/qt/qimage_canvas.h"
#include "platform/memory/reference_host.h"
#include "platform/objects/renderers.h"
#include "platform/objects/symbols.h"
#include "tests/support/shapes.h"

namespace velorin::memory {
namespace {

using velorin::testing::Square;

std::shared_ptr<SimpleFillSymbol> Fill(const std::shared_ptr<HostContext>& context) {
    auto outline = std::make_shared<SimpleLineSymbol>(context);
    outline->SetColor(MakeRgbColor(context, 90, 60, 0));
    outline->SetWidth(2);
    auto fill = std::make_shared<SimpleFillSymbol>(context);
    fill->SetColor(MakeRgbColor(context, 230, 210, 150));
    fill->SetOutline(outline);
    return fill;
}

// A map of every kind of layer a redraw draws: a unique value legend of markers
// (of `values` values, the features' keys among the first seven) with a
// definition query (some markers beyond the window, a row without a shape),
// lines in a group beside a hidden layer, filled and outlined polygons with a
// hole, and a raster layer, which draws nothing; then what more asks for.
ReferenceHost BuildMap(const std::function<void(HostBuilder&)>& more = {}, int values = 6) {
    HostBuilder builder;
    const auto& context = builder.Context();
    builder.Window(120, 90);
    auto legend = std::make_shared<UniqueValueRenderer>(context);
    legend->SetFieldCount(1);
    legend->SetField(0, "Kind");
    for (int kind = 0; kind < values; ++kind) {
        auto marker = std::make_shared<SimpleMarkerSymbol>(context);
        marker->SetColor(MakeRgbColor(context, 40 * kind % 256, 200 - 30 * (kind % 7), 90));
        marker->SetStyle(kind % 2 == 0 ? host::esriSMSSquare : host::esriSMSCircle);
        marker->SetSize(4 + kind % 7);
        legend->AddValue(std::to_string(kind), "Kind", marker);
    }
    builder.FeatureLayer("Wells", host::esriGeometryPoint)
        .Field("Kind", host::esriFieldTypeInteger);
    std::mt19937 random(11);
    std::uniform_real_distribution<double> at(-10, 130);
    for (int i = 0; i < 300; ++i) builder.Feature({i % 7}, MakePoint(at(random), at(random)));
    builder.Feature({2});
    builder.Definition("Kind > 0").Renderer(legend);

    builder.GroupLayer("Water");
    auto line = std::make_shared<SimpleLineSymbol>(context);
    line->SetColor(MakeRgbColor(context, 0, 0, 200));
    line->SetWidth(3);
    builder.FeatureLayer("Rivers", host::esriGeometryPolyline)
        .Feature({}, MakePolyline({{{-20, 10}, {60, 70}, {140, 20}}}))
        .Renderer(std::make_shared<SimpleRenderer>(context, line));
    builder.FeatureLayer("Flood", host::esriGeometryPolygon)
        .Feature({}, MakePolygon({Square(0, 0, 200)}))
        .Hidden();
    builder.EndGroup();

    builder.FeatureLayer("Fields", host::esriGeometryPolygon)
        .Feature({}, MakePolygon({Square(10, 10, 50), Square(20, 20, 10)}))
        .Feature({}, MakePolygon({Square(70, 40, 80)}))
        .Renderer(std::make_shared<SimpleRenderer>(context, Fill(context)));
    builder.RasterLayer("Relief");
    if (more) more(builder);
    return builder.Build(MakeQImageCanvas(120, 90));
}

// Plans the view's redraw and draws it on a thread of its own.
std::unique_ptr<MapPicture> DrawElsewhere(const MapView& view, bool cancelled = false) {
    auto picture = view.PlanPicture(MakeQImageCanvas(7, 5));
    const std::atomic<bool> cancel{cancelled};
    std::thread([&] { picture->Draw(cancel); }).join();
    return picture;
}

struct ExtentCase {
    const char* name;
    double xMin, yMin, xMax, yMax;
    int values;  // of the markers' legend: a long one's looks are read where met
};

class PictureOffTheThread : public ::testing::TestWithParam<ExtentCase> {};

// Drawn elsewhere and shown, the picture is what the screen draws itself, and its
// drawing announced nothing to the host's observer.
TEST_P(PictureOffTheThread, IsTheRedrawsPicture) {
    const ExtentCase& extent = GetParam();
    ReferenceHost host = BuildMap({}, extent.values);
    MapView& view = host.View();
    view.SetExtent(MakeEnvelope(extent.xMin, extent.yMin, extent.xMax, extent.yMax));
    view.ProcessPendingRedraw();
    ASSERT_TRUE(view.ScreenStale());
    const int paints = host.Record().paints;
    const int calls = host.Context().faults.CallCount();
    const auto picture = DrawElsewhere(view);
    EXPECT_EQ(host.Context().faults.CallCount(), calls);
    ASSERT_TRUE(picture->OffThread());
    EXPECT_EQ(picture->Result(), MapPicture::State::Whole);
    ASSERT_TRUE(view.Present(*picture));
    EXPECT_FALSE(view.ScreenStale());
    EXPECT_EQ(host.Record().paints, paints + 1);
    const auto shown = view.ScreenAsItIs().Pixels();
    view.Refresh();
    EXPECT_EQ(shown, view.Screen().Pixels());
}

INSTANTIATE_TEST_SUITE_P(Extents, PictureOffTheThread,
                         ::testing::Values(ExtentCase{"WholeMap", -20, -20, 140, 130, 6},
                                           ExtentCase{"Part", 20, 20, 60, 50, 6},
                                           ExtentCase{"Beyond", 1000, 1000, 1040, 1030, 6},
                                           ExtentCase{"WholeMapLongLegend", -20, -20, 140, 130,
                                                      1500},
                                           ExtentCase{"PartLongLegend", 20, 20, 60, 50, 1500}),
                         [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST(MapPicture, IsShownOnlyWholeAndOfTheRedrawTheScreenWaitsFor) {
    ReferenceHost host = BuildMap();
    MapView& view = host.View();
    view.Refresh();
    const auto older = DrawElsewhere(view);
    view.SetExtent(MakeEnvelope(0, 0, 60, 45));
    view.ProcessPendingRedraw();
    EXPECT_FALSE(view.Present(*older));
    const auto cancelled = DrawElsewhere(view, true);
    EXPECT_EQ(cancelled->Result(), MapPicture::State::Cancelled);
    EXPECT_FALSE(view.Present(*cancelled));
    // The extent changed since the redraw it was planned for was asked.
    const auto moved = DrawElsewhere(view);
    view.SetExtent(MakeEnvelope(0, 0, 30, 20));
    EXPECT_FALSE(view.Present(*moved));
    EXPECT_TRUE(view.ScreenStale());
}

// What only the host's interfaces can read is read on the view's thread: a
// renderer asked feature by feature, and a shape of a class the host did not make.
TEST(MapPicture, WhatOnlyTheInterfacesReadIsDrawnOnTheViewsThread) {
    class Asked final : public host::IFeatureRenderer {
      public:
        explicit Asked(std::shared_ptr<host::ISymbol> symbol) : m_symbol(std::move(symbol)) {}
        std::shared_ptr<host::ISymbol> SymbolByFeature(
            const std::shared_ptr<host::IFeature>&) override {
            return m_symbol;
        }

      private:
        std::shared_ptr<host::ISymbol> m_symbol;
    };
    ReferenceHost asked = BuildMap([](HostBuilder& builder) {
        builder.FeatureLayer("Asked", host::esriGeometryPolygon)
            .Feature({}, MakePolygon({Square(0, 0, 5)}))
            .Renderer(std::make_shared<Asked>(Fill(builder.Context())));
    });
    asked.View().Refresh();
    const auto planned = DrawElsewhere(asked.View());
    EXPECT_FALSE(planned->OffThread());
    EXPECT_EQ(planned->Result(), MapPicture::State::NeedsViewThread);
    EXPECT_FALSE(asked.View().Present(*planned));

    class Foreign final : public host::IGeometry {
      public:
        std::int32_t GeometryType() const override { return host::esriGeometryPolyline; }
        std::int32_t Dimension() const override { return 1; }
        bool IsEmpty() const override { return false; }
        std::shared_ptr<host::IEnvelope> Envelope() const override {
            return MakeEnvelope(0, 0, 5, 5);
        }
    };
    ReferenceHost foreign = BuildMap([](HostBuilder& builder) {
        auto line = std::make_shared<SimpleLineSymbol>(builder.Context());
        builder.FeatureLayer("Foreign", host::esriGeometryPolyline)
            .Feature({}, std::make_shared<Foreign>())
            .Renderer(std::make_shared<SimpleRenderer>(builder.Context(), line));
    });
    foreign.View().Refresh();
    const auto drawn = DrawElsewhere(foreign.View());
    EXPECT_TRUE(drawn->OffThread());
    EXPECT_EQ(drawn->Result(), MapPicture::State::NeedsViewThread);
    EXPECT_FALSE(foreign.View().Present(*drawn));
}

}  // namespace
}  // namespace velorin::memory
