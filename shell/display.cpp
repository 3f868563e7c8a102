#include "shell/display.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <span>

#include "base/private_file.hpp"
#include "dsp/linear_transform.hpp"
#include "dsp/ordinate.hpp"
#include "dsp/statistics.hpp"
#include "shell/listing.hpp"
#include "base/format_number.hpp"
#include "base/parallel.hpp"
#include "shell/command_words.hpp"
#include "shell/derivations.hpp"

namespace zeph {

namespace {
double level_of(double power) { return power > 0.0 ? 10.0 * std::log10(power) : kPowerFloorDb; }

// Runs the selected parameter's derive function on the signal, over the
// signal's grid; a signal of a domain the parameter does not take is refused.
Derivation derive(Session& session, const SignalRef& signal) {
    Workspace& w = session.workspace;
    const CommandWord& parameter = *w.selection.parameter;
    const auto n = static_cast<std::size_t>(signal.npts);
    w.display.xmin = signal.xmin;
    w.display.dx = signal.dx;
    w.display.display_count = signal.npts;
    w.display.derivation_notice.clear();
    if (parameter.parameter.derive == nullptr || !parameter.parameter.domains.has(signal.domain))
        return Derivation::invalid;
    DeriveInput input{session, signal, signal.samples(),
                      std::span<double>(w.work_x.data(), n), std::span<double>(w.work_y.data(), n)};
    return parameter.parameter.derive(input);
}

SignalGrids grids_of(const Workspace& w) {
    const SignalSlot& time = w.slot(Domain::time);
    const SignalSlot& frequency = w.slot(Domain::frequency);
    return {time.xmin, time.dx, frequency.xmin, frequency.dx};
}

bool average_stage(Session& session, const SignalRef& signal) {
    Workspace& w = session.workspace;
    if (is_xy(w.selection)) {
        w.message_line = kAveragingWithXy;
        return false;
    }
    // A result over frequency (WP) is averaged over a bandwidth on its own grid.
    const bool frequency_result = w.selection.parameter->parameter.frequency_result;
    const bool spectrum = signal.spectrum() || frequency_result;
    double& span = spectrum ? w.display_answers.averaging_bandwidth : w.display_answers.averaging_time;
    std::array<double, 4> asked{span, 0, 0, 0};
    if (!session.ask_numbers(spectrum ? kAveragingBandwidthPrompt : kAveragingTimePrompt, "/", asked, 1))
        return false;
    span = asked[0];
    const auto n = static_cast<std::size_t>(w.display.display_count);
    const double dx = frequency_result ? w.display.dx : w.slot(signal.domain).dx;
    const MovingAverage average =
        average_ordinate(std::span<const double>(w.work_x.data(), n), std::span<double>(w.work_y.data(), n), span, dx);
    w.display.averaging_length = average.length;
    w.display.reference_power = session.metrics.energy / w.slot(Domain::frequency).dx / average.length;
    w.display.reference_level = level_of(w.display.reference_power);
    return true;
}

bool distribution_stage(Session& session) {
    Workspace& w = session.workspace;
    std::array<double, 4> asked{w.display_answers.divisions, 0, 0, 0};
    if (!session.ask_numbers(kDivisionsPrompt, "/", asked, 1)) return false;
    w.display_answers.divisions = asked[0];
    const double rounded = std::round(asked[0]);
    const int divisions = std::isnan(rounded) ? 0 : static_cast<int>(std::clamp(rounded, -1.0, 1e9));
    Distribution result;
    const Status status = distribution(
        std::span<const double>(w.work_y.data(), static_cast<std::size_t>(w.display.display_count)), divisions, result);
    if (!status) {
        w.message_line = status.message;
        return false;
    }
    if (result.left_out > 0) w.message_line = left_out_message(result.left_out);
    // The histogram may hold more values than a small allocation has points.
    if (w.work_y.size() < result.density.size()) w.work_y.resize(result.density.size());
    std::copy(result.density.begin(), result.density.end(), w.work_y.begin());
    w.display.display_count = divisions;
    w.display.xmin = result.xmin;
    w.display.dx = result.dx;
    session.define_variable("DX", result.dx);
    session.define_variable("XMIN", result.xmin);
    session.define_variable("XMAX", result.xmin + result.dx * divisions);
    return true;
}

bool cumulative_stage(Session& session) {
    Workspace& w = session.workspace;
    DisplayState& d = w.display;
    session.define_variable("XMIN", d.xmin);
    session.define_variable("XMAX", d.xmin + (d.display_count - 1) * d.dx);
    std::array<double, 4> range{};
    if (!session.ask_values_text(kCumulativePrompt, "XMIN, XMAX", w.display_answers.cumulative_range, range, 2))
        return false;
    const std::span<const double> values(w.work_y.data(), static_cast<std::size_t>(d.display_count));
    if (const std::size_t left_out = count_non_finite(values); left_out > 0)
        w.message_line = left_out_message(left_out);
    session.cumulative_total = cumulate(std::span<double>(w.work_y.data(), static_cast<std::size_t>(d.display_count)),
                                        d.xmin, d.dx, range[0], range[1]);
    return true;
}

void append_statistics_file(Session& session, const std::vector<std::string>& lines) {
    if (session.program_directory.empty()) {
        session.workspace.message_line = session.files_problem;
        return;
    }
    std::string block;
    for (const std::string& line : lines) block += line + "\n";
    // One block whole under a lock: runs side by side never interleave their reports.
    const Status appended =
        append_private_file(session.program_directory + std::string(kStatisticsFileName), block);
    if (!appended) session.workspace.message_line = appended.message;
}

void statistics_stage(Session& session, const SignalRef& signal) {
    Workspace& w = session.workspace;
    if (!w.options.ST) return;
    StatisticsReport report;
    report.description = w.status_line;
    report.ordinate_name = parameter_label(w.selection);
    report.domain = signal.domain;
    report.power_parameter = decibel_form(w.selection) == DbForm::power;
    report.options = {w.options.DB != 0, w.options.AV != 0, w.options.DI != 0, w.options.CU != 0, w.options.SS != 0};
    report.averaging_length = w.display.averaging_length;
    report.reference_power = w.display.reference_power;
    report.reference_level_db = w.display.reference_level;
    report.grids = grids_of(w);
    report.metrics = session.metrics;
    add_ordinate_figures(report,
                         std::span<const double>(w.work_y.data(), static_cast<std::size_t>(w.display.display_count)));
    if (w.options.SS) append_statistics_file(session, format_statistics_report(report, ReportDestination::statistics_file));
    show_text_screen(session, format_statistics_report(report, ReportDestination::text_window));
    session.console.clear();
}

// An image (SG) has its own output stage; the stages of curves do not apply.
void show_image(Session& session) { session.workspace.selection.parameter->parameter.show_image(session); }

// The first output option that is set shows the display; then the outputs
// run in addition (AU) that are set, on the values as the output left them.
void output_stage(Session& session) {
    for (const bool in_addition : {false, true})
        for (const CommandWord& option : command_words())
            if (option.kind == WordKind::option && option.rules.group == OptionGroup::output &&
                option.rules.in_addition == in_addition && session.workspace.options.*(option.flag) != 0) {
                option.run(session);
                if (!in_addition) break;
            }
}
}  // namespace

void build_display_labels(Workspace& workspace) {
    const Selection& selection = workspace.selection;
    DisplayState& d = workspace.display;
    std::string prefix = title_prefix(workspace);
    prefix.erase(prefix.find_last_not_of(' ') + 1);
    d.title = prefix + " " + signal_name_part(workspace);
    // An image names what it shows, where a curve's ordinate label would:
    // "Spectrogram of speech.wav,+j0", "Spectrogram of Signal A: ...".
    const bool image = selection.parameter != nullptr && selection.parameter->parameter.shape == ResultShape::image;
    if (image) {
        const bool linked = workspace.signal_mode == SignalMode::linked;
        d.title = std::string(selection.parameter->label) + " of " +
                  (linked ? signal_name_part(workspace) : d.title);
        d.listing_heading = d.title;
        return;
    }

    std::string parameter = parameter_label(selection);
    parameter.erase(parameter.find_last_not_of(' ') + 1);
    std::string ordinate = parameter + " ";
    if (workspace.options.DB) ordinate += "(dB) ";
    const bool xy = is_xy(selection);
    // A result over frequency takes the label of the spectrum's function of the mode.
    const CommandWord* function = selection.function;
    if (function != nullptr && selection.parameter != nullptr && selection.parameter->parameter.frequency_result)
        function = function_for(Domain::frequency, function->mode);
    const std::string abscissa = xy                   ? std::string(13, ' ')
                                 : function != nullptr ? std::string(function->label)
                                                       : std::string();
    const std::string after_vs = abscissa.size() >= 13 ? abscissa.substr(3, 10) : std::string(10, ' ');

    if (workspace.options.DI) {
        d.listing_heading = d.title + ": DENSITY VS " + parameter + " ";
        d.x_label = d.list_x_heading = parameter + " ";
        d.y_label = d.list_y_heading = "Density";
        return;
    }
    d.listing_heading = d.title + ": " + ordinate + abscissa;
    d.y_label = d.list_y_heading = ordinate;
    d.x_label = d.list_x_heading = after_vs;
}

void run_display(Session& session) {
    Workspace& w = session.workspace;
    Selection& selection = w.selection;
    DisplayAnswers& answers = w.display_answers;
    const SignalRef signal = current_signal(w);
    const CommandWord* parameter = selection.parameter;
    const bool reusable = parameter->parameter.reusable;
    const auto n = static_cast<std::size_t>(signal.npts);
    // Refused before the derivation asks its questions.
    const OptionSet& o = w.options;
    if (parameter->parameter.shape == ResultShape::image && (o.AV || o.DI || o.CU || o.ST)) {
        w.message_line = kImageStagesRefused;
        return;
    }

    if (reusable && selection.cache_valid && answers.cached_domain == signal.domain &&
        answers.cached_parameter == parameter) {
        std::copy_n(w.work_x.begin(), n, w.work_y.begin());
        w.display.xmin = signal.xmin;
        w.display.dx = signal.dx;
        w.display.display_count = signal.npts;
    } else {
        session.metrics = compute_signal_metrics(signal.samples(), signal.domain, grids_of(w));
        answers.cached_domain = signal.domain;
        answers.cached_parameter = parameter;
        selection.cache_valid = true;
        const Derivation result = derive(session, signal);
        if (result != Derivation::done) {
            selection.cache_valid = false;
            if (result == Derivation::invalid) w.message_line = kMissingParameters;
            return;
        }
    }

    build_display_labels(w);
    if (parameter->parameter.shape == ResultShape::image) {
        show_image(session);
        return;
    }
    DisplayState& d = w.display;
    d.averaging_length = 1;
    d.reference_power = session.metrics.energy / w.slot(Domain::frequency).dx;
    d.reference_level = level_of(d.reference_power);

    if (w.options.AV && !average_stage(session, signal)) return;
    if (w.options.DI && !distribution_stage(session)) return;
    if (w.options.CU && !cumulative_stage(session)) return;
    if (w.options.DB == 1 || w.options.DB == 2)
        to_decibels(std::span<double>(w.work_y.data(), static_cast<std::size_t>(d.display_count)), w.options.DB);
    reset_abscissa_scale(session.plot);
    statistics_stage(session, signal);
    output_stage(session);
}

}  // namespace zeph
