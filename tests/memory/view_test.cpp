#include "platform/memory/view.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>

#include "host/codes.h"
#include "host/error.h"
#include "platform/memory/qt/qimage_canvas.h"
#include "platform/memory/reference_host.h"
#include "tests/support/shapes.h"

namespace velorin::memory {
namespace {

using velorin::testing::BoundsOf;
using velorin::testing::Box4;

// ---- fitting the requested extent ------------------------------------------------------

struct FitCase {
    const char* name;
    int width, height;  // window in pixels
    Box4 request;
};

class ExtentFitting : public ::testing::TestWithParam<FitCase> {};

TEST_P(ExtentFitting, KeepsTheRequestVisibleCentredAndTight) {
    const FitCase& c = GetParam();
    auto context = std::make_shared<HostContext>();
    MapView view(context, std::make_unique<QImageCanvas>(c.width, c.height));
    view.SetExtent(MakeEnvelope(c.request.xMin, c.request.yMin, c.request.xMax, c.request.yMax));
    const Box4 shown = BoundsOf(view.Extent());

    // All four corners of the request are on screen.
    // Rounding in map units, and what it comes to in pixels.
    const double eps = 1e-12 * std::max(1.0, std::fabs(c.request.xMax) + std::fabs(c.request.yMax));
    const double pixelEps = 1e-6 + eps / view.Scale();
    for (double x : {c.request.xMin, c.request.xMax}) {
        for (double y : {c.request.yMin, c.request.yMax}) {
            EXPECT_GE(x, shown.xMin - eps);
            EXPECT_LE(x, shown.xMax + eps);
            EXPECT_GE(y, shown.yMin - eps);
            EXPECT_LE(y, shown.yMax + eps);
            const PixelXY p = view.ToPixel({x, y});
            EXPECT_GE(p.x, -pixelEps);
            EXPECT_LE(p.x, c.width + pixelEps);
            EXPECT_GE(p.y, -pixelEps);
            EXPECT_LE(p.y, c.height + pixelEps);
        }
    }
    // Centred, with the window's aspect ratio, and no larger than needed.
    EXPECT_NEAR((shown.xMin + shown.xMax) / 2, (c.request.xMin + c.request.xMax) / 2, eps);
    EXPECT_NEAR((shown.yMin + shown.yMax) / 2, (c.request.yMin + c.request.yMax) / 2, eps);
    const double shownW = shown.xMax - shown.xMin;
    const double shownH = shown.yMax - shown.yMin;
    EXPECT_NEAR(shownW * c.height, shownH * c.width, 4 * eps * std::max(c.width, c.height));
    const bool widthTight = std::fabs(shownW - (c.request.xMax - c.request.xMin)) <= eps;
    const bool heightTight = std::fabs(shownH - (c.request.yMax - c.request.yMin)) <= eps;
    EXPECT_TRUE(widthTight || heightTight);

    ASSERT_EQ(context->record.extents.size(), 1u);
    EXPECT_EQ(context->record.extents[0].xMin, c.request.xMin);
    EXPECT_EQ(context->record.extents[0].yMax, c.request.yMax);
    EXPECT_TRUE(view.RedrawPending());
}

INSTANTIATE_TEST_SUITE_P(
    Windows, ExtentFitting,
    ::testing::Values(FitCase{"WideWindowTallRequest", 800, 400, {10, 10, 20, 110}},
                      FitCase{"WideWindowWideRequest", 800, 400, {-50, 0, 950, 100}},
                      FitCase{"TallWindowWideRequest", 300, 900, {0, 0, 1000, 10}},
                      FitCase{"TallWindowTallRequest", 300, 900, {5, 5, 6, 500}},
                      FitCase{"SameAspect", 800, 600, {0, 0, 8, 6}},
                      FitCase{"FarFromOrigin", 640, 480, {2.5e6, 1.2e6, 2.5e6 + 30, 1.2e6 + 90}},
                      FitCase{"TinyBox", 800, 600, {1, 1, 1 + 1e-9, 1 + 2e-9}}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

class MapViewTest : public ::testing::Test {
  protected:
    MapViewTest() { m_view.SetExtent(MakeEnvelope(0, 0, 800, 600)); }

    std::shared_ptr<HostContext> m_context = std::make_shared<HostContext>();
    MapView m_view{m_context, nullptr};
};

TEST_F(MapViewTest, WindowIs800By600WithoutACanvas) {
    EXPECT_EQ(m_view.Width(), MapView::DefaultWidth);
    EXPECT_EQ(m_view.Height(), MapView::DefaultHeight);
    EXPECT_EQ(m_view.Scale(), 1.0);
}

TEST_F(MapViewTest, PointRequestKeepsTheScaleAndCentresOnIt) {
    m_view.SetExtent(MakeEnvelope(0, 0, 1600, 1200));
    m_view.SetExtent(MakeEnvelope(5000, -7000, 5000, -7000));
    const Box4 shown = BoundsOf(m_view.Extent());
    EXPECT_DOUBLE_EQ(shown.xMin, 5000 - 800);
    EXPECT_DOUBLE_EQ(shown.xMax, 5000 + 800);
    EXPECT_DOUBLE_EQ(shown.yMin, -7000 - 600);
    EXPECT_DOUBLE_EQ(shown.yMax, -7000 + 600);
}

TEST_F(MapViewTest, RequestWithOneSideOfNoSizeIsFittedByTheOther) {
    // A point's envelope given a width: as the Related Envelope zoom makes it.
    m_view.SetExtent(MakeEnvelope(100, 50, 300, 50));
    const Box4 shown = BoundsOf(m_view.Extent());
    EXPECT_DOUBLE_EQ(shown.xMax - shown.xMin, 200);
    EXPECT_DOUBLE_EQ(shown.yMax - shown.yMin, 150);
    EXPECT_DOUBLE_EQ((shown.yMin + shown.yMax) / 2, 50);
}

TEST_F(MapViewTest, BadRequestsRaiseAndChangeNothing) {
    const Box4 before = BoundsOf(m_view.Extent());
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    m_context->record.Clear();

    // Envelopes cannot be made with these coordinates, so a stand-in carries them.
    class RawEnvelope final : public host::IEnvelope {
      public:
        RawEnvelope(double x0, double y0, double x1, double y1, bool empty = false)
            : m_x0(x0), m_y0(y0), m_x1(x1), m_y1(y1), m_empty(empty) {}
        std::int32_t GeometryType() const override { return host::esriGeometryEnvelope; }
        std::int32_t Dimension() const override { return 2; }
        bool IsEmpty() const override { return m_empty; }
        std::shared_ptr<host::IEnvelope> Envelope() const override { return nullptr; }
        double XMin() const override { return m_x0; }
        double YMin() const override { return m_y0; }
        double XMax() const override { return m_x1; }
        double YMax() const override { return m_y1; }
        double ZMin() const override { return 0; }
        double ZMax() const override { return 0; }
        void PutCoords(double, double, double, double) override {}
        double Width() const override { return m_x1 - m_x0; }
        double Height() const override { return m_y1 - m_y0; }
        double Depth() const override { return 0; }
        void SetWidth(double) override {}
        void SetHeight(double) override {}
        void SetDepth(double) override {}
        void Expand(double, double, bool) override {}
        void CenterAt(const std::shared_ptr<host::IPoint>&) override {}

      private:
        double m_x0, m_y0, m_x1, m_y1;
        bool m_empty;
    };

    const std::vector<std::shared_ptr<host::IEnvelope>> bad{
        std::make_shared<RawEnvelope>(nan, 0, 10, 10),
        std::make_shared<RawEnvelope>(0, 0, inf, 10),
        std::make_shared<RawEnvelope>(0, -inf, 10, 10),
        std::make_shared<RawEnvelope>(0, 0, 0, 0, true),
        std::make_shared<EnvelopeGeometry>(m_context),  // empty
        MakeEnvelope(-1.7e308, 0, 1.7e308, 1),          // wider than a double holds
        MakeEnvelope(0, 0, 5e-324, 0),                  // too small for any scale
    };
    for (const auto& envelope : bad) {
        try {
            m_view.SetExtent(envelope);
            ADD_FAILURE() << "accepted";
        } catch (const Error& error) {
            EXPECT_EQ(error.Number(), host::E_HOST_INVALIDARG);
            EXPECT_FALSE(error.Description().empty());
        }
        const Box4 after = BoundsOf(m_view.Extent());
        EXPECT_EQ(after.xMin, before.xMin);
        EXPECT_EQ(after.yMax, before.yMax);
    }
    EXPECT_THROW(m_view.SetExtent(nullptr), Error);
    EXPECT_TRUE(m_context->record.extents.empty());

    // Corners given the wrong way round are read as the box they span.
    m_view.SetExtent(std::make_shared<RawEnvelope>(80, 60, 0, 0));
    const Box4 swapped = BoundsOf(m_view.Extent());
    EXPECT_DOUBLE_EQ(swapped.xMin, 0);
    EXPECT_DOUBLE_EQ(swapped.xMax, 80);
    EXPECT_DOUBLE_EQ(swapped.yMin, 0);
    EXPECT_DOUBLE_EQ(swapped.yMax, 60);
}

TEST_F(MapViewTest, ZoomFactorZeroAndRepeatedDoublingNeverFail) {
    // What a zoom factor of 0 makes: a box shrunk to its centre.
    auto box = MakeEnvelope(10, 10, 30, 30);
    box->Expand(0, 0, true);
    m_view.SetExtent(box);
    EXPECT_DOUBLE_EQ(m_view.Scale(), 1.0);
    // A factor of 2 at every point feature doubles the view each time; far past
    // any sensible map it is refused, never turned into infinities.
    int accepted = 0;
    for (int i = 0; i < 2000; ++i) {
        auto extent = m_view.Extent();
        extent->Expand(2, 2, true);
        try {
            m_view.SetExtent(extent);
            ++accepted;
        } catch (const Error& error) {
            EXPECT_EQ(error.Number(), host::E_HOST_INVALIDARG);
            break;
        }
    }
    EXPECT_GT(accepted, 100);
    const Box4 shown = BoundsOf(m_view.Extent());
    EXPECT_TRUE(std::isfinite(shown.xMin) && std::isfinite(shown.xMax));
}

TEST_F(MapViewTest, PixelAndMapCoordinatesRoundTrip) {
    m_view.SetExtent(MakeEnvelope(1000, 2000, 1080, 2060));
    const PixelXY topLeft = m_view.ToPixel({1000, 2060});
    EXPECT_NEAR(topLeft.x, 0, 1e-9);
    EXPECT_NEAR(topLeft.y, 0, 1e-9);
    const XY back = m_view.ToMap({400, 300});
    EXPECT_NEAR(back.x, 1040, 1e-9);
    EXPECT_NEAR(back.y, 2030, 1e-9);
}

TEST_F(MapViewTest, ResizeKeepsCentreAndScale) {
    m_view.SetExtent(MakeEnvelope(0, 0, 1600, 1200));
    m_view.Resize(400, 300);
    const Box4 shown = BoundsOf(m_view.Extent());
    EXPECT_DOUBLE_EQ(shown.xMin, 400);
    EXPECT_DOUBLE_EQ(shown.xMax, 1200);
    EXPECT_EQ(m_view.Width(), 400);
    EXPECT_THROW(m_view.Resize(0, 300), Error);
    EXPECT_THROW(m_view.Resize(400, -1), Error);
    EXPECT_EQ(m_view.Height(), 300);
}

TEST(MapViewStart, ShowsTheFullExtentOfTheMapUntilAnExtentIsPut) {
    auto host = HostBuilder()
                    .FeatureLayer("A", host::esriGeometryPolygon)
                    .Feature({}, MakePolygon({{{10, 10}, {20, 10}, {20, 20}}}))
                    .FeatureLayer("B", host::esriGeometryPolyline)
                    .Feature({}, MakePolyline({{{-30, 0}, {0, 5}}}))
                    .Hidden()
                    // Only the features the definition query lets through count.
                    .FeatureLayer("C", host::esriGeometryPoint)
                    .Field("Keep", host::esriFieldTypeInteger)
                    .Feature({1}, MakePoint(15, 15))
                    .Feature({0}, MakePoint(1000, 1000))
                    .Definition("Keep = 1")
                    .Build(std::make_unique<QImageCanvas>(100, 100));
    const int callsBefore = host.Context().faults.CallCount();
    auto extent = host.View().Extent();
    // Reading the map for it is not a call of the extension.
    EXPECT_EQ(host.Context().faults.CallCount(), callsBefore);
    const Box4 shown = BoundsOf(extent);
    EXPECT_DOUBLE_EQ(shown.xMin, -30);
    EXPECT_DOUBLE_EQ(shown.xMax, 20);
    EXPECT_DOUBLE_EQ((shown.yMin + shown.yMax) / 2, 10);
}

TEST(MapViewStart, AnEmptyMapShowsOneMapUnitPerPixel) {
    auto host = HostBuilder().Window(640, 480).Build();
    const Box4 shown = BoundsOf(host.View().Extent());
    EXPECT_DOUBLE_EQ(shown.xMin, 0);
    EXPECT_DOUBLE_EQ(shown.xMax, 640);
    EXPECT_DOUBLE_EQ(shown.yMax, 480);
}

}  // namespace
}  // namespace velorin::memory
