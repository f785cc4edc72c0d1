#include "engine/scenefree.h"

#include <cstring>
#include <initializer_list>

#include "engine/loader.h"
#include "engine/precalc.h"
#include "units/sysunit.h"

namespace {

template <class T>
void ReleasePlain(T*& p) {
  LoaderRelease(p);
  p = nullptr;
}

// The arrays read from the file; what the precalculation computed for the
// object has gone before (ReleasePrecalculation).
void FreeObjectArrays(_OVX_OBJECT& o) {
  MemFree(o.strip);
  MemFree(o.vertices);
  MemFree(o.faces);
  MemFree(o.basefaces);
  MemFree(o.colors);
  MemFree(o.texcoords);
  MemFree(o.normals);
  MemFree(o.positionkeys);
  MemFree(o.rotationkeys);
  MemFree(o.scalekeys);
  if (o.neighboursplain)
    ReleasePlain(o.neighbours);
  else
    MemFree(o.neighbours);
  o.neighboursplain = 0;
}

// A shared copy owns nothing: only its references go.
void ForgetArrays(_OVX_SCENE* scene) {
  scene->materials = nullptr;
  scene->objects = nullptr;
  scene->camerakeys = nullptr;
  scene->targetkeys = nullptr;
  scene->cameratangents = nullptr;
  scene->targettangents = nullptr;
  scene->particles = nullptr;
  scene->volumevertices = nullptr;
  scene->volumeindices = nullptr;
  scene->volumevertexbuffer = 0;
  scene->volumeindexbuffer = 0;
  scene->materialcount = scene->objectcount = scene->camerakeycount = scene->targetkeycount = 0;
  scene->particlecount = 0;
  for (_OVX_LIGHT& l : scene->lights) {
    l.keys = nullptr;
    l.keycount = 0;
  }
}

void FreeSceneMaterials(_OVX_SCENE* scene) {
  MemFree(scene->materials);
  scene->materialcount = 0;
}

}  // namespace

void FreeSceneObjects(_OVX_SCENE* scene) {
  for (int32_t i = 0; scene->objects && i < scene->objectcount; ++i) FreeObjectArrays(scene->objects[i]);
  MemFree(scene->objects);
  scene->objectcount = 0;
}

void FreeScene(_OVX_SCENE* scene) {
  if (!scene) return;
  if (scene->sharedcopy) {
    ForgetArrays(scene);
    return;
  }
  ReleasePrecalculation(scene);
  for (_OVX_LIGHT& l : scene->lights) MemFree(l.keys);
  FreeSceneObjects(scene);
  MemFree(scene->camerakeys);
  MemFree(scene->targetkeys);
  FreeSceneMaterials(scene);
  MemFree(scene->particles);  // the pool of AllocParticles
  ForgetArrays(scene);
}

void ShareScene(_OVX_SCENE* copy, const _OVX_SCENE* original) {
  std::memcpy(static_cast<void*>(copy), original, sizeof *copy);
  copy->sharedcopy = 1;
}
