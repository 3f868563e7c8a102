#pragma once
// Everything of a plot except the curve: zero lines, ticks, grids, the frame,
// the polar grid, the title, the axis labels and the axis numbers.
//
// All coordinates are world units of the plot's world window, in which the
// plot frame is [0, width] × [0, height] (see plot_driver.hpp). An axis is
// described by its limits after the driver's adjustments: on a logarithmic
// axis `lo` and `hi` are decade exponents and `divisions` the number of decades.
#include <optional>
#include <string>
#include <vector>

#include "plot/painter.hpp"
#include "plot/plot_settings.hpp"

namespace zeph {

inline constexpr double kMajorTickLength = 250;
inline constexpr double kMinorTickLength = 83.333335;
inline constexpr double kMiddleTickLength = 166.666665;   // the minor tick at 5 of each division
inline constexpr double kNumberGap = 500;                 // axis numbers from the frame

inline const std::string kPlotFace = "Times New Roman";

// An axis with more divisions than this gets no ticks, grid lines or numbers:
// they would fill the frame and take unbounded time and memory to draw.
inline constexpr int kMaxDrawnDivisions = 10000;

// The plot frame in world units.
struct PlotFrame {
    double width = 13000;
    double height = 10000;
};

struct AxisScale {
    double lo = 0, hi = 1;
    int divisions = 10;
    bool logarithmic = false;
};

struct Tick {
    double position = 0;   // along the axis, 0 .. frame length
    double length = 0;     // pointing out of the frame
};

struct GridLine {
    double position = 0;   // along the axis, 0 .. frame length
    bool solid = false;    // otherwise dotted
};

// Major ticks at every division, minor ticks inside each division (tenths on
// a linear axis, 2..9 of each decade on a logarithmic one), the one at 5 longer.
std::vector<Tick> axis_ticks(const AxisScale& axis, double length);

// The grid lines of one axis for a grid code 0..4; other codes give none.
std::vector<GridLine> grid_lines(const AxisScale& axis, double length, int grid_code);

// Where the value 0 (1 on a logarithmic axis) falls along the axis, when it
// lies strictly inside the limits.
std::optional<double> zero_line_position(const AxisScale& axis, double length);

// The 12-character texts of the n + 1 numbers of an axis from lo to hi
// (limits as values, also on a logarithmic axis). Linear axes share one
// exponent: fixed point when it is -1..5, otherwise a mantissa and "E±ee";
// logarithmic entries carry their own exponent. An exact 0 is "   0.       ".
std::vector<std::string> axis_number_labels(double hi, double lo, int n, bool linear);

// Indices of the numbers that are drawn: all below 5 divisions, otherwise
// both ends and, for an even count, the middle one.
std::vector<int> drawn_label_indices(int n);

// Cartesian graphs: ticks (axes_mode >= 1), grids, frame (axes_mode >= 1) in
// the axes colour. Polar graphs (graph_type > 0): spokes and circles.
// Then the title and axis labels in the label colour. The zero lines are not
// part of this: they move with the view (draw_zero_lines).
void draw_plot_background(Painter& painter, const PlotFrame& frame, const AxisScale& x, const AxisScale& y,
                          const PlotSettings& settings);

// Horizontal (zero_axes 1 or 3) and vertical (2 or 3) zero lines across the
// frame of a cartesian graph, solid one-pixel lines in the axes colour.
void draw_zero_lines(Painter& painter, const PlotFrame& frame, const AxisScale& x, const AxisScale& y,
                     const PlotSettings& settings);

// The axis numbers (axes_mode >= 2) in the label colour: X numbers below the
// frame of cartesian graphs, Y numbers left of it (on polar graphs as radii).
void draw_axis_numbers(Painter& painter, const PlotFrame& frame, const AxisScale& x, const AxisScale& y,
                       const PlotSettings& settings);

}  // namespace zeph
