#include "shell/display.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <span>

#include "base/private_file.hpp"
#include "dsp/linear_transform.hpp"
#include "dsp/ordinate.hpp"
#include "dsp/statistics.hpp"
#include "base/format_number.hpp"
#include "base/parallel.hpp"
#include "shell/command_words.hpp"
#include "shell/file_output_dialogue.hpp"
#include "shell/listing.hpp"
#include "shell/plot_dialogue.hpp"

namespace zeph {

namespace {
constexpr std::string_view kRegressionLine = " LINEAR REGRESSION LINE IS Y = ";
constexpr std::string_view kContinue = "* * * <>: CONTINUE:";
constexpr int kRegressionNoticeRow = 40;

enum class Derivation { done, invalid, escaped };

bool is_one_of(const std::string& code, std::initializer_list<std::string_view> codes) {
    for (auto c : codes)
        if (code == c) return true;
    return false;
}

double level_of(double power) { return power > 0.0 ? 10.0 * std::log10(power) : kPowerFloorDb; }

std::string regression_text(const RegressionLine& line) {
    return std::string(kRegressionLine) + format_number(line.slope) + "*X + " + format_number(line.intercept);
}

// Calls value(k) for every k < n, shared between the worker threads: for
// derivations where each value depends on its own sample only, so every
// thread count gives the same bytes.
template <class PerSample>
void for_each_sample(std::size_t n, PerSample value) {
    run_blocks(static_cast<long long>(n), kElementBlock, [&](long long begin, long long end) {
        for (auto k = static_cast<std::size_t>(begin); k < static_cast<std::size_t>(end); ++k) value(k);
    });
}

// The derivation of work_y (and the same values in work_x) from the signal.
class Deriver {
public:
    Deriver(Session& session, SignalView signal) : session_(session), w_(session.workspace), signal_(signal) {}

    Derivation run() {
        const std::string& parameter = w_.selection.parameter_code;
        const std::size_t n = static_cast<std::size_t>(signal_.npts);
        std::span<const Complex> z(signal_.samples, n);
        std::span<double> y(w_.work_y.data(), n);
        std::span<double> x(w_.work_x.data(), n);
        w_.display.xmin = signal_.xmin;
        w_.display.dx = signal_.dx;
        if (parameter == "RE") for_each_sample(n, [&](std::size_t k) { y[k] = z[k].real(); });
        else if (parameter == "IM") for_each_sample(n, [&](std::size_t k) { y[k] = z[k].imag(); });
        else if (parameter == "PR") for_each_sample(n, [&](std::size_t k) { y[k] = z[k].real() * z[k].imag(); });
        else if (parameter == "AM") for_each_sample(n, [&](std::size_t k) { y[k] = std::hypot(z[k].real(), z[k].imag()); });
        else if (parameter == "PO") for_each_sample(n, [&](std::size_t k) { y[k] = std::norm(z[k]); });
        else if (parameter == "RP") unwrapped_phase(z, y);
        else if (parameter == "DP") unwrapped_phase(z, y, kDegreesPerRadian);
        else if (parameter == "SU") return weighted_sum(z, y);
        else if (parameter == "XY") return real_against_imaginary(z, x, y);
        else if (parameter == "IN" || parameter == "GR") return phase_derivative(z, y);
        else if (parameter == "DD" || parameter == "RD") return deviation_from_line(z, y);
        else if (parameter == "RX") return regression_of_real(z, y);
        else if (parameter == "RR") return regression_of_imaginary(z, y);
        else return Derivation::invalid;
        copy_to_work_x(n);
        return Derivation::done;
    }

private:
    void copy_to_work_x(std::size_t n) {
        for_each_sample(n, [this](std::size_t k) { w_.work_x[k] = w_.work_y[k]; });
    }

    Derivation weighted_sum(std::span<const Complex> z, std::span<double> y) {
        auto& answers = w_.display_answers;
        PromptRequest request{.title = w_.status_line, .prompt = kSumPrompt, .default_reply = "1, -1", .mode = 'N',
                              .value_count = 2, .values = {answers.sum_a, answers.sum_b, 0, 0}};
        if (!session_.ask(request)) return Derivation::escaped;
        answers.sum_a = request.values[0];
        answers.sum_b = request.values[1];
        const double a = answers.sum_a, b = answers.sum_b;
        for_each_sample(z.size(), [&](std::size_t k) { y[k] = a * z[k].real() + b * z[k].imag(); });
        copy_to_work_x(z.size());
        return Derivation::done;
    }

    Derivation real_against_imaginary(std::span<const Complex> z, std::span<double> x, std::span<double> y) {
        for_each_sample(z.size(), [&](std::size_t k) {
            x[k] = z[k].real();
            y[k] = z[k].imag();
        });
        w_.display.dx = 0.0;
        return Derivation::done;
    }

    Derivation phase_derivative(std::span<const Complex> z, std::span<double> y) {
        const bool frequency = w_.selection.parameter_code == "IN";
        if (frequency == signal_.spectrum) return Derivation::invalid;   // IN of a spectrum, GR of a waveform
        std::vector<double> phase(z.size());
        unwrapped_phase(z, phase);
        const double scale = frequency ? 0.5 / (w_.slot(Domain::time).dx * kTwoPi)
                                       : -0.5 / (w_.slot(Domain::frequency).dx * kTwoPi);
        centred_derivative(phase, y, scale);
        copy_to_work_x(z.size());
        return Derivation::done;
    }

    Derivation deviation_from_line(std::span<const Complex> z, std::span<double> y) {
        const double unit = w_.selection.parameter_code == "DD" ? kDegreesPerRadian : 1.0;
        unwrapped_phase(z, y, unit);
        auto& answers = w_.display_answers;
        PromptRequest request{.title = w_.status_line, .prompt = kRegressionRangePrompt, .default_reply = "/",
                              .mode = 'N', .value_count = 2,
                              .values = {answers.regression_x1, answers.regression_x2, 0, 0}};
        if (!session_.ask(request)) return Derivation::escaped;
        answers.regression_x1 = request.values[0];
        answers.regression_x2 = request.values[1];
        const RegressionLine line = fit_over_range(y, answers.regression_x1, answers.regression_x2);
        for (std::size_t k = 0; k < y.size(); ++k)
            y[k] -= line.intercept + line.slope * (signal_.xmin + static_cast<double>(k) * signal_.dx);
        copy_to_work_x(z.size());

        TextConsole& console = session_.console;
        console.set_cursor(kRegressionNoticeRow, 1);
        console.print_line(regression_text(line));
        if (signal_.spectrum)
            console.print_line(" GROUP DELAY = " + format_number(-line.slope / unit / kTwoPi) + " SECONDS");
        console.print_line(kContinue);
        console.present();
        session_.wait_for_key();
        return Derivation::done;
    }

    // The fit over the points nearest X1 and X2, limited to the signal; a
    // reversed range or a single point is the empty fit.
    RegressionLine fit_over_range(std::span<const double> phase, double x1, double x2) const {
        const double n = static_cast<double>(phase.size());
        auto index = [&](double x) {
            const double i = signal_.dx != 0.0 ? std::round((x - signal_.xmin) / signal_.dx) + 1.0 : 1.0;
            return static_cast<long long>(std::clamp(std::isnan(i) ? 1.0 : i, 1.0, std::max(n, 1.0)));
        };
        const long long i1 = index(x1), i2 = index(x2);
        if (i2 <= i1) return {};
        const auto first = static_cast<std::size_t>(i1 - 1);
        return fit_line_on_grid(phase.subspan(first, static_cast<std::size_t>(i2 - i1 + 1)),
                                signal_.xmin + static_cast<double>(first) * signal_.dx, signal_.dx);
    }

    Derivation regression_of_real(std::span<const Complex> z, std::span<double> y) {
        for (std::size_t k = 0; k < z.size(); ++k) y[k] = z[k].real();
        const RegressionLine line = fit_line_on_grid(y, signal_.xmin, signal_.dx);
        for (std::size_t k = 0; k < z.size(); ++k)
            y[k] = line.intercept + line.slope * (signal_.xmin + static_cast<double>(k) * signal_.dx);
        copy_to_work_x(z.size());
        w_.status_line = regression_text(line);
        return Derivation::done;
    }

    Derivation regression_of_imaginary(std::span<const Complex> z, std::span<double> y) {
        // Points with a NaN or infinite part are left out of the fit and the abscissa range.
        std::vector<double> re, im;
        for (const Complex& v : z) {
            if (!std::isfinite(v.real()) || !std::isfinite(v.imag())) continue;
            re.push_back(v.real());
            im.push_back(v.imag());
        }
        const RegressionLine line = fit_line(re, im);
        double low = 0.0, high = 0.0;
        if (!re.empty()) {
            const auto [min_it, max_it] = std::minmax_element(re.begin(), re.end());
            low = *min_it;
            high = *max_it;
        }
        const double step = (high - low) / (z.size() < 2 ? 1.0 : static_cast<double>(z.size() - 1));
        for (std::size_t k = 0; k < z.size(); ++k) y[k] = line.intercept + line.slope * (low + static_cast<double>(k) * step);
        copy_to_work_x(z.size());
        w_.display.xmin = low;
        w_.display.dx = step;
        w_.status_line = regression_text(line);
        return Derivation::done;
    }

    Session& session_;
    Workspace& w_;
    SignalView signal_;
};

StatisticsDomain domain_of(const SignalView& signal) {
    return signal.spectrum ? StatisticsDomain::frequency : StatisticsDomain::time;
}

SignalGrids grids_of(const Workspace& w) {
    const SignalSlot& time = w.slot(Domain::time);
    const SignalSlot& frequency = w.slot(Domain::frequency);
    return {time.xmin, time.dx, frequency.xmin, frequency.dx};
}

bool average_stage(Session& session, const SignalView& signal) {
    Workspace& w = session.workspace;
    if (w.selection.parameter_code == "XY") {
        w.message_line = kAveragingWithXy;
        return false;
    }
    double& span = signal.spectrum ? w.display_answers.averaging_bandwidth : w.display_answers.averaging_time;
    PromptRequest request{.title = w.status_line,
                          .prompt = signal.spectrum ? kAveragingBandwidthPrompt : kAveragingTimePrompt,
                          .default_reply = "/", .mode = 'N', .value_count = 1, .values = {span, 0, 0, 0}};
    if (!session.ask(request)) return false;
    span = request.values[0];
    const auto n = static_cast<std::size_t>(w.display.display_count);
    const double dx = w.slot(signal.domain()).dx;
    const MovingAverage average =
        average_ordinate(std::span<const double>(w.work_x.data(), n), std::span<double>(w.work_y.data(), n), span, dx);
    w.display.averaging_length = average.length;
    w.display.reference_power = session.metrics.energy / w.slot(Domain::frequency).dx / average.length;
    w.display.reference_level = level_of(w.display.reference_power);
    return true;
}

bool distribution_stage(Session& session) {
    Workspace& w = session.workspace;
    PromptRequest request{.title = w.status_line, .prompt = kDivisionsPrompt, .default_reply = "/", .mode = 'N',
                          .value_count = 1, .values = {w.display_answers.divisions, 0, 0, 0}};
    if (!session.ask(request)) return false;
    w.display_answers.divisions = request.values[0];
    const double rounded = std::round(request.values[0]);
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
    PromptRequest request{.title = w.status_line, .prompt = kCumulativePrompt,
                          .current = w.display_answers.cumulative_range, .default_reply = "XMIN, XMAX",
                          .mode = 'C', .value_count = 2};
    if (!session.ask(request)) return false;
    w.display_answers.cumulative_range = request.current;
    const std::span<const double> values(w.work_y.data(), static_cast<std::size_t>(d.display_count));
    if (const std::size_t left_out = count_non_finite(values); left_out > 0)
        w.message_line = left_out_message(left_out);
    session.cumulative_total = cumulate(std::span<double>(w.work_y.data(), static_cast<std::size_t>(d.display_count)),
                                        d.xmin, d.dx, request.values[0], request.values[1]);
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

void statistics_stage(Session& session, const SignalView& signal) {
    Workspace& w = session.workspace;
    if (!w.options.ST) return;
    StatisticsReport report;
    report.description = w.status_line;
    report.ordinate_name = w.selection.parameter_label;
    report.domain = domain_of(signal);
    report.power_parameter = w.selection.parameter_code == "PO";
    report.options = {w.options.DB != 0, w.options.AV != 0, w.options.DI != 0, w.options.CU != 0, w.options.SS != 0};
    report.averaging_length = w.display.averaging_length;
    report.reference_power = w.display.reference_power;
    report.reference_level_db = w.display.reference_level;
    report.grids = grids_of(w);
    report.metrics = session.metrics;
    add_ordinate_figures(report,
                         std::span<const double>(w.work_y.data(), static_cast<std::size_t>(w.display.display_count)));
    if (w.options.SS) append_statistics_file(session, format_statistics_report(report, ReportDestination::statistics_file));
    TextConsole& console = session.console;
    console.clear();
    for (const std::string& line : format_statistics_report(report, ReportDestination::text_window))
        console.print_line(line);
    console.present();
    session.wait_for_key();
    console.clear();
}

void output_stage(Session& session) {
    Workspace& w = session.workspace;
    if (w.options.PL) plot_dialogue(session, session.plot);
    else if (w.options.FI) file_output_dialogue(session);
    else if (w.options.LI) list_display(session);
}
}  // namespace

void build_display_labels(Workspace& workspace) {
    const Selection& selection = workspace.selection;
    DisplayState& d = workspace.display;
    std::string prefix = title_prefix(workspace);
    prefix.erase(prefix.find_last_not_of(' ') + 1);
    d.title = prefix + " " + signal_name_part(workspace);

    std::string parameter = selection.parameter_label;
    parameter.erase(parameter.find_last_not_of(' ') + 1);
    std::string ordinate = parameter + " ";
    if (workspace.options.DB) ordinate += "(dB) ";
    const bool xy = selection.parameter_code == "XY";
    const std::string abscissa = xy ? std::string(13, ' ') : selection.abscissa_label;
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
    const SignalView signal = current_signal(w);
    const std::string& parameter = selection.parameter_code;
    const bool reusable = !is_one_of(parameter, {"RX", "RR", "XY", "DD", "RD"});
    const auto n = static_cast<std::size_t>(signal.npts);

    if (reusable && selection.cache_valid && answers.cached_function == selection.function_code &&
        answers.cached_parameter == parameter) {
        std::copy_n(w.work_x.begin(), n, w.work_y.begin());
        w.display.xmin = signal.xmin;
        w.display.dx = signal.dx;
    } else {
        session.metrics = compute_signal_metrics(std::span<const Complex>(signal.samples, n), domain_of(signal),
                                                 grids_of(w));
        answers.cached_function = selection.function_code;
        answers.cached_parameter = parameter;
        selection.cache_valid = true;
        const Derivation result = Deriver(session, signal).run();
        if (result != Derivation::done) {
            selection.cache_valid = false;
            if (result == Derivation::invalid) w.message_line = kMissingParameters;
            return;
        }
    }

    build_display_labels(w);
    DisplayState& d = w.display;
    d.display_count = signal.npts;
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
