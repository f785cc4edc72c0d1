// The file layer: files open by name through a chain of handlers (a file on
// disk, a folder mounted as a pack, a packed archive), plus the standard
// paths, folder listing and folder creation. Framework paths use "\" as
// their separator; "/" given by a caller is taken as "\".
#pragma once
#include <cstdint>

#include "framework/base/list.h"

// Open flags; 0 reads in binary mode.
#define SYS_FILE_TEXT 0x08
#define SYS_FILE_WRITE 0x10   // create or truncate; wins over append
#define SYS_FILE_APPEND 0x20

struct SYS_File_t;
typedef SYS_File_t* SYS_File_p;

// A file handler. exist answers 0 when the handler has the name; pack-open
// answers 0 when it mounted the path (absent for loose files).
struct SYS_FileHandler_t {
  const char* name;
  int (*packOpen)(const char* path);
  int (*open)(SYS_File_p file);
  int (*seek)(SYS_File_p file, int64_t offset);
  int64_t (*read)(SYS_File_p file, void* buffer, int64_t length);
  char* (*gets)(SYS_File_p file, char* buffer, int length);
  int (*puts)(SYS_File_p file, const char* text);
  int (*write)(SYS_File_p file, const void* buffer, int64_t length);
  int (*eof)(SYS_File_p file);
  int64_t (*tell)(SYS_File_p file);
  void (*close)(SYS_File_p file);
  int (*exist)(const char* name);
  int64_t (*size)(const char* name);
};

struct SYS_PackEntry_t;

// An open file. The application treats it as opaque.
struct SYS_File_t {
  char* name;    // tracked copy of the name given to SYS_FileOpen
  int flags;
  void* handle;  // the stream, or the archive's own open file
  int64_t size;  // size at open (-1 unknown), or the entry's real size
  const SYS_FileHandler_t* handler;
  int (*seek)(SYS_File_p file, int64_t offset);
  int64_t (*read)(SYS_File_p file, void* buffer, int64_t length);
  char* (*gets)(SYS_File_p file, char* buffer, int length);
  int (*puts)(SYS_File_p file, const char* text);
  int (*write)(SYS_File_p file, const void* buffer, int64_t length);
  int (*eof)(SYS_File_p file);
  int64_t (*tell)(SYS_File_p file);
  void (*close)(SYS_File_p file);
  int (*exist)(const char* name);
  int64_t (*size_of)(const char* name);
  SYS_PackEntry_t* entry;  // archive entries: this file's own view
};

SYS_File_p SYS_FileOpen(const char* name, int flags);
void SYS_FileClose(SYS_File_p file);
int SYS_FileSeek(SYS_File_p file, int64_t offset);
int64_t SYS_FileRead(SYS_File_p file, void* buffer, int64_t length);
char* SYS_FileGetStr(SYS_File_p file, char* buffer, int length);
int SYS_FilePutStr(SYS_File_p file, const char* format, ...) __attribute__((format(printf, 2, 3)));
int SYS_FileWrite(SYS_File_p file, const void* buffer, int64_t length);
int SYS_FileEof(SYS_File_p file);
int64_t SYS_FileTell(SYS_File_p file);
int SYS_FileExist(const char* name);
int64_t SYS_FileSize(const char* name);
int SYS_FilePackOpen(const char* path);
int SYS_FileDone(void);

// The handler chain in the order asked: regular file, directory, archive,
// ended by a null entry.
extern const SYS_FileHandler_t* const SYS_FileHandlers[];
extern const SYS_FileHandler_t SYS_FileHandlerRegular;
extern const SYS_FileHandler_t SYS_FileHandlerDir;
extern const SYS_FileHandler_t SYS_FileHandlerPack;

// Slots of the regular-file handler; the directory handler shares all but
// open, exist and size.
int SYS_FileOpen_reg(SYS_File_p file);
int SYS_FileSeek_reg(SYS_File_p file, int64_t offset);
int64_t SYS_FileRead_reg(SYS_File_p file, void* buffer, int64_t length);
char* SYS_FileGetStr_reg(SYS_File_p file, char* buffer, int length);
int SYS_FilePutStr_reg(SYS_File_p file, const char* text);
int SYS_FileWrite_reg(SYS_File_p file, const void* buffer, int64_t length);
int SYS_FileEof_reg(SYS_File_p file);
int64_t SYS_FileTell_reg(SYS_File_p file);
void SYS_FileClose_reg(SYS_File_p file);
int SYS_FileExist_reg(const char* name);
int64_t SYS_FileSize_reg(const char* name);

// Slots of the directory handler.
int SYS_FilePackOpen_dir(const char* path);
int SYS_FileOpen_dir(SYS_File_p file);
int SYS_FileExist_dir(const char* name);
int64_t SYS_FileSize_dir(const char* name);

// Standard path types of SYS_PathGet (type 0 gives null).
#define SYS_PATH_NONE 0
#define SYS_PATH_PROGRAM 1
#define SYS_PATH_HOME 2
#define SYS_PATH_CONFIG 3
#define SYS_PATH_DESKTOP 4
#define SYS_PATH_TEMP 5

// A folder listing: count names, each the pattern's folder part followed by
// a file name, sorted by name.
struct SYS_Glob_t {
  int32_t count;
  char** names;
};
typedef SYS_Glob_t* SYS_Glob_p;
typedef SYS_Glob_p* SYS_Glob_pp;

char* SYS_PathGet(int type, const char* name);  // tracked text, or null
// Stores the pointer (the caller keeps the text alive); null restores
// ".quarn".
void SYS_PathSetHomeBase(const char* name);
// Creates the folder and its missing parents; 0 when the folder was made,
// otherwise 1 (also for an existing folder).
int SYS_MkDir(const char* path);
// Lists the names matching the pattern's last part (Windows rules: "*" and
// "?", letter case ignored, "*.*" matches every name) without "." and "..".
int SYS_Glob(const char* pattern, SYS_Glob_pp result);
int SYS_GlobFree(SYS_Glob_pp result);
