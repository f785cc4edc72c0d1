#include "engine/effect.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "engine/loader.h"
#include "engine/particles.h"
#include "engine/scenefree.h"
#include "engine/scenetex.h"
#include "framework/base/bytes.h"

EffectUnitState EffectUnit;
EffectInterfaceHooks EffectInterfaces;

namespace {

constexpr std::string_view kDataFolder = "data\\";
constexpr std::string_view kTextureFolder = "textures";
constexpr int32_t kParticlesPerScene = 5000;
constexpr size_t kKeyPointerSize = 4;  // a pointer of the writer's memory, meaningless here
constexpr size_t kKeyPadding = 3;

ShortString ReadShortString(SYS_ByteReader& in) {
  std::span<const uint8_t> block = in.take(kFexShortStringSize);
  if (block.empty()) return {};
  return ShortString(std::string_view(reinterpret_cast<const char*>(block.data()) + 1, block[0]));
}

// A count the bytes cannot hold is caught by the size checks that follow.
bool NotNegative(int32_t count) { return count >= 0; }

// The paths are kept until the scenes and layers load, after the whole file
// has been checked.
struct ProjectPaths {
  std::vector<ShortString> scenes;
  std::vector<ShortString> interfaces;
};

int Refuse(FEX_Project& project, std::string& error, std::string why) {
  project = FEX_Project{};
  error = std::move(why);
  return kEffectDamaged;
}

void ReadOperator(SYS_ByteReader& in, FEX_Operator& op) {
  op.optype = in.i32();
  op.target = in.i32();
  in.copy(op.params);
  in.skip(kKeyPointerSize);
  op.keycount = in.i32();
  op.name = ReadShortString(in);
}

void ReadKey(SYS_ByteReader& in, FEX_Key& key) {
  key.starttime = in.i32();
  key.endtime = in.i32();
  key.ease = in.u8();
  in.skip(kKeyPadding);
  key.startvalue = in.i32();
  key.midvalue = in.i32();
  key.endvalue = in.i32();
}

int ReadAll(FEX_Project& project, std::span<const uint8_t> bytes, ProjectPaths& paths, std::string& error) {
  project = FEX_Project{};
  SYS_ByteReader in(bytes);
  project.name = ReadShortString(in);
  project.reserved1 = in.i32();
  project.reserved2 = in.i32();
  project.reserved3 = in.i32();
  project.reserved4 = in.i32();
  const int32_t scenes = in.i32();
  const int32_t interfaces = in.i32();
  const int32_t operators = in.i32();
  if (!in.ok()) return Refuse(project, error, "the header is cut short");
  if (!NotNegative(scenes) || !NotNegative(interfaces) || !NotNegative(operators))
    return Refuse(project, error,
                  "negative counts: " + std::to_string(scenes) + " scenes, " + std::to_string(interfaces) +
                      " interfaces, " + std::to_string(operators) + " operators");
  const uint64_t fixed =
      kFexShortStringSize * (uint64_t(scenes) + uint64_t(interfaces)) + kFexOperatorSize * uint64_t(operators);
  if (!in.has(fixed)) return Refuse(project, error, "the file ends inside its paths or operators");

  paths = {};
  for (int32_t i = 0; i < scenes; ++i) paths.scenes.push_back(ReadShortString(in));
  for (int32_t i = 0; i < interfaces; ++i) paths.interfaces.push_back(ReadShortString(in));
  auto ops = std::make_unique<fex_operator_array>(size_t(operators));
  for (int32_t i = 0; i < operators; ++i) ReadOperator(in, ops[i]);
  for (int32_t i = 0; i < operators; ++i) {
    FEX_Operator& op = ops[i];
    if (!NotNegative(op.keycount))
      return Refuse(project, error, "operator " + std::to_string(i) + " has " + std::to_string(op.keycount) + " keys");
    if (!in.has(kFexKeySize * uint64_t(op.keycount)))
      return Refuse(project, error, "the file ends inside the keys of operator " + std::to_string(i));
    op.keys = std::make_unique<fex_key_array>(size_t(op.keycount));
    for (int32_t k = 0; k < op.keycount; ++k) ReadKey(in, op.keys[k]);
  }
  if (!in.ok()) return Refuse(project, error, "the file is cut short");

  project.scenecount = scenes;
  project.interfacecount = interfaces;
  project.operatorcount = operators;
  project.operators = std::move(ops);
  project.scenes = std::make_unique<_ovx_scene_array>(size_t(scenes));
  project.interfaces = std::make_unique<ife_interface_array>(size_t(interfaces));
  return kEffectOk;
}

_OVX_SCENE* CachedScene(const ShortString& name) {
  for (int32_t i = 0; i < EffectUnit.SceneCacheCount; ++i)
    if (EffectUnit.SceneCache[i].name == name) return EffectUnit.SceneCache[i].scene;
  return nullptr;
}

void Progress() {
  if (EffectInterfaces.progress) EffectInterfaces.progress();
}

void LoadProjectScene(_OVX_SCENE& scene, const ShortString& path) {
  const ShortString file = PathFileName(path);
  if (const _OVX_SCENE* cached = CachedScene(file)) {
    ShareScene(&scene, cached);
    LoaderLog(std::string("[CACHE] cached load ") + std::string(file.view()));
    return;
  }
  // A file that cannot be loaded leaves the record zeroed, which the texture
  // and particle steps take as a scene without materials or emitters.
  LoadScene(&scene, std::string(kDataFolder) + std::string(file.view()));
  LoadSceneTextures(&scene, kTextureFolder);
  AllocParticles(&scene, kParticlesPerScene);
  // Past the table's end the scene is still loaded, only not shared.
  if (EffectUnit.SceneCacheCount >= kSceneCacheSize) return;
  EffectUnit.SceneCache[EffectUnit.SceneCacheCount++] = {file, &scene};
}

void LoadProjectInterface(ife_interface& ifc, const ShortString& path) {
  if (!EffectInterfaces.load) return;
  const std::string file = std::string(kDataFolder) + std::string(PathFileName(path).view());
  EffectInterfaces.load(ifc, ShortString(SceneHostPath(file)), ShortString(kTextureFolder));
}

bool ReadWholeFile(std::string_view fileName, std::vector<uint8_t>& bytes) {
  std::FILE* file = std::fopen(SceneHostPath(fileName).c_str(), "rb");
  if (!file) return false;
  bytes.clear();
  uint8_t chunk[65536];
  size_t got = 0;
  while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes.insert(bytes.end(), chunk, chunk + got);
  const bool ok = !std::ferror(file);
  return std::fclose(file) == 0 && ok;
}

}  // namespace

void EffectClearSceneCache(void) {
  EffectUnit = {};
}

ShortString PathFileName(const ShortString& path) {
  const std::string_view text = path.view();
  for (size_t i = text.size() < 2 ? 0 : text.size() - 1; i-- > 0;)
    if (text[i] == '\\') return ShortString(text.substr(i + 1));
  return path;
}

int EffectReadProject(FEX_Project& project, std::span<const uint8_t> bytes, std::string& error) {
  ProjectPaths paths;
  return ReadAll(project, bytes, paths, error);
}

int EffectLoadProjectStatus(FEX_Project& project, std::string_view fileName, std::string& error) {
  std::vector<uint8_t> bytes;
  if (!ReadWholeFile(fileName, bytes)) {
    project = FEX_Project{};
    error = "cannot read the file";
    return kEffectCantOpen;
  }
  ProjectPaths paths;
  const int status = ReadAll(project, bytes, paths, error);
  if (status != kEffectOk) return status;
  for (int32_t i = 0; i < project.scenecount; ++i) {
    Progress();
    LoadProjectScene(project.scenes[i], paths.scenes[size_t(i)]);
  }
  for (int32_t j = 0; j < project.interfacecount; ++j) {
    Progress();
    LoadProjectInterface(project.interfaces[j], paths.interfaces[size_t(j)]);
  }
  return kEffectOk;
}

void EffectLoadProject(FEX_Project& project, std::string_view fileName) {
  std::string error;
  const int status = EffectLoadProjectStatus(project, fileName, error);
  if (status == kEffectOk) return;
  std::fprintf(stderr, "Effect project %.*s: %s\n", int(fileName.size()), fileName.data(), error.c_str());
  std::fflush(stderr);
  std::exit(status);
}

void EffectFreeProject(FEX_Project& project) {
  auto ownScene = [&project](const _OVX_SCENE* scene) {
    for (int32_t i = 0; i < project.scenecount; ++i)
      if (scene == &project.scenes[i]) return true;
    return false;
  };
  int32_t kept = 0;
  SceneCacheEntry* cache = EffectUnit.SceneCache;
  for (int32_t i = 0; i < EffectUnit.SceneCacheCount; ++i) {
    if (ownScene(cache[i].scene)) continue;
    cache[kept++] = cache[i];
  }
  for (int32_t i = kept; i < EffectUnit.SceneCacheCount; ++i) cache[i] = SceneCacheEntry{};
  EffectUnit.SceneCacheCount = kept;
  for (int32_t i = 0; i < project.scenecount; ++i) {
    ReleaseSceneTextures(&project.scenes[i]);
    FreeScene(&project.scenes[i]);
  }
  if (EffectInterfaces.release)
    for (int32_t j = 0; j < project.interfacecount; ++j) EffectInterfaces.release(project.interfaces[j]);
  project = FEX_Project{};
}
