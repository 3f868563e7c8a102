#pragma once
// The view of a plot: the data limits it shows, moved by the pan keys and by
// the mouse (the wheel zooms about the pointer, a drag pans), and the way
// back from a pixel of the picture to the data values under it.
#include <optional>
#include <string>

#include "base/status.hpp"
#include "plot/axes.hpp"
#include "plot/painter.hpp"
#include "plot/plot_settings.hpp"
#include "console/pointer.hpp"

namespace zeph {

inline const std::string kPolarLogError = "ERROR. POLAR GRAPH & LOG X AXIS ARE INCOMPATIBLE";
inline const std::string kLogXError = "ERROR. Xmin<0 or Xmax<0 on logarithmic scale";
inline const std::string kLogYError = "ERROR. Ymin<0 or Ymax<0 on logarithmic scale";
inline const std::string kSpanError = "****Plotting error. Xspan=0 or Yspan=0.";

// One wheel step towards the picture shows this part of the span, about the
// pointer; a step back shows the span divided by it. A logarithmic axis
// gains or loses one decade a step (it always spans whole decades).
inline constexpr double kWheelZoomFactor = 0.8;

// The data limits a plot shows: the limits before panning (the asked ones
// until a zoom) moved by the pan offsets. Kept apart so that the pan keys
// move a view exactly as they always have.
struct ViewLimits {
    double x_lo = 0, x_hi = 1, y_lo = 0, y_hi = 1;
    double pan_x = 0, pan_y = 0;
    double shown_x_lo() const { return x_lo + pan_x; }
    double shown_x_hi() const { return x_hi + pan_x; }
    double shown_y_lo() const { return y_lo + pan_y; }
    double shown_y_hi() const { return y_hi + pan_y; }
    bool operator==(const ViewLimits&) const = default;
};

// The limits the range question gave.
ViewLimits asked_limits(const PlotSettings& settings);

// Frame size and world window from the aspect ratio (0 or less: 1.3; polar: 1).
struct PlotLayout {
    PlotFrame frame;
    WorldRect window;
};
PlotLayout plot_layout(const PlotSettings& settings);

// The axes of a view: limits, logarithmic decades and the polar square.
// Fails with the logarithmic, polar or span message.
struct PlotView {
    AxisScale x, y;
    double x_lo_value = 0, x_hi_value = 0;   // the X limits in data units
};
Status plot_view(const PlotSettings& settings, const ViewLimits& limits, PlotView& view);

// The limits after an extended key: the arrows move them by a quarter of
// the view, Ctrl+arrows and the page keys by a whole one, Home returns to
// the asked limits; false (nothing moved) for any other key.
bool pan_for_key(int code, const PlotSettings& settings, ViewLimits& limits);

// A data point of the plot's axes (on a logarithmic axis, the value itself).
struct DataPoint {
    double x = 0, y = 0;
};

// The data values at a place of the canvas (pixels), inside the frame or not.
DataPoint data_at_pixel(const Painter& painter, const PlotLayout& layout, const PlotView& view, double px, double py);
bool inside_frame(const Painter& painter, const PlotLayout& layout, double px, double py);
// Where a data point (as drawn: after the polar conversion) lies on the canvas, in pixels.
WorldPoint pixel_of_data(const Painter& painter, const PlotLayout& layout, const PlotView& view, DataPoint point);

// The limits after `steps` wheel steps (positive: towards the picture,
// closer in) about the data point under the pointer, on the axes asked for.
ViewLimits zoomed_limits(const ViewLimits& limits, const PlotView& view, DataPoint about, int steps, bool on_x,
                         bool on_y);
// The limits after a drag that moved the data point `from` to where `to` is.
ViewLimits dragged_limits(const ViewLimits& limits, const PlotView& view, DataPoint from, DataPoint to);

// A value as the pointer readout writes it: enough decimals to tell one
// pixel (`resolution`, data units a pixel) from the next, trailing zeros
// kept; very large and very small values in exponent form.
std::string readout_number(double value, double resolution);
// "x 616.72 Hz, y 38.1 dB": the units are a label's last "(...)".
std::string pointer_readout(DataPoint point, DataPoint resolution, const std::string& x_label,
                            const std::string& y_label);

// What a gesture of the mouse does to a plot: a move gives the readout
// (empty outside the frame), the wheel zooms about the pointer (x; with
// Shift y; with Ctrl both), a drag pans, a click picks the place. A polar
// plot, an overlay (`view_fixed`) and a view too small or too large to draw
// refuse zoom and pan.
struct GestureEffect {
    bool limits_changed = false;
    bool refused = false;
    std::optional<std::string> readout;
    std::optional<WorldPoint> clicked;   // canvas pixels of a click inside the frame
};
GestureEffect apply_gesture(const PointerGesture& gesture, const Painter& painter, const PlotLayout& layout,
                            const PlotView& view, const PlotSettings& settings, bool view_fixed, ViewLimits& limits);

}  // namespace zeph
