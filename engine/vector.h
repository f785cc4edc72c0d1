// Three-component arithmetic on _OVX_VECTOR values, shared by the
// precalculation and the shadow volumes. Results are new values; an input
// is never changed (except by VecZero), so a result may be stored over one.
#pragma once
#include <cmath>

#include "engine/ovx.h"

inline void VecZero(_OVX_VECTOR& v) { v = _OVX_VECTOR{0.0f, 0.0f, 0.0f}; }

inline _OVX_VECTOR VecAdd(const _OVX_VECTOR& a, const _OVX_VECTOR& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }

inline _OVX_VECTOR VecSub(const _OVX_VECTOR& a, const _OVX_VECTOR& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }

inline _OVX_VECTOR VecScale(const _OVX_VECTOR& a, float s) { return {a.x * s, a.y * s, a.z * s}; }

inline _OVX_VECTOR VecCross(const _OVX_VECTOR& a, const _OVX_VECTOR& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

inline float VecLength(const _OVX_VECTOR& a) { return std::sqrt(a.x * a.x + a.y * a.y + a.z * a.z); }

// The zero vector stays zero rather than becoming NaN.
inline _OVX_VECTOR VecNormalize(const _OVX_VECTOR& a) {
  float length = VecLength(a);
  if (length == 0.0f) return {0.0f, 0.0f, 0.0f};
  return {a.x / length, a.y / length, a.z / length};
}
