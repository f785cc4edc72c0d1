// Pixel converters and scaling.
#include "framework/tl/converters.h"

#include <cstring>

#include "framework/base/log.h"
#include "framework/base/mem.h"

#define TL_LOG(level, ...) SYS_LOG_TAGGED(level, "[TL]", __VA_ARGS__)

namespace {

int64_t PixelCount(const txBitmap* b) { return static_cast<int64_t>(b->width) * b->height; }

// Level 0 holds at least width x height pixels of `bytesPerPixel` bytes.
bool HasPixels(const txBitmap* b, int64_t bytesPerPixel) {
  return b->data[0] && b->width > 0 && b->height > 0 && b->type != TX_TYPE_COMPRESSED &&
         b->sizes[0] >= PixelCount(b) * bytesPerPixel;
}

// A new level-0 buffer of pixels x bytesPerPixel bytes, or NULL (error 5).
uint8_t* NewLevel(int64_t pixels, int64_t bytesPerPixel) {
  int64_t bytes = pixels * bytesPerPixel;
  auto* p = bytes > 0 && bytes <= INT32_MAX ? static_cast<uint8_t*>(SYS_MemGet(static_cast<size_t>(bytes))) : nullptr;
  if (!p) errSetLastError(ERR_NOMEM);
  return p;
}

void Install(txBitmap* b, uint8_t* pixels, int32_t bits, int64_t bytes) {
  SYS_MemFree(b->data[0]);
  b->data[0] = pixels;
  b->bits = bits;
  b->sizes[0] = static_cast<int32_t>(bytes);
}

int BadBitmap() {
  errSetLastError(ERR_BADARG);
  return -1;
}

}  // namespace

int tx32to24(txBitmap* bitmap) {
  errClear();
  if (!bitmap) return BadBitmap();
  if (bitmap->bits != 32) return 0;
  if (!HasPixels(bitmap, 4)) return BadBitmap();
  int64_t n = PixelCount(bitmap);
  uint8_t* out = NewLevel(n, 3);
  if (!out) return -1;
  const uint8_t* in = bitmap->data[0];
  for (int64_t i = 0; i < n; ++i) std::memcpy(out + i * 3, in + i * 4, 3);
  Install(bitmap, out, 24, n * 3);
  bitmap->subtype = TX_SUB_24;
  return 0;
}

int tx24to32(txBitmap* bitmap) {
  errClear();
  if (!bitmap) return BadBitmap();
  if (bitmap->bits != 24) return 0;
  if (!HasPixels(bitmap, 3)) return BadBitmap();
  int64_t n = PixelCount(bitmap);
  uint8_t* out = NewLevel(n, 4);
  if (!out) return -1;
  const uint8_t* in = bitmap->data[0];
  for (int64_t i = 0; i < n; ++i) {
    std::memcpy(out + i * 4, in + i * 3, 3);
    out[i * 4 + 3] = 255;
  }
  Install(bitmap, out, 32, n * 4);
  // The layout is now four channels; a 24-bit subtype would have the 32-bit
  // rows uploaded as three-channel ones.
  bitmap->subtype = TX_SUB_32;
  return 0;
}

int tx24to8(txBitmap* bitmap, int32_t channel) {
  errClear();
  if (!bitmap) return BadBitmap();
  if (bitmap->bits != 24) {
    errSetLastError(TX_ERR_DEPTH);
    return -1;
  }
  if (channel < 0 || channel > 2 || !HasPixels(bitmap, 3)) return BadBitmap();
  int64_t n = PixelCount(bitmap);
  uint8_t* out = NewLevel(n, 1);
  if (!out) return -1;
  const uint8_t* in = bitmap->data[0];
  for (int64_t i = 0; i < n; ++i) out[i] = in[i * 3 + channel];
  Install(bitmap, out, 8, n);
  bitmap->subtype = TX_SUB_GREY;
  return 0;
}

int tx8to24(txBitmap* bitmap) {
  errClear();
  if (!bitmap) return BadBitmap();
  if (bitmap->bits != 8) {
    errSetLastError(TX_ERR_DEPTH);
    return -1;
  }
  if (!HasPixels(bitmap, 1)) return BadBitmap();
  int64_t n = PixelCount(bitmap);
  uint8_t* out = NewLevel(n, 3);
  if (!out) return -1;
  const uint8_t* in = bitmap->data[0];
  for (int64_t i = 0; i < n; ++i) out[i * 3] = out[i * 3 + 1] = out[i * 3 + 2] = in[i];
  Install(bitmap, out, 24, n * 3);
  bitmap->subtype = TX_SUB_24;
  return 0;
}

txBitmap* txIntensity(const txBitmap* bitmap, int32_t weighted) {
  errClear();
  if (!bitmap) {
    errSetLastError(TX_ERR_FORMAT);
    return nullptr;
  }
  if (bitmap->bits < 24) {
    errSetLastError(TX_ERR_DEPTH);
    return nullptr;
  }
  int64_t step = bitmap->bits == 32 ? 4 : 3;
  if (!HasPixels(bitmap, step)) {
    errSetLastError(ERR_BADARG);
    return nullptr;
  }
  txBitmap* out = txNewBitmap();
  int64_t n = PixelCount(bitmap);
  if (out) out->data[0] = NewLevel(n, 1);
  if (!out || !out->data[0]) {
    SYS_MemFree(out);
    errSetLastError(ERR_NOMEM);
    return nullptr;
  }
  out->width = bitmap->width;
  out->height = bitmap->height;
  out->bits = 8;
  out->subtype = TX_SUB_GREY;
  out->sizes[0] = static_cast<int32_t>(n);
  const uint8_t* in = bitmap->data[0];
  for (int64_t i = 0; i < n; ++i) {
    unsigned b0 = in[i * step], b1 = in[i * step + 1], b2 = in[i * step + 2];
    out->data[0][i] = static_cast<uint8_t>(weighted ? (77 * b0 + 150 * b1 + 29 * b2) >> 8 : (b0 + b1 + b2) / 3);
  }
  return out;
}

void txExpandPalette(const uint8_t* indices, uint8_t* pixels, int64_t count, const uint8_t* palette) {
  for (int64_t i = 0; i < count; ++i) std::memcpy(pixels + i * 3, palette + 4 * indices[i], 3);
}

int txInvert(txBitmap* bitmap) {
  errClear();
  if (!bitmap) return BadBitmap();
  for (int32_t i = 0; i < bitmap->sizes[0] && bitmap->data[0]; ++i) bitmap->data[0][i] = ~bitmap->data[0][i];
  return 0;
}

int txScale(txBitmap* bitmap, int32_t width, int32_t height) {
  errClear();
  if (!bitmap) return BadBitmap();
  // A side of 0 would divide by zero; the smallest image has one pixel.
  if (width < 1) width = 1;
  if (height < 1) height = 1;
  TL_LOG(SYS_DBG_MSG, " !!! --- scale to %dx%d\n", width, height);
  if (width > bitmap->width) {
    if (height > bitmap->height)
      TL_LOG(SYS_DBG_MSG, " !!! Magnify ... please implement me.\n");
    else
      TL_LOG(SYS_DBG_MSG, " !!! Scale ... please implement me.\n");
    return 0;
  }
  if (height > bitmap->height) {
    TL_LOG(SYS_DBG_MSG, " !!! Scale ... please implement me.\n");
    return 0;
  }
  // Only uncompressed one-level images of 8, 24 or 32 bits: DXT blocks and
  // further levels are not pixels of level 0's size.
  if (bitmap->type == TX_TYPE_COMPRESSED || bitmap->levels != 1) return BadBitmap();
  if (bitmap->bits != 8 && bitmap->bits != 24 && bitmap->bits != 32) {
    errSetLastError(TX_ERR_DEPTH);
    return -1;
  }
  int64_t p = bitmap->bits / 8;
  if (!HasPixels(bitmap, p)) return BadBitmap();

  // Per target pixel: four sums and a count. The sums are 64-bit so that a
  // cell of many source pixels cannot wrap.
  struct Cell {
    uint64_t sum[4];
    uint32_t count;
  };
  int64_t cells = static_cast<int64_t>(width) * height;
  auto* acc = static_cast<Cell*>(SYS_MemGet(static_cast<size_t>(cells) * sizeof(Cell)));  // zero-filled
  uint8_t* out = acc ? NewLevel(cells, p) : nullptr;
  if (!out) {
    SYS_MemFree(acc);
    errSetLastError(ERR_NOMEM);
    return -1;
  }

  float rx = static_cast<float>(bitmap->width) / static_cast<float>(width);
  float ry = static_cast<float>(bitmap->height) / static_cast<float>(height);
  float fx = 1.0f / rx, fy = 1.0f / ry;
  const uint8_t* in = bitmap->data[0];
  for (int64_t y = 0; y < bitmap->height; ++y) {
    int64_t cy = static_cast<int64_t>(static_cast<float>(y) * fy);
    if (cy >= height) cy = height - 1;
    for (int64_t x = 0; x < bitmap->width; ++x) {
      int64_t cx = static_cast<int64_t>(static_cast<float>(x) * fx);
      if (cx >= width) cx = width - 1;
      Cell& c = acc[cy * width + cx];
      const uint8_t* px = in + (y * bitmap->width + x) * p;
      for (int64_t k = 0; k < p; ++k) c.sum[k] += px[k];
      c.count++;
    }
  }
  for (int64_t i = 0; i < cells; ++i) {
    const Cell& c = acc[i];
    float inv = c.count ? 1.0f / static_cast<float>(c.count) : 0.0f;
    for (int64_t k = 0; k < p; ++k) {
      float v = static_cast<float>(c.sum[k]) * inv;
      v = v < 0.0f ? 0.0f : v > 255.0f ? 255.0f : v;
      out[i * p + k] = static_cast<uint8_t>(v);
    }
  }
  SYS_MemFree(acc);
  Install(bitmap, out, bitmap->bits, cells * p);
  bitmap->width = width;
  bitmap->height = height;
  return 0;
}
