// An effect project from files on disk, end to end: two scenes written by
// the scene writer, an interface layer read by the layer unit, GLSL programs
// built from their sources and a project file naming them, loaded by the
// engine's project loader and played on a real GL (Mesa under Xvfb).
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "app/appshell.h"
#include "app/ife.h"
#include "engine/capture.h"
#include "engine/draw.h"
#include "testsupport/engine/draw.h"
#include "engine/effect.h"
#include "engine/glsl.h"
#include "engine/loader.h"
#include "engine/player.h"
#include "testsupport/engine/project.h"
#include "platform/window.h"
#include "testsupport/testsupport.h"

namespace {

using drawtest::Rgb;
using projecttest::KeySpec;
using projecttest::OperatorSpec;
using projecttest::ProjectSpec;

constexpr int kWidth = 320, kHeight = 240;
constexpr Rgb kClearColour = {20, 20, 40};

// A red sphere (object 0, casting a shadow) with four small quads around it
// (objects 1 to 4, the lightning's start points) over a floor, lit from
// above; the camera looks along +y at the sphere.
void SaveSphereScene(const std::string& path) {
  drawtest::Scene s({drawtest::Sphere({0, 0, 0}, 1, 12, 24), drawtest::QuadFacingMinusY(2, -1, 1, 0.3f),
                     drawtest::QuadFacingMinusY(-2, -1, 1, 0.3f), drawtest::QuadFacingMinusY(2, -1, -1, 0.3f),
                     drawtest::QuadFacingMinusY(-2, -1, -1, 0.3f), drawtest::FloorQuad(-1.5f, 4)});
  s.SetCamera({0, -6, 1.5f}, {0, 0, 0});
  s.object(0).castshadow = 1;
  s.scene.lights[0].enabled = 1;
  s.scene.lights[0].pos = {3, -3, 5};
  s.scene.lights[0].diffuse = {1, 1, 1};
  s.material(0).receivelight = 1;
  s.material(0).ambient = {0.3f, 0.05f, 0.05f};
  s.material(0).diffuse = {0.9f, 0.15f, 0.15f};
  // The floor is lit too, so that the sphere's shadow shows on it.
  for (size_t i = 1; i < 6; ++i) {
    s.material(i).receivelight = 1;
    s.material(i).ambient = {0.15f, 0.15f, 0.15f};
    s.material(i).diffuse = {0.6f, 0.6f, 0.6f};
  }
  ASSERT_EQ(SaveScene(&s.scene, path), kSceneOk);
}

// An unlit blue floor filling the view.
void SaveFloorScene(const std::string& path) {
  drawtest::Scene s({drawtest::FloorQuad(0, 20)});
  s.SetCamera({0, -5, 3}, {0, 0, 0});
  s.material(0).ambient = s.material(0).diffuse = {0.1f, 0.2f, 0.8f};
  ASSERT_EQ(SaveScene(&s.scene, path), kSceneOk);
}

// One white rectangle, 160 x 120 of the 1280 x 720 layer space, centred on
// (160, 600): a 40 x 40 square about (40, 200) of the window.
constexpr char kLayerFile[] =
    "1\n0\nwhite.tga\nfirst extra\nsecond extra\n2\n0\n"
    "0 160 600 0 0 160 120 255 255 255 255\n"
    "10000 160 600 0 0 160 120 255 255 255 255\n";
constexpr int kLayerX = 40, kLayerY = 200;

// Both programs pass the texture coordinates on; A scales the captured
// frame by SIZE, B swaps its red and blue.
constexpr char kVertexShader[] = "void main() { gl_TexCoord[0] = gl_MultiTexCoord0; gl_Position = ftransform(); }\n";
constexpr char kShaderA[] =
    "uniform sampler2D texture; uniform float SIZE;\n"
    "void main() { gl_FragColor = texture2D(texture, gl_TexCoord[0].st) * SIZE; }\n";
constexpr char kShaderB[] =
    "uniform sampler2D texture;\n"
    "void main() { gl_FragColor = texture2D(texture, gl_TexCoord[0].st).bgra; }\n";

KeySpec Constant(int32_t from, int32_t to, int32_t value) { return {from, to, 0, value, value, value}; }

// Whole 1024 x 768 rectangles, as the viewport and capture operators take them.
const std::vector<uint8_t> kWholeScreen = {0, 0, 0, 0, 0, 4, 0, 3};

// Eight seconds: the sphere scene (shadowed, with particles) up to 3, the
// floor scene from 4 to 7, the layer throughout; the tunnel, the lightning
// and the noise at 2; the capture overlay tinting yellow at 6; the shader
// passes at 7. Every operator code is used. The grid, the tunnel and the
// lightning draw with the matrices the operator before them left, so they
// follow the scenes (after the layer they would draw in its space).
ProjectSpec Timeline() {
  ProjectSpec p;
  p.name = "end to end";
  p.scenes = {"c:\\scenes\\sphere.ovx", "floor.ovx"};
  // The tunnel ring takes its texture from the second interface.
  p.interfaces = {"ui\\layer.ife", "other\\layer.ife"};
  std::vector<uint8_t> capture = kWholeScreen;
  capture.push_back(0);  // slot 0
  p.operators = {
      {kOpViewport, 0, 0, 0, {Constant(0, 8, 1000)}, -1, "viewport", kWholeScreen},
      {kOpClear, 0, 0, 0, {Constant(0, 8, 1000)}, -1, "clear", {kClearColour.r, kClearColour.g, kClearColour.b, 1, 1, 0, 1}},
      {kOpFieldOfView, 0, 0, 0, {{0, 8, 0, 40, 45, 50}}, -1, "fov", {0}},
      {kOpObjectRotation, 0, 0, 0, {{0, 8, 0, 0, 180, 360}}, -1, "spin", {0, 0, 2, 0}},
      {kOpStarField, 0, 0, 0, {Constant(0, 8, 1000)}, -1, "stars", {0}},
      {kOpScene, 0, 0, 0, {{0, 3, 0, 0, 1500, 3000}}, -1, "sphere", {0, 1, 1}},
      {kOpScene, 1, 0, 0, {{4, 7, 0, 0, 1500, 3000}}, -1, "floor", {0}},
      {kOpFloorGrid, 0, 0, 0, {Constant(0, 8, 1000)}, -1, "grid", {0}},
      {kOpTunnelRing, 0, 0, 0, {{2, 2, 0, 0, 500, 1000}}, -1, "tunnel", {0}},
      {kOpLightning, 0, 0, 0, {Constant(2, 2, 1000)}, -1, "lightning", {0}},
      {kOpNoise, 0, 0, 0, {Constant(2, 2, 100)}, -1, "noise", {0}},
      {kOpInterface, 0, 0, 0, {{0, 8, 0, 0, 4000, 8000}}, -1, "layer", {0}},
      {kOpFlicker, 0, 0, 0, {Constant(0, 8, 1)}, -1, "flicker", {0}},
      {kOpSwitch, 0, 0, 0, {Constant(0, 8, 1)}, -1, "switch", {0}},
      {kOpCapture, 0, 0, 0, {Constant(0, 8, 1000)}, -1, "capture", capture},
      {kOpCaptureOverlay, 0, 0, 0, {Constant(6, 6, 1000)}, -1, "overlay", {255, 255, 0, 0, 0}},
      {kOpShaderA, 0, 0, 0, {Constant(7, 7, 1000)}, -1, "shader a", {0}},
      {kOpShaderB, 0, 0, 0, {Constant(7, 7, 1000)}, -1, "shader b", {0}},
      {kOpTwoPassShader, 0, 0, 0, {Constant(7, 7, 1000)}, -1, "two passes", {0}},
  };
  return p;
}

bool Dominant(Rgb c, int Rgb::*channel) {
  const int others[] = {c.r, c.g, c.b};
  int below = 0;
  for (int v : others)
    if (v + 40 <= c.*channel) ++below;
  return below == 2;
}

struct Frame {
  float time;
  Rgb centre, layer;
  uint64_t hash = 0;
};

uint64_t FrameHash() {
  std::vector<unsigned char> pixels(size_t(kWidth) * kHeight * 3);
  qgl::glPixelStorei(GL_PACK_ALIGNMENT, 1);
  qgl::glReadPixels(0, 0, kWidth, kHeight, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
  uint64_t hash = 1469598103934665603ull;
  for (unsigned char p : pixels) hash = (hash ^ p) * 1099511628211ull;
  return hash;
}

TEST(EffectProjectFromFiles, LoadsAndPlaysItsTimeline) {
  if (!plat::DisplayAvailable()) GTEST_SKIP() << "no X display";
  qt::TempDir dir;
  const std::filesystem::path shots = std::filesystem::read_symlink("/proc/self/exe").parent_path() / "screenshots";
  std::filesystem::create_directories(shots);
  std::filesystem::create_directories(std::filesystem::path(dir.path()) / "data");
  std::filesystem::create_directories(std::filesystem::path(dir.path()) / "textures");
  InitLoaderUnit();
  SaveSphereScene(dir / "data/sphere.ovx");
  SaveFloorScene(dir / "data/floor.ovx");
  ASSERT_TRUE(qt::WriteFile(dir / "data/layer.ife", kLayerFile));
  ASSERT_TRUE(qt::WriteFile(dir / "effect.vs", kVertexShader));
  ASSERT_TRUE(qt::WriteFile(dir / "effect_a.fs", kShaderA));
  ASSERT_TRUE(qt::WriteFile(dir / "effect_b.fs", kShaderB));
  const std::vector<uint8_t> project = projecttest::WriteProject(Timeline());
  ASSERT_TRUE(qt::WriteFile(dir / "show.fex", std::string(project.begin(), project.end())));

  // The frames the checks look at, with their screenshots.
  const std::vector<float> looked = {1.5f, 2.0f, 5.0f, 6.0f, 7.0f};
  auto r = qt::RunInChild([&] {
    CHILD_CHECK(chdir(dir.path().c_str()) == 0);
    Shell.AppWindow = drawtest::ShowWindowOrExit(kWidth, kHeight);
    ife_serve_effects();
    EffectInit(kWidth, kHeight);
    // The player makes its own textures only: until the application creates
    // the capture textures, an "RT" layer gets texture 0.
    CHILD_CHECK(CaptureUnit.FramebufferTextures[0] == 0 && CaptureUnit.GlowTexture == 0);
    CHILD_CHECK(ife_resolve_texture(ShortString("RT"), ShortString("textures"), nullptr) == 0);
    CreateFramebufferTexture();
    CreateGlowTexture();
    // Layers loaded from now on find them made.
    CHILD_CHECK(CaptureUnit.FramebufferTextures[0] != 0 && CaptureUnit.GlowTexture != 0);
    CHILD_CHECK(ife_resolve_texture(ShortString("RT"), ShortString("textures"), nullptr) ==
                int32_t(CaptureUnit.FramebufferTextures[0]));
    uint32_t vs = 0, fs = 0;
    LoadShaderProgram(vs, fs, PlayerUnit.EffectShaderA, ShortString("effect.vs"), ShortString("effect_a.fs"));
    LoadShaderProgram(vs, fs, PlayerUnit.EffectShaderB, ShortString("effect.vs"), ShortString("effect_b.fs"));
    CHILD_CHECK(PlayerUnit.EffectShaderA != 0 && PlayerUnit.EffectShaderB != 0);

    const int32_t framesBefore = Ife.ife_progress_counter;
    FEX_Project show;
    EffectLoadProject(show, "show.fex");
    // One loading frame before each of the two scenes and the two layers.
    CHILD_CHECK(Ife.ife_progress_counter - framesBefore == 4);
    CHILD_CHECK(show.scenecount == 2 && show.interfacecount == 2 && show.operatorcount == 19);
    CHILD_CHECK(show.scenes[0].objectcount == 6 && show.scenes[1].objectcount == 1);
    CHILD_CHECK(show.scenes[0].particlecount == 5000 && show.scenes[1].particlecount == 5000);
    CHILD_CHECK(show.interfaces[0].layer_count == 1 && show.interfaces[1].layer_count == 1);
    CHILD_CHECK(EffectUnit.SceneCacheCount == 2);

    std::vector<Frame> frames;
    for (float t = 0; t <= 8.0f; t += 0.25f) {
      EffectPlayProject(show, t);
      for (float at : looked)
        if (t == at) {
          frames.push_back({t, drawtest::ReadPixel(kWidth / 2, kHeight / 2), drawtest::ReadPixel(kLayerX, kLayerY),
                            FrameHash()});
          char name[64];
          std::snprintf(name, sizeof name, "effect_%04d.ppm", int(t * 1000));
          CHILD_CHECK(drawtest::WritePpm(shots / name, kWidth, kHeight));
        }
      wmSwapBuffers(Shell.AppWindow);
    }
    CHILD_CHECK(frames.size() == looked.size());
    for (const Frame& f : frames)
      std::printf("t %.2f: centre %s, layer %s\n", f.time, drawtest::Text(f.centre).c_str(),
                  drawtest::Text(f.layer).c_str());
    const Frame &sphere = frames[0], &effects = frames[1], &floor = frames[2], &overlay = frames[3],
                &shaded = frames[4];
    // The sphere scene shows its red sphere, the floor scene its blue floor,
    // the layer its white rectangle over both.
    CHILD_CHECK(Dominant(sphere.centre, &Rgb::r));
    CHILD_CHECK(Dominant(floor.centre, &Rgb::b));
    CHILD_CHECK(drawtest::Near(sphere.layer, {255, 255, 255}, 8));
    CHILD_CHECK(drawtest::Near(floor.layer, {255, 255, 255}, 8));
    // The captured frame tinted yellow: no blue left.
    CHILD_CHECK(overlay.centre.b <= 4 && drawtest::Near(overlay.layer, {255, 255, 0}, 8));
    // Through the shaders red and blue change places: the floor turns red.
    CHILD_CHECK(Dominant(shaded.centre, &Rgb::r));
    CHILD_CHECK(drawtest::Near(shaded.layer, {255, 255, 255}, 8));
    for (size_t i = 1; i < frames.size(); ++i) CHILD_CHECK(frames[i].hash != frames[i - 1].hash);
    CHILD_CHECK(effects.hash != sphere.hash);
    // The lightning leaves whole objects to every later draw.
    CHILD_CHECK(DrawUnit.DrawFraction == 1.0f);

    EffectFreeProject(show);
    CHILD_CHECK(EffectUnit.SceneCacheCount == 0);
    std::fflush(stdout);
    std::fflush(stderr);
    _exit(0);
  });
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.err, "") << r.out;
  std::printf("%s", r.out.c_str());
}

}  // namespace
