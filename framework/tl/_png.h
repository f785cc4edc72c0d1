// PNG images through libpng: read untransformed from memory (palette
// indices with their palette, 16-bit samples, sub-byte depths), and written
// as 8-bit RGB, RGBA or grey.
//
// Where this filter does not do the plain thing, and the fault each mends:
// - the writer takes the byte order from `type` 0 or 1, not from `subtype`,
//   since a loaded image swapped to R, G, B keeps subtype 0 (corrupted data);
// - a bitmap whose `bits` or level size contradict its `subtype` is refused
//   with 1005 (unsafe input: rows would be read past the level);
// - a file that cannot be written to its end fails the write (failure
//   reported as success);
// - an image larger than its file could inflate to is refused with 1002
//   before its rows are allocated (unsafe input).
#pragma once
#include <cstdint>

#include "framework/tl/TL.h"

int pngDetect(const uint8_t* buffer, int64_t length);
txBitmap* pngRead(const uint8_t* buffer, int64_t length);
int pngWrite(const char* path, txBitmap* bitmap);
