#include "graphics/fonts.hpp"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cstdlib>
#include <cmath>
#include <numbers>

#include "base/utf8.hpp"

namespace zeph {

namespace {

// Larger requests are limited so that one glyph bitmap stays small (pixels).
constexpr int kMaxFontPixels = 4096;
// Horizontal shear of a synthesised italic (x += k·y).
constexpr double kItalicShear = 0.2;

FT_Fixed to_16_16(double v) { return static_cast<FT_Fixed>(std::lround(v * 65536.0)); }

struct LookupKey {
    std::string face;
    bool bold = false;
    bool italic = false;
    bool operator==(const LookupKey&) const = default;
};

// Loads fontconfig's configuration once; it is released at exit so that
// leak checkers see a clean end.
bool start_fontconfig() {
    static const bool started = [] {
        if (!FcInit()) return false;
        std::atexit(FcFini);
        return true;
    }();
    return started;
}

}  // namespace

std::optional<FontFile> find_font_file(const std::string& face, bool bold, bool italic) {
    if (!start_fontconfig()) return std::nullopt;
    FcPattern* pattern = FcPatternCreate();
    if (!pattern) return std::nullopt;
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(face.c_str()));
    FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    if (!match) return std::nullopt;

    std::optional<FontFile> found;
    FcChar8* path = nullptr;
    if (FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch && path) {
        FontFile file;
        file.path = reinterpret_cast<const char*>(path);
        int index = 0, weight = FC_WEIGHT_REGULAR, slant = FC_SLANT_ROMAN;
        if (FcPatternGetInteger(match, FC_INDEX, 0, &index) == FcResultMatch) file.index = index;
        if (FcPatternGetInteger(match, FC_WEIGHT, 0, &weight) == FcResultMatch) file.is_bold = weight >= FC_WEIGHT_DEMIBOLD;
        if (FcPatternGetInteger(match, FC_SLANT, 0, &slant) == FcResultMatch) file.is_italic = slant != FC_SLANT_ROMAN;
        found = file;
    }
    FcPatternDestroy(match);
    return found;
}

struct FontRenderer::Impl {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    FontFile loaded;                        // file of `face`
    std::optional<LookupKey> looked_up;     // last lookup and its answer
    std::optional<FontFile> lookup_answer;

    bool ready = false;
    bool synthetic_bold = false;
    bool synthetic_italic = false;
    bool underline = false;
    double angle = 0;                       // radians, counter-clockwise
    double pixels_per_unit_y = 0;           // vertical scale of the face
    int cell_height = 0;                    // pixels
    int ascent = 0;                         // pixels
    double underline_offset = 0;            // pixels below the baseline
    double underline_thickness = 1;         // pixels

    ~Impl() {
        if (face) FT_Done_Face(face);
        if (library) FT_Done_FreeType(library);
    }

    bool load_face(const FontFile& file) {
        if (face && file.path == loaded.path && file.index == loaded.index) return true;
        if (face) FT_Done_Face(face);
        face = nullptr;
        if (!library && FT_Init_FreeType(&library) != 0) {
            library = nullptr;
            return false;
        }
        if (FT_New_Face(library, file.path.c_str(), file.index, &face) != 0) {
            face = nullptr;
            return false;
        }
        loaded = file;
        return true;
    }

    // Scales the face so that the cell is `height` pixels tall and the
    // average character `width` pixels wide.
    bool scale_face(int height, int width) {
        const double units_per_em = face->units_per_EM;
        if (units_per_em <= 0) return false;   // bitmap-only faces are not used
        const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
        double cell_units = face->ascender - face->descender;
        double ascent_units = face->ascender;
        if (os2 && os2->usWinAscent + os2->usWinDescent > 0) {
            cell_units = os2->usWinAscent + os2->usWinDescent;
            ascent_units = os2->usWinAscent;
        }
        if (cell_units <= 0) cell_units = units_per_em;
        const double average_units = os2 && os2->xAvgCharWidth > 0 ? os2->xAvgCharWidth : units_per_em / 2;

        const double ppem_y = height * units_per_em / cell_units;
        const double ppem_x = width > 0 ? width * units_per_em / average_units : ppem_y;
        // 72 dots per inch make one point one pixel.
        if (FT_Set_Char_Size(face, static_cast<FT_F26Dot6>(std::lround(ppem_x * 64)),
                             static_cast<FT_F26Dot6>(std::lround(ppem_y * 64)), 72, 72) != 0) {
            return false;
        }
        pixels_per_unit_y = ppem_y / units_per_em;
        cell_height = height;
        ascent = static_cast<int>(std::lround(ascent_units * pixels_per_unit_y));
        underline_offset = -face->underline_position * pixels_per_unit_y;
        underline_thickness = std::max(1.0, face->underline_thickness * pixels_per_unit_y);
        return true;
    }

    FT_Int32 load_flags() const { return angle == 0 ? FT_LOAD_TARGET_LIGHT : FT_LOAD_NO_HINTING; }

    // Unhinted advance of one character in pixels, before rotation.
    double advance_of(char32_t character) const {
        if (FT_Load_Char(face, character, load_flags() | FT_LOAD_IGNORE_TRANSFORM) != 0) return 0;
        return face->glyph->linearHoriAdvance / 65536.0;
    }

    FT_Matrix glyph_matrix() const {
        const double c = std::cos(angle), s = std::sin(angle);
        const double k = synthetic_italic ? kItalicShear : 0.0;
        FT_Matrix m;   // rotation times shear, 16.16
        m.xx = to_16_16(c);
        m.xy = to_16_16(c * k - s);
        m.yx = to_16_16(s);
        m.yy = to_16_16(s * k + c);
        return m;
    }
};

FontRenderer::FontRenderer() : impl_(std::make_unique<Impl>()) {}
FontRenderer::~FontRenderer() = default;

bool FontRenderer::ready() const { return impl_->ready; }
int FontRenderer::cell_height() const { return impl_->ready ? impl_->cell_height : 0; }
int FontRenderer::ascent() const { return impl_->ready ? impl_->ascent : 0; }

bool FontRenderer::select(const FontRequest& request) {
    const LookupKey key{request.face, request.bold, request.italic};
    if (impl_->looked_up != key) {
        impl_->lookup_answer = find_font_file(request.face, request.bold, request.italic);
        impl_->looked_up = key;
    }
    if (!impl_->lookup_answer) {
        impl_->ready = false;
        return false;
    }
    return select_file(*impl_->lookup_answer, request);
}

bool FontRenderer::select_file(const FontFile& file, const FontRequest& request) {
    Impl& f = *impl_;
    f.ready = false;
    if (!f.load_face(file)) return false;
    const int height = std::clamp(request.height, 1, kMaxFontPixels);
    const int width = std::clamp(request.width, 0, kMaxFontPixels);
    if (!f.scale_face(height, width)) return false;
    f.synthetic_bold = request.bold && !file.is_bold;
    f.synthetic_italic = request.italic && !file.is_italic;
    f.underline = request.underline;
    f.angle = request.escapement / 10.0 * std::numbers::pi / 180.0;
    f.ready = true;
    return true;
}

int FontRenderer::text_width(std::string_view text) const {
    if (!impl_->ready) return 0;
    double width = 0;
    for (const char32_t c : decode_text(text)) width += impl_->advance_of(c);
    return static_cast<int>(std::lround(width));
}

namespace {

void plot_glyph_bitmap(const FT_Bitmap& bitmap, int left, int top, const CoveragePlot& plot) {
    for (unsigned row = 0; row < bitmap.rows; ++row) {
        const unsigned char* line = bitmap.buffer + static_cast<std::ptrdiff_t>(row) * bitmap.pitch;
        for (unsigned column = 0; column < bitmap.width; ++column) {
            std::uint8_t coverage = 0;
            if (bitmap.pixel_mode == FT_PIXEL_MODE_GRAY) {
                coverage = line[column];
            } else if (bitmap.pixel_mode == FT_PIXEL_MODE_MONO) {
                coverage = (line[column / 8] & (0x80 >> (column % 8))) ? 255 : 0;
            }
            if (coverage) plot(left + static_cast<int>(column), top + static_cast<int>(row), coverage);
        }
    }
}

}  // namespace

void FontRenderer::render(std::string_view text, int x, int y, const CoveragePlot& plot) const {
    const Impl& f = *impl_;
    if (!f.ready || text.empty()) return;
    const double c = std::cos(f.angle), s = std::sin(f.angle);
    // Screen y grows downward: the text runs along (c, -s), its "down" is (s, c).
    const double origin_x = x + f.ascent * s;
    const double origin_y = y + f.ascent * c;
    const double base_x = std::floor(origin_x), base_y = std::floor(origin_y);
    const double fraction_x = origin_x - base_x, fraction_y = origin_y - base_y;

    FT_Matrix matrix = f.glyph_matrix();
    double pen = 0;   // pixels along the baseline
    for (const char32_t character : decode_text(text)) {
        // Glyph space is y-up: the pen's screen offset (pen·c, −pen·s) is (pen·c, pen·s) there.
        FT_Vector delta;
        delta.x = std::lround((fraction_x + pen * c) * 64);
        delta.y = std::lround((-fraction_y + pen * s) * 64);
        FT_Set_Transform(f.face, &matrix, &delta);
        const bool loaded = FT_Load_Char(f.face, character, f.load_flags()) == 0;
        if (loaded) {
            FT_GlyphSlot slot = f.face->glyph;
            if (f.synthetic_bold && slot->format == FT_GLYPH_FORMAT_OUTLINE) {
                FT_Outline_Embolden(&slot->outline, static_cast<FT_Pos>(f.cell_height * 64 / 24));
            }
            if (FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) == 0) {
                plot_glyph_bitmap(slot->bitmap, static_cast<int>(base_x) + slot->bitmap_left,
                                  static_cast<int>(base_y) - slot->bitmap_top, plot);
            }
            pen += slot->linearHoriAdvance / 65536.0;
        }
    }
    FT_Set_Transform(f.face, nullptr, nullptr);

    if (f.underline) {
        // A band `underline_thickness` pixels thick below the baseline, in half-pixel steps.
        for (double along = 0; along < pen; along += 0.5) {
            for (double across = f.underline_offset - f.underline_thickness / 2;
                 across < f.underline_offset + f.underline_thickness / 2; across += 0.5) {
                plot(static_cast<int>(std::lround(origin_x + along * c + across * s)),
                     static_cast<int>(std::lround(origin_y - along * s + across * c)), 255);
            }
        }
    }
}

}  // namespace zeph
