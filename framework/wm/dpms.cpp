// The screen saver and monitor power-off: read at start, switched off while
// the program runs, put back by dpmsDone (and by the platform at process
// end, however the process ends).
#include "framework/base/log.h"
#include "framework/wm/wm_internal.h"
#include "platform/display.h"

namespace {

struct Setting {
  BOOL readOk = FALSE;
  BOOL value = FALSE;
};
Setting screenSaver, powerOff;

void Read(Setting& s, UINT action) {
  s.value = FALSE;
  s.readOk = SystemParametersInfoA(action, 0, &s.value, 0);
}

}  // namespace

int dpmsInit(void) {
  Read(screenSaver, SPI_GETSCREENSAVEACTIVE);
  Read(powerOff, SPI_GETPOWEROFFACTIVE);
  SYS_DbgMessage(SYS_DBG_MSG, "[wm][dpms][%s:%d:%s()] ScreenSaver: %d (%d)\n", SYS_LOGPOS, screenSaver.readOk,
                 screenSaver.value);
  SYS_DbgMessage(SYS_DBG_MSG, "[wm][dpms][%s:%d:%s()] DPMS: %d (%d)\n", SYS_LOGPOS, powerOff.readOk, powerOff.value);
  return 0;
}

int dpmsEnable(int32_t on) {
  SYS_DbgMessage(SYS_DBG_MSG, "[wm][dpms][%s:%d:%s()] ScreenSaver & DPMS %s.\n", SYS_LOGPOS,
                 on ? "enabled" : "disabled");
  UINT value = on ? 1u : 0u;
  // A setting that could not be read is never written.
  if (screenSaver.readOk) SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, value, nullptr, 0);
  if (powerOff.readOk) SystemParametersInfoA(SPI_SETPOWEROFFACTIVE, value, nullptr, 0);
  return 0;
}

int dpmsDone(void) {
  if (screenSaver.readOk)
    SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, screenSaver.value ? 1u : 0u, nullptr, 0);
  if (powerOff.readOk) SystemParametersInfoA(SPI_SETPOWEROFFACTIVE, powerOff.value ? 1u : 0u, nullptr, 0);
  return 0;
}
