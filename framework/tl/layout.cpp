// Pixel copies into the layout a load wants.
#include "framework/tl/layout.h"

#include <cstring>
#include <utility>

#include "framework/base/mem.h"

namespace {

constexpr int kSwap24 = 3;
constexpr int kSwap32 = 4;

// Three bytes a pixel: bytes 0 and 2 change places. Written as plain byte
// moves, which the compiler turns into shuffles of whole vectors.
void Swap24(uint8_t* __restrict out, const uint8_t* __restrict in, int64_t pixels) {
  for (int64_t i = 0; i < pixels; ++i) {
    out[3 * i] = in[3 * i + 2];
    out[3 * i + 1] = in[3 * i + 1];
    out[3 * i + 2] = in[3 * i];
  }
}

// Four bytes a pixel: the same exchange done on whole 32-bit words.
void Swap32(uint8_t* __restrict out, const uint8_t* __restrict in, int64_t pixels) {
  for (int64_t i = 0; i < pixels; ++i) {
    uint32_t v;
    std::memcpy(&v, in + 4 * i, 4);
    v = (v & 0xFF00FF00u) | ((v >> 16) & 0xFFu) | ((v & 0xFFu) << 16);
    std::memcpy(out + 4 * i, &v, 4);
  }
}

// Exchanges bytes 0 and 2 of the pixels of a row, or copies it as it is.
void CopyRow(uint8_t* out, const uint8_t* in, int64_t count, int step) {
  if (step) txCopySwapped(out, in, count, step);
  else std::memcpy(out, in, static_cast<size_t>(count));
}

// The type a reader's pixels end with: the wanted one for 24 and 32 bits.
int32_t TargetType(const txLayout& layout, int32_t own, int32_t bits) {
  const bool ordered = layout.order == TX_TYPE_BGR || layout.order == TX_TYPE_RGB;
  const bool swappable = (own == TX_TYPE_BGR || own == TX_TYPE_RGB) && (bits == 24 || bits == 32);
  return ordered && swappable ? layout.order : own;
}

}  // namespace

void txCopySwapped(uint8_t* out, const uint8_t* in, int64_t count, int step) {
  const int64_t pixels = count / step;
  if (step == kSwap24) Swap24(out, in, pixels);
  else Swap32(out, in, pixels);
  const int64_t done = pixels * step;
  std::memcpy(out + done, in + done, static_cast<size_t>(count - done));
  if (count - done >= 3) std::swap(out[done], out[done + 2]);
}

bool txFillLevel(txBitmap* b, const txStoredPixels& stored, txLayout& layout) {
  const int64_t rowBytes = static_cast<int64_t>(b->width) * b->bits / 8;
  const int64_t rows = b->height;
  const int64_t level = b->sizes[0];
  const int32_t target = TargetType(layout, b->type, b->bits);
  const int swap = target == stored.type ? 0 : (b->bits == 24 ? kSwap24 : b->bits == 32 ? kSwap32 : 0);
  auto* out = static_cast<uint8_t*>(SYS_MemGetFilled(static_cast<size_t>(level)));
  if (!out) return false;
  b->data[0] = out;
  const bool reversed = stored.bottomUp != layout.flip;
  for (int64_t y = 0; y < rows; ++y) {
    const int64_t from = reversed ? rows - 1 - y : y;
    CopyRow(out + y * rowBytes, stored.bytes + from * stored.stride, rowBytes, swap);
  }
  // What the level holds behind its rows keeps its place.
  if (level > rows * rowBytes)
    CopyRow(out + rows * rowBytes, stored.bytes + rows * stored.stride, level - rows * rowBytes, swap);
  b->type = target;
  layout.flipDone = layout.flip;
  return true;
}
