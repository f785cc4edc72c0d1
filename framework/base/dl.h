// Dynamic modules and the framework's function table. Loaded libraries are
// kept in a list, newest first, so a second open of the same name hands out
// the module already loaded. A library that exports `dllInit` is a framework
// module: right after loading it receives SYS_FindFunction, its way to every
// function of the framework by name.
#pragma once
#include <cstdint>

// Error codes of the module layer.
#define ERR_DL_NOTFOUND 200   // the library file was not found
#define ERR_DL_LOAD 201       // any other load failure
#define ERR_DL_NOHANDLE 202   // null module handle
#define ERR_DL_UNLOAD 203     // unloading failed (or the handle is not in the list)

// One row of the module list.
struct TModule {
  char* name;     // the name the caller passed (tracked copy owned by the row)
  void* handle;   // the library's module handle
  TModule* next;  // the next (older) row
};
typedef TModule* PModule;

// The name lookup handed to a module's dllInit.
typedef void* (*SYS_FindFunction_t)(const char* name);
// What a framework module exports as "dllInit" (declared extern "C"); the
// result is not used.
typedef int (*SYS_DllInit_t)(SYS_FindFunction_t lookup);

// One row of the framework function table: a name and its function, both
// null in the row that ends the table.
struct SYS_FunctionTableRow_t {
  const char* name;
  void* address;
};
#define SYS_FUNCTION_COUNT 98
extern const SYS_FunctionTableRow_t SYS_FunctionTable[SYS_FUNCTION_COUNT + 1];

void* SYS_DlOpen(const char* name);
void* SYS_DlGetProc(void* handle, const char* name);
int SYS_DlClose(void* handle);
PModule SYS_DlGetList(void);
int SYS_DlAddModule(void* handle, const char* name);
void* SYS_FindFunction(const char* name);
