// DirectDraw surfaces of DXT1, DXT3 or DXT5 blocks with their mipmap levels,
// read only.
#pragma once
#include <cstdint>

#include "framework/tl/TL.h"

int ddsDetect(const uint8_t* buffer, int64_t length);
txBitmap* ddsRead(const uint8_t* buffer, int64_t length);
