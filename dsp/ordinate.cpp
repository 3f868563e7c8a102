#include "dsp/ordinate.hpp"

#include <algorithm>
#include <cmath>

#include "base/parallel.hpp"

namespace zeph {

void unwrapped_phase(std::span<const Complex> samples, std::span<double> phase, double unit) {
    double offset = 0.0;
    double previous = 0.0;
    for (std::size_t k = 0; k < samples.size(); ++k) {
        const Complex z = samples[k];
        double phi = (z.real() == 0.0 && z.imag() == 0.0) ? offset : std::atan2(z.imag(), z.real()) + offset;
        if (phi - previous > kPi) {
            offset -= kTwoPi;
            phi -= kTwoPi;
        } else if (previous - phi >= kPi) {
            offset += kTwoPi;
            phi += kTwoPi;
        }
        previous = phi;
        phase[k] = phi * unit;
    }
}

void centred_derivative(std::span<const double> phase, std::span<double> result, double scale) {
    const std::size_t n = phase.size();
    if (n < 3) {
        // Too few points for a centred difference: no change of phase is seen.
        std::fill(result.begin(), result.begin() + static_cast<std::ptrdiff_t>(n), 0.0);
        return;
    }
    for (std::size_t k = 1; k + 1 < n; ++k) result[k] = (phase[k + 1] - phase[k - 1]) * scale;
    result[0] = result[1];
    result[n - 1] = result[n - 2];
}

namespace {
RegressionLine solve(double n, double sum_x, double sum_y, double sum_xy, double sum_xx) {
    if (n < 2) return {};
    const double denominator = sum_xx - sum_x * sum_x / n;
    if (denominator == 0.0 || !std::isfinite(denominator)) return {};
    const double slope = (sum_xy - sum_x * sum_y / n) / denominator;
    return {slope, (sum_y - slope * sum_x) / n};
}
}  // namespace

RegressionLine fit_line_on_grid(std::span<const double> y, double x0, double dx) {
    double sum_x = 0, sum_y = 0, sum_xy = 0, sum_xx = 0;
    for (std::size_t k = 0; k < y.size(); ++k) {
        const double x = x0 + static_cast<double>(k) * dx;
        sum_x += x;
        sum_y += y[k];
        sum_xy += x * y[k];
        sum_xx += x * x;
    }
    return solve(static_cast<double>(y.size()), sum_x, sum_y, sum_xy, sum_xx);
}

RegressionLine fit_line(std::span<const double> x, std::span<const double> y) {
    double sum_x = 0, sum_y = 0, sum_xy = 0, sum_xx = 0;
    const std::size_t n = std::min(x.size(), y.size());
    for (std::size_t k = 0; k < n; ++k) {
        sum_x += x[k];
        sum_y += y[k];
        sum_xy += x[k] * y[k];
        sum_xx += x[k] * x[k];
    }
    return solve(static_cast<double>(n), sum_x, sum_y, sum_xy, sum_xx);
}

Status distribution(std::span<const double> values, int divisions, Distribution& result) {
    if (divisions > kMaxDivisions) return Status::failure(kTooManyDivisions);
    if (divisions < 1) return Status::failure(kTooFewDivisions);
    if (values.empty()) return Status::failure(kAllValuesEqual);
    const auto [low, high] = std::minmax_element(values.begin(), values.end());
    const double v_min = *low;
    const double width = (*high - v_min) / divisions;
    if (!(width > 0.0) || !std::isfinite(width)) return Status::failure(kAllValuesEqual);
    result.density.assign(static_cast<std::size_t>(divisions), 0.0);
    const double weight = 1.0 / (static_cast<double>(values.size()) * width);
    for (double v : values) {
        const double position = std::trunc((v - v_min) / width);
        const int bin = static_cast<int>(std::clamp(position, 0.0, static_cast<double>(divisions - 1)));
        result.density[static_cast<std::size_t>(bin)] += weight;
    }
    result.xmin = v_min;
    result.dx = width;
    return Status::success();
}

double cumulate(std::span<double> values, double xmin, double dx, double x1, double x2) {
    const std::size_t n = values.size();
    double total = 0.0;
    if (n == 0) return 0.0;
    auto abscissa = [xmin, dx](std::size_t k) { return xmin + static_cast<double>(k) * dx; };
    if (x1 <= x2) {
        double running = 0.0;
        for (std::size_t k = 0; k < n; ++k) {
            total += values[k];
            const double x = abscissa(k);
            if (x1 <= x && x <= x2) running += dx * values[k];
            values[k] = running;
        }
    } else {
        double running = 0.0;
        for (std::size_t k = n; k-- > 0;) {
            total += values[k];
            const double x = abscissa(k);
            if (x2 <= x && x <= x1) running += dx * values[k];
            values[k] = running;
        }
    }
    return dx * total;
}

void to_decibels(std::span<double> values, int db_kind) {
    const double factor = 10.0 * db_kind;
    const double floor = -770.0 * db_kind;
    run_blocks(static_cast<long long>(values.size()), kElementBlock, [&](long long begin, long long end) {
        for (long long k = begin; k < end; ++k) {
            double& y = values[static_cast<std::size_t>(k)];
            y = y > 0.0 ? factor * std::log10(y) : floor;
        }
    });
}

}  // namespace zeph
