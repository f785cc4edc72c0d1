#include "units/texmgr.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "framework/base/log.h"
#include "framework/base/mem.h"
#include "testsupport/tl/fixtures.h"
#include "testsupport/tl/memfiles.h"
#include "framework/wm/glrecorder.h"
#include "testsupport/testsupport.h"
#include "units/glunit.h"
#include "testsupport/units/glrecording.h"
#include "units/gluunit.h"
#include "framework/base/main.h"
#include "framework/wm/wm.h"
#include "testsupport/wm/wm.h"
#include "platform/window.h"

using tlfix::Bytes;

namespace {

// The texture calls go to a recorder (framework/wm/glrecorder.h).
using glrec::Hex;
using glrec::rec;

class Table : public ::testing::Test {
 protected:
  void SetUp() override {
    glrec::UseRecordingUnitTextures();
    glMaxTextureSize = 2048;
    files = &tlfix::UseMemFiles();
    txOptions(TX_OPT_QUALITY, 0);
    txOptions(TX_OPT_ORDER, 1);
    ResetTextures();
  }
  void Add(const std::string& name, const Bytes& b) { files->files[name] = b; }
  int NodeOf(int32_t texture) {
    for (int i = 0; i < kTextureNodes; ++i)
      if (!txNodes[i].free && txNodes[i].texture == texture) return i;
    return -1;
  }
  tlfix::MemFiles* files = nullptr;
};

TEST_F(Table, SharingAndReferences) {
  for (const char* n : {"a.tga", "b.tga", "c.tga", "A.tga"}) Add(n, tlfix::SimpleTga(4, 4, 24));
  int32_t a1 = LoadTexture("a.tga", 1);
  size_t callsAfterFirst = rec.calls.size();
  int32_t a2 = LoadTexture("a.tga", 1);
  EXPECT_EQ(a1, a2);
  EXPECT_EQ(rec.calls.size(), callsAfterFirst);  // sharing neither loads nor binds
  EXPECT_EQ(txNodes[NodeOf(a1)].refs, 2);
  int32_t a3 = LoadTexture("a.tga", 3);  // another mode is another texture
  int32_t upper = LoadTexture("A.tga", 1);  // names compare exactly
  EXPECT_NE(a3, a1);
  EXPECT_NE(upper, a1);
  EXPECT_EQ(NodeOf(a1), 0);
  EXPECT_EQ(NodeOf(a3), 1);
  EXPECT_EQ(NodeOf(upper), 2);
  EXPECT_EQ(GetTextureBpp(a1), 24);

  rec.calls.clear();
  ReleaseTexture(a1);
  EXPECT_TRUE(rec.calls.empty());
  EXPECT_EQ(txNodes[0].refs, 1);
  ReleaseTexture(a1);
  EXPECT_EQ(rec.calls, (std::vector<std::string>{"delete " + std::to_string(a1)}));
  EXPECT_TRUE(txNodes[0].free);
  EXPECT_EQ(GetTextureBpp(a1), 0);
  rec.calls.clear();
  ReleaseTexture(a1);  // a stray release changes nothing
  ReleaseTexture(0);
  EXPECT_TRUE(rec.calls.empty());

  // The lowest free node is taken again, with a new GL name.
  int32_t b = LoadTexture("b.tga", 1);
  EXPECT_EQ(NodeOf(b), 0);
  EXPECT_EQ(txNodes[0].name, "b.tga");

  rec.calls.clear();
  ResetTextures();  // forgets the textures without a GL call
  EXPECT_TRUE(rec.calls.empty());
  EXPECT_TRUE(txNodes[1].free);
  EXPECT_EQ(txNodes[1].name, "empty");
  EXPECT_EQ(txNodes[1].mode, 3);
  EXPECT_EQ(GetTextureBpp(a3), 0);
}

TEST_F(Table, UploadsByModeAndDepth) {
  Add("rgb.tga", tlfix::SimpleTga(5, 3, 24));  // an odd width: rows of 15 bytes
  Add("rgba.tga", tlfix::SimpleTga(3, 3, 32));
  Add("grey.tga", tlfix::SimpleTga(5, 1, 8));
  struct Case {
    const char* name;
    int mode;
    std::vector<std::string> calls;
  };
  const std::string nearest = Hex(GL_NEAREST), linear = Hex(GL_LINEAR);
  const std::string mag = "param " + Hex(GL_TEXTURE_MAG_FILTER) + " ", min = "param " + Hex(GL_TEXTURE_MIN_FILTER) + " ";
  const Case cases[] = {
      {"rgb.tga", 0, {"gen 1", "bind 0xDE1 1", mag + nearest, min + nearest, "image 0 3 5x3 " + Hex(GL_RGB)}},
      {"rgba.tga", 1, {"gen 2", "bind 0xDE1 2", mag + linear, min + linear, "image 0 4 3x3 " + Hex(GL_RGBA)}},
      {"grey.tga", 2,
       {"gen 3", "bind 0xDE1 3", mag + nearest, min + Hex(GL_NEAREST_MIPMAP_NEAREST),
        "mipmaps 1 5x1 " + Hex(GL_LUMINANCE)}},
      {"rgb.tga", 3,
       {"gen 4", "bind 0xDE1 4", mag + linear, min + Hex(GL_LINEAR_MIPMAP_LINEAR), "mipmaps 3 5x3 " + Hex(GL_RGB)}},
      {"rgb.tga", 7, {"gen 5", "bind 0xDE1 5"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.name) + " mode " + std::to_string(c.mode));
    rec.calls.clear();
    LoadTexture(c.name, c.mode);
    EXPECT_EQ(rec.calls, c.calls);
  }
  EXPECT_EQ(rec.alignmentAtUpload, (std::vector<int>{1, 1, 1, 1}));
  EXPECT_EQ(GetTextureBpp(3), 8);
}

// Hands out the bitmap the test prepared, standing in for a DDS reader.
txBitmap* prepared = nullptr;
int DetectDds(const uint8_t* b, int64_t n) { return n >= 4 && std::memcmp(b, "DDS ", 4) == 0 ? 0 : 1000; }
txBitmap* ReadPrepared(const uint8_t*, int64_t) { return prepared; }

txBitmap* Levels(int type, int subtype, int bits, int w, int h, int levels) {
  return tlfix::TrackedLevels(w, h, bits, subtype, levels, type);
}

TEST_F(Table, MultiLevelAndCompressedImages) {
  txFilter saved = txFilterDDS;
  txFilterDDS.detect = DetectDds;
  txFilterDDS.read = ReadPrepared;
  Add("m.dds", Bytes{'D', 'D', 'S', ' '});
  const std::string genOff = "param " + Hex(GL_GENERATE_MIPMAP) + " 0x0";
  const std::string maxLevel = "param " + Hex(GL_TEXTURE_MAX_LEVEL) + " ";

  prepared = Levels(5, 0x83F0, 4, 8, 4, 3);
  rec.calls.clear();
  LoadTexture("m.dds", 1);
  EXPECT_EQ(rec.calls, (std::vector<std::string>{"gen 1", "bind 0xDE1 1", "param 0x2800 0x2601", "param 0x2801 0x2601",
                                                 genOff, "compressed 0 0x83F0 8x4 16", "compressed 1 0x83F0 4x2 8",
                                                 "compressed 2 0x83F0 2x1 8", maxLevel + "0x2"}));
  // Too large for the GL: the leading levels are dropped until one fits.
  glMaxTextureSize = 4;
  prepared = Levels(0, 2, 32, 16, 8, 3);
  rec.calls.clear();
  LoadTexture("m.dds", 0);
  EXPECT_EQ(rec.calls, (std::vector<std::string>{"gen 2", "bind 0xDE1 2", "param 0x2800 0x2600", "param 0x2801 0x2600",
                                                 "image 0 4 4x2 " + Hex(GL_RGBA)}));
  // Several uncompressed levels that fit go up one by one.
  glMaxTextureSize = 64;
  prepared = Levels(0, 0, 24, 4, 2, 2);
  rec.calls.clear();
  LoadTexture("m.dds", 3);
  EXPECT_EQ(rec.calls, (std::vector<std::string>{"gen 3", "bind 0xDE1 3", "param 0x2800 0x2601", "param 0x2801 0x2703",
                                                 genOff, "image 0 3 4x2 " + Hex(GL_RGB),
                                                 "image 1 3 2x1 " + Hex(GL_RGB), maxLevel + "0x1"}));
  txFilterDDS = saved;
}

TEST_F(Table, FullTableGivesZero) {
  for (int i = 0; i < kTextureNodes; ++i) {
    std::string name = "t" + std::to_string(i) + ".tga";
    Add(name, tlfix::SimpleTga(1, 1, 24));
    ASSERT_NE(LoadTexture(ShortString(name), 1), 0) << i;
  }
  Add("more.tga", tlfix::SimpleTga(1, 1, 24));
  size_t before = rec.calls.size();
  EXPECT_EQ(LoadTexture("more.tga", 1), 0);
  EXPECT_EQ(rec.calls.size(), before);
  EXPECT_NE(LoadTexture("t5.tga", 1), 0);  // sharing still works
  EXPECT_EQ(txNodes[5].refs, 2);
}

TEST_F(Table, ReloadAndReport) {
  Add("one.tga", tlfix::SimpleTga(2, 2, 24));
  Add("two.tga", tlfix::SimpleTga(2, 2, 32));
  int32_t one = LoadTexture("one.tga", 1);
  int32_t two = LoadTexture("two.tga", 3);
  LoadTexture("two.tga", 3);
  files->files.erase("two.tga");
  rec.calls.clear();
  ReloadAllTextures();
  // The image that is gone keeps its texture; the other gets a new one.
  EXPECT_EQ(rec.calls[0], "delete " + std::to_string(one));
  EXPECT_NE(txNodes[0].texture, one);
  EXPECT_EQ(txNodes[1].texture, two);
  EXPECT_TRUE(txNodes[1].uploaded);

  qt::TempDir dir;
  WriteTextureReport(dir / "report.txt");
  EXPECT_EQ(qt::ReadFile(dir / "report.txt"),
            "Quarnel texture management system\n \none.tga OpenGL ref.:" + std::to_string(txNodes[0].texture) +
                " uploaded:TRUE type:1 reqs.:1\ntwo.tga OpenGL ref.:" + std::to_string(two) +
                " uploaded:TRUE type:3 reqs.:2\n");
  WriteTextureReport(dir / "none/report.txt");  // cannot be created: nothing happens

  rec.calls.clear();
  DeleteAllTextures();
  EXPECT_EQ(rec.calls.size(), 2u);
  EXPECT_TRUE(txNodes[0].free);
}

TEST_F(Table, ShrinksToTheMaximumWithItsLogLines) {
  qt::TempDir dir;
  std::string log = dir / "debug.log";
  auto r = qt::RunInChild([&] {
    SYS_DbgLogFile(log.c_str());
    SYS_DbgSetFlag(SYS_DBG_ON);
    Add("big.tga", tlfix::SimpleTga(2048, 512, 24));
    glMaxTextureSize = 1024;
    rec.calls.clear();
    LoadTexture("big.tga", 1);
    for (const auto& c : rec.calls) std::printf("%s\n", c.c_str());
    std::fflush(stdout);
  });
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("image 0 3 1024x512"), std::string::npos) << r.out;
  auto lines = qt::SplitLines(qt::ReadFile(log));
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[0], " - scaling down big.tga");
  EXPECT_EQ(lines[1], "   - 2048x512 -> 1024x512");
}

TEST_F(Table, MissingImageIsFatal) {
  auto r = qt::RunInChild([&] {
    LoadTexture("missing.tga", 1);
    _exit(99);  // not reached: the fatal report ends the program
  });
  EXPECT_NE(r.exitCode, 99);
  EXPECT_NE(r.err.find("Error occoured ! Texture Loader Error. ( missing.tga )"), std::string::npos) << r.err;
}

// A real upload: an image whose rows are not a multiple of four bytes long
// comes back from the GL byte for byte.
TEST(OnDisplay, UploadAndReadBack) {
  if (!plat::DisplayAvailable()) GTEST_SKIP() << "no X display";
  qt::TempDir dir;
  auto r = qt::RunInChild([&] {
    qt::ChangeDir cd(dir.path());
    wmtest::ShowGLWindowOrExit();
    GLInit();
    GLUInit();
    glInitExt();
    tlfix::MemFiles& files = tlfix::UseMemFiles();
    files.files["odd.tga"] = tlfix::SimpleTga(5, 3, 24);
    txOptions(TX_OPT_ORDER, 1);
    ResetTextures();
    int32_t t = LoadTexture("odd.tga", 0);
    if (t == 0) _exit(12);
    std::vector<uint8_t> back(15 * 3 + 16, 0xCD);
    qgl::glPixelStorei(GL_PACK_ALIGNMENT, 1);
    qgl::glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(t));
    qgl::glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, back.data());
    for (uint8_t b : back) std::printf("%u ", b);
    std::fflush(stdout);
    _exit(0);
  });
  ASSERT_EQ(r.exitCode, 0) << r.err;
  // The file holds B, G, R; the table asked for R, G, B.
  Bytes expect = tlfix::Pattern(45);
  for (size_t k = 0; k < expect.size(); k += 3) std::swap(expect[k], expect[k + 2]);
  expect.insert(expect.end(), 16, 0xCD);
  std::string text;
  for (uint8_t b : expect) text += std::to_string(b) + " ";
  EXPECT_EQ(r.out, text);
}

}  // namespace
