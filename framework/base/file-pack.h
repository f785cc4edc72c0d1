// The packed archive "QRNP": a read-only container of named files, mounted
// through SYS_FilePackOpen (or from memory) and served by the third handler
// of the chain.
//
// Archive layout (little-endian, no padding):
//   header  "QRNP", u32 entry count, u32 catalogue offset
//   data    the entries' bytes, each raw or one compressed block
//   catalogue, from its offset to the end of the file: one compressed block
//   holding count records {u32 stored size, u32 data offset, u8 flags
//   (bit 0 = compressed), u16 name length, name without terminator}.
#pragma once
#include <cstdint>
#include <span>
#include <string_view>

#include "framework/base/bytes.h"
#include "framework/base/file.h"

#define SYS_PACK_MAGIC "QRNP"
#define SYS_PACK_HEADER 12u
#define SYS_PACK_RECORD 11u  // a catalogue record without its name
#define SYS_PACK_COMPRESSED 0x01

// --- The codec: the one reader and writer of the stored layout, over byte
// spans. The mount, the packer and the fuzz targets all go through it.

struct SYS_PackHeader_t {
  uint32_t count;
  uint32_t catalogueOffset;
};

// One catalogue record; the name points into the catalogue's bytes.
struct SYS_PackRecord_t {
  uint32_t storedSize;
  uint32_t dataOffset;
  uint8_t flags;
  std::string_view name;
};

// Why an archive is refused.
enum SYS_PackFault_t {
  SYS_PACK_SOUND = 0,
  SYS_PACK_NOT_ARCHIVE,    // no header, or not the magic
  SYS_PACK_BAD_CATALOGUE,  // offset outside the file, or records past its end
  SYS_PACK_ENTRY_OUTSIDE,  // an entry's bytes are not all in the file
};
const char* SYS_PackFaultText(SYS_PackFault_t fault);

// The header from the first bytes of an archive of fileSize bytes: the magic
// and a catalogue that starts behind the header and inside the file.
SYS_PackFault_t SYS_PackReadHeader(std::span<const uint8_t> head, uint64_t fileSize, SYS_PackHeader_t& header);

// Walks the count records of an unpacked catalogue in order. Every record
// must lie inside the catalogue and its entry inside a file of fileSize
// bytes (a compressed entry holds a block header at least).
class SYS_PackCatalogueReader {
 public:
  SYS_PackCatalogueReader(std::span<const uint8_t> catalogue, uint32_t count, uint64_t fileSize);
  // The next record; false at the end or at a fault.
  bool Next(SYS_PackRecord_t& record);
  SYS_PackFault_t fault() const { return fault_; }

 private:
  SYS_ByteReader reader_;
  uint32_t count_;
  uint32_t done_ = 0;
  uint64_t fileSize_;
  SYS_PackFault_t fault_ = SYS_PACK_SOUND;
};

void SYS_PackWriteHeader(SYS_ByteWriter& out, const SYS_PackHeader_t& header);
void SYS_PackWriteRecord(SYS_ByteWriter& out, const SYS_PackRecord_t& record);

// --- Mounted archives.

// An entry of the catalogue. Every open file gets a copy of its entry of its
// own (SYS_File_t.entry) holding that file's position and loaded image, so
// two opens of one name do not disturb each other; the catalogue's entries
// keep position 0 and no image.
struct SYS_PackEntry_t {
  uint32_t storedSize;  // bytes in the archive (packed length + 12 when compressed)
  uint32_t realSize;    // bytes a reader sees (see sized)
  uint32_t position;
  uint32_t dataOffset;
  uint8_t flags;
  char* name;     // in the archive's name block
  uint8_t* data;  // an open file's image (null while a plain entry is read from the archive)
  uint8_t sized;  // realSize is known: a compressed entry's is read from its block when first asked
  struct SYS_Pack_t* pack;  // the archive that holds the entry
};

struct SYS_Pack_t {
  char* path;
  SYS_File_p archive;  // open for as long as the archive is mounted; null for one mounted from memory
  uint32_t count;
  SYS_PackEntry_t* entries;
  uint8_t* image;       // the whole archive, when mounted from memory
  uint64_t size;        // the archive's size
  char* names;          // every entry's name, each zero-terminated
  uint32_t* index;      // hash of the names: entry number + 1, or 0 for a free slot
  uint32_t indexMask;   // slots - 1
  uint8_t* window;      // the archive's bytes last read for small reads (as a stream's buffer)
  uint64_t windowOffset;
  uint32_t windowLength;
};
typedef SYS_Pack_t* SYS_Pack_p;

// The newest mounted archive holding exactly the name, or null (no code).
SYS_Pack_p SYS_FindPack(const char* name);

// Mounts an archive held in memory (a copy is kept) under the given name,
// as the archive handler mounts a file: 0, or -1 with code 10 (null name or
// bytes), 12 (refused), or the decompressor's code.
int SYS_FilePackOpenMem(const char* name, const void* bytes, uint64_t size);

// Slots of the archive handler.
int SYS_FilePackOpen_pack(const char* path);
int SYS_FileOpen_pack(SYS_File_p file);
int SYS_FileSeek_pack(SYS_File_p file, int64_t offset);
int64_t SYS_FileRead_pack(SYS_File_p file, void* buffer, int64_t length);
char* SYS_FileGetStr_pack(SYS_File_p file, char* buffer, int length);
int SYS_FilePutStr_pack(SYS_File_p file, const char* text);
int SYS_FileWrite_pack(SYS_File_p file, const void* buffer, int64_t length);
int SYS_FileEof_pack(SYS_File_p file);
int64_t SYS_FileTell_pack(SYS_File_p file);
void SYS_FileClose_pack(SYS_File_p file);
int SYS_FileExist_pack(const char* name);
int64_t SYS_FileSize_pack(const char* name);

// The archive mounted last, or null; a listing starts from it.
SYS_Pack_p SYS_PackNewest(void);

// The framework never unmounts an archive. Tests and fuzzing that mount
// many use this to release every archive; no entry may be open then.
void SYS_PackUnmountAll(void);
