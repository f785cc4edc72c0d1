// The application shell: the one application window, what its events say
// (read by the main loop every frame), the start-up settings with the
// configuration dialog that sets them, the message box, and the framework
// error callback that ends the program on a file it cannot open.
// Kept differences:
// - an item that "cfg.xml" lacks counts as unchecked, not as the -1 its
//   lookup gives (else a missing no-sound item reads as "nosound": a plainly
//   wrong result).
// - AppCloseWindow leaves AppWindow null, not pointing at the destroyed
//   window (a second close, from the error handler, would use it: a crash).
#pragma once
#include <cstdint>

#include "framework/fss/FSS.h"
#include "framework/widget/widget.h"
#include "units/wmunit.h"

// Item IDs of the dialogs' descriptions.
enum : int32_t {
  kItemQuit = 23,  // cfg.xml
  kItemSize720 = 101,
  kItemSize800 = 102,
  kItemSize1024 = 103,
  kItemQualityHigh = 115,
  kItemQualityMedium = 116,
  kItemQualityLow = 117,
  kItemNoSound = 120,
  kItemVSync = 121,
  kItemWindowed = 122,
  kItemStart = 1000,
  kItemMessage = 100,  // msgbox.xml
  kItemDismiss = 23,
};

// DialogResult: what ended the running dialog.
enum : int32_t { kDialogRunning = 0, kDialogStart = 1, kDialogQuit = 2 };

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

  // The dialogs: both sets are loaded once and kept for the run.
  int32_t DialogResult = kDialogRunning;
  SYS_List_p MsgBoxSet = nullptr;
  SYS_List_p CfgDialogSet = nullptr;
  bool DialogEngineStarted = false;

  // Set once the error handler has run: a second error on its way out is
  // not shown again.
  bool ErrorHandled = false;
  // Set while the handler runs: an error raised by the message box itself
  // (its description, font or images missing) must not start the box again.
  bool ErrorHandlerRunning = false;
  ShortString ErrorMessage;  // what the running handler shows

  // The music StartMusic plays for the whole run (the music disk itself
  // plays through its own audio library and never starts it).
  FSS_Music_p AppMusic = nullptr;
};
extern AppShellState Shell;

// Settles the settings, then creates, places and shows the window with its
// GL context; width, height and fullscreen come back as the settings chose.
void AppCreateWindow(const char* title, int32_t& width, int32_t& height, int32_t& fullscreen);
// Hides and destroys the window; AppWindow is null afterwards.
void AppCloseWindow(void);
int32_t AppWindowEvent(wm_event_t* event);
void AppErrorHandler(int code, const char* text);
// Starts the GL tables, the font renderer, the texture cache and the widget
// toolkit, and loads "msgbox.xml", once. A failed toolkit start is fatal.
int DialogEngineStart(void);
// Shows the text in the "msgbox.xml" box and waits until it is dismissed.
int AppMessageBox(const ShortString& text);
// Settles the settings: shows "cfg.xml" (unless the switch "default" is
// given) until its start item; quitting ends the program with exit code 0.
// Logs the display modes and the result.
int ConfigDialog(void);
int32_t ConfigDialogEvent(widget_t* widget, wm_event_t* event);
int32_t MessageBoxEvent(widget_t* widget, wm_event_t* event);
// The unit initialisation: installs the error callback.
void AppShellUnitInit(void);

// Opens the sound device (44100 Hz, one stereo source) and plays the file
// through the sound system; a failure of either is fatal ("Unable to
// initialise sound system.", "Unable to load music.").
void StartMusic(const char* name);
// Stops and frees that music and closes the sound device.
void StopMusic(void);

// The message of the error handler for a code and text.
ShortString AppErrorMessage(int code, const char* text);
// The position of a centred window: half the difference, cut toward zero.
int32_t AppCentre(int32_t desktop, int32_t size);
// Whether a system version text ("major.minor") is 6.1 or later, the
// releases on which a full-screen window is made frameless.
bool AppFramelessVersion(const char* version);
