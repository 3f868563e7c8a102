#include "plot/axes.hpp"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <numbers>

#include "base/text.hpp"

namespace zeph {

namespace {

constexpr int kLabelWidth = 12;
constexpr double kZeroNoiseFraction = 1e-3;      // of a division
constexpr int kNumberPart = 8;                 // characters 1-8: the number, 9-12: the exponent
const std::string kZeroLabel = "   0.       ";

// Pens of the axes layer.
constexpr double kSolidPen = 0;                // one-pixel solid line
constexpr double kDottedPen = -2;              // one-pixel dotted line
constexpr double kFramePen = 0.004;            // fraction of the window height

// Fonts (height, width as fractions of the window height).
constexpr double kTitleHeight = 0.045, kTitleWidth = 0.0203;
constexpr double kLabelHeight = 0.04, kLabelFontWidth = 0.018;
constexpr double kNumberHeight = 0.032, kNumberWidth = 0.0144;

// Positions of texts (world units).
constexpr double kYLabelX = -3500;
constexpr double kXLabelY = -2150;
constexpr double kXExponentTop = -830;
constexpr double kYNumberDrop = 220;           // bottom below the tick without an exponent
constexpr double kYMantissaDrop = 100;         // bottom below the tick with an exponent
constexpr double kYExponentDrop = 430;

std::string trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(' ');
    return std::string(text.substr(first, last - first + 1));
}

// Scientific form with one digit before the point and 5 decimals, 12 wide.
std::string scientific_text(double v) {
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%12.5E", v);
    return buffer;
}

// The exponent written in a scientific text (0 when there is none, e.g. NaN).
int written_exponent(const std::string& text) {
    const auto e = text.find('E');
    return e == std::string::npos ? 0 : static_cast<int>(std::strtol(text.c_str() + e + 1, nullptr, 10));
}

// Fixed point in `width` characters with `decimals` decimals and always a
// point; a leading zero is dropped when the number would not fit otherwise,
// and a number that still does not fit becomes asterisks.
std::string fixed_text(double v, int width, int decimals) {
    char buffer[400];
    std::snprintf(buffer, sizeof buffer, "%#*.*f", width, decimals, v);
    std::string text = buffer;
    if (static_cast<int>(text.size()) > width) {
        const auto zero = text.find("0.");
        if (zero != std::string::npos && (zero == 0 || text[zero - 1] == '-')) text.erase(zero, 1);
    }
    if (static_cast<int>(text.size()) > width) text.assign(static_cast<std::size_t>(width), '*');
    return text;
}

std::string exponent_suffix(int e) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "E%+03d", e);
    return buffer;
}

std::string mantissa_with_exponent(double v, int e) {
    return fixed_text(v / std::pow(10.0, e), kNumberPart, 5) + exponent_suffix(e);
}

double division_step(const AxisScale& axis, double length) { return length / axis.divisions; }

bool drawable(const AxisScale& axis) { return axis.divisions > 0 && axis.divisions <= kMaxDrawnDivisions; }

void line(Painter& painter, double x1, double y1, double x2, double y2) {
    painter.move_to(x1, y1);
    painter.line_to(x2, y2);
}

void draw_text_line(Painter& painter, double x, double y, const std::string& text) {
    const std::string shown = trim_right(text);
    if (!shown.empty()) painter.draw_text(x, y, shown, static_cast<int>(shown.size()));
}

void draw_cartesian_axes(Painter& painter, const PlotFrame& frame, const AxisScale& x, const AxisScale& y,
                         const PlotSettings& settings) {
    painter.set_line_style(kSolidPen);
    if (settings.axes_mode >= 1) {
        for (const Tick& t : axis_ticks(x, frame.width)) line(painter, t.position, -t.length, t.position, 0);
        for (const Tick& t : axis_ticks(y, frame.height)) line(painter, -t.length, t.position, 0, t.position);
    }
    for (const GridLine& g : grid_lines(x, frame.width, settings.x_grid)) {
        painter.set_line_style(g.solid ? kSolidPen : kDottedPen);
        line(painter, g.position, 0, g.position, frame.height);
    }
    for (const GridLine& g : grid_lines(y, frame.height, settings.y_grid)) {
        painter.set_line_style(g.solid ? kSolidPen : kDottedPen);
        line(painter, 0, g.position, frame.width, g.position);
    }
    if (settings.axes_mode >= 1) {
        painter.set_line_style(kFramePen);
        painter.move_to(0, frame.height);
        painter.line_to(0, 0);
        painter.line_to(frame.width, 0);
    }
}

void draw_polar_grid(Painter& painter, const PlotFrame& frame, const AxisScale& x, const AxisScale& y,
                     const PlotSettings& settings) {
    painter.set_line_style(kSolidPen);
    const double cx = frame.width / 2, cy = frame.height / 2, radius = frame.height / 2;
    if (settings.x_grid > 0 && drawable(x)) {
        for (int k = 0; k < x.divisions; ++k) {
            const double angle = 2 * std::numbers::pi * k / x.divisions;
            line(painter, cx, cy, cx + radius * std::cos(angle), cy + radius * std::sin(angle));
        }
    }
    if (settings.y_grid > 0 && drawable(y)) {
        for (int k = 1; k <= y.divisions; ++k) {
            const double r = k * radius / y.divisions;
            painter.draw_arc_polygon(cx, cy, r, r, 0, 0, 360, false);
        }
    }
}

void draw_title_and_labels(Painter& painter, const PlotFrame& frame, const PlotSettings& settings) {
    const WorldRect window = painter.world_window();
    if (!trim_right(settings.title).empty()) {
        painter.select_font(kPlotFace, kTitleHeight, kTitleWidth, 0, false, false, false);
        painter.set_text_align("C", "T");
        draw_text_line(painter, (window.x_min + window.x_max) / 2, window.y_max, settings.title);
    }
    if (!trim_right(settings.y_label).empty()) {
        painter.select_font(kPlotFace, kLabelHeight, kLabelFontWidth, 90, false, false, false);
        painter.set_text_align("C", "T");
        draw_text_line(painter, kYLabelX, frame.height / 2, settings.y_label);
    }
    if (!trim_right(settings.x_label).empty()) {
        painter.select_font(kPlotFace, kLabelHeight, kLabelFontWidth, 0, false, false, false);
        painter.set_text_align("C", "B");
        draw_text_line(painter, frame.width / 2, kXLabelY, settings.x_label);
    }
}

// Labels of an axis: logarithmic limits are given to the table as values.
std::vector<std::string> labels_of(const AxisScale& axis) {
    if (axis.logarithmic)
        return axis_number_labels(std::pow(10.0, axis.hi), std::pow(10.0, axis.lo), axis.divisions, false);
    return axis_number_labels(axis.hi, axis.lo, axis.divisions, true);
}

std::string number_part(const std::string& entry) { return trimmed(std::string_view(entry).substr(0, kNumberPart)); }
std::string exponent_part(const std::string& entry) {
    return entry.size() > kNumberPart ? trimmed(std::string_view(entry).substr(kNumberPart)) : std::string{};
}

void draw_x_numbers(Painter& painter, const PlotFrame& frame, const AxisScale& x) {
    if (!drawable(x)) return;
    const std::vector<std::string> labels = labels_of(x);
    painter.set_text_align("C", "T");
    for (int k : drawn_label_indices(x.divisions)) {
        const std::string& entry = labels[static_cast<std::size_t>(k)];
        const double position = k * division_step(x, frame.width);
        draw_text_line(painter, position, -kNumberGap, number_part(entry));
        draw_text_line(painter, position, kXExponentTop, exponent_part(entry));
    }
}

void draw_y_numbers(Painter& painter, const PlotFrame& frame, const AxisScale& y, bool polar) {
    if (!drawable(y)) return;
    const std::vector<std::string> labels = labels_of(y);
    painter.set_text_align("R", "B");
    for (int k : drawn_label_indices(y.divisions)) {
        std::string entry = labels[static_cast<std::size_t>(k)];
        if (polar) {
            // Both halves of the vertical diameter show radii.
            const auto first = entry.find_first_not_of(' ');
            if (first != std::string::npos && entry[first] == '-') entry[first] = ' ';
        }
        const double position = k * division_step(y, frame.height);
        const std::string exponent = exponent_part(entry);
        if (exponent.empty()) {
            draw_text_line(painter, -kNumberGap, position - kYNumberDrop, number_part(entry));
        } else {
            draw_text_line(painter, -kNumberGap, position - kYMantissaDrop, number_part(entry));
            draw_text_line(painter, -kNumberGap, position - kYExponentDrop, exponent);
        }
    }
}

}  // namespace

std::vector<Tick> axis_ticks(const AxisScale& axis, double length) {
    std::vector<Tick> ticks;
    if (!drawable(axis)) return ticks;
    const double step = division_step(axis, length);
    for (int k = 0; k <= axis.divisions; ++k) {
        ticks.push_back({k * step, kMajorTickLength});
        if (k == axis.divisions) break;   // no minor ticks after the last major one
        const int first = axis.logarithmic ? 2 : 1;
        for (int m = first; m <= 9; ++m) {
            const double fraction = axis.logarithmic ? std::log10(m) : m / 10.0;
            ticks.push_back({k * step + step * fraction, m == 5 ? kMiddleTickLength : kMinorTickLength});
        }
    }
    return ticks;
}

std::vector<GridLine> grid_lines(const AxisScale& axis, double length, int grid_code) {
    std::vector<GridLine> lines;
    if (!drawable(axis)) return lines;
    const double step = division_step(axis, length);
    switch (grid_code) {
    case 1:
    case 3:
        for (int k = 1; k <= axis.divisions; ++k) lines.push_back({k * step, grid_code == 3});
        break;
    case 2:
    case 4:
        for (int k = 0; k < axis.divisions; ++k) {
            for (int m = axis.logarithmic ? 2 : 1; m <= 10; ++m) {
                const double fraction = axis.logarithmic ? std::log10(m) : m / 10.0;
                lines.push_back({k * step + step * fraction, grid_code == 4 && m == 10});
            }
        }
        break;
    default:
        break;
    }
    return lines;
}

std::optional<double> zero_line_position(const AxisScale& axis, double length) {
    if (!(axis.lo < 0 && 0 < axis.hi)) return std::nullopt;
    return length / 2 + (length / 2) * (axis.lo + axis.hi) / (axis.lo - axis.hi);
}

std::vector<std::string> axis_number_labels(double hi, double lo, int n, bool linear) {
    std::vector<std::string> labels;
    if (n < 0 || n > kMaxDrawnDivisions) return labels;
    std::vector<double> values;
    const double step = (hi - lo) / std::max(n, 1);
    for (int k = 0; k <= n; ++k) {
        double v = linear ? lo + step * k : lo * 1.000000001 * std::pow(10.0, k);
        // Limits a hair off symmetric leave an inner tick at a tiny value that
        // is rounding noise: under a thousandth of a division (less than a
        // pixel) from zero, it is written as 0. The limits stay as given.
        const bool inner = k > 0 && k < n;
        if (linear && inner && std::abs(v) < std::abs(step) * kZeroNoiseFraction) v = 0;
        values.push_back(v);
        labels.push_back(scientific_text(v));
    }
    // The common exponent is the one written for the largest magnitude.
    std::size_t largest = 0;
    for (std::size_t k = 1; k < values.size(); ++k)
        if (std::abs(values[k]) > std::abs(values[largest])) largest = k;
    const int e = written_exponent(labels[largest]);

    for (std::size_t k = 0; k < labels.size(); ++k) {
        if (!linear) {
            labels[k] = mantissa_with_exponent(values[k], written_exponent(labels[k]));
        } else if (e >= -1 && e <= 5) {
            const double written = std::strtod(labels[k].c_str(), nullptr);
            labels[k] = fixed_text(written, kNumberPart, 5 - e) + "    ";
        } else {
            labels[k] = mantissa_with_exponent(values[k], e);
        }
        if (values[k] == 0) labels[k] = kZeroLabel;
        if (static_cast<int>(labels[k].size()) < kLabelWidth) labels[k].resize(kLabelWidth, ' ');
    }
    return labels;
}

std::vector<int> drawn_label_indices(int n) {
    std::vector<int> indices;
    if (n < 0) return indices;
    if (n < 5) {
        for (int k = 0; k <= n; ++k) indices.push_back(k);
    } else if (n % 2 == 0) {
        indices = {0, n / 2, n};
    } else {
        indices = {0, n};
    }
    return indices;
}

void draw_plot_background(Painter& painter, const PlotFrame& frame, const AxisScale& x, const AxisScale& y,
                          const PlotSettings& settings) {
    painter.set_colour(settings.axes_colour);
    if (settings.graph_type > 0) {
        draw_polar_grid(painter, frame, x, y, settings);
    } else {
        draw_cartesian_axes(painter, frame, x, y, settings);
    }
    painter.set_colour(settings.label_colour);
    draw_title_and_labels(painter, frame, settings);
}

void draw_zero_lines(Painter& painter, const PlotFrame& frame, const AxisScale& x, const AxisScale& y,
                     const PlotSettings& settings) {
    if (settings.graph_type > 0) return;
    painter.set_colour(settings.axes_colour);
    painter.set_line_style(kSolidPen);
    const int z = settings.zero_axes;
    if (z == 1 || z == 3) {
        if (const auto position = zero_line_position(y, frame.height)) line(painter, 0, *position, frame.width, *position);
    }
    if (z == 2 || z == 3) {
        if (const auto position = zero_line_position(x, frame.width)) line(painter, *position, 0, *position, frame.height);
    }
}

void draw_axis_numbers(Painter& painter, const PlotFrame& frame, const AxisScale& x, const AxisScale& y,
                       const PlotSettings& settings) {
    if (settings.axes_mode < 2) return;
    painter.set_colour(settings.label_colour);
    painter.select_font(kPlotFace, kNumberHeight, kNumberWidth, 0, false, false, false);
    const bool polar = settings.graph_type > 0;
    if (!polar) draw_x_numbers(painter, frame, x);
    draw_y_numbers(painter, frame, y, polar);
}

}  // namespace zeph
