// DICOM images in explicit-VR little-endian encoding with uncompressed 8-bit
// samples, read only.
#pragma once
#include <cstdint>

#include "framework/tl/TL.h"

int dicomDetect(const uint8_t* buffer, int64_t length);
txBitmap* dicomRead(const uint8_t* buffer, int64_t length);
