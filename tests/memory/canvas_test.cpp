#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <vector>

#include "host/error.h"
#include "platform/memory/qt/qimage_canvas.h"

namespace velorin::memory {
namespace {

constexpr Rgb Background{200, 100, 50};
constexpr Rgb Ink{50, 50, 175};

class QImageCanvasTest : public ::testing::Test {
  protected:
    QImageCanvasTest() { m_canvas.Clear(Background); }

    int Changed(const std::vector<std::uint32_t>& before) const {
        const auto after = m_canvas.Pixels();
        int changed = 0;
        for (std::size_t i = 0; i < after.size(); ++i) changed += after[i] != before[i];
        return changed;
    }

    QImageCanvas m_canvas{64, 48};
};

TEST_F(QImageCanvasTest, ClearPaintsEveryPixelAndReadsBackAsRgb) {
    EXPECT_EQ(m_canvas.Pixel(0, 0), Background);
    EXPECT_EQ(m_canvas.Pixel(63, 47), Background);
    const auto pixels = m_canvas.Pixels();
    ASSERT_EQ(pixels.size(), 64u * 48u);
    EXPECT_EQ(pixels.front(), 0xC86432u);
    EXPECT_THROW(m_canvas.Pixel(64, 0), Error);
    EXPECT_THROW(m_canvas.Pixel(0, -1), Error);
}

// A clear in the colour of the last one repaints only what was drawn since: it
// must find every pixel any kind of drawing touched, under any raster operation.
TEST_F(QImageCanvasTest, ClearAgainAfterAnyDrawingLeavesOnlyTheColour) {
    const double inf = std::numeric_limits<double>::infinity();
    const std::vector<std::function<void(QImageCanvas&)>> drawings{
        [](QImageCanvas& c) {
            c.StrokePaths({{{-5, 3}, {70, 40}, {20, 47.5}}}, {Ink, 6.5});
        },
        [](QImageCanvas& c) {
            c.StrokePaths({{{3, 3}, {60, 3}, {60, 44}, {3, 3}}}, {Ink, 3, LineStyle::DashDot});
        },
        [](QImageCanvas& c) {
            c.FillRings({{{-10, -10}, {30, 2}, {12, 60}}}, {Ink, FillStyle::Solid});
        },
        [](QImageCanvas& c) {
            c.FillRings({{{5, 5}, {60, 9}, {40, 44}}}, {Ink, FillStyle::DiagonalCross});
        },
        [](QImageCanvas& c) {
            for (const PixelXY centre : {PixelXY{0.2, 0.3}, PixelXY{63.9, 47.7}, PixelXY{30, 20}})
                c.DrawMarker(centre, MarkerShape::Circle, 12, Ink);
        },
        [](QImageCanvas& c) {
            const std::vector<MarkerAt> markers{{{-3, 24}, Ink}, {{66, 2}, Ink}, {{9.5, 50}, Ink}};
            c.DrawMarkers(markers, MarkerShape::X, 9);
        },
        [](QImageCanvas& c) {
            c.DrawMarker({32, 24}, MarkerShape::Picture, 100, Ink);
        },
        [](QImageCanvas& c) {  // more drawings apart than the canvas keeps apart
            for (int i = 0; i < 45; ++i) {
                c.DrawMarker({(i * 37) % 64 + 0.5, (i * 11) % 48 + 0.5}, MarkerShape::Square, 3,
                             Ink);
            }
        },
        [](QImageCanvas& c) {
            c.SetRasterOp(RasterOp::NotXorPen);
            c.DrawMarker({62.5, 1.5}, MarkerShape::Diamond, 11, Ink);
            c.FillRings({{{40, 30}, {70, 30}, {70, 60}}}, {Ink, FillStyle::Solid});
            c.StrokePaths({{{1, 40}, {9, 47}}}, {Ink, 2});
        },
        [inf](QImageCanvas& c) {
            c.DrawMarker({-2e9, 5}, MarkerShape::Square, 30, Ink);
            c.DrawMarker({inf, 5}, MarkerShape::Square, 30, Ink);
            c.StrokePaths({{{-1e7, -1e7}, {1e7, 1e7}}}, {Ink, 1});
        },
    };
    const std::vector<std::uint32_t> clear(64 * 48, Background.ToPixel());
    for (std::size_t i = 0; i < drawings.size(); ++i) {
        m_canvas.Clear(Background);
        drawings[i](m_canvas);
        m_canvas.SetRasterOp(RasterOp::CopyPen);
        EXPECT_NE(m_canvas.Pixels(), clear) << "drawing " << i;
        m_canvas.Clear(Background);
        EXPECT_EQ(m_canvas.Pixels(), clear) << "drawing " << i;
    }
}

TEST_F(QImageCanvasTest, CopyPenPaintsTheColour) {
    m_canvas.FillRings({{{10, 10}, {30, 10}, {30, 30}, {10, 30}}}, {Ink, FillStyle::Solid});
    EXPECT_EQ(m_canvas.Pixel(20, 20), Ink);
    EXPECT_EQ(m_canvas.Pixel(5, 5), Background);
}

TEST_F(QImageCanvasTest, HoleStaysUnpainted) {
    m_canvas.FillRings(
        {{{4, 4}, {44, 4}, {44, 44}, {4, 44}}, {{14, 14}, {34, 14}, {34, 34}, {14, 34}}},
        {Ink, FillStyle::Solid});
    EXPECT_EQ(m_canvas.Pixel(8, 8), Ink);
    EXPECT_EQ(m_canvas.Pixel(24, 24), Background);
}

TEST_F(QImageCanvasTest, RasterOperationsCombinePenAndScreen) {
    const std::vector<PixelPath> square{{{0, 0}, {8, 0}, {8, 8}, {0, 8}}};
    struct Case {
        RasterOp op;
        Rgb expected;
    };
    const Rgb p = Ink;
    const Rgb d = Background;
    auto inv = [](std::uint8_t v) { return static_cast<std::uint8_t>(~v); };
    for (const Case& c : {Case{RasterOp::XorPen,
                               {static_cast<std::uint8_t>(p.red ^ d.red),
                                static_cast<std::uint8_t>(p.green ^ d.green),
                                static_cast<std::uint8_t>(p.blue ^ d.blue)}},
                          Case{RasterOp::NotXorPen,
                               {inv(p.red ^ d.red), inv(p.green ^ d.green), inv(p.blue ^ d.blue)}},
                          Case{RasterOp::Not, {inv(d.red), inv(d.green), inv(d.blue)}},
                          Case{RasterOp::Black, {0, 0, 0}}, Case{RasterOp::White, {255, 255, 255}},
                          Case{RasterOp::Nop, d}}) {
        m_canvas.Clear(Background);
        m_canvas.SetRasterOp(c.op);
        m_canvas.FillRings(square, {Ink, FillStyle::Solid});
        EXPECT_EQ(m_canvas.Pixel(4, 4), c.expected) << static_cast<int>(c.op);
    }
    // Markers (copied from masks) combine as the painter's fills do, under every operation.
    for (int op = static_cast<int>(RasterOp::Black); op <= static_cast<int>(RasterOp::White);
         ++op) {
        m_canvas.SetRasterOp(static_cast<RasterOp>(op));
        m_canvas.Clear(Background);
        m_canvas.FillRings(square, {Ink, FillStyle::Solid});
        const auto filled = m_canvas.Pixels();
        m_canvas.Clear(Background);
        m_canvas.DrawMarker({4, 4}, MarkerShape::Square, 8, Ink);
        EXPECT_EQ(m_canvas.Pixels(), filled) << op;
    }
}

// Shapes whose parts overlap must still touch each pixel once: otherwise the
// overlap cancels out under an inverting raster operation while it is shown.
TEST_F(QImageCanvasTest, NotXorOverlapsAreDrawnOnceAndTwiceRestoresEverything) {
    const auto before = m_canvas.Pixels();
    m_canvas.SetRasterOp(RasterOp::NotXorPen);

    m_canvas.DrawMarker({20, 20}, MarkerShape::Cross, 15, Ink);
    EXPECT_NE(m_canvas.Pixel(20, 20), Background);
    m_canvas.DrawMarker({20, 20}, MarkerShape::Cross, 15, Ink);
    EXPECT_EQ(Changed(before), 0);

    m_canvas.DrawMarker({20, 20}, MarkerShape::X, 15, Ink);
    EXPECT_NE(m_canvas.Pixel(20, 20), Background);
    m_canvas.DrawMarker({20, 20}, MarkerShape::X, 15, Ink);
    EXPECT_EQ(Changed(before), 0);

    // A path crossing itself.
    const std::vector<PixelPath> bowtie{{{5, 5}, {40, 40}, {40, 5}, {5, 40}}};
    m_canvas.StrokePaths(bowtie, {Ink, 3.0, LineStyle::Solid});
    EXPECT_NE(m_canvas.Pixel(22, 22), Background);
    m_canvas.StrokePaths(bowtie, {Ink, 3.0, LineStyle::Solid});
    EXPECT_EQ(Changed(before), 0);

    // Crossing hatch lines.
    const std::vector<PixelPath> square{{{2, 2}, {60, 2}, {60, 46}, {2, 46}}};
    m_canvas.FillRings(square, {Ink, FillStyle::Cross});
    EXPECT_NE(m_canvas.Pixel(8, 8), Background);  // where the lines cross
    const int hatched = Changed(before);
    EXPECT_GT(hatched, 0);
    EXPECT_LT(hatched, 58 * 44 / 2);  // the gaps between the lines are left alone
    m_canvas.FillRings(square, {Ink, FillStyle::Cross});
    EXPECT_EQ(Changed(before), 0);
}

TEST_F(QImageCanvasTest, HatchesAndDashesLeaveGaps) {
    const auto before = m_canvas.Pixels();
    m_canvas.FillRings({{{0, 0}, {64, 0}, {64, 48}, {0, 48}}}, {Ink, FillStyle::BackwardDiagonal});
    // Backward diagonal runs from upper left to lower right: (x, y) and (x+1, y+1) alike.
    EXPECT_EQ(m_canvas.Pixel(8, 8), Ink);
    EXPECT_EQ(m_canvas.Pixel(9, 9), Ink);
    EXPECT_EQ(m_canvas.Pixel(12, 8), Background);
    m_canvas.Clear(Background);
    m_canvas.StrokePaths({{{0, 20.5}, {64, 20.5}}}, {Ink, 1.0, LineStyle::Dash});
    int inked = 0;
    for (int x = 0; x < 64; ++x) inked += m_canvas.Pixel(x, 20) == Ink;
    EXPECT_GT(inked, 16);
    EXPECT_LT(inked, 60);
    (void)before;
}

// Hatches belong to the window's pixel grid: any shape, wherever it lies, shows
// the same lines where it covers the same pixels.
TEST_F(QImageCanvasTest, HatchesLieOnTheWindowGridWhereverTheShapeIs) {
    for (FillStyle style :
         {FillStyle::Horizontal, FillStyle::Vertical, FillStyle::ForwardDiagonal,
          FillStyle::BackwardDiagonal, FillStyle::Cross, FillStyle::DiagonalCross}) {
        m_canvas.Clear(Background);
        m_canvas.FillRings({{{0, 0}, {64, 0}, {64, 48}, {0, 48}}}, {Ink, style});
        const auto whole = m_canvas.Pixels();
        m_canvas.Clear(Background);
        // A small shape far from the origin.
        m_canvas.FillRings({{{41, 29}, {63, 29}, {63, 47}, {41, 47}}}, {Ink, style});
        const auto part = m_canvas.Pixels();
        int inked = 0;
        for (int y = 29; y < 47; ++y) {
            for (int x = 41; x < 63; ++x) {
                const std::size_t i =
                    static_cast<std::size_t>(y) * 64 + static_cast<std::size_t>(x);
                EXPECT_EQ(part[i], whole[i])
                    << "style " << static_cast<int>(style) << " at " << x << "," << y;
                inked += part[i] == Ink.ToPixel();
            }
        }
        EXPECT_GT(inked, 22) << "style " << static_cast<int>(style);
    }
}

TEST_F(QImageCanvasTest, MarkersHaveTheirSizeInPixels) {
    m_canvas.DrawMarker({32, 24}, MarkerShape::Square, 16, Ink);
    EXPECT_EQ(m_canvas.Pixel(25, 17), Ink);
    EXPECT_EQ(m_canvas.Pixel(38, 30), Ink);
    EXPECT_EQ(m_canvas.Pixel(22, 24), Background);
    EXPECT_EQ(m_canvas.Pixel(42, 24), Background);
}

TEST_F(QImageCanvasTest, ResizeChecksTheSize) {
    EXPECT_THROW(m_canvas.Resize(0, 10), Error);
    EXPECT_THROW(m_canvas.Resize(10, kMaxScreenSide + 1), Error);
    EXPECT_EQ(m_canvas.Width(), 64);
    m_canvas.Resize(10, 20);
    EXPECT_EQ(m_canvas.Width(), 10);
    EXPECT_EQ(m_canvas.Height(), 20);
}

TEST_F(QImageCanvasTest, NonFiniteCoordinatesDrawNothing) {
    const auto before = m_canvas.Pixels();
    const double inf = std::numeric_limits<double>::infinity();
    m_canvas.FillRings({{{0, 0}, {inf, 0}, {10, 10}}}, {Ink, FillStyle::Solid});
    m_canvas.StrokePaths({{{0, 0}, {0, std::nan("")}}}, {Ink, 1.0, LineStyle::Solid});
    m_canvas.DrawMarker({inf, 3}, MarkerShape::Circle, 10, Ink);
    EXPECT_EQ(Changed(before), 0);
}

}  // namespace
}  // namespace velorin::memory
