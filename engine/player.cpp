#include "engine/player.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "engine/camera.h"
#include "engine/capture.h"
#include "engine/draw.h"
#include "engine/particles.h"
#include "engine/render.h"
#include "engine/shadow.h"
#include "framework/base/numconv.h"
#include "framework/wm/glconst.h"
#include "units/gltexture.h"
#include "units/glunit.h"
#include "units/random.h"

using namespace qgl;

PlayerUnitState PlayerUnit;

namespace {

constexpr float kPi = 3.14159265358979f;
constexpr float kDegree = kPi / 180.0f;
constexpr float kPerMille = 1000.0f;
constexpr int32_t kReferenceWidth = 1024;
constexpr int32_t kReferenceHeight = 768;
constexpr int32_t kStarRange = 5000;
constexpr int32_t kStarOffset = 3000;
constexpr int32_t kRandomValueRange = 1000;
constexpr int32_t kFlickerOdds = 40;
constexpr int32_t kFlickerHit = 20;
constexpr int32_t kFlickerFirst = 111;
constexpr int32_t kFlickerSecond = 106;
constexpr int32_t kFlickerThird = 114;
// The byte of object 106's particle texture name that the flicker toggles
// (position 84 counting the length byte).
constexpr size_t kFlickerTextByte = 84 - 1;
static_assert(kFlickerTextByte < sizeof(OvxShortString::text));
constexpr int32_t kSwitchObject = 99;
constexpr int32_t kBoltCount = 4;
constexpr int32_t kBoltSegmentsMin = 6;
constexpr int32_t kBoltSegmentsExtra = 6;
constexpr int32_t kJitterRange = 100;
constexpr float kJitterScale = 30.0f;

// Key values come from the file: out of the 32-bit range (or NaN) they are
// clamped, never converted past it.
int32_t Trunc(float x) { return SYS_TruncInt32(x); }
int32_t Round(float x) { return SYS_RoundInt32(x); }
float Byte(uint8_t b) { return b / 255.0f; }
int32_t Word(const uint8_t* p, int i) { return p[i] + 256 * p[i + 1]; }

void ResetMatrix(GLenum mode) {
  glMatrixMode(mode);
  glLoadIdentity();
}

// A capture texture: RGB, contents undefined until the first copy.
void NewTexture(uint32_t& name, int32_t w, int32_t h) {
  glEnable(GL_TEXTURE_2D);
  name = NewTexture2D(w, h, GL_RGB, GL_RGB, GL_LINEAR, TextureWrap::ClampToEdge, nullptr);
}

void CreateNoiseTextures() {
  std::vector<uint8_t> bytes(size_t(kNoiseTextureSize) * kNoiseTextureSize);
  for (uint32_t& name : PlayerUnit.NoiseTextures) {
    for (uint8_t& b : bytes) b = static_cast<uint8_t>(Random(256));
    name = NewTexture2D(kNoiseTextureSize, kNoiseTextureSize, 1, GL_LUMINANCE, GL_LINEAR, TextureWrap::Repeat,
                        bytes.data());
  }
}

// The (-1, -1)..(1, 1) quad, texture (0, 0) at the lower left.
void FullScreenQuad() {
  glBegin(GL_QUADS);
  glTexCoord2f(0, 0);
  glVertex2f(-1, -1);
  glTexCoord2f(1, 0);
  glVertex2f(1, -1);
  glTexCoord2f(1, 1);
  glVertex2f(1, 1);
  glTexCoord2f(0, 1);
  glVertex2f(-1, 1);
  glEnd();
}

struct Rect {
  int32_t x, y, w, h;
};

// x, y, w, h from the first eight parameter bytes, w and h scaled by v/1000
// and the screen scale.
Rect ScaledRect(const uint8_t* p, float v) {
  return {Word(p, 0), Word(p, 2), Round(v / kPerMille * Word(p, 4) * PlayerUnit.EffectScaleX),
          Round(v / kPerMille * Word(p, 6) * PlayerUnit.EffectScaleY)};
}

void UseProgram(uint32_t program) {
  if (glUseProgramObjectARB) glUseProgramObjectARB(program);
}

// Uniforms exist only on a real program; program 0 is fixed-function.
void SetUniform1f(uint32_t program, const char* name, float value) {
  if (program && glGetUniformLocationARB && glUniform1fARB) glUniform1fARB(glGetUniformLocationARB(program, name), value);
}

void SetUniform1i(uint32_t program, const char* name, int32_t value) {
  if (program && glGetUniformLocationARB && glUniform1iARB) glUniform1iARB(glGetUniformLocationARB(program, name), value);
}

void ShaderPass(uint32_t program, uint32_t texture, float v, bool switchOffUnits, bool blendOff) {
  UseProgram(program);
  SetUniform1f(program, "SIZE", v / kPerMille);
  if (switchOffUnits && glActiveTextureARB) {
    for (GLenum unit = GL_TEXTURE1_ARB; unit <= GL_TEXTURE3_ARB; ++unit) {
      glActiveTextureARB(unit);
      glDisable(GL_TEXTURE_2D);
    }
    glActiveTextureARB(GL_TEXTURE0_ARB);
  }
  glEnable(GL_TEXTURE_2D);
  glBindTexture(GL_TEXTURE_2D, texture);
  SetUniform1i(program, "texture", 0);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  ResetMatrix(GL_MODELVIEW);
  ResetMatrix(GL_PROJECTION);
  glDisable(GL_LIGHTING);
  glColor3f(1, 1, 1);
  if (blendOff) glDisable(GL_BLEND);
  FullScreenQuad();
  UseProgram(0);
}

void SceneOperator(_OVX_SCENE* scene, const uint8_t* p, float v) {
  if (p[2] == 1) {
    RenderSceneColored(scene, v);
    _OVX_VECTOR light = scene->lights[0].pos;
    if (scene->lights[0].keycount > 0) LightPositionAtTime(light, scene, 0, v);
    DrawShadowVolume(scene, light, v);
    glClear(GL_DEPTH_BUFFER_BIT);
    glStencilFunc(GL_EQUAL, 0, 0xFFFFFFFFu);
    RenderScene(scene, v);
    glDisable(GL_STENCIL_TEST);
  } else {
    RenderScene(scene, v);
  }
  if (p[1] == 1) {
    ResetMatrix(GL_TEXTURE);
    glDisable(GL_LIGHTING);
    DrawParticles(scene, v);
  }
}

void CaptureOverlay(const uint8_t* p, float v) {
  glEnable(GL_TEXTURE_2D);
  glBindTexture(GL_TEXTURE_2D, EffectCaptureTexture(p[3]));
  const float f = v / kPerMille;
  glColor3f(Byte(p[0]) * f, Byte(p[1]) * f, Byte(p[2]) * f);
  glDisable(GL_CULL_FACE);
  glDisable(GL_DEPTH_TEST);
  ResetMatrix(GL_MODELVIEW);
  ResetMatrix(GL_PROJECTION);
  ResetMatrix(GL_TEXTURE);
  glDisable(GL_LIGHTING);
  if (p[4] == 0) glDisable(GL_BLEND);
  if (p[4] == 1) {
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE);
  }
  if (p[4] == 2) {
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_COLOR, GL_ONE_MINUS_SRC_COLOR);
  }
  FullScreenQuad();
}

void Capture(const uint8_t* p, float v) {
  const uint32_t texture = EffectCaptureTexture(p[8]);
  const Rect r = ScaledRect(p, v);
  glEnable(GL_TEXTURE_2D);
  glBindTexture(GL_TEXTURE_2D, texture);
  glCopyTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, r.x, r.y, r.w, r.h, 0);
}

void TwoPassShader(const uint8_t* p, float v) {
  ShaderPass(PlayerUnit.EffectShaderA, EffectCaptureTexture(p[0]), v, false, true);
  glBindTexture(GL_TEXTURE_2D, PlayerUnit.CaptureTextures[0]);
  glCopyTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 0, 0, Round(PlayerUnit.EffectScaleX * kReferenceWidth),
                   Round(PlayerUnit.EffectScaleY * kReferenceHeight), 0);
  ShaderPass(PlayerUnit.EffectShaderB, PlayerUnit.CaptureTextures[0], v, false, false);
}

// Clearing a flag of a missing object does nothing.
void SetParticles(FEX_Project& project, int32_t index, bool on) {
  if (_OVX_OBJECT* o = EffectFixedObject(project, index)) o->particledata.particleenabled = on;
}

void Flicker(FEX_Project& project, float v) {
  const bool first = Random(kFlickerOdds) == kFlickerHit;
  SetParticles(project, kFlickerFirst, first);
  const bool second = Random(kFlickerOdds) == kFlickerHit;
  _OVX_OBJECT* o = EffectFixedObject(project, kFlickerSecond);
  if (o) o->particledata.particletexture.text[kFlickerTextByte] = second;
  const bool third = Random(kFlickerOdds) == kFlickerHit;
  SetParticles(project, kFlickerThird, third);
  if (v == 0) {
    SetParticles(project, kFlickerFirst, false);
    if (o) o->particledata.particletexture.text[kFlickerTextByte] = 0;
    SetParticles(project, kFlickerThird, false);
  }
}

void Switch(FEX_Project& project, float v) {
  _OVX_OBJECT* o = EffectFixedObject(project, kSwitchObject);
  if (!o) return;
  o->particledata.particleenabled = v > 0;
  o->visible = !(v > 0);
}

_OVX_VECTOR RingPoint(float r, float a) { return {r * std::sin(a * kDegree), r * std::cos(a * kDegree), -10.0f}; }

void TunnelRing(const FEX_Project& project, float v) {
  glColor3f(0, 0, 0);
  glEnable(GL_TEXTURE_2D);
  glBindTexture(GL_TEXTURE_2D, static_cast<uint32_t>(EffectTunnelTexture(project)));
  glDisable(GL_CULL_FACE);
  glDisable(GL_LIGHTING);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  const float w = 0.002f, o = -0.15f - v / kPerMille;
  glBegin(GL_QUADS);
  for (int i = 0; i <= 180; ++i) {
    const float grey = std::sin(i * kDegree);
    glColor3f(grey, grey, grey);
    const float s0 = 1 - (o + i * w), s1 = 1 - (o + (i + 1) * w);
    const _OVX_VECTOR corners[4] = {RingPoint(90, 2.0f * i), RingPoint(90, 2.0f * (i + 1)),
                                    RingPoint(60, 2.0f * (i + 1)), RingPoint(60, 2.0f * i)};
    const float s[4] = {s0, s1, s1, s0}, t[4] = {1, 1, 0, 0};
    for (int c = 0; c < 4; ++c) {
      glTexCoord2f(s[c], t[c]);
      glVertex3f(corners[c].x, corners[c].y, corners[c].z);
    }
  }
  glEnd();
}

void GreyVertex(float grey, float x, float y, float z) {
  glColor3f(grey, grey, grey);
  glVertex3f(x, y, z);
}

void FloorGrid(float v) {
  glColor3f(0.1f, 0.1f, 0.1f);
  glDisable(GL_TEXTURE_2D);
  glDisable(GL_CULL_FACE);
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_LIGHTING);
  glEnable(GL_BLEND);
  glBlendFunc(GL_ONE, GL_ONE);
  const float s = 80.0f, a = v / kPerMille, y = -170.0f, edge = 50 * s;
  glBegin(GL_LINES);
  for (int i = 0; i <= 100; ++i) {
    const float x = (i - 50) * s;
    GreyVertex(0, x, y, -edge);
    GreyVertex(a, x, y, 0);
    GreyVertex(a, x, y, 0);
    GreyVertex(0, x, y, edge);
    GreyVertex(0, -edge, y, x);
    GreyVertex(a, 0, y, x);
    GreyVertex(a, 0, y, x);
    GreyVertex(0, edge, y, x);
  }
  glEnd();
}

_OVX_VECTOR Add(const _OVX_VECTOR& a, const _OVX_VECTOR& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
_OVX_VECTOR Scale(const _OVX_VECTOR& a, float f) { return {a.x * f, a.y * f, a.z * f}; }

// A jagged line from p to g. The jitter of the last point is drawn with
// the others (so the random sequence advances by three per segment) and
// then set to 0, so the line ends on g.
void EffectPathLines(const _OVX_VECTOR& p, const _OVX_VECTOR& g) {
  const int32_t n = kBoltSegmentsMin + Random(kBoltSegmentsExtra);
  const _OVX_VECTOR d = Scale(Add(g, Scale(p, -1)), 1.0f / n);
  std::vector<_OVX_VECTOR> jitter(size_t(n) + 1, _OVX_VECTOR{0, 0, 0});
  for (int32_t s = 1; s <= n; ++s) {
    jitter[s].x = Random(kJitterRange) / kJitterScale;
    jitter[s].y = Random(kJitterRange) / kJitterScale;
    jitter[s].z = Random(kJitterRange) / kJitterScale;
  }
  jitter[n] = {0, 0, 0};
  const auto line = [&](float r, float gr, float b, float width) {
    glColor3f(r, gr, b);
    glLineWidth(width);
    glBegin(GL_LINES);
    for (int32_t s = 0; s < n; ++s) {
      const _OVX_VECTOR a = Add(Add(p, Scale(d, float(s))), jitter[s]);
      const _OVX_VECTOR e = Add(Add(p, Scale(d, float(s + 1))), jitter[s + 1]);
      glVertex3f(a.x, a.y, a.z);
      glVertex3f(e.x, e.y, e.z);
    }
    glEnd();
  };
  line(0.5f, 0.5f, 0.5f, 1.0f);
  line(0.0f, 0.0f, 0.3f, 8.0f);
}

// The centroid of face f of the object, false when a corner is missing.
bool FaceCentroid(const _OVX_OBJECT& o, int32_t f, _OVX_VECTOR& g) {
  if (f < 0 || !o.faces || !o.vertices) return false;
  const int32_t corners[3] = {o.faces[f].a, o.faces[f].b, o.faces[f].c};
  g = {0, 0, 0};
  for (int32_t c : corners) {
    if (c < 0 || c >= o.vertexcount) return false;
    g = Add(g, o.vertices[c]);
  }
  g = Scale(g, 1.0f / 3.0f);
  return true;
}

void WireTunnel(float v, float width, float grey) {
  glLineWidth(width);
  glColor3f(grey, grey, grey);
  glBegin(GL_LINES);
  for (int j = -10; j <= 10; ++j) {
    const float z = v / 50 + 20.0f * j;
    for (int i = 0; i <= 35; ++i) {
      const float a0 = 10.0f * i * kDegree, a1 = 10.0f * (i + 1) * kDegree;
      glVertex3f(140 * std::sin(a0), 140 * std::cos(a0), z);
      glVertex3f(140 * std::sin(a1), 140 * std::cos(a1), z);
      glVertex3f(140 * std::sin(a0), 140 * std::cos(a0), z);
      glVertex3f(140 * std::sin(a0), 140 * std::cos(a0), z + 20);
    }
  }
  glEnd();
}

void Lightning(FEX_Project& project, float v) {
  glColor3f(1, 1, 1);
  glDisable(GL_TEXTURE_2D);
  glDisable(GL_CULL_FACE);
  glEnable(GL_DEPTH_TEST);
  glDisable(GL_LIGHTING);
  glEnable(GL_BLEND);
  glBlendFunc(GL_ONE, GL_ONE);
  DrawUnit.DrawFraction = EffectDrawFraction(v);
  const _OVX_OBJECT* target = EffectFixedObject(project, 0);
  for (int32_t k = 1; k <= kBoltCount && target; ++k) {
    const _OVX_OBJECT* source = EffectFixedObject(project, k);
    _OVX_VECTOR g;
    if (!source || !FaceCentroid(*target, EffectLightningFace(target->facecount, v, k), g)) continue;
    _OVX_VECTOR p;
    ObjectPositionAtTime(p, &project.scenes[0], k, v);
    EffectPathLines(Add(p, source->pivot), g);
  }
  glEnable(GL_DEPTH_TEST);
  WireTunnel(v, 1.0f, 0.3f);
  WireTunnel(v, 5.0f, 0.1f);
}

void StarField() {
  glColor3f(1, 1, 1);
  glDisable(GL_TEXTURE_2D);
  glDisable(GL_CULL_FACE);
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_LIGHTING);
  glBegin(GL_POINTS);
  for (int32_t i = 0; i < kStarCount; ++i) {
    glColor3f(PlayerUnit.StarBrightness[i], PlayerUnit.StarBrightness[i], PlayerUnit.StarBrightness[i]);
    glVertex3f(PlayerUnit.StarX[i], PlayerUnit.StarY[i], PlayerUnit.StarZ[i]);
  }
  glEnd();
}

void SetRotation(_OVX_OBJECT& o, uint8_t component, float v) {
  if (component == 0) o.rotation.x = v;
  if (component == 1) o.rotation.y = v;
  if (component == 2) o.rotation.z = v;
}

void ObjectRotation(_OVX_SCENE& scene, const uint8_t* p, float v) {
  if (!scene.objects) return;
  if (p[3] == 1) {
    for (int32_t i = 0; i < scene.objectcount; ++i) SetRotation(scene.objects[i], p[2], v);
    return;
  }
  const int32_t index = Word(p, 0);
  if (index < scene.objectcount) SetRotation(scene.objects[index], p[2], v);
}

void Clear(const uint8_t* p, float v) {
  const float f = v / kPerMille;
  glClearColor(Byte(p[0]) * f, Byte(p[1]) * f, Byte(p[2]) * f, f);
  glClear(EffectClearMask(p));
}

}  // namespace

void EffectInitStars(void) {
  EffectClearSceneCache();
  for (int32_t i = 0; i < kStarCount; ++i) {
    PlayerUnit.StarX[i] = float(Random(kStarRange) - kStarOffset);
    PlayerUnit.StarY[i] = float(Random(kStarRange) - kStarOffset);
    PlayerUnit.StarZ[i] = float(Random(kStarRange) - kStarOffset);
    PlayerUnit.StarBrightness[i] = Random(1000) / 2000.0f + 0.5f;
  }
}

void EffectInit(int32_t width, int32_t height) {
  EffectInitStars();
  PlayerUnit.EffectScaleX = float(width) / kReferenceWidth;
  PlayerUnit.EffectScaleY = float(height) / kReferenceHeight;
  CreateNoiseTextures();
  for (uint32_t& name : PlayerUnit.CaptureTextures) NewTexture(name, width, height);
  for (uint32_t& name : PlayerUnit.SmallCaptureTextures) NewTexture(name, kSmallCaptureSize, kSmallCaptureSize);
}

float EffectEase(int32_t mode, float a, float b, float t) {
  if (mode == 1) return a + (b - a) * std::sin(t * kPi / 2);
  if (mode == 2) return a + (b - a) * (1 - std::sin(kPi / 2 + t * kPi / 2));
  return a + (b - a) * t;
}

float EffectEaseMirror(int32_t mode, float a, float b, float t) {
  if (mode == 1) return EffectEase(2, a, b, t);
  if (mode == 2) return EffectEase(1, a, b, t);
  return EffectEase(mode, a, b, t);
}

float EffectKeyValue(int32_t mode, float s, float e, float y0, float ym, float y1, float t) {
  const float m = (s + e) / 2;
  float value = ym;
  if (t < m) value = t < s ? y0 : EffectEase(mode, y0, ym, (t - s) / (m - s));
  if (t > m) value = t > e ? y1 : EffectEaseMirror(mode, ym, y1, (t - m) / (e - m));
  if (y0 == float(kFexRandomValue)) value = float(Random(kRandomValueRange));
  return value;
}

void EffectPlayProject(FEX_Project& project, float time) {
  if (!project.operators) return;
  const int32_t now = Trunc(time);
  for (int32_t i = 0; i < project.operatorcount; ++i) {
    const FEX_Operator& op = project.operators[i];
    if (!op.keys) continue;
    for (int32_t k = 0; k < op.keycount; ++k) {
      const FEX_Key& key = op.keys[k];
      if (key.starttime > now || now > key.endtime) continue;
      const float v = EffectKeyValue(key.ease, float(key.starttime), float(key.endtime), float(key.startvalue),
                                     float(key.midvalue), float(key.endvalue), time);
      PlayerUnit.EffectOperatorHook(project, op, v);
    }
  }
}

void EffectApplyOperator(FEX_Project& project, const FEX_Operator& op, float v) {
  const uint8_t* p = op.params;
  switch (op.optype) {
    case kOpViewport: {
      const Rect r = ScaledRect(p, v);
      glViewport(r.x, r.y, r.w, r.h);
      break;
    }
    case kOpObjectRotation:
      if (_OVX_SCENE* s = EffectTargetScene(project, op)) ObjectRotation(*s, p, v);
      break;
    case kOpFieldOfView:
      if (_OVX_SCENE* s = EffectTargetScene(project, op)) s->camerafov = v * kPi / 180.0f;
      break;
    case kOpClear:
      Clear(p, v);
      break;
    case kOpScene:
      if (_OVX_SCENE* s = EffectTargetScene(project, op)) SceneOperator(s, p, v);
      break;
    case kOpInterface:
      if (ife_interface* ifc = EffectTargetInterface(project, op); ifc && EffectInterfaces.render)
        EffectInterfaces.render(*ifc, v);
      break;
    case kOpNoise:
      EffectNoiseOverlay(v);
      break;
    case kOpCaptureOverlay:
      CaptureOverlay(p, v);
      break;
    case kOpShaderA:
      ShaderPass(PlayerUnit.EffectShaderA, EffectCaptureTexture(p[0]), v, true, false);
      break;
    case kOpShaderB:
      ShaderPass(PlayerUnit.EffectShaderB, EffectCaptureTexture(p[0]), v, true, false);
      break;
    case kOpTwoPassShader:
      TwoPassShader(p, v);
      break;
    case kOpCapture:
      Capture(p, v);
      break;
    case kOpFlicker:
      Flicker(project, v);
      break;
    case kOpTunnelRing:
      TunnelRing(project, v);
      break;
    case kOpFloorGrid:
      FloorGrid(v);
      break;
    case kOpLightning:
      Lightning(project, v);
      break;
    case kOpStarField:
      StarField();
      break;
    case kOpSwitch:
      Switch(project, v);
      break;
    default:
      break;
  }
}

void EffectNoiseOverlay(float intensity) {
  glBindTexture(GL_TEXTURE_2D, PlayerUnit.NoiseTextures[Random(kNoiseTextureCount - 1)]);
  glEnable(GL_TEXTURE_2D);
  glDisable(GL_LIGHTING);
  ResetMatrix(GL_PROJECTION);
  ResetMatrix(GL_MODELVIEW);
  ResetMatrix(GL_TEXTURE);
  glEnable(GL_BLEND);
  glBlendFunc(GL_ONE, GL_ONE);
  const float c = intensity / kPerMille;
  glColor3f(c, c, c);
  glDisable(GL_CULL_FACE);
  glDisable(GL_DEPTH_TEST);
  glBegin(GL_QUADS);
  glTexCoord2f(0, 0);
  glVertex2f(-1, 1);
  glTexCoord2f(1, 0);
  glVertex2f(1, 1);
  glTexCoord2f(1, 1);
  glVertex2f(1, -1);
  glTexCoord2f(0, 1);
  glVertex2f(-1, -1);
  glEnd();
}

void EffectNop(int32_t, std::string_view) {}

uint32_t EffectCaptureTexture(int32_t slot) {
  if (slot < 0 || slot >= kCaptureSlotCount) return 0;
  return slot < kCaptureTextureCount ? PlayerUnit.CaptureTextures[slot]
                                      : PlayerUnit.SmallCaptureTextures[slot - kCaptureTextureCount];
}

uint32_t EffectClearMask(const uint8_t params[32]) {
  uint32_t mask = 0;
  if (params[3]) mask |= GL_COLOR_BUFFER_BIT;
  if (params[4]) mask |= GL_DEPTH_BUFFER_BIT;
  if (params[5]) mask |= GL_ACCUM_BUFFER_BIT;
  if (params[6]) mask |= GL_STENCIL_BUFFER_BIT;
  return mask;
}

float EffectDrawFraction(float value) { return value / kPerMille; }

int32_t EffectLightningFace(int32_t facecount, float value, int32_t k) {
  if (facecount <= 0) return -1;
  const int64_t index = 4 * int64_t{Trunc(value / 4000.0f * float(facecount - 1))} + k - 1;
  return static_cast<int32_t>(std::clamp<int64_t>(index, 0, facecount - 1));
}

_OVX_OBJECT* EffectFixedObject(FEX_Project& project, int32_t index) {
  if (project.scenecount < 1 || !project.scenes) return nullptr;
  _OVX_SCENE& scene = project.scenes[0];
  if (!scene.objects || index < 0 || index >= scene.objectcount) return nullptr;
  return &scene.objects[index];
}

_OVX_SCENE* EffectTargetScene(FEX_Project& project, const FEX_Operator& op) {
  if (!project.scenes || op.target < 0 || op.target >= project.scenecount) return nullptr;
  return &project.scenes[op.target];
}

ife_interface* EffectTargetInterface(FEX_Project& project, const FEX_Operator& op) {
  if (!project.interfaces || op.target < 0 || op.target >= project.interfacecount) return nullptr;
  return &project.interfaces[op.target];
}

int32_t EffectTunnelTexture(const FEX_Project& project) {
  constexpr int32_t kRingInterface = 1;
  if (!project.interfaces || project.interfacecount <= kRingInterface) return 0;
  const ife_interface& ifc = project.interfaces[kRingInterface];
  if (!ifc.layers || ifc.layer_count < 1) return 0;
  return ifc.layers[0].texture;
}
