// The packed archive "QRNP": a read-only container of named files, mounted
// through SYS_FilePackOpen and served by the third handler of the chain.
//
// Archive layout (little-endian, no padding):
//   header  "QRNP", u32 entry count, u32 catalogue offset
//   data    the entries' bytes, each raw or one compressed block
//   catalogue, from its offset to the end of the file: one compressed block
//   holding count records {u32 stored size, u32 data offset, u8 flags
//   (bit 0 = compressed), u16 name length, name without terminator}.
#pragma once
#include <cstdint>

#include "framework/base/file.h"

#define SYS_PACK_MAGIC "QRNP"
#define SYS_PACK_HEADER 12u
#define SYS_PACK_RECORD 11u  // a catalogue record without its name
#define SYS_PACK_COMPRESSED 0x01

// An entry of the catalogue. Every open file gets a copy of its entry of its
// own (SYS_File_t.entry) holding that file's position and loaded image, so
// two opens of one name do not disturb each other; the catalogue's entries
// keep position 0 and no image.
struct SYS_PackEntry_t {
  uint32_t storedSize;  // bytes in the archive (packed length + 12 when compressed)
  uint32_t realSize;    // bytes a reader sees
  uint32_t position;
  uint32_t dataOffset;
  uint8_t flags;
  char* name;     // tracked; an open file's copy borrows the catalogue's
  uint8_t* data;  // realSize bytes while open (null for an empty entry)
};

struct SYS_Pack_t {
  char* path;
  SYS_File_p archive;  // open for as long as the archive is mounted
  uint32_t count;
  SYS_PackEntry_t* entries;
};
typedef SYS_Pack_t* SYS_Pack_p;

// The newest mounted archive holding exactly the name, or null (no code).
SYS_Pack_p SYS_FindPack(const char* name);

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
