// Start and release of the base library, in their fixed orders.
#include "framework/base/main.h"

#include "framework/base/cfg.h"
#include "framework/base/cpu.h"
#include "framework/base/dl.h"
#include "framework/base/file.h"
#include "framework/base/info.h"
#include "framework/base/log.h"
#include "framework/base/mem.h"
#include "framework/base/netzwerk.h"
#include "framework/base/thread.h"
#include "framework/base/time.h"

namespace {
// Logs a standard path for fn, the start-up function whose line it is.
void LogPath(int type, const char* format, const char* fn) {
  char* path = SYS_PathGet(type, "");
  SYS_DbgMessage(SYS_DbgDetail(SYS_DbgSwitches.base), format, SYS_LOGPOS_AS(fn), path ? path : "");
  SYS_MemFree(path);
}
}  // namespace

int SYS_BaseInit(void* handle, int argc, char** argv, SYS_PPCPU_t cpu) {
  SYS_ThreadInit();
  if (argc != 0) SYS_CfgInit(argc, argv);
  SYS_DbgInit();
  SYS_MemInit();
  errClear();
  SYS_SocketInit();
  if (cpu) *cpu = SYS_GetCPU();
  SYS_TimerReset();
  if (handle) SYS_DlAddModule(handle, "Base");
  LogPath(SYS_PATH_HOME, "[base][%s:%d:%s()] HOME: '%s'\n", __func__);
  LogPath(SYS_PATH_PROGRAM, "[base][%s:%d:%s()] SYSTEM DIR: '%s'\n", __func__);
  return 0;
}

int SYS_BaseDone(void) {
  errClear();
  SYS_ThreadDone();
  SYS_InfoDone();
  SYS_SocketDone();
  SYS_CfgDone();
  SYS_FileDone();
  SYS_DbgDone();
  SYS_MemDone();
  return 0;
}
