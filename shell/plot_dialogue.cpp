#include "shell/plot_dialogue.hpp"
#include "shell/plot_drawing.hpp"
#include "shell/plot_range.hpp"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <span>

#include "base/numbers.hpp"
#include "base/text.hpp"
#include "base/utf8.hpp"
#include "plot/metafile.hpp"
#include "plot/spectrogram_plot.hpp"

namespace zeph {

namespace {

constexpr int kNewPlotColour = 1;   // blue

// Group flags: 0 defaults, 1 ask now, 2 asked (keep the answers).
constexpr int kAskNow = 1, kKeep = 2;

// One dialogue run: the session, the kept state and this plot's choices.
class PlotDialogue {
public:
    PlotDialogue(Session& session, PlotState& plot)
        : session_(session), w_(session.workspace), plot_(plot), s_(plot.settings) {}

    void run();

private:
    bool ask_integer(std::string_view prompt, std::string_view default_reply, int& value);
    bool ask_real(std::string_view prompt, std::string_view default_reply, double& value);
    // Two or four reals with the previous reply text as current text.
    bool ask_values(std::string_view prompt, std::string_view default_reply, std::string& reply, int count,
                    std::array<double, 4>& values);
    bool ask_text(std::string_view prompt, std::string_view default_reply, std::string& answer);

    bool is_xy() const { return zeph::is_xy(w_.selection); }
    // SG: the spectrogram's image in place of a curve.
    bool is_image() const {
        return w_.selection.parameter != nullptr && w_.selection.parameter->parameter.shape == ResultShape::image;
    }
    SpectrogramCells cells() const {
        const Spectrogram& sg = w_.spectrogram;
        return {sg.time, sg.frequency, {sg.density.data(), sg.density.size()}};
    }
    void image_range_and_labels();
    bool dynamic_range();
    int count() const {
        return std::clamp(w_.display.display_count, 0, static_cast<int>(w_.work_y.size()));
    }
    std::span<double> values_y() { return {w_.work_y.data(), static_cast<std::size_t>(count())}; }
    std::span<double> values_x() {
        return {w_.work_x.data(), std::min(static_cast<std::size_t>(count()), w_.work_x.size())};
    }

    bool scale_data();
    void default_range();
    bool labels();
    bool line_group();
    bool marker_group();
    void smoothing_group();
    bool frame_groups();
    bool range_prompt();
    bool logarithmic_limits_ok();
    bool export_names();
    void widen_degenerate_range();
    void draw();

    Session& session_;
    Workspace& w_;
    PlotState& plot_;
    PlotSettings& s_;
    bool overlay_ = false;
    double computed_x_min_ = 0, computed_x_max_ = 0, computed_y_min_ = 0, computed_y_max_ = 0;
};

bool PlotDialogue::ask_integer(std::string_view prompt, std::string_view default_reply, int& value) {
    std::array<double, 4> values{static_cast<double>(value), 0, 0, 0};
    if (!session_.ask_numbers(prompt, default_reply, values, 1)) return false;
    value = nearest_int(values[0]);
    return true;
}

bool PlotDialogue::ask_real(std::string_view prompt, std::string_view default_reply, double& value) {
    std::array<double, 4> values{value, 0, 0, 0};
    if (!session_.ask_numbers(prompt, default_reply, values, 1)) return false;
    value = values[0];
    return true;
}

bool PlotDialogue::ask_values(std::string_view prompt, std::string_view default_reply, std::string& reply, int n,
                              std::array<double, 4>& values) {
    return session_.ask_values_text(prompt, default_reply, reply, values, n);
}

bool PlotDialogue::ask_text(std::string_view prompt, std::string_view default_reply, std::string& answer) {
    return session_.ask_text(prompt, default_reply, answer);
}

// SC: X = X*Xm + Xo on the abscissa, Y = Y*Ym + Yo on the values.
bool PlotDialogue::scale_data() {
    if (!w_.options.SC) return true;
    std::array<double, 4> x{plot_.xm, plot_.xo, 0, 0};
    if (!ask_values(kXScalePrompt, "1., 0.", plot_.x_scale_reply, 2, x)) return false;
    plot_.xm = x[0];
    plot_.xo = x[1];
    w_.display.xmin = plot_.xm * w_.display.xmin + plot_.xo;
    w_.display.dx = plot_.xm * w_.display.dx;
    if (is_xy() && (plot_.xm != 1 || plot_.xo != 0))
        for (double& v : values_x()) v = plot_.xm * v + plot_.xo;

    std::array<double, 4> y{plot_.ym, plot_.yo, 0, 0};
    if (!ask_values(kYScalePrompt, "1., 0.", plot_.y_scale_reply, 2, y)) return false;
    plot_.ym = y[0];
    plot_.yo = y[1];
    if (plot_.ym != 1 || plot_.yo != 0)
        for (double& v : values_y()) v = plot_.ym * v + plot_.yo;
    return true;
}

void PlotDialogue::default_range() {
    const DisplayState& d = w_.display;
    const PlotRange range = default_plot_range({
        .y = values_y(), .x = values_x(), .xmin = d.xmin, .dx = d.dx, .xy = is_xy(), .wrap = w_.options.WR != 0,
        .decibels = w_.options.DB, .power = decibel_form(w_.selection) == DbForm::power,
        .cumulative = w_.options.CU != 0, .cumulative_total = session_.cumulative_total,
        .linked_spectrum = w_.current_domain() == Domain::frequency && w_.signal_mode == SignalMode::linked,
        .reference_power = d.reference_power, .reference_level = d.reference_level,
        .scaled = w_.options.SC != 0, .ym = plot_.ym, .yo = plot_.yo});
    s_.x_min = range.x_min, s_.x_max = range.x_max;
    s_.y_min = range.y_min, s_.y_max = range.y_max;
}

bool PlotDialogue::labels() {
    const DisplayState& d = w_.display;
    s_.title = trim_right(d.title);
    s_.x_label = trim_right(d.x_label);
    s_.y_label = trim_right(d.y_label);
    int& la = w_.options.LA;
    if (la == kAskNow) {
        la = kKeep;
        if (!ask_text(kTitlePrompt, s_.title, plot_.title_answer)) return false;
        if (!ask_text(kXLabelPrompt, s_.x_label, plot_.x_label_answer)) return false;
        if (!ask_text(kYLabelPrompt, s_.y_label, plot_.y_label_answer)) return false;
    }
    if (la == kKeep) {
        const auto shown = [](const std::string& answer) { return answer == "!" ? std::string{} : answer; };
        s_.title = shown(plot_.title_answer);
        s_.x_label = shown(plot_.x_label_answer);
        s_.y_label = shown(plot_.y_label_answer);
    }
    return true;
}

bool PlotDialogue::line_group() {
    int& lo = w_.options.LO;
    if (lo == kAskNow) {
        lo = kKeep;
        return ask_integer(kLineColourPrompt, "1", s_.line_colour) &&
               ask_real(kLineWidthPrompt, "0.", s_.line_width) && ask_integer(kLineStylePrompt, "0", s_.line_style);
    }
    if (lo == 0) {
        s_.line_width = 0;
        s_.line_style = 0;
        // Successive overlays get colours 2, 3, 4, ...
        plot_.overlay_colour_count = overlay_ ? plot_.overlay_colour_count + 1 : 0;
        s_.line_colour = overlay_ ? plot_.overlay_colour_count + 1 : kNewPlotColour;
    }
    return true;
}

bool PlotDialogue::marker_group() {
    int& ma = w_.options.MA;
    if (ma == kAskNow) {
        ma = kKeep;
        return ask_integer(kMarkerPrompt, "100", s_.marker_type) &&
               ask_real(kMarkerRadiusPrompt, ".015", s_.marker_radius);
    }
    if (ma == 0) {
        s_.marker_type = -1;
        s_.marker_radius = 0.015;
    }
    return true;
}

void PlotDialogue::smoothing_group() {
    if (w_.options.SM == kAskNow) w_.options.SM = kKeep;
    s_.smooth = w_.options.SM != 0 ? 1 : 0;
}

// PG, AX, GO, ZE, CO, AR and HI.
bool PlotDialogue::frame_groups() {
    OptionSet& o = w_.options;
    if (o.PG == kAskNow) {
        o.PG = kKeep;
        if (!ask_integer(kGraphTypePrompt, "1", s_.graph_type)) return false;
    } else if (o.PG == 0) {
        s_.graph_type = 0;
    }
    if (o.AX == kAskNow) {
        o.AX = kKeep;
        if (!ask_integer(kAxesModePrompt, "2", s_.axes_mode) || !ask_integer(kXDivisionsPrompt, "10", s_.x_divisions) ||
            !ask_integer(kYDivisionsPrompt, "10", s_.y_divisions))
            return false;
    } else if (o.AX == 0) {
        s_.axes_mode = 2;
        s_.x_divisions = s_.y_divisions = 10;
    }
    if (o.GO == kAskNow) {
        o.GO = kKeep;
        if (!ask_integer(kXGridPrompt, "1", s_.x_grid) || !ask_integer(kYGridPrompt, "1", s_.y_grid)) return false;
    } else if (o.GO == 0) {
        s_.x_grid = s_.y_grid = 1;
    }
    if (o.ZE == kAskNow) {
        o.ZE = kKeep;
        if (!ask_integer(kZeroAxesPrompt, "1", s_.zero_axes)) return false;
    } else if (o.ZE == 0) {
        s_.zero_axes = 0;
    }
    if (o.CO == kAskNow) {
        o.CO = kKeep;
        if (!ask_integer(kLabelColourPrompt, "0", s_.label_colour) || !ask_integer(kAxesColourPrompt, "0", s_.axes_colour))
            return false;
    } else if (o.CO == 0) {
        s_.label_colour = s_.axes_colour = 0;
    }
    const bool square = s_.graph_type > 0 || is_xy();
    if (o.AR == kAskNow) {
        o.AR = kKeep;
        if (square) s_.aspect_ratio = 1.0;
        if (!ask_real(kAspectPrompt, square ? "1.0" : "0.0", s_.aspect_ratio)) return false;
    } else if (o.AR == 0) {
        s_.aspect_ratio = square ? 1.0 : 0.0;
    }
    if (o.HI == kAskNow) o.HI = kKeep;
    s_.low_resolution = o.HI != 0 ? 0 : 1;
    return true;
}

bool PlotDialogue::range_prompt() {
    session_.define_variable("XMIN", s_.x_min);
    session_.define_variable("XMAX", s_.x_max);
    session_.define_variable("YMIN", s_.y_min);
    session_.define_variable("YMAX", s_.y_max);
    computed_x_min_ = s_.x_min, computed_x_max_ = s_.x_max;
    computed_y_min_ = s_.y_min, computed_y_max_ = s_.y_max;
    std::array<double, 4> range{s_.x_min, s_.x_max, s_.y_min, s_.y_max};
    if (!ask_values(kRangePrompt, "XMIN, XMAX, YMIN, YMAX", plot_.range_reply, 4, range)) return false;
    s_.x_min = range[0], s_.x_max = range[1];
    s_.y_min = range[2], s_.y_max = range[3];
    if (s_.x_max == s_.x_min) s_.x_min = computed_x_min_, s_.x_max = computed_x_max_;
    if (s_.y_max == s_.y_min) s_.y_min = computed_y_min_, s_.y_max = computed_y_max_;
    return true;
}

bool PlotDialogue::logarithmic_limits_ok() {
    if (s_.x_divisions == 0 && (s_.x_min <= 0 || s_.x_max <= 0)) {
        w_.message_line = kLogXLimitError;
        return false;
    }
    if (s_.y_divisions == 0 && (s_.y_min <= 0 || s_.y_max <= 0)) {
        w_.message_line = kLogYLimitError;
        return false;
    }
    return true;
}

bool PlotDialogue::export_names() {
    OptionSet& o = w_.options;
    const auto ask_name = [&](std::string_view prompt, std::string& name) {
        if (!ask_text(prompt, "", name)) return false;
        name = trim_right(first_characters(name, kExportNameLength));
        return true;
    };
    // An image has no points to export: FI writes its cells.
    if (o.EX && !is_image()) {
        if (!ask_name(kDataExportPrompt, plot_.data_export_name)) return false;
    } else {
        plot_.data_export_name.clear();
    }
    if (o.ME) {
        if (!ask_name(kMetafilePrompt, plot_.metafile_name)) return false;
        if (plot_.metafile_name.empty()) o.ME = 0;
    }
    if (o.BI) {
        if (!ask_name(kBitmapPrompt, plot_.bitmap_name)) return false;
        if (plot_.bitmap_name.empty()) o.BI = 0;
    }
    s_.data_export = plot_.data_export_name.empty() ? 0 : 1;
    s_.data_export_file = plot_.data_export_name;
    // Without BI the B key saves under the name last given (it only beeps without one).
    s_.bitmap_mode = o.BI ? 2 : 1;
    s_.bitmap_file = plot_.bitmap_name;
    s_.metafile_mode = o.ME ? 1 : 0;
    // An overlay is added to the metafile of the plot it is drawn on.
    if (overlay_ && plot_.previous_wrote_metafile) s_.metafile_mode = 1;
    s_.metafile_file = plot_.metafile_name;
    return true;
}

void PlotDialogue::widen_degenerate_range() {
    const PlotRange range = widened({s_.x_min, s_.x_max, s_.y_min, s_.y_max});
    s_.x_min = range.x_min, s_.x_max = range.x_max;
    s_.y_min = range.y_min, s_.y_max = range.y_max;
}

// The extent of the cells; time across and frequency up, named as the
// functions of the mode name their abscissae.
void PlotDialogue::image_range_and_labels() {
    const WorldRect extent = spectrogram_extent(cells());
    s_.x_min = extent.x_min, s_.x_max = extent.x_max;
    s_.y_min = extent.y_min, s_.y_max = extent.y_max;
    const auto axis_name = [this](Domain domain) {
        const CommandWord* function = function_for(domain, w_.signal_mode);
        return function != nullptr && function->label.size() > 3 ? trim_right(function->label.substr(3))
                                                                 : std::string();
    };
    w_.display.x_label = axis_name(Domain::time);
    w_.display.y_label = axis_name(Domain::frequency);
}

bool PlotDialogue::dynamic_range() {
    if (!ask_real(kDynamicRangePrompt, "100", plot_.dynamic_range_db)) return false;
    if (const Status status = check_dynamic_range(plot_.dynamic_range_db); !status) {
        w_.message_line = status.message;
        return false;
    }
    return true;
}

void PlotDialogue::run() {
    if (is_image()) {
        if (const Status status = check_spectrogram_cells(cells()); !status) {
            w_.message_line = status.message;
            return;
        }
        image_range_and_labels();
    }
    if (!is_image() && !scale_data()) return;
    // OV acts once; without a finished plot to draw on, the overlay is a new plot.
    overlay_ = w_.options.OV != 0 && plot_.memory.holds_plot;
    w_.options.OV = 0;
    if (!overlay_ && !is_image()) default_range();
    if (!overlay_ && !labels()) return;
    if (!line_group() || !marker_group()) return;
    smoothing_group();
    if (!overlay_) {
        if (!frame_groups() || !range_prompt()) return;
    }
    if (is_image() && !dynamic_range()) return;
    if (!logarithmic_limits_ok()) return;
    s_.wrap = w_.options.WR != 0 ? 1 : 0;
    s_.modulo = w_.options.MO != 0 ? 1 : 0;
    if (!export_names()) return;
    widen_degenerate_range();
    draw();
}

void PlotDialogue::draw() {
    PlotPicture picture;
    picture.overlay = overlay_;
    if (is_image()) picture.image = cells();
    picture.curve.y = values_y();
    if (is_xy()) {
        picture.curve.evenly_spaced = false;
        picture.curve.x = values_x();
    } else {
        picture.curve.x_first = w_.display.xmin;
        picture.curve.dx = w_.display.dx;
    }
    draw_plot(session_, plot_, picture);
}

}  // namespace

PlotState::PlotState() = default;
PlotState::~PlotState() = default;
PlotState::PlotState(PlotState&&) noexcept = default;
PlotState& PlotState::operator=(PlotState&&) noexcept = default;

void plot_dialogue(Session& session, PlotState& plot) { PlotDialogue(session, plot).run(); }

}  // namespace zeph
