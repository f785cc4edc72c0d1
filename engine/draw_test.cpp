#include "engine/draw.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <limits>
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

TEST(DistanceCull, DrawnByModeAndDistanceToThePivot) {
  const _OVX_VECTOR eye = {3, 4, 0};
  struct Case {
    uint8_t mode;
    _OVX_VECTOR pivot;
    float limit;
    bool drawn;
  } cases[] = {
      {0, {1000, 0, 0}, 1, true},  // no culling
      {1, {0, 0, 0}, 5, true},     // exactly at the limit
      {1, {0, 0, -0.01f}, 5, false},
      {1, {3, 4, 0}, 0, true},
      {2, {3, 4, 0}, 1000, false},  // any other mode hides
      {255, {3, 4, 0}, 1000, false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(DistanceCullDrawn(c.mode, eye, c.pivot, c.limit), c.drawn)
        << int(c.mode) << " " << c.pivot.z << " " << c.limit;
}

// The matrix GL gets maps (u, v) to (utile (u + time scroll.x), vtile (v +
// time scroll.y)): the scroll is added first and the sum is scaled.
TEST(TextureMatrix, ScrollsThenScales) {
  float m[16];
  ObjectTextureMatrix(m, 2.0f, 3.0f, {0.001f, 0.0f, 0.0f}, 1000.0f);
  for (float u : {0.0f, 0.25f, 1.0f}) {
    for (float v : {0.0f, 0.5f}) {
      // column-major: u' = m0 u + m4 v + m8 0 + m12
      EXPECT_NEAR(m[0] * u + m[4] * v + m[12], 2.0f * (u + 1.0f), 1e-5f);
      EXPECT_NEAR(m[1] * u + m[5] * v + m[13], 3.0f * v, 1e-6f);
    }
  }
  ObjectTextureMatrix(m, 1.0f, 1.0f, {0.5f, 0.25f, 2.0f}, 0.0f);
  for (int k = 0; k < 16; ++k) EXPECT_EQ(m[k], k % 5 == 0 ? 1.0f : 0.0f) << k;
}

TEST(DrawFractionCount, IndicesOfTheFirstTrianglesClampedToTheObject) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  struct Case {
    int32_t faces;
    float fraction;
    int32_t indices;
  } cases[] = {
      {101, -1.0f, 303}, {101, 0.5f, 150}, {101, 0.0f, 0},   {101, 1.0f, 303},  {101, 2.0f, 303},
      {101, nan, 303},   {0, 0.5f, 0},     {-4, -1.0f, 0},   {3, 0.999f, 6},
  };
  for (const Case& c : cases)
    EXPECT_EQ(DrawnIndexCount(c.faces, c.fraction), c.indices) << c.faces << " x " << c.fraction;
}

// The GL unit's entry points are all null in this process: a draw that
// made any GL call would crash. A refused index makes none, apart from the
// two settings the edge draw makes first.
TEST(RefusedIndex, NoGLCallAtAll) {
  ASSERT_EQ(qgl::glPushMatrix, nullptr) << "the GL unit was loaded in the test process";
  scenetest::OwnedScene s({"m"}, {"a", "b"});
  for (int32_t bad : {-1, 2, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()}) {
    DrawObject(&s.scene, bad, 0);
    DrawObjectColored(&s.scene, bad, 0);
    DrawObjectBlack(&s.scene, bad, 0);
  }
  s.object(1).material = 1;  // no such material
  DrawObject(&s.scene, 1, 0);
  DrawObject(nullptr, 0, 0);

  static std::vector<std::string> calls;
  qgl::glLineWidth = [](GLfloat w) { calls.push_back("width " + std::to_string(int(w))); };
  qgl::glDepthFunc = [](GLenum f) { calls.push_back("depth " + glrec::Hex(f)); };
  DrawObjectEdges(&s.scene, 2, 0, 0.5f);
  qgl::glLineWidth = nullptr;
  qgl::glDepthFunc = nullptr;
  EXPECT_EQ(calls, (std::vector<std::string>{"width 2", "depth 0x201"}));
  EXPECT_EQ(DrawUnit.TrianglesDrawn + DrawUnit.ObjectsDrawn, 0);
}

TEST(Offsets, StoredBySetters) {
  SetObjectOffset(1, 2, 3);
  SetSceneScale(4, 5, 6);
  EXPECT_EQ(DrawUnit.ObjectOffset.z, 3.0f);
  EXPECT_EQ(DrawUnit.SceneScale.x, 4.0f);
  SetObjectOffset(0, 0, 0);
  SetSceneScale(1, 1, 1);
}

// On a real GL (Mesa under Xvfb): the fraction reaches glDrawElements
// clamped, the counters count whole objects, the matrix stack comes back to
// its depth, and the texture matrix is the one computed above.
TEST(OnDisplay, FractionCountersStackAndTextureMatrix) {
  if (!plat::DisplayAvailable()) GTEST_SKIP() << "no X display";
  auto r = qt::RunInChild([] {
    drawtest::ShowWindowOrExit(64, 64);
    drawtest::Scene s({drawtest::TriangleRow(101)});
    PrecalculateScene(&s.scene);
    s.material(0).utile = 2.0f;
    s.object(0).texturescroll = {0.001f, 0.0f, 0.0f};
    static std::vector<GLsizei> counts;
    static decltype(qgl::glDrawElements) real = qgl::glDrawElements;
    qgl::glDrawElements = [](GLenum mode, GLsizei n, GLenum type, const void* p) {
      counts.push_back(n);
      real(mode, n, type, p);
    };
    GLint depthBefore = 0, depthAfter = 0;
    qgl::glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depthBefore);
    for (float fraction : {0.5f, 2.0f, -1.0f}) {
      DrawUnit.DrawFraction = fraction;
      DrawObject(&s.scene, 0, 1000.0f);
    }
    DrawUnit.DrawFraction = -1.0f;
    qgl::glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depthAfter);
    GLint mode = 0;
    qgl::glGetIntegerv(GL_MATRIX_MODE, &mode);
    GLfloat texture[16], expected[16];
    qgl::glGetFloatv(GL_TEXTURE_MATRIX, texture);
    ObjectTextureMatrix(expected, 2.0f, 1.0f, {0.001f, 0.0f, 0.0f}, 1000.0f);
    CHILD_CHECK((counts == std::vector<GLsizei>{150, 303, 303}));
    CHILD_CHECK(DrawUnit.TrianglesDrawn == 303 && DrawUnit.ObjectsDrawn == 3);
    CHILD_CHECK(depthBefore == depthAfter && mode == GL_MODELVIEW);
    for (int k = 0; k < 16; ++k) CHILD_CHECK(std::fabs(texture[k] - expected[k]) < 1e-6f);
    std::fflush(stderr);
    _exit(0);
  });
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.err, "");
}

// The black draw by render mode, over a white frame: triangles or the
// strip come out black; a strip object without strip draws nothing. The
// draw never reads the material, so a material index outside the scene's
// materials does not stop it.
TEST(OnDisplay, BlackDrawByRenderMode) {
  if (!plat::DisplayAvailable()) GTEST_SKIP() << "no X display";
  auto r = qt::RunInChild([] {
    drawtest::ShowWindowOrExit(64, 64);
    drawtest::Scene s({drawtest::QuadFacingMinusY(0, 0, 0, 1)});
    s.SetCamera({0, -5, 0}, {0, 0, 0});
    std::vector<uint16_t> strip = {0, 1, 3, 2};
    struct Case {
      uint8_t rendermode;
      bool withStrip;
      int32_t material;
      Rgb centre;
    } cases[] = {{0, false, 0, {0, 0, 0}},
                 {1, true, 0, {0, 0, 0}},
                 {1, false, 0, {255, 255, 255}},
                 {0, false, 1, {0, 0, 0}},
                 {1, true, -1, {0, 0, 0}}};
    for (const Case& c : cases) {
      s.object(0).material = c.material;
      s.object(0).rendermode = c.rendermode;
      s.object(0).strip = c.withStrip ? strip.data() : nullptr;
      s.object(0).stripcount = c.withStrip ? 4 : 0;
      drawtest::ClearTo(1, 1, 1);
      qgl::glMatrixMode(GL_PROJECTION);
      qgl::glLoadIdentity();
      qgl::gluPerspective(45, 1, 0.1, 100);
      qgl::glMatrixMode(GL_MODELVIEW);
      qgl::glLoadIdentity();
      qgl::gluLookAt(0, -5, 0, 0, 0, 0, 0, 0, 1);
      DrawObjectBlack(&s.scene, 0, 0);
      const Rgb got = drawtest::ReadPixel(32, 32);
      if (!(got == c.centre))
        std::fprintf(stderr, "mode %d strip %d material %d: %s\n", c.rendermode, c.withStrip, c.material,
                     drawtest::Text(got).c_str());
    }
    CHILD_CHECK(DrawUnit.TrianglesDrawn == 0);
    std::fflush(stderr);
    _exit(0);
  });
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.err, "");
}

// The edge draw reads only the object: with a material index outside the
// scene's materials it still gives every face its three lines.
TEST(OnDisplay, EdgesOfAnObjectWhateverItsMaterial) {
  drawtest::OnDisplay(64, 64, [] {
    drawtest::Scene s({drawtest::TriangleRow(3)});
    static int vertices = 0;
    qgl::glVertex3f = [](GLfloat, GLfloat, GLfloat) { ++vertices; };
    for (int32_t material : {0, 1, -1}) {
      s.object(0).material = material;
      vertices = 0;
      DrawObjectEdges(&s.scene, 0, 0, 0.5f);
      if (vertices != 3 * 2 * 3) std::fprintf(stderr, "material %d: %d line ends\n", material, vertices);
    }
  });
}

// The anisotropy goes to every object texture when asked for; the draw does
// not first look at what the extension probe found.
TEST(OnDisplay, AnisotropyAskedForIsSetWithoutConsultingTheProbe) {
  drawtest::OnDisplay(64, 64, [] {
    GLfloat most = 0.0f;
    qgl::glGetFloatv(GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT, &most);
    while (qgl::glGetError() != GL_NO_ERROR) {
    }
    if (!(most > 1.0f)) return;  // a driver without it: nothing to see
    drawtest::Scene s({drawtest::QuadFacingMinusY(0, 0, 0, 1)});
    GLuint texture = 0;
    qgl::glGenTextures(1, &texture);
    s.material(0).textured = 1;
    s.material(0).textureid = static_cast<int32_t>(texture);
    glExtAnisotropic = 0;
    struct Case {
      bool asked;
      GLfloat expected;
    } cases[] = {{false, 1.0f}, {true, most}};
    for (const Case& c : cases) {
      DrawUnit.AnisotropicFiltering = c.asked;
      DrawObject(&s.scene, 0, 0);
      GLfloat got = 0.0f;
      qgl::glBindTexture(GL_TEXTURE_2D, texture);
      qgl::glGetTexParameterfv(GL_TEXTURE_2D, GL_TEXTURE_MAX_ANISOTROPY_EXT, &got);
      if (got != c.expected) std::fprintf(stderr, "asked %d: anisotropy %g of %g\n", c.asked, got, most);
    }
    DrawUnit.AnisotropicFiltering = true;
  });
}

}  // namespace
