#pragma once

#include <QImage>
#include <memory>

#include "platform/memory/canvas.h"

namespace velorin::memory {

// The reference host's screen as a QImage (Format_RGB32), painted with QPainter
// with antialiasing off: raster operations then touch whole pixels, and a shape
// drawn twice with an inverting operation gives back every pixel exactly. Needs
// no QGuiApplication (it never draws text).
class QImageCanvas final : public Canvas {
  public:
    // Raises velorin::Error unless 1 <= width, height <= kMaxScreenSide.
    QImageCanvas(int width, int height);

    // The pixels as an image, for the map widget and PNG frames.
    const QImage& Image() const { return m_image; }

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
    QImage m_image;
    RasterOp m_op = RasterOp::CopyPen;
};

// A new canvas of the given size, cleared to black.
std::unique_ptr<Canvas> MakeQImageCanvas(int width, int height);

}  // namespace velorin::memory
