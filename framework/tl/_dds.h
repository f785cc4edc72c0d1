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
//
// The fields read (all little-endian 32-bit; a file has at least 128 bytes):
//
//   offset  field
//        0  magic "DDS "
//       12  height of level 0
//       16  width of level 0
//       28  mipmap count (0 is taken as 1)
//       84  FourCC: "DXT1", "DXT3" or "DXT5"
//      128  the DXT blocks of level 0, each further level directly behind
//
// A level of w x h pixels (each side at least 1; level i is level 0 shifted
// right by i) holds ((w + 3) / 4) x ((h + 3) / 4) blocks of 8 bytes (DXT1)
// or 16 bytes (DXT3, DXT5).
#pragma once
#include <cstdint>

#include "framework/tl/TL.h"

int ddsDetect(const uint8_t* buffer, int64_t length);
txBitmap* ddsRead(const uint8_t* buffer, int64_t length);
