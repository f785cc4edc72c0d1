// The texture loader core: state, options, the filter table, load and save,
// and the bitmap record's life cycle.
#include "framework/tl/TL.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "framework/base/cfg.h"
#include "framework/base/log.h"
#include "framework/base/mem.h"
#include "framework/tl/_bmp.h"
#include "framework/tl/_dds.h"
#include "framework/tl/_ddz.h"
#include "framework/tl/_dicom.h"
#include "framework/tl/_jpeg.h"
#include "framework/tl/_png.h"
#include "framework/tl/_pnm.h"
#include "framework/tl/_tga.h"
#include "framework/tl/converters.h"
#include "framework/tl/layout.h"
#include "framework/tl/read.h"

#define TL_LOG(level, ...) SYS_LOG_TAGGED(level, "[TL]", __VA_ARGS__)

// The table in detection order: the first filter that accepts a buffer reads it.
txFilter txFilterBMP = {2, "Quarnel's BMP input filter", "Windows bitmap (BMP)", bmpDetect, bmpRead, nullptr, 0, 0};
txFilter txFilterPNG = {
    3, "Quarnel's PNG filter", "Portable Network Graphics format (PNG)", pngDetect, pngRead, pngWrite, 9, 0};
txFilter txFilterTGA = {0,
                        "Quarnel's TGA filter",
                        "Targa (TGA)",
                        tgaDetect,
                        tgaRead,
                        tgaWrite,
                        reinterpret_cast<intptr_t>("Created by Quarnel's TGA output filter. v0.3"),
                        0};
txFilter txFilterJPEG = {1, "Quarnel's JPEG filter", "JPEG format (JPG)", jpegDetect, jpegRead, jpegWrite, 75, 100};
txFilter txFilterDDS = {
    4, "Quarnel's DDS input filter", "Windows DirectDrawSurface (DDS)", ddsDetect, ddsRead, nullptr, 0, 0};
txFilter txFilterQTX = {5, "Quarnel's QTX filter", "Z packed DDS (QTX)", ddzDetect, ddzRead, ddzWrite, 0, 0};
txFilter txFilterPNM = {6, "Quarnel's PNM filter", "Portable Pixmap (PNM)", pnmDetect, pnmRead, pnmWrite, 0, 0};
txFilter txFilterDICOM = {7,
                          "Quarnel's DICOM input filter",
                          "Digital Imaging and Communications in Medicine (DICOM)",
                          dicomDetect,
                          dicomRead,
                          nullptr,
                          0,
                          0};

txFilter* const txFilters[] = {&txFilterBMP, &txFilterPNG, &txFilterTGA, &txFilterJPEG, &txFilterDDS,
                               &txFilterQTX, &txFilterPNM, &txFilterDICOM, nullptr};

namespace {

constexpr size_t kNameMax = 512;  // names (and companion names) keep at most 511 characters

struct LoaderState {
  txFunctions io{};
  int32_t verbose = 0;
  int32_t refusedDxt = 0;  // bit 0 DXT1, bit 1 DXT3, bit 2 DXT5; only ever grows
  int32_t keepDxt = 1;
  int32_t quality = 0;
  int32_t order = 0;
  int32_t flip = 0;
  int32_t jpegBaseline = 1;
  int32_t jpegProgressive = 1;
  int32_t jpegSmoothing = 0;
  int32_t dxt1 = 0, dxt3 = 0, dxt5 = 0;
  int32_t alphaMaps = 1;  // 0 during the nested load of an alpha image
  char name[kNameMax] = {};
};
LoaderState tl;

#define TL_VERBOSE(...)                                               \
  do {                                                                \
    if (tl.verbose) SYS_LOG_TAGGED(SYS_DBG_MSG, "[TL]", __VA_ARGS__); \
  } while (0)
#define TL_VERBOSE_AS(fn, ...)                                               \
  do {                                                                       \
    if (tl.verbose) SYS_LOG_TAGGED_AS(SYS_DBG_MSG, "[TL]", fn, __VA_ARGS__); \
  } while (0)

void SetCurrentName(const char* name) { std::snprintf(tl.name, sizeof tl.name, "%s", name ? name : ""); }

// The companion alpha image: "stem_a.ext", or "name_a" without an extension.
// Only a '.' after the last folder separator starts an extension.
std::string AlphaMapName(const char* name) {
  std::string full(name);
  size_t dot = full.rfind('.');
  size_t sep = full.find_last_of("\\/");
  std::string result = (dot == std::string::npos || (sep != std::string::npos && dot < sep))
                           ? full + "_a"
                           : full.substr(0, dot) + "_a." + full.substr(dot + 1);
  if (result.size() >= kNameMax) result.resize(kNameMax - 1);
  return result;
}

// Whether the first channel of `alpha` can become the alpha bytes of
// `colour`: same size, a known depth, enough bytes, a one-level colour image
// of 24 or 32 bits. Anything else would be read past its end or corrupt the
// colour image.
bool AlphaFits(const txBitmap* colour, const txBitmap* alpha) {
  if (colour->levels != 1 || (colour->bits != 24 && colour->bits != 32)) return false;
  if (alpha->width != colour->width || alpha->height != colour->height) return false;
  if (alpha->type == TX_TYPE_COMPRESSED || !alpha->data[0]) return false;
  if (alpha->bits != 8 && alpha->bits != 24 && alpha->bits != 32) return false;
  int64_t pixels = static_cast<int64_t>(colour->width) * colour->height;
  return alpha->sizes[0] >= pixels * (alpha->bits / 8) && colour->sizes[0] >= pixels * (colour->bits / 8);
}

// Puts the first channel of `alpha` into the alpha bytes of `colour` (which
// becomes 32 bits). A colour image whose reader has turned its rows already
// takes its alpha rows turned too, so that each alpha byte lands where the
// later flip would have taken it. The caller has checked AlphaFits.
int MergeAlpha(txBitmap* colour, const txBitmap* alpha, bool colourFlipped = false) {
  if (colour->bits == 24 && tx24to32(colour) != 0) return -1;
  const int step = alpha->bits == 8 ? 1 : alpha->bits == 24 ? 3 : 4;
  const int64_t width = colour->width, height = colour->height;
  for (int64_t y = 0; y < height; ++y) {
    uint8_t* dst = colour->data[0] + y * width * 4;
    const uint8_t* src = alpha->data[0] + (colourFlipped ? height - 1 - y : y) * width * step;
    for (int64_t x = 0; x < width; ++x) dst[x * 4 + 3] = src[x * step];
  }
  colour->subtype = TX_SUB_32;
  return 0;
}

// Loads the companion alpha image and merges it when it fits. Returns -1 only
// when memory runs out; a missing or unfitting alpha image is no failure.
// `fn` is the loader function whose log lines these are.
int ApplyAlphaMap(txBitmap* bitmap, const char* name, const char* fn, bool flipped) {
  std::string alphaName = AlphaMapName(name);
  tl.alphaMaps = 0;
  txBitmap* alpha = txLoad(alphaName.c_str());
  tl.alphaMaps = 1;
  int result = 0;
  if (!alpha) {
    TL_VERBOSE_AS(fn, " alpha map not found.\n");
  } else if (!AlphaFits(bitmap, alpha)) {
    TL_VERBOSE_AS(fn, " alpha map does not fit (%dx%d bits: %d).\n", alpha->width, alpha->height, alpha->bits);
  } else {
    result = MergeAlpha(bitmap, alpha, flipped);
  }
  txFree(&alpha);
  errClear();
  TL_VERBOSE_AS(fn, " ---\n");
  return result;
}

// Exchanges the rows of every level (each level with its own size).
int FlipLevels(txBitmap* bitmap) {
  int64_t w = bitmap->width, h = bitmap->height;
  for (int i = 0; i < bitmap->levels && i < TX_LEVELS; ++i) {
    int64_t rowBytes = w * bitmap->bits / 8;
    if (bitmap->data[i] && rowBytes > 0 && bitmap->sizes[i] >= rowBytes * h &&
        txFlipRows(bitmap->data[i], rowBytes, h) != 0)
      return -1;
    w = w > 1 ? w / 2 : 1;
    h = h > 1 ? h / 2 : 1;
  }
  return 0;
}

int32_t Reduced(int32_t side, int32_t quality) {
  int32_t r = quality == 1 ? side / 2 : side / 4;
  return r > 0 ? r : 1;
}

// The readers that can give their pixels the load's layout themselves, found
// by the filter's read procedure (a filter given another one reads as before).
struct LayoutReader {
  txBitmap* (*read)(const uint8_t*, int64_t);
  txBitmap* (*readAs)(const uint8_t*, int64_t, txLayout&);
};
constexpr LayoutReader kLayoutReaders[] = {
    {pnmRead, pnmReadAs}, {tgaRead, tgaReadAs}, {bmpRead, bmpReadAs}, {dicomRead, dicomReadAs}};

// Reads with the filter; the colour order and flip that the post-processing
// would give the image are handed to a reader that can make them in the
// same pass. The nested load of an alpha image gets no post-processing, so
// its reader keeps its own layout.
txBitmap* ReadImage(const txFilter* filter, const uint8_t* buffer, int64_t size, txLayout& layout) {
  layout = tl.alphaMaps ? txLayout{tl.order, tl.flip != 0, false} : txReaderLayout;
  for (const LayoutReader& r : kLayoutReaders)
    if (filter->read == r.read) return r.readAs(buffer, size, layout);
  return filter->read(buffer, size);
}

// Steps 6 to 10 of a load: alpha map, colour order, flip and quality. A
// reader may have given the image its colour order (then `type` matches
// already) and its flip (layout.flipDone).
txBitmap* PostProcess(txBitmap* bitmap, const char* name, const char* fn, const txLayout& layout) {
  if (ApplyAlphaMap(bitmap, name, fn, layout.flipDone) != 0) {
    txFree(&bitmap);
    errSetLastError(ERR_NOMEM);
    return nullptr;
  }
  // The swap takes 24 and 32 bits only: a smaller image keeps its bytes and
  // the swap's error 1000 stays the last error of the load, which succeeds.
  // After a swap the record says which order its bytes really have, so that
  // writers and uploads read it right.
  if (bitmap->type != tl.order && txSwapRB(bitmap) == 0 &&
      (bitmap->type == TX_TYPE_BGR || bitmap->type == TX_TYPE_RGB))
    bitmap->type = tl.order;
  if (tl.flip) {
    TL_VERBOSE_AS(fn, " Horizontal flipping.\n");
    if (!layout.flipDone && FlipLevels(bitmap) != 0) {
      txFree(&bitmap);
      errSetLastError(ERR_NOMEM);
      return nullptr;
    }
  }
  // Layouts that the reduction does not take (16 bits, say) stay at full size,
  // and the reduction's refusal is not the load's last error.
  if (tl.quality != 0 && bitmap->levels == 1) {
    const int before = errPeekLastError();
    if (txScale(bitmap, Reduced(bitmap->width, tl.quality), Reduced(bitmap->height, tl.quality)) != 0) {
      if (errGetLastError() == ERR_NOMEM) {
        txFree(&bitmap);
        errSetLastError(ERR_NOMEM);
        return nullptr;
      }
    }
    errSetLastError(before);
  }
  return bitmap;
}

// The load itself; its log lines are those of `fn`, the loader function.
txBitmap* LoadNamed(const char* name, const char* fn) {
  TL_VERBOSE_AS(fn, " Load bitmap: %s\n", name);
  if (!tl.io.fOpen || !tl.io.fRead || !tl.io.fFSize || !tl.io.fClose) {
    errSetLastError(ERR_BADARG);
    return nullptr;
  }
  if (tl.io.fOpen(name) != 0) {
    TL_VERBOSE_AS(fn, "  ! unable to open texture (%s).\n", name);
    return nullptr;
  }
  uint8_t* buffer = tl.io.fRead();
  if (!buffer) {
    // The file stays open: the next open closes it.
    TL_VERBOSE_AS(fn, "  ! unable to read texture (%s).\n", name);
    return nullptr;
  }
  int64_t size = tl.io.fFSize();
  tl.io.fClose();

  txFilter* filter = txFindFilter(buffer, size);
  if (!filter) {
    SYS_MemFree(buffer);
    errSetLastError(TX_ERR_FORMAT);
    return nullptr;
  }
  TL_VERBOSE_AS(fn, " type: %s\n", filter->description);
  txLayout layout = txReaderLayout;
  txBitmap* bitmap = ReadImage(filter, buffer, size, layout);
  SYS_MemFree(buffer);
  if (!bitmap) return nullptr;
  errClear();
  bitmap->filter = filter->id;
  TL_VERBOSE_AS(fn, " size: %dx%d bits: %d\n", bitmap->width, bitmap->height, bitmap->bits);
  TL_VERBOSE_AS(fn, " imagesize: %u\n", static_cast<unsigned>(bitmap->sizes[0]));

  if (tl.alphaMaps == 0 || bitmap->type == TX_TYPE_COMPRESSED) return bitmap;
  return PostProcess(bitmap, name, fn, layout);
}

}  // namespace

int txInit(const txFunctions* functions) {
  errClear();
  tl.io = functions ? *functions : txDefaultFunctions;
  if (SYS_CfgHas("debug-tl")) tl.verbose = 1;
  if (SYS_CfgHas("disable-dxt1")) tl.refusedDxt |= 1;
  if (SYS_CfgHas("disable-dxt3")) tl.refusedDxt |= 2;
  if (SYS_CfgHas("disable-dxt5")) tl.refusedDxt |= 4;
  // A refused format is off whatever was set before.
  if (tl.refusedDxt & 1) tl.dxt1 = 0;
  if (tl.refusedDxt & 2) tl.dxt3 = 0;
  if (tl.refusedDxt & 4) tl.dxt5 = 0;
  return 0;
}

txBitmap* txLoad(const char* name) {
  errClear();
  if (!name) {
    errSetLastError(ERR_NOTFOUND);
    return nullptr;
  }
  // The readers print the current name; a nested alpha load replaces it, so
  // both the caller's text and the previous name are copied first.
  char previous[kNameMax];
  std::memcpy(previous, tl.name, sizeof previous);
  char own[kNameMax];
  std::snprintf(own, sizeof own, "%s", name);
  SetCurrentName(own);
  txBitmap* bitmap = LoadNamed(own, __func__);
  std::memcpy(tl.name, previous, sizeof previous);
  return bitmap;
}

int txSave(int32_t id, const char* path, txBitmap* bitmap) {
  errClear();
  for (int i = 0; txFilters[i]; ++i) {
    txFilter* filter = txFilters[i];
    if (filter->id != id) continue;
    TL_VERBOSE("  ! saving with %s\n", filter->name);
    if (!filter->write) continue;
    int result = filter->write(path, bitmap);
    if (result != 0) {
      TL_VERBOSE("  ! returned with error, code: %d\n", errPeekLastError());
    }
    return result;
  }
  TL_VERBOSE("  ! unknown format.\n");
  errSetLastError(TX_ERR_FORMAT);
  return -1;
}

int txFree(txBitmap** bitmap) {
  errClear();
  if (!bitmap || !*bitmap) {
    errSetLastError(ERR_BADARG);
    return -1;
  }
  txBitmap* b = *bitmap;
  for (auto& level : b->data) SYS_MemFree(level);
  SYS_MemFree(b->comment);
  SYS_MemFree(b);
  *bitmap = nullptr;
  return 0;
}

txBitmap* txNewBitmap(void) {
  auto* b = static_cast<txBitmap*>(SYS_MemGet(sizeof(txBitmap)));
  if (b) b->levels = 1;
  return b;
}

txBitmap* txDup(const txBitmap* bitmap) {
  errClear();
  if (!bitmap) {
    errSetLastError(TX_ERR_NULL);
    return nullptr;
  }
  auto* copy = static_cast<txBitmap*>(SYS_MemGet(sizeof(txBitmap)));
  if (!copy) {
    errSetLastError(ERR_NOMEM);
    return nullptr;
  }
  *copy = *bitmap;
  // A deep copy: the two records never share a block, so each can be freed.
  copy->comment = nullptr;
  bool ok = true;
  for (int i = 0; i < TX_LEVELS; ++i) {
    copy->data[i] = nullptr;
    if (!bitmap->data[i] || bitmap->sizes[i] <= 0) continue;
    copy->data[i] = static_cast<uint8_t*>(SYS_MemGet(static_cast<size_t>(bitmap->sizes[i])));
    if (!copy->data[i]) ok = false;
    else std::memcpy(copy->data[i], bitmap->data[i], static_cast<size_t>(bitmap->sizes[i]));
  }
  if (ok && bitmap->comment) {
    int64_t bytes = SYS_MemSize(bitmap->comment);
    copy->comment = bytes > 0 ? static_cast<uint8_t*>(SYS_MemGet(static_cast<size_t>(bytes))) : nullptr;
    if (copy->comment) std::memcpy(copy->comment, bitmap->comment, static_cast<size_t>(bytes));
    else ok = false;
  }
  if (!ok) {
    txFree(&copy);
    errSetLastError(ERR_NOMEM);
    return nullptr;
  }
  return copy;
}

txBitmap* txCreateDummy(int32_t kind, int32_t width, int32_t height) {
  errClear();
  static const int32_t kBits[4] = {24, 24, 32, 8};
  if (kind < 0 || kind > 3) {
    errSetLastError(ERR_BADARG);
    return nullptr;
  }
  // No block holds no pixels (a side of 0 or below), and none is asked for
  // more bytes than a level's size can count.
  int64_t bytes = static_cast<int64_t>(width) * height * (kBits[kind] / 8);
  const bool countable = width > 0 && height > 0 && bytes <= INT32_MAX;
  txBitmap* b = countable ? txNewBitmap() : nullptr;
  if (b) b->data[0] = static_cast<uint8_t*>(SYS_MemGet(static_cast<size_t>(bytes)));
  if (!b || !b->data[0]) {
    SYS_MemFree(b);
    errSetLastError(ERR_NOMEM);
    return nullptr;
  }
  b->type = kind;
  b->subtype = kind;
  b->width = width;
  b->height = height;
  b->bits = kBits[kind];
  b->sizes[0] = static_cast<int32_t>(bytes);
  return b;
}

int txOptions(int32_t option, int32_t value) {
  errClear();
  switch (option) {
    case TX_OPT_KEEPDXT: tl.keepDxt = value; break;
    case TX_OPT_VERBOSE: tl.verbose = value; break;
    case TX_OPT_QUALITY:
      tl.quality = value;
      TL_LOG(SYS_DBG_MSG, " Set texture quality: %d\n", value);
      break;
    case TX_OPT_ORDER: tl.order = value; break;
    case TX_OPT_FLIP: tl.flip = value; break;
    case TX_OPT_JPEG_BASELINE: tl.jpegBaseline = value; break;
    case TX_OPT_JPEG_PROGRESSIVE: tl.jpegProgressive = value; break;
    case TX_OPT_JPEG_OPTIMIZE: txFilterJPEG.param2 = value; break;
    case TX_OPT_JPEG_SMOOTHING: tl.jpegSmoothing = value; break;
    case TX_OPT_JPEG_QUALITY: txFilterJPEG.param1 = value; break;
    case TX_OPT_PNG_LEVEL: txFilterPNG.param1 = value; break;
    case TX_OPT_GETORDER: return tl.order;
    case TX_OPT_DXT1:
      if (!(tl.refusedDxt & 1)) tl.dxt1 = value;
      break;
    case TX_OPT_DXT3:
      if (!(tl.refusedDxt & 2)) tl.dxt3 = value;
      break;
    case TX_OPT_DXT5:
      if (!(tl.refusedDxt & 4)) tl.dxt5 = value;
      break;
    default: errSetLastError(ERR_BADARG); return -1;
  }
  return 0;
}

int32_t txOptionValue(int32_t option) {
  switch (option) {
    case TX_OPT_KEEPDXT: return tl.keepDxt;
    case TX_OPT_VERBOSE: return tl.verbose;
    case TX_OPT_QUALITY: return tl.quality;
    case TX_OPT_ORDER:
    case TX_OPT_GETORDER: return tl.order;
    case TX_OPT_FLIP: return tl.flip;
    case TX_OPT_JPEG_BASELINE: return tl.jpegBaseline;
    case TX_OPT_JPEG_PROGRESSIVE: return tl.jpegProgressive;
    case TX_OPT_JPEG_OPTIMIZE: return static_cast<int32_t>(txFilterJPEG.param2);
    case TX_OPT_JPEG_SMOOTHING: return tl.jpegSmoothing;
    case TX_OPT_JPEG_QUALITY: return static_cast<int32_t>(txFilterJPEG.param1);
    case TX_OPT_PNG_LEVEL: return static_cast<int32_t>(txFilterPNG.param1);
    case TX_OPT_DXT1: return tl.dxt1;
    case TX_OPT_DXT3: return tl.dxt3;
    case TX_OPT_DXT5: return tl.dxt5;
    default: return 0;
  }
}

int txVerbose(void) { return tl.verbose; }
const char* txCurrentName(void) { return tl.name; }

int txAddAlphaChannel(const char* name, txBitmap* bitmap) {
  errClear();
  if (!bitmap) {
    errSetLastError(ERR_BADARG);
    return -1;
  }
  txBitmap* alpha = txLoad(name);
  if (!alpha) {
    errSetLastError(TX_ERR_ALPHA);
    return -1;
  }
  int result = 0;
  if (!AlphaFits(bitmap, alpha)) {
    errSetLastError(ERR_BADARG);
    result = -1;
  } else if (MergeAlpha(bitmap, alpha) != 0) {
    errSetLastError(ERR_NOMEM);
    result = -1;
  }
  SYS_ErrKeeper keep;
  txFree(&alpha);
  return result;
}

int txSwapRB(txBitmap* bitmap) {
  errClear();
  if (!bitmap || bitmap->bits < 24) {
    errSetLastError(TX_ERR_FORMAT);
    return -1;
  }
  int64_t step = bitmap->bits / 8;
  for (int i = 0; i < TX_LEVELS; ++i) {
    uint8_t* p = bitmap->data[i];
    if (!p) continue;
    for (int64_t k = 0; k + 2 < bitmap->sizes[i]; k += step) {
      uint8_t t = p[k];
      p[k] = p[k + 2];
      p[k + 2] = t;
    }
  }
  return 0;
}

int32_t txGetBits(const txBitmap* bitmap) { return bitmap ? bitmap->bits : 0; }

uint8_t* txGetLevelData(const txBitmap* bitmap, int32_t level) {
  return bitmap && level >= 0 && level < TX_LEVELS ? bitmap->data[level] : nullptr;
}

int32_t txGetLevelSize(const txBitmap* bitmap, int32_t level) {
  return bitmap && level >= 0 && level < TX_LEVELS ? bitmap->sizes[level] : 0;
}

txFilter* txFindFilter(const uint8_t* buffer, int64_t length) {
  errClear();
  if (buffer && length > 0) {
    for (int i = 0; txFilters[i]; ++i)
      if (txFilters[i]->detect && txFilters[i]->read && txFilters[i]->detect(buffer, length) == 0)
        return txFilters[i];
  }
  errSetLastError(TX_ERR_FORMAT);
  return nullptr;
}

int txGetLastError(void) { return errGetLastError(); }

int txFlipRows(uint8_t* pixels, int64_t rowBytes, int64_t rows) {
  if (rows < 2 || rowBytes <= 0) return 0;
  auto* row = static_cast<uint8_t*>(SYS_MemGet(static_cast<size_t>(rowBytes)));
  if (!row) return -1;
  for (int64_t j = 0; j < rows / 2; ++j) {
    uint8_t* a = pixels + j * rowBytes;
    uint8_t* b = pixels + (rows - 1 - j) * rowBytes;
    std::memcpy(row, a, static_cast<size_t>(rowBytes));
    std::memcpy(a, b, static_cast<size_t>(rowBytes));
    std::memcpy(b, row, static_cast<size_t>(rowBytes));
  }
  SYS_MemFree(row);
  return 0;
}
