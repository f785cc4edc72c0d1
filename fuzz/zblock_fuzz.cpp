// Unpacks arbitrary bytes as a compressed block: whatever the length fields
// claim, the decompressor must read only the bytes it is given and refuse
// absurd lengths. What unpacks must pack and unpack again to the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "framework/base/mem.h"
#include "framework/base/z.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  void* unpacked = nullptr;
  uint32_t length = 0;
  if (SYS_ZUncompress(data, size, &unpacked, &length) != 0) return 0;
  void* block = nullptr;
  uint32_t blockLength = 0;
  if (SYS_ZCompress(unpacked, length, &block, &blockLength) == 0) {
    void* again = nullptr;
    uint32_t againLength = 0;
    if (SYS_ZUncompress(block, blockLength, &again, &againLength) != 0 || againLength != length ||
        std::memcmp(again, unpacked, length) != 0)
      std::abort();
    SYS_MemFree(again);
    SYS_MemFree(block);
  }
  SYS_MemFree(unpacked);
  return 0;
}
