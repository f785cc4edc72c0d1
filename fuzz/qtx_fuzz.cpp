// Feeds arbitrary bytes to the QTX reader of the texture loader, once with
// the levels kept for the GL and once decoded: whatever the header and the
// level lengths claim, the reader must stay inside the buffer and inflate
// nothing larger than the levels need.
#include <cstddef>
#include <cstdint>

#include "framework/tl/TL.h"
#include "framework/tl/_ddz.h"

namespace {

void GlTakesDxt(int on) {
  txOptions(TX_OPT_DXT1, on);
  txOptions(TX_OPT_DXT3, on);
  txOptions(TX_OPT_DXT5, on);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto length = static_cast<int64_t>(size);
  ddzDetect(data, length);
  for (int on : {1, 0}) {
    GlTakesDxt(on);
    if (txBitmap* bitmap = ddzRead(data, length)) txFree(&bitmap);
  }
  return 0;
}
