// Small pieces that the image filters share: little-endian fields, the pixel
// layout of a depth, and the common failure exit.
#pragma once
#include <cstdint>

#include "framework/base/log.h"
#include "framework/tl/TL.h"

namespace tlfilter {

inline uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t U32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}

// The pixel layout of a depth; 8 bits are palette indices when a palette
// comes with them and grey levels otherwise.
inline int32_t SubtypeOf(int32_t bits, bool palette) {
  switch (bits) {
    case 24: return TX_SUB_24;
    case 32: return TX_SUB_32;
    case 8: return palette ? TX_SUB_PALETTE : TX_SUB_GREY;
    default: return TX_SUB_OTHER;
  }
}

// Releases a half-built bitmap and reports the code.
inline txBitmap* Fail(txBitmap* bitmap, int code) {
  if (bitmap) txFree(&bitmap);
  errSetLastError(code);
  return nullptr;
}

}  // namespace tlfilter
