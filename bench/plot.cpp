// A plot of 2^22 points with the default settings (thinned to about 512
// drawn points), off screen in the default 1280 × 864 window: the whole
// first drawing and one pan redraw, against one plain pass over the points
// (their smallest and largest value, as a range needs).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <vector>

#include "bench/plot_fixture.hpp"

namespace {

constexpr int kPoints = 1 << 22;

const std::vector<double>& curve() {
    static const std::vector<double> y = bench::test_curve(kPoints, 1e-4);
    return y;
}

void BM_PlainPass(benchmark::State& state) {
    const std::vector<double>& y = curve();
    for (auto _ : state) {
        double low = y[0], high = y[0];
        for (double v : y) {
            low = v < low ? v : low;
            high = v > high ? v : high;
        }
        benchmark::DoNotOptimize(low);
        benchmark::DoNotOptimize(high);
    }
}
BENCHMARK(BM_PlainPass)->Unit(benchmark::kMillisecond);

// Opening, frame, grids, texts, background save, numbers, curve, final save.
void BM_DrawPlot(benchmark::State& state) {
    bench::Plot plot(curve());
    const zeph::PlotCall call{.overlay = false, .window_width = bench::kWidth, .window_height = bench::kHeight,
                              .pause_after_plot = false};
    for (auto _ : state) {
        const zeph::Status s = zeph::plot_driver(plot.painter, plot.data, plot.settings, call, plot.memory, {});
        if (!s) state.SkipWithError(s.message.c_str());
    }
}
BENCHMARK(BM_DrawPlot)->Unit(benchmark::kMillisecond);

// From the Right arrow to the redrawn picture: background copy, numbers, curve.
void BM_PanRedraw(benchmark::State& state) {
    bench::Plot plot(curve());
    bench::time_pan_redraws(state, plot, [](const zeph::GraphicsCanvas&) {});
}
BENCHMARK(BM_PanRedraw)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
