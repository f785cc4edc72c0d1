// The framework binding unit: starts the base library for the application,
// keeps the subsystem init/exit registry and offers the units logging,
// tracked blocks and text conversion.
#pragma once
#include <cstddef>

#include "framework/base/base.h"
#include "units/shortstr.h"

typedef void (*SYS_TExitProc)(void);
typedef ShortStr<32> SYS_TExitProcName;

struct SYS_TExitEntry {
  int32_t active;
  SYS_TExitProcName name;
  SYS_TExitProc proc;
};

constexpr int SYS_RegistrySize = 32;

extern SYS_TExitEntry SYS_InitTable[SYS_RegistrySize];
extern SYS_TExitEntry SYS_ExitTable[SYS_RegistrySize];

extern ShortString HomeDir;
extern ShortString ProgramDir;
extern SYS_PCPU_t BaseCPU;

// Registry. An index outside 0 to 31 is refused (returns -1).
int RegisterInit(const ShortString& name, int index, SYS_TExitProc proc);
int RegisterExit(const ShortString& name, int index, SYS_TExitProc proc);
void UnregisterInit(const ShortString& name);
void UnregisterExit(const ShortString& name);
void RunInits(void);
[[noreturn]] void Shutdown(int code);

// Unit services.
void Log(const ShortString& text);
void LogRaw(const ShortString& text);
void* MemGet(size_t size, const ShortString& tag);
void* MemRealloc(void*& p, size_t size, const ShortString& tag);
void MemFree(void*& p);
template <class T>
inline void MemFree(T*& p) {
  void* v = p;
  MemFree(v);
  p = static_cast<T*>(v);
}
const char* PasStr(const ShortString& text);

// Unit procedures.
void BaseStart(void);
void BaseDone(void);
void SysUnitInit(void);
