// Portable pixmaps: binary grey (P5) and colour (P6) images of maximum value
// 255, read and written.
//
// Where this filter does not do the plain thing, and the fault each mends:
// - the writer takes the byte order from `type` 0 or 1, not from `subtype`,
//   since a loaded image swapped to R, G, B keeps subtype 0 (corrupted data);
// - the writer refuses with 1000 a bitmap whose `bits` or level size
//   contradict its `subtype` (unsafe input), and a file that cannot be
//   written to its end fails with 9 (failure reported as success);
// - the maximum-value line must follow the size line and read "255"
//   (plainly wrong result: samples of another range would be read as bytes
//   from wherever a "255" line turned up);
// - a size line with a negative side, or a number beyond 32 bits, is refused
//   with 1000 (unsafe input).
#pragma once
#include <cstdint>

#include "framework/tl/TL.h"
#include "framework/tl/layout.h"

int pnmDetect(const uint8_t* buffer, int64_t length);
txBitmap* pnmRead(const uint8_t* buffer, int64_t length);
// The same, with the pixels given the load's layout at once.
txBitmap* pnmReadAs(const uint8_t* buffer, int64_t length, txLayout& layout);
int pnmWrite(const char* path, txBitmap* bitmap);
