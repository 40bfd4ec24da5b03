#pragma once

#include <QImage>
#include <memory>
#include <unordered_map>
#include <vector>

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
    // A marker's pixels as runs along rows, relative to the pixel holding its
    // centre.
    struct Span {
        int dy;
        int from;
        int to;  // exclusive
    };
    using Stamp = std::vector<Span>;
    // Centres are taken to 1/64 of a pixel, the rasteriser's own precision.
    static constexpr double StampSteps = 64.0;
    static constexpr double MaxStampPx = 64.0;
    static constexpr std::size_t MaxStamps = 16384;
    struct StampKey {
        MarkerShape shape;
        double size;
        int fx;
        int fy;
        friend bool operator==(const StampKey&, const StampKey&) = default;
    };
    struct StampKeyHash {
        std::size_t operator()(const StampKey& key) const noexcept;
    };
    const Stamp& StampFor(const StampKey& key);

    QImage m_image;
    RasterOp m_op = RasterOp::CopyPen;
    std::unordered_map<StampKey, Stamp, StampKeyHash> m_stamps;
};

// A new canvas of the given size, cleared to black.
std::unique_ptr<Canvas> MakeQImageCanvas(int width, int height);

}  // namespace velorin::memory
