// libFuzzer target: the whole audio read path on arbitrary bytes, as
// read_audio_signal takes it: the 16-bit WAV reader first, libsndfile's path
// (read_sndfile_bytes, fed from memory through its virtual I/O) for what that
// refuses, every container the reader takes (WAV of any sample format, RF64,
// W64, FLAC, AIFF/AIFC, Ogg Vorbis and Opus, CAF, AU), with a read range that
// varies with the input.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <span>

#include "fileio/audio_file.hpp"
#include "fileio/wav.hpp"

namespace {

constexpr int kCapacity = 4096;   // a modest signal capacity (max points)

// A successful read holds 1 … capacity frames on a positive, finite grid and
// no more than the file holds for the range.
void check(const zeph::SignalRead& read) {
    if (!read.status.ok) return;
    if (read.samples.empty() || read.samples.size() > kCapacity || !(read.dx > 0) || !std::isfinite(read.dx) ||
        !std::isfinite(read.xmin) || (read.available != 0 && read.available < read.samples.size())) {
        __builtin_trap();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto bytes = std::as_bytes(std::span(data, size));
    const zeph::ReadRange range{.first = 1 + static_cast<int>(size % 5), .interval = 1 + static_cast<int>(size / 5 % 3),
                                .max_count = kCapacity};
    const zeph::SignalRead wav = zeph::read_wav_bytes(bytes, "fuzz.wav", range);
    check(wav);
    if (wav.code == zeph::ReadStatus::Unsupported) check(zeph::read_sndfile_bytes(bytes, "fuzz.wav", range));
    (void)zeph::is_audio_content(bytes);
    return 0;
}
