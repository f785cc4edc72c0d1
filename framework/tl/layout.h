// The layout a load wants a plain reader's pixels in. A reader that copies
// its pixels out of the file can put them straight into the colour order and
// row order that the loader would otherwise give them afterwards with a swap
// and a flip: one pass over the pixels instead of three.
#pragma once
#include <cstdint>

#include "framework/tl/TL.h"

struct txLayout {
  int32_t order;  // the `type` wanted for 24- and 32-bit pixels; txStoredOrder: the reader's own
  bool flip;      // rows wanted bottom first
  bool flipDone;  // set by the reader that gave the rows that order itself
};

constexpr int32_t txStoredOrder = -1;
// What a reader hands out when it is called on its own.
constexpr txLayout txReaderLayout = {txStoredOrder, false, false};

// Pixels as a file stores them.
struct txStoredPixels {
  const uint8_t* bytes;  // the first stored row
  int64_t stride;        // from one stored row to the next (rows may be padded)
  bool bottomUp;         // the first stored row is the image's last
  int32_t type;          // the order of the stored bytes
};

// Gives `b` (its `type` the reader's own, its sizes set) a level 0 filled from
// the stored rows in the layout's order and row order, in one pass; bytes of
// the level behind the rows are taken from behind the stored rows. A swap is
// made for 24- and 32-bit pixels only; every other case keeps the reader's
// own order, and the loader's swap handles it as it always has. False when
// memory runs out.
bool txFillLevel(txBitmap* b, const txStoredPixels& stored, txLayout& layout);

// Copies count bytes from in to out, exchanging bytes 0 and 2 of every
// `step`-byte pixel (3 or 4) as txSwapRB does, a cut-short last pixel of 3
// bytes included.
void txCopySwapped(uint8_t* out, const uint8_t* in, int64_t count, int step);
