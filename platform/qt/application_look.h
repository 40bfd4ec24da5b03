#pragma once

#include <cstdint>

class QFont;
class QIcon;
class QString;

// How every window of ours looks: the dialog font, the shared window icon and the
// fixed twips-to-pixels scale of the layouts.
namespace velorin::qt {

// Layouts are declared in twips for a 96 dpi screen. The scale is fixed rather
// than taken from the screen's dpi, so that a layout and its font keep the
// proportions they were drawn with on every screen (the offscreen platform, for
// one, reports 100 dpi).
inline constexpr int kTwipsPerPixel = 15;

// Twips to whole pixels, rounded to the nearest (halves away from zero) and kept
// within what a widget can measure (16777215 pixels either way).
int TwipsToPixels(std::int64_t twips);
// The same at `scale` times that many pixels (a layout fitted to a larger font);
// at a scale of 1, the same pixels as above.
int TwipsToPixels(std::int64_t twips, double scale);

// The font of every window and box of our own programs: DejaVu Sans (or the
// nearest sans serif), 11 pixels high, narrowed to 83% of its width. Sized in
// pixels, never in points, so it does not follow the screen's dpi; narrowed
// because the layouts were measured for a narrow dialog font: at it every
// caption fits its control as declared, so the windows show at their declared
// size (QtWindow scales a layout up only for a font that needs more room, such
// as a host's).
QFont DialogFont();

// The window icon shared by every window of ours, from the library's resources.
QIcon WindowIcon();
// The resource path of the icon's picture of one size (16, 24, 32, 48 or 64).
QString WindowIconFile(int size);

// Gives the running QApplication the dialog font and the window icon. The
// application's main and the tests call it once, right after constructing the
// QApplication and before building any window.
void PrepareApplication();

}  // namespace velorin::qt
