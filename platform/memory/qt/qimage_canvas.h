#pragma once

#include <QImage>
#include <cstdint>
#include <memory>
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
    // The same pixels to draw on directly, beside the canvas's own calls (a
    // benchmark's floor draws on the very screen the map is drawn on).
    QImage& MutableImage();

    int Width() const override;
    int Height() const override;
    void Resize(int width, int height) override;
    void Clear(Rgb color) override;
    void SetRasterOp(RasterOp op) override;
    void StrokePaths(const std::vector<PixelPath>& paths, const LinePen& pen) override;
    void FillRings(const std::vector<PixelPath>& rings, const FillBrush& brush) override;
    void DrawMarker(PixelXY centre, MarkerShape shape, double sizePx, Rgb color) override;
    void DrawMarkers(std::span<const MarkerAt> markers, MarkerShape shape, double sizePx) override;
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
    // Centres are taken to 1/64 of a pixel, the rasteriser's own precision.
    static constexpr int StampSteps = 64;
    static constexpr double MaxStampPx = 64.0;
    // The stamps of one shape and size, one per fraction of a pixel the centre
    // falls on, each made when first needed.
    struct StampSet {
        static constexpr std::uint32_t Unmade = 0xFFFFFFFFU;
        MarkerShape shape;
        double size;
        int half;  // no span reaches further than this from the centre's pixel
        std::vector<std::uint32_t> begins;  // per fraction: first span, or Unmade
        std::vector<std::uint32_t> ends;
        std::vector<Span> spans;
    };
    // Bounds on what the stamps keep: beyond them every set is dropped and made again.
    static constexpr std::size_t MaxStampSets = 64;
    static constexpr std::size_t MaxStampSpans = std::size_t{1} << 20;

    StampSet& StampSetFor(MarkerShape shape, double size);
    static void MakeStamp(StampSet& set, int fx, int fy);
    // Paints the set's stamp for the fraction of a pixel `fraction` with its
    // centre in pixel (ix, iy), clipped to the screen, in the current operation.
    void StampAt(StampSet& set, long long ix, long long iy, std::size_t fraction, QRgb ink);
    void DrawMarkerPath(PixelXY centre, MarkerShape shape, double size, Rgb color);
    // Notes that pixels inside the area (in pixels) may have changed.
    void MarkDrawn(const QRectF& area);
    void AddDirty(const QRect& pixels);

    QImage m_image;
    RasterOp m_op = RasterOp::CopyPen;
    // Since the last Clear every pixel outside the m_dirty rectangles holds
    // m_clearColor (when m_cleared): the next Clear in that colour repaints only
    // them. Redraws after a zoom then cost what they draw, not the whole screen.
    // Beyond MaxDirtyRects they merge into the rectangle around them all.
    static constexpr std::size_t MaxDirtyRects = 32;
    bool m_cleared = true;
    Rgb m_clearColor;
    std::vector<QRect> m_dirty;
    std::vector<std::unique_ptr<StampSet>> m_stampSets;
    std::size_t m_stampSpans = 0;  // spans held by every set
};

// A new canvas of the given size, cleared to black.
std::unique_ptr<Canvas> MakeQImageCanvas(int width, int height);

}  // namespace velorin::memory
