// Display modes: the desktop mode, the list of modes and the switch.
#include <cstring>

#include "framework/base/log.h"
#include "framework/base/mem.h"
#include "framework/wm/wm_internal.h"
#include "platform/display.h"

#define WM_DM_LOG(level, ...) SYS_LOG_TAGGED(level, "[wm][dm]", __VA_ARGS__)

namespace {

void ClearDevMode(DEVMODEA& dm) {
  std::memset(&dm, 0, sizeof dm);
  dm.dmSize = sizeof(DEVMODEA);
}

void FreeModes(SYS_List_p list) {
  for (SYS_List_p node = list; node; node = node->next) SYS_MemFree(node->data);
  if (list) SYS_ListRemove(list);
}

}  // namespace

int dmInit(void) {
  HDC screen = GetDC(nullptr);
  wmState.desktopWidth = GetDeviceCaps(screen, HORZRES);
  wmState.desktopHeight = GetDeviceCaps(screen, VERTRES);
  wmState.desktopBits = GetDeviceCaps(screen, BITSPIXEL);
  wmState.desktopFrequency = GetDeviceCaps(screen, VREFRESH);
  ReleaseDC(nullptr, screen);
  WM_DM_LOG(SYS_DBG_MSG, " Screen size: %dx%d %.2fHz %dbits\n", wmState.desktopWidth, wmState.desktopHeight,
            static_cast<double>(wmState.desktopFrequency), wmState.desktopBits);
  return 0;
}

int dmDone(void) {
  if (wmState.modeSwitched) ChangeDisplaySettingsA(nullptr, 0);
  return 0;
}

int wmRestoreVideoMode(void) {
  if (!wmState.modeSwitched) return 0;
  return ChangeDisplaySettingsA(nullptr, 0);
}

SYS_List_p wmGetVideoModes(void) {
  errClear();
  SYS_List_p list = nullptr;
  DEVMODEA dm;
  for (DWORD i = 0;; ++i) {
    ClearDevMode(dm);
    if (!EnumDisplaySettingsA(nullptr, i, &dm)) break;
    auto* mode = static_cast<wm_videomode_t*>(SYS_MemGet(sizeof(wm_videomode_t)));
    SYS_List_p head = mode ? SYS_ListAddLast(list, mode) : nullptr;
    if (!head) {
      // A list missing modes would look complete: give none instead.
      SYS_MemFree(mode);
      FreeModes(list);
      errSetLastError(ERR_NOMEM);
      return nullptr;
    }
    mode->width = static_cast<int32_t>(dm.dmPelsWidth);
    mode->height = static_cast<int32_t>(dm.dmPelsHeight);
    mode->bits = static_cast<int32_t>(dm.dmBitsPerPel);
    mode->frequency = static_cast<float>(dm.dmDisplayFrequency);
    list = head;
  }
  return list;
}

int wmSetVideoMode(int32_t width, int32_t height, int32_t bits, float frequency) {
  errClear();
  if (width == wmState.desktopWidth && height == wmState.desktopHeight && bits == wmState.desktopBits &&
      frequency == static_cast<float>(wmState.desktopFrequency))
    return 0;
  WM_DM_LOG(SYS_DBG_MSG, " switch to %dx%d (%.2fHz) %d bits\n", width, height, static_cast<double>(frequency), bits);
  DEVMODEA dm;
  ClearDevMode(dm);
  dm.dmPelsWidth = static_cast<DWORD>(width);
  dm.dmPelsHeight = static_cast<DWORD>(height);
  dm.dmBitsPerPel = static_cast<DWORD>(bits);
  dm.dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT;
  if (frequency != 0.0f) {
    dm.dmFields |= DM_DISPLAYFREQUENCY;
    dm.dmDisplayFrequency = static_cast<DWORD>(frequency);
  }
  // Only a switch that happened is a success; "not updated", bad flags and
  // codes we do not know are not.
  if (ChangeDisplaySettingsA(&dm, CDS_FULLSCREEN) != DISP_CHANGE_SUCCESSFUL) {
    WM_DM_LOG(SYS_DBG_MSG, "  ! unable to switch to requested mode.\n");
    errSetLastError(WM_ERR_VIDEOMODE);
    return -1;
  }
  wmState.modeSwitched = 1;
  return 0;
}
