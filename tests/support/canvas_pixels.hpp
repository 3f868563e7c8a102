#pragma once
// Pixel queries on an off-screen canvas painted over a white background.
#include <algorithm>
#include <climits>

#include "graphics/graphics_canvas.hpp"

namespace zeph::testing {

inline constexpr RgbColour kWhite{255, 255, 255};

inline bool painted(const GraphicsCanvas& c, int x, int y) { return c.pixel(x, y) != kWhite; }

// Bounding box of the painted pixels (empty when none).
inline PixelRect painted_box(const GraphicsCanvas& c) {
    int left = INT_MAX, top = INT_MAX, right = INT_MIN, bottom = INT_MIN;
    for (int y = 0; y < c.height(); ++y)
        for (int x = 0; x < c.width(); ++x)
            if (painted(c, x, y)) {
                left = std::min(left, x), right = std::max(right, x);
                top = std::min(top, y), bottom = std::max(bottom, y);
            }
    if (left == INT_MAX) return {};
    return PixelRect::from_corners({left, top}, {right, bottom});
}

}  // namespace zeph::testing
