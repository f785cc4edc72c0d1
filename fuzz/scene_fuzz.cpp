// Feeds arbitrary bytes to the scene-file reader and releases what it made:
// whatever the sizes, counts and indices say, the reader stays inside the
// bytes and its arrays, and a scene it accepts passes its own checks.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "engine/loader.h"
#include "engine/scenecheck.h"
#include "engine/scenefree.h"

namespace {
void Quiet(std::string_view) {}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  LoaderSetLogSink(Quiet);
  _OVX_SCENE scene;
  if (LoadSceneFromMemory(&scene, data, size, "fuzz") == kSceneOk && CheckLoadedScene(&scene) != kSceneOk)
    __builtin_trap();
  FreeScene(&scene);
  return 0;
}
