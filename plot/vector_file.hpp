#pragma once
// Export files of a plot (ME option) that the drawing layer records into:
// the placeable metafile (metafile.hpp), and SVG and PDF drawn by cairo.
//
// Both take the same calls from the plot path, so the driver's life cycle of
// one plot holds for either:
//   open(name) or continue_for_overlay(name), painter.set_recorder(&file),
//   drawing, mark_for_pan() before the first screen save, rewind_for_pan()
//   before each panned redraw, close() after the plot.
//
// The SVG and PDF picture is the metafile's: 1800 × 1350 units, the world
// window stretched over them, y downward; the page is 6 × 4.5 inches (300
// units per inch). Text is set in the face fontconfig gives for the asked
// name ("Times New Roman" resolves to Liberation Serif), scaled as on the
// screen: the cell height and the average character width are the asked
// fractions of 1350 units. PDF embeds the fonts it uses.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "base/status.hpp"
#include "plot/painter.hpp"

namespace zeph {

class PlotFileRecorder : public DrawingRecorder {
public:
    // Starts a new file `name` (written out by close()).
    virtual Status open(const std::string& name) = 0;
    // Overlay: continues the picture that the previous plot left in `name`,
    // so the new drawing follows it; starts anew when there is none.
    virtual Status continue_for_overlay(const std::string& name) = 0;
    virtual bool is_open() const = 0;
    // Remembers the current position (before the first screen save).
    virtual void mark_for_pan() = 0;
    // Drops everything recorded after the mark (nothing without a mark).
    virtual void rewind_for_pan() = 0;
    // Writes the file and closes it: the first failure since open, else success.
    virtual Status close() = 0;
};

// True for a name ending in ".svg" or ".pdf" in any case, after a name part.
bool is_vector_file_name(std::string_view file_name);

// SVG (".svg") or PDF (".pdf") through cairo. The drawing is kept as a list
// of operations in picture units while the plot runs, so a pan drops what
// followed the mark at any size; close() draws the list on a cairo surface
// into a temporary file beside `name` and renames it over `name` when
// complete, so a failed write leaves an old file as it was. Failures give
// "Error writing file: " + name. After close() the picture stays, so that an
// overlay plot with the same name continues it.
class VectorFileWriter final : public PlotFileRecorder {
public:
    VectorFileWriter() = default;
    ~VectorFileWriter() override;
    VectorFileWriter(const VectorFileWriter&) = delete;
    VectorFileWriter& operator=(const VectorFileWriter&) = delete;

    Status open(const std::string& name) override;
    Status continue_for_overlay(const std::string& name) override;
    bool is_open() const override { return open_; }
    void mark_for_pan() override;
    void rewind_for_pan() override;
    Status close() override;

    void begin(int metafile_mode) override;
    void world_window(const WorldRect& window) override { world_ = window; }
    void clear(RgbColour colour) override;
    void clip_rect(WorldPoint corner1, WorldPoint corner2) override;
    void pen(const PenState& pen) override;
    void move_to(WorldPoint p) override;
    void line_to(WorldPoint p) override;
    void filled_polygon(std::span<const WorldPoint> points) override;
    void text_align(HorizontalAlign h, VerticalAlign v) override;
    void font(const FontChoice& font) override;
    void text(WorldPoint anchor, std::string_view text) override;
    void end() override { close(); }
    // Made at one pixel a picture unit and kept as an embedded image.
    void image(const RasterImage& image) override;

    // One drawing operation in picture units (x right, y down).
    struct Point { double x = 0, y = 0; };
    struct Background { RgbColour colour; };
    struct Clip { Point a, b; };
    struct Pen { PenState state; };
    struct MoveTo { Point p; };
    struct LineTo { Point p; };
    struct Polygon { std::vector<Point> points; };
    struct Align { HorizontalAlign h; VerticalAlign v; };
    struct Font { FontChoice choice; };
    struct Text { Point anchor; std::string text; };
    // width × height pixels over the rectangle from `a` (top left) to `b`,
    // 0xAARRGGBB (premultiplied: a pixel left as it was is 0).
    struct Image { Point a, b; int width = 0, height = 0; std::vector<std::uint32_t> argb; };
    using Operation = std::variant<Background, Clip, Pen, MoveTo, LineTo, Polygon, Align, Font, Text, Image>;

private:
    Point to_units(WorldPoint p) const;
    void record(Operation op) {
        if (open_) operations_.push_back(std::move(op));
    }
    void start_picture();

    bool open_ = false;
    std::string name_;
    Status status_;
    std::string picture_name_;             // the file the kept picture was written to
    std::vector<Operation> operations_;
    std::optional<std::size_t> mark_;
    WorldRect world_{-0.6666666666666666, -0.5, 0.6666666666666666, 0.5};
    // The latest state given, put back after a rewind.
    std::optional<Clip> clip_;
    std::optional<PenState> pen_;
    std::optional<Align> align_;
    std::optional<FontChoice> font_;
};

}  // namespace zeph
