// The window manager: windows with a GL context, their events, display
// modes, the screen saver, the adapter queries and the GL loaders.
#pragma once
#include <cstdint>

#include "framework/base/list.h"
#include "platform/window.h"

// Error codes of the window manager.
#define WM_ERR_GL 3001          // OpenGL or WGL failure (library, entry points, pixel format or context)
#define WM_ERR_CREATE 3005      // window creation failed
#define WM_ERR_NOWINDOW 3006    // a per-window option was asked of a null window
#define WM_ERR_VIDEOMODE 3007   // the display mode could not be switched
#define WM_ERR_CLASS 3008       // the window class could not be registered

// Options of wmOptions. The global ones ignore the window; every other one
// asked of a null window fails with WM_ERR_NOWINDOW. Any other number does
// nothing and returns 0.
#define WM_OPT_DRIVER_NAME 0        // global get: the display driver's name (text), null when unknown
#define WM_OPT_VIDEO_MEMORY 1       // global get: video memory in MB, 0 when unknown
#define WM_OPT_CALLBACK 3           // set: the window's wm_callback_t
#define WM_OPT_SET_GEOMETRY 4       // set: x, y, width, height from a wm_conf_t pointer
#define WM_OPT_DESKTOP_WIDTH 5      // global get
#define WM_OPT_DESKTOP_HEIGHT 6     // global get
#define WM_OPT_DESKTOP_BITS 7       // global get: bits per pixel
#define WM_OPT_DESKTOP_FREQUENCY 8  // global get: in Hz
#define WM_OPT_WIDTH 9              // get: client width
#define WM_OPT_HEIGHT 10            // get: client height
#define WM_OPT_X 11                 // get
#define WM_OPT_Y 12                 // get
#define WM_OPT_GET_GEOMETRY 13      // get: x, y, width, height into a wm_conf_t pointer
#define WM_OPT_HIDE_CURSOR 100      // set: 0 shows, non-zero hides
#define WM_OPT_FULLSCREEN 101       // set: the full-screen flag (recorded only)
#define WM_OPT_TITLE 102            // set: zero-terminated title, kept as a copy
#define WM_OPT_FRAMELESS 104        // set: non-zero clears WM_STYLE_DEFAULT's bits, zero sets them
#define WM_OPT_SET_USERDATA 105     // set: one pointer-sized value for the caller
#define WM_OPT_GET_USERDATA 106     // get: that value
#define WM_OPT_RESIZABLE 108        // set: WS_THICKFRAME on or off
#define WM_OPT_DND 109              // set by the widget toolkit's windows; the window manager takes no action

// Window styles of the records. A record starts with WM_STYLE_DEFAULT
// (WS_POPUP, WS_VISIBLE, WS_CAPTION, WS_SYSMENU, WS_THICKFRAME,
// WS_MINIMIZEBOX); a frameless one keeps only the bits of the mask; a
// full-screen flag set before the window is shown adds WM_STYLE_FULLSCREEN
// to the creation style.
#define WM_STYLE_DEFAULT 0x90CE0000u
#define WM_STYLE_FRAMELESS_MASK 0x6F31FFFFu
#define WM_STYLE_FULLSCREEN 0x8u

// Event types and actions.
#define WM_EVENT_KEY 0
#define WM_EVENT_MOUSE 1
#define WM_EVENT_WINDOW 2
#define WM_KEY_DOWN 6
#define WM_KEY_UP 7
#define WM_CONF_CLOSE 5
#define WM_CONF_SIZE 12

struct wm_window_t;  // opaque to callers

struct wm_mouse_t {
  int32_t reserved;
  int32_t action;  // 1/2/3 left/right/middle down, 4/5/6 up, 0 move or wheel
  int32_t left, right, middle;  // 1 while held, after this event
  int32_t wheelForward, wheelBackward;
  int32_t x, y;  // client position
  int32_t dx, dy;
};
struct wm_key_t {
  int32_t action;  // 6 down, 7 up
  int32_t code;    // framework key code, 0 for a key without one
  int32_t reserved;
};
struct wm_conf_t {
  int32_t action;  // 5 close request, 12 size or move
  int32_t x, y;
  int32_t width, height;
};
struct wm_event_t {
  int32_t type;  // 0 key, 1 mouse, 2 window (the widget toolkit adds more)
  wm_window_t* window;
  wm_mouse_t mouse;
  wm_key_t key;
  wm_conf_t conf;
};
typedef int32_t (*wm_callback_t)(wm_event_t* event);

struct wm_videomode_t {
  int32_t width;
  int32_t height;
  int32_t bits;
  float frequency;
};

// Windows virtual key to framework key code.
extern const int32_t wm_keytable[256];

int wmInit(void);
int wmDone(void);
wm_window_t* wmNewWindow(int32_t x, int32_t y, int32_t width, int32_t height);
// Pointer-sized: WM_OPT_DRIVER_NAME and WM_OPT_GET_USERDATA answer pointers.
intptr_t wmOptions(wm_window_t* window, uint32_t option, intptr_t value);
int wmShowWindow(wm_window_t* window);
int wmHideWindow(wm_window_t* window);
int wmDestroyWindow(wm_window_t* window);
int wmPumpMessages(void);
int wmSwapBuffers(wm_window_t* window);
int wmMakeCurrent(wm_window_t* window);
void wmTransitionBegin(int32_t kind, float seconds);
void wmTransitionEnd(void);
LRESULT wmWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

int wglInit(void);
int wglDone(void);
int wglContextCreate(wm_window_t* window);
int wglContextRelease(wm_window_t* window);

int dmInit(void);
int dmDone(void);
int wmRestoreVideoMode(void);
SYS_List_p wmGetVideoModes(void);
int wmSetVideoMode(int32_t width, int32_t height, int32_t bits, float frequency);

int dpmsInit(void);
int dpmsEnable(int32_t on);
int dpmsDone(void);

int ddInit(void);
int ddCheckVideoMemory(void);
char* ddGetDriverName(void);
int ddDone(void);
