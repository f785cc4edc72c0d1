#include "engine/render.h"

#include <array>
#include <cmath>
#include <iterator>
#include <numbers>

#include "engine/camera.h"
#include "engine/vector.h"
#include "units/glunit.h"
#include "units/gluunit.h"

using namespace qgl;

RenderUnitState RenderUnit;

namespace {

constexpr double kAspect = 4.0 / 3.0;
constexpr double kCameraUp[3] = {0.0, 0.0, 1.0};
constexpr float kSetupCameraScale = 0.00001f;
constexpr int32_t kSelectionEntries = 512;
constexpr int32_t kPickTopRow = 479;
constexpr double kPickSize = 1.0;
constexpr GLfloat kNoSpotCutoff = 180.0f;
constexpr int kFlareBlock = 3;
constexpr _OVX_VECTOR kDefaultViewDirection = {0.0f, 1.0f, 0.0f};

constexpr char kPassNoCamera[] = "ORVEX: Scene not renderable without camera animation target and position track";
constexpr char kSetupNoCamera[] = "Orvex: Scene not renderable without camera animation target and position track";

bool HasEyeTrack(const _OVX_SCENE* scene) { return scene->camerakeycount > 0 && scene->camerakeys; }
bool HasTargetTrack(const _OVX_SCENE* scene) { return scene->targetkeycount > 0 && scene->targetkeys; }

void CameraCheck(const _OVX_SCENE* scene, const char* line) {
  if (!HasEyeTrack(scene) || !HasTargetTrack(scene)) EngineLog(line);
}

// The material of object i when its index lies inside the materials.
const _OVX_MATERIAL* MaterialOf(const _OVX_SCENE* scene, int32_t i) {
  const int32_t m = scene->objects[i].material;
  if (!scene->materials || m < 0 || m >= scene->materialcount) return nullptr;
  return &scene->materials[m];
}

int32_t ObjectCount(const _OVX_SCENE* scene) { return scene->objects ? scene->objectcount : 0; }

bool IsFlareSource(const _OVX_SCENE* scene, int32_t i) {
  const _OVX_MATERIAL* m = MaterialOf(scene, i);
  return m && m->flaresize > 0.0f;
}

// Texture matrix and projection back to identity, the projection current.
void ResetTextureAndProjection() {
  glMatrixMode(GL_TEXTURE);
  glLoadIdentity();
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
}

void Perspective(const _OVX_SCENE* scene) {
  const double degrees = static_cast<double>(scene->camerafov) * 180.0 / std::numbers::pi;
  gluPerspective(degrees, kAspect, scene->cameranear, scene->camerafar);
}

void ScaleCurrent(float s) { glScalef(s, s, s); }

void LookAt(const _OVX_VECTOR& eye, const _OVX_VECTOR& target) {
  gluLookAt(eye.x, eye.y, eye.z, target.x, target.y, target.z, kCameraUp[0], kCameraUp[1], kCameraUp[2]);
}

// The pass camera into CameraEye and CameraTarget, applied to a fresh
// model-view matrix.
void PlaceCamera(const _OVX_SCENE* scene, float time) {
  SceneCamera(DrawUnit.CameraEye, RenderUnit.CameraTarget, scene, time);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  LookAt(DrawUnit.CameraEye, RenderUnit.CameraTarget);
}

void LightColour(GLenum light, GLenum which, const _OVX_RGB& c) {
  const GLfloat v[4] = {c.r, c.g, c.b, 1.0f};
  glLightfv(light, which, v);
}

void SetLights(const _OVX_SCENE* scene, float time) {
  for (int l = 0; l < kOvxLightCount; ++l) {
    const _OVX_LIGHT& light = scene->lights[l];
    const GLenum id = GL_LIGHT0 + l;
    if (!light.enabled) {
      glDisable(id);
      continue;
    }
    glEnable(id);
    LightColour(id, GL_AMBIENT, light.ambient);
    LightColour(id, GL_DIFFUSE, light.diffuse);
    LightColour(id, GL_SPECULAR, light.specular);
    glLightf(id, GL_SPOT_CUTOFF, kNoSpotCutoff);
    _OVX_VECTOR p = light.pos;
    if (light.keycount > 0) LightPositionAtTime(p, scene, l, time);
    const GLfloat position[4] = {p.x, p.y, p.z, 1.0f};
    glLightfv(id, GL_POSITION, position);
  }
}

void LightsOff() {
  for (int l = 0; l < kOvxLightCount; ++l) glDisable(GL_LIGHT0 + l);
}

void SetAlphaTest(float alphatest) {
  if (alphatest != 0.0f) {
    glEnable(GL_ALPHA_TEST);
    glAlphaFunc(GL_GREATER, alphatest);
  } else {
    glDisable(GL_ALPHA_TEST);
  }
}

void SetBlend(uint8_t blend) {
  struct Factors {
    GLenum source, destination;
  };
  static constexpr Factors kBlends[] = {{GL_ONE, GL_ONE},
                                        {GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA},
                                        {GL_ONE_MINUS_SRC_ALPHA, GL_SRC_ALPHA},
                                        {GL_SRC_COLOR, GL_ONE_MINUS_SRC_COLOR}};
  if (blend == 0) {
    glDisable(GL_BLEND);
  } else if (blend <= std::size(kBlends)) {
    glEnable(GL_BLEND);
    glBlendFunc(kBlends[blend - 1].source, kBlends[blend - 1].destination);
  }
}

void SetDepthMode(uint8_t depthtest) {
  struct Mode {
    bool write, test;
  };
  static constexpr Mode kModes[] = {{true, true}, {false, true}, {true, false}, {false, false}};
  if (depthtest >= std::size(kModes)) return;
  glDepthMask(kModes[depthtest].write ? GL_TRUE : GL_FALSE);
  if (kModes[depthtest].test)
    glEnable(GL_DEPTH_TEST);
  else
    glDisable(GL_DEPTH_TEST);
}

GLenum DepthFunction(uint8_t depthfunc) {
  static constexpr GLenum kFunctions[] = {GL_LESS, GL_LEQUAL, GL_EQUAL, GL_GREATER, GL_GEQUAL};
  return depthfunc < std::size(kFunctions) ? kFunctions[depthfunc] : GL_LESS;
}

enum class Variant { Plain, Scaled, Simple, Colored };

// The highest pass any object asks for, at most passcount: the passes above
// it draw nothing, and a huge passcount then costs nothing.
int64_t LastPass(const _OVX_SCENE* scene) {
  int64_t last = -1;
  for (int32_t i = 0; i < ObjectCount(scene); ++i)
    if (scene->objects[i].passno > last) last = scene->objects[i].passno;
  return last < scene->passcount ? last : scene->passcount;
}

// Calls draw(i, material) for each visible object of a valid material,
// pass by pass from 0 to passcount, in index order within a pass.
template <class Draw>
void ForEachInPasses(const _OVX_SCENE* scene, Draw draw) {
  const int64_t last = LastPass(scene);
  for (int64_t p = 0; p <= last; ++p)
    for (int32_t i = 0; i < ObjectCount(scene); ++i) {
      const _OVX_OBJECT& o = scene->objects[i];
      if (!o.visible || o.passno != p) continue;
      if (const _OVX_MATERIAL* m = MaterialOf(scene, i)) draw(i, *m);
    }
}

void RenderPasses(_OVX_SCENE* scene, float time, Variant variant) {
  if (!scene) return;
  CameraCheck(scene, kPassNoCamera);
  const bool uniform = variant == Variant::Simple || variant == Variant::Colored;
  const bool clipped = variant == Variant::Plain || variant == Variant::Scaled;
  glEnable(GL_DEPTH_TEST);
  ResetTextureAndProjection();
  Perspective(scene);
  if (uniform) ScaleCurrent(RenderUnit.UniformScale);
  if (variant == Variant::Colored) {
    SceneCamera(DrawUnit.CameraEye, RenderUnit.CameraTarget, scene, time);
    SetLights(scene, time);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    LookAt(DrawUnit.CameraEye, RenderUnit.CameraTarget);
  } else {
    PlaceCamera(scene, time);
  }
  if (clipped && RenderUnit.ClipPlaneEnabled) {
    glClipPlane(GL_CLIP_PLANE0, RenderUnit.ClipPlane);
    glEnable(GL_CLIP_PLANE0);
  }
  if (variant == Variant::Scaled) glScalef(DrawUnit.RenderScale.x, DrawUnit.RenderScale.y, DrawUnit.RenderScale.z);
  if (variant != Variant::Colored) SetLights(scene, time);
  glDisable(GL_BLEND);
  glDepthMask(GL_TRUE);
  glDisable(GL_LIGHTING);
  glColor3f(1.0f, 1.0f, 1.0f);
  ForEachInPasses(scene, [&](int32_t i, const _OVX_MATERIAL& m) {
    SetAlphaTest(m.alphatest);
    SetBlend(m.blend);
    SetDepthMode(m.depthtest);
    if (variant != Variant::Simple) glDepthFunc(DepthFunction(m.depthfunc));
    if (variant == Variant::Colored)
      DrawObjectColored(scene, i, time);
    else
      DrawObject(scene, i, time);
  });
  glDisable(GL_ALPHA_TEST);
  glDepthMask(GL_TRUE);
  if (clipped) glDisable(GL_CLIP_PLANE0);
}

// The projection and look-at of the camera set-ups.
void SetupProjectionCamera(const _OVX_SCENE* scene, const _OVX_VECTOR& eye, const _OVX_VECTOR& target) {
  glEnable(GL_DEPTH_TEST);
  glMatrixMode(GL_TEXTURE);
  glLoadIdentity();
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  Perspective(scene);
  ScaleCurrent(kSetupCameraScale);
  LookAt(eye, target);
}

_OVX_VECTOR FlarePosition(const _OVX_SCENE* scene, int32_t i, float time) {
  _OVX_VECTOR p;
  ObjectPositionAtTime(p, scene, i, time);
  return VecAdd(p, scene->objects[i].pivot);
}

// The brightest of the 3 x 3 pixels around the window position of p;
// black when p does not project into the view.
_OVX_RGB MeasureFlare(const _OVX_VECTOR& p) {
  glRasterPos3f(p.x, p.y, p.z);
  GLint valid = GL_FALSE;
  glGetIntegerv(GL_CURRENT_RASTER_POSITION_VALID, &valid);
  _OVX_RGB brightest = {0.0f, 0.0f, 0.0f};
  if (!valid) return brightest;
  GLfloat window[4] = {0.0f, 0.0f, 0.0f, 0.0f};
  glGetFloatv(GL_CURRENT_RASTER_POSITION, window);
  // Pixels outside the window are not written by the read: they stay black.
  std::array<GLfloat, kFlareBlock * kFlareBlock * 3> pixels{};
  glReadPixels(static_cast<GLint>(std::trunc(window[0])) - 1, static_cast<GLint>(std::trunc(window[1])) - 1,
               kFlareBlock, kFlareBlock, GL_RGB, GL_FLOAT, pixels.data());
  for (size_t k = 0; k < pixels.size(); k += 3) {
    brightest.r = std::fmax(brightest.r, pixels[k]);
    brightest.g = std::fmax(brightest.g, pixels[k + 1]);
    brightest.b = std::fmax(brightest.b, pixels[k + 2]);
  }
  return brightest;
}

void FlareVertex(float s, float t, const _OVX_VECTOR& v) {
  glTexCoord2f(s, t);
  glVertex3f(v.x, v.y, v.z);
}

void ObjectsExcept(const _OVX_SCENE* scene, int32_t skipped, float time) {
  for (int32_t i = 0; i < ObjectCount(scene); ++i)
    if (i != skipped) DrawObject(scene, i, time);
}

void SetVisible(_OVX_SCENE* scene, std::string_view name, uint8_t visible) {
  if (!scene) return;
  for (int32_t i = 0; i < ObjectCount(scene); ++i)
    if (scene->objects[i].name.view() == name) scene->objects[i].visible = visible;
}

}  // namespace

void SceneCamera(_OVX_VECTOR& eye, _OVX_VECTOR& target, const _OVX_SCENE* scene, float time) {
  CameraAtTime(eye, target, scene, time);
  if (!scene) return;
  const bool eyeTrack = HasEyeTrack(scene);
  const bool sameSpot = eye.x == target.x && eye.y == target.y && eye.z == target.z;
  if (!HasTargetTrack(scene) || (!eyeTrack && sameSpot)) target = VecAdd(eye, kDefaultViewDirection);
}

bool FlareAxes(const _OVX_VECTOR& view, _OVX_VECTOR& right, _OVX_VECTOR& up) {
  const float across = view.x * view.x + view.z * view.z;
  const float length = std::sqrt(across);
  if (!(length > 0.0f) || !std::isfinite(length)) return false;
  const _OVX_VECTOR u = {-view.x * view.y, across, -view.z * view.y};
  const float upLength = VecLength(u);
  if (!(upLength > 0.0f) || !std::isfinite(upLength)) return false;
  right = {-view.z / length, 0.0f, view.x / length};
  up = VecScale(u, 1.0f / upLength);
  return true;
}

int32_t NearestHit(const uint32_t* buffer, int32_t capacity, int32_t hits) {
  constexpr int32_t kHeader = 3;  // name count, minimum depth, maximum depth
  int32_t name = 0;
  bool found = false;
  uint32_t nearest = 0;
  int32_t at = 0;
  for (int32_t h = 0; h < hits && at + kHeader < capacity; ++h) {
    const uint32_t names = buffer[at];
    const uint32_t depth = buffer[at + 1];
    if (names > 0 && (!found || depth < nearest)) {
      found = true;
      nearest = depth;
      name = static_cast<int32_t>(buffer[at + kHeader]);
    }
    if (names > static_cast<uint32_t>(capacity)) break;
    at += kHeader + static_cast<int32_t>(names);
  }
  return name;
}

void RenderScene(_OVX_SCENE* scene, float time) { RenderPasses(scene, time, Variant::Plain); }
void RenderSceneScaled(_OVX_SCENE* scene, float time) { RenderPasses(scene, time, Variant::Scaled); }
void RenderSceneSimple(_OVX_SCENE* scene, float time) { RenderPasses(scene, time, Variant::Simple); }
void RenderSceneColored(_OVX_SCENE* scene, float time) { RenderPasses(scene, time, Variant::Colored); }

int32_t PickObject(_OVX_SCENE* scene, float time) {
  if (!scene) return 0;
  GLint viewport[4] = {0, 0, 0, 0};
  glGetIntegerv(GL_VIEWPORT, viewport);
  std::array<GLuint, kSelectionEntries> selection{};
  glSelectBuffer(kSelectionEntries, selection.data());
  glRenderMode(GL_SELECT);
  glInitNames();
  glPushName(0);
  glEnable(GL_DEPTH_TEST);
  ResetTextureAndProjection();
  gluPickMatrix(RenderUnit.PickX, kPickTopRow - RenderUnit.PickY, kPickSize, kPickSize, viewport);
  Perspective(scene);
  ScaleCurrent(RenderUnit.UniformScale);
  PlaceCamera(scene, time);
  LightsOff();
  glDisable(GL_BLEND);
  glDepthMask(GL_TRUE);
  ForEachInPasses(scene, [&](int32_t i, const _OVX_MATERIAL& m) {
    SetAlphaTest(m.alphatest);
    SetBlend(m.blend);
    SetDepthMode(m.depthtest);
    glDepthFunc(GL_LESS);
    glLoadName(static_cast<GLuint>(i) + 1);
    DrawObject(scene, i, time);
  });
  glDisable(GL_ALPHA_TEST);
  glDepthMask(GL_TRUE);
  const GLint hits = glRenderMode(GL_RENDER);
  return NearestHit(selection.data(), kSelectionEntries, hits);
}

void SetupCamera(const _OVX_SCENE* scene, float time) {
  if (!scene) return;
  CameraCheck(scene, kSetupNoCamera);
  _OVX_VECTOR eye, target;
  SceneCamera(eye, target, scene, time);
  SetupProjectionCamera(scene, eye, target);
}

void SetupCameraAt(const _OVX_SCENE* scene, const _OVX_VECTOR& eye, const _OVX_VECTOR& target) {
  if (!scene) return;
  CameraCheck(scene, kSetupNoCamera);
  SetupProjectionCamera(scene, eye, target);
}

void RenderFlareVisibility(_OVX_SCENE* scene, float time) {
  if (!scene) return;
  CameraCheck(scene, kPassNoCamera);
  glEnable(GL_DEPTH_TEST);
  ResetTextureAndProjection();
  Perspective(scene);
  glScalef(DrawUnit.RenderScale.x, DrawUnit.RenderScale.y, DrawUnit.RenderScale.z);
  PlaceCamera(scene, time);
  glDisable(GL_BLEND);
  glDepthMask(GL_TRUE);
  glDisable(GL_TEXTURE_2D);
  // The point has to show its own colour, whatever lighting the last pass
  // left on.
  glDisable(GL_LIGHTING);
  for (int32_t i = 0; i < ObjectCount(scene); ++i) {
    if (!IsFlareSource(scene, i)) continue;
    scene->objects[i].visible = 0;
    const _OVX_VECTOR p = FlarePosition(scene, i, time);
    const _OVX_RGB& c = MaterialOf(scene, i)->ambient;
    glEnable(GL_POINT_SMOOTH);
    glPointSize(RenderUnit.FlarePointSize);
    glColor3f(c.r, c.g, c.b);
    glBegin(GL_POINTS);
    glVertex3f(p.x, p.y, p.z);
    glEnd();
  }
  for (int32_t i = 0; i < ObjectCount(scene); ++i)
    if (scene->objects[i].visible && MaterialOf(scene, i) && !IsFlareSource(scene, i))
      DrawObjectBlack(scene, i, time);
  for (int32_t i = 0; i < ObjectCount(scene); ++i)
    if (IsFlareSource(scene, i)) scene->objects[i].flarecolor = MeasureFlare(FlarePosition(scene, i, time));
  glDisable(GL_ALPHA_TEST);
  glDepthMask(GL_TRUE);
}

void DrawFlares(_OVX_SCENE* scene, float time) {
  if (!scene) return;
  glEnable(GL_TEXTURE_2D);
  glDepthMask(GL_FALSE);
  _OVX_VECTOR r, u;
  if (FlareAxes(VecSub(DrawUnit.CameraEye, RenderUnit.CameraTarget), r, u)) {
    for (int32_t i = 0; i < ObjectCount(scene); ++i) {
      if (!IsFlareSource(scene, i)) continue;
      const _OVX_MATERIAL& m = *MaterialOf(scene, i);
      const float s = m.flaresize;
      glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(m.textureid));
      const _OVX_VECTOR p = FlarePosition(scene, i, time);
      glDisable(GL_CULL_FACE);
      glDisable(GL_DEPTH_TEST);
      glDisable(GL_LIGHTING);
      glEnable(GL_BLEND);
      glBlendFunc(GL_ONE, GL_ONE);
      const _OVX_RGB& c = scene->objects[i].flarecolor;
      glColor3f(c.r, c.g, c.b);
      glBegin(GL_TRIANGLE_STRIP);
      FlareVertex(0.0f, 0.0f, VecSub(p, VecScale(r, s)));
      FlareVertex(1.0f, 0.0f, VecSub(p, VecScale(u, s)));
      FlareVertex(0.0f, 1.0f, VecAdd(p, VecScale(u, s)));
      FlareVertex(1.0f, 1.0f, VecAdd(p, VecScale(r, s)));
      glEnd();
    }
  }
  glDepthMask(GL_TRUE);
}

void RenderSceneReflected(const _OVX_SCENE* scene, int32_t mirror, float time, float sx, float sy, float sz,
                          float factor) {
  if (!scene) return;
  CameraCheck(scene, kSetupNoCamera);
  SetupCamera(scene, time);
  glEnable(GL_DEPTH_TEST);
  glDisable(GL_BLEND);
  glScalef(sx, sy, sz);
  glMatrixMode(GL_MODELVIEW);
  SetSceneScale2(factor, factor, factor);
  ObjectsExcept(scene, mirror, time);
  SetSceneScale2(1.0f, 1.0f, 1.0f);
  glMatrixMode(GL_PROJECTION);
  glScalef(1.0f, 1.0f, -1.0f);
  glMatrixMode(GL_MODELVIEW);
  glEnable(GL_BLEND);
  glBlendFunc(GL_ONE, GL_ONE);
  DrawObject(scene, mirror, 0.0f);
  glDisable(GL_BLEND);
  ObjectsExcept(scene, mirror, time);
}

void ShowObject(_OVX_SCENE* scene, std::string_view name) { SetVisible(scene, name, 1); }
void HideObject(_OVX_SCENE* scene, std::string_view name) { SetVisible(scene, name, 0); }

int32_t ObjectIndex(const _OVX_SCENE* scene, std::string_view name) {
  int32_t found = kNoObjectIndex;
  if (!scene) return found;
  for (int32_t i = 0; i < ObjectCount(scene); ++i)
    if (scene->objects[i].name.view() == name) found = i;
  return found;
}

void SetSceneScale2(float x, float y, float z) { RenderUnit.SceneScale2 = {x, y, z}; }

void ClearScreen(void) {
  glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glClear(GL_STENCIL_BUFFER_BIT);
}
