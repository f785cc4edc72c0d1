#include "engine/camera.h"

#include <cmath>

#include "engine/vector.h"

CameraUnitState CameraUnit;

namespace {

constexpr float kTangentDivisor = 6.0f;
constexpr _OVX_VECTOR kOrigin{0.0f, 0.0f, 0.0f};

_OVX_VECTOR Position(const _OVX_KEYVECTOR& key) { return {key.x, key.y, key.z}; }

// The frame distance of a segment; the frames are file integers, so the
// difference is taken wide enough not to overflow.
float FrameSpan(const _OVX_KEYVECTOR& from, const _OVX_KEYVECTOR& to) {
  return static_cast<float>(static_cast<int64_t>(to.frame) - static_cast<int64_t>(from.frame));
}

// The end position when time lies at or outside an end of the track; null
// when time lies inside (or is not a number).
const _OVX_KEYVECTOR* HeldEnd(const _OVX_KEYVECTOR* keys, int32_t n, float time) {
  if (time <= static_cast<float>(keys[0].frame)) return &keys[0];
  if (time >= static_cast<float>(keys[n - 1].frame)) return &keys[n - 1];
  return nullptr;
}

bool InSegment(const _OVX_KEYVECTOR* keys, int32_t s, float time) {
  return static_cast<float>(keys[s].frame) <= time && time < static_cast<float>(keys[s + 1].frame);
}

}  // namespace

void InitSplineUnit(void) {}

void KeyTangent(_OVX_VECTOR& tangent, const _OVX_KEYVECTOR& previous, const _OVX_KEYVECTOR& next) {
  tangent = VecScale(VecSub(Position(next), Position(previous)), 1.0f / kTangentDivisor);
}

void ComputeTrackTangents(const _OVX_KEYVECTOR* keys, int32_t n, _OVX_VECTOR* tangents) {
  if (!keys || !tangents) return;
  for (int32_t i = 0; i < n; ++i) {
    const _OVX_KEYVECTOR& previous = keys[i > 0 ? i - 1 : i];
    const _OVX_KEYVECTOR& next = keys[i + 1 < n ? i + 1 : i];
    KeyTangent(tangents[i], previous, next);
  }
}

void ComputeCameraTangents(_OVX_SCENE* scene) {
  if (!scene) return;
  ComputeTrackTangents(scene->camerakeys, scene->camerakeycount, scene->cameratangents);
  ComputeTrackTangents(scene->targetkeys, scene->targetkeycount, scene->targettangents);
}

_OVX_VECTOR CurveTrackAtTime(const _OVX_KEYVECTOR* keys, const _OVX_VECTOR* tangents, int32_t n, float time,
                             int32_t& segment) {
  if (!keys || n <= 0) return kOrigin;
  if (const _OVX_KEYVECTOR* end = HeldEnd(keys, n, time)) return Position(*end);
  // A time that is not a number passes both ends; one key has no segment.
  if (n == 1) return Position(keys[0]);
  // The remembered segment is clamped because it may come from a longer
  // track of another scene.
  for (int32_t i = 0; i + 1 < n; ++i)
    if (InSegment(keys, i, time)) segment = i;
  if (segment < 0 || segment > n - 2) segment = segment < 0 ? 0 : n - 2;
  const int32_t s = segment;
  const float t = (time - static_cast<float>(keys[s].frame)) / FrameSpan(keys[s], keys[s + 1]);
  const float u = 1.0f - t;
  const float b0 = u * u * u, b1 = 3.0f * u * u * t, b2 = 3.0f * u * t * t, b3 = t * t * t;
  const _OVX_VECTOR p0 = Position(keys[s]), p1 = Position(keys[s + 1]);
  const _OVX_VECTOR t0 = tangents ? tangents[s] : kOrigin, t1 = tangents ? tangents[s + 1] : kOrigin;
  const _OVX_VECTOR c0 = VecAdd(p0, t0), c1 = VecSub(p1, t1);
  return VecAdd(VecAdd(VecScale(p0, b0), VecScale(c0, b1)), VecAdd(VecScale(c1, b2), VecScale(p1, b3)));
}

_OVX_VECTOR LinearTrackAtTime(const _OVX_KEYVECTOR* keys, int32_t n, float time) {
  if (!keys || n <= 0) return kOrigin;
  if (const _OVX_KEYVECTOR* end = HeldEnd(keys, n, time)) return Position(*end);
  int32_t segment = -1;
  for (int32_t i = 0; i + 1 < n; ++i)
    if (InSegment(keys, i, time)) segment = i;
  // A time strictly between the end frames always lies in some segment (the
  // track has to cross it); this only keeps key -1 from ever being read.
  if (segment < 0) return Position(keys[0]);
  const _OVX_VECTOR p0 = Position(keys[segment]), p1 = Position(keys[segment + 1]);
  const float t = (time - static_cast<float>(keys[segment].frame)) / FrameSpan(keys[segment], keys[segment + 1]);
  return VecAdd(p0, VecScale(VecSub(p1, p0), t));
}

void CameraAtTime(_OVX_VECTOR& eye, _OVX_VECTOR& target, const _OVX_SCENE* scene, float time) {
  if (!scene) {
    eye = target = kOrigin;
    return;
  }
  eye = CurveTrackAtTime(scene->camerakeys, scene->cameratangents, scene->camerakeycount, time,
                         CameraUnit.CameraSegment);
  target = CurveTrackAtTime(scene->targetkeys, scene->targettangents, scene->targetkeycount, time,
                            CameraUnit.TargetSegment);
}

void ObjectPositionAtTime(_OVX_VECTOR& position, const _OVX_SCENE* scene, int32_t object, float time) {
  position = kOrigin;
  if (!scene || !scene->objects || object < 0 || object >= scene->objectcount) return;
  const _OVX_OBJECT& o = scene->objects[object];
  position = LinearTrackAtTime(o.positionkeys, o.positionkeycount, time);
}

void LightPositionAtTime(_OVX_VECTOR& position, const _OVX_SCENE* scene, int32_t light, float time) {
  position = kOrigin;
  if (!scene || light < 0 || light >= kOvxLightCount) return;
  const _OVX_LIGHT& l = scene->lights[light];
  position = LinearTrackAtTime(l.keys, l.keycount, time);
}
