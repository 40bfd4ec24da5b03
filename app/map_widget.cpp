#include "app/map_widget.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QTimer>
#include <QWheelEvent>
#include <cmath>

#include "host/codes.h"
#include "host/error.h"
#include "platform/memory/qt/qimage_canvas.h"

namespace velorin::app {

namespace {

// A press and release closer than this (pixels, either way) is a click.
constexpr int kClickSlack = 3;
// How near a click must come to a point or a line, in pixels.
constexpr double kClickTolerancePx = 4.0;
// One notch of the wheel.
constexpr double kWheelStep = 1.25;

// One selection colour for every layer, so a selection reads the same on any
// legend: a thick outline over a dark halo (it shows on light and dark fills
// alike) and a translucent fill.
const QColor kSelection(255, 225, 0);
const QColor kSelectionFill(255, 225, 0, 90);
const QColor kSelectionHalo(40, 40, 40, 170);
constexpr double kSelectionWidth = 3.0;
// An identified feature's flash.
const QColor kFlash(255, 0, 200);
const QColor kFlashFill(255, 0, 200, 120);
constexpr int kFlashMs = 450;

}  // namespace

MapWidget::MapWidget(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true);
    setMinimumSize(120, 90);
    // The raster covers the whole widget; nothing beneath needs painting first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::ClickFocus);
}

void MapWidget::SetView(memory::MapView* view) {
    CancelPicture();
    m_spares.clear();
    m_hereSerial = 0;
    m_view = view;
    m_drag = Drag::None;
    m_highlight.clear();
    m_flash.clear();
    if (m_view != nullptr && width() > 0 && height() > 0 &&
        (m_view->Width() != width() || m_view->Height() != height())) {
        m_resizing = true;
        m_view->Resize(width(), height());
        m_resizing = false;
    }
    update();
}

void MapWidget::SetHighlight(std::vector<std::shared_ptr<host::IGeometry>> shapes) {
    m_highlight = std::move(shapes);
    update();
}

void MapWidget::SetAccepting(bool accepting) {
    m_accepting = accepting;
    m_drag = Drag::None;
    // Off first, so that finishing the picture under way starts no other.
    m_offThread = accepting;
    if (!accepting) FinishPicture();
}

void MapWidget::ShowScreenNow() {
    if (DrawsOffThread()) {
        RequestPicture();
        update();
        return;
    }
    // Inside a resize Qt paints anyway once it is done; an immediate repaint
    // there would paint a half-laid-out window.
    if (m_resizing || !isVisible()) {
        update();
        return;
    }
    repaint();
}

objects::XY MapWidget::ToMap(QPointF pixel) const {
    return m_view->ToMap(memory::PixelXY{pixel.x(), pixel.y()});
}

void MapWidget::Navigate(const std::function<void()>& change) {
    if (m_view == nullptr) return;
    try {
        change();
    } catch (const velorin::Error& error) {
        // An event handler is the edge: the view is unchanged, and the person
        // hears why.
        if (onRefused) onRefused(error.Description());
        return;
    }
    m_view->ProcessPendingRedraw();
    RequestPicture();
    update();
    if (onExtentChanged) onExtentChanged();
}

// ---- redraws drawn off this thread ---------------------------------------------------

bool MapWidget::DrawsOffThread() const {
    // The picture swaps with the screen, so both must be of one kind.
    return m_view != nullptr && m_offThread && m_view->ScreenStale() &&
           m_view->RedrawSerial() != m_hereSerial &&
           dynamic_cast<const memory::QImageCanvas*>(&m_view->ScreenAsItIs()) != nullptr;
}

void MapWidget::RequestPicture() {
    if (!DrawsOffThread()) {
        // Nothing to wait for: the screen may be drawn on without copying it.
        if (!m_pictures.Busy()) m_lastPicture = QImage();
        return;
    }
    if (m_pictures.Busy() && m_pictures.Serial() == m_view->RedrawSerial()) return;
    KeepLastPicture();
    std::unique_ptr<memory::Canvas> canvas;
    if (m_spares.empty()) {
        // Grown to the window's size where it is drawn.
        canvas = memory::MakeQImageCanvas(1, 1);
    } else {
        canvas = std::move(m_spares.back());
        m_spares.pop_back();
    }
    auto picture = m_view->PlanPicture(std::move(canvas));
    if (!picture->OffThread()) {
        // Drawn by the next paint, here.
        m_hereSerial = picture->Serial();
        Recycle(*picture);
        m_lastPicture = QImage();
        update();
        return;
    }
    // The one under way is left to stop on its own: waiting for it would hold
    // this thread for as long as it takes to notice.
    m_pictures.Start(std::move(picture));
}

void MapWidget::Recycle(memory::MapPicture& picture) {
    // Enough for the screen's last and a few pictures drawn at once (cancelled
    // ones still stopping), so that the wheel turned fast makes no new ones.
    if (m_spares.size() < 4) m_spares.push_back(picture.TakeCanvas());
}

void MapWidget::PictureDrawn(std::unique_ptr<memory::MapPicture> picture) {
    const memory::MapPicture::State drawn = picture->Result();
    if (m_view != nullptr && m_view->Present(*picture)) {
        m_lastPicture = QImage();
        update();
    } else if (drawn != memory::MapPicture::State::Whole &&
               drawn != memory::MapPicture::State::Cancelled) {
        // A shape it could not read there, or a failure: drawn here, where a
        // failure is reported as any other redraw's.
        m_hereSerial = picture->Serial();
        m_lastPicture = QImage();
        update();
    }
    Recycle(*picture);
    // A redraw asked for since.
    RequestPicture();
}

void MapWidget::FinishPicture() {
    RequestPicture();
    while (auto picture = m_pictures.Wait()) PictureDrawn(std::move(picture));
    // And those cancelled before, still stopping.
    for (const auto& picture : m_pictures.CancelAll()) Recycle(*picture);
}

void MapWidget::CancelPicture() {
    for (const auto& picture : m_pictures.CancelAll()) Recycle(*picture);
    m_lastPicture = QImage();
}

void MapWidget::KeepLastPicture() {
    if (!m_lastPicture.isNull() || m_view == nullptr) return;
    const auto shows = m_view->ScreenShows();
    const auto* canvas = dynamic_cast<const memory::QImageCanvas*>(&m_view->ScreenAsItIs());
    if (!shows || canvas == nullptr) return;
    // Shares the pixels: the screen is not drawn on until the picture replaces it.
    m_lastPicture = canvas->Image();
    m_lastShows = *shows;
}

void MapWidget::PaintLastPicture(QPainter& painter, QPoint shift) const {
    if (m_lastPicture.isNull()) return;
    const memory::ViewTransform& was = m_lastShows;
    const memory::PixelXY topLeft = m_view->ToPixel({was.left, was.top});
    const memory::PixelXY bottomRight =
        m_view->ToPixel({was.left + was.width * was.scale, was.top - was.height * was.scale});
    painter.drawImage(QRectF(QPointF(topLeft.x, topLeft.y) + shift,
                             QPointF(bottomRight.x, bottomRight.y) + shift),
                      m_lastPicture);
}

void MapWidget::ZoomAbout(QPointF pixel, double factor) {
    Navigate([&] {
        const objects::XY anchor = ToMap(pixel);
        const double scale = m_view->Scale() / factor;
        const double left = anchor.x - pixel.x() * scale;
        const double top = anchor.y + pixel.y() * scale;
        m_view->SetExtent(objects::MakeEnvelope(left, top - m_view->Height() * scale,
                                                left + m_view->Width() * scale, top));
    });
}

void MapWidget::PanBy(QPoint offset) {
    Navigate([&] {
        const auto extent = m_view->Extent();
        const double dx = -offset.x() * m_view->Scale();
        const double dy = offset.y() * m_view->Scale();
        m_view->SetExtent(objects::MakeEnvelope(extent->XMin() + dx, extent->YMin() + dy,
                                                extent->XMax() + dx, extent->YMax() + dy));
    });
}

void MapWidget::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    const QColor background(memory::MapView::Background.red, memory::MapView::Background.green,
                            memory::MapView::Background.blue);
    const QPoint shift = m_drag == Drag::Pan ? m_dragNow - m_dragStart : QPoint();
    if (DrawsOffThread()) {
        RequestPicture();
        painter.fillRect(rect(), background);
        PaintLastPicture(painter, shift);
    } else {
        const auto* canvas = m_view != nullptr
                                 ? dynamic_cast<const memory::QImageCanvas*>(&m_view->Screen())
                                 : nullptr;
        if (canvas == nullptr) {
            painter.fillRect(rect(), background);
            return;
        }
        if (!shift.isNull() || canvas->Image().size() != size()) {
            painter.fillRect(rect(), background);
        }
        painter.drawImage(shift, canvas->Image());
    }

    painter.translate(shift);
    painter.setRenderHint(QPainter::Antialiasing);
    PaintShapes(painter, m_highlight, kSelectionHalo, Qt::transparent, kSelectionWidth + 2);
    PaintShapes(painter, m_highlight, kSelection, kSelectionFill, kSelectionWidth);
    PaintShapes(painter, m_flash, kFlash, kFlashFill, kSelectionWidth + 1);
    painter.resetTransform();

    if (m_drag == Drag::Box) {
        painter.setRenderHint(QPainter::Antialiasing, false);
        painter.setPen(QPen(QColor(20, 20, 20), 1, Qt::DashLine));
        painter.setBrush(QColor(0, 230, 255, 40));
        painter.drawRect(QRect(m_dragStart, m_dragNow).normalized());
    }
}

void MapWidget::PaintShapes(QPainter& painter,
                            const std::vector<std::shared_ptr<host::IGeometry>>& shapes,
                            const QColor& line, const QColor& fill, double width) const {
    painter.setPen(QPen(line, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    const auto pixel = [this](const objects::XY& p) {
        const memory::PixelXY px = m_view->ToPixel(p);
        return QPointF(px.x, px.y);
    };
    // Points get a ring a little larger than a marker, filled like a polygon.
    constexpr double kRing = 7.0;
    for (const auto& shape : shapes) {
        if (const auto* point = dynamic_cast<const objects::PointGeometry*>(shape.get())) {
            painter.setBrush(fill);
            painter.drawEllipse(pixel(point->Coords()), kRing, kRing);
            continue;
        }
        const auto* parts = dynamic_cast<const objects::MultiPartGeometry*>(shape.get());
        if (parts == nullptr) continue;
        const std::int32_t type = parts->GeometryType();
        if (type == host::esriGeometryPolygon) {
            // Every ring in one path, so holes stay open as the map fills them.
            QPainterPath path;
            path.setFillRule(Qt::OddEvenFill);
            for (const objects::Path& ring : parts->Parts()) {
                QPolygonF outline;
                for (const objects::XY& p : ring) outline << pixel(p);
                path.addPolygon(outline);
                path.closeSubpath();
            }
            painter.setBrush(fill);
            painter.drawPath(path);
            continue;
        }
        for (const objects::Path& part : parts->Parts()) {
            if (type == host::esriGeometryMultipoint) {
                painter.setBrush(fill);
                for (const objects::XY& p : part) painter.drawEllipse(pixel(p), kRing, kRing);
            } else if (type == host::esriGeometryPolyline) {
                QPolygonF vertices;
                for (const objects::XY& p : part) vertices << pixel(p);
                painter.setBrush(Qt::NoBrush);
                painter.drawPolyline(vertices);
            }
        }
    }
}

void MapWidget::Flash(std::vector<std::shared_ptr<host::IGeometry>> shapes) {
    if (shapes.empty()) return;
    m_flash = std::move(shapes);
    ++m_flashCount;
    ShowScreenNow();
    const int flash = m_flashCount;
    QTimer::singleShot(kFlashMs, this, [this, flash] {
        // A later flash keeps the screen for its own time.
        if (flash != m_flashCount) return;
        m_flash.clear();
        update();
    });
}

void MapWidget::leaveEvent(QEvent* event) {
    QWidget::leaveEvent(event);
    if (onPointerLeft) onPointerLeft();
}

void MapWidget::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (m_view == nullptr || width() < 1 || height() < 1) return;
    // The resize clears the screen: its picture is shown until the next is done.
    if (m_offThread) KeepLastPicture();
    m_resizing = true;
    try {
        m_view->Resize(width(), height());
    } catch (const velorin::Error& error) {
        if (onRefused) onRefused(error.Description());
    }
    m_resizing = false;
    RequestPicture();
}

void MapWidget::wheelEvent(QWheelEvent* event) {
    if (!m_accepting) return;
    const double notches = event->angleDelta().y() / 120.0;
    if (notches == 0.0) return;
    ZoomAbout(event->position(), std::pow(kWheelStep, notches));
    event->accept();
}

void MapWidget::mousePressEvent(QMouseEvent* event) {
    if (m_view == nullptr || m_drag != Drag::None || !m_accepting) return;
    const bool panButton = event->button() == Qt::MiddleButton ||
                           (event->button() == Qt::LeftButton && m_tool == Tool::Pan);
    if (panButton) {
        m_drag = Drag::Pan;
    } else if (event->button() == Qt::LeftButton) {
        m_drag = Drag::Box;
        const Qt::KeyboardModifiers keys = event->modifiers();
        m_dragMode = (keys & Qt::ControlModifier) != 0 ? SelectMode::Remove
                     : (keys & Qt::ShiftModifier) != 0 ? SelectMode::Add
                                                       : SelectMode::Replace;
    } else {
        return;
    }
    m_dragStart = m_dragNow = event->position().toPoint();
}

void MapWidget::mouseMoveEvent(QMouseEvent* event) {
    if (m_view == nullptr) return;
    if (onPointer) onPointer(ToMap(event->position()));
    if (m_drag == Drag::None) return;
    m_dragNow = event->position().toPoint();
    update();
}

void MapWidget::mouseReleaseEvent(QMouseEvent* event) {
    if (m_view == nullptr || m_drag == Drag::None) return;
    const Drag drag = m_drag;
    m_drag = Drag::None;
    m_dragNow = event->position().toPoint();
    const QPoint moved = m_dragNow - m_dragStart;
    const bool click = std::abs(moved.x()) <= kClickSlack && std::abs(moved.y()) <= kClickSlack;
    if (drag == Drag::Pan) {
        if (!moved.isNull()) PanBy(moved);
        update();
        return;
    }
    update();
    if (m_tool == Tool::Identify) {
        if (click && onIdentify)
            onIdentify(ToMap(m_dragStart), kClickTolerancePx * m_view->Scale());
        return;
    }
    if (click) {
        if (onClick) onClick(ToMap(m_dragStart), kClickTolerancePx * m_view->Scale(), m_dragMode);
        return;
    }
    const objects::XY a = ToMap(m_dragStart);
    const objects::XY b = ToMap(m_dragNow);
    if (onBox) {
        onBox(
            MapBox{std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y)},
            m_dragMode);
    }
}

}  // namespace velorin::app
