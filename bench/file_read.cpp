// Reading sample files against the plain reference loops over the same bytes:
//   ASCII: a 1,000,000-line two-column file (as the 2C output writes it)
//          against fread + a std::from_chars loop over both columns;
//   WAV:   a 1,000,000-frame stereo file against a plain fread of its bytes.
// Both sides allocate their output each iteration, as a real read does.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "fileio/ascii.hpp"
#include "fileio/wav.hpp"

namespace {

constexpr int kLines = 1'000'000;
constexpr int kFrames = 1'000'000;

std::filesystem::path g_dir;
std::string g_ascii_file;
std::string g_wav_file;

bool make_files() {
    g_dir = std::filesystem::temp_directory_path() / ("zeph_bench_file_read_" + std::to_string(::getpid()));
    std::filesystem::create_directories(g_dir);
    g_ascii_file = (g_dir / "signal.txt").string();
    g_wav_file = (g_dir / "signal.wav").string();
    std::vector<double> values(kLines);
    for (int i = 0; i < kLines; ++i) values[i] = std::sin(i * 0.001) * 1000.0;
    std::vector<zeph::Complex> frames(kFrames);
    for (int i = 0; i < kFrames; ++i) frames[i] = {std::sin(i * 0.01) * 30000.0, std::cos(i * 0.01) * 30000.0};
    return zeph::write_ascii_file(values, zeph::AsciiLayout::AbscissaAndValue, g_ascii_file, 0.0, 1e-3).ok &&
           zeph::write_wav(frames, g_wav_file, zeph::WavChannels::Stereo, 1.0 / 44100).ok;
}

std::vector<char> read_whole_file(const std::string& name) {
    std::vector<char> bytes(std::filesystem::file_size(name));
    if (std::FILE* f = std::fopen(name.c_str(), "rb")) {
        bytes.resize(std::fread(bytes.data(), 1, bytes.size(), f));
        std::fclose(f);
    }
    return bytes;
}

void BM_AsciiReader(benchmark::State& state) {
    for (auto _ : state) {
        const zeph::AsciiRead read = zeph::read_ascii_file(g_ascii_file, {1, 1, kLines});
        if (read.samples.size() != kLines) state.SkipWithError("short read");
        benchmark::DoNotOptimize(read.samples.data());
    }
    state.SetItemsProcessed(state.iterations() * kLines);
}

// The reference: the whole file in memory, then X and Y of each line with from_chars.
void BM_AsciiFromCharsLoop(benchmark::State& state) {
    for (auto _ : state) {
        const std::vector<char> text = read_whole_file(g_ascii_file);
        std::vector<double> values;
        values.reserve(kLines);
        const char* p = text.data();
        const char* end = p + text.size();
        double x = 0, y = 0;
        while (p < end) {
            while (p < end && (*p == ' ' || *p == '\n')) ++p;
            if (p == end) break;
            p = std::from_chars(p, end, x).ptr;
            while (p < end && (*p == ' ' || *p == ',')) ++p;
            p = std::from_chars(p, end, y).ptr;
            values.push_back(y);
        }
        if (values.size() != kLines) state.SkipWithError("short read");
        benchmark::DoNotOptimize(values.data());
    }
    state.SetItemsProcessed(state.iterations() * kLines);
}

void BM_WavReader(benchmark::State& state) {
    for (auto _ : state) {
        const zeph::SignalRead read = zeph::read_wav(g_wav_file, kFrames);
        if (read.samples.size() != kFrames) state.SkipWithError("short read");
        benchmark::DoNotOptimize(read.samples.data());
    }
    state.SetItemsProcessed(state.iterations() * kFrames);
}

// The reference: the file's bytes read into memory, nothing decoded.
void BM_WavRawRead(benchmark::State& state) {
    for (auto _ : state) {
        const std::vector<char> bytes = read_whole_file(g_wav_file);
        benchmark::DoNotOptimize(bytes.data());
    }
    state.SetItemsProcessed(state.iterations() * kFrames);
}

BENCHMARK(BM_AsciiReader)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AsciiFromCharsLoop)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WavReader)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WavRawRead)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    const bool ready = make_files();
    if (ready) benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::filesystem::remove_all(g_dir);
    if (!ready) std::fprintf(stderr, "cannot write the benchmark files in %s\n", g_dir.c_str());
    return ready ? 0 : 1;
}
