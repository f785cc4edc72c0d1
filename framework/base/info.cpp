// System detection. Minimal form: the texts the log needs.
#include "framework/base/info.h"

#include "framework/base/cpu.h"
#include "framework/base/log.h"

int SYS_DetectSystem(void) {
  SYS_DbgMessage(SYS_DbgDetail(SYS_DbgSwitches.info), "[info][%s:%d:%s()] OS: %s\n", SYS_LOGPOS, SYS_GetString(1));
  return 0;
}

const char* SYS_GetString(uint32_t selector) {
  errClear();
  switch (selector) {
    case 0: return "Windows NT";
    case 1: return "Microsoft Windows 7 Service Pack 1 (build 7601)";
    case 2: return "6.1.7601";
    case 5: return reinterpret_cast<const char*>(SYS_GetCPU());
    default: errSetLastError(ERR_BADARG); return nullptr;
  }
}

int SYS_InfoDone(void) { return 0; }
