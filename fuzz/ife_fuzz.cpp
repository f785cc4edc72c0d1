// Feeds arbitrary bytes to the interface-layer reader, then draws and frees
// what it read: whatever the counts and numbers say, reading stays inside
// the text, allocations stay within the arrays, and drawing divides by no 0.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "app/ife.h"
#include "testsupport/app/gl.h"
#include "fuzz/byte_lines.h"
#include "units/texmgr.h"

namespace {

int32_t Loader(const ShortString&, int32_t) { return 0; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool started = false;
  if (!started) {
    TextureManagerUnitInit();
    started = true;
  }
  apptest::InstallGLRecorder();
  FuzzBytes bytes{data, size, 0};
  ife_interface ifc{0, 0, nullptr};
  ShortString error;
  if (ife_read(ifc, FuzzGets, &bytes, "", Loader, error) == IFE_OK) {
    for (float t : {-1e9f, 0.0f, 50.5f, 1e9f}) ife_render(ifc, t);
    ife_free(ifc);
  }
  return 0;
}
