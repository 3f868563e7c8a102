#pragma once
// Plot text through FreeType, faces found by name through fontconfig.
//
// A font is asked for by face name, cell height and average character width
// in pixels: the face is scaled so that its line cell (ascent + descent)
// is `height` pixels and its average character width is `width` pixels
// (0: the face's own proportions). Text runs at `escapement` tenths of a
// degree counter-clockwise from the x axis. When no font file can be found or
// loaded, the renderer is not ready and text is skipped with width 0.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace zeph {

struct FontRequest {
    std::string face = "Times New Roman";
    int height = 16;       // pixels, cell height
    int width = 0;         // pixels, average character width; 0 keeps the face's proportions
    bool bold = false;
    bool italic = false;
    bool underline = false;
    int escapement = 0;    // tenths of a degree, counter-clockwise
};

// The font file fontconfig picks for the face (its best match, possibly a
// substitute); nothing when fontconfig knows no font at all.
struct FontFile {
    std::string path;
    int index = 0;              // face index inside the file
    bool is_bold = false;       // the file's own weight and slant, so that a
    bool is_italic = false;     // missing style can be synthesised
};
std::optional<FontFile> find_font_file(const std::string& face, bool bold, bool italic);

// Receives one covered pixel of rendered text: position and coverage 1..255.
using CoveragePlot = std::function<void(int x, int y, std::uint8_t coverage)>;

class FontRenderer {
public:
    FontRenderer();
    ~FontRenderer();
    FontRenderer(const FontRenderer&) = delete;
    FontRenderer& operator=(const FontRenderer&) = delete;

    // Looks the face up and scales it; false when no font could be loaded.
    bool select(const FontRequest& request);
    // The same with a given file, skipping the lookup.
    bool select_file(const FontFile& file, const FontRequest& request);
    bool ready() const;

    // Advance of the string along its baseline in pixels (0 when not ready).
    // Text is UTF-8; a character the face lacks draws its .notdef glyph.
    int text_width(std::string_view text) const;
    // Cell height (ascent + descent) and ascent in pixels (0 when not ready).
    int cell_height() const;
    int ascent() const;

    // Renders the string with the top-left corner of its cell at (x, y):
    // the baseline starts `ascent` below that corner, measured across the
    // (possibly rotated) text direction.
    void render(std::string_view text, int x, int y, const CoveragePlot& plot) const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace zeph
