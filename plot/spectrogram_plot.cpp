#include "plot/spectrogram_plot.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "base/text.hpp"
#include "plot/axes.hpp"
#include "console/key_source.hpp"

namespace zeph {

namespace {

// matplotlib's viridis (public domain), 8 bits a channel.
constexpr std::uint32_t kViridis[256] = {
    0x440154, 0x440256, 0x450457, 0x450559, 0x46075A, 0x46085C, 0x460A5D, 0x460B5E,
    0x470D60, 0x470E61, 0x471063, 0x471164, 0x471365, 0x481467, 0x481668, 0x481769,
    0x48186A, 0x481A6C, 0x481B6D, 0x481C6E, 0x481D6F, 0x481F70, 0x482071, 0x482173,
    0x482374, 0x482475, 0x482576, 0x482677, 0x482878, 0x482979, 0x472A7A, 0x472C7A,
    0x472D7B, 0x472E7C, 0x472F7D, 0x46307E, 0x46327E, 0x46337F, 0x463480, 0x453581,
    0x453781, 0x453882, 0x443983, 0x443A83, 0x443B84, 0x433D84, 0x433E85, 0x423F85,
    0x424086, 0x424186, 0x414287, 0x414487, 0x404588, 0x404688, 0x3F4788, 0x3F4889,
    0x3E4989, 0x3E4A89, 0x3E4C8A, 0x3D4D8A, 0x3D4E8A, 0x3C4F8A, 0x3C508B, 0x3B518B,
    0x3B528B, 0x3A538B, 0x3A548C, 0x39558C, 0x39568C, 0x38588C, 0x38598C, 0x375A8C,
    0x375B8D, 0x365C8D, 0x365D8D, 0x355E8D, 0x355F8D, 0x34608D, 0x34618D, 0x33628D,
    0x33638D, 0x32648E, 0x32658E, 0x31668E, 0x31678E, 0x31688E, 0x30698E, 0x306A8E,
    0x2F6B8E, 0x2F6C8E, 0x2E6D8E, 0x2E6E8E, 0x2E6F8E, 0x2D708E, 0x2D718E, 0x2C718E,
    0x2C728E, 0x2C738E, 0x2B748E, 0x2B758E, 0x2A768E, 0x2A778E, 0x2A788E, 0x29798E,
    0x297A8E, 0x297B8E, 0x287C8E, 0x287D8E, 0x277E8E, 0x277F8E, 0x27808E, 0x26818E,
    0x26828E, 0x26828E, 0x25838E, 0x25848E, 0x25858E, 0x24868E, 0x24878E, 0x23888E,
    0x23898E, 0x238A8D, 0x228B8D, 0x228C8D, 0x228D8D, 0x218E8D, 0x218F8D, 0x21908D,
    0x21918C, 0x20928C, 0x20928C, 0x20938C, 0x1F948C, 0x1F958B, 0x1F968B, 0x1F978B,
    0x1F988B, 0x1F998A, 0x1F9A8A, 0x1E9B8A, 0x1E9C89, 0x1E9D89, 0x1F9E89, 0x1F9F88,
    0x1FA088, 0x1FA188, 0x1FA187, 0x1FA287, 0x20A386, 0x20A486, 0x21A585, 0x21A685,
    0x22A785, 0x22A884, 0x23A983, 0x24AA83, 0x25AB82, 0x25AC82, 0x26AD81, 0x27AD81,
    0x28AE80, 0x29AF7F, 0x2AB07F, 0x2CB17E, 0x2DB27D, 0x2EB37C, 0x2FB47C, 0x31B57B,
    0x32B67A, 0x34B679, 0x35B779, 0x37B878, 0x38B977, 0x3ABA76, 0x3BBB75, 0x3DBC74,
    0x3FBC73, 0x40BD72, 0x42BE71, 0x44BF70, 0x46C06F, 0x48C16E, 0x4AC16D, 0x4CC26C,
    0x4EC36B, 0x50C46A, 0x52C569, 0x54C568, 0x56C667, 0x58C765, 0x5AC864, 0x5CC863,
    0x5EC962, 0x60CA60, 0x63CB5F, 0x65CB5E, 0x67CC5C, 0x69CD5B, 0x6CCD5A, 0x6ECE58,
    0x70CF57, 0x73D056, 0x75D054, 0x77D153, 0x7AD151, 0x7CD250, 0x7FD34E, 0x81D34D,
    0x84D44B, 0x86D549, 0x89D548, 0x8BD646, 0x8ED645, 0x90D743, 0x93D741, 0x95D840,
    0x98D83E, 0x9BD93C, 0x9DD93B, 0xA0DA39, 0xA2DA37, 0xA5DB36, 0xA8DB34, 0xAADC32,
    0xADDC30, 0xB0DD2F, 0xB2DD2D, 0xB5DE2B, 0xB8DE29, 0xBADE28, 0xBDDF26, 0xC0DF25,
    0xC2DF23, 0xC5E021, 0xC8E020, 0xCAE11F, 0xCDE11D, 0xD0E11C, 0xD2E21B, 0xD5E21A,
    0xD8E219, 0xDAE319, 0xDDE318, 0xDFE318, 0xE2E418, 0xE5E419, 0xE7E419, 0xEAE51A,
    0xECE51B, 0xEFE51C, 0xF1E51D, 0xF4E61E, 0xF6E620, 0xF8E621, 0xFBE723, 0xFDE725,
};

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// The colour bar right of the frame and its texts (world units).
constexpr double kBarGap = 200;
constexpr double kBarWidth = 300;
constexpr double kBarNumberGap = 150;
constexpr double kBarLabelGap = 150;
// The axis numbers' font (fractions of the window height).
constexpr double kNumberHeight = 0.032, kNumberWidth = 0.0144;
constexpr double kThinPen = 0;
constexpr double kFramePen = 0.004;

// Tones [Hz, ms], as the plot driver's.
constexpr int kDoneHz = 5000, kDoneMs = 60;
constexpr int kUnknownKeyHz = 200, kUnknownKeyMs = 180;
constexpr int kClearColour = 15;

bool ascending(std::span<const double> v) {
    for (std::size_t i = 0; i < v.size(); ++i) {
        if (!std::isfinite(v[i]) || (i > 0 && !(v[i] > v[i - 1]))) return false;
    }
    return true;
}

// The larger of two densities; NaN only when both are.
inline double nan_max(double m, double v) { return (v > m || m != m) ? v : m; }

// Edges of the cells around the centres: half-way between neighbours, the
// outer cells as wide as their neighbour (`step` wide when alone).
std::vector<double> cell_edges(std::span<const double> c, double step) {
    const std::size_t n = c.size();
    std::vector<double> e(n + 1);
    if (n == 1) {
        const double half = std::isfinite(step) && step > 0 ? step / 2 : 0.5;
        e[0] = c[0] - half;
        e[1] = c[0] + half;
        return e;
    }
    e[0] = c[0] - (c[1] - c[0]) / 2;
    for (std::size_t i = 1; i < n; ++i) e[i] = c[i - 1] + (c[i] - c[i - 1]) / 2;
    e[n] = c[n - 1] + (c[n - 1] - c[n - 2]) / 2;
    return e;
}

// Values on the axis: decade exponents on a logarithmic one (0 and less
// fall to −∞).
double axis_value(double v, bool log) {
    if (!log) return v;
    return v > 0 ? std::log10(v) : -kInf;
}

struct AxisCells {
    std::vector<double> centres, edges;   // axis values
};

AxisCells axis_cells(std::span<const double> centres, double step, bool log) {
    AxisCells a;
    a.edges = cell_edges(centres, step);
    a.centres.assign(centres.begin(), centres.end());
    if (log) {
        for (double& v : a.centres) v = axis_value(v, true);
        for (double& v : a.edges) v = axis_value(v, true);
    }
    return a;
}

// Cells [first, last) of one pixel; empty when first == last.
struct CellRange {
    std::size_t first = 0, last = 0;
    bool operator==(const CellRange&) const = default;
};

// Pixel k of `count` covers [from + k·d, from + (k+1)·d), d = (to − from)/count
// (either direction): the cells whose centres fall in it, else the cell
// under its centre, else none.
std::vector<CellRange> pixel_ranges(const AxisCells& a, double from, double to, int count) {
    std::vector<CellRange> ranges(static_cast<std::size_t>(std::max(count, 0)));
    const std::size_t n = a.centres.size();
    const double d = (to - from) / count;
    for (int k = 0; k < count; ++k) {
        const double p = from + k * d, q = from + (k + 1) * d;
        const double lo = std::min(p, q), hi = std::max(p, q);
        const auto first = std::lower_bound(a.centres.begin(), a.centres.end(), lo);
        const auto last = std::lower_bound(first, a.centres.end(), hi);
        CellRange& r = ranges[static_cast<std::size_t>(k)];
        if (first != last) {
            r = {static_cast<std::size_t>(first - a.centres.begin()), static_cast<std::size_t>(last - a.centres.begin())};
            continue;
        }
        const double m = (lo + hi) / 2;
        const std::size_t j = static_cast<std::size_t>(std::upper_bound(a.edges.begin(), a.edges.end(), m) - a.edges.begin());
        if (j >= 1 && j <= n) r = {j - 1, j};
    }
    return ranges;
}

void put_colour(std::uint8_t* p, RgbColour c) {
    p[0] = c.red;
    p[1] = c.green;
    p[2] = c.blue;
}

}  // namespace

const std::array<RgbColour, 256>& viridis_map() {
    static const std::array<RgbColour, 256> map = [] {
        std::array<RgbColour, 256> m{};
        for (std::size_t i = 0; i < m.size(); ++i) m[i] = rgb_from_hex(kViridis[i]);
        return m;
    }();
    return map;
}

Status check_spectrogram_cells(const SpectrogramCells& cells) {
    if (cells.time.empty() || cells.frequency.empty()) return Status::failure(kSpectrogramEmptyError);
    if (cells.density.size() / cells.time.size() != cells.frequency.size() ||
        cells.density.size() % cells.time.size() != 0)
        return Status::failure(kSpectrogramEmptyError);
    if (!ascending(cells.time) || !ascending(cells.frequency)) return Status::failure(kSpectrogramCellsError);
    return Status::success();
}

Status check_dynamic_range(double range_db) {
    if (!(range_db > 0) || !std::isfinite(range_db)) return Status::failure(kDynamicRangeError);
    return Status::success();
}

SpectrogramScale spectrogram_scale(const SpectrogramCells& cells, double range_db) {
    SpectrogramScale scale;
    const std::size_t bins = cells.frequency.size();
    double top = 0;
    for (std::size_t s = 0; bins > 0 && s < cells.time.size(); ++s) {
        const double* row = cells.density.data() + s * bins;
        long long nans = 0;
        for (std::size_t b = 0; b < bins; ++b) {
            const double v = row[b];
            if (v != v) ++nans;
            else if (v > top && v < kInf) top = v;
        }
        scale.nan_cells += nans;
        if (nans > 0) ++scale.nan_segments;
    }
    scale.has_positive = top > 0;
    scale.top_db = scale.has_positive ? 10 * std::log10(top) : 0;
    if (!check_dynamic_range(range_db)) range_db = kDefaultDynamicRangeDb;
    scale.floor_db = scale.top_db - range_db;
    return scale;
}

RgbColour colour_of_db(double db, const SpectrogramScale& scale) {
    if (db != db) return kNanCellColour;
    const double t = (db - scale.floor_db) / (scale.top_db - scale.floor_db);
    const double index = std::clamp(std::round(t * 255), 0.0, 255.0);
    return viridis_map()[static_cast<std::size_t>(index == index ? index : 0)];
}

RgbColour cell_colour(double density, const SpectrogramScale& scale) {
    if (density != density) return kNanCellColour;
    if (!(density > 0)) return viridis_map()[0];
    return colour_of_db(10 * std::log10(density), scale);
}

WorldRect spectrogram_extent(const SpectrogramCells& cells) {
    if (cells.time.empty() || cells.frequency.empty()) return {};
    const std::vector<double> t = cell_edges(cells.time, cells.time_step);
    const std::vector<double> f = cell_edges(cells.frequency, cells.frequency_step);
    return {t.front(), f.front(), t.back(), f.back()};
}

PlotSettings spectrogram_settings(const PlotSettings& settings) {
    PlotSettings s = settings;
    s.graph_type = 0;
    if (!(s.aspect_ratio > 0) || !(s.aspect_ratio <= kSpectrogramMaxAspect)) s.aspect_ratio = kSpectrogramMaxAspect;
    return s;
}

std::vector<double> colour_bar_ticks(double floor_db, double top_db) {
    std::vector<double> ticks;
    const double range = top_db - floor_db;
    if (!(range > 0) || !std::isfinite(range) || !std::isfinite(floor_db)) return ticks;
    // The smallest step of 1, 2 or 5 × 10^k that gives at most 8 ticks
    // (range / step lies in [8, 80) before the factor).
    double step = std::pow(10.0, std::floor(std::log10(range / 8)));
    for (const double m : {1.0, 2.0, 5.0, 10.0, 20.0}) {
        if (range / (m * step) <= 7) {
            step *= m;
            break;
        }
    }
    const double first = std::ceil(floor_db / step - 1e-9) * step;
    for (int k = 0; k < 16; ++k) {
        const double v = first + k * step;
        if (v > top_db + step * 1e-9) break;
        ticks.push_back(std::abs(v) < step * 1e-9 ? 0.0 : v);
    }
    return ticks;
}

void render_cells(const SpectrogramCells& cells, const SpectrogramScale& scale, const CellView& view, int width,
                  int height, std::uint8_t* rgb, std::uint8_t* mask) {
    if (width <= 0 || height <= 0) return;
    const std::size_t w = static_cast<std::size_t>(width), h = static_cast<std::size_t>(height);
    std::fill_n(mask, w * h, std::uint8_t{0});
    if (!check_spectrogram_cells(cells)) return;
    const AxisCells times = axis_cells(cells.time, cells.time_step, view.x_log);
    const AxisCells freqs = axis_cells(cells.frequency, cells.frequency_step, view.y_log);
    const std::vector<CellRange> columns = pixel_ranges(times, view.x0, view.x1, width);
    const std::vector<CellRange> rows = pixel_ranges(freqs, view.y1, view.y0, height);   // top row first

    std::size_t bin_lo = cells.frequency.size(), bin_hi = 0;
    for (const CellRange& r : rows) {
        if (r.first == r.last) continue;
        bin_lo = std::min(bin_lo, r.first);
        bin_hi = std::max(bin_hi, r.last);
    }
    if (bin_lo >= bin_hi) return;
    const std::size_t bins = cells.frequency.size(), used = bin_hi - bin_lo;
    std::vector<double> column_max(used);
    std::vector<std::uint8_t> column_rgb(3 * h), column_mask(h);
    CellRange previous{1, 0};   // never a real range
    for (std::size_t c = 0; c < w; ++c) {
        const CellRange& segments = columns[c];
        if (segments.first == segments.last) continue;
        if (!(segments == previous)) {
            previous = segments;
            // The largest density of every bin over the segments of this column.
            const double* d = cells.density.data() + bin_lo;
            std::copy_n(d + segments.first * bins, used, column_max.begin());
            for (std::size_t s = segments.first + 1; s < segments.last; ++s) {
                const double* row = d + s * bins;
                for (std::size_t b = 0; b < used; ++b) column_max[b] = nan_max(column_max[b], row[b]);
            }
            for (std::size_t r = 0; r < h; ++r) {
                const CellRange& bins_here = rows[r];
                column_mask[r] = bins_here.first != bins_here.last;
                if (!column_mask[r]) continue;
                double m = kNaN;
                for (std::size_t b = bins_here.first; b < bins_here.last; ++b) m = nan_max(m, column_max[b - bin_lo]);
                put_colour(&column_rgb[3 * r], cell_colour(m, scale));
            }
        }
        for (std::size_t r = 0; r < h; ++r) {
            if (!column_mask[r]) continue;
            mask[r * w + c] = 1;
            std::copy_n(&column_rgb[3 * r], 3, rgb + 3 * (r * w + c));
        }
    }
}

namespace {

void line(Painter& painter, double x1, double y1, double x2, double y2) {
    painter.move_to(x1, y1);
    painter.line_to(x2, y2);
}

// World x (or y) of an axis value in the frame.
double world_of(double v, const AxisScale& axis, double length) { return (v - axis.lo) / (axis.hi - axis.lo) * length; }
double value_of(double w, const AxisScale& axis, double length) { return axis.lo + w / length * (axis.hi - axis.lo); }

void draw_cells(Painter& painter, const SpectrogramCells& cells, const SpectrogramScale& scale, const PlotFrame& frame,
                const PlotView& view) {
    const WorldRect extent = spectrogram_extent(cells);
    WorldRect where{world_of(axis_value(extent.x_min, view.x.logarithmic), view.x, frame.width),
                    world_of(axis_value(extent.y_min, view.y.logarithmic), view.y, frame.height),
                    world_of(axis_value(extent.x_max, view.x.logarithmic), view.x, frame.width),
                    world_of(axis_value(extent.y_max, view.y.logarithmic), view.y, frame.height)};
    where.x_min = std::max(where.x_min, 0.0);
    where.y_min = std::max(where.y_min, 0.0);
    where.x_max = std::min(where.x_max, frame.width);
    where.y_max = std::min(where.y_max, frame.height);
    if (!(where.x_min < where.x_max) || !(where.y_min < where.y_max)) return;
    RasterImage image;
    image.where = where;
    image.render = [&](const WorldRect& area, int width, int height, std::uint8_t* rgb, std::uint8_t* mask) {
        CellView v;
        v.x0 = value_of(area.x_min, view.x, frame.width);
        v.x1 = value_of(area.x_max, view.x, frame.width);
        v.y0 = value_of(area.y_min, view.y, frame.height);
        v.y1 = value_of(area.y_max, view.y, frame.height);
        v.x_log = view.x.logarithmic;
        v.y_log = view.y.logarithmic;
        render_cells(cells, scale, v, width, height, rgb, mask);
    };
    painter.set_clip_rect(0, 0, frame.width, frame.height);
    painter.draw_raster(image);
}

void draw_colour_bar(Painter& painter, const SpectrogramScale& scale, const PlotFrame& frame,
                     const PlotSettings& settings) {
    const double x0 = frame.width + kBarGap, x1 = x0 + kBarWidth, height = frame.height;
    const double span = scale.top_db - scale.floor_db;
    RasterImage bar;
    bar.where = {x0, 0, x1, height};
    bar.render = [&](const WorldRect& area, int width, int rows, std::uint8_t* rgb, std::uint8_t* mask) {
        for (int r = 0; r < rows; ++r) {
            const double y = area.y_max + (r + 0.5) * (area.y_min - area.y_max) / rows;
            const RgbColour c = colour_of_db(scale.floor_db + y / height * span, scale);
            for (int k = 0; k < width; ++k) {
                const std::size_t i = static_cast<std::size_t>(r) * static_cast<std::size_t>(width) + k;
                put_colour(rgb + 3 * i, c);
                mask[i] = 1;
            }
        }
    };
    painter.draw_raster(bar);
    if (settings.axes_mode < 1) return;
    painter.set_colour(settings.axes_colour);
    painter.set_line_style(kThinPen);
    const std::vector<double> ticks = colour_bar_ticks(scale.floor_db, scale.top_db);
    for (const double v : ticks) {
        const double y = (v - scale.floor_db) / span * height;
        line(painter, x1, y, x1 + kMajorTickLength / 2, y);
    }
    painter.set_line_style(kFramePen);
    painter.move_to(x0, 0);
    painter.line_to(x1, 0);
    painter.line_to(x1, height);
    painter.line_to(x0, height);
    painter.line_to(x0, 0);
    if (settings.axes_mode < 2 || ticks.empty()) return;
    painter.set_colour(settings.label_colour);
    painter.select_font(kPlotFace, kNumberHeight, kNumberWidth, 0, false, false, false);
    painter.set_text_align("L", "C");
    const std::vector<std::string> labels =
        axis_number_labels(ticks.back(), ticks.front(), static_cast<int>(ticks.size()) - 1, true);
    for (std::size_t k = 0; k < ticks.size() && k < labels.size(); ++k) {
        std::string text = trim_right(labels[k]);
        text.erase(0, text.find_first_not_of(' '));
        const double y = (ticks[k] - scale.floor_db) / span * height;
        painter.draw_text(x1 + kMajorTickLength / 2 + kBarNumberGap, y, text, static_cast<int>(text.size()));
    }
    painter.set_text_align("C", "B");
    painter.draw_text((x0 + x1) / 2, height + kBarLabelGap, "dB", 2);
}

}  // namespace

void draw_spectrogram(Painter& painter, const SpectrogramCells& cells, const SpectrogramScale& scale,
                      const PlotSettings& settings, const PlotLayout& layout, const PlotView& view) {
    // Outside the frame first, then the cells clipped to it, then what lies
    // over them: some metafile readers never widen a clip again.
    const WorldRect& window = layout.window;
    painter.set_clip_rect(window.x_min, window.y_min, window.x_max, window.y_max);
    draw_colour_bar(painter, scale, layout.frame, settings);
    PlotSettings outside = settings;
    outside.x_grid = outside.y_grid = 0;
    draw_plot_background(painter, layout.frame, view.x, view.y, outside);
    draw_axis_numbers(painter, layout.frame, view.x, view.y, settings);
    draw_cells(painter, cells, scale, layout.frame, view);
    painter.set_clip_rect(window.x_min, window.y_min, window.x_max, window.y_max);
    PlotSettings over = settings;
    over.title.clear();
    over.x_label.clear();
    over.y_label.clear();
    draw_plot_background(painter, layout.frame, view.x, view.y, over);
    draw_zero_lines(painter, layout.frame, view.x, view.y, settings);
}

namespace {

// One call of the spectrogram driver.
class SpectrogramRun {
public:
    SpectrogramRun(Painter& painter, const SpectrogramCells& cells, const SpectrogramScale& scale,
                   const PlotSettings& settings, const PlotCall& call, PlotMemory& memory, const PlotIo& io)
        : painter_(painter), cells_(cells), scale_(scale), settings_(settings), call_(call), memory_(memory),
          io_(io), layout_(plot_layout(settings)), bitmap_mode_(settings.bitmap_mode) {}

    Status run() {
        const WorldRect& w = layout_.window;
        painter_.set_world_window(w.x_min, w.y_min, w.x_max, w.y_max);
        if (io_.mark_metafile) io_.mark_metafile();
        Status s = draw();
        if (s && call_.pause_after_plot) s = key_loop();
        return s ? finish() : s;
    }

private:
    Status fail(const std::string& message) {
        painter_.graphics_close(0, "");
        return Status::failure(message);
    }

    Status draw(bool tone = true) {
        if (Status s = plot_view(settings_, limits_, view_); !s) return fail(s.message);
        draw_spectrogram(painter_, cells_, scale_, settings_, layout_, view_);
        if (tone) io_.tone(kDoneHz, kDoneMs);
        if (io_.show) io_.show(painter_.canvas());
        return Status::success();
    }

    Status redraw(bool tone) {
        if (io_.rewind_metafile) io_.rewind_metafile();
        painter_.canvas().clear_to(painter_.canvas().palette_entry(kClearColour));
        return draw(tone);
    }

    // The mouse: the readout, a zoom or pan of the view, a picked cell.
    Status pointer(const PointerGesture& gesture) {
        const GestureEffect effect = apply_gesture(gesture, painter_, layout_, view_, settings_, false, limits_);
        if (effect.readout && io_.show_readout) io_.show_readout(*effect.readout);
        if (effect.refused) io_.tone(kUnknownKeyHz, kUnknownKeyMs);
        if (effect.clicked && io_.picked) io_.picked(picked_cell(*effect.clicked));
        return effect.limits_changed ? redraw(false) : Status::success();
    }

    // "Point 3, 29: x 1.25, y 440, -38.2 dB": the cell under a click (segment,
    // bin), its centre and its level.
    std::string picked_cell(WorldPoint click) const {
        const DataPoint at = data_at_pixel(painter_, layout_, view_, click.x, click.y);
        const auto nearest = [](std::span<const double> centres, double v) {
            const auto above = std::lower_bound(centres.begin(), centres.end(), v);
            if (above == centres.begin()) return std::size_t{0};
            if (above == centres.end()) return centres.size() - 1;
            const auto below = above - 1;
            return static_cast<std::size_t>((v - *below <= *above - v ? below : above) - centres.begin());
        };
        const std::size_t t = nearest(cells_.time, at.x), f = nearest(cells_.frequency, at.y);
        const double density = cells_.density[t * cells_.frequency.size() + f];
        char text[160];
        std::snprintf(text, sizeof text, "Point %zu, %zu: x %.7G, y %.7G, %.1f dB", t + 1, f + 1, cells_.time[t],
                      cells_.frequency[f],
                      density > 0 ? 10 * std::log10(density) : -std::numeric_limits<double>::infinity());
        return text;
    }

    Status key_loop() {
        for (;;) {
            const PlotInput input = io_.input();
            if (input.pointer) {
                if (Status s = pointer(*input.pointer); !s) return s;
                continue;
            }
            const int key = input.key;
            if ((key == 'B' || key == 'b') && bitmap_mode_ == 1 && !trim_right(settings_.bitmap_file).empty()) {
                bitmap_mode_ = 2;
                return Status::success();
            }
            if (key == kKeyEscape || key == kKeyEnter) return Status::success();
            if (key == kKeyExtended && pan_for_key(io_.key(), settings_, limits_)) {
                if (Status s = redraw(true); !s) return s;
                continue;
            }
            io_.tone(kUnknownKeyHz, kUnknownKeyMs);
        }
    }

    Status finish() {
        const WorldRect& w = layout_.window;
        if (painter_.image_size(w.x_min, w.y_max, w.x_max, w.y_min) > memory_.screen_save.size())
            return fail(kScreenSaveTooSmallAtEnd);
        painter_.get_image(w.x_min, w.y_max, w.x_max, w.y_min, memory_.screen_save);
        memory_.screen_save_texts = painter_.canvas().texts();
        memory_.holds_plot = true;
        memory_.view = limits_;
        const Status closed = painter_.graphics_close(bitmap_mode_, trim_right(settings_.bitmap_file));
        if (closed && bitmap_mode_ == 2 && io_.bitmap_saved) io_.bitmap_saved();
        return closed;
    }

    Painter& painter_;
    const SpectrogramCells& cells_;
    const SpectrogramScale& scale_;
    const PlotSettings& settings_;
    const PlotCall& call_;
    PlotMemory& memory_;
    const PlotIo& io_;
    PlotLayout layout_;
    ViewLimits limits_ = asked_limits(settings_);
    PlotView view_;
    int bitmap_mode_;
};

}  // namespace

Status spectrogram_driver(Painter& painter, const SpectrogramCells& cells, double range_db,
                          const PlotSettings& settings, const PlotCall& call, PlotMemory& memory, const PlotIo& io,
                          SpectrogramReport& report) {
    if (Status s = check_spectrogram_cells(cells); !s) return s;
    if (Status s = check_dynamic_range(range_db); !s) return s;
    report.scale = spectrogram_scale(cells, range_db);
    const PlotSettings drawn = spectrogram_settings(settings);
    // A spectrogram is never drawn over another picture.
    const int metafile_mode = settings.metafile_mode > 0 ? settings.metafile_mode : 0;
    if (!painter.graphics_open(call.window_width, call.window_height, metafile_mode))
        return Status::failure(kGraphicsInitError);
    return SpectrogramRun(painter, cells, report.scale, drawn, call, memory, io).run();
}

}  // namespace zeph
