// Feeds arbitrary bytes to the DDS reader of the texture loader, once with
// the blocks kept for the GL and once decoded: whatever the header claims,
// the reader must stay inside the buffer.
#include <cstddef>
#include <cstdint>

#include "framework/tl/_dds.h"
#include "testsupport/tl/dxtfixtures.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto length = static_cast<int64_t>(size);
  ddsDetect(data, length);
  dxtfix::ReadBothWays(ddsRead, data, length, [](txBitmap*) {});
  return 0;
}
