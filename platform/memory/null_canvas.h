#pragma once

#include <cstdint>
#include <vector>

#include "platform/memory/canvas.h"

namespace velorin::memory {

// A canvas that keeps a size and draws nothing: every pixel reads black (0). For
// tests and batch runs that never look at the screen.
class NullCanvas final : public Canvas {
  public:
    // Sizes below 1 become 1.
    NullCanvas(int width, int height);

    int Width() const override { return m_width; }
    int Height() const override { return m_height; }
    void Resize(int width, int height) override;
    void Clear(Rgb) override {}
    void SetRasterOp(RasterOp) override {}
    void StrokePaths(const std::vector<PixelPath>&, const LinePen&) override {}
    void FillRings(const std::vector<PixelPath>&, const FillBrush&) override {}
    void DrawMarker(PixelXY, MarkerShape, double, Rgb) override {}
    // Raises velorin::Error (E_HOST_INVALIDARG) outside the canvas.
    Rgb Pixel(int x, int y) const override;
    std::vector<std::uint32_t> Pixels() const override;

  private:
    int m_width;
    int m_height;
};

}  // namespace velorin::memory
