// Feeds arbitrary bytes to the JPEG reader of the texture loader: damaged
// markers and entropy data must end through the error manager, never the
// process, and the source must never hand out bytes past the buffer.
#include <cstddef>
#include <cstdint>

#include "framework/tl/TL.h"
#include "framework/tl/_jpeg.h"

namespace {

// A few bytes of entropy data can claim a huge image; the fuzzer's memory
// limit is no finding, so frames above this many pixels are left out.
constexpr uint64_t kMaxPixels = 1024 * 1024;

// The largest size any start-of-frame marker in the bytes claims (the
// decoder skips damaged stretches in search of markers, so every candidate
// counts; bytes past the end read as the 0xFF of the end marker that the
// source then hands out), or 0 when there is none.
uint64_t FramePixels(const uint8_t* data, size_t size) {
  auto at = [&](size_t k) -> uint64_t { return k < size ? data[k] : 0xFF; };
  uint64_t largest = 0;
  for (size_t k = 0; k + 1 < size; ++k) {
    if (data[k] != 0xFF || data[k + 1] < 0xC0 || data[k + 1] > 0xCF || data[k + 1] == 0xC4 || data[k + 1] == 0xC8 ||
        data[k + 1] == 0xCC)
      continue;
    uint64_t height = (at(k + 5) << 8) | at(k + 6);
    uint64_t width = (at(k + 7) << 8) | at(k + 8);
    if (width * height > largest) largest = width * height;
  }
  return largest;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto length = static_cast<int64_t>(size);
  jpegDetect(data, length);
  if (FramePixels(data, size) > kMaxPixels) return 0;
  if (txBitmap* bitmap = jpegRead(data, length)) txFree(&bitmap);
  return 0;
}
