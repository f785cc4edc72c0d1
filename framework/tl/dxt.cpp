// The DXT block decoders and the level bookkeeping of the DDS and QTX readers.
#include "framework/tl/dxt.h"

#include <cstring>

#include "framework/base/log.h"
#include "framework/base/mem.h"

#define TL_DDS_LOG(level, ...) SYS_LOG_TAGGED(level, "[TL][dds]", __VA_ARGS__)

namespace {

constexpr int kBlockSide = 4;
constexpr int kQualityHalf = 1;     // drops the largest level
constexpr int kQualityQuarter = 2;  // drops the two largest

struct Rgba {
  uint8_t c[4];
};

// A 5-6-5 colour widened by shift only, as the GL-less path always did.
Rgba Expand565(uint16_t c) {
  return {{static_cast<uint8_t>((c >> 11) << 3), static_cast<uint8_t>(((c >> 5) & 63) << 2),
           static_cast<uint8_t>((c & 31) << 3), 255}};
}

uint8_t Mix(int a, int b, int wa, int wb, int div, int round) {
  return static_cast<uint8_t>((wa * a + wb * b + round) / div);
}

// The four colours of a colour part. Only DXT1 with c0 <= c1 has the
// three-colour palette with transparent black.
void ColourPalette(const uint8_t* part, bool dxt1, Rgba palette[4]) {
  uint16_t c0 = static_cast<uint16_t>(part[0] | part[1] << 8);
  uint16_t c1 = static_cast<uint16_t>(part[2] | part[3] << 8);
  palette[0] = Expand565(c0);
  palette[1] = Expand565(c1);
  bool four = !dxt1 || c0 > c1;
  for (int k = 0; k < 3; ++k) {
    int a = palette[0].c[k], b = palette[1].c[k];
    palette[2].c[k] = four ? Mix(a, b, 2, 1, 3, 1) : Mix(a, b, 1, 1, 2, 0);
    palette[3].c[k] = four ? Mix(a, b, 1, 2, 3, 1) : 0;
  }
  palette[2].c[3] = 255;
  palette[3].c[3] = four ? 255 : 0;
}

uint32_t Le32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// The 16 alphas of a block, row by row.
void Dxt3Alpha(const uint8_t* part, uint8_t alpha[16]) {
  for (int y = 0; y < 4; ++y) {
    unsigned row = part[2 * y] | part[2 * y + 1] << 8;
    for (int x = 0; x < 4; ++x) alpha[4 * y + x] = static_cast<uint8_t>(((row >> (4 * x)) & 15) * 17);
  }
}

void Dxt5Alpha(const uint8_t* part, uint8_t alpha[16]) {
  int a0 = part[0], a1 = part[1];
  uint8_t table[8] = {static_cast<uint8_t>(a0), static_cast<uint8_t>(a1)};
  if (a0 > a1) {
    for (int k = 1; k <= 6; ++k) table[k + 1] = Mix(a0, a1, 7 - k, k, 7, 3);
  } else {
    for (int k = 1; k <= 4; ++k) table[k + 1] = Mix(a0, a1, 5 - k, k, 5, 2);
    table[6] = 0;
    table[7] = 255;
  }
  // Two 24-bit index groups, each covering two rows.
  for (int pair = 0; pair < 2; ++pair) {
    const uint8_t* p = part + 2 + 3 * pair;
    uint32_t bits = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16;
    for (int i = 0; i < 8; ++i) alpha[8 * pair + i] = table[(bits >> (3 * i)) & 7];
  }
}

enum class Kind { Dxt1, Dxt3, Dxt5 };

// Walks the blocks of a level and writes the pixels that lie inside it.
int Decode(Kind kind, const uint8_t* blocks, uint8_t* pixels, int32_t width, int32_t height, int32_t bits) {
  errClear();
  if (!blocks || !pixels || width <= 0 || height <= 0 || (bits != 24 && bits != 32)) {
    errSetLastError(ERR_BADARG);
    return -1;
  }
  const int64_t step = bits / 8;
  const int64_t stride = int64_t(width) * step;
  const int64_t blockBytes = kind == Kind::Dxt1 ? 8 : 16;
  const int64_t colourAt = kind == Kind::Dxt1 ? 0 : 8;
  const int32_t across = (width + 3) / 4, down = (height + 3) / 4;
  const uint8_t* block = blocks;
  for (int32_t by = 0; by < down; ++by) {
    for (int32_t bx = 0; bx < across; ++bx, block += blockBytes) {
      Rgba palette[4];
      ColourPalette(block + colourAt, kind == Kind::Dxt1, palette);
      uint32_t indices = Le32(block + colourAt + 4);
      uint8_t alpha[16];
      if (kind == Kind::Dxt3) Dxt3Alpha(block, alpha);
      if (kind == Kind::Dxt5) Dxt5Alpha(block, alpha);
      int rows = height - by * kBlockSide < kBlockSide ? height - by * kBlockSide : kBlockSide;
      int cols = width - bx * kBlockSide < kBlockSide ? width - bx * kBlockSide : kBlockSide;
      for (int y = 0; y < rows; ++y) {
        uint8_t* out = pixels + (int64_t(by) * kBlockSide + y) * stride + int64_t(bx) * kBlockSide * step;
        for (int x = 0; x < cols; ++x, out += step) {
          const Rgba& c = palette[(indices >> (2 * (4 * y + x))) & 3];
          out[0] = c.c[0];
          out[1] = c.c[1];
          out[2] = c.c[2];
          if (step == 4) out[3] = kind == Kind::Dxt1 ? c.c[3] : alpha[4 * y + x];
        }
      }
    }
  }
  return 0;
}

const dxt::Format kFormats[] = {
    {dxt::FourCC('D', 'X', 'T', '1'), "DXT1", 8, 24, TX_OPT_DXT1, TX_SUB_24, dxt1Decompress},
    {dxt::FourCC('D', 'X', 'T', '3'), "DXT3", 16, 32, TX_OPT_DXT3, TX_SUB_32, dxt3Decompress},
    {dxt::FourCC('D', 'X', 'T', '5'), "DXT5", 16, 32, TX_OPT_DXT5, TX_SUB_32, dxt5Decompress},
};

}  // namespace

int dxt1Decompress(const uint8_t* blocks, uint8_t* pixels, int32_t width, int32_t height, int32_t bits) {
  TL_DDS_LOG(SYS_DBG_MSG, " wxh %dx%d\n", width, height);
  TL_DDS_LOG(SYS_DBG_MSG, " d: %d\n", bits / 8);
  return Decode(Kind::Dxt1, blocks, pixels, width, height, bits);
}

int dxt3Decompress(const uint8_t* blocks, uint8_t* pixels, int32_t width, int32_t height, int32_t bits) {
  return Decode(Kind::Dxt3, blocks, pixels, width, height, bits);
}

int dxt5Decompress(const uint8_t* blocks, uint8_t* pixels, int32_t width, int32_t height, int32_t bits) {
  return Decode(Kind::Dxt5, blocks, pixels, width, height, bits);
}

namespace dxt {

const Format* FormatOf(uint32_t fourcc) {
  for (const Format& f : kFormats)
    if (f.fourcc == fourcc) return &f;
  return nullptr;
}

const char* NameOf(uint32_t fourcc) {
  const Format* f = FormatOf(fourcc);
  return f ? f->name : "unknown";
}

namespace {

// Levels down to and including the 1 x 1 one.
int NaturalCount(int32_t width, int32_t height) {
  int n = 0;
  while (n < 31 && ((width >> n) != 0 || (height >> n) != 0)) ++n;
  return n;
}

int QualitySkip(int count) {
  if (count <= 1) return 0;
  switch (txOptionValue(TX_OPT_QUALITY)) {
    case kQualityHalf: return 1;
    case kQualityQuarter: return 2;
    default: return 0;
  }
}

}  // namespace

int MakePlan(uint32_t fourcc, int32_t width, int32_t height, int64_t declared, bool keepWanted, Plan& plan) {
  plan = Plan{};
  plan.format = FormatOf(fourcc);
  if (!plan.format || width <= 0 || height <= 0 || declared <= 0) return TX_ERR_FORMAT;
  plan.width = width;
  plan.height = height;
  int64_t count = declared;
  if (count > NaturalCount(width, height)) count = NaturalCount(width, height);
  if (count > TX_LEVELS) count = TX_LEVELS;
  plan.count = static_cast<int>(count);
  plan.skip = QualitySkip(plan.count);
  if (plan.count <= plan.skip) return TX_ERR_FORMAT;
  plan.keep = keepWanted && txOptionValue(plan.format->glFormat) != 0;
  return 0;
}

txBitmap* NewBitmap(const Plan& plan) {
  txBitmap* b = txNewBitmap();
  if (!b) return nullptr;
  b->type = plan.keep ? TX_TYPE_COMPRESSED : TX_TYPE_RGB;
  b->subtype = plan.keep ? plan.format->glFormat : plan.format->decodedSubtype;
  b->width = Side(plan.width, plan.skip);
  b->height = Side(plan.height, plan.skip);
  b->bits = plan.format->bits;
  b->levels = plan.count - plan.skip;
  return b;
}

int StoreLevel(const Plan& plan, int level, std::span<const uint8_t> blocks, txBitmap* b) {
  const Format& f = *plan.format;
  int32_t w = Side(plan.width, level), h = Side(plan.height, level);
  const int64_t needed = LevelBytes(w, h, f.blockBytes);
  if (static_cast<int64_t>(blocks.size()) < needed) return TX_ERR_SHORT;
  // A kept level holds exactly its blocks: the GL refuses any other count.
  int64_t bytes = plan.keep ? needed : DecodedBytes(w, h, f.bits);
  if (bytes > INT32_MAX) return ERR_NOMEM;
  int slot = level - plan.skip;
  // Tiny levels get a zeroed tail past their pixels; the allocator zero-fills.
  auto* out = static_cast<uint8_t*>(SYS_MemGet(static_cast<size_t>(bytes)));
  if (!out) return ERR_NOMEM;
  b->data[slot] = out;
  b->sizes[slot] = static_cast<int32_t>(bytes);
  if (plan.keep) {
    std::memcpy(out, blocks.data(), static_cast<size_t>(needed));
    return 0;
  }
  return f.decode(blocks.data(), out, w, h, f.bits) == 0 ? 0 : ERR_BADARG;
}

}  // namespace dxt
