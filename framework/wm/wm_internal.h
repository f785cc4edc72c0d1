// What the window manager's modules share, and what its tests look at.
#pragma once
#include "framework/wm/gltypes.h"
#include "framework/wm/wm.h"
#include "platform/wgl.h"

struct wm_window_t {
  HWND hwnd;  // null until wmShowWindow has created it
  int32_t x, y;
  int32_t width, height;
  int32_t fullscreen;
  int32_t frameless;
  int32_t resizable;
  uint32_t style;
  int32_t hideCursor;
  int32_t lastMouseX, lastMouseY;
  int32_t leftHeld, middleHeld, rightHeld;
  PIXELFORMATDESCRIPTOR pfd;
  HDC hdc;
  int32_t pixelFormat;
  HGLRC glContext;
  int32_t pixelFormatSet;
  wm_callback_t callback;
  char* title;  // tracked copy owned by the record
  intptr_t userData;
};

// Module state.
struct wm_state_t {
  HINSTANCE instance;
  char* driverName;      // adapter name (tracked), null when the query did not run
  int32_t videoMemory;   // in MB, 0 when unknown
  int32_t desktopWidth, desktopHeight, desktopBits, desktopFrequency;
  int32_t modeSwitched;
  SYS_List_p windows;    // newest first
  bool classRegistered;
};
extern wm_state_t wmState;

// "OpenGL32.dll", shared with the framework GL table, and the entry points
// that wglInit resolves.
extern void* wmGLLibHandle;
struct wm_wgl_procs_t {
  HGLRC (*wglCreateContext)(HDC);
  BOOL (*wglMakeCurrent)(HDC, HGLRC);
  BOOL (*wglDeleteContext)(HGLRC);
  PROC (*wglGetProcAddress)(LPCSTR);
  void (*glViewport)(GLint, GLint, GLsizei, GLsizei);
  const GLubyte* (*glGetString)(GLenum);
  void (*glGetIntegerv)(GLenum, GLint*);
  GLenum (*glGetError)(void);
};
extern wm_wgl_procs_t wmWGL;

// The record whose window is hwnd, or null.
wm_window_t* wmFindWindow(HWND hwnd);

// The adapter module loader, replaceable so tests can offer a DirectDraw.
struct wm_dd_loader_t {
  void* (*open)(const char* name);
  void* (*getProc)(void* handle, const char* name);
  int (*close)(void* handle);
};
void ddSetLoader(const wm_dd_loader_t* loader);  // null: the framework's module loader
