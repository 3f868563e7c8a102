#include "plot/painter.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

#include "base/text.hpp"
#include "base/utf8.hpp"
#include "plot/markers.hpp"

namespace zeph {

namespace {

constexpr RgbColour kWhite{255, 255, 255};
constexpr int kClearColour = 15;   // bright white

// Fill patterns 0..6: solid, then the hatches horizontal, vertical, "\", "/",
// cross and diagonal cross (row 0 first, bit 7 leftmost).
constexpr std::array<FillPattern, 7> kFillPatterns{{
    kSolidFill,
    {0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00},
    {0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80},
    {0x80, 0x40, 0x20, 0x10, 0x08, 0x04, 0x02, 0x01},
    {0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40, 0x80},
    {0xFF, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80},
    {0x81, 0x42, 0x24, 0x18, 0x18, 0x24, 0x42, 0x81},
}};

// Nearest integer (halves away from zero) of a pixel product limited to ±32000.
int nearest_limited(double v) {
    if (std::isnan(v)) v = -kPixelLimit;
    return static_cast<int>(std::lround(std::clamp(v, -kPixelLimit, kPixelLimit)));
}

struct Segment {
    double x0, y0, x1, y1;
};

// Liang–Barsky: the part of the segment inside the rectangle of pixel
// centres [left, right] × [top, bottom]; nothing when it misses it.
std::optional<Segment> clip_segment(Segment s, double left, double top, double right, double bottom) {
    const double dx = s.x1 - s.x0, dy = s.y1 - s.y0;
    double t_enter = 0, t_leave = 1;
    const auto limit = [&](double p, double q) {
        if (p == 0) return q >= 0;   // parallel: inside or not at all
        const double t = q / p;
        if (p < 0) {
            if (t > t_leave) return false;
            t_enter = std::max(t_enter, t);
        } else {
            if (t < t_enter) return false;
            t_leave = std::min(t_leave, t);
        }
        return true;
    };
    if (!limit(-dx, s.x0 - left) || !limit(dx, right - s.x0) || !limit(-dy, s.y0 - top) ||
        !limit(dy, bottom - s.y0)) {
        return std::nullopt;
    }
    return Segment{s.x0 + t_enter * dx, s.y0 + t_enter * dy, s.x0 + t_leave * dx, s.y0 + t_leave * dy};
}

PixelPoint rounded(double x, double y) {
    return {static_cast<int>(std::lround(x)), static_cast<int>(std::lround(y))};
}

double alignment_fraction(HorizontalAlign a) {
    return a == HorizontalAlign::Centre ? 0.5 : a == HorizontalAlign::Right ? 1.0 : 0.0;
}
double alignment_fraction(VerticalAlign a) {
    return a == VerticalAlign::Centre ? 0.5 : a == VerticalAlign::Bottom ? 1.0 : 0.0;
}

char first_letter_upper(std::string_view s) { return s.empty() ? '\0' : upper_letter(s.front()); }

}  // namespace

int wide_line_steps(int half_width) { return std::clamp(4 * half_width, 4, 100); }

std::vector<PixelPoint> wide_line_outline(PixelPoint a, PixelPoint b, int half_width, int steps) {
    const double theta = (a == b) ? 0.0 : std::atan2(b.y - a.y, b.x - a.x);
    const int n = std::max(1, steps);
    std::vector<PixelPoint> outline;
    outline.reserve(2 * static_cast<std::size_t>(n) + 2);
    const auto add = [&](PixelPoint centre, double angle) {
        const PixelPoint p = rounded(centre.x + half_width * std::cos(angle), centre.y + half_width * std::sin(angle));
        if (outline.empty() || !(outline.back() == p)) outline.push_back(p);
    };
    const double quarter = std::numbers::pi / 2, step = std::numbers::pi / n;
    for (int k = 0; k <= n; ++k) add(b, theta - quarter + k * step);   // far end
    for (int k = 0; k <= n; ++k) add(a, theta + quarter + k * step);   // near end
    if (outline.size() > 1 && outline.back() == outline.front()) outline.pop_back();
    return outline;
}

Painter::Painter(GraphicsCanvas& canvas) : canvas_(canvas) { update_scales(); }

// Equal scales on both axes, the world centred: a window of another shape
// than the world keeps strips of background on two sides, and a circle in
// the world stays round on the canvas.
void Painter::update_scales() {
    px_max_ = std::max(0, canvas_.width() - 1);
    py_max_ = std::max(0, canvas_.height() - 1);
    const double width = world_.x_max - world_.x_min, height = world_.y_max - world_.y_min;
    const double scale = std::min(px_max_ / std::abs(width), py_max_ / std::abs(height));
    sx_ = std::copysign(scale, width);
    sy_ = std::copysign(scale, height);
    world_pixels_high_ = scale * std::abs(height);
    offset_x_ = (px_max_ - scale * std::abs(width)) / 2;
    offset_y_ = (py_max_ - world_pixels_high_) / 2;
}

Status Painter::graphics_open(int width, int height, int metafile_mode) {
    if (width < 2 || height < 2 || width > GraphicsCanvas::kMaxSide || height > GraphicsCanvas::kMaxSide) {
        return Status::failure("Graphics window size out of range");
    }
    canvas_.resize(width, height);
    for (int i = 0; i < GraphicsCanvas::kPaletteSize; ++i) canvas_.set_palette_entry(i, standard_palette()[i]);
    canvas_.set_background(kWhite);
    canvas_.clear();
    update_scales();
    if (recorder_) {
        recorder_->begin(metafile_mode);
        recorder_->world_window(world_);
    }
    if (metafile_mode != -1) {
        canvas_.clear_to(canvas_.palette_entry(kClearColour));
        if (recorder_) recorder_->clear(canvas_.palette_entry(kClearColour));
        select_pen_defaults();
    } else {
        apply_pen_to_canvas();
        record_pen();
    }
    return Status::success();
}

// Colour 0, solid one-pixel line, fill pattern 0, applied even when they were
// current before: the picture (and the recorder) start afresh.
void Painter::select_pen_defaults() {
    colour_ = -1;
    width_value_.reset();
    fill_pattern_ = -1;
    set_colour(0);
    set_line_style(0);
    set_fill_pattern(0);
}

void Painter::apply_pen_to_canvas() {
    canvas_.set_colour(std::max(colour_, 0));
    canvas_.set_line_style(style_index_ == kWideLineStyle ? kDashMasks[0] : kDashMasks[style_index_]);
    canvas_.set_fill_pattern(kFillPatterns[static_cast<std::size_t>(std::max(fill_pattern_, 0))]);
}

void Painter::record_pen() {
    if (!recorder_) return;
    PenState pen;
    pen.colour = std::max(colour_, 0);
    pen.rgb = canvas_.palette_entry(pen.colour);
    pen.width_value = width_value_.value_or(0);
    pen.style_index = style_index_;
    pen.fill_pattern = std::max(fill_pattern_, 0);
    recorder_->pen(pen);
}

Status Painter::graphics_close(int bitmap_mode, const std::string& bitmap_file) {
    Status status;
    if (bitmap_mode == 2) status = canvas_.save_bitmap({0, 0, px_max_ + 1, py_max_ + 1}, bitmap_file);
    if (recorder_) recorder_->end();
    return status;
}

void Painter::set_world_window(double x1, double y1, double x2, double y2) {
    const bool finite = std::isfinite(x1) && std::isfinite(y1) && std::isfinite(x2) && std::isfinite(y2);
    if (!finite || x1 == x2 || y1 == y2) return;
    world_ = {x1, y1, x2, y2};
    update_scales();
    if (recorder_) recorder_->world_window(world_);
}

PixelPoint Painter::to_pixel(double x, double y) const {
    return {nearest_limited(offset_x_ + (x - world_.x_min) * sx_),
            py_max_ - nearest_limited(offset_y_ + (y - world_.y_min) * sy_)};
}

WorldPoint Painter::to_world(double px, double py) const {
    return {world_.x_min + (px - offset_x_) / sx_, world_.y_min + (py_max_ - py - offset_y_) / sy_};
}

void Painter::set_clip_rect(double x1, double y1, double x2, double y2) {
    canvas_.set_clip(PixelRect::from_corners(to_pixel(x1, y1), to_pixel(x2, y2)));
    if (recorder_) recorder_->clip_rect({x1, y1}, {x2, y2});
}

void Painter::set_colour(int index) {
    if (index == colour_ || index < 0 || index >= GraphicsCanvas::kPaletteSize) return;
    colour_ = index;
    canvas_.set_colour(index);
    record_pen();
}

void Painter::set_line_style(double v) {
    if (width_value_ && *width_value_ == v) return;
    width_value_ = v;
    if (v > kOnePixelWidth) {
        half_width_ = std::max(1, static_cast<int>(std::lround(v * 0.5 * (world_pixels_high_ + 1))));
        style_index_ = kWideLineStyle;
        canvas_.set_line_style(kDashMasks[0]);
    } else {
        half_width_ = 1;
        style_index_ = std::isnan(v) ? 0 : static_cast<int>(std::clamp(std::round(-v), 0.0, 4.0));
        canvas_.set_line_style(kDashMasks[style_index_]);
    }
    record_pen();
}

void Painter::set_fill_pattern(int index) {
    if (index < 0 || index >= static_cast<int>(kFillPatterns.size())) index = 0;
    if (index == fill_pattern_) return;
    fill_pattern_ = index;
    canvas_.set_fill_pattern(kFillPatterns[static_cast<std::size_t>(index)]);
    record_pen();
}

void Painter::move_to(double x, double y) {
    last_point_ = to_pixel(x, y);
    if (recorder_) recorder_->move_to({x, y});
}

void Painter::line_to(double x, double y) {
    const PixelPoint to = to_pixel(x, y);
    const bool one_pixel = half_width_ <= 1 || !width_value_ || *width_value_ <= kOnePixelWidth;
    if (one_pixel) {
        draw_one_pixel_segment(last_point_, to);
    } else {
        draw_wide_segment(last_point_, to);
    }
    last_point_ = to;
    if (recorder_) recorder_->line_to({x, y});
}

void Painter::draw_one_pixel_segment(PixelPoint from, PixelPoint to) {
    const PixelRect clip = canvas_.clip();
    if (clip.empty()) return;
    const auto inside = clip_segment({double(from.x), double(from.y), double(to.x), double(to.y)}, clip.x, clip.y,
                                     clip.right() - 1, clip.bottom() - 1);
    if (!inside) return;
    canvas_.move_to(rounded(inside->x0, inside->y0));
    canvas_.line_to(rounded(inside->x1, inside->y1));
}

void Painter::draw_wide_segment(PixelPoint from, PixelPoint to) {
    // The band's rows are limited to the clip by the canvas's scan-line fill.
    const std::vector<PixelPoint> band = wide_line_outline(from, to, half_width_, wide_line_steps(half_width_));
    canvas_.polygon(band, true);
}

void Painter::draw_polygon(std::span<const double> xs, std::span<const double> ys, int count, double x0, double y0,
                           bool filled) {
    const std::size_t n = std::min({static_cast<std::size_t>(std::max(count, 0)), xs.size(), ys.size(),
                                    static_cast<std::size_t>(GraphicsCanvas::kMaxPolygonPoints)});
    if (n == 0) return;
    if (!filled) {
        move_to(xs[0] + x0, ys[0] + y0);
        for (std::size_t i = 1; i < n; ++i) line_to(xs[i] + x0, ys[i] + y0);
        return;
    }
    std::vector<PixelPoint> pixels(n);
    std::vector<WorldPoint> world(n);
    for (std::size_t i = 0; i < n; ++i) {
        world[i] = {xs[i] + x0, ys[i] + y0};
        pixels[i] = to_pixel(world[i].x, world[i].y);
    }
    canvas_.polygon(pixels, true);
    if (recorder_) recorder_->filled_polygon(world);
}

void Painter::draw_offsets(const std::vector<WorldPoint>& offsets, double x, double y, bool filled) {
    std::vector<double> xs, ys;
    xs.reserve(offsets.size());
    ys.reserve(offsets.size());
    for (const auto& p : offsets) {
        xs.push_back(p.x);
        ys.push_back(p.y);
    }
    draw_polygon(xs, ys, static_cast<int>(offsets.size()), x, y, filled);
}

void Painter::draw_marker(double x, double y, int type, double radius, bool filled) {
    if (type < 0) return;
    const double d = radius * (world_.y_max - world_.y_min);
    if (type == 0) {
        draw_arc_polygon(x, y, d, d, 0, 0, 360, filled);
    } else if (type == 1) {
        draw_offsets(diamond_offsets(d), x, y, filled);
    } else if (type == 2) {
        draw_offsets(star_offsets(d), x, y, filled);
    } else {
        draw_offsets(regular_polygon_offsets(type, d), x, y, filled);
    }
}

void Painter::draw_arc_polygon(double x, double y, double rx, double ry, double rotation, double a1, double a2,
                               bool filled) {
    const int n = arc_vertex_count(std::max(std::abs(rx), std::abs(ry)), world_.x_max - world_.x_min);
    draw_offsets(arc_offsets(rx, ry, rotation, a1, a2, n), x, y, filled);
}

void Painter::set_text_align(std::string_view h, std::string_view v) {
    const char hl = first_letter_upper(h), vl = first_letter_upper(v);
    h_align_ = hl == 'C' ? HorizontalAlign::Centre : hl == 'R' ? HorizontalAlign::Right : HorizontalAlign::Left;
    v_align_ = vl == 'C' ? VerticalAlign::Centre : vl == 'B' ? VerticalAlign::Bottom : VerticalAlign::Top;
    if (recorder_) recorder_->text_align(h_align_, v_align_);
}

void Painter::select_font(const std::string& face, double height_fraction, double width_fraction, double angle,
                          bool bold, bool italic, bool underline) {
    FontRequest request;
    request.face = face;
    request.height = nearest_limited(height_fraction * world_pixels_high_);
    request.width = nearest_limited(width_fraction * world_pixels_high_);
    request.bold = bold;
    request.italic = italic;
    request.underline = underline;
    request.escapement = nearest_limited(angle * 10);   // tenths of a degree
    canvas_.select_font(request);
    text_angle_ = std::isfinite(angle) ? angle : 0.0;
    if (recorder_) recorder_->font({face, height_fraction, width_fraction, angle, bold, italic, underline});
}

void Painter::draw_text(double x, double y, std::string_view text, int length) {
    // `length` counts characters, so a label is never cut inside one.
    const std::string_view shown = first_characters(text, static_cast<std::size_t>(std::max(length, 0)));
    if (shown.empty()) return;
    // Move back from the anchor along the text by 0, ½ or all of its width and
    // across it by 0, ½ or all of its height; screen y grows downward.
    const double back = alignment_fraction(h_align_) * canvas_.text_width(shown);
    const double up = alignment_fraction(v_align_) * canvas_.text_height();
    const double a = text_angle_ * std::numbers::pi / 180.0, c = std::cos(a), s = std::sin(a);
    const PixelPoint anchor = to_pixel(x, y);
    canvas_.move_to(rounded(anchor.x - back * c - up * s, anchor.y + back * s - up * c));
    canvas_.draw_text(shown, TextPlacement{anchor, alignment_fraction(h_align_), alignment_fraction(v_align_)});
    if (recorder_) recorder_->text({x, y}, shown);
}

std::size_t Painter::image_size(double x1, double y1, double x2, double y2) const {
    return canvas_.image_size(PixelRect::from_corners(to_pixel(x1, y1), to_pixel(x2, y2)));
}

std::size_t Painter::get_image(double x1, double y1, double x2, double y2, std::span<std::uint8_t> buffer) const {
    return canvas_.get_image(PixelRect::from_corners(to_pixel(x1, y1), to_pixel(x2, y2)), buffer);
}

bool Painter::put_image(double x, double y, std::span<const std::uint8_t> buffer) {
    return canvas_.put_image(to_pixel(x, y), buffer);
}

}  // namespace zeph
