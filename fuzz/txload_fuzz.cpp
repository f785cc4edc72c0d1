// Runs the whole texture load on arbitrary bytes: the first bytes choose the
// options and split off a companion alpha image (see testsupport/tl/loadinput.h), the rest
// goes through detection, the filter's reader and every post-processing step.
// Whatever the files claim, the load stays inside its buffers, and a bitmap
// it returns holds every pixel its record declares.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "framework/tl/TL.h"
#include "testsupport/tl/loadinput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tlfix::LoadInput in = tlfix::UnpackLoadInput(std::span<const uint8_t>(data, size));
  txBitmap* bitmap = tlfix::LoadFromInput(in);
  if (bitmap && !tlfix::HoldsItsPixels(bitmap)) std::abort();
  if (bitmap) txFree(&bitmap);
  return 0;
}
