// Feeds arbitrary bytes to the QTX reader of the texture loader, once with
// the levels kept for the GL and once decoded: whatever the header and the
// level lengths claim, the reader must stay inside the buffer and inflate
// nothing larger than the levels need.
#include <cstddef>
#include <cstdint>

#include "framework/tl/_ddz.h"
#include "testsupport/tl/dxtfixtures.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto length = static_cast<int64_t>(size);
  ddzDetect(data, length);
  dxtfix::ReadBothWays(ddzRead, data, length, [](txBitmap*) {});
  return 0;
}
