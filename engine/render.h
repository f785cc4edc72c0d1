// Drawing whole scenes: the render passes (projection from the scene's
// camera settings, the camera on its key tracks, the eight lights, then the
// visible objects pass by pass with each material's alpha, blend and depth
// state), camera-only set-ups, picking through the GL selection buffer, the
// lens-flare pair, the planar reflection, visibility by object name and the
// screen clear.
//
// Every projection has the aspect 4/3 whatever the viewport; scenes are
// z-up. A scene whose camera or target track has no keys is drawn from a
// defined camera (see SceneCamera). The passes leave the GL state they set
// (matrix mode, lights, blending, texture state, the camera's model-view
// matrix) for the caller. A current GL context is needed.
//
// Where the passes differ from the plain description, and the fault each
// difference mends:
//   - an object whose material index lies outside the materials is drawn by
//     no pass and is no flare source, and a track whose key array is missing
//     counts as a track without keys (reads outside or through null: crash);
//   - the flare visibility pass switches lighting off before it draws the
//     points (a lit point shows the lighting, not its colour: plainly wrong
//     result);
//   - a flare whose point falls outside the view measures black (the pixels
//     would be read at an undefined raster position: plainly wrong result);
//   - DrawFlares draws no sprite while the camera looks along the y axis
//     (the axes divide by zero into vertices that are not numbers: plainly
//     wrong result);
//   - the nearest hit reads no record past the end of the selection buffer
//     (a read outside the buffer: crash).
#pragma once
#include <cstdint>
#include <string_view>

#include "engine/draw.h"
#include "engine/ovx.h"

// The state of the render passes, with its start values.
struct RenderUnitState {
  // The camera target of the last render pass (its eye is
  // DrawUnit.CameraEye).
  _OVX_VECTOR CameraTarget = {0.0f, 0.0f, 0.0f};
  // Clip plane 0 of RenderScene and RenderSceneScaled, in world coordinates.
  bool ClipPlaneEnabled = false;
  double ClipPlane[4] = {0.0, 0.0, 0.0, 0.0};
  // Scale of the projection in the simple, coloured and picking passes.
  float UniformScale = 1.0f;
  // Point size of the flare visibility pass.
  float FlarePointSize = 5.0f;
  // The window position PickObject looks at; the vertical position is
  // flipped as 479 - PickY, which fits a window 480 pixels high.
  int32_t PickX = 0;
  int32_t PickY = 0;
  // Stored by SetSceneScale2; no pass reads it.
  _OVX_VECTOR SceneScale2 = {1.0f, 1.0f, 1.0f};
};
extern RenderUnitState RenderUnit;

constexpr int32_t kNoObjectIndex = 65535;

void RenderScene(_OVX_SCENE* scene, float time);
// RenderScene with the model-view matrix scaled by RenderScale after the
// camera.
void RenderSceneScaled(_OVX_SCENE* scene, float time);
// Projection scaled by UniformScale, no clip plane, and the depth function
// left as the caller set it.
void RenderSceneSimple(_OVX_SCENE* scene, float time);
// The coloured first pass of the shadowed render: as the simple pass, with
// the lights placed through the model-view matrix current at the call and
// the objects drawn by DrawObjectColored.
void RenderSceneColored(_OVX_SCENE* scene, float time);

// 1 + the index of the nearest object under (PickX, 479 - PickY) in the
// current viewport, 0 for none (or for a selection buffer that overflowed).
int32_t PickObject(_OVX_SCENE* scene, float time);

// The projection (scaled by 0.00001) and the camera's look-at in the
// projection matrix, which stays current; the model-view matrix is
// identity. CameraEye and CameraTarget stay as they are.
void SetupCamera(const _OVX_SCENE* scene, float time);
void SetupCameraAt(const _OVX_SCENE* scene, const _OVX_VECTOR& eye, const _OVX_VECTOR& target);

// Hides every flare source (an object whose material has a flaresize above
// 0) and measures how much of each is seen: its point is drawn, the other
// objects black over it, and the brightest of the 3 x 3 pixels around it
// becomes its flarecolor (black when the point lies outside the view).
void RenderFlareVisibility(_OVX_SCENE* scene, float time);
// The flare sprites in their measured colours, additive, facing the camera
// of the last pass. Nothing is drawn while that camera looks straight along
// the y axis (the sprite axes do not exist there).
void DrawFlares(_OVX_SCENE* scene, float time);

// The scene mirrored by the projection scale (sx, sy, sz), then the mirror
// object added over it (at time 0), then the scene itself.
void RenderSceneReflected(const _OVX_SCENE* scene, int32_t mirror, float time, float sx, float sy, float sz,
                          float factor);

// Sets or clears visible of every object of that exact name.
void ShowObject(_OVX_SCENE* scene, std::string_view name);
void HideObject(_OVX_SCENE* scene, std::string_view name);
// The index of the last object of that name, kNoObjectIndex when none.
int32_t ObjectIndex(const _OVX_SCENE* scene, std::string_view name);

void SetSceneScale2(float x, float y, float z);
// Clears colour (to transparent black) and depth, then the stencil.
void ClearScreen(void);

// --- the arithmetic of the passes, without GL ---

// The camera of a pass at time. A track without keys does not place the
// camera: without eye keys the eye is the origin; without target keys (or
// when the target then falls on the eye) the camera looks from the eye
// along +y.
void SceneCamera(_OVX_VECTOR& eye, _OVX_VECTOR& target, const _OVX_SCENE* scene, float time);
// The sprite axes in the view plane for the view vector D = eye - target:
// right r = (-D.z, 0, D.x) normalised and up u = r x D normalised. False,
// with the axes untouched, when the camera looks along the y axis.
bool FlareAxes(const _OVX_VECTOR& view, _OVX_VECTOR& right, _OVX_VECTOR& up);
// The name of the nearest hit of a selection buffer of capacity entries
// holding hits records (name count, minimum depth, maximum depth, names):
// the first name of the record with the smallest minimum depth, the earlier
// record on equal depths; 0 when hits is not above 0.
int32_t NearestHit(const uint32_t* buffer, int32_t capacity, int32_t hits);
