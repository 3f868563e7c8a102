#pragma once
// Metafile export of a plot: a placeable metafile (little-endian 16-bit
// words) that records, record by record, everything the Painter draws.
//
// The picture is 1800 × 1350 metafile units at 300 units per inch, y
// downward; a world point maps to x = nearest of (wx − wx_min)·1800/width,
// y = 1350 − nearest of (wy − wy_min)·1350/height, each product limited to
// ±32000 first and the result to the 16-bit range of the record fields.
//
// The records are kept in memory while the plot is drawn and written out in
// one piece by close(), so a pan can drop everything drawn after the mark at
// any size, and the file always ends with the last view. Sizes and positions
// are counted in std::size_t words; only the format's own fields are 16 or 32
// bits wide.
//
// The file ends with a 3-word end record; the header's file size counts the
// standard header and all records (not the placeable header), the largest
// record and the object count are those of the records actually written.
//
// Life of one plot, as the plot driver uses it (the writer stays attached
// with painter.set_recorder(&writer); with no file open it records nothing):
//   writer.open(name)  or  writer.continue_for_overlay(name)   (before graphics_open)
//   painter.graphics_open(w, h, 1 or -1) // 1 clears: the picture restarts after the head
//   ... frame, grids, labels ...
//   writer.mark_for_pan();               // before the first screen save
//   ... axis numbers, curve ...
//   writer.rewind_for_pan();             // before each panned redraw
//   ... axis numbers, curve again ...
//   painter.graphics_close(...)          // end(): completes and closes the file
//   Status s = writer.close();           // the outcome (the same again after end())
//
// A file that cannot be created or written makes open()/close() return
// "Error writing file: " + name; the records are then dropped and the
// drawing on the canvas goes on unaffected.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/replace_file.hpp"
#include "base/status.hpp"
#include "plot/painter.hpp"
#include "plot/vector_file.hpp"

namespace zeph {

inline constexpr int kMetafileWidth = 1800;           // units
inline constexpr int kMetafileHeight = 1350;          // units
inline constexpr int kMetafileUnitsPerInch = 300;
inline constexpr std::size_t kPlaceableHeaderWords = 11;
inline constexpr std::size_t kStandardHeaderWords = 9;
// Words from the start of the file to the end of the start records.
inline constexpr std::size_t kMetafileHeadWords = 46;
// From this half width (units) on, a line is recorded as a filled band.
inline constexpr int kMetafileWideHalfWidth = 12;

// Half the width of a line in units: like the screen's, from the picture
// height + 1; 1 for a one-pixel line (width_value ≤ 0.0001).
int metafile_half_width(double width_value);

// The counters that a mark saves and a rewind restores.
struct MetafileCounters {
    std::size_t words = 0;          // 16-bit words written, from the start of the file
    std::uint32_t max_record = 0;   // largest record so far, in words
    int objects = 0;                // pens, brushes and fonts created so far
};

class PlaceableMetafile final : public PlotFileRecorder {
public:
    PlaceableMetafile() = default;
    ~PlaceableMetafile() override;   // completes a file still open
    PlaceableMetafile(const PlaceableMetafile&) = delete;
    PlaceableMetafile& operator=(const PlaceableMetafile&) = delete;

    // Creates the replacement of `name` and starts a new metafile: both headers and
    // the start records. A file still open is completed first.
    Status open(const std::string& name) override;
    // Overlay: reopens the metafile `name` that an earlier plot completed and
    // continues it just before its end record, with its object count, so the
    // new records follow the previous picture. A missing file, or one that is
    // not a complete metafile of this picture size, is started anew instead.
    Status continue_for_overlay(const std::string& name) override;
    bool is_open() const override { return file_.is_open(); }

    // Remembers the current position (before the first screen save).
    void mark_for_pan() override;
    // Drops everything recorded after the mark (nothing without a mark).
    void rewind_for_pan() override;

    // Appends the end record, fills in the header sizes, writes the file and
    // closes it. Returns the first failure since open (including the open's
    // own), or success; called again, it returns the same status.
    Status close() override;

    // DrawingRecorder. The driver opens the file itself to learn the outcome;
    // begin(0) (a plot without a metafile) only completes a file that an
    // abandoned plot left open. end() is close(), its status kept for close().
    void begin(int metafile_mode) override;
    void world_window(const WorldRect& window) override;
    void clear(RgbColour colour) override;
    void clip_rect(WorldPoint corner1, WorldPoint corner2) override;
    void pen(const PenState& pen) override;
    void move_to(WorldPoint p) override;
    void line_to(WorldPoint p) override;
    void filled_polygon(std::span<const WorldPoint> points) override;
    void text_align(HorizontalAlign h, VerticalAlign v) override;
    void font(const FontChoice& font) override;
    void text(WorldPoint anchor, std::string_view text) override;
    void end() override;
    // A stretched 24-bit device-independent bitmap record at one pixel a
    // unit; pixels without data are white.
    void image(const RasterImage& image) override;

private:
    bool recording() const { return file_.is_open() && status_.ok; }
    PixelPoint to_units(WorldPoint p) const;
    void fail();
    void reset_for(const std::string& name);

    void start_file();
    void write_placeable_header();
    void write_standard_header();
    void write_start_records();
    bool adopt_existing_file(std::FILE* existing);
    void complete_file();
    bool write_file_out();

    void begin_record(std::uint16_t function);
    void end_record();
    void put_u8(std::uint8_t v);
    void put_u16(std::uint16_t v);
    void put_i16(int v);   // limited to −32768..32767
    void put_u32(std::uint32_t v);
    void put_colour(RgbColour c);
    void put_point_list(std::span<const PixelPoint> points);
    void restore(const MetafileCounters& counters);

    // The fields of the pen and brush records that the current pen gives.
    struct PenRecords {
        std::uint16_t pen_style = 0;
        int pen_width = 0;          // units
        RgbColour colour;
        std::uint16_t brush_style = 0;
        std::uint16_t hatch = 0;
        bool operator==(const PenRecords&) const = default;
    };
    PenRecords pen_records() const;

    void write_move(PixelPoint p);
    void write_polygon(std::span<const PixelPoint> points);
    void write_pen_records();

    ReplacementFile file_;              // the whole file is written at close
    std::string name_;
    Status status_;
    std::vector<std::uint8_t> bytes_;   // the whole file so far
    MetafileCounters counters_;
    MetafileCounters after_escape_;     // where a clear restarts the picture
    MetafileCounters mark_;
    bool has_mark_ = false;
    std::optional<PenRecords> written_pen_;   // selected in the file at its end, if known
    std::optional<PenRecords> mark_pen_;      // ... and at the mark
    std::size_t record_start_ = 0;      // byte offset of the record being built

    WorldRect world_{-0.6666666666666666, -0.5, 0.6666666666666666, 0.5};
    PenState pen_;
    int half_width_ = 1;                // units
    PixelPoint last_point_{};           // units
    bool device_point_stale_ = true;    // the reader's current point is not last_point_
    VerticalAlign v_align_ = VerticalAlign::Top;
    double font_height_ = 0;            // units
    double font_angle_ = 0;             // degrees
};

// The ME export the plot path holds: SVG or PDF through cairo for a name
// ending in ".svg" or ".pdf" (any case, vector_file.hpp), the placeable
// metafile above for any other name. The kind is chosen at open() and
// continue_for_overlay(); every other call goes to the file of that kind.
class MetafileWriter final : public PlotFileRecorder {
public:
    Status open(const std::string& name) override { return choose(name).open(name); }
    Status continue_for_overlay(const std::string& name) override { return choose(name).continue_for_overlay(name); }
    bool is_open() const override { return active_->is_open(); }
    void mark_for_pan() override { active_->mark_for_pan(); }
    void rewind_for_pan() override { active_->rewind_for_pan(); }
    Status close() override { return active_->close(); }

    void begin(int metafile_mode) override { active_->begin(metafile_mode); }
    void world_window(const WorldRect& window) override {
        both([&](PlotFileRecorder& file) { file.world_window(window); });
    }
    void clear(RgbColour colour) override { active_->clear(colour); }
    // The state of the drawing layer goes to both, so either can start with it.
    void clip_rect(WorldPoint corner1, WorldPoint corner2) override {
        both([&](PlotFileRecorder& file) { file.clip_rect(corner1, corner2); });
    }
    void pen(const PenState& pen) override {
        both([&](PlotFileRecorder& file) { file.pen(pen); });
    }
    void move_to(WorldPoint p) override { active_->move_to(p); }
    void line_to(WorldPoint p) override { active_->line_to(p); }
    void filled_polygon(std::span<const WorldPoint> points) override { active_->filled_polygon(points); }
    void text_align(HorizontalAlign h, VerticalAlign v) override {
        both([&](PlotFileRecorder& file) { file.text_align(h, v); });
    }
    void font(const FontChoice& font) override {
        both([&](PlotFileRecorder& file) { file.font(font); });
    }
    void text(WorldPoint anchor, std::string_view text) override { active_->text(anchor, text); }
    void end() override { active_->end(); }
    void image(const RasterImage& image) override { active_->image(image); }

private:
    template <class Call>
    void both(Call call) {
        call(placeable_);
        call(vector_);
    }
    // The file of the kind `name` asks for; a file of the other kind still open is completed.
    PlotFileRecorder& choose(const std::string& name) {
        PlotFileRecorder* wanted = is_vector_file_name(name) ? static_cast<PlotFileRecorder*>(&vector_) : &placeable_;
        if (wanted != active_ && active_->is_open()) active_->close();
        active_ = wanted;
        return *active_;
    }

    PlaceableMetafile placeable_;
    VectorFileWriter vector_;
    PlotFileRecorder* active_ = &placeable_;
};

}  // namespace zeph
