#pragma once
// Little-endian numbers, least significant byte first, as every file the
// program reads and writes (sample files, WAV, BMP, metafile) stores them.
#include <bit>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace zeph {

// The numbers at p (bytes as std::byte or std::uint8_t; the caller checks
// that they are all there).
template <typename Byte>
std::uint16_t le_u16(const Byte* p) {
    return static_cast<std::uint16_t>(static_cast<unsigned>(p[0]) | static_cast<unsigned>(p[1]) << 8);
}
template <typename Byte>
std::int16_t le_i16(const Byte* p) { return static_cast<std::int16_t>(le_u16(p)); }
template <typename Byte>
std::uint32_t le_u32(const Byte* p) {
    return static_cast<std::uint32_t>(le_u16(p)) | static_cast<std::uint32_t>(le_u16(p + 2)) << 16;
}
template <typename Byte>
std::uint64_t le_u64(const Byte* p) {
    return static_cast<std::uint64_t>(le_u32(p)) | static_cast<std::uint64_t>(le_u32(p + 4)) << 32;
}
template <typename Byte>
float le_f32(const Byte* p) { return std::bit_cast<float>(le_u32(p)); }
template <typename Byte>
double le_f64(const Byte* p) { return std::bit_cast<double>(le_u64(p)); }

// Stores v over the bytes at p.
inline void store_le_u16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void store_le_u32(std::uint8_t* p, std::uint32_t v) {
    store_le_u16(p, static_cast<std::uint16_t>(v));
    store_le_u16(p + 2, static_cast<std::uint16_t>(v >> 16));
}

// Appends numbers and text to a byte vector it does not own.
class LittleEndianBytes {
public:
    explicit LittleEndianBytes(std::vector<std::uint8_t>& out) : out_(out) {}

    void u8(std::uint8_t v) { out_.push_back(v); }
    void u16(std::uint16_t v) {
        u8(static_cast<std::uint8_t>(v));
        u8(static_cast<std::uint8_t>(v >> 8));
    }
    void i16(std::int16_t v) { u16(static_cast<std::uint16_t>(v)); }
    void u32(std::uint32_t v) {
        u16(static_cast<std::uint16_t>(v));
        u16(static_cast<std::uint16_t>(v >> 16));
    }
    void u64(std::uint64_t v) {
        u32(static_cast<std::uint32_t>(v));
        u32(static_cast<std::uint32_t>(v >> 32));
    }
    void f32(float v) { u32(std::bit_cast<std::uint32_t>(v)); }
    void f64(double v) { u64(std::bit_cast<std::uint64_t>(v)); }
    void text(std::string_view characters) { out_.insert(out_.end(), characters.begin(), characters.end()); }

private:
    std::vector<std::uint8_t>& out_;
};

}  // namespace zeph
