// Windows bitmaps: uncompressed 8, 24 and 32 bits, read only.
#pragma once
#include <cstdint>

#include "framework/tl/TL.h"

int bmpDetect(const uint8_t* buffer, int64_t length);
txBitmap* bmpRead(const uint8_t* buffer, int64_t length);
