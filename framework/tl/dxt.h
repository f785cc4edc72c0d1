// S3TC/DXT blocks: the three block decoders, and the level bookkeeping that
// the DDS and QTX readers share (formats, level sizes, the quality skip and
// the keep-or-decode choice).
//
// Where this code does not do the plain thing, and the fault each mends:
// - a decoder given a null buffer, a side of 0 or less or a depth other than
//   24 or 32 bits fails with 10 (crash).
#pragma once
#include <cstdint>
#include <span>

#include "framework/tl/TL.h"

// Decode one level of DXT blocks into pixels of bits / 8 bytes (24 or 32),
// rows of width x bits / 8 bytes. `blocks` must hold ((width + 3) / 4) x
// ((height + 3) / 4) blocks; pixels of a block outside width x height are
// not written. Colours expand by shift only (white is 248, 252, 248). 0, or
// -1 with code 10 for a null buffer, a side <= 0 or another depth.
int dxt1Decompress(const uint8_t* blocks, uint8_t* pixels, int32_t width, int32_t height, int32_t bits);
int dxt3Decompress(const uint8_t* blocks, uint8_t* pixels, int32_t width, int32_t height, int32_t bits);
int dxt5Decompress(const uint8_t* blocks, uint8_t* pixels, int32_t width, int32_t height, int32_t bits);

namespace dxt {

struct Format {
  uint32_t fourcc;         // "DXT1" ... as a little-endian value
  const char* name;
  int64_t blockBytes;      // 8 or 16
  int32_t bits;            // depth when decoded
  int32_t glFormat;        // the GL compressed format, also the loader's support option
  int32_t decodedSubtype;  // subtype when decoded
  int (*decode)(const uint8_t*, uint8_t*, int32_t, int32_t, int32_t);
};

constexpr uint32_t FourCC(char a, char b, char c, char d) {
  return uint32_t(uint8_t(a)) | uint32_t(uint8_t(b)) << 8 | uint32_t(uint8_t(c)) << 16 | uint32_t(uint8_t(d)) << 24;
}

// The format of a FourCC, or NULL for any other.
const Format* FormatOf(uint32_t fourcc);
// The name the logs give a FourCC: "DXT1", "DXT3", "DXT5" or "unknown".
const char* NameOf(uint32_t fourcc);

// Side of level i: level 0's shifted right, never below 1.
inline int32_t Side(int32_t side0, int level) {
  int32_t s = level < 31 ? side0 >> level : 0;
  return s > 0 ? s : 1;
}
// Bytes of DXT blocks of a w x h level.
inline int64_t LevelBytes(int64_t w, int64_t h, int64_t blockBytes) {
  return ((w + 3) / 4) * ((h + 3) / 4) * blockBytes;
}
// Bytes of a decoded w x h level: never fewer than 64.
inline int64_t DecodedBytes(int64_t w, int64_t h, int32_t bits) {
  int64_t n = w * h * (bits / 8);
  return n > 64 ? n : 64;
}

// How a reader walks a file's levels.
struct Plan {
  const Format* format = nullptr;
  int32_t width = 0, height = 0;  // level 0 in the file
  int count = 0;                  // levels walked: declared, capped at the slots and at the 1 x 1 level
  int skip = 0;                   // largest levels dropped for the texture quality
  bool keep = false;              // DXT blocks kept for the GL
};

// Checks a header and plans the walk; 0, or the code to fail with: 1000 for
// an unknown FourCC, sides <= 0 or no level left after the quality skip.
// `keepWanted` is whether the reader would keep the blocks when the GL takes
// them.
int MakePlan(uint32_t fourcc, int32_t width, int32_t height, int64_t declared, bool keepWanted, Plan& plan);

// A new bitmap without levels, its fields from a plan (type, subtype, size,
// bits, levels); NULL without memory.
txBitmap* NewBitmap(const Plan& plan);

// Stores level `level` of the file from its DXT bytes (at least the level's
// size) in slot level - skip: a copy of the level's blocks when kept (bytes
// beyond them are left out), the decoded pixels otherwise. 0, or the code to
// fail with.
int StoreLevel(const Plan& plan, int level, std::span<const uint8_t> blocks, txBitmap* b);

}  // namespace dxt
