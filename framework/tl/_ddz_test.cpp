#include "framework/tl/_ddz.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "framework/base/log.h"
#include "framework/tl/_dds.h"
#include "testsupport/tl/dxtfixtures.h"
#include "testsupport/tl/dxt.h"
#include "testsupport/tl/memfiles.h"
#include "testsupport/testsupport.h"

using dxtfix::Bytes;
using dxtfix::QtxLevel;

namespace {

class Qtx : public ::testing::Test {
 protected:
  void SetUp() override {
    files = &tlfix::UseMemFiles();
    txOptions(TX_OPT_QUALITY, 0);
    txOptions(TX_OPT_ORDER, TX_TYPE_RGB);
    txOptions(TX_OPT_VERBOSE, 0);
    txOptions(TX_OPT_KEEPDXT, 1);
    GlTakes(1);
    errClear();
  }
  void TearDown() override {
    GlTakes(0);
    txOptions(TX_OPT_KEEPDXT, 1);
    txOptions(TX_OPT_ORDER, 0);
  }
  static void GlTakes(int on) { dxtfix::GlTakesDxt(on); }
  txBitmap* Load(const std::string& name, const Bytes& file) {
    files->files[name] = file;
    return txLoad(name.c_str());
  }
  static Bytes Level(const txBitmap* b, int i) { return {b->data[i], b->data[i] + b->sizes[i]}; }
  static int32_t I32At(const Bytes& b, size_t at) {
    return static_cast<int32_t>(b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t(b[at + 3]) << 24);
  }
  static Bytes ReadBack(const std::string& path) {
    std::string s = qt::ReadFile(path);
    return {s.begin(), s.end()};
  }
  tlfix::MemFiles* files = nullptr;
};

// A DDS read and kept, written as QTX and read again gives the same bitmap:
// kept, the same blocks; decoded, the same pixels as the DDS decoded.
TEST_F(Qtx, DdsToQtxToRead) {
  qt::TempDir dir;
  struct Case {
    uint32_t fourcc;
    int32_t w, h;
    int levels;
  };
  // The last case holds as many levels as a bitmap can: 4096 down to 1.
  const Case cases[] = {{dxtfix::kDXT1, 64, 32, 7},
                        {dxtfix::kDXT3, 16, 16, 5},
                        {dxtfix::kDXT5, 20, 12, 5},
                        {dxtfix::kDXT1, 4096, 1, TX_LEVELS}};
  for (const auto& c : cases) {
    SCOPED_TRACE(dxt::NameOf(c.fourcc));
    // Half the blocks repeat, so that some levels pack and the tiny ones do not.
    Bytes dds = dxtfix::PatternDds(c.fourcc, c.w, c.h, c.levels);
    for (size_t k = 128; k < dds.size(); k += 2) dds[k] = 0;
    GlTakes(1);
    txBitmap* kept = Load("in.dds", dds);
    ASSERT_NE(kept, nullptr) << errGetLastError();
    std::string path = dir / "out.qtx";
    ASSERT_EQ(txSave(5, path.c_str(), kept), 0) << errGetLastError();
    Bytes qtx = ReadBack(path);
    ASSERT_GE(qtx.size(), 14u);
    EXPECT_EQ(std::string(qtx.begin(), qtx.begin() + 4), "QTX ");
    // The largest level packs; the 1 x 1 one cannot win against a block header.
    EXPECT_GT(I32At(qtx, 14), 0);
    const int32_t last = static_cast<int32_t>(dxtfix::BlockBytes(c.fourcc));
    EXPECT_EQ(I32At(qtx, qtx.size() - static_cast<size_t>(last) - 4), -last);

    txBitmap* again = Load("out.qtx", qtx);
    ASSERT_NE(again, nullptr) << errGetLastError();
    EXPECT_EQ(again->filter, 5);
    EXPECT_EQ(again->fourcc, 0);
    EXPECT_EQ(again->type, 5);
    EXPECT_EQ(again->subtype, kept->subtype);
    EXPECT_EQ(again->bits, kept->bits);
    EXPECT_EQ(again->width, c.w);
    EXPECT_EQ(again->height, c.h);
    ASSERT_EQ(again->levels, c.levels);
    for (int i = 0; i < c.levels; ++i) EXPECT_EQ(Level(again, i), Level(kept, i)) << "level " << i;
    txFree(&again);

    GlTakes(0);
    txBitmap* decodedDds = Load("in.dds", dds);
    txBitmap* decodedQtx = Load("out.qtx", qtx);
    ASSERT_NE(decodedDds, nullptr);
    ASSERT_NE(decodedQtx, nullptr);
    EXPECT_EQ(decodedQtx->type, 1);
    EXPECT_EQ(decodedQtx->subtype, decodedDds->subtype);
    ASSERT_EQ(decodedQtx->levels, c.levels);
    for (int i = 0; i < c.levels; ++i) EXPECT_EQ(Level(decodedQtx, i), Level(decodedDds, i)) << "level " << i;
    txFree(&decodedDds);
    txFree(&decodedQtx);
    txFree(&kept);
  }
}

// Option 0 decides for QTX alone: off, the blocks are decoded even where the
// GL takes them; the DDS reader keeps them regardless.
TEST_F(Qtx, OptionZeroDecidesKeeping) {
  Bytes block = tlfix::Pattern(8);
  Bytes qtx = dxtfix::Qtx(4, 4, dxtfix::kDXT1, {{block, false}});
  Bytes dds = dxtfix::PatternDds(dxtfix::kDXT1, 4, 4, 1);
  txOptions(TX_OPT_KEEPDXT, 0);
  tlfix::Exact q(qtx), d(dds);
  txBitmap* a = ddzRead(q.data(), q.size());
  txBitmap* b = ddsRead(d.data(), d.size());
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(a->type, 1);
  EXPECT_EQ(a->subtype, 0);
  EXPECT_EQ(a->sizes[0], 64);
  EXPECT_EQ(b->type, 5);
  txFree(&a);
  txFree(&b);
}

// L <= 0 stores the blocks plainly, L > 0 as a compressed block; both
// magics are taken.
TEST_F(Qtx, PlainAndPackedLevels) {
  Bytes level0(32, 0x11), level1 = tlfix::Pattern(8);
  struct Case {
    const char* what;
    Bytes file;
  };
  const Case cases[] = {
      {"packed then plain (L = -8)", dxtfix::Qtx(8, 8, dxtfix::kDXT1, {{level0, true}, {level1, false}})},
      {"both plain, DDZ magic", dxtfix::Qtx(8, 8, dxtfix::kDXT1, {{level0, false}, {level1, false}}, "DDZ ")},
      {"both packed", dxtfix::Qtx(8, 8, dxtfix::kDXT1, {{level0, true}, {level1, true}})},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(ddzDetect(c.file.data(), static_cast<int64_t>(c.file.size())), 0);
    tlfix::Exact e(c.file);
    txBitmap* b = ddzRead(e.data(), e.size());
    ASSERT_NE(b, nullptr) << errGetLastError();
    EXPECT_EQ(b->type, 5);
    EXPECT_EQ(b->subtype, 0x83F0);
    ASSERT_EQ(b->levels, 2);
    EXPECT_EQ(Level(b, 0), level0);
    EXPECT_EQ(Level(b, 1), level1);
    txFree(&b);
  }
}

// The GL takes a level's blocks only in their exact count: bytes stored
// beyond them stay out of the kept level.
TEST_F(Qtx, KeptLevelsHoldExactlyTheirBlocks) {
  Bytes stored = tlfix::Pattern(40);
  for (bool packed : {false, true}) {
    SCOPED_TRACE(packed ? "packed" : "plain");
    tlfix::Exact e(dxtfix::Qtx(4, 4, dxtfix::kDXT5, {{stored, packed}}));
    txBitmap* b = ddzRead(e.data(), e.size());
    ASSERT_NE(b, nullptr) << errGetLastError();
    EXPECT_EQ(Level(b, 0), Bytes(stored.begin(), stored.begin() + 16));
    txFree(&b);
  }
}

TEST_F(Qtx, DetectRefusesWithMinusOneAndCode1000) {
  const uint8_t other[] = {'D', 'D', 'S', ' ', 0, 0};
  EXPECT_EQ(ddzDetect(other, 6), -1);
  EXPECT_EQ(errGetLastError(), TX_ERR_FORMAT);
  EXPECT_EQ(ddzDetect(other, 2), -1);
}

// The writer takes only bitmaps the DDS filter read and kept compressed.
TEST_F(Qtx, WriterRefusals) {
  qt::TempDir dir;
  Bytes dds = dxtfix::PatternDds(dxtfix::kDXT5, 8, 8, 2);
  txBitmap* kept = Load("k.dds", dds);
  GlTakes(0);
  txBitmap* decoded = Load("d.dds", dds);
  ASSERT_NE(kept, nullptr);
  ASSERT_NE(decoded, nullptr);
  txBitmap* dummy = txCreateDummy(0, 4, 4);
  std::string path = dir / "x.qtx";

  EXPECT_EQ(ddzWrite(path.c_str(), dummy), -1);
  EXPECT_EQ(errGetLastError(), TX_ERR_FORMAT);
  EXPECT_EQ(ddzWrite(path.c_str(), nullptr), -1);
  EXPECT_EQ(errGetLastError(), TX_ERR_FORMAT);
  EXPECT_EQ(ddzWrite(path.c_str(), decoded), -1);
  EXPECT_EQ(errGetLastError(), TX_ERR_WRITETYPE);
  kept->levels = 14;
  EXPECT_EQ(ddzWrite(path.c_str(), kept), -1);
  EXPECT_EQ(errGetLastError(), TX_ERR_WRITETYPE);
  kept->levels = 2;
  EXPECT_FALSE(qt::FileExists(path));
  std::string nowhere = dir / "no/such/folder/x.qtx";
  EXPECT_EQ(ddzWrite(nowhere.c_str(), kept), -1);
  EXPECT_EQ(errGetLastError(), ERR_CANTOPEN);
  EXPECT_EQ(ddzWrite(path.c_str(), kept), 0);
  EXPECT_TRUE(qt::FileExists(path));
  txFree(&kept);
  txFree(&decoded);
  txFree(&dummy);
}

Bytes WithLength(Bytes header, int32_t L, const Bytes& bytes) {
  tlfix::Put32(header, static_cast<uint32_t>(L));
  header.insert(header.end(), bytes.begin(), bytes.end());
  return header;
}

TEST_F(Qtx, HostileHeaders) {
  const Bytes blocks16 = tlfix::Pattern(16);  // one DXT5 block
  const Bytes h1 = dxtfix::QtxHeader(4, 4, dxtfix::kDXT5, 1);
  const Bytes good = dxtfix::Qtx(8, 8, dxtfix::kDXT5, {{Bytes(64, 0), true}, {blocks16, false}});
  Bytes packedShort = dxtfix::PackBlock(Bytes(8, 0));
  Bytes packedDamaged = dxtfix::PackBlock(Bytes(64, 0));
  packedDamaged[14] ^= 0x55;
  std::vector<QtxLevel> fourteen;
  for (int i = 0; i < 14; ++i)
    fourteen.push_back({Bytes(static_cast<size_t>(dxt::LevelBytes(dxt::Side(8192, i), 1, 8)), 0), i % 2 == 0});
  const std::vector<dxtfix::Hostile> cases = {
      {"intact", good, -1, 0, 2},
      {"shorter than its header", good, 13, TX_ERR_SHORT, 0},
      {"header only", good, 14, TX_ERR_SHORT, 0},
      {"last level one byte short", good, static_cast<int64_t>(good.size()) - 1, TX_ERR_SHORT, 0},
      {"L = INT_MIN", WithLength(h1, INT_MIN, blocks16), -1, TX_ERR_SHORT, 0},
      {"L = INT_MAX", WithLength(h1, INT_MAX, blocks16), -1, TX_ERR_SHORT, 0},
      {"L = 0", WithLength(h1, 0, {}), -1, TX_ERR_SHORT, 0},
      {"plain level shorter than its blocks", WithLength(h1, -8, Bytes(8, 0)), -1, TX_ERR_SHORT, 0},
      {"plain level longer than its blocks", WithLength(h1, -40, Bytes(40, 0)), -1, 0, 1},
      {"packed level inflating short", WithLength(h1, static_cast<int32_t>(packedShort.size()), packedShort), -1,
       TX_ERR_SHORT, 0},
      {"packed level damaged",
       WithLength(dxtfix::QtxHeader(8, 8, dxtfix::kDXT5, 1), static_cast<int32_t>(packedDamaged.size()), packedDamaged),
       -1, ERR_ZLIB, 0},
      {"packed level too short for its block header", WithLength(h1, 5, Bytes(5, 0)), -1, ERR_ZLIB, 0},
      {"level count 0", WithLength(dxtfix::QtxHeader(4, 4, dxtfix::kDXT5, 0), -16, blocks16), -1, TX_ERR_FORMAT, 0},
      {"level count -1", WithLength(dxtfix::QtxHeader(4, 4, dxtfix::kDXT5, -1), -16, blocks16), -1, TX_ERR_FORMAT, 0},
      {"width 0", WithLength(dxtfix::QtxHeader(0, 4, dxtfix::kDXT5, 1), -16, blocks16), -1, TX_ERR_FORMAT, 0},
      {"negative height", WithLength(dxtfix::QtxHeader(4, -4, dxtfix::kDXT5, 1), -16, blocks16), -1, TX_ERR_FORMAT, 0},
      {"unknown FourCC", WithLength(dxtfix::QtxHeader(4, 4, dxt::FourCC('A', 'T', 'I', '2'), 1), -16, blocks16), -1,
       TX_ERR_FORMAT, 0},
      {"14 levels are capped at the 13 slots", dxtfix::Qtx(8192, 1, dxtfix::kDXT1, fourteen), -1, 0, 13},
  };
  dxtfix::ExpectHostile(ddzRead, cases);
}

TEST_F(Qtx, QualityDropsTheLargestLevels) {
  Bytes qtx = dxtfix::Qtx(8, 8, dxtfix::kDXT1,
                          {{Bytes(32, 1), true}, {Bytes(8, 2), false}, {Bytes(8, 3), false}, {Bytes(8, 4), false}});
  for (int quality : {1, 2}) {
    SCOPED_TRACE(quality);
    txOptions(TX_OPT_QUALITY, quality);
    tlfix::Exact e(qtx);
    txBitmap* b = ddzRead(e.data(), e.size());
    ASSERT_NE(b, nullptr) << errGetLastError();
    EXPECT_EQ(b->levels, 4 - quality);
    EXPECT_EQ(b->width, 8 >> quality);
    EXPECT_EQ(Level(b, 0), Bytes(8, static_cast<uint8_t>(1 + quality)));
    txFree(&b);
  }
  txOptions(TX_OPT_QUALITY, 0);
}

// The lines the readers and the writer give the log: verbose ones only with
// the flag, the DXT1 decoder's two lines at every call.
TEST(DxtLog, ReaderWriterAndDecoderLines) {
  qt::TempDir dir;
  std::string log = dir / "debug.log", out = dir / "v.qtx";
  auto r = qt::RunInChild([&] {
    SYS_DbgLogFile(log.c_str());
    SYS_DbgSetFlag(SYS_DBG_ON);
    tlfix::MemFiles& files = tlfix::UseMemFiles();
    files.files["v.dds"] = dxtfix::PatternDds(dxtfix::kDXT1, 4, 4, 1);
    Bytes zeros(32, 0);
    files.files["v.qtx"] = dxtfix::Qtx(8, 8, dxtfix::kDXT1, {{zeros, true}, {tlfix::Pattern(8), false}});
    dxtfix::GlTakesDxt(0);
    txBitmap* quiet = txLoad("v.dds");  // decoded without the verbose flag
    txFree(&quiet);
    txOptions(TX_OPT_VERBOSE, 1);
    dxtfix::GlTakesDxt(1);
    txBitmap* b = txLoad("v.dds");
    txBitmap* q = txLoad("v.qtx");
    if (!b || !q || ddzWrite(out.c_str(), q) != -1) _exit(2);
    q->filter = 4;  // as if the DDS filter had read it
    q->fourcc = static_cast<int32_t>(dxtfix::kDXT1);
    if (ddzWrite(out.c_str(), q) != 0) _exit(3);
    txFree(&b);
    txFree(&q);
  });
  ASSERT_EQ(r.exitCode, 0) << r.err;
  std::vector<std::string> tails;
  for (const auto& l : qt::SplitLines(qt::ReadFile(log))) {
    if (l.rfind("[TL][dds]", 0) != 0 && l.rfind("[TL][ddz]", 0) != 0) continue;
    size_t at = l.find("()] ");
    tails.push_back(l.substr(0, 9) + (at == std::string::npos ? l : l.substr(at + 4)));
  }
  EXPECT_EQ(tails, (std::vector<std::string>{
                       "[TL][dds]wxh 4x4",
                       "[TL][dds]d: 3",
                       "[TL][dds]DDS: v.dds",
                       "[TL][dds] size: 4x4 bits: 24 (DXT1)",
                       "[TL][dds] mipmap level: 1",
                       "[TL][dds] size: 8",
                       "[TL][dds] decode: no",
                       "[TL][ddz]DDZ: v.qtx",
                       "[TL][ddz] size: 8x8 bits: 24 (DXT1)",
                       "[TL][ddz] mipmap level: 2",
                       "[TL][ddz] size: 39",
                       "[TL][ddz] decode: no",
                       "[TL][ddz] write : " + out,
                       "[TL][ddz]  - size : 8x8",
                       "[TL][ddz]  - mipmap level: 2",
                       "[TL][ddz]  - fourcc : DXT1",
                       "[TL][ddz]  - level 0 : 32 -> 23 (71.88%)",
                       "[TL][ddz]  - level 1 : not compressed",
                       "[TL][ddz]  - compressed : 77.50%",
                   }));
}

}  // namespace
