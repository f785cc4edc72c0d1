// The debug log and the process-wide last-error state.
#pragma once
#include <cstdint>

#include "framework/base/srcname.h"

// Log flags.
#define SYS_DBG_ON 1
#define SYS_DBG_ECHO 2
#define SYS_DBG_TIMESTAMP 4

// Levels of SYS_DbgMessage.
#define SYS_DBG_ALL 0  // written only with "debug-all"
#define SYS_DBG_WRN 1  // "[wrn]"
#define SYS_DBG_MSG 2  // always (when logging is on)
#define SYS_DBG_ERR 3  // "[err]"

// The module switches, read once when the log starts.
struct SYS_DbgSwitches_t {
  int all, file, dl, z, info, cpu, base, xml, dlsymbols, dlerrors;
};
extern SYS_DbgSwitches_t SYS_DbgSwitches;

// Level of a module's detail line: 2 with its switch, 0 (debug-all) without.
inline int SYS_DbgDetail(int moduleSwitch) { return moduleSwitch ? SYS_DBG_MSG : SYS_DBG_ALL; }

void SYS_DbgMessage(int level, const char* format, ...) __attribute__((format(printf, 2, 3)));

// A module's log line: its tag ("[fss]", "[TL][bmp]"), the place of the call
// as "[file:line:function()]", then the text. Each module wraps these in a
// macro of its own that names its tag once (FSS_LOG, TL_BMP_LOG, ...); the
// _AS form names the framework function a helper logs for.
#define SYS_LOG_TAGGED(level, tag, format, ...) \
  SYS_DbgMessage((level), tag "[%s:%d:%s()]" format, SYS_LOGPOS __VA_OPT__(, ) __VA_ARGS__)
#define SYS_LOG_TAGGED_AS(level, tag, fn, format, ...) \
  SYS_DbgMessage((level), tag "[%s:%d:%s()]" format, SYS_LOGPOS_AS(fn) __VA_OPT__(, ) __VA_ARGS__)
void SYS_DbgPrintf(int stamp, const char* format, ...) __attribute__((format(printf, 2, 3)));
void SYS_DbgLog(const char* text);
int SYS_DbgSetFlag(int flags);
int SYS_DbgGetFlag(void);
int SYS_DbgLogFile(const char* name);
int SYS_DbgInit(void);
int SYS_DbgDone(void);

// Last-error codes shared across the system.
#define ERR_NONE 0
#define ERR_NOTFOUND 1
#define ERR_CANTOPEN 2
#define ERR_READ 3
#define ERR_NOMEM 5
#define ERR_ZLEVEL 6
#define ERR_ZLIB 8
#define ERR_CANTCREATE 9
#define ERR_BADARG 10
#define ERR_UNSUPPORTED 11
#define ERR_NOTARCHIVE 12
#define ERR_FONTENGINE 13
#define ERR_NOTLISTED 14
#define ERR_NOTIMPL 16
#define ERR_NOCPUID 100

typedef void (*errCallback_t)(int code, const char* text);

void errClear(void);
void errSetLastError(int code);
void errSetLastErrorEx(int code, const char* text);
int errGetLastError(void);
void errSetCallback(errCallback_t callback);

// Inside the framework: the code without clearing it (errGetLastError is
// the public read, and it clears).
int errPeekLastError(void);

// Keeps the last-error code across a cleanup: what the cleanup's calls do to
// the code is undone when the keeper goes out of scope.
//   SYS_ErrKeeper keep;   // the failure's code
//   SYS_MemFree(part);    // may clear it
//                         // restored here
class SYS_ErrKeeper {
 public:
  SYS_ErrKeeper() : code_(errPeekLastError()) {}
  ~SYS_ErrKeeper() { errSetLastError(code_); }
  SYS_ErrKeeper(const SYS_ErrKeeper&) = delete;
  SYS_ErrKeeper& operator=(const SYS_ErrKeeper&) = delete;
  int code() const { return code_; }

 private:
  int code_;
};
