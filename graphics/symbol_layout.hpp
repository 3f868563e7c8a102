#pragma once
// The arithmetic of a plot shown in terminal symbols: the cells the picture
// takes in the pane, and the cell where each text of the plot is written in
// characters over it.
#include <span>
#include <string>
#include <vector>

#include "graphics/graphics_canvas.hpp"

namespace zeph {

// Cells of the pane, 0-based, half-open like PixelRect.
struct CellRect {
    int column = 0;
    int row = 0;
    int columns = 0;
    int rows = 0;
    bool operator==(const CellRect&) const = default;
};

// The cells a picture of width × height square pixels fills at its largest
// in a pane of columns × rows cells, each cell `cell_aspect` (its width over
// its height) as wide as high: the picture's shape kept, centred. At least
// one cell; nothing when the picture or the pane is empty.
CellRect picture_cells(int width, int height, int columns, int rows, double cell_aspect);

// One text as the terminal writes it: its first cell, and its characters
// along the row (down the column when `vertical`).
struct CellText {
    int row = 0;
    int column = 0;
    std::u32string characters;
    RgbColour colour;
    bool vertical = false;
    bool operator==(const CellText&) const = default;
};

// Where the texts of a canvas land when its rectangle `shown` fills `cells`
// of a pane of columns × rows cells. A text whose line runs across keeps its
// alignment: a right-aligned number ends at the cell of its anchor, a centred
// title is centred on it; a text turned upright is written down one column,
// centred where it stands. Texts are moved inside the pane (and cut to it)
// rather than lost; control characters become spaces.
std::vector<CellText> place_texts(std::span<const CanvasText> texts, const PixelRect& shown, const CellRect& cells,
                                  int columns, int rows);

}  // namespace zeph
