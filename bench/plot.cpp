// A plot of 2^22 points with the default settings (thinned to about 512
// drawn points), off screen in the default 1280 × 864 window: the whole
// first drawing and one pan redraw, against one plain pass over the points
// (their smallest and largest value, as a range needs).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <vector>

#include "plot/plot_driver.hpp"
#include "window/key_source.hpp"

namespace {

constexpr int kPoints = 1 << 22;
constexpr int kWidth = 1280, kHeight = 864;

const std::vector<double>& curve() {
    static const std::vector<double> y = [] {
        std::vector<double> v(kPoints);
        for (int i = 0; i < kPoints; ++i) v[static_cast<std::size_t>(i)] = std::sin(i * 1e-4) + 0.1 * std::sin(i * 0.37);
        return v;
    }();
    return y;
}

struct Plot {
    zeph::GraphicsCanvas canvas{kWidth, kHeight};
    zeph::Painter painter{canvas};
    zeph::PlotSettings settings;
    zeph::PlotMemory memory;
    zeph::PlotData data;

    Plot() {
        settings.x_min = 0;
        settings.x_max = kPoints;
        settings.y_min = -1.1;
        settings.y_max = 1.1;
        settings.line_colour = 1;
        settings.title = "Waveform of  bench";
        settings.x_label = "time (sec)";
        settings.y_label = "Real Component";
        memory.screen_save.resize(zeph::screen_save_bytes(kWidth, kHeight));
        data.y = curve();
    }
};

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
    Plot plot;
    const zeph::PlotCall call{.overlay = false, .window_width = kWidth, .window_height = kHeight,
                              .pause_after_plot = false};
    for (auto _ : state) {
        const zeph::Status s = zeph::plot_driver(plot.painter, plot.data, plot.settings, call, plot.memory, {});
        if (!s) state.SkipWithError(s.message.c_str());
    }
}
BENCHMARK(BM_DrawPlot)->Unit(benchmark::kMillisecond);

// From the Right arrow to the redrawn picture: background copy, numbers, curve.
void BM_PanRedraw(benchmark::State& state) {
    using Clock = std::chrono::steady_clock;
    Plot plot;
    const zeph::PlotCall call{.overlay = false, .window_width = kWidth, .window_height = kHeight,
                              .pause_after_plot = true};
    for (auto _ : state) {
        int keys_read = 0;
        Clock::time_point pressed, shown;
        zeph::PlotIo io;
        io.read_key = [&] {
            const int keys[] = {zeph::kKeyExtended, zeph::kKeyRight, zeph::kKeyEscape};
            if (keys_read == 0) pressed = Clock::now();
            return keys[keys_read++];
        };
        io.show = [&](const zeph::GraphicsCanvas&) { shown = Clock::now(); };
        const zeph::Status s = zeph::plot_driver(plot.painter, plot.data, plot.settings, call, plot.memory, io);
        if (!s) state.SkipWithError(s.message.c_str());
        state.SetIterationTime(std::chrono::duration<double>(shown - pressed).count());
    }
}
BENCHMARK(BM_PanRedraw)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
