#include "platform/memory/null_canvas.h"

#include <algorithm>
#include <string>

#include "host/codes.h"
#include "host/error.h"

namespace velorin::memory {

NullCanvas::NullCanvas(int width, int height)
    : m_width(std::max(width, 1)), m_height(std::max(height, 1)) {}

void NullCanvas::Resize(int width, int height) {
    m_width = std::max(width, 1);
    m_height = std::max(height, 1);
}

Rgb NullCanvas::Pixel(int x, int y) const {
    if (x < 0 || y < 0 || x >= m_width || y >= m_height) {
        throw Error(host::E_HOST_INVALIDARG, "Pixel (" + std::to_string(x) + ", " +
                                                 std::to_string(y) + ") is outside the canvas");
    }
    return Rgb{};
}

std::vector<std::uint32_t> NullCanvas::Pixels() const {
    return std::vector<std::uint32_t>(
        static_cast<std::size_t>(m_width) * static_cast<std::size_t>(m_height), 0U);
}

}  // namespace velorin::memory
