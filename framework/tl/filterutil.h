// Small pieces that the image filters share: the bounded cursor over a file
// buffer, the pixel layout of a depth, and the common failure exit.
#pragma once
#include <cstdint>
#include <span>

#include "framework/base/bytes.h"
#include "framework/base/log.h"
#include "framework/tl/TL.h"

namespace tlfilter {

// A cursor over the file bytes a reader was handed. A negative length (a
// caller's mistake) gives an empty cursor rather than a huge one.
inline SYS_ByteReader ReaderOf(const uint8_t* buffer, int64_t length) {
  return SYS_ByteReader(buffer, length > 0 ? static_cast<uint64_t>(length) : 0);
}

// Copies count bytes from offset into out; false, and nothing read, when
// they do not all lie inside.
inline bool CopyAt(SYS_ByteReader& r, uint64_t offset, uint8_t* out, uint64_t count) {
  return r.seek(offset) && r.copy(std::span<uint8_t>(out, static_cast<size_t>(count)));
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
