#include "engine/render.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "testsupport/engine/draw.h"
#include "engine/precalc.h"
#include "testsupport/engine/scene.h"
#include "platform/window.h"
#include "testsupport/testsupport.h"
#include "units/glunit.h"

namespace {

using drawtest::Rgb;

TEST(ObjectNames, IndexShowAndHideByExactName) {
  scenetest::OwnedScene s({"m"}, {"a", "b", "a", "A"});
  EXPECT_EQ(ObjectIndex(&s.scene, "a"), 2);  // the last of the two
  EXPECT_EQ(ObjectIndex(&s.scene, "A"), 3);
  for (std::string_view unknown : {"c", "", "a "}) EXPECT_EQ(ObjectIndex(&s.scene, unknown), 65535) << unknown;
  EXPECT_EQ(ObjectIndex(nullptr, "a"), kNoObjectIndex);

  ShowObject(&s.scene, "a");
  EXPECT_EQ(std::vector<int>({s.object(0).visible, s.object(1).visible, s.object(2).visible, s.object(3).visible}),
            std::vector<int>({1, 0, 1, 0}));
  s.object(3).visible = 1;
  HideObject(&s.scene, "a");
  EXPECT_EQ(std::vector<int>({s.object(0).visible, s.object(1).visible, s.object(2).visible, s.object(3).visible}),
            std::vector<int>({0, 0, 0, 1}));
}

// The camera of a pass when a track has no keys: the eye at the origin,
// looking along +y unless a target track says otherwise.
TEST(SceneCamera, DefinedWithoutKeys) {
  struct Case {
    bool eyeKey;
    _OVX_VECTOR eyeAt;
    bool targetKey;
    _OVX_VECTOR targetAt;
    _OVX_VECTOR eye, target;
  } cases[] = {
      {false, {}, false, {}, {0, 0, 0}, {0, 1, 0}},
      {true, {1, 2, 3}, false, {}, {1, 2, 3}, {1, 3, 3}},
      {false, {}, true, {5, 5, 5}, {0, 0, 0}, {5, 5, 5}},
      {false, {}, true, {0, 0, 0}, {0, 0, 0}, {0, 1, 0}},
      {true, {1, 2, 3}, true, {4, 5, 6}, {1, 2, 3}, {4, 5, 6}},
  };
  for (const Case& c : cases) {
    _OVX_SCENE scene{};
    _OVX_KEYVECTOR eyeKey = {0, c.eyeAt.x, c.eyeAt.y, c.eyeAt.z};
    _OVX_KEYVECTOR targetKey = {0, c.targetAt.x, c.targetAt.y, c.targetAt.z};
    if (c.eyeKey) scene.camerakeys = &eyeKey, scene.camerakeycount = 1;
    if (c.targetKey) scene.targetkeys = &targetKey, scene.targetkeycount = 1;
    _OVX_VECTOR eye{9, 9, 9}, target{9, 9, 9};
    SceneCamera(eye, target, &scene, 3.0f);
    EXPECT_TRUE(eye.x == c.eye.x && eye.y == c.eye.y && eye.z == c.eye.z) << eye.x << "," << eye.y << "," << eye.z;
    EXPECT_TRUE(target.x == c.target.x && target.y == c.target.y && target.z == c.target.z)
        << target.x << "," << target.y << "," << target.z;
  }
}

float Dot(const _OVX_VECTOR& a, const _OVX_VECTOR& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

TEST(FlareAxes, UnitAxesInTheViewPlaneAndNoneAlongY) {
  for (_OVX_VECTOR view : {_OVX_VECTOR{0, -10, 0}, _OVX_VECTOR{0, 3, 0}, _OVX_VECTOR{0, 0, 0}}) {
    _OVX_VECTOR r{7, 7, 7}, u{7, 7, 7};
    EXPECT_FALSE(FlareAxes(view, r, u)) << view.y;
    EXPECT_EQ(r.x + u.x, 14.0f);  // untouched
  }
  for (_OVX_VECTOR view : {_OVX_VECTOR{-10, 0, 0}, _OVX_VECTOR{1, 2, 3}, _OVX_VECTOR{0, 5, 0.001f}}) {
    _OVX_VECTOR r, u;
    ASSERT_TRUE(FlareAxes(view, r, u));
    EXPECT_NEAR(Dot(r, r), 1.0f, 1e-5f);
    EXPECT_NEAR(Dot(u, u), 1.0f, 1e-5f);
    EXPECT_NEAR(Dot(r, view), 0.0f, 1e-4f);
    EXPECT_NEAR(Dot(u, view), 0.0f, 1e-4f);
    EXPECT_NEAR(Dot(r, u), 0.0f, 1e-5f);
  }
  _OVX_VECTOR r, u;
  ASSERT_TRUE(FlareAxes({-10, 0, 0}, r, u));
  EXPECT_TRUE(r.x == 0 && r.y == 0 && r.z == -1 && u.x == 0 && u.y == 1 && u.z == 0);
}

TEST(NearestHit, SmallestUnsignedMinimumDepthEarlierOnTies) {
  struct Case {
    std::vector<uint32_t> buffer;
    int32_t hits;
    int32_t name;
  } cases[] = {
      {{}, 0, 0},
      {{1, 5, 9, 3}, -1, 0},  // an overflowed buffer
      {{1, 50, 90, 1, 1, 20, 30, 2, 1, 70, 80, 3}, 3, 2},
      {{1, 20, 90, 1, 1, 20, 30, 2}, 2, 1},
      {{1, 0xFFFFFFF0u, 0xFFFFFFF8u, 4, 1, 5, 6, 7}, 2, 7},
      {{1, 50, 90, 1, 1, 20, 30, 2}, 1, 1},  // only the records counted
  };
  for (const Case& c : cases) {
    std::vector<uint32_t> buffer = c.buffer;
    buffer.resize(16);
    EXPECT_EQ(NearestHit(buffer.data(), static_cast<int32_t>(buffer.size()), c.hits), c.name) << c.hits;
  }
  // A count past the end of the buffer reads nothing beyond it.
  std::vector<uint32_t> full = {1, 5, 6, 9, 1, 7, 8};
  EXPECT_EQ(NearestHit(full.data(), 7, 2), 9);
}

TEST(SceneScale2, Stored) {
  SetSceneScale2(2, 3, 4);
  EXPECT_EQ(RenderUnit.SceneScale2.y, 3.0f);
  SetSceneScale2(1, 1, 1);
}

// --- on a real GL (Mesa under Xvfb) ---

using drawtest::OnDisplay;

void Expect(const char* what, Rgb got, Rgb expected) {
  if (!drawtest::Near(got, expected))
    std::fprintf(stderr, "%s: %s, expected %s\n", what, drawtest::Text(got).c_str(),
                 drawtest::Text(expected).c_str());
}

// The window centre is (32, 32); a pick there is given as y = 479 - 32.
constexpr int32_t kCentrePickY = 479 - 32;

TEST(RenderOnDisplay, PicksTheNearestObjectOrNothing) {
  OnDisplay(64, 64, [] {
    drawtest::Scene s({drawtest::QuadFacingMinusY(0, 0, 0, 1), drawtest::QuadFacingMinusY(0, -2, 0, 0.5f),
                       drawtest::QuadFacingMinusY(0, 3, 0, 2)});
    s.SetCamera({0, -10, 0}, {0, 0, 0});
    PrecalculateScene(&s.scene);
    struct Case {
      const char* what;
      std::vector<int> visible;
      int32_t passno1;
      int32_t x, y;
      int32_t picked;
    } cases[] = {
        {"all", {1, 1, 1}, 0, 32, kCentrePickY, 2},
        {"near hidden", {1, 0, 1}, 0, 32, kCentrePickY, 1},
        {"farthest only", {0, 0, 1}, 0, 32, kCentrePickY, 3},
        {"near beyond the passes", {1, 1, 1}, 1, 32, kCentrePickY, 1},
        {"empty corner", {1, 1, 0}, 0, 1, 479 - 1, 0},
    };
    for (const Case& c : cases) {
      for (int i = 0; i < 3; ++i) s.object(i).visible = static_cast<uint8_t>(c.visible[i]);
      s.object(1).passno = c.passno1;
      RenderUnit.PickX = c.x;
      RenderUnit.PickY = c.y;
      const int32_t picked = PickObject(&s.scene, 0);
      GLint mode = 0;
      qgl::glGetIntegerv(GL_RENDER_MODE, &mode);
      if (picked != c.picked || mode != GL_RENDER)
        std::fprintf(stderr, "%s: picked %d, mode 0x%X\n", c.what, picked, mode);
    }
  });
}

// Object i in pass 0 with an opaque, depth-tested material: grey for the
// background object 0, green-yellow for the others.
void PlainObject(drawtest::Scene& s, int i, bool visible) {
  _OVX_MATERIAL& m = s.material(i);
  m.blend = m.depthtest = m.depthfunc = 0;
  m.alphatest = 0;
  m.constantalpha = 1;
  m.envmap = 0;
  m.ambient = i == 0 ? _OVX_RGB{0.2f, 0.2f, 0.2f} : _OVX_RGB{0.4f, 0.6f, 0.0f};
  s.object(i).passno = 0;
  s.object(i).visible = visible;
}

// Object 0 is a grey background square, 1 a smaller square in front of it,
// 2 the same square behind it; each case sets materials and visibility and
// reads the centre after RenderScene. (The environment map is texture 0,
// which has no image, so its pass adds its plain colour.)
TEST(RenderOnDisplay, MaterialStatesPerObject) {
  OnDisplay(64, 64, [] {
    drawtest::Scene s({drawtest::QuadFacingMinusY(0, 0, 0, 1), drawtest::QuadFacingMinusY(0, -1, 0, 0.5f),
                       drawtest::QuadFacingMinusY(0, 1, 0, 0.5f)});
    s.SetCamera({0, -5, 0}, {0, 0, 0});
    PrecalculateScene(&s.scene);
    const Rgb back = {51, 51, 51}, square = {102, 153, 0}, sum = {153, 204, 51}, half = {77, 102, 26};
    struct Case {
      const char* what;
      std::function<void(drawtest::Scene&)> set;
      Rgb centre;
    } cases[] = {
        {"opaque", [](auto&) {}, square},
        {"additive", [](auto& t) { t.material(1).blend = 1; }, sum},
        {"alpha", [](auto& t) { t.material(1).blend = 2, t.material(1).constantalpha = 0.5f; }, half},
        {"blend 5 after additive", [](auto& t) { t.material(0).blend = 1, t.material(1).blend = 5; }, sum},
        {"blend 5 after opaque", [](auto& t) { t.material(1).blend = 5; }, square},
        {"pass above the count", [](auto& t) { t.object(1).passno = 2, t.scene.passcount = 1; }, back},
        {"last pass", [](auto& t) { t.object(1).passno = 1, t.scene.passcount = 1; }, square},
        {"behind, depth tested", [](auto& t) { t.object(1).visible = 0, t.object(2).visible = 1; }, back},
        {"behind, no depth test",
         [](auto& t) { t.object(1).visible = 0, t.object(2).visible = 1, t.material(2).depthtest = 3; }, square},
        {"behind, GREATER",
         [](auto& t) { t.object(1).visible = 0, t.object(2).visible = 1, t.material(2).depthfunc = 3; }, square},
        {"alpha test fails", [](auto& t) { t.material(1).alphatest = 0.6f, t.material(1).constantalpha = 0.5f; }, back},
        {"environment pass over itself",
         [](auto& t) {
           t.material(1).envmap = 1, t.material(1).envmapcolor = {0.4f, 0.0f, 0.8f}, t.material(1).envmapalpha = 1;
         },
         {204, 153, 204}},
        {"alpha test passes", [](auto& t) { t.material(1).alphatest = 0.4f, t.material(1).constantalpha = 0.5f; },
         square},
    };
    for (const Case& c : cases) {
      for (int i = 0; i < 3; ++i) PlainObject(s, i, i < 2);
      s.scene.passcount = 0;
      c.set(s);
      drawtest::ClearTo(0, 0, 0);
      RenderScene(&s.scene, 0);
      Expect(c.what, drawtest::ReadPixel(32, 32), c.centre);
    }
  });
}

// ---- The last blend mode of the table ---------------------------------------

// Blend 4, the last one the table has, weighs by the source colour: over the
// grey background the square gives src x src + dst x (1 - src).
TEST(RenderOnDisplay, TheLastBlendModeWeighsByTheSourceColour) {
  OnDisplay(64, 64, [] {
    drawtest::Scene s({drawtest::QuadFacingMinusY(0, 0, 0, 1), drawtest::QuadFacingMinusY(0, -1, 0, 0.5f)});
    s.SetCamera({0, -5, 0}, {0, 0, 0});
    PrecalculateScene(&s.scene);
    for (int i = 0; i < 2; ++i) PlainObject(s, i, true);
    s.scene.passcount = 0;
    s.material(1).blend = 4;
    drawtest::ClearTo(0, 0, 0);
    RenderScene(&s.scene, 0);
    Expect("blend 4", drawtest::ReadPixel(32, 32), Rgb{71, 112, 51});
  });
}

// Objects 0 and 2 are flare sources (yellow and cyan points, no mesh),
// object 1 a square between the origin and the camera. Source 2 is measured
// after source 0, so where its point is not in view a stale raster position
// would read source 0's pixels.
TEST(RenderOnDisplay, FlareColourFromWhatCoversIt) {
  OnDisplay(64, 64, [] {
    drawtest::Scene s({drawtest::Mesh{}, drawtest::QuadFacingMinusY(0, -2, 0, 0.5f), drawtest::Mesh{}});
    s.SetCamera({0, -10, 0}, {0, 0, 0});
    PrecalculateScene(&s.scene);
    s.material(0).flaresize = s.material(2).flaresize = 0.5f;
    s.material(0).ambient = {1, 1, 0};
    s.material(2).ambient = {0, 1, 1};
    const Rgb black = {0, 0, 0}, yellow = {255, 255, 0}, cyan = {0, 255, 255};
    struct Case {
      const char* what;
      bool covered;
      _OVX_VECTOR second;
      Rgb first, secondColour;
    } cases[] = {
        {"covered", true, {2, 0, 0}, black, cyan},
        {"seen", false, {2, 0, 0}, yellow, cyan},
        {"second behind the camera", false, {0, -20, 0}, yellow, black},
    };
    auto measured = [](const _OVX_RGB& f) {
      return Rgb{int(std::lround(f.r * 255)), int(std::lround(f.g * 255)), int(std::lround(f.b * 255))};
    };
    for (const Case& c : cases) {
      s.object(0).visible = s.object(2).visible = 1;
      s.object(2).pivot = c.second;
      s.object(1).visible = c.covered;
      drawtest::ClearTo(0, 0, 0);
      RenderFlareVisibility(&s.scene, 0);
      Expect(c.what, measured(s.object(0).flarecolor), c.first);
      Expect(c.what, measured(s.object(2).flarecolor), c.secondColour);
      CHILD_CHECK(s.object(0).visible == 0 && s.object(2).visible == 0);
    }
    // The sprite: none while the camera looks along y, then one in the
    // measured colour when it looks along x.
    s.object(0).flarecolor = {1, 1, 0};
    s.object(2).flarecolor = {0, 0, 0};
    s.object(1).visible = 0;
    RenderScene(&s.scene, 0);
    drawtest::ClearTo(0, 0, 0);
    DrawFlares(&s.scene, 0);
    Expect("sprite along y", drawtest::ReadPixel(32, 32), {0, 0, 0});
    s.SetCamera({10, 0, 0}, {0, 0, 0});
    RenderScene(&s.scene, 0);
    drawtest::ClearTo(0, 0, 0);
    DrawFlares(&s.scene, 0);
    Expect("sprite along x", drawtest::ReadPixel(32, 32), {255, 255, 0});
  });
}

// Without camera keys every pass logs its line and draws from the origin
// along +y, where a red square waits.
TEST(RenderOnDisplay, SceneWithoutCameraKeys) {
  OnDisplay(64, 64, [] {
    drawtest::Scene s({drawtest::QuadFacingMinusY(0, 5, 0, 1)});
    PrecalculateScene(&s.scene);
    s.material(0).ambient = {1, 0, 0};
    scenetest::LogLines log;
    const Rgb red = {255, 0, 0};
    for (auto pass : {RenderScene, RenderSceneScaled, RenderSceneSimple, RenderSceneColored}) {
      drawtest::ClearTo(0, 0, 0);
      pass(&s.scene, 0);
      Expect("pass", drawtest::ReadPixel(32, 32), red);
    }
    RenderUnit.PickX = 32;
    RenderUnit.PickY = kCentrePickY;
    CHILD_CHECK(PickObject(&s.scene, 0) == 1);
    RenderFlareVisibility(&s.scene, 0);
    DrawFlares(&s.scene, 0);
    SetupCamera(&s.scene, 0);
    SetupCameraAt(&s.scene, {0, 0, 0}, {0, 1, 0});
    RenderSceneReflected(&s.scene, 0, 0, 1, 1, -1, 1);
    const std::string pass = "ORVEX: Scene not renderable without camera animation target and position track";
    const std::string setup = "Orvex: Scene not renderable without camera animation target and position track";
    const std::vector<std::string> expected = {pass, pass, pass, pass, pass, setup, setup, setup, setup};
    CHILD_CHECK(log.Lines() == expected);
    for (const std::string& line : log.Lines()) std::printf("%s\n", line.c_str());
  });
}

// A lit sphere over a floor, lit from the right: its right half is
// brighter than its left. The frame goes to lit_scene.ppm beside the test
// program.
TEST(RenderOnDisplay, LitSceneScreenshot) {
  const std::string path = std::filesystem::read_symlink("/proc/self/exe").parent_path() / "lit_scene.ppm";
  OnDisplay(320, 240, [&] {
    drawtest::Scene s({drawtest::Sphere({0, 0, 0}, 1, 24, 48), drawtest::FloorQuad(-1, 4)});
    s.SetCamera({0, -6, 1.5f}, {0, 0, 0});
    PrecalculateScene(&s.scene);
    for (int i = 0; i < 2; ++i) {
      _OVX_MATERIAL& m = s.material(i);
      m.receivelight = 1;
      m.ambient = {0.1f, 0.1f, 0.1f};
      m.diffuse = i == 0 ? _OVX_RGB{0.9f, 0.35f, 0.2f} : _OVX_RGB{0.4f, 0.45f, 0.6f};
      m.specular = i == 0 ? _OVX_RGB{1, 1, 1} : _OVX_RGB{0, 0, 0};
      m.shine = 40;
    }
    s.object(0).backfacecull = 1;
    _OVX_LIGHT& light = s.scene.lights[0];
    light.enabled = 1;
    light.pos = {8, -3, 4};
    light.ambient = {0.2f, 0.2f, 0.2f};
    light.diffuse = {1, 1, 1};
    light.specular = {1, 1, 1};
    drawtest::ClearTo(0, 0, 0);
    RenderScene(&s.scene, 0);
    const Rgb left = drawtest::ReadPixel(160 - 25, 120), right = drawtest::ReadPixel(160 + 25, 120);
    if (!(right.r > left.r + 40))
      std::fprintf(stderr, "left %s right %s\n", drawtest::Text(left).c_str(), drawtest::Text(right).c_str());
    CHILD_CHECK(DrawUnit.TrianglesDrawn == s.object(0).facecount + 2 && DrawUnit.ObjectsDrawn == 2);
    CHILD_CHECK(drawtest::WritePpm(path, 320, 240));
  });
}

}  // namespace
