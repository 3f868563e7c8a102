#include "dsp/ordinate.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

#include "base/parallel.hpp"
#include "base/vector_math.hpp"

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

std::size_t count_non_finite(std::span<const double> values) {
    return static_cast<std::size_t>(std::count_if(values.begin(), values.end(), [](double v) { return !std::isfinite(v); }));
}

std::string left_out_message(std::size_t count) {
    return std::to_string(count) + (count == 1 ? " value that is" : " values that are") +
           " NaN or infinite left out";
}

Status distribution(std::span<const double> values, int divisions, Distribution& result) {
    if (divisions > kMaxDivisions) return Status::failure(kTooManyDivisions);
    if (divisions < 1) return Status::failure(kTooFewDivisions);
    double v_min = std::numeric_limits<double>::infinity();
    double v_max = -v_min;
    std::size_t finite = 0;
    for (double v : values) {
        if (!std::isfinite(v)) continue;
        v_min = std::min(v_min, v);
        v_max = std::max(v_max, v);
        ++finite;
    }
    result.left_out = values.size() - finite;
    if (finite == 0) return Status::failure(kAllValuesEqual);
    // Halved so that the span of the largest finite values cannot overflow.
    const double half_width = (0.5 * v_max - 0.5 * v_min) / divisions;
    if (!(half_width > 0.0)) return Status::failure(kAllValuesEqual);
    result.density.assign(static_cast<std::size_t>(divisions), 0.0);
    const double width = 2.0 * half_width;   // may be infinite for values near ±DBL_MAX
    const double weight = 1.0 / (static_cast<double>(finite) * width);
    for (double v : values) {
        if (!std::isfinite(v)) continue;
        const double position = std::trunc((0.5 * v - 0.5 * v_min) / half_width);
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
    double running = 0.0;
    auto step = [&](std::size_t k, double low, double high) {
        const double v = values[k];
        if (std::isfinite(v)) {
            total += v;
            const double x = abscissa(k);
            if (low <= x && x <= high) running += dx * v;
        }
        values[k] = running;
    };
    if (x1 <= x2) {
        for (std::size_t k = 0; k < n; ++k) step(k, x1, x2);
    } else {
        for (std::size_t k = n; k-- > 0;) step(k, x2, x1);
    }
    return dx * total;
}

void to_decibels(std::span<double> values, int db_kind) {
    const double factor = 10.0 * db_kind;
    const double floor = -770.0 * db_kind;
    run_blocks(static_cast<long long>(values.size()), kElementBlock, [&](long long begin, long long end) {
        constexpr long long kChunk = 512;   // log10 by vector math, a chunk at a time
        double logarithm[kChunk];
        for (long long chunk = begin; chunk < end; chunk += kChunk) {
            double* y = values.data() + chunk;
            const auto count = static_cast<std::size_t>(std::min(kChunk, end - chunk));
            vector_apply(VectorFunction::log10, y, logarithm, count);
            for (std::size_t k = 0; k < count; ++k) y[k] = y[k] > 0.0 ? factor * logarithm[k] : floor;
        }
    });
}

}  // namespace zeph
