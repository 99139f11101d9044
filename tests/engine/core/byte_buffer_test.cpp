#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "engine/core/byte_buffer.h"
#include "support/net_test_support.h"

using net_test::hex;

TEST(ByteBuffer, WritesEachWidthInTheNamedByteOrder) {
    ByteBuffer b;
    b.write_u8(0xAB);
    b.write_u16_le(0x0102);
    b.write_u16_be(0x0102);
    b.write_u32_le(0x01020304);
    b.write_u32_be(0x01020304);
    b.write_u64_le(0x0102030405060708ull);
    b.write_u64_be(0x0102030405060708ull);
    b.write_i32_le(-2);
    b.write_i64_be(-2);
    b.write_f32_le(1.0f);
    b.write_f32_be(1.0f);
    b.write_f64_le(-2.0);
    b.write_bool(true);
    b.write_bool(false);
    EXPECT_EQ(hex(b.bytes()),
              "AB 02 01 01 02 04 03 02 01 01 02 03 04 08 07 06 05 04 03 02 01 01 02 03 04 05 06 07 08 "
              "FE FF FF FF FF FF FF FF FF FF FF FE 00 00 80 3F 3F 80 00 00 00 00 00 00 00 00 00 C0 01 00");
}

TEST(ByteBuffer, ReadsBackWhatWasWritten) {
    ByteBuffer b;
    b.write_u16_le(65535);
    b.write_i16_be(-300);
    b.write_u32_be(0xDEADBEEF);
    b.write_i64_le(std::numeric_limits<int64_t>::min());
    b.write_f32_le(-0.5f);
    b.write_f64_le(1e300);
    b.write_string("hello");
    b.write_u8(7);

    uint16_t u16 = 0;
    int16_t i16 = 0;
    uint32_t u32 = 0;
    int64_t i64 = 0;
    float f = 0;
    double d = 0;
    std::string s;
    bool flag = false;
    ASSERT_TRUE(b.read_u16_le(u16));
    ASSERT_TRUE(b.read_i16_be(i16));
    ASSERT_TRUE(b.read_u32_be(u32));
    ASSERT_TRUE(b.read_i64_le(i64));
    ASSERT_TRUE(b.read_f32_le(f));
    ASSERT_TRUE(b.read_f64_le(d));
    ASSERT_TRUE(b.read_string(s));
    ASSERT_TRUE(b.read_bool(flag));
    EXPECT_EQ(u16, 65535);
    EXPECT_EQ(i16, -300);
    EXPECT_EQ(u32, 0xDEADBEEFu);
    EXPECT_EQ(i64, std::numeric_limits<int64_t>::min());
    EXPECT_EQ(f, -0.5f);
    EXPECT_EQ(d, 1e300);
    EXPECT_EQ(s, "hello");
    EXPECT_TRUE(flag);  // any byte but 0 is true
    EXPECT_TRUE(b.at_end());
    EXPECT_TRUE(b.ok());
}

TEST(ByteBuffer, AReadPastTheEndFailsLeavesTheTargetAndStaysFailed) {
    ByteBuffer b;
    b.write_u8(1);
    b.write_u8(2);
    b.write_u8(3);
    uint32_t v = 99;
    EXPECT_FALSE(b.read_u32_le(v));
    EXPECT_EQ(v, 99u);
    EXPECT_FALSE(b.ok());
    EXPECT_EQ(b.read_position(), 0u);
    // Sticky: even a read that would fit fails now.
    uint8_t byte = 0;
    EXPECT_FALSE(b.read_u8(byte));
    EXPECT_EQ(byte, 0);
    b.rewind();
    EXPECT_TRUE(b.read_u8(byte));
    EXPECT_EQ(byte, 1);
    EXPECT_FALSE(b.seek(4));
    EXPECT_FALSE(b.ok());
}

TEST(ByteBuffer, StringAndByteLengthsAreCheckedBeforeAnythingIsAllocated) {
    ByteBuffer b;
    b.write_u32_be(0xFFFFFFF0u);  // claims about 4 GB
    b.write_string("x");
    std::string s = "kept";
    EXPECT_FALSE(b.read_string(s));
    EXPECT_EQ(s, "kept");
    EXPECT_EQ(b.read_position(), 0u);

    ByteBuffer c;
    c.write_u8(1);
    c.write_u8(2);
    std::vector<uint8_t> out{9};
    EXPECT_FALSE(c.read_bytes(out, 3));
    EXPECT_EQ(out, std::vector<uint8_t>{9});
    c.rewind();
    EXPECT_TRUE(c.read_bytes(out, 2));
    EXPECT_EQ(out, (std::vector<uint8_t>{1, 2}));
}

TEST(ByteBuffer, TruncateAndOverwriteStayInsideTheBytes) {
    ByteBuffer b;
    b.write_u32_be(0);
    b.write_u32_be(0);
    EXPECT_TRUE(b.overwrite_u32_be(4, 0x0A0B0C0D));
    EXPECT_FALSE(b.overwrite_u32_be(5, 1));
    EXPECT_FALSE(b.overwrite_u32_be(std::numeric_limits<size_t>::max() - 1, 1));
    EXPECT_EQ(hex(b.bytes()), "00 00 00 00 0A 0B 0C 0D");
    b.skip(6);
    b.truncate(5);
    EXPECT_EQ(b.size(), 5u);
    EXPECT_EQ(b.read_position(), 5u);
    EXPECT_TRUE(b.at_end());
    b.clear();
    EXPECT_TRUE(b.empty());
    EXPECT_TRUE(b.ok());
}

TEST(ByteBuffer, CopiesCarryContentsAndPositionMovesLeaveAnEmptyBuffer) {
    ByteBuffer a;
    a.write_u32_be(1);
    a.write_u32_be(2);
    a.clear();  // keeps its capacity; a copy must not carry the old bytes
    a.write_u8(9);
    a.write_u8(8);
    a.skip(1);
    ByteBuffer b = a;
    EXPECT_EQ(b.size(), 2u);
    EXPECT_EQ(b.read_position(), 1u);
    EXPECT_EQ(hex(b.bytes()), "09 08");
    ByteBuffer c = std::move(b);
    EXPECT_TRUE(b.empty());
    EXPECT_EQ(c, a);
    b = c;
    EXPECT_EQ(b, a);
    c = ByteBuffer();
    EXPECT_TRUE(c.empty());
}
