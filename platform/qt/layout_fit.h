#pragma once

#include <QRect>
#include <QSize>
#include <cstdint>

class QComboBox;
class QWidget;

// How a layout drawn in twips for one dialog font is fitted to the font a dialog
// really shows: the whole layout is scaled by one factor, so every control keeps
// its place and size relative to the others, and each widget says, by its style,
// how big it must be for its text to show whole.
namespace velorin::qt {

// A control's rectangle in twips within its container; right and bottom are
// past the last twip (left + width, top + height).
struct TwipRect {
    std::int64_t left = 0;
    std::int64_t top = 0;
    std::int64_t right = 0;
    std::int64_t bottom = 0;

    bool Intersects(const TwipRect& other) const {
        return left < other.right && other.left < right && top < other.bottom && other.top < bottom;
    }
    friend bool operator==(const TwipRect&, const TwipRect&) = default;
};

// Which of two overlapping controls gives up the overlap.
enum class Yield {
    First,    // the first is cut back to the edge of the second
    Second,   // the second to the edge of the first
    Halfway,  // both are cut back to the middle of the overlap
};

// Makes two rectangles of one container meet instead of overlap. A layout may
// let a control reach under its neighbour (a label's box under the list below
// it, a check box's under the right-aligned label beside it) where, at the font
// it was drawn for, nothing shows. The cut is on the side where the other
// reaches in, the one that keeps the most of the yielding rectangle. Rectangles
// that do not meet, or where one would be cut away whole, stay as they are.
void PartOverlap(TwipRect& first, TwipRect& second, Yield yield);

// `rect` in pixels at `scale` times 15 twips per pixel; both edges are rounded,
// so that rectangles declared edge to edge stay edge to edge.
QRect ScaledRect(const TwipRect& rect, double scale);

// The size `widget` needs for its caption to show whole in its font, judged by
// its style at its present size: what the style draws around the text (a frame,
// a check box's box, a list's arrow) keeps its present size, the room for the
// text grows. Larger than the present size only where something is short. A
// one-line text box and a list need the height of a line of text (a text box
// scrolls what is typed; ListWidthNeeded gives a list's width); a widget with
// no caption (a multi-line text box wraps and scrolls) needs what it has.
QSize RoomNeeded(QWidget& widget);

// The width at which a drop-down list shows its longest entry whole.
int ListWidthNeeded(QComboBox& combo);

// The field in which a drop-down list shows its current entry, in its own
// coordinates.
QRect ListField(QComboBox& combo);

// The width of a list's popup that shows every entry whole, scroll bar and frame
// included.
int PopupWidthNeeded(QComboBox& combo);

}  // namespace velorin::qt
