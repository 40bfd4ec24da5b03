#pragma once

#include <cstdint>
#include <memory>

#include "host/host.h"

namespace velorin::zoomflash {

// Shows one geometry on the map's screen for `flashTime` milliseconds: drawn in
// the flash colour with the not-XOR-pen raster operation, the thread blocked for
// the time through the toolkit's sleep (no messages processed), then drawn again,
// which gives back every pixel as it was. Points and multipoints, polylines and
// polygons are drawn; any other type draws nothing and does not wait, but
// drawing is still started and finished.
//
// A negative time never reaches the wait: the flash then draws and undraws
// without waiting, as for 0. The dialog cannot produce one, but the engine checks
// the times only when no Source key field is given, so any other caller can.
//
// The flash colour and symbol are made anew for every call through `factory`.
void FlashGeometry(const std::shared_ptr<host::IGeometry>& geometry,
                   const std::shared_ptr<host::IMap>& map, std::int16_t flashTime,
                   host::IObjectFactory& factory);

// The flash colour: red 50, green 50, blue 175.
inline constexpr std::int32_t kFlashRed = 50;
inline constexpr std::int32_t kFlashGreen = 50;
inline constexpr std::int32_t kFlashBlue = 175;
// Marker size and line width of the flash symbols, in points.
inline constexpr double kFlashMarkerSize = 12.0;
inline constexpr double kFlashLineWidth = 4.0;

}  // namespace velorin::zoomflash
