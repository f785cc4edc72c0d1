// DXT blocks, DDS and QTX files built byte by byte, for the tests of the two
// filters and for the seeds of their fuzz targets.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "framework/base/mem.h"
#include "framework/base/z.h"
#include "framework/tl/dxt.h"
#include "testsupport/tl/fixtures.h"

namespace dxtfix {

using tlfix::Bytes;

constexpr uint32_t kDXT1 = dxt::FourCC('D', 'X', 'T', '1');
constexpr uint32_t kDXT3 = dxt::FourCC('D', 'X', 'T', '3');
constexpr uint32_t kDXT5 = dxt::FourCC('D', 'X', 'T', '5');

// What the GL is said to take: all three formats or none.
inline void GlTakesDxt(int on) {
  txOptions(TX_OPT_DXT1, on);
  txOptions(TX_OPT_DXT3, on);
  txOptions(TX_OPT_DXT5, on);
}

using Reader = txBitmap* (*)(const uint8_t* buffer, int64_t length);

// Reads the bytes once with the blocks kept for the GL and once decoded,
// handing each bitmap (NULL on failure) to `check` before releasing it.
template <typename Check>
void ReadBothWays(Reader read, const uint8_t* data, int64_t length, Check check) {
  for (int on : {1, 0}) {
    GlTakesDxt(on);
    txBitmap* b = read(data, length);
    check(b);
    if (b) txFree(&b);
  }
}

inline int64_t BlockBytes(uint32_t fourcc) { return fourcc == kDXT1 ? 8 : 16; }

// The colour part: two 5-6-5 colours and 16 two-bit indices, pixel (x, y)
// at 4y + x.
inline Bytes ColourPart(uint16_t c0, uint16_t c1, const std::array<int, 16>& index) {
  Bytes b;
  tlfix::Put16(b, c0);
  tlfix::Put16(b, c1);
  uint32_t bits = 0;
  for (int i = 0; i < 16; ++i) bits |= uint32_t(index[i] & 3) << (2 * i);
  tlfix::Put32(b, bits);
  return b;
}
inline std::array<int, 16> All(int index) {
  std::array<int, 16> a;
  a.fill(index);
  return a;
}

// DXT5 alpha part: two alphas and 16 three-bit indices.
inline Bytes Dxt5AlphaPart(uint8_t a0, uint8_t a1, const std::array<int, 16>& index) {
  Bytes b = {a0, a1};
  for (int pair = 0; pair < 2; ++pair) {
    uint32_t bits = 0;
    for (int i = 0; i < 8; ++i) bits |= uint32_t(index[8 * pair + i] & 7) << (3 * i);
    for (int k = 0; k < 3; ++k) b.push_back(static_cast<uint8_t>(bits >> (8 * k)));
  }
  return b;
}

// DXT3 alpha part: 16 four-bit alphas.
inline Bytes Dxt3AlphaPart(const std::array<int, 16>& alpha) {
  Bytes b;
  for (int y = 0; y < 4; ++y) {
    uint32_t row = 0;
    for (int x = 0; x < 4; ++x) row |= uint32_t(alpha[4 * y + x] & 15) << (4 * x);
    tlfix::Put16(b, row);
  }
  return b;
}

inline Bytes Cat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// Bytes of all levels of a w x h image with `levels` levels.
inline int64_t AllLevelBytes(uint32_t fourcc, int32_t w, int32_t h, int levels) {
  int64_t n = 0;
  for (int i = 0; i < levels; ++i) n += dxt::LevelBytes(dxt::Side(w, i), dxt::Side(h, i), BlockBytes(fourcc));
  return n;
}

struct DdsSpec {
  int32_t width = 8, height = 8;
  uint32_t mipmaps = 1;
  uint32_t fourcc = kDXT1;
  Bytes data;  // the levels' blocks, level 0 first
};

inline Bytes Dds(const DdsSpec& s) {
  Bytes b;
  tlfix::PutText(b, "DDS ");
  tlfix::Put32(b, 124);      // size of the surface description
  tlfix::Put32(b, 0x2100F);  // caps, height, width, pitch, pixel format, mipmap count
  tlfix::Put32(b, static_cast<uint32_t>(s.height));
  tlfix::Put32(b, static_cast<uint32_t>(s.width));
  tlfix::Put32(b, 0);
  tlfix::Put32(b, 0);
  tlfix::Put32(b, s.mipmaps);
  while (b.size() < 76) b.push_back(0);
  tlfix::Put32(b, 32);  // size of the pixel format
  tlfix::Put32(b, 4);   // a FourCC is set
  tlfix::Put32(b, s.fourcc);
  while (b.size() < 128) b.push_back(0);
  return Cat(b, s.data);
}

// A DDS of Pattern blocks with every level the header declares.
inline Bytes PatternDds(uint32_t fourcc, int32_t w, int32_t h, int levels, uint8_t seed = 1) {
  DdsSpec s;
  s.width = w;
  s.height = h;
  s.mipmaps = static_cast<uint32_t>(levels);
  s.fourcc = fourcc;
  s.data = tlfix::Pattern(static_cast<size_t>(AllLevelBytes(fourcc, w, h, levels ? levels : 1)), seed);
  return Dds(s);
}

// A QTX level: the bytes stored plainly (L <= 0) or as a compressed block.
struct QtxLevel {
  Bytes bytes;
  bool packed = false;
};

inline Bytes PackBlock(const Bytes& plain) {
  void* block = nullptr;
  uint32_t length = 0;
  if (SYS_ZCompress(plain.data(), static_cast<uint32_t>(plain.size()), &block, &length) != 0) return {};
  Bytes out(static_cast<uint8_t*>(block), static_cast<uint8_t*>(block) + length);
  SYS_MemFree(block);
  return out;
}

inline Bytes QtxHeader(int16_t w, int16_t h, uint32_t fourcc, int16_t levels, const char* magic = "QTX ") {
  Bytes b;
  tlfix::PutText(b, magic);
  tlfix::Put16(b, static_cast<uint16_t>(w));
  tlfix::Put16(b, static_cast<uint16_t>(h));
  tlfix::Put32(b, fourcc);
  tlfix::Put16(b, static_cast<uint16_t>(levels));
  return b;
}

inline Bytes Qtx(int16_t w, int16_t h, uint32_t fourcc, const std::vector<QtxLevel>& levels,
                 const char* magic = "QTX ") {
  Bytes b = QtxHeader(w, h, fourcc, static_cast<int16_t>(levels.size()), magic);
  for (const QtxLevel& l : levels) {
    Bytes stored = l.packed ? PackBlock(l.bytes) : l.bytes;
    int64_t L = l.packed ? static_cast<int64_t>(stored.size()) : -static_cast<int64_t>(stored.size());
    tlfix::Put32(b, static_cast<uint32_t>(L));
    b.insert(b.end(), stored.begin(), stored.end());
  }
  return b;
}

// The seeds of the DDS and QTX fuzz targets ("dds", "qtx").
inline std::vector<tlfix::Seed> Seeds() {
  std::vector<tlfix::Seed> seeds;
  seeds.push_back({"dds", "dxt1_8x8_mips.dds", PatternDds(kDXT1, 8, 8, 4)});
  seeds.push_back({"dds", "dxt3_6x5.dds", PatternDds(kDXT3, 6, 5, 1, 3)});
  seeds.push_back({"dds", "dxt5_16x4_mips.dds", PatternDds(kDXT5, 16, 4, 5, 5)});
  Bytes zeros(static_cast<size_t>(dxt::LevelBytes(16, 16, 16)), 0);
  seeds.push_back({"qtx", "dxt5_packed_and_plain.qtx",
                   Qtx(16, 16, kDXT5, {{zeros, true}, {tlfix::Pattern(64, 2), false}, {Bytes(16, 0), true}})});
  seeds.push_back({"qtx", "dxt1_plain.ddz", Qtx(4, 4, kDXT1, {{tlfix::Pattern(8), false}}, "DDZ ")});
  return seeds;
}

}  // namespace dxtfix
