// libFuzzer target: read_wav on arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <span>

#include "fileio/wav.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto bytes = std::as_bytes(std::span(data, size));
    constexpr int kCapacity = 4096;   // a modest signal capacity (max points)
    const zeph::SignalRead read = zeph::read_wav_bytes(bytes, "fuzz.wav", kCapacity);
    // A successful read never holds more frames than the capacity or the file.
    if (read.status.ok && (read.samples.size() > kCapacity || read.samples.size() * 2 > size)) __builtin_trap();
    return 0;
}
