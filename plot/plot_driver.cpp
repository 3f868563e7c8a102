#include "plot/plot_driver.hpp"

#include "base/replace_file.hpp"
#include "base/stop_request.hpp"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <optional>

#include "base/open_file.hpp"
#include "base/text.hpp"
#include "console/key_source.hpp"
#include "graphics/bitmap_file.hpp"

namespace zeph {

namespace {

constexpr int kFilledMarker = 100;

// Tones [Hz, ms].
constexpr int kDoneHz = 5000, kDoneMs = 60;
constexpr int kRefusedHighHz = 800, kRefusedLowHz = 200, kRefusedMs = 60, kRefusedRepeats = 4;
constexpr int kUnknownKeyHz = 200, kUnknownKeyMs = 180;

struct IndexRange {
    std::size_t first = 0, last = 0;   // inclusive
    bool empty = true;
};

// All points, or for evenly spaced points without wrap or modulo those in
// view plus one beyond each edge, so that the curve runs on to the frame.
IndexRange visible_range(const PlotData& data, const PlotSettings& settings, const PlotView& view) {
    const std::size_t n = data.size();
    if (n == 0) return {};
    const IndexRange all{0, n - 1, false};
    if (!data.evenly_spaced || settings.wrap != 0 || settings.modulo != 0) return all;
    const double dx = data.dx;
    if (!(dx > 0) || !std::isfinite(dx)) return all;
    // 1-based point i lies at x0 + i·dx with x0 = x_first − dx.
    double first = std::trunc((view.x_lo_value - data.x_first + dx) / dx);
    double last = std::trunc((view.x_hi_value - data.x_first + dx) / dx + 1);
    if (std::isnan(first) || std::isnan(last)) return all;
    first = std::max(1.0, first);
    last = std::min(static_cast<double>(n), last);
    if (!(first <= last)) return {};
    return {static_cast<std::size_t>(first) - 1, static_cast<std::size_t>(last) - 1, false};
}

struct Marker {
    int type = -1;   // < 0 none
    bool filled = false;
};

Marker decode_marker(int marker_type) {
    if (marker_type < 0) return {};
    if (marker_type >= kFilledMarker) return {marker_type - kFilledMarker, true};
    return {marker_type, false};
}

// Draws the points that reach it: polar conversion, logarithms, the point
// file line, then line and marker in world units.
class CurveDrawer {
public:
    CurveDrawer(Painter& painter, const PlotSettings& settings, const PlotView& view, const PlotFrame& frame,
                std::FILE* point_file)
        : painter_(painter), settings_(settings), view_(view), marker_(decode_marker(settings.marker_type)),
          line_(settings.line_style >= 0), point_file_(point_file),
          sx_(frame.width / (view.x.hi - view.x.lo)), sy_(frame.height / (view.y.hi - view.y.lo)) {}

    void lift() { pen_up_ = true; }

    void draw(double x, double y, bool data_point) {
        if (settings_.graph_type == 1 || settings_.graph_type == 2) {
            const double theta = settings_.graph_type == 1 ? x : x * kDegreesToRadians;
            x = y * std::cos(theta);
            y = y * std::sin(theta);
        }
        // A value of 0 or less has no logarithm: the pen lifts over it.
        if (view_.x.logarithmic) {
            if (!(x > 0)) return lift();
            x = std::log10(x);
        }
        if (view_.y.logarithmic) {
            if (!(y > 0)) return lift();
            y = std::log10(y);
        }
        if (!std::isfinite(x) || !std::isfinite(y)) return lift();
        if (point_file_ && std::fputs(point_file_line(x, y).c_str(), point_file_) < 0) write_failed_ = true;
        const double wx = (x - view_.x.lo) * sx_, wy = (y - view_.y.lo) * sy_;
        if (line_) {
            if (pen_up_) painter_.move_to(wx, wy);
            else painter_.line_to(wx, wy);
            pen_up_ = false;
        }
        if (marker_.type >= 0 && data_point) {
            painter_.draw_marker(wx, wy, marker_.type, settings_.marker_radius, marker_.filled);
            painter_.move_to(wx, wy);
        }
    }

    bool write_failed() const { return write_failed_; }

private:
    Painter& painter_;
    const PlotSettings& settings_;
    const PlotView& view_;
    Marker marker_;
    bool line_;
    std::FILE* point_file_;
    double sx_, sy_;   // world units per data unit
    bool pen_up_ = true;
    bool write_failed_ = false;
};

// Thinning: each group of g points is drawn as its smallest and largest
// value in abscissa order. The first extreme is drawn when the group is
// complete, the second when the next point arrives; at the end the held
// extreme and the last, incomplete group are drawn too. NaN values are never
// extremes (a group of NaNs draws nothing).
class Thinner {
public:
    explicit Thinner(int group_size) : group_size_(group_size) {}

    void take(double x, double y, CurveDrawer& drawer) {
        if (count_ == 0) found_ = false;
        if (!std::isnan(y)) {
            if (!found_) {
                low_ = high_ = {x, y};
                found_ = true;
            } else {
                if (y > high_.y) high_ = {x, y};
                if (y < low_.y) low_ = {x, y};
            }
        }
        ++count_;
        draw_held(drawer);
        if (count_ == group_size_) {
            count_ = 0;
            if (found_) draw_first_hold_second(drawer);
        }
    }

    void flush(CurveDrawer& drawer) {
        draw_held(drawer);
        if (count_ > 0 && found_) {
            draw_first_hold_second(drawer);
            draw_held(drawer);
        }
        count_ = 0;
    }

private:
    void draw_held(CurveDrawer& drawer) {
        if (!holding_) return;
        holding_ = false;
        drawer.draw(held_.x, held_.y, true);
    }

    void draw_first_hold_second(CurveDrawer& drawer) {
        const bool low_first = low_.x < high_.x;
        const WorldPoint now = low_first ? low_ : high_;
        held_ = low_first ? high_ : low_;
        holding_ = !(low_.x == high_.x && low_.y == high_.y);
        drawer.draw(now.x, now.y, true);
    }

    int group_size_;
    int count_ = 0;
    bool found_ = false;
    WorldPoint low_, high_, held_;
    bool holding_ = false;
};

// Positions of the smallest and largest non-NaN value of y[begin, end), the
// first of equal ones; none when all are NaN.
struct GroupExtremes {
    std::size_t low = 0, high = 0;
    bool found = false;
};

GroupExtremes scan_group(const double* y, std::size_t begin, std::size_t end) {
    // Independent lanes keep the comparisons from waiting on each other; a
    // NaN never replaces a lane's extreme.
    constexpr std::size_t kLanes = 8;
    constexpr double kInf = std::numeric_limits<double>::infinity();
    double low[kLanes], high[kLanes];
    std::size_t low_at[kLanes], high_at[kLanes];
    for (std::size_t k = 0; k < kLanes; ++k) low[k] = kInf, high[k] = -kInf, low_at[k] = high_at[k] = end;
    std::size_t i = begin;
    for (; i + kLanes <= end; i += kLanes) {
        for (std::size_t k = 0; k < kLanes; ++k) {
            const double v = y[i + k];
            if (v < low[k]) low[k] = v, low_at[k] = i + k;
            if (v > high[k]) high[k] = v, high_at[k] = i + k;
        }
    }
    for (; i < end; ++i) {
        const double v = y[i];
        if (v < low[0]) low[0] = v, low_at[0] = i;
        if (v > high[0]) high[0] = v, high_at[0] = i;
    }
    GroupExtremes result;
    for (std::size_t k = 0; k < kLanes; ++k) {
        if (low_at[k] == end && high_at[k] == end) continue;
        // A lane of only +inf (or -inf) values sets just one of its two positions.
        const std::size_t l = low_at[k] != end ? low_at[k] : high_at[k];
        const std::size_t h = high_at[k] != end ? high_at[k] : low_at[k];
        if (!result.found) {
            result = {l, h, true};
            continue;
        }
        // The first of equal values, as a scan in order would find it.
        if (y[l] < y[result.low] || (y[l] == y[result.low] && l < result.low)) result.low = l;
        if (y[h] > y[result.high] || (y[h] == y[result.high] && h < result.high)) result.high = h;
    }
    return result;
}

// Thinning of evenly spaced points in one pass without smoothing or modulo:
// the same points in the same order as the Thinner, group by group.
void draw_thinned(const PlotData& data, IndexRange range, int group, CurveDrawer& drawer) {
    const double* y = data.y.data();
    const std::size_t g = static_cast<std::size_t>(group);
    for (std::size_t begin = range.first; begin <= range.last; begin += g) {
        const std::size_t end = std::min(begin + g, range.last + 1);
        const GroupExtremes e = scan_group(y, begin, end);
        if (!e.found) continue;
        const std::size_t first = std::min(e.low, e.high), second = std::max(e.low, e.high);
        drawer.draw(data.x_at(first), y[first], true);
        if (second != first) drawer.draw(data.x_at(second), y[second], true);
    }
}

// Cubic Lagrange interpolation at x through the points m-1 .. m+2.
double lagrange(const PlotData& data, std::size_t m, double x) {
    double xs[4], ys[4];
    for (std::size_t k = 0; k < 4; ++k) {
        xs[k] = data.x_at(m - 1 + k);
        ys[k] = data.y[m - 1 + k];
    }
    double sum = 0;
    for (int k = 0; k < 4; ++k) {
        double term = ys[k];
        for (int l = 0; l < 4; ++l)
            if (l != k) term *= (x - xs[l]) / (xs[k] - xs[l]);
        sum += term;
    }
    return sum;
}

// Points between point i and i+1 (both ends counted): about 256 per frame width.
int smoothing_steps(double gap, double xspan) {
    const double s = std::round(std::abs(gap) * kSmoothingSteps / xspan + 2);
    if (!std::isfinite(s)) return 2;
    return static_cast<int>(std::clamp(s, 2.0, static_cast<double>(kMaxSmoothingSteps)));
}

// One data pass over the visible points, shifted by `offset`: smoothing,
// then `emit`(x, y, data_point) for every point.
template <typename Emit>
void for_each_point(const PlotData& data, const PlotSettings& settings, IndexRange range, double offset,
                    double xspan, Emit&& emit) {
    if (range.empty) return;
    const bool smoothing = settings.smooth == 1 && range.last - range.first + 1 >= 4;
    if (!smoothing) {
        if (data.evenly_spaced) {
            const double* y = data.y.data();
            const double x0 = data.x_first + offset, dx = data.dx;
            for (std::size_t i = range.first; i <= range.last; ++i) emit(x0 + static_cast<double>(i) * dx, y[i], true);
        } else {
            for (std::size_t i = range.first; i <= range.last; ++i) emit(data.x[i] + offset, data.y[i], true);
        }
        return;
    }
    for (std::size_t i = range.first; i < range.last; ++i) {
        const double x0 = data.x_at(i), x1 = data.x_at(i + 1);
        const std::size_t m = std::max(range.first + 1, std::min(i, range.last - 2));
        const int s = smoothing_steps(x1 - x0, xspan);
        emit(x0 + offset, data.y[i], true);
        for (int j = 1; j < s; ++j) {
            const double x = x0 + j * (x1 - x0) / (s - 1);
            emit(x + offset, lagrange(data, m, x), false);
        }
    }
    emit(data.x_at(range.last) + offset, data.y[range.last], true);
}

// Modulo: abscissae beyond the view are folded back by whole spans, with a
// running offset; every fold lifts the pen.
class Folder {
public:
    Folder(double lo, double hi) : lo_(lo), hi_(hi), span_(hi - lo) {}

    // False when x cannot be placed (not finite).
    bool fold(double& x, CurveDrawer& drawer) {
        x += offset_;
        if (!std::isfinite(x)) return false;
        if (x > hi_ || x < lo_) {
            const double spans = x > hi_ ? -std::ceil((x - hi_) / span_) : std::ceil((lo_ - x) / span_);
            offset_ += spans * span_;
            x += spans * span_;
            for (int guard = 0; guard < 2 && x > hi_; ++guard) offset_ -= span_, x -= span_;
            for (int guard = 0; guard < 2 && x < lo_; ++guard) offset_ += span_, x += span_;
            drawer.lift();
        }
        return true;
    }

private:
    double lo_, hi_, span_;
    double offset_ = 0;
};

ReplacementFile open_point_file(const PlotSettings& settings) {
    if (settings.data_export != 1) return {};
    return ReplacementFile(trim_right(settings.data_export_file));
}

// The curve: clip to the frame, pen, passes (three with wrap), then the
// clip back to the whole window and the end tone. Returns false when the
// point file could not be written.
bool draw_curve(Painter& painter, const PlotData& data, const PlotSettings& settings, const PlotView& view,
                const PlotLayout& layout) {
    const PlotFrame& frame = layout.frame;
    painter.set_clip_rect(0, 0, frame.width, frame.height);
    const double xspan = view.x.hi - view.x.lo;

    bool file_ok = true;
    ReplacementFile point_file = open_point_file(settings);
    if (settings.data_export == 1 && !point_file) file_ok = false;

    painter.set_colour(settings.line_colour);
    if (settings.line_style <= 0) painter.set_line_style(settings.line_width);
    else if (settings.line_style <= 4) painter.set_line_style(-settings.line_style);

    const IndexRange range = visible_range(data, settings, view);
    const int group = range.empty ? 1 : thinning_group_size(data, settings, range.first, range.last, xspan);

    double period = xspan;
    int first_pass = 0, last_pass = 0;
    if (settings.wrap != 0 && data.evenly_spaced && !range.empty) {
        period = static_cast<double>(data.size()) * data.dx;
        first_pass = data.x_at(range.first) > view.x.lo ? -1 : 0;
        last_pass = data.x_at(range.last) < view.x.hi ? 1 : 0;
    }

    CurveDrawer drawer(painter, settings, view, frame, point_file.get());
    Thinner thinner(group);
    Folder folder(view.x.lo, view.x.hi);
    const bool modulo = settings.modulo != 0;
    const bool thinning = group >= 3;
    std::size_t emitted = 0;
    bool stopped = false;   // the run is ending: the rest of the curve is not drawn
    auto emit = [&](double x, double y, bool data_point) {
        if (++emitted % kStopCheckInterval == 0) stopped = stopped || stop_requested();
        if (stopped) return;
        if (modulo && !folder.fold(x, drawer)) return drawer.lift();
        if (thinning) thinner.take(x, y, drawer);
        else drawer.draw(x, y, data_point);
    };
    const bool smoothing = settings.smooth == 1;
    if (thinning && !smoothing && !modulo && data.evenly_spaced && first_pass == 0 && last_pass == 0) {
        draw_thinned(data, range, group, drawer);
    } else {
        for (int k = first_pass; k <= last_pass; ++k) for_each_point(data, settings, range, k * period, xspan, emit);
        if (thinning) thinner.flush(drawer);
    }

    if (point_file) {
        if (drawer.write_failed()) point_file.discard();   // the earlier file is kept
        file_ok = point_file.commit() && file_ok;
    }
    painter.set_clip_rect(layout.window.x_min, layout.window.y_min, layout.window.x_max, layout.window.y_max);
    return file_ok;
}

// A data value as a picked point shows it: seven significant digits.
std::string point_value(double value) {
    char text[48];
    std::snprintf(text, sizeof text, "%.7G", value);
    return text;
}

// The index of the point drawn nearest to `click` (canvas pixels), among
// those that can be drawn (finite, positive on a logarithmic axis).
template <class PixelOf>
std::optional<std::size_t> nearest_point(const PlotData& data, const PlotSettings& settings, PixelOf pixel_of,
                                         WorldPoint click) {
    std::optional<std::size_t> best;
    double best_distance = std::numeric_limits<double>::infinity();
    const bool polar = settings.graph_type == 1 || settings.graph_type == 2;
    for (std::size_t i = 0; i < data.size(); ++i) {
        double x = data.x_at(i), y = data.y[i];
        if (polar) {
            const double theta = settings.graph_type == 1 ? x : x * kDegreesToRadians;
            x = y * std::cos(theta), y = y * std::sin(theta);
        }
        if ((settings.x_divisions == 0 && !(x > 0)) || (settings.y_divisions == 0 && !(y > 0))) continue;
        if (!std::isfinite(x) || !std::isfinite(y)) continue;
        const WorldPoint p = pixel_of(DataPoint{x, y});
        const double distance = std::hypot(p.x - click.x, p.y - click.y);
        if (distance < best_distance) best_distance = distance, best = i;
    }
    return best;
}

// One call of the driver: the picture, its saved background and the pan offsets.
class PlotRun {
public:
    PlotRun(Painter& painter, const PlotData& data, const PlotSettings& settings, const PlotCall& call,
            PlotMemory& memory, const PlotIo& io)
        : painter_(painter), data_(data), settings_(settings), call_(call), memory_(memory), io_(io),
          layout_(plot_layout(settings)), limits_(asked_limits(settings)), bitmap_mode_(settings.bitmap_mode) {}

    Status run() {
        painter_.set_world_window(layout_.window.x_min, layout_.window.y_min, layout_.window.x_max,
                                  layout_.window.y_max);
        if (call_.overlay) limits_ = memory_.view;
        if (Status s = plot_view(settings_, limits_, view_); !s) return fail(s.message);
        if (call_.overlay) {
            if (memory_.holds_plot) restore_window();
        } else {
            draw_plot_background(painter_, layout_.frame, view_.x, view_.y, settings_);
            if (io_.mark_metafile) io_.mark_metafile();
            if (Status s = save_background(); !s) return s;
            draw_view_layer();
        }
        draw_data();
        if (call_.pause_after_plot) {
            if (Status s = key_loop(); !s) return s;
        }
        return finish();
    }

private:
    Status fail(const std::string& message) {
        painter_.graphics_close(0, "");
        return Status::failure(message);
    }

    std::size_t window_image_size() const {
        return painter_.image_size(layout_.window.x_min, layout_.window.y_max, layout_.window.x_max,
                                   layout_.window.y_min);
    }

    void save_window() {
        painter_.get_image(layout_.window.x_min, layout_.window.y_max, layout_.window.x_max, layout_.window.y_min,
                           memory_.screen_save);
        memory_.screen_save_texts = painter_.canvas().texts();
    }

    void restore_window() {
        painter_.put_image(layout_.window.x_min, layout_.window.y_max, memory_.screen_save);
        painter_.canvas().set_texts(memory_.screen_save_texts);
    }

    // Frame, grids, title and labels, without numbers or data: the background for panning.
    Status save_background() {
        const std::size_t needed = window_image_size();
        if (needed > memory_.screen_save.size()) {
            char count[32];
            std::snprintf(count, sizeof count, "%10zu", needed);
            return fail(kScreenSaveTooSmall + count);
        }
        save_window();
        memory_.holds_plot = false;
        return Status::success();
    }

    // What depends on the view: zero lines and axis numbers.
    void draw_view_layer() {
        draw_zero_lines(painter_, layout_.frame, view_.x, view_.y, settings_);
        draw_axis_numbers(painter_, layout_.frame, view_.x, view_.y, settings_);
    }

    // The curve and the picture shown; a view the mouse moved is shown without the tone.
    void draw_data(bool tone = true) {
        if (!draw_curve(painter_, data_, settings_, view_, layout_))
            warning_ = std::string(kErrorWritingFile) + trim_right(settings_.data_export_file);
        if (tone) beep(kDoneHz, kDoneMs);
        if (io_.show) io_.show(painter_.canvas());
    }

    void beep(int hz, int ms) { io_.tone(hz, ms); }
    int read_key() { return io_.key(); }

    Status key_loop() {
        for (;;) {
            const PlotInput input = io_.input();
            if (input.pointer) {
                if (Status s = pointer(*input.pointer); !s) return s;
                continue;
            }
            const int key = input.key;
            if ((key == 'B' || key == 'b') && bitmap_mode_ == 1) {
                // Saving needs a name; without one the key only beeps.
                if (!trim_right(settings_.bitmap_file).empty()) {
                    bitmap_mode_ = 2;
                    return Status::success();
                }
                beep(kUnknownKeyHz, kUnknownKeyMs);
            } else if (key == kKeyEscape || key == kKeyEnter) {
                return Status::success();
            } else if (key == kKeyExtended) {
                const int code = read_key();
                if (call_.overlay) {
                    refuse();
                } else if (pan(code)) {
                    if (Status s = redraw(); !s) return s;
                } else {
                    beep(kUnknownKeyHz, kUnknownKeyMs);
                }
            } else {
                beep(kUnknownKeyHz, kUnknownKeyMs);
            }
        }
    }

    void refuse() {
        for (int i = 0; i < kRefusedRepeats; ++i) {
            beep(kRefusedHighHz, kRefusedMs);
            beep(kRefusedLowHz, kRefusedMs);
        }
    }

    // The mouse: the readout, a zoom or pan of the view, a picked point.
    Status pointer(const PointerGesture& gesture) {
        const GestureEffect effect =
            apply_gesture(gesture, painter_, layout_, view_, settings_, call_.overlay, limits_);
        if (effect.readout && io_.show_readout) io_.show_readout(*effect.readout);
        if (effect.refused) refuse();
        if (effect.clicked && io_.picked) {
            if (const std::optional<std::string> picked = picked_point(*effect.clicked)) io_.picked(*picked);
        }
        return effect.limits_changed ? redraw(false) : Status::success();
    }

    // "Point 12: x 3.5, y 0.25": the data point drawn nearest to a click.
    std::optional<std::string> picked_point(WorldPoint click) const {
        const std::optional<std::size_t> nearest = nearest_point(data_, settings_, [&](DataPoint drawn) {
            return pixel_of_data(painter_, layout_, view_, drawn);
        }, click);
        if (!nearest) return std::nullopt;
        return "Point " + std::to_string(*nearest + 1) + ": x " + point_value(data_.x_at(*nearest)) + ", y " +
               point_value(data_.y[*nearest]);
    }

    // Moves the view for a pan key; false for any other key.
    bool pan(int code) { return pan_for_key(code, settings_, limits_); }

    Status redraw(bool tone = true) {
        if (Status s = plot_view(settings_, limits_, view_); !s) return fail(s.message);
        restore_window();
        if (io_.rewind_metafile) io_.rewind_metafile();
        draw_view_layer();
        draw_data(tone);
        return Status::success();
    }

    Status finish() {
        if (window_image_size() > memory_.screen_save.size()) return fail(kScreenSaveTooSmallAtEnd);
        save_window();
        memory_.holds_plot = true;
        memory_.view = limits_;
        const Status closed = painter_.graphics_close(bitmap_mode_, trim_right(settings_.bitmap_file));
        if (!closed && warning_.empty()) warning_ = closed.message;
        if (closed && bitmap_mode_ == 2 && io_.bitmap_saved) io_.bitmap_saved();
        return warning_.empty() ? Status::success() : Status::failure(warning_);
    }

    Painter& painter_;
    const PlotData& data_;
    const PlotSettings& settings_;
    const PlotCall& call_;
    PlotMemory& memory_;
    const PlotIo& io_;
    PlotLayout layout_;
    PlotView view_;
    ViewLimits limits_;
    int bitmap_mode_;
    std::string warning_;   // a file that could not be written
};

}  // namespace

std::string point_file_field(double value) {
    char field[64];
    std::snprintf(field, sizeof field, "%14.6f", value);
    if (std::strlen(field) > kPointFieldWidth) std::snprintf(field, sizeof field, "%14.6E", value);
    return field;
}

std::string point_file_line(double x, double y) {
    return point_file_field(x) + "," + point_file_field(y) + "\n";
}

std::size_t screen_save_bytes(int width, int height) {
    return GraphicsCanvas::kImageHeaderBytes +
           3 * static_cast<std::size_t>(std::max(width, 0)) * static_cast<std::size_t>(std::max(height, 0));
}

int thinning_group_size(const PlotData& data, const PlotSettings& settings, std::size_t first, std::size_t last,
                        double xspan) {
    // Thinning assumes ordered abscissae: an XY curve is drawn point by point.
    const bool thin = settings.low_resolution == 1 && settings.wrap == 0 && settings.modulo == 0 &&
                      settings.marker_type < 0 && data.evenly_spaced;
    if (!thin || last <= first) return 1;
    const double g = std::round(static_cast<double>(last - first) / kThinningGroups * xspan /
                                (data.x_at(last) - data.x_at(first)));
    if (!(g >= 1)) return 1;
    return static_cast<int>(std::min(g, double(INT_MAX / 2)));
}

Status plot_driver(Painter& painter, const PlotData& data, const PlotSettings& settings, const PlotCall& call,
                   PlotMemory& memory, const PlotIo& io) {
    const int metafile_mode = (call.overlay && settings.metafile_mode > 0) ? -1 : settings.metafile_mode;
    if (!painter.graphics_open(call.window_width, call.window_height, metafile_mode))
        return Status::failure(kGraphicsInitError);
    return PlotRun(painter, data, settings, call, memory, io).run();
}

}  // namespace zeph
