// The application shell: the one application window, what its events say
// (read by the main loop every frame), the start-up settings, and the
// framework error callback that ends the program on a file it cannot open.
#pragma once
#include <cstdint>

#include "units/wmunit.h"

// The unit's state: what the window's events say, read by the main loop
// every frame, the start-up settings, and the error handler's guard.
struct AppShellState {
  int32_t AppQuit = 0;
  int32_t AppLastKey = 0;
  int32_t AppMouseX = 0;
  int32_t AppMouseY = 0;
  int32_t AppMouseButton = 0;
  wm_window_t* AppWindow = nullptr;
  // 1 once the left button has gone down since the frame loop last read
  // the mouse: a press and its release can both arrive in one pump, and
  // the frame must still see the click.
  int32_t AppMousePressed = 0;

  // Start-up settings, as the configuration dialog leaves them.
  int32_t CfgWidth = 0;
  int32_t CfgHeight = 0;
  int32_t CfgFullscreen = 1;
  int32_t CfgVSync = 1;
  int32_t CfgTextureQuality = 0;
  int32_t CfgNoSound = 0;

  // Set once the error handler has run: a second error on its way out is
  // not shown again.
  bool ErrorHandled = false;
};
extern AppShellState Shell;

// Settles the settings, then creates, places and shows the window with its
// GL context; width, height and fullscreen come back as the settings chose.
void AppCreateWindow(const char* title, int32_t& width, int32_t& height, int32_t& fullscreen);
// Hides and destroys the window; AppWindow is null afterwards.
void AppCloseWindow(void);
int32_t AppWindowEvent(wm_event_t* event);
void AppErrorHandler(int code, const char* text);
// Shows the text to the user and waits until it is dismissed.
int AppMessageBox(const ShortString& text);
// The settings with the switch "default": the defaults and the initial
// states of the configuration dialog, without showing it. Logs the result.
int ConfigDialog(void);
// The unit initialisation: installs the error callback.
void AppShellUnitInit(void);

// The message of the error handler for a code and text.
ShortString AppErrorMessage(int code, const char* text);
// The position of a centred window: half the difference, cut toward zero.
int32_t AppCentre(int32_t desktop, int32_t size);
// Whether a system version text ("major.minor") is 6.1 or later, the
// releases on which a full-screen window is made frameless.
bool AppFramelessVersion(const char* version);
