#include "app/spare.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/ife.h"
#include "platform/kernel.h"
#include "platform/rtl.h"
#include "units/glunit.h"
#include "units/gluunit.h"

using namespace qgl;

uint8_t* LoadWholeFile(const char* name, int64_t* size) {
  if (size) *size = 0;
  SYS_File_p file = SYS_FileOpen(name, 0);
  if (!file) return nullptr;
  int64_t length = SYS_FileSize(name);
  if (length < 0) length = 0;
  // One spare byte, so that an empty file still gets a block of its own.
  auto* block = static_cast<uint8_t*>(std::calloc(static_cast<size_t>(length) + 1, 1));
  if (block) {
    // The size is what the file said before the read; the block holds what
    // the read brought, which is fewer bytes when the file is shorter than
    // it said (the rest of the block stays zero).
    int64_t got = SYS_FileRead(file, block, length);
    if (size) *size = std::clamp<int64_t>(got, 0, length);
  }
  SYS_FileClose(file);
  return block;
}

void FreeWholeFile(uint8_t*& block) {
  std::free(block);
  block = nullptr;
}

ShortString IntStr(int32_t value) {
  // 64 bits, so that the most negative value has a positive counterpart.
  int64_t v = value;
  bool negative = v < 0;
  if (negative) v = -v;
  char digits[16];
  int n = 0;
  do {
    digits[n++] = static_cast<char>('0' + v % 10);
    v /= 10;
  } while (v);
  ShortString text = negative ? "-" : "";
  while (n) text += digits[--n];
  return text;
}

ShortString TwoDigitStr(int32_t value) {
  ShortString text = IntStr(value);
  return text.size() == 1 ? ShortString("0") + text : text;
}

void SplineTangent(SplineVector& out, const SplineVector& previous, const SplineVector& next) {
  out.x = (next.x - previous.x) / 6.0f;
  out.y = (next.y - previous.y) / 6.0f;
  out.z = (next.z - previous.z) / 6.0f;
}

void SplineTangents(PointPath path) {
  int32_t n = path.count;
  if (n < 2 || !path.points || !path.tangents) return;
  const SplineVector* p = path.points;
  SplineVector* t = path.tangents;
  SplineTangent(t[0], p[0], p[1]);
  SplineTangent(t[n - 1], p[n - 2], p[n - 1]);
  for (int32_t i = 1; i <= n - 2; ++i) SplineTangent(t[i], p[i - 1], p[i + 1]);
}

namespace {
float Bezier(float p0, float t0, float p1, float t1, float u) {
  float v = 1.0f - u;
  float b0 = v * v * v, b1 = 3 * v * v * u, b2 = 3 * v * u * u, b3 = u * u * u;
  return p0 * b0 + (p0 + t0) * b1 + (p1 - t1) * b2 + p1 * b3;
}
}  // namespace

void SplinePoint(SplineVector& out, const PointPath* path, float t) {
  if (!path || path->count < 1 || !path->points) {
    out = SplineVector{0, 0, 0};
    return;
  }
  const SplineVector* p = path->points;
  int32_t n = path->count;
  if (!(t > 0.0f)) {  // also a NaN parameter
    out = p[0];
    return;
  }
  if (t >= static_cast<float>(n - 1)) {
    out = p[n - 1];
    return;
  }
  int32_t i = 0;
  while (i < n - 2 && !(static_cast<float>(i) <= t && t < static_cast<float>(i + 1))) ++i;
  // A path without tangents runs straight from point to point.
  static const SplineVector kNone{0, 0, 0};
  const SplineVector& t0 = path->tangents ? path->tangents[i] : kNone;
  const SplineVector& t1 = path->tangents ? path->tangents[i + 1] : kNone;
  float u = t - static_cast<float>(i);
  out.x = Bezier(p[i].x, t0.x, p[i + 1].x, t1.x, u);
  out.y = Bezier(p[i].y, t0.y, p[i + 1].y, t1.y, u);
  out.z = Bezier(p[i].z, t0.z, p[i + 1].z, t1.z, u);
}

void LogGLErrors(void) {
  if (!glGetError) return;
  // A lost context can answer an error for ever; a real queue is short.
  constexpr int kMaxErrors = 64;
  for (int i = 0; i < kMaxErrors; ++i) {
    GLenum e = glGetError();
    if (e == 0) return;
    const GLubyte* s = gluErrorString ? gluErrorString(e) : nullptr;
    // gluErrorString gives null for a code it does not know.
    if (std::printf("GL_ERROR:%s\n", s ? reinterpret_cast<const char*>(s) : "") < 0) RtlIOError("write", 0);
  }
}

void ReadFloatLine(SYS_File_p file, float& value) {
  char line[513] = {};
  if (!SYS_FileGetStr(file, line, 512)) line[0] = 0;
  ShortString text = ife_trim(line);
  double v = 0;
  if (!ife_parse_real(text.view(), v)) {
    std::fprintf(stderr, "Runtime error 106: '%s' is not a valid floating point value\n", text.data());
    plat::Exit(106);
  }
  value = ife_to_single(v);
}

void RewriteWords(void* block, int64_t length) {
  auto* p = static_cast<uint8_t*>(block);
  while (length >= 4) {
    uint32_t word;
    std::memcpy(&word, p, sizeof word);
    std::memcpy(p, &word, sizeof word);
    p += 4;
    length -= 4;
  }
}
