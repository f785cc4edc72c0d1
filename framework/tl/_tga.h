// Targa images: uncompressed true-colour, grey and colour-mapped, read and
// written.
#pragma once
#include <cstdint>

#include "framework/tl/TL.h"

int tgaDetect(const uint8_t* buffer, int64_t length);
txBitmap* tgaRead(const uint8_t* buffer, int64_t length);
int tgaWrite(const char* path, txBitmap* bitmap);
