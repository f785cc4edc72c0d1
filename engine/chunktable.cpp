#include "engine/chunktable.h"

#include <array>
#include <cstddef>

namespace {

#define QZ_WIDTH(Rec, member) static_cast<uint16_t>(sizeof(static_cast<Rec*>(nullptr)->member))
#define QZ_ELEMENT(Rec, member) static_cast<uint16_t>(sizeof(*static_cast<Rec*>(nullptr)->member))

#define QZ_FIELD(kind, Sec, Rec, member, type) \
  {kind, ChunkSection::Sec, type, ChunkRole::Field, offsetof(Rec, member), QZ_WIDTH(Rec, member), 0, ChunkWrite::Always, 0, nullptr}
#define QZ_READONLY(kind, Sec, Rec, member, type) \
  {kind, ChunkSection::Sec, type, ChunkRole::Field, offsetof(Rec, member), QZ_WIDTH(Rec, member), 0, ChunkWrite::Never, 0, nullptr}
#define QZ_COUNT(kind, role, member) \
  {kind, ChunkSection::Scene, 3, ChunkRole::role, offsetof(_OVX_SCENE, member), 4, 0, ChunkWrite::Always, 0, nullptr}
#define QZ_ARRAY(kind, Sec, Rec, member, type, count, write, flag, text)                                               \
  {kind,                      ChunkSection::Sec, type, ChunkRole::Array, offsetof(Rec, member), QZ_ELEMENT(Rec, member), \
   offsetof(Rec, count), write, flag, text}

#define SCENE(kind, member, type) QZ_FIELD(kind, Scene, _OVX_SCENE, member, type)
#define MATERIAL(kind, member, type) QZ_FIELD(kind, Material, _OVX_MATERIAL, member, type)
#define OBJECT(kind, member, type) QZ_FIELD(kind, Object, _OVX_OBJECT, member, type)
#define LIGHT(kind, member, type) QZ_FIELD(kind, Light, _OVX_LIGHT, member, type)
#define OBJECT_ARRAY(kind, member, type, count, write, flag, text) \
  QZ_ARRAY(kind, Object, _OVX_OBJECT, member, type, count, ChunkWrite::write, flag, text)

constexpr uint16_t kNoFlag = 0;
constexpr uint16_t kHasColors = offsetof(_OVX_OBJECT, hascolors);
constexpr uint16_t kHasTexcoords = offsetof(_OVX_OBJECT, hastexcoords);
constexpr uint16_t kHasNormals = offsetof(_OVX_OBJECT, hasnormals);

constexpr SceneChunkKind kKinds[] = {
    // The scene.
    SCENE(0x01, versionmajor, 1),
    SCENE(0x02, versionminor, 1),
    SCENE(0x03, name, 8),
    SCENE(0x04, reserved, 3),
    QZ_COUNT(0x05, MaterialCount, materialcount),
    QZ_COUNT(0x06, ObjectCount, objectcount),
    SCENE(0x07, camerafov, 4),
    SCENE(0x08, cameranear, 4),
    SCENE(0x09, camerafar, 4),
    SCENE(0x0A, camerakeycount, 3),
    SCENE(0x0B, targetkeycount, 3),
    QZ_ARRAY(0x46, Scene, _OVX_SCENE, camerakeys, 10, camerakeycount, ChunkWrite::CountAbove0, kNoFlag,
             " camera positions"),
    QZ_ARRAY(0x47, Scene, _OVX_SCENE, targetkeys, 10, targetkeycount, ChunkWrite::CountAbove0, kNoFlag,
             " camera target positions"),
    SCENE(0x54, distancelimit, 4),
    SCENE(0x57, chunkcount, 3),
    SCENE(0x5A, colorscale, 4),
    // Materials.
    MATERIAL(0x0C, name, 8),
    MATERIAL(0x0D, texturename, 8),
    MATERIAL(0x0E, envmaptexture, 8),
    MATERIAL(0x0F, transparency, 4),
    MATERIAL(0x10, utile, 4),
    MATERIAL(0x11, vtile, 4),
    MATERIAL(0x12, alphatest, 4),
    MATERIAL(0x13, constantalpha, 4),
    MATERIAL(0x14, flaresize, 4),
    MATERIAL(0x15, magtype, 3),
    MATERIAL(0x16, shine, 3),
    MATERIAL(0x17, envmap, 13),
    MATERIAL(0x18, receivelight, 13),
    MATERIAL(0x19, textured, 13),
    MATERIAL(0x1A, depthtest, 1),
    MATERIAL(0x1B, blend, 1),
    MATERIAL(0x1C, texturewrap, 1),
    MATERIAL(0x1D, texturebpp, 1),
    MATERIAL(0x1E, ambient, 6),
    MATERIAL(0x1F, diffuse, 6),
    MATERIAL(0x20, specular, 6),
    MATERIAL(0x52, depthfunc, 1),
    MATERIAL(0x5C, envmapalpha, 4),
    MATERIAL(0x5D, envmapcolor, 6),
    MATERIAL(0x5E, envmapblend, 13),
    // Objects.
    OBJECT(0x21, name, 8),
    OBJECT(0x22, vertexcount, 3),
    OBJECT(0x23, facecount, 3),
    OBJECT(0x24, material, 3),
    OBJECT(0x25, positionkeycount, 3),
    OBJECT(0x26, rotationkeycount, 3),
    OBJECT(0x27, scalekeycount, 3),
    OBJECT(0x28, stripcount, 3),
    OBJECT(0x29, passno, 3),
    OBJECT(0x2A, hastexcoords, 13),
    OBJECT(0x2B, hascolors, 13),
    OBJECT(0x2C, hasnormals, 13),
    OBJECT(0x2D, visible, 13),
    OBJECT(0x2E, backfacecull, 13),
    OBJECT(0x2F, rendermode, 1),
    OBJECT(0x30, matrix, 12),
    OBJECT(0x31, pivot, 6),
    OBJECT_ARRAY(0x32, strip, 2, stripcount, Always, kNoFlag, " triangle strip"),
    OBJECT_ARRAY(0x33, vertices, 6, vertexcount, Always, kNoFlag, " vertex vectors"),
    OBJECT_ARRAY(0x34, faces, 9, facecount, Always, kNoFlag, " face list"),
    OBJECT_ARRAY(0x35, colors, 6, vertexcount, WhenFlag, kHasColors, " vertex color list"),
    OBJECT_ARRAY(0x36, texcoords, 5, vertexcount, WhenFlag, kHasTexcoords, " UV coordinates"),
    OBJECT_ARRAY(0x37, normals, 6, vertexcount, WhenFlag, kHasNormals, " vertex normals"),
    OBJECT_ARRAY(0x38, positionkeys, 10, positionkeycount, CountAbove0, kNoFlag, " position vectors"),
    OBJECT_ARRAY(0x39, rotationkeys, 11, rotationkeycount, CountAbove0, kNoFlag, " rotation quats"),
    OBJECT_ARRAY(0x3A, scalekeys, 10, scalekeycount, CountAbove0, kNoFlag, " scale vectors"),
    OBJECT(0x3B, particledata.particletexture, 8),
    OBJECT(0x3C, particledata.newparticle, 3),
    OBJECT(0x3D, particledata.power, 4),
    OBJECT(0x3E, particledata.deltapower, 4),
    OBJECT(0x3F, particledata.size, 4),
    OBJECT(0x40, particledata.particleenabled, 13),
    OBJECT(0x41, particledata.colorattrib, 1),
    OBJECT(0x42, particledata.deltavector, 6),
    OBJECT(0x43, particledata.deltavectorspread, 6),
    OBJECT(0x44, particledata.color, 6),
    OBJECT(0x45, particledata.colorspread, 6),
    QZ_READONLY(0x50, Object, _OVX_OBJECT, unusedflag1, 13),
    QZ_READONLY(0x51, Object, _OVX_OBJECT, unusedflag2, 13),
    OBJECT(0x53, distancecull, 1),
    OBJECT_ARRAY(kChunkNeighbours, neighbours, 9, facecount, Always, kNoFlag, " connectivity list"),
    OBJECT(0x58, castshadow, 13),
    OBJECT(0x59, colorpass, 13),
    OBJECT(0x5B, texturescroll, 6),
    OBJECT(0x5F, fog, 13),
    OBJECT(0x60, fogmode, 1),
    OBJECT(0x61, fogparam, 6),
    OBJECT(0x62, fogcolor, 7),
    OBJECT_ARRAY(0x63, basefaces, 9, facecount, Always, kNoFlag, " orignal face list"),
    // Lights.
    LIGHT(0x48, name, 8),
    LIGHT(0x49, keycount, 3),
    LIGHT(0x4A, enabled, 13),
    LIGHT(0x4B, pos, 6),
    LIGHT(0x4C, ambient, 6),
    LIGHT(0x4D, diffuse, 6),
    LIGHT(0x4E, specular, 6),
    QZ_ARRAY(0x4F, Light, _OVX_LIGHT, keys, 10, keycount, ChunkWrite::CountAbove0, kNoFlag, " light positions"),
};

// Every field is as wide as its element type, and every array's element is
// the element type: the payloads are the fields' bytes.
constexpr bool WidthsAgree() {
  for (const SceneChunkKind& k : kKinds)
    if (k.elementType >= kChunkElementBytes.size() || k.width != kChunkElementBytes[k.elementType]) return false;
  return true;
}
static_assert(std::size(kKinds) == 98);
static_assert(WidthsAgree());

constexpr std::array<int16_t, 256> BuildIndex() {
  std::array<int16_t, 256> index{};
  for (int16_t& i : index) i = -1;
  for (size_t i = 0; i < std::size(kKinds); ++i) index[kKinds[i].kind] = static_cast<int16_t>(i);
  return index;
}
constexpr std::array<int16_t, 256> kIndex = BuildIndex();

}  // namespace

const SceneChunkKind* FindSceneChunkKind(uint8_t kind) {
  int16_t i = kIndex[kind];
  return i < 0 ? nullptr : &kKinds[i];
}

const uint8_t* SceneChunkRecord(const _OVX_SCENE* scene, ChunkSection section, int32_t index) {
  switch (section) {
    case ChunkSection::Scene:
      return reinterpret_cast<const uint8_t*>(scene);
    case ChunkSection::Material:
      if (!scene->materials || index < 0 || index >= scene->materialcount) return nullptr;
      return reinterpret_cast<const uint8_t*>(&scene->materials[index]);
    case ChunkSection::Object:
      if (!scene->objects || index < 0 || index >= scene->objectcount) return nullptr;
      return reinterpret_cast<const uint8_t*>(&scene->objects[index]);
    case ChunkSection::Light:
      if (index < 0 || index >= kOvxLightCount) return nullptr;
      return reinterpret_cast<const uint8_t*>(&scene->lights[index]);
  }
  return nullptr;
}

uint8_t* SceneChunkRecord(_OVX_SCENE* scene, ChunkSection section, int32_t index) {
  return const_cast<uint8_t*>(SceneChunkRecord(static_cast<const _OVX_SCENE*>(scene), section, index));
}
