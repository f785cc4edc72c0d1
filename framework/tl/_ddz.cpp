// The QTX filter.
#include "framework/tl/_ddz.h"

#include <vector>

#include "framework/base/bytes.h"
#include "framework/base/file.h"
#include "framework/base/log.h"
#include "framework/base/mem.h"
#include "framework/base/z.h"
#include "framework/tl/dxt.h"
#include "framework/tl/filterutil.h"

#define TL_DDZ_LOG(level, ...) SYS_LOG_TAGGED(level, "[TL][ddz]", __VA_ARGS__)
#define TL_DDZ_LOG_AS(level, fn, ...) SYS_LOG_TAGGED_AS(level, "[TL][ddz]", fn, __VA_ARGS__)

namespace {

using namespace tlfilter;

constexpr int64_t kHeader = 14;  // magic, two sides, FourCC, level count
constexpr int16_t kMaxSide = INT16_MAX;

struct DdzHeader {
  int32_t width, height, levels;
  uint32_t fourcc;
};

DdzHeader ParseHeader(SYS_ByteReader& r) {
  DdzHeader h{};
  r.skip(4);
  h.width = r.i16();
  h.height = r.i16();
  h.fourcc = r.u32();
  h.levels = r.i16();
  return h;
}

void LogHeader(const DdzHeader& h, int64_t length, const char* fn) {
  if (!txVerbose()) return;
  const dxt::Format* f = dxt::FormatOf(h.fourcc);
  TL_DDZ_LOG_AS(SYS_DBG_MSG, fn, " DDZ: %s\n", txCurrentName());
  TL_DDZ_LOG_AS(SYS_DBG_MSG, fn, "  size: %dx%d bits: %d (%s)\n", h.width, h.height, f ? f->bits : 0,
                dxt::NameOf(h.fourcc));
  TL_DDZ_LOG_AS(SYS_DBG_MSG, fn, "  mipmap level: %d\n", h.levels);
  TL_DDZ_LOG_AS(SYS_DBG_MSG, fn, "  size: %d\n", static_cast<int>(length - kHeader));
}

// One level stored as a compressed block: inflated, then kept as it is or
// decoded. 0, or the code to fail with.
int InflateLevel(const dxt::Plan& plan, int level, std::span<const uint8_t> block, txBitmap* b) {
  void* unpacked = nullptr;
  uint32_t unpackedLength = 0;
  if (SYS_ZUncompress(block.data(), block.size(), &unpacked, &unpackedLength) != 0)
    return errPeekLastError() ? errPeekLastError() : ERR_ZLIB;
  int code = dxt::StoreLevel(plan, level, {static_cast<const uint8_t*>(unpacked), unpackedLength}, b);
  SYS_MemFree(unpacked);
  return code;
}

int WriteFail(int code) {
  errSetLastError(code);
  return -1;
}

bool Writable(const txBitmap* b) {
  if (b->type != TX_TYPE_COMPRESSED || !dxt::FormatOf(static_cast<uint32_t>(b->fourcc))) return false;
  if (b->width <= 0 || b->height <= 0 || b->width > kMaxSide || b->height > kMaxSide) return false;
  if (b->levels <= 0 || b->levels > TX_LEVELS) return false;
  for (int i = 0; i < b->levels; ++i)
    if (!b->data[i] || b->sizes[i] <= 0) return false;
  return true;
}

void LogWrite(const char* path, const txBitmap* b, const char* fn) {
  if (!txVerbose()) return;
  TL_DDZ_LOG_AS(SYS_DBG_MSG, fn, "  write : %s\n", path);
  TL_DDZ_LOG_AS(SYS_DBG_MSG, fn, "   - size : %dx%d\n", b->width, b->height);
  TL_DDZ_LOG_AS(SYS_DBG_MSG, fn, "   - mipmap level: %d\n", b->levels);
  TL_DDZ_LOG_AS(SYS_DBG_MSG, fn, "   - fourcc : %s\n", dxt::NameOf(static_cast<uint32_t>(b->fourcc)));
}

// Appends one level: as a compressed block when that is smaller, plainly
// otherwise (also when compression fails). Returns the bytes it stored.
int64_t PutLevel(SYS_ByteWriter& out, std::span<const uint8_t> level, int index, const char* fn) {
  if (txVerbose()) TL_DDZ_LOG_AS(SYS_DBG_MSG, fn, "   - level %d : ", index);
  void* block = nullptr;
  uint32_t blockLength = 0;
  bool packed = SYS_ZCompress(level.data(), static_cast<uint32_t>(level.size()), &block, &blockLength) == 0 &&
                blockLength < level.size();
  if (!block) errClear();  // stored plainly instead: not a failure of the write
  int64_t stored;
  if (packed) {
    out.u32(blockLength);
    out.bytes({static_cast<const uint8_t*>(block), blockLength});
    stored = blockLength;
    if (txVerbose())
      SYS_DbgPrintf(0, "%d -> %d (%.2f%%)\n", static_cast<int>(level.size()), static_cast<int>(blockLength),
                    100.0 * blockLength / static_cast<double>(level.size()));
  } else {
    out.u32(static_cast<uint32_t>(-static_cast<int64_t>(level.size())));
    out.bytes(level);
    stored = static_cast<int64_t>(level.size());
    if (txVerbose()) SYS_DbgPrintf(0, "not compressed\n");
  }
  SYS_MemFree(block);
  return stored;
}

}  // namespace

int ddzDetect(const uint8_t* buffer, int64_t length) {
  SYS_ByteReader r = ReaderOf(buffer, length);
  SYS_ByteReader again = r;
  if (r.expect("QTX ") || again.expect("DDZ ")) return 0;
  // Unlike the other filters: -1, with the code left for the caller to read.
  errSetLastError(TX_ERR_FORMAT);
  return -1;
}

txBitmap* ddzRead(const uint8_t* buffer, int64_t length) {
  errClear();
  if (!buffer || length < kHeader) return Fail(nullptr, TX_ERR_SHORT);
  SYS_ByteReader r = ReaderOf(buffer, length);
  DdzHeader h = ParseHeader(r);
  LogHeader(h, length, __func__);
  dxt::Plan plan;
  bool keepWanted = txOptionValue(TX_OPT_KEEPDXT) == 1;
  if (int code = dxt::MakePlan(h.fourcc, h.width, h.height, h.levels, keepWanted, plan))
    return Fail(nullptr, code);
  if (txVerbose()) TL_DDZ_LOG(SYS_DBG_MSG, "  decode: %s\n", plan.keep ? "no" : "yes");

  txBitmap* b = dxt::NewBitmap(plan);
  if (!b) return Fail(nullptr, ERR_NOMEM);
  for (int i = 0; i < plan.count; ++i) {
    int64_t stored = r.i32();
    bool packed = stored > 0;
    std::span<const uint8_t> bytes = r.take(static_cast<uint64_t>(packed ? stored : -stored));
    if (!r.ok()) return Fail(b, TX_ERR_SHORT);
    if (i < plan.skip) continue;
    int code = packed ? InflateLevel(plan, i, bytes, b) : dxt::StoreLevel(plan, i, bytes, b);
    if (code) return Fail(b, code);
  }
  return b;
}

int ddzWrite(const char* path, txBitmap* bitmap) {
  errClear();
  if (!bitmap || bitmap->filter != txFilterDDS.id) return WriteFail(TX_ERR_FORMAT);
  // Decoded levels are pixels, not blocks: written as they stand they would
  // make a file no reader can take.
  if (!Writable(bitmap)) return WriteFail(TX_ERR_WRITETYPE);
  LogWrite(path, bitmap, __func__);
  SYS_File_p f = SYS_FileOpen(path, SYS_FILE_WRITE);
  if (!f) return WriteFail(ERR_CANTOPEN);

  SYS_ByteWriter out;
  out.text("QTX ");
  out.u16(static_cast<uint16_t>(bitmap->width));
  out.u16(static_cast<uint16_t>(bitmap->height));
  out.u32(static_cast<uint32_t>(bitmap->fourcc));
  out.u16(static_cast<uint16_t>(bitmap->levels));
  int64_t written = 0, plain = 0;
  for (int i = 0; i < bitmap->levels; ++i) {
    written += PutLevel(out, {bitmap->data[i], static_cast<size_t>(bitmap->sizes[i])}, i, __func__);
    plain += bitmap->sizes[i];
  }
  if (txVerbose())
    TL_DDZ_LOG(SYS_DBG_MSG, "   - compressed : %.2f%%\n",
               100.0 * static_cast<double>(written) / static_cast<double>(plain));
  bool ok = SYS_FileWrite(f, out.data().data(), static_cast<int64_t>(out.size())) == 0;
  SYS_FileClose(f);
  return ok ? 0 : WriteFail(ERR_CANTOPEN);
}
