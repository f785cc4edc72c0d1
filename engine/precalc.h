// The completion of a scene after its file has been read: camera tangents,
// per-face normals and centres, per-vertex tangent frames, edge adjacency,
// the shadow-volume arrays and the GL buffers of every object.
//
// Where it differs from the plain steps, and the fault each difference
// mends:
//   - adjacency is also computed for files of version 1.2 or later without
//     chunk 0x56 (crash: the shadow code read a missing array);
//   - an object without basefaces takes its adjacency from faces (crash: the
//     search read a missing array);
//   - a GL buffer entry point the GL unit lacks is skipped and logged (crash:
//     a call through a null pointer);
//   - a second run on the same record first releases the arrays and buffer
//     names of the first (lost memory and GL buffers on every rerun).
#pragma once
#include <cstddef>

#include "engine/ovx.h"

// Runs as the last step of a successful LoadScene, on the thread whose GL
// context is current. Every array it allocates comes from LoaderGetMem
// (engine/loader.h); the GL calls go through the GL unit's extension
// variables, and a variable that is null is skipped (logged once per run).
// Running it again on the same record first releases what the previous run
// computed (arrays and buffer names). A record marked sharedcopy is left
// alone: its arrays belong to another record.
//
// It reads nothing outside the record's arrays: a face whose corner is not
// below vertexcount gets a zero normal and centre and no tangent frame, a
// material index outside the materials counts as an untextured material,
// and a null array counts as empty.
void PrecalculateScene(_OVX_SCENE* scene);

// Whether the precalculation computes every object's neighbours whatever
// the file carried: files of versions 1.0 and 1.1, whose adjacency arrays
// are replaced.
bool SceneAdjacencyReplaced(const _OVX_SCENE* scene);

// Gives back what PrecalculateScene computed: the arrays it allocated (and
// neighbours when they were computed, not read) go to LoaderRelease and are
// nulled, the buffer names are deleted through glDeleteBuffersARB (when the
// GL unit has it) and set to 0. Arrays read from the file stay. Nothing
// happens on a record marked sharedcopy.
void ReleasePrecalculation(_OVX_SCENE* scene);

// Fills the object's neighbours (facecount entries, allocated by the
// caller) from its basefaces (its faces when it has none): entry k of face i
// is the face across the edge from corner k to corner (k + 1) mod 3, or -1.
// Where more than two faces share an edge, the faces holding it pair up in
// index order (first with second, third with fourth, ...) and an odd last
// one keeps -1, which is what comparing every pair of faces in index order
// gives. An object without a neighbours array is left alone.
void ComputeNeighbours(_OVX_OBJECT* object);

// The tangent direction s and bitangent direction t of one face with corner
// positions p0-p2 and texture coordinates t0-t2 (as TexCoordToVector gives
// them). A component whose texture-space determinant is not above 0.00001
// in size keeps the value s and t bring in, so the caller passes the
// previous face's result.
void ComputeTangents(const _OVX_VECTOR& p0, const _OVX_VECTOR& p1, const _OVX_VECTOR& p2, const _OVX_VECTOR& t0,
                     const _OVX_VECTOR& t1, const _OVX_VECTOR& t2, _OVX_VECTOR& s, _OVX_VECTOR& t);

// (u, v, 0).
_OVX_VECTOR TexCoordToVector(const _OVX_TEXTCOORD& coord);

// normalize((p0 - p1) x (p2 - p1)): the normal of the side on which the
// corners run clockwise.
_OVX_VECTOR FaceNormal(const _OVX_VECTOR& p0, const _OVX_VECTOR& p1, const _OVX_VECTOR& p2);

// The fixed index pattern of the shadow volume: quad k of 3 x faceTotal
// quads is the triangles (4k, 4k+1, 4k+2) and (4k+2, 4k+3, 4k).
void FillVolumeIndices(_OVX_FACE* indices, size_t faceTotal);
