#include "framework/tl/TM.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "framework/base/log.h"
#include "framework/base/main.h"
#include "framework/base/mem.h"
#include "testsupport/tl/fixtures.h"
#include "testsupport/tl/memfiles.h"
#include "framework/wm/gl.h"
#include "framework/wm/glconst.h"
#include "framework/wm/glrecorder.h"
#include "framework/wm/wm.h"
#include "testsupport/wm/wm.h"
#include "platform/window.h"
#include "testsupport/testsupport.h"

namespace {

// The framework's tables filled with the recorder; the rest stays null.
using glrec::rec;

void InstallRecorder() {
  glrec::InstallTextureRecorder(wmGL, wmGLU);
}

txBitmap* MakeBitmap(int32_t width, int32_t height, int32_t bits, int32_t subtype, int32_t levels = 1,
                     int32_t type = TX_TYPE_BGR) {
  return tlfix::TrackedLevels(width, height, bits, subtype, levels, type);
}

size_t CountOf(const std::vector<std::string>& calls, const std::string& prefix) {
  size_t n = 0;
  for (const auto& c : calls) n += c.rfind(prefix, 0) == 0;
  return n;
}

class Cache : public ::testing::Test {
 protected:
  void SetUp() override {
    InstallRecorder();
    files = &tlfix::UseMemFiles();
    txOptions(TX_OPT_QUALITY, 0);
    txOptions(TX_OPT_ORDER, 0);
    tmDone();
    tmInit();
    rec.calls.clear();
    blocksBefore = tlfix::TrackedBlocks().size();
  }
  void TearDown() override {
    tmDone();
    EXPECT_EQ(tlfix::TrackedBlocks().size(), blocksBefore) << "the cache leaves no block behind";
  }
  void Add(const std::string& name, const tlfix::Bytes& b) { files->files[name] = b; }
  tlfix::MemFiles* files = nullptr;
  size_t blocksBefore = 0;
};

TEST_F(Cache, OneNodePerNameAndTheFirstModeKept) {
  Add("a.tga", tlfix::SimpleTga(4, 4, 24));
  Add("A.tga", tlfix::SimpleTga(4, 4, 24));
  int32_t first = tmLoad("a.tga", TM_MODE_LINEAR);
  ASSERT_GT(first, 0);
  EXPECT_EQ(files->reads, 1);
  rec.calls.clear();

  int32_t again = tmLoad("a.tga", TM_MODE_LINEAR_MIPMAP);
  EXPECT_EQ(again, first);
  EXPECT_EQ(files->reads, 1) << "a cached name is not loaded again";
  // The second request only binds.
  EXPECT_EQ(rec.calls, (std::vector<std::string>{"enable 0xDE1", "bind 0xDE1 " + std::to_string(first)}));
  TM_Node_t* node = tmFind("a.tga");
  ASSERT_NE(node, nullptr);
  EXPECT_EQ(node->mode, TM_MODE_LINEAR);
  EXPECT_EQ(node->loads, 2);
  EXPECT_EQ(node->uploaded, 1);
  EXPECT_STREQ(node->name, "a.tga");
  EXPECT_EQ(tmGetID("a.tga"), first);

  // Names compare exactly.
  int32_t upper = tmLoad("A.tga", TM_MODE_LINEAR);
  EXPECT_GT(upper, 0);
  EXPECT_NE(upper, first);
  EXPECT_NE(tmFind("A.tga"), node);
}

TEST_F(Cache, UnloadAndARepeatedUnload) {
  Add("a.tga", tlfix::SimpleTga(3, 3, 24));
  int32_t t = tmLoad("a.tga", TM_MODE_NEAREST);
  ASSERT_GT(t, 0);
  rec.calls.clear();
  EXPECT_EQ(tmUnload("a.tga"), 0);
  EXPECT_EQ(errGetLastError(), 0);
  EXPECT_EQ(rec.calls, (std::vector<std::string>{"delete " + std::to_string(t)}));
  EXPECT_EQ(tmGetBitmap("a.tga"), nullptr);
  EXPECT_EQ(errGetLastError(), ERR_NOTLISTED);
  EXPECT_EQ(tmUnload("a.tga"), -1);
  EXPECT_EQ(errGetLastError(), ERR_NOTLISTED);
}

TEST_F(Cache, NamesNotInTheCache) {
  txBitmap* spare = MakeBitmap(2, 2, 24, TX_SUB_24);
  // Each call is checked right after it: the error is read (and cleared) in turn.
  auto expectMissing = [](const char* what, bool failed) {
    SCOPED_TRACE(what);
    EXPECT_TRUE(failed);
    EXPECT_EQ(errGetLastError(), ERR_NOTLISTED);
  };
  expectMissing("tmReloadFromBitmap", tmReloadFromBitmap("none", spare) == -1);
  expectMissing("tmReload", tmReload("none") == -1);
  expectMissing("tmBind", tmBind("none") == -1);
  expectMissing("tmUnload", tmUnload("none") == -1);
  expectMissing("tmGetBitmap", tmGetBitmap("none") == nullptr);
  expectMissing("tmGetID", tmGetID("none") == -1);
  expectMissing("tmFind", tmFind("none") == nullptr);
  EXPECT_TRUE(rec.calls.empty());
  txFree(&spare);
}

TEST_F(Cache, ALoadFailureLeavesNoNode) {
  EXPECT_EQ(tmLoad("missing.tga", TM_MODE_LINEAR), -1);
  EXPECT_EQ(errGetLastError(), TM_ERR_LOAD);
  EXPECT_EQ(tmFind("missing.tga"), nullptr);
  Add("junk.tga", tlfix::Bytes{1, 2, 3});
  EXPECT_EQ(tmLoad("junk.tga", TM_MODE_LINEAR), -1);
  EXPECT_EQ(errGetLastError(), TM_ERR_LOAD);
  EXPECT_EQ(tmFind("junk.tga"), nullptr);
  EXPECT_TRUE(rec.calls.empty());
}

TEST_F(Cache, ReplacedBitmaps) {
  txBitmap* first = MakeBitmap(3, 2, 24, TX_SUB_24);
  int32_t t = tmLoadFromBitmap("label", first, TM_MODE_LINEAR);
  ASSERT_GT(t, 0);

  // A new bitmap under the same name takes the old one's place; the old one
  // is left to its maker, who may still draw into it.
  txBitmap* second = MakeBitmap(3, 2, 24, TX_SUB_24);
  ASSERT_GT(tmLoadFromBitmap("label", second, TM_MODE_LINEAR), 0);
  EXPECT_EQ(tmGetBitmap("label"), second);
  EXPECT_EQ(SYS_MemSize(first), int64_t(sizeof(txBitmap))) << "the replaced bitmap stays alive";
  txFree(&first);
  size_t held = tlfix::TrackedBlocks().size();

  // A reload from another bitmap frees the one the node held.

  txBitmap* third = MakeBitmap(3, 2, 24, TX_SUB_24);
  EXPECT_EQ(tmReloadFromBitmap("label", third), 0);
  EXPECT_EQ(tlfix::TrackedBlocks().size(), held);
  EXPECT_EQ(tmGetBitmap("label"), third);

  // The bitmap the node holds already is uploaded again, not freed.
  rec.calls.clear();
  EXPECT_EQ(tmReloadFromBitmap("label", third), 0);
  EXPECT_EQ(tmGetBitmap("label"), third);
  EXPECT_EQ(SYS_MemSize(third), int64_t(sizeof(txBitmap)));
  EXPECT_EQ(CountOf(rec.calls, "image 0 3 3x2"), 1u);
  EXPECT_EQ(tmFind("label")->loads, 2);
}

TEST_F(Cache, ReloadMakesANewTexture) {
  Add("a.tga", tlfix::SimpleTga(2, 2, 24));
  int32_t t = tmLoad("a.tga", TM_MODE_NEAREST);
  rec.calls.clear();
  EXPECT_EQ(tmReload("a.tga"), 0);
  EXPECT_EQ(CountOf(rec.calls, "delete " + std::to_string(t)), 2u) << "reload and upload both drop the old name";
  EXPECT_EQ(CountOf(rec.calls, "gen "), 1u);
  EXPECT_NE(tmGetID("a.tga"), t);

  rec.calls.clear();
  EXPECT_EQ(tmBind("a.tga"), 0);
  EXPECT_EQ(rec.calls, (std::vector<std::string>{"enable 0xDE1", "bind 0xDE1 " + std::to_string(tmGetID("a.tga"))}));
}

TEST_F(Cache, DoneEmptiesTheCache) {
  EXPECT_EQ(tmDone(), 0);
  EXPECT_TRUE(rec.calls.empty());
  Add("a.tga", tlfix::SimpleTga(2, 2, 24));
  int32_t a = tmLoad("a.tga", TM_MODE_LINEAR);
  int32_t b = tmLoadFromBitmap("b", MakeBitmap(2, 2, 8, TX_SUB_GREY), TM_MODE_LINEAR);
  rec.calls.clear();
  EXPECT_EQ(tmDone(), 0);
  EXPECT_EQ(CountOf(rec.calls, "delete " + std::to_string(a)), 1u);
  EXPECT_EQ(CountOf(rec.calls, "delete " + std::to_string(b)), 1u);
  EXPECT_EQ(tmFind("a.tga"), nullptr);
  EXPECT_EQ(tmFind("b"), nullptr);
}

// --- what reaches the GL ----------------------------------------------------------------

struct FormatCase {
  const char* what;
  int32_t bits, subtype, levels, mode, type;
  std::vector<std::string> uploads;  // the upload calls, in order
  std::vector<std::string> params;   // the parameter calls, in order
};

const std::string kWrap = "param 0x2802 0x2900";
const std::string kWrapT = "param 0x2803 0x2900";

TEST_F(Cache, FormatTable) {
  const std::string nearest = "param 0x2800 0x2600", nearestMin = "param 0x2801 0x2600";
  const std::string linear = "param 0x2800 0x2601", linearMin = "param 0x2801 0x2601";
  const std::string nearestMipmap = "param 0x2801 0x2700", linearMipmap = "param 0x2801 0x2703";
  const std::string noGenerate = "param 0x8191 0x0";
  const FormatCase cases[] = {
      {"24-bit R, G, B", 24, TX_SUB_24, 1, 0, TX_TYPE_RGB, {"image 0 3 5x3 0x1907"}, {nearest, nearestMin, kWrap, kWrapT}},
      {"24-bit B, G, R", 24, TX_SUB_24_SWAPPED, 1, 1, TX_TYPE_BGR, {"image 0 3 5x3 0x80E0"}, {linear, linearMin, kWrap, kWrapT}},
      {"32-bit", 32, TX_SUB_32, 1, 1, TX_TYPE_RGB, {"image 0 4 5x3 0x1908"}, {linear, linearMin, kWrap, kWrapT}},
      {"8-bit grey", 8, TX_SUB_GREY, 1, 0, TX_TYPE_RGB, {"image 0 1 5x3 0x1909"}, {nearest, nearestMin, kWrap, kWrapT}},
      {"8-bit palette indices", 8, TX_SUB_PALETTE, 1, 0, TX_TYPE_RGB, {"image 0 1 5x3 0x1909"},
       {nearest, nearestMin, kWrap, kWrapT}},
      {"24-bit other", 24, TX_SUB_OTHER, 1, 0, TX_TYPE_RGB, {"image 0 3 5x3 0x1907"}, {nearest, nearestMin, kWrap, kWrapT}},
      {"32-bit other", 32, TX_SUB_OTHER, 1, 0, TX_TYPE_RGB, {"image 0 4 5x3 0x1908"}, {nearest, nearestMin, kWrap, kWrapT}},
      {"mode 2 builds mipmaps", 24, TX_SUB_24, 1, 2, TX_TYPE_RGB, {"mipmaps 3 5x3 0x1907"},
       {nearest, nearestMipmap, kWrap, kWrapT}},
      {"mode 3 builds mipmaps", 32, TX_SUB_32, 1, 3, TX_TYPE_RGB, {"mipmaps 4 5x3 0x1908"},
       {linear, linearMipmap, kWrap, kWrapT}},
      {"another mode: no filters, mipmaps", 24, TX_SUB_24, 1, 7, TX_TYPE_RGB, {"mipmaps 3 5x3 0x1907"}, {kWrap, kWrapT}},
      {"levels of its own", 24, TX_SUB_24, 3, 1, TX_TYPE_RGB,
       {"image 0 3 5x3 0x1907", "image 1 3 2x1 0x1907", "image 2 3 1x1 0x1907"},
       {linear, linearMin, kWrap, kWrapT, noGenerate, "param 0x813D 0x2"}},
      {"compressed", 0, 0x83F1, 2, 3, TX_TYPE_COMPRESSED,
       {"compressed 0 0x83F1 5x3 16", "compressed 1 0x83F1 2x1 8"},
       {linear, linearMipmap, kWrap, kWrapT, noGenerate, "param 0x813D 0x1"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    rec.calls.clear();
    rec.alignmentAtUpload.clear();
    rec.unpackAlignment = 4;
    txBitmap* b = MakeBitmap(5, 3, c.bits, c.subtype, c.levels, c.type);
    int32_t t = tmLoadFromBitmap("format", b, c.mode);
    ASSERT_GT(t, 0);
    std::vector<std::string> uploads, params;
    for (const auto& call : rec.calls) {
      if (call.rfind("image", 0) == 0 || call.rfind("mipmaps", 0) == 0 || call.rfind("compressed", 0) == 0)
        uploads.push_back(call);
      if (call.rfind("param", 0) == 0) params.push_back(call);
    }
    EXPECT_EQ(uploads, c.uploads);
    EXPECT_EQ(params, c.params);
    size_t pixelUploads = c.type == TX_TYPE_COMPRESSED ? 0 : c.uploads.size();
    EXPECT_EQ(rec.alignmentAtUpload, std::vector<int>(pixelUploads, 1)) << "rows are tightly packed";
    EXPECT_EQ(tmUnload("format"), 0);
  }
}

TEST_F(Cache, BitmapsTheGLCannotTake) {
  struct Case {
    const char* what;
    txBitmap* bitmap;
    int error;
  };
  txBitmap* shortLevel = MakeBitmap(5, 3, 24, TX_SUB_24);
  shortLevel->height = 4;  // one row more than the level holds
  txBitmap* noPixels = MakeBitmap(5, 3, 24, TX_SUB_24);
  SYS_MemFree(noPixels->data[0]);
  const Case cases[] = {
      {"16 bits", MakeBitmap(5, 3, 16, TX_SUB_OTHER), ERR_UNSUPPORTED},
      {"a level shorter than its size", shortLevel, ERR_BADARG},
      {"no pixels", noPixels, ERR_BADARG},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    rec.calls.clear();
    EXPECT_EQ(tmLoadFromBitmap("odd", c.bitmap, TM_MODE_LINEAR), -1);
    EXPECT_EQ(errGetLastError(), c.error);
    EXPECT_EQ(CountOf(rec.calls, "gen "), 0u);
    EXPECT_EQ(CountOf(rec.calls, "image"), 0u);
    TM_Node_t* node = tmFind("odd");
    ASSERT_NE(node, nullptr) << "the cache owns the bitmap";
    EXPECT_EQ(node->uploaded, 0);
    EXPECT_EQ(tmUnload("odd"), 0);
  }
  EXPECT_EQ(tmLoadFromBitmap("odd", nullptr, TM_MODE_LINEAR), -1);
  EXPECT_EQ(errGetLastError(), ERR_BADARG);
  EXPECT_EQ(tmFind("odd"), nullptr);
}

TEST_F(Cache, CompressedUploadNeedsItsEntryPoint) {
  // The core entry point stands in for the extension's.
  wmGL.glCompressedTexImage2DARB = nullptr;
  wmGL.glCompressedTexImage2D = glrec::CompressedTexImage2D;
  EXPECT_GT(tmLoadFromBitmap("dxt", MakeBitmap(4, 4, 0, 0x83F0, 1, TX_TYPE_COMPRESSED), TM_MODE_LINEAR), 0);
  EXPECT_EQ(CountOf(rec.calls, "compressed 0 0x83F0 4x4 8"), 1u);

  // Without either the bitmap stays in the cache, without a texture.
  wmGL.glCompressedTexImage2D = nullptr;
  rec.calls.clear();
  EXPECT_EQ(tmReloadFromBitmap("dxt", MakeBitmap(4, 4, 0, 0x83F0, 1, TX_TYPE_COMPRESSED)), -1);
  EXPECT_EQ(errGetLastError(), ERR_UNSUPPORTED);
  EXPECT_EQ(CountOf(rec.calls, "gen "), 0u);
  EXPECT_EQ(tmFind("dxt")->uploaded, 0);
  EXPECT_EQ(tmGetID("dxt"), 0);

  // A later load where the entry point exists uploads it.
  wmGL.glCompressedTexImage2DARB = glrec::CompressedTexImage2D;
  int32_t t = tmLoad("dxt", TM_MODE_LINEAR);
  EXPECT_GT(t, 0);
  EXPECT_EQ(tmFind("dxt")->uploaded, 1);
}

TEST_F(Cache, MipmapsWithoutTheGLULibrary) {
  wmGLU.gluBuild2DMipmaps = nullptr;
  ASSERT_GT(tmLoadFromBitmap("m", MakeBitmap(5, 3, 24, TX_SUB_24), TM_MODE_LINEAR_MIPMAP), 0);
  EXPECT_EQ(CountOf(rec.calls, "param 0x8191 0x1"), 1u);
  EXPECT_EQ(CountOf(rec.calls, "image 0 3 5x3 0x1907"), 1u);
}

// --- the log ---------------------------------------------------------------------------

TEST(CacheLog, LinesOfTheCache) {
  auto run = wmtest::RunLogged([] {
    InstallRecorder();
    tlfix::UseMemFiles().files["a.tga"] = tlfix::SimpleTga(2, 2, 24);
    tmInit();  // "debug-tm" is not given: only the lines written always appear
    tmLoad("missing.tga", TM_MODE_LINEAR);
    rec.pendingErrors = {GL_INVALID_ENUM};
    tmLoadFromBitmap("dxt", MakeBitmap(4, 4, 0, 0x83F0, 1, TX_TYPE_COMPRESSED), TM_MODE_LINEAR);
    tmLoad("a.tga", TM_MODE_LINEAR);
    tmDone();
  });
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(run.log.find(":tmLoad()]  ! texture loading error: 1\n"), std::string::npos) << run.log;
  EXPECT_NE(run.log.find("[TM][TM.cpp:"), std::string::npos);
  EXPECT_NE(run.log.find(":tmUpload()] Texture upload error: 1280 (0x0500)\n"), std::string::npos) << run.log;
  EXPECT_NE(run.log.find(":tmUpload()]  - node's name: dxt\n"), std::string::npos);
  EXPECT_EQ(run.log.find("New node"), std::string::npos);
  EXPECT_EQ(run.log.find("Delete all loaded textures"), std::string::npos);
}

TEST(CacheLog, DebugLinesWithTheSwitch) {
  qt::TempDir dir;
  auto r = qt::RunInChild([&] {
    qt::ChangeDir cd(dir.path());
    qt::Args args{"\\bin\\prog", "-v", "-debug-tm"};
    SYS_BaseInit(nullptr, args.argc(), args.argv(), nullptr);
    InstallRecorder();
    tlfix::UseMemFiles().files["a.tga"] = tlfix::SimpleTga(2, 2, 24);
    tmInit();
    tmLoad("a.tga", TM_MODE_LINEAR);
    tmLoad("a.tga", TM_MODE_LINEAR);
    tmReload("a.tga");
    tmLoadFromBitmap("b", MakeBitmap(2, 2, 24, TX_SUB_24), TM_MODE_LINEAR);
    tmReloadFromBitmap("b", MakeBitmap(2, 2, 24, TX_SUB_24));
    tmUnload("b");
    tmDone();
  });
  ASSERT_EQ(r.exitCode, 0) << r.err;
  std::string log = qt::ReadFile(dir / "debug.log");
  for (const char* line : {":tmLoad()]  ! New node: a.tga\n", ":tmUpload()] Upload texture: a.tga\n",
                           ":tmLoad()] Load texture from cache: a.tga\n", ":tmReload()] Reload texture: a.tga\n",
                           ":tmLoadFromBitmap()] New node from bitmap: b\n",
                           ":tmReloadFromBitmap()] Reload texture from bitmap: b\n", ":tmUnload()] Remove texture: 'b'\n",
                           ":tmDone()] Delete all loaded textures:\n", ":tmDone()]  - 'a.tga'\n"}) {
    EXPECT_NE(log.find(line), std::string::npos) << line << log;
  }
}

// --- a real GL -------------------------------------------------------------------------

// Rows of an odd-width 24-bit image are not a multiple of four bytes long:
// they come back from the GL byte for byte.
TEST(OnDisplay, OddWidthUploadReadsBack) {
  if (!plat::DisplayAvailable()) GTEST_SKIP() << "no X display";
  constexpr int kWidth = 5, kHeight = 3;
  const tlfix::Bytes pixels = tlfix::Pattern(kWidth * kHeight * 3);
  qt::TempDir dir;
  auto r = qt::RunInChild([&] {
    qt::ChangeDir cd(dir.path());
    wmtest::ShowGLWindowOrExit();
    tmInit();
    txBitmap* b = MakeBitmap(kWidth, kHeight, 24, TX_SUB_24);
    std::memcpy(b->data[0], pixels.data(), pixels.size());
    int32_t t = tmLoadFromBitmap("odd", b, TM_MODE_NEAREST);
    if (t <= 0) _exit(12);
    std::vector<uint8_t> back(pixels.size() + 16, 0xCD);
    wmGL.glPixelStorei(GL_PACK_ALIGNMENT, 1);
    wmGL.glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(t));
    wmGL.glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, back.data());
    for (uint8_t v : back) std::printf("%u ", v);
    std::fflush(stdout);
    _exit(0);
  });
  ASSERT_EQ(r.exitCode, 0) << r.err;
  tlfix::Bytes expect = pixels;
  expect.insert(expect.end(), 16, 0xCD);
  std::string text;
  for (uint8_t v : expect) text += std::to_string(v) + " ";
  EXPECT_EQ(r.out, text);
}

}  // namespace
