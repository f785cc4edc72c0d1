// One whole load from a single block of bytes, for the loader's fuzz target
// and for the tests that replay its seeds and findings. The block is: one
// byte of option bits, the alpha image's length (16 bits), the image, then
// the alpha image. Both images are served through the in-memory file store,
// so the load runs every step the program's own loads run: open, read,
// detection over the filter table, the companion alpha image, the colour
// order swap, the flip and the quality reduction.
#pragma once
#include <cstdint>
#include <span>

#include "framework/base/bytes.h"
#include "framework/tl/TL.h"
#include "testsupport/tl/fixtures.h"
#include "testsupport/tl/memfiles.h"

namespace tlfix {

// Bits of the option byte.
constexpr uint8_t kLoadRgbOrder = 0x01;     // option 3 = 1, else 0
constexpr uint8_t kLoadFlip = 0x02;         // option 4
constexpr uint8_t kLoadQualityMask = 0x0C;  // option 2 = (bits >> 2): 0 full, 1 half, 2 and 3 a quarter
constexpr int kLoadQualityShift = 2;
constexpr uint8_t kLoadVerbose = 0x10;      // option 1

// The names the store serves; the second is the companion alpha name the
// loader forms from the first.
constexpr const char* kLoadName = "fuzz.img";
constexpr const char* kLoadAlphaName = "fuzz_a.img";

struct LoadInput {
  uint8_t options = 0;
  Bytes image, alpha;  // no alpha file when empty
};

inline Bytes PackLoadInput(const LoadInput& in) {
  SYS_ByteWriter w;
  w.u8(in.options);
  w.u16(static_cast<uint16_t>(in.alpha.size()));
  w.bytes(in.image);
  w.bytes(in.alpha);
  return w.release();
}

// An alpha length longer than what follows the header means no alpha image:
// every block of bytes is some input.
inline LoadInput UnpackLoadInput(std::span<const uint8_t> block) {
  SYS_ByteReader r(block);
  LoadInput in;
  in.options = r.u8();
  uint64_t alphaLength = r.u16();
  if (!r.ok()) return in;
  if (alphaLength > r.remaining()) alphaLength = 0;
  std::span<const uint8_t> image = r.take(r.remaining() - alphaLength);
  std::span<const uint8_t> alpha = r.take(alphaLength);
  in.image.assign(image.begin(), image.end());
  in.alpha.assign(alpha.begin(), alpha.end());
  return in;
}

// Sets the options, installs the two files and loads the image.
inline txBitmap* LoadFromInput(const LoadInput& in) {
  MemFiles& files = UseMemFiles();
  if (!in.image.empty()) files.files[kLoadName] = in.image;
  if (!in.alpha.empty()) files.files[kLoadAlphaName] = in.alpha;
  txOptions(TX_OPT_ORDER, (in.options & kLoadRgbOrder) ? TX_TYPE_RGB : TX_TYPE_BGR);
  txOptions(TX_OPT_FLIP, (in.options & kLoadFlip) ? 1 : 0);
  txOptions(TX_OPT_QUALITY, (in.options & kLoadQualityMask) >> kLoadQualityShift);
  txOptions(TX_OPT_VERBOSE, (in.options & kLoadVerbose) ? 1 : 0);
  return txLoad(kLoadName);
}

// Whether level 0 holds every pixel its record claims: what the texture
// upload and the converters rely on.
inline bool HoldsItsPixels(const txBitmap* b) {
  if (b->type == TX_TYPE_COMPRESSED) return b->data[0] != nullptr;
  int64_t bytes = static_cast<int64_t>(b->width) * b->height * (b->bits / 8);
  return b->data[0] && b->width > 0 && b->height > 0 && b->bits > 0 && b->sizes[0] >= bytes;
}

// The fuzz target's seeds: each fixture image plain and under the other
// options, and a colour image with a grey and a colour alpha image.
inline std::vector<std::pair<std::string, LoadInput>> LoadSeeds() {
  std::vector<std::pair<std::string, LoadInput>> seeds;
  uint8_t options = 0;
  for (const Seed& s : Seeds()) {
    seeds.push_back({s.name, {options, s.bytes, {}}});
    // Cycles through order, flip, half and quarter quality over the seeds.
    options = static_cast<uint8_t>((options + 0x05) & (kLoadRgbOrder | kLoadFlip | kLoadQualityMask));
  }
  seeds.push_back({"alpha_grey.in", {kLoadRgbOrder, SimpleTga(4, 2, 24), SimpleTga(4, 2, 8, 50)}});
  seeds.push_back({"alpha_colour_flip_half.in",
                   {static_cast<uint8_t>(kLoadFlip | (1 << kLoadQualityShift)), SimpleTga(4, 4, 32),
                    Pnm("P6", 4, 4, "255", Pattern(48, 9))}});
  return seeds;
}

}  // namespace tlfix
