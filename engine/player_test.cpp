#include "engine/player.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "engine/capture.h"
#include "engine/draw.h"
#include "testsupport/engine/draw.h"
#include "engine/precalc.h"
#include "platform/window.h"
#include "testsupport/testsupport.h"
#include "units/random.h"

namespace {

using drawtest::Rgb;

TEST(EffectKeyValue, Curves) {
  struct Case {
    int32_t mode;
    float s, e, y0, ym, y1, t, expected;
  } cases[] = {
      {0, 0, 1000, 0, 500, 1000, 250, 250.0f},
      {0, 0, 1000, 0, 500, 1000, 750, 750.0f},
      {1, 0, 1000, 0, 500, 1000, 250, 353.553f},
      {1, 0, 1000, 0, 500, 1000, 750, 646.447f},
      {2, 0, 1000, 0, 500, 1000, 250, 146.447f},
      {2, 0, 1000, 0, 500, 1000, 750, 853.553f},
      {7, 0, 1000, 0, 500, 1000, 250, 250.0f},  // unknown modes are linear
      {0, 0, 1000, 0, 500, 1000, 500, 500.0f},
      {0, 0, 1000, 10, 500, 1000, -1, 10.0f},
      {0, 0, 1000, 10, 500, 20, 1001, 20.0f},
      {0, 5, 5, 1, 2, 3, 5.0f, 2.0f},  // a one-frame key: middle at its start
      {0, 5, 5, 1, 2, 3, 5.5f, 3.0f},  // and its end value after
  };
  for (const Case& c : cases)
    EXPECT_NEAR(EffectKeyValue(c.mode, c.s, c.e, c.y0, c.ym, c.y1, c.t), c.expected, 0.01f)
        << "mode " << c.mode << " t " << c.t;
}

TEST(EffectKeyValue, RandomStartValueGivesANewWholeNumberEachTime) {
  RandSeedSet(0);
  std::vector<float> values;
  for (float t : {-10.0f, 0.0f, 400.0f, 5000.0f}) values.push_back(EffectKeyValue(0, 0, 1000, -303, 1, 2, t));
  for (float v : values) {
    EXPECT_GE(v, 0.0f);
    EXPECT_LE(v, 999.0f);
    EXPECT_EQ(v, std::floor(v));
  }
  EXPECT_FALSE(values[0] == values[1] && values[1] == values[2] && values[2] == values[3]);
}

// --- activation, recorded through the operator hook ---

struct Applied {
  int32_t optype;
  float value;
  bool operator==(const Applied&) const = default;
};
std::vector<Applied> applied;
void Record(FEX_Project&, const FEX_Operator& op, float v) { applied.push_back({op.optype, v}); }

struct Recording : ::testing::Test {
  void SetUp() override {
    applied.clear();
    PlayerUnit.EffectOperatorHook = Record;
  }
  void TearDown() override { PlayerUnit.EffectOperatorHook = EffectApplyOperator; }
};

void AddOperator(FEX_Project& p, int32_t optype, std::vector<FEX_Key> keys) {
  FEX_Operator& op = p.operators[p.operatorcount++];
  op.optype = optype;
  op.keycount = static_cast<int32_t>(keys.size());
  if (!keys.empty()) {
    op.keys = std::make_unique<FEX_Key[]>(keys.size());
    std::copy(keys.begin(), keys.end(), op.keys.get());
  }
}

TEST_F(Recording, ActiveKeysApplyOncePerKeyInOrder) {
  FEX_Project p;
  p.operators = std::make_unique<FEX_Operator[]>(3);
  // start, end, ease, start value, middle, end
  AddOperator(p, 10, {{5, 5, 0, 1, 2, 3}});
  AddOperator(p, 20, {{0, 10, 0, 0, 500, 1000}, {4, 6, 0, 7, 7, 7}, {6, 9, 0, 8, 8, 8}});
  AddOperator(p, 30, {});
  struct Case {
    float time;
    std::vector<Applied> expected;
  } cases[] = {
      {4.9f, {{20, 490}, {20, 7}}},
      {5.0f, {{10, 2}, {20, 500}, {20, 7}}},
      {5.9f, {{10, 3}, {20, 590}, {20, 7}}},
      {6.0f, {{20, 600}, {20, 7}, {20, 8}}},
      {10.5f, {{20, 1000}}},
      {11.0f, {}},
      {-0.5f, {{20, 0}}},  // Trunc cuts towards zero, so -0.5 is frame 0
      {-1.0f, {}},
  };
  for (const Case& c : cases) {
    applied.clear();
    EffectPlayProject(p, c.time);
    ASSERT_EQ(applied.size(), c.expected.size()) << "time " << c.time;
    for (size_t i = 0; i < applied.size(); ++i) {
      EXPECT_EQ(applied[i].optype, c.expected[i].optype) << "time " << c.time;
      EXPECT_NEAR(applied[i].value, c.expected[i].value, 0.01f) << "time " << c.time;
    }
  }
}

// --- start-up with the generator at seed 0 ---

int32_t Reference(std::mt19937& g, int32_t n) { return static_cast<int32_t>((uint64_t(g()) * uint64_t(n)) >> 32); }

TEST(EffectInitStars, SeedZeroStarsAndDrawsTaken) {
  RandSeedSet(0);
  EffectInitStars();
  std::mt19937 g(0);
  for (int i = 0; i < 3; ++i) {
    const float x = float(Reference(g, 5000) - 3000), y = float(Reference(g, 5000) - 3000),
                z = float(Reference(g, 5000) - 3000);
    const float b = Reference(g, 1000) / 2000.0f + 0.5f;
    EXPECT_EQ(PlayerUnit.StarX[i], x);
    EXPECT_EQ(PlayerUnit.StarY[i], y);
    EXPECT_EQ(PlayerUnit.StarZ[i], z);
    EXPECT_EQ(PlayerUnit.StarBrightness[i], b);
  }
  EXPECT_EQ(EffectUnit.SceneCacheCount, 0);
  // Four draws per star: the next draw is output 4 x 20001 of the sequence.
  std::mt19937 after(0);
  after.discard(4 * kStarCount);
  EXPECT_EQ(Random(1 << 30), Reference(after, 1 << 30));
  for (int i = 0; i < kStarCount; ++i) {
    ASSERT_GE(PlayerUnit.StarX[i], -3000.0f);
    ASSERT_LE(PlayerUnit.StarX[i], 1999.0f);
    ASSERT_GE(PlayerUnit.StarBrightness[i], 0.5f);
    ASSERT_LE(PlayerUnit.StarBrightness[i], 999 / 2000.0f + 0.5f);
  }
}

// --- indices from the data, checked (run under AddressSanitizer too) ---

TEST(EffectChecks, IndicesOutsideTheirTables) {
  for (uint32_t& t : PlayerUnit.CaptureTextures) t = 0;
  PlayerUnit.CaptureTextures[3] = 33;
  PlayerUnit.SmallCaptureTextures[3] = 77;
  struct Slot {
    int32_t slot;
    uint32_t texture;
  } slots[] = {{3, 33}, {7, 77}, {8, 0}, {255, 0}, {-1, 0}};
  for (const Slot& s : slots) EXPECT_EQ(EffectCaptureTexture(s.slot), s.texture) << s.slot;

  struct Face {
    int32_t facecount;
    float v;
    int32_t k, expected;
  } faces[] = {{5, 1000, 4, 4}, {5, 1000, 1, 4}, {5, 0, 1, 0}, {5, 0, 4, 3}, {100, 500, 2, 49},
               {1, 3000, 3, 0}, {0, 100, 1, -1}, {5, -4000, 1, 0},
               // key values far outside the faces, or past 32 bits once scaled
               {1000000, 2.1e9f, 4, 999999}, {1000000, -2.1e9f, 1, 0}, {5, NAN, 2, 1}};
  for (const Face& f : faces) EXPECT_EQ(EffectLightningFace(f.facecount, f.v, f.k), f.expected) << f.facecount;

  EXPECT_EQ(EffectDrawFraction(500), 0.5f);
  EXPECT_EQ(EffectDrawFraction(2500), 2.5f);  // the drawing stops at the object's faces

  uint8_t params[32] = {};
  params[3] = 2;
  params[6] = 255;
  EXPECT_EQ(EffectClearMask(params), uint32_t(GL_COLOR_BUFFER_BIT | GL_STENCIL_BUFFER_BIT));

  FEX_Project p;
  EXPECT_EQ(EffectFixedObject(p, 0), nullptr);
  EXPECT_EQ(EffectTunnelTexture(p), 0);
  p.interfacecount = 2;
  p.interfaces = std::make_unique<ife_interface[]>(2);
  EXPECT_EQ(EffectTunnelTexture(p), 0);  // interface 1 without layers
  ife_layer layer{};
  layer.texture = 9;
  p.interfaces[1] = {1, 0, &layer};
  EXPECT_EQ(EffectTunnelTexture(p), 9);
  p.interfacecount = 1;
  EXPECT_EQ(EffectTunnelTexture(p), 0);

  drawtest::Scene s({drawtest::TriangleRow(1), drawtest::TriangleRow(1)});
  p.scenecount = 1;
  p.scenes = std::make_unique<_OVX_SCENE[]>(1);
  p.scenes[0] = s.scene;
  for (int32_t index : {2, 4, 99, 106, 111, 114, -1}) EXPECT_EQ(EffectFixedObject(p, index), nullptr) << index;
  EXPECT_EQ(EffectFixedObject(p, 1), &s.object(1));

  // The GL-free operators on a scene without the objects they name, and
  // targets outside the project: nothing is read or written out of bounds.
  FEX_Operator op;
  for (int32_t code : {int32_t(kOpFlicker), int32_t(kOpSwitch)}) {
    op.optype = code;
    EffectApplyOperator(p, op, 0);
    EffectApplyOperator(p, op, 500);
  }
  op.optype = kOpObjectRotation;
  op.params[0] = 2;  // object 2 of two
  EffectApplyOperator(p, op, 45);
  op.params[0] = 1;
  op.params[2] = 2;
  EffectApplyOperator(p, op, 45);
  EXPECT_EQ(s.object(1).rotation.z, 45.0f);
  op.optype = kOpFieldOfView;
  for (int32_t target : {1, -1, 1000}) {
    op.target = target;
    EffectApplyOperator(p, op, 90);
    op.optype = kOpObjectRotation;
    EffectApplyOperator(p, op, 90);
    op.optype = kOpFieldOfView;
  }
  EXPECT_EQ(s.object(1).rotation.z, 45.0f);
  EXPECT_NE(p.scenes[0].camerafov, float(M_PI / 2));
}

// ---- The flicker at value 0 switches every flickering part off ------------

TEST(EffectChecks, FlickerAtZeroSwitchesAllThreePartsOff) {
  constexpr int32_t kObjects = 115;  // objects 106, 111 and 114 flicker
  constexpr size_t kTextureByte = 83;
  std::vector<_OVX_OBJECT> objects(kObjects);
  FEX_Project p;
  p.scenecount = 1;
  p.scenes = std::make_unique<_OVX_SCENE[]>(1);
  p.scenes[0].objects = objects.data();
  p.scenes[0].objectcount = kObjects;
  FEX_Operator op;
  op.optype = kOpFlicker;
  // The draws that light a part hit one time in forty; enough rounds make
  // sure some of them do.
  for (int round = 0; round < 400; ++round) {
    objects[111].particledata.particleenabled = 1;
    objects[114].particledata.particleenabled = 1;
    objects[106].particledata.particletexture.text[kTextureByte] = 1;
    EffectApplyOperator(p, op, 0);
    EXPECT_EQ(objects[111].particledata.particleenabled, 0);
    EXPECT_EQ(objects[114].particledata.particleenabled, 0);
    EXPECT_EQ(objects[106].particledata.particletexture.text[kTextureByte], 0);
  }
}

// --- on a real GL (Mesa under Xvfb) ---

using drawtest::OnDisplay;

FEX_Operator& NewOperator(FEX_Project& p, int32_t optype, FEX_Key key, std::initializer_list<uint8_t> params = {},
                          int32_t target = 0) {
  FEX_Operator& op = p.operators[p.operatorcount++];
  op.optype = optype;
  op.target = target;
  std::copy(params.begin(), params.end(), op.params);
  op.keycount = 1;
  op.keys = std::make_unique<FEX_Key[]>(1);
  op.keys[0] = key;
  return op;
}

TEST(EffectOnDisplay, ClearAndViewport) {
  OnDisplay(320, 240, [] {
    EffectInit(320, 240);
    FEX_Project p;
    p.operators = std::make_unique<FEX_Operator[]>(3);
    // colour (255, 128, 0) at half strength, colour buffer only (2 counts as set)
    NewOperator(p, kOpClear, {0, 10, 0, 500, 500, 500}, {255, 128, 0, 2, 0, 0, 0});
    // viewport at (16, 8) of 1024 x 768 scaled to the window, at v = 500
    NewOperator(p, kOpViewport, {0, 10, 0, 500, 500, 500}, {16, 0, 8, 0, 0, 4, 0, 3});
    EffectPlayProject(p, 1);
    const Rgb c = drawtest::ReadPixel(100, 100);
    if (!drawtest::Near(c, {128, 64, 0})) std::fprintf(stderr, "clear %s\n", drawtest::Text(c).c_str());
    GLint vp[4] = {};
    qgl::glGetIntegerv(GL_VIEWPORT, vp);
    CHILD_CHECK(vp[0] == 16 && vp[1] == 8 && vp[2] == 160 && vp[3] == 120);
    CHILD_CHECK(PlayerUnit.CaptureTextures[0] && PlayerUnit.SmallCaptureTextures[3] && PlayerUnit.NoiseTextures[31]);
    // The frame-buffer and glow textures are the application's to create.
    CHILD_CHECK(CaptureUnit.FramebufferTextures[0] == 0 && CaptureUnit.GlowTexture == 0);
  });
}

int32_t renderedLayers = 0;
void CountRender(ife_interface&, float) { ++renderedLayers; }

uint64_t FrameSum(int w, int h) {
  std::vector<unsigned char> pixels(size_t(w) * h * 3);
  qgl::glPixelStorei(GL_PACK_ALIGNMENT, 1);
  qgl::glReadPixels(0, 0, w, h, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
  uint64_t sum = 0;
  for (size_t i = 0; i < pixels.size(); ++i) sum = sum * 31 + pixels[i];
  return sum;
}

// Every operator code on two scenes and two layers, played at fixed steps.
TEST(EffectOnDisplay, ProjectOfEveryOperatorPlays) {
  const std::string path = std::filesystem::read_symlink("/proc/self/exe").parent_path() / "effect_frame.ppm";
  OnDisplay(320, 240, [&] {
    EffectInit(320, 240);
    drawtest::Scene a({drawtest::Sphere({0, 0, 0}, 1, 12, 24), drawtest::QuadFacingMinusY(2, -1, 1, 0.3f),
                       drawtest::QuadFacingMinusY(-2, -1, 1, 0.3f), drawtest::QuadFacingMinusY(2, -1, -1, 0.3f),
                       drawtest::QuadFacingMinusY(-2, -1, -1, 0.3f), drawtest::FloorQuad(-1.5f, 4)});
    a.SetCamera({0, -6, 1.5f}, {0, 0, 0});
    a.object(0).castshadow = 1;
    a.scene.lights[0] = {};
    a.scene.lights[0].enabled = 1;
    a.scene.lights[0].pos = {3, -3, 5};
    a.scene.lights[0].diffuse = {1, 1, 1};
    a.material(0).receivelight = 1;
    a.material(0).diffuse = {0.9f, 0.4f, 0.2f};
    PrecalculateScene(&a.scene);
    drawtest::Scene b({drawtest::FloorQuad(0, 2)});
    b.SetCamera({0, -5, 3}, {0, 0, 0});
    PrecalculateScene(&b.scene);

    FEX_Project p;
    p.scenecount = 2;
    p.scenes = std::make_unique<_OVX_SCENE[]>(2);
    p.scenes[0] = a.scene;
    p.scenes[1] = b.scene;
    ife_layer layer{};
    layer.texture = static_cast<int32_t>(PlayerUnit.NoiseTextures[0]);
    p.interfacecount = 2;
    p.interfaces = std::make_unique<ife_interface[]>(2);
    p.interfaces[1] = {1, 0, &layer};
    EffectInterfaces.render = CountRender;
    p.operators = std::make_unique<FEX_Operator[]>(19);
    const FEX_Key whole = {0, 100, 0, 0, 500, 1000}, first = {0, 1, 0, 1000, 1000, 1000};
    NewOperator(p, kOpViewport, {0, 100, 0, 1000, 1000, 1000}, {0, 0, 0, 0, 0, 4, 0, 3});
    NewOperator(p, kOpClear, {0, 100, 1, 0, 1000, 200}, {40, 60, 200, 1, 1, 0, 1});
    NewOperator(p, kOpFieldOfView, {0, 100, 0, 40, 50, 60});
    NewOperator(p, kOpObjectRotation, {0, 100, 0, 0, 180, 360}, {0, 0, 2, 0});
    NewOperator(p, kOpStarField, whole);
    NewOperator(p, kOpScene, whole, {0, 1, 1});
    NewOperator(p, kOpScene, {0, 100, 2, 0, 50, 100}, {}, 1);
    NewOperator(p, kOpInterface, whole, {}, 1);
    NewOperator(p, kOpFloorGrid, whole);
    NewOperator(p, kOpTunnelRing, whole);
    NewOperator(p, kOpLightning, whole);
    NewOperator(p, kOpFlicker, whole);
    NewOperator(p, kOpSwitch, whole);
    NewOperator(p, kOpCapture, whole, {0, 0, 0, 0, 0, 4, 0, 3, 1});
    NewOperator(p, kOpCaptureOverlay, whole, {255, 255, 255, 1, 1});
    NewOperator(p, kOpNoise, {0, 100, 0, 100, 100, 100});
    NewOperator(p, kOpShaderA, first, {1});
    NewOperator(p, kOpShaderB, first, {5});
    NewOperator(p, kOpTwoPassShader, first, {2});
    CHILD_CHECK(p.operatorcount == 19);
    uint64_t early = 0, late = 0;
    for (float t = 0; t <= 12.0f; t += 0.5f) {
      EffectPlayProject(p, t);
      if (t == 2.0f) early = FrameSum(320, 240);
      if (t == 9.0f) {
        late = FrameSum(320, 240);
        CHILD_CHECK(drawtest::WritePpm(path, 320, 240));
      }
    }
    CHILD_CHECK(early != late);
    CHILD_CHECK(renderedLayers == 25);
    CHILD_CHECK(DrawUnit.DrawFraction > 0.0f);
    EffectInterfaces.render = nullptr;
    DrawUnit.DrawFraction = -1.0f;
  });
}

// The capture operator copies into whatever its slot holds: a slot whose
// texture is 0 gets texturing on and the copy in GL's default texture, as
// any other slot gets it in its own.
TEST(EffectOnDisplay, CaptureCopiesIntoTheSlotsTextureEvenWhenItIsZero) {
  OnDisplay(320, 240, [] {
    EffectInit(320, 240);
    const uint32_t own = PlayerUnit.CaptureTextures[2];
    FEX_Project p;
    p.operators = std::make_unique<FEX_Operator[]>(1);
    // a 256 x 256 rectangle of the 1024 x 768 frame: 80 x 80 pixels here
    const FEX_Operator& op = NewOperator(p, kOpCapture, {0, 10, 0, 1000, 1000, 1000}, {0, 0, 0, 0, 0, 1, 0, 1, 2});
    struct Case {
      uint32_t texture;
    } cases[] = {{own}, {0}};
    for (const Case& c : cases) {
      PlayerUnit.CaptureTextures[2] = c.texture;
      qgl::glBindTexture(GL_TEXTURE_2D, own == 7 ? 8 : 7);
      qgl::glDisable(GL_TEXTURE_2D);
      EffectApplyOperator(p, op, 1000);
      GLint bound = -1, width = 0;
      qgl::glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
      qgl::glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
      if (!qgl::glIsEnabled(GL_TEXTURE_2D) || bound != GLint(c.texture) || width != 80)
        std::fprintf(stderr, "texture %u: enabled %d, bound %d, width %d\n", c.texture,
                     int(qgl::glIsEnabled(GL_TEXTURE_2D)), bound, width);
    }
    PlayerUnit.CaptureTextures[2] = own;
  });
}

}  // namespace
