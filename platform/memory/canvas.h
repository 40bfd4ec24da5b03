#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "platform/objects/symbol_look.h"

// The surface the reference host draws its screen on. Coordinates are pixels,
// x to the right and y down from the top-left corner of the window, as doubles;
// pixel (i, j) covers [i, i+1) x [j, j+1). A canvas knows nothing of maps,
// symbols or layers: the view turns those into pens, brushes and pixel paths.
//
// Every drawing call paints each pixel it touches exactly once, whatever the
// shape's overlaps (a path crossing itself, crossing hatch lines, the arms of a
// cross marker). That is what makes an inverting raster operation drawn twice
// give back every pixel as it was.
namespace velorin::memory {

using objects::FillStyle;
using objects::LinePen;
using objects::LineStyle;
using objects::MarkerShape;
using objects::Rgb;

// The largest width and height of a screen in pixels, for every canvas and the view.
inline constexpr int kMaxScreenSide = 16384;

struct PixelXY {
    double x = 0.0;
    double y = 0.0;
};

using PixelPath = std::vector<PixelXY>;

// How a drawing combines with the screen, numbered as the host's raster
// operations (the Windows R2_ codes): P is the pen or brush colour, D the screen.
enum class RasterOp : int {
    Black = 1,         // 0
    NotMergePen = 2,   // ~(P | D)
    MaskNotPen = 3,    // ~P & D
    NotCopyPen = 4,    // ~P
    MaskPenNot = 5,    // P & ~D
    Not = 6,           // ~D
    XorPen = 7,        // P ^ D
    NotMaskPen = 8,    // ~(P & D)
    MaskPen = 9,       // P & D
    NotXorPen = 10,    // ~(P ^ D)
    Nop = 11,          // D
    MergeNotPen = 12,  // ~P | D
    CopyPen = 13,      // P
    MergePenNot = 14,  // P | ~D
    MergePen = 15,     // P | D
    White = 16,        // 1
};

// One marker of a run drawn by DrawMarkers.
struct MarkerAt {
    PixelXY centre;
    Rgb color;
};

struct FillBrush {
    Rgb color;
    FillStyle style = FillStyle::Solid;
};

class Canvas {
  public:
    Canvas() = default;
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;
    Canvas(Canvas&&) = delete;
    Canvas& operator=(Canvas&&) = delete;
    virtual ~Canvas() = default;

    virtual int Width() const = 0;
    virtual int Height() const = 0;
    // New size in pixels (both at least 1); the content is cleared to black.
    virtual void Resize(int width, int height) = 0;

    // Paints every pixel in the colour, whatever the raster operation.
    virtual void Clear(Rgb color) = 0;
    // Applies to the drawing calls that follow; CopyPen until set.
    virtual void SetRasterOp(RasterOp op) = 0;

    // Strokes the paths (open polylines; a ring is closed by repeating its first
    // point) as one shape. Joins are mitred; no mitre reaches further than about
    // twice the width from its vertex (what the redraw allows for, see ReachPx).
    virtual void StrokePaths(const std::vector<PixelPath>& paths, const LinePen& pen) = 0;
    // Fills the rings as one even-odd area: a ring inside another is a hole.
    virtual void FillRings(const std::vector<PixelPath>& rings, const FillBrush& brush) = 0;
    // A marker sizePx across, centred on the point, in one colour.
    virtual void DrawMarker(PixelXY centre, MarkerShape shape, double sizePx, Rgb color) = 0;
    // Markers of one shape and size, each drawn as DrawMarker draws it, in order.
    virtual void DrawMarkers(std::span<const MarkerAt> markers, MarkerShape shape, double sizePx) {
        for (const MarkerAt& marker : markers)
            DrawMarker(marker.centre, shape, sizePx, marker.color);
    }

    // The pixel at (x, y); raises velorin::Error outside the canvas.
    virtual Rgb Pixel(int x, int y) const = 0;
    // Every pixel, row by row from the top, as 0x00RRGGBB.
    virtual std::vector<std::uint32_t> Pixels() const = 0;
};

}  // namespace velorin::memory
