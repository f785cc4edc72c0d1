// DirectDraw surfaces of DXT1, DXT3 or DXT5 blocks with their mipmap levels,
// read only.
//
// Where this filter does not do the plain thing, and the fault each mends:
// - FourCCs other than DXT1, DXT3 and DXT5, sides of 0 or less and a level
//   count that leaves no level after the quality skip are refused with 1000
//   (unsafe input; plainly wrong result: a bitmap without levels);
// - the walk stops at the 1 x 1 level and at the 13 slots, and `levels`
//   counts the levels stored (crash: slots past the record; plainly wrong
//   result: levels reported that hold nothing);
// - level data that run past the end of the file fail with 1002 (unsafe
//   input).
#pragma once
#include <cstdint>

#include "framework/tl/TL.h"

int ddsDetect(const uint8_t* buffer, int64_t length);
txBitmap* ddsRead(const uint8_t* buffer, int64_t length);
