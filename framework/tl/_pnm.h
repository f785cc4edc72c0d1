// Portable pixmaps: binary grey (P5) and colour (P6) images of maximum value
// 255, read and written.
#pragma once
#include <cstdint>

#include "framework/tl/TL.h"

int pnmDetect(const uint8_t* buffer, int64_t length);
txBitmap* pnmRead(const uint8_t* buffer, int64_t length);
int pnmWrite(const char* path, txBitmap* bitmap);
