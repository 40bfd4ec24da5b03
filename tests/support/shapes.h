#pragma once

#include <memory>

#include "host/geometry.h"
#include "platform/objects/geometry.h"

// Shapes and bounds the tests state their maps and check their views with.
namespace velorin::testing {

// The ring of an axis-aligned square with its lower-left corner at (x, y).
inline objects::Path Square(double x, double y, double side) {
    return {{x, y}, {x + side, y}, {x + side, y + side}, {x, y + side}};
}

// An envelope's bounds as one value, so a test can compare or print them at once.
struct Box4 {
    double xMin, yMin, xMax, yMax;
};

inline Box4 BoundsOf(const std::shared_ptr<host::IEnvelope>& envelope) {
    return {envelope->XMin(), envelope->YMin(), envelope->XMax(), envelope->YMax()};
}

}  // namespace velorin::testing
