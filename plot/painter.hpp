#pragma once
// The drawing layer: a world-coordinate window (doubles, y upward) mapped
// onto the canvas's pixels with equal scales, centred, with the pen, markers and text the plot needs.
// Every primitive draws on the canvas and is also handed, in world
// coordinates, to an optional DrawingRecorder (the metafile writer).
//
// Segments are clipped geometrically to the clip rectangle before they are
// rasterised, so a line between two far-away points still shows the part of
// it that crosses the frame.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/status.hpp"
#include "graphics/graphics_canvas.hpp"

namespace zeph {

struct WorldPoint {
    double x = 0;
    double y = 0;
};

struct WorldRect {
    double x_min = 0;
    double y_min = 0;
    double x_max = 0;
    double y_max = 0;
};

// Pixels over a world rectangle, made at the resolution of each target.
// `render` fills width × height pixels of the world rectangle `area` (all
// or part of `where`), rows top-down, 3 bytes (RGB) each, and one mask byte
// per pixel: 1 painted, 0 left as it was (no data there).
struct RasterImage {
    WorldRect where;
    std::function<void(const WorldRect& area, int width, int height, std::uint8_t* rgb, std::uint8_t* mask)> render;
};

enum class HorizontalAlign { Left, Centre, Right };
enum class VerticalAlign { Top, Centre, Bottom };

// Dash patterns 0..4 (16-bit masks, bit 15 first): solid, long dash, dot,
// dash-dot, dash-dot-dot.
inline constexpr std::uint16_t kDashMasks[] = {0xFFFF, 0xFFFC, 0xC0C0, 0xFFCC, 0xFCCC};
inline constexpr int kWideLineStyle = 5;
// Line widths above this fraction of the window height are wide lines.
inline constexpr double kOnePixelWidth = 0.0001;
// World-to-pixel products are limited to this many pixels either way.
inline constexpr double kPixelLimit = 32000;

// The pen as the recorder needs it after every change.
struct PenState {
    int colour = 0;                 // palette index 0..15
    RgbColour rgb;                        // that palette entry
    double width_value = 0;         // last value given to set_line_style
    int style_index = 0;            // 0..4 dash pattern, kWideLineStyle for a wide line
    int fill_pattern = 0;           // 0 solid, 1..6 hatches
};

struct FontChoice {
    std::string face;
    double height_fraction = 0;     // of the window height
    double width_fraction = 0;
    double angle = 0;               // degrees, counter-clockwise
    bool bold = false;
    bool italic = false;
    bool underline = false;
};

// Receives every drawing primitive in world coordinates, after the canvas
// has drawn it (the metafile exporter implements it).
class DrawingRecorder {
public:
    virtual ~DrawingRecorder() = default;
    virtual void begin(int metafile_mode) = 0;                 // graphics_open
    virtual void world_window(const WorldRect& window) = 0;    // at begin and on every change
    virtual void clear(RgbColour colour) = 0;
    virtual void clip_rect(WorldPoint corner1, WorldPoint corner2) = 0;
    virtual void pen(const PenState& pen) = 0;                 // colour, line style or fill changed
    virtual void move_to(WorldPoint p) = 0;
    virtual void line_to(WorldPoint p) = 0;                    // from the previous point, current pen
    virtual void filled_polygon(std::span<const WorldPoint> points) = 0;
    virtual void text_align(HorizontalAlign h, VerticalAlign v) = 0;
    virtual void font(const FontChoice& font) = 0;
    virtual void text(WorldPoint anchor, std::string_view text) = 0;
    virtual void end() = 0;                                    // graphics_close
    // Pixels over a world rectangle, clipped like the rest; a recorder
    // without images ignores them.
    virtual void image(const RasterImage& image) { (void)image; }
};

// Steps per semicircular end of a wide line: 4·half_width limited to 4..100.
int wide_line_steps(int half_width);
// Outline of the segment a-b widened by half_width on each side with
// semicircular ends of `steps` steps of π/steps each: along one side, around
// the far end, back along the other side and around the near end; points
// rounded to integers and consecutive duplicates dropped (at most
// 2·steps + 2 points). Used for pixels and for metafile units alike.
std::vector<PixelPoint> wide_line_outline(PixelPoint a, PixelPoint b, int half_width, int steps);

class Painter {
public:
    // The drawing state lives as long as the program; the canvas is resized
    // by every graphics_open.
    explicit Painter(GraphicsCanvas& canvas);

    // nullptr: nothing is recorded.
    void set_recorder(DrawingRecorder* recorder) { recorder_ = recorder; }
    GraphicsCanvas& canvas() { return canvas_; }

    // Starts a picture of width × height pixels (2..32767 each): background
    // white, cleared, scales recomputed, recorder begun with the mode. Unless
    // the mode is −1 it clears to colour 15 and selects colour 0, a solid
    // one-pixel line and fill pattern 0; with −1 the previous pen is applied
    // again (overlay).
    Status graphics_open(int width, int height, int metafile_mode);
    // bitmap_mode 2 saves the whole picture under bitmap_file (BMP or PNG);
    // then the recorder is ended. The save's status is returned.
    Status graphics_close(int bitmap_mode, const std::string& bitmap_file);

    // Ignored when either extent is zero or a value is not finite.
    void set_world_window(double x1, double y1, double x2, double y2);
    WorldRect world_window() const { return world_; }
    int px_max() const { return px_max_; }
    int py_max() const { return py_max_; }
    // Nearest pixel of a world point; each product is limited to ±32000
    // pixels first (a NaN counts as −32000).
    PixelPoint to_pixel(double x, double y) const;
    // The world point at a place of the canvas (pixels, fractions allowed;
    // a pixel's centre is at its whole coordinates).
    WorldPoint to_world(double px, double py) const;

    // Clips to the pixel rectangle of the two world corners (both included).
    void set_clip_rect(double x1, double y1, double x2, double y2);

    // Palette index 0..15; nothing happens when it is already current.
    void set_colour(int index);
    int colour() const { return colour_; }
    // v > 0.0001: wide line of v × window height; otherwise dash pattern
    // nearest integer of −v limited to 0..4. The same value again does nothing.
    void set_line_style(double v);
    int half_width() const { return half_width_; }
    int style_index() const { return style_index_; }
    // 0 solid, 1..6 horizontal, vertical, two diagonals, cross, diagonal cross.
    void set_fill_pattern(int index);

    void move_to(double x, double y);
    void line_to(double x, double y);

    // Points (xs[i] + x0, ys[i] + y0), i < count, at most 399 and never more
    // than either array holds. Outline: move_to the first, line_to the others
    // with the current pen. Filled: one polygon in the current colour.
    void draw_polygon(std::span<const double> xs, std::span<const double> ys, int count, double x0, double y0,
                      bool filled);
    // Marker of `type` (0 circle, 1 diamond, 2 star, n ≥ 3 regular polygon,
    // negative none) with radius `radius` × world window height.
    void draw_marker(double x, double y, int type, double radius, bool filled);
    void draw_arc_polygon(double x, double y, double rx, double ry, double rotation, double a1, double a2,
                          bool filled);

    // h: "C" centre, "R" right, else left; v: "C" centre, "B" bottom, else
    // top (first letter, either case).
    void set_text_align(std::string_view h, std::string_view v);
    // Height and width are the fractions × the world window's height in
    // pixels (py_max when the world fills the height); angle in degrees.
    void select_font(const std::string& face, double height_fraction, double width_fraction, double angle,
                     bool bold, bool italic, bool underline);
    // The first `length` characters, placed so that the alignment anchor
    // falls on the world point.
    void draw_text(double x, double y, std::string_view text, int length);

    // The pixels whose centres lie inside image.where (and the clip), made
    // at the canvas's resolution; then the image is handed to the recorder.
    void draw_raster(const RasterImage& image);

    std::size_t image_size(double x1, double y1, double x2, double y2) const;
    std::size_t get_image(double x1, double y1, double x2, double y2, std::span<std::uint8_t> buffer) const;
    bool put_image(double x, double y, std::span<const std::uint8_t> buffer);

private:
    void update_scales();
    void select_pen_defaults();
    void apply_pen_to_canvas();
    void record_pen();
    void draw_one_pixel_segment(PixelPoint from, PixelPoint to);
    void draw_wide_segment(PixelPoint from, PixelPoint to);
    void draw_offsets(const std::vector<WorldPoint>& offsets, double x, double y, bool filled);

    GraphicsCanvas& canvas_;
    DrawingRecorder* recorder_ = nullptr;
    WorldRect world_{-0.6666666666666666, -0.5, 0.6666666666666666, 0.5};
    int px_max_ = 0;
    int py_max_ = 0;
    double sx_ = 0;                             // pixels per world unit (equal sizes)
    double sy_ = 0;
    double offset_x_ = 0;                       // pixels left of and below the world
    double offset_y_ = 0;
    double world_pixels_high_ = 0;              // the world window's height in pixels
    int colour_ = -1;                           // -1 until the first set_colour
    std::optional<double> width_value_;         // none until the first set_line_style
    int style_index_ = 0;
    int half_width_ = 1;                        // pixels
    int fill_pattern_ = -1;
    PixelPoint last_point_{};
    double text_angle_ = 0;                     // degrees
    HorizontalAlign h_align_ = HorizontalAlign::Left;
    VerticalAlign v_align_ = VerticalAlign::Top;
};

}  // namespace zeph
