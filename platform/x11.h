// What the platform's X11 files share among themselves: the one display
// connection and the links between windows, device contexts and GLX.
// Include it only from platform/*.cpp: Xlib's macros (None, Bool, Status...)
// must not reach the framework.
#pragma once
#include "platform/window.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace plat::x11 {

// The process's display connection, opened on first use with a non-fatal
// error handler and detectable key auto-repeat; null when there is none.
Display* Connection();
// Errors the handler has seen since the last call (and clears the count).
int TakeErrorCount();

// The visual every window is created with, chosen for GL before any window
// exists (wgl.cpp); null without GLX.
XVisualInfo* GLVisual();
// The X window behind a window handle or a window's device context; 0 for
// none (headless windows, the screen, stale handles).
::Window WindowOf(HWND window);
::Window DrawableOf(HDC dc);
// In a forked child (from its fork-child handler, so it neither allocates
// nor frees): the parent's visual and contexts are not ours.
void ForgetGLInChild();
// Called before an X window goes, so a context bound to it is released.
void DrawableGone(::Window drawable);

}  // namespace plat::x11
