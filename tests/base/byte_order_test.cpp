// Little-endian numbers written and read back.
#include "base/byte_order.hpp"

#include <gtest/gtest.h>

#include <cstddef>
#include <vector>

namespace zeph {
namespace {

TEST(ByteOrder, WritesLeastSignificantByteFirst) {
    std::vector<std::uint8_t> bytes;
    LittleEndianBytes out(bytes);
    out.u8(0xAB);
    out.u16(0x1234);
    out.i16(-2);
    out.u32(0x89ABCDEF);
    out.text("BM");
    EXPECT_EQ(bytes, (std::vector<std::uint8_t>{0xAB, 0x34, 0x12, 0xFE, 0xFF, 0xEF, 0xCD, 0xAB, 0x89, 'B', 'M'}));
}

TEST(ByteOrder, ReadsBackWhatItWrote) {
    std::vector<std::uint8_t> bytes;
    LittleEndianBytes out(bytes);
    out.i16(-32768);
    out.u32(4000000000u);
    out.u64(0x0102030405060708ull);
    out.f32(-1.5f);
    out.f64(6.02214076e23);
    ASSERT_EQ(bytes.size(), 2u + 4 + 8 + 4 + 8);
    const std::uint8_t* p = bytes.data();
    EXPECT_EQ(le_i16(p), -32768);
    EXPECT_EQ(le_u32(p + 2), 4000000000u);
    EXPECT_EQ(le_u64(p + 6), 0x0102030405060708ull);
    EXPECT_EQ(le_f32(p + 14), -1.5f);
    EXPECT_EQ(le_f64(p + 18), 6.02214076e23);
    // The same bytes seen as std::byte, as the sample file readers hold them.
    const auto* b = reinterpret_cast<const std::byte*>(bytes.data());
    EXPECT_EQ(le_u32(b + 2), 4000000000u);
}

TEST(ByteOrder, StoresOverBytesInPlace) {
    std::vector<std::uint8_t> bytes(8, 0xEE);
    store_le_u32(bytes.data() + 1, 0x11223344);
    store_le_u16(bytes.data() + 5, 0xA0B0);
    EXPECT_EQ(bytes, (std::vector<std::uint8_t>{0xEE, 0x44, 0x33, 0x22, 0x11, 0xB0, 0xA0, 0xEE}));
}

}  // namespace
}  // namespace zeph
