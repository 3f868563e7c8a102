// The transform-based operations at 2^20 points, each next to the transforms
// it needs, timed in the same run: CV and XC need two forward transforms and
// one inverse; AC, DX and IX one forward and one inverse. And a typed H(s)
// evaluated for 2^20 samples with the prepared formula.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "dsp/fft.hpp"
#include "dsp/filters.hpp"
#include "dsp/two_signal.hpp"
#include "input/expr/interp.hpp"
#include "input/expr/transfer_function.hpp"

namespace {

using zeph::BitReverseTable;
using zeph::Complex;

constexpr std::size_t kPoints = std::size_t{1} << 20;

std::vector<Complex> test_signal(double phase) {
    std::vector<Complex> x(kPoints);
    for (std::size_t i = 0; i < kPoints; ++i)
        x[i] = {std::sin(0.001 * static_cast<double>(i) + phase), std::cos(0.0007 * static_cast<double>(i))};
    return x;
}

// Runs `operation` on fresh copies of the two signals each pass (repeated
// operations would grow or shrink the values into overflow or denormals).
template <typename Operation>
void run_fresh(benchmark::State& state, Operation operation) {
    const std::vector<Complex> a0 = test_signal(0.0), b0 = test_signal(1.0);
    std::vector<Complex> a(kPoints), b(kPoints);
    BitReverseTable table;
    table.prepare(20);
    for (auto _ : state) {
        state.PauseTiming();
        std::copy(a0.begin(), a0.end(), a.begin());
        std::copy(b0.begin(), b0.end(), b.begin());
        state.ResumeTiming();
        operation(a, b, table);
        benchmark::DoNotOptimize(a.data());
        benchmark::DoNotOptimize(b.data());
        benchmark::ClobberMemory();
    }
}

void BM_TransformsForCvXc(benchmark::State& state) {
    run_fresh(state, [](auto& a, auto& b, BitReverseTable& table) {
        zeph::fft_forward(a, table);
        zeph::fft_forward(b, table);
        zeph::fft_inverse(a, table);
    });
}

void BM_TransformsForAcDxIx(benchmark::State& state) {
    run_fresh(state, [](auto& a, auto&, BitReverseTable& table) {
        zeph::fft_forward(a, table);
        zeph::fft_inverse(a, table);
    });
}

void BM_Convolution(benchmark::State& state) {
    run_fresh(state, [](auto& a, auto& b, BitReverseTable& table) {
        zeph::convolve(a, b, zeph::Domain::time, 0.001, table);
    });
}

void BM_CrossCorrelation(benchmark::State& state) {
    run_fresh(state, [](auto& a, auto& b, BitReverseTable& table) {
        zeph::cross_correlate(a, b, zeph::Domain::frequency, 0.001, table);
    });
}

void BM_AutoCorrelation(benchmark::State& state) {
    run_fresh(state, [](auto& a, auto&, BitReverseTable& table) { zeph::autocorrelate(a, 0.001, table); });
}

void BM_Derivative(benchmark::State& state) {
    run_fresh(state, [](auto& a, auto&, BitReverseTable& table) { zeph::differentiate(a, 0.001, table); });
}

void BM_Integral(benchmark::State& state) {
    run_fresh(state, [](auto& a, auto&, BitReverseTable& table) { zeph::integrate(a, 0.001, table); });
}

// FF with H(s) = 1/(S*S/W0**2 + S/(Q*W0) + 1) on a spectrum of 2^20 samples.
void BM_TypedTransferFunction(benchmark::State& state) {
    const std::vector<Complex> spectrum0 = test_signal(0.0);
    std::vector<Complex> spectrum(kPoints);
    zeph::Interpreter interpreter([] { return 0.0; });
    std::string message;
    interpreter.define("W0", zeph::kTwoPi * 1000.0, message);
    interpreter.define("Q", 0.7071, message);
    for (auto _ : state) {
        state.PauseTiming();
        std::copy(spectrum0.begin(), spectrum0.end(), spectrum.begin());
        state.ResumeTiming();
        zeph::TypedTransferFunction transfer(interpreter, "1/(S*S/W0**2 + S/(Q*W0) + 1)");
        const zeph::ResponseFormula response = [&transfer](double omega, Complex& h) { return transfer(omega, h); };
        const zeph::Status status = zeph::apply_response_formula(spectrum, {0.5, 0.0}, response);
        if (!status.ok) state.SkipWithError(status.message.c_str());
        benchmark::DoNotOptimize(spectrum.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(kPoints));
}

}  // namespace

BENCHMARK(BM_TransformsForCvXc)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Convolution)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CrossCorrelation)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TransformsForAcDxIx)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AutoCorrelation)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Derivative)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Integral)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TypedTransferFunction)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
