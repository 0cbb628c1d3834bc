// Little-endian loads and stores at any alignment, and the cursor whose
// failure is sticky.
#include "format/byte_reader.h"

#include <gtest/gtest.h>

#include <cstring>

namespace kova::format {
namespace {

TEST(ByteReader, LoadsAndStoresLittleEndianAtAnyAlignment) {
  const u8 bytes[] = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99};
  struct Case {
    int at;
    u32 le16;
    u32 le32;
  } cases[] = {{0, 0x2211, 0x44332211}, {1, 0x3322, 0x55443322}, {2, 0x4433, 0x66554433}, {3, 0x5544, 0x77665544},
               {5, 0x7766, 0x99887766}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.at);
    EXPECT_EQ(LoadLe16(bytes + c.at), c.le16);
    EXPECT_EQ(LoadLe32(bytes + c.at), c.le32);
    u8 out[9] = {};
    StoreLe32(out + c.at, c.le32);
    EXPECT_EQ(std::memcmp(out + c.at, bytes + c.at, 4), 0);
    // StoreLe16 writes two bytes and only the low 16 bits of its value.
    u8 half[9] = {};
    std::memset(half, 0xEE, sizeof half);
    StoreLe16(half + c.at, 0xABCD0000u | c.le16);
    EXPECT_EQ(std::memcmp(half + c.at, bytes + c.at, 2), 0);
    EXPECT_EQ(half[c.at + 2], 0xEE);
  }
}

TEST(ByteReader, FailureIsSticky) {
  const u8 bytes[] = {1, 0, 0, 0, 2, 0, 'a', 'b', 0, 'c'};
  ByteReader reader(bytes, sizeof bytes);
  EXPECT_EQ(reader.U32(), 1u);
  EXPECT_EQ(reader.U16(), 2u);
  std::size_t length = 0;
  EXPECT_STREQ(reader.Text(length), "ab");
  EXPECT_EQ(length, 2u);
  EXPECT_EQ(reader.Remaining(), 1u);
  // A text without its NUL, then a read that would fit: both fail.
  EXPECT_EQ(reader.Text(length), nullptr);
  EXPECT_TRUE(reader.Failed());
  EXPECT_EQ(reader.Take(1), nullptr);
  EXPECT_EQ(reader.Position(), 9u);

  ByteReader empty(nullptr, 100);
  u32 value = 7;
  EXPECT_FALSE(empty.U32(value));
  EXPECT_EQ(value, 0u);
}

}  // namespace
}  // namespace kova::format
