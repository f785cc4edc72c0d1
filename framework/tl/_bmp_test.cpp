#include "framework/tl/_bmp.h"

#include <gtest/gtest.h>

#include <vector>

#include "framework/base/log.h"
#include "testsupport/tl/fixtures.h"

using tlfix::Bytes;

namespace {

txBitmap* Read(const Bytes& file) {
  tlfix::Exact e(file);
  return bmpRead(e.data(), e.size());
}

Bytes Level0(const txBitmap* b) { return {b->data[0], b->data[0] + b->sizes[0]}; }

Bytes ReverseRows(const Bytes& bytes, size_t rowBytes) {
  Bytes out;
  for (size_t r = bytes.size() / rowBytes; r-- > 0;)
    out.insert(out.end(), bytes.begin() + static_cast<long>(r * rowBytes),
               bytes.begin() + static_cast<long>((r + 1) * rowBytes));
  return out;
}

TEST(BmpRead, RowsPaddingAndOrientation) {
  struct Case {
    const char* what;
    int32_t width, height;
    int bits;
    uint32_t infoSize;
    int subtype;
  };
  const Case cases[] = {
      {"24-bit, width 3 (padded rows)", 3, 2, 24, 40, 0},
      {"24-bit, width 4", 4, 3, 24, 40, 0},
      {"24-bit top-down", 3, -2, 24, 40, 0},
      {"32-bit", 2, 2, 32, 40, 2},
      {"32-bit with a V5 header", 2, 3, 32, 124, 2},
      {"8-bit grey, width 5", 5, 2, 8, 40, 3},
      {"12-bit, read as stored", 4, 2, 12, 40, -1},
      {"72-bit, read as stored", 1, 2, 72, 40, -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    tlfix::BmpSpec s;
    s.width = c.width;
    s.height = c.height;
    s.bits = c.bits;
    s.infoSize = c.infoSize;
    size_t rows = static_cast<size_t>(c.height < 0 ? -c.height : c.height);
    size_t rowBytes = static_cast<size_t>(c.width) * static_cast<size_t>(c.bits) / 8;
    s.rows = tlfix::Pattern(rowBytes * rows);
    txBitmap* b = Read(tlfix::Bmp(s));
    ASSERT_NE(b, nullptr) << errGetLastError();
    EXPECT_EQ(b->width, c.width);
    EXPECT_EQ(b->height, static_cast<int32_t>(rows));
    EXPECT_EQ(b->bits, c.bits);
    EXPECT_EQ(b->type, 0);
    EXPECT_EQ(b->subtype, c.subtype);
    EXPECT_EQ(b->comment, nullptr);
    // Bottom-up files end top row first; top-down ones keep their order.
    EXPECT_EQ(Level0(b), c.height < 0 ? s.rows : ReverseRows(s.rows, rowBytes));
    txFree(&b);
  }
}

TEST(BmpRead, PaletteImages) {
  struct Case {
    const char* what;
    uint32_t coloursUsed;
    size_t paletteEntries;
    int subtype;
  };
  // Only colours-used says whether the image has a palette.
  const Case cases[] = {{"colours used 4", 4, 4, 4}, {"colours used 0 with a full table", 0, 256, 3}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    tlfix::BmpSpec s;
    s.width = 2;
    s.height = 2;
    s.bits = 8;
    s.coloursUsed = c.coloursUsed;
    s.palette = tlfix::Pattern(c.paletteEntries * 4, 40);
    s.rows = {1, 2, 3, 0};
    txBitmap* b = Read(tlfix::Bmp(s));
    ASSERT_NE(b, nullptr) << errGetLastError();
    EXPECT_EQ(b->subtype, c.subtype);
    EXPECT_EQ(Level0(b), (Bytes{3, 0, 1, 2}));
    if (c.coloursUsed) {
      ASSERT_NE(b->comment, nullptr);
      EXPECT_EQ(Bytes(b->comment, b->comment + s.palette.size()), s.palette);
    } else {
      EXPECT_EQ(b->comment, nullptr);
    }
    txFree(&b);  // releases the palette too
  }
}

// The pixels start at the header's pixel offset; an offset of 0, which some
// writers leave, stands for right after the header.
TEST(BmpRead, PixelOffsetIsHonoured) {
  for (int64_t offBits : {80, 0}) {  // a gap after the header; no offset given
    tlfix::BmpSpec s;
    s.width = 4;
    s.height = 1;
    s.bits = 24;
    s.offBits = offBits;
    s.rows = tlfix::Pattern(12);
    txBitmap* b = Read(tlfix::Bmp(s));
    ASSERT_NE(b, nullptr) << offBits;
    EXPECT_EQ(Level0(b), s.rows) << offBits;
    txFree(&b);
  }
}

TEST(BmpRead, RefusedFiles) {
  struct Case {
    const char* what;
    tlfix::BmpSpec spec;
    int code;
  };
  auto spec = [](int bits, uint32_t compression = 0, int32_t width = 2, uint32_t infoSize = 40) {
    tlfix::BmpSpec s;
    s.bits = bits;
    s.compression = compression;
    s.width = width;
    s.infoSize = infoSize;
    s.rows = tlfix::Pattern(64);
    return s;
  };
  const Case cases[] = {
      {"1 bit", spec(1), 1004},          {"4 bits", spec(4), 1004},   {"16 bits", spec(16), 1004},
      {"run-length 8-bit", spec(8, 1), 1004}, {"zero width: no block for no pixels", spec(24, 0, 0), 5},
      {"negative width", spec(24, 0, -3), 1000},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(Read(tlfix::Bmp(c.spec)), nullptr);
    EXPECT_EQ(errGetLastError(), c.code);
  }
  EXPECT_EQ(Read(Bytes(53, 'B')), nullptr);
  EXPECT_EQ(errGetLastError(), 1002);

  // A hostile size whose rows times stride overflow 64 bits.
  tlfix::BmpSpec small = spec(32);
  Bytes hostile = tlfix::Bmp(small);
  for (int at : {18, 22})
    for (int i = 0; i < 4; ++i) hostile[static_cast<size_t>(at + i)] = i == 3 ? 0x7F : 0xFF;
  EXPECT_EQ(Read(hostile), nullptr);
  EXPECT_EQ(errGetLastError(), 1002);
}

TEST(BmpRead, EveryTruncationFails) {
  tlfix::BmpSpec s;  // width 4: no row padding, so every byte is needed
  s.width = 4;
  s.height = 3;
  s.bits = 24;
  s.rows = tlfix::Pattern(36);
  tlfix::BmpSpec pal;
  pal.width = 4;
  pal.height = 2;
  pal.bits = 8;
  pal.coloursUsed = 16;
  pal.palette = tlfix::Pattern(64);
  pal.rows = tlfix::Pattern(8);
  for (const Bytes& file : {tlfix::Bmp(s), tlfix::Bmp(pal)}) {
    for (size_t n = 0; n < file.size(); ++n) {
      tlfix::Exact e(file, n);
      txBitmap* b = bmpRead(e.data(), e.size());
      EXPECT_EQ(b, nullptr) << "length " << n;
      EXPECT_EQ(errGetLastError(), 1002) << "length " << n;
      if (b) txFree(&b);
    }
  }
}

TEST(BmpDetect, MagicOnly) {
  tlfix::Exact bm(Bytes{'B', 'M'}), bx(Bytes{'B', 'X'}), b(Bytes{'B'});
  EXPECT_EQ(bmpDetect(bm.data(), bm.size()), 0);
  EXPECT_EQ(bmpDetect(bx.data(), bx.size()), 1000);
  EXPECT_EQ(bmpDetect(b.data(), b.size()), 1000);
}

}  // namespace
