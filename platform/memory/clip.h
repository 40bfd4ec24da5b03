#pragma once

#include <vector>

#include "platform/memory/neutral_objects.h"

// Cutting shapes to a rectangle in map units before they are turned into
// pixels, so that the canvas never sees coordinates far outside the window (a
// shape a million times the window's size, zoomed in on, would otherwise reach
// the rasteriser with coordinates it cannot hold).
namespace velorin::memory {

struct ClipRect {
    double xMin = 0.0;
    double yMin = 0.0;
    double xMax = 0.0;
    double yMax = 0.0;
};

// The pieces of an open path that lie inside the rectangle, in path order.
std::vector<Path> ClipPath(const Path& path, const ClipRect& rect);

// A closed ring cut to the rectangle. Parts of the result may run along the
// rectangle's edges; even-odd filling of several cut rings gives, inside the
// rectangle, exactly the area of the uncut rings. Empty when nothing is inside.
Path ClipRing(const Path& ring, const ClipRect& rect);

}  // namespace velorin::memory
