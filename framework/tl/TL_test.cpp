#include "framework/tl/TL.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <cstring>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "framework/base/cfg.h"
#include "framework/base/log.h"
#include "framework/base/mem.h"
#include "testsupport/tl/fixtures.h"
#include "testsupport/tl/loadinput.h"
#include "testsupport/tl/memfiles.h"
#include "testsupport/testsupport.h"

using tlfix::Bytes;

namespace {

Bytes Level0(const txBitmap* b) { return {b->data[0], b->data[0] + b->sizes[0]}; }

Bytes SwapRB(Bytes p, size_t step) {
  for (size_t k = 0; k + 2 < p.size(); k += step) std::swap(p[k], p[k + 2]);
  return p;
}

Bytes ReverseRows(const Bytes& bytes, size_t rowBytes) {
  Bytes out;
  for (size_t r = bytes.size() / rowBytes; r-- > 0;)
    out.insert(out.end(), bytes.begin() + static_cast<long>(r * rowBytes),
               bytes.begin() + static_cast<long>((r + 1) * rowBytes));
  return out;
}

class Loader : public ::testing::Test {
 protected:
  void SetUp() override {
    files = &tlfix::UseMemFiles();
    txOptions(TX_OPT_QUALITY, 0);
    txOptions(TX_OPT_ORDER, 0);
    txOptions(TX_OPT_FLIP, 0);
    txOptions(TX_OPT_VERBOSE, 0);
    errClear();
  }
  void TearDown() override { EXPECT_FALSE(files->isOpen); }
  void Add(const std::string& name, const Bytes& bytes) { files->files[name] = bytes; }
  tlfix::MemFiles* files = nullptr;
};

// The colour image (4x2, pixels Pattern(seed 1)) with an optional alpha image.
struct PipelineCase {
  const char* what;
  int colourBits;
  int alphaBits;  // 0: no alpha image
  int alphaWidth;
  int order, flip;
  int bits, subtype, type;
  int lastError = 0;
};

TEST_F(Loader, PipelineTable) {
  const PipelineCase cases[] = {
      {"plain", 24, 0, 4, 0, 0, 24, 0, 0},
      {"R, G, B wanted", 24, 0, 4, 1, 0, 24, 0, 1},
      {"8-bit alpha", 24, 8, 4, 0, 0, 32, 2, 0},
      {"24-bit alpha", 24, 24, 4, 0, 0, 32, 2, 0},
      {"32-bit alpha over 32-bit colour", 32, 32, 4, 0, 0, 32, 2, 0},
      {"alpha, swap and flip", 24, 8, 4, 1, 1, 32, 2, 1},
      {"alpha of another size", 24, 8, 2, 0, 0, 24, 0, 0},
      // The swap refuses fewer than 24 bits: the load succeeds with the
      // swap's 1000 as its last error, and the type stays.
      {"alpha over an 8-bit image", 8, 8, 4, 1, 0, 8, 3, 0, 1000},
      {"8 bits in the wanted order", 8, 0, 4, 0, 0, 8, 3, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    SetUp();
    Bytes colour = tlfix::Pattern(4 * 2 * c.colourBits / 8, 1);
    Add("pic.tga", tlfix::SimpleTga(4, 2, c.colourBits));
    Bytes alpha = tlfix::Pattern(static_cast<size_t>(c.alphaWidth) * 2 * c.alphaBits / 8, 100);
    if (c.alphaBits) Add("pic_a.tga", tlfix::SimpleTga(c.alphaWidth, 2, c.alphaBits, 100));
    txOptions(TX_OPT_ORDER, c.order);
    txOptions(TX_OPT_FLIP, c.flip);

    txBitmap* b = txLoad("pic.tga");
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(errGetLastError(), c.lastError);
    EXPECT_EQ(b->filter, 0);
    EXPECT_EQ(b->bits, c.bits);
    EXPECT_EQ(b->subtype, c.subtype);
    EXPECT_EQ(b->type, c.type);
    EXPECT_EQ(b->width, 4);
    EXPECT_EQ(b->height, 2);

    // What the bytes must be: alpha merged, then swapped, then flipped.
    Bytes expect = colour;
    size_t step = static_cast<size_t>(c.colourBits / 8);
    bool merged = c.bits == 32 && c.alphaBits && c.alphaWidth == 4;
    if (merged) {
      if (c.colourBits == 24) {
        Bytes wide;
        for (size_t k = 0; k < colour.size(); k += 3) wide.insert(wide.end(), {colour[k], colour[k + 1], colour[k + 2], 255});
        expect = wide;
      }
      step = 4;
      size_t aStep = static_cast<size_t>(c.alphaBits / 8);
      for (size_t k = 0; k < 8; ++k) expect[k * 4 + 3] = alpha[k * aStep];
    }
    if (c.order == 1 && c.bits >= 24) expect = SwapRB(expect, step);
    if (c.flip) expect = ReverseRows(expect, 4 * step);
    EXPECT_EQ(Level0(b), expect);
    txFree(&b);
  }
}

TEST_F(Loader, QualityReducesSingleLevelImages) {
  struct Case {
    int quality, w, h, nw, nh;
  };
  const Case cases[] = {{0, 256, 128, 256, 128}, {1, 256, 128, 128, 64}, {2, 256, 128, 64, 32},
                        {7, 256, 128, 64, 32},   {1, 3, 1, 1, 1},       {2, 2, 2, 1, 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE("quality " + std::to_string(c.quality) + " on " + std::to_string(c.w) + "x" + std::to_string(c.h));
    Add("q.tga", tlfix::SimpleTga(c.w, c.h, 24));
    txOptions(TX_OPT_QUALITY, c.quality);
    txBitmap* b = txLoad("q.tga");
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->width, c.nw);
    EXPECT_EQ(b->height, c.nh);
    EXPECT_EQ(b->sizes[0], c.nw * c.nh * 3);
    txFree(&b);
  }
}

// A reader that hands out a compressed, multi-level bitmap, standing in for
// the DDS reader: such images skip every post-processing step.
txBitmap* ReadCompressed(const uint8_t*, int64_t) {
  txBitmap* b = txNewBitmap();
  b->type = 5;
  b->subtype = 0x83F0;
  b->width = b->height = 8;
  b->bits = 4;
  b->levels = 2;
  for (int i = 0; i < 2; ++i) {
    b->sizes[i] = 32 >> (i * 2);
    b->data[i] = static_cast<uint8_t*>(SYS_MemGet(static_cast<size_t>(b->sizes[i])));
    b->data[i][0] = static_cast<uint8_t>(i + 1);
  }
  return b;
}
int DetectDds(const uint8_t* buffer, int64_t length) {
  return length >= 4 && std::memcmp(buffer, "DDS ", 4) == 0 ? 0 : 1000;
}

TEST_F(Loader, CompressedImagesSkipPostProcessing) {
  txFilter saved = txFilterDDS;
  txFilterDDS.detect = DetectDds;
  txFilterDDS.read = ReadCompressed;
  Add("c.dds", Bytes{'D', 'D', 'S', ' ', 0});
  Add("c_a.dds", tlfix::SimpleTga(8, 8, 8));
  txOptions(TX_OPT_ORDER, 1);
  txOptions(TX_OPT_FLIP, 1);
  txOptions(TX_OPT_QUALITY, 2);
  txBitmap* b = txLoad("c.dds");
  txFilterDDS = saved;
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->filter, 4);
  EXPECT_EQ(b->width, 8);
  EXPECT_EQ(b->levels, 2);
  EXPECT_EQ(b->data[0][0], 1);
  EXPECT_EQ(files->asked, (std::vector<std::string>{"c.dds"}));  // no alpha image looked for
  txFree(&b);
}

TEST_F(Loader, FlipTurnsEveryLevel) {
  txBitmap* b = txCreateDummy(3, 2, 4);
  b->levels = 2;
  b->sizes[1] = 2;  // level 1 is 1x2
  b->data[1] = static_cast<uint8_t*>(SYS_MemGet(2));
  b->data[1][0] = 1;
  b->data[1][1] = 2;
  for (int i = 0; i < 8; ++i) b->data[0][i] = static_cast<uint8_t>(i);
  // The flip step of a load is reached through a bitmap the loader reads, so
  // a filter hands this one out.
  static txBitmap* handOut;
  handOut = b;
  txFilter saved = txFilterDDS;
  txFilterDDS.detect = DetectDds;
  txFilterDDS.read = [](const uint8_t*, int64_t) -> txBitmap* { return handOut; };
  Add("m.dds", Bytes{'D', 'D', 'S', ' '});
  txOptions(TX_OPT_FLIP, 1);
  txBitmap* r = txLoad("m.dds");
  txFilterDDS = saved;
  ASSERT_EQ(r, b);
  EXPECT_EQ(Level0(r), (Bytes{6, 7, 4, 5, 2, 3, 0, 1}));
  EXPECT_EQ(r->data[1][0], 2);
  EXPECT_EQ(r->data[1][1], 1);
  txFree(&r);
}

TEST_F(Loader, CompanionNames) {
  struct Case {
    const char* name;
    const char* alpha;
  };
  const Case cases[] = {{"pic.tga", "pic_a.tga"},
                        {"a.b.png", "a.b_a.png"},
                        {"noext", "noext_a"},
                        {"data.d\\img", "data.d\\img_a"},
                        {"data.d\\img.bmp", "data.d\\img_a.bmp"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SetUp();
    Add(c.name, tlfix::SimpleTga(2, 2, 24));
    txBitmap* b = txLoad(c.name);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(files->asked, (std::vector<std::string>{c.name, c.alpha}));
    txFree(&b);
  }
  // The alpha image is loaded as it is: it gets no alpha image of its own.
  SetUp();
  Add("x.tga", tlfix::SimpleTga(2, 2, 24));
  Add("x_a.tga", tlfix::SimpleTga(2, 2, 8));
  Add("x_a_a.tga", tlfix::SimpleTga(2, 2, 8));
  txBitmap* b = txLoad("x.tga");
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(files->asked, (std::vector<std::string>{"x.tga", "x_a.tga"}));
  txFree(&b);
}

TEST_F(Loader, FailuresAndTheirCodes) {
  EXPECT_EQ(txLoad("absent.tga"), nullptr);
  EXPECT_EQ(errGetLastError(), 1);
  Add("empty.tga", Bytes{});
  int closes = files->closes;
  EXPECT_EQ(txLoad("empty.tga"), nullptr);
  EXPECT_EQ(errGetLastError(), 5);
  // A failed read leaves its file open for the next open to close.
  EXPECT_EQ(files->closes, closes);
  EXPECT_TRUE(files->isOpen);
  Add("junk.bin", Bytes{'x', 'y', 'z', 0, 0, 0, 0, 0, 0});
  EXPECT_EQ(txLoad("junk.bin"), nullptr);
  EXPECT_EQ(errGetLastError(), 1000);
  Add("short.tga", Bytes{0, 0, 2, 0, 0, 0, 0, 0, 0, 0});
  EXPECT_EQ(txLoad("short.tga"), nullptr);
  EXPECT_EQ(errGetLastError(), 1002);
  EXPECT_EQ(txLoad(nullptr), nullptr);
  // The NULL name opened nothing; every other open file was closed, except
  // the one whose read failed.
  EXPECT_EQ(files->opens, files->closes + 2);
  EXPECT_EQ(txFindFilter(nullptr, 0), nullptr);
  EXPECT_EQ(errGetLastError(), 1000);
  tlfix::Exact bmp(Bytes{'B', 'M', 0});
  EXPECT_EQ(txFindFilter(bmp.data(), bmp.size()), &txFilterBMP);
}

TEST_F(Loader, NoBlockIsLeftBehind) {
  auto before = tlfix::TrackedBlocks();
  Add("pic.tga", tlfix::SimpleTga(4, 4, 24));
  Add("pic_a.tga", tlfix::SimpleTga(4, 4, 8));
  Add("bad.tga", Bytes{0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 4, 0, 4, 0, 24, 0, 1});
  txOptions(TX_OPT_QUALITY, 1);
  txOptions(TX_OPT_FLIP, 1);
  txOptions(TX_OPT_ORDER, 1);
  for (const char* name : {"pic.tga", "bad.tga", "absent.tga"}) {
    txBitmap* b = txLoad(name);
    if (b) {
      txBitmap* d = txDup(b);
      txFree(&d);
      txFree(&b);
    }
  }
  EXPECT_EQ(tlfix::TrackedBlocks(), before);
}

TEST_F(Loader, DupIsDeep) {
  txBitmap* b = txCreateDummy(2, 4, 4);
  b->levels = 2;
  b->sizes[1] = 16;
  b->data[1] = static_cast<uint8_t*>(SYS_MemGet(16));
  b->data[1][3] = 77;
  b->comment = static_cast<uint8_t*>(SYS_MemGet(8));
  b->comment[7] = 9;
  b->data[0][5] = 5;
  txBitmap* d = txDup(b);
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->width, 4);
  EXPECT_EQ(d->bits, 32);
  EXPECT_EQ(d->levels, 2);
  for (int i = 0; i < 2; ++i) {
    EXPECT_NE(d->data[i], b->data[i]);
    EXPECT_EQ(d->sizes[i], b->sizes[i]);
  }
  EXPECT_EQ(d->data[0][5], 5);
  EXPECT_EQ(d->data[1][3], 77);
  ASSERT_NE(d->comment, nullptr);
  EXPECT_NE(d->comment, b->comment);
  EXPECT_EQ(d->comment[7], 9);
  txFree(&b);
  EXPECT_EQ(d->data[1][3], 77);  // still its own after the source is gone
  txFree(&d);
  EXPECT_EQ(d, nullptr);
  EXPECT_EQ(txDup(nullptr), nullptr);
  EXPECT_EQ(errGetLastError(), 1001);
}

TEST_F(Loader, DummiesAndRecordAccess) {
  struct Case {
    int kind, bits;
  };
  for (const Case c : {Case{0, 24}, Case{1, 24}, Case{2, 32}, Case{3, 8}}) {
    txBitmap* b = txCreateDummy(c.kind, 3, 5);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->type, c.kind);
    EXPECT_EQ(b->subtype, c.kind);
    EXPECT_EQ(txGetBits(b), c.bits);
    EXPECT_EQ(txGetLevelSize(b, 0), 15 * c.bits / 8);
    EXPECT_EQ(b->levels, 1);
    EXPECT_EQ(Level0(b), Bytes(static_cast<size_t>(15 * c.bits / 8), 0));
    EXPECT_EQ(txGetLevelData(b, 0), b->data[0]);
    EXPECT_EQ(txGetLevelData(b, 13), nullptr);
    EXPECT_EQ(txGetLevelSize(b, -1), 0);
    txFree(&b);
  }
  EXPECT_EQ(txGetBits(nullptr), 0);
  for (int bad : {-1, 4}) {
    EXPECT_EQ(txCreateDummy(bad, 2, 2), nullptr);
    EXPECT_EQ(errGetLastError(), 10);
  }
  // Sizes that give no pixels, or more bytes than a level can count, get no
  // block: out of memory.
  for (auto [w, h] : {std::pair{0, 2}, std::pair{2, 0}, std::pair{-3, 2}, std::pair{-3, -2}, std::pair{65536, 65536}}) {
    EXPECT_EQ(txCreateDummy(2, w, h), nullptr);
    EXPECT_EQ(errGetLastError(), 5);
  }
  txBitmap* none = nullptr;
  EXPECT_EQ(txFree(&none), -1);
  EXPECT_EQ(errGetLastError(), 10);
  EXPECT_EQ(txFree(nullptr), -1);
}

TEST_F(Loader, SwapRBTouchesEveryLevel) {
  txBitmap* b = txCreateDummy(2, 1, 1);
  b->data[0][0] = 1;
  b->data[0][2] = 3;
  b->data[0][3] = 4;
  b->levels = 2;
  b->sizes[1] = 4;
  b->data[1] = static_cast<uint8_t*>(SYS_MemGet(4));
  b->data[1][0] = 9;
  EXPECT_EQ(txSwapRB(b), 0);
  EXPECT_EQ(Level0(b), (Bytes{3, 0, 1, 4}));
  EXPECT_EQ(b->data[1][2], 9);
  EXPECT_EQ(b->type, 2);  // the record is left as it was
  txFree(&b);
  txBitmap* g = txCreateDummy(3, 1, 1);
  EXPECT_EQ(txSwapRB(g), -1);
  EXPECT_EQ(errGetLastError(), 1000);
  txFree(&g);
}

TEST_F(Loader, AddAlphaChannel) {
  Add("mask.tga", tlfix::SimpleTga(2, 1, 8, 50));
  txBitmap* b = txCreateDummy(0, 2, 1);
  ASSERT_EQ(txAddAlphaChannel("mask.tga", b), 0);
  EXPECT_EQ(Level0(b), (Bytes{0, 0, 0, 50, 0, 0, 0, 57}));
  EXPECT_EQ(b->subtype, 2);
  EXPECT_EQ(txAddAlphaChannel("absent.tga", b), -1);
  EXPECT_EQ(errGetLastError(), 1003);
  txBitmap* wide = txCreateDummy(0, 3, 1);
  EXPECT_EQ(txAddAlphaChannel("mask.tga", wide), -1);  // another size
  EXPECT_EQ(errGetLastError(), 10);
  EXPECT_EQ(wide->bits, 24);
  txFree(&wide);
  txFree(&b);
}

TEST_F(Loader, OptionsTable) {
  EXPECT_EQ(txOptions(10, 1), -1);
  EXPECT_EQ(errGetLastError(), 10);
  EXPECT_EQ(txOptions(13, 1), -1);
  EXPECT_EQ(txOptions(TX_OPT_ORDER, 1), 0);
  EXPECT_EQ(txOptions(TX_OPT_GETORDER, 55), 1);
  EXPECT_EQ(txOptionValue(TX_OPT_ORDER), 1);
  struct Case {
    int option, value;
  };
  const Case cases[] = {{0, 0},  {4, 1},   {5, 0},      {6, 0},      {7, 3},      {8, 40},
                        {9, 90}, {11, 2}, {0x83F0, 1}, {0x83F2, 1}, {0x83F3, 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.option);
    EXPECT_EQ(txOptions(c.option, c.value), 0);
    EXPECT_EQ(txOptionValue(c.option), c.value);
  }
  EXPECT_EQ(txFilterJPEG.param1, 90);
  EXPECT_EQ(txFilterJPEG.param2, 3);
  EXPECT_EQ(txFilterPNG.param1, 2);
  txOptions(9, 75);
  txOptions(7, 100);
  txOptions(11, 9);
  txOptions(0, 1);
}

TEST(LoaderSwitches, RefusedDxtFormatsStayOff) {
  auto r = qt::RunInChild([] {
    qt::Args args{"prog", "-disable-dxt1", "/DISABLE-DXT5", "-debug-tl"};
    SYS_CfgInit(args.argc(), args.argv());
    txInit(nullptr);
    if (txOptions(TX_OPT_DXT1, 1) != 0 || txOptions(TX_OPT_DXT3, 1) != 0 || txOptions(TX_OPT_DXT5, 1) != 0) _exit(2);
    std::printf("%d %d %d %d\n", txOptionValue(TX_OPT_DXT1), txOptionValue(TX_OPT_DXT3), txOptionValue(TX_OPT_DXT5),
                txVerbose());
    std::fflush(stdout);
  });
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, "0 1 0 1\n");
}

// The "%s()" field of a framework log line: the function that writes it.
std::string FunctionField(const std::string& line) {
  size_t end = line.find("()] ");
  size_t start = line.rfind(':', end);
  return end == std::string::npos || start == std::string::npos ? "" : line.substr(start + 1, end - start - 1);
}

// What a child wrote to the log, with the in-memory store holding `files`
// while it ran `body`.
struct LogRun {
  int exitCode;
  std::string err;
  std::vector<std::string> lines;
};
LogRun RunLogged(const std::map<std::string, Bytes>& files, const std::function<void()>& body) {
  qt::TempDir dir;
  std::string log = dir / "debug.log";
  auto r = qt::RunInChild([&] {
    SYS_DbgLogFile(log.c_str());
    SYS_DbgSetFlag(SYS_DBG_ON);
    tlfix::UseMemFiles().files = files;
    body();
  });
  return {r.exitCode, r.err, qt::SplitLines(qt::ReadFile(log))};
}

// The readers' verbose lines carry the reader's own name, whichever helper
// writes them.
TEST(LoaderLog, ReaderLinesNameTheReader) {
  tlfix::BmpSpec bmp;
  bmp.rows = tlfix::Pattern(18);
  std::map<std::string, Bytes> files = {{"v.bmp", tlfix::Bmp(bmp)},
                                        {"v.ppm", tlfix::Pnm("P6", 2, 1, "255", tlfix::Pattern(6))}};
  LogRun r = RunLogged(files, [] {
    txOptions(TX_OPT_VERBOSE, 1);
    for (const char* name : {"v.bmp", "v.ppm"}) {
      txBitmap* b = txLoad(name);
      if (!b) _exit(2);
      txFree(&b);
    }
  });
  ASSERT_EQ(r.exitCode, 0) << r.err;
  std::map<std::string, std::string> functionOfTag = {{"[TL][bmp]", "bmpRead"}, {"[TL][pnm]", "pnmRead"}};
  std::map<std::string, int> linesOfTag;
  for (const auto& l : r.lines) {
    std::string tag = l.substr(0, 9);
    if (!functionOfTag.count(tag)) continue;
    linesOfTag[tag]++;
    EXPECT_EQ(FunctionField(l), functionOfTag[tag]) << l;
  }
  EXPECT_EQ(linesOfTag["[TL][bmp]"], 5);
  EXPECT_EQ(linesOfTag["[TL][pnm]"], 3);
}

TEST(LoaderLog, VerboseLines) {
  LogRun r = RunLogged({{"v.tga", tlfix::SimpleTga(2, 1, 24)}}, [] {
    txOptions(TX_OPT_QUALITY, 0);  // written always
    txBitmap* quiet = txLoad("v.tga");
    txFree(&quiet);
    txOptions(TX_OPT_VERBOSE, 1);
    txOptions(TX_OPT_FLIP, 1);
    txBitmap* b = txLoad("v.tga");
    txFree(&b);
    txSave(42, "x", nullptr);
  });
  ASSERT_EQ(r.exitCode, 0) << r.err;
  std::vector<std::string> tails, functions;
  for (const auto& l : r.lines) {
    EXPECT_EQ(l.rfind("[TL][TL.cpp:", 0), 0u) << l;
    tails.push_back(l.substr(l.find("()] ") + 4));
    functions.push_back(FunctionField(l));
  }
  // The load's helpers write in the name of the loader function.
  std::vector<std::string> expected(tails.size(), "txLoad");
  expected.front() = "txOptions";
  expected.back() = "txSave";
  EXPECT_EQ(functions, expected);
  EXPECT_EQ(tails, (std::vector<std::string>{"Set texture quality: 0",
                                             "Load bitmap: v.tga",
                                             "type: Targa (TGA)",
                                             "size: 2x1 bits: 24",
                                             "imagesize: 6",
                                             "Load bitmap: v_a.tga",
                                             " ! unable to open texture (v_a.tga).",
                                             "alpha map not found.",
                                             "---",
                                             "Horizontal flipping.",
                                             " ! unknown format."}));
}

}  // namespace

namespace {

// Every fuzz seed is a file that the loader finds the right filter for and
// reads. With QUARN_WRITE_SEEDS naming the fuzz corpus folder the seeds are
// (re)written there.
TEST_F(Loader, FuzzSeedsLoad) {
  const char* out = std::getenv("QUARN_WRITE_SEEDS");
  const std::map<std::string, int32_t> ids = {{"tga", 0}, {"bmp", 2}, {"pnm", 6}, {"dicom", 7}};
  for (const auto& seed : tlfix::Seeds()) {
    SCOPED_TRACE(seed.name);
    Add(seed.name, seed.bytes);
    txBitmap* b = txLoad(seed.name.c_str());
    ASSERT_NE(b, nullptr) << errGetLastError();
    EXPECT_EQ(b->filter, ids.at(seed.corpus));
    txFree(&b);
    if (out) {
      std::string dir = std::string(out) + "/" + seed.corpus;
      mkdir(dir.c_str(), 0755);
      ASSERT_TRUE(qt::WriteFile(dir + "/" + seed.name, std::string(seed.bytes.begin(), seed.bytes.end())));
    }
  }
}

// The whole-load seeds unpack to what was packed and load under their
// options, alpha images included; written to "txload" like the others.
TEST_F(Loader, WholeLoadSeedsLoad) {
  const char* out = std::getenv("QUARN_WRITE_SEEDS");
  for (const auto& [name, input] : tlfix::LoadSeeds()) {
    SCOPED_TRACE(name);
    Bytes packed = tlfix::PackLoadInput(input);
    tlfix::LoadInput back = tlfix::UnpackLoadInput(packed);
    EXPECT_EQ(back.options, input.options);
    EXPECT_EQ(back.image, input.image);
    EXPECT_EQ(back.alpha, input.alpha);
    txBitmap* b = tlfix::LoadFromInput(back);
    ASSERT_NE(b, nullptr) << errGetLastError();
    EXPECT_TRUE(tlfix::HoldsItsPixels(b));
    if (!input.alpha.empty()) {
      EXPECT_EQ(b->bits, 32);
    }
    txFree(&b);
    if (out) {
      std::string dir = std::string(out) + "/txload";
      mkdir(dir.c_str(), 0755);
      ASSERT_TRUE(qt::WriteFile(dir + "/" + name, std::string(packed.begin(), packed.end())));
    }
  }
}

// Blocks too short for the option header, and alpha lengths past the end,
// still make an input: the fuzz target never has to refuse one.
TEST(WholeLoadInput, EveryBlockUnpacks) {
  struct Case {
    const char* what;
    Bytes block;
    uint8_t options;
    size_t image, alpha;
  };
  const Case cases[] = {
      {"empty", {}, 0, 0, 0},
      {"options only", {7}, 7, 0, 0},
      {"alpha longer than the rest", {1, 9, 0, 'a', 'b'}, 1, 2, 0},
      {"alpha is all the rest", {2, 2, 0, 'a', 'b'}, 2, 0, 2},
      {"image and alpha", {3, 1, 0, 'a', 'b', 'c'}, 3, 2, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    tlfix::LoadInput in = tlfix::UnpackLoadInput(c.block);
    EXPECT_EQ(in.options, c.options);
    EXPECT_EQ(in.image.size(), c.image);
    EXPECT_EQ(in.alpha.size(), c.alpha);
  }
}

}  // namespace

namespace {

// Files written by another program (ImageMagick, when it is installed) read
// to the pixels they were made from: B, G, R bytes, top row first.
TEST_F(Loader, FilesFromImageMagick) {
  const char* convert = "/usr/bin/convert";
  if (access(convert, X_OK) != 0) GTEST_SKIP() << "ImageMagick is not installed";
  qt::TempDir dir;
  Bytes rgb = tlfix::Pattern(5 * 3 * 3, 11);
  Bytes source = tlfix::Pnm("P6", 5, 3, "255", rgb);
  ASSERT_TRUE(qt::WriteFile(dir / "src.ppm", std::string(source.begin(), source.end())));
  Bytes bgr = SwapRB(rgb, 3);
  Bytes grey;
  for (size_t k = 0; k < rgb.size(); k += 3) grey.push_back(rgb[k]);

  struct Case {
    const char* what;
    std::string args, file;
    int bits, subtype, type;
    Bytes expect;
  };
  const Case cases[] = {
      // Its TGA writer marks rows written top first as such only when told.
      {"TGA", "-orient TopLeft -compress none", "out.tga", 24, 0, 0, bgr},
      {"BMP (padded rows)", "", "out.bmp", 24, 0, 0, bgr},
      {"BMP3", "", "BMP3:old.bmp", 24, 0, 0, bgr},
      {"PPM", "", "out.ppm", 24, 0, 0, bgr},
      {"PGM", "-channel R -separate", "out.pgm", 8, 3, 0, grey},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    size_t colon = c.file.find(':');
    std::string file = c.file.substr(colon + 1);
    std::string format = colon == std::string::npos ? "" : c.file.substr(0, colon + 1);
    std::string command = std::string(convert) + " " + dir / "src.ppm" + " " + c.args + " " + format + dir / file;
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    std::string bytes = qt::ReadFile(dir / file);
    Add(file, Bytes(bytes.begin(), bytes.end()));
    txBitmap* b = txLoad(file.c_str());
    ASSERT_NE(b, nullptr) << errGetLastError();
    EXPECT_EQ(b->width, 5);
    EXPECT_EQ(b->height, 3);
    EXPECT_EQ(b->bits, c.bits);
    EXPECT_EQ(b->subtype, c.subtype);
    EXPECT_EQ(b->type, c.type);
    EXPECT_EQ(Level0(b), c.expect);
    txFree(&b);
  }
  // Its colour-mapped TGA holds as many map entries as the image has colours
  // (15 here), not a multiple of 256: no filter takes it.
  std::string command =
      std::string(convert) + " " + dir / "src.ppm" + " -orient TopLeft -compress none -type Palette " + dir / "pal.tga";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  std::string bytes = qt::ReadFile(dir / "pal.tga");
  Add("pal.tga", Bytes(bytes.begin(), bytes.end()));
  EXPECT_EQ(txLoad("pal.tga"), nullptr);
  EXPECT_EQ(errGetLastError(), 1000);
}

}  // namespace

namespace {

// Level 0 as a plain reader hands it out: the stored rows top row first, and
// behind them whatever else the level holds (a DICOM pixel element longer
// than its image).
Bytes TopFirst(const Bytes& stored, size_t rowBytes, size_t rows, bool bottomUp) {
  Bytes rowsPart(stored.begin(), stored.begin() + static_cast<long>(rowBytes * rows));
  Bytes out = bottomUp ? ReverseRows(rowsPart, rowBytes) : rowsPart;
  out.insert(out.end(), stored.begin() + static_cast<long>(rowBytes * rows), stored.end());
  return out;
}

// The first `rows` rows reversed, the rest of the level left in its place.
Bytes FlipFirstRows(const Bytes& level, size_t rowBytes, size_t rows) {
  return TopFirst(level, rowBytes, rows, true);
}

struct PlainCase {
  const char* what;
  Bytes file;
  Bytes native;  // level 0 as the reader gives it (its own order, top row first)
  int width, height, bits, subtype, type;
};

Bytes BmpFile(int32_t height, int bits, const Bytes& rows) {
  tlfix::BmpSpec s;
  s.width = 3;
  s.height = height;
  s.bits = bits;
  s.rows = rows;
  return tlfix::Bmp(s);
}

Bytes DicomFile(uint16_t samples, const Bytes& pixels) {
  tlfix::DicomSpec s;
  s.samples = samples;
  s.pixels = pixels;
  return tlfix::Dicom(s);
}

// Every layout of the plain readers: the bytes each hands out, in the order
// and orientation the loader's options ask for.
std::vector<PlainCase> PlainCases() {
  using tlfix::Pattern;
  std::vector<PlainCase> cases;
  const Bytes rgb = Pattern(3 * 2 * 3, 11);
  cases.push_back({"PNM colour", tlfix::Pnm("P6", 3, 2, "255", rgb), SwapRB(rgb, 3), 3, 2, 24, 0, 0});
  cases.push_back({"PNM grey", tlfix::Pnm("P5", 3, 2, "255", Pattern(6, 5)), Pattern(6, 5), 3, 2, 8, 3, 0});
  struct TgaLayout {
    const char* what;
    int bits, subtype;
    bool topFirst;
  };
  const TgaLayout tgas[] = {{"TGA 24 top", 24, 0, true},    {"TGA 24 bottom", 24, 0, false},
                            {"TGA 32 top", 32, 2, true},    {"TGA 32 bottom", 32, 2, false},
                            {"TGA 8 bottom", 8, 3, false},  {"TGA 16 bottom", 16, -1, false}};
  for (const TgaLayout& t : tgas) {
    const size_t rowBytes = static_cast<size_t>(4 * t.bits / 8);
    const Bytes stored = Pattern(rowBytes * 3, 1);
    cases.push_back({t.what, tlfix::SimpleTga(4, 3, t.bits, 1, t.topFirst), TopFirst(stored, rowBytes, 3, !t.topFirst),
                     4, 3, t.bits, t.subtype, 0});
  }
  tlfix::TgaSpec mapped;
  mapped.width = 2;
  mapped.height = 3;
  mapped.bits = 8;
  mapped.imageType = 1;
  mapped.topFirst = false;
  mapped.mapLength = 256;
  mapped.map = Pattern(768, 3);
  mapped.pixels = {0, 1, 2, 200, 255, 7};
  Bytes expanded;
  for (uint8_t i : mapped.pixels) expanded.insert(expanded.end(), {mapped.map[i * 3u + 2], mapped.map[i * 3u + 1], mapped.map[i * 3u]});
  cases.push_back({"TGA colour-mapped bottom", tlfix::Tga(mapped), TopFirst(expanded, 6, 3, true), 2, 3, 24, 0, 1});
  struct BmpLayout {
    const char* what;
    int32_t height;
    int bits, subtype;
  };
  const BmpLayout bmps[] = {{"BMP 24 bottom-up, padded", 2, 24, 0},
                            {"BMP 24 top-down", -2, 24, 0},
                            {"BMP 32 bottom-up", 2, 32, 2},
                            {"BMP 8 bottom-up, padded", 2, 8, 3}};
  for (const BmpLayout& l : bmps) {
    const size_t rowBytes = static_cast<size_t>(3 * l.bits / 8);
    const Bytes stored = Pattern(rowBytes * 2, 21);
    cases.push_back({l.what, BmpFile(l.height, l.bits, stored), TopFirst(stored, rowBytes, 2, l.height > 0), 3, 2,
                     l.bits, l.subtype, 0});
  }
  struct DicomLayout {
    const char* what;
    uint16_t samples;
    size_t extra;  // pixel element bytes beyond the image
    int subtype, type;
  };
  const DicomLayout dicoms[] = {{"DICOM grey", 1, 0, 3, 0},
                                {"DICOM RGB", 3, 0, -1, 1},
                                {"DICOM RGB, longer pixel element", 3, 5, -1, 1},
                                {"DICOM four samples", 4, 0, -1, 0},
                                {"DICOM two samples", 2, 0, -1, 0}};
  for (const DicomLayout& d : dicoms) {
    const Bytes pixels = Pattern(2 * 3 * d.samples + d.extra, 31);
    cases.push_back({d.what, DicomFile(d.samples, pixels), pixels, 3, 2, d.samples * 8, d.subtype, d.type});
  }
  return cases;
}

// A plain image loaded with either colour order and with and without the
// flip gives its reader's bytes, swapped when the order differs (24 bits
// and more) and with its rows turned when flipped; an image of fewer bits
// keeps its order and the load's last error is the swap's 1000.
TEST_F(Loader, PlainFormatsInEveryOrderAndOrientation) {
  for (const PlainCase& c : PlainCases()) {
    for (int order : {0, 1}) {
      for (int flip : {0, 1}) {
        SCOPED_TRACE(std::string(c.what) + " order " + std::to_string(order) + " flip " + std::to_string(flip));
        SetUp();
        Add("plain.img", c.file);
        txOptions(TX_OPT_ORDER, order);
        txOptions(TX_OPT_FLIP, flip);
        txBitmap* b = txLoad("plain.img");
        ASSERT_NE(b, nullptr) << errGetLastError();
        const bool swaps = c.type != order && c.bits >= 24;
        EXPECT_EQ(errGetLastError(), c.type != order && !swaps ? 1000 : 0);
        EXPECT_EQ(b->type, swaps ? order : c.type);
        EXPECT_EQ(b->subtype, c.subtype);
        EXPECT_EQ(b->bits, c.bits);
        EXPECT_EQ(b->width, c.width);
        EXPECT_EQ(b->height, c.height);
        EXPECT_EQ(b->levels, 1);
        Bytes expect = swaps ? SwapRB(c.native, static_cast<size_t>(c.bits / 8)) : c.native;
        if (flip) expect = FlipFirstRows(expect, static_cast<size_t>(c.width * c.bits / 8), static_cast<size_t>(c.height));
        EXPECT_EQ(Level0(b), expect);
        EXPECT_EQ(b->sizes[0], static_cast<int32_t>(expect.size()));
        txFree(&b);
      }
    }
  }
}

// The alpha image of a load is handed over as its reader read it: its first
// stored channel becomes the alpha bytes, whatever order the colour image
// is turned to.
TEST_F(Loader, AlphaImagesAreMergedInTheirStoredOrder) {
  for (int order : {0, 1}) {
    SCOPED_TRACE(order);
    SetUp();
    const Bytes rgb = tlfix::Pattern(2 * 2 * 3, 40);
    Add("c.tga", tlfix::SimpleTga(2, 2, 24, 1, false));
    Add("c_a.tga", tlfix::Pnm("P6", 2, 2, "255", rgb));
    txOptions(TX_OPT_ORDER, order);
    txBitmap* b = txLoad("c.tga");
    ASSERT_NE(b, nullptr);
    ASSERT_EQ(b->bits, 32);
    // The companion is a PNM (found by its bytes, whatever its name says):
    // its reader hands out B, G, R, so the alpha comes from the file's blue.
    for (size_t k = 0; k < 4; ++k) EXPECT_EQ(b->data[0][k * 4 + 3], rgb[k * 3 + 2]) << k;
    txFree(&b);
  }
}

}  // namespace
