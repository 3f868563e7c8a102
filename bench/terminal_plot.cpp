// A pan redraw shown inside the terminal, 80 × 50 cells: from the Right
// arrow to the encoded picture ready to write — the driver's redraw of a
// default 1280 × 864 plot, the canvas copy, the scaling to the terminal and
// libchafa's sixel or symbol encoding. Should stay within 100 ms.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <string>
#include <vector>

#include "plot/plot_driver.hpp"
#include "window/key_source.hpp"
#include "window/terminal_image.hpp"

namespace {

constexpr int kPoints = 1 << 16;
constexpr int kWidth = 1280, kHeight = 864;

struct Plot {
    zeph::GraphicsCanvas canvas{kWidth, kHeight};
    zeph::Painter painter{canvas};
    zeph::PlotSettings settings;
    zeph::PlotMemory memory;
    zeph::PlotData data;
    std::vector<double> y;

    Plot() : y(kPoints) {
        for (int i = 0; i < kPoints; ++i) y[static_cast<std::size_t>(i)] = std::sin(i * 3e-4) + 0.1 * std::sin(i * 0.37);
        settings.x_min = 0;
        settings.x_max = kPoints;
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

// Sixel: a terminal of 10 × 20 pixel cells (800 × 980 pixels for 49 rows);
// symbols: 80 × 50 cells.
void pan_redraw(benchmark::State& state, zeph::PlotTarget target, zeph::TerminalGeometry area) {
    using Clock = std::chrono::steady_clock;
    Plot plot;
    const zeph::PlotCall call{.overlay = false, .window_width = kWidth, .window_height = kHeight,
                              .pause_after_plot = true};
    std::size_t bytes = 0;
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
            const zeph::RgbPicture picture{canvas.width(), canvas.height(), canvas.rgb_pixels()};
            bytes = zeph::encode_terminal_picture(picture, target, area, false).size();
            shown = Clock::now();
        };
        const zeph::Status s = zeph::plot_driver(plot.painter, plot.data, plot.settings, call, plot.memory, io);
        if (!s) state.SkipWithError(s.message.c_str());
        state.SetIterationTime(std::chrono::duration<double>(shown - pressed).count());
    }
    state.counters["bytes"] = static_cast<double>(bytes);
}

void BM_PanRedrawSixel(benchmark::State& state) {
    pan_redraw(state, zeph::PlotTarget::Sixel, {.columns = 80, .rows = 49, .cell_width = 10, .cell_height = 20});
}
BENCHMARK(BM_PanRedrawSixel)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_PanRedrawSymbols(benchmark::State& state) {
    pan_redraw(state, zeph::PlotTarget::Symbols, {.columns = 80, .rows = 50, .cell_width = 8, .cell_height = 16});
}
BENCHMARK(BM_PanRedrawSymbols)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
