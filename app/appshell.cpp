#include "app/appshell.h"

#include <cstdio>
#include <cstdlib>

#include "app/spare.h"
#include "framework/base/cfg.h"
#include "framework/base/info.h"
#include "framework/base/log.h"
#include "framework/base/mem.h"
#include "framework/base/numconv.h"
#include "framework/base/time.h"
#include "framework/fr/FR.h"
#include "framework/tl/TM.h"
#include "framework/wm/gl.h"
#include "platform/kernel.h"
#include "platform/user.h"
#include "units/glunit.h"
#include "units/gluunit.h"
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

// --- the dialog engine ------------------------------------------------------------------

namespace {

constexpr int32_t kKeyEscape = 1;
constexpr int32_t kKeyEnter = 51;

// The file names of the dialogs' descriptions in the archive.
constexpr const char* kMessageBoxFile = "msgbox.xml";
constexpr const char* kConfigDialogFile = "cfg.xml";

// Text colours of the size items, offered or not.
constexpr int32_t kGreyOffered = 228;
constexpr int32_t kGreyMissing = 100;

struct SizeItem {
  int32_t id;
  int32_t width, height;
};
constexpr SizeItem kSizeItems[] = {
    {kItemSize720, 1280, 720}, {kItemSize800, 1280, 800}, {kItemSize1024, 1280, 1024}};

// The size every dialog choice and the windowed mode come down to.
constexpr int32_t kDefaultWidth = 1280;
constexpr int32_t kDefaultHeight = 720;

void SetSizeItem(widget_t* item, bool offered) {
  const int32_t grey = offered ? kGreyOffered : kGreyMissing;
  if (offered)
    wdgEnable(item);
  else
    wdgDisable(item);
  wdgSetTCi(item, grey, grey, grey, 255);
}

// Enables the size items the display offers as 32-bit modes, logging each
// such mode (a size offered at several rates is logged once per rate).
void OfferDisplaySizes(SYS_List_p set) {
  for (const SizeItem& s : kSizeItems) SetSizeItem(wdgFind(set, s.id), false);
  SYS_List_p modes = wmGetVideoModes();
  if (!modes) {
    Log("[cfg] ! no available video modes?");
    return;
  }
  Log("[cfg] yep.");
  for (SYS_List_p node = modes; node; node = node->next) {
    const auto* mode = static_cast<const wm_videomode_t*>(node->data);
    if (!mode || mode->bits != 32) continue;
    Log(ShortString("[cfg] - ") + IntStr(mode->width) + "x" + IntStr(mode->height) + " " + IntStr(mode->bits) +
        "bits");
    for (const SizeItem& s : kSizeItems)
      if (mode->width == s.width && mode->height == s.height) SetSizeItem(wdgFind(set, s.id), true);
  }
  for (SYS_List_p node = modes; node; node = node->next) SYS_MemFree(node->data);
  SYS_ListRemove(modes);
}

// A check box's state; an item the description lacks counts as unchecked
// (its lookup's -1 is no check state).
int32_t Checked(widget_t* item) { return item && wdgGetValue(item) != 0 ? 1 : 0; }

// The settings as the description's items start them.
void ReadInitialStates(SYS_List_p set) {
  Shell.CfgNoSound = Checked(wdgFind(set, kItemNoSound));
  Shell.CfgVSync = Checked(wdgFind(set, kItemVSync));
  Shell.CfgFullscreen = Checked(wdgFind(set, kItemWindowed)) ? 0 : 1;
  const int32_t quality[] = {kItemQualityHigh, kItemQualityMedium, kItemQualityLow};
  for (int32_t level = 0; level < 3; ++level)
    if (wdgGetValue(wdgFind(set, quality[level])) == 1) Shell.CfgTextureQuality = level;
}

void LogSettings(void) {
  Log(ShortString("[cfg] width: ") + IntStr(Shell.CfgWidth));
  Log(ShortString("[cfg] height: ") + IntStr(Shell.CfgHeight));
  Log(Shell.CfgFullscreen ? "[cfg] windowed: false" : "[cfg] windowed: true");
  Log(Shell.CfgVSync ? "[cfg] vsync on" : "[cfg] vsync off");
  Log(Shell.CfgNoSound ? "[cfg] nosound" : "[cfg] sound on");
  static const char* const kQuality[] = {"[cfg] texture quality high", "[cfg] texture quality medium",
                                         "[cfg] texture quality low"};
  if (Shell.CfgTextureQuality >= 0 && Shell.CfgTextureQuality <= 2) Log(kQuality[Shell.CfgTextureQuality]);
}

void LogGLErrors(void) {
  if (!glGetError) return;
  for (GLenum error = glGetError(); error != 0; error = glGetError()) {
    const GLubyte* text = gluErrorString ? gluErrorString(error) : nullptr;
    Log(text ? reinterpret_cast<const char*>(text) : "");
  }
}

// A set that can be shown: it has a window, and a display is there to show
// it on. Without either no event could ever end its loop.
bool CanShow(SYS_List_p set) {
  widget_t* window = set ? wdgFindKind(set, WDG_KIND_WINDOW) : nullptr;
  return window && window->window && plat::DisplayAvailable();
}

// Runs dialog frames until the callbacks end the dialog; quitting ends the
// program here.
void RunDialog(SYS_List_p set) {
  wdgShowAll(set);
  Shell.DialogResult = kDialogRunning;
  for (;;) {
    wdgProcess(set);
    // At once: no exit entry and no framework release run (a switched
    // display mode is put back by the platform however the process ends).
    if (Shell.DialogResult == kDialogQuit) plat::Exit(0);
    if (Shell.DialogResult == kDialogStart) break;
    SYS_Sleep(0);
    LogGLErrors();
  }
  wdgHideAll(set);
}

// The program cannot run without its window: the user is told why, and
// which display could not be opened.
ShortString NoWindowText(void) {
  if (plat::DisplayAvailable()) return "Unable to create window.";
  const char* display = plat::DisplayName();
  if (!display) return "Cannot open display: DISPLAY is not set.";
  return ShortString("Cannot open display \"") + display + "\".";
}

SYS_List_p LoadDialog(const char* file, widget_callback_t callback) {
  SYS_List_p set = wdgLoad(WDG_SOURCE_FILE, file);
  if (set) wdgSetCallbackAll(set, callback);
  return set;
}

}  // namespace

int DialogEngineStart(void) {
  if (Shell.DialogEngineStarted) return 0;
  const bool gl = gl_stub() == 0 && glu_stub() == 0;
  ftInit();
  tmInit();
  txOptions(TX_OPT_ORDER, 1);
  // Without the GL tables the toolkit could not draw a single frame.
  if (!gl || wdgInit() != 0) FatalError("Unable to initialize dialog engine.");
  if (!Shell.MsgBoxSet) Shell.MsgBoxSet = LoadDialog(kMessageBoxFile, MessageBoxEvent);
  Shell.DialogEngineStarted = true;
  return 0;
}

int ConfigDialog(void) {
  DialogEngineStart();
  if (!Shell.CfgDialogSet) Shell.CfgDialogSet = LoadDialog(kConfigDialogFile, ConfigDialogEvent);
  SYS_List_p set = Shell.CfgDialogSet;
  OfferDisplaySizes(set);
  Shell.CfgWidth = kDefaultWidth;
  Shell.CfgHeight = kDefaultHeight;
  Shell.CfgFullscreen = 1;
  ReadInitialStates(set);
  if (!SYS_CfgGet("default", SYS_CFG_PRESENT)) {
    if (!plat::DisplayAvailable()) FatalError(NoWindowText());
    // A description without a window (or none at all) has nothing to show:
    // the settings stay as it starts them.
    if (CanShow(set))
      RunDialog(set);
    else
      Log("[cfg] ! the dialog has no window.");
  }
  if (!Shell.CfgFullscreen) {
    Shell.CfgWidth = kDefaultWidth;
    Shell.CfgHeight = kDefaultHeight;
  }
  LogSettings();
  return 0;
}

int32_t ConfigDialogEvent(widget_t* widget, wm_event_t* event) {
  if (!widget || !event) return 0;
  if (event->type == WM_EVENT_WINDOW && event->conf.action == WM_CONF_CLOSE) Shell.DialogResult = kDialogQuit;
  if (event->type == WM_EVENT_KEY) {
    if (event->key.action == WM_KEY_UP) {
      if (event->key.code == kKeyEscape) Shell.DialogResult = kDialogQuit;
      if (event->key.code == kKeyEnter) Shell.DialogResult = kDialogStart;
    }
    return 0;
  }
  if (event->mouse.left != 1) return 0;
  switch (widget->id) {
    case kItemQuit: Shell.DialogResult = kDialogQuit; break;
    case kItemStart: Shell.DialogResult = kDialogStart; break;
    case kItemNoSound: Shell.CfgNoSound = Checked(widget); break;
    case kItemVSync: Shell.CfgVSync = Checked(widget); break;
    case kItemWindowed: Shell.CfgFullscreen = Checked(widget) ? 0 : 1; break;
    default:
      for (const SizeItem& s : kSizeItems)
        if (widget->id == s.id) {
          Shell.CfgWidth = s.width;
          Shell.CfgHeight = s.height;
        }
      break;
  }
  return 0;
}

int32_t MessageBoxEvent(widget_t* widget, wm_event_t* event) {
  if (!widget || !event) return 0;
  if (event->type == WM_EVENT_WINDOW && event->conf.action == WM_CONF_CLOSE) Shell.DialogResult = kDialogStart;
  if (event->type == WM_EVENT_KEY) {
    if (event->key.action == WM_KEY_UP && (event->key.code == kKeyEscape || event->key.code == kKeyEnter))
      Shell.DialogResult = kDialogStart;
    return 0;
  }
  if (event->mouse.left == 1 && widget->id == kItemDismiss) Shell.DialogResult = kDialogStart;
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

namespace {

// Tests answer boxes at once, as they do the platform's: the box is drawn
// once, its text noted in the box log, and it counts as dismissed.
bool AnsweredByTest(SYS_List_p set, const ShortString& text) {
  if (!std::getenv("QUARN_MSGBOX_TEST")) return false;
  wdgProcess(set);
  if (const char* log = std::getenv("QUARN_MSGBOX_LOG")) {
    if (FILE* f = std::fopen(log, "a")) {
      widget_t* window = wdgFindKind(set, WDG_KIND_WINDOW);
      std::fprintf(f, "%s|%s\n", window && window->title ? window->title : "", PasStr(text));
      std::fclose(f);
    }
  }
  return true;
}

}  // namespace

int AppMessageBox(const ShortString& text) {
  DialogEngineStart();
  SYS_List_p set = Shell.MsgBoxSet;
  // Like the platform's box, the text also goes to standard error, for
  // whoever started the program from a terminal.
  std::fprintf(stderr, "%s\n", PasStr(text));
  std::fflush(stderr);
  if (!CanShow(set)) {
    MessageBoxA(nullptr, PasStr(text), "Error!", MB_OK);
    return 0;
  }
  wdgSetTitle(wdgFind(set, kItemMessage), PasStr(text));
  wdgShowAll(set);
  Shell.DialogResult = kDialogRunning;
  if (AnsweredByTest(set, text)) Shell.DialogResult = kDialogStart;
  while (Shell.DialogResult != kDialogStart) {
    wdgProcess(set);
    SYS_Sleep(0);
  }
  wdgHideAll(set);
  return 0;
}

namespace {

// An error raised while the handler shows its box: the box cannot be made
// (its description, its font or an image is missing), and starting it again
// would raise the same error without end. Where the text goes then: the
// platform's own box shows the message the handler was showing (and
// standard error and the log have it), once; the program ends with 1
// without going back into the file layer.
[[noreturn]] void LastResortBox(int code, const char* text) {
  ShortString why = ShortString("The message box cannot be shown: ") + AppErrorMessage(code, text);
  Log(why);
  std::fprintf(stderr, "%s\n", PasStr(why));
  std::fflush(stderr);
  Shell.ErrorHandled = true;
  MessageBoxA(nullptr, PasStr(Shell.ErrorMessage), "Error!", MB_OK);
  Shutdown(1);
}

}  // namespace

void AppErrorHandler(int code, const char* text) {
  if (Shell.ErrorHandled) return;
  if (Shell.ErrorHandlerRunning) LastResortBox(code, text);
  Shell.ErrorHandlerRunning = true;
  AppCloseWindow();
  wmRestoreVideoMode();
  Shell.ErrorMessage = AppErrorMessage(code, text);
  Log(Shell.ErrorMessage);
  AppMessageBox(Shell.ErrorMessage);
  Shell.ErrorHandled = true;
  Shutdown(1);
}

void AppShellUnitInit(void) { errSetCallback(AppErrorHandler); }

void StartMusic(const char* name) {
  if (FSS_Init(FSS_RATE_44100 | FSS_STEREO_SOURCE) != 0) FatalError("Unable to initialise sound system.");
  Shell.AppMusic = FSS_NewMusic(FSS_MUSIC_VORBIS, name, 0);
  if (!Shell.AppMusic) FatalError("Unable to load music.");
  FSS_PlayMusic(Shell.AppMusic);
}

void StopMusic(void) {
  FSS_StopMusic(Shell.AppMusic);
  FSS_FreeMusic(Shell.AppMusic);
  Shell.AppMusic = nullptr;
  FSS_Shutdown();
}
