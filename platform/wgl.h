// Pixel formats, buffer swaps and WGL contexts over GLX.
//
// Every window is created with one GL-capable visual (24-bit colour, 8 alpha,
// 24 depth, 8 stencil bits, double-buffered), chosen before the X window
// exists; that visual is pixel format 1, the only one. All contexts share one
// texture namespace through a share context that lives as long as the
// process.
#pragma once
#include "platform/window.h"

struct PIXELFORMATDESCRIPTOR {
  WORD nSize;
  WORD nVersion;
  DWORD dwFlags;
  BYTE iPixelType;
  BYTE cColorBits;
  BYTE cRedBits;
  BYTE cRedShift;
  BYTE cGreenBits;
  BYTE cGreenShift;
  BYTE cBlueBits;
  BYTE cBlueShift;
  BYTE cAlphaBits;
  BYTE cAlphaShift;
  BYTE cAccumBits;
  BYTE cAccumRedBits;
  BYTE cAccumGreenBits;
  BYTE cAccumBlueBits;
  BYTE cAccumAlphaBits;
  BYTE cDepthBits;
  BYTE cStencilBits;
  BYTE cAuxBuffers;
  BYTE iLayerType;
  BYTE bReserved;
  DWORD dwLayerMask;
  DWORD dwVisibleMask;
  DWORD dwDamageMask;
};
static_assert(sizeof(PIXELFORMATDESCRIPTOR) == 40, "the descriptor keeps its Windows size");

#define PFD_DOUBLEBUFFER 0x00000001u
#define PFD_DRAW_TO_WINDOW 0x00000004u
#define PFD_SUPPORT_OPENGL 0x00000020u
#define PFD_TYPE_RGBA 0
#define PFD_MAIN_PLANE 0

typedef FARPROC PROC;

int ChoosePixelFormat(HDC dc, const PIXELFORMATDESCRIPTOR* pfd);
BOOL SetPixelFormat(HDC dc, int format, const PIXELFORMATDESCRIPTOR* pfd);
int GetPixelFormat(HDC dc);
int DescribePixelFormat(HDC dc, int format, UINT size, PIXELFORMATDESCRIPTOR* pfd);
BOOL SwapBuffers(HDC dc);

HGLRC wglCreateContext(HDC dc);
HGLRC wglCreateLayerContext(HDC dc, int layer);
BOOL wglMakeCurrent(HDC dc, HGLRC context);
BOOL wglDeleteContext(HGLRC context);
BOOL wglCopyContext(HGLRC source, HGLRC target, UINT mask);
BOOL wglShareLists(HGLRC first, HGLRC second);
HGLRC wglGetCurrentContext(void);
HDC wglGetCurrentDC(void);
// Null while no context is current; the wgl* extension names are answered
// here, every other name by GLX.
PROC wglGetProcAddress(LPCSTR name);
// WGL_EXT_swap_control over the GLX swap-interval extensions.
BOOL wglSwapIntervalEXT(int interval);
int wglGetSwapIntervalEXT(void);
const char* wglGetExtensionsStringARB(HDC dc);
const char* wglGetExtensionsStringEXT(void);

namespace plat {
// Makes "OpenGL32.dll" answer the wgl* names above (through the module
// loader's extra exports). Call it before anything loads the library.
void InstallGLModuleExports();
// The wgl* function of that name, or null.
PROC WglExport(const char* name);
}  // namespace plat
