// The screen saver and monitor power-off: read at start, switched off while
// the program runs, put back by dpmsDone (and by the platform at process
// end, however the process ends).
#include "framework/base/log.h"
#include "framework/wm/wm_internal.h"
#include "platform/display.h"

#define WM_DPMS_LOG(level, ...) SYS_LOG_TAGGED(level, "[wm][dpms]", __VA_ARGS__)

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
  WM_DPMS_LOG(SYS_DBG_MSG, " ScreenSaver: %d (%d)\n", screenSaver.readOk, screenSaver.value);
  WM_DPMS_LOG(SYS_DBG_MSG, " DPMS: %d (%d)\n", powerOff.readOk, powerOff.value);
  return 0;
}

int dpmsEnable(int32_t on) {
  WM_DPMS_LOG(SYS_DBG_MSG, " ScreenSaver & DPMS %s.\n", on ? "enabled" : "disabled");
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
