#pragma once

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QPoint>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

#include "app/feature_pick.h"
#include "app/picture_thread.h"
#include "host/geometry.h"
#include "platform/memory/view.h"

namespace velorin::app {

// The map on the screen: the reference host's screen raster as it is, with the
// selected features outlined on top. The view is resized with the widget; the
// wheel zooms about the pointer and a drag pans (the Pan tool, or the middle
// button with any tool); with the Select tool a click or a dragged box asks for
// a selection. Zooms and pans go through the view's extent, as the host's own
// navigation does.
//
// The map's redraws are drawn on a thread of their own (a newer redraw cancels
// the one under way) and shown when done, so that moving around a large map never
// holds the window; meanwhile the last picture is shown, moved and scaled to the
// view. While a tool runs they are drawn at once, on this thread, as the tool
// expects: its flashes fall on the finished picture.
class MapWidget final : public QWidget {
  public:
    enum class Tool { Pan, Select, Identify };

    explicit MapWidget(QWidget* parent = nullptr);

    // The view shown (borrowed; null for none). It is resized to the widget.
    void SetView(memory::MapView* view);
    memory::MapView* View() const { return m_view; }
    void SetTool(Tool tool) { m_tool = tool; }
    // While a tool runs the map is shown but takes no clicks, drags or wheel, and
    // its redraws are drawn at once (the picture under way is finished first).
    void SetAccepting(bool accepting);
    Tool CurrentTool() const { return m_tool; }
    // The selected shapes, drawn over the map in the selection colour whatever
    // the layer's own symbols (a thick outline and a translucent fill), in map
    // units.
    void SetHighlight(std::vector<std::shared_ptr<host::IGeometry>> shapes);
    // Shows the shapes once, briefly, over the map (an identified feature).
    void Flash(std::vector<std::shared_ptr<host::IGeometry>> shapes);
    // Flashes shown so far, and whether one is on the screen now.
    int FlashCount() const { return m_flashCount; }
    bool Flashing() const { return !m_flash.empty(); }

    // Paints what the screen shows now, not at the next turn of the event loop:
    // a flash is drawn and undrawn while the thread sleeps and processes nothing.
    // A redraw to be drawn off this thread is started instead.
    void ShowScreenNow();
    // Whether a picture of the map is being drawn off this thread (not counting
    // pictures cancelled and still stopping).
    bool DrawingPicture() const { return m_pictures.Busy(); }
    // Waits for the picture being drawn, and any redraw asked for meanwhile, and
    // shows it: for a caller that needs the map as it now is (a screenshot).
    void FinishPicture();

    // Zooms by a factor about a pixel of the widget (factor 2: twice as close).
    // Raises velorin::Error when the view cannot show the result.
    void ZoomAbout(QPointF pixel, double factor);
    // Moves the map by whole pixels, as a drag does.
    void PanBy(QPoint offset);

    // What a person asked for; the mode from the keys held (Shift adds, Ctrl
    // removes).
    std::function<void(objects::XY point, double tolerance, SelectMode mode)> onClick;
    std::function<void(const MapBox& box, SelectMode mode)> onBox;
    std::function<void()> onExtentChanged;
    std::function<void(objects::XY point)> onPointer;
    // The pointer left the map.
    std::function<void()> onPointerLeft;
    // A click with the Identify tool.
    std::function<void(objects::XY point, double tolerance)> onIdentify;
    // A zoom or pan the view refused (too far in or out).
    std::function<void(const std::string& why)> onRefused;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

  private:
    enum class Drag { None, Pan, Box };

    objects::XY ToMap(QPointF pixel) const;
    void Navigate(const std::function<void()>& change);
    // Whether the redraw the view waits for is to be drawn off this thread.
    bool DrawsOffThread() const;
    // Plans the redraw the view waits for and starts drawing it, unless under way.
    void RequestPicture();
    void PictureDrawn(std::unique_ptr<memory::MapPicture> picture);
    // Keeps the picture's canvas for a later picture.
    void Recycle(memory::MapPicture& picture);
    void CancelPicture();
    // The screen's last picture, kept to be shown until the next is done.
    void KeepLastPicture();
    void PaintLastPicture(QPainter& painter, QPoint shift) const;
    void PaintShapes(QPainter& painter, const std::vector<std::shared_ptr<host::IGeometry>>& shapes,
                     const QColor& line, const QColor& fill, double width) const;

    memory::MapView* m_view = nullptr;
    Tool m_tool = Tool::Select;
    Drag m_drag = Drag::None;
    QPoint m_dragStart;
    QPoint m_dragNow;
    SelectMode m_dragMode = SelectMode::Replace;
    bool m_resizing = false;
    std::vector<std::shared_ptr<host::IGeometry>> m_highlight;
    std::vector<std::shared_ptr<host::IGeometry>> m_flash;
    int m_flashCount = 0;
    bool m_accepting = true;

    // Off while a tool runs.
    bool m_offThread = true;
    // A redraw that can only be drawn here (memory::MapView::PlanPicture), 0 for none.
    std::uint64_t m_hereSerial = 0;
    // Canvases for the next pictures: those the screen and cancelled pictures gave up.
    std::vector<std::unique_ptr<memory::Canvas>> m_spares;
    // What the screen showed when the redraw under way was asked for (null: none),
    // and the view it showed.
    QImage m_lastPicture;
    memory::ViewTransform m_lastShows;
    PictureThread m_pictures{*this, [this](std::unique_ptr<memory::MapPicture> picture) {
                                 PictureDrawn(std::move(picture));
                             }};
};

}  // namespace velorin::app
