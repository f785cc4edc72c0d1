// The debug log and the last-error state.
#include "framework/base/log.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "framework/base/cfg.h"
#include "framework/base/info.h"
#include "framework/base/mem.h"
#include "framework/base/nodestroy.h"
#include "framework/base/thread.h"
#include "framework/base/time.h"
#include "platform/files.h"
#include "platform/kernel.h"

SYS_DbgSwitches_t SYS_DbgSwitches;

namespace {

constexpr size_t kLine = 4096;
const char* const kPrefix[4] = {"", "[wrn]", "", "[err]"};

int flags = 0;
char* fileName = nullptr;
char line[kLine];
SYS_Thread_Mutex_p logLock = nullptr;

// The error state lives outside the tracked allocator: it must keep working
// after the allocator has released every block.
struct ErrorState {
  std::mutex lock;
  int code = 0;
  errCallback_t callback = nullptr;
};
SYS_NoDestroy<ErrorState> err;

char* CopyName(const char* name) {
  size_t n = std::strlen(name) + 1;
  auto* copy = static_cast<char*>(SYS_MemGet(n));
  if (copy) std::memcpy(copy, name, n);
  return copy;
}

// Writes the formatted line (already in the buffer) to the console and the
// file, with the timestamp when asked for.
void Emit(bool stamp) {
  // The stamp is formatted in place: the writer allocates nothing, so the
  // allocation report of "debug-memalloc" cannot recurse through it.
  char stampText[64];
  const char* ts = nullptr;
  if (stamp && (flags & SYS_DBG_TIMESTAMP)) ts = SYS_TimeStampTo(stampText, sizeof stampText);
  if (flags & SYS_DBG_ECHO) {
    if (ts) std::printf("%s ", ts);
    std::fputs(line, stdout);
    std::fflush(stdout);
  }
  if (fileName) {
    if (FILE* f = std::fopen(plat::HostPath(fileName).c_str(), "a+")) {
      if (ts) std::fprintf(f, "%s ", ts);
      std::fputs(line, f);
      std::fflush(f);
      std::fclose(f);
    }
  }
}

void Format(size_t offset, const char* format, va_list ap) {
  std::vsnprintf(line + offset, kLine - offset, format, ap);
}

}  // namespace

void SYS_DbgMessage(int level, const char* format, ...) {
  if (!(flags & SYS_DBG_ON) || level < 0 || level > 3 || !format) return;
  if (level == SYS_DBG_ALL && !SYS_DbgSwitches.all) return;
  SYS_Thread_Mutex_p held = logLock;
  SYS_MutexLock(held);
  size_t offset = std::strlen(kPrefix[level]);
  std::memcpy(line, kPrefix[level], offset + 1);
  va_list ap;
  va_start(ap, format);
  Format(offset, format, ap);
  va_end(ap);
  Emit(true);
  SYS_MutexUnlock(held);
}

void SYS_DbgPrintf(int stamp, const char* format, ...) {
  if (!(flags & SYS_DBG_ON) || !format) return;
  // The plain writer shares the line buffer, so it takes the log lock too.
  SYS_Thread_Mutex_p held = logLock;
  SYS_MutexLock(held);
  va_list ap;
  va_start(ap, format);
  Format(0, format, ap);
  va_end(ap);
  Emit(stamp != 0);
  SYS_MutexUnlock(held);
}

void SYS_DbgLog(const char* text) { SYS_DbgPrintf(1, "%s", text ? text : ""); }

int SYS_DbgSetFlag(int newFlags) {
  errClear();
  flags = newFlags;
  return 0;
}

int SYS_DbgGetFlag(void) { return flags; }

int SYS_DbgLogFile(const char* name) {
  errClear();
  if (!name) {
    errSetLastError(ERR_BADARG);
    return -1;
  }
  SYS_MemFree(fileName);
  fileName = CopyName(name);
  return 0;
}

int SYS_DbgInit(void) {
  errClear();
  SYS_DbgSwitches.all = SYS_CfgHas("debug-all");
  SYS_DbgSwitches.file = SYS_CfgHas("debug-file");
  SYS_DbgSwitches.dl = SYS_CfgHas("debug-dl");
  SYS_DbgSwitches.z = SYS_CfgHas("debug-z");
  SYS_DbgSwitches.info = SYS_CfgHas("debug-info");
  SYS_DbgSwitches.cpu = SYS_CfgHas("debug-cpu");
  SYS_DbgSwitches.base = SYS_CfgHas("debug-base");
  SYS_DbgSwitches.xml = SYS_CfgHas("debug-xml");
  if (SYS_CfgHas("v")) flags = SYS_DBG_ON;
  if (SYS_CfgHas("c")) flags = SYS_DBG_ON | SYS_DBG_ECHO;
  if (SYS_CfgHas("debug-ts")) flags |= SYS_DBG_TIMESTAMP;
  if (!fileName) {
    const char* named = SYS_CfgText("debug-log");
    fileName = CopyName(named ? named : "debug.log");
  }
  errClear();
  if (!SYS_CfgHas("debug-append") && fileName) plat::RemoveFile(fileName);
  if (!logLock) logLock = SYS_MutexCreate();
  SYS_DbgSwitches.dlsymbols = SYS_CfgHas("debug-dlsymbols");
  SYS_DbgSwitches.dlerrors = SYS_CfgHas("debug-dlerrors");

  char* ts = SYS_TimeStamp();
  SYS_DbgPrintf(0, "\n\n");
  SYS_DbgPrintf(1, "--- Quarnel application framework 0.90\n");
  SYS_DbgPrintf(1, "--- started : %s\n", ts ? ts : "");
  SYS_DbgPrintf(1, "--- application : %s\n\n", SYS_CfgCount() > 0 && SYS_CfgArg(0) ? SYS_CfgArg(0) : "");
  SYS_MemFree(ts);
  SYS_DetectSystem();
  return 0;
}

int SYS_DbgDone(void) {
  errClear();
  SYS_DbgPrintf(1, "\n--- End of log.\n\n");
  SYS_MemFree(fileName);
  if (logLock) {
    SYS_Thread_Mutex_p lock = logLock;
    logLock = nullptr;
    SYS_MutexDestroy(lock);
  }
  return 0;
}

void errClear(void) {
  std::lock_guard<std::mutex> guard(err->lock);
  err->code = 0;
}

void errSetLastError(int code) {
  std::lock_guard<std::mutex> guard(err->lock);
  err->code = code;
}

void errSetLastErrorEx(int code, const char* text) {
  errCallback_t callback;
  {
    std::lock_guard<std::mutex> guard(err->lock);
    err->code = code;
    callback = err->callback;
  }
  // The callback may end the program; the lock is free by then.
  if (text && callback) callback(code, text);
}

int errGetLastError(void) {
  std::lock_guard<std::mutex> guard(err->lock);
  int code = err->code;
  err->code = 0;
  return code;
}

int errPeekLastError(void) {
  std::lock_guard<std::mutex> guard(err->lock);
  return err->code;
}

void errSetCallback(errCallback_t callback) {
  std::lock_guard<std::mutex> guard(err->lock);
  err->callback = callback;
}
