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

// The size of the first start-of-frame marker, or 0 when there is none.
uint64_t FramePixels(const uint8_t* data, size_t size) {
  for (size_t k = 0; k + 8 < size; ++k) {
    if (data[k] != 0xFF || data[k + 1] < 0xC0 || data[k + 1] > 0xCF || data[k + 1] == 0xC4 || data[k + 1] == 0xC8 ||
        data[k + 1] == 0xCC)
      continue;
    uint64_t height = (uint64_t(data[k + 5]) << 8) | data[k + 6];
    uint64_t width = (uint64_t(data[k + 7]) << 8) | data[k + 8];
    return width * height;
  }
  return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto length = static_cast<int64_t>(size);
  jpegDetect(data, length);
  if (FramePixels(data, size) > kMaxPixels) return 0;
  if (txBitmap* bitmap = jpegRead(data, length)) txFree(&bitmap);
  return 0;
}
