#include "app/ife.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "app/appshell.h"
#include "engine/capture.h"
#include "engine/effect.h"
#include "testsupport/app/gl.h"
#include "framework/base/main.h"
#include "testsupport/tl/fixtures.h"
#include "testsupport/tl/memfiles.h"
#include "testsupport/testsupport.h"
#include "units/texmgr.h"

using apptest::Rec;

namespace {

// A file in memory, read the way the file layer's line read reads.
struct MemText {
  std::string text;
  size_t at = 0;
  static char* Gets(void* context, char* buffer, int length) {
    auto* m = static_cast<MemText*>(context);
    if (m->at >= m->text.size()) return nullptr;
    int n = 0;
    while (n < length - 1 && m->at < m->text.size()) {
      char c = m->text[m->at++];
      buffer[n++] = c;
      if (c == '\n') break;
    }
    buffer[n] = 0;
    return buffer;
  }
};

std::map<std::string, int> loaded;  // name -> mode, of the fake loader
int32_t FakeLoader(const ShortString& name, int32_t mode) {
  loaded[std::string(name.view())] = mode;
  return 77;
}

int Read(ife_interface& ifc, const std::string& text, ShortString* errorOut = nullptr) {
  MemText m{text};
  ShortString error;
  int r = ife_read(ifc, MemText::Gets, &m, "", FakeLoader, error);
  if (errorOut) *errorOut = error;
  return r;
}

std::string Key(int time, float x, float w = 10, int easing = 0) {
  return std::to_string(time) + " " + std::to_string(x) + " 360 " + std::to_string(easing) + " 0 " +
         std::to_string(w) + " 20 255 255 255 255\n";
}

class Layers : public ::testing::Test {
 protected:
  void SetUp() override {
    TextureManagerUnitInit();
    apptest::InstallGLRecorder();
    loaded.clear();
    std::memset(Ife.ife_buffers, 0, sizeof Ife.ife_buffers);
    Ife.ife_texture_mode = 1;
  }
  void TearDown() override { ife_free(ifc); }
  ife_interface ifc{0, 0, nullptr};
};

// The engine's effect projects load, draw and release their layers through
// these very routines once the application lends them; their "RT" and
// "GLOW" layers then show the engine's capture textures as they are when a
// layer loads.
TEST(IfeEffects, ServeTheEffectProjects) {
  EXPECT_EQ(ife_resolve_texture("RT", "", FakeLoader), 0);
  ife_serve_effects();
  EXPECT_EQ(EffectInterfaces.progress, &ife_progress);
  EXPECT_EQ(EffectInterfaces.load, &ife_load);
  EXPECT_EQ(EffectInterfaces.release, &ife_free);
  EXPECT_EQ(EffectInterfaces.render, &ife_render);
  CaptureUnit.FramebufferTextures[0] = 901;
  CaptureUnit.GlowTexture = 902;
  EXPECT_EQ(ife_resolve_texture("RT", "", FakeLoader), 901);
  EXPECT_EQ(ife_resolve_texture("GLOW", "", FakeLoader), 902);
  CaptureUnit.FramebufferTextures[0] = CaptureUnit.GlowTexture = 0;
  EffectInterfaces = {};
  Ife.ife_rt_texture_source = Ife.ife_glow_texture_source = nullptr;
}

TEST(IfeWords, RealsAreReadLocaleFreeAndStrictly) {
  struct Case {
    const char* word;
    float value;
  } cases[] = {{"1e2", 100},  {".5", 0.5f},  {"5.", 5},   {"12abc", 0}, {"-", 0},     {"", 0},
               {"1e", 0},     {"inf", 0},    {"nan", 0},  {"0x10", 0},  {"+3", 3},    {"-2.5e-1", -0.25f},
               {"1,5", 0},    {".", 0},      {"1e+2", 100}, {"1e999", FLT_MAX}, {"-1e999", -FLT_MAX}};
  for (const auto& c : cases) EXPECT_EQ(ife_word_real(ShortString(c.word), 1), c.value) << c.word;
}

TEST(IfeWords, EverySpaceSeparates) {
  ShortString line("a b  c");
  EXPECT_EQ(ife_word(line, 1), "a");
  EXPECT_EQ(ife_word(line, 2), "b");
  EXPECT_EQ(ife_word(line, 3), "");
  EXPECT_EQ(ife_word(line, 4), "c");
  EXPECT_EQ(ife_word(line, 5), "");
  EXPECT_EQ(ife_word(line, 0), "");
  // A tab is no separator, but it is trimmed off a word.
  EXPECT_EQ(ife_word(ShortString("\t7\t 8"), 1), "7");
}

TEST(IfeWords, IntegersAndRounding) {
  int32_t v = 0;
  EXPECT_TRUE(ife_parse_int("-2147483648", v));
  EXPECT_EQ(v, INT_MIN);
  EXPECT_TRUE(ife_parse_int("+12", v));
  EXPECT_EQ(v, 12);
  for (const char* bad : {"", "-", "1.5", "2147483648", "12a", "0x10", " 7"}) EXPECT_FALSE(ife_parse_int(bad, v)) << bad;
  EXPECT_EQ(ife_round(2.5), 2);
  EXPECT_EQ(ife_round(3.5), 4);
  EXPECT_EQ(ife_round(-2.5), -2);
  EXPECT_EQ(ife_round(1e20), INT_MAX);
  EXPECT_EQ(ife_round(-1e20), INT_MIN);
  EXPECT_EQ(ife_trim(std::string("\x01 \tab c\r\n")), "ab c");
}

TEST(IfeEasing, HalfWay) {
  EXPECT_FLOAT_EQ(ife_interpolate(0, 0, 1, 0.5f), 0.5f);
  EXPECT_NEAR(ife_interpolate(1, 0, 1, 0.5f), 0.70710678f, 1e-6);
  EXPECT_NEAR(ife_interpolate(2, 0, 1, 0.5f), 0.29289322f, 1e-6);
  EXPECT_FLOAT_EQ(ife_interpolate(9, 10, 20, 0.25f), 12.5f);  // unknown easings are linear
  EXPECT_FLOAT_EQ(ife_interpolate(1, 10, 20, 1.0f), 20.0f);
}

TEST_F(Layers, FileStructureCommentsAndKeys) {
  std::string file =
      "# a comment in the first column\n"
      "2\n"
      "42\n"
      "white.tga\n"
      "  # not a comment: extra text 1\n"
      "\n"
      "2\n"
      "258\n" +
      Key(0, 100) + "1000 640.5 360 1 90 1280 720 255 128 0 255\n"
      "pic.tga\n-\n-\n1\n2\n"
      "2.5 1  2 0 0 0 0 0 0 8 9\n";
  ASSERT_EQ(Read(ifc, file), IFE_OK);
  ASSERT_EQ(ifc.layer_count, 2);
  EXPECT_EQ(ifc.header_value, 42);
  const ife_layer& a = ifc.layers[0];
  EXPECT_EQ(a.texture_name, "white.tga");
  EXPECT_EQ(a.extra_text1, "# not a comment: extra text 1");
  EXPECT_EQ(a.extra_text2, "");
  EXPECT_EQ(a.texture, 0);
  EXPECT_EQ(a.blend_mode, 2);  // 258 keeps its low 8 bits
  ASSERT_EQ(a.key_count, 2);
  EXPECT_EQ(a.keys[1].time, 1000);
  EXPECT_FLOAT_EQ(a.keys[1].x, 640.5f);
  EXPECT_EQ(a.keys[1].easing, 1);
  EXPECT_FLOAT_EQ(a.keys[1].rotation, 90);
  EXPECT_FLOAT_EQ(a.keys[1].green, 128);
  const ife_layer& b = ifc.layers[1];
  EXPECT_EQ(b.texture, 77);
  EXPECT_EQ(loaded.at("pic.tga"), 1);
  // The double space shifts every later word: y reads the empty word, and
  // the line's last number falls off the end.
  EXPECT_EQ(b.keys[0].time, 2);
  EXPECT_FLOAT_EQ(b.keys[0].x, 1);
  EXPECT_FLOAT_EQ(b.keys[0].y, 0);
  EXPECT_EQ(b.keys[0].easing, 2);
  EXPECT_FLOAT_EQ(b.keys[0].alpha, 8);
}

TEST_F(Layers, BadAndAbsurdCountsFailCleanly) {
  ShortString error;
  EXPECT_EQ(Read(ifc, "x\n0\n", &error), IFE_ERR_NUMBER);
  EXPECT_EQ(error, "x");
  EXPECT_EQ(Read(ifc, "1\n", &error), IFE_ERR_NUMBER);  // the header line is missing
  EXPECT_EQ(Read(ifc, "1\n0\nwhite.tga\n-\n-\n1\n1.5\n", &error), IFE_ERR_NUMBER);
  EXPECT_EQ(ifc.layers, nullptr);
  EXPECT_EQ(ifc.layer_count, 0);

  // Negative counts are empty; a huge layer count allocates no more than
  // the array holds and ends at the end of the file.
  ASSERT_EQ(Read(ifc, "-5\n0\n"), IFE_OK);
  EXPECT_EQ(ifc.layer_count, 0);
  EXPECT_EQ(ifc.layers, nullptr);
  EXPECT_EQ(Read(ifc, "2000000000\n0\nwhite.tga\n-\n-\n0\n0\n"), IFE_ERR_NUMBER);
  EXPECT_EQ(ifc.layers, nullptr);

  // A huge key count is cut to the array and stops at the file's end; the
  // next layer's lines are not eaten as keys of a cut count.
  ASSERT_EQ(Read(ifc, "1\n0\nwhite.tga\n-\n-\n2000000000\n1\n" + Key(5, 1)), IFE_OK);
  ASSERT_EQ(ifc.layer_count, 1);
  EXPECT_EQ(ifc.layers[0].key_count, kIfeMaxKeys);
  EXPECT_EQ(ifc.layers[0].keys[0].time, 5);
  ife_free(ifc);
  std::string many = "2\n0\nwhite.tga\n-\n-\n10003\n1\n";
  for (int i = 0; i < 10003; ++i) many += Key(i, 1);
  many += "white.tga\n-\n-\n1\n4\n" + Key(0, 3);
  ASSERT_EQ(Read(ifc, many), IFE_OK);
  ASSERT_EQ(ifc.layer_count, 2);
  EXPECT_EQ(ifc.layers[0].key_count, kIfeMaxKeys);
  EXPECT_EQ(ifc.layers[0].keys[kIfeMaxKeys - 1].time, kIfeMaxKeys - 1);
  EXPECT_EQ(ifc.layers[1].blend_mode, 4);
  EXPECT_FLOAT_EQ(ifc.layers[1].keys[0].x, 3);
}

TEST_F(Layers, TextureNames) {
  uint32_t rt = 901, glow = 902;
  Ife.ife_rt_texture_source = &rt;
  Ife.ife_glow_texture_source = &glow;
  for (int i = 0; i < 8; ++i) Ife.ife_buffers[i] = 500 + i;
  struct Case {
    const char* name;
    int32_t texture;
  } cases[] = {{"white.tga", 0}, {"RT", 901},      {"GLOW", 902},     {"BUF0.JPG", 500}, {"BUF7.JPG", 507},
               {"BUF9.JPG", 0},  {"BUFX", 0},      {"BUF0.jpg", 0},   {"buf0.jpg", 77},  {"a.tga", 77}};
  for (const auto& c : cases) EXPECT_EQ(ife_resolve_texture(c.name, "", FakeLoader), c.texture) << c.name;
  EXPECT_EQ(loaded.size(), 2u);  // only the last two went to the table
  Ife.ife_texture_mode = 0;
  ife_resolve_texture("b.tga", "textures", FakeLoader);
  EXPECT_EQ(loaded.at("textures/b.tga"), 0);
  Ife.ife_rt_texture_source = nullptr;
  Ife.ife_glow_texture_source = nullptr;
  EXPECT_EQ(ife_resolve_texture("RT", "", FakeLoader), 0);
}

TEST_F(Layers, WrapModesGoToTheLayersOwnTexture) {
  Ife.ife_buffers[1] = 501;
  ASSERT_EQ(Read(ifc, "2\n0\nBUF1.JPG\n-\n-\n1\n0\n" + Key(0, 1) + "own.tga\n-\n-\n1\n0\n" + Key(0, 1)), IFE_OK);
  std::vector<std::string> expected = {"bind 77", "param 0x2802 0x812F", "param 0x2803 0x812F"};
  EXPECT_EQ(Rec().calls, expected);
}

TEST_F(Layers, RenderStateBlendModesAndFlips) {
  std::string file = "9\n0\n";
  const char* names[] = {"a.tga", "RT", "BUF0.JPG", "BUF1.JPG", "BUF2.JPG", "white.tga", "b.tga", "c.tga", "d.tga"};
  int blends[] = {0, 1, 2, 3, 4, 5, 7, 0, 1};
  for (int i = 0; i < 9; ++i)
    file += std::string(names[i]) + "\n-\n-\n" + (i == 7 ? "0\n" : "1\n") + std::to_string(blends[i]) + "\n" +
            (i == 7 ? "" : Key(0, 640, 100));
  ASSERT_EQ(Read(ifc, file), IFE_OK);
  Rec().calls.clear();
  ife_render(ifc, 0);
  const auto& calls = Rec().calls;
  std::vector<std::string> head(calls.begin(), calls.begin() + 4);
  EXPECT_EQ(head, (std::vector<std::string>{"disable 0xB50", "disable 0xB71", "disable 0xBC0", "disable 0xB44"}));
  EXPECT_EQ(calls.back(), "matrix 0x1700");
  // One quad per layer that has keys: the keyless layer is passed over.
  EXPECT_EQ(Rec().Count("begin 0x7"), 8u);
  EXPECT_EQ(Rec().Count("ortho 0 1280 0 720"), 8u);
  std::vector<std::string> blendCalls;
  for (const auto& c : calls)
    if (c.rfind("blend", 0) == 0 || c == "disable 0xBE2") blendCalls.push_back(c);
  EXPECT_EQ(blendCalls, (std::vector<std::string>{"disable 0xBE2", "blend 0x1 0x1", "blend 0x302 0x303",
                                                  "blend 0x303 0x302", "blend 0x300 0x301", "blend 0x0 0x301",
                                                  "blend 0x1 0x1"}));
  // First texture coordinate of each quad: flipped rows for RT, BUF0, BUF2.
  std::vector<std::string> firstTc;
  for (size_t i = 0; i + 1 < calls.size(); ++i)
    if (calls[i] == "begin 0x7") firstTc.push_back(calls[i + 1]);
  EXPECT_EQ(firstTc, (std::vector<std::string>{"tc 1 0", "tc 1 1", "tc 1 1", "tc 1 0", "tc 1 1", "tc 1 0", "tc 1 0",
                                               "tc 1 0"}));
  // The white layer is drawn untextured, after texturing was enabled.
  auto white = std::find(calls.begin(), calls.end(), "bind 0");
  ASSERT_NE(white, calls.end());
  EXPECT_EQ(Rec().Count("disable 0xDE1"), 1u);
}

TEST_F(Layers, KeySearchAndTransform) {
  ASSERT_EQ(Read(ifc, "3\n0\nwhite.tga\n-\n-\n2\n0\n"
                      "100 0 0 0 0 100 50 255 0 0 255\n"
                      "300 200 100 1 90 300 150 0 255 0 0\n"
                      "white.tga\n-\n-\n2\n0\n" +
                      Key(50, 10) + Key(50, 90) + "white.tga\n-\n-\n2\n0\n" + Key(80, 5) + Key(20, 7)),
            IFE_OK);
  auto drawAt = [&](float t) {
    Rec().calls.clear();
    ife_render(ifc, t);
    return Rec().calls;
  };
  auto calls = drawAt(200);
  EXPECT_EQ(Rec().With("translate")[0], "translate 100 50 0");
  EXPECT_EQ(Rec().With("rotate")[0], "rotate 45");
  EXPECT_EQ(Rec().With("color")[0], "color 0.5 0.5 0 0.5");
  EXPECT_EQ(Rec().With("v ")[0], "v 100 50");  // half of 200 x 100
  // Equal and unordered key times give the earlier key, never a division by 0.
  EXPECT_EQ(Rec().With("translate")[1], "translate 90 360 0");
  EXPECT_EQ(Rec().With("translate")[2].rfind("translate ", 0), 0u);
  drawAt(0);  // before the first key
  EXPECT_EQ(Rec().With("translate")[0], "translate 0 0 0");
  drawAt(1e6f);  // after the last
  EXPECT_EQ(Rec().With("translate")[0], "translate 200 100 0");
  drawAt(300);  // on a key: s = 0
  EXPECT_EQ(Rec().With("color")[0], "color 0 1 0 0");
  for (const auto& t : Rec().With("translate")) EXPECT_EQ(t.find("nan"), std::string::npos) << t;
}

TEST_F(Layers, EmptyInterfaceStillSetsState) {
  ife_render(ifc, 5);
  EXPECT_EQ(Rec().calls, (std::vector<std::string>{"disable 0xB50", "disable 0xB71", "disable 0xBC0", "disable 0xB44",
                                                   "matrix 0x1700"}));
  ife_free(ifc);  // nothing to do
  int before = Ife.ife_progress_counter;
  ife_progress();
  EXPECT_EQ(Ife.ife_progress_counter, before + 1);
}

TEST(IfeTable, FreeingReturnsTheReferences) {
  TextureManagerUnitInit();
  apptest::InstallGLRecorder();
  glMaxTextureSize = 2048;
  tlfix::MemFiles& files = tlfix::UseMemFiles();
  files.files["p.tga"] = tlfix::SimpleTga(4, 4, 24);
  ResetTextures();
  int32_t held = LoadTexture("p.tga", 1);  // somebody else holds one reference
  ife_interface ifc{0, 0, nullptr};
  MemText m{"2\n0\np.tga\n-\n-\n1\n0\n" + Key(0, 1) + "p.tga\n-\n-\n1\n0\n" + Key(0, 1)};
  ShortString error;
  ASSERT_EQ(ife_read(ifc, MemText::Gets, &m, "", LoadTexture, error), IFE_OK);
  EXPECT_EQ(ifc.layers[0].texture, held);
  int node = -1;
  for (int i = 0; i < kTextureNodes; ++i)
    if (!txNodes[i].free && txNodes[i].texture == held) node = i;
  ASSERT_GE(node, 0);
  EXPECT_EQ(txNodes[node].refs, 3);
  ife_free(ifc);
  EXPECT_EQ(txNodes[node].refs, 1);
  EXPECT_EQ(ifc.layers, nullptr);
  // Emptied, the interface loads again.
  m.at = 0;
  ASSERT_EQ(ife_read(ifc, MemText::Gets, &m, "", LoadTexture, error), IFE_OK);
  EXPECT_EQ(ifc.layer_count, 2);
  ife_free(ifc);
}

// The loader on the file layer, in a child: the base library is started
// there and a bad file ends the program.
TEST(IfeLoad, ThroughTheFileLayer) {
  qt::TempDir dir;
  ASSERT_TRUE(qt::WriteFile(dir / "ok.ife", "1\n7\nwhite.tga\n-\n-\n1\n1\r\n" + Key(0, 5)));
  ASSERT_TRUE(qt::WriteFile(dir / "bad.ife", "1\n7\nwhite.tga\n-\n-\nmany\n1\n"));
  auto run = [&](const char* name) {
    return qt::RunInChild([&] {
      qt::ChangeDir cd(dir.path());
      qt::Args args{"\\bin\\prog"};
      SYS_BaseInit(nullptr, args.argc(), args.argv(), nullptr);
      apptest::InstallGLRecorder();
      ife_interface ifc{0, 0, nullptr};
      ife_load(ifc, name, "");
      std::printf("layers %d header %d x %g\n", ifc.layer_count, ifc.header_value, ifc.layers[0].keys[0].x);
    });
  };
  auto ok = run("ok.ife");
  EXPECT_EQ(ok.exitCode, 0);
  EXPECT_NE(ok.out.find("layers 1 header 7 x 5"), std::string::npos) << ok.out;
  auto bad = run("bad.ife");
  EXPECT_EQ(bad.exitCode, 1);
  EXPECT_NE(bad.err.find("Invalid number in bad.ife: 'many'"), std::string::npos) << bad.err;
  auto missing = run("none.ife");
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_NE(missing.err.find("Unable to open none.ife"), std::string::npos) << missing.err;
}

}  // namespace

namespace {

// Files that show the reader's paths; they seed the fuzz target (written to
// $QUARN_WRITE_SEEDS/ife when that names the corpus folder).
TEST(IfeSeeds, EverySeedReads) {
  struct Seed {
    const char* name;
    std::string text;
  } seeds[] = {
      {"two_layers.ife", "# header\n2\n0\nwhite.tga\n-\n-\n2\n2\n" + Key(0, 100, 50, 1) + Key(500, 600, 80) +
                             "BUF0.JPG\n-\n-\n1\n1\n" + Key(0, 640, 1280)},
      {"unordered.ife", "1\n3\nRT\n-\n-\n3\n5\n" + Key(300, 1) + Key(100, 2, 10, 2) + Key(100, 3)},
      {"no_keys.ife", "2\n0\nGLOW\n-\n-\n0\n7\nwhite.tga\n-\n-\n-4\n0\n"},
      {"short_lines.ife", "1\n0\nwhite.tga\n-\n-\n2\n3\n1 2\n2.5  3 1e2 .5 5. 12abc - inf nan 0x10\n"},
  };
  const char* out = std::getenv("QUARN_WRITE_SEEDS");
  for (const auto& s : seeds) {
    apptest::InstallGLRecorder();
    TextureManagerUnitInit();
    ife_interface ifc{0, 0, nullptr};
    MemText m{s.text};
    ShortString error;
    EXPECT_EQ(ife_read(ifc, MemText::Gets, &m, "", FakeLoader, error), IFE_OK) << s.name;
    ife_render(ifc, 200);
    ife_free(ifc);
    if (out) {
      std::string dir = std::string(out) + "/ife";
      std::filesystem::create_directories(dir);
      ASSERT_TRUE(qt::WriteFile(dir + "/" + s.name, s.text));
    }
  }
}

}  // namespace
