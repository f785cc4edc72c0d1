// Test helpers of the object and scene draws: meshes the tests build, a
// scene over arrays the test owns, and a GL window of a given size in a
// child process (Mesa under Xvfb) with pixel readback.
#pragma once
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "engine/ovx.h"
#include "engine/precalc.h"
#include "framework/base/main.h"
#include "framework/wm/glconst.h"
#include "framework/wm/wm.h"
#include "platform/window.h"
#include "testsupport/testsupport.h"
#include "units/glunit.h"
#include "units/gluunit.h"

namespace drawtest {

struct Mesh {
  std::vector<_OVX_VECTOR> vertices;
  std::vector<_OVX_FACE> faces;
  std::vector<_OVX_VECTOR> normals;  // empty: the object has none
};

// A square of edge 2 x half in the plane y = y0, centred on (x, z), facing
// -y (counter-clockwise seen from there).
inline Mesh QuadFacingMinusY(float x, float y0, float z, float half) {
  return {{{x - half, y0, z - half}, {x + half, y0, z - half}, {x + half, y0, z + half}, {x - half, y0, z + half}},
          {{0, 1, 2}, {2, 3, 0}},
          {{0, -1, 0}, {0, -1, 0}, {0, -1, 0}, {0, -1, 0}}};
}

// A square of edge 2 x half in the plane z = z0 centred on the origin,
// facing +z.
inline Mesh FloorQuad(float z0, float half) {
  return {{{-half, -half, z0}, {half, -half, z0}, {half, half, z0}, {-half, half, z0}},
          {{0, 1, 2}, {2, 3, 0}},
          {{0, 0, 1}, {0, 0, 1}, {0, 0, 1}, {0, 0, 1}}};
}

// count triangles side by side along x, each of them [i, i + 1] x [0, 1]
// in the plane y = 0.
inline Mesh TriangleRow(int count) {
  Mesh m;
  for (int i = 0; i < count; ++i) {
    const int32_t base = static_cast<int32_t>(m.vertices.size());
    m.vertices.push_back({float(i), 0, 0});
    m.vertices.push_back({float(i + 1), 0, 0});
    m.vertices.push_back({float(i), 0, 1});
    m.faces.push_back({base, base + 1, base + 2});
  }
  return m;
}

// A UV sphere of radius r around c with its normals, faces wound
// counter-clockwise seen from outside.
inline Mesh Sphere(_OVX_VECTOR c, float r, int rings, int segments) {
  Mesh m;
  for (int i = 0; i <= rings; ++i) {
    const double theta = M_PI * i / rings;
    for (int j = 0; j <= segments; ++j) {
      const double phi = 2 * M_PI * j / segments;
      const _OVX_VECTOR n = {float(std::sin(theta) * std::cos(phi)), float(std::sin(theta) * std::sin(phi)),
                             float(std::cos(theta))};
      m.normals.push_back(n);
      m.vertices.push_back({c.x + r * n.x, c.y + r * n.y, c.z + r * n.z});
    }
  }
  for (int i = 0; i < rings; ++i)
    for (int j = 0; j < segments; ++j) {
      const int32_t a = i * (segments + 1) + j, b = a + segments + 1;
      m.faces.push_back({a, b, a + 1});
      m.faces.push_back({a + 1, b, b + 1});
    }
  return m;
}

// A scene over arrays the test owns: one material per object (object i
// uses material i), every object visible in pass 0, a camera of one key
// per track (none when the eye equals the target given), near 0.1, far
// 100, a field of view of 0.8 radians.
class Scene {
 public:
  explicit Scene(std::vector<Mesh> meshes) : meshes_(std::move(meshes)) {
    materials_.resize(meshes_.size());
    objects_.resize(meshes_.size());
    for (size_t i = 0; i < meshes_.size(); ++i) {
      Mesh& m = meshes_[i];
      _OVX_OBJECT& o = objects_[i];
      o.name.assign("object" + std::to_string(i));
      o.material = static_cast<int32_t>(i);
      o.visible = 1;
      o.vertexcount = static_cast<int32_t>(m.vertices.size());
      o.facecount = static_cast<int32_t>(m.faces.size());
      o.vertices = m.vertices.empty() ? nullptr : m.vertices.data();
      o.faces = m.faces.empty() ? nullptr : m.faces.data();
      o.hasnormals = !m.normals.empty();
      o.normals = o.hasnormals ? m.normals.data() : nullptr;
      _OVX_MATERIAL& mat = materials_[i];
      mat.utile = mat.vtile = 1.0f;
      mat.constantalpha = 1.0f;
    }
    scene.materials = materials_.empty() ? nullptr : materials_.data();
    scene.materialcount = static_cast<int32_t>(materials_.size());
    scene.objects = objects_.empty() ? nullptr : objects_.data();
    scene.objectcount = static_cast<int32_t>(objects_.size());
    scene.camerafov = 0.8f;
    scene.cameranear = 0.1f;
    scene.camerafar = 100.0f;
    scene.distancelimit = 1000.0f;
    scene.colorscale = 1.0f;
  }
  Scene(const Scene&) = delete;
  Scene& operator=(const Scene&) = delete;

  void SetCamera(_OVX_VECTOR eye, _OVX_VECTOR target) {
    eye_ = {0, eye.x, eye.y, eye.z};
    target_ = {0, target.x, target.y, target.z};
    scene.camerakeys = &eye_;
    scene.targetkeys = &target_;
    scene.camerakeycount = scene.targetkeycount = 1;
  }
  _OVX_OBJECT& object(size_t i) { return objects_[i]; }
  _OVX_MATERIAL& material(size_t i) { return materials_[i]; }

  _OVX_SCENE scene{};

 private:
  std::vector<Mesh> meshes_;
  std::vector<_OVX_MATERIAL> materials_;
  std::vector<_OVX_OBJECT> objects_;
  _OVX_KEYVECTOR eye_{}, target_{};
};

// In a child process: the base library, a shown window of w x h whose GL
// context is current, the GL and GLU units loaded and the viewport set to
// the window. Ends the child with 10 or 11 when there is no window.
inline wm_window_t* ShowWindowOrExit(int32_t w, int32_t h) {
  static qt::Args args{"\\bin\\prog"};
  SYS_BaseInit(nullptr, args.argc(), args.argv(), nullptr);
  if (wmInit() != 0) _exit(10);
  wm_window_t* window = wmNewWindow(0, 0, w, h);
  if (wmShowWindow(window) != 0) _exit(11);
  GLInit();
  GLUInit();
  glInitExt();
  qgl::glViewport(0, 0, w, h);
  return window;
}

// Runs body in a child with a w x h window (skipped without a display);
// what it writes to stderr fails the test.
inline void OnDisplay(int w, int h, const std::function<void()>& body) {
  if (!plat::DisplayAvailable()) GTEST_SKIP() << "no X display";
  auto r = qt::RunInChild([&] {
    ShowWindowOrExit(w, h);
    body();
    std::fflush(stdout);
    std::fflush(stderr);
    _exit(0);
  });
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.err, "");
}

struct Rgb {
  int r, g, b;
  bool operator==(const Rgb&) const = default;
};

inline Rgb ReadPixel(int x, int y) {
  unsigned char p[4] = {0, 0, 0, 0};
  qgl::glPixelStorei(GL_PACK_ALIGNMENT, 1);
  qgl::glReadPixels(x, y, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, p);
  return {p[0], p[1], p[2]};
}

inline bool Near(Rgb a, Rgb b, int tolerance = 3) {
  return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance && std::abs(a.b - b.b) <= tolerance;
}

inline std::string Text(Rgb c) {
  return std::to_string(c.r) + "," + std::to_string(c.g) + "," + std::to_string(c.b);
}

inline void ClearTo(float r, float g, float b) {
  qgl::glClearColor(r, g, b, 1.0f);
  qgl::glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
}

// The w x h frame buffer as a binary PPM, top row first.
inline bool WritePpm(const std::string& path, int w, int h) {
  std::vector<unsigned char> pixels(size_t(w) * h * 3);
  qgl::glPixelStorei(GL_PACK_ALIGNMENT, 1);
  qgl::glReadPixels(0, 0, w, h, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  std::fprintf(f, "P6\n%d %d\n255\n", w, h);
  for (int y = h - 1; y >= 0; --y) std::fwrite(&pixels[size_t(y) * w * 3], 1, size_t(w) * 3, f);
  return std::fclose(f) == 0;
}

}  // namespace drawtest
