#include "app/appshell.h"

#include "framework/base/cfg.h"
#include "framework/base/info.h"
#include "framework/base/log.h"
#include "framework/base/numconv.h"
#include "platform/user.h"
#include "units/glunit.h"
#include "units/sysunit.h"

using namespace qgl;

int32_t AppQuit = 0;
int32_t AppLastKey = 0;
int32_t AppMouseX = 0;
int32_t AppMouseY = 0;
int32_t AppMouseButton = 0;
wm_window_t* AppWindow = nullptr;
int32_t AppMousePressed = 0;

int32_t CfgWidth = 0;
int32_t CfgHeight = 0;
int32_t CfgFullscreen = 1;
int32_t CfgVSync = 1;
int32_t CfgTextureQuality = 0;
int32_t CfgNoSound = 0;

bool ErrorHandled = false;

int32_t AppCentre(int32_t desktop, int32_t size) { return (desktop - size) / 2; }

bool AppFramelessVersion(const char* version) {
  if (!version) return false;
  // Compared as numbers: "10.0" is a later release than "6.1".
  int32_t major = SYS_ParseInt32(version);
  const char* dot = version;
  while (*dot && *dot != '.') ++dot;
  int32_t minor = *dot ? SYS_ParseInt32(dot + 1) : 0;
  return major > 6 || (major == 6 && minor >= 1);
}

int ConfigDialog(void) {
  // The dialog's defaults and the initial states of its items: windowed,
  // since a window is what every desktop (and a virtual display) can show.
  CfgWidth = 1280;
  CfgHeight = 720;
  CfgFullscreen = 0;
  CfgVSync = 1;
  CfgNoSound = 0;
  CfgTextureQuality = 0;
  Log(ShortString("[cfg] width: ") + std::to_string(CfgWidth));
  Log(ShortString("[cfg] height: ") + std::to_string(CfgHeight));
  Log(CfgFullscreen ? "[cfg] windowed: false" : "[cfg] windowed: true");
  Log(CfgVSync ? "[cfg] vsync on" : "[cfg] vsync off");
  Log(CfgNoSound ? "[cfg] nosound" : "[cfg] sound on");
  static const char* const kQuality[] = {"[cfg] texture quality high", "[cfg] texture quality medium",
                                         "[cfg] texture quality low"};
  if (CfgTextureQuality >= 0 && CfgTextureQuality <= 2) Log(kQuality[CfgTextureQuality]);
  return 0;
}

namespace {
void ClearFrames(void) {
  for (int i = 0; i < 4; ++i) {
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    wmSwapBuffers(AppWindow);
  }
}
}  // namespace

void AppCreateWindow(const char* title, int32_t& width, int32_t& height, int32_t& fullscreen) {
  Log("creatwindow");
  ConfigDialog();
  Log("creatwindow2");
  width = CfgWidth;
  height = CfgHeight;
  fullscreen = CfgFullscreen;
  int32_t x = 0, y = 0;
  if (!fullscreen) {
    x = AppCentre(static_cast<int32_t>(wmOptions(nullptr, 5, 0)), width);
    y = AppCentre(static_cast<int32_t>(wmOptions(nullptr, 6, 0)), height);
  }
  AppWindow = wmNewWindow(x, y, width, height);
  if (!AppWindow) FatalError("Unable to create window.");
  wmOptions(AppWindow, 102, reinterpret_cast<intptr_t>(title));
  wmOptions(AppWindow, 3, reinterpret_cast<intptr_t>(&AppWindowEvent));
  Log(" - set view mode.");
  if (fullscreen) {
    wmTransitionBegin(0, 0.5f);
    if (AppFramelessVersion(SYS_GetString(SYS_INFO_KERNEL))) wmOptions(AppWindow, 104, 1);
    wmSetVideoMode(width, height, 32, 0);
  }
  wmShowWindow(AppWindow);
  glInitExt();
  ClearFrames();
  if (fullscreen) {
    wmOptions(AppWindow, 104, 1);
    wmOptions(AppWindow, 101, 1);
    wmTransitionEnd();
  }
}

void AppCloseWindow(void) {
  if (CfgFullscreen) wmTransitionBegin(1, 4.0f);
  if (AppWindow) {
    wmHideWindow(AppWindow);
    wm_window_t* window = AppWindow;
    // Cleared first: the close event that destruction delivers must not
    // find a window that is half gone.
    AppWindow = nullptr;
    wmDestroyWindow(window);
  }
  if (CfgFullscreen) wmTransitionEnd();
}

int32_t AppWindowEvent(wm_event_t* event) {
  if (!event) return 0;
  switch (event->type) {
    case WM_EVENT_KEY:
      AppLastKey = event->key.code;
      break;
    case WM_EVENT_MOUSE:
      if (event->mouse.left && !AppMouseButton) AppMousePressed = 1;
      AppMouseX = event->mouse.x;
      AppMouseY = event->mouse.y;
      AppMouseButton = event->mouse.left;
      break;
    case WM_EVENT_WINDOW:
      if (event->conf.action == WM_CONF_CLOSE) {
        AppQuit = 1;
      } else if (event->conf.action == WM_CONF_SIZE) {
        wmMakeCurrent(event->window);
        if (event->conf.width == 0) event->conf.width = 1;
        if (event->conf.height == 0) event->conf.height = 1;
        if (glViewport) glViewport(0, 0, event->conf.width, event->conf.height);
      }
      break;
    default:
      break;
  }
  return 0;
}

namespace {
// The codes of a file the file layer could not find, open or read, or that
// no handler has: the user is told which file.
bool IsFileNotFound(int code) {
  return code == ERR_NOTFOUND || code == ERR_CANTOPEN || code == ERR_READ || code == ERR_UNSUPPORTED;
}
}  // namespace

ShortString AppErrorMessage(int code, const char* text) {
  ShortString message = text ? ShortString(text) : ShortString("Unknown error.");
  if (IsFileNotFound(code)) message = ShortString("File not found: ") + message + ".";
  return message;
}

int AppMessageBox(const ShortString& text) {
  // The dialog engine's box is not there yet: the system's box shows the
  // text (and always writes it to standard error).
  MessageBoxA(nullptr, PasStr(text), "Error!", MB_OK);
  return 0;
}

void AppErrorHandler(int code, const char* text) {
  if (ErrorHandled) return;
  AppCloseWindow();
  wmRestoreVideoMode();
  ShortString message = AppErrorMessage(code, text);
  Log(message);
  AppMessageBox(message);
  ErrorHandled = true;
  Shutdown(1);
}

void AppShellUnitInit(void) { errSetCallback(AppErrorHandler); }
