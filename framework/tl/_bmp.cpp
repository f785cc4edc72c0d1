// The BMP filter.
#include "framework/tl/_bmp.h"

#include "framework/base/log.h"
#include "framework/base/mem.h"
#include "framework/tl/filterutil.h"
#include "framework/tl/layout.h"

#define TL_BMP_LOG(level, ...) SYS_LOG_TAGGED(level, "[TL][bmp]", __VA_ARGS__)
#define TL_BMP_LOG_AS(level, fn, ...) SYS_LOG_TAGGED_AS(level, "[TL][bmp]", fn, __VA_ARGS__)

namespace {

using namespace tlfilter;

constexpr int64_t kHeader = 54;       // file header and the 40-byte info header
constexpr int64_t kInfoAt = 14;       // where the info header starts
constexpr int64_t kMinInfoSize = 40;  // older 12-byte core headers have other fields
constexpr int64_t kPixelsAtField = 10;  // bfOffBits, the last field before the info header

struct BmpHeader {
  int64_t pixelsAt;   // bfOffBits
  int64_t infoSize;
  int32_t width;
  int64_t height;     // rows; negative in the file for top-down images
  bool topDown;
  int32_t bits;
  uint32_t compression;
  uint32_t imageSize;
  uint32_t coloursUsed;
};

// The fields of the file header and of the 40-byte info header that every
// later version begins with. The caller has checked that all of them are
// there; a cursor that ran out anyway leaves the header zero.
BmpHeader ParseHeader(SYS_ByteReader r) {
  BmpHeader h{};
  r.seek(kPixelsAtField);
  h.pixelsAt = r.u32();
  h.infoSize = r.u32();
  h.width = r.i32();
  int64_t height = r.i32();
  r.skip(2);  // planes
  h.bits = r.u16();
  h.compression = r.u32();
  h.imageSize = r.u32();
  r.skip(8);  // resolution
  h.coloursUsed = r.u32();
  if (!r.ok()) return BmpHeader{};
  h.topDown = height < 0;
  h.height = height < 0 ? -height : height;
  return h;
}

// The palette is kept when colours-used says there is one: the bytes between
// the info header and the pixels, four per entry as the file stores them.
int64_t PaletteBytes(const BmpHeader& h, int64_t paletteAt) {
  if (h.coloursUsed == 0) return 0;
  return h.pixelsAt > paletteAt ? h.pixelsAt - paletteAt : 0;
}

// The verbose lines of `fn`, the reader.
void LogHeader(const BmpHeader& h, const txBitmap* b, const char* fn) {
  if (!txVerbose()) return;
  TL_BMP_LOG_AS(SYS_DBG_MSG, fn, " BMP: %s\n", txCurrentName());
  TL_BMP_LOG_AS(SYS_DBG_MSG, fn, "  size: %dx%d bits: %d\n", b->width, b->height, b->bits);
  TL_BMP_LOG_AS(SYS_DBG_MSG, fn, "  clr used: %d\n", static_cast<int>(h.coloursUsed));
  TL_BMP_LOG_AS(SYS_DBG_MSG, fn, "  compression: %d\n", static_cast<int>(h.compression));
  TL_BMP_LOG_AS(SYS_DBG_MSG, fn, "  imagesize[0]: %lu\n", static_cast<unsigned long>(b->sizes[0]));
}

}  // namespace

int bmpDetect(const uint8_t* buffer, int64_t length) {
  SYS_ByteReader r = ReaderOf(buffer, length);
  return r.expect("BM") ? 0 : TX_ERR_FORMAT;
}

txBitmap* bmpRead(const uint8_t* buffer, int64_t length) {
  txLayout own = txReaderLayout;
  return bmpReadAs(buffer, length, own);
}

txBitmap* bmpReadAs(const uint8_t* buffer, int64_t length, txLayout& layout) {
  errClear();
  if (!buffer || length < kHeader) return Fail(nullptr, TX_ERR_SHORT);
  SYS_ByteReader r = ReaderOf(buffer, length);
  BmpHeader h = ParseHeader(r);
  if (h.bits < 8 || h.bits == 16) return Fail(nullptr, TX_ERR_DEPTH);
  // Run-length packed pixels (1, 2) cannot be copied as rows; bit fields (3)
  // over 32-bit pixels can.
  if (h.compression == 1 || h.compression == 2 || h.compression > 3) return Fail(nullptr, TX_ERR_DEPTH);
  if (h.infoSize < kMinInfoSize || h.width < 0 || h.height > INT32_MAX) return Fail(nullptr, TX_ERR_FORMAT);
  // An image without pixels gets no block.
  if (h.width == 0 || h.height == 0) return Fail(nullptr, ERR_NOMEM);
  int64_t paletteAt = kInfoAt + h.infoSize;
  if (h.pixelsAt < paletteAt) h.pixelsAt = paletteAt;  // some writers leave the offset 0

  txBitmap* b = txNewBitmap();
  if (!b) return Fail(nullptr, ERR_NOMEM);
  b->type = TX_TYPE_BGR;
  b->width = h.width;
  b->height = static_cast<int32_t>(h.height);
  b->bits = h.bits;
  int64_t paletteBytes = PaletteBytes(h, paletteAt);
  b->subtype = SubtypeOf(h.bits, h.coloursUsed != 0);
  int64_t rowBytes = static_cast<int64_t>(h.width) * h.bits / 8;
  int64_t stride = (rowBytes + 3) / 4 * 4;  // rows are padded to four bytes in the file
  // The last row may come without its padding. Divisions keep the products
  // of hostile sizes from overflowing.
  int64_t available = length - h.pixelsAt;
  if (available < rowBytes || (h.height - 1) > (available - rowBytes) / stride) return Fail(b, TX_ERR_SHORT);
  int64_t levelBytes = rowBytes * h.height;
  if (levelBytes > INT32_MAX) return Fail(b, ERR_NOMEM);
  b->sizes[0] = static_cast<int32_t>(levelBytes);
  LogHeader(h, b, "bmpRead");  // the reader's name, whichever entry was taken

  if (paletteBytes) {
    b->comment = static_cast<uint8_t*>(SYS_MemGet(static_cast<size_t>(paletteBytes)));
    if (!b->comment) return Fail(b, ERR_NOMEM);
    if (!CopyAt(r, static_cast<uint64_t>(paletteAt), b->comment, static_cast<uint64_t>(paletteBytes)))
      return Fail(b, TX_ERR_SHORT);
  }
  // Bottom-up files (positive height) store the last row first. The check
  // above keeps every stored row inside the file.
  if (!r.seek(static_cast<uint64_t>(h.pixelsAt))) return Fail(b, TX_ERR_SHORT);
  const txStoredPixels stored{r.take(static_cast<uint64_t>(available)).data(), stride, !h.topDown, TX_TYPE_BGR};
  if (!txFillLevel(b, stored, layout)) return Fail(b, ERR_NOMEM);
  return b;
}
