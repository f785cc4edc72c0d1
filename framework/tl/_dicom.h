// DICOM images in explicit-VR little-endian encoding with uncompressed 8-bit
// samples, read only.
//
// Where this filter does not do the plain thing, and the fault it mends:
// - three-sample images get `type` 1, as their samples are R, G, B
//   (plainly wrong result: the loader's swap would exchange red and blue);
// - the image attributes and pixel data are taken from the top level only,
//   whatever the order of "OB" elements, and pixels of other than 8 bits
//   allocated, planar pixels, compressed pixels, no samples or a pixel
//   element smaller than the image are refused (plainly wrong result; unsafe
//   input).
#pragma once
#include <cstdint>

#include "framework/tl/TL.h"
#include "framework/tl/layout.h"

int dicomDetect(const uint8_t* buffer, int64_t length);
txBitmap* dicomRead(const uint8_t* buffer, int64_t length);
// The same, with the pixels given the load's layout at once.
txBitmap* dicomReadAs(const uint8_t* buffer, int64_t length, txLayout& layout);
