// The PNG filter. libpng reports its errors by longjmp back to the function
// that set the jump point, so everything a failed read or write must release
// lives in a plain record on the heap whose address is fixed before setjmp;
// no object with a destructor is alive across those frames.
#include "framework/tl/_png.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>

#include "framework/base/file.h"
#include "framework/base/log.h"
#include "framework/base/mem.h"
#include "framework/tl/filterutil.h"

#define TL_PNG_LOG(level, ...) SYS_LOG_TAGGED(level, "[TL][png]", __VA_ARGS__)

namespace {

using namespace tlfilter;

constexpr int64_t kSignatureBytes = 8;
constexpr int kPaletteEntries = 256;
constexpr int kPaletteEntryBytes = 4;
constexpr int kErrWriteStruct = 10000;  // libpng cannot make its write structure
// Deflate cannot expand a byte of input to much more than a thousand bytes
// of output: an image needing more than this per file byte cannot be in the
// file, and its rows are never allocated.
constexpr int64_t kMaxInflation = 1100;
constexpr int64_t kInflationSlack = 4096;

// The in-memory file that the read callback hands out.
struct PngSource {
  const uint8_t* data;
  uint64_t size;
  uint64_t at;
  bool pastEnd;  // the stream asked for bytes the file does not hold
};

struct PngReadState {
  png_structp png;
  png_infop info;
  png_infop endInfo;
  PngSource source;
  uint8_t* pixels;
  png_bytep* rows;
  uint8_t* palette;
};

void ReleaseRead(PngReadState* s) {
  png_destroy_read_struct(s->png ? &s->png : nullptr, s->info ? &s->info : nullptr,
                          s->endInfo ? &s->endInfo : nullptr);
  SYS_MemFree(s->rows);
  SYS_MemFree(s->pixels);
  SYS_MemFree(s->palette);
  SYS_MemFree(s);
}

int32_t ChannelsOf(int colourType) {
  switch (colourType) {
    case PNG_COLOR_TYPE_GRAY: return 1;
    case PNG_COLOR_TYPE_RGB: return 3;
    case PNG_COLOR_TYPE_PALETTE: return 1;
    case PNG_COLOR_TYPE_GRAY_ALPHA: return 2;
    case PNG_COLOR_TYPE_RGB_ALPHA: return 4;
    default: return 0;
  }
}

// Only 8-bit samples have a layout the loader and the caches know; 16-bit
// samples and grey with alpha keep their bytes as they are (-1).
int32_t SubtypeOfPng(int colourType, int depth) {
  if (depth != 8) return TX_SUB_OTHER;
  switch (colourType) {
    case PNG_COLOR_TYPE_RGB: return TX_SUB_24;
    case PNG_COLOR_TYPE_RGB_ALPHA: return TX_SUB_32;
    case PNG_COLOR_TYPE_GRAY: return TX_SUB_GREY;
    case PNG_COLOR_TYPE_PALETTE: return TX_SUB_PALETTE;
    default: return TX_SUB_OTHER;
  }
}

// The palette as 256 entries of R, G, B and a 0 byte.
uint8_t* PaletteOf(png_structp png, png_infop info) {
  auto* palette = static_cast<uint8_t*>(SYS_MemGet(kPaletteEntries * kPaletteEntryBytes));
  if (!palette) return nullptr;
  std::memset(palette, 0, kPaletteEntries * kPaletteEntryBytes);
  png_colorp entries = nullptr;
  int count = 0;
  if (png_get_PLTE(png, info, &entries, &count) & PNG_INFO_PLTE) {
    for (int i = 0; i < count && i < kPaletteEntries; ++i) {
      palette[i * kPaletteEntryBytes] = entries[i].red;
      palette[i * kPaletteEntryBytes + 1] = entries[i].green;
      palette[i * kPaletteEntryBytes + 2] = entries[i].blue;
    }
  }
  return palette;
}

// The decode proper; a library error leaves it by longjmp to pngRead, with
// every block it made recorded in the state. Returns the error code or 0.
int Decode(PngReadState* s, txBitmap* b) {
  png_read_info(s->png, s->info);
  png_uint_32 width = 0, height = 0;
  int depth = 0, colourType = 0;
  png_get_IHDR(s->png, s->info, &width, &height, &depth, &colourType, nullptr, nullptr, nullptr);
  png_set_interlace_handling(s->png);
  png_read_update_info(s->png, s->info);
  int64_t rowBytes = static_cast<int64_t>(png_get_rowbytes(s->png, s->info));
  int64_t bytes = rowBytes * height;
  if ((rowBytes + 1) * height > static_cast<int64_t>(s->source.size) * kMaxInflation + kInflationSlack)
    return TX_ERR_SHORT;
  if (bytes <= 0 || bytes > INT32_MAX) return ERR_NOMEM;

  s->pixels = static_cast<uint8_t*>(SYS_MemGet(static_cast<size_t>(bytes)));
  s->rows = static_cast<png_bytep*>(SYS_MemGet(sizeof(png_bytep) * height));
  if (!s->pixels || !s->rows) return ERR_NOMEM;
  for (png_uint_32 y = 0; y < height; ++y) s->rows[y] = s->pixels + y * rowBytes;
  png_read_image(s->png, s->rows);
  SYS_MemFree(s->rows);
  if (colourType == PNG_COLOR_TYPE_PALETTE && !(s->palette = PaletteOf(s->png, s->info))) return ERR_NOMEM;
  png_read_end(s->png, s->endInfo);

  b->width = static_cast<int32_t>(width);
  b->height = static_cast<int32_t>(height);
  b->type = TX_TYPE_RGB;
  b->bits = ChannelsOf(colourType) * depth;
  b->subtype = SubtypeOfPng(colourType, depth);
  // Rows of sub-byte pixels end on a byte boundary: the level holds them all.
  b->sizes[0] = static_cast<int32_t>(bytes);
  return 0;
}

// libpng's read callback: the next count bytes of the in-memory file, or an
// error when the stream claims more than the file holds.
void pngReadData(png_structp png, png_bytep out, png_size_t count) {
  auto* source = static_cast<PngSource*>(png_get_io_ptr(png));
  if (count > source->size - source->at) {
    source->pastEnd = true;
    png_error(png, "unexpected end of file");
  }
  std::memcpy(out, source->data + source->at, count);
  source->at += count;
}

}  // namespace

int pngDetect(const uint8_t* buffer, int64_t length) {
  static const uint8_t kStart[4] = {0x89, 'P', 'N', 'G'};
  if (!buffer || length < 4) return TX_ERR_FORMAT;
  return std::memcmp(buffer, kStart, sizeof kStart) == 0 ? 0 : TX_ERR_FORMAT;
}

txBitmap* pngRead(const uint8_t* buffer, int64_t length) {
  errClear();
  if (!buffer || length < kSignatureBytes) return Fail(nullptr, TX_ERR_SHORT);
  if (png_sig_cmp(buffer, 0, kSignatureBytes) != 0) return Fail(nullptr, TX_ERR_FORMAT);
  txBitmap* const b = txNewBitmap();
  auto* s = static_cast<PngReadState*>(SYS_MemGet(sizeof(PngReadState)));
  if (!b || !s) {
    SYS_MemFree(s);
    return Fail(b, ERR_NOMEM);
  }
  std::memset(s, 0, sizeof *s);
  s->source = {buffer, static_cast<uint64_t>(length), kSignatureBytes, false};
  s->png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (s->png) s->info = png_create_info_struct(s->png);
  if (s->info) s->endInfo = png_create_info_struct(s->png);
  if (!s->endInfo) {
    ReleaseRead(s);
    return Fail(b, ERR_NOMEM);
  }
  if (setjmp(png_jmpbuf(s->png))) {
    int code = s->source.pastEnd ? TX_ERR_SHORT : ERR_NOMEM;
    ReleaseRead(s);
    return Fail(b, code);
  }
  png_set_read_fn(s->png, &s->source, pngReadData);
  png_set_sig_bytes(s->png, kSignatureBytes);
  int code = Decode(s, b);
  if (code != 0) {
    ReleaseRead(s);
    return Fail(b, code);
  }
  b->data[0] = s->pixels;
  b->comment = s->palette;
  s->pixels = nullptr;
  s->palette = nullptr;
  ReleaseRead(s);
  return b;
}

namespace {

struct PngWriteState {
  png_structp png;
  png_infop info;
  SYS_File_p file;
  png_bytep* rows;  // one pointer per row of level 0
  // Kept here rather than in a local of pngWrite: a local live across the
  // setjmp could be clobbered by the library's longjmp.
  int colourType;
};

void ReleaseWrite(PngWriteState* s) {
  if (s->png) png_destroy_write_struct(&s->png, s->info ? &s->info : nullptr);
  if (s->file) SYS_FileClose(s->file);
  SYS_MemFree(s->rows);
  SYS_MemFree(s);
}

int WriteFail(PngWriteState* s, int code) {
  if (s) ReleaseWrite(s);
  errSetLastError(code);
  return -1;
}

// The highest `type` the writer takes: 0 and 1 name a byte order, 2 is the
// kind number that txCreateDummy leaves in a 32-bit bitmap.
constexpr int32_t kMaxWritableType = 2;

// The PNG colour type of a writable bitmap, or -1.
int ColourTypeOf(const txBitmap* b) {
  if (!b || b->type > kMaxWritableType || !b->data[0] || b->width <= 0 || b->height <= 0) return -1;
  int colourType, bits;
  switch (b->subtype) {
    case TX_SUB_24:
    case TX_SUB_24_SWAPPED: colourType = PNG_COLOR_TYPE_RGB; bits = 24; break;
    case TX_SUB_32: colourType = PNG_COLOR_TYPE_RGB_ALPHA; bits = 32; break;
    case TX_SUB_GREY: colourType = PNG_COLOR_TYPE_GRAY; bits = 8; break;
    default: return -1;
  }
  int64_t bytes = static_cast<int64_t>(b->width) * b->height * (bits / 8);
  return b->bits == bits && b->sizes[0] >= bytes ? colourType : -1;
}

// Whether the colour bytes are stored B, G, R. `type` 0 and 1 say so
// themselves (a loaded image's `type` follows the swap to the wanted order);
// any other `type` is a kind number, and then the layout decides: only the
// swapped 24-bit layout holds R, G, B.
bool StoredBgr(const txBitmap* b) {
  if (b->type == TX_TYPE_BGR || b->type == TX_TYPE_RGB) return b->type == TX_TYPE_BGR;
  return b->subtype != TX_SUB_24_SWAPPED;
}

// The header and rows; a library error leaves by longjmp to pngWrite. The
// compression level is the option as set: one zlib does not know fails the
// write through the library.
void Encode(PngWriteState* s, const txBitmap* b, int colourType, FILE* stream) {
  png_init_io(s->png, stream);
  png_set_compression_level(s->png, static_cast<int>(txFilterPNG.param1));
  png_set_IHDR(s->png, s->info, static_cast<png_uint_32>(b->width), static_cast<png_uint_32>(b->height), 8,
               colourType, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(s->png, s->info);
  if (colourType != PNG_COLOR_TYPE_GRAY && StoredBgr(b)) png_set_bgr(s->png);
  const int64_t rowBytes = static_cast<int64_t>(b->width) * (b->bits / 8);
  for (int32_t y = 0; y < b->height; ++y) s->rows[y] = b->data[0] + y * rowBytes;
  png_write_image(s->png, s->rows);
  png_write_end(s->png, s->info);
}

}  // namespace

int pngWrite(const char* path, txBitmap* bitmap) {
  errClear();
  const int colourType = ColourTypeOf(bitmap);
  if (colourType < 0) return WriteFail(nullptr, bitmap ? TX_ERR_WRITETYPE : ERR_BADARG);
  if (txVerbose()) {
    TL_PNG_LOG(SYS_DBG_MSG, " PNG write: %s\n", path);
    TL_PNG_LOG(SYS_DBG_MSG, "  size: %dx%d %dbits\n", bitmap->width, bitmap->height, bitmap->bits);
    TL_PNG_LOG(SYS_DBG_MSG, "  type: %d subtype: %d\n", bitmap->type, bitmap->subtype);
  }
  auto* s = static_cast<PngWriteState*>(SYS_MemGet(sizeof(PngWriteState)));
  if (!s) return WriteFail(nullptr, ERR_NOMEM);
  std::memset(s, 0, sizeof *s);
  s->colourType = colourType;
  s->rows = static_cast<png_bytep*>(SYS_MemGet(sizeof(png_bytep) * static_cast<size_t>(bitmap->height)));
  if (!s->rows) return WriteFail(s, ERR_NOMEM);
  s->png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (!s->png) return WriteFail(s, kErrWriteStruct);
  s->info = png_create_info_struct(s->png);
  if (!s->info) return WriteFail(s, ERR_CANTCREATE);
  if (setjmp(png_jmpbuf(s->png))) return WriteFail(s, ERR_NOMEM);

  s->file = SYS_FileOpen(path, SYS_FILE_WRITE);
  if (!s->file) return WriteFail(s, ERR_CANTCREATE);
  // libpng writes through stdio: only a plain file on disk has a stream.
  if (s->file->handler != &SYS_FileHandlerRegular || !s->file->handle) return WriteFail(s, ERR_CANTCREATE);
  auto* stream = static_cast<FILE*>(s->file->handle);
  Encode(s, bitmap, s->colourType, stream);
  if (std::fflush(stream) != 0 || std::ferror(stream)) return WriteFail(s, ERR_CANTCREATE);
  ReleaseWrite(s);
  return 0;
}
