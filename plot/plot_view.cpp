#include "plot/plot_view.hpp"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "console/key_source.hpp"

namespace zeph {

namespace {

constexpr double kFrameUnits = 10000;          // the frame's longer side
constexpr double kDefaultAspect = 1.3;
constexpr double kWindowWidthUnits = 17666.66666667;
constexpr double kWindowHeightUnits = 13250;
constexpr double kWindowLeftOffset = 10000;    // left edge = 5000·ax − 10000
constexpr double kWindowBottomOffset = 7150;   // bottom edge = 5000·ay − 7150

// A logarithmic axis spans whole decades from its lower limit.
void make_logarithmic(AxisScale& axis) {
    const int decades = static_cast<int>(
        std::clamp(std::trunc(std::log10(axis.hi) - std::log10(axis.lo) + 0.1), double(INT_MIN / 2), double(INT_MAX / 2)));
    axis.hi = std::log10(axis.lo * std::pow(10.0, decades));
    axis.lo = std::log10(axis.lo);
    axis.divisions = decades;
    axis.logarithmic = true;
}

bool usable_span(const AxisScale& axis) {
    const double span = axis.hi - axis.lo;
    return span > 0 && std::isfinite(span);
}

// Where a value lies on an axis, 0 at its low end and 1 at its high end.
double axis_fraction(const AxisScale& axis, double value) {
    const double v = axis.logarithmic ? std::log10(value) : value;
    return (v - axis.lo) / (axis.hi - axis.lo);
}

double axis_value(const AxisScale& axis, double fraction) {
    const double v = axis.lo + fraction * (axis.hi - axis.lo);
    return axis.logarithmic ? std::pow(10.0, v) : v;
}

// One axis zoomed about `about` by `steps` wheel steps: the limits shown
// become the new limits before panning.
void zoom_axis(double& lo, double& hi, double& pan, const AxisScale& axis, double about, int steps) {
    const double shown_lo = lo + pan, shown_hi = hi + pan;
    if (axis.logarithmic) {
        // Whole decades: one a step, at least one, the pointer's decade kept in place.
        const double decades = std::max(1.0, axis.hi - axis.lo - steps);
        const double fraction = std::clamp(axis_fraction(axis, about), 0.0, 1.0);
        const double new_lo = std::log10(about) - fraction * decades;
        lo = std::pow(10.0, new_lo);
        hi = std::pow(10.0, new_lo + decades);
    } else {
        const double factor = std::pow(kWheelZoomFactor, steps);
        lo = about - (about - shown_lo) * factor;
        hi = about + (shown_hi - about) * factor;
    }
    pan = 0;
}

}  // namespace

ViewLimits asked_limits(const PlotSettings& settings) {
    return {settings.x_min, settings.x_max, settings.y_min, settings.y_max};
}

PlotLayout plot_layout(const PlotSettings& settings) {
    double a = settings.aspect_ratio;
    if (!(a > 0) || !std::isfinite(a)) a = kDefaultAspect;
    if (settings.graph_type > 0) a = 1.0;
    const double ax = a > kDefaultAspect ? kDefaultAspect : a;
    const double ay = a > kDefaultAspect ? kDefaultAspect / a : 1.0;
    PlotLayout layout;
    layout.frame = {kFrameUnits * ax, kFrameUnits * ay};
    layout.window.x_min = 5000 * ax - kWindowLeftOffset;
    layout.window.x_max = layout.window.x_min + kWindowWidthUnits;
    layout.window.y_min = 5000 * ay - kWindowBottomOffset;
    layout.window.y_max = layout.window.y_min + kWindowHeightUnits;
    return layout;
}

Status plot_view(const PlotSettings& settings, const ViewLimits& limits, PlotView& view) {
    view.x = {limits.shown_x_lo(), limits.shown_x_hi(), settings.x_divisions, false};
    view.y = {limits.shown_y_lo(), limits.shown_y_hi(), settings.y_divisions, false};
    view.x_lo_value = view.x.lo;
    view.x_hi_value = view.x.hi;
    const bool polar = settings.graph_type > 0;
    if (settings.x_divisions == 0) {
        if (polar) return Status::failure(kPolarLogError);
        if (!(view.x.lo > 0) || !(view.x.hi > 0)) return Status::failure(kLogXError);
        make_logarithmic(view.x);
    }
    if (settings.y_divisions == 0) {
        if (!(view.y.lo > 0) || !(view.y.hi > 0)) return Status::failure(kLogYError);
        make_logarithmic(view.y);
    }
    if (polar) {
        view.x.lo = view.y.lo = -view.y.hi;
        view.x.hi = view.y.hi;
    }
    if (!usable_span(view.x) || !usable_span(view.y)) return Status::failure(kSpanError);
    return Status::success();
}

bool pan_for_key(int code, const PlotSettings& settings, ViewLimits& limits) {
    const double width = limits.x_hi - limits.x_lo, height = limits.y_hi - limits.y_lo;
    switch (code) {
    case kKeyLeft: limits.pan_x -= width / 4; return true;
    case kKeyRight: limits.pan_x += width / 4; return true;
    case kKeyCtrlLeft: limits.pan_x -= width; return true;
    case kKeyCtrlRight: limits.pan_x += width; return true;
    case kKeyUp: limits.pan_y += height / 4; return true;
    case kKeyDown: limits.pan_y -= height / 4; return true;
    case kKeyPageUp: limits.pan_y += height; return true;
    case kKeyPageDown: limits.pan_y -= height; return true;
    case kKeyHome: limits = asked_limits(settings); return true;
    default: return false;
    }
}

DataPoint data_at_pixel(const Painter& painter, const PlotLayout& layout, const PlotView& view, double px, double py) {
    const WorldPoint world = painter.to_world(px, py);
    return {axis_value(view.x, world.x / layout.frame.width), axis_value(view.y, world.y / layout.frame.height)};
}

bool inside_frame(const Painter& painter, const PlotLayout& layout, double px, double py) {
    const WorldPoint world = painter.to_world(px, py);
    return world.x >= 0 && world.x <= layout.frame.width && world.y >= 0 && world.y <= layout.frame.height;
}

WorldPoint pixel_of_data(const Painter& painter, const PlotLayout& layout, const PlotView& view, DataPoint point) {
    const WorldPoint origin = painter.to_world(0, 0), step = painter.to_world(1, 1);
    const double wx = axis_fraction(view.x, point.x) * layout.frame.width;
    const double wy = axis_fraction(view.y, point.y) * layout.frame.height;
    return {(wx - origin.x) / (step.x - origin.x), (wy - origin.y) / (step.y - origin.y)};
}

ViewLimits zoomed_limits(const ViewLimits& limits, const PlotView& view, DataPoint about, int steps, bool on_x,
                         bool on_y) {
    ViewLimits zoomed = limits;
    if (on_x) zoom_axis(zoomed.x_lo, zoomed.x_hi, zoomed.pan_x, view.x, about.x, steps);
    if (on_y) zoom_axis(zoomed.y_lo, zoomed.y_hi, zoomed.pan_y, view.y, about.y, steps);
    return zoomed;
}

ViewLimits dragged_limits(const ViewLimits& limits, const PlotView& view, DataPoint from, DataPoint to) {
    ViewLimits moved = limits;
    // On a logarithmic axis the limits move by a factor; the pan offsets stay additive.
    if (view.x.logarithmic) {
        moved.x_lo = limits.shown_x_lo() * from.x / to.x, moved.x_hi = limits.shown_x_hi() * from.x / to.x;
        moved.pan_x = 0;
    } else {
        moved.pan_x += from.x - to.x;
    }
    if (view.y.logarithmic) {
        moved.y_lo = limits.shown_y_lo() * from.y / to.y, moved.y_hi = limits.shown_y_hi() * from.y / to.y;
        moved.pan_y = 0;
    } else {
        moved.pan_y += from.y - to.y;
    }
    return moved;
}

namespace {

// Limits that can be drawn and still tell their pixels apart: a span wider
// than the rounding of its ends and finite.
bool drawable(const PlotSettings& settings, const ViewLimits& limits) {
    PlotView view;
    if (!plot_view(settings, limits, view)) return false;
    const auto resolvable = [](const AxisScale& axis) {
        const double size = std::max(std::fabs(axis.lo), std::fabs(axis.hi));
        return axis.hi - axis.lo > size * 1e-12 && std::isfinite(axis.hi - axis.lo) && std::isfinite(size);
    };
    return resolvable(view.x) && resolvable(view.y);
}

// Data units one pixel covers at a place, on each axis.
DataPoint pixel_resolution(const Painter& painter, const PlotLayout& layout, const PlotView& view, double px,
                           double py) {
    const DataPoint here = data_at_pixel(painter, layout, view, px, py);
    const DataPoint next = data_at_pixel(painter, layout, view, px + 1, py - 1);
    return {std::fabs(next.x - here.x), std::fabs(next.y - here.y)};
}

// A value as the readout writes it, read back.
double as_read_out(double value, double resolution) {
    const double shown = std::strtod(readout_number(value, resolution).c_str(), nullptr);
    return std::isfinite(shown) && shown != 0 ? shown : value;
}

}  // namespace

GestureEffect apply_gesture(const PointerGesture& gesture, const Painter& painter, const PlotLayout& layout,
                            const PlotView& view, const PlotSettings& settings, bool view_fixed, ViewLimits& limits) {
    GestureEffect effect;
    const bool inside = inside_frame(painter, layout, gesture.x, gesture.y);
    const bool polar = settings.graph_type > 0;
    switch (gesture.kind) {
        case PointerGesture::Kind::move:
            effect.readout = inside ? pointer_readout(data_at_pixel(painter, layout, view, gesture.x, gesture.y),
                                                      pixel_resolution(painter, layout, view, gesture.x, gesture.y),
                                                      settings.x_label, settings.y_label)
                                    : std::string();
            return effect;
        case PointerGesture::Kind::click:
            if (inside) effect.clicked = WorldPoint{gesture.x, gesture.y};
            return effect;
        case PointerGesture::Kind::wheel:
        case PointerGesture::Kind::drag:
            break;
    }
    if (view_fixed || polar) {
        effect.refused = true;
        return effect;
    }
    ViewLimits changed;
    if (gesture.kind == PointerGesture::Kind::wheel) {
        // Outside the frame the zoom is about the frame's centre.
        const WorldPoint centre = pixel_of_data(
            painter, layout, view, {axis_value(view.x, 0.5), axis_value(view.y, 0.5)});
        // The zoom is about the values the readout shows, so that a view
        // reached with the wheel can be asked for again with the range question.
        const double px = inside ? gesture.x : centre.x, py = inside ? gesture.y : centre.y;
        const DataPoint exact = data_at_pixel(painter, layout, view, px, py);
        const DataPoint resolution = pixel_resolution(painter, layout, view, px, py);
        const DataPoint about{as_read_out(exact.x, resolution.x), as_read_out(exact.y, resolution.y)};
        const bool on_x = !gesture.shift || gesture.ctrl, on_y = gesture.shift || gesture.ctrl;
        changed = zoomed_limits(limits, view, about, gesture.wheel, on_x, on_y);
    } else {
        changed = dragged_limits(limits, view, data_at_pixel(painter, layout, view, gesture.from_x, gesture.from_y),
                                 data_at_pixel(painter, layout, view, gesture.x, gesture.y));
    }
    if (changed == limits) return effect;
    if (!drawable(settings, changed)) {
        effect.refused = true;
        return effect;
    }
    limits = changed;
    effect.limits_changed = true;
    return effect;
}

std::string readout_number(double value, double resolution) {
    if (!std::isfinite(value)) return std::isnan(value) ? "NaN" : (value > 0 ? "Inf" : "-Inf");
    const double magnitude = std::fabs(value);
    char text[64];
    if (magnitude != 0 && (magnitude >= 1e7 || magnitude < 1e-4)) {
        const int digits = resolution > 0 && std::isfinite(resolution)
                               ? std::clamp(static_cast<int>(std::ceil(std::log10(magnitude / resolution))), 1, 15)
                               : 6;
        std::snprintf(text, sizeof text, "%.*E", digits - 1, value);
        return text;
    }
    const int decimals =
        resolution > 0 && std::isfinite(resolution) ? std::clamp(static_cast<int>(std::ceil(-std::log10(resolution))), 0, 12) : 6;
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

namespace {
// A label's unit: the text of its last "(...)", without the brackets.
std::string unit_of(const std::string& label) {
    const auto close = label.rfind(')');
    if (close == std::string::npos) return {};
    const auto open = label.rfind('(', close);
    if (open == std::string::npos || close - open < 2) return {};
    return label.substr(open + 1, close - open - 1);
}

std::string with_unit(const std::string& number, const std::string& unit) {
    return unit.empty() ? number : number + " " + unit;
}
}  // namespace

std::string pointer_readout(DataPoint point, DataPoint resolution, const std::string& x_label,
                            const std::string& y_label) {
    return "x " + with_unit(readout_number(point.x, resolution.x), unit_of(x_label)) + ", y " +
           with_unit(readout_number(point.y, resolution.y), unit_of(y_label));
}

}  // namespace zeph
