// Pixel converters and the box-filter reduction. Each works on level 0 of a
// bitmap and replaces its buffer in one allocation.
//
// Where they do not do the plain thing, and the fault each mends:
// - tx24to32 sets `subtype` 2 (plainly wrong result: four-channel rows would
//   be uploaded as three-channel ones);
// - a level 0 shorter than its width, height and depth say is refused with
//   10 (unsafe input);
// - txScale makes sides below 1 into 1 and keeps every source pixel inside
//   the target (crash), and sums in 64 bits (plainly wrong result: sums of
//   cells of more than 16 million pixels would wrap).
#pragma once
#include <cstdint>

#include "framework/tl/TL.h"

int tx32to24(txBitmap* bitmap);
int tx24to32(txBitmap* bitmap);
int tx24to8(txBitmap* bitmap, int32_t channel);
int tx8to24(txBitmap* bitmap);
txBitmap* txIntensity(const txBitmap* bitmap, int32_t weighted);
// pixels[3i .. 3i+2] = palette[4 * indices[i] .. +2]; the palette holds 256
// four-byte entries.
void txExpandPalette(const uint8_t* indices, uint8_t* pixels, int64_t count, const uint8_t* palette);
int txInvert(txBitmap* bitmap);
int txScale(txBitmap* bitmap, int32_t width, int32_t height);
