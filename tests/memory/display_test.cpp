#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/codes.h"
#include "host/error.h"
#include "platform/memory/qt/qimage_canvas.h"
#include "platform/memory/reference_host.h"
#include "platform/memory/view.h"
#include "platform/objects/renderers.h"
#include "platform/objects/symbols.h"

namespace velorin::memory {
namespace {

constexpr int WindowWidth = 200;
constexpr int WindowHeight = 150;

int Differences(const std::vector<std::uint32_t>& a, const std::vector<std::uint32_t>& b) {
    int count = 0;
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) count += a[i] != b[i];
    return count;
}

std::shared_ptr<MultiPartGeometry> Box(double x0, double y0, double x1, double y1) {
    return MakePolygon({{{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}}});
}

std::shared_ptr<SimpleFillSymbol> SolidFill(const std::shared_ptr<HostContext>& context, int red,
                                            int green, int blue) {
    auto fill = std::make_shared<SimpleFillSymbol>(context);
    fill->SetColor(MakeRgbColor(context, red, green, blue));
    fill->SetOutline(nullptr);
    return fill;
}

std::shared_ptr<host::IFeatureRenderer> Simple(const std::shared_ptr<HostContext>& context,
                                               std::shared_ptr<host::ISymbol> symbol) {
    return std::make_shared<SimpleRenderer>(context, std::move(symbol));
}

// A map of one map unit per pixel (0..200 x 0..150), colourful under every
// shape the tests flash: three overlapping solid fills, a hatched fill, a line
// layer and a point layer. A test may state layers of its own above them.
class ScreenDisplayTest : public ::testing::Test {
  protected:
    ScreenDisplayTest() { Build(); }

    void Build(const std::function<void(HostBuilder&)>& topLayers = {}) {
        HostBuilder builder;
        const auto& context = builder.Context();
        builder.Window(WindowWidth, WindowHeight);
        if (topLayers) topLayers(builder);

        auto wellSymbol = std::make_shared<SimpleMarkerSymbol>(context);
        wellSymbol->SetColor(MakeRgbColor(context, 0, 200, 255));
        wellSymbol->SetStyle(host::esriSMSDiamond);
        builder.FeatureLayer("Wells", host::esriGeometryPoint)
            .Renderer(Simple(context, wellSymbol));
        for (int i = 0; i < 10; ++i) builder.Feature({}, MakePoint(15 + i * 19, 40 + (i % 3) * 30));

        auto roadSymbol = std::make_shared<SimpleLineSymbol>(context);
        roadSymbol->SetColor(MakeRgbColor(context, 240, 240, 0));
        roadSymbol->SetWidth(3);
        builder.FeatureLayer("Roads", host::esriGeometryPolyline)
            .Feature({}, MakePolyline({{{0, 75}, {200, 80}}}))
            .Feature({}, MakePolyline({{{100, 0}, {90, 150}}}))
            .Renderer(Simple(context, roadSymbol));

        auto hatch = SolidFill(context, 120, 0, 120);
        hatch->SetStyle(host::esriSFSDiagonalCross);
        builder.FeatureLayer("Hatched", host::esriGeometryPolygon)
            .Feature({}, Box(10, 95, 190, 140))
            .Renderer(Simple(context, hatch))
            .FeatureLayer("Red", host::esriGeometryPolygon)
            .Feature({}, Box(0, 0, 120, 90))
            .Renderer(Simple(context, SolidFill(context, 220, 30, 30)))
            .FeatureLayer("Green", host::esriGeometryPolygon)
            .Feature({}, Box(60, 40, 200, 150))
            .Renderer(Simple(context, SolidFill(context, 30, 180, 60)))
            .FeatureLayer("Blue", host::esriGeometryPolygon)
            .Feature({}, Box(0, 0, 200, 150))
            .Renderer(Simple(context, SolidFill(context, 40, 60, 200)));

        m_host.emplace(builder.Build(MakeQImageCanvas(WindowWidth, WindowHeight)));
        m_context = m_host->SharedContext();
        View().SetExtent(MakeEnvelope(0, 0, WindowWidth, WindowHeight));
        View().Refresh();
        m_display = View().ScreenDisplay();
        m_context->record.Clear();
    }

    MapView& View() const { return m_host->View(); }

    Rgb PixelAt(double x, double y) const {
        const PixelXY p = View().ToPixel({x, y});
        return View().Screen().Pixel(static_cast<int>(p.x), static_cast<int>(p.y));
    }

    std::optional<ReferenceHost> m_host;
    std::shared_ptr<HostContext> m_context;
    std::shared_ptr<host::IScreenDisplay> m_display;
};

// ---- an inverting flash of every geometry kind gives back every pixel ----------------

struct FlashCase {
    const char* name;
    std::shared_ptr<host::IGeometry> (*shape)();
    std::shared_ptr<host::ISymbol> (*symbol)(const std::shared_ptr<HostContext>&);
    void (host::IDisplay::*draw)(const std::shared_ptr<host::IGeometry>&);
};

std::shared_ptr<host::IRgbColor> FlashColour(const std::shared_ptr<HostContext>& context) {
    return MakeRgbColor(context, 50, 50, 175);
}

std::shared_ptr<host::ISymbol> FlashMarker(const std::shared_ptr<HostContext>& context) {
    auto marker = std::make_shared<SimpleMarkerSymbol>(context);
    marker->SetROP2(host::esriROPNotXOrPen);
    marker->SetColor(FlashColour(context));
    marker->SetSize(12);
    return marker;
}

std::shared_ptr<host::ISymbol> FlashLine(const std::shared_ptr<HostContext>& context) {
    auto line = std::make_shared<SimpleLineSymbol>(context);
    line->SetROP2(host::esriROPNotXOrPen);
    line->SetWidth(4);
    line->SetColor(FlashColour(context));
    return line;
}

std::shared_ptr<host::ISymbol> FlashFill(const std::shared_ptr<HostContext>& context) {
    auto fill = std::make_shared<SimpleFillSymbol>(context);
    fill->SetROP2(host::esriROPNotXOrPen);
    fill->SetColor(FlashColour(context));
    return fill;
}

std::shared_ptr<host::ISymbol> HatchedFill(const std::shared_ptr<HostContext>& context) {
    auto fill = std::dynamic_pointer_cast<SimpleFillSymbol>(FlashFill(context));
    fill->SetStyle(host::esriSFSBackwardDiagonal);
    fill->Outline()->SetWidth(3);
    return fill;
}

std::shared_ptr<host::ISymbol> XMarker(const std::shared_ptr<HostContext>& context) {
    auto marker = std::dynamic_pointer_cast<SimpleMarkerSymbol>(FlashMarker(context));
    marker->SetStyle(host::esriSMSX);
    marker->SetSize(30);
    return marker;
}

std::shared_ptr<host::ISymbol> DashedLine(const std::shared_ptr<HostContext>& context) {
    auto line = std::dynamic_pointer_cast<SimpleLineSymbol>(FlashLine(context));
    line->SetStyle(host::esriSLSDashDot);
    return line;
}

std::shared_ptr<host::ISymbol> XorFill(const std::shared_ptr<HostContext>& context) {
    auto fill = FlashFill(context);
    fill->SetROP2(host::esriROPXOrPen);
    return fill;
}

class InvertingFlash : public ScreenDisplayTest, public ::testing::WithParamInterface<FlashCase> {};

TEST_P(InvertingFlash, DrawnTwiceGivesBackEveryPixel) {
    const FlashCase& c = GetParam();
    const auto before = View().Screen().Pixels();
    auto shape = c.shape();
    auto symbol = c.symbol(m_context);

    m_display->StartDrawing(0, host::esriNoScreenCache);
    m_display->SetSymbol(symbol);
    (m_display.get()->*c.draw)(shape);
    EXPECT_GT(Differences(before, View().Screen().Pixels()), 20) << "the flash does not show";
    (m_display.get()->*c.draw)(shape);
    m_display->FinishDrawing();

    EXPECT_EQ(Differences(before, View().Screen().Pixels()), 0);
    EXPECT_EQ(m_context->record.draws.size(), 2u);
    EXPECT_EQ(m_context->record.redraws, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, InvertingFlash,
    ::testing::Values(
        FlashCase{"Point", []() -> std::shared_ptr<host::IGeometry> { return MakePoint(60, 45); },
                  FlashMarker, &host::IDisplay::DrawPoint},
        FlashCase{"XMarkerOverlappingItsArms",
                  []() -> std::shared_ptr<host::IGeometry> { return MakePoint(100, 75); }, XMarker,
                  &host::IDisplay::DrawPoint},
        FlashCase{"OverlappingMultipoint",
                  []() -> std::shared_ptr<host::IGeometry> {
                      return MakeMultipoint({{10, 10}, {14, 12}, {100, 80}, {199, 149}});
                  },
                  FlashMarker, &host::IDisplay::DrawMultipoint},
        FlashCase{"SelfCrossingPolyline",
                  []() -> std::shared_ptr<host::IGeometry> {
                      return MakePolyline(
                          {{{5, 5}, {190, 140}, {190, 5}, {5, 140}}, {{0, 70}, {250, 70}}});
                  },
                  FlashLine, &host::IDisplay::DrawPolyline},
        FlashCase{"DashedPolyline",
                  []() -> std::shared_ptr<host::IGeometry> {
                      return MakePolyline({{{5, 5}, {190, 140}, {30, 120}}});
                  },
                  DashedLine, &host::IDisplay::DrawPolyline},
        FlashCase{"PolygonWithHole",
                  []() -> std::shared_ptr<host::IGeometry> {
                      return MakePolygon({{{10, 10}, {150, 20}, {140, 140}, {20, 120}},
                                          {{50, 50}, {90, 50}, {90, 90}, {50, 90}}});
                  },
                  FlashFill, &host::IDisplay::DrawPolygon},
        FlashCase{"HatchedPolygonWithWideOutline",
                  []() -> std::shared_ptr<host::IGeometry> { return Box(30, 30, 170, 120); },
                  HatchedFill, &host::IDisplay::DrawPolygon},
        FlashCase{"PolygonMuchLargerThanTheWindow",
                  []() -> std::shared_ptr<host::IGeometry> {
                      return MakePolygon({{{-1e7, -1e7}, {1e7, -1e7}, {100, 1e7}}});
                  },
                  FlashFill, &host::IDisplay::DrawPolygon},
        FlashCase{
            "XorPenEnvelope",
            []() -> std::shared_ptr<host::IGeometry> { return MakeEnvelope(40, 40, 160, 110); },
            XorFill, &host::IDisplay::DrawPolygon}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

// ---- what the display records and refuses ----------------------------------------------

TEST_F(ScreenDisplayTest, RecordsEachDrawWithItsSymbol) {
    m_display->StartDrawing(0, host::esriNoScreenCache);
    m_display->SetSymbol(FlashMarker(m_context));
    m_display->DrawPoint(MakePoint(10, 10));
    m_display->SetSymbol(FlashLine(m_context));
    m_display->DrawPolyline(MakePolyline({{{0, 0}, {10, 10}}}));
    m_display->SetSymbol(FlashFill(m_context));
    m_display->DrawPolygon(Box(0, 0, 5, 5));
    m_display->FinishDrawing();

    const auto& draws = m_context->record.draws;
    ASSERT_EQ(draws.size(), 3u);
    EXPECT_EQ(draws[0].operation, "DrawPoint");
    EXPECT_EQ(draws[0].geometryType, host::esriGeometryPoint);
    EXPECT_EQ(draws[0].symbolKind, "SimpleMarker");
    EXPECT_EQ(draws[0].rgb, 50 | (50 << 8) | (175 << 16));
    EXPECT_EQ(draws[0].rop2, host::esriROPNotXOrPen);
    EXPECT_EQ(draws[0].size, 12.0);
    EXPECT_EQ(draws[1].symbolKind, "SimpleLine");
    EXPECT_EQ(draws[1].size, 4.0);
    EXPECT_EQ(draws[2].operation, "DrawPolygon");
    EXPECT_EQ(draws[2].symbolKind, "SimpleFill");
    EXPECT_EQ(draws[2].size, 0.0);
    EXPECT_EQ(m_context->record.startDrawings, 1);
    EXPECT_EQ(m_context->record.finishDrawings, 1);
}

TEST_F(ScreenDisplayTest, DrawingOutsideStartAndFinishRaises) {
    m_display->SetSymbol(FlashMarker(m_context));
    EXPECT_THROW(m_display->DrawPoint(MakePoint(1, 1)), Error);
    EXPECT_THROW(m_display->FinishDrawing(), Error);
    m_display->StartDrawing(0, host::esriNoScreenCache);
    m_display->FinishDrawing();
    EXPECT_THROW(m_display->DrawPoint(MakePoint(1, 1)), Error);
    EXPECT_TRUE(m_context->record.draws.empty());
}

TEST_F(ScreenDisplayTest, StartingAgainAfterAnAbandonedDrawingWorks) {
    m_display->StartDrawing(0, host::esriNoScreenCache);
    // A run that failed here never finished; the next one must still draw.
    m_display->StartDrawing(0, host::esriNoScreenCache);
    m_display->SetSymbol(FlashMarker(m_context));
    m_display->DrawPoint(MakePoint(1, 1));
    m_display->FinishDrawing();
    EXPECT_EQ(m_context->record.draws.size(), 1u);
}

struct Refusal {
    const char* name;
    std::int32_t code;
    void (*act)(host::IScreenDisplay&, const std::shared_ptr<HostContext>&);
};

class ScreenDisplayRefuses : public ScreenDisplayTest,
                             public ::testing::WithParamInterface<Refusal> {};

TEST_P(ScreenDisplayRefuses, WithItsCodeAndDrawsNothing) {
    const auto before = View().Screen().Pixels();
    m_display->StartDrawing(0, host::esriNoScreenCache);
    try {
        GetParam().act(*m_display, m_context);
        FAIL() << "accepted";
    } catch (const Error& error) {
        EXPECT_EQ(error.Number(), GetParam().code);
        EXPECT_FALSE(error.Description().empty());
    }
    m_display->FinishDrawing();
    EXPECT_TRUE(m_context->record.draws.empty());
    EXPECT_EQ(Differences(before, View().Screen().Pixels()), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Calls, ScreenDisplayRefuses,
    ::testing::Values(Refusal{"PolygonOfAPoint", host::E_HOST_INVALIDARG,
                              [](auto& display, const auto& context) {
                                  display.SetSymbol(FlashFill(context));
                                  display.DrawPolygon(MakePoint(50, 50));
                              }},
                      Refusal{"PointOfAPolygon", host::E_HOST_INVALIDARG,
                              [](auto& display, const auto& context) {
                                  display.SetSymbol(FlashMarker(context));
                                  display.DrawPoint(Box(0, 0, 50, 50));
                              }},
                      Refusal{"MultipointOfAPoint", host::E_HOST_INVALIDARG,
                              [](auto& display, const auto& context) {
                                  display.SetSymbol(FlashMarker(context));
                                  display.DrawMultipoint(MakePoint(50, 50));
                              }},
                      Refusal{"PolylineOfABag", host::E_HOST_INVALIDARG,
                              [](auto& display, const auto& context) {
                                  display.SetSymbol(FlashLine(context));
                                  auto bag = std::make_shared<GeometryBag>();
                                  bag->AddGeometry(MakePolyline({{{0, 0}, {50, 50}}}));
                                  display.DrawPolyline(bag);
                              }},
                      Refusal{"PolylineWithAMarker", host::E_HOST_INVALIDARG,
                              [](auto& display, const auto& context) {
                                  display.SetSymbol(FlashMarker(context));
                                  display.DrawPolyline(MakePolyline({{{0, 0}, {50, 50}}}));
                              }},
                      Refusal{"NoGeometry", host::E_HOST_POINTER,
                              [](auto& display, const auto& context) {
                                  display.SetSymbol(FlashMarker(context));
                                  display.DrawPoint(nullptr);
                              }},
                      Refusal{
                          "NoSymbol", host::E_HOST_FAIL,
                          [](auto& display, const auto&) { display.DrawPoint(MakePoint(1, 1)); }},
                      Refusal{"EmptySymbol", host::E_HOST_POINTER,
                              [](auto& display, const auto&) { display.SetSymbol(nullptr); }},
                      Refusal{"AnotherDeviceContext", host::E_HOST_INVALIDARG,
                              [](auto& display, const auto&) {
                                  display.StartDrawing(1234, host::esriNoScreenCache);
                              }},
                      Refusal{"AScreenCache", host::E_HOST_INVALIDARG,
                              [](auto& display, const auto&) { display.StartDrawing(0, 0); }}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST_F(ScreenDisplayTest, InjectedFaultSurfacesWithItsCodeAndDrawsNothing) {
    m_context->faults.FailAt("IDisplay::DrawPolygon", 1, host::E_HOST_FAIL, "display lost");
    m_display->StartDrawing(0, host::esriNoScreenCache);
    m_display->SetSymbol(FlashFill(m_context));
    try {
        m_display->DrawPolygon(Box(0, 0, 50, 50));
        FAIL();
    } catch (const Error& error) {
        EXPECT_EQ(error.Number(), host::E_HOST_FAIL);
        EXPECT_EQ(error.Description(), "display lost");
    }
    EXPECT_TRUE(m_context->record.draws.empty());
}

TEST_F(ScreenDisplayTest, StaysUsableAfterTheViewIsGone) {
    std::shared_ptr<host::IScreenDisplay> display;
    {
        MapView shortLived(m_context, MakeQImageCanvas(50, 50));
        display = shortLived.ScreenDisplay();
        EXPECT_EQ(shortLived.ScreenDisplay(), display);
    }
    display->StartDrawing(0, host::esriNoScreenCache);
    display->SetSymbol(FlashMarker(m_context));
    display->DrawPoint(MakePoint(25, 25));
    display->FinishDrawing();
    EXPECT_EQ(m_context->record.draws.size(), 1u);
}

// ---- the map's own redraw ----------------------------------------------------------------

TEST_F(ScreenDisplayTest, LayersAreDrawnFromTheBottomUp) {
    EXPECT_EQ(PixelAt(5, 145), (Rgb{40, 60, 200}));    // only Blue here
    EXPECT_EQ(PixelAt(110, 10), (Rgb{220, 30, 30}));   // Red over Blue
    EXPECT_EQ(PixelAt(190, 140), (Rgb{30, 180, 60}));  // Green over Blue
    EXPECT_EQ(PixelAt(110, 60), (Rgb{220, 30, 30}));   // Red over Green over Blue
}

TEST_F(ScreenDisplayTest, InvisibleLayersAreLeftOut) {
    m_host->LayerNamed("Red")->SetVisible(false);
    View().Refresh();
    EXPECT_EQ(PixelAt(110, 60), (Rgb{30, 180, 60}));
}

TEST_F(ScreenDisplayTest, GroupLayersDrawTheirMembersInOrder) {
    Build([](HostBuilder& builder) {
        const auto& context = builder.Context();
        builder.GroupLayer("Group")
            .FeatureLayer("Top", host::esriGeometryPolygon)
            .Feature({}, Box(0, 0, 10, 10))
            .Renderer(Simple(context, SolidFill(context, 1, 1, 1)))
            .FeatureLayer("Under", host::esriGeometryPolygon)
            .Feature({}, Box(0, 0, 20, 20))
            .Renderer(Simple(context, SolidFill(context, 2, 2, 2)))
            .EndGroup();
    });
    EXPECT_EQ(PixelAt(5, 5), (Rgb{1, 1, 1}));
    EXPECT_EQ(PixelAt(15, 15), (Rgb{2, 2, 2}));
    m_host->LayerNamed("Group")->SetVisible(false);
    View().Refresh();
    EXPECT_EQ(PixelAt(5, 5), (Rgb{220, 30, 30}));
}

TEST_F(ScreenDisplayTest, DefinitionQueryNarrowsWhatIsDrawn) {
    Build([](HostBuilder& builder) {
        builder.FeatureLayer("Parcels", host::esriGeometryPolygon)
            .Field("Code", host::esriFieldTypeInteger)
            .Feature({1}, Box(0, 0, 10, 10))
            .Feature({2}, Box(20, 0, 30, 10))
            .Renderer(Simple(builder.Context(), SolidFill(builder.Context(), 9, 9, 9)))
            .Definition("Code = 2");
    });
    EXPECT_EQ(PixelAt(5, 5), (Rgb{220, 30, 30}));
    EXPECT_EQ(PixelAt(25, 5), (Rgb{9, 9, 9}));
}

TEST_F(ScreenDisplayTest, UniqueValueLayerUsesValueAndDefaultSymbols) {
    std::shared_ptr<UniqueValueRenderer> renderer;
    Build([&](HostBuilder& builder) {
        const auto& context = builder.Context();
        renderer = std::make_shared<UniqueValueRenderer>(context);
        renderer->SetFieldCount(1);
        renderer->SetField(0, "Code");
        renderer->AddValue("1", "Code", SolidFill(context, 9, 9, 9));
        renderer->SetDefaultSymbol(SolidFill(context, 7, 7, 7));
        builder.FeatureLayer("Unique", host::esriGeometryPolygon)
            .Field("Code", host::esriFieldTypeInteger)
            .Feature({1}, Box(0, 0, 10, 10))
            .Feature({2}, Box(20, 0, 30, 10))
            .Renderer(renderer);
    });
    EXPECT_EQ(PixelAt(5, 5), (Rgb{9, 9, 9}));
    EXPECT_EQ(PixelAt(25, 5), (Rgb{7, 7, 7}));
    renderer->SetUseDefaultSymbol(false);
    View().Refresh();
    EXPECT_EQ(PixelAt(25, 5), (Rgb{220, 30, 30}));  // not drawn: Red shows through
}

TEST_F(ScreenDisplayTest, MarkersAndLinesHaveTheirSizeInPoints) {
    constexpr Rgb MarkerInk{1, 2, 3};
    constexpr Rgb LineInk{4, 5, 6};
    Build([&](HostBuilder& builder) {
        const auto& context = builder.Context();
        auto marker = std::make_shared<SimpleMarkerSymbol>(context);
        marker->SetStyle(host::esriSMSSquare);
        marker->SetSize(12);  // 16 pixels at 96 dpi
        marker->SetColor(MakeRgbColor(context, MarkerInk.red, MarkerInk.green, MarkerInk.blue));
        auto line = std::make_shared<SimpleLineSymbol>(context);
        line->SetWidth(6);  // 8 pixels
        line->SetColor(MakeRgbColor(context, LineInk.red, LineInk.green, LineInk.blue));
        builder.FeatureLayer("Square", host::esriGeometryPoint)
            .Feature({}, MakePoint(100.5, 74.5))
            .Renderer(Simple(context, marker))
            .FeatureLayer("Ruler", host::esriGeometryPolyline)
            .Feature({}, MakePolyline({{{0, 20}, {200, 20}}}))
            .Renderer(Simple(context, line));
    });
    const Canvas& screen = View().Screen();
    int across = 0, down = 0, thick = 0;
    for (int x = 0; x < WindowWidth; ++x) across += screen.Pixel(x, 75) == MarkerInk;
    for (int y = 0; y < WindowHeight; ++y) down += screen.Pixel(100, y) == MarkerInk;
    for (int y = 0; y < WindowHeight; ++y) thick += screen.Pixel(150, y) == LineInk;
    EXPECT_EQ(across, 16);
    EXPECT_EQ(down, 16);
    EXPECT_EQ(thick, 8);
}

TEST_F(ScreenDisplayTest, InvalidationRedrawsOnceWhenMessagesArePumped) {
    int screenChanges = 0;
    m_context->hooks.screenChanged = [&] { ++screenChanges; };
    View().ProcessPendingRedraw();
    EXPECT_EQ(m_context->record.redraws, 0);

    m_display->Invalidate(nullptr, true, host::esriAllScreenCaches);
    EXPECT_EQ(m_context->record.redraws, 0);
    View().ProcessPendingRedraw();
    View().ProcessPendingRedraw();
    EXPECT_EQ(m_context->record.redraws, 1);
    EXPECT_EQ(screenChanges, 1);

    View().Refresh();
    EXPECT_EQ(m_context->record.redraws, 2);
    EXPECT_EQ(screenChanges, 2);
}

TEST_F(ScreenDisplayTest, RedrawWipesAnUnfinishedFlash) {
    const auto before = View().Screen().Pixels();
    m_display->StartDrawing(0, host::esriNoScreenCache);
    m_display->SetSymbol(FlashFill(m_context));
    m_display->DrawPolygon(Box(10, 10, 100, 100));
    View().Refresh();
    EXPECT_EQ(Differences(before, View().Screen().Pixels()), 0);
}

TEST_F(ScreenDisplayTest, RedrawIsNotCountedAsCallsOfTheExtension) {
    // "The next call of any member" fails: the redraw's own reads must not take it.
    m_context->faults.FailAt("", 1, host::E_HOST_FAIL, "next call");
    EXPECT_NO_THROW(View().Refresh());
    EXPECT_THROW(m_display->StartDrawing(0, host::esriNoScreenCache), Error);
}

}  // namespace
}  // namespace velorin::memory
