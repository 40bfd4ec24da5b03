#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/geometry.h"
#include "host/symbols.h"
#include "platform/memory/canvas.h"
#include "platform/memory/clip.h"
#include "platform/memory/neutral_objects.h"

// Turns host geometries and symbols into canvas drawing: shared by the map's own
// redraw and by the screen display. Reads symbols and geometries through their
// host interfaces (so any implementation draws); callers that must not count
// those reads as calls of the extension hold a FaultInjector::QuietScope. The
// host's own points and multipart geometries are read through their classes,
// announcing nothing: a picture drawn on a thread of its own draws them too.
namespace velorin::memory {

// Map units to pixels for a window: left and top are the map coordinates of the
// window's top-left corner, scale is map units per pixel (> 0).
struct ViewTransform {
    double left = 0.0;
    double top = 0.0;
    double scale = 1.0;
    int width = 0;
    int height = 0;

    friend bool operator==(const ViewTransform&, const ViewTransform&) = default;

    PixelXY ToPixel(const XY& p) const { return {(p.x - left) / scale, (top - p.y) / scale}; }
    // The window grown by a margin of pixels on every side, in map units.
    ClipRect Window(double marginPx) const;
};

enum class PaintResult {
    Drawn,               // drawn, or nothing of it is on the window
    UnsuitableSymbol,    // the symbol's kind cannot draw this kind of geometry
    UnsupportedGeometry  // a geometry kind this host cannot read
};

// Draws the geometry with the look and the look's raster operation. Points and
// multipoints take markers, polylines lines, polygons and envelopes fills (a fill
// draws its area, then its outline as a separate pass); a geometry bag draws each
// member that suits the symbol.
PaintResult PaintShape(Canvas& canvas, const ViewTransform& view, const host::IGeometry& shape,
                       const SymbolLook& look);

// One marker of a marker look at a point, as PaintShape draws each point, with
// the canvas's raster operation as it is (the caller sets the look's).
void PaintMarkerAt(Canvas& canvas, const ViewTransform& view, const XY& point,
                   const SymbolLook& look);

// How many pixels across the look's markers are drawn.
double MarkerPx(const SymbolLook& look);

// How many pixels beyond a shape's envelope its drawing with the look can reach.
double ReachPx(const SymbolLook& look);

}  // namespace velorin::memory
