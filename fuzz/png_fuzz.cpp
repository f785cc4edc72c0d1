// Feeds arbitrary bytes to the PNG reader of the texture loader: whatever
// the chunks claim, the reader must stay inside the buffer, end every libpng
// error through its jump point and release what it made.
#include <cstddef>
#include <cstdint>

#include "framework/tl/TL.h"
#include "framework/tl/_png.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto length = static_cast<int64_t>(size);
  pngDetect(data, length);
  if (txBitmap* bitmap = pngRead(data, length)) txFree(&bitmap);
  return 0;
}
