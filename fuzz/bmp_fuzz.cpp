// Feeds arbitrary bytes to the BMP reader of the texture loader: whatever
// the header claims, the reader must stay inside the buffer.
#include <cstddef>
#include <cstdint>

#include "framework/tl/TL.h"
#include "framework/tl/_bmp.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto length = static_cast<int64_t>(size);
  bmpDetect(data, length);
  if (txBitmap* bitmap = bmpRead(data, length)) txFree(&bitmap);
  return 0;
}
