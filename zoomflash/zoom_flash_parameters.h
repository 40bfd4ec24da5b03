#pragma once

#include <cstdint>
#include <string>

namespace velorin::zoomflash {

// The Zoom and Flash parameters as the engine receives them: the names the
// dialog accepted and the flash times in whole milliseconds. Without a related
// search the three related names are empty and the Related time is 0. Layer
// names are matched exactly against the focus map's top-level feature layers.
struct ZoomFlashParameters {
    std::string sourceLayer;
    std::string sourceField;
    std::string relatedLayer;
    std::string relatedField;
    std::int16_t sourceFlashTime = 0;   // ms
    std::int16_t relatedFlashTime = 0;  // ms
    std::int32_t zoomMethod = 0;        // 1 Full Envelope, 2 Related Envelope, 3 both
    double zoomFactor = 0.0;            // ratio
    double zoomWidth = 0.0;             // map units
};

// Seconds as the dialog holds them to milliseconds as the engine takes them:
// the product rounded to the nearest integer, halves to the even neighbour (a
// product of 2.5 gives 2). A product outside -32768..32767, or one that is not a
// finite number, raises overflow (6).
std::int16_t FlashMilliseconds(double seconds);

}  // namespace velorin::zoomflash
