#include "graphics/symbol_layout.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "base/utf8.hpp"

namespace zeph {

namespace {

// The characters a terminal can show as they are: C0 and C1 controls (an
// escape sequence in a title read from a file) become spaces.
std::u32string printable(std::string_view text) {
    std::u32string characters = decode_text(text);
    for (char32_t& c : characters) {
        if (c < 0x20 || (c >= 0x7F && c < 0xA0)) c = U' ';
    }
    return characters;
}

int nearest(double v) { return static_cast<int>(std::floor(v + 0.5)); }

// The canvas's pixels as fractional cells of the pane (a pixel's centre is
// half a pixel in).
struct CellScale {
    const PixelRect& shown;
    const CellRect& cells;
    double column(double x) const { return cells.column + (x + 0.5 - shown.x) * cells.columns / shown.width; }
    double row(double y) const { return cells.row + (y + 0.5 - shown.y) * cells.rows / shown.height; }
};

}  // namespace

CellRect picture_cells(int width, int height, int columns, int rows, double cell_aspect) {
    if (width <= 0 || height <= 0 || columns <= 0 || rows <= 0 || !(cell_aspect > 0)) return {};
    // In cell heights: the pane is columns·aspect wide and rows high.
    const double scale = std::min(columns * cell_aspect / width, static_cast<double>(rows) / height);
    CellRect r;
    r.columns = std::clamp(nearest(width * scale / cell_aspect), 1, columns);
    r.rows = std::clamp(nearest(height * scale), 1, rows);
    r.column = (columns - r.columns) / 2;
    r.row = (rows - r.rows) / 2;
    return r;
}

std::vector<CellText> place_texts(std::span<const CanvasText> texts, const PixelRect& shown, const CellRect& cells,
                                  int columns, int rows) {
    std::vector<CellText> placed;
    if (shown.empty() || cells.columns <= 0 || cells.rows <= 0 || columns <= 0 || rows <= 0) return placed;
    const CellScale at{shown, cells};
    for (const CanvasText& t : texts) {
        CellText out{0, 0, printable(t.text), t.colour, false};
        if (out.characters.empty()) continue;
        // The middle of the text's box: from the anchor along and across the
        // turned text (screen y grows downward).
        const double a = t.angle * std::numbers::pi / 180.0, c = std::cos(a), s = std::sin(a);
        const double u = (0.5 - t.placement.along) * t.width, v = (0.5 - t.placement.across) * t.height;
        const double middle_x = t.placement.anchor.x + u * c + v * s;
        const double middle_y = t.placement.anchor.y - u * s + v * c;
        out.vertical = std::abs(s) > std::abs(c);
        if (out.vertical) {
            if (static_cast<int>(out.characters.size()) > rows) out.characters.resize(static_cast<std::size_t>(rows));
            const int n = static_cast<int>(out.characters.size());
            out.column = std::clamp(static_cast<int>(std::floor(at.column(middle_x))), 0, columns - 1);
            out.row = std::clamp(nearest(at.row(middle_y) - n / 2.0), 0, rows - n);
        } else {
            if (static_cast<int>(out.characters.size()) > columns)
                out.characters.resize(static_cast<std::size_t>(columns));
            const int n = static_cast<int>(out.characters.size());
            // Upright text keeps its alignment at the anchor; upside-down text is centred.
            const double first = c > 0 ? at.column(t.placement.anchor.x) - t.placement.along * n
                                       : at.column(middle_x) - n / 2.0;
            out.column = std::clamp(nearest(first), 0, columns - n);
            out.row = std::clamp(static_cast<int>(std::floor(at.row(middle_y))), 0, rows - 1);
        }
        placed.push_back(std::move(out));
    }
    return placed;
}

}  // namespace zeph
