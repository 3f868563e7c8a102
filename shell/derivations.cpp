#include "shell/derivations.hpp"

#include <algorithm>
#include <cmath>
#include <vector>

#include "base/format_number.hpp"
#include "base/parallel.hpp"
#include "dsp/ordinate.hpp"
#include "dsp/statistics.hpp"

namespace zeph {

namespace {
constexpr std::string_view kRegressionLine = " LINEAR REGRESSION LINE IS Y = ";
constexpr std::string_view kContinue = "* * * <>: CONTINUE:";
constexpr int kRegressionNoticeRow = 40;

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

// A curve: work_x holds the same values as work_y.
Derivation curve_done(DeriveInput& in) {
    for_each_sample(in.y.size(), [&in](std::size_t k) { in.x[k] = in.y[k]; });
    return Derivation::done;
}

// y[k] = value(z[k]) for every sample, as a curve.
template <class PerSample>
Derivation per_sample(DeriveInput& in, PerSample value) {
    for_each_sample(in.z.size(), [&](std::size_t k) { in.y[k] = value(in.z[k]); });
    return curve_done(in);
}

Workspace& workspace_of(DeriveInput& in) { return in.session.workspace; }

// The derivative of the unwrapped phase, times `scale`.
Derivation phase_derivative(DeriveInput& in, double scale) {
    std::vector<double> phase(in.z.size());
    unwrapped_phase(in.z, phase);
    centred_derivative(phase, in.y, scale);
    return curve_done(in);
}

// The fit over the points nearest X1 and X2, limited to the signal; a
// reversed range or a single point is the empty fit.
RegressionLine fit_over_range(const SignalRef& signal, std::span<const double> phase, double x1, double x2) {
    const double n = static_cast<double>(phase.size());
    auto index = [&](double x) {
        const double i = signal.dx != 0.0 ? std::round((x - signal.xmin) / signal.dx) + 1.0 : 1.0;
        return static_cast<long long>(std::clamp(std::isnan(i) ? 1.0 : i, 1.0, std::max(n, 1.0)));
    };
    const long long i1 = index(x1), i2 = index(x2);
    if (i2 <= i1) return {};
    const auto first = static_cast<std::size_t>(i1 - 1);
    return fit_line_on_grid(phase.subspan(first, static_cast<std::size_t>(i2 - i1 + 1)),
                            signal.xmin + static_cast<double>(first) * signal.dx, signal.dx);
}

// The unwrapped phase in `unit` per radian less its regression line over the
// range the user gives; the line is shown and waits for a key.
Derivation phase_deviation(DeriveInput& in, double unit) {
    Workspace& w = workspace_of(in);
    const SignalRef& signal = in.signal;
    unwrapped_phase(in.z, in.y, unit);
    auto& answers = w.display_answers;
    std::array<double, 4> range{answers.regression_x1, answers.regression_x2, 0, 0};
    if (!in.session.ask_numbers(kRegressionRangePrompt, "/", range, 2)) return Derivation::escaped;
    answers.regression_x1 = range[0];
    answers.regression_x2 = range[1];
    const RegressionLine line = fit_over_range(signal, in.y, answers.regression_x1, answers.regression_x2);
    for (std::size_t k = 0; k < in.y.size(); ++k)
        in.y[k] -= line.intercept + line.slope * (signal.xmin + static_cast<double>(k) * signal.dx);
    curve_done(in);

    TextConsole& console = in.session.console;
    console.set_cursor(kRegressionNoticeRow, 1);
    console.print_line(regression_text(line));
    if (signal.spectrum())
        console.print_line(" GROUP DELAY = " + format_number(-line.slope / unit / kTwoPi) + " SECONDS");
    console.print_line(kContinue);
    console.present();
    in.session.wait_for_key();
    return Derivation::done;
}
}  // namespace

Derivation derive_real(DeriveInput& in) {
    return per_sample(in, [](const Complex& v) { return v.real(); });
}

Derivation derive_imaginary(DeriveInput& in) {
    return per_sample(in, [](const Complex& v) { return v.imag(); });
}

Derivation derive_product(DeriveInput& in) {
    return per_sample(in, [](const Complex& v) { return v.real() * v.imag(); });
}

Derivation derive_amplitude(DeriveInput& in) {
    return per_sample(in, [](const Complex& v) { return std::hypot(v.real(), v.imag()); });
}

Derivation derive_power(DeriveInput& in) {
    return per_sample(in, [](const Complex& v) { return std::norm(v); });
}

Derivation derive_phase_radians(DeriveInput& in) {
    unwrapped_phase(in.z, in.y);
    return curve_done(in);
}

Derivation derive_phase_degrees(DeriveInput& in) {
    unwrapped_phase(in.z, in.y, kDegreesPerRadian);
    return curve_done(in);
}

Derivation derive_weighted_sum(DeriveInput& in) {
    Workspace& w = workspace_of(in);
    auto& answers = w.display_answers;
    std::array<double, 4> weights{answers.sum_a, answers.sum_b, 0, 0};
    if (!in.session.ask_numbers(kSumPrompt, "1, -1", weights, 2)) return Derivation::escaped;
    answers.sum_a = weights[0];
    answers.sum_b = weights[1];
    const double a = answers.sum_a, b = answers.sum_b;
    return per_sample(in, [a, b](const Complex& v) { return a * v.real() + b * v.imag(); });
}

Derivation derive_real_against_imaginary(DeriveInput& in) {
    for_each_sample(in.z.size(), [&in](std::size_t k) {
        in.x[k] = in.z[k].real();
        in.y[k] = in.z[k].imag();
    });
    workspace_of(in).display.dx = 0.0;
    return Derivation::done;
}

Derivation derive_instantaneous_frequency(DeriveInput& in) {
    return phase_derivative(in, 0.5 / (workspace_of(in).slot(Domain::time).dx * kTwoPi));
}

Derivation derive_group_delay(DeriveInput& in) {
    return phase_derivative(in, -0.5 / (workspace_of(in).slot(Domain::frequency).dx * kTwoPi));
}

Derivation derive_phase_deviation_degrees(DeriveInput& in) { return phase_deviation(in, kDegreesPerRadian); }

Derivation derive_phase_deviation_radians(DeriveInput& in) { return phase_deviation(in, 1.0); }

Derivation derive_regression_of_real(DeriveInput& in) {
    const SignalRef& signal = in.signal;
    for (std::size_t k = 0; k < in.z.size(); ++k) in.y[k] = in.z[k].real();
    const RegressionLine line = fit_line_on_grid(in.y, signal.xmin, signal.dx);
    for (std::size_t k = 0; k < in.z.size(); ++k)
        in.y[k] = line.intercept + line.slope * (signal.xmin + static_cast<double>(k) * signal.dx);
    curve_done(in);
    workspace_of(in).status_line = regression_text(line);
    return Derivation::done;
}

Derivation derive_regression_of_imaginary(DeriveInput& in) {
    // Points with a NaN or infinite part are left out of the fit and the abscissa range.
    std::vector<double> re, im;
    for (const Complex& v : in.z) {
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
    const std::size_t n = in.z.size();
    const double step = (high - low) / (n < 2 ? 1.0 : static_cast<double>(n - 1));
    for (std::size_t k = 0; k < n; ++k) in.y[k] = line.intercept + line.slope * (low + static_cast<double>(k) * step);
    curve_done(in);
    Workspace& w = workspace_of(in);
    w.display.xmin = low;
    w.display.dx = step;
    w.status_line = regression_text(line);
    return Derivation::done;
}

}  // namespace zeph
