#include "engine/scenefree.h"

#include <cstring>
#include <initializer_list>

#include "engine/loader.h"
#include "units/glunit.h"
#include "units/sysunit.h"

namespace {

template <class T>
void ReleasePlain(T*& p) {
  LoaderRelease(p);
  p = nullptr;
}

// Buffer names go back only when a context ever made them and the entry
// point is there to take them.
void DeleteBuffer(uint32_t& name) {
  if (name != 0 && qgl::glDeleteBuffersARB) qgl::glDeleteBuffersARB(1, &name);
  name = 0;
}

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
  ReleasePlain(o.tangents);
  ReleasePlain(o.bitangents);
  ReleasePlain(o.facenormals);
  ReleasePlain(o.facecenters);
  ReleasePlain(o.planes);
  ReleasePlain(o.lightvisible);
  ReleasePlain(o.contour);
  for (uint32_t* name : {&o.indexbuffer, &o.vertexbuffer, &o.normalbuffer, &o.texcoordbuffer}) DeleteBuffer(*name);
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
  for (_OVX_LIGHT& l : scene->lights) MemFree(l.keys);
  FreeSceneObjects(scene);
  MemFree(scene->camerakeys);
  MemFree(scene->targetkeys);
  ReleasePlain(scene->cameratangents);
  ReleasePlain(scene->targettangents);
  FreeSceneMaterials(scene);
  ReleasePlain(scene->particles);
  ReleasePlain(scene->volumevertices);
  ReleasePlain(scene->volumeindices);
  DeleteBuffer(scene->volumevertexbuffer);
  DeleteBuffer(scene->volumeindexbuffer);
  ForgetArrays(scene);
}

void ShareScene(_OVX_SCENE* copy, const _OVX_SCENE* original) {
  std::memcpy(static_cast<void*>(copy), original, sizeof *copy);
  copy->sharedcopy = 1;
}
