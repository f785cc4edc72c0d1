// WGL over GLX. Context handles are numbers of our own table, so a deleted
// context handed back is refused, not dereferenced.
#include "platform/wgl.h"

#include <GL/glx.h>

#include <cstring>
#include <map>
#include <memory>
#include <string_view>

#include "platform/kernel.h"
#include "platform/x11.h"

namespace {

constexpr UINT_PTR kFirstContext = 0x10000;

struct Context {
  GLXContext glx = nullptr;
};

struct GlxState {
  bool visualChosen = false;
  XVisualInfo* visual = nullptr;
  GLXContext shareRoot = nullptr;  // never made current, never destroyed
  std::map<UINT_PTR, std::unique_ptr<Context>> contexts;
  std::map<HWND, int> formats;  // the pixel format set on each window
  UINT_PTR nextContext = kFirstContext;
  int swapInterval = 0;
};

// Made on first use and never destroyed (a context may outlive every
// static destructor); dropped, not freed, in a forked child.
GlxState* glx = nullptr;

GlxState& G() {
  if (!glx) glx = std::make_unique<GlxState>().release();
  return *glx;
}

// The current binding of this (the main) thread.
thread_local HDC currentDC = nullptr;
thread_local HGLRC currentContext = nullptr;

Context* FindContext(HGLRC handle) {
  auto& c = G().contexts;
  auto it = c.find(reinterpret_cast<UINT_PTR>(handle));
  return it == c.end() ? nullptr : it->second.get();
}

XVisualInfo* ChooseVisual(Display* d) {
  int screen = DefaultScreen(d);
  // Stencil bits are always asked for: the 3D engine's shadow volumes need them.
  int full[] = {GLX_RGBA,       GLX_DOUBLEBUFFER, GLX_RED_SIZE,   8, GLX_GREEN_SIZE,   8, GLX_BLUE_SIZE, 8,
                GLX_ALPHA_SIZE, 8,                GLX_DEPTH_SIZE, 24, GLX_STENCIL_SIZE, 8, None};
  if (XVisualInfo* vi = glXChooseVisual(d, screen, full)) return vi;
  int noAlpha[] = {GLX_RGBA,       GLX_DOUBLEBUFFER, GLX_RED_SIZE,     8, GLX_GREEN_SIZE, 8, GLX_BLUE_SIZE, 8,
                   GLX_DEPTH_SIZE, 24,               GLX_STENCIL_SIZE, 8, None};
  if (XVisualInfo* vi = glXChooseVisual(d, screen, noAlpha)) return vi;
  int minimal[] = {GLX_RGBA, GLX_DOUBLEBUFFER, GLX_DEPTH_SIZE, 16, None};
  return glXChooseVisual(d, screen, minimal);
}

int VisualAttribute(Display* d, XVisualInfo* vi, int attribute) {
  int value = 0;
  if (glXGetConfig(d, vi, attribute, &value) != 0) return 0;
  return value;
}

bool HasGlxExtension(Display* d, const char* name) {
  const char* list = glXQueryExtensionsString(d, DefaultScreen(d));
  if (!list) return false;
  std::string_view all(list), wanted(name);
  for (size_t pos = 0; (pos = all.find(wanted, pos)) != std::string_view::npos; pos += wanted.size()) {
    bool startOk = pos == 0 || all[pos - 1] == ' ';
    bool endOk = pos + wanted.size() == all.size() || all[pos + wanted.size()] == ' ';
    if (startOk && endOk) return true;
  }
  return false;
}

template <class F>
F GlxProc(const char* name) {
  void (*p)() = glXGetProcAddressARB(reinterpret_cast<const GLubyte*>(name));
  F f;
  static_assert(sizeof f == sizeof p);
  std::memcpy(&f, &p, sizeof f);
  return f;
}

PROC ToProc(void (*p)()) { return p; }

template <class F>
PROC AsProc(F f) {
  PROC p;
  static_assert(sizeof f == sizeof p);
  std::memcpy(&p, &f, sizeof p);
  return p;
}

}  // namespace

namespace plat::x11 {

XVisualInfo* GLVisual() {
  GlxState& g = G();
  if (g.visualChosen) return g.visual;
  g.visualChosen = true;
  Display* d = Connection();
  if (!d) return nullptr;
  int errorBase = 0, eventBase = 0;
  if (!glXQueryExtension(d, &errorBase, &eventBase)) return nullptr;
  g.visual = ChooseVisual(d);
  return g.visual;
}

void ForgetGLInChild() {
  // Runs in a fork-child handler: what the parent made is left where it
  // is (a small leak in the child) instead of freed, and the next use
  // makes a fresh table.
  glx = nullptr;
  currentDC = nullptr;
  currentContext = nullptr;
}

void DrawableGone(::Window drawable) {
  Display* d = Connection();
  if (!d || !currentDC) return;
  if (DrawableOf(currentDC) == drawable || DrawableOf(currentDC) == 0) {
    glXMakeCurrent(d, None, nullptr);
    currentDC = nullptr;
    currentContext = nullptr;
  }
}

}  // namespace plat::x11

int ChoosePixelFormat(HDC dc, const PIXELFORMATDESCRIPTOR* pfd) {
  if (!pfd || !plat::x11::DrawableOf(dc)) return 0;
  return plat::x11::GLVisual() ? 1 : 0;
}

BOOL SetPixelFormat(HDC dc, int format, const PIXELFORMATDESCRIPTOR*) {
  HWND window = WindowFromDC(dc);
  if (!window || !plat::x11::DrawableOf(dc) || format != 1 || !plat::x11::GLVisual()) return FALSE;
  auto& formats = G().formats;
  auto it = formats.find(window);
  // As on Windows, a window's format is set once.
  if (it != formats.end()) return it->second == format ? TRUE : FALSE;
  formats[window] = format;
  return TRUE;
}

int GetPixelFormat(HDC dc) {
  HWND window = WindowFromDC(dc);
  auto& formats = G().formats;
  auto it = formats.find(window);
  return it == formats.end() ? 0 : it->second;
}

int DescribePixelFormat(HDC, int format, UINT size, PIXELFORMATDESCRIPTOR* pfd) {
  Display* d = plat::x11::Connection();
  XVisualInfo* vi = plat::x11::GLVisual();
  if (!d || !vi) return 0;
  if (pfd && format == 1 && size >= sizeof(PIXELFORMATDESCRIPTOR)) {
    *pfd = PIXELFORMATDESCRIPTOR{};
    pfd->nSize = sizeof(PIXELFORMATDESCRIPTOR);
    pfd->nVersion = 1;
    pfd->dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL |
                   (VisualAttribute(d, vi, GLX_DOUBLEBUFFER) ? PFD_DOUBLEBUFFER : 0u);
    pfd->iPixelType = PFD_TYPE_RGBA;
    pfd->cRedBits = static_cast<BYTE>(VisualAttribute(d, vi, GLX_RED_SIZE));
    pfd->cGreenBits = static_cast<BYTE>(VisualAttribute(d, vi, GLX_GREEN_SIZE));
    pfd->cBlueBits = static_cast<BYTE>(VisualAttribute(d, vi, GLX_BLUE_SIZE));
    pfd->cAlphaBits = static_cast<BYTE>(VisualAttribute(d, vi, GLX_ALPHA_SIZE));
    pfd->cColorBits = static_cast<BYTE>(pfd->cRedBits + pfd->cGreenBits + pfd->cBlueBits);
    pfd->cDepthBits = static_cast<BYTE>(VisualAttribute(d, vi, GLX_DEPTH_SIZE));
    pfd->cStencilBits = static_cast<BYTE>(VisualAttribute(d, vi, GLX_STENCIL_SIZE));
    pfd->iLayerType = PFD_MAIN_PLANE;
  }
  return 1;
}

BOOL SwapBuffers(HDC dc) {
  Display* d = plat::x11::Connection();
  ::Window drawable = plat::x11::DrawableOf(dc);
  if (!d || !drawable) return FALSE;
  glXSwapBuffers(d, drawable);
  return TRUE;
}

HGLRC wglCreateContext(HDC dc) {
  Display* d = plat::x11::Connection();
  XVisualInfo* vi = plat::x11::GLVisual();
  if (!d || !vi || GetPixelFormat(dc) != 1) return nullptr;
  GlxState& g = G();
  if (!g.shareRoot) g.shareRoot = glXCreateContext(d, vi, nullptr, True);
  if (!g.shareRoot) return nullptr;
  GLXContext glx = glXCreateContext(d, vi, g.shareRoot, True);
  if (!glx) return nullptr;
  auto c = std::make_unique<Context>();
  c->glx = glx;
  HGLRC handle = reinterpret_cast<HGLRC>(g.nextContext);
  g.nextContext += 4;
  g.contexts[reinterpret_cast<UINT_PTR>(handle)] = std::move(c);
  return handle;
}

HGLRC wglCreateLayerContext(HDC dc, int layer) { return layer == 0 ? wglCreateContext(dc) : nullptr; }

BOOL wglMakeCurrent(HDC dc, HGLRC context) {
  Display* d = plat::x11::Connection();
  if (!d) return FALSE;
  if (!context) {
    glXMakeCurrent(d, None, nullptr);
    currentDC = nullptr;
    currentContext = nullptr;
    return TRUE;
  }
  Context* c = FindContext(context);
  ::Window drawable = plat::x11::DrawableOf(dc);
  if (!c || !drawable) return FALSE;
  if (!glXMakeCurrent(d, drawable, c->glx)) return FALSE;
  currentDC = dc;
  currentContext = context;
  return TRUE;
}

BOOL wglDeleteContext(HGLRC context) {
  Display* d = plat::x11::Connection();
  Context* c = FindContext(context);
  if (!d || !c) return FALSE;
  if (currentContext == context) {
    glXMakeCurrent(d, None, nullptr);
    currentDC = nullptr;
    currentContext = nullptr;
  }
  glXDestroyContext(d, c->glx);
  G().contexts.erase(reinterpret_cast<UINT_PTR>(context));
  return TRUE;
}

BOOL wglCopyContext(HGLRC source, HGLRC target, UINT mask) {
  Display* d = plat::x11::Connection();
  Context* s = FindContext(source);
  Context* t = FindContext(target);
  if (!d || !s || !t) return FALSE;
  glXCopyContext(d, s->glx, t->glx, mask);
  return TRUE;
}

BOOL wglShareLists(HGLRC first, HGLRC second) {
  // Every context already shares with every other.
  return (FindContext(first) && FindContext(second)) ? TRUE : FALSE;
}

HGLRC wglGetCurrentContext(void) { return currentContext; }
HDC wglGetCurrentDC(void) { return currentDC; }

BOOL wglSwapIntervalEXT(int interval) {
  Display* d = plat::x11::Connection();
  if (!d || !currentDC || interval < 0) return FALSE;
  ::Window drawable = plat::x11::DrawableOf(currentDC);
  if (HasGlxExtension(d, "GLX_EXT_swap_control")) {
    auto f = GlxProc<void (*)(Display*, GLXDrawable, int)>("glXSwapIntervalEXT");
    if (f && drawable) {
      f(d, drawable, interval);
      G().swapInterval = interval;
      return TRUE;
    }
  }
  if (HasGlxExtension(d, "GLX_MESA_swap_control")) {
    auto f = GlxProc<int (*)(unsigned)>("glXSwapIntervalMESA");
    if (f && f(static_cast<unsigned>(interval)) == 0) {
      G().swapInterval = interval;
      return TRUE;
    }
  }
  if (interval > 0 && HasGlxExtension(d, "GLX_SGI_swap_control")) {
    auto f = GlxProc<int (*)(int)>("glXSwapIntervalSGI");
    if (f && f(interval) == 0) {
      G().swapInterval = interval;
      return TRUE;
    }
  }
  return FALSE;
}

int wglGetSwapIntervalEXT(void) { return G().swapInterval; }

const char* wglGetExtensionsStringEXT(void) {
  return "WGL_ARB_extensions_string WGL_EXT_extensions_string WGL_EXT_swap_control";
}
const char* wglGetExtensionsStringARB(HDC) { return wglGetExtensionsStringEXT(); }

namespace plat {

PROC WglExport(const char* name) {
  if (!name) return nullptr;
  std::string_view n(name);
  if (n == "wglCreateContext") return AsProc(&wglCreateContext);
  if (n == "wglCreateLayerContext") return AsProc(&wglCreateLayerContext);
  if (n == "wglMakeCurrent") return AsProc(&wglMakeCurrent);
  if (n == "wglDeleteContext") return AsProc(&wglDeleteContext);
  if (n == "wglCopyContext") return AsProc(&wglCopyContext);
  if (n == "wglShareLists") return AsProc(&wglShareLists);
  if (n == "wglGetCurrentContext") return AsProc(&wglGetCurrentContext);
  if (n == "wglGetCurrentDC") return AsProc(&wglGetCurrentDC);
  if (n == "wglGetProcAddress") return AsProc(&wglGetProcAddress);
  if (n == "wglSwapIntervalEXT") return AsProc(&wglSwapIntervalEXT);
  if (n == "wglGetSwapIntervalEXT") return AsProc(&wglGetSwapIntervalEXT);
  if (n == "wglGetExtensionsStringARB") return AsProc(&wglGetExtensionsStringARB);
  if (n == "wglGetExtensionsStringEXT") return AsProc(&wglGetExtensionsStringEXT);
  return nullptr;
}

void InstallGLModuleExports() {
  SetModuleExports("OpenGL32.dll", [](const char* name) -> FARPROC { return WglExport(name); });
}

}  // namespace plat

PROC wglGetProcAddress(LPCSTR name) {
  if (!name || !currentContext) return nullptr;
  if (std::strncmp(name, "wgl", 3) == 0) return plat::WglExport(name);
  return ToProc(glXGetProcAddressARB(reinterpret_cast<const GLubyte*>(name)));
}
