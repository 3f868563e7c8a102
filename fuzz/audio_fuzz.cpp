// libFuzzer target: libsndfile's path (read_sndfile_bytes) on arbitrary bytes,
// fed from memory through its virtual I/O.
#include <cstddef>
#include <cstdint>
#include <span>

#include "fileio/audio_file.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto bytes = std::as_bytes(std::span(data, size));
    constexpr int kCapacity = 4096;   // a modest signal capacity (max points)
    const zeph::SignalRead read = zeph::read_sndfile_bytes(bytes, "fuzz.flac", kCapacity);
    // A successful read holds 1 … capacity frames on a positive grid.
    if (read.status.ok && (read.samples.empty() || read.samples.size() > kCapacity || !(read.dx > 0))) {
        __builtin_trap();
    }
    (void)zeph::is_audio_content(bytes);
    return 0;
}
