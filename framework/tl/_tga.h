// Targa images: uncompressed true-colour, grey and colour-mapped, read and
// written.
//
// Where this filter does not do the plain thing, and the fault each mends:
// - the writer takes the byte order from `type` 0 or 1, not from `subtype`,
//   since a loaded image swapped to R, G, B keeps subtype 0 (corrupted data);
// - the writer refuses with 1005 a bitmap whose `bits` or level size
//   contradict its `subtype` (unsafe input: rows read past the level) and
//   sides above 65535 (corrupted data: the header would cut them);
// - a file that cannot be written to its end fails the write with 2
//   (failure reported as success);
// - colour maps of 32-bit entries give their colours, maps of other entry
//   sizes and mapped pixels wider than 8 bits are refused with 1004 (plainly
//   wrong result: a black or misindexed image), and a map read past the file
//   fails with 1002 (unsafe input).
#pragma once
#include <cstdint>

#include "framework/tl/TL.h"
#include "framework/tl/layout.h"

int tgaDetect(const uint8_t* buffer, int64_t length);
txBitmap* tgaRead(const uint8_t* buffer, int64_t length);
// The same, with uncompressed true-colour and grey pixels given the load's
// layout at once.
txBitmap* tgaReadAs(const uint8_t* buffer, int64_t length, txLayout& layout);
int tgaWrite(const char* path, txBitmap* bitmap);
