#include "engine/precalc.h"

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/camera.h"
#include "engine/loader.h"
#include "engine/vector.h"
#include "framework/wm/glconst.h"
#include "units/glunit.h"
#include "units/sysunit.h"

namespace {

constexpr uint8_t kDefaultTextureBpp = 24;
constexpr float kVolumeExtent = 1000.0f;
// Room the shadow code may touch behind the last face flag.
constexpr size_t kFlagSlack = 16;
constexpr size_t kVolumeVerticesPerFace = 12;
constexpr size_t kVolumeTrianglesPerFace = 6;
constexpr size_t kVolumeQuadsPerFace = 3;
constexpr size_t kEdgesPerFace = 3;
constexpr int32_t kNoNeighbour = -1;
// Files before this version always get their adjacency computed, even when
// they carry one.
constexpr uint8_t kAdjacencyVersionMajor = 1;
constexpr uint8_t kAdjacencyVersionMinor = 2;

size_t Count(int32_t n) { return n > 0 ? static_cast<size_t>(n) : 0; }

template <class T>
T* Allocate(size_t count) {
  return static_cast<T*>(LoaderGetMem(count * sizeof(T)));
}

template <class T>
void Release(T*& block) {
  LoaderRelease(block);
  block = nullptr;
}

int32_t& Corner(_OVX_FACE& face, size_t k) { return k == 0 ? face.a : k == 1 ? face.b : face.c; }
int32_t Corner(const _OVX_FACE& face, size_t k) { return k == 0 ? face.a : k == 1 ? face.b : face.c; }

// The GL buffer calls of one run. An entry point that the GL unit lacks is
// skipped and named in the log once per run.
class BufferCalls {
 public:
  uint32_t Generate() {
    if (!Present(qgl::glGenBuffersARB, "glGenBuffersARB", loggedGen_)) return 0;
    GLuint name = 0;
    qgl::glGenBuffersARB(1, &name);
    return name;
  }
  // Binds the buffer and, when upload is set, replaces its data. A buffer
  // that was never generated (name 0) is left alone, and nothing is
  // uploaded without the binding (it would land in another buffer).
  void Fill(GLenum target, uint32_t name, bool upload, size_t bytes, const void* data, GLenum usage) {
    if (name == 0 || !Present(qgl::glBindBufferARB, "glBindBufferARB", loggedBind_)) return;
    qgl::glBindBufferARB(target, name);
    if (upload && Present(qgl::glBufferDataARB, "glBufferDataARB", loggedData_))
      qgl::glBufferDataARB(target, static_cast<GLsizeiptrARB>(bytes), data, usage);
  }
  void Delete(uint32_t& name) {
    if (name == 0) return;
    if (Present(qgl::glDeleteBuffersARB, "glDeleteBuffersARB", loggedDelete_)) {
      GLuint n = name;
      qgl::glDeleteBuffersARB(1, &n);
    }
    name = 0;
  }

 private:
  template <class F>
  static bool Present(F* entry, const char* name, bool& logged) {
    if (entry) return true;
    if (!logged) LoaderLog(std::string("GL function ") + name + " is not available, scene buffers stay empty");
    logged = true;
    return false;
  }
  bool loggedGen_ = false, loggedBind_ = false, loggedData_ = false, loggedDelete_ = false;
};

// The corners of face f when the face and its three vertices exist.
const _OVX_FACE* CheckedFace(const _OVX_OBJECT& o, size_t f) {
  if (!o.faces || !o.vertices) return nullptr;
  const _OVX_FACE& face = o.faces[f];
  for (size_t k = 0; k < 3; ++k)
    if (Corner(face, k) < 0 || Corner(face, k) >= o.vertexcount) return nullptr;
  return &face;
}

bool MaterialTextured(const _OVX_SCENE& scene, int32_t material) {
  if (!scene.materials || material < 0 || material >= scene.materialcount) return false;
  return scene.materials[material].textured != 0;
}

// What an earlier run left (see ReleasePrecalculation).
void ReleaseComputed(_OVX_SCENE& scene, BufferCalls& gl) {
  Release(scene.cameratangents);
  Release(scene.targettangents);
  Release(scene.volumevertices);
  Release(scene.volumeindices);
  gl.Delete(scene.volumeindexbuffer);
  gl.Delete(scene.volumevertexbuffer);
  if (!scene.objects) return;
  for (size_t i = 0; i < Count(scene.objectcount); ++i) {
    _OVX_OBJECT& o = scene.objects[i];
    Release(o.planes);
    Release(o.lightvisible);
    Release(o.contour);
    Release(o.facecenters);
    Release(o.facenormals);
    Release(o.tangents);
    Release(o.bitangents);
    if (o.neighboursplain) {
      Release(o.neighbours);
      o.neighboursplain = 0;
    }
    gl.Delete(o.vertexbuffer);
    gl.Delete(o.indexbuffer);
    gl.Delete(o.normalbuffer);
    gl.Delete(o.texcoordbuffer);
  }
}

// Both tracks get their tangents, or neither: a scene without camera keys
// or without target keys has no camera path, and the curves read a missing
// tangent array as zero tangents.
void CameraTangents(_OVX_SCENE& scene) {
  if (scene.camerakeycount < 1 || scene.targetkeycount < 1 || !scene.camerakeys || !scene.targetkeys) return;
  scene.cameratangents = Allocate<_OVX_VECTOR>(Count(scene.camerakeycount));
  scene.targettangents = Allocate<_OVX_VECTOR>(Count(scene.targetkeycount));
  ComputeTrackTangents(scene.camerakeys, scene.camerakeycount, scene.cameratangents);
  ComputeTrackTangents(scene.targetkeys, scene.targetkeycount, scene.targettangents);
}

void FaceNormalsAndCentres(_OVX_OBJECT& o) {
  if (!o.facenormals || !o.facecenters) return;
  for (size_t f = 0; f < Count(o.facecount); ++f) {
    const _OVX_FACE* face = CheckedFace(o, f);
    if (!face) continue;
    const _OVX_VECTOR &p0 = o.vertices[face->a], &p1 = o.vertices[face->b], &p2 = o.vertices[face->c];
    o.facenormals[f] = FaceNormal(p0, p1, p2);
    o.facecenters[f] = {(p0.x + p1.x + p2.x) / 3.0f, (p0.y + p1.y + p2.y) / 3.0f, (p0.z + p1.z + p2.z) / 3.0f};
  }
}

_OVX_VECTOR CornerTexCoord(const _OVX_OBJECT& o, int32_t vertex) {
  if (!o.hastexcoords || !o.texcoords) return {0.0f, 0.0f, 0.0f};
  return TexCoordToVector(o.texcoords[vertex]);
}

// s and t carry over from face to face and from object to object within one
// run; they start at 0.
void TangentFrames(_OVX_OBJECT& o, _OVX_VECTOR& s, _OVX_VECTOR& t) {
  if (!o.tangents || !o.bitangents) return;
  for (size_t f = 0; f < Count(o.facecount); ++f) {
    const _OVX_FACE* face = CheckedFace(o, f);
    if (!face) continue;
    ComputeTangents(o.vertices[face->a], o.vertices[face->b], o.vertices[face->c], CornerTexCoord(o, face->a),
                    CornerTexCoord(o, face->b), CornerTexCoord(o, face->c), s, t);
    o.tangents[face->a] = VecNormalize(s);
    o.bitangents[face->a] = VecNormalize(t);
  }
  for (size_t v = 0; v < Count(o.vertexcount); ++v) {
    o.tangents[v] = VecNormalize(o.tangents[v]);
    o.bitangents[v] = VecNormalize(o.bitangents[v]);
  }
}

void ObjectFaceData(_OVX_OBJECT& o, _OVX_VECTOR& s, _OVX_VECTOR& t) {
  const size_t faces = Count(o.facecount);
  o.planes = Allocate<_OVX_PLANE>(faces);
  o.lightvisible = Allocate<uint8_t>(faces + kFlagSlack);
  o.contour = Allocate<uint8_t>(kEdgesPerFace * faces + kFlagSlack);
  o.facecenters = Allocate<_OVX_VECTOR>(faces);
  o.facenormals = Allocate<_OVX_VECTOR>(faces);
  FaceNormalsAndCentres(o);
  o.tangents = Allocate<_OVX_VECTOR>(Count(o.vertexcount));
  o.bitangents = Allocate<_OVX_VECTOR>(Count(o.vertexcount));
  TangentFrames(o, s, t);
}

// Old files get their adjacency computed even when they carry one; any file
// that lacks it gets it too, since the shadow code reads it for every face.
void Adjacency(_OVX_SCENE& scene, size_t objects) {
  const bool oldFile = SceneAdjacencyReplaced(&scene);
  for (size_t i = 0; i < objects; ++i) {
    _OVX_OBJECT& o = scene.objects[i];
    if (o.neighbours && !oldFile) continue;
    // A computed array went in ReleaseComputed; one from the file belongs
    // to the tracked allocator.
    MemFree(o.neighbours);
    o.neighbours = Allocate<_OVX_FACE>(Count(o.facecount));
    o.neighboursplain = 1;
    ComputeNeighbours(&o);
  }
}

void VolumeArrays(_OVX_SCENE& scene, size_t faceTotal, BufferCalls& gl) {
  scene.volumevertices = Allocate<_OVX_VECTOR>(kVolumeVerticesPerFace * faceTotal);
  scene.volumeindices = Allocate<_OVX_FACE>(kVolumeTrianglesPerFace * faceTotal);
  if (scene.volumeindices) FillVolumeIndices(scene.volumeindices, faceTotal);
  scene.volumeindexbuffer = gl.Generate();
  gl.Fill(GL_ELEMENT_ARRAY_BUFFER_ARB, scene.volumeindexbuffer, scene.volumeindices != nullptr,
          kVolumeTrianglesPerFace * faceTotal * sizeof(_OVX_FACE), scene.volumeindices, GL_DYNAMIC_DRAW_ARB);
  // No data: the shadow pass fills it every frame.
  scene.volumevertexbuffer = gl.Generate();
}

void ObjectBuffers(const _OVX_SCENE& scene, _OVX_OBJECT& o, BufferCalls& gl) {
  const size_t vertices = Count(o.vertexcount), faces = Count(o.facecount);
  o.vertexbuffer = gl.Generate();
  gl.Fill(GL_ARRAY_BUFFER_ARB, o.vertexbuffer, vertices > 0 && o.vertices, vertices * sizeof(_OVX_VECTOR),
          o.vertices, GL_STATIC_DRAW_ARB);
  o.indexbuffer = gl.Generate();
  gl.Fill(GL_ELEMENT_ARRAY_BUFFER_ARB, o.indexbuffer, faces > 0 && o.faces, faces * sizeof(_OVX_FACE), o.faces,
          GL_STATIC_DRAW_ARB);
  o.normalbuffer = gl.Generate();
  gl.Fill(GL_ARRAY_BUFFER_ARB, o.normalbuffer, o.hasnormals && o.normals, vertices * sizeof(_OVX_VECTOR), o.normals,
          GL_STATIC_DRAW_ARB);
  o.texcoordbuffer = gl.Generate();
  const bool texcoords = o.hastexcoords && o.texcoords && MaterialTextured(scene, o.material);
  gl.Fill(GL_ARRAY_BUFFER_ARB, o.texcoordbuffer, texcoords, vertices * sizeof(_OVX_TEXTCOORD), o.texcoords,
          GL_STATIC_DRAW_ARB);
}

// The faces holding one edge, in face order, pair up two by two (see
// ComputeNeighbours); slots holds face * 3 + edge of every edge with that
// key, in face and edge order.
void PairEdgeGroup(_OVX_FACE* neighbours, const std::vector<int32_t>& slots) {
  auto face = [](int32_t slot) { return slot / static_cast<int32_t>(kEdgesPerFace); };
  auto edge = [](int32_t slot) { return static_cast<size_t>(slot) % kEdgesPerFace; };
  size_t waitingStart = 0;  // the run of slots of a face still without a partner
  bool waiting = false;
  for (size_t start = 0; start < slots.size();) {
    size_t end = start;
    while (end < slots.size() && face(slots[end]) == face(slots[start])) ++end;
    if (waiting) {
      const int32_t a = face(slots[waitingStart]), b = face(slots[start]);
      for (size_t i = waitingStart; i < start; ++i) Corner(neighbours[a], edge(slots[i])) = b;
      for (size_t i = start; i < end; ++i) Corner(neighbours[b], edge(slots[i])) = a;
    } else {
      waitingStart = start;
    }
    waiting = !waiting;
    start = end;
  }
}

// Edges keyed by their two vertex indices, smaller first, in an
// open-addressing table; each key keeps its slots in the order they came.
class EdgeTable {
 public:
  explicit EdgeTable(size_t slots) : next_(slots, -1) {
    size_t size = kMinBuckets;
    while (size < 2 * slots) size *= 2;
    buckets_.assign(size, -1);
    mask_ = size - 1;
  }
  void Add(int32_t a, int32_t b, int32_t slot) {
    const uint32_t lo = static_cast<uint32_t>(a < b ? a : b), hi = static_cast<uint32_t>(a < b ? b : a);
    const uint64_t key = (static_cast<uint64_t>(hi) << 32) | lo;
    size_t bucket = static_cast<size_t>((key * kHashMultiplier) >> 32) & mask_;
    while (buckets_[bucket] >= 0 && keys_[buckets_[bucket]] != key) bucket = (bucket + 1) & mask_;
    int32_t& group = buckets_[bucket];
    if (group < 0) {
      group = static_cast<int32_t>(keys_.size());
      keys_.push_back(key);
      heads_.push_back(slot);
    } else {
      next_[tails_[group]] = slot;
    }
    if (static_cast<size_t>(group) == tails_.size())
      tails_.push_back(slot);
    else
      tails_[group] = slot;
  }
  size_t Groups() const { return keys_.size(); }
  void Slots(size_t group, std::vector<int32_t>& out) const {
    out.clear();
    for (int32_t s = heads_[group]; s >= 0; s = next_[s]) out.push_back(s);
  }

 private:
  static constexpr size_t kMinBuckets = 16;
  static constexpr uint64_t kHashMultiplier = 0x9E3779B97F4A7C15ull;
  std::vector<int32_t> buckets_, next_, heads_, tails_;
  std::vector<uint64_t> keys_;
  size_t mask_ = 0;
};

}  // namespace

_OVX_VECTOR TexCoordToVector(const _OVX_TEXTCOORD& coord) { return {coord.u, coord.v, 0.0f}; }

_OVX_VECTOR FaceNormal(const _OVX_VECTOR& p0, const _OVX_VECTOR& p1, const _OVX_VECTOR& p2) {
  return VecNormalize(VecCross(VecSub(p0, p1), VecSub(p2, p1)));
}

void ComputeTangents(const _OVX_VECTOR& p0, const _OVX_VECTOR& p1, const _OVX_VECTOR& p2, const _OVX_VECTOR& t0,
                     const _OVX_VECTOR& t1, const _OVX_VECTOR& t2, _OVX_VECTOR& s, _OVX_VECTOR& t) {
  constexpr float kDegenerate = 0.00001f;
  const float du1 = t1.x - t0.x, dv1 = t1.y - t0.y, du2 = t2.x - t0.x, dv2 = t2.y - t0.y;
  // n = e1 x e2 with e = (dP, du, dv) per component; n.x, the texture-space
  // determinant, is the same for all three, so a degenerate face keeps all
  // three components of s and t.
  const float nx = du1 * dv2 - dv1 * du2;
  if (!(std::fabs(nx) > kDegenerate)) return;
  const float dp1[3] = {p1.x - p0.x, p1.y - p0.y, p1.z - p0.z};
  const float dp2[3] = {p2.x - p0.x, p2.y - p0.y, p2.z - p0.z};
  float* sOut[3] = {&s.x, &s.y, &s.z};
  float* tOut[3] = {&t.x, &t.y, &t.z};
  for (int d = 0; d < 3; ++d) {
    const float ny = dv1 * dp2[d] - dp1[d] * dv2;
    const float nz = dp1[d] * du2 - du1 * dp2[d];
    *sOut[d] = -ny / nx;
    *tOut[d] = -nz / nx;
  }
}

void FillVolumeIndices(_OVX_FACE* indices, size_t faceTotal) {
  for (size_t k = 0; k < kVolumeQuadsPerFace * faceTotal; ++k) {
    const int32_t q = static_cast<int32_t>(4 * k);
    indices[2 * k] = {q, q + 1, q + 2};
    indices[2 * k + 1] = {q + 2, q + 3, q};
  }
}

void ComputeNeighbours(_OVX_OBJECT* object) {
  if (!object || !object->neighbours) return;
  const size_t faces = Count(object->facecount);
  _OVX_FACE* neighbours = object->neighbours;
  for (size_t f = 0; f < faces; ++f) neighbours[f] = {kNoNeighbour, kNoNeighbour, kNoNeighbour};
  const _OVX_FACE* corners = object->basefaces ? object->basefaces : object->faces;
  if (!corners || faces < 2) return;
  EdgeTable edges(kEdgesPerFace * faces);
  for (size_t f = 0; f < faces; ++f)
    for (size_t k = 0; k < kEdgesPerFace; ++k)
      edges.Add(Corner(corners[f], k), Corner(corners[f], (k + 1) % kEdgesPerFace),
                static_cast<int32_t>(kEdgesPerFace * f + k));
  std::vector<int32_t> slots;
  for (size_t g = 0; g < edges.Groups(); ++g) {
    edges.Slots(g, slots);
    PairEdgeGroup(neighbours, slots);
  }
}

bool SceneAdjacencyReplaced(const _OVX_SCENE* scene) {
  return scene && scene->versionmajor == kAdjacencyVersionMajor && scene->versionminor < kAdjacencyVersionMinor;
}

void ReleasePrecalculation(_OVX_SCENE* scene) {
  if (!scene || scene->sharedcopy) return;
  BufferCalls gl;
  ReleaseComputed(*scene, gl);
}

void PrecalculateScene(_OVX_SCENE* scene) {
  if (!scene || scene->sharedcopy) return;
  BufferCalls gl;
  ReleaseComputed(*scene, gl);

  CameraTangents(*scene);

  if (scene->materials)
    for (size_t m = 0; m < Count(scene->materialcount); ++m) scene->materials[m].texturebpp = kDefaultTextureBpp;

  scene->passcount = 0;
  scene->maxobjectfaces = 0;
  size_t faceTotal = 0;
  const size_t objects = scene->objects ? Count(scene->objectcount) : 0;
  _OVX_VECTOR s{0.0f, 0.0f, 0.0f}, t{0.0f, 0.0f, 0.0f};
  for (size_t i = 0; i < objects; ++i) {
    _OVX_OBJECT& o = scene->objects[i];
    faceTotal += Count(o.facecount);
    if (o.facecount > scene->maxobjectfaces) scene->maxobjectfaces = o.facecount;
    o.rotation = {0.0f, 0.0f, 0.0f};
    if (o.passno > scene->passcount) scene->passcount = o.passno;
    ObjectFaceData(o, s, t);
  }

  Adjacency(*scene, objects);
  VolumeArrays(*scene, faceTotal, gl);
  scene->volumeextent = kVolumeExtent;
  for (size_t i = 0; i < objects; ++i) ObjectBuffers(*scene, scene->objects[i], gl);
}
