// The scene-file writer. The order of the chunks is fixed by the lists
// below; what each kind carries and when it is written comes from the chunk
// table the reader uses. The chunk count is found by walking the same lists
// without writing, so it always equals the chunks written.
#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>

#include "engine/chunktable.h"
#include "engine/loader.h"
#include "framework/base/bytes.h"

namespace {

constexpr uint8_t kSceneOrder[] = {0x57, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A, 0x0B, 0x54, 0x5A};
constexpr uint8_t kMaterialOrder[] = {0x0C, 0x0D, 0x0E, 0x0F, 0x10, 0x11, 0x12, 0x13, 0x14, 0x5C, 0x5D, 0x5E, 0x15,
                                      0x16, 0x17, 0x18, 0x19, 0x1A, 0x52, 0x1B, 0x1C, 0x1D, 0x1E, 0x1F, 0x20};
constexpr uint8_t kObjectOrder[] = {0x21, 0x22, 0x23, 0x24, 0x25, 0x26, 0x27, 0x28, 0x29, 0x2A, 0x2B, 0x2C, 0x2D,
                                    0x2E, 0x58, 0x59, 0x53, 0x2F, 0x30, 0x31, 0x5B, 0x5F, 0x60, 0x61, 0x62, 0x3B,
                                    0x3C, 0x3D, 0x3E, 0x3F, 0x40, 0x41, 0x42, 0x43, 0x44, 0x45, 0x32, 0x33, 0x34,
                                    0x63, 0x56, 0x35, 0x36, 0x37, 0x38, 0x39, 0x3A};
constexpr uint8_t kCameraOrder[] = {0x46, 0x47};
constexpr uint8_t kLightOrder[] = {0x48, 0x49, 0x4A, 0x4B, 0x4C, 0x4D, 0x4E, 0x4F};

bool Put(const void* data, size_t size) {
  if (size && std::fwrite(data, 1, size, LoaderUnit.SaveOutput) != size) LoaderUnit.SaveFailed = true;
  return !LoaderUnit.SaveFailed;
}

// The header in file order, little-endian.
void EncodeHeader(const SceneChunkHeader& h, uint8_t (&out)[kChunkHeaderSize]) {
  out[0] = h.tag[0];
  out[1] = h.tag[1];
  out[2] = h.elementType;
  out[3] = h.kind;
  const int32_t fields[] = {h.count, h.size, h.packed, h.index};
  for (size_t i = 0; i < std::size(fields); ++i) SYS_ByteWriter::PutU32(out + 4 + 4 * i, uint32_t(fields[i]));
}

class Walker {
 public:
  Walker(const _OVX_SCENE* scene, bool write, int32_t chunkCount)
      : scene_(scene), write_(write), chunkCount_(chunkCount) {}

  int32_t Walk() {
    Run(kSceneOrder, ChunkSection::Scene, 0);
    if (scene_->materials)
      for (int32_t i = 0; i < scene_->materialcount; ++i) Run(kMaterialOrder, ChunkSection::Material, i);
    if (scene_->objects)
      for (int32_t i = 0; i < scene_->objectcount; ++i) Run(kObjectOrder, ChunkSection::Object, i);
    Run(kCameraOrder, ChunkSection::Scene, 0);
    for (int32_t i = 0; i < kOvxLightCount; ++i) Run(kLightOrder, ChunkSection::Light, i);
    return chunks_;
  }

 private:
  template <size_t N>
  void Run(const uint8_t (&order)[N], ChunkSection section, int32_t index) {
    const uint8_t* record = SceneChunkRecord(scene_, section, index);
    for (uint8_t kind : order) {
      const SceneChunkKind& k = *FindSceneChunkKind(kind);
      if (Wanted(k, record)) Emit(k, record, index);
    }
  }

  static bool Wanted(const SceneChunkKind& k, const uint8_t* record) {
    switch (k.write) {
      case ChunkWrite::Always: return true;
      case ChunkWrite::CountAbove0: return ChunkCountAt(record, k) > 0;
      case ChunkWrite::WhenFlag: return record[k.flagOffset] != 0;
      case ChunkWrite::Never: return false;
    }
    return false;
  }

  void Emit(const SceneChunkKind& k, const uint8_t* record, int32_t index) {
    ++chunks_;
    if (!write_) return;
    if (k.role == ChunkRole::Array) {
      // An array the record does not hold is written empty, never read
      // through its null pointer.
      const void* array = ChunkArrayAt(record, k);
      const int32_t count = ChunkCountAt(record, k);
      Written(WriteSceneChunk(k.elementType, k.kind, array && count > 0 ? count : 0, index, array));
      return;
    }
    const void* data = record + k.offset;
    OvxShortString text;
    if (k.kind == 0x01) data = &LoaderUnit.LoaderVersionMajor;
    if (k.kind == 0x02) data = &LoaderUnit.LoaderVersionMinor;
    if (k.kind == 0x57) data = &chunkCount_;
    if (k.width == sizeof text) {
      // Only the characters: the tail behind the length is written as zeros.
      const auto* from = static_cast<const OvxShortString*>(data);
      text.assign(from->view());
      data = &text;
    }
    Written(WriteSceneChunk(k.elementType, k.kind, 1, index, data));
  }

  // A chunk that could not be written (an array too large for the format)
  // fails the save like a write error.
  static void Written(bool ok) {
    if (!ok) LoaderUnit.SaveFailed = true;
  }

  const _OVX_SCENE* scene_;
  bool write_;
  int32_t chunkCount_;
  int32_t chunks_ = 0;
};

}  // namespace

bool WriteSceneChunk(uint8_t elementType, uint8_t kind, int32_t count, int32_t index, const void* data) {
  if (!LoaderUnit.SaveOutput || elementType >= kChunkElementTypes || count < 0) return false;
  const int64_t size = int64_t(LoaderUnit.ChunkElementSize[elementType]) * count;
  if (size > INT32_MAX || (size > 0 && !data)) return false;
  const SceneChunkHeader h{{kSceneChunkTag0, kSceneChunkTag1}, elementType, kind, count, static_cast<int32_t>(size),
                           0, index};
  uint8_t header[kChunkHeaderSize];
  EncodeHeader(h, header);
  return Put(header, sizeof header) && Put(data, static_cast<size_t>(size));
}

int SaveScene(const _OVX_SCENE* scene, std::string_view fileName) {
  if (!scene) return kSceneCantCreate;
  const int32_t chunkCount = Walker(scene, false, 0).Walk();
  LoaderUnit.SaveOutput = std::fopen(SceneHostPath(fileName).c_str(), "wb");
  if (!LoaderUnit.SaveOutput) {
    LoaderLog("[ovx] save: cannot create " + std::string(fileName));
    return kSceneCantCreate;
  }
  LoaderUnit.SaveFailed = false;
  Walker(scene, true, chunkCount).Walk();
  const bool closed = std::fclose(LoaderUnit.SaveOutput) == 0;
  LoaderUnit.SaveOutput = nullptr;
  if (LoaderUnit.SaveFailed || !closed) {
    LoaderLog("[ovx] save: write error in " + std::string(fileName));
    return kSceneCantCreate;
  }
  return kSceneOk;
}
