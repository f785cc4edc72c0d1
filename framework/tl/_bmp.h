// Windows bitmaps: uncompressed 8, 24 and 32 bits, read only.
//
// Where this filter does not do the plain thing, and the fault it mends:
// - the pixels start at the file header's pixel offset and the palette right
//   after the info header, not at "file length - image size" and offset 54
//   (plainly wrong result: a palette image whose colours-used field is 0,
//   or whose image-size field is 0, would be read from the wrong bytes);
// - rows are read at their padded length, top-down files in their order,
//   and run-length packed files refused with 1004 (plainly wrong result);
// - info headers shorter than 40 bytes and negative widths are refused with
//   1000 (plainly wrong result: the fields are not where they are read;
//   unsafe input).
#pragma once
#include <cstdint>

#include "framework/tl/TL.h"
#include "framework/tl/layout.h"

int bmpDetect(const uint8_t* buffer, int64_t length);
txBitmap* bmpRead(const uint8_t* buffer, int64_t length);
// The same, with the pixels given the load's layout at once.
txBitmap* bmpReadAs(const uint8_t* buffer, int64_t length, txLayout& layout);
