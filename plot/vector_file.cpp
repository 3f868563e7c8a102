#include "plot/vector_file.hpp"

#include <cairo-ft.h>
#include <cairo-pdf.h>
#include <cairo-svg.h>
#include <cairo.h>
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <numbers>

#include "base/replace_file.hpp"
#include "base/text.hpp"
#include "plot/metafile.hpp"
#include "plot/vector_file_image.hpp"
#include "graphics/fonts.hpp"

namespace zeph {

namespace {

constexpr double kPageWidthPoints = 6 * 72.0;    // 6 inches
constexpr double kPageHeightPoints = 4.5 * 72.0;  // 4.5 inches
constexpr double kUnitLimit = 32000;             // world-to-unit products, either way
constexpr double kDashBitUnits = 3;              // one bit of a dash mask, as long as a thin line is wide
constexpr double kHatchSpacing = 12;             // units between hatch lines
constexpr double kHatchWidth = 2;                // units

using Point = VectorFileWriter::Point;

double limited(double v) {
    if (std::isnan(v)) return -kUnitLimit;
    return std::clamp(v, -kUnitLimit, kUnitLimit);
}

bool is_pdf_name(std::string_view name) { return has_extension(trimmed_file_name(name), ".pdf"); }

bool is_valid_utf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        const std::size_t follow = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : 9;
        if (follow > 3 || follow >= text.size() - i) return follow == 0;
        for (std::size_t k = 1; k <= follow; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) >> 6) != 2) return false;
        }
        i += follow + 1;
    }
    return true;
}

// Text as cairo takes it: UTF-8 as it stands, anything else read as Latin-1.
std::string as_utf8(std::string_view text) {
    if (is_valid_utf8(text)) return std::string(text);
    std::string out;
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x80) {
            out.push_back(ch);
        } else {
            out.push_back(static_cast<char>(0xC0 | c >> 6));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

// The scale the screen gives a face: cell (ascent + descent) and average
// character width from the face's OS/2 table, as graphics/fonts does.
struct FaceMetrics {
    double units_per_em = 0;
    double cell_units = 0;
    double ascent_units = 0;
    double average_units = 0;
};

std::optional<FaceMetrics> face_metrics(FT_Library library, const FontFile& file) {
    FT_Face face = nullptr;
    if (FT_New_Face(library, file.path.c_str(), file.index, &face) != 0) return std::nullopt;
    FaceMetrics m;
    m.units_per_em = face->units_per_EM;
    m.cell_units = face->ascender - face->descender;
    m.ascent_units = face->ascender;
    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    if (os2 && os2->usWinAscent + os2->usWinDescent > 0) {
        m.cell_units = os2->usWinAscent + os2->usWinDescent;
        m.ascent_units = os2->usWinAscent;
    }
    if (m.cell_units <= 0) m.cell_units = m.units_per_em;
    m.average_units = os2 && os2->xAvgCharWidth > 0 ? os2->xAvgCharWidth : m.units_per_em / 2;
    FT_Done_Face(face);
    if (m.units_per_em <= 0) return std::nullopt;
    return m;
}

// A face found through fontconfig, as cairo draws it.
struct LoadedFace {
    cairo_font_face_t* face = nullptr;
    FaceMetrics metrics;
};

// Draws the recorded operations on a cairo context, in picture units.
class Replay {
public:
    explicit Replay(cairo_t* cr) : cr_(cr) { FT_Init_FreeType(&library_); }
    ~Replay() {
        for (auto& [key, loaded] : faces_) {
            if (loaded && loaded->face) cairo_font_face_destroy(loaded->face);
        }
        if (library_) FT_Done_FreeType(library_);
    }
    Replay(const Replay&) = delete;
    Replay& operator=(const Replay&) = delete;

    void operator()(const VectorFileWriter::Background& op) {
        flush();
        cairo_save(cr_);
        cairo_reset_clip(cr_);
        set_colour(op.colour);
        cairo_paint(cr_);
        cairo_restore(cr_);
    }
    void operator()(const VectorFileWriter::Clip& op) {
        flush();
        cairo_reset_clip(cr_);
        cairo_rectangle(cr_, std::min(op.a.x, op.b.x), std::min(op.a.y, op.b.y), std::abs(op.b.x - op.a.x),
                        std::abs(op.b.y - op.a.y));
        cairo_clip(cr_);
    }
    void operator()(const VectorFileWriter::Pen& op) {
        flush();
        pen_ = op.state;
    }
    void operator()(const VectorFileWriter::MoveTo& op) {
        current_ = op.p;
        cairo_move_to(cr_, op.p.x, op.p.y);
    }
    void operator()(const VectorFileWriter::LineTo& op) {
        if (!cairo_has_current_point(cr_)) cairo_move_to(cr_, current_.x, current_.y);
        cairo_line_to(cr_, op.p.x, op.p.y);
        current_ = op.p;
        path_open_ = true;
    }
    void operator()(const VectorFileWriter::Polygon& op) {
        flush();
        if (op.points.empty()) return;
        cairo_new_path(cr_);
        for (const Point& p : op.points) cairo_line_to(cr_, p.x, p.y);
        cairo_close_path(cr_);
        set_colour(pen_.rgb);
        if (pen_.fill_pattern >= 1 && pen_.fill_pattern <= 6) {
            fill_hatched(pen_.fill_pattern);
        } else {
            cairo_fill(cr_);
        }
    }
    void operator()(const VectorFileWriter::Align& op) { align_ = op; }
    void operator()(const VectorFileWriter::Font& op) { font_ = op.choice; }
    void operator()(const VectorFileWriter::Text& op) {
        flush();
        draw_text(op.anchor, op.text);
    }
    void operator()(const VectorFileWriter::Image& op) {
        flush();
        paint_image(cr_, op);
    }

    // Strokes the lines drawn since the last change.
    void flush() {
        if (!path_open_) {
            cairo_new_path(cr_);
            return;
        }
        path_open_ = false;
        const int half = metafile_half_width(pen_.width_value);
        const bool wide = half >= kMetafileWideHalfWidth;
        const bool dashed = !wide && pen_.style_index >= 1 && pen_.style_index <= 4;
        cairo_set_line_width(cr_, wide ? 2.0 * half : 2.0 * half + 1);
        cairo_set_line_cap(cr_, dashed ? CAIRO_LINE_CAP_BUTT : CAIRO_LINE_CAP_ROUND);
        cairo_set_line_join(cr_, CAIRO_LINE_JOIN_ROUND);
        const std::vector<double> dashes = dashed ? dash_runs(kDashMasks[pen_.style_index]) : std::vector<double>{};
        cairo_set_dash(cr_, dashes.data(), static_cast<int>(dashes.size()), 0);
        set_colour(pen_.rgb);
        cairo_stroke(cr_);
    }

private:
    void set_colour(RgbColour c) { cairo_set_source_rgb(cr_, c.red / 255.0, c.green / 255.0, c.blue / 255.0); }

    // On and off runs of a 16-bit mask, bit 15 first, starting with the first run of ones.
    static std::vector<double> dash_runs(std::uint16_t mask) {
        std::vector<double> runs;
        int bit = 15;
        bool on = true;
        while (bit >= 0) {
            int run = 0;
            while (bit >= 0 && (((mask >> bit) & 1) != 0) == on) {
                ++run;
                --bit;
            }
            runs.push_back(run * kDashBitUnits);
            on = !on;
        }
        if (runs.size() % 2) runs.push_back(0);
        return runs;
    }

    // Lines across the current path, which is filled with them: horizontal,
    // vertical, the two diagonals, a cross and a diagonal cross (patterns 1..6).
    void fill_hatched(int pattern) {
        cairo_save(cr_);
        cairo_clip(cr_);
        double x0, y0, x1, y1;
        cairo_clip_extents(cr_, &x0, &y0, &x1, &y1);
        const double span = (x1 - x0) + (y1 - y0);
        const auto lines = [&](double dx, double dy) {   // direction of the lines
            for (double t = -span; t <= span; t += kHatchSpacing) {
                const double ox = x0 + (dy != 0 ? t : 0), oy = y0 + (dy == 0 ? t : 0);
                cairo_move_to(cr_, ox - dx * span, oy - dy * span);
                cairo_line_to(cr_, ox + dx * span, oy + dy * span);
            }
        };
        if (pattern == 1 || pattern == 5) lines(1, 0);
        if (pattern == 2 || pattern == 5) lines(0, 1);
        if (pattern == 3 || pattern == 6) lines(1, 1);
        if (pattern == 4 || pattern == 6) lines(1, -1);
        cairo_set_line_width(cr_, kHatchWidth);
        cairo_set_dash(cr_, nullptr, 0, 0);
        cairo_stroke(cr_);
        cairo_restore(cr_);
    }

    const LoadedFace* face_for(const FontChoice& font) {
        const std::string key = font.face + (font.bold ? "/b" : "") + (font.italic ? "/i" : "");
        auto found = faces_.find(key);
        if (found != faces_.end()) return found->second ? &*found->second : nullptr;
        std::optional<LoadedFace> loaded;
        const std::optional<FontFile> file = find_font_file(font.face, font.bold, font.italic);
        if (file && library_) {
            if (const std::optional<FaceMetrics> metrics = face_metrics(library_, *file)) {
                FcPattern* pattern = FcPatternCreate();
                FcPatternAddString(pattern, FC_FILE, reinterpret_cast<const FcChar8*>(file->path.c_str()));
                FcPatternAddInteger(pattern, FC_INDEX, file->index);
                cairo_font_face_t* face = cairo_ft_font_face_create_for_pattern(pattern);
                FcPatternDestroy(pattern);
                if (cairo_font_face_status(face) == CAIRO_STATUS_SUCCESS) {
                    loaded = LoadedFace{face, *metrics};
                } else {
                    cairo_font_face_destroy(face);
                }
            }
        }
        const auto [at, inserted] = faces_.emplace(key, loaded);
        return at->second ? &*at->second : nullptr;
    }

    // The text placed as the screen places it: the anchor moved back along
    // the text by 0, ½ or all of its advance and up across it by 0, ½ or all
    // of its cell height; the baseline lies the ascent below the cell's top.
    void draw_text(Point anchor, const std::string& text) {
        if (!font_) return;
        const double cell = std::round(limited(font_->height_fraction * kMetafileHeight));
        if (!(cell > 0)) return;
        const LoadedFace* face = face_for(*font_);
        if (!face) return;   // no font at all: the screen shows no text either
        const FaceMetrics& m = face->metrics;
        const double em_y = cell * m.units_per_em / m.cell_units;
        const double width = std::round(limited(font_->width_fraction * kMetafileHeight));
        const double em_x = width > 0 ? width * m.units_per_em / m.average_units : em_y;
        cairo_matrix_t matrix;
        cairo_matrix_init_scale(&matrix, em_x, em_y);
        cairo_set_font_face(cr_, face->face);
        cairo_set_font_matrix(cr_, &matrix);
        const std::string utf8 = as_utf8(text);
        cairo_text_extents_t extents;
        cairo_text_extents(cr_, utf8.c_str(), &extents);

        const auto fraction = [](int k) { return k == 0 ? 0.0 : k == 1 ? 0.5 : 1.0; };
        const double back = fraction(static_cast<int>(align_.h)) * extents.x_advance;
        const double up = fraction(static_cast<int>(align_.v)) * cell;
        const double angle = std::isfinite(font_->angle) ? font_->angle * std::numbers::pi / 180.0 : 0.0;
        const double c = std::cos(angle), s = std::sin(angle);
        // Along the text (c, −s) and down across it (s, c), y growing downward.
        const double ascent = m.ascent_units * em_y / m.units_per_em;
        const double x = anchor.x - back * c - up * s + ascent * s;
        const double y = anchor.y + back * s - up * c + ascent * c;
        cairo_save(cr_);
        cairo_translate(cr_, x, y);
        cairo_rotate(cr_, -angle);
        cairo_move_to(cr_, 0, 0);
        set_colour(pen_.rgb);
        cairo_show_text(cr_, utf8.c_str());
        cairo_restore(cr_);
        cairo_new_path(cr_);
    }

    cairo_t* cr_;
    FT_Library library_ = nullptr;
    std::map<std::string, std::optional<LoadedFace>> faces_;
    PenState pen_;
    VectorFileWriter::Align align_{HorizontalAlign::Left, VerticalAlign::Top};
    std::optional<FontChoice> font_;
    Point current_;
    bool path_open_ = false;
};

cairo_status_t write_to_file(void* closure, const unsigned char* data, unsigned int length) {
    return std::fwrite(data, 1, length, static_cast<std::FILE*>(closure)) == length ? CAIRO_STATUS_SUCCESS
                                                                                      : CAIRO_STATUS_WRITE_ERROR;
}

// Draws the operations into a new file `name`, PDF or SVG by its name.
Status write_picture(const std::string& name, const std::vector<VectorFileWriter::Operation>& operations) {
    const Status failed = Status::failure(std::string(kErrorWritingFile) + name);
    ReplacementFile replacement(name);
    if (!replacement) return failed;
    std::FILE* file = replacement.get();
    cairo_surface_t* surface =
        is_pdf_name(name) ? cairo_pdf_surface_create_for_stream(write_to_file, file, kPageWidthPoints, kPageHeightPoints)
                          : cairo_svg_surface_create_for_stream(write_to_file, file, kPageWidthPoints, kPageHeightPoints);
    cairo_t* cr = cairo_create(surface);
    cairo_scale(cr, kPageWidthPoints / kMetafileWidth, kPageHeightPoints / kMetafileHeight);
    {
        Replay replay(cr);
        for (const auto& op : operations) std::visit(replay, op);
        replay.flush();
    }
    bool ok = cairo_status(cr) == CAIRO_STATUS_SUCCESS;
    cairo_destroy(cr);
    cairo_surface_finish(surface);
    ok = ok && cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(surface);
    if (!ok) {
        replacement.discard();
        return failed;
    }
    if (!replacement.commit()) return failed;
    return Status::success();
}

}  // namespace

bool is_vector_file_name(std::string_view file_name) {
    const std::string_view name = trimmed_file_name(file_name);
    return has_extension(name, ".svg") || has_extension(name, ".pdf");
}

VectorFileWriter::~VectorFileWriter() {
    if (open_) close();
}

void VectorFileWriter::start_picture() {
    operations_.clear();
    mark_.reset();
}

Status VectorFileWriter::open(const std::string& name) {
    if (open_) close();
    name_ = std::string(trimmed_file_name(name));
    status_ = Status::success();
    start_picture();
    open_ = true;
    return status_;
}

Status VectorFileWriter::continue_for_overlay(const std::string& name) {
    if (open_) close();
    if (std::string(trimmed_file_name(name)) != picture_name_ || operations_.empty()) return open(name);
    name_ = picture_name_;
    status_ = Status::success();
    mark_.reset();
    open_ = true;
    return status_;
}

void VectorFileWriter::mark_for_pan() {
    if (open_) mark_ = operations_.size();
}

void VectorFileWriter::rewind_for_pan() {
    if (!open_ || !mark_ || *mark_ > operations_.size()) return;
    operations_.resize(*mark_);
    // The drawing layer goes on with the state it has now.
    if (clip_) record(*clip_);
    if (pen_) record(Pen{*pen_});
    if (align_) record(*align_);
    if (font_) record(Font{*font_});
}

Status VectorFileWriter::close() {
    if (!open_) return status_;
    open_ = false;
    mark_.reset();
    status_ = write_picture(name_, operations_);
    picture_name_ = name_;
    return status_;
}

void VectorFileWriter::begin(int metafile_mode) {
    if (metafile_mode == 0 && open_) close();
}

VectorFileWriter::Point VectorFileWriter::to_units(WorldPoint p) const {
    const double sx = kMetafileWidth / (world_.x_max - world_.x_min);
    const double sy = kMetafileHeight / (world_.y_max - world_.y_min);
    return {limited((p.x - world_.x_min) * sx), kMetafileHeight - limited((p.y - world_.y_min) * sy)};
}

void VectorFileWriter::clear(RgbColour colour) {
    if (!open_) return;
    start_picture();
    record(Background{colour});
}

void VectorFileWriter::clip_rect(WorldPoint corner1, WorldPoint corner2) {
    clip_ = Clip{to_units(corner1), to_units(corner2)};
    record(*clip_);
}

void VectorFileWriter::pen(const PenState& pen) {
    pen_ = pen;
    record(Pen{pen});
}

void VectorFileWriter::move_to(WorldPoint p) { record(MoveTo{to_units(p)}); }

void VectorFileWriter::line_to(WorldPoint p) { record(LineTo{to_units(p)}); }

void VectorFileWriter::filled_polygon(std::span<const WorldPoint> points) {
    if (!open_) return;
    Polygon polygon;
    polygon.points.reserve(points.size());
    for (const WorldPoint& p : points) polygon.points.push_back(to_units(p));
    record(std::move(polygon));
}

void VectorFileWriter::text_align(HorizontalAlign h, VerticalAlign v) {
    align_ = Align{h, v};
    record(*align_);
}

void VectorFileWriter::font(const FontChoice& font) {
    font_ = font;
    record(Font{font});
}

void VectorFileWriter::text(WorldPoint anchor, std::string_view text) {
    if (!text.empty()) record(Text{to_units(anchor), std::string(text)});
}

}  // namespace zeph
