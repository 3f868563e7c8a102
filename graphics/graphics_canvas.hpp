#pragma once
// The plot window's picture: an RGB framebuffer with the drawing operations
// the plotting layer needs. Everything is drawn off screen; a PlotWindow shows
// the pixels when a display is available, and tests read them directly.
//
// Pixel coordinates: x to the right, y downward, origin at the top-left
// corner. Rectangles are half-open (right() == x + width). A pixel outside
// the canvas or the clip rectangle is never written.
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/status.hpp"
#include "graphics/bitmap_file.hpp"
#include "graphics/fonts.hpp"

namespace zeph {

struct RgbColour {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    bool operator==(const RgbColour&) const = default;
};

// 0xRRGGBB as a colour.
constexpr RgbColour rgb_from_hex(std::uint32_t hex) {
    return RgbColour{static_cast<std::uint8_t>(hex >> 16), static_cast<std::uint8_t>(hex >> 8),
               static_cast<std::uint8_t>(hex)};
}

struct PixelPoint {
    int x = 0;
    int y = 0;
    bool operator==(const PixelPoint&) const = default;
};

struct PixelRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;

    int right() const { return x + width; }
    int bottom() const { return y + height; }
    bool empty() const { return width <= 0 || height <= 0; }
    bool contains(PixelPoint p) const { return p.x >= x && p.x < right() && p.y >= y && p.y < bottom(); }
    PixelRect intersected(const PixelRect& other) const;
    // The rectangle whose corner pixels are a and b (both included, any order).
    static PixelRect from_corners(PixelPoint a, PixelPoint b);
    bool operator==(const PixelRect&) const = default;
};

// Where a text stands, for a reader that writes it again elsewhere (the
// terminal's characters): the point its alignment pins and which part of
// the text lies at that point.
struct TextPlacement {
    PixelPoint anchor;
    double along = 0;    // fraction of the text's length before the anchor: 0 its start, ½ its middle, 1 its end
    double across = 0;   // fraction of its height above the anchor: 0 its top, ½ its middle, 1 its bottom
};

// One text drawn on the canvas: what it says, where, in which colour, and
// the pixels it changed, so that the picture can be had without it.
struct CanvasText {
    struct Covered {
        std::size_t index = 0;   // y · canvas width + x
        RgbColour before;
        RgbColour after;
    };
    std::string text;
    RgbColour colour;
    TextPlacement placement;
    double angle = 0;            // degrees, counter-clockwise
    int width = 0;               // pixels along the text (0 without a font)
    int height = 0;              // pixels across it
    std::vector<Covered> covered;
};

enum class FillRule { EvenOdd, NonZero };

// 8 rows of 8 pixels, row 0 first, bit 7 the leftmost pixel; a set bit is
// painted in the current colour, a clear one leaves the pixel as it was.
using FillPattern = std::array<std::uint8_t, 8>;
inline constexpr FillPattern kSolidFill{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

class GraphicsCanvas {
public:
    static constexpr int kPaletteSize = 16;
    static constexpr int kMaxPolygonPoints = 399;
    static constexpr int kMaxSide = 32767;                 // pixels
    static constexpr std::uint16_t kSolidLine = 0xFFFF;
    static constexpr std::size_t kImageHeaderBytes = 4;    // width, height: 16 bits each

    // A canvas of width × height pixels (each limited to 0..kMaxSide), cleared
    // to white, with the 16-colour palette, colour 0, a solid line, a solid
    // fill, the even-odd rule and no font.
    GraphicsCanvas(int width, int height);
    ~GraphicsCanvas();
    GraphicsCanvas(const GraphicsCanvas&) = delete;
    GraphicsCanvas& operator=(const GraphicsCanvas&) = delete;

    // New size; the picture is cleared to the background and the clip reset.
    void resize(int width, int height);
    int width() const { return width_; }
    int height() const { return height_; }
    PixelRect bounds() const { return {0, 0, width_, height_}; }

    void set_background(RgbColour colour) { background_ = colour; }
    RgbColour background() const { return background_; }
    // The whole canvas to the background or a colour, clip ignored; the kept texts go.
    void clear();
    void clear_to(RgbColour colour);

    // Palette index 0..15 (others are ignored) for lines, fills and text.
    void set_palette_entry(int index, RgbColour colour);
    RgbColour palette_entry(int index) const;
    void set_colour(int index);
    int colour() const { return colour_; }

    // 16-bit on/off pattern, bit 15 first; the pattern runs on across
    // consecutive lines and restarts when a new pattern is set.
    void set_line_style(std::uint16_t mask);
    std::uint16_t line_style() const { return line_mask_; }
    void set_fill_pattern(const FillPattern& pattern) { fill_pattern_ = pattern; }
    void set_fill_rule(FillRule rule) { fill_rule_ = rule; }

    void move_to(PixelPoint p) { current_ = p; }
    PixelPoint current_point() const { return current_; }
    // One-pixel line from the current point to p, both ends included, in the
    // current colour and pattern; p becomes the current point.
    void line_to(PixelPoint p);
    // Closed polygon of at most kMaxPolygonPoints points (further points are
    // ignored). Border: one-pixel lines with the current pattern. Filled: the
    // pixels whose centres lie inside (integer points are pixel centres; the
    // left and top edges belong to the polygon, the right and bottom ones do
    // not), by the fill rule, through the fill pattern, border not drawn.
    void polygon(std::span<const PixelPoint> points, bool filled);

    void set_clip(const PixelRect& rect) { clip_ = rect.intersected(bounds()); }
    void reset_clip() { clip_ = bounds(); }
    PixelRect clip() const { return clip_; }

    // Best-fitting font by face name and cell height/average width in pixels;
    // false when none was found: text is then skipped and its width is 0.
    bool select_font(const FontRequest& request);
    // Draws the text with the top-left corner of its cell at the current
    // point (turned by the font's escapement about that point), blended onto
    // the picture in the current colour; the current point stays. The text is
    // kept in texts() with `placement` (by default: its start and top at the
    // current point), also when no font could draw it.
    void draw_text(std::string_view text, std::optional<TextPlacement> placement = std::nullopt);
    // The texts drawn since the picture was last cleared, oldest first.
    const std::vector<CanvasText>& texts() const { return texts_; }
    // The texts of a picture put back whole with put_image.
    void set_texts(std::vector<CanvasText> texts) { texts_ = std::move(texts); }
    // The picture as rgb_pixels() gives it, with every pixel a kept text
    // changed and nothing drawn over since given back what it held before.
    std::vector<std::uint8_t> pixels_without_texts() const;
    int text_width(std::string_view text) const { return font_.text_width(text); }
    int text_height() const { return font_.cell_height(); }

    // Image buffers: kImageHeaderBytes (width, height as 16-bit little-endian)
    // then the rows top-down, 3 bytes per pixel (red, green, blue).
    std::size_t image_size(const PixelRect& rect) const;
    // Copies the rectangle into the buffer (pixels off the canvas read as the
    // background); returns the bytes used, 0 when the buffer is too small or
    // the rectangle is empty.
    std::size_t get_image(const PixelRect& rect, std::span<std::uint8_t> buffer) const;
    // Copies a buffer from get_image back with its top-left corner at p,
    // replacing what is there (clip ignored, off-canvas pixels dropped);
    // false when the buffer is shorter than its header says.
    bool put_image(PixelPoint p, std::span<const std::uint8_t> buffer);

    // Writes the rectangle (limited to the canvas) as a 24-bit BMP, or PNG
    // when the name ends in ".png"; "Error writing file: " + name on failure.
    Status save_bitmap(const PixelRect& rect, const std::string& name) const;

    // Background outside the canvas.
    RgbColour pixel(int x, int y) const;
    // The picture's rows top-down, 3 bytes per pixel, no padding.
    const std::vector<std::uint8_t>& rgb_pixels() const { return pixels_; }
    RgbImage copy_image(const PixelRect& rect) const;

private:
    void plot(int x, int y, RgbColour colour);   // honours the clip
    void blend(int x, int y, RgbColour colour, std::uint8_t coverage);
    bool mask_bit_for_next_pixel();
    void fill_polygon(std::span<const PixelPoint> points);
    void fill_span(int y, int x_begin, int x_end);
    RgbColour current_rgb() const { return palette_[static_cast<std::size_t>(colour_)]; }

    int width_ = 0;
    int height_ = 0;
    std::vector<std::uint8_t> pixels_;
    RgbColour background_{255, 255, 255};
    std::array<RgbColour, kPaletteSize> palette_{};
    int colour_ = 0;
    std::uint16_t line_mask_ = kSolidLine;
    int mask_phase_ = 0;                       // next bit of the line pattern, 0 = bit 15
    FillPattern fill_pattern_ = kSolidFill;
    FillRule fill_rule_ = FillRule::EvenOdd;
    PixelRect clip_{};
    PixelPoint current_{};
    FontRenderer font_;
    double text_angle_ = 0;                    // degrees, of the selected font
    std::vector<CanvasText> texts_;
};

// The 16 standard colours (black, blue, green, cyan, red, magenta, brown,
// light grey, dark grey, then the light ones up to bright white).
const std::array<RgbColour, GraphicsCanvas::kPaletteSize>& standard_palette();

}  // namespace zeph
