// Feeds arbitrary bytes to the font renderer as a font file held in memory:
// whatever the tables claim, opening the face and rendering a line with it
// must stay inside the buffer and the target bitmap.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "framework/base/mem.h"
#include "framework/fr/FR.h"

namespace {

constexpr const char* kFaceName = "fuzz.ttf";

void RenderLine(int encoding, const char* text, int bits, int size) {
  FR_Font_t* font = ftNewFont(encoding, 0xFFC08040u, FR_HALIGN_CENTRE, FR_VALIGN_CENTRE);
  if (!font) return;
  if (ftSetFont(font, kFaceName, size, 100, 0) == 0) {
    const int width = 41, height = 23;
    std::vector<uint8_t> pixels(static_cast<size_t>(width) * height * (bits / 8));
    txBitmap bitmap{};
    bitmap.type = TX_TYPE_RGB;
    bitmap.subtype = bits == 32 ? TX_SUB_32 : TX_SUB_GREY;
    bitmap.width = width;
    bitmap.height = height;
    bitmap.bits = bits;
    bitmap.levels = 1;
    bitmap.sizes[0] = static_cast<int32_t>(pixels.size());
    bitmap.data[0] = pixels.data();
    int w = 0, h = 0;
    ftRender(font, &bitmap, text, &w, &h);
  }
  ftFreeFont(font);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0 || size > (1u << 24)) return 0;
  if (ftInit() != 0) return 0;
  auto* buffer = static_cast<uint8_t*>(SYS_MemGet(size));
  if (!buffer) return 0;
  std::memcpy(buffer, data, size);
  if (ftAddFace(kFaceName, buffer, static_cast<int32_t>(size)) == 0) {
    RenderLine(FR_ENC_LATIN1, "AVHg\xE9'", 32, 14);
    RenderLine(FR_ENC_UTF8, "W\xC3\xA9\xE2\x82\xAC\xFF", 8, 40);
  } else {
    SYS_MemFree(buffer);
  }
  ftDone();  // releases the face and its buffer
  return 0;
}
