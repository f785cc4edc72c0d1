// The effect player: walks an effect project's operators at one point of
// its time line and applies every key that spans that time, drawing into
// the current GL context. The caller owns the clock and swaps the buffers.
//
// Where the player differs from the plain description, and why:
//   - indices taken from a project or its scenes (targets, capture slots,
//     object numbers, face indices, the tunnel ring's layer) are checked
//     before use, and an operator whose scene or object is missing draws what
//     it can (out-of-bounds reads and writes otherwise);
//   - a clear operator's parameter byte that is not 0 sets its buffer's bit,
//     instead of multiplying it (a byte above 1 made a mask GL refuses whole,
//     or one naming another buffer: a plainly wrong result);
//   - key values outside the 32-bit range are clamped before they become
//     viewport sizes, frames or face indices (an undefined conversion).
#pragma once
#include <cstdint>
#include <string_view>

#include "engine/effect.h"
#include "engine/ovx.h"

constexpr int32_t kStarCount = 20001;
constexpr int32_t kNoiseTextureCount = 32;
constexpr int32_t kNoiseTextureSize = 256;
constexpr int32_t kCaptureTextureCount = 4;
constexpr int32_t kSmallCaptureSize = 256;
constexpr int32_t kCaptureSlotCount = 2 * kCaptureTextureCount;

// Operator codes of a project.
enum EffectOperatorCode : int32_t {
  kOpViewport = 1,
  kOpObjectRotation = 6,
  kOpFieldOfView = 7,
  kOpClear = 1000,
  kOpScene = 1001,
  kOpInterface = 1002,
  kOpNoise = 1004,
  kOpCaptureOverlay = 1005,
  kOpShaderA = 2001,
  kOpShaderB = 2002,
  kOpTwoPassShader = 2003,
  kOpCapture = 3000,
  kOpFlicker = 4001,
  kOpTunnelRing = 4002,
  kOpFloorGrid = 4003,
  kOpLightning = 4004,
  kOpStarField = 4005,
  kOpSwitch = 4006,
};

// Applies one operator with the value of one active key. EffectPlayProject
// goes through the player's EffectOperatorHook, which starts as
// EffectApplyOperator; tests put a recorder there.
using EffectOperatorProc = void (*)(FEX_Project& project, const FEX_Operator& op, float value);
void EffectApplyOperator(FEX_Project& project, const FEX_Operator& op, float value);

// The effect player's state, with its start values.
struct PlayerUnitState {
  float StarX[kStarCount] = {};
  float StarY[kStarCount] = {};
  float StarZ[kStarCount] = {};
  float StarBrightness[kStarCount] = {};
  uint32_t NoiseTextures[kNoiseTextureCount] = {};
  // Screen-sized and 256 x 256 RGB textures; slot c of an operator is
  // CaptureTextures[c] below 4 and SmallCaptureTextures[c - 4] up to 7.
  uint32_t CaptureTextures[kCaptureTextureCount] = {};
  uint32_t SmallCaptureTextures[kCaptureTextureCount] = {};
  float EffectScaleX = 1.0f;
  float EffectScaleY = 1.0f;
  // Program objects of the shader operators; 0 (fixed-function drawing)
  // until the application sets them.
  uint32_t EffectShaderA = 0;
  uint32_t EffectShaderB = 0;
  EffectOperatorProc EffectOperatorHook = EffectApplyOperator;
};
extern PlayerUnitState PlayerUnit;

// Empties the scene cache, draws the stars and the noise and creates the
// player's own textures (noise and capture slots); the frame-buffer and glow
// textures that layers and materials bind by name are the application's to
// create (engine/capture.h). Needs a current GL context.
void EffectInit(int32_t width, int32_t height);
// Steps 1 and 2 of EffectInit without GL: the cache emptied and the stars
// drawn (four draws per star).
void EffectInitStars(void);

// Every key of every operator with starttime <= Trunc(time) <= endtime, in
// project and key order, applied once each.
void EffectPlayProject(FEX_Project& project, float time);

// The key curve's halves: mode 0 linear, 1 sine (fast start), 2 cosine
// (slow start); EffectEaseMirror swaps 1 and 2. Any other mode is linear.
float EffectEase(int32_t mode, float a, float b, float t);
float EffectEaseMirror(int32_t mode, float a, float b, float t);
// The value of one key at time t; a start value of kFexRandomValue gives a
// new Random(1000) at every call.
float EffectKeyValue(int32_t mode, float s, float e, float y0, float ym, float y1, float t);

void EffectNoiseOverlay(float intensity);
void EffectNop(int32_t number, std::string_view text);

// --- the checked look-ups of the operators, without GL ---

// The texture of a capture slot, 0 for a slot outside 0..7.
uint32_t EffectCaptureTexture(int32_t slot);
// The glClear mask of a clear operator: a parameter byte that is not 0
// sets its buffer's bit.
uint32_t EffectClearMask(const uint8_t params[32]);
// DrawFraction for a lightning value: v/1000 (a share above 1 draws whole
// objects, see engine/draw.h).
float EffectDrawFraction(float value);
// The face of object 0 that bolt k (1..4) ends on, inside 0..facecount-1;
// -1 when the object has no faces.
int32_t EffectLightningFace(int32_t facecount, float value, int32_t k);
// Object index of the first scene, or null when the project has no scene or
// the scene no such object.
_OVX_OBJECT* EffectFixedObject(FEX_Project& project, int32_t index);
// The scene or interface an operator targets, null when out of range.
_OVX_SCENE* EffectTargetScene(FEX_Project& project, const FEX_Operator& op);
ife_interface* EffectTargetInterface(FEX_Project& project, const FEX_Operator& op);
// The texture of the tunnel ring: layer 0 of interface 1, 0 when missing.
int32_t EffectTunnelTexture(const FEX_Project& project);
