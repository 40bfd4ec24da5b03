#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace velorin::ui {

enum class ControlKind { Frame, Label, ComboBox, TextBox, CheckBox, CommandButton };

// The kind as a person names it ("drop-down list"), for error messages.
std::string_view KindName(ControlKind kind);

enum class Alignment { Left, Right, Center };

// The settings of one layout row that only some kinds use; the others ignore them.
struct ControlSettings {
    Alignment alignment = Alignment::Left;  // labels and text boxes
    std::int32_t maxLength = 0;             // text boxes, in characters; 0 = no limit
    bool defaultButton = false;             // buttons: Enter presses it
    bool cancelButton = false;              // buttons: Esc presses it
    bool multiLine = false;                 // text boxes
    bool verticalScrollBar = false;         // text boxes
    std::int16_t value = 0;                 // check boxes: 0 or 1
    bool enabled = true;
    bool visible = true;
};

// One row of a window's layout table. Positions are in twips (15 per pixel at
// 96 dpi), relative to the container: the window's client area when `container`
// is empty, otherwise the frame of that name. Texts are borrowed: layouts are
// constants built from string literals.
struct ControlLayout {
    std::string_view name{};  // may be empty for a label nobody addresses
    ControlKind kind = ControlKind::Label;
    std::string_view container{};
    std::string_view caption{};  // a text box's initial text; unused by drop-down lists
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    // -1 places the control after every row with a declared index, in row order.
    std::int16_t tabIndex = -1;
    std::string_view toolTip{};
    ControlSettings settings{};
};

// The declaration of one window: every toolkit builds the window from it, and a
// Window returns to it when unloaded. The rows are borrowed (see ControlLayout);
// a Window copies what it needs, so the declaration need only live while the
// Window is being constructed.
struct WindowLayout {
    std::string_view name{};  // e.g. "frmZoomFlash"
    std::string_view caption{};
    std::int32_t clientWidth = 0;  // twips
    std::int32_t clientHeight = 0;
    bool resizable = false;
    bool minMaxButtons = false;
    bool centerOnScreen = true;
    std::span<const ControlLayout> controls{};
};

}  // namespace velorin::ui
