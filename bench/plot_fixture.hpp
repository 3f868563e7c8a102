#pragma once
// A default 1280 × 864 plot of a given curve, off screen, and the time of one
// pan redraw: from the Right arrow to the picture handed to `show`.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <span>
#include <utility>
#include <vector>

#include "plot/plot_driver.hpp"
#include "console/key_source.hpp"

namespace bench {

inline constexpr int kWidth = 1280, kHeight = 864;

// A slow sine (`slow` radians a point) with a fast ripple on it.
inline std::vector<double> test_curve(int points, double slow) {
    std::vector<double> v(static_cast<std::size_t>(points));
    for (int i = 0; i < points; ++i) v[static_cast<std::size_t>(i)] = std::sin(i * slow) + 0.1 * std::sin(i * 0.37);
    return v;
}

struct Plot {
    zeph::GraphicsCanvas canvas{kWidth, kHeight};
    zeph::Painter painter{canvas};
    zeph::PlotSettings settings;
    zeph::PlotMemory memory;
    zeph::PlotData data;

    explicit Plot(std::span<const double> y) {
        settings.x_min = 0;
        settings.x_max = static_cast<double>(y.size());
        settings.y_min = -1.1;
        settings.y_max = 1.1;
        settings.line_colour = 1;
        settings.title = "Waveform of  bench";
        settings.x_label = "time (sec)";
        settings.y_label = "Real Component";
        memory.screen_save.resize(zeph::screen_save_bytes(kWidth, kHeight));
        data.y = y;
    }
};

// Runs the benchmark's iterations, each a plot panned once; `show(canvas)`
// receives the panned picture and is part of the time.
template <class Show>
void time_pan_redraws(benchmark::State& state, Plot& plot, Show show) {
    using Clock = std::chrono::steady_clock;
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
        io.show = [&](const zeph::GraphicsCanvas& canvas) {
            if (keys_read == 0) return;   // the first picture is not a pan
            show(canvas);
            shown = Clock::now();
        };
        const zeph::Status s = zeph::plot_driver(plot.painter, plot.data, plot.settings, call, plot.memory, io);
        if (!s) state.SkipWithError(s.message.c_str());
        state.SetIterationTime(std::chrono::duration<double>(shown - pressed).count());
    }
}

}  // namespace bench
