#include "framework/tl/_jpeg.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

// jpeglib.h needs size_t and FILE declared before it.
#include <cstddef>
#include <cstdio>

#include <jpeglib.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "framework/base/log.h"
#include "framework/base/mem.h"
#include "testsupport/tl/codecs.h"
#include "testsupport/tl/fixtures.h"
#include "testsupport/tl/memfiles.h"
#include "testsupport/testsupport.h"

using tlfix::Bytes;

namespace {

constexpr int kTolerance = 6;  // quality 100 and a smooth picture: little is lost

// A smooth picture, R, G, B or grey, so that compression changes it little.
Bytes Smooth(int width, int height, int components) {
  Bytes p;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      for (int c = 0; c < components; ++c) p.push_back(uint8_t(10 + 35 * c + x * 80 / width + y * 40 / height));
  return p;
}

// A JPEG made by libjpeg itself. An Exif-only file carries an APP1 marker
// instead of the JFIF one.
Bytes MakeJpeg(const Bytes& pixels, int width, int height, int components, bool exifOnly = false,
               bool progressive = false) {
  jpeg_compress_struct info;
  jpeg_error_mgr errors;
  info.err = jpeg_std_error(&errors);
  jpeg_create_compress(&info);
  unsigned char* out = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &out, &size);
  info.image_width = JDIMENSION(width);
  info.image_height = JDIMENSION(height);
  info.input_components = components;
  info.in_color_space = components == 1 ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, 100, TRUE);
  if (progressive) jpeg_simple_progression(&info);
  info.write_JFIF_header = exifOnly ? FALSE : TRUE;
  jpeg_start_compress(&info, TRUE);
  if (exifOnly) {
    static const JOCTET exif[] = {'E', 'x', 'i', 'f', 0, 0};
    jpeg_write_marker(&info, JPEG_APP0 + 1, exif, sizeof exif);
  }
  while (info.next_scanline < info.image_height) {
    auto row = const_cast<JSAMPROW>(pixels.data() + size_t(info.next_scanline) * width * components);
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  Bytes file(out, out + size);
  std::free(out);
  return file;
}

txBitmap* Read(const Bytes& file, size_t length) {
  tlfix::Exact e(file, length);
  return jpegRead(e.data(), e.size());
}
txBitmap* Read(const Bytes& file) { return Read(file, file.size()); }

using tlfix::FileBytes;
using tlfix::Level0;

// The largest difference of two equally long byte runs (256 when the lengths differ).
int MaxDiff(const Bytes& a, const Bytes& b) {
  if (a.size() != b.size()) return 256;
  int worst = 0;
  for (size_t k = 0; k < a.size(); ++k) worst = std::max(worst, std::abs(int(a[k]) - int(b[k])));
  return worst;
}

TEST(JpegRead, ColourAndGreyFiles) {
  struct Case {
    const char* what;
    int components;
    bool progressive;
    int bits, subtype;
  };
  const Case cases[] = {
      {"colour", 3, false, 24, 0},
      {"grey", 1, false, 8, 3},
      {"progressive colour", 3, true, 24, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Bytes pixels = Smooth(19, 11, c.components);
    Bytes file = MakeJpeg(pixels, 19, 11, c.components, false, c.progressive);
    ASSERT_EQ(jpegDetect(file.data(), int64_t(file.size())), 0);
    txBitmap* b = Read(file);
    ASSERT_NE(b, nullptr) << errGetLastError();
    EXPECT_EQ(b->width, 19);
    EXPECT_EQ(b->height, 11);
    EXPECT_EQ(b->bits, c.bits);
    EXPECT_EQ(b->subtype, c.subtype);
    EXPECT_EQ(b->type, 1);
    EXPECT_EQ(b->levels, 1);
    EXPECT_LE(MaxDiff(Level0(b), pixels), kTolerance);
    txFree(&b);
  }
}

TEST(JpegDetect, OnlyJfifFilesAreRecognised) {
  Bytes pixels = Smooth(8, 8, 3);
  Bytes exif = MakeJpeg(pixels, 8, 8, 3, true);
  EXPECT_EQ(jpegDetect(exif.data(), int64_t(exif.size())), 1000);
  tlfix::UseMemFiles().files["exif.jpg"] = exif;
  EXPECT_EQ(txLoad("exif.jpg"), nullptr);
  EXPECT_EQ(errGetLastError(), 1000);
  txBitmap* b = Read(exif);  // the reader itself takes it
  ASSERT_NE(b, nullptr);
  txFree(&b);
  // The test needs bytes 6-9 and nothing after them: a buffer that ends
  // right after "JFIF" is recognised, one byte less is not.
  Bytes head = {0xFF, 0xD8, 0xFF, 0xE0, 0, 16, 'J', 'F', 'I', 'F'};
  tlfix::Exact whole(head);
  EXPECT_EQ(jpegDetect(whole.data(), whole.size()), 0);
  head.pop_back();
  tlfix::Exact e(head);
  EXPECT_EQ(jpegDetect(e.data(), e.size()), 1000);
}

// A file cut anywhere is refused or, when only its end marker is missing,
// read whole; never read past its end or from its start again, never leaked.
TEST(JpegRead, TruncatedFiles) {
  Bytes pixels = Smooth(32, 24, 3);
  Bytes file = MakeJpeg(pixels, 32, 24, 3);
  size_t blocks = tlfix::TrackedBlocks().size();
  for (size_t n = 0; n + 2 < file.size(); ++n) {
    txBitmap* b = Read(file, n);
    EXPECT_EQ(b, nullptr) << "length " << n;
    if (b) txFree(&b);
  }
  const uint8_t scan[2] = {0xFF, 0xDA};
  size_t scanAt = size_t(std::search(file.begin(), file.end(), scan, scan + 2) - file.begin());
  ASSERT_LT(scanAt, file.size());
  txBitmap* half = Read(file, (scanAt + file.size()) / 2);
  EXPECT_EQ(half, nullptr);
  EXPECT_EQ(errGetLastError(), 1002);
  txBitmap* b = Read(file, file.size() - 2);
  ASSERT_NE(b, nullptr) << errGetLastError();
  EXPECT_LE(MaxDiff(Level0(b), pixels), kTolerance);
  txFree(&b);
  EXPECT_EQ(tlfix::TrackedBlocks().size(), blocks);
}

TEST(JpegRead, DamagedFilesFailWithoutLeaks) {
  Bytes file = MakeJpeg(Smooth(16, 16, 3), 16, 16, 3);
  size_t blocks = tlfix::TrackedBlocks().size();
  struct Case {
    const char* what;
    size_t at;
    uint8_t value;
  };
  const Case cases[] = {
      {"no start of image", 1, 0x00},
      {"JFIF segment length past the end", 4, 0xFF},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Bytes bad = file;
    bad[c.at] = c.value;
    txBitmap* b = Read(bad);
    EXPECT_EQ(b, nullptr);
    EXPECT_NE(errGetLastError(), 0);
    if (b) txFree(&b);
  }
  EXPECT_EQ(tlfix::TrackedBlocks().size(), blocks);
}

class JpegWrite : public ::testing::Test {
 protected:
  void SetUp() override {
    tlfix::UseMemFiles();
    txOptions(TX_OPT_JPEG_QUALITY, 100);
  }
  void TearDown() override {
    txOptions(TX_OPT_JPEG_QUALITY, 75);
    txOptions(TX_OPT_JPEG_PROGRESSIVE, 1);
    txOptions(TX_OPT_JPEG_OPTIMIZE, 100);
  }
  // A bitmap of the given dummy kind holding `pixels`.
  static txBitmap* Bitmap(int kind, int type, int subtype, const Bytes& pixels, int width, int height) {
    txBitmap* b = txCreateDummy(kind, width, height);
    b->type = type;
    b->subtype = subtype;
    std::copy(pixels.begin(), pixels.end(), b->data[0]);
    return b;
  }
  qt::TempDir dir;
  std::string path = dir / "x.jpg";
};

// Every layout comes back as R, G, B or grey, and the bitmap is unchanged.
TEST_F(JpegWrite, EveryLayoutRoundTrips) {
  struct Case {
    const char* what;
    int kind, type, subtype, components;
    bool swapped;  // the bitmap keeps B, G, R
    int bits;
  };
  const Case cases[] = {
      {"B, G, R", 0, 0, 0, 3, true, 24},          {"R, G, B", 0, 1, 0, 3, false, 24},
      {"subtype 1, R, G, B", 1, 1, 1, 3, false, 24}, {"B, G, R, A", 2, 0, 2, 4, true, 24},
      {"R, G, B, A", 2, 1, 2, 4, false, 24},      {"grey", 3, 0, 3, 1, false, 8},
  };
  for (int progressive : {0, 1}) {
    txOptions(TX_OPT_JPEG_PROGRESSIVE, progressive);
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(c.what) + (progressive ? ", progressive" : ""));
      Bytes pixels = Smooth(12, 10, c.components);
      txBitmap* b = Bitmap(c.kind, c.type, c.subtype, pixels, 12, 10);
      ASSERT_EQ(jpegWrite(path.c_str(), b), 0) << errGetLastError();
      EXPECT_EQ(Level0(b), pixels);
      Bytes file = FileBytes(path);
      // Start of frame: progressive (0xC2) or baseline (0xC0).
      const uint8_t frame[2] = {0xFF, uint8_t(progressive ? 0xC2 : 0xC0)};
      EXPECT_NE(std::search(file.begin(), file.end(), frame, frame + 2), file.end());
      txBitmap* back = Read(file);
      ASSERT_NE(back, nullptr) << errGetLastError();
      EXPECT_EQ(back->bits, c.bits);
      Bytes expect;
      for (size_t k = 0; k < pixels.size(); k += size_t(c.components)) {
        if (c.components == 1) {
          expect.push_back(pixels[k]);
          continue;
        }
        expect.push_back(pixels[k + (c.swapped ? 2 : 0)]);
        expect.push_back(pixels[k + 1]);
        expect.push_back(pixels[k + (c.swapped ? 0 : 2)]);
      }
      EXPECT_LE(MaxDiff(Level0(back), expect), kTolerance);
      txFree(&back);
      txFree(&b);
    }
  }
}

// A 32-bit image writes x.jpg and its grey alpha x_a.jpg, which the loader
// merges back; a quality of 150 is stored back as 100.
TEST_F(JpegWrite, AlphaGoesToItsOwnFileAndComesBack) {
  txOptions(TX_OPT_JPEG_QUALITY, 150);
  Bytes pixels = Smooth(12, 10, 4);
  txBitmap* b = Bitmap(2, 0, 2, pixels, 12, 10);
  ASSERT_EQ(jpegWrite(path.c_str(), b), 0) << errGetLastError();
  EXPECT_EQ(txOptionValue(TX_OPT_JPEG_QUALITY), 100);
  ASSERT_TRUE(qt::FileExists(dir / "x_a.jpg"));
  tlfix::MemFiles& files = tlfix::Store();
  files.files["x.jpg"] = FileBytes(path);
  files.files["x_a.jpg"] = FileBytes(dir / "x_a.jpg");
  txBitmap* back = txLoad("x.jpg");
  ASSERT_NE(back, nullptr) << errGetLastError();
  EXPECT_EQ(back->bits, 32);
  EXPECT_EQ(back->subtype, 2);
  EXPECT_EQ(back->type, 0);
  EXPECT_LE(MaxDiff(Level0(back), pixels), kTolerance);
  txFree(&back);
  txFree(&b);

  txOptions(TX_OPT_JPEG_QUALITY, -5);
  b = Bitmap(3, 0, 3, Smooth(4, 4, 1), 4, 4);
  ASSERT_EQ(jpegWrite(path.c_str(), b), 0);
  EXPECT_EQ(txOptionValue(TX_OPT_JPEG_QUALITY), 0);
  txFree(&b);
}

TEST_F(JpegWrite, Refusals) { tlfix::ExpectWriterRefusals(jpegWrite, dir, "x.jpg", 2); }

TEST_F(JpegWrite, FailuresInTheMiddle) {
  size_t blocks = tlfix::TrackedBlocks().size();
  txBitmap* b = Bitmap(2, 0, 2, Smooth(2, 2, 4), 2, 2);
  // The colour file is written, its alpha file cannot be (a folder has the name).
  ASSERT_EQ(mkdir((dir / "x_a.jpg").c_str(), 0755), 0);
  EXPECT_EQ(jpegWrite(path.c_str(), b), -1);
  EXPECT_EQ(errGetLastError(), 9);
  // A size the library refuses ends through its error manager, not the process.
  SYS_MemFree(b->data[0]);
  b->width = 70000;
  b->height = 1;
  b->subtype = 3;
  b->bits = 8;
  b->sizes[0] = b->width;
  b->data[0] = static_cast<uint8_t*>(SYS_MemGet(size_t(b->sizes[0])));
  EXPECT_EQ(jpegWrite(path.c_str(), b), -1);
  EXPECT_EQ(errGetLastError(), 5);
  txFree(&b);
  EXPECT_EQ(tlfix::TrackedBlocks().size(), blocks);
}

// Files written by ImageMagick read to the pixels it reads from them.
TEST(JpegRead, AgreesWithImageMagick) {
  if (!tlfix::HaveMagick()) GTEST_SKIP() << "ImageMagick is not installed";
  qt::TempDir dir;
  Bytes source = tlfix::Pnm("P6", 21, 13, "255", Smooth(21, 13, 3));
  struct Case {
    const char* what;
    std::string args, raw;
    int bits;
  };
  const Case cases[] = {
      {"colour", "-quality 90 ", "rgb", 24},
      {"grey", "-colorspace Gray -quality 90 ", "gray", 8},
      {"progressive", "-interlace JPEG -quality 80 ", "rgb", 24},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Bytes file, pixels;
    ASSERT_TRUE(tlfix::MagickConvert(dir, source, c.args, "out.jpg", c.raw, &file, &pixels));
    txBitmap* b = Read(file);
    ASSERT_NE(b, nullptr) << errGetLastError();
    EXPECT_EQ(b->bits, c.bits);
    EXPECT_LE(MaxDiff(Level0(b), pixels), 2);
    txFree(&b);
  }
}

// Seeds of the fuzz target, written to $QUARN_WRITE_SEEDS/jpeg when set.
TEST(JpegRead, FuzzSeeds) {
  const std::pair<const char*, Bytes> seeds[] = {
      {"colour.jpg", MakeJpeg(Smooth(16, 8, 3), 16, 8, 3)},
      {"grey.jpg", MakeJpeg(Smooth(9, 9, 1), 9, 9, 1)},
      {"progressive.jpg", MakeJpeg(Smooth(17, 5, 3), 17, 5, 3, false, true)},
  };
  for (const auto& [name, file] : seeds) {
    txBitmap* b = Read(file);
    ASSERT_NE(b, nullptr) << name;
    txFree(&b);
    tlfix::WriteSeed("jpeg", name, file);
  }
}

}  // namespace
