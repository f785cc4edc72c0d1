// The scene-file reader. The whole file is read into memory and walked with
// the bounded byte cursor, so no size, count or offset from the file can
// move a read outside its bytes; stores are bounded by the destination
// (a field's width, an array allocated to the chunk's own size), and the
// record as a whole is checked before anything else sees it.
#include "engine/loader.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "engine/chunktable.h"
#include "engine/precalc.h"
#include "engine/scenecheck.h"
#include "engine/scenefree.h"
#include "framework/base/bytes.h"
#include "units/sysunit.h"

LoaderUnitState LoaderUnit;

namespace {

constexpr int kScanStep = 4;
constexpr int kHeaderRest = kChunkHeaderSize - kScanStep;

std::string Hex(uint8_t kind) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%02X", kind);
  return text;
}

void LogTo(LoaderLogSink sink, std::string_view text) {
  if (sink) {
    sink(text);
    return;
  }
  Log(ShortString(text));
}

void LogSkipped(const SceneLoad& load, uint8_t kind, int32_t index, const char* why) {
  load.Log("[ovx] chunk " + Hex(kind) + " index " + std::to_string(index) + " skipped: " + why);
}

// Allocation descriptions: only handed to the allocator.
std::string Description(const _OVX_SCENE* scene, const SceneChunkKind& k, const uint8_t* record) {
  std::string text(scene->name.view());
  if (k.section == ChunkSection::Object)
    text += " " + std::string(reinterpret_cast<const _OVX_OBJECT*>(record)->name.view());
  else if (k.section == ChunkSection::Light)
    text += " " + std::string(reinterpret_cast<const _OVX_LIGHT*>(record)->name.view());
  return text + k.description;
}

void FreeArray(uint8_t* record, const SceneChunkKind& k) {
  void** slot = ChunkArrayPointer(record, k);
  if (k.kind == kChunkNeighbours) {
    auto* object = reinterpret_cast<_OVX_OBJECT*>(record);
    if (object->neighboursplain) {
      LoaderRelease(*slot);
      *slot = nullptr;
      object->neighboursplain = 0;
    }
  }
  if (*slot) MemFree(*slot);
  *slot = nullptr;
}

int StoreArray(const SceneLoad& load, _OVX_SCENE* scene, const SceneChunkKind& k, uint8_t* record,
               std::span<const uint8_t> payload) {
  // A repeated array chunk replaces its predecessor.
  FreeArray(record, k);
  if (payload.empty()) return kSceneOk;
  void* block = MemGet(payload.size(), ShortString(Description(scene, k, record)));
  if (!block) {
    load.Log("[ovx] out of memory for chunk " + Hex(k.kind));
    return kSceneNoMemory;
  }
  std::memcpy(block, payload.data(), payload.size());
  *ChunkArrayPointer(record, k) = block;
  return kSceneOk;
}

// Kinds 0x05 and 0x06: the count, then a new zero-filled array for it. Every
// record the count promises needs at least one chunk header after this one,
// which bounds the count by the bytes left before anything is allocated.
int StoreCount(const SceneLoad& load, _OVX_SCENE* scene, const SceneChunkKind& k, std::span<const uint8_t> payload) {
  int32_t count = 0;
  std::memcpy(&count, payload.data(), std::min<size_t>(payload.size(), sizeof count));
  const uint64_t room = load.input.remaining() / kChunkHeaderSize;
  if (count < 0 || uint64_t(count) > room) {
    load.Log("[ovx] chunk " + Hex(k.kind) + ": count " + std::to_string(count) + " does not fit the file");
    return kSceneDamaged;
  }
  const bool materials = k.role == ChunkRole::MaterialCount;
  const size_t bytes = size_t(count) * (materials ? sizeof(_OVX_MATERIAL_ARRAY) : sizeof(_OVX_OBJECT_ARRAY));
  if (materials) {
    MemFree(scene->materials);
    scene->materialcount = 0;
  } else {
    FreeSceneObjects(scene);
  }
  if (count == 0) return kSceneOk;
  void* block = MemGet(bytes, ShortString(std::string(scene->name.view()) + (materials ? " materials" : " objects")));
  if (!block) {
    load.Log("[ovx] out of memory for chunk " + Hex(k.kind));
    return kSceneNoMemory;
  }
  if (materials) {
    scene->materials = static_cast<_OVX_MATERIAL_ARRAY*>(block);
    scene->materialcount = count;
  } else {
    scene->objects = static_cast<_OVX_OBJECT_ARRAY*>(block);
    scene->objectcount = count;
  }
  return kSceneOk;
}

int Store(const SceneLoad& load, _OVX_SCENE* scene, const SceneChunkKind& k, int32_t index,
          std::span<const uint8_t> payload) {
  if (k.role == ChunkRole::MaterialCount || k.role == ChunkRole::ObjectCount)
    return StoreCount(load, scene, k, payload);
  uint8_t* record = SceneChunkRecord(scene, k.section, index);
  if (!record) {
    const bool early = (k.section == ChunkSection::Material && !scene->materials) ||
                       (k.section == ChunkSection::Object && !scene->objects);
    LogSkipped(load, k.kind, index, early ? "before its count" : "index out of range");
    return kSceneOk;
  }
  if (k.role == ChunkRole::Array) return StoreArray(load, scene, k, record, payload);
  if (payload.size() > k.width) {
    LogSkipped(load, k.kind, index, "bytes beyond the field");
    return kSceneOk;
  }
  std::memcpy(record + k.offset, payload.data(), payload.size());
  return kSceneOk;
}

// The header fields after the four bytes the scan has read.
SceneChunkHeader ReadHeaderRest(SYS_ByteReader& input, uint8_t elementType, uint8_t kind) {
  SceneChunkHeader h{{kSceneChunkTag0, kSceneChunkTag1}, elementType, kind, 0, 0, 0, 0};
  h.count = input.i32();
  h.size = input.i32();
  h.packed = input.i32();
  h.index = input.i32();
  return h;
}

int ReadChunks(SceneLoad& load, _OVX_SCENE* scene) {
  while (load.input.remaining() > 0) {
    // The scan reads whole 4-byte steps: a shorter rest is a read past the
    // end of the file.
    if (load.input.remaining() < kScanStep) {
      load.Log("[ovx] the file ends inside a 4-byte step after the last chunk");
      return kSceneReadError;
    }
    std::span<const uint8_t> step = load.input.take(kScanStep);
    if (step[0] != kSceneChunkTag0 || step[1] != kSceneChunkTag1) continue;
    int status = ReadSceneChunk(load, scene, step[2], step[3]);
    if (status != kSceneOk) return status;
  }
  return kSceneOk;
}

int Load(_OVX_SCENE* scene, std::span<const uint8_t> bytes) {
  SYS_ByteReader reader(bytes);
  SceneLoad load{reader, LoaderUnit.LogSink};
  int status = ReadChunks(load, scene);
  if (status == kSceneOk) status = CheckLoadedScene(scene);
  if (status != kSceneOk) {
    load.Log("[ovx] load failed");
    FreeScene(scene);
    std::memset(scene, 0, sizeof *scene);
    return status;
  }
  PrecalculateScene(scene);
  return kSceneOk;
}

bool ReadFile(const std::string& path, std::vector<uint8_t>& bytes, bool& opened) {
  opened = false;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  opened = true;
  uint8_t buffer[65536];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.insert(bytes.end(), buffer, buffer + n);
  const bool ok = !std::ferror(f);
  std::fclose(f);
  return ok;
}

}  // namespace

void InitChunkSizes(void) { LoaderUnit.ChunkElementSize = kChunkElementBytes; }

void InitLoaderUnit(void) {
  LoaderUnit.LoaderVersionMajor = 1;
  LoaderUnit.LoaderVersionMinor = 2;
  InitChunkSizes();
}

void SceneLoad::Log(std::string_view text) const { LogTo(log, text); }

int ReadSceneChunk(SceneLoad& load, _OVX_SCENE* scene, uint8_t elementType, uint8_t kind) {
  if (!scene) return kSceneReadError;
  SYS_ByteReader& input = load.input;
  if (!input.has(kHeaderRest)) {
    load.Log("[ovx] the file ends inside a chunk header");
    return kSceneReadError;
  }
  const SceneChunkHeader h = ReadHeaderRest(input, elementType, kind);
  const int64_t length = h.packed != 0 ? h.packed : h.size;
  if (length < 0) {
    load.Log("[ovx] chunk " + Hex(kind) + ": negative size");
    return kSceneDamaged;
  }
  if (uint64_t(length) > input.remaining()) {
    load.Log("[ovx] the file ends inside chunk " + Hex(kind));
    return kSceneReadError;
  }
  std::span<const uint8_t> payload = input.take(uint64_t(length));
  if (elementType >= kChunkElementTypes) {
    LogSkipped(load, kind, h.index, "unknown element type");
    return kSceneOk;
  }
  if (int64_t(LoaderUnit.ChunkElementSize[elementType]) * h.count != h.size) load.Log("Chunk size corruption !");
  if (h.packed != 0) return kSceneOk;
  const SceneChunkKind* k = FindSceneChunkKind(kind);
  return k ? Store(load, scene, *k, h.index, payload) : kSceneOk;
}

int LoadSceneFromMemory(_OVX_SCENE* scene, const void* data, size_t size, std::string_view name) {
  if (!scene) return kSceneDamaged;
  std::memset(scene, 0, sizeof *scene);
  LoaderLog("[ovx] load: " + std::string(name));
  return Load(scene, std::span<const uint8_t>(static_cast<const uint8_t*>(data), data ? size : 0));
}

int LoadScene(_OVX_SCENE* scene, std::string_view fileName) {
  if (!scene) return kSceneDamaged;
  std::memset(scene, 0, sizeof *scene);
  LoaderLog("[ovx] load: " + std::string(fileName));
  std::vector<uint8_t> bytes;
  bool opened = false;
  if (!ReadFile(SceneHostPath(fileName), bytes, opened)) {
    if (!opened) {
      LoaderLog("File (" + std::string(fileName) + ") not found.");
      return kSceneCantOpen;
    }
    LoaderLog("[ovx] read error in " + std::string(fileName));
    return kSceneReadError;
  }
  return Load(scene, bytes);
}

void* LoaderGetMem(size_t size) { return std::calloc(size ? size : 1, 1); }

void LoaderRelease(void* block) { std::free(block); }

LoaderLogSink LoaderSetLogSink(LoaderLogSink sink) {
  LoaderLogSink old = LoaderUnit.LogSink;
  LoaderUnit.LogSink = sink;
  return old;
}

void LoaderLog(std::string_view text) { LogTo(LoaderUnit.LogSink, text); }

std::string SceneHostPath(std::string_view name) {
  std::string path(name);
  std::replace(path.begin(), path.end(), '\\', '/');
  return path;
}
