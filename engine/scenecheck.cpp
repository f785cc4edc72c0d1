// Array lengths are the sizes of the tracked blocks the reader allocated, so
// a chunk whose declared count disagreed with its size cannot make a later
// reader trust a count the array does not hold.
#include "engine/scenecheck.h"

#include <string>

#include "engine/loader.h"
#include "engine/precalc.h"
#include "framework/base/log.h"
#include "framework/base/mem.h"

namespace {

class Checker {
 public:
  // The array holds count elements: a count of 0 needs no array.
  bool Holds(const void* array, int32_t count, size_t element, const std::string& what) {
    if (count < 0) return Fail(what + " count " + std::to_string(count));
    if (count == 0) return true;
    if (!array) return Fail(what + " missing");
    SYS_ErrKeeper keep;
    const int64_t bytes = SYS_MemSize(array);
    if (bytes < 0 || uint64_t(bytes) < uint64_t(count) * element) return Fail(what + " shorter than its count");
    return true;
  }
  // Absent, or present with count elements.
  bool MayHold(const void* array, int32_t count, size_t element, const std::string& what) {
    return !array || Holds(array, count, element, what);
  }
  bool Faces(const _OVX_FACE* faces, int32_t count, int32_t low, int32_t limit, const std::string& what) {
    if (!faces) return true;
    for (int32_t i = 0; i < count; ++i)
      for (int32_t v : {faces[i].a, faces[i].b, faces[i].c})
        if (v < low || v >= limit) return Fail(what + " " + std::to_string(i) + " index " + std::to_string(v));
    return true;
  }
  bool Fail(const std::string& why) {
    LoaderLog("[ovx] damaged scene: " + where_ + why);
    return false;
  }
  void At(const std::string& where) { where_ = where; }

 private:
  std::string where_;
};

// Neighbours that the precalculation computes itself (its own, sized by it,
// or read from an old file and replaced) are not the file's to check.
bool NeighboursFromFile(const _OVX_SCENE& s, const _OVX_OBJECT& o) {
  return !o.neighboursplain && !SceneAdjacencyReplaced(&s);
}

bool CheckObject(Checker& c, const _OVX_SCENE& s, const _OVX_OBJECT& o) {
  const int32_t n = o.vertexcount;
  const int32_t f = o.facecount;
  if (n < 0 || f < 0) return c.Fail("negative vertex or face count");
  if (o.material < 0 || o.material >= s.materialcount) return c.Fail("material " + std::to_string(o.material));
  if (!c.Holds(o.vertices, n, sizeof(_OVX_VECTOR), "vertices") || !c.Holds(o.faces, f, sizeof(_OVX_FACE), "faces") ||
      !c.Holds(o.strip, o.stripcount, sizeof(uint16_t), "strip") ||
      !c.Holds(o.colors, o.hascolors ? n : 0, sizeof(_OVX_RGB), "colors") ||
      !c.Holds(o.texcoords, o.hastexcoords ? n : 0, sizeof(_OVX_TEXTCOORD), "texcoords") ||
      !c.Holds(o.normals, o.hasnormals ? n : 0, sizeof(_OVX_VECTOR), "normals") ||
      !c.Holds(o.positionkeys, o.positionkeycount, sizeof(_OVX_KEYVECTOR), "position keys") ||
      !c.Holds(o.rotationkeys, o.rotationkeycount, sizeof(_OVX_KEYQUAT), "rotation keys") ||
      !c.Holds(o.scalekeys, o.scalekeycount, sizeof(_OVX_KEYVECTOR), "scale keys") ||
      !c.MayHold(o.basefaces, f, sizeof(_OVX_FACE), "base faces"))
    return false;
  if (!c.Faces(o.faces, f, 0, n, "face") || !c.Faces(o.basefaces, f, 0, n, "base face")) return false;
  if (NeighboursFromFile(s, o) && (!c.MayHold(o.neighbours, f, sizeof(_OVX_FACE), "neighbours") ||
                                   !c.Faces(o.neighbours, f, -1, f, "neighbours of face")))
    return false;
  for (int32_t i = 0; i < o.stripcount; ++i)
    if (o.strip[i] >= n) return c.Fail("strip " + std::to_string(i) + " index " + std::to_string(o.strip[i]));
  return true;
}

}  // namespace

int CheckLoadedScene(const _OVX_SCENE* scene) {
  const _OVX_SCENE& s = *scene;
  Checker c;
  if (!c.Holds(s.camerakeys, s.camerakeycount, sizeof(_OVX_KEYVECTOR), "camera keys") ||
      !c.Holds(s.targetkeys, s.targetkeycount, sizeof(_OVX_KEYVECTOR), "target keys"))
    return kSceneDamaged;
  for (int i = 0; i < kOvxLightCount; ++i) {
    c.At("light " + std::to_string(i) + ": ");
    if (!c.Holds(s.lights[i].keys, s.lights[i].keycount, sizeof(_OVX_KEYVECTOR), "keys")) return kSceneDamaged;
  }
  for (int32_t i = 0; i < s.objectcount; ++i) {
    c.At("object " + std::to_string(i) + ": ");
    if (!CheckObject(c, s, s.objects[i])) return kSceneDamaged;
  }
  return kSceneOk;
}
