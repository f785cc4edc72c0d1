// The DDS filter.
#include "framework/tl/_dds.h"

#include "framework/base/log.h"
#include "framework/tl/dxt.h"
#include "framework/tl/filterutil.h"

#define TL_DDS_LOG(level, ...) SYS_LOG_TAGGED(level, "[TL][dds]", __VA_ARGS__)
#define TL_DDS_LOG_AS(level, fn, ...) SYS_LOG_TAGGED_AS(level, "[TL][dds]", fn, __VA_ARGS__)

namespace {

using namespace tlfilter;

constexpr int64_t kHeader = 128;  // magic and the surface description; the blocks follow
constexpr uint64_t kHeightAt = 12;
constexpr uint64_t kMipmapsAt = 28;
constexpr uint64_t kFourCCAt = 84;

struct DdsHeader {
  int32_t width, height;
  uint32_t mipmaps;  // 0 means one level
  uint32_t fourcc;
};

DdsHeader ParseHeader(SYS_ByteReader r) {
  DdsHeader h{};
  r.seek(kHeightAt);
  h.height = r.i32();
  h.width = r.i32();
  r.seek(kMipmapsAt);
  h.mipmaps = r.u32();
  r.seek(kFourCCAt);
  h.fourcc = r.u32();
  if (h.mipmaps == 0) h.mipmaps = 1;
  return h;
}

void LogHeader(const DdsHeader& h, int64_t length, const char* fn) {
  if (!txVerbose()) return;
  int32_t bits = h.fourcc == dxt::FourCC('D', 'X', 'T', '1') ? 24 : 32;
  TL_DDS_LOG_AS(SYS_DBG_MSG, fn, " DDS: %s\n", txCurrentName());
  TL_DDS_LOG_AS(SYS_DBG_MSG, fn, "  size: %dx%d bits: %d (%s)\n", h.width, h.height, bits, dxt::NameOf(h.fourcc));
  TL_DDS_LOG_AS(SYS_DBG_MSG, fn, "  mipmap level: %d\n", static_cast<int>(h.mipmaps));
  TL_DDS_LOG_AS(SYS_DBG_MSG, fn, "  size: %d\n", static_cast<int>(length - kHeader));
}

}  // namespace

int ddsDetect(const uint8_t* buffer, int64_t length) {
  SYS_ByteReader r = ReaderOf(buffer, length);
  return r.expect("DDS ") ? 0 : TX_ERR_FORMAT;
}

txBitmap* ddsRead(const uint8_t* buffer, int64_t length) {
  errClear();
  if (!buffer || length < kHeader) return Fail(nullptr, TX_ERR_SHORT);
  SYS_ByteReader r = ReaderOf(buffer, length);
  DdsHeader h = ParseHeader(r);
  LogHeader(h, length, __func__);
  dxt::Plan plan;
  if (int code = dxt::MakePlan(h.fourcc, h.width, h.height, h.mipmaps, true, plan))
    return Fail(nullptr, code);
  if (txVerbose()) TL_DDS_LOG(SYS_DBG_MSG, "  decode: %s\n", plan.keep ? "no" : "yes");

  txBitmap* b = dxt::NewBitmap(plan);
  if (!b) return Fail(nullptr, ERR_NOMEM);
  b->fourcc = static_cast<int32_t>(h.fourcc);
  r.seek(kHeader);
  for (int i = 0; i < plan.count; ++i) {
    int64_t bytes = dxt::LevelBytes(dxt::Side(plan.width, i), dxt::Side(plan.height, i), plan.format->blockBytes);
    std::span<const uint8_t> blocks = r.take(static_cast<uint64_t>(bytes));
    if (!r.ok()) return Fail(b, TX_ERR_SHORT);
    if (i < plan.skip) continue;
    if (int code = dxt::StoreLevel(plan, i, blocks, b)) return Fail(b, code);
  }
  return b;
}
