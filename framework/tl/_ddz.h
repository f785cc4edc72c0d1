// QTX (formerly DDZ): the levels of a DDS image each stored as a compressed
// block of the framework, or plainly where that is smaller. Read and written.
#pragma once
#include <cstdint>

#include "framework/tl/TL.h"

int ddzDetect(const uint8_t* buffer, int64_t length);
txBitmap* ddzRead(const uint8_t* buffer, int64_t length);
// Writes a bitmap that the DDS filter read and kept compressed.
int ddzWrite(const char* path, txBitmap* bitmap);
