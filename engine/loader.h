// Scene files: a headerless run of self-describing chunks, each carrying the
// bytes of one field of the scene records or one whole array.
//
// Chunk header, 20 bytes, little-endian: "QZ", element type (0-13), kind,
// count (int32), size (int32, payload bytes = count x element size), packed
// size (int32, 0 for a raw payload), index (int32: material, object or
// light number, 0 for scene chunks); then size payload bytes (packed size
// bytes when that is not 0; packed payloads are skipped, nothing unpacks
// them).
//
// The reader trusts nothing in the file. Whatever it reads, the record it
// leaves either passed the checks at the end of the load (counts and arrays
// agree, every index in range) or is zeroed with every array released. A
// file that ends inside a chunk header or payload, or within a 4-byte scan
// step after the last chunk, fails with kSceneReadError.
//
// Chunks the format leaves no room for are logged and skipped, the load
// goes on: an element type above 13, an index with no record (out of range,
// or before the count chunk of its array), a field chunk whose payload is
// larger than its field, an unknown kind, a packed payload.
//
// Where the reader and writer differ from the plain format, and the fault
// each difference mends:
//   - a negative size or packed size refuses the file (unsafe input: it
//     cannot be a payload length);
//   - a material or object count below 0 or larger than the chunk headers the
//     bytes left can hold refuses the file (unsafe input: an allocation the
//     file cannot fill);
//   - counts and arrays that disagree, or face, strip or neighbour indices
//     outside their arrays, refuse the scene (crash: every later reader
//     indexes by them);
//   - an object whose material is out of range refuses the scene (crash:
//     drawing indexed past the list);
//   - a repeated count or array chunk releases what it replaces (unsafe
//     input: a file repeating it would grow memory without bound);
//   - the writer writes an array the record does not hold with count 0
//     (crash: it would read through the null pointer), and a chunk too large
//     for the format fails the save (failure reported as success).
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "engine/chunktable.h"
#include "engine/ovx.h"
#include "framework/base/log.h"

// Results of LoadScene and SaveScene, in the framework's error codes.
constexpr int kSceneOk = ERR_NONE;
constexpr int kSceneCantOpen = ERR_CANTOPEN;    // the file cannot be opened
constexpr int kSceneReadError = ERR_READ;       // the file ends inside a chunk
constexpr int kSceneNoMemory = ERR_NOMEM;       // an array could not be allocated
constexpr int kSceneCantCreate = ERR_CANTCREATE;  // SaveScene: the file cannot be created or written
constexpr int kSceneDamaged = ERR_BADARG;       // sizes or counts that no array can hold, or a
                                                // record that fails the checks after loading

constexpr int kChunkHeaderSize = 20;
constexpr uint8_t kSceneChunkTag0 = 'Q';
constexpr uint8_t kSceneChunkTag1 = 'Z';

// The 20 bytes in front of every payload, in file order.
struct SceneChunkHeader {
  uint8_t tag[2];       // "QZ"
  uint8_t elementType;  // 0-13: an index of ChunkElementSize
  uint8_t kind;         // which field or array the payload fills
  int32_t count;        // elements
  int32_t size;         // payload bytes, count x element size
  int32_t packed;       // 0 for a raw payload, else the bytes in its place
  int32_t index;        // material, object or light number; 0 for the scene
};
static_assert(sizeof(SceneChunkHeader) == kChunkHeaderSize);
// Where the unit's log lines go, for tests that read them.
typedef void (*LoaderLogSink)(std::string_view line);

// The scene-file unit's state, with its start values.
struct LoaderUnitState {
  // Bytes per element of each element type, filled by InitChunkSizes.
  std::array<int32_t, kChunkElementTypes> ChunkElementSize = kChunkElementBytes;
  // The format version written by SaveScene, set by InitLoaderUnit (1.2).
  uint8_t LoaderVersionMajor = 1;
  uint8_t LoaderVersionMinor = 2;
  // Where LoaderLog writes (LoaderSetLogSink); null: the framework log.
  LoaderLogSink LogSink = nullptr;
  // The file a SaveScene in progress writes to, and whether a write to it
  // failed; WriteSceneChunk writes there.
  std::FILE* SaveOutput = nullptr;
  bool SaveFailed = false;
};
extern LoaderUnitState LoaderUnit;

void InitChunkSizes(void);
void InitLoaderUnit(void);

// Zeroes the record, reads the file ("\" in the name is a folder separator)
// and, when the load succeeded, completes the record with the
// precalculation. Any other result leaves the record zeroed. What the record
// held before is dropped, not released: FreeScene it first.
int LoadScene(_OVX_SCENE* scene, std::string_view fileName);
// The same over bytes in memory; name is used for the log line only.
int LoadSceneFromMemory(_OVX_SCENE* scene, const void* data, size_t size, std::string_view name);
// Writes the scene as a new file, replacing an existing one.
int SaveScene(const _OVX_SCENE* scene, std::string_view fileName);

// One line to the framework log, or to the sink a test installs (null puts
// the log back). Gives the sink that was installed before.
LoaderLogSink LoaderSetLogSink(LoaderLogSink sink);
void LoaderLog(std::string_view text);

class SYS_ByteReader;

// The load in progress: the file's bytes under the bounded cursor and the
// sink its lines go to (null: the framework log). Each load makes its own and
// hands it to every reading step, so a chunk can only be read out of a file
// that is being loaded.
struct SceneLoad {
  SYS_ByteReader& input;
  LoaderLogSink log;
  void Log(std::string_view text) const;
};

// One chunk of the load (after the first four bytes "QZ", element type and
// kind, which the caller has read): kSceneOk when the chunk was stored or
// skipped, otherwise the reason the load has to stop.
int ReadSceneChunk(SceneLoad& load, _OVX_SCENE* scene, uint8_t elementType, uint8_t kind);
// Appends one raw chunk of count elements from data to the save in
// progress; false outside SaveScene or for an element type above 13.
bool WriteSceneChunk(uint8_t elementType, uint8_t kind, int32_t count, int32_t index, const void* data);

// The plain allocator of the module: zero-filled, untracked. The arrays
// computed after loading come from here and go back through LoaderRelease.
void* LoaderGetMem(size_t size);
void LoaderRelease(void* block);

// A scene-data name as the host's stdio wants it: "\" becomes "/".
std::string SceneHostPath(std::string_view name);
