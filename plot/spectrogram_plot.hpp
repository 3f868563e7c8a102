#pragma once
// The spectrogram picture: time across, frequency up, each cell coloured by
// 10·log10 of its density on the viridis map, from the largest finite value
// down by a dynamic range; a colour bar with its dB numbers right of the
// frame; title, axes, numbers and labels as on every plot.
//
// Cells are rectangles in world units whose edges lie half-way between the
// centre times (frequencies); the outer cells are as wide as their
// neighbour (`time_step` / `frequency_step` when there is one centre). When
// a pixel holds more than one cell it shows the largest density among the
// cells whose centres fall in it (thinning never drops a peak); a pixel
// smaller than a cell shows the cell under its centre. Densities of 0 or
// less take the lowest colour, NaN the NaN colour (never the largest of a
// pixel that also holds a number).
//
// The same picture goes to every target of the drawing layer: the canvas,
// SVG and PDF (embedded images, vector axes and text) and the placeable
// metafile (an image record).
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "base/status.hpp"
#include "plot/plot_driver.hpp"

namespace zeph {

inline constexpr double kDefaultDynamicRangeDb = 100;
inline const std::string kDynamicRangePrompt = "Dynamic range in dB:";
inline const std::string kDynamicRangeError = "ERROR. DYNAMIC RANGE MUST BE POSITIVE.";
inline const std::string kSpectrogramCellsError = "ERROR. SPECTROGRAM TIMES AND FREQUENCIES MUST BE FINITE AND ASCENDING.";
inline const std::string kSpectrogramEmptyError = "ERROR. THE SPECTROGRAM IS EMPTY.";
// The frame is at most this wide for its height, so the colour bar and its
// numbers fit right of it.
inline constexpr double kSpectrogramMaxAspect = 1.08;
inline constexpr RgbColour kNanCellColour{255, 0, 255};   // magenta, outside the map

// The viridis map, lowest value first.
const std::array<RgbColour, 256>& viridis_map();

// A spectrogram as the picture reads it (the arrays stay the caller's).
struct SpectrogramCells {
    std::span<const double> time;        // segment centres, ascending
    std::span<const double> frequency;   // bin centres, ascending
    std::span<const double> density;     // time.size() × frequency.size(), segment by segment
    double time_step = 1;                // cell width when there is one segment
    double frequency_step = 1;           // cell height when there is one bin
};

// Refuses an empty spectrogram, a density array of another size, and
// centres that are not finite and strictly ascending.
Status check_spectrogram_cells(const SpectrogramCells& cells);

// The colours from the data: top is 10·log10 of the largest finite positive
// density (0 dB when there is none), floor = top − range.
struct SpectrogramScale {
    double top_db = 0;
    double floor_db = -kDefaultDynamicRangeDb;
    bool has_positive = false;     // some density is finite and > 0
    long long nan_cells = 0;       // drawn in kNanCellColour
    long long nan_segments = 0;    // segments holding a NaN cell
};
Status check_dynamic_range(double range_db);
SpectrogramScale spectrogram_scale(const SpectrogramCells& cells, double range_db);

// The colour of a density: NaN → kNanCellColour; else the map entry of its
// dB value between floor (and below, 0 and less included) and top.
RgbColour cell_colour(double density, const SpectrogramScale& scale);
RgbColour colour_of_db(double db, const SpectrogramScale& scale);

// The extent of the cells, edge to edge: the view limits of a full picture.
WorldRect spectrogram_extent(const SpectrogramCells& cells);

// The settings a spectrogram is drawn with: cartesian, the frame no wider
// than kSpectrogramMaxAspect (0 asks for that width), the rest as given.
PlotSettings spectrogram_settings(const PlotSettings& settings);

// The dB values that get a tick and a number on the colour bar: multiples
// of 1, 2 or 5 × 10^k, 2 to 8 of them, from floor to top.
std::vector<double> colour_bar_ticks(double floor_db, double top_db);

// Renders the cells of the data rectangle [x0, x1] × [y0, y1] (data units;
// decade exponents on a logarithmic axis) at width × height pixels, rows
// top-down: rgb (3 bytes a pixel) and mask (1 where a cell lies). Exposed
// for the benchmark and tests; the picture uses it through the painter.
struct CellView {
    double x0 = 0, x1 = 1, y0 = 0, y1 = 1;   // x0 at the left column, y1 at the top row
    bool x_log = false, y_log = false;
};
void render_cells(const SpectrogramCells& cells, const SpectrogramScale& scale, const CellView& view, int width,
                  int height, std::uint8_t* rgb, std::uint8_t* mask);

// Draws the whole picture of one view on an opened painter (world window
// set to the layout's): cells clipped to the frame, colour bar, frame,
// ticks, grids, zero lines, title, labels and numbers. `settings` as
// spectrogram_settings gives them.
void draw_spectrogram(Painter& painter, const SpectrogramCells& cells, const SpectrogramScale& scale,
                      const PlotSettings& settings, const PlotLayout& layout, const PlotView& view);

// What the caller tells the user after a picture.
struct SpectrogramReport {
    SpectrogramScale scale;
};

// The plot driver of a spectrogram: opens the picture, draws it, runs the
// key loop (arrows and pages pan, Home returns, B saves the bitmap with
// bitmap_mode 1, Esc or Enter end) and closes, as plot_driver does; every
// pan redraws the whole picture (an ME file keeps the last view). An overlay
// call draws a new picture. Messages as plot_driver's, and the ones above.
Status spectrogram_driver(Painter& painter, const SpectrogramCells& cells, double range_db,
                          const PlotSettings& settings, const PlotCall& call, PlotMemory& memory, const PlotIo& io,
                          SpectrogramReport& report);

}  // namespace zeph
