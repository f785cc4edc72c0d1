// Reads arbitrary bytes as scene configuration text into a scene with two
// materials, two objects of one name and unnamed lights: whatever the lines
// hold (no line end, CR, long lines, many "(", ")", "." and "=", huge or
// malformed numbers, zero bytes), every write stays inside the records and
// passcount is the largest of 0 and every object's passno.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "engine/loader.h"
#include "engine/sceneconfig.h"

namespace {
void Quiet(std::string_view) {}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static _OVX_MATERIAL materials[2];
  static _OVX_OBJECT objects[2];
  static _OVX_SCENE scene;
  LoaderSetLogSink(Quiet);
  materials[0] = materials[1] = _OVX_MATERIAL{};
  objects[0] = objects[1] = _OVX_OBJECT{};
  scene = _OVX_SCENE{};
  materials[0].name.assign("stone");
  materials[1].name.assign("leaf");
  objects[0].name.assign("twin");
  objects[1].name.assign("twin");
  scene.materials = materials;
  scene.objects = objects;
  scene.materialcount = scene.objectcount = 2;
  LoadSceneConfigText(&scene, std::string_view(reinterpret_cast<const char*>(data), size), "fuzz");
  int32_t highest = 0;
  for (const _OVX_OBJECT& o : objects) highest = o.passno > highest ? o.passno : highest;
  if (scene.passcount != highest) std::abort();
  return 0;
}
