// Key tracks of a scene: the camera's eye and target follow a cubic curve
// through their keys, object and light positions a straight line between
// theirs. Times are frame numbers; before the first key a track holds its
// first position, after the last key its last one.
//
// Every evaluation stays inside the track: a camera or target track
// without keys gives the origin, one of a single key that key at any time.
//
// Where the tracks differ from the plain description, and the fault each
// difference mends:
//   - a straight-line track without keys (or without its array), and an
//     object or light index outside the scene, give the origin (reads of
//     keys that do not exist: crash);
//   - a straight-line time that lies in no segment (keys out of order, a
//     time that is not a number) gives the first key (a read of key -1:
//     crash);
//   - a curve segment remembered from an earlier call is clamped to the
//     track at hand (it may come from a longer track: crash);
//   - a segment's frame difference is taken in 64 bits (two frames far
//     apart overflow 32 bits: unsafe input).
#pragma once
#include <cstdint>

#include "engine/ovx.h"

// The camera tracks' state: the last segment the eye and the target used.
// They persist between calls: a time that falls in no segment (keys out of
// order) reuses them.
struct CameraUnitState {
  int32_t CameraSegment = 0;
  int32_t TargetSegment = 0;
};
extern CameraUnitState CameraUnit;

void InitSplineUnit(void);

// (next - previous) / 6.
void KeyTangent(_OVX_VECTOR& tangent, const _OVX_KEYVECTOR& previous, const _OVX_KEYVECTOR& next);
// The tangents of one track of n keys into tangents[0..n-1]. A key without a
// neighbour on one side takes its own position in the neighbour's place, so
// a single key gets the tangent 0.
void ComputeTrackTangents(const _OVX_KEYVECTOR* keys, int32_t n, _OVX_VECTOR* tangents);
// Fills cameratangents and targettangents of the scene for the tracks that
// have keys (the arrays must hold camerakeycount and targetkeycount entries);
// a null array is left alone.
void ComputeCameraTangents(_OVX_SCENE* scene);

// The point at time on one curve track; segment is the remembered segment of
// that track. Null tangents count as zero tangents.
_OVX_VECTOR CurveTrackAtTime(const _OVX_KEYVECTOR* keys, const _OVX_VECTOR* tangents, int32_t n, float time,
                             int32_t& segment);
// The point at time on one straight-line track.
_OVX_VECTOR LinearTrackAtTime(const _OVX_KEYVECTOR* keys, int32_t n, float time);

void CameraAtTime(_OVX_VECTOR& eye, _OVX_VECTOR& target, const _OVX_SCENE* scene, float time);
// An object index outside the scene or a light index outside 0-7 gives the
// origin.
void ObjectPositionAtTime(_OVX_VECTOR& position, const _OVX_SCENE* scene, int32_t object, float time);
void LightPositionAtTime(_OVX_VECTOR& position, const _OVX_SCENE* scene, int32_t light, float time);
