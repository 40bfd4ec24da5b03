#pragma once

#include <memory>

#include "host/display.h"
#include "host/geometry.h"
#include "host/map.h"
#include "platform/memory/canvas.h"
#include "platform/memory/neutral_objects.h"

namespace velorin::memory {

struct ViewCore;

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
// the map under it). Every other change of pixels calls hooks.screenChanged too. The reads a redraw
// makes are the host's own work, not calls of the extension: the fault injector does not see them.
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

  private:
    std::shared_ptr<ViewCore> m_core;
    std::shared_ptr<host::IScreenDisplay> m_display;
};

}  // namespace velorin::memory
