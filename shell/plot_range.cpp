#include "shell/plot_range.hpp"

#include <cmath>
#include <initializer_list>

namespace zeph {

namespace {
// Smallest and largest finite value of one or two arrays; false when there is
// none. NaNs and infinities (1/X at X = 0, the decibels of a zero) are skipped:
// the driver leaves a gap at such points, and an infinite limit would leave no
// range to draw in.
bool value_limits(std::span<const double> a, std::span<const double> b, double& low, double& high) {
    bool found = false;
    for (std::span<const double> values : {a, b}) {
        for (double v : values) {
            if (!std::isfinite(v)) continue;
            if (!found || v < low) low = v;
            if (!found || v > high) high = v;
            found = true;
        }
    }
    return found;
}
}  // namespace

PlotRange default_plot_range(const PlotRangeInput& in) {
    PlotRange r;
    const double width = static_cast<double>(in.y.size()) * in.dx;
    r.x_min = in.xmin;
    r.x_max = in.xmin + width;
    if (in.wrap) {
        r.x_min -= width;
        r.x_max += width;
    }
    const int db = in.decibels;
    if (in.power && in.cumulative) {
        const double total = in.cumulative_total;
        if (db) {
            r.y_max = total > 0 ? 10.0 * db * std::log10(total) : 0.0;
            r.y_min = r.y_max - kDecibelFloorSpan;
        } else {
            r.y_max = total;
            r.y_min = 0;
        }
    } else if (in.power && in.linked_spectrum) {
        if (db) {
            r.y_max = in.reference_level;
            r.y_min = r.y_max - kDecibelFloorSpan;
        } else {
            r.y_max = in.reference_power;
            r.y_min = 0;
        }
    }
    if (in.scaled) {
        r.y_max = in.ym * r.y_max + in.yo;
        r.y_min = in.ym * r.y_min + in.yo;
    }
    if (db && r.y_max == r.y_min) {
        double low = 0, high = 0;
        if (value_limits(in.y, {}, low, high)) r.y_max = high;
        r.y_min = r.y_max - kDecibelFloorSpan;
    }
    if (r.y_max == r.y_min) {
        double low = r.y_min, high = r.y_max;
        if (in.xy) {
            value_limits(in.x, in.y, low, high);
            r.x_min = low;
            r.x_max = high;
        } else {
            value_limits(in.y, {}, low, high);
        }
        r.y_min = low;
        r.y_max = high;
    }
    return r;
}

PlotRange widened(PlotRange range) {
    if (range.x_max == range.x_min) range.x_min -= 1, range.x_max += 1;
    if (range.y_max == range.y_min) range.y_min -= 1, range.y_max += 1;
    return range;
}

}  // namespace zeph
