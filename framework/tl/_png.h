// PNG images through libpng: read untransformed from memory (palette
// indices with their palette, 16-bit samples, sub-byte depths), and written
// as 8-bit RGB, RGBA or grey.
#pragma once
#include <cstdint>

#include "framework/tl/TL.h"

int pngDetect(const uint8_t* buffer, int64_t length);
txBitmap* pngRead(const uint8_t* buffer, int64_t length);
int pngWrite(const char* path, txBitmap* bitmap);
