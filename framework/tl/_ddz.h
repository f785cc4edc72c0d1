// QTX (formerly DDZ): the levels of a DDS image each stored as a compressed
// block of the framework, or plainly where that is smaller. Read and written.
//
// Where this filter does not do the plain thing, and the fault each mends:
// - the writer refuses with 1005 a DDS bitmap that was decoded rather than
//   kept, or whose levels are missing (corrupted data: pixels would be
//   stored as DXT blocks no reader can take);
// - a file that cannot be written to its end fails with 2 (failure
//   reported as success).
#pragma once
#include <cstdint>

#include "framework/tl/TL.h"

int ddzDetect(const uint8_t* buffer, int64_t length);
txBitmap* ddzRead(const uint8_t* buffer, int64_t length);
// Writes a bitmap that the DDS filter read and kept compressed.
int ddzWrite(const char* path, txBitmap* bitmap);
