#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/memory/canvas.h"

namespace velorin::memory {

// The reference host's screen as a 32-bit top-down DIB section, drawn with GDI
// so that a Windows host embedding the reference host sees the pixels a real
// display would get. Every shape goes through a GDI path filled once with the
// symbol's raster operation (SetROP2): a stroke is the path widened by the pen
// and filled by the winding rule, so overlapping parts (a line crossing itself,
// the arms of a cross marker) cover their pixels once, and an inverting
// operation drawn twice gives back every pixel. Hatches are GDI's 8-pixel
// hatch brushes on the window's grid, drawn with a transparent background.
//
// Coordinates are rounded to whole pixels (a pixel's top-left corner is its
// integer coordinate) and clamped to a range GDI can handle; a point that is not
// finite leaves its path out, as on the Qt canvas.
//
// Windows only. The Windows types stay inside the implementation, so this
// header can be seen together with the host object model.
class GdiCanvas final : public Canvas {
  public:
    // Raises velorin::Error unless 1 <= width, height <= kMaxScreenSide, or when the
    // system cannot make the bitmap (a 32-bit process runs out of room long
    // before kMaxScreenSide squared).
    GdiCanvas(int width, int height);
    ~GdiCanvas() override;
    GdiCanvas(const GdiCanvas&) = delete;
    GdiCanvas(GdiCanvas&&) = delete;
    GdiCanvas& operator=(const GdiCanvas&) = delete;
    GdiCanvas& operator=(GdiCanvas&&) = delete;

    int Width() const override;
    int Height() const override;
    void Resize(int width, int height) override;
    void Clear(Rgb color) override;
    void SetRasterOp(RasterOp op) override;
    void StrokePaths(const std::vector<PixelPath>& paths, const LinePen& pen) override;
    void FillRings(const std::vector<PixelPath>& rings, const FillBrush& brush) override;
    void DrawMarker(PixelXY centre, MarkerShape shape, double sizePx, Rgb color) override;
    Rgb Pixel(int x, int y) const override;
    std::vector<std::uint32_t> Pixels() const override;

  private:
    struct Surface;

    std::unique_ptr<Surface> m_surface;
    RasterOp m_op = RasterOp::CopyPen;
};

// A new GDI canvas of the given size, cleared to black.
std::unique_ptr<Canvas> MakeGdiCanvas(int width, int height);

}  // namespace velorin::memory
