#include "engine/shadow.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/particles.h"
#include "engine/precalc.h"
#include "testsupport/engine/scene.h"
#include "testsupport/wm/wm.h"
#include "platform/window.h"
#include "testsupport/testsupport.h"
#include "units/glunit.h"
#include "units/gluunit.h"

namespace {

using namespace qgl;

struct Mesh {
  std::vector<_OVX_VECTOR> vertices;
  std::vector<_OVX_FACE> faces;
};

// A box whose faces run counter-clockwise seen from outside. Corner c sits at
// lo or hi per axis by its bits x = 1, y = 2, z = 4.
Mesh Box(_OVX_VECTOR lo, _OVX_VECTOR hi) {
  Mesh m;
  for (int c = 0; c < 8; ++c)
    m.vertices.push_back({c & 1 ? hi.x : lo.x, c & 2 ? hi.y : lo.y, c & 4 ? hi.z : lo.z});
  m.faces = {{0, 2, 3}, {0, 3, 1}, {4, 5, 7}, {4, 7, 6}, {0, 1, 5}, {0, 5, 4},
             {2, 6, 7}, {2, 7, 3}, {0, 4, 6}, {0, 6, 2}, {1, 3, 7}, {1, 7, 5}};
  return m;
}

// A square at height z, counter-clockwise seen from above.
Mesh Square(float lo, float hi, float z) {
  return {{{lo, lo, z}, {hi, lo, z}, {lo, hi, z}, {hi, hi, z}}, {{0, 1, 3}, {0, 3, 2}}};
}

// A scene of casters over the test's meshes, completed by the
// precalculation (normals, centres, neighbours, flags and volume arrays).
class CasterScene {
 public:
  explicit CasterScene(std::vector<Mesh> meshes)
      : meshes_(std::move(meshes)), owned_({}, std::vector<std::string>(meshes_.size(), "caster")) {
    for (size_t i = 0; i < meshes_.size(); ++i) {
      _OVX_OBJECT& o = owned_.object(i);
      o.vertices = meshes_[i].vertices.data();
      o.vertexcount = static_cast<int32_t>(meshes_[i].vertices.size());
      o.faces = meshes_[i].faces.data();
      o.facecount = static_cast<int32_t>(meshes_[i].faces.size());
      o.visible = o.castshadow = 1;
    }
    scenetest::LogLines quiet;  // without a GL the buffers are skipped, and said so
    PrecalculateScene(&owned_.scene);
  }
  ~CasterScene() {
    scenetest::LogLines quiet;
    ReleasePrecalculation(&owned_.scene);
    for (_OVX_OBJECT& o : owned_.objects) o.vertices = nullptr, o.faces = nullptr;
  }
  _OVX_SCENE* scene() { return &owned_.scene; }
  _OVX_OBJECT* object(size_t i) { return &owned_.object(i); }

 private:
  std::vector<Mesh> meshes_;
  scenetest::OwnedScene owned_;
};

int Count(const uint8_t* flags, int n) {
  int c = 0;
  for (int i = 0; i < n; ++i) c += flags[i] ? 1 : 0;
  return c;
}

struct SilhouetteCase {
  const char* name;
  Mesh mesh;
  _OVX_VECTOR light;
  _OVX_VECTOR offset;
  int litFaces;
  int edges;
};

TEST(Silhouette, Table) {
  const Mesh triangle{{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}}};
  // A face lying flat, and a face standing on its right edge in the plane x = 1.
  const Mesh flatAndUpright{{{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {1, 0, 1}}, {{0, 1, 2}, {2, 1, 3}}};
  const SilhouetteCase cases[] = {
      {"one triangle towards the light", triangle, {0.2f, 0.2f, 5.0f}, {0, 0, 0}, 1, 3},
      {"one triangle from behind", triangle, {0.2f, 0.2f, -5.0f}, {0, 0, 0}, 0, 0},
      {"the offset carries it above the light", triangle, {0.2f, 0.2f, 5.0f}, {0, 0, 10.0f}, 0, 0},
      {"a cube lit along an axis", Box({-1, -1, -1}, {1, 1, 1}), {0, 0, 10.0f}, {0, 0, 0}, 2, 4},
      {"an edge-on face is unlit", triangle, {5.0f, 0.5f, 0.0f}, {0, 0, 0}, 0, 0},
      // The flat face keeps its two open edges and the one it shares with the
      // upright face, which is edge-on to a light in its plane.
      {"beside an edge-on face", flatAndUpright, {1.0f, 0.5f, 5.0f}, {0, 0, 0}, 1, 3},
  };
  ShadowUnit.ShadowExtent = 1000.0f;
  for (const SilhouetteCase& c : cases) {
    SCOPED_TRACE(c.name);
    CasterScene s({c.mesh});
    _OVX_OBJECT* o = s.object(0);
    ComputeLitFaces(o, c.light, c.offset);
    FindSilhouetteEdges(o);
    EXPECT_EQ(Count(o->lightvisible, o->facecount), c.litFaces);
    EXPECT_EQ(Count(o->contour, 3 * o->facecount), c.edges);
    s.scene()->shadowquadcount = 0;
    BuildShadowVolume(s.scene(), o, c.light, c.offset);
    EXPECT_EQ(s.scene()->shadowquadcount, c.edges);
  }
}

TEST(Silhouette, QuadsRunFromTheEdgeAwayFromTheLight) {
  CasterScene s({Mesh{{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}}}});
  const _OVX_VECTOR light{0.0f, 0.0f, 4.0f}, offset{1.0f, 0.0f, 0.0f};
  ShadowUnit.ShadowExtent = 2.0f;
  ComputeLitFaces(s.object(0), light, offset);
  FindSilhouetteEdges(s.object(0));
  s.scene()->shadowquadcount = 0;
  BuildShadowVolume(s.scene(), s.object(0), light, offset);
  ASSERT_EQ(s.scene()->shadowquadcount, 3);
  // Edge 0 from corner 0 (1, 0, 0) to corner 1 (2, 0, 0), each pushed to
  // P + (P - L) x 2.
  const _OVX_VECTOR* q = s.scene()->volumevertices;
  const float expected[4][3] = {{1, 0, 0}, {3, 0, -8}, {6, 0, -8}, {2, 0, 0}};
  for (int v = 0; v < 4; ++v) {
    EXPECT_EQ(q[v].x, expected[v][0]) << v;
    EXPECT_EQ(q[v].y, expected[v][1]) << v;
    EXPECT_EQ(q[v].z, expected[v][2]) << v;
  }
}

TEST(Silhouette, EdgeAccessors) {
  Mesh m = Square(0, 1, 0);
  CasterScene s({m});
  _OVX_OBJECT* o = s.object(0);
  // Without basefaces there is no base corner to read (faces are not
  // read in their place); k counts modulo 3.
  EXPECT_EQ(BaseFaceVertex(o, 1, 1), -1);
  EXPECT_EQ(FaceVertex(o, 1, 4), 3);
  EXPECT_EQ(FaceVertex(o, 1, -1), 2);
  _OVX_FACE base[2] = {{7, 8, 9}, {10, 11, 12}};
  o->basefaces = base;
  EXPECT_EQ(BaseFaceVertex(o, 0, 2), 9);
  EXPECT_EQ(FaceVertex(o, 0, 2), 3);
  o->basefaces = nullptr;
  // Face 0 (0, 1, 3) meets face 1 (0, 3, 2) across its edge 2, from 3 to 0.
  EXPECT_EQ(NeighbourFace(o, 0, 2), 1);
  EXPECT_EQ(NeighbourFace(o, 0, 0), -1);
  SetNeighbourFace(o, 0, 3, 1);
  EXPECT_EQ(NeighbourFace(o, 0, 0), 1);
  for (int32_t face : {-1, 2}) {
    EXPECT_EQ(FaceVertex(o, face, 0), -1);
    EXPECT_EQ(NeighbourFace(o, face, 0), -1);
    SetNeighbourFace(o, face, 0, 1);
  }
}

// ---- Indices past the object's faces and vertices ----------------------------

// A neighbour index past the faces counts as no neighbour, whatever the
// flag slack behind the last face holds, so the edge is on the contour.
TEST(Silhouette, ANeighbourPastTheFacesIsOpen) {
  CasterScene s({Square(0, 1, 0)});
  _OVX_OBJECT* o = s.object(0);
  ComputeLitFaces(o, {0.5f, 0.5f, 5.0f}, {0, 0, 0});
  ASSERT_EQ(Count(o->lightvisible, 2), 2);
  SetNeighbourFace(o, 0, 2, 5);
  o->lightvisible[5] = 1;  // slack the precalculation leaves behind the flags
  FindSilhouetteEdges(o);
  EXPECT_EQ(o->contour[2], 1);
}

// An edge with a corner at the vertex count is left out of the volume, even
// when the array behind the object happens to hold that vertex.
TEST(Silhouette, ACornerAtTheVertexCountMakesNoQuad) {
  CasterScene s({Mesh{{{0, 0, 0}, {1, 0, 0}, {5, 5, 5}, {0, 1, 0}}, {{0, 1, 3}}}});
  _OVX_OBJECT* o = s.object(0);
  o->vertexcount = 3;
  const _OVX_VECTOR light{0.2f, 0.2f, 5.0f};
  ShadowUnit.ShadowExtent = 1000.0f;
  ComputeLitFaces(o, light, {0, 0, 0});
  FindSilhouetteEdges(o);
  ASSERT_EQ(Count(o->contour, 3), 3);
  s.scene()->shadowquadcount = 0;
  BuildShadowVolume(s.scene(), o, light, {0, 0, 0});
  EXPECT_EQ(s.scene()->shadowquadcount, 1);  // only the edge from 0 to 1
}

// ---- Under a display: what the stencil buffer holds ----

// Light and view of the stencil checks: the light stands to the left
// (-x) above, so the shadow of an occluder over the origin falls to the
// right of it, around x = 4.5, while the view looks straight down.
constexpr _OVX_VECTOR kSideLight{-4.0f, 0.0f, 8.0f};
constexpr int kStencilWindow = 64;
constexpr float kHalfView = 6.0f;

int WindowCoordinate(float world) {
  return static_cast<int>((world + kHalfView) / (2 * kHalfView) * kStencilWindow);
}

void TopView() {
  glViewport(0, 0, kStencilWindow, kStencilWindow);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(-kHalfView, kHalfView, -kHalfView, kHalfView, -20.0, 20.0);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
}

void DrawMesh(const _OVX_OBJECT& o) {
  glBegin(GL_TRIANGLES);
  for (int32_t f = 0; f < o.facecount; ++f)
    for (int32_t v : {o.faces[f].a, o.faces[f].b, o.faces[f].c})
      glVertex3f(o.vertices[v].x, o.vertices[v].y, o.vertices[v].z);
  glEnd();
}

void DrawGround(float half) {
  glNormal3f(0.0f, 0.0f, 1.0f);
  glBegin(GL_QUADS);
  glVertex3f(-half, -half, 0.0f);
  glVertex3f(half, -half, 0.0f);
  glVertex3f(half, half, 0.0f);
  glVertex3f(-half, half, 0.0f);
  glEnd();
}

int StencilAt(float x, float y) {
  GLubyte value = 0;
  glReadPixels(WindowCoordinate(x), WindowCoordinate(y), 1, 1, GL_STENCIL_INDEX, GL_UNSIGNED_BYTE, &value);
  return value;
}

struct StencilCase {
  const char* name;
  Mesh occluder;
  bool visible;
  bool buffers;  // the scene's GL buffers, or its arrays
};

TEST(ShadowOnDisplay, StencilIsSetInTheShadowOnly) {
  if (!plat::DisplayAvailable()) GTEST_SKIP() << "no X display";
  auto r = qt::RunInChild([] {
    wmtest::ShowGLWindowOrExit(kStencilWindow, kStencilWindow);
    GLInit();
    glInitExt();
    GLint bits = 0;
    glGetIntegerv(GL_STENCIL_BITS, &bits);
    std::printf("stencil bits %d|", bits);
    const StencilCase cases[] = {
        {"square", Square(-0.5f, 0.5f, 4.0f), true, true},
        {"cube", Box({-0.5f, -0.5f, 3.5f}, {0.5f, 0.5f, 4.5f}), true, true},
        {"cube from arrays", Box({-0.5f, -0.5f, 3.5f}, {0.5f, 0.5f, 4.5f}), true, false},
        {"hidden cube", Box({-0.5f, -0.5f, 3.5f}, {0.5f, 0.5f, 4.5f}), false, true},
    };
    auto generate = glGenBuffersARB;
    for (const StencilCase& c : cases) {
      // Without the entry point the scene gets no buffer names.
      glGenBuffersARB = c.buffers ? generate : nullptr;
      CasterScene s({c.occluder});
      glGenBuffersARB = generate;
      s.object(0)->visible = c.visible;
      TopView();
      glClearStencil(0);
      glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
      glEnable(GL_DEPTH_TEST);
      glDisable(GL_CULL_FACE);
      DrawGround(kHalfView);
      DrawMesh(*s.object(0));
      DrawShadowVolume(s.scene(), kSideLight, 0.0f);
      std::printf("%s: shadow %d, occluder %d, left %d, aside %d|", c.name, StencilAt(4.5f, 0.0f),
                  StencilAt(0.0f, 0.0f), StencilAt(-3.0f, 0.0f), StencilAt(4.5f, 3.0f));
    }
    std::printf("error %u", glGetError());
    std::fflush(stdout);
    _exit(0);
  });
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out,
            "stencil bits 8|square: shadow 1, occluder 0, left 0, aside 0|cube: shadow 1, occluder 0, left 0, aside 0|"
            "cube from arrays: shadow 1, occluder 0, left 0, aside 0|"
            "hidden cube: shadow 0, occluder 0, left 0, aside 0|error 0");
}

// ---- A small scene: a lit cube, its shadow and a particle emitter ----

constexpr int kShotWidth = 320, kShotHeight = 240;
constexpr _OVX_VECTOR kShotEye{7.0f, -9.0f, 7.0f}, kShotTarget{0.0f, 0.0f, 1.0f};
constexpr _OVX_VECTOR kShotLight{-4.0f, 4.0f, 9.0f};

struct Pixel {
  int r, g, b;
  int Sum() const { return r + g + b; }
};

struct WindowPoint {
  int x, y;
  bool inside;
};

WindowPoint Project(const _OVX_VECTOR& p) {
  GLdouble model[16], projection[16], x = 0, y = 0, z = 0;
  GLint view[4];
  glGetDoublev(GL_MODELVIEW_MATRIX, model);
  glGetDoublev(GL_PROJECTION_MATRIX, projection);
  glGetIntegerv(GL_VIEWPORT, view);
  gluProject(p.x, p.y, p.z, model, projection, view, &x, &y, &z);
  WindowPoint w{static_cast<int>(x), static_cast<int>(y), false};
  w.inside = w.x >= 0 && w.x < kShotWidth && w.y >= 0 && w.y < kShotHeight;
  return w;
}

Pixel PixelAt(const WindowPoint& w) {
  GLubyte rgb[3] = {};
  glReadPixels(w.x, w.y, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, rgb);
  return {rgb[0], rgb[1], rgb[2]};
}

int StencilAt(const WindowPoint& w) {
  GLubyte value = 0;
  glReadPixels(w.x, w.y, 1, 1, GL_STENCIL_INDEX, GL_UNSIGNED_BYTE, &value);
  return value;
}

// The frame as a binary PPM, top row first.
void WritePpm(const std::string& path) {
  std::vector<GLubyte> rgb(size_t{kShotWidth} * kShotHeight * 3);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, kShotWidth, kShotHeight, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return;
  std::fprintf(f, "P6\n%d %d\n255\n", kShotWidth, kShotHeight);
  for (int row = kShotHeight - 1; row >= 0; --row) std::fwrite(&rgb[size_t{3} * kShotWidth * row], 1, 3 * kShotWidth, f);
  std::fclose(f);
}

// A soft round spot for the particle sprites.
GLuint SpotTexture() {
  constexpr int kEdge = 16;
  std::vector<GLubyte> pixels(kEdge * kEdge * 3);
  for (int y = 0; y < kEdge; ++y)
    for (int x = 0; x < kEdge; ++x) {
      float dx = (x + 0.5f) / kEdge - 0.5f, dy = (y + 0.5f) / kEdge - 0.5f;
      float v = std::max(0.0f, 1.0f - 2.0f * std::sqrt(dx * dx + dy * dy));
      for (int c = 0; c < 3; ++c) pixels[3 * (y * kEdge + x) + c] = static_cast<GLubyte>(255 * v);
    }
  GLuint name = 0;
  glGenTextures(1, &name);
  glBindTexture(GL_TEXTURE_2D, name);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, kEdge, kEdge, 0, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
  return name;
}

void DrawLitMesh(const _OVX_OBJECT& o) {
  glBegin(GL_TRIANGLES);
  for (int32_t f = 0; f < o.facecount; ++f) {
    // The precalculation's normal points inwards for these faces.
    const _OVX_VECTOR& n = o.facenormals[f];
    glNormal3f(-n.x, -n.y, -n.z);
    for (int32_t v : {o.faces[f].a, o.faces[f].b, o.faces[f].c})
      glVertex3f(o.vertices[v].x, o.vertices[v].y, o.vertices[v].z);
  }
  glEnd();
}

// Ground and cube, with only the ambient light or with the lamp as well.
void DrawWorld(const _OVX_OBJECT& cube, bool lamp) {
  const GLfloat ambient[] = {0.2f, 0.2f, 0.2f, 1.0f};
  const GLfloat position[] = {kShotLight.x, kShotLight.y, kShotLight.z, 1.0f};
  const GLfloat white[] = {1.0f, 1.0f, 1.0f, 1.0f};
  glEnable(GL_LIGHTING);
  glLightModelfv(GL_LIGHT_MODEL_AMBIENT, ambient);
  glLightfv(GL_LIGHT0, GL_POSITION, position);
  glLightfv(GL_LIGHT0, GL_DIFFUSE, white);
  if (lamp)
    glEnable(GL_LIGHT0);
  else
    glDisable(GL_LIGHT0);
  glEnable(GL_COLOR_MATERIAL);
  glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
  glDisable(GL_TEXTURE_2D);
  glDisable(GL_BLEND);
  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_LEQUAL);
  glColor3f(0.8f, 0.8f, 0.8f);
  DrawGround(8.0f);
  glColor3f(0.3f, 0.5f, 0.9f);
  DrawLitMesh(cube);
  glDisable(GL_LIGHTING);
}

TEST(ShadowOnDisplay, LitSceneWithShadowAndParticles) {
  if (!plat::DisplayAvailable()) GTEST_SKIP() << "no X display";
  const std::string shot = (std::filesystem::read_symlink("/proc/self/exe").parent_path() / "shadow_scene.ppm").string();
  auto r = qt::RunInChild([&shot] {
    wmtest::ShowGLWindowOrExit(kShotWidth, kShotHeight);
    GLInit();
    GLUInit();
    glInitExt();
    CasterScene s({Box({-1.0f, -1.0f, 1.0f}, {1.0f, 1.0f, 3.0f})});
    _OVX_OBJECT& cube = *s.object(0);
    _OVX_PARTICLEDATA& e = cube.particledata;
    e.particleenabled = 1;
    e.newparticle = 4;
    e.power = 1.0f;
    e.deltapower = 0.04f;
    e.deltavector = {0.0f, 0.0f, 0.08f};
    e.deltavectorspread = {0.1f, 0.1f, 0.02f};
    e.color = {1.0f, 0.6f, 0.2f};
    e.colorattrib = kParticleFadeOut;
    e.size = 0.25f;
    cube.pivot = {0.0f, 0.0f, 3.0f};
    AllocParticles(s.scene(), 200);

    glViewport(0, 0, kShotWidth, kShotHeight);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, 4.0 / 3.0, 0.5, 100.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(kShotEye.x, kShotEye.y, kShotEye.z, kShotTarget.x, kShotTarget.y, kShotTarget.z, 0, 0, 1);
    DrawUnit.CameraEye = kShotEye;
    RenderUnit.CameraTarget = kShotTarget;
    e.textureid = static_cast<int32_t>(SpotTexture());

    const WindowPoint shaded = Project({2.0f, -2.0f, 0.0f}), lit = Project({-3.0f, -3.0f, 0.0f}),
                      plume = Project({0.0f, 0.0f, 4.0f});
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClearStencil(0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    DrawWorld(cube, false);
    DrawShadowVolume(s.scene(), kShotLight, 0.0f);
    const int stencilShaded = StencilAt(shaded), stencilLit = StencilAt(lit);
    glClear(GL_DEPTH_BUFFER_BIT);
    glStencilFunc(GL_EQUAL, 0, ~0u);
    DrawWorld(cube, true);
    glDisable(GL_STENCIL_TEST);
    for (int step = 0; step < 30; ++step)
      ParticleStep(s.scene(), 0.0f, DrawUnit.CameraEye, RenderUnit.CameraTarget, [](const ParticleSprite&) {});
    const Pixel beforeParticles = PixelAt(plume);
    ParticlesUnit.ParticlesDrawn = 0;
    DrawParticles(s.scene(), 0.0f);
    const Pixel shadedPixel = PixelAt(shaded), litPixel = PixelAt(lit), plumePixel = PixelAt(plume);
    WritePpm(shot);

    std::printf("inside %d %d %d|stencil %d %d|", shaded.inside, lit.inside, plume.inside, stencilShaded, stencilLit);
    std::printf("shadow darker %d|", 2 * shadedPixel.Sum() < litPixel.Sum());
    std::printf("particles brighten %d, drawn %d|", plumePixel.r > beforeParticles.r + 40,
                ParticlesUnit.ParticlesDrawn > 50);
    std::printf("error %u", glGetError());
    std::fflush(stdout);
    FreeParticles(s.scene());
    _exit(0);
  });
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "inside 1 1 1|stencil 1 0|shadow darker 1|particles brighten 1, drawn 1|error 0");
  RecordProperty("screenshot", shot);
}

}  // namespace
