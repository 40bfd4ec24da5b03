// The reference host's GDI canvas: colours and raster operations as GDI applies
// them, each pixel of a shape touched once, and not-XOR drawn twice restoring
// every pixel, the promise a flash depends on.
#include "platform/memory/gdi/gdi_canvas.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "host/error.h"
#include "tests/com/check.h"

namespace {

using velorin::memory::GdiCanvas;
using velorin::memory::kMaxScreenSide;
using velorin::memory::PixelPath;
using velorin::memory::RasterOp;
using velorin::objects::FillStyle;
using velorin::objects::LineStyle;
using velorin::objects::MarkerShape;
using velorin::objects::Rgb;

constexpr Rgb kBackground{200, 100, 50};
constexpr Rgb kInk{50, 50, 175};

int Changed(const GdiCanvas& canvas, const std::vector<std::uint32_t>& before) {
    const auto after = canvas.Pixels();
    int changed = 0;
    for (std::size_t i = 0; i < after.size(); ++i) changed += after[i] != before[i];
    return changed;
}

std::uint8_t Inverse(std::uint8_t v) { return static_cast<std::uint8_t>(~v); }

VELORIN_CASE(GdiCanvas, ClearPaintsEveryPixelAndReadsBackAsRgb) {
    GdiCanvas canvas(64, 48);
    CHECK(canvas.Pixel(10, 10) == (Rgb{0, 0, 0}));
    canvas.Clear(kBackground);
    CHECK(canvas.Pixel(0, 0) == kBackground);
    CHECK(canvas.Pixel(63, 47) == kBackground);
    const auto pixels = canvas.Pixels();
    REQUIRE_EQ(pixels.size(), std::size_t{64 * 48});
    CHECK_EQ(pixels.front(), 0xC86432U);
    bool outsideRaises = false;
    try {
        canvas.Pixel(64, 0);
    } catch (const velorin::Error&) {
        outsideRaises = true;
    }
    CHECK(outsideRaises);
}

VELORIN_CASE(GdiCanvas, FillsKeepTheirRingsAndHoles) {
    GdiCanvas canvas(64, 48);
    canvas.Clear(kBackground);
    canvas.FillRings(
        {{{4, 4}, {44, 4}, {44, 44}, {4, 44}}, {{14, 14}, {34, 14}, {34, 34}, {14, 34}}},
        {kInk, FillStyle::Solid});
    CHECK(canvas.Pixel(8, 8) == kInk);
    CHECK(canvas.Pixel(43, 43) == kInk);
    CHECK(canvas.Pixel(24, 24) == kBackground);  // the hole
    CHECK(canvas.Pixel(50, 8) == kBackground);
    CHECK(canvas.Pixel(44, 44) == kBackground);  // a ring's far edge is outside it
}

VELORIN_CASE(GdiCanvas, RasterOperationsCombinePenAndScreen) {
    GdiCanvas canvas(16, 16);
    const std::vector<PixelPath> square{{{0, 0}, {8, 0}, {8, 8}, {0, 8}}};
    struct Case {
        RasterOp op;
        Rgb expected;
    };
    const Rgb p = kInk;
    const Rgb d = kBackground;
    const Case cases[] = {
        {RasterOp::CopyPen, p},
        {RasterOp::XorPen,
         {static_cast<std::uint8_t>(p.red ^ d.red), static_cast<std::uint8_t>(p.green ^ d.green),
          static_cast<std::uint8_t>(p.blue ^ d.blue)}},
        {RasterOp::NotXorPen,
         {Inverse(p.red ^ d.red), Inverse(p.green ^ d.green), Inverse(p.blue ^ d.blue)}},
        {RasterOp::Not, {Inverse(d.red), Inverse(d.green), Inverse(d.blue)}},
        {RasterOp::MergePen,
         {static_cast<std::uint8_t>(p.red | d.red), static_cast<std::uint8_t>(p.green | d.green),
          static_cast<std::uint8_t>(p.blue | d.blue)}},
        {RasterOp::Black, {0, 0, 0}},
        {RasterOp::White, {255, 255, 255}},
        {RasterOp::Nop, d},
    };
    for (const Case& c : cases) {
        canvas.Clear(kBackground);
        canvas.SetRasterOp(c.op);
        canvas.FillRings(square, {kInk, FillStyle::Solid});
        if (!CHECK(canvas.Pixel(4, 4) == c.expected)) {
            velorin::check::Fail(__FILE__, __LINE__,
                                 "raster operation " + std::to_string(static_cast<int>(c.op)));
        }
        CHECK(canvas.Pixel(12, 12) == kBackground);
    }
}

// Shapes whose parts overlap must still touch each pixel once: otherwise the
// overlap cancels out under an inverting operation while the flash is shown.
VELORIN_CASE(GdiCanvas, NotXorDrawsOverlapsOnceAndTwiceRestoresEveryPixel) {
    GdiCanvas canvas(64, 48);
    canvas.Clear(kBackground);
    // A map-like background, so that restoring means more than one colour.
    canvas.FillRings({{{0, 0}, {30, 0}, {30, 48}, {0, 48}}}, {kInk, FillStyle::Solid});
    const auto before = canvas.Pixels();
    canvas.SetRasterOp(RasterOp::NotXorPen);
    const Rgb flash{255, 0, 0};

    for (const MarkerShape shape :
         {MarkerShape::Cross, MarkerShape::X, MarkerShape::Circle, MarkerShape::Square,
          MarkerShape::Diamond, MarkerShape::Picture}) {
        canvas.DrawMarker({20, 20}, shape, 15, flash);
        const int shown = Changed(canvas, before);
        canvas.DrawMarker({20, 20}, shape, 15, flash);
        if (!CHECK(shown > 0) || !CHECK_EQ(Changed(canvas, before), 0)) {
            velorin::check::Fail(__FILE__, __LINE__,
                                 "marker " + std::to_string(static_cast<int>(shape)));
        }
    }
    // The arms of a cross meet in the middle, and the middle still shows.
    canvas.DrawMarker({20, 20}, MarkerShape::X, 15, flash);
    CHECK(canvas.Pixel(20, 20) != Rgb::FromPixel(before[20 * 64 + 20]));
    canvas.DrawMarker({20, 20}, MarkerShape::X, 15, flash);

    // A thick line crossing itself, dashed and solid.
    const std::vector<PixelPath> bowtie{{{5, 5}, {40, 40}, {40, 5}, {5, 40}}};
    for (const LineStyle style : {LineStyle::Solid, LineStyle::Dash, LineStyle::DashDot}) {
        canvas.StrokePaths(bowtie, {flash, 3.0, style});
        const int shown = Changed(canvas, before);
        if (style == LineStyle::Solid) {
            // Where the line crosses itself.
            CHECK(canvas.Pixel(22, 22) != Rgb::FromPixel(before[22 * 64 + 22]));
        }
        canvas.StrokePaths(bowtie, {flash, 3.0, style});
        if (!CHECK(shown > 0) || !CHECK_EQ(Changed(canvas, before), 0)) {
            velorin::check::Fail(__FILE__, __LINE__,
                                 "line style " + std::to_string(static_cast<int>(style)));
        }
    }

    // A polygon with a hole, solid and with crossing hatches.
    const std::vector<PixelPath> rings{{{2, 2}, {60, 2}, {60, 46}, {2, 46}},
                                       {{20, 20}, {40, 20}, {40, 30}, {20, 30}}};
    for (const FillStyle style : {FillStyle::Solid, FillStyle::Cross, FillStyle::DiagonalCross}) {
        canvas.FillRings(rings, {flash, style});
        const int shown = Changed(canvas, before);
        canvas.FillRings(rings, {flash, style});
        if (!CHECK(shown > 0) || !CHECK_EQ(Changed(canvas, before), 0)) {
            velorin::check::Fail(__FILE__, __LINE__,
                                 "fill style " + std::to_string(static_cast<int>(style)));
        }
        if (style != FillStyle::Solid) {
            CHECK(shown < 58 * 44 / 2);  // the gaps between hatch lines are left alone
        }
    }
}

VELORIN_CASE(GdiCanvas, HatchesRunTheirWayOnTheWindowGrid) {
    GdiCanvas canvas(64, 48);
    canvas.Clear(kBackground);
    canvas.FillRings({{{0, 0}, {64, 0}, {64, 48}, {0, 48}}}, {kInk, FillStyle::BackwardDiagonal});
    // Backward diagonal falls to the right: find an inked pixel, and the pixel
    // down and to the right of it is inked too.
    int x = 0;
    while (x < 16 && canvas.Pixel(x, 8) != kInk) ++x;
    REQUIRE(x < 16);
    CHECK(canvas.Pixel(x + 1, 9) == kInk);
    CHECK(canvas.Pixel(x + 4, 8) == kBackground);

    const auto whole = canvas.Pixels();
    canvas.Clear(kBackground);
    canvas.FillRings({{{41, 29}, {63, 29}, {63, 47}, {41, 47}}},
                     {kInk, FillStyle::BackwardDiagonal});
    const auto part = canvas.Pixels();
    int differing = 0;
    for (int y = 30; y < 46; ++y) {
        for (int px = 42; px < 62; ++px) {
            const std::size_t i = static_cast<std::size_t>(y) * 64 + static_cast<std::size_t>(px);
            differing += part[i] != whole[i];
        }
    }
    CHECK_EQ(differing, 0);
}

VELORIN_CASE(GdiCanvas, MarkersHaveTheirSizeAndDashesLeaveGaps) {
    GdiCanvas canvas(64, 48);
    canvas.Clear(kBackground);
    canvas.DrawMarker({32, 24}, MarkerShape::Square, 16, kInk);
    CHECK(canvas.Pixel(25, 17) == kInk);
    CHECK(canvas.Pixel(38, 30) == kInk);
    CHECK(canvas.Pixel(22, 24) == kBackground);
    CHECK(canvas.Pixel(42, 24) == kBackground);
    canvas.Clear(kBackground);
    canvas.StrokePaths({{{0, 20.5}, {64, 20.5}}}, {kInk, 1.0, LineStyle::Dash});
    int inked = 0;
    for (int x = 0; x < 64; ++x) {
        for (int y = 19; y <= 21; ++y) inked += canvas.Pixel(x, y) == kInk;
    }
    CHECK(inked > 16);
    CHECK(inked < 60);
}

VELORIN_CASE(GdiCanvas, BadSizesAndCoordinatesChangeNothing) {
    GdiCanvas canvas(64, 48);
    canvas.Clear(kBackground);
    const auto before = canvas.Pixels();
    const double inf = std::numeric_limits<double>::infinity();
    canvas.FillRings({{{0, 0}, {inf, 0}, {10, 10}}}, {kInk, FillStyle::Solid});
    canvas.StrokePaths({{{0, 0}, {0, std::nan("")}}}, {kInk, 1.0, LineStyle::Solid});
    canvas.DrawMarker({inf, 3}, MarkerShape::Circle, 10, kInk);
    canvas.StrokePaths({{{1, 1}, {5, 5}}}, {kInk, 2.0, LineStyle::Null});
    canvas.FillRings({{{0, 0}, {20, 0}, {20, 20}}}, {kInk, FillStyle::Hollow});
    CHECK_EQ(Changed(canvas, before), 0);
    // Far-away points are clamped, not wrapped: the visible part still fills.
    canvas.FillRings({{{-1e12, -1e12}, {1e12, -1e12}, {1e12, 1e12}, {-1e12, 1e12}}},
                     {kInk, FillStyle::Solid});
    CHECK(canvas.Pixel(32, 24) == kInk);

    for (const auto& size : {std::pair{0, 10}, std::pair{10, kMaxScreenSide + 1}}) {
        bool raised = false;
        try {
            canvas.Resize(size.first, size.second);
        } catch (const velorin::Error&) {
            raised = true;
        }
        CHECK(raised);
    }
    CHECK_EQ(canvas.Width(), 64);
    canvas.Resize(10, 20);
    CHECK_EQ(canvas.Width(), 10);
    CHECK_EQ(canvas.Height(), 20);
    CHECK(canvas.Pixel(9, 19) == (Rgb{0, 0, 0}));
}

}  // namespace
