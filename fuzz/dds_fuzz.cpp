// Feeds arbitrary bytes to the DDS reader of the texture loader, once with
// the blocks kept for the GL and once decoded: whatever the header claims,
// the reader must stay inside the buffer.
#include <cstddef>
#include <cstdint>

#include "framework/tl/TL.h"
#include "framework/tl/_dds.h"

namespace {

void GlTakesDxt(int on) {
  txOptions(TX_OPT_DXT1, on);
  txOptions(TX_OPT_DXT3, on);
  txOptions(TX_OPT_DXT5, on);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto length = static_cast<int64_t>(size);
  ddsDetect(data, length);
  for (int on : {1, 0}) {
    GlTakesDxt(on);
    if (txBitmap* bitmap = ddsRead(data, length)) txFree(&bitmap);
  }
  return 0;
}
