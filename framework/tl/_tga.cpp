// The TGA filter.
#include "framework/tl/_tga.h"

#include <cstring>
#include <span>

#include "framework/base/file.h"
#include "framework/base/log.h"
#include "framework/base/mem.h"
#include "framework/tl/filterutil.h"
#include "framework/tl/converters.h"
#include "framework/tl/layout.h"

#define TL_TGA_LOG(level, ...) SYS_LOG_TAGGED(level, "[TL][tga]", __VA_ARGS__)

namespace {

using namespace tlfilter;

constexpr int64_t kHeader = 18;
constexpr int kPaletteEntries = 256;


// The header fields that the reader uses.
struct TgaHeader {
  uint8_t idLength;
  uint16_t mapEntries;
  uint8_t mapBits;
  int32_t width, height, bits;
  bool topFirst;  // descriptor bit 5
};

TgaHeader ParseHeader(SYS_ByteReader& r) {
  TgaHeader h{};
  h.idLength = r.u8();
  r.skip(4);  // map type, image type, first map entry
  h.mapEntries = r.u16();
  h.mapBits = r.u8();
  r.skip(4);  // origin
  h.width = r.u16();
  h.height = r.u16();
  h.bits = r.u8();
  h.topFirst = (r.u8() & 0x20) != 0;
  return h;
}

// Builds the 256-entry palette (R, G, B, A) from a map of 24- or 32-bit
// entries stored B, G, R(, A), read at the cursor. Returns NULL with the last
// error set.
uint8_t* ReadPalette(SYS_ByteReader& r, int64_t entries, int entryBytes) {
  auto* palette = static_cast<uint8_t*>(SYS_MemGet(kPaletteEntries * 4));
  if (!palette) {
    errSetLastError(ERR_NOMEM);
    return nullptr;
  }
  for (int64_t i = 0; i < entries && i < kPaletteEntries; ++i) {
    uint8_t blue = r.u8(), green = r.u8(), red = r.u8();
    palette[i * 4] = red;
    palette[i * 4 + 1] = green;
    palette[i * 4 + 2] = blue;
    palette[i * 4 + 3] = entryBytes == 4 ? r.u8() : 255;
  }
  if (!r.ok()) {
    SYS_MemFree(palette);
    errSetLastError(TX_ERR_SHORT);
    return nullptr;
  }
  return palette;
}

// Expands 8-bit indices through the colour map into R, G, B pixels.
txBitmap* ReadMapped(txBitmap* b, SYS_ByteReader r, int64_t mapStart, int64_t mapEntries, int mapBits) {
  if (mapBits != 24 && mapBits != 32) return Fail(b, TX_ERR_DEPTH);
  if (b->bits != 8) return Fail(b, TX_ERR_DEPTH);
  int entryBytes = mapBits / 8;
  int64_t pixelsAt = mapStart + mapEntries * entryBytes;
  int64_t count = static_cast<int64_t>(b->width) * b->height;
  if (!r.seek(static_cast<uint64_t>(pixelsAt)) || !r.has(static_cast<uint64_t>(count))) return Fail(b, TX_ERR_SHORT);
  if (count * 3 > INT32_MAX) return Fail(b, ERR_NOMEM);
  r.seek(static_cast<uint64_t>(mapStart));
  uint8_t* palette = ReadPalette(r, mapEntries, entryBytes);
  if (!palette) return Fail(b, errPeekLastError());
  b->data[0] = static_cast<uint8_t*>(SYS_MemGet(static_cast<size_t>(count * 3)));
  r.seek(static_cast<uint64_t>(pixelsAt));
  std::span<const uint8_t> indices = r.take(static_cast<uint64_t>(count));
  if (!b->data[0] || !r.ok()) {
    SYS_MemFree(palette);
    return Fail(b, b->data[0] ? TX_ERR_SHORT : ERR_NOMEM);
  }
  txExpandPalette(indices.data(), b->data[0], count, palette);
  SYS_MemFree(palette);
  b->bits = 24;
  b->subtype = TX_SUB_24;
  b->type = TX_TYPE_RGB;
  b->sizes[0] = static_cast<int32_t>(count * 3);
  return b;
}

// Any depth is copied as it is stored, width x height x bits / 8 bytes,
// straight into its final rows. An empty image has no block to hold it
// (error 5).
txBitmap* ReadDirect(txBitmap* b, SYS_ByteReader r, int64_t pixelsAt, bool topFirst, txLayout& layout) {
  int64_t bytes = static_cast<int64_t>(b->width) * b->height * b->bits / 8;
  if (!r.seek(static_cast<uint64_t>(pixelsAt)) || !r.has(static_cast<uint64_t>(bytes))) return Fail(b, TX_ERR_SHORT);
  if (bytes > INT32_MAX) return Fail(b, ERR_NOMEM);
  b->sizes[0] = static_cast<int32_t>(bytes);
  const txStoredPixels stored{r.take(static_cast<uint64_t>(bytes)).data(), static_cast<int64_t>(b->width) * b->bits / 8,
                              !topFirst, TX_TYPE_BGR};
  if (!txFillLevel(b, stored, layout)) return Fail(b, ERR_NOMEM);
  return b;
}

}  // namespace

int tgaDetect(const uint8_t* buffer, int64_t length) {
  static const uint8_t trueColour[7] = {0, 2, 0, 0, 0, 0, 0};
  static const uint8_t grey[7] = {0, 3, 0, 0, 0, 0, 0};
  // Colour-mapped images start their map at entry 0 and hold a whole number
  // of 256 entries (the low byte of the map length is 0).
  static const uint8_t mapped[5] = {1, 1, 0, 0, 0};
  SYS_ByteReader r = ReaderOf(buffer, length);
  r.skip(1);  // identification length
  std::span<const uint8_t> head = r.take(sizeof trueColour);
  if (!r.ok()) return TX_ERR_FORMAT;
  if (std::memcmp(head.data(), trueColour, 7) == 0 || std::memcmp(head.data(), grey, 7) == 0 ||
      std::memcmp(head.data(), mapped, sizeof mapped) == 0)
    return 0;
  return TX_ERR_FORMAT;
}

txBitmap* tgaRead(const uint8_t* buffer, int64_t length) {
  txLayout own = txReaderLayout;
  return tgaReadAs(buffer, length, own);
}

txBitmap* tgaReadAs(const uint8_t* buffer, int64_t length, txLayout& layout) {
  errClear();
  if (!buffer || length < kHeader) return Fail(nullptr, TX_ERR_SHORT);
  SYS_ByteReader r = ReaderOf(buffer, length);
  TgaHeader h = ParseHeader(r);
  if (!r.ok()) return Fail(nullptr, TX_ERR_SHORT);

  txBitmap* b = txNewBitmap();
  if (!b) return Fail(nullptr, ERR_NOMEM);
  b->width = h.width;
  b->height = h.height;
  b->bits = h.bits;
  b->type = TX_TYPE_BGR;
  b->subtype = SubtypeOf(h.bits, h.mapEntries != 0);
  int64_t dataAt = kHeader + h.idLength;
  // The map holds its own number of entries (only the first 256 can be
  // indexed by 8-bit pixels); the pixels follow the whole map.
  if (!h.mapEntries) return ReadDirect(b, r, dataAt, h.topFirst, layout);
  b = ReadMapped(b, r, dataAt, h.mapEntries, h.mapBits);
  if (b && !h.topFirst && txFlipRows(b->data[0], static_cast<int64_t>(b->width) * b->bits / 8, b->height) != 0)
    return Fail(b, ERR_NOMEM);
  return b;
}

namespace {

bool Put(SYS_File_p f, const void* bytes, int64_t length) { return SYS_FileWrite(f, bytes, length) == 0; }

// Writes the level-0 rows; R, G, B images go out as B, G, R through a row
// buffer, so the bitmap itself is never changed.
bool PutPixels(SYS_File_p f, const txBitmap* b, bool swap) {
  int64_t bytes = static_cast<int64_t>(b->width) * b->height * (b->bits / 8);
  if (!swap) return Put(f, b->data[0], bytes);
  int64_t step = b->bits / 8, rowBytes = static_cast<int64_t>(b->width) * step;
  auto* row = static_cast<uint8_t*>(SYS_MemGet(static_cast<size_t>(rowBytes)));
  if (!row) return false;
  bool ok = true;
  for (int64_t y = 0; y < b->height && ok; ++y) {
    std::memcpy(row, b->data[0] + y * rowBytes, static_cast<size_t>(rowBytes));
    for (int64_t k = 0; k + 2 < rowBytes; k += step) {
      uint8_t t = row[k];
      row[k] = row[k + 2];
      row[k + 2] = t;
    }
    ok = Put(f, row, rowBytes);
  }
  SYS_MemFree(row);
  return ok;
}

int WriteFail(int code) {
  errSetLastError(code);
  return -1;
}

}  // namespace

int tgaWrite(const char* path, txBitmap* bitmap) {
  errClear();
  if (!bitmap) return WriteFail(ERR_BADARG);
  TL_TGA_LOG(SYS_DBG_MSG, " %s: %d\n", "smp->type", bitmap->type);
  TL_TGA_LOG(SYS_DBG_MSG, " %s: %d\n", "smp->subtype", bitmap->subtype);
  if (bitmap->type != TX_TYPE_BGR && bitmap->type != TX_TYPE_RGB) return WriteFail(TX_ERR_WRITETYPE);
  int imageType;
  int32_t bits;
  switch (bitmap->subtype) {
    case TX_SUB_24:
    case TX_SUB_24_SWAPPED: imageType = 2; bits = 24; break;
    case TX_SUB_32: imageType = 2; bits = 32; break;
    case TX_SUB_GREY: imageType = 3; bits = 8; break;
    default: return WriteFail(TX_ERR_WRITETYPE);
  }
  int64_t bytes = static_cast<int64_t>(bitmap->width) * bitmap->height * (bits / 8);
  if (bitmap->bits != bits || bitmap->width <= 0 || bitmap->height <= 0 || bitmap->width > 0xFFFF ||
      bitmap->height > 0xFFFF || !bitmap->data[0] || bitmap->sizes[0] < bytes)
    return WriteFail(TX_ERR_WRITETYPE);

  const char* comment = reinterpret_cast<const char*>(txFilterTGA.param1);
  size_t commentLength = comment ? std::strlen(comment) : 0;
  if (commentLength > 255) commentLength = 255;
  uint8_t header[kHeader] = {};
  header[0] = static_cast<uint8_t>(commentLength);
  header[2] = static_cast<uint8_t>(imageType);
  SYS_ByteWriter::PutU16(header + 12, static_cast<uint16_t>(bitmap->width));
  SYS_ByteWriter::PutU16(header + 14, static_cast<uint16_t>(bitmap->height));
  header[16] = static_cast<uint8_t>(bits);
  header[17] = 0x20;

  SYS_File_p f = SYS_FileOpen(path, SYS_FILE_WRITE);
  if (!f) return WriteFail(ERR_CANTOPEN);
  if (txVerbose()) {
    TL_TGA_LOG(SYS_DBG_MSG, " filename (write): %s\n", path);
    TL_TGA_LOG(SYS_DBG_MSG, "  size: %dx%d\n", bitmap->width, bitmap->height);
    TL_TGA_LOG(SYS_DBG_MSG, "  bits: %d\n", bitmap->bits);
    TL_TGA_LOG(SYS_DBG_MSG, "  imagesize[0]: %u\n", static_cast<unsigned>(bitmap->sizes[0]));
    TL_TGA_LOG(SYS_DBG_MSG, "  comment: %s\n", comment ? comment : "");
  }
  // The file stores B, G, R: bytes in R, G, B order are exchanged on the way.
  bool swap = imageType == 2 && bitmap->type == TX_TYPE_RGB;
  bool ok = Put(f, header, kHeader) && (commentLength == 0 || Put(f, comment, static_cast<int64_t>(commentLength))) &&
            PutPixels(f, bitmap, swap);
  SYS_FileClose(f);
  return ok ? 0 : WriteFail(ERR_CANTOPEN);
}
