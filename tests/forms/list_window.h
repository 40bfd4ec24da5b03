#pragma once

#include "ui/window.h"
#include "ui/window_layout.h"

// A window holding one drop-down list, for exercising the list routines.
namespace velorin::forms::testing {

inline constexpr ui::ControlLayout kListControls[] = {
    {.name = "cboList",
     .kind = ui::ControlKind::ComboBox,
     .left = 120,
     .top = 120,
     .width = 2415,
     .height = 315},
};

inline constexpr ui::WindowLayout kListLayout{.name = "frmList",
                                              .caption = "List",
                                              .clientWidth = 3000,
                                              .clientHeight = 1000,
                                              .controls = kListControls};

}  // namespace velorin::forms::testing
