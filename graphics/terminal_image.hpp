#pragma once
// Plots inside the terminal: the canvas picture scaled to the terminal's
// size and encoded by libchafa as a sixel, kitty or iTerm2 image or as
// Unicode symbols in colour, and the screen that shows it while a plot is up.
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "graphics/graphics_canvas.hpp"
#include "graphics/plot_target.hpp"
#include "graphics/symbol_layout.hpp"

namespace zeph {

class TerminalPresenter;

// The terminal's text area: cells and the pixels of one cell.
struct TerminalGeometry {
    int columns = 80;
    int rows = 24;
    int cell_width = 8;     // pixels
    int cell_height = 16;
};

// The geometry a picture may be drawn for: a terminal that reports absurd
// sizes (65535 x 65535 pixels) would ask for gigabytes; cells beyond 64 x 128
// pixels take the usual 8 x 16, and a picture beyond 4096 x 4096 pixels is
// drawn with smaller cells.
TerminalGeometry bounded_geometry(TerminalGeometry area);

// An RGB picture (rows top first, 3 bytes a pixel).
struct RgbPicture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;
};

// `source` scaled into a width × height picture whose pixels are
// `pixel_aspect` times as wide as high, keeping the source's shape, centred
// on white. Each pixel takes the source pixel of the area it covers that
// stands out most (a curve's colour, then the darkest), so one-pixel lines
// and small text survive a reduction.
// `spread` then widens what stands out by that many pixels on every side:
// lines come out thicker.
RgbPicture fit_picture(const RgbPicture& source, int width, int height, double pixel_aspect = 1.0,
                       int spread = 0);

// The picture as libchafa encodes it for `target` (Sixel, Kitty, Iterm or
// Symbols) over the whole of `area` (columns × rows cells), without cursor
// movement: one block of image data, or for symbols the rows joined by "\n".
// `truecolour`: symbols in 24-bit colour rather than the 256-colour palette.
std::string encode_terminal_picture(const RgbPicture& canvas_picture, PlotTarget target,
                                    const TerminalGeometry& area, bool truecolour);

// The pixel picture a target draws into the area: the cells' pixels for the
// image protocols, 8 × 8 samples a cell for symbols (libchafa's cell size).
RgbPicture terminal_picture(const RgbPicture& canvas_picture, PlotTarget target, const TerminalGeometry& area);

// Where terminal_picture puts a canvas of width × height pixels: the
// rectangle in the picture's pixels, and the picture's pixels across and
// down one cell.
struct PicturePlacement {
    double left = 0, top = 0, width = 0, height = 0;
    double cell_width = 1, cell_height = 1;
};
PicturePlacement picture_placement(int width, int height, PlotTarget target, const TerminalGeometry& area);

// Switches mouse reporting off when a plot had it on: for the crash path
// (async-signal-safe; writes nothing otherwise).
void switch_mouse_reporting_off_now();
// The smallest rectangle holding every pixel of the picture that is not
// white (empty for a white picture).
PixelRect content_bounds(const RgbPicture& picture);
// The part of the picture inside `rect` (limited to the picture).
RgbPicture cropped_picture(const RgbPicture& picture, const PixelRect& rect);

// The terminal's bytes that write the texts over a symbol picture: each at
// its cell (cursor positioning), in its colour on the picture's white, in
// 24-bit colour or the 256-colour palette's nearest.
std::string symbol_texts(std::span<const CellText> texts, bool truecolour);

// The terminal while a plot is up: the whole screen shows the picture, and
// the text console is drawn again exactly when the plot ends.
class TerminalPlotScreen {
public:
    // `console` is repainted after each plot; it must outlive this screen.
    explicit TerminalPlotScreen(TerminalPresenter& console);
    ~TerminalPlotScreen();
    TerminalPlotScreen(const TerminalPlotScreen&) = delete;
    TerminalPlotScreen& operator=(const TerminalPlotScreen&) = delete;

    // Asks the terminal for its primary device attributes and its text area
    // in pixels, waiting at most `timeout_ms`; the answers are read off the
    // input here, never left for the key reader.
    void probe(int timeout_ms);
    bool sixel() const { return sixel_; }

    // Takes the screen for a plot of `target` (an in-terminal target).
    void begin(PlotTarget target);
    // Keeps the picture to show; it is encoded and written by present_now.
    // Symbols show the picture without its texts, which are written in
    // characters over it; the part shown is what the plot's pictures drew,
    // at its largest in the pane.
    void show(const GraphicsCanvas& canvas);
    // Writes the kept picture when one is waiting. A caller that already has
    // the next key waiting skips this, so redraws never queue up.
    void present_now();
    bool picture_waiting() const { return waiting_; }
    // Clears the picture and draws the text console again.
    void end();

    // Where the centre of a cell (column, row from 0) lies on the canvas of
    // the picture shown, in canvas pixels; nothing off the picture.
    std::optional<std::pair<double, double>> canvas_point(double column, double row) const;
    // Writes `text` on the bottom row, below the picture (the pointer's
    // coordinates); an empty text clears the row.
    void show_status_row(const std::string& text);

    // The terminal's size now (TIOCGWINSZ; cell pixels from it, from the
    // probe's answer, or a usual 8 × 16).
    TerminalGeometry geometry() const;

private:
    void write_out(const std::string& bytes) const;
    TerminalGeometry picture_area() const;
    PixelRect shown_part() const;
    CellRect symbol_cells(const TerminalGeometry& area) const;
    std::string symbol_screen(const TerminalGeometry& area) const;

    TerminalPresenter& console_;
    PlotTarget target_ = PlotTarget::None;
    bool active_ = false;
    bool sixel_ = false;
    PixelSize probed_pixels_;
    RgbPicture picture_;
    std::vector<CanvasText> texts_;   // symbols: the picture's texts, without their pixels
    PixelRect shown_;                 // symbols: the part of the canvas the plot's pictures drew on
    bool waiting_ = false;
    bool truecolour_ = false;
    bool status_shown_ = false;   // the bottom row holds a text
};

}  // namespace zeph
