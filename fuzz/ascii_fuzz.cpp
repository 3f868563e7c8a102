// libFuzzer target: the ASCII sample reader on arbitrary text.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fileio/ascii.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    constexpr int kCapacity = 4096;   // a modest signal capacity (max points)
    const zeph::AsciiRead all = zeph::read_ascii_text(text, {1, 1, kCapacity});
    if (all.samples.size() > kCapacity || all.status.ok != (all.code == zeph::ReadStatus::Ok)) __builtin_trap();
    zeph::read_ascii_text(text, {2, 3, 50});
    return 0;
}
