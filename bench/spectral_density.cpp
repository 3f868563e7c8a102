// Welch's estimate and the spectrogram of 28,800,000 real samples (periodic
// Hann; Welch with L = 2048, O = 1024, the spectrogram with L = 1024,
// O = 512), and the spectrogram written as text as SG FI writes it, in wall
// time on worker_threads() threads, against scipy.signal.welch,
// scipy.signal.spectrogram, and the spectrogram with numpy.savetxt, on the
// same samples (bench/scipy_spectral.py, which times the calls alone). After the runs a
// table gives the ratios ours/SciPy in wall time and in processor time of all
// threads (medians when --benchmark_repetitions > 1).
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "base/complex.hpp"
#include "bench/kept_runs.hpp"
#include "dsp/spectral_density.hpp"
#include "fileio/matrix_text.hpp"

namespace {

using zeph::Complex;

constexpr long long kSamples = 28'800'000;
const zeph::SegmentParameters kWelch{2048, 1024, {zeph::SegmentWindowKind::hann, 0.0}};
const zeph::SegmentParameters kSpectrogram{1024, 512, {zeph::SegmentWindowKind::hann, 0.0}};

// Uniform noise in [−1, 1), imaginary parts zero: a real signal.
const std::vector<Complex>& samples() {
    static const std::vector<Complex> x = [] {
        std::mt19937_64 generator(2026);
        std::uniform_real_distribution<double> uniform(-1.0, 1.0);
        std::vector<Complex> v(static_cast<std::size_t>(kSamples));
        for (Complex& s : v) s = {uniform(generator), 0.0};
        return v;
    }();
    return x;
}

void BM_Welch(benchmark::State& state) {
    const std::vector<Complex>& x = samples();
    zeph::WelchSpectrum w;
    for (auto _ : state) {
        if (!zeph::compute_welch(x, 1.0, kWelch, w)) {
            state.SkipWithError("compute_welch failed");
            break;
        }
        benchmark::DoNotOptimize(w.density.data());
    }
    state.SetItemsProcessed(state.iterations() * kSamples);
}

void BM_Spectrogram(benchmark::State& state) {
    const std::vector<Complex>& x = samples();
    for (auto _ : state) {
        zeph::Spectrogram s;   // a new matrix each time, as SciPy makes one
        if (!zeph::compute_spectrogram(x, 0.0, 1.0, kSpectrogram, s)) {
            state.SkipWithError("compute_spectrogram failed");
            break;
        }
        benchmark::DoNotOptimize(s.density.data());
    }
    state.SetItemsProcessed(state.iterations() * kSamples);
}

// SG FI: the spectrogram and its text file, as the display writes it.
void BM_SpectrogramFile(benchmark::State& state) {
    const std::vector<Complex>& x = samples();
    char name_template[] = "/tmp/zeph_bench_spectrogram_XXXXXX";
    const int descriptor = mkstemp(name_template);
    if (descriptor < 0) {
        state.SkipWithError("no temporary file");
        return;
    }
    close(descriptor);
    for (auto _ : state) {
        zeph::Spectrogram s;
        if (!zeph::compute_spectrogram(x, 0.0, 1.0, kSpectrogram, s) ||
            !zeph::write_matrix_text(s.time, s.frequency, s.density, name_template)) {
            state.SkipWithError("spectrogram file failed");
            break;
        }
    }
    std::remove(name_template);
    state.SetItemsProcessed(state.iterations() * kSamples);
}

// Processor time of the whole process (every thread), beside wall time: on
// a machine shared with other work, processor times compare more steadily.
BENCHMARK(BM_Welch)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();
BENCHMARK(BM_Spectrogram)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();
BENCHMARK(BM_SpectrogramFile)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime()->Iterations(1);

struct Seconds {
    double wall = 0, cpu = 0;
};

// Console output as usual, plus the times kept per benchmark.
class TimeKeeper : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        zeph::bench::for_each_kept_run(runs, [&](const Run& run, bool median) {
            auto [slot, fresh] = seconds.try_emplace(run.run_name.function_name);
            if (fresh || median)
                slot->second = {run.GetAdjustedRealTime() / 1000.0, run.GetAdjustedCPUTime() / 1000.0};   // ms → s
        });
    }
    std::map<std::string, Seconds> seconds;
};

// SciPy's times on the same samples, by name; empty when python3 with scipy
// is missing or fails.
std::map<std::string, Seconds> scipy_seconds() {
    std::map<std::string, Seconds> out;
    char name_template[] = "/tmp/zeph_bench_spectral_XXXXXX";
    const int descriptor = mkstemp(name_template);
    if (descriptor < 0) return out;
    const std::string file = name_template;
    FILE* f = fdopen(descriptor, "wb");
    if (f == nullptr) {
        close(descriptor);
        std::remove(file.c_str());
        return out;
    }
    bool written = true;
    for (const Complex& v : samples()) {
        const double re = v.real();
        written = written && std::fwrite(&re, sizeof re, 1, f) == 1;
    }
    written = std::fclose(f) == 0 && written;
    if (written) {
        for (const char* python : {"python3", "/usr/bin/python3"}) {
            const std::string command = std::string(python) + " -c 'import scipy.signal' 2>/dev/null && " + python +
                                        " " ZEPH_BENCH_DIR "/scipy_spectral.py " + file;
            if (FILE* pipe = popen(command.c_str(), "r")) {
                char name[64];
                Seconds seconds;
                while (std::fscanf(pipe, "%63s %lf %lf", name, &seconds.wall, &seconds.cpu) == 3) out[name] = seconds;
                pclose(pipe);
            }
            if (!out.empty()) break;
        }
    }
    std::remove(file.c_str());
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    samples();   // made before the timing
    TimeKeeper keeper;
    benchmark::RunSpecifiedBenchmarks(&keeper);
    const std::map<std::string, Seconds> scipy = scipy_seconds();
    if (scipy.empty()) std::printf("\nscipy.signal not available: no ratios\n");
    std::printf("\n%17s %10s %10s %10s %10s %10s %10s\n", "", "ours", "SciPy", "ours/", "ours", "SciPy", "ours/");
    std::printf("%17s %10s %10s %10s %10s %10s %10s\n", "", "wall [s]", "wall [s]", "SciPy", "CPU [s]", "CPU [s]", "SciPy");
    for (const auto& [ours_name, scipy_name] :
         {std::pair{"BM_Welch", "welch"}, std::pair{"BM_Spectrogram", "spectrogram"},
          std::pair{"BM_SpectrogramFile", "spectrogram_file"}}) {
        const auto ours = keeper.seconds.find(ours_name);
        const auto theirs = scipy.find(scipy_name);
        if (ours == keeper.seconds.end() || theirs == scipy.end()) continue;
        const Seconds a = ours->second, b = theirs->second;
        std::printf("%17s %10.3f %10.3f %10.3f %10.3f %10.3f %10.3f\n", scipy_name, a.wall, b.wall, a.wall / b.wall,
                    a.cpu, b.cpu, a.cpu / b.cpu);
    }
    benchmark::Shutdown();
    return 0;
}
