// The TGA filter.
#include "framework/tl/_tga.h"

#include <cstring>

#include "framework/base/file.h"
#include "framework/base/log.h"
#include "framework/base/mem.h"
#include "framework/tl/filterutil.h"
#include "framework/tl/converters.h"

namespace {

using namespace tlfilter;

constexpr int64_t kHeader = 18;
constexpr int kPaletteEntries = 256;


// Builds the 256-entry palette (R, G, B, A) from a map of 24- or 32-bit
// entries stored B, G, R(, A). Returns NULL with the last error set.
uint8_t* ReadPalette(const uint8_t* map, int64_t entries, int entryBytes) {
  auto* palette = static_cast<uint8_t*>(SYS_MemGet(kPaletteEntries * 4));
  if (!palette) {
    errSetLastError(ERR_NOMEM);
    return nullptr;
  }
  for (int64_t i = 0; i < entries && i < kPaletteEntries; ++i) {
    const uint8_t* e = map + i * entryBytes;
    palette[i * 4] = e[2];
    palette[i * 4 + 1] = e[1];
    palette[i * 4 + 2] = e[0];
    palette[i * 4 + 3] = entryBytes == 4 ? e[3] : 255;
  }
  return palette;
}

// Expands 8-bit indices through the colour map into R, G, B pixels.
txBitmap* ReadMapped(txBitmap* b, const uint8_t* buffer, int64_t length, int64_t mapStart, int64_t mapEntries,
                     int mapBits) {
  if (mapBits != 24 && mapBits != 32) return Fail(b, TX_ERR_DEPTH);
  if (b->bits != 8) return Fail(b, TX_ERR_DEPTH);
  int entryBytes = mapBits / 8;
  int64_t pixelsAt = mapStart + mapEntries * entryBytes;
  int64_t count = static_cast<int64_t>(b->width) * b->height;
  if (pixelsAt > length || count > length - pixelsAt) return Fail(b, TX_ERR_SHORT);
  if (count * 3 > INT32_MAX) return Fail(b, ERR_NOMEM);
  uint8_t* palette = ReadPalette(buffer + mapStart, mapEntries, entryBytes);
  if (!palette) return Fail(b, ERR_NOMEM);
  b->data[0] = static_cast<uint8_t*>(SYS_MemGet(static_cast<size_t>(count * 3)));
  if (!b->data[0]) {
    SYS_MemFree(palette);
    return Fail(b, ERR_NOMEM);
  }
  txExpandPalette(buffer + pixelsAt, b->data[0], count, palette);
  SYS_MemFree(palette);
  b->bits = 24;
  b->subtype = TX_SUB_24;
  b->type = TX_TYPE_RGB;
  b->sizes[0] = static_cast<int32_t>(count * 3);
  return b;
}

txBitmap* ReadDirect(txBitmap* b, const uint8_t* buffer, int64_t length, int64_t pixelsAt) {
  int64_t bytes = static_cast<int64_t>(b->width) * b->height * (b->bits / 8);
  if (pixelsAt > length || bytes > length - pixelsAt) return Fail(b, TX_ERR_SHORT);
  if (bytes > INT32_MAX) return Fail(b, ERR_NOMEM);
  b->data[0] = static_cast<uint8_t*>(SYS_MemGet(static_cast<size_t>(bytes)));
  if (!b->data[0]) return Fail(b, ERR_NOMEM);
  std::memcpy(b->data[0], buffer + pixelsAt, static_cast<size_t>(bytes));
  b->sizes[0] = static_cast<int32_t>(bytes);
  return b;
}

}  // namespace

int tgaDetect(const uint8_t* buffer, int64_t length) {
  static const uint8_t trueColour[7] = {0, 2, 0, 0, 0, 0, 0};
  static const uint8_t grey[7] = {0, 3, 0, 0, 0, 0, 0};
  // Colour-mapped images start their map at entry 0; the map may have any
  // length, as the reader takes the entries the file holds.
  static const uint8_t mapped[4] = {1, 1, 0, 0};
  if (!buffer || length < 8) return TX_ERR_FORMAT;
  if (std::memcmp(buffer + 1, trueColour, 7) == 0 || std::memcmp(buffer + 1, grey, 7) == 0 ||
      std::memcmp(buffer + 1, mapped, 4) == 0)
    return 0;
  return TX_ERR_FORMAT;
}

txBitmap* tgaRead(const uint8_t* buffer, int64_t length) {
  errClear();
  if (!buffer || length < kHeader) return Fail(nullptr, TX_ERR_SHORT);
  int32_t width = U16(buffer + 12), height = U16(buffer + 14), bits = buffer[16];
  int64_t mapEntries = U16(buffer + 5);
  if (width == 0 || height == 0) return Fail(nullptr, TX_ERR_FORMAT);
  if (bits == 0 || bits % 8 != 0 || bits > 32) return Fail(nullptr, TX_ERR_DEPTH);

  txBitmap* b = txNewBitmap();
  if (!b) return Fail(nullptr, ERR_NOMEM);
  b->width = width;
  b->height = height;
  b->bits = bits;
  b->type = TX_TYPE_BGR;
  b->subtype = SubtypeOf(bits, mapEntries != 0);
  int64_t dataAt = kHeader + buffer[0];
  // The map holds its own number of entries (only the first 256 can be
  // indexed by 8-bit pixels); the pixels follow the whole map.
  b = mapEntries ? ReadMapped(b, buffer, length, dataAt, mapEntries, buffer[7]) : ReadDirect(b, buffer, length, dataAt);
  if (!b) return nullptr;
  bool topFirst = (buffer[17] & 0x20) != 0;
  if (!topFirst && txFlipRows(b->data[0], static_cast<int64_t>(b->width) * b->bits / 8, b->height) != 0)
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
  SYS_DbgMessage(SYS_DBG_MSG, "[TL][tga][%s:%d:%s()] %s: %d\n", SYS_LOGPOS, "smp->type", bitmap->type);
  SYS_DbgMessage(SYS_DBG_MSG, "[TL][tga][%s:%d:%s()] %s: %d\n", SYS_LOGPOS, "smp->subtype", bitmap->subtype);
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
  header[12] = static_cast<uint8_t>(bitmap->width);
  header[13] = static_cast<uint8_t>(bitmap->width >> 8);
  header[14] = static_cast<uint8_t>(bitmap->height);
  header[15] = static_cast<uint8_t>(bitmap->height >> 8);
  header[16] = static_cast<uint8_t>(bits);
  header[17] = 0x20;

  SYS_File_p f = SYS_FileOpen(path, SYS_FILE_WRITE);
  if (!f) return WriteFail(ERR_CANTOPEN);
  if (txVerbose()) {
    SYS_DbgMessage(SYS_DBG_MSG, "[TL][tga][%s:%d:%s()] filename (write): %s\n", SYS_LOGPOS, path);
    SYS_DbgMessage(SYS_DBG_MSG, "[TL][tga][%s:%d:%s()]  size: %dx%d\n", SYS_LOGPOS, bitmap->width, bitmap->height);
    SYS_DbgMessage(SYS_DBG_MSG, "[TL][tga][%s:%d:%s()]  bits: %d\n", SYS_LOGPOS, bitmap->bits);
    SYS_DbgMessage(SYS_DBG_MSG, "[TL][tga][%s:%d:%s()]  imagesize[0]: %u\n", SYS_LOGPOS,
                   static_cast<unsigned>(bitmap->sizes[0]));
    SYS_DbgMessage(SYS_DBG_MSG, "[TL][tga][%s:%d:%s()]  comment: %s\n", SYS_LOGPOS, comment ? comment : "");
  }
  // The file stores B, G, R: bytes in R, G, B order are exchanged on the way.
  bool swap = imageType == 2 && bitmap->type == TX_TYPE_RGB;
  bool ok = Put(f, header, kHeader) && (commentLength == 0 || Put(f, comment, static_cast<int64_t>(commentLength))) &&
            PutPixels(f, bitmap, swap);
  SYS_FileClose(f);
  return ok ? 0 : WriteFail(ERR_CANTOPEN);
}
