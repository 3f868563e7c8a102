// libFuzzer target: read_binary_signal_file on arbitrary bytes, as the real
// and as the imaginary part, with and without a read range.
#include <cstddef>
#include <cstdint>
#include <span>

#include "fileio/binary_records.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto bytes = std::as_bytes(std::span(data, size));
    constexpr int kCapacity = 4096;   // a modest signal capacity (max points)
    zeph::read_binary_signal_bytes(bytes, zeph::Component::Real, {1, 1, kCapacity});
    zeph::read_binary_signal_bytes(bytes, zeph::Component::Imag, {3, 7, kCapacity});
    // The last two bytes pick a first point far into or past the file and an interval.
    const int first = size > 0 ? 1 + data[size - 1] * 97 : 1;
    const int interval = size > 1 ? 1 + data[size - 2] % 9 : 2;
    zeph::read_binary_signal_bytes(bytes, zeph::Component::Real, {first, interval, 100});
    return 0;
}
