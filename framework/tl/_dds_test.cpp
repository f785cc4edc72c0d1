#include "framework/tl/_dds.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "framework/base/cfg.h"
#include "framework/base/log.h"
#include "testsupport/tl/dxtfixtures.h"
#include "testsupport/tl/dxt.h"
#include "testsupport/tl/memfiles.h"
#include "testsupport/testsupport.h"

using dxtfix::Bytes;

namespace {

class Dds : public ::testing::Test {
 protected:
  void SetUp() override {
    files = &tlfix::UseMemFiles();
    txOptions(TX_OPT_QUALITY, 0);
    txOptions(TX_OPT_ORDER, TX_TYPE_RGB);  // as the system starts: decoded pixels stay as they are
    txOptions(TX_OPT_VERBOSE, 0);
    GlTakes(1);
    errClear();
  }
  void TearDown() override {
    GlTakes(0);
    txOptions(TX_OPT_QUALITY, 0);
    txOptions(TX_OPT_ORDER, 0);
  }
  static void GlTakes(int on) { dxtfix::GlTakesDxt(on); }
  txBitmap* Load(const Bytes& file) {
    files->files["t.dds"] = file;
    return txLoad("t.dds");
  }
  tlfix::MemFiles* files = nullptr;
};

std::vector<int32_t> Sizes(const txBitmap* b) { return {b->sizes, b->sizes + b->levels}; }

// The 256 x 256 DXT1 image with 9 levels: 43,704 bytes of blocks.
struct LevelCase {
  const char* what;
  int quality, glTakesDxt1;
  int type, subtype, bits, side;
  std::vector<int32_t> sizes;
};

TEST_F(Dds, LevelSizes256) {
  Bytes file = dxtfix::PatternDds(dxtfix::kDXT1, 256, 256, 9);
  ASSERT_EQ(file.size(), 128u + 43704u);
  const LevelCase cases[] = {
      {"kept", 0, 1, 5, 0x83F0, 24, 256, {32768, 8192, 2048, 512, 128, 32, 8, 8, 8}},
      {"kept, quality 1", 1, 1, 5, 0x83F0, 24, 128, {8192, 2048, 512, 128, 32, 8, 8, 8}},
      {"kept, quality 2", 2, 1, 5, 0x83F0, 24, 64, {2048, 512, 128, 32, 8, 8, 8}},
      {"kept, quality 3 drops nothing", 3, 1, 5, 0x83F0, 24, 256, {32768, 8192, 2048, 512, 128, 32, 8, 8, 8}},
      {"decoded", 0, 0, 1, 0, 24, 256, {196608, 49152, 12288, 3072, 768, 192, 64, 64, 64}},
      {"decoded, quality 1", 1, 0, 1, 0, 24, 128, {49152, 12288, 3072, 768, 192, 64, 64, 64}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    txOptions(TX_OPT_QUALITY, c.quality);
    txOptions(TX_OPT_DXT1, c.glTakesDxt1);
    txBitmap* b = Load(file);
    ASSERT_NE(b, nullptr) << errGetLastError();
    EXPECT_EQ(b->filter, 4);
    EXPECT_EQ(b->fourcc, static_cast<int32_t>(dxtfix::kDXT1));
    EXPECT_EQ(b->type, c.type);
    EXPECT_EQ(b->subtype, c.subtype);
    EXPECT_EQ(b->bits, c.bits);
    EXPECT_EQ(b->width, c.side);
    EXPECT_EQ(b->height, c.side);
    EXPECT_EQ(Sizes(b), c.sizes);
    for (int i = b->levels; i < TX_LEVELS; ++i) EXPECT_EQ(b->data[i], nullptr);
    txFree(&b);
  }
}

// With the switch the GL's DXT1 support cannot be announced: the same file
// comes out decoded.
TEST(DdsSwitch, DisableDxt1Decodes) {
  qt::ExpectPassesInChild([] {
    qt::Args args{"prog", "-disable-dxt1"};
    SYS_CfgInit(args.argc(), args.argv());
    tlfix::MemFiles& files = tlfix::UseMemFiles();
    txOptions(TX_OPT_ORDER, TX_TYPE_RGB);
    txOptions(TX_OPT_DXT1, 1);
    txOptions(TX_OPT_DXT5, 1);
    files.files["a.dds"] = dxtfix::PatternDds(dxtfix::kDXT1, 256, 256, 9);
    files.files["b.dds"] = dxtfix::PatternDds(dxtfix::kDXT5, 8, 8, 1);
    txBitmap* a = txLoad("a.dds");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->type, 1);
    EXPECT_EQ(a->bits, 24);
    EXPECT_EQ(a->levels, 9);
    EXPECT_EQ(a->sizes[0], 196608);
    EXPECT_EQ(a->sizes[8], 64);
    txFree(&a);
    txBitmap* b = txLoad("b.dds");
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->type, 5);
    EXPECT_EQ(b->subtype, 0x83F3);
    txFree(&b);
  });
}

// Decoded levels hold what the block decoder makes of each level's blocks,
// in R, G, B(, A) order, with the subtype of the depth.
TEST_F(Dds, DecodedLevelsAreTheDecodersPixels) {
  GlTakes(0);
  for (uint32_t fourcc : {dxtfix::kDXT1, dxtfix::kDXT3, dxtfix::kDXT5}) {
    SCOPED_TRACE(dxt::NameOf(fourcc));
    Bytes file = dxtfix::PatternDds(fourcc, 12, 8, 4);
    tlfix::Exact e(file);
    txBitmap* b = ddsRead(e.data(), e.size());
    ASSERT_NE(b, nullptr) << errGetLastError();
    const dxt::Format& f = *dxt::FormatOf(fourcc);
    EXPECT_EQ(b->type, 1);
    EXPECT_EQ(b->subtype, fourcc == dxtfix::kDXT1 ? 0 : 2);
    EXPECT_EQ(b->bits, f.bits);
    ASSERT_EQ(b->levels, 4);
    size_t at = 128;
    for (int i = 0; i < 4; ++i) {
      int32_t w = dxt::Side(12, i), h = dxt::Side(8, i);
      std::vector<uint8_t> expected(static_cast<size_t>(dxt::DecodedBytes(w, h, f.bits)), 0);
      ASSERT_EQ(f.decode(file.data() + at, expected.data(), w, h, f.bits), 0);
      EXPECT_EQ(Bytes(b->data[i], b->data[i] + b->sizes[i]), expected) << "level " << i;
      at += static_cast<size_t>(dxt::LevelBytes(w, h, f.blockBytes));
    }
    txFree(&b);
  }
}

TEST_F(Dds, Detect) {
  Bytes dds = dxtfix::PatternDds(dxtfix::kDXT1, 4, 4, 1);
  EXPECT_EQ(ddsDetect(dds.data(), static_cast<int64_t>(dds.size())), 0);
  const uint8_t other[] = {'D', 'D', 'S', '_'};
  EXPECT_EQ(ddsDetect(other, 4), TX_ERR_FORMAT);
  EXPECT_EQ(ddsDetect(other, 3), TX_ERR_FORMAT);
}

Bytes WithField(Bytes file, size_t at, uint32_t value) {
  for (int k = 0; k < 4; ++k) file[at + static_cast<size_t>(k)] = static_cast<uint8_t>(value >> (8 * k));
  return file;
}

TEST_F(Dds, HostileHeaders) {
  const Bytes good = dxtfix::PatternDds(dxtfix::kDXT5, 8, 8, 4);  // 64 + 16 + 16 + 16 bytes of blocks
  dxtfix::DdsSpec wide;
  wide.width = 8192;
  wide.height = 1;
  wide.mipmaps = 14;  // one more level than the bitmap holds
  wide.data = tlfix::Pattern(static_cast<size_t>(dxtfix::AllLevelBytes(dxtfix::kDXT1, 8192, 1, 14)));
  const std::vector<dxtfix::Hostile> cases = {
      {"intact", good, -1, 0, 4},
      {"shorter than its header", good, 127, TX_ERR_SHORT, 0},
      {"header only", good, 128, TX_ERR_SHORT, 0},
      {"last level one byte short", good, static_cast<int64_t>(good.size()) - 1, TX_ERR_SHORT, 0},
      {"mipmap count 0 is one level", WithField(good, 28, 0), -1, 0, 1},
      {"more mipmaps than the size allows stop at 1 x 1", WithField(good, 28, 0xFFFFFFFF), -1, 0, 4},
      {"14 levels are capped at the 13 slots", dxtfix::Dds(wide), -1, 0, 13},
      {"width 0", WithField(good, 16, 0), -1, TX_ERR_FORMAT, 0},
      {"negative height", WithField(good, 12, 0xFFFFFFF8), -1, TX_ERR_FORMAT, 0},
      {"height INT_MIN", WithField(good, 12, 0x80000000u), -1, TX_ERR_FORMAT, 0},
      {"huge sides without their blocks", WithField(WithField(good, 12, INT_MAX), 16, INT_MAX), -1, TX_ERR_SHORT, 0},
      {"uncompressed (no FourCC)", WithField(good, 84, 0), -1, TX_ERR_FORMAT, 0},
      {"DX10 header", WithField(good, 84, dxt::FourCC('D', 'X', '1', '0')), -1, TX_ERR_FORMAT, 0},
      {"DXT2", WithField(good, 84, dxt::FourCC('D', 'X', 'T', '2')), -1, TX_ERR_FORMAT, 0},
  };
  dxtfix::ExpectHostile(ddsRead, cases);
}

// A quality skip that would leave no level refuses the file; a one-level
// file is not reduced here at all (the loader scales it instead).
TEST_F(Dds, QualitySkipNeverLeavesNoLevel) {
  tlfix::Exact two(dxtfix::PatternDds(dxtfix::kDXT1, 2, 2, 2));
  tlfix::Exact one(dxtfix::PatternDds(dxtfix::kDXT1, 4, 4, 1));
  txOptions(TX_OPT_QUALITY, 2);
  EXPECT_EQ(ddsRead(two.data(), two.size()), nullptr);
  EXPECT_EQ(errGetLastError(), TX_ERR_FORMAT);
  txBitmap* b = ddsRead(one.data(), one.size());
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->levels, 1);
  EXPECT_EQ(b->width, 4);
  txFree(&b);
  txOptions(TX_OPT_QUALITY, 1);
  b = ddsRead(two.data(), two.size());
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->levels, 1);
  EXPECT_EQ(b->width, 1);
  EXPECT_EQ(b->sizes[0], 8);
  txFree(&b);
}

// Every fuzz seed reads through the loader. With QUARN_WRITE_SEEDS naming
// the fuzz corpus folder the seeds are (re)written there.
TEST_F(Dds, FuzzSeedsLoad) {
  const char* out = std::getenv("QUARN_WRITE_SEEDS");
  for (const auto& seed : dxtfix::Seeds()) {
    SCOPED_TRACE(seed.name);
    files->files[seed.name] = seed.bytes;
    txBitmap* b = txLoad(seed.name.c_str());
    ASSERT_NE(b, nullptr) << errGetLastError();
    EXPECT_EQ(b->filter, seed.corpus == "dds" ? 4 : 5);
    txFree(&b);
    if (out) {
      std::string dir = std::string(out) + "/" + seed.corpus;
      mkdir(dir.c_str(), 0755);
      ASSERT_TRUE(qt::WriteFile(dir + "/" + seed.name, std::string(seed.bytes.begin(), seed.bytes.end())));
    }
  }
}

// Files another program (ImageMagick, when it is installed) compressed
// decode to what that program decodes them to, within the difference of
// the 5-6-5 expansion: shift only here, bit replication there (up to 7),
// plus a step of rounding in the mixed colours.
TEST_F(Dds, FilesFromImageMagick) {
  const char* convert = "/usr/bin/convert";
  if (access(convert, X_OK) != 0) GTEST_SKIP() << "ImageMagick is not installed";
  constexpr int kW = 16, kH = 8, kTolerance = 8;
  qt::TempDir dir;
  Bytes rgba(kW * kH * 4);
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) {
      uint8_t* p = &rgba[static_cast<size_t>((y * kW + x) * 4)];
      p[0] = static_cast<uint8_t>(x * 16);
      p[1] = static_cast<uint8_t>(y * 32);
      p[2] = static_cast<uint8_t>(255 - x * 8);
      p[3] = static_cast<uint8_t>((x + y) * 11);
    }
  ASSERT_TRUE(qt::WriteFile(dir / "src.rgba", std::string(rgba.begin(), rgba.end())));
  GlTakes(0);
  struct Case {
    const char* compression;
    int bits;
  };
  for (const Case& c : {Case{"dxt1", 24}, Case{"dxt5", 32}}) {
    SCOPED_TRACE(c.compression);
    const std::string channels = c.bits == 24 ? "rgb:" : "rgba:";
    const std::string size = " -size " + std::to_string(kW) + "x" + std::to_string(kH) + " -depth 8 ";
    std::string make = std::string(convert) + size + "rgba:" + dir / "src.rgba" + (c.bits == 24 ? " -alpha off" : "") +
                       " -define dds:compression=" + c.compression + " -define dds:mipmaps=0 " + dir / "out.dds";
    ASSERT_EQ(std::system(make.c_str()), 0) << make;
    std::string back = std::string(convert) + " " + dir / "out.dds" + " -depth 8 " + channels + dir / "back.raw";
    ASSERT_EQ(std::system(back.c_str()), 0) << back;
    std::string theirs = qt::ReadFile(dir / "back.raw");
    std::string file = qt::ReadFile(dir / "out.dds");
    tlfix::Exact e(Bytes(file.begin(), file.end()));
    txBitmap* b = ddsRead(e.data(), e.size());
    ASSERT_NE(b, nullptr) << errGetLastError();
    EXPECT_EQ(b->bits, c.bits);
    ASSERT_EQ(b->width, kW);
    ASSERT_EQ(b->height, kH);
    ASSERT_EQ(static_cast<size_t>(b->sizes[0]), theirs.size());
    int worst = 0;
    for (size_t k = 0; k < theirs.size(); ++k)
      worst = std::max(worst, std::abs(int(b->data[0][k]) - int(static_cast<uint8_t>(theirs[k]))));
    EXPECT_LE(worst, kTolerance);
    txFree(&b);
  }
}

}  // namespace
