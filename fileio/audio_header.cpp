#include "fileio/audio_header.hpp"

#include <bit>
#include <cmath>
#include <cstring>
#include <span>
#include <string_view>

namespace zeph {

namespace {

constexpr std::uint64_t kFormHeaderBytes = 12;   // RIFF/FORM: identifier, size, form type
constexpr std::uint64_t kW64HeaderBytes = 40;    // riff GUID, size, wave GUID
constexpr std::uint64_t kW64ChunkHeaderBytes = 24;   // GUID, 64-bit size
constexpr std::size_t kFormatFieldBytes = 14;    // of a WAVE "fmt ": tag … block align
constexpr std::size_t kCommonBytes = 18;         // of an AIFF "COMM": channels … rate
constexpr std::size_t kAuHeaderBytes = 24;
constexpr std::size_t kCafDescriptionBytes = 32;

// Numbers of either byte order.
struct Order {
    bool big = false;
    std::uint16_t u16(const std::byte* p) const {
        const auto a = std::to_integer<unsigned>(p[0]), b = std::to_integer<unsigned>(p[1]);
        return static_cast<std::uint16_t>(big ? a << 8 | b : b << 8 | a);
    }
    std::uint32_t u32(const std::byte* p) const {
        const std::uint32_t a = u16(p), b = u16(p + 2);
        return big ? a << 16 | b : b << 16 | a;
    }
    std::uint64_t u64(const std::byte* p) const {
        const std::uint64_t a = u32(p), b = u32(p + 4);
        return big ? a << 32 | b : b << 32 | a;
    }
};

// An IEEE 754 80-bit extended number (AIFF's sample rate), big-endian.
double extended_to_double(const std::byte* p) {
    const Order be{true};
    const unsigned sign_exponent = be.u16(p);
    const std::uint64_t mantissa = be.u64(p + 2);
    const int exponent = static_cast<int>(sign_exponent & 0x7FFFu);
    const double sign = (sign_exponent & 0x8000u) ? -1.0 : 1.0;
    if (exponent == 0x7FFF) return (mantissa << 1) == 0 ? sign * INFINITY : NAN;
    return sign * std::ldexp(static_cast<double>(mantissa), exponent - 16383 - 63);
}

// Frames of `bytes` of data at `block_align` bytes per frame, for the WAVE
// format tags whose block is one frame: PCM, float, A-law, µ-law, extensible.
std::optional<std::uint64_t> wave_frames(std::uint64_t bytes, unsigned tag, unsigned block_align) {
    const bool frame_blocks = tag == 1 || tag == 3 || tag == 6 || tag == 7 || tag == 0xFFFE;
    if (!frame_blocks || block_align == 0) return std::nullopt;
    return bytes / block_align;
}

AudioHeaderFacts wave_facts(ByteSource& source, Order order, bool sixty_four) {
    AudioHeaderFacts facts;
    unsigned tag = 0, block_align = 0;
    std::optional<std::uint64_t> ds64_data;
    for (std::uint64_t at = kFormHeaderBytes; at <= source.size() && source.size() - at >= 8;) {
        const auto header = source.bytes(at, 8);
        if (header.empty()) break;
        const std::uint32_t size = order.u32(header.data() + 4);
        const std::uint64_t body = at + 8;
        if (text_at(header, 0, "ds64")) {
            if (const auto fields = source.bytes(body, 16); !fields.empty() && size >= 16) {
                ds64_data = order.u64(fields.data() + 8);
            }
        } else if (text_at(header, 0, "fmt ")) {
            const auto fields = size >= kFormatFieldBytes ? source.bytes(body, kFormatFieldBytes)
                                                          : std::span<const std::byte>{};
            if (fields.empty()) return facts;
            tag = order.u16(fields.data());
            facts.sample_rate = order.u32(fields.data() + 4);
            block_align = order.u16(fields.data() + 12);
        } else if (text_at(header, 0, "data")) {
            std::uint64_t bytes = size;
            if (sixty_four && size == 0xFFFFFFFFu && ds64_data) bytes = *ds64_data;
            else if (is_streaming_placeholder(size)) return facts;
            facts.frames = wave_frames(bytes, tag, block_align);
            return facts;
        }
        at = body + size + (size & 1u);
    }
    return facts;
}

AudioHeaderFacts w64_facts(ByteSource& source) {
    AudioHeaderFacts facts;
    const Order le;
    unsigned tag = 0, block_align = 0;
    for (std::uint64_t at = kW64HeaderBytes; at <= source.size() && source.size() - at >= kW64ChunkHeaderBytes;) {
        const auto header = source.bytes(at, kW64ChunkHeaderBytes);
        if (header.empty()) break;
        const std::uint64_t size = le.u64(header.data() + 16);   // with this header
        if (size < kW64ChunkHeaderBytes) return facts;
        if (text_at(header, 0, "fmt ")) {
            const auto fields = source.bytes(at + kW64ChunkHeaderBytes, kFormatFieldBytes);
            if (fields.empty()) return facts;
            tag = le.u16(fields.data());
            facts.sample_rate = le.u32(fields.data() + 4);
            block_align = le.u16(fields.data() + 12);
        } else if (text_at(header, 0, "data")) {
            facts.frames = wave_frames(size - kW64ChunkHeaderBytes, tag, block_align);
            return facts;
        }
        if (size > source.size() - at) break;
        at += (size + 7) & ~std::uint64_t{7};   // chunks start on 8-byte boundaries
    }
    return facts;
}

AudioHeaderFacts aiff_facts(ByteSource& source) {
    AudioHeaderFacts facts;
    const Order be{true};
    for (std::uint64_t at = kFormHeaderBytes; at <= source.size() && source.size() - at >= 8;) {
        const auto header = source.bytes(at, 8);
        if (header.empty()) break;
        const std::uint32_t size = be.u32(header.data() + 4);
        if (text_at(header, 0, "COMM")) {
            const auto fields = size >= kCommonBytes ? source.bytes(at + 8, kCommonBytes)
                                                     : std::span<const std::byte>{};
            if (fields.empty()) return facts;
            const std::uint32_t frames = be.u32(fields.data() + 2);
            if (!is_streaming_placeholder(frames)) facts.frames = frames;
            facts.sample_rate = extended_to_double(fields.data() + 8);
            return facts;
        }
        at += 8 + static_cast<std::uint64_t>(size) + (size & 1u);
    }
    return facts;
}

// Bytes per sample of the AU encodings of one sample per byte group.
unsigned au_sample_bytes(std::uint32_t encoding) {
    switch (encoding) {
        case 1: case 2: case 27: return 1;   // µ-law, 8-bit linear, A-law
        case 3: return 2;
        case 4: return 3;
        case 5: case 6: return 4;            // 32-bit linear, float
        case 7: return 8;                    // double
        default: return 0;                   // ADPCM and others: not one frame per block
    }
}

AudioHeaderFacts au_facts(ByteSource& source, Order order) {
    AudioHeaderFacts facts;
    const auto header = source.bytes(0, kAuHeaderBytes);
    if (header.empty()) return facts;
    const std::uint32_t size = order.u32(header.data() + 8);
    const unsigned bytes = au_sample_bytes(order.u32(header.data() + 12));
    const std::uint32_t channels = order.u32(header.data() + 20);
    facts.sample_rate = order.u32(header.data() + 16);
    if (size != 0xFFFFFFFFu && bytes > 0 && channels > 0) facts.frames = size / (bytes * std::uint64_t{channels});
    return facts;
}

AudioHeaderFacts caf_facts(ByteSource& source) {
    AudioHeaderFacts facts;
    const Order be{true};
    std::uint32_t packet_bytes = 0, packet_frames = 0;
    for (std::uint64_t at = 8; source.size() - at >= 12;) {
        const auto header = source.bytes(at, 12);
        if (header.empty()) break;
        const std::uint64_t size = be.u64(header.data() + 4);
        // The decoder takes the first description; a later one describes nothing.
        if (text_at(header, 0, "desc") && !facts.sample_rate) {
            const auto fields = source.bytes(at + 12, kCafDescriptionBytes);
            if (fields.empty()) return facts;
            facts.sample_rate = std::bit_cast<double>(be.u64(fields.data()));
            packet_bytes = be.u32(fields.data() + 16);
            packet_frames = be.u32(fields.data() + 20);
        } else if (text_at(header, 0, "data")) {
            // The body starts with a 4-byte edit count; a size of −1 runs to the end.
            if (size != ~std::uint64_t{0} && size >= 4 && packet_bytes > 0 && packet_frames == 1) {
                facts.frames = (size - 4) / packet_bytes;
            }
            return facts;
        }
        if (size > source.size() - at - 12) break;
        at += 12 + size;
    }
    return facts;
}

}  // namespace

AudioHeaderFacts audio_header_facts(ByteSource& source) {
    const auto head = source.bytes(0, static_cast<std::size_t>(std::min<std::uint64_t>(source.size(), 16)));
    if (text_at(head, 8, "WAVE")) {
        if (text_at(head, 0, "RIFF")) return wave_facts(source, Order{false}, false);
        if (text_at(head, 0, "RIFX")) return wave_facts(source, Order{true}, false);
        if (text_at(head, 0, "RF64") || text_at(head, 0, "BW64")) return wave_facts(source, Order{false}, true);
    }
    if (starts_with_w64_magic(head)) return w64_facts(source);
    if (text_at(head, 0, "FORM") && (text_at(head, 8, "AIFF") || text_at(head, 8, "AIFC"))) {
        return aiff_facts(source);
    }
    if (text_at(head, 0, ".snd")) return au_facts(source, Order{true});
    if (text_at(head, 0, "dns.")) return au_facts(source, Order{false});
    if (text_at(head, 0, "caff")) return caf_facts(source);
    return {};
}

}  // namespace zeph
