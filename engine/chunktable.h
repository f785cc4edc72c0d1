// The one description of the scene file's chunk kinds, shared by the reader
// and the writer: for every kind the record it belongs to, its element type,
// where its bytes go (a field, or an array pointer with its count field),
// and when the writer writes it.
#pragma once
#include <array>
#include <cstdint>

#include "engine/ovx.h"

// Bytes per element of each element type, the type being the index.
constexpr int kChunkElementTypes = 14;
constexpr std::array<int32_t, kChunkElementTypes> kChunkElementBytes = {
    1, 1, 2, 4, 4, 8, 12, 16, 256, 12, 16, 20, 64, 1};

// The object's edge table (neighbours): the one array kind whose block may
// come from the precalculation's plain allocator instead of the file.
constexpr uint8_t kChunkNeighbours = 0x56;

enum class ChunkSection : uint8_t { Scene, Material, Object, Light };

enum class ChunkRole : uint8_t {
  Field,          // the payload is the bytes of one field
  MaterialCount,  // materialcount; (re)allocates materials
  ObjectCount,    // objectcount; (re)allocates objects
  Array,          // the payload is a whole array; the pointer is at offset
};

enum class ChunkWrite : uint8_t {
  Always,
  CountAbove0,  // the array's count field is above 0
  WhenFlag,     // the byte at flagOffset is not 0
  Never,        // read only
};

struct SceneChunkKind {
  uint8_t kind;
  ChunkSection section;
  uint8_t elementType;
  ChunkRole role;
  uint16_t offset;       // of the field or the array pointer in its record
  uint16_t width;        // bytes of the field, or of one array element
  uint16_t countOffset;  // arrays: the int32 count field in the same record
  ChunkWrite write;
  uint16_t flagOffset;      // ChunkWrite::WhenFlag
  const char* description;  // arrays: the allocation description after the names
};

// The kind's description; null for the kinds that store nothing (0x00,
// 0x55, 0x64 and above).
const SceneChunkKind* FindSceneChunkKind(uint8_t kind);

// The record a chunk of the section and index addresses: the scene itself,
// materials[index], objects[index] or lights[index]; null when there is no
// such record (an index out of range, or the array not allocated yet).
uint8_t* SceneChunkRecord(_OVX_SCENE* scene, ChunkSection section, int32_t index);
const uint8_t* SceneChunkRecord(const _OVX_SCENE* scene, ChunkSection section, int32_t index);

// The array pointer or count field of an array kind in its record.
inline void** ChunkArrayPointer(uint8_t* record, const SceneChunkKind& k) {
  return reinterpret_cast<void**>(record + k.offset);
}
inline void* ChunkArrayAt(const uint8_t* record, const SceneChunkKind& k) {
  return *reinterpret_cast<void* const*>(record + k.offset);
}
inline int32_t ChunkCountAt(const uint8_t* record, const SceneChunkKind& k) {
  return *reinterpret_cast<const int32_t*>(record + k.countOffset);
}
