#include "engine/shadow.h"

#include <cstddef>

#include "engine/camera.h"
#include "engine/vector.h"
#include "framework/wm/glconst.h"
#include "units/glunit.h"

ShadowUnitState ShadowUnit;

namespace {

constexpr int32_t kEdgesPerFace = 3;
constexpr int32_t kNone = -1;
constexpr size_t kVerticesPerQuad = 4;
constexpr size_t kIndicesPerQuad = 6;
// At most three silhouette edges per face: the volume arrays hold three
// quads for every face of the scene.
constexpr size_t kQuadsPerFace = 3;
constexpr GLuint kAllStencilBits = ~0u;

int32_t Edge(int32_t k) { return ((k % kEdgesPerFace) + kEdgesPerFace) % kEdgesPerFace; }

constexpr int32_t _OVX_FACE::*kCorners[kEdgesPerFace] = {&_OVX_FACE::a, &_OVX_FACE::b, &_OVX_FACE::c};

int32_t CornerOf(const _OVX_FACE* faces, const _OVX_OBJECT* object, int32_t i, int32_t k) {
  if (!object || !faces || i < 0 || i >= object->facecount) return kNone;
  return faces[i].*kCorners[Edge(k)];
}

size_t FaceCount(const _OVX_OBJECT& object) { return object.facecount > 0 ? static_cast<size_t>(object.facecount) : 0; }

size_t VolumeQuadRoom(const _OVX_SCENE& scene) {
  if (!scene.volumevertices || !scene.objects) return 0;
  size_t faces = 0;
  for (int32_t i = 0; i < scene.objectcount; ++i) faces += FaceCount(scene.objects[i]);
  return kQuadsPerFace * faces;
}

bool HasVertex(const _OVX_OBJECT& object, int32_t v) { return object.vertices && v >= 0 && v < object.vertexcount; }

_OVX_VECTOR Extruded(const _OVX_VECTOR& p, const _OVX_VECTOR& light) {
  return VecAdd(p, VecScale(VecSub(p, light), ShadowUnit.ShadowExtent));
}

// Where the volume is drawn from: the scene's buffers when the GL has the
// buffer entry points and the scene got buffer names, its arrays otherwise.
class VolumeSource {
 public:
  explicit VolumeSource(const _OVX_SCENE& scene)
      : scene_(scene),
        buffers_(qgl::glBindBufferARB && qgl::glBufferDataARB && scene.volumevertexbuffer &&
                 scene.volumeindexbuffer) {}

  // Uploads the first quads of the volume vertices and points the vertex
  // array and the indices at them; false when there is nothing to draw from.
  bool Bind(size_t quads) {
    using namespace qgl;
    const size_t bytes = quads * kVerticesPerQuad * sizeof(_OVX_VECTOR);
    if (buffers_) {
      glBindBufferARB(GL_ARRAY_BUFFER_ARB, scene_.volumevertexbuffer);
      glBufferDataARB(GL_ARRAY_BUFFER_ARB, static_cast<GLsizeiptrARB>(bytes), scene_.volumevertices,
                      GL_DYNAMIC_DRAW_ARB);
      glBindBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB, scene_.volumeindexbuffer);
      indices_ = nullptr;
      vertices_ = nullptr;
    } else {
      if (!scene_.volumevertices || !scene_.volumeindices) return false;
      Unbind();
      indices_ = scene_.volumeindices;
      vertices_ = scene_.volumevertices;
    }
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_FLOAT, sizeof(_OVX_VECTOR), vertices_);
    return true;
  }
  void Draw(size_t quads) const {
    qgl::glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(quads * kIndicesPerQuad), GL_UNSIGNED_INT, indices_);
  }
  // Later draws from client memory (a strip, say) must not find the volume
  // buffers bound.
  static void Unbind() {
    if (!qgl::glBindBufferARB) return;
    qgl::glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
    qgl::glBindBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB, 0);
  }

 private:
  const _OVX_SCENE& scene_;
  bool buffers_;
  const void* indices_ = nullptr;
  const void* vertices_ = nullptr;
};

void StencilOnlyState() {
  using namespace qgl;
  glEnable(GL_CULL_FACE);
  glEnable(GL_DEPTH_TEST);
  glEnable(GL_STENCIL_TEST);
  glDepthMask(GL_FALSE);
  glDepthFunc(GL_LEQUAL);
  glDisable(GL_LIGHTING);
  glDisable(GL_TEXTURE_2D);
  glDisable(GL_BLEND);
  glStencilFunc(GL_ALWAYS, 0, kAllStencilBits);
  glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
}

void RestoreState() {
  using namespace qgl;
  glCullFace(GL_BACK);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glStencilOp(GL_KEEP, GL_KEEP, GL_KEEP);
  glDepthMask(GL_TRUE);
  glEnable(GL_TEXTURE_2D);
}

void CountVolume(VolumeSource& source, size_t quads) {
  using namespace qgl;
  if (!source.Bind(quads)) return;
  glStencilOp(GL_KEEP, GL_KEEP, GL_INCR);
  glCullFace(GL_BACK);
  source.Draw(quads);
  glStencilOp(GL_KEEP, GL_KEEP, GL_DECR);
  glCullFace(GL_FRONT);
  source.Draw(quads);
  glDisableClientState(GL_VERTEX_ARRAY);
}

}  // namespace

int32_t BaseFaceVertex(const _OVX_OBJECT* object, int32_t i, int32_t k) {
  return object ? CornerOf(object->basefaces, object, i, k) : kNone;
}

int32_t FaceVertex(const _OVX_OBJECT* object, int32_t i, int32_t k) {
  return object ? CornerOf(object->faces, object, i, k) : kNone;
}

int32_t NeighbourFace(const _OVX_OBJECT* object, int32_t i, int32_t k) {
  return object ? CornerOf(object->neighbours, object, i, k) : kNone;
}

void SetNeighbourFace(_OVX_OBJECT* object, int32_t i, int32_t k, int32_t value) {
  if (!object || !object->neighbours || i < 0 || i >= object->facecount) return;
  object->neighbours[i].*kCorners[Edge(k)] = value;
}

void ComputeLitFaces(_OVX_OBJECT* object, const _OVX_VECTOR& light, const _OVX_VECTOR& offset) {
  if (!object || !object->lightvisible || !object->facecenters || !object->facenormals) return;
  for (size_t i = 0; i < FaceCount(*object); ++i) {
    const _OVX_VECTOR g = VecAdd(object->facecenters[i], offset);
    const _OVX_VECTOR toFace = VecSub(g, light);
    const _OVX_VECTOR& n = object->facenormals[i];
    object->lightvisible[i] = toFace.x * n.x + toFace.y * n.y + toFace.z * n.z > 0.0f;
  }
}

void FindSilhouetteEdges(_OVX_OBJECT* object) {
  if (!object || !object->contour || !object->lightvisible) return;
  const int32_t faces = static_cast<int32_t>(FaceCount(*object));
  for (int32_t i = 0; i < kEdgesPerFace * faces; ++i) object->contour[i] = 0;
  for (int32_t i = 0; i < faces; ++i) {
    if (!object->lightvisible[i]) continue;
    for (int32_t k = 0; k < kEdgesPerFace; ++k) {
      const int32_t n = NeighbourFace(object, i, k);
      // A neighbour outside the object counts as none.
      const bool open = n < 0 || n >= faces;
      if (open || !object->lightvisible[n]) object->contour[kEdgesPerFace * i + k] = 1;
    }
  }
}

void BuildShadowVolume(_OVX_SCENE* scene, _OVX_OBJECT* object, const _OVX_VECTOR& light, const _OVX_VECTOR& offset) {
  if (!scene || !object || !object->contour) return;
  const size_t room = VolumeQuadRoom(*scene);
  const int32_t faces = static_cast<int32_t>(FaceCount(*object));
  for (int32_t i = 0; i < faces; ++i) {
    for (int32_t k = 0; k < kEdgesPerFace; ++k) {
      if (!object->contour[kEdgesPerFace * i + k]) continue;
      const int32_t a = FaceVertex(object, i, k), b = FaceVertex(object, i, k + 1);
      const size_t q = scene->shadowquadcount > 0 ? static_cast<size_t>(scene->shadowquadcount) : 0;
      if (!HasVertex(*object, a) || !HasVertex(*object, b) || q >= room) continue;
      const _OVX_VECTOR pa = VecAdd(object->vertices[a], offset), pb = VecAdd(object->vertices[b], offset);
      _OVX_VECTOR* quad = scene->volumevertices + kVerticesPerQuad * q;
      quad[0] = pa;
      quad[1] = Extruded(pa, light);
      quad[2] = Extruded(pb, light);
      quad[3] = pb;
      scene->shadowquadcount = static_cast<int32_t>(q + 1);
    }
  }
}

void DrawShadowVolume(_OVX_SCENE* scene, const _OVX_VECTOR& light, float time) {
  if (!scene) return;
  ShadowUnit.ShadowExtent = scene->volumeextent;
  StencilOnlyState();
  scene->shadowquadcount = 0;
  VolumeSource source(*scene);
  for (int32_t i = 0; scene->objects && i < scene->objectcount; ++i) {
    _OVX_OBJECT& o = scene->objects[i];
    if (!o.visible || !o.castshadow) continue;
    scene->shadowquadcount = 0;
    _OVX_VECTOR offset{0.0f, 0.0f, 0.0f};
    if (o.positionkeycount > 0) ObjectPositionAtTime(offset, scene, i, time);
    ComputeLitFaces(&o, light, offset);
    FindSilhouetteEdges(&o);
    BuildShadowVolume(scene, &o, light, offset);
    if (scene->shadowquadcount > 0) CountVolume(source, static_cast<size_t>(scene->shadowquadcount));
  }
  VolumeSource::Unbind();
  RestoreState();
}
