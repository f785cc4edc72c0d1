// The window manager's WGL part: the GL library, its entry points, and the
// pixel format and context of each window.
#include <cstring>

#include "framework/base/dl.h"
#include "framework/base/log.h"
#include "framework/wm/wm_internal.h"

#define WM_GL_LOG(level, ...) SYS_LOG_TAGGED(level, "[wm][gl]", __VA_ARGS__)

void* wmGLLibHandle = nullptr;
wm_wgl_procs_t wmWGL;

namespace {

template <class F>
void Resolve(F& slot, const char* name) {
  void* p = SYS_DlGetProc(wmGLLibHandle, name);
  static_assert(sizeof slot == sizeof p);
  std::memcpy(&slot, &p, sizeof slot);
}

}  // namespace

int wglInit(void) {
  WM_GL_LOG(SYS_DBG_MSG, " loading OpenGL32.dll ...\n");
  // The wgl* names of the library are ours; they must be in place before
  // anything opens it.
  plat::InstallGLModuleExports();
  wmGLLibHandle = SYS_DlOpen("OpenGL32.dll");
  if (!wmGLLibHandle) {
    WM_GL_LOG(SYS_DBG_MSG, " ... failed.\n");
    return 1;
  }
  WM_GL_LOG(SYS_DBG_MSG, " ... loaded.\n");
  Resolve(wmWGL.wglCreateContext, "wglCreateContext");
  Resolve(wmWGL.wglMakeCurrent, "wglMakeCurrent");
  Resolve(wmWGL.wglDeleteContext, "wglDeleteContext");
  Resolve(wmWGL.wglGetProcAddress, "wglGetProcAddress");
  Resolve(wmWGL.glViewport, "glViewport");
  Resolve(wmWGL.glGetString, "glGetString");
  Resolve(wmWGL.glGetIntegerv, "glGetIntegerv");
  // Also the error query: the limits report drains what its queries leave.
  Resolve(wmWGL.glGetError, "glGetError");
  return 0;
}

int wglDone(void) {
  if (wmGLLibHandle) SYS_DlClose(wmGLLibHandle);
  wmGLLibHandle = nullptr;
  return 0;
}

int wglContextCreate(wm_window_t* w) {
  if (!w || !w->hwnd) return 1;
  if (!w->hdc) w->hdc = GetDC(w->hwnd);
  std::memset(&w->pfd, 0, sizeof w->pfd);
  w->pfd.nSize = sizeof(PIXELFORMATDESCRIPTOR);
  w->pfd.nVersion = 1;
  w->pfd.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
  w->pfd.iPixelType = PFD_TYPE_RGBA;
  w->pfd.cColorBits = 24;
  w->pfd.cAlphaBits = 8;
  w->pfd.cDepthBits = 24;
  // The 3D engine's shadow volumes need a stencil buffer.
  w->pfd.cStencilBits = 8;
  int depth = GetDeviceCaps(w->hdc, BITSPIXEL);
  if (depth > 0 && depth <= 16) {
    w->pfd.cColorBits = static_cast<BYTE>(depth);
    w->pfd.cAlphaBits = 0;
  }
  w->pixelFormat = ChoosePixelFormat(w->hdc, &w->pfd);
  if (w->pixelFormat == 0) {
    WM_GL_LOG(SYS_DBG_MSG, " error in choose pixel format.\n");
    return 1;
  }
  w->pixelFormatSet = SetPixelFormat(w->hdc, w->pixelFormat, &w->pfd);
  if (!w->pixelFormatSet) {
    WM_GL_LOG(SYS_DBG_MSG, " error in pixel format setting.\n");
    return 1;
  }
  w->glContext = wmWGL.wglCreateContext ? wmWGL.wglCreateContext(w->hdc) : nullptr;
  if (!w->glContext) {
    WM_GL_LOG(SYS_DBG_MSG, " error in GL context creating.\n");
    return 1;
  }
  if (!wmWGL.wglMakeCurrent || !wmWGL.wglMakeCurrent(w->hdc, w->glContext)) {
    WM_GL_LOG(SYS_DBG_MSG, " error in context switching.\n");
    return 1;
  }
  return 0;
}

int wglContextRelease(wm_window_t* w) {
  if (!w || !w->hdc) return 0;
  if (w->glContext) {
    if (wmWGL.wglMakeCurrent) wmWGL.wglMakeCurrent(w->hdc, nullptr);
    if (wmWGL.wglDeleteContext) wmWGL.wglDeleteContext(w->glContext);
  }
  ReleaseDC(w->hwnd, w->hdc);
  // Events that arrive after this (hide, destroy) must not find the old
  // context to make current.
  w->glContext = nullptr;
  w->hdc = nullptr;
  w->pixelFormatSet = 0;
  return 0;
}
