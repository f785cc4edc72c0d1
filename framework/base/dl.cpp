// Dynamic modules: the module list, loading with the module-folder attempt,
// entry points, unloading, and the framework function table that loaded
// modules search by name.
#include "framework/base/dl.h"

#include <cstdio>
#include <cstring>

#include "framework/base/cfg.h"
#include "framework/base/cpu.h"
#include "framework/base/file-pack.h"
#include "framework/base/file.h"
#include "framework/base/iconv.h"
#include "framework/base/info.h"
#include "framework/base/lang.h"
#include "framework/base/list.h"
#include "framework/base/log.h"
#include "framework/base/mem.h"
#include "framework/base/netzwerk.h"
#include "framework/base/str.h"
#include "framework/base/thread.h"
#include "framework/base/time.h"
#include "framework/base/xml.h"
#include "framework/base/z.h"
#include "platform/kernel.h"

#define DL_LOG(level, ...) SYS_LOG_TAGGED(level, "[dl]", __VA_ARGS__)

// A row whose function is linked into the framework.
#define SYS_FN(function) {#function, reinterpret_cast<void*>(&function)}
// A row whose module is not part of the framework yet: the name keeps its
// place so that later rows stay where modules expect them.
#define SYS_FN_ABSENT(function) {#function, nullptr}

const SYS_FunctionTableRow_t SYS_FunctionTable[SYS_FUNCTION_COUNT + 1] = {
    SYS_FN(SYS_DbgSetFlag),
    SYS_FN(SYS_DbgLogFile),
    SYS_FN(SYS_DbgPrintf),
    SYS_FN(SYS_DbgLog),
    SYS_FN(SYS_DetectSystem),
    SYS_FN(errClear),
    SYS_FN(errSetCallback),
    SYS_FN(errSetLastError),
    SYS_FN(errSetLastErrorEx),
    SYS_FN(errGetLastError),
    SYS_FN(SYS_DlOpen),
    SYS_FN(SYS_DlGetProc),
    SYS_FN(SYS_DlClose),
    SYS_FN(SYS_DlGetList),
    SYS_FN(SYS_TimerGet),
    SYS_FN(SYS_TimerSetAdjust),
    SYS_FN(SYS_TimerReset),
    SYS_FN(SYS_TimerPause),
    SYS_FN(SYS_Sleep),
    SYS_FN(SYS_MemInfo),
    SYS_FN(_SYS_MemFree),
    SYS_FN(SYS_MemDump),
    SYS_FN(_SYS_MemGet),
    SYS_FN(_SYS_MemRealloc),
    SYS_FN(SYS_MemSize),
    SYS_FN(_SYS_StrDup),
    SYS_FN(SYS_MemTotal),
    SYS_FN(SYS_MemAvail),
    SYS_FN(SYS_GetCPU),
    SYS_FN(SYS_CfgGet),
    SYS_FN(SYS_CfgAdd),
    SYS_FN(SYS_CfgLoad),
    SYS_FN(SYS_CfgSave),
    SYS_FN(SYS_FilePackOpen),
    SYS_FN(SYS_FindPack),
    SYS_FN(SYS_FileOpen),
    SYS_FN(SYS_FileSeek),
    SYS_FN(SYS_FileRead),
    SYS_FN(SYS_FileWrite),
    SYS_FN(SYS_FileGetStr),
    SYS_FN(SYS_FilePutStr),
    SYS_FN(SYS_FileClose),
    SYS_FN(SYS_FileExist),
    SYS_FN(SYS_FileSize),
    SYS_FN(SYS_PathSetHomeBase),
    SYS_FN(SYS_PathGet),
    SYS_FN(SYS_MkDir),
    SYS_FN(SYS_Glob),
    SYS_FN(SYS_GlobFree),
    SYS_FN(SYS_ZSetCompLevel),
    SYS_FN(SYS_ZCompress),
    SYS_FN(SYS_ZUncompress),
    SYS_FN(SYS_ZCrc32),
    SYS_FN(SYS_ZAdler),
    SYS_FN(SYS_TrimLeft),
    SYS_FN(SYS_StrSwap),
    SYS_FN(SYS_StrRep),
    SYS_FN(SYS_StrLwr),
    SYS_FN(SYS_StrUpr),
    SYS_FN(SYS_Trim),
    SYS_FN(SYS_Items),
    SYS_FN(SYS_Cut),
    SYS_FN(SYS_Cuti),
    SYS_FN(SYS_Cutu),
    SYS_FN(SYS_Cutf),
    SYS_FN(SYS_Str2Uri),
    SYS_FN(SYS_Uri2Str),
    SYS_FN(SYS_GetString),
    SYS_FN(SYS_ThreadCreate),
    SYS_FN(SYS_ThreadKill),
    SYS_FN(SYS_ThreadExit),
    SYS_FN(SYS_ThreadSelf),
    SYS_FN(SYS_MutexCreate),
    SYS_FN(SYS_MutexDestroy),
    SYS_FN(SYS_MutexLock),
    SYS_FN(SYS_MutexUnlock),
    SYS_FN(SYS_IConvToUCS),
    SYS_FN(SYS_LangSetFile),
    SYS_FN(SYS_LangGetPhrase),
    SYS_FN(SYS_LangDestroy),
    SYS_FN(SYS_ListAddFirst),
    SYS_FN(SYS_ListAddLast),
    SYS_FN(SYS_ListDelItem),
    SYS_FN(SYS_ListRemove),
    SYS_FN(SYS_SocketResolve),
    SYS_FN(SYS_SocketNew),
    SYS_FN(SYS_SocketConnect),
    SYS_FN(SYS_SocketListen),
    SYS_FN(SYS_SocketAccept),
    SYS_FN(SYS_SocketClear),
    SYS_FN(SYS_SocketClose),
    SYS_FN(SYS_SocketSend),
    SYS_FN(SYS_SocketRead),
    SYS_FN(SYS_SocketFGets),
    SYS_FN(SYS_XMLOpen),
    SYS_FN(SYS_XMLClose),
    SYS_FN(SYS_XMLSetCB),
    SYS_FN(SYS_XMLParse),
    {nullptr, nullptr},
};

namespace {

constexpr size_t kFileNameRoom = 256;  // at most 255 characters

PModule modules = nullptr;

int Level() { return SYS_DbgDetail(SYS_DbgSwitches.dl); }

char* CopyName(const char* name) {
  size_t n = std::strlen(name) + 1;
  auto* copy = static_cast<char*>(SYS_MemGet(n));
  if (copy) std::memcpy(copy, name, n);
  return copy;
}

// Puts a new row at the head of the list; false when out of memory.
bool Prepend(void* handle, const char* name) {
  auto* row = static_cast<PModule>(SYS_MemGet(sizeof(TModule)));
  char* copy = row ? CopyName(name) : nullptr;
  if (!copy) {
    SYS_MemFree(row);
    return false;
  }
  row->name = copy;
  row->handle = handle;
  row->next = modules;
  modules = row;
  return true;
}

PModule FindByName(const char* name) {
  for (PModule m = modules; m; m = m->next)
    if (std::strcmp(m->name, name) == 0) return m;
  return nullptr;
}

// The module folder's file name, or the name itself when it already is one.
void ModuleFileName(const char* name, char (&file)[kFileNameRoom]) {
  if (std::strstr(name, "-w32.so"))
    std::snprintf(file, sizeof file, "%s", name);
  else
    std::snprintf(file, sizeof file, "Modules\\%s-w32.so", name);
}

void RunModuleInit(void* handle) {
  void* entry = SYS_DlGetProc(handle, "dllInit");
  if (!entry) return;
  SYS_DllInit_t init;
  std::memcpy(&init, &entry, sizeof init);
  init(&SYS_FindFunction);
}

}  // namespace

void* SYS_DlOpen(const char* name) {
  errClear();
  if (!name) {
    errSetLastError(ERR_BADARG);
    return nullptr;
  }
  if (PModule known = FindByName(name)) {
    DL_LOG(Level(), " preloaded module: %s\n", name);
    return known->handle;
  }
  char file[kFileNameRoom];
  ModuleFileName(name, file);
  DL_LOG(Level(), " Load lib: %s\n", file);
  void* handle = LoadLibraryA(file);
  if (!handle) {
    DL_LOG(Level(), " failed,  try %s.\n", name);
    handle = LoadLibraryA(name);
  }
  if (!handle) {
    DWORD systemError = GetLastError();
    // One call writes the whole line, so its second half never stands alone.
    if (systemError == ERROR_FILE_NOT_FOUND) {
      DL_LOG(Level(), " error: lib (%s) not found.\n", name);
      errSetLastError(ERR_DL_NOTFOUND);
    } else {
      DL_LOG(Level(), " error: unknown error (%d)\n", static_cast<int>(systemError));
      errSetLastError(ERR_DL_LOAD);
    }
    return nullptr;
  }
  errClear();
  RunModuleInit(handle);
  errClear();
  if (!Prepend(handle, name)) {
    errSetLastError(ERR_NOMEM);
    return nullptr;
  }
  DL_LOG(Level(), " address: %p\n", handle);
  return handle;
}

void* SYS_DlGetProc(void* handle, const char* name) {
  errClear();
  if (!handle) {
    errSetLastError(ERR_DL_NOHANDLE);
    return nullptr;
  }
  if (!name) {
    errSetLastError(ERR_BADARG);
    return nullptr;
  }
  FARPROC entry = GetProcAddress(static_cast<HMODULE>(handle), name);
  if (!entry) {
    // Asked for by its own switch, so written whether or not "debug-dl" is given.
    if (SYS_DbgSwitches.dlsymbols)
      DL_LOG(SYS_DBG_MSG, " symbol not found: %s (%d)\n", name, static_cast<int>(GetLastError()));
    return nullptr;
  }
  void* address;
  std::memcpy(&address, &entry, sizeof address);
  return address;
}

int SYS_DlClose(void* handle) {
  errClear();
  if (!handle) {
    errSetLastError(ERR_DL_NOHANDLE);
    return -1;
  }
  PModule* link = &modules;
  while (*link) {
    PModule row = *link;
    DL_LOG(Level(), " release: %s\n", row->name);
    if (row->handle == handle) break;
    link = &row->next;
  }
  // A handle that this list never handed out is left alone: unloading it
  // could take a library away from whoever really holds it.
  if (!*link) {
    errSetLastError(ERR_DL_UNLOAD);
    return -1;
  }
  PModule row = *link;
  *link = row->next;
  SYS_MemFree(row->name);
  SYS_MemFree(row);
  if (!FreeLibrary(static_cast<HMODULE>(handle))) {
    errSetLastError(ERR_DL_UNLOAD);
    return -1;
  }
  return 0;
}

PModule SYS_DlGetList(void) {
  errClear();
  return modules;
}

int SYS_DlAddModule(void* handle, const char* name) {
  errClear();
  if (!handle || !name) {
    errSetLastError(ERR_BADARG);
    return -1;
  }
  if (!Prepend(handle, name)) {
    errSetLastError(ERR_NOMEM);
    return -1;
  }
  return 0;
}

void* SYS_FindFunction(const char* name) {
  if (!name) return nullptr;
  for (const SYS_FunctionTableRow_t* row = SYS_FunctionTable; row->name; ++row)
    if (std::strcmp(row->name, name) == 0) return row->address;
  return nullptr;
}
