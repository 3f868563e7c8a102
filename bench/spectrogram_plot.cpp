// The spectrogram picture of 28,000 segments × 513 bins (14.4 M cells: 28.7 M
// samples in 1024-sample segments without overlap, or 14.3 M at half overlap):
// the colour scale's pass over every cell, and the whole picture in a
// window (open, cells thinned to the frame's pixels, colour bar, axes,
// numbers, close) at 1280 × 864 and 1920 × 1080.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "plot/spectrogram_plot.hpp"

namespace {

constexpr std::size_t kSegments = 28000, kBins = 513;

// A rising tone over a noise floor 80 dB down.
struct Cells {
    std::vector<double> time, frequency, density;
    Cells() : time(kSegments), frequency(kBins), density(kSegments * kBins) {
        for (std::size_t s = 0; s < kSegments; ++s) time[s] = 0.0125 + 0.0125 * static_cast<double>(s);
        for (std::size_t b = 0; b < kBins; ++b) frequency[b] = 40.0 * static_cast<double>(b);
        for (std::size_t s = 0; s < kSegments; ++s) {
            const double peak = 20 + 480.0 * static_cast<double>(s) / kSegments;
            for (std::size_t b = 0; b < kBins; ++b) {
                const double d = (static_cast<double>(b) - peak) / 3;
                density[s * kBins + b] = 1e-8 * (1 + 0.5 * std::sin(static_cast<double>(s * 7 + b))) + std::exp(-d * d);
            }
        }
    }
    zeph::SpectrogramCells view() const { return {time, frequency, density}; }
};

const Cells& cells() {
    static const Cells c;
    return c;
}

void BM_Scale(benchmark::State& state) {
    const zeph::SpectrogramCells c = cells().view();
    for (auto _ : state) benchmark::DoNotOptimize(zeph::spectrogram_scale(c, zeph::kDefaultDynamicRangeDb));
}
BENCHMARK(BM_Scale)->Unit(benchmark::kMillisecond);

void BM_Picture(benchmark::State& state) {
    const int width = static_cast<int>(state.range(0)), height = static_cast<int>(state.range(1));
    const zeph::SpectrogramCells c = cells().view();
    zeph::GraphicsCanvas canvas(1, 1);
    zeph::Painter painter(canvas);
    zeph::PlotSettings settings;
    const zeph::WorldRect e = zeph::spectrogram_extent(c);
    settings.x_min = e.x_min, settings.x_max = e.x_max, settings.y_min = e.y_min, settings.y_max = e.y_max;
    settings.title = "Spectrogram";
    settings.x_label = "Time";
    settings.y_label = "Frequency";
    zeph::PlotMemory memory;
    memory.screen_save.resize(zeph::screen_save_bytes(width, height));
    const zeph::PlotCall call{.overlay = false, .window_width = width, .window_height = height,
                              .pause_after_plot = false};
    zeph::SpectrogramReport report;
    for (auto _ : state) {
        const zeph::Status s = zeph::spectrogram_driver(painter, c, zeph::kDefaultDynamicRangeDb, settings, call, memory,
                                                        {}, report);
        if (!s) state.SkipWithError(s.message.c_str());
    }
}
BENCHMARK(BM_Picture)->Args({1280, 864})->Args({1920, 1080})->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
