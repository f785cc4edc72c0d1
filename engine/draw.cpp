#include "engine/draw.h"

#include <cmath>
#include <iterator>

#include "engine/camera.h"
#include "engine/loader.h"
#include "engine/vector.h"
#include "units/glunit.h"

using namespace qgl;

DrawUnitState DrawUnit;

namespace {

constexpr int kIndicesPerFace = 3;
constexpr GLsizei kVectorStride = sizeof(_OVX_VECTOR);
constexpr GLsizei kTexCoordStride = sizeof(_OVX_TEXTCOORD);
constexpr GLsizei kColorStride = sizeof(_OVX_RGB);
constexpr float kEdgeLineWidth = 2.0f;
constexpr uint8_t kRenderModeStrip = 1;
constexpr uint8_t kTextureWrapClamp = 1;
constexpr uint8_t kDistanceCullNever = 0;
constexpr uint8_t kDistanceCullByLimit = 1;

// An object the draws may touch: its index and its material's index lie
// inside the scene's arrays. Null when not.
struct Drawable {
  const _OVX_OBJECT* object = nullptr;
  const _OVX_MATERIAL* material = nullptr;
  explicit operator bool() const { return object != nullptr; }
};

// The object alone, for the draws that never read its material.
const _OVX_OBJECT* FindObject(const _OVX_SCENE* scene, int32_t index) {
  if (!scene || !scene->objects || index < 0 || index >= scene->objectcount) return nullptr;
  return &scene->objects[index];
}

Drawable Find(const _OVX_SCENE* scene, int32_t index) {
  const _OVX_OBJECT* o = FindObject(scene, index);
  if (!o || !scene->materials || o->material < 0 || o->material >= scene->materialcount) return {};
  return {o, &scene->materials[o->material]};
}

enum class Placement {
  Full,         // position track, pivot and rotation, ObjectOffset, RenderScale
  Rotated,      // position track, pivot and rotation
  TrackOnly,    // position track
};

// Pushes the model-view matrix and applies the object's placement to it.
void PushPlacement(const _OVX_SCENE* scene, int32_t index, float time, Placement placement) {
  const _OVX_OBJECT& o = scene->objects[index];
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  if (o.positionkeycount > 0) {
    _OVX_VECTOR p;
    ObjectPositionAtTime(p, scene, index, time);
    glTranslatef(p.x, p.y, p.z);
  }
  if (placement == Placement::TrackOnly) return;
  glTranslatef(o.pivot.x, o.pivot.y, o.pivot.z);
  glRotatef(o.rotation.x, 1.0f, 0.0f, 0.0f);
  glRotatef(o.rotation.y, 0.0f, 1.0f, 0.0f);
  glRotatef(o.rotation.z, 0.0f, 0.0f, 1.0f);
  glTranslatef(-o.pivot.x, -o.pivot.y, -o.pivot.z);
  if (placement == Placement::Rotated) return;
  glTranslatef(DrawUnit.ObjectOffset.x, DrawUnit.ObjectOffset.y, DrawUnit.ObjectOffset.z);
  glScalef(DrawUnit.RenderScale.x, DrawUnit.RenderScale.y, DrawUnit.RenderScale.z);
}

void PopPlacement() {
  glMatrixMode(GL_MODELVIEW);
  glPopMatrix();
}

void SetFog(const _OVX_OBJECT& o) {
  if (!o.fog) {
    glDisable(GL_FOG);
    return;
  }
  glEnable(GL_FOG);
  static constexpr GLint kFogModes[] = {GL_LINEAR, GL_EXP, GL_EXP2};
  if (o.fogmode < std::size(kFogModes)) glFogi(GL_FOG_MODE, kFogModes[o.fogmode]);
  glFogf(GL_FOG_DENSITY, o.fogparam.density);
  glFogf(GL_FOG_START, o.fogparam.start);
  glFogf(GL_FOG_END, o.fogparam.end);
  const GLfloat colour[4] = {o.fogcolor.r, o.fogcolor.g, o.fogcolor.b, o.fogcolor.a};
  glFogfv(GL_FOG_COLOR, colour);
}

void SetCulling(const _OVX_OBJECT& o) {
  if (o.backfacecull) {
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
  } else {
    glDisable(GL_CULL_FACE);
  }
}

void SetLighting(bool on) {
  if (on)
    glEnable(GL_LIGHTING);
  else
    glDisable(GL_LIGHTING);
}

void BindMaterialTexture(const _OVX_MATERIAL& m, bool anisotropy) {
  if (!m.textured) {
    glDisable(GL_TEXTURE_2D);
    return;
  }
  glEnable(GL_TEXTURE_2D);
  glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(m.textureid));
  if (anisotropy) {
    GLfloat most = 1.0f;
    glGetFloatv(GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT, &most);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAX_ANISOTROPY_EXT, most);
  }
  const GLint wrap = m.texturewrap == kTextureWrapClamp ? GL_CLAMP_TO_EDGE : GL_REPEAT;
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, wrap);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, wrap);
}

void SetMaterial(const _OVX_RGB& ambient, const _OVX_RGB& diffuse, const _OVX_RGB& specular, float alpha,
                 int32_t shine) {
  const GLfloat a[4] = {ambient.r, ambient.g, ambient.b, alpha};
  const GLfloat d[4] = {diffuse.r, diffuse.g, diffuse.b, alpha};
  const GLfloat s[4] = {specular.r, specular.g, specular.b, alpha};
  glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, a);
  glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, d);
  glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, s);
  glShadeModel(GL_SMOOTH);
  glMateriali(GL_FRONT_AND_BACK, GL_SHININESS, shine);
}

_OVX_RGB Scaled(const _OVX_RGB& c, float f) { return {c.r * f, c.g * f, c.b * f}; }

void LoadTextureMatrix(float utile, float vtile, const _OVX_VECTOR& scroll, float time) {
  GLfloat m[16];
  ObjectTextureMatrix(m, utile, vtile, scroll, time);
  glMatrixMode(GL_TEXTURE);
  glLoadMatrixf(m);
  glMatrixMode(GL_MODELVIEW);
}

// Where GL finds one array of an object: in its buffer object when it has
// one and the GL can bind it (the pointer is then an offset of 0), else in
// the copy the record keeps in client memory. Absent when neither exists.
struct ArraySource {
  bool present = false;
  const void* pointer = nullptr;
};

ArraySource Source(GLenum target, uint32_t buffer, const void* client) {
  if (buffer != 0 && glBindBufferARB) {
    glBindBufferARB(target, buffer);
    return {true, nullptr};
  }
  if (glBindBufferARB) glBindBufferARB(target, 0);
  return {client != nullptr, client};
}

// Client-memory arrays (colours, the black draw) must not be read as
// offsets into a buffer left bound.
void UnbindBuffers() {
  if (!glBindBufferARB) return;
  glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
  glBindBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB, 0);
}

enum class TexCoords { Off, On };

// Vertex, normal and (when asked) texture-coordinate arrays of the object,
// enabled and pointed at their sources; false when there are no vertices.
bool EnableArrays(const _OVX_OBJECT& o, TexCoords texcoords) {
  const ArraySource v = Source(GL_ARRAY_BUFFER_ARB, o.vertexbuffer, o.vertices);
  if (!v.present) return false;
  glEnableClientState(GL_VERTEX_ARRAY);
  glVertexPointer(3, GL_FLOAT, kVectorStride, v.pointer);
  if (o.hasnormals) {
    const ArraySource n = Source(GL_ARRAY_BUFFER_ARB, o.normalbuffer, o.normals);
    if (n.present) {
      glEnableClientState(GL_NORMAL_ARRAY);
      glNormalPointer(GL_FLOAT, kVectorStride, n.pointer);
    }
  }
  if (texcoords == TexCoords::On) {
    const ArraySource t = Source(GL_ARRAY_BUFFER_ARB, o.texcoordbuffer, o.texcoords);
    if (t.present) {
      glEnableClientState(GL_TEXTURE_COORD_ARRAY);
      glTexCoordPointer(2, GL_FLOAT, kTexCoordStride, t.pointer);
    }
  }
  return true;
}

void DisableArrays(const _OVX_OBJECT& o) {
  glDisableClientState(GL_VERTEX_ARRAY);
  glDisableClientState(GL_NORMAL_ARRAY);
  if (o.hastexcoords) glDisableClientState(GL_TEXTURE_COORD_ARRAY);
}

void DrawTriangles(const _OVX_OBJECT& o, int32_t indexCount) {
  const ArraySource indices = Source(GL_ELEMENT_ARRAY_BUFFER_ARB, o.indexbuffer, o.faces);
  if (indices.present && indexCount > 0) glDrawElements(GL_TRIANGLES, indexCount, GL_UNSIGNED_INT, indices.pointer);
}

// Vertices, normals and (textured material) texture coordinates of the
// object as triangles, indexCount indices of them.
void DrawMesh(const _OVX_OBJECT& o, const _OVX_MATERIAL& m, int32_t indexCount) {
  const bool textured = o.hastexcoords && m.textured;
  if (EnableArrays(o, textured ? TexCoords::On : TexCoords::Off)) DrawTriangles(o, indexCount);
  DisableArrays(o);
  UnbindBuffers();
}

void Count(const _OVX_OBJECT& o) {
  DrawUnit.TrianglesDrawn += o.facecount;
  DrawUnit.ObjectsDrawn += 1;
}

int32_t AllIndices(const _OVX_OBJECT& o) { return DrawnIndexCount(o.facecount, -1.0f); }

// A second draw of the object's own triangles where its depth is equal,
// textured by a sphere map.
void EnvironmentPass(const _OVX_OBJECT& o, const _OVX_MATERIAL& m) {
  glEnable(GL_TEXTURE_2D);
  glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(m.envmapid));
  glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
  glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
  glEnable(GL_TEXTURE_GEN_S);
  glEnable(GL_TEXTURE_GEN_T);
  glDepthFunc(GL_EQUAL);
  glEnable(GL_BLEND);
  if (m.envmapblend)
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  else
    glBlendFunc(GL_ONE, GL_ONE);
  glColor4f(m.envmapcolor.r, m.envmapcolor.g, m.envmapcolor.b, m.envmapalpha);
  if (EnableArrays(o, TexCoords::Off)) DrawTriangles(o, AllIndices(o));
  DisableArrays(o);
  UnbindBuffers();
  glDepthFunc(GL_LEQUAL);
  glDisable(GL_TEXTURE_GEN_S);
  glDisable(GL_TEXTURE_GEN_T);
  glDisable(GL_BLEND);
}

bool DistanceDrawn(const _OVX_SCENE* scene, const _OVX_OBJECT& o) {
  return DistanceCullDrawn(o.distancecull, DrawUnit.CameraEye, o.pivot, scene->distancelimit);
}

// The corner indices of a face, when all of them name a vertex.
bool FaceInside(const _OVX_FACE& f, int32_t vertexcount) {
  return f.a >= 0 && f.b >= 0 && f.c >= 0 && f.a < vertexcount && f.b < vertexcount && f.c < vertexcount;
}

void Vertex(const _OVX_VECTOR& v) { glVertex3f(v.x, v.y, v.z); }

}  // namespace

bool DistanceCullDrawn(uint8_t distancecull, const _OVX_VECTOR& eye, const _OVX_VECTOR& pivot, float limit) {
  if (distancecull == kDistanceCullNever) return true;
  if (distancecull != kDistanceCullByLimit) return false;
  return VecLength(VecSub(eye, pivot)) <= limit;
}

int32_t DrawnIndexCount(int32_t facecount, float fraction) {
  if (facecount <= 0) return 0;
  if (fraction < 0.0f) return kIndicesPerFace * facecount;
  // Above 1 the count would run past the end of the index buffer.
  const double share = fraction <= 1.0f ? fraction : 1.0;
  return kIndicesPerFace * static_cast<int32_t>(std::trunc(facecount * share));
}

void ObjectTextureMatrix(float matrix[16], float utile, float vtile, const _OVX_VECTOR& scroll, float time) {
  for (int k = 0; k < 16; ++k) matrix[k] = 0.0f;
  matrix[0] = utile;
  matrix[5] = vtile;
  matrix[10] = 1.0f;
  matrix[15] = 1.0f;
  matrix[12] = utile * (time * scroll.x);
  matrix[13] = vtile * (time * scroll.y);
  matrix[14] = time * scroll.z;
}

void DrawObject(const _OVX_SCENE* scene, int32_t index, float time) {
  const Drawable d = Find(scene, index);
  if (!d) return;
  const _OVX_OBJECT& o = *d.object;
  const _OVX_MATERIAL& m = *d.material;
  SetFog(o);
  PushPlacement(scene, index, time, Placement::Full);
  if (DistanceDrawn(scene, o)) {
    SetCulling(o);
    SetLighting(m.receivelight);
    BindMaterialTexture(m, DrawUnit.AnisotropicFiltering);
    SetMaterial(m.ambient, m.diffuse, m.specular, m.constantalpha, m.shine);
    LoadTextureMatrix(m.utile, m.vtile, o.texturescroll, time);
    glColor4f(m.ambient.r, m.ambient.g, m.ambient.b, m.constantalpha);
    DrawMesh(o, m, DrawnIndexCount(o.facecount, DrawUnit.DrawFraction));
    Count(o);
    if (m.envmap) EnvironmentPass(o, m);
  }
  PopPlacement();
  glDisable(GL_FOG);
}

void DrawObjectColored(const _OVX_SCENE* scene, int32_t index, float time) {
  const Drawable d = Find(scene, index);
  if (!d) return;
  const _OVX_OBJECT& o = *d.object;
  const _OVX_MATERIAL& m = *d.material;
  PushPlacement(scene, index, time, Placement::Rotated);
  if (DistanceDrawn(scene, o)) {
    SetCulling(o);
    SetLighting(m.receivelight);
    BindMaterialTexture(m, false);
    const float scale = o.colorpass ? scene->colorscale : 1.0f;
    SetMaterial(m.ambient, Scaled(m.diffuse, scale), Scaled(m.specular, scale), 1.0f, m.shine);
    LoadTextureMatrix(m.utile, m.vtile, _OVX_VECTOR{0.0f, 0.0f, 0.0f}, 0.0f);
    const bool vertexColours = !o.colorpass && o.hascolors && o.colors;
    if (o.colorpass) {
      glColor4f(m.diffuse.r, m.diffuse.g, m.diffuse.b, m.constantalpha);
    } else {
      if (vertexColours) {
        UnbindBuffers();
        glEnableClientState(GL_COLOR_ARRAY);
        glColorPointer(3, GL_FLOAT, kColorStride, o.colors);
      }
      glColor4f(m.ambient.r, m.ambient.g, m.ambient.b, m.constantalpha);
    }
    DrawMesh(o, m, AllIndices(o));
    if (vertexColours) glDisableClientState(GL_COLOR_ARRAY);
    Count(o);
  }
  PopPlacement();
}

void DrawObjectEdges(const _OVX_SCENE* scene, int32_t index, float time, float grey) {
  glLineWidth(kEdgeLineWidth);
  glDepthFunc(GL_LESS);
  const _OVX_OBJECT* object = FindObject(scene, index);
  if (!object) return;
  const _OVX_OBJECT& o = *object;
  PushPlacement(scene, index, time, Placement::TrackOnly);
  glDisable(GL_CULL_FACE);
  glDisable(GL_LIGHTING);
  glDisable(GL_TEXTURE_2D);
  glColor4f(grey, grey, grey, 1.0f);
  if (o.faces && o.vertices) {
    glBegin(GL_LINES);
    for (int32_t f = 0; f < o.facecount; ++f) {
      const _OVX_FACE& face = o.faces[f];
      if (!FaceInside(face, o.vertexcount)) continue;
      const _OVX_VECTOR &a = o.vertices[face.a], &b = o.vertices[face.b], &c = o.vertices[face.c];
      Vertex(a), Vertex(b);
      Vertex(b), Vertex(c);
      Vertex(c), Vertex(a);
    }
    glEnd();
  }
  PopPlacement();
}

void DrawObjectBlack(const _OVX_SCENE* scene, int32_t index, float time) {
  const _OVX_OBJECT* object = FindObject(scene, index);
  if (!object) return;
  const _OVX_OBJECT& o = *object;
  PushPlacement(scene, index, time, Placement::TrackOnly);
  SetCulling(o);
  glDisable(GL_LIGHTING);
  glDisable(GL_TEXTURE_2D);
  glDisableClientState(GL_NORMAL_ARRAY);
  glDisableClientState(GL_TEXTURE_COORD_ARRAY);
  glDisableClientState(GL_COLOR_ARRAY);
  UnbindBuffers();
  glColor4f(0.0f, 0.0f, 0.0f, 1.0f);
  if (o.vertices) {
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_FLOAT, kVectorStride, o.vertices);
    if (o.rendermode != kRenderModeStrip) {
      if (o.faces && o.facecount > 0) glDrawElements(GL_TRIANGLES, AllIndices(o), GL_UNSIGNED_INT, o.faces);
    } else if (o.strip && o.stripcount > 0) {
      glDrawElements(GL_TRIANGLE_STRIP, o.stripcount, GL_UNSIGNED_SHORT, o.strip);
    }
  }
  glDisableClientState(GL_VERTEX_ARRAY);
  PopPlacement();
}

void SetObjectOffset(float x, float y, float z) { DrawUnit.ObjectOffset = {x, y, z}; }

void SetSceneScale(float x, float y, float z) { DrawUnit.SceneScale = {x, y, z}; }

void EngineLog(std::string_view text) { LoaderLog(text); }
