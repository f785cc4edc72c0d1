#include "framework/tl/_tga.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/base/log.h"
#include "testsupport/tl/fixtures.h"
#include "testsupport/testsupport.h"

using tlfix::Bytes;

namespace {

txBitmap* Read(const Bytes& file) {
  tlfix::Exact e(file);
  return tgaRead(e.data(), e.size());
}

Bytes Level0(const txBitmap* b) { return {b->data[0], b->data[0] + b->sizes[0]}; }

// Rows of `bytes` (rowBytes each) in the opposite order.
Bytes Flipped(const Bytes& bytes, size_t rowBytes) {
  Bytes out;
  for (size_t r = bytes.size() / rowBytes; r-- > 0;)
    out.insert(out.end(), bytes.begin() + static_cast<long>(r * rowBytes),
               bytes.begin() + static_cast<long>((r + 1) * rowBytes));
  return out;
}

TEST(TgaRead, LayoutsAndOrientation) {
  struct Case {
    const char* what;
    int bits, imageType;
    bool topFirst;
    int subtype;
  };
  const Case cases[] = {
      {"24-bit top first", 24, 2, true, 0},   {"24-bit bottom first", 24, 2, false, 0},
      {"32-bit", 32, 2, true, 2},             {"32-bit bottom first", 32, 2, false, 2},
      {"grey", 8, 3, true, 3},                {"8-bit true-colour, no map", 8, 2, false, 3},
      {"16-bit", 16, 2, true, -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    tlfix::TgaSpec s;
    s.width = 4;
    s.height = 3;
    s.bits = c.bits;
    s.imageType = c.imageType;
    s.topFirst = c.topFirst;
    s.id = "an id field";
    s.pixels = tlfix::Pattern(4 * 3 * c.bits / 8);
    Bytes file = tlfix::Tga(s);
    ASSERT_EQ(tgaDetect(file.data(), static_cast<int64_t>(file.size())), 0);
    txBitmap* b = Read(file);
    ASSERT_NE(b, nullptr) << errGetLastError();
    EXPECT_EQ(b->width, 4);
    EXPECT_EQ(b->height, 3);
    EXPECT_EQ(b->bits, c.bits);
    EXPECT_EQ(b->levels, 1);
    EXPECT_EQ(b->type, 0);
    EXPECT_EQ(b->subtype, c.subtype);
    EXPECT_EQ(Level0(b), c.topFirst ? s.pixels : Flipped(s.pixels, 4 * c.bits / 8));
    txFree(&b);
  }
}

TEST(TgaRead, ColourMapsAreExpandedToRgb) {
  struct Case {
    const char* what;
    int entries, entryBits;
  };
  const Case cases[] = {
      {"256 x 24 bits", 256, 24}, {"512 x 24 bits", 512, 24}, {"256 x 32 bits", 256, 32}, {"15 x 24 bits", 15, 24}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    tlfix::TgaSpec s;
    s.width = 3;
    s.height = 2;
    s.bits = 8;
    s.imageType = 1;
    s.mapLength = c.entries;
    s.mapBits = c.entryBits;
    int eb = c.entryBits / 8;
    s.map.assign(static_cast<size_t>(c.entries * eb), 0);
    for (int i = 0; i < 256 && i < c.entries; ++i) {  // entry i stored B, G, R = i, i + 1, i + 2
      s.map[static_cast<size_t>(i * eb)] = static_cast<uint8_t>(i);
      s.map[static_cast<size_t>(i * eb + 1)] = static_cast<uint8_t>(i + 1);
      s.map[static_cast<size_t>(i * eb + 2)] = static_cast<uint8_t>(i + 2);
    }
    s.pixels = {0, 10, 14, 3, 4, 5};  // top first
    Bytes file = tlfix::Tga(s);
    // Only maps of whole multiples of 256 entries are recognised; the reader
    // itself takes the entries a map holds.
    EXPECT_EQ(tgaDetect(file.data(), static_cast<int64_t>(file.size())), c.entries % 256 == 0 ? 0 : 1000);
    txBitmap* b = Read(file);
    ASSERT_NE(b, nullptr) << errGetLastError();
    EXPECT_EQ(b->type, 1);
    EXPECT_EQ(b->subtype, 0);
    EXPECT_EQ(b->bits, 24);
    EXPECT_EQ(b->comment, nullptr);
    Bytes expect;
    for (uint8_t i : s.pixels) expect.insert(expect.end(), {uint8_t(i + 2), uint8_t(i + 1), i});
    EXPECT_EQ(Level0(b), expect);
    txFree(&b);
  }
}

TEST(TgaRead, HostileHeadersFail) {
  struct Case {
    const char* what;
    Bytes file;
    int code;
  };
  tlfix::TgaSpec map16;
  map16.bits = 8;
  map16.imageType = 1;
  map16.mapLength = 256;
  map16.mapBits = 16;
  map16.map.assign(512, 0);
  map16.pixels.assign(8, 0);
  tlfix::TgaSpec mapped24Pixels = map16;
  mapped24Pixels.mapBits = 24;
  mapped24Pixels.map.assign(768, 0);
  mapped24Pixels.bits = 24;
  tlfix::TgaSpec zero;
  zero.width = 0;
  const Case cases[] = {
      {"header only", Bytes(17, 0), 1002},
      {"16-bit colour map", tlfix::Tga(map16), 1004},
      {"colour map with 24-bit pixels", tlfix::Tga(mapped24Pixels), 1004},
      {"zero width: no block for no pixels", tlfix::Tga(zero), 5},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(Read(c.file), nullptr);
    EXPECT_EQ(errGetLastError(), c.code);
  }
}

// Depths without a layout of their own are read as stored, width x height x
// bits / 8 bytes, with subtype -1.
TEST(TgaRead, OtherDepthsAreReadAsStored) {
  for (int bits : {15, 48, 64}) {
    SCOPED_TRACE(bits);
    tlfix::TgaSpec s;
    s.bits = bits;
    s.pixels = tlfix::Pattern(size_t(s.width * s.height * bits / 8));
    txBitmap* b = Read(tlfix::Tga(s));
    ASSERT_NE(b, nullptr) << errGetLastError();
    EXPECT_EQ(b->bits, bits);
    EXPECT_EQ(b->subtype, -1);
    EXPECT_EQ(Level0(b), s.pixels);
    txFree(&b);
  }
}

TEST(TgaRead, EveryTruncationFails) {
  tlfix::TgaSpec mapped;
  mapped.width = 3;
  mapped.height = 2;
  mapped.bits = 8;
  mapped.imageType = 1;
  mapped.mapLength = 256;
  mapped.map = tlfix::Pattern(768);
  mapped.pixels = tlfix::Pattern(6);
  mapped.id = "xy";
  for (const Bytes& file : {tlfix::SimpleTga(5, 3, 24), tlfix::SimpleTga(2, 2, 32, 1, false), tlfix::Tga(mapped)}) {
    for (size_t n = 0; n < file.size(); ++n) {
      tlfix::Exact e(file, n);
      txBitmap* b = tgaRead(e.data(), e.size());
      EXPECT_EQ(b, nullptr) << "length " << n;
      EXPECT_EQ(errGetLastError(), 1002) << "length " << n;
      if (b) txFree(&b);
    }
  }
}

TEST(TgaDetect, AcceptsOnlyUncompressedHeaders) {
  struct Case {
    const char* what;
    Bytes head;
    int result;
  };
  const Case cases[] = {
      {"true colour", {0, 0, 2, 0, 0, 0, 0, 0}, 0},
      {"grey", {5, 0, 3, 0, 0, 0, 0, 0}, 0},
      {"colour-mapped, 256 entries", {0, 1, 1, 0, 0, 0, 1, 24}, 0},
      {"run-length true colour", {0, 0, 10, 0, 0, 0, 0, 0}, 1000},
      {"run-length grey", {0, 0, 11, 0, 0, 0, 0, 0}, 1000},
      {"map starting at entry 1", {0, 1, 1, 1, 0, 0, 1, 24}, 1000},
      {"map of 512 entries", {0, 1, 1, 0, 0, 0, 2, 24}, 0},
      {"map of 100 entries", {0, 1, 1, 0, 0, 100, 0, 24}, 1000},
      {"map of 257 entries", {0, 1, 1, 0, 0, 1, 1, 24}, 1000},
      {"true colour with a map", {0, 1, 2, 0, 0, 0, 1, 24}, 1000},
      {"seven bytes", {0, 0, 2, 0, 0, 0, 0}, 1000},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    tlfix::Exact e(c.head);
    EXPECT_EQ(tgaDetect(e.data(), e.size()), c.result);
  }
}

class TgaWrite : public ::testing::Test {
 protected:
  qt::TempDir dir;
  std::string path = dir / "out.tga";
};

TEST_F(TgaWrite, HeaderCommentAndRoundTrip) {
  txBitmap* b = txCreateDummy(0, 3, 2);
  Bytes pixels = tlfix::Pattern(18);
  std::copy(pixels.begin(), pixels.end(), b->data[0]);
  ASSERT_EQ(tgaWrite(path.c_str(), b), 0) << errGetLastError();
  std::string file = qt::ReadFile(path);
  const std::string comment = "Created by Quarnel's TGA output filter. v0.3";
  ASSERT_EQ(file.size(), 18 + comment.size() + 18);
  EXPECT_EQ(static_cast<uint8_t>(file[0]), 44);
  EXPECT_EQ(file[2], 2);
  EXPECT_EQ(file[12], 3);
  EXPECT_EQ(file[14], 2);
  EXPECT_EQ(file[16], 24);
  EXPECT_EQ(file[17], 0x20);
  EXPECT_EQ(file.substr(18, comment.size()), comment);
  txBitmap* back = Read(Bytes(file.begin(), file.end()));
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(Level0(back), pixels);
  txFree(&back);
  txFree(&b);
}

TEST_F(TgaWrite, ChannelOrderFollowsTheBitmap) {
  struct Case {
    const char* what;
    int kind, type, subtype;
    bool swapped;  // the file holds the bytes exchanged
    int fileType, fileBits;
  };
  const Case cases[] = {
      {"B, G, R", 0, 0, 0, false, 2, 24},      {"R, G, B", 0, 1, 0, true, 2, 24},
      {"dummy kind 1", 1, 1, 1, true, 2, 24}, {"B, G, R, A", 2, 0, 2, false, 2, 32},
      {"R, G, B, A", 2, 1, 2, true, 2, 32},   {"grey", 3, 0, 3, false, 3, 8},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    txBitmap* b = txCreateDummy(c.kind, 2, 2);
    b->type = c.type;
    b->subtype = c.subtype;
    Bytes pixels = tlfix::Pattern(static_cast<size_t>(b->sizes[0]));
    std::copy(pixels.begin(), pixels.end(), b->data[0]);
    ASSERT_EQ(tgaWrite(path.c_str(), b), 0);
    EXPECT_EQ(Level0(b), pixels);  // the bitmap is not changed by the write
    std::string file = qt::ReadFile(path);
    EXPECT_EQ(file[2], c.fileType);
    EXPECT_EQ(file[16], c.fileBits);
    Bytes stored(file.begin() + 18 + 44, file.end());
    Bytes expect = pixels;
    int step = b->bits / 8;
    if (c.swapped)
      for (size_t k = 0; k + 2 < expect.size(); k += static_cast<size_t>(step)) std::swap(expect[k], expect[k + 2]);
    EXPECT_EQ(stored, expect);
    txFree(&b);
  }
}

TEST_F(TgaWrite, RefusesWhatItCannotStore) {
  txBitmap* b = txCreateDummy(2, 2, 2);  // type 2
  EXPECT_EQ(tgaWrite(path.c_str(), b), -1);
  EXPECT_EQ(errGetLastError(), 1005);
  b->type = 0;
  b->subtype = 4;
  EXPECT_EQ(tgaWrite(path.c_str(), b), -1);
  EXPECT_EQ(errGetLastError(), 1005);
  b->subtype = 0;  // says 24 bits, holds 32
  EXPECT_EQ(tgaWrite(path.c_str(), b), -1);
  EXPECT_EQ(errGetLastError(), 1005);
  EXPECT_FALSE(qt::FileExists(path));
  b->subtype = 2;
  std::string missing = dir / "no-such-folder/out.tga";
  EXPECT_EQ(tgaWrite(missing.c_str(), b), -1);
  EXPECT_EQ(errGetLastError(), 2);
  txFree(&b);
}

}  // namespace
