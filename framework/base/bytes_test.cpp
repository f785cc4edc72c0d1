#include "framework/base/bytes.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <vector>

#include "platform/ascii.h"

namespace {

const std::vector<uint8_t> kSample = {'Q', 'R', 'N', 'P', 0x01, 0x02, 0x03, 0x04, 0xFE, 0xFF, 0x7F};

TEST(ByteReader, ReadsLittleAndBigEndianFieldsInOrder) {
  SYS_ByteReader r(kSample);
  EXPECT_TRUE(r.expect("QRNP"));
  EXPECT_EQ(r.u32(), 0x04030201u);
  EXPECT_EQ(r.i16(), -2);
  EXPECT_EQ(r.offset(), 10u);
  EXPECT_EQ(r.remaining(), 1u);
  EXPECT_TRUE(r.seek(4));
  EXPECT_EQ(r.u16BE(), 0x0102u);
  EXPECT_EQ(r.u8(), 0x03);
  EXPECT_TRUE(r.ok());
  uint32_t at = 0;
  EXPECT_TRUE(SYS_ByteReader::U32At(kSample, 4, at));
  EXPECT_EQ(at, 0x04030201u);
}

TEST(ByteReader, AReadPastTheEndReadsNothingAndStaysFailed) {
  struct Case {
    const char* what;
    uint64_t seekTo;
    unsigned width;  // 0: take a huge count
  } cases[] = {
      {"u32 over the last byte", 10, 4},
      {"u16 at the end", 11, 2},
      {"u64 across the end", 4, 8},
      {"a count that would wrap 64 bits", 1, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SYS_ByteReader r(kSample);
    ASSERT_TRUE(r.seek(c.seekTo));
    uint64_t value = 1;
    if (c.width == 2) value = r.u16();
    if (c.width == 4) value = r.u32();
    if (c.width == 8) value = r.u64();
    if (c.width == 0) value = r.take(std::numeric_limits<uint64_t>::max()).size();
    EXPECT_EQ(value, 0u);
    EXPECT_FALSE(r.ok());
    EXPECT_EQ(r.offset(), c.seekTo);  // nothing was consumed
    EXPECT_EQ(r.u8(), 0u);            // and nothing is read any more
    EXPECT_FALSE(r.seek(0));
  }
  SYS_ByteReader r(kSample);
  EXPECT_FALSE(r.seek(12));
  EXPECT_FALSE(SYS_ByteReader(kSample).expect("QRNX"));
  uint8_t out[4] = {9, 9, 9, 9};
  SYS_ByteReader tail(kSample);
  tail.seek(9);
  EXPECT_FALSE(tail.copy(out));
  EXPECT_EQ(out[0], 0);  // a failed copy leaves zeros, not stale bytes
  uint16_t field = 7;
  EXPECT_FALSE(SYS_ByteReader::U16At(kSample, 10, field));
  EXPECT_EQ(field, 0);
  SYS_ByteReader none(nullptr, 100);  // no data means no bytes, whatever the size says
  EXPECT_EQ(none.size(), 0u);
  EXPECT_EQ(none.u8(), 0u);
  EXPECT_FALSE(none.ok());
}

TEST(ByteWriter, WritesWhatTheReaderReads) {
  SYS_ByteWriter w;
  w.text("QRNP");
  w.u32(0xDEADBEEF);
  w.u16(0x1234);
  w.u8(7);
  w.u64(0x0102030405060708ull);
  SYS_ByteReader r(w.data());
  EXPECT_TRUE(r.expect("QRNP"));
  EXPECT_EQ(r.u32(), 0xDEADBEEFu);
  EXPECT_EQ(r.u16(), 0x1234u);
  EXPECT_EQ(r.u8(), 7u);
  EXPECT_EQ(r.u64(), 0x0102030405060708ull);
  EXPECT_EQ(r.remaining(), 0u);
  uint8_t fixed[4];
  SYS_ByteWriter::PutU32(fixed, 0x04030201u);
  EXPECT_EQ(fixed[0], 1);
  EXPECT_EQ(fixed[3], 4);
}

TEST(Ascii, OnlyAsciiLettersChangeCase) {
  EXPECT_EQ(SYS_AsciiLowered("OpenGL32.DLL"), "opengl32.dll");
  EXPECT_EQ(SYS_AsciiLowered("\xC9T\xC9"), "\xC9t\xC9");  // bytes above 127 stay
  EXPECT_TRUE(SYS_AsciiEqualNoCase("KERNEL32.dll", "kernel32.DLL"));
  EXPECT_FALSE(SYS_AsciiEqualNoCase("a", "ab"));
  EXPECT_FALSE(SYS_AsciiEqualNoCase("[", "{"));  // 0x5B and 0x7B differ by 32 but are not letters
  char text[] = "Fontset.DAT";
  SYS_AsciiLowerInPlace(text);
  EXPECT_STREQ(text, "fontset.dat");
  EXPECT_EQ(SYS_AsciiUpper('q'), 'Q');
}

}  // namespace
