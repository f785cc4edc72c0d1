// The main program's small procedures: whole-file loading, number texts,
// and four helpers that the disk itself does not call (a point-path spline,
// a GL error logger, a one-number-per-line reader and a word rewriter).
#pragma once
#include <cstdint>

#include "framework/base/file.h"
#include "units/shortstr.h"

// The whole file in a new block of the run-time heap (free it with
// FreeWholeFile). A file that cannot be opened normally ends the program
// inside the file layer; where no error handler does so, the result is null.
// size, when given, receives the number of bytes the read brought, which
// is less than the file's size when the file gives fewer than it said.
uint8_t* LoadWholeFile(const char* name, int64_t* size = nullptr);
void FreeWholeFile(uint8_t*& block);

// Decimal, a minus sign for negative values, no blanks or leading zeros.
ShortString IntStr(int32_t value);
// The decimal text with a "0" in front when it has exactly one character.
ShortString TwoDigitStr(int32_t value);

struct SplineVector {
  float x, y, z;
};
// A path through count points at the parameters 0, 1, ..., count - 1; each
// point has a tangent. userData is not read here.
struct PointPath {
  int32_t count;
  SplineVector* tangents;
  SplineVector* points;
  void* userData;
};
void SplineTangent(SplineVector& out, const SplineVector& previous, const SplineVector& next);
// Fills the tangents; a path of fewer than two points has no neighbours to
// take them from and is left as it is.
void SplineTangents(PointPath path);
// The point at t, clamped to the ends; a path without points gives 0, 0, 0.
void SplinePoint(SplineVector& out, const PointPath* path, float t);

// Writes "GL_ERROR:" and the error's text to standard output for every
// pending GL error.
void LogGLErrors(void);
// Reads one line and converts it to a real; a line that is not a number
// ends the program with the run-time library's conversion error.
void ReadFloatLine(SYS_File_p file, float& value);
// Reads every whole 32-bit word of the block and writes it back unchanged;
// a tail of fewer than four bytes is left alone.
void RewriteWords(void* block, int64_t length);
