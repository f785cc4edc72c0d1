#include "engine/scenetex.h"

#include "engine/capture.h"
#include "engine/scenetext.h"
#include "units/texmgr.h"

namespace {

constexpr char kSeparator = '\\';
constexpr int32_t kSpriteMode = TX_MODE_LINEAR_MIPMAP;  // environment maps and particles

std::string Framework(std::string_view path) {
  std::string out(path);
  for (char& c : out)
    if (c == '/') c = kSeparator;
  return out;
}

int32_t LoadNamed(std::string_view folder, const OvxShortString& name, int32_t mode) {
  return LoadTexture(ShortString(SceneDataPath(folder, name.view())), mode);
}

bool UsesCapture(const _OVX_MATERIAL& m) { return m.texturename.view() == kFramebufferTextureName; }

// The textures each entry holds, by the rules of the header; the release
// follows the same tests, so it gives back exactly what the load took.
bool HoldsTexture(const _OVX_MATERIAL& m) { return m.textured && !UsesCapture(m); }
bool HoldsEnvmap(const _OVX_MATERIAL& m) { return m.envmap; }
bool HoldsSprite(const _OVX_OBJECT& o) {
  return o.particledata.particleenabled && !o.particledata.particletexture.empty();
}

void LoadMaterial(_OVX_MATERIAL& m, std::string_view folder) {
  if (m.textured) {
    if (UsesCapture(m)) {
      m.textureid = static_cast<int32_t>(CaptureUnit.FramebufferTextures[0]);
    } else {
      m.textureid = LoadNamed(folder, m.texturename, m.magtype);
      m.texturebpp = static_cast<uint8_t>(GetTextureBpp(m.textureid));
    }
  }
  if (HoldsEnvmap(m)) m.envmapid = LoadNamed(folder, m.envmaptexture, kSpriteMode);
}

void Release(int32_t& texture) {
  if (texture) ReleaseTexture(texture);
  texture = 0;
}

int ListCount(const void* array, int32_t count) { return array && count > 0 ? count : 0; }

void ObjectHead(std::string& out, const _OVX_OBJECT& o) {
  out.append(o.name.view());
  out += "\n \n";
}

}  // namespace

std::string SceneDataPath(std::string_view folder, std::string_view name) {
  std::string base = Framework(folder);
  while (!base.empty() && base.back() == kSeparator) base.pop_back();
  if (base.empty()) return Framework(name);
  return base + kSeparator + Framework(name);
}

void LoadSceneTextures(_OVX_SCENE* scene, std::string_view folder) {
  if (!scene) return;
  for (int i = 0; i < ListCount(scene->materials, scene->materialcount); ++i)
    LoadMaterial(scene->materials[i], folder);
  for (int i = 0; i < ListCount(scene->objects, scene->objectcount); ++i) {
    _OVX_PARTICLEDATA& p = scene->objects[i].particledata;
    if (HoldsSprite(scene->objects[i])) p.textureid = LoadNamed(folder, p.particletexture, kSpriteMode);
  }
}

void ReleaseSceneTextures(_OVX_SCENE* scene) {
  if (!scene || scene->sharedcopy) return;
  for (int i = 0; i < ListCount(scene->materials, scene->materialcount); ++i) {
    _OVX_MATERIAL& m = scene->materials[i];
    if (HoldsTexture(m)) Release(m.textureid);
    if (HoldsEnvmap(m)) Release(m.envmapid);
  }
  for (int i = 0; i < ListCount(scene->objects, scene->objectcount); ++i)
    if (HoldsSprite(scene->objects[i])) Release(scene->objects[i].particledata.textureid);
}

int ExportMeshText(const _OVX_SCENE* scene, std::string_view baseName) {
  if (!scene) return ERR_BADARG;
  std::string vertices, faces;
  for (int i = 0; i < ListCount(scene->objects, scene->objectcount); ++i) {
    const _OVX_OBJECT& o = scene->objects[i];
    ObjectHead(vertices, o);
    for (int j = 0; j < ListCount(o.vertices, o.vertexcount); ++j) {
      const _OVX_VECTOR& v = o.vertices[j];
      vertices += std::to_string(j) + " " + SceneFormatNumber(v.x) + " " + SceneFormatNumber(v.y) + " " +
                  SceneFormatNumber(v.z) + "\n";
    }
    ObjectHead(faces, o);
    for (int j = 0; j < ListCount(o.faces, o.facecount); ++j) {
      const _OVX_FACE& f = o.faces[j];
      faces += std::to_string(j) + " " + std::to_string(f.a) + " " + std::to_string(f.b) + " " +
               std::to_string(f.c) + "\n";
    }
  }
  std::string base(baseName);
  int result = SceneWriteTextFile(base + "v", vertices);
  return result == ERR_NONE ? SceneWriteTextFile(base + "f", faces) : result;
}
