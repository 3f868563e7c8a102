// A pan redraw shown inside the terminal, 80 × 50 cells: from the Right
// arrow to the encoded picture ready to write — the driver's redraw of a
// default 1280 × 864 plot, the canvas copy, the scaling to the terminal and
// libchafa's sixel or symbol encoding. Should stay within 100 ms.
#include <benchmark/benchmark.h>

#include <cmath>
#include <string>
#include <vector>

#include "bench/plot_fixture.hpp"
#include "graphics/terminal_image.hpp"

namespace {

constexpr int kPoints = 1 << 16;

const std::vector<double>& curve() {
    static const std::vector<double> y = bench::test_curve(kPoints, 3e-4);
    return y;
}

// Sixel: a terminal of 10 × 20 pixel cells (800 × 980 pixels for 49 rows);
// symbols: 80 × 50 cells.
void pan_redraw(benchmark::State& state, zeph::PlotTarget target, zeph::TerminalGeometry area) {
    bench::Plot plot(curve());
    std::size_t bytes = 0;
    bench::time_pan_redraws(state, plot, [&](const zeph::GraphicsCanvas& canvas) {
        const zeph::RgbPicture picture{canvas.width(), canvas.height(), canvas.rgb_pixels()};
        bytes = zeph::encode_terminal_picture(picture, target, area, false).size();
    });
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
