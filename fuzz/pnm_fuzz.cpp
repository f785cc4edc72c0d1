// Feeds arbitrary bytes to the PNM reader of the texture loader: whatever
// the header claims, the reader must stay inside the buffer.
#include <cstddef>
#include <cstdint>

#include "framework/tl/TL.h"
#include "framework/tl/_pnm.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto length = static_cast<int64_t>(size);
  pnmDetect(data, length);
  if (txBitmap* bitmap = pnmRead(data, length)) txFree(&bitmap);
  return 0;
}
