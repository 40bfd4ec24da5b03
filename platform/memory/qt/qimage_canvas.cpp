#include "platform/memory/qt/qimage_canvas.h"

#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>
#include <algorithm>
#include <cmath>
#include <functional>
#include <string>

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

}  // namespace

QImageCanvas::QImageCanvas(int width, int height) {
    CheckSize(width, height);
    m_image = QImage(width, height, QImage::Format_RGB32);
    m_image.fill(Qt::black);
}

int QImageCanvas::Width() const { return m_image.width(); }
int QImageCanvas::Height() const { return m_image.height(); }

void QImageCanvas::Resize(int width, int height) {
    CheckSize(width, height);
    m_image = QImage(width, height, QImage::Format_RGB32);
    m_image.fill(Qt::black);
}

void QImageCanvas::Clear(Rgb color) { m_image.fill(ToQColor(color)); }

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
    QPainter painter(&m_image);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setCompositionMode(ToComposition(m_op));
    painter.fillPath(StrokeArea(centreLines, width, ToDashes(pen.style)), ToQColor(pen.color));
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

std::size_t QImageCanvas::StampKeyHash::operator()(const StampKey& key) const noexcept {
    std::size_t h = std::hash<double>{}(key.size);
    h = h * 31 + static_cast<std::size_t>(key.shape);
    h = h * 4099 + static_cast<std::size_t>(key.fx);
    return h * 4099 + static_cast<std::size_t>(key.fy);
}

const QImageCanvas::Stamp& QImageCanvas::StampFor(const StampKey& key) {
    auto found = m_stamps.find(key);
    if (found != m_stamps.end()) return found->second;
    if (m_stamps.size() >= MaxStamps) m_stamps.clear();
    // Drawn as DrawMarker draws it, the centre's fraction of a pixel kept, into a
    // mask with room for the stroke beyond the marker's size.
    const int half = static_cast<int>(std::ceil(key.size)) + 2;
    const int side = 2 * half + 1;
    QImage mask(side, side, QImage::Format_RGB32);
    mask.fill(Qt::black);
    {
        QPainter painter(&mask);
        painter.setRenderHint(QPainter::Antialiasing, false);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.fillPath(
            MarkerArea(key.shape, half + key.fx / StampSteps, half + key.fy / StampSteps, key.size),
            Qt::white);
    }
    Stamp stamp;
    for (int y = 0; y < side; ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(mask.constScanLine(y));
        for (int x = 0; x < side;) {
            if ((line[x] & 0xFFFFFFU) == 0) {
                ++x;
                continue;
            }
            const int first = x;
            while (x < side && (line[x] & 0xFFFFFFU) != 0) ++x;
            stamp.push_back(Span{y - half, first - half, x - half});
        }
    }
    return m_stamps.emplace(key, std::move(stamp)).first->second;
}

void QImageCanvas::DrawMarker(PixelXY centre, MarkerShape shape, double sizePx, Rgb color) {
    if (m_op == RasterOp::Nop || !Finite(centre) || !std::isfinite(sizePx) || sizePx <= 0) return;
    const double size = MarkerSize(sizePx);
    // The map's markers are copied from a mask made once per shape, size and
    // fraction of a pixel: the same pixels as filling the path, at a fraction of
    // the cost. Other raster operations (a flash) and large markers take the path.
    const bool stamped = m_op == RasterOp::CopyPen && size <= MaxStampPx &&
                         std::abs(centre.x) < 1e9 && std::abs(centre.y) < 1e9;
    if (stamped) {
        const double left = std::floor(centre.x);
        const double top = std::floor(centre.y);
        auto ix = static_cast<long long>(left);
        auto iy = static_cast<long long>(top);
        auto fx = static_cast<int>(std::lround((centre.x - left) * StampSteps));
        auto fy = static_cast<int>(std::lround((centre.y - top) * StampSteps));
        if (fx == static_cast<int>(StampSteps)) fx = 0, ++ix;
        if (fy == static_cast<int>(StampSteps)) fy = 0, ++iy;
        const Stamp& stamp = StampFor(StampKey{shape, size, fx, fy});
        const QRgb ink = qRgb(color.red, color.green, color.blue);
        const long long width = m_image.width();
        const long long height = m_image.height();
        for (const Span& span : stamp) {
            const long long y = iy + span.dy;
            if (y < 0 || y >= height) continue;
            const long long from = std::max(0LL, ix + span.from);
            const long long to = std::min(width, ix + span.to);
            if (from >= to) continue;
            auto* line = reinterpret_cast<QRgb*>(m_image.scanLine(static_cast<int>(y)));
            std::fill(line + from, line + to, ink);
        }
        return;
    }
    QPainter painter(&m_image);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setCompositionMode(ToComposition(m_op));
    painter.fillPath(MarkerArea(shape, centre.x, centre.y, size), ToQColor(color));
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
