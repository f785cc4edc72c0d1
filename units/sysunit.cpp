#include "units/sysunit.h"

#include <cerrno>
#include <cstring>

#include "platform/files.h"
#include "platform/kernel.h"
#include "platform/rtl.h"

SYS_TExitEntry SYS_InitTable[SYS_RegistrySize];
SYS_TExitEntry SYS_ExitTable[SYS_RegistrySize];
ShortString HomeDir("/tmp");
ShortString ProgramDir("./");
SYS_PCPU_t BaseCPU = nullptr;

namespace {

bool initCleared = false;
bool exitCleared = false;
bool shuttingDown = false;

char* pasBuffer = nullptr;
unsigned pasCapacity = 0;

int Register(SYS_TExitEntry (&table)[SYS_RegistrySize], bool& cleared, const ShortString& name, int index,
             SYS_TExitProc proc) {
  if (index < 0 || index >= SYS_RegistrySize) return -1;
  SYS_TExitProcName stored(name);
  if (!cleared) {
    for (auto& e : table) e = SYS_TExitEntry{};
    cleared = true;
  }
  table[index].name = stored;
  table[index].proc = proc;
  table[index].active = 1;
  return 0;
}

void Unregister(SYS_TExitEntry (&table)[SYS_RegistrySize], const ShortString& name) {
  SYS_TExitProcName wanted(name);
  for (auto& e : table) {
    if (e.name == wanted) {
      e.active = 0;
      return;
    }
  }
}

// Copies a framework text into a short string and releases it.
ShortString TakePath(char* path) {
  ShortString s(path ? path : "");
  SYS_MemFree(path);
  return s;
}

}  // namespace

int RegisterInit(const ShortString& name, int index, SYS_TExitProc proc) {
  return Register(SYS_InitTable, initCleared, name, index, proc);
}
int RegisterExit(const ShortString& name, int index, SYS_TExitProc proc) {
  return Register(SYS_ExitTable, exitCleared, name, index, proc);
}
void UnregisterInit(const ShortString& name) { Unregister(SYS_InitTable, name); }
void UnregisterExit(const ShortString& name) { Unregister(SYS_ExitTable, name); }

void RunInits(void) {
  Log("[init] --- subsystems");
  for (auto& e : SYS_InitTable) {
    if (!e.active) continue;
    Log("[init] -------------------------");
    Log(ShortString("[init] call : ") + e.name);
    if (e.proc) e.proc();
  }
  Log("[init] --- end");
}

void Shutdown(int code) {
  // A fatal error raised by an exit procedure lands here again: the exit
  // entries must not run twice, so the nested call just ends the process.
  if (shuttingDown) plat::Exit(code);
  shuttingDown = true;
  Log("[exit] --- subsystems");
  for (int i = SYS_RegistrySize - 1; i >= 0; --i) {
    SYS_TExitEntry& e = SYS_ExitTable[i];
    if (!e.active) continue;
    Log(ShortString("[exit] call : ") + e.name);
    if (e.proc) e.proc();
  }
  Log("[exit]");
  SYS_BaseDone();
  plat::Exit(code);
}

void Log(const ShortString& text) {
  ShortString line = text;
  line += '\n';
  SYS_DbgLog(PasStr(line));
}

void LogRaw(const ShortString& text) { SYS_DbgLog(PasStr(text)); }

void* MemGet(size_t size, const ShortString&) { return _SYS_MemGet(size, "[pas]", 0); }

void* MemRealloc(void*& p, size_t size, const ShortString&) { return _SYS_MemRealloc(&p, size, "[pas]", 0); }

void MemFree(void*& p) { _SYS_MemFree(&p, "[pas]", 0); }

const char* PasStr(const ShortString& text) {
  ShortString copy = text;
  // Also on the first call, even for an empty text: there is no buffer yet.
  if (!pasBuffer || copy.size() > pasCapacity) {
    void* old = pasBuffer;
    MemFree(old);
    pasBuffer = static_cast<char*>(MemGet(copy.size() + 5, "PasStr"));
    pasCapacity = pasBuffer ? copy.size() : 0;
    if (!pasBuffer) return "";
  }
  std::memcpy(pasBuffer, copy.data(), copy.size());
  pasBuffer[copy.size()] = 0;
  return pasBuffer;
}

void BaseStart(void) {
  SYS_BaseInit(nullptr, RtlArgc(), RtlArgv(), &BaseCPU);
  RegisterExit("Release base lib ...", 0, BaseDone);
}

void BaseDone(void) {}

void SysUnitInit(void) {
  BaseStart();
  HomeDir = TakePath(SYS_PathGet(SYS_PATH_HOME, ""));
  ProgramDir = TakePath(SYS_PathGet(SYS_PATH_PROGRAM, ""));
  if (!plat::ChangeFolder(ProgramDir.view())) RtlIOError("chdir", errno);
}
