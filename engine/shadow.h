// Stencil shadow volumes: objects marked castshadow cast hard shadows from
// one point light. The silhouette of each caster is extruded away from the
// light into quads, which are counted into the stencil buffer (depth pass,
// no caps): front faces add one, back faces subtract one. A pixel whose
// stencil value is then not 0 lies in shadow.
//
// The face normals come from the precalculation, (P0 - P1) x (P2 - P1):
// for a mesh whose faces run counter-clockwise seen from outside (GL's front
// faces) they point inwards. So (G - L) . N > 0 holds for the faces that
// look towards the light: lightvisible marks the lit faces, and the quads
// A, A', B', B built on their silhouette edges face outwards, which is what
// the increment on front faces needs. Normals turned the other way would
// give inward quads, which leave the stencil at 0 (INCR and DECR clamp).
//
// The lit-face test, the silhouette search and the volume build are free of
// GL; only DrawShadowVolume talks to it.
//
// Where the shadows differ from the plain description, and the fault each
// difference mends:
//   - a face index outside the object or a missing array gives -1 from the
//     edge-table accessors (and SetNeighbourFace writes nothing), and the
//     steps skip an object without its per-face arrays (a read or write
//     outside the arrays or through null: crash);
//   - the silhouette search takes a neighbour index outside the object for
//     none, and the volume build leaves out an edge whose corners lie
//     outside the vertices and a quad the volume array has no room for
//     (reads and writes outside the arrays: crash);
//   - the volume is drawn from the scene's arrays in client memory when its
//     GL buffers are missing (GL would read from address 0: crash), and the
//     buffers are left unbound afterwards (a later client-memory draw would
//     read offsets into them: plainly wrong result).
#pragma once
#include <cstdint>

#include "engine/ovx.h"

// The shadows' state.
struct ShadowUnitState {
  // The extrusion factor of the volume build; DrawShadowVolume copies the
  // scene's volumeextent into it.
  float ShadowExtent = 0.0f;
};
extern ShadowUnitState ShadowUnit;

// Edge-table accessors; k is taken modulo 3 (a negative k too), edge k runs
// from corner k to corner (k + 1) mod 3. A face outside the object or a
// missing array gives -1; SetNeighbourFace then does nothing.
// Corner k of face i in basefaces.
int32_t BaseFaceVertex(const _OVX_OBJECT* object, int32_t i, int32_t k);
// Corner k of face i in faces.
int32_t FaceVertex(const _OVX_OBJECT* object, int32_t i, int32_t k);
// The face across edge k of face i, -1 for none.
int32_t NeighbourFace(const _OVX_OBJECT* object, int32_t i, int32_t k);
void SetNeighbourFace(_OVX_OBJECT* object, int32_t i, int32_t k, int32_t value);

// lightvisible[i] := (facecenters[i] + offset - light) . facenormals[i] > 0.
// A face edge-on to the light gets 0.
void ComputeLitFaces(_OVX_OBJECT* object, const _OVX_VECTOR& light, const _OVX_VECTOR& offset);
// Clears contour, then sets contour[3 i + k] for each edge k of a face i with
// lightvisible set whose neighbour is -1 or has lightvisible clear.
void FindSilhouetteEdges(_OVX_OBJECT* object);
// Appends one quad per contour edge to the scene's volumevertices at
// shadowquadcount: A, A + (A - L) x ShadowExtent, then the same for B, then
// B, with A and B the edge's corners from faces plus the offset. An edge
// whose corners lie outside the vertices, or a quad the volume array has no
// room for, is left out.
void BuildShadowVolume(_OVX_SCENE* scene, _OVX_OBJECT* object, const _OVX_VECTOR& light, const _OVX_VECTOR& offset);

// Counts the volumes of every visible caster into the stencil buffer, which
// the caller has cleared. Only the position track moves a volume (pivot,
// rotation, object offset and render scale do not). The volume is drawn from
// the scene's GL buffers, or from its arrays when the buffer entry points or
// names are missing. Leaves the stencil test on with the counts in the
// buffer, colour and depth writes and 2D texturing on, stencil operations
// KEEP, back faces culled and no buffer bound.
void DrawShadowVolume(_OVX_SCENE* scene, const _OVX_VECTOR& light, float time);
