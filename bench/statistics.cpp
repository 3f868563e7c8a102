// The statistics of an SP PO DB display over 2^20 points — the figures call
// on the spectrum, then the ordinate statistics and adjacent-channel power of
// the dB values — against one hand-written fused loop computing the same
// sums. Two grids: 0.1 Hz steps (±52 kHz, every value near some channel) and
// 1 Hz steps (±524 kHz, few values near a channel).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "dsp/ordinate.hpp"
#include "dsp/statistics.hpp"

namespace {

using zeph::Complex;

constexpr int kPoints = 1 << 20;

struct Display {
    std::vector<Complex> spectrum;
    std::vector<double> levels_db;   // 10·log10 |Y|²
    zeph::SignalGrids grids;
};

Display make_display(double df) {
    Display d;
    std::mt19937 generator(1);
    std::normal_distribution<double> normal(0.0, 1.0);
    d.spectrum.resize(kPoints);
    d.levels_db.resize(kPoints);
    for (int i = 0; i < kPoints; ++i) {
        const Complex y(normal(generator), normal(generator));
        d.spectrum[static_cast<std::size_t>(i)] = y;
        const double power = std::norm(y);
        d.levels_db[static_cast<std::size_t>(i)] = power > 0 ? 10 * std::log10(power) : -770.0;
    }
    d.grids = {0.0, 1.0 / (kPoints * df), -(kPoints / 2) * df, df};
    return d;
}

void BM_StatisticsPath(benchmark::State& state) {
    const Display d = make_display(state.range(0) / 10.0);
    zeph::StatisticsReport report;
    report.domain = zeph::Domain::frequency;
    report.power_parameter = true;
    report.options.db = true;
    report.grids = d.grids;
    for (auto _ : state) {
        report.metrics = zeph::compute_signal_metrics(d.spectrum, zeph::Domain::frequency, d.grids);
        zeph::add_ordinate_figures(report, d.levels_db);
        benchmark::DoNotOptimize(report);
    }
}

// The same sums in the most direct form: one loop over the samples, one over
// the levels testing every channel at every value.
struct HandResult {
    double energy, y0, minimum, maximum, sum, sum_abs, sum_squares, p0;
    double channel[4];
};

double mask(double d, double flat_end, double ramp_end, double steep_end, double slope) {
    if (d <= flat_end) return 2.0;
    if (d <= ramp_end) return 2.0 + slope * (d - flat_end);
    if (d <= steep_end) return 6.0 + 16.0 * (d - ramp_end);
    return 26.0 + 16.0 * (d - steep_end);
}

HandResult hand_loop(const Display& d) {
    HandResult r{};
    for (const Complex& y : d.spectrum) r.energy += y.real() * y.real() + y.imag() * y.imag();
    r.energy *= d.grids.df;
    r.y0 = std::norm(d.spectrum[kPoints / 2]);
    r.minimum = r.maximum = d.levels_db[0];
    constexpr double centre[4] = {-12.5, 12.5, -25.0, 25.0};
    constexpr double to_natural = 0.23025850929940458;   // ln(10)/10
    for (int k = 0; k < kPoints; ++k) {
        const double y = d.levels_db[static_cast<std::size_t>(k)];
        r.minimum = std::min(r.minimum, y);
        r.maximum = std::max(r.maximum, y);
        r.sum += y;
        r.sum_abs += std::fabs(y);
        r.sum_squares += y * y;
        r.p0 += std::exp((y - 2) * to_natural);
        const double f = (k * d.grids.df + d.grids.fmin) / 1000;
        for (int c = 0; c < 4; ++c) {
            const double distance = std::fabs(f - centre[c]);
            const double a = c < 2 ? mask(distance, 3, 4.25, 5.5, 3.2) : mask(distance, 5, 8, 9.25, 4.0 / 3);
            if (a <= 200) r.channel[c] += std::exp((y - a) * to_natural);
        }
    }
    return r;
}

void BM_HandLoop(benchmark::State& state) {
    const Display d = make_display(state.range(0) / 10.0);
    for (auto _ : state) {
        HandResult r = hand_loop(d);
        benchmark::DoNotOptimize(r);
    }
}

// The derivation of the power and its decibels, as the display runs them
// (the power of every sample into the work array, then the dB conversion),
// against one fused hand loop.
void BM_PowerAndDecibels(benchmark::State& state) {
    const Display d = make_display(1.0);
    std::vector<double> y(kPoints);
    for (auto _ : state) {
        for (std::size_t k = 0; k < y.size(); ++k) y[k] = std::norm(d.spectrum[k]);
        zeph::to_decibels(y, 1);
        benchmark::DoNotOptimize(y.data());
    }
}

void BM_HandPowerAndDecibels(benchmark::State& state) {
    const Display d = make_display(1.0);
    std::vector<double> y(kPoints);
    for (auto _ : state) {
        for (std::size_t k = 0; k < y.size(); ++k) {
            const double p = d.spectrum[k].real() * d.spectrum[k].real() + d.spectrum[k].imag() * d.spectrum[k].imag();
            y[k] = p > 0 ? 10.0 * std::log10(p) : -770.0;
        }
        benchmark::DoNotOptimize(y.data());
    }
}
BENCHMARK(BM_PowerAndDecibels)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HandPowerAndDecibels)->Unit(benchmark::kMillisecond);

// Argument: DF in tenths of a hertz.
BENCHMARK(BM_StatisticsPath)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HandLoop)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
