// Painter::draw_raster: an image made at the canvas's resolution, one pixel
// for every pixel centre inside the world rectangle and the clip.
#include <algorithm>
#include <cmath>
#include <vector>

#include "plot/painter.hpp"

namespace zeph {

void Painter::draw_raster(const RasterImage& image) {
    const WorldRect& w = image.where;
    // Fractional pixel positions (pixel centres are integers) and back.
    const auto px = [&](double x) { return offset_x_ + (x - world_.x_min) * sx_; };
    const auto py = [&](double y) { return py_max_ - (offset_y_ + (y - world_.y_min) * sy_); };
    const auto wx = [&](double p) { return world_.x_min + (p - offset_x_) / sx_; };
    const auto wy = [&](double p) { return world_.y_min + (py_max_ - p - offset_y_) / sy_; };
    const double left = std::min(px(w.x_min), px(w.x_max)), right = std::max(px(w.x_min), px(w.x_max));
    const double top = std::min(py(w.y_min), py(w.y_max)), bottom = std::max(py(w.y_min), py(w.y_max));
    const PixelRect clip = canvas_.clip();
    const auto limit = [](double v, int lo, int hi) {
        if (!(v == v)) return lo;
        return static_cast<int>(std::clamp(std::ceil(v), double(lo), double(hi)));
    };
    const int c0 = limit(left, clip.x, clip.right()), c1 = limit(right, clip.x, clip.right());
    const int r0 = limit(top, clip.y, clip.bottom()), r1 = limit(bottom, clip.y, clip.bottom());
    if (image.render && c1 > c0 && r1 > r0) {
        const PixelRect rect{c0, r0, c1 - c0, r1 - r0};
        const WorldRect area{wx(c0 - 0.5), wy(r1 - 0.5), wx(c1 - 0.5), wy(r0 - 0.5)};
        const std::size_t pixels = static_cast<std::size_t>(rect.width) * static_cast<std::size_t>(rect.height);
        std::vector<std::uint8_t> rgb(3 * pixels), mask(pixels, 0);
        image.render(area, rect.width, rect.height, rgb.data(), mask.data());
        std::vector<std::uint8_t> buffer(canvas_.image_size(rect));
        if (canvas_.get_image(rect, buffer) == buffer.size()) {
            std::uint8_t* out = buffer.data() + GraphicsCanvas::kImageHeaderBytes;
            for (std::size_t i = 0; i < pixels; ++i) {
                if (mask[i]) std::copy_n(&rgb[3 * i], 3, out + 3 * i);
            }
            canvas_.put_image({c0, r0}, buffer);
        }
    }
    if (recorder_) recorder_->image(image);
}

}  // namespace zeph
