// fft_forward against FFTW3 (FFTW_ESTIMATE plan, in place) at N = 2^10 … 2^22.
//
// Before timing, both transforms of the same random signal are compared at
// several N, up to 2^22: the run stops with an error when they differ by more
// than 1e-12 of the largest magnitude. After the runs a table gives the ratio
// ours/FFTW per N in CPU time, which other processes on a shared machine
// disturb less than wall time (medians when --benchmark_repetitions > 1).
#include <benchmark/benchmark.h>
#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "dsp/fft.hpp"

namespace {

using zeph::Complex;

constexpr int kFirstLog2 = 10;
constexpr int kLastLog2 = 22;

std::vector<Complex> random_signal(std::size_t n) {
    std::mt19937 generator(12345);
    std::uniform_real_distribution<double> uniform(-1.0, 1.0);
    std::vector<Complex> x(n);
    for (Complex& v : x) v = Complex(uniform(generator), uniform(generator));
    return x;
}

// Each transform multiplies the magnitudes by up to N; the input is restored
// (outside the timing) often enough that no value ever overflows.
int iterations_between_restores(std::size_t n) {
    return std::max(1, static_cast<int>(250.0 / std::log10(static_cast<double>(n))));
}

// FFTW's buffer and plan for one N; fftw_complex is layout-compatible with Complex.
struct FftwTransform {
    explicit FftwTransform(std::size_t n)
        : data(static_cast<fftw_complex*>(fftw_malloc(sizeof(fftw_complex) * n))),
          plan(fftw_plan_dft_1d(static_cast<int>(n), data, data, FFTW_FORWARD, FFTW_ESTIMATE)) {}
    ~FftwTransform() {
        fftw_destroy_plan(plan);
        fftw_free(data);
    }
    FftwTransform(const FftwTransform&) = delete;
    FftwTransform& operator=(const FftwTransform&) = delete;

    void load(const std::vector<Complex>& x) { std::copy(x.begin(), x.end(), reinterpret_cast<Complex*>(data)); }
    Complex* samples() { return reinterpret_cast<Complex*>(data); }

    fftw_complex* data;
    fftw_plan plan;
};

void BM_ZephForward(benchmark::State& state) {
    const auto n = static_cast<std::size_t>(state.range(0));
    const std::vector<Complex> input = random_signal(n);
    std::vector<Complex> x = input;
    zeph::BitReverseTable table;
    if (!table.prepare(static_cast<int>(std::log2(static_cast<double>(n))))) {   // tables filled outside the timing
        state.SkipWithError("the transform tables could not be filled");
        return;
    }
    const int restore_every = iterations_between_restores(n);
    int since_restore = 0;
    for (auto _ : state) {
        if (!zeph::fft_forward(x, table)) {
            state.SkipWithError("fft_forward refused the point count");
            break;
        }
        benchmark::DoNotOptimize(x.data());
        if (++since_restore == restore_every) {
            state.PauseTiming();
            x = input;
            since_restore = 0;
            state.ResumeTiming();
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<long long>(n));
}

void BM_FftwForward(benchmark::State& state) {
    const auto n = static_cast<std::size_t>(state.range(0));
    const std::vector<Complex> input = random_signal(n);
    FftwTransform fftw(n);
    fftw.load(input);
    const int restore_every = iterations_between_restores(n);
    int since_restore = 0;
    for (auto _ : state) {
        fftw_execute(fftw.plan);
        benchmark::DoNotOptimize(fftw.data);
        if (++since_restore == restore_every) {
            state.PauseTiming();
            fftw.load(input);
            since_restore = 0;
            state.ResumeTiming();
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<long long>(n));
}

BENCHMARK(BM_ZephForward)->RangeMultiplier(2)->Range(1 << kFirstLog2, 1 << kLastLog2)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FftwForward)->RangeMultiplier(2)->Range(1 << kFirstLog2, 1 << kLastLog2)->Unit(benchmark::kMicrosecond);

// Our transform of a random signal against FFTW's, to 1e-12 of the largest magnitude.
bool matches_fftw(int log2n) {
    const std::size_t n = std::size_t{1} << log2n;
    const std::vector<Complex> input = random_signal(n);
    std::vector<Complex> ours = input;
    zeph::BitReverseTable table;
    if (!zeph::fft_forward(ours, table)) return false;
    FftwTransform fftw(n);
    fftw.load(input);
    fftw_execute(fftw.plan);
    double largest = 0, difference = 0;
    for (std::size_t i = 0; i < n; ++i) {
        largest = std::max(largest, std::abs(fftw.samples()[i]));
        difference = std::max(difference, std::abs(ours[i] - fftw.samples()[i]));
    }
    std::printf("check N = 2^%d: max |ours - FFTW| = %.3g (%.3g of the largest magnitude)\n", log2n, difference,
                difference / largest);
    return difference <= 1e-12 * largest;
}

// Console output as usual, plus the times kept per benchmark for the ratio table.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred) continue;
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (run.run_type == Run::RT_Aggregate && !median) continue;
            const std::string name = run.run_name.function_name;
            const long long n = std::stoll(run.run_name.args);
            auto& slot = (name == "BM_ZephForward" ? ours_ : fftw_)[n];
            if (median || slot.second == false) slot = {run.GetAdjustedCPUTime(), median};
        }
    }

    void print_ratios() const {
        std::printf("\n%10s %14s %14s %12s\n", "N", "ours CPU [us]", "FFTW CPU [us]", "ours/FFTW");
        for (const auto& [n, ours] : ours_) {
            const auto fftw = fftw_.find(n);
            if (fftw == fftw_.end()) continue;
            std::printf("%10lld %14.2f %14.2f %12.2f\n", n, ours.first, fftw->second.first,
                        ours.first / fftw->second.first);
        }
    }

private:
    // N → (time in the benchmark's unit, taken from a median aggregate)
    std::map<long long, std::pair<double, bool>> ours_, fftw_;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    for (int log2n : {kFirstLog2, 14, 17, 20, kLastLog2}) {
        if (!matches_fftw(log2n)) {
            std::fprintf(stderr, "ERROR: fft_forward differs from FFTW at N = 2^%d by more than 1e-12 of the "
                                 "largest magnitude\n", log2n);
            return 1;
        }
    }
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.print_ratios();
    benchmark::Shutdown();
    return 0;
}
