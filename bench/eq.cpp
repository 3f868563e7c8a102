// EQ's per-sample evaluation: a PreparedFormula (record once, replay per
// sample) against INTERP per sample and against a hand-written C++ loop that
// computes the same values, over 2^20 samples.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

#include "input/expr/interp.hpp"
#include "input/expr/prepared_formula.hpp"

namespace {

using zeph::Complex;

constexpr int kSamples = 1 << 20;
constexpr double kXmin = -1.0, kDx = 1.0 / 4096;
const std::string kFormula = "K*A + B*CMPLX(0.,SIN(PI*X))";
const std::string kRandFormula = "K*A + B*CMPLX(0.,SIN(PI*X)) + RAND(0.,1.)";

struct Signals {
    std::vector<Complex> a, b, out;
    Signals() : a(kSamples), b(kSamples), out(kSamples) {
        for (int i = 0; i < kSamples; ++i) {
            a[static_cast<std::size_t>(i)] = {std::cos(0.001 * i), std::sin(0.003 * i)};
            b[static_cast<std::size_t>(i)] = {0.5 + 0.25 * std::sin(0.002 * i), -0.125};
        }
    }
};

Signals& signals() {
    static Signals s;
    return s;
}

void make_interpreter(zeph::Interpreter& interp) {
    std::string message;
    Complex r;
    interp.set_random_seed(12345);
    interp.evaluate("K=2.5", r, message);
}

// EQ's loop: A, B, X set per sample, X accumulated by repeated addition.
void run_prepared(benchmark::State& state, const std::string& formula) {
    Signals& s = signals();
    zeph::Interpreter interp;
    make_interpreter(interp);
    for (auto _ : state) {
        zeph::PreparedFormula prepared(interp, formula);
        std::string message;
        double x = kXmin - kDx;
        for (int i = 0; i < kSamples; ++i) {
            x += kDx;
            const auto k = static_cast<std::size_t>(i);
            if (prepared.evaluate_sample(s.a[k], s.b[k], {x, 0}, s.out[k], message) != zeph::InterpStatus::ok) {
                state.SkipWithError(message.c_str());
                return;
            }
        }
        benchmark::DoNotOptimize(s.out.data());
    }
    state.SetItemsProcessed(state.iterations() * kSamples);
}

void run_interp(benchmark::State& state, const std::string& formula) {
    Signals& s = signals();
    zeph::Interpreter interp;
    make_interpreter(interp);
    const int n = kSamples / 64;   // INTERP per sample is slow; per-sample time is what counts
    for (auto _ : state) {
        std::string message;
        double x = kXmin - kDx;
        for (int i = 0; i < n; ++i) {
            x += kDx;
            const auto k = static_cast<std::size_t>(i);
            interp.set_slot(4, s.a[k]);
            interp.set_slot(5, s.b[k]);
            interp.set_slot(6, {x, 0});
            if (interp.evaluate(formula, s.out[k], message) != zeph::InterpStatus::ok) {
                state.SkipWithError(message.c_str());
                return;
            }
        }
        benchmark::DoNotOptimize(s.out.data());
    }
    state.SetItemsProcessed(state.iterations() * n);
}

void BM_EqPrepared(benchmark::State& state) { run_prepared(state, kFormula); }
void BM_EqPreparedRand(benchmark::State& state) { run_prepared(state, kRandFormula); }
void BM_EqInterpPerSample(benchmark::State& state) { run_interp(state, kFormula); }
void BM_EqInterpPerSampleRand(benchmark::State& state) { run_interp(state, kRandFormula); }

void BM_EqHandWritten(benchmark::State& state) {
    Signals& s = signals();
    const Complex k{2.5, 0};
    for (auto _ : state) {
        double x = kXmin - kDx;
        for (int i = 0; i < kSamples; ++i) {
            x += kDx;
            const auto j = static_cast<std::size_t>(i);
            s.out[j] = k * s.a[j] + s.b[j] * Complex(0, std::sin(zeph::kPi * x));
        }
        benchmark::DoNotOptimize(s.out.data());
    }
    state.SetItemsProcessed(state.iterations() * kSamples);
}

void BM_EqHandWrittenRand(benchmark::State& state) {
    Signals& s = signals();
    const Complex k{2.5, 0};
    std::uint32_t seed = 12345;
    for (auto _ : state) {
        double x = kXmin - kDx;
        for (int i = 0; i < kSamples; ++i) {
            x += kDx;
            const auto j = static_cast<std::size_t>(i);
            seed = seed * 69069u + 1u;
            const double u = seed * 0x1p-32;
            s.out[j] = k * s.a[j] + s.b[j] * Complex(0, std::sin(zeph::kPi * x)) + Complex(u, 0);
        }
        benchmark::DoNotOptimize(s.out.data());
    }
    state.SetItemsProcessed(state.iterations() * kSamples);
}

// The prepared and hand-written loops must compute the same values.
void BM_EqCheck(benchmark::State& state) {
    Signals& s = signals();
    zeph::Interpreter interp;
    make_interpreter(interp);
    zeph::PreparedFormula prepared(interp, kFormula);
    double worst = 0;
    for (auto _ : state) {
        std::string message;
        double x = kXmin - kDx;
        for (int i = 0; i < kSamples; ++i) {
            x += kDx;
            const auto j = static_cast<std::size_t>(i);
            Complex value;
            prepared.evaluate_sample(s.a[j], s.b[j], {x, 0}, value, message);
            const Complex hand = Complex{2.5, 0} * s.a[j] + s.b[j] * Complex(0, std::sin(zeph::kPi * x));
            worst = std::max(worst, std::abs(value - hand));
        }
    }
    state.counters["max_abs_diff"] = worst;
}

// EQ alone over a whole signal (evaluate_samples, as the command runs it):
// X from 0 in steps of 1/n, no A or B; ns per sample = 1e9 / items_per_second.
// Argument 0: the number of samples; argument 1: the threads (ZEPH_THREADS).
const std::string kSignalFormula = "SIN(TWOPI*50*X)*EXP(-X)+GAUSS(1)";
const std::string kSignalFormulaNormal = "SIN(TWOPI*50*X)*EXP(-X)+GAUSS(0.,1.)";

// `b`: signal B (empty: none); `dx` 0: 1/n.
void run_signal(benchmark::State& state, const std::string& formula, double dx = 0,
                std::span<const Complex> b = {}) {
    const auto n = static_cast<std::size_t>(state.range(0));
    std::vector<Complex> out(n);
    zeph::Interpreter interp;
    make_interpreter(interp);
    std::string message;
    Complex ignored;
    interp.evaluate("K=CMPLX(2.,.5)", ignored, message);
    const std::string threads = std::to_string(state.range(1));
    setenv("ZEPH_THREADS", threads.c_str(), 1);
    for (auto _ : state) {
        zeph::PreparedFormula prepared(interp, formula);
        if (prepared.evaluate_samples({}, b, 0.0, dx != 0 ? dx : 1.0 / static_cast<double>(n), out, message) != zeph::InterpStatus::ok) {
            state.SkipWithError(message.c_str());
            break;
        }
        benchmark::DoNotOptimize(out.data());
    }
    unsetenv("ZEPH_THREADS");
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(n));
}

// The session of perf/compare_zeph.sh: B = COS(TWOPI*50.*X), then
// A = K*A + B*CMPLX(0.,SIN(PI*X)) with A absent, X in steps of 1/1024.
constexpr double kSessionDx = 0.0009765625;
void BM_EqSessionB(benchmark::State& state) { run_signal(state, "COS(TWOPI*50.*X)", kSessionDx); }
void BM_EqSessionA(benchmark::State& state) {
    const auto n = static_cast<std::size_t>(state.range(0));
    std::vector<Complex> b(n);
    double x = -kSessionDx;
    for (Complex& value : b) value = {std::cos(zeph::kTwoPi * 50. * (x += kSessionDx)), 0};
    run_signal(state, "K*A + B*CMPLX(0.,SIN(PI*X))", kSessionDx, b);
}

// The same samples one by one through evaluate_sample (the replay per
// sample, as EQ ran before blocks): the reference for the speed-up.
void BM_EqSignalPerSample(benchmark::State& state) {
    const auto n = static_cast<std::size_t>(state.range(0));
    std::vector<Complex> out(n);
    zeph::Interpreter interp;
    make_interpreter(interp);
    for (auto _ : state) {
        zeph::PreparedFormula prepared(interp, kSignalFormula);
        std::string message;
        double x = -1.0 / static_cast<double>(n);
        for (std::size_t i = 0; i < n; ++i) {
            x += 1.0 / static_cast<double>(n);
            if (prepared.evaluate_sample({}, {}, {x, 0}, out[i], message) != zeph::InterpStatus::ok) {
                state.SkipWithError(message.c_str());
                return;
            }
        }
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(n));
}

void BM_EqSignal(benchmark::State& state) { run_signal(state, kSignalFormula); }
void BM_EqSignalNormal(benchmark::State& state) { run_signal(state, kSignalFormulaNormal); }

}  // namespace

BENCHMARK(BM_EqSignal)->Args({1 << 20, 1})->Args({1 << 24, 1})->Args({1 << 20, 2})->Args({1 << 24, 2})
    ->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_EqSessionB)->Args({1 << 20, 1})->Args({1 << 24, 1})->Args({1 << 20, 2})->Args({1 << 24, 2})
    ->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_EqSessionA)->Args({1 << 20, 1})->Args({1 << 24, 1})->Args({1 << 20, 2})->Args({1 << 24, 2})
    ->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_EqSignalPerSample)->Arg(1 << 20)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_EqSignalNormal)->Args({1 << 20, 1})->Args({1 << 24, 1})->Args({1 << 20, 2})->Args({1 << 24, 2})
    ->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_EqHandWritten)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EqPrepared)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EqHandWrittenRand)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EqPreparedRand)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EqInterpPerSample)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EqInterpPerSampleRand)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EqCheck)->Iterations(1)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
