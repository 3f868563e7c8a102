#include "graphics/graphics_canvas.hpp"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace zeph {

namespace {

// Callers may pass any int; pixel coordinates are 16-bit.
int clamp_coordinate(int v) { return std::clamp(v, -32767, 32767); }
PixelPoint clamp_point(PixelPoint p) { return {clamp_coordinate(p.x), clamp_coordinate(p.y)}; }

int clamp_side(int v) { return std::clamp(v, 0, GraphicsCanvas::kMaxSide); }

struct Crossing {
    double x;
    int direction;   // +1 edge going down the screen, -1 going up
};

}  // namespace

const std::array<RgbColour, GraphicsCanvas::kPaletteSize>& standard_palette() {
    static constexpr std::array<RgbColour, GraphicsCanvas::kPaletteSize> kPalette{
        rgb_from_hex(0x000000), rgb_from_hex(0x0000AA), rgb_from_hex(0x00AA00), rgb_from_hex(0x00AAAA),
        rgb_from_hex(0xAA0000), rgb_from_hex(0xAA00AA), rgb_from_hex(0xAA5500), rgb_from_hex(0xAAAAAA),
        rgb_from_hex(0x555555), rgb_from_hex(0x5555FF), rgb_from_hex(0x55FF55), rgb_from_hex(0x55FFFF),
        rgb_from_hex(0xFF5555), rgb_from_hex(0xFF55FF), rgb_from_hex(0xFFFF55), rgb_from_hex(0xFFFFFF)};
    return kPalette;
}

PixelRect PixelRect::intersected(const PixelRect& other) const {
    const int left = std::max(x, other.x), top = std::max(y, other.y);
    const int r = std::min(right(), other.right()), b = std::min(bottom(), other.bottom());
    if (r <= left || b <= top) return {left, top, 0, 0};
    return {left, top, r - left, b - top};
}

PixelRect PixelRect::from_corners(PixelPoint a, PixelPoint b) {
    const int left = std::min(a.x, b.x), top = std::min(a.y, b.y);
    return {left, top, std::max(a.x, b.x) - left + 1, std::max(a.y, b.y) - top + 1};
}

GraphicsCanvas::GraphicsCanvas(int width, int height) : palette_(standard_palette()) { resize(width, height); }

GraphicsCanvas::~GraphicsCanvas() = default;

void GraphicsCanvas::resize(int width, int height) {
    width_ = clamp_side(width);
    height_ = clamp_side(height);
    pixels_.assign(static_cast<std::size_t>(width_) * height_ * 3, 0);
    clear();
    reset_clip();
}

void GraphicsCanvas::clear() { clear_to(background_); }

void GraphicsCanvas::clear_to(RgbColour colour) {
    texts_.clear();
    for (std::size_t i = 0; i + 2 < pixels_.size(); i += 3) {
        pixels_[i] = colour.red;
        pixels_[i + 1] = colour.green;
        pixels_[i + 2] = colour.blue;
    }
}

void GraphicsCanvas::set_palette_entry(int index, RgbColour colour) {
    if (index >= 0 && index < kPaletteSize) palette_[static_cast<std::size_t>(index)] = colour;
}

RgbColour GraphicsCanvas::palette_entry(int index) const {
    if (index < 0 || index >= kPaletteSize) return RgbColour{};
    return palette_[static_cast<std::size_t>(index)];
}

void GraphicsCanvas::set_colour(int index) {
    if (index >= 0 && index < kPaletteSize) colour_ = index;
}

void GraphicsCanvas::set_line_style(std::uint16_t mask) {
    line_mask_ = mask;
    mask_phase_ = 0;
}

RgbColour GraphicsCanvas::pixel(int x, int y) const {
    if (!bounds().contains({x, y})) return background_;
    const std::size_t i = (static_cast<std::size_t>(y) * width_ + x) * 3;
    return RgbColour{pixels_[i], pixels_[i + 1], pixels_[i + 2]};
}

void GraphicsCanvas::plot(int x, int y, RgbColour colour) {
    if (!clip_.contains({x, y})) return;
    const std::size_t i = (static_cast<std::size_t>(y) * width_ + x) * 3;
    pixels_[i] = colour.red;
    pixels_[i + 1] = colour.green;
    pixels_[i + 2] = colour.blue;
}

void GraphicsCanvas::blend(int x, int y, RgbColour colour, std::uint8_t coverage) {
    if (!clip_.contains({x, y})) return;
    const std::size_t i = (static_cast<std::size_t>(y) * width_ + x) * 3;
    const auto mix = [coverage](std::uint8_t under, std::uint8_t over) {
        return static_cast<std::uint8_t>((under * (255 - coverage) + over * coverage + 127) / 255);
    };
    pixels_[i] = mix(pixels_[i], colour.red);
    pixels_[i + 1] = mix(pixels_[i + 1], colour.green);
    pixels_[i + 2] = mix(pixels_[i + 2], colour.blue);
}

bool GraphicsCanvas::mask_bit_for_next_pixel() {
    const bool on = (line_mask_ >> (15 - mask_phase_)) & 1;
    mask_phase_ = (mask_phase_ + 1) & 15;
    return on;
}

void GraphicsCanvas::line_to(PixelPoint p) {
    const PixelPoint from = clamp_point(current_);
    const PixelPoint to = clamp_point(p);
    current_ = to;
    const int dx = std::abs(to.x - from.x), dy = -std::abs(to.y - from.y);
    const int pixel_count = std::max(dx, -dy) + 1;

    // A line wholly outside the clip only moves the pattern on.
    const PixelRect box = PixelRect::from_corners(from, to);
    if (box.intersected(clip_).empty()) {
        mask_phase_ = (mask_phase_ + pixel_count) & 15;
        return;
    }

    const int step_x = from.x < to.x ? 1 : -1, step_y = from.y < to.y ? 1 : -1;
    int x = from.x, y = from.y, error = dx + dy;
    const RgbColour colour = current_rgb();
    for (;;) {
        if (mask_bit_for_next_pixel()) plot(x, y, colour);
        if (x == to.x && y == to.y) break;
        const int doubled = 2 * error;
        if (doubled >= dy) {
            error += dy;
            x += step_x;
        }
        if (doubled <= dx) {
            error += dx;
            y += step_y;
        }
    }
}

void GraphicsCanvas::polygon(std::span<const PixelPoint> points, bool filled) {
    const std::span<const PixelPoint> used = points.first(std::min<std::size_t>(points.size(), kMaxPolygonPoints));
    if (used.empty()) return;
    if (filled) {
        fill_polygon(used);
        return;
    }
    move_to(used.front());
    for (std::size_t i = 1; i < used.size(); ++i) line_to(used[i]);
    line_to(used.front());
}

void GraphicsCanvas::fill_span(int y, int x_begin, int x_end) {
    const std::uint8_t row_pattern = fill_pattern_[static_cast<std::size_t>(y & 7)];
    const RgbColour colour = current_rgb();
    x_begin = std::max(x_begin, clip_.x);
    x_end = std::min(x_end, clip_.right());
    for (int x = x_begin; x < x_end; ++x) {
        if (row_pattern & (0x80 >> (x & 7))) plot(x, y, colour);
    }
}

void GraphicsCanvas::fill_polygon(std::span<const PixelPoint> points) {
    if (points.size() < 3 || clip_.empty()) return;
    std::vector<PixelPoint> p(points.begin(), points.end());
    for (auto& q : p) q = clamp_point(q);
    int top = p[0].y, bottom = p[0].y;
    for (const auto& q : p) {
        top = std::min(top, q.y);
        bottom = std::max(bottom, q.y);
    }
    const int first_row = std::max(top, clip_.y);
    const int end_row = std::min(bottom, clip_.bottom());

    std::vector<Crossing> crossings;
    crossings.reserve(p.size());
    for (int y = first_row; y < end_row; ++y) {
        crossings.clear();
        for (std::size_t i = 0; i < p.size(); ++i) {
            const PixelPoint a = p[i], b = p[(i + 1) % p.size()];
            if (a.y == b.y) continue;
            // An edge owns its upper end and not its lower one, so a vertex
            // shared by two edges is counted once.
            if (y < std::min(a.y, b.y) || y >= std::max(a.y, b.y)) continue;
            const double x = a.x + static_cast<double>(y - a.y) * (b.x - a.x) / (b.y - a.y);
            crossings.push_back({x, b.y > a.y ? 1 : -1});
        }
        std::sort(crossings.begin(), crossings.end(),
                  [](const Crossing& l, const Crossing& r) { return l.x < r.x; });
        int winding = 0;
        for (std::size_t i = 0; i + 1 < crossings.size(); ++i) {
            winding += fill_rule_ == FillRule::EvenOdd ? 1 : crossings[i].direction;
            const bool inside = fill_rule_ == FillRule::EvenOdd ? (winding & 1) != 0 : winding != 0;
            // Pixel x is inside when its centre x lies in [crossing i, crossing i+1).
            if (inside) {
                fill_span(y, static_cast<int>(std::ceil(crossings[i].x)),
                          static_cast<int>(std::ceil(crossings[i + 1].x)));
            }
        }
    }
}

bool GraphicsCanvas::select_font(const FontRequest& request) {
    text_angle_ = request.escapement / 10.0;
    return font_.select(request);
}

void GraphicsCanvas::draw_text(std::string_view text, std::optional<TextPlacement> placement) {
    CanvasText kept{std::string(text), current_rgb(), placement.value_or(TextPlacement{current_, 0, 0}),
                    text_angle_, font_.text_width(text), font_.cell_height(), {}};
    font_.render(text, current_.x, current_.y, [this, &kept](int x, int y, std::uint8_t coverage) {
        if (!clip_.contains({x, y})) return;
        const RgbColour before = pixel(x, y);
        blend(x, y, kept.colour, coverage);
        kept.covered.push_back({static_cast<std::size_t>(y) * width_ + x, before, pixel(x, y)});
    });
    texts_.push_back(std::move(kept));
}

std::vector<std::uint8_t> GraphicsCanvas::pixels_without_texts() const {
    std::vector<std::uint8_t> pixels = pixels_;
    // Newest first, so that a pixel two texts covered gets what it held before both.
    for (auto text = texts_.rbegin(); text != texts_.rend(); ++text) {
        for (auto c = text->covered.rbegin(); c != text->covered.rend(); ++c) {
            if (3 * c->index + 2 >= pixels.size()) continue;
            std::uint8_t* p = &pixels[3 * c->index];
            if (RgbColour{p[0], p[1], p[2]} != c->after) continue;   // drawn over since
            p[0] = c->before.red, p[1] = c->before.green, p[2] = c->before.blue;
        }
    }
    return pixels;
}

std::size_t GraphicsCanvas::image_size(const PixelRect& rect) const {
    if (rect.empty() || rect.width > 0xFFFF || rect.height > 0xFFFF) return 0;
    return kImageHeaderBytes + static_cast<std::size_t>(rect.width) * rect.height * 3;
}

std::size_t GraphicsCanvas::get_image(const PixelRect& rect, std::span<std::uint8_t> buffer) const {
    const std::size_t needed = image_size(rect);
    if (needed == 0 || buffer.size() < needed) return 0;
    buffer[0] = static_cast<std::uint8_t>(rect.width);        // width, low byte first
    buffer[1] = static_cast<std::uint8_t>(rect.width >> 8);
    buffer[2] = static_cast<std::uint8_t>(rect.height);       // height, low byte first
    buffer[3] = static_cast<std::uint8_t>(rect.height >> 8);
    std::size_t i = kImageHeaderBytes;
    for (int y = rect.y; y < rect.bottom(); ++y) {
        for (int x = rect.x; x < rect.right(); ++x) {
            const RgbColour c = pixel(x, y);
            buffer[i++] = c.red;
            buffer[i++] = c.green;
            buffer[i++] = c.blue;
        }
    }
    return needed;
}

bool GraphicsCanvas::put_image(PixelPoint p, std::span<const std::uint8_t> buffer) {
    if (buffer.size() < kImageHeaderBytes) return false;
    p = clamp_point(p);
    const int w = buffer[0] | (buffer[1] << 8);
    const int h = buffer[2] | (buffer[3] << 8);
    const std::size_t needed = kImageHeaderBytes + static_cast<std::size_t>(w) * h * 3;
    if (buffer.size() < needed) return false;
    const PixelRect target = PixelRect{p.x, p.y, w, h}.intersected(bounds());
    for (int y = target.y; y < target.bottom(); ++y) {
        const std::size_t source = kImageHeaderBytes + (static_cast<std::size_t>(y - p.y) * w + (target.x - p.x)) * 3;
        const std::size_t dest = (static_cast<std::size_t>(y) * width_ + target.x) * 3;
        std::copy_n(buffer.begin() + static_cast<std::ptrdiff_t>(source), static_cast<std::size_t>(target.width) * 3,
                    pixels_.begin() + static_cast<std::ptrdiff_t>(dest));
    }
    return true;
}

RgbImage GraphicsCanvas::copy_image(const PixelRect& rect) const {
    const PixelRect r = rect.intersected(bounds());
    RgbImage image;
    if (r.empty()) return image;
    image.width = r.width;
    image.height = r.height;
    image.pixels.reserve(static_cast<std::size_t>(r.width) * r.height * 3);
    for (int y = r.y; y < r.bottom(); ++y) {
        const auto row = pixels_.begin() + static_cast<std::ptrdiff_t>((static_cast<std::size_t>(y) * width_ + r.x) * 3);
        image.pixels.insert(image.pixels.end(), row, row + static_cast<std::ptrdiff_t>(r.width) * 3);
    }
    return image;
}

Status GraphicsCanvas::save_bitmap(const PixelRect& rect, const std::string& name) const {
    return write_bitmap_file(name, copy_image(rect));
}

}  // namespace zeph
