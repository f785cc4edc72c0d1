#include "app/appshell.h"

#include "framework/base/cfg.h"
#include "framework/base/info.h"
#include "framework/base/log.h"
#include "framework/base/numconv.h"
#include "platform/user.h"
#include "units/glunit.h"
#include "units/sysunit.h"

using namespace qgl;

AppShellState Shell;

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
  Shell.CfgWidth = 1280;
  Shell.CfgHeight = 720;
  Shell.CfgFullscreen = 0;
  Shell.CfgVSync = 1;
  Shell.CfgNoSound = 0;
  Shell.CfgTextureQuality = 0;
  Log(ShortString("[cfg] width: ") + std::to_string(Shell.CfgWidth));
  Log(ShortString("[cfg] height: ") + std::to_string(Shell.CfgHeight));
  Log(Shell.CfgFullscreen ? "[cfg] windowed: false" : "[cfg] windowed: true");
  Log(Shell.CfgVSync ? "[cfg] vsync on" : "[cfg] vsync off");
  Log(Shell.CfgNoSound ? "[cfg] nosound" : "[cfg] sound on");
  static const char* const kQuality[] = {"[cfg] texture quality high", "[cfg] texture quality medium",
                                         "[cfg] texture quality low"};
  if (Shell.CfgTextureQuality >= 0 && Shell.CfgTextureQuality <= 2) Log(kQuality[Shell.CfgTextureQuality]);
  return 0;
}

namespace {
void ClearFrames(void) {
  for (int i = 0; i < 4; ++i) {
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    wmSwapBuffers(Shell.AppWindow);
  }
}

// The program cannot run without its window: the user is told why, and
// which display could not be opened.
ShortString NoWindowText(void) {
  if (plat::DisplayAvailable()) return "Unable to create window.";
  const char* display = plat::DisplayName();
  if (!display) return "Cannot open display: DISPLAY is not set.";
  return ShortString("Cannot open display \"") + display + "\".";
}
}  // namespace

void AppCreateWindow(const char* title, int32_t& width, int32_t& height, int32_t& fullscreen) {
  Log("creatwindow");
  ConfigDialog();
  Log("creatwindow2");
  width = Shell.CfgWidth;
  height = Shell.CfgHeight;
  fullscreen = Shell.CfgFullscreen;
  int32_t x = 0, y = 0;
  if (!fullscreen) {
    x = AppCentre(static_cast<int32_t>(wmOptions(nullptr, WM_OPT_DESKTOP_WIDTH, 0)), width);
    y = AppCentre(static_cast<int32_t>(wmOptions(nullptr, WM_OPT_DESKTOP_HEIGHT, 0)), height);
  }
  Shell.AppWindow = wmNewWindow(x, y, width, height);
  if (!Shell.AppWindow) FatalError("Unable to create window.");
  wmOptions(Shell.AppWindow, WM_OPT_TITLE, reinterpret_cast<intptr_t>(title));
  wmOptions(Shell.AppWindow, WM_OPT_CALLBACK, reinterpret_cast<intptr_t>(&AppWindowEvent));
  Log(" - set view mode.");
  if (fullscreen) {
    wmTransitionBegin(0, 0.5f);
    if (AppFramelessVersion(SYS_GetString(SYS_INFO_KERNEL))) wmOptions(Shell.AppWindow, WM_OPT_FRAMELESS, 1);
    wmSetVideoMode(width, height, 32, 0);
  }
  if (wmShowWindow(Shell.AppWindow) != 0) FatalError(NoWindowText());
  glInitExt();
  ClearFrames();
  if (fullscreen) {
    wmOptions(Shell.AppWindow, WM_OPT_FRAMELESS, 1);
    wmOptions(Shell.AppWindow, WM_OPT_FULLSCREEN, 1);
    wmTransitionEnd();
  }
}

void AppCloseWindow(void) {
  if (Shell.CfgFullscreen) wmTransitionBegin(1, 4.0f);
  if (Shell.AppWindow) {
    wmHideWindow(Shell.AppWindow);
    wm_window_t* window = Shell.AppWindow;
    // Cleared first: the close event that destruction delivers must not
    // find a window that is half gone.
    Shell.AppWindow = nullptr;
    wmDestroyWindow(window);
  }
  if (Shell.CfgFullscreen) wmTransitionEnd();
}

int32_t AppWindowEvent(wm_event_t* event) {
  if (!event) return 0;
  switch (event->type) {
    case WM_EVENT_KEY:
      Shell.AppLastKey = event->key.code;
      break;
    case WM_EVENT_MOUSE:
      if (event->mouse.left && !Shell.AppMouseButton) Shell.AppMousePressed = 1;
      Shell.AppMouseX = event->mouse.x;
      Shell.AppMouseY = event->mouse.y;
      Shell.AppMouseButton = event->mouse.left;
      break;
    case WM_EVENT_WINDOW:
      if (event->conf.action == WM_CONF_CLOSE) {
        Shell.AppQuit = 1;
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
  if (Shell.ErrorHandled) return;
  AppCloseWindow();
  wmRestoreVideoMode();
  ShortString message = AppErrorMessage(code, text);
  Log(message);
  AppMessageBox(message);
  Shell.ErrorHandled = true;
  Shutdown(1);
}

void AppShellUnitInit(void) { errSetCallback(AppErrorHandler); }
