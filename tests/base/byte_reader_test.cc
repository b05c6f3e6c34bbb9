#include "base/byte_reader.h"

#include <gtest/gtest.h>

#include "base/byte_writer.h"

namespace deltrix {
namespace {

TEST(ByteReader, AReadThatDoesNotFitFailsAndMovesNothing) {
  const uint8_t bytes[] = {1, 2, 3, 4, 5, 6};
  ByteReader r(bytes);
  uint32_t v = 0;
  ASSERT_TRUE(r.ReadLe32(&v));
  EXPECT_EQ(0x04030201u, v);
  EXPECT_FALSE(r.ReadLe32(&v));
  EXPECT_EQ(2u, r.remaining());
  EXPECT_FALSE(r.Skip(3));
  EXPECT_EQ(2u, r.remaining());
  uint16_t w = 0;
  ASSERT_TRUE(r.ReadBe16(&w));
  EXPECT_EQ(0x0506, w);
  EXPECT_FALSE(r.Skip(SIZE_MAX));
}

TEST(ByteReader, SubReaderIsBoundedByItsLength) {
  const uint8_t bytes[] = {0, 0, 0, 9, 0xAA, 0xBB, 0xCC};
  ByteReader r(bytes);
  ByteReader sub;
  ASSERT_TRUE(r.Skip(4));
  ASSERT_TRUE(r.Sub(2, &sub));
  EXPECT_EQ(2u, sub.remaining());
  EXPECT_EQ(1u, r.remaining());
  EXPECT_FALSE(r.Sub(2, &sub));
}

TEST(ByteWriter, OverflowIsStickyAndWritesNothing) {
  uint8_t buf[6] = {};
  ByteWriter w(buf);
  w.Le32(0x11223344);
  w.Le32(0x55667788);  // does not fit
  EXPECT_TRUE(w.overflowed());
  EXPECT_EQ(4u, w.size());
  w.U8(1);  // fits, but the writer has already overflowed
  EXPECT_EQ(4u, w.size());
  EXPECT_EQ(0x44, buf[0]);
  EXPECT_EQ(0, buf[4]);
}

TEST(ByteWriter, PatchOutsideWrittenBytesOverflows) {
  uint8_t buf[8] = {};
  ByteWriter w(buf);
  w.Le32(0);
  w.PatchLe32(0, 0xA1B2C3D4);
  EXPECT_FALSE(w.overflowed());
  EXPECT_EQ(0xD4, buf[0]);
  w.PatchLe32(2, 1);
  EXPECT_TRUE(w.overflowed());
}

}  // namespace
}  // namespace deltrix
