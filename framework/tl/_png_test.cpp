#include "framework/tl/_png.h"

#include <gtest/gtest.h>
#include <png.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <filesystem>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "framework/base/log.h"
#include "testsupport/tl/codecs.h"
#include "testsupport/tl/fixtures.h"
#include "testsupport/tl/memfiles.h"
#include "testsupport/testsupport.h"

using tlfix::Bytes;

namespace {

// A PNG made by libpng itself from rows already in the file's layout.
struct PngSpec {
  int width = 5, height = 3;
  int colourType = PNG_COLOR_TYPE_RGB;
  int depth = 8;
  bool interlaced = false;
  int paletteEntries = 0;  // entry i is (i, 2i, 3i)
};

int ChannelsOf(int colourType) {
  switch (colourType) {
    case PNG_COLOR_TYPE_RGB: return 3;
    case PNG_COLOR_TYPE_RGB_ALPHA: return 4;
    case PNG_COLOR_TYPE_GRAY_ALPHA: return 2;
    default: return 1;
  }
}

size_t RowBytes(const PngSpec& s) { return (size_t(s.width) * ChannelsOf(s.colourType) * s.depth + 7) / 8; }

// Rows of the pattern with the padding bits of a sub-byte row cleared, so
// they survive the trip through the file.
Bytes Rows(const PngSpec& s) {
  size_t rowBytes = RowBytes(s);
  Bytes rows = tlfix::Pattern(rowBytes * size_t(s.height), 3);
  size_t usedBits = size_t(s.width) * ChannelsOf(s.colourType) * s.depth;
  if (usedBits % 8)
    for (int y = 0; y < s.height; ++y) rows[y * rowBytes + rowBytes - 1] &= uint8_t(0xFF << (8 - usedBits % 8));
  if (s.colourType == PNG_COLOR_TYPE_PALETTE && s.depth == 8)
    for (auto& index : rows) index = uint8_t(index % s.paletteEntries);
  return rows;
}

void Append(png_structp png, png_bytep data, png_size_t length) {
  auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + length);
}

void Flush(png_structp) {}

// Returns false when libpng refused the spec.
bool EncodeInto(const PngSpec& s, const Bytes& rows, Bytes* out) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_set_write_fn(png, out, Append, Flush);
  png_set_IHDR(png, info, png_uint_32(s.width), png_uint_32(s.height), s.depth, s.colourType,
               s.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_color palette[256];
  for (int i = 0; i < s.paletteEntries; ++i)
    palette[i] = {png_byte(i), png_byte(2 * i), png_byte(3 * i)};
  if (s.paletteEntries) png_set_PLTE(png, info, palette, s.paletteEntries);
  png_write_info(png, info);
  int passes = png_set_interlace_handling(png);
  for (int pass = 0; pass < passes; ++pass)
    for (int y = 0; y < s.height; ++y) png_write_row(png, rows.data() + size_t(y) * RowBytes(s));
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return true;
}

Bytes MakePng(const PngSpec& s) {
  Bytes out;
  EXPECT_TRUE(EncodeInto(s, Rows(s), &out));
  return out;
}

txBitmap* Read(const Bytes& file, size_t length) {
  tlfix::Exact e(file, length);
  return pngRead(e.data(), e.size());
}
txBitmap* Read(const Bytes& file) { return Read(file, file.size()); }

using tlfix::Level0;

TEST(PngRead, SamplesArriveAsTheFileStoresThem) {
  struct Case {
    const char* what;
    PngSpec spec;
    int bits, subtype;
  };
  const Case cases[] = {
      {"RGB8", {5, 3, PNG_COLOR_TYPE_RGB, 8, false, 0}, 24, 0},
      {"RGBA8", {5, 3, PNG_COLOR_TYPE_RGB_ALPHA, 8, false, 0}, 32, 2},
      {"G8", {5, 3, PNG_COLOR_TYPE_GRAY, 8, false, 0}, 8, 3},
      {"P8", {5, 3, PNG_COLOR_TYPE_PALETTE, 8, false, 200}, 8, 4},
      {"P8 full palette", {5, 3, PNG_COLOR_TYPE_PALETTE, 8, false, 256}, 8, 4},
      {"P4", {5, 3, PNG_COLOR_TYPE_PALETTE, 4, false, 16}, 4, -1},
      {"GA8", {5, 3, PNG_COLOR_TYPE_GRAY_ALPHA, 8, false, 0}, 16, -1},
      {"GA16", {5, 3, PNG_COLOR_TYPE_GRAY_ALPHA, 16, false, 0}, 32, -1},
      {"RGB16", {5, 3, PNG_COLOR_TYPE_RGB, 16, false, 0}, 48, -1},
      {"RGB8 interlaced", {9, 7, PNG_COLOR_TYPE_RGB, 8, true, 0}, 24, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Bytes file = MakePng(c.spec);
    ASSERT_EQ(pngDetect(file.data(), int64_t(file.size())), 0);
    txBitmap* b = Read(file);
    ASSERT_NE(b, nullptr) << errGetLastError();
    EXPECT_EQ(b->width, c.spec.width);
    EXPECT_EQ(b->height, c.spec.height);
    EXPECT_EQ(b->bits, c.bits);
    EXPECT_EQ(b->subtype, c.subtype);
    EXPECT_EQ(b->type, 1);
    EXPECT_EQ(b->levels, 1);
    EXPECT_EQ(Level0(b), Rows(c.spec));  // 16-bit samples stay big-endian
    if (c.spec.paletteEntries) {
      ASSERT_NE(b->comment, nullptr);
      const uint8_t* entry = b->comment + 4 * 7;
      EXPECT_EQ(Bytes(entry, entry + 4), (Bytes{7, 14, 21, 0}));
      // The file's last entry arrives too; the ones past it stay zero.
      const int last = c.spec.paletteEntries - 1;
      const uint8_t* lastEntry = b->comment + 4 * last;
      EXPECT_EQ(Bytes(lastEntry, lastEntry + 4), (Bytes{uint8_t(last), uint8_t(2 * last), uint8_t(3 * last), 0}));
      if (c.spec.paletteEntries < 256) {
        const uint8_t* past = b->comment + 4 * c.spec.paletteEntries;
        EXPECT_EQ(Bytes(past, past + 4), (Bytes{0, 0, 0, 0}));
        EXPECT_EQ(b->comment[4 * 255], 0);
      }
    } else {
      EXPECT_EQ(b->comment, nullptr);
    }
    txFree(&b);
  }
}

TEST(PngRead, DamagedFilesAreRefusedWithoutLeaks) {
  PngSpec spec;
  Bytes file = MakePng(spec);
  size_t blocks = tlfix::TrackedBlocks().size();
  for (size_t n = 0; n < file.size(); ++n) {
    txBitmap* b = Read(file, n);
    EXPECT_EQ(b, nullptr) << "length " << n;
    EXPECT_EQ(errGetLastError(), 1002) << "length " << n;
    if (b) txFree(&b);
  }
  // The CRC of IHDR, then of the image data (the last 4 bytes before IEND).
  for (size_t at : {size_t(29), file.size() - 16}) {
    SCOPED_TRACE(at);
    Bytes bad = file;
    bad[at] ^= 0x55;
    txBitmap* b = Read(bad);
    EXPECT_EQ(b, nullptr);
    EXPECT_EQ(errGetLastError(), 5);
    if (b) txFree(&b);
  }
  EXPECT_EQ(tlfix::TrackedBlocks().size(), blocks);
}

TEST(PngRead, ImagesLargerThanTheFileCanHoldAreNotAllocated) {
  PngSpec spec;
  Bytes file = MakePng(spec);
  // IHDR says 1,000,000 x 1,000,000 (its CRC fixed up), the data stays tiny.
  Bytes big = file;
  for (size_t at : {size_t(16), size_t(20)}) {
    big[at] = 0x00, big[at + 1] = 0x0F, big[at + 2] = 0x42, big[at + 3] = 0x40;
  }
  uint32_t crc = uint32_t(crc32(0, big.data() + 12, 17));
  for (int k = 0; k < 4; ++k) big[29 + k] = uint8_t(crc >> (24 - 8 * k));
  EXPECT_EQ(Read(big), nullptr);
  EXPECT_EQ(errGetLastError(), 1002);
}

TEST(PngDetect, LooksAtTheFirstFourBytes) {
  struct Case {
    Bytes head;
    int result;
  };
  const Case cases[] = {{{0x89, 'P', 'N', 'G'}, 0}, {{0x89, 'P', 'N', 'g'}, 1000}, {{0x89, 'P', 'N'}, 1000}};
  for (const auto& c : cases) {
    tlfix::Exact e(c.head);
    EXPECT_EQ(pngDetect(e.data(), e.size()), c.result);
  }
}

class PngWrite : public ::testing::Test {
 protected:
  void TearDown() override { txOptions(TX_OPT_PNG_LEVEL, 9); }
  qt::TempDir dir;
  std::string path = dir / "out.png";
};

// Every layout the writer takes comes back as R, G, B(, A) or grey bytes,
// and the bitmap itself is left as it was. `type` 0 and 1 give the byte
// order; the kind number 2 of txCreateDummy leaves it to the layout.
TEST_F(PngWrite, EveryLayoutRoundTrips) {
  struct Case {
    const char* what;
    int kind, type, subtype;
    int bits, readSubtype;
    bool storedBgr;
  };
  const Case cases[] = {
      {"B, G, R", 0, 0, 0, 24, 0, true},
      {"R, G, B", 0, 1, 0, 24, 0, false},
      {"subtype 1, R, G, B", 1, 1, 1, 24, 0, false},
      {"subtype 1, B, G, R", 1, 0, 1, 24, 0, true},
      {"B, G, R, A", 2, 0, 2, 32, 2, true},
      {"R, G, B, A", 2, 1, 2, 32, 2, false},
      {"kind 2 as made: type 2, B, G, R, A", 2, 2, 2, 32, 2, true},
      {"type 2, subtype 0", 0, 2, 0, 24, 0, true},
      {"type 2, subtype 1", 1, 2, 1, 24, 0, false},
      {"grey", 3, 0, 3, 8, 3, false},
      {"grey, type 2", 3, 2, 3, 8, 3, false},
  };
  for (int level : {0, 9}) {
    txOptions(TX_OPT_PNG_LEVEL, level);
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(c.what) + ", level " + std::to_string(level));
      txBitmap* b = txCreateDummy(c.kind, 6, 4);
      b->type = c.type;
      b->subtype = c.subtype;
      Bytes pixels = tlfix::Pattern(size_t(b->sizes[0]));
      std::copy(pixels.begin(), pixels.end(), b->data[0]);
      ASSERT_EQ(pngWrite(path.c_str(), b), 0) << errGetLastError();
      EXPECT_EQ(Level0(b), pixels);
      txBitmap* back = Read(tlfix::FileBytes(path));
      ASSERT_NE(back, nullptr) << errGetLastError();
      EXPECT_EQ(back->bits, c.bits);
      EXPECT_EQ(back->subtype, c.readSubtype);
      Bytes expect = pixels;
      if (c.storedBgr)
        for (size_t k = 0; k + 2 < expect.size(); k += size_t(c.bits / 8)) std::swap(expect[k], expect[k + 2]);
      EXPECT_EQ(Level0(back), expect);
      txFree(&back);
      txFree(&b);
    }
  }
}

// The compression level is taken as set: one that zlib does not know fails
// the write with the library's error, it is not replaced by another.
TEST_F(PngWrite, ALevelZlibDoesNotKnowFailsTheWrite) {
  txBitmap* b = txCreateDummy(0, 4, 4);
  for (int level : {-2, 10, 12}) {
    SCOPED_TRACE(level);
    txOptions(TX_OPT_PNG_LEVEL, level);
    EXPECT_EQ(pngWrite(path.c_str(), b), -1);
    EXPECT_EQ(errGetLastError(), 5);
  }
  txFree(&b);
}

// Types above 2 are no byte order and no kind of txCreateDummy's colour
// bitmaps: refused.
TEST_F(PngWrite, Refusals) { tlfix::ExpectWriterRefusals(pngWrite, dir, "out.png", 3); }

size_t OpenFiles() {
  size_t n = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) ++n;
  return n;
}

// A library error in the middle of a write (a width past libpng's limit of
// 1,000,000) ends in -1 with the file closed and nothing left behind.
TEST_F(PngWrite, ALibraryErrorClosesTheFile) {
  txBitmap* b = txCreateDummy(3, 1, 1);
  SYS_MemFree(b->data[0]);
  b->type = 0;
  b->subtype = 3;
  b->width = 2000000;
  b->sizes[0] = b->width;
  b->data[0] = static_cast<uint8_t*>(SYS_MemGet(size_t(b->sizes[0])));
  size_t blocks = tlfix::TrackedBlocks().size(), files = OpenFiles();
  EXPECT_EQ(pngWrite(path.c_str(), b), -1);
  EXPECT_EQ(errGetLastError(), 5);
  EXPECT_EQ(tlfix::TrackedBlocks().size(), blocks);
  EXPECT_EQ(OpenFiles(), files);
  txFree(&b);
}

// Images written by ImageMagick read to the pixels it reads from them.
TEST(PngRead, AgreesWithImageMagick) {
  if (!tlfix::HaveMagick()) GTEST_SKIP() << "ImageMagick is not installed";
  qt::TempDir dir;
  Bytes source = tlfix::Pnm("P6", 7, 5, "255", tlfix::Pattern(7 * 5 * 3, 11));
  struct Case {
    const char* what;
    std::string args, raw;
    int bits;
  };
  const Case cases[] = {
      {"RGB", "PNG24:", "rgb", 24},
      {"RGBA", "-alpha set -channel A -fx 'i/w' PNG32:", "rgba", 32},
      {"grey", "-colorspace Gray -define png:color-type=0 -define png:bit-depth=8 PNG:", "gray", 8},
      {"interlaced", "-interlace PNG PNG24:", "rgb", 24},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Bytes file, pixels;
    ASSERT_TRUE(tlfix::MagickConvert(dir, source, c.args, "out.png", c.raw, &file, &pixels));
    txBitmap* b = Read(file);
    ASSERT_NE(b, nullptr) << errGetLastError();
    EXPECT_EQ(b->bits, c.bits);
    EXPECT_EQ(Level0(b), pixels);
    txFree(&b);
  }
}

// Seeds of the fuzz target, written to $QUARN_WRITE_SEEDS/png when set.
TEST(PngRead, FuzzSeeds) {
  const std::pair<const char*, PngSpec> seeds[] = {
      {"rgb8.png", {5, 3, PNG_COLOR_TYPE_RGB, 8, false, 0}},
      {"rgba8_interlaced.png", {6, 5, PNG_COLOR_TYPE_RGB_ALPHA, 8, true, 0}},
      {"p4.png", {5, 3, PNG_COLOR_TYPE_PALETTE, 4, false, 16}},
      {"ga16.png", {3, 2, PNG_COLOR_TYPE_GRAY_ALPHA, 16, false, 0}},
  };
  for (const auto& [name, spec] : seeds) {
    Bytes file = MakePng(spec);
    txBitmap* b = Read(file);
    ASSERT_NE(b, nullptr) << name;
    txFree(&b);
    tlfix::WriteSeed("png", name, file);
  }
}

}  // namespace
