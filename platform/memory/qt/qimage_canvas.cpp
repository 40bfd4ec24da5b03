#include "platform/memory/qt/qimage_canvas.h"

#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#if defined(__linux__)
#include <sys/mman.h>
#endif

#include "host/codes.h"
#include "host/error.h"

namespace velorin::memory {

namespace {

constexpr double HatchSpacingPx = 8.0;

void CheckSize(int width, int height) {
    if (width < 1 || height < 1 || width > kMaxScreenSide || height > kMaxScreenSide) {
        throw Error(host::E_HOST_INVALIDARG, "A screen of " + std::to_string(width) + " x " +
                                                 std::to_string(height) +
                                                 " pixels is not possible (1 to " +
                                                 std::to_string(kMaxScreenSide) + " on each side)");
    }
}

QColor ToQColor(Rgb color) { return QColor(color.red, color.green, color.blue); }

QPainter::CompositionMode ToComposition(RasterOp op) {
    switch (op) {
        case RasterOp::Black:
            return QPainter::RasterOp_ClearDestination;
        case RasterOp::NotMergePen:
            return QPainter::RasterOp_NotSourceAndNotDestination;
        case RasterOp::MaskNotPen:
            return QPainter::RasterOp_NotSourceAndDestination;
        case RasterOp::NotCopyPen:
            return QPainter::RasterOp_NotSource;
        case RasterOp::MaskPenNot:
            return QPainter::RasterOp_SourceAndNotDestination;
        case RasterOp::Not:
            return QPainter::RasterOp_NotDestination;
        case RasterOp::XorPen:
            return QPainter::RasterOp_SourceXorDestination;
        case RasterOp::NotMaskPen:
            return QPainter::RasterOp_NotSourceOrNotDestination;
        case RasterOp::MaskPen:
            return QPainter::RasterOp_SourceAndDestination;
        case RasterOp::NotXorPen:
            return QPainter::RasterOp_NotSourceXorDestination;
        case RasterOp::MergeNotPen:
            return QPainter::RasterOp_NotSourceOrDestination;
        case RasterOp::MergePenNot:
            return QPainter::RasterOp_SourceOrNotDestination;
        case RasterOp::MergePen:
            return QPainter::RasterOp_SourceOrDestination;
        case RasterOp::White:
            return QPainter::RasterOp_SetDestination;
        case RasterOp::Nop:
        case RasterOp::CopyPen:
            break;
    }
    return QPainter::CompositionMode_Source;
}

// What the raster operation makes of the pen and a screen pixel (0x00RRGGBB
// each), as the painter's composition mode for it (ToComposition) makes it;
// always opaque.
QRgb Combined(RasterOp op, QRgb pen, QRgb screen) {
    QRgb out = screen;
    switch (op) {
        case RasterOp::Black:
            out = 0;
            break;
        case RasterOp::NotMergePen:
            out = ~(pen | screen);
            break;
        case RasterOp::MaskNotPen:
            out = ~pen & screen;
            break;
        case RasterOp::NotCopyPen:
            out = ~pen;
            break;
        case RasterOp::MaskPenNot:
            out = pen & ~screen;
            break;
        case RasterOp::Not:
            out = ~screen;
            break;
        case RasterOp::XorPen:
            out = pen ^ screen;
            break;
        case RasterOp::NotMaskPen:
            out = ~(pen & screen);
            break;
        case RasterOp::MaskPen:
            out = pen & screen;
            break;
        case RasterOp::NotXorPen:
            out = ~(pen ^ screen);
            break;
        case RasterOp::Nop:
            break;
        case RasterOp::MergeNotPen:
            out = ~pen | screen;
            break;
        case RasterOp::CopyPen:
            out = pen;
            break;
        case RasterOp::MergePenNot:
            out = pen | ~screen;
            break;
        case RasterOp::MergePen:
            out = pen | screen;
            break;
        case RasterOp::White:
            out = 0xFFFFFFU;
            break;
    }
    return out | 0xFF000000U;
}

Qt::PenStyle ToDashes(LineStyle style) {
    switch (style) {
        case LineStyle::Dash:
            return Qt::DashLine;
        case LineStyle::Dot:
            return Qt::DotLine;
        case LineStyle::DashDot:
            return Qt::DashDotLine;
        case LineStyle::DashDotDot:
            return Qt::DashDotDotLine;
        case LineStyle::Solid:
        case LineStyle::Null:
            break;
    }
    return Qt::SolidLine;
}

bool Finite(PixelXY p) { return std::isfinite(p.x) && std::isfinite(p.y); }

// The area a stroke covers, as one path filled by the non-zero rule: pixels
// where strokes overlap belong to it once.
QPainterPath StrokeArea(const QPainterPath& centreLines, double widthPx, Qt::PenStyle dashes) {
    QPainterPathStroker stroker;
    stroker.setWidth(std::max(1.0, widthPx));
    stroker.setCapStyle(Qt::FlatCap);
    stroker.setJoinStyle(Qt::MiterJoin);
    stroker.setDashPattern(dashes);
    return stroker.createStroke(centreLines);
}

// Hatch centre lines over a pixel rectangle, anchored to the window's grid.
QPainterPath HatchLines(const QRectF& area, FillStyle style) {
    QPainterPath lines;
    const double left = std::floor(area.left() / HatchSpacingPx) * HatchSpacingPx;
    const double top = std::floor(area.top() / HatchSpacingPx) * HatchSpacingPx;
    const double right = area.right() + HatchSpacingPx;
    const double bottom = area.bottom() + HatchSpacingPx;
    const bool horizontal = style == FillStyle::Horizontal || style == FillStyle::Cross;
    const bool vertical = style == FillStyle::Vertical || style == FillStyle::Cross;
    const bool rising = style == FillStyle::ForwardDiagonal || style == FillStyle::DiagonalCross;
    const bool falling = style == FillStyle::BackwardDiagonal || style == FillStyle::DiagonalCross;
    // Centres half a pixel in, so a one-pixel line covers exactly one pixel row.
    if (horizontal) {
        for (double y = top; y <= bottom; y += HatchSpacingPx) {
            lines.moveTo(left, y + 0.5);
            lines.lineTo(right, y + 0.5);
        }
    }
    if (vertical) {
        for (double x = left; x <= right; x += HatchSpacingPx) {
            lines.moveTo(x + 0.5, top);
            lines.lineTo(x + 0.5, bottom);
        }
    }
    const double span = (right - left) + (bottom - top);
    if (falling) {  // x - y = c, from upper left to lower right
        // c runs over [left - bottom, right - top] in whole spacings from left - top,
        // so lines cover areas far from the window's top and stay on the grid.
        const double rows = std::ceil((bottom - top) / HatchSpacingPx) * HatchSpacingPx;
        for (double c = left - top - rows; c <= right - top; c += HatchSpacingPx) {
            lines.moveTo(c + top + 0.5, top);
            lines.lineTo(c + top + 0.5 + span, top + span);
        }
    }
    if (rising) {  // x + y = c, from lower left to upper right
        for (double c = left + top; c <= right + bottom; c += HatchSpacingPx) {
            lines.moveTo(c - bottom + 0.5, bottom);
            lines.lineTo(c - bottom + 0.5 + span, bottom - span);
        }
    }
    return lines;
}

// The screen's pixels. Every redraw writes all of them, so on Linux they lie in
// huge pages where the kernel allows it: a redraw then does not push the map's
// own data out of the address translation caches, and redraws cost the same
// wherever the allocator happened to put the screen.
#if defined(__linux__)
QImage NewScreen(int width, int height) {
    constexpr std::size_t Huge = std::size_t{2} << 20;
    const std::size_t bytes =
        static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * sizeof(QRgb);
    if (bytes < Huge / 2) return QImage(width, height, QImage::Format_RGB32);
    const std::size_t rounded = (bytes + Huge - 1) / Huge * Huge;
    void* memory = std::aligned_alloc(Huge, rounded);
    if (memory == nullptr) return QImage(width, height, QImage::Format_RGB32);
    madvise(memory, rounded, MADV_HUGEPAGE);  // only advice: the pixels work either way
    return QImage(
        static_cast<uchar*>(memory), width, height,
        static_cast<qsizetype>(width) * static_cast<qsizetype>(sizeof(QRgb)), QImage::Format_RGB32,
        [](void* block) { std::free(block); }, memory);
}
#else
QImage NewScreen(int width, int height) { return QImage(width, height, QImage::Format_RGB32); }
#endif

}  // namespace

QImageCanvas::QImageCanvas(int width, int height) {
    CheckSize(width, height);
    m_image = NewScreen(width, height);
    m_image.fill(Qt::black);
    m_cleared = true;
    m_clearColor = Rgb{};
    m_dirty.clear();
}

int QImageCanvas::Width() const { return m_image.width(); }
int QImageCanvas::Height() const { return m_image.height(); }

void QImageCanvas::Resize(int width, int height) {
    CheckSize(width, height);
    m_image = NewScreen(width, height);
    m_image.fill(Qt::black);
    m_cleared = true;
    m_clearColor = Rgb{};
    m_dirty.clear();
}

void QImageCanvas::Clear(Rgb color) {
    if (m_cleared && color == m_clearColor) {
        // Only what was drawn since the last clear differs from the colour.
        const QRgb ink = qRgb(color.red, color.green, color.blue);
        const qsizetype stride = m_image.bytesPerLine();
        uchar* bits = m_image.bits();
        for (const QRect& dirty : m_dirty) {
            for (int y = dirty.top(); y <= dirty.bottom(); ++y) {
                auto* line = reinterpret_cast<QRgb*>(bits + static_cast<qsizetype>(y) * stride);
                std::fill(line + dirty.left(), line + dirty.right() + 1, ink);
            }
        }
    } else {
        m_image.fill(ToQColor(color));
    }
    m_cleared = true;
    m_clearColor = color;
    m_dirty.clear();
}

QImage& QImageCanvas::MutableImage() {
    m_cleared = false;  // whatever is drawn on it is not tracked
    return m_image;
}

void QImageCanvas::MarkDrawn(const QRectF& area) {
    // Far beyond the screen the rasteriser's fixed-point arithmetic is not
    // trusted to keep to the area: all of the screen then counts as drawn.
    constexpr double Trusted = 1e6;
    if (!(std::abs(area.left()) < Trusted && std::abs(area.right()) < Trusted &&
          std::abs(area.top()) < Trusted && std::abs(area.bottom()) < Trusted)) {
        m_dirty.assign(1, m_image.rect());
        return;
    }
    // A pixel is painted when its centre is inside the area; one more on every
    // side leaves rounding no room.
    const QRect pixels(QPoint(static_cast<int>(std::floor(area.left())) - 1,
                              static_cast<int>(std::floor(area.top())) - 1),
                       QPoint(static_cast<int>(std::ceil(area.right())) + 1,
                              static_cast<int>(std::ceil(area.bottom())) + 1));
    AddDirty(pixels);
}

void QImageCanvas::AddDirty(const QRect& pixels) {
    const QRect inside = pixels & m_image.rect();
    if (inside.isEmpty()) return;
    for (const QRect& dirty : m_dirty) {
        if (dirty.contains(inside)) return;  // a flash's second drawing, say
    }
    if (m_dirty.size() == MaxDirtyRects) {
        QRect around;
        for (const QRect& dirty : m_dirty) around |= dirty;
        m_dirty.assign(1, around);
    }
    m_dirty.push_back(inside);
}

void QImageCanvas::SetRasterOp(RasterOp op) { m_op = op; }

void QImageCanvas::StrokePaths(const std::vector<PixelPath>& paths, const LinePen& pen) {
    if (m_op == RasterOp::Nop || pen.style == LineStyle::Null) return;
    QPainterPath centreLines;
    for (const PixelPath& path : paths) {
        if (path.size() < 2 || !std::all_of(path.begin(), path.end(), Finite)) continue;
        centreLines.moveTo(path.front().x, path.front().y);
        for (std::size_t i = 1; i < path.size(); ++i) centreLines.lineTo(path[i].x, path[i].y);
    }
    if (centreLines.isEmpty()) return;
    const double width =
        std::isfinite(pen.widthPx) ? std::min(pen.widthPx, 4.0 * kMaxScreenSide) : 1.0;
    const QPainterPath area = StrokeArea(centreLines, width, ToDashes(pen.style));
    MarkDrawn(area.controlPointRect());
    QPainter painter(&m_image);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setCompositionMode(ToComposition(m_op));
    painter.fillPath(area, ToQColor(pen.color));
}

void QImageCanvas::FillRings(const std::vector<PixelPath>& rings, const FillBrush& brush) {
    if (m_op == RasterOp::Nop || brush.style == FillStyle::Hollow) return;
    QPainterPath area;
    area.setFillRule(Qt::OddEvenFill);
    for (const PixelPath& ring : rings) {
        if (ring.size() < 3 || !std::all_of(ring.begin(), ring.end(), Finite)) continue;
        QPolygonF polygon;
        polygon.reserve(static_cast<qsizetype>(ring.size()));
        for (const PixelXY& p : ring) polygon << QPointF(p.x, p.y);
        area.addPolygon(polygon);
        area.closeSubpath();
    }
    if (area.isEmpty()) return;
    MarkDrawn(area.controlPointRect());
    QPainter painter(&m_image);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setCompositionMode(ToComposition(m_op));
    if (brush.style == FillStyle::Solid) {
        painter.fillPath(area, ToQColor(brush.color));
        return;
    }
    // Qt's own pattern brushes would push their transparent gaps through an
    // inverting raster operation too; hatch lines clipped to the area do not.
    const QRectF visible = area.boundingRect().intersected(QRectF(m_image.rect()));
    if (visible.isEmpty()) return;
    painter.setClipPath(area);
    painter.fillPath(StrokeArea(HatchLines(visible, brush.style), 1.0, Qt::SolidLine),
                     ToQColor(brush.color));
}

namespace {

// The area of a marker sizePx across (already clamped) centred on (cx, cy).
QPainterPath MarkerArea(MarkerShape shape, double cx, double cy, double size) {
    const double r = size / 2;
    // Line markers draw with a stroke an eighth of their size, at least a pixel.
    const double stroke = std::max(1.0, size / 8);
    QPainterPath area;
    switch (shape) {
        case MarkerShape::Circle:
            area.addEllipse(QPointF(cx, cy), r, r);
            break;
        case MarkerShape::Square:
            area.addRect(QRectF(cx - r, cy - r, size, size));
            break;
        case MarkerShape::Diamond: {
            QPolygonF diamond;
            diamond << QPointF(cx, cy - r) << QPointF(cx + r, cy) << QPointF(cx, cy + r)
                    << QPointF(cx - r, cy);
            area.addPolygon(diamond);
            area.closeSubpath();
            break;
        }
        case MarkerShape::Cross: {
            QPainterPath lines;
            lines.moveTo(cx - r, cy);
            lines.lineTo(cx + r, cy);
            lines.moveTo(cx, cy - r);
            lines.lineTo(cx, cy + r);
            area = StrokeArea(lines, stroke, Qt::SolidLine);
            break;
        }
        case MarkerShape::X: {
            QPainterPath lines;
            lines.moveTo(cx - r, cy - r);
            lines.lineTo(cx + r, cy + r);
            lines.moveTo(cx - r, cy + r);
            lines.lineTo(cx + r, cy - r);
            area = StrokeArea(lines, stroke, Qt::SolidLine);
            break;
        }
        case MarkerShape::Picture: {
            // No image travels with the reference host's picture markers: a framed
            // square crossed by one diagonal stands for the picture.
            const double inner = r - stroke / 2;
            QPainterPath lines;
            lines.addRect(QRectF(cx - inner, cy - inner, 2 * inner, 2 * inner));
            lines.moveTo(cx - inner, cy + inner);
            lines.lineTo(cx + inner, cy - inner);
            area = StrokeArea(lines, stroke, Qt::SolidLine);
            break;
        }
    }
    return area;
}

double MarkerSize(double sizePx) { return std::clamp(sizePx, 1.0, 4.0 * kMaxScreenSide); }

}  // namespace

QImageCanvas::StampSet& QImageCanvas::StampSetFor(MarkerShape shape, double size) {
    for (const auto& set : m_stampSets) {
        if (set->shape == shape && set->size == size) return *set;
    }
    if (m_stampSets.size() >= MaxStampSets || m_stampSpans >= MaxStampSpans) {
        m_stampSets.clear();
        m_stampSpans = 0;
    }
    constexpr std::size_t fractions = static_cast<std::size_t>(StampSteps) * StampSteps;
    auto set =
        std::make_unique<StampSet>(StampSet{shape,
                                            size,
                                            static_cast<int>(std::ceil(size)) + 2,
                                            std::vector<std::uint32_t>(fractions, StampSet::Unmade),
                                            std::vector<std::uint32_t>(fractions, StampSet::Unmade),
                                            {}});
    m_stampSets.push_back(std::move(set));
    return *m_stampSets.back();
}

void QImageCanvas::MakeStamp(StampSet& set, int fx, int fy) {
    // Drawn as the path is drawn, the centre's fraction of a pixel kept, into a
    // mask with room for the stroke beyond the marker's size.
    const int half = set.half;
    const int side = 2 * half + 1;
    QImage mask(side, side, QImage::Format_RGB32);
    mask.fill(Qt::black);
    {
        QPainter painter(&mask);
        painter.setRenderHint(QPainter::Antialiasing, false);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.fillPath(MarkerArea(set.shape, half + fx / double{StampSteps},
                                    half + fy / double{StampSteps}, set.size),
                         Qt::white);
    }
    const std::size_t fraction = static_cast<std::size_t>(fy) * StampSteps + fx;
    set.begins[fraction] = static_cast<std::uint32_t>(set.spans.size());
    for (int y = 0; y < side; ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(mask.constScanLine(y));
        for (int x = 0; x < side;) {
            if ((line[x] & 0xFFFFFFU) == 0) {
                ++x;
                continue;
            }
            const int first = x;
            while (x < side && (line[x] & 0xFFFFFFU) != 0) ++x;
            set.spans.push_back(Span{y - half, first - half, x - half});
        }
    }
    set.ends[fraction] = static_cast<std::uint32_t>(set.spans.size());
}

void QImageCanvas::DrawMarkerPath(PixelXY centre, MarkerShape shape, double size, Rgb color) {
    const QPainterPath area = MarkerArea(shape, centre.x, centre.y, size);
    MarkDrawn(area.controlPointRect());
    QPainter painter(&m_image);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setCompositionMode(ToComposition(m_op));
    painter.fillPath(area, ToQColor(color));
}

void QImageCanvas::DrawMarker(PixelXY centre, MarkerShape shape, double sizePx, Rgb color) {
    const MarkerAt marker{centre, color};
    DrawMarkers(std::span<const MarkerAt>(&marker, 1), shape, sizePx);
}

void QImageCanvas::DrawMarkers(std::span<const MarkerAt> markers, MarkerShape shape,
                               double sizePx) {
    if (m_op == RasterOp::Nop || !std::isfinite(sizePx) || sizePx <= 0 || markers.empty()) return;
    const double size = MarkerSize(sizePx);
    // Markers are copied from a mask made once per shape, size and fraction of a
    // pixel: the pixels of filling the path, at a fraction of the cost. The
    // rasteriser does not round a path the same wherever it lies on the screen,
    // so every raster operation (a flash's too) takes the same masks: a marker
    // then paints the same pixels however and wherever it is drawn. Large
    // markers, few on any screen, take the path.
    if (size > MaxStampPx) {
        for (const MarkerAt& marker : markers) {
            if (Finite(marker.centre)) DrawMarkerPath(marker.centre, shape, size, marker.color);
        }
        return;
    }
    StampSet& set = StampSetFor(shape, size);
    const long long width = m_image.width();
    const long long height = m_image.height();
    // The pixels holding the stamped markers' centres, to know what was drawn.
    long long leftmost = width;
    long long rightmost = -1;
    long long topmost = height;
    long long bottommost = -1;
    for (const MarkerAt& marker : markers) {
        const PixelXY centre = marker.centre;
        if (!Finite(centre)) continue;
        if (std::abs(centre.x) >= 1e9 || std::abs(centre.y) >= 1e9) {
            DrawMarkerPath(centre, shape, size, marker.color);
            continue;
        }
        const double left = std::floor(centre.x);
        const double top = std::floor(centre.y);
        auto ix = static_cast<long long>(left);
        auto iy = static_cast<long long>(top);
        // Rounded half up, as lround rounds these non-negative fractions; the
        // fractions are exact, so is the comparison.
        const double sx = (centre.x - left) * StampSteps;
        const double sy = (centre.y - top) * StampSteps;
        auto fx = static_cast<int>(sx);
        auto fy = static_cast<int>(sy);
        if (sx - fx >= 0.5) ++fx;
        if (sy - fy >= 0.5) ++fy;
        if (fx == StampSteps) fx = 0, ++ix;
        if (fy == StampSteps) fy = 0, ++iy;
        leftmost = std::min(leftmost, ix);
        rightmost = std::max(rightmost, ix);
        topmost = std::min(topmost, iy);
        bottommost = std::max(bottommost, iy);
        StampAt(set, ix, iy, static_cast<std::size_t>(fy) * StampSteps + fx,
                qRgb(marker.color.red, marker.color.green, marker.color.blue));
    }
    if (leftmost <= rightmost && topmost <= bottommost) {
        const auto clamp = [](long long value, long long most) {
            return static_cast<int>(std::clamp(value, -1LL, most));
        };
        AddDirty(QRect(
            QPoint(clamp(leftmost - set.half, width), clamp(topmost - set.half, height)),
            QPoint(clamp(rightmost + set.half + 1, width), clamp(bottommost + set.half, height))));
    }
}

void QImageCanvas::StampAt(StampSet& set, long long ix, long long iy, std::size_t fraction,
                           QRgb ink) {
    if (set.begins[fraction] == StampSet::Unmade) {
        const std::size_t before = set.spans.size();
        MakeStamp(set, static_cast<int>(fraction % StampSteps),
                  static_cast<int>(fraction / StampSteps));
        m_stampSpans += set.spans.size() - before;
    }
    const bool copy = m_op == RasterOp::CopyPen;
    const long long width = m_image.width();
    const long long height = m_image.height();
    const qsizetype stride = m_image.bytesPerLine();
    uchar* const bits = m_image.bits();
    const Span* span = set.spans.data() + set.begins[fraction];
    const Span* const spansEnd = set.spans.data() + set.ends[fraction];
    const auto paint = [&](QRgb* from, QRgb* to) {
        if (copy) {
            std::fill(from, to, ink);
            return;
        }
        for (; from != to; ++from) *from = Combined(m_op, ink & 0xFFFFFFU, *from & 0xFFFFFFU);
    };
    const bool inside = ix - set.half >= 0 && ix + set.half + 1 <= width && iy - set.half >= 0 &&
                        iy + set.half < height;
    if (inside) {
        uchar* const row = bits + static_cast<qsizetype>(iy) * stride;
        for (; span != spansEnd; ++span) {
            auto* line = reinterpret_cast<QRgb*>(row + static_cast<qsizetype>(span->dy) * stride);
            paint(line + ix + span->from, line + ix + span->to);
        }
        return;
    }
    for (; span != spansEnd; ++span) {
        const long long y = iy + span->dy;
        if (y < 0 || y >= height) continue;
        const long long from = std::max(0LL, ix + span->from);
        const long long to = std::min(width, ix + span->to);
        if (from >= to) continue;
        auto* line = reinterpret_cast<QRgb*>(bits + static_cast<qsizetype>(y) * stride);
        paint(line + from, line + to);
    }
}

Rgb QImageCanvas::Pixel(int x, int y) const {
    if (x < 0 || y < 0 || x >= m_image.width() || y >= m_image.height()) {
        throw Error(host::E_HOST_INVALIDARG, "Pixel (" + std::to_string(x) + ", " +
                                                 std::to_string(y) + ") is outside the screen");
    }
    const auto* line = reinterpret_cast<const QRgb*>(m_image.constScanLine(y));
    return Rgb::FromPixel(line[x] & 0xFFFFFFU);
}

std::vector<std::uint32_t> QImageCanvas::Pixels() const {
    std::vector<std::uint32_t> pixels;
    pixels.reserve(static_cast<std::size_t>(m_image.width()) *
                   static_cast<std::size_t>(m_image.height()));
    for (int y = 0; y < m_image.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(m_image.constScanLine(y));
        for (int x = 0; x < m_image.width(); ++x) pixels.push_back(line[x] & 0xFFFFFFU);
    }
    return pixels;
}

std::unique_ptr<Canvas> MakeQImageCanvas(int width, int height) {
    return std::make_unique<QImageCanvas>(width, height);
}

}  // namespace velorin::memory
