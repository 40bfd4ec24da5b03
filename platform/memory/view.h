#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>

#include "host/display.h"
#include "host/geometry.h"
#include "host/map.h"
#include "platform/memory/canvas.h"
#include "platform/memory/neutral_objects.h"
#include "platform/memory/shape_painter.h"

namespace velorin::memory {

struct ViewCore;
class MapPicture;

// The active view's machinery: a window of pixels showing part of a map, its
// screen, and the screen display the extension draws on.
//
// The visible extent is kept as a centre and a scale (map units per pixel), so it
// always has the window's aspect ratio. Putting an extent fits the requested
// envelope into the window about its centre, as a map window does: the visible
// extent contains the requested one and one of its sides equals the request's.
//   - A request of no size (a point, or a box shrunk to its centre) keeps the
//     current scale and centres the view on it.
//   - A request with one side of zero size is fitted by its other side.
//   - Corners given the wrong way round (min above max) are read as the box they
//     span.
//   - An empty envelope, a non-finite coordinate, or a box too large or too
//     small for a finite scale raises velorin::Error (E_HOST_INVALIDARG) and
//     changes nothing.
// Until an extent is put, the view shows the full extent of the map's feature
// layers, hidden ones too (or, with no features, one map unit per pixel about
// the window's centre at (width / 2, height / 2)).
//
// Drawing: the map's own redraw paints a light background, then the visible
// layers from the bottom of the list (the last index) to the top (index 0), a
// group layer's members likewise; each feature layer's features come through
// its Search (so its definition query applies) and are drawn with the symbol its
// renderer gives each one. A redraw counts in the host record and calls
// hooks.screenChanged at once, but its pixels are drawn only when someone looks:
// Screen(), or a drawing of the extension on the screen display (a flash needs
// the map under it), unless a picture of it drawn off the view's thread is
// presented first (see below). Every other change of pixels calls
// hooks.screenChanged too. The reads a redraw makes are the host's own work, not
// calls of the extension: the fault injector does not see them.
class MapView {
  public:
    static constexpr int DefaultWidth = 800;
    static constexpr int DefaultHeight = 600;
    static constexpr Rgb Background{250, 250, 245};

    // The window takes the canvas's size; with no canvas it is DefaultWidth x
    // DefaultHeight pixels that stay black.
    MapView(std::shared_ptr<HostContext> context, std::unique_ptr<Canvas> canvas);
    ~MapView();
    MapView(const MapView&) = delete;
    MapView& operator=(const MapView&) = delete;
    MapView(MapView&&) noexcept;
    MapView& operator=(MapView&&) noexcept;

    // The map whose layers the view draws; the view does not keep it alive.
    void SetMap(std::weak_ptr<host::IMap> map);

    // A new envelope equal to the visible extent.
    std::shared_ptr<host::IEnvelope> Extent() const;
    // Records the request in the host record, fits it (see above) and marks the
    // view for redrawing.
    void SetExtent(const std::shared_ptr<host::IEnvelope>& extent);
    // Fits the full extent of the map's feature layers, as before any put.
    void ZoomToFullExtent();

    // The display the extension draws on, the same object every time; it stays
    // usable (and keeps the screen alive) after the view is gone.
    std::shared_ptr<host::IScreenDisplay> ScreenDisplay() const;

    // Redraws the map (drawn when next looked at, see above).
    void Refresh();
    // Marks the view for redrawing at the next ProcessPendingRedraw.
    void Invalidate();
    bool RedrawPending() const;
    // What the application's message pump calls: redraws when marked.
    void ProcessPendingRedraw();
    // A new window size, 1 to 16384 pixels a side (else velorin::Error and no
    // change); keeps the centre and the scale and redraws.
    void Resize(int width, int height);

    int Width() const;
    int Height() const;
    // Map units per pixel.
    double Scale() const;
    PixelXY ToPixel(const XY& map) const;
    XY ToMap(const PixelXY& pixel) const;

    // The screen, with any redraw asked for drawn first.
    const Canvas& Screen() const;

    // ---- redraws drawn off the view's thread -----------------------------------------
    // A map window keeps its thread free while the person moves around the map: a
    // redraw asked for is planned here (PlanPicture), drawn on a thread of its own,
    // and shown by Present, and meanwhile the window shows the screen as it was.
    // Whatever else looks at the screen (the extension's drawing, Screen) still
    // draws the redraw here first, at once, so a flash always falls on the finished
    // picture.

    // Whether a redraw was asked for that the screen does not show yet.
    bool ScreenStale() const;
    // Counts the redraws asked for: a picture is shown only if none was asked for
    // after the one it was planned for.
    std::uint64_t RedrawSerial() const;
    // The screen as it is, without drawing a redraw asked for; and what its pixels
    // show, empty when they show no picture of the map (never drawn, or cleared by
    // a resize).
    const Canvas& ScreenAsItIs() const;
    std::optional<ViewTransform> ScreenShows() const;
    // The picture of the redraw asked for last, at the extent and size the view
    // has now, to be drawn on canvas (resized to the window by Draw, so that a new
    // canvas may start at a pixel and be filled where it is drawn). Not drawable off the
    // view's thread (OffThread() false) when a visible layer is not one of the
    // host's own feature layers or its renderer is not a simple or unique value
    // renderer: such a redraw is drawn by Screen, here. canvas: not null, of the
    // screen's own kind.
    std::unique_ptr<MapPicture> PlanPicture(std::unique_ptr<Canvas> canvas) const;
    // Shows a picture drawn whole, as if the screen had drawn the redraw itself
    // (counted as painted): its canvas becomes the screen, and the picture takes
    // the old screen's canvas. False, changing nothing, when the picture is not
    // whole or not of the redraw the screen still waits for, at the view as it is,
    // or while the extension draws on the screen (StartDrawing to FinishDrawing).
    bool Present(MapPicture& picture);

  private:
    std::shared_ptr<ViewCore> m_core;
    std::shared_ptr<host::IScreenDisplay> m_display;
};

// A redraw of a view planned on the view's thread (MapView::PlanPicture) to be
// drawn on any other: the layers it draws are read into the plan (see
// StoredLayerPicture), so the view's thread may go on working, and even change
// the map, while it is drawn; only the stores of rows must not gain rows.
class MapPicture {
  public:
    enum class State { Planned, Whole, Cancelled, NeedsViewThread };

    MapPicture(const MapPicture&) = delete;
    MapPicture& operator=(const MapPicture&) = delete;
    MapPicture(MapPicture&&) = delete;
    MapPicture& operator=(MapPicture&&) = delete;
    ~MapPicture();

    // Whether Draw may run off the view's thread; a picture that may not is
    // never drawn and only gives its canvas back.
    bool OffThread() const { return m_offThread; }
    // Draws the background and every planned layer, bottom first, asking cancel
    // before each feature; on one thread at a time. Announces nothing to the
    // host's observer. Raises what the canvas raises.
    State Draw(const std::atomic<bool>& cancel);
    State Result() const { return m_state; }
    std::uint64_t Serial() const { return m_serial; }
    // The canvas, given back for the next picture.
    std::unique_ptr<Canvas> TakeCanvas() { return std::move(m_canvas); }

  private:
    friend class MapView;
    MapPicture();

    struct Plan;
    std::unique_ptr<Plan> m_plan;
    std::unique_ptr<Canvas> m_canvas;
    std::uint64_t m_serial = 0;
    bool m_offThread = true;
    State m_state = State::Planned;
};

}  // namespace velorin::memory
