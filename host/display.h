#pragma once

#include <cstdint>
#include <memory>

#include "host/geometry.h"
#include "host/symbols.h"

namespace velorin::host {

// Drawing straight onto the screen, outside the map's own redraw. Draw calls are
// only valid between StartDrawing and FinishDrawing; each draws the geometry with
// the current symbol and that symbol's raster operation.
class IDisplay : public virtual IUnknown {
  public:
    // hDC 0 means the display's own window; cacheId esriNoScreenCache draws on the
    // visible screen, not into a cache.
    virtual void StartDrawing(std::intptr_t hDC, std::int16_t cacheId) = 0;
    virtual void FinishDrawing() = 0;
    virtual void SetSymbol(const std::shared_ptr<ISymbol>& symbol) = 0;
    virtual void DrawPoint(const std::shared_ptr<IGeometry>& point) = 0;
    virtual void DrawMultipoint(const std::shared_ptr<IGeometry>& multipoint) = 0;
    virtual void DrawPolyline(const std::shared_ptr<IGeometry>& polyline) = 0;
    virtual void DrawPolygon(const std::shared_ptr<IGeometry>& polygon) = 0;
};

class IScreenDisplay : public virtual IDisplay {
  public:
    // Marks a part of the screen (all of it when rect is empty) for redrawing; the
    // redraw happens when pending window messages are processed.
    virtual void Invalidate(const std::shared_ptr<IEnvelope>& rect, bool erase,
                            std::int16_t cacheId) = 0;
};

}  // namespace velorin::host
