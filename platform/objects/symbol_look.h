#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "host/symbols.h"

// What a host symbol looks like on a screen, read through the host interfaces
// alone, so that any host draws (or describes) any symbol the same way: the
// reference host's canvas and the QGIS adapter's flashes both start here.
namespace velorin::objects {

// Screen resolution: symbol sizes are in points, 72 to the inch.
inline constexpr double PixelsPerPoint = 96.0 / 72.0;

struct Rgb {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;

    friend bool operator==(const Rgb&, const Rgb&) = default;

    // From and to the host's packing 0x00BBGGRR (bits above 24 are ignored).
    static Rgb FromHost(std::int32_t bgr) {
        return Rgb{static_cast<std::uint8_t>(bgr & 0xFF),
                   static_cast<std::uint8_t>((bgr >> 8) & 0xFF),
                   static_cast<std::uint8_t>((bgr >> 16) & 0xFF)};
    }
    std::int32_t ToHost() const { return red | (green << 8) | (blue << 16); }
    // As a screen pixel 0x00RRGGBB.
    std::uint32_t ToPixel() const {
        return (static_cast<std::uint32_t>(red) << 16) | (static_cast<std::uint32_t>(green) << 8) |
               blue;
    }
    static Rgb FromPixel(std::uint32_t pixel) {
        return Rgb{static_cast<std::uint8_t>((pixel >> 16) & 0xFF),
                   static_cast<std::uint8_t>((pixel >> 8) & 0xFF),
                   static_cast<std::uint8_t>(pixel & 0xFF)};
    }
};

enum class LineStyle { Solid, Dash, Dot, DashDot, DashDotDot, Null };

// Hatches are anchored to the window's pixel grid, so neighbouring shapes hatch
// seamlessly and the same shape drawn twice hatches the same pixels.
enum class FillStyle {
    Solid,
    Hollow,
    Horizontal,
    Vertical,
    ForwardDiagonal,   // lines rising to the right: /
    BackwardDiagonal,  // lines falling to the right: \ (upper left to lower right)
    Cross,
    DiagonalCross,
};

enum class MarkerShape { Circle, Square, Cross, X, Diamond, Picture };

struct LinePen {
    Rgb color;
    double widthPx = 1.0;  // at least one pixel is drawn, whatever is asked
    LineStyle style = LineStyle::Solid;
};

enum class SymbolKind { Marker, Line, Fill };

// What one symbol looks like on the screen, read once per drawing.
struct SymbolLook {
    SymbolKind kind = SymbolKind::Marker;
    std::string kindName;   // "SimpleMarker", "SimpleLine", "SimpleFill", "PictureMarker", ...
    std::int32_t rgb = -1;  // 0x00BBGGRR, -1 when the symbol has no colour
    std::int32_t rop2 = 13;
    double size = 0.0;  // marker size or line width in points; 0 for fills
    Rgb color;
    MarkerShape marker = MarkerShape::Circle;
    LineStyle line = LineStyle::Solid;
    FillStyle fill = FillStyle::Solid;
    std::optional<LinePen> outline;  // fills only; drawn with the fill's raster operation
};

// Raises velorin::Error (E_HOST_INVALIDARG) for a symbol that is no marker, line
// or fill symbol, and E_HOST_POINTER for an empty one.
SymbolLook ReadSymbol(const std::shared_ptr<host::ISymbol>& symbol);
// The same, but empty for a symbol (or no symbol) that cannot draw.
std::optional<SymbolLook> TryReadSymbol(const std::shared_ptr<host::ISymbol>& symbol);

// A size in pixels (a line width, a marker size) bounded by `most`: a runaway
// size must not ask a rasteriser for the impossible, and no screen shows a symbol
// larger anyway. Not finite or negative: 0.
double ClampPixels(double pixels, double most);

// Bounds of ClampPixels for markers and lines.
inline constexpr double MaxMarkerPx = 4096.0;
inline constexpr double MaxLinePx = 1024.0;

}  // namespace velorin::objects
