#include "plot/metafile.hpp"
#include "base/byte_order.hpp"
#include "base/open_file.hpp"
#include "plot/metafile_text.hpp"
#include "graphics/bitmap_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <numbers>

namespace zeph {

namespace {

constexpr std::uint32_t kPlaceableKey = 0x9AC6CDD7;
constexpr std::uint16_t kMetafileVersion = 0x0300;
constexpr std::uint16_t kAnisotropicMapMode = 8;
constexpr RgbColour kWhite{255, 255, 255};

// Record function codes.
constexpr std::uint16_t kEndOfFile = 0x0000;
constexpr std::uint16_t kSetBkColor = 0x0201;
constexpr std::uint16_t kSetMapMode = 0x0103;
constexpr std::uint16_t kSetWindowOrg = 0x020B;
constexpr std::uint16_t kSetWindowExt = 0x020C;
constexpr std::uint16_t kEscape = 0x0626;
constexpr std::uint16_t kSelectClipRegion = 0x012C;
constexpr std::uint16_t kIntersectClipRect = 0x0416;
constexpr std::uint16_t kMoveTo = 0x0214;
constexpr std::uint16_t kLineTo = 0x0213;
constexpr std::uint16_t kPolygon = 0x0324;
constexpr std::uint16_t kCreatePenIndirect = 0x02FA;
constexpr std::uint16_t kCreateBrushIndirect = 0x02FC;
constexpr std::uint16_t kSelectObject = 0x012D;
constexpr std::uint16_t kSetTextColor = 0x0209;
constexpr std::uint16_t kSetTextAlign = 0x012E;
constexpr std::uint16_t kCreateFontIndirect = 0x02FB;
constexpr std::uint16_t kExtTextOut = 0x0A32;

constexpr std::array<std::uint8_t, 6> kEndOfFileRecord{3, 0, 0, 0, 0, 0};
constexpr std::size_t kEndOfFileWords = 3;

// Pen and brush styles, text alignment flags and font fields.
constexpr std::uint16_t kSolidPen = 0;
constexpr std::uint16_t kSolidBrush = 0;
constexpr std::uint16_t kHatchedBrush = 2;
constexpr std::uint16_t kAlignCentre = 6;
constexpr std::uint16_t kAlignRight = 2;
constexpr std::uint16_t kAlignBottom = 8;
constexpr int kNormalWeight = 400;
constexpr int kBoldWeight = 700;
constexpr std::uint8_t kClipStrokePrecision = 16;
constexpr std::size_t kFaceNameBytes = 32;

constexpr int kMaxObjects = 0xFFFF;           // object indices and their count are 16 bits
constexpr std::size_t kMaxListLength = 0x7FFF;   // point and character counts are signed 16 bits
constexpr double kUnitLimit = 32000;          // world-to-unit products, either way

// Nearest integer (halves away from zero) of a product limited to ±32000; a
// NaN counts as −32000, as on the screen.
int nearest_limited(double v) {
    if (std::isnan(v)) v = -kUnitLimit;
    return static_cast<int>(std::lround(std::clamp(v, -kUnitLimit, kUnitLimit)));
}


// Steps per round end of a wide band: half width / 3, limited to 4..100.
int units_band_steps(int half_width) { return std::clamp(half_width / 3, 4, 100); }

std::uint16_t read_u16(const std::vector<std::uint8_t>& b, std::size_t at) { return le_u16(b.data() + at); }
std::uint32_t read_u32(const std::vector<std::uint8_t>& b, std::size_t at) { return le_u32(b.data() + at); }
void write_u16_at(std::vector<std::uint8_t>& b, std::size_t at, std::uint16_t v) { store_le_u16(b.data() + at, v); }
void write_u32_at(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) { store_le_u32(b.data() + at, v); }

// Byte offsets of the standard header fields completed at close.
constexpr std::size_t kFileSizeOffset = 28;
constexpr std::size_t kObjectCountOffset = 32;
constexpr std::size_t kMaxRecordOffset = 34;
// Placeable header and the fixed start of the standard header (type, header
// size, version): what a continued file must share with a new one.
constexpr std::size_t kFixedHeadBytes = 28;

}  // namespace

int metafile_half_width(double width_value) {
    if (!(width_value > kOnePixelWidth)) return 1;
    return std::max(1, nearest_limited(width_value * 0.5 * (kMetafileHeight + 1)));
}

PlaceableMetafile::~PlaceableMetafile() {
    if (is_open()) close();
}

// ---- life cycle --------------------------------------------------------------

// Completes a file still open and starts afresh for `name`.
void PlaceableMetafile::reset_for(const std::string& name) {
    if (is_open()) close();
    name_ = name;
    status_ = Status::success();
    has_mark_ = false;
    written_pen_.reset();
}

Status PlaceableMetafile::open(const std::string& name) {
    reset_for(name);
    file_ = ReplacementFile(name);
    if (!file_) {
        fail();
        bytes_.clear();
        return status_;
    }
    start_file();
    return status_;
}

Status PlaceableMetafile::continue_for_overlay(const std::string& name) {
    reset_for(name);
    // The earlier file is read whole and written again with the new records
    // at close, so a failure on the way leaves it as it was.
    std::FILE* existing = open_without_waiting(name, O_RDONLY, "rb");
    const bool adopted = existing && adopt_existing_file(existing);
    if (existing) std::fclose(existing);
    if (adopted) {
        file_ = ReplacementFile(name);
        if (!file_) fail();
        device_point_stale_ = true;
        return status_;
    }
    return open(name);
}

// A plot without a metafile must not add to a file that an abandoned plot
// left open: that file is completed first.
void PlaceableMetafile::begin(int metafile_mode) {
    if (metafile_mode == 0 && is_open()) close();
}

void PlaceableMetafile::end() { close(); }

Status PlaceableMetafile::close() {
    if (!file_) return status_;
    complete_file();
    if (!write_file_out()) fail();
    has_mark_ = false;
    return status_;
}

void PlaceableMetafile::mark_for_pan() {
    if (!recording()) return;
    mark_ = counters_;
    mark_pen_ = written_pen_;
    has_mark_ = true;
}

void PlaceableMetafile::rewind_for_pan() {
    if (!recording() || !has_mark_ || mark_.words > counters_.words) return;
    restore(mark_);
    // The painter skips a pen equal to its current one, so the redraw may
    // rely on a pen that was selected after the mark: select it again.
    written_pen_ = mark_pen_;
    if (written_pen_ != pen_records()) write_pen_records();
    device_point_stale_ = true;
}

void PlaceableMetafile::fail() {
    if (status_.ok) status_ = Status::failure(std::string(kErrorWritingFile) + name_);
}

void PlaceableMetafile::restore(const MetafileCounters& counters) {
    bytes_.resize(counters.words * 2);
    counters_ = counters;
}

// ---- headers -----------------------------------------------------------------

void PlaceableMetafile::start_file() {
    bytes_.clear();
    counters_ = {};
    write_placeable_header();
    write_standard_header();
    counters_.words = bytes_.size() / 2;
    write_start_records();
    device_point_stale_ = true;
}

void PlaceableMetafile::write_placeable_header() {
    put_u32(kPlaceableKey);              // key
    put_u16(0);                          // handle
    put_i16(0);                          // bounding box left
    put_i16(0);                          // bounding box top
    put_i16(kMetafileWidth);             // bounding box right
    put_i16(kMetafileHeight);            // bounding box bottom
    put_u16(kMetafileUnitsPerInch);      // units per inch
    put_u32(0);                          // reserved
    std::uint16_t checksum = 0;
    for (std::size_t at = 0; at < 20; at += 2) checksum ^= read_u16(bytes_, at);
    put_u16(checksum);                   // XOR of the ten words before it
}

void PlaceableMetafile::write_standard_header() {
    put_u16(1);                          // type: metafile on disk
    put_u16(static_cast<std::uint16_t>(kStandardHeaderWords));     // header size in words
    put_u16(kMetafileVersion);           // version
    put_u32(0);                          // file size in words, filled in at close
    put_u16(0);                          // number of objects, filled in at close
    put_u32(0);                          // largest record in words, filled in at close
    put_u16(0);                          // parameters: none
}

void PlaceableMetafile::write_start_records() {
    begin_record(kSetMapMode);
    put_u16(kAnisotropicMapMode);        // units scaled to the bounding box
    end_record();
    begin_record(kSetWindowOrg);
    put_i16(0);                          // origin y
    put_i16(0);                          // origin x
    end_record();
    begin_record(kSetWindowExt);
    put_i16(kMetafileHeight);            // extent y
    put_i16(kMetafileWidth);             // extent x
    end_record();
    begin_record(kEscape);
    put_u16(0);                          // escape function
    put_u16(0);                          // byte count
    put_i16(kMetafileWidth);             // picture width
    put_i16(kMetafileHeight);            // picture height
    end_record();
    after_escape_ = counters_;
    begin_record(kSetBkColor);
    put_colour(kWhite);                  // background
    end_record();
}

// Takes over the file just opened for update when it is a complete metafile
// of this picture size: its records up to the end record, its counters.
bool PlaceableMetafile::adopt_existing_file(std::FILE* existing) {
    struct stat info {};
    if (fstat(fileno(existing), &info) != 0 || !S_ISREG(info.st_mode)) return false;
    const auto size = static_cast<std::uint64_t>(info.st_size);
    const std::uint64_t largest = kPlaceableHeaderWords * 2 + 2 * std::uint64_t{0xFFFFFFFF};
    if (size < (kMetafileHeadWords + kEndOfFileWords) * 2 || size > largest) return false;

    std::vector<std::uint8_t> data(static_cast<std::size_t>(size));
    if (std::fread(data.data(), 1, data.size(), existing) != data.size()) return false;
    start_file();   // a new head to compare the fixed header fields with
    if (!std::equal(bytes_.begin(), bytes_.begin() + kFixedHeadBytes, data.begin())) return false;
    const std::uint64_t file_words = read_u32(data, kFileSizeOffset);
    const std::uint32_t max_record = read_u32(data, kMaxRecordOffset);
    if (kPlaceableHeaderWords * 2 + 2 * file_words != size) return false;
    if (max_record < kEndOfFileWords || max_record > file_words) return false;
    if (!std::equal(kEndOfFileRecord.begin(), kEndOfFileRecord.end(), data.end() - kEndOfFileRecord.size())) {
        return false;
    }
    data.resize(data.size() - kEndOfFileRecord.size());
    bytes_ = std::move(data);
    counters_ = {bytes_.size() / 2, max_record, read_u16(bytes_, kObjectCountOffset)};
    return true;
}

// The end record, then the header fields that count the whole file.
void PlaceableMetafile::complete_file() {
    begin_record(kEndOfFile);
    end_record();
    const std::uint64_t file_words = counters_.words - kPlaceableHeaderWords;
    if (file_words > 0xFFFFFFFF) fail();
    write_u32_at(bytes_, kFileSizeOffset, static_cast<std::uint32_t>(file_words));   // standard header + records
    write_u16_at(bytes_, kObjectCountOffset, static_cast<std::uint16_t>(counters_.objects));   // objects
    write_u32_at(bytes_, kMaxRecordOffset, counters_.max_record);   // largest record
}

// Writes the whole file and puts it in place; every step checked. A failed
// write leaves the earlier file as it was.
bool PlaceableMetafile::write_file_out() {
    if (!status_.ok) {
        file_.discard();
        return false;
    }
    const bool ok = std::fwrite(bytes_.data(), 1, bytes_.size(), file_.get()) == bytes_.size();
    if (!ok) file_.discard();
    return file_.commit() && ok;
}

// ---- record building ---------------------------------------------------------

void PlaceableMetafile::begin_record(std::uint16_t function) {
    record_start_ = bytes_.size();
    put_u32(0);                          // record size in words, set by end_record
    put_u16(function);                   // function code
}

void PlaceableMetafile::end_record() {
    const std::size_t words = (bytes_.size() - record_start_) / 2;
    write_u32_at(bytes_, record_start_, static_cast<std::uint32_t>(words));
    counters_.words = bytes_.size() / 2;
    counters_.max_record = std::max(counters_.max_record, static_cast<std::uint32_t>(words));
}

void PlaceableMetafile::put_u8(std::uint8_t v) { bytes_.push_back(v); }

void PlaceableMetafile::put_u16(std::uint16_t v) { LittleEndianBytes(bytes_).u16(v); }

void PlaceableMetafile::put_i16(int v) {
    const int limited = std::clamp(v, -32768, 32767);
    put_u16(static_cast<std::uint16_t>(static_cast<std::int16_t>(limited)));
}

void PlaceableMetafile::put_u32(std::uint32_t v) { LittleEndianBytes(bytes_).u32(v); }

// Colour reference: red in the low byte.
void PlaceableMetafile::put_colour(RgbColour c) {
    put_u8(c.red);
    put_u8(c.green);
    put_u8(c.blue);
    put_u8(0);
}

void PlaceableMetafile::put_point_list(std::span<const PixelPoint> points) {
    put_i16(static_cast<int>(points.size()));   // point count
    for (const PixelPoint& p : points) {
        put_i16(p.x);                    // x
        put_i16(p.y);                    // y
    }
}

// ---- drawing records ---------------------------------------------------------

PixelPoint PlaceableMetafile::to_units(WorldPoint p) const {
    const double msx = kMetafileWidth / (world_.x_max - world_.x_min);
    const double msy = kMetafileHeight / (world_.y_max - world_.y_min);
    return {nearest_limited((p.x - world_.x_min) * msx), kMetafileHeight - nearest_limited((p.y - world_.y_min) * msy)};
}

void PlaceableMetafile::world_window(const WorldRect& window) { world_ = window; }

void PlaceableMetafile::clear(RgbColour colour) {
    if (!recording()) return;
    restore(after_escape_);
    has_mark_ = false;
    written_pen_.reset();
    begin_record(kSetBkColor);
    put_colour(colour);                  // background
    end_record();
}

void PlaceableMetafile::clip_rect(WorldPoint corner1, WorldPoint corner2) {
    if (!recording()) return;
    const PixelPoint a = to_units(corner1), b = to_units(corner2);
    begin_record(kSelectClipRegion);
    put_u16(0);                          // no region: the whole picture
    end_record();
    begin_record(kIntersectClipRect);
    put_i16(std::max(a.y, b.y));         // bottom
    put_i16(std::max(a.x, b.x));         // right
    put_i16(std::min(a.y, b.y));         // top
    put_i16(std::min(a.x, b.x));         // left
    end_record();
}

void PlaceableMetafile::pen(const PenState& pen) {
    pen_ = pen;
    half_width_ = metafile_half_width(pen.width_value);
    if (recording()) write_pen_records();
}

// Narrow lines get a solid pen of the full width, or a one-unit pen with the
// dash pattern (a reader only dashes thin pens); wide lines are recorded as
// filled bands, so their pen draws no outline.
PlaceableMetafile::PenRecords PlaceableMetafile::pen_records() const {
    PenRecords r;
    const bool dashed = pen_.style_index >= 1 && pen_.style_index <= 4;
    if (half_width_ >= kMetafileWideHalfWidth) {
        r.pen_style = static_cast<std::uint16_t>(pen_.style_index);
        r.pen_width = 1;
    } else {
        r.pen_style = dashed ? static_cast<std::uint16_t>(pen_.style_index) : kSolidPen;
        r.pen_width = dashed ? 1 : 2 * half_width_ + 1;
    }
    r.colour = pen_.rgb;
    const bool hatched = pen_.fill_pattern >= 1 && pen_.fill_pattern <= 6;
    r.brush_style = hatched ? kHatchedBrush : kSolidBrush;
    r.hatch = hatched ? static_cast<std::uint16_t>(pen_.fill_pattern - 1) : 0;
    return r;
}

void PlaceableMetafile::write_pen_records() {
    if (counters_.objects + 2 > kMaxObjects) {
        fail();
        return;
    }
    const PenRecords r = pen_records();
    const int k = counters_.objects;
    begin_record(kCreatePenIndirect);
    put_u16(r.pen_style);                // pen style
    put_i16(r.pen_width);                // width
    put_i16(r.pen_width);                // width again (height, unused)
    put_colour(r.colour);                // colour
    end_record();
    begin_record(kCreateBrushIndirect);
    put_u16(r.brush_style);              // brush style
    put_colour(r.colour);                // colour
    put_u16(r.hatch);                    // hatch pattern
    end_record();
    begin_record(kSelectObject);
    put_u16(static_cast<std::uint16_t>(k));       // the pen
    end_record();
    begin_record(kSelectObject);
    put_u16(static_cast<std::uint16_t>(k + 1));   // the brush
    end_record();
    begin_record(kSetTextColor);
    put_colour(r.colour);                // text colour
    end_record();
    counters_.objects += 2;
    written_pen_ = r;
}

void PlaceableMetafile::move_to(WorldPoint p) {
    last_point_ = to_units(p);
    if (recording()) write_move(last_point_);
}

void PlaceableMetafile::write_move(PixelPoint p) {
    begin_record(kMoveTo);
    put_i16(p.y);                        // y
    put_i16(p.x);                        // x
    end_record();
    device_point_stale_ = false;
}

void PlaceableMetafile::line_to(WorldPoint p) {
    const PixelPoint to = to_units(p);
    if (recording()) {
        if (half_width_ >= kMetafileWideHalfWidth) {
            // A polygon leaves the reader's current point where it was.
            write_polygon(wide_line_outline(last_point_, to, half_width_, units_band_steps(half_width_)));
            device_point_stale_ = true;
        } else {
            if (device_point_stale_) write_move(last_point_);
            begin_record(kLineTo);
            put_i16(to.y);               // y
            put_i16(to.x);               // x
            end_record();
        }
    }
    last_point_ = to;
}

void PlaceableMetafile::filled_polygon(std::span<const WorldPoint> points) {
    if (!recording() || points.empty()) return;
    std::vector<PixelPoint> units;
    units.reserve(std::min(points.size(), kMaxListLength));
    for (std::size_t i = 0; i < points.size() && i < kMaxListLength; ++i) units.push_back(to_units(points[i]));
    write_polygon(units);
}

void PlaceableMetafile::write_polygon(std::span<const PixelPoint> points) {
    begin_record(kPolygon);
    put_point_list(points.first(std::min(points.size(), kMaxListLength)));
    end_record();
}

void PlaceableMetafile::text_align(HorizontalAlign h, VerticalAlign v) {
    v_align_ = v;
    if (!recording()) return;
    std::uint16_t flags = h == HorizontalAlign::Centre ? kAlignCentre : h == HorizontalAlign::Right ? kAlignRight : 0;
    if (v == VerticalAlign::Bottom) flags |= kAlignBottom;
    begin_record(kSetTextAlign);
    put_u16(flags);                      // alignment: centre 6, right 2, left 0; +8 bottom
    end_record();
}

void PlaceableMetafile::font(const FontChoice& font) {
    font_height_ = nearest_limited(font.height_fraction * kMetafileHeight);
    font_angle_ = std::isfinite(font.angle) ? font.angle : 0.0;
    if (!recording()) return;
    if (counters_.objects + 1 > kMaxObjects) {
        fail();
        return;
    }
    const int escapement = nearest_limited(font_angle_ * 10);
    begin_record(kCreateFontIndirect);
    put_i16(static_cast<int>(font_height_));                                  // height, units
    put_i16(nearest_limited(font.width_fraction * kMetafileHeight * 0.8));    // width, units
    put_i16(escapement);                 // escapement, tenths of a degree
    put_i16(escapement);                 // orientation, tenths of a degree
    put_i16(font.bold ? kBoldWeight : kNormalWeight);   // weight
    put_u8(font.italic ? 1 : 0);         // italic
    put_u8(font.underline ? 1 : 0);      // underline
    put_u8(0);                           // strike-out
    put_u8(0);                           // character set: ANSI (see metafile_text)
    put_u8(0);                           // output precision: default
    put_u8(kClipStrokePrecision);        // clip precision
    put_u8(0);                           // quality: default
    put_u8(0);                           // pitch and family: default
    for (std::size_t i = 0; i < kFaceNameBytes; ++i) {   // face name, NUL-padded, at most 31 characters
        put_u8(i + 1 < kFaceNameBytes && i < font.face.size() ? static_cast<std::uint8_t>(font.face[i]) : 0);
    }
    end_record();
    begin_record(kSelectObject);
    put_u16(static_cast<std::uint16_t>(counters_.objects));   // the font
    end_record();
    counters_.objects += 1;
}

void PlaceableMetafile::text(WorldPoint anchor, std::string_view utf8) {
    if (!recording() || utf8.empty()) return;
    const std::string ansi = metafile_text(utf8);
    const std::string_view text = std::string_view(ansi).substr(0, std::min(ansi.size(), kMaxListLength));
    PixelPoint at = to_units(anchor);
    if (v_align_ == VerticalAlign::Centre) {
        // No centre alignment in the format: aligned by the top, the
        // reference point moves up half the font height along the text.
        const double a = font_angle_ * std::numbers::pi / 180.0, up = 0.5 * font_height_;
        at = {static_cast<int>(std::lround(at.x - up * std::sin(a))),
              static_cast<int>(std::lround(at.y - up * std::cos(a)))};
    }
    begin_record(kExtTextOut);
    put_i16(at.y);                       // y
    put_i16(at.x);                       // x
    put_i16(static_cast<int>(text.size()));   // character count
    put_u16(0);                          // options: no rectangle
    for (char c : text) put_u8(static_cast<std::uint8_t>(c));   // characters
    if (text.size() % 2 != 0) put_u8(0);                         // padding to a whole word
    end_record();
}

}  // namespace zeph
