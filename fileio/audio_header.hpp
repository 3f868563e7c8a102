#pragma once
// What the header of an audio file declares, read by the program itself
// where libsndfile does not pass it on: the sample rate as written (AIFF's
// 80-bit and CAF's 64-bit floating point rates may be 0, negative, NaN or
// infinite, which libsndfile turns into some integer), and the frame count
// the header claims (libsndfile cuts it to the frames present, so a file cut
// short would otherwise read as if complete).
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <string_view>

#include "fileio/byte_io.hpp"

namespace zeph {

// Sony Wave64: the start of the RIFF GUID 66666972-912E-11CF-A5D6-28DB04C10000.
inline constexpr unsigned char kW64Magic[] = {'r', 'i', 'f', 'f', 0x2E, 0x91, 0xCF, 0x11};

// True when `bytes` hold `text` at offset `at`.
inline bool text_at(std::span<const std::byte> bytes, std::size_t at, std::string_view text) {
    return bytes.size() >= at + text.size() && bytes_equal(bytes.data() + at, text);
}
inline bool starts_with_w64_magic(std::span<const std::byte> bytes) {
    return bytes.size() >= sizeof kW64Magic && std::memcmp(bytes.data(), kW64Magic, sizeof kW64Magic) == 0;
}

struct AudioHeaderFacts {
    std::optional<double> sample_rate;     // Hz, as the header gives it
    std::optional<std::uint64_t> frames;   // declared; none when unknown or a streaming placeholder
};

// The facts of a RIFF/RIFX/RF64/BW64 WAVE, W64, AIFF/AIFC, AU or CAF header;
// nothing for other content. Only sizes inside the source are looked at.
AudioHeaderFacts audio_header_facts(ByteSource& source);

// A writer that streams to a pipe cannot go back to fill in a size and
// leaves a placeholder: 0, 0xFFFFFFFF, or 0x7FFFF000 (sox). The data then
// runs to the end of the file.
inline bool is_streaming_placeholder(std::uint32_t size) {
    return size == 0 || size == 0xFFFFFFFFu || size == 0x7FFFF000u;
}

}  // namespace zeph
