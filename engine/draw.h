// Drawing one mesh object of a loaded scene: its animated placement, fog,
// distance and back-face culling, material colours, texture with tiling and
// scrolling, the triangles from its GL buffers and an optional sphere-map
// pass; three reduced draws for the other passes (vertex-coloured, wire
// edges, unlit black); the per-frame statistics counters.
//
// Every draw refuses an object index above objectcount - 1 before it makes
// a GL call, so the matrix stack stays as it was. Each draw that goes on
// leaves the model-view matrix as it found it and the matrix mode at
// model-view; the rest of the GL state it sets (lighting, texturing, face
// culling, colour, material, texture matrix) stays changed for the next
// user. A current GL context is needed.
//
// Where the draws differ from the plain description, and the fault each
// difference mends:
//   - a negative object index, and in DrawObject and DrawObjectColored a
//     material index outside the materials, is refused too (a read outside
//     the arrays: crash);
//   - a DrawFraction above 1 draws every triangle and one that is not a
//     number counts as 1 (indices past the end of the index buffer: crash);
//   - an array whose buffer object is missing is drawn from the record's
//     copy in client memory, and one missing from both is not drawn (GL
//     would read from address 0: crash);
//   - DrawObjectEdges leaves out a face whose corners lie outside the
//     vertices, DrawObjectBlack a strip object without strip, and the
//     coloured draw an object that has hascolors but no colors (reads
//     outside or through null: crash).
#pragma once
#include <cstdint>
#include <string_view>

#include "engine/ovx.h"

// The drawing state, with its start values.
struct DrawUnitState {
  // Added to the placement of every object by DrawObject.
  _OVX_VECTOR ObjectOffset = {0.0f, 0.0f, 0.0f};
  // Scales every object drawn by DrawObject (and the scaled render passes).
  _OVX_VECTOR RenderScale = {1.0f, 1.0f, 1.0f};
  // Stored by SetSceneScale; no draw reads it.
  _OVX_VECTOR SceneScale = {1.0f, 1.0f, 1.0f};
  // Below 0 every triangle is drawn; otherwise that share of each object's
  // triangles, counted from the first (a share above 1 draws them all).
  float DrawFraction = -1.0f;
  // Object textures get the driver's maximum anisotropy.
  bool AnisotropicFiltering = true;
  // The camera position of the current render pass; distance culling is
  // measured from it.
  _OVX_VECTOR CameraEye = {0.0f, 0.0f, 0.0f};
  // Statistics: they only grow; the application sets them to 0 per frame.
  int32_t TrianglesDrawn = 0;
  int32_t ObjectsDrawn = 0;
};
extern DrawUnitState DrawUnit;

void DrawObject(const _OVX_SCENE* scene, int32_t index, float time);
// The coloured pass of the shadowed render: no fog, offset, scale,
// anisotropy, scrolling, fraction or environment pass; alpha 1 in the
// material; per-vertex colours from client memory.
void DrawObjectColored(const _OVX_SCENE* scene, int32_t index, float time);
// The edges of every triangle as grey lines 2 pixels wide. The line width
// and the depth function LESS are set even when the index is refused.
void DrawObjectEdges(const _OVX_SCENE* scene, int32_t index, float time, float grey);
// Opaque black without lighting or texture, for occlusion tests; does not
// count. Neither this draw nor the edges read the object's material.
void DrawObjectBlack(const _OVX_SCENE* scene, int32_t index, float time);

void SetObjectOffset(float x, float y, float z);
void SetSceneScale(float x, float y, float z);
// One line to the framework log (or to the sink a test installs through
// LoaderSetLogSink).
void EngineLog(std::string_view text);

// --- the arithmetic of the draws, without GL ---

// Whether an object with this distancecull value is drawn: 0 always, 1 when
// its pivot is at most limit away from the eye, any other value never.
bool DistanceCullDrawn(uint8_t distancecull, const _OVX_VECTOR& eye, const _OVX_VECTOR& pivot, float limit);
// The number of indices a draw of facecount triangles under fraction gives
// to GL: all below 0, else 3 x Trunc(facecount x fraction) with fraction
// taken as at most 1 (and a fraction that is not a number as 1).
int32_t DrawnIndexCount(int32_t facecount, float fraction);
// The object texture matrix, column-major as GL loads it: a scale by
// (utile, vtile, 1) applied after a translation by time x scroll, so a
// coordinate u becomes utile x (u + time x scroll.x).
void ObjectTextureMatrix(float matrix[16], float utile, float vtile, const _OVX_VECTOR& scroll, float time);
