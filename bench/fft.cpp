// fft_forward against FFTW3 (in place, one thread; plans made with
// FFTW_ESTIMATE and with FFTW_MEASURE) at N = 2^10 … 2^22, ours on one thread
// and, from 2^17 up, on two. The transform of any length (TransformPlan)
// against FFTW_MEASURE at lengths that are not powers of two.
//
// Before timing, both transforms of the same random signal are compared at
// several N, up to 2^22: the run stops with an error when they differ by more
// than 1e-12 of the largest magnitude. After the runs a table gives the ratios
// per N: one thread against each plan in CPU time, which other processes on a
// shared machine disturb less than wall time, and two threads against
// FFTW_MEASURE in wall time (medians when --benchmark_repetitions > 1); a
// second table the same for the transform of any length, in CPU time.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "bench/kept_runs.hpp"
#include "dsp/any_length_fft.hpp"
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
// FFTW_MEASURE overwrites the buffer while planning; load() comes after.
struct FftwTransform {
    FftwTransform(std::size_t n, unsigned flags)
        : data(static_cast<fftw_complex*>(fftw_malloc(sizeof(fftw_complex) * n))),
          plan(fftw_plan_dft_1d(static_cast<int>(n), data, data, FFTW_FORWARD, flags)) {}
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

// Runs transform() (false: refused) once per iteration; restore() puts the
// input back, outside the timing, often enough that no value ever overflows.
template <class Transform, class Restore>
void time_transform(benchmark::State& state, std::size_t n, Transform&& transform, Restore&& restore) {
    const int restore_every = iterations_between_restores(n);
    int since_restore = 0;
    for (auto _ : state) {
        if (!transform()) {
            state.SkipWithError("the transform refused the point count");
            break;
        }
        if (++since_restore == restore_every) {
            state.PauseTiming();
            restore();
            since_restore = 0;
            state.ResumeTiming();
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<long long>(n));
}

void zeph_forward(benchmark::State& state, const char* threads) {
    setenv("ZEPH_THREADS", threads, 1);
    const auto n = static_cast<std::size_t>(state.range(0));
    const std::vector<Complex> input = random_signal(n);
    // In the workspace's kind of storage (cache-line aligned), as FFTW's
    // samples are in fftw_malloc's.
    std::vector<Complex, zeph::ZeroedAllocator<Complex>> x(input.begin(), input.end());
    zeph::BitReverseTable table;
    if (!table.prepare(static_cast<int>(std::log2(static_cast<double>(n))))) {   // tables filled outside the timing
        state.SkipWithError("the transform tables could not be filled");
        return;
    }
    time_transform(
        state, n,
        [&] {
            const bool ok = zeph::fft_forward(x, table).ok;
            benchmark::DoNotOptimize(x.data());
            return ok;
        },
        [&] { std::copy(input.begin(), input.end(), x.begin()); });
}

void BM_ZephForward(benchmark::State& state) { zeph_forward(state, "1"); }
void BM_ZephForward2Threads(benchmark::State& state) { zeph_forward(state, "2"); }

void fftw_forward(benchmark::State& state, unsigned flags) {
    const auto n = static_cast<std::size_t>(state.range(0));
    const std::vector<Complex> input = random_signal(n);
    FftwTransform fftw(n, flags);
    fftw.load(input);
    time_transform(
        state, n,
        [&] {
            fftw_execute(fftw.plan);
            benchmark::DoNotOptimize(fftw.data);
            return true;
        },
        [&] { fftw.load(input); });
}

void BM_FftwEstimate(benchmark::State& state) { fftw_forward(state, FFTW_ESTIMATE); }
void BM_FftwMeasure(benchmark::State& state) { fftw_forward(state, FFTW_MEASURE); }

// Lengths of the transform of any length: mixed radix (3·2^10, 5·2^12,
// 44100 = 2²·3²·5²·7²) and chirp-z (65521, the largest prime below 2^16).
constexpr long long kAnyLengths[] = {3 * 1024, 5 * 4096, 44100, 65521};

void BM_AnyLength(benchmark::State& state) {
    const auto n = static_cast<std::size_t>(state.range(0));
    const std::vector<Complex> input = random_signal(n);
    std::vector<Complex> x = input;
    zeph::TransformPlan plan;
    zeph::TransformWorkspace work;
    if (!plan.prepare(static_cast<long long>(n)) || !plan.forward(x, work)) {   // plan and workspace made outside the timing
        state.SkipWithError("the plan could not be made");
        return;
    }
    time_transform(
        state, n,
        [&] {
            const bool ok = plan.forward(x, work).ok;
            benchmark::DoNotOptimize(x.data());
            return ok;
        },
        [&] { std::copy(input.begin(), input.end(), x.begin()); });
}

BENCHMARK(BM_ZephForward)->RangeMultiplier(2)->Range(1 << kFirstLog2, 1 << kLastLog2)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ZephForward2Threads)->RangeMultiplier(2)->Range(1 << 17, 1 << kLastLog2)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_FftwEstimate)->RangeMultiplier(2)->Range(1 << kFirstLog2, 1 << kLastLog2)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FftwMeasure)->RangeMultiplier(2)->Range(1 << kFirstLog2, 1 << kLastLog2)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_AnyLength)->Arg(kAnyLengths[0])->Arg(kAnyLengths[1])->Arg(kAnyLengths[2])->Arg(kAnyLengths[3])->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FftwMeasure)->Arg(kAnyLengths[0])->Arg(kAnyLengths[1])->Arg(kAnyLengths[2])->Arg(kAnyLengths[3])->Unit(benchmark::kMicrosecond);

// Our transform of a random signal against FFTW's, to 1e-12 of the largest
// magnitude: fft_forward for a power of two, else TransformPlan.
bool matches_fftw(std::size_t n) {
    const std::vector<Complex> input = random_signal(n);
    std::vector<Complex> ours = input;
    zeph::BitReverseTable table;
    zeph::TransformPlan plan;
    zeph::TransformWorkspace work;
    if ((n & (n - 1)) == 0 ? !zeph::fft_forward(ours, table)
                           : !plan.prepare(static_cast<long long>(n)) || !plan.forward(ours, work))
        return false;
    FftwTransform fftw(n, FFTW_ESTIMATE);
    fftw.load(input);
    fftw_execute(fftw.plan);
    double largest = 0, difference = 0;
    for (std::size_t i = 0; i < n; ++i) {
        largest = std::max(largest, std::abs(fftw.samples()[i]));
        difference = std::max(difference, std::abs(ours[i] - fftw.samples()[i]));
    }
    std::printf("check N = %zu: max |ours - FFTW| = %.3g (%.3g of the largest magnitude)\n", n, difference,
                difference / largest);
    return difference <= 1e-12 * largest;
}

// Console output as usual, plus the times kept per benchmark for the ratio table.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        zeph::bench::for_each_kept_run(runs, [&](const Run& run, bool median) {
            const long long n = std::stoll(run.run_name.args);
            Times& slot = times_[run.run_name.function_name][n];
            if (median || !slot.median) slot = {run.GetAdjustedCPUTime(), run.GetAdjustedRealTime(), median};
        });
    }

    void print_ratios() const {
        std::printf("\n%10s %12s %12s %12s %12s %12s %14s\n", "N", "ours CPU", "ESTIMATE", "MEASURE", "ours/EST",
                    "ours/MEAS", "2 thr/MEAS");
        std::printf("%10s %12s %12s %12s %12s %12s %14s\n", "", "[us]", "CPU [us]", "CPU [us]", "CPU", "CPU", "wall");
        for (const auto& [n, ours] : series("BM_ZephForward")) {
            const Times* estimate = find("BM_FftwEstimate", n);
            const Times* measure = find("BM_FftwMeasure", n);
            const Times* two = find("BM_ZephForward2Threads", n);
            if (estimate == nullptr || measure == nullptr) continue;
            std::printf("%10lld %12.2f %12.2f %12.2f %12.2f %12.2f", n, ours.cpu, estimate->cpu, measure->cpu,
                        ours.cpu / estimate->cpu, ours.cpu / measure->cpu);
            if (two != nullptr)
                std::printf(" %14.2f\n", two->wall / measure->wall);
            else
                std::printf(" %14s\n", "-");
        }
        std::printf("\n%10s %12s %12s %12s  (any length)\n", "N", "ours CPU", "MEASURE", "ours/MEAS");
        for (const auto& [n, ours] : series("BM_AnyLength")) {
            if (const Times* measure = find("BM_FftwMeasure", n))
                std::printf("%10lld %12.2f %12.2f %12.2f\n", n, ours.cpu, measure->cpu, ours.cpu / measure->cpu);
        }
    }

private:
    struct Times {
        double cpu = 0, wall = 0;   // in the benchmark's unit
        bool median = false;        // taken from a median aggregate
    };
    const std::map<long long, Times>& series(const std::string& name) const {
        static const std::map<long long, Times> none;
        const auto found = times_.find(name);
        return found == times_.end() ? none : found->second;
    }
    const Times* find(const std::string& name, long long n) const {
        const auto& times = series(name);
        const auto found = times.find(n);
        return found == times.end() ? nullptr : &found->second;
    }

    std::map<std::string, std::map<long long, Times>> times_;   // benchmark → N → times
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    std::vector<std::size_t> checked;
    for (int log2n : {kFirstLog2, 14, 17, 20, kLastLog2}) checked.push_back(std::size_t{1} << log2n);
    for (long long n : kAnyLengths) checked.push_back(static_cast<std::size_t>(n));
    for (std::size_t n : checked) {
        if (!matches_fftw(n)) {
            std::fprintf(stderr, "ERROR: our transform differs from FFTW at N = %zu by more than 1e-12 of the "
                                 "largest magnitude\n", n);
            return 1;
        }
    }
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.print_ratios();
    benchmark::Shutdown();
    return 0;
}
