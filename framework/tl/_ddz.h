// QTX (formerly DDZ): the levels of a DDS image each stored as a compressed
// block of the framework, or plainly where that is smaller. Read and written.
//
// Where this filter does not do the plain thing, and the fault each mends:
// - the writer refuses with 1005 a DDS bitmap that was decoded rather than
//   kept, or whose levels are missing (corrupted data: pixels would be
//   stored as DXT blocks no reader can take);
// - a file that cannot be written to its end fails with 2 (failure
//   reported as success).
//
// The file (all numbers little-endian):
//
//   offset  size  field
//        0     4  magic "QTX " (the reader also takes "DDZ ")
//        4     2  width of level 0, signed
//        6     2  height of level 0, signed
//        8     4  FourCC: "DXT1", "DXT3" or "DXT5"
//       12     2  level count, signed
//       14         the levels, the largest first
//
// Each level is a signed 32-bit length L and its bytes: L > 0 is one
// compressed block of the framework (SYS_ZBlock) holding the level's DXT
// blocks; L <= 0 is -L bytes of the DXT blocks stored plainly. The writer
// compresses a level exactly when that makes it smaller. A level's size is
// that of the DDS filter (_dds.h).
#pragma once
#include <cstdint>

#include "framework/tl/TL.h"

int ddzDetect(const uint8_t* buffer, int64_t length);
txBitmap* ddzRead(const uint8_t* buffer, int64_t length);
// Writes a bitmap that the DDS filter read and kept compressed.
int ddzWrite(const char* path, txBitmap* bitmap);
