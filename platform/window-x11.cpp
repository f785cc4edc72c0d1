// The X11 back end of the window table: one display connection, an X
// window per window, X input turned into the queue's messages.
#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <pthread.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "platform/window_backend.h"
#include "platform/x11.h"

namespace {

using PlatWindow = plat::win::Window;

struct Connected {
  bool triedOpen = false;
  Display* display = nullptr;
  Atom deleteWindow = 0;
  Atom protocols = 0;
  Atom motifHints = 0;
  Atom netWmName = 0;
  Atom utf8 = 0;
  Atom netWmState = 0;
  Atom netWmStateFullscreen = 0;
  Cursor blankCursor = 0;
  int errors = 0;
};

// Plain data only: the fork-child handler resets it without allocating.
Connected connection;

Connected& S() { return connection; }

int NonFatalXError(Display*, XErrorEvent* error) {
  // A window or drawable gone under us must not end the process.
  ++S().errors;
  (void)error;
  return 0;
}

// The window made by this back end whose X window is xwin, or null.
PlatWindow* FindByX(::Window xwin) {
  PlatWindow* found = nullptr;
  if (!xwin) return found;
  plat::win::ForEachWindow([&](PlatWindow& w) {
    if (!found && w.xwin == xwin) found = &w;
  });
  return found;
}

struct MotifWmHints {
  unsigned long flags, functions, decorations;
  long inputMode;
  unsigned long status;
};

void ApplyFrame(const PlatWindow& w) {
  Connected& s = S();
  if (!s.display || !w.xwin) return;
  // A window without a caption is frameless; the hint asks the window
  // manager for no decorations at all.
  MotifWmHints hints{};
  hints.flags = 2;  // decorations field is valid
  hints.decorations = (w.style & WS_CAPTION) ? 1 : 0;
  XChangeProperty(s.display, w.xwin, s.motifHints, s.motifHints, 32, PropModeReplace,
                  reinterpret_cast<unsigned char*>(&hints), 5);
  XSizeHints* size = XAllocSizeHints();
  if (!size) return;
  size->flags = PPosition | USPosition;
  size->x = w.x;
  size->y = w.y;
  if (!(w.style & WS_THICKFRAME)) {
    // Not resizable: the window manager is told the size is fixed.
    size->flags |= PMinSize | PMaxSize;
    size->min_width = size->max_width = std::max(1, w.input.width);
    size->min_height = size->max_height = std::max(1, w.input.height);
  }
  XSetWMNormalHints(s.display, w.xwin, size);
  XFree(size);
}

void ApplyTitle(const PlatWindow& w) {
  Connected& s = S();
  if (!s.display || !w.xwin) return;
  XStoreName(s.display, w.xwin, w.title.c_str());
  XChangeProperty(s.display, w.xwin, s.netWmName, s.utf8, 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(w.title.data()), static_cast<int>(w.title.size()));
}

void ApplyCursor(const PlatWindow& w) {
  Connected& s = S();
  if (!s.display || !w.xwin) return;
  if (plat::CursorHidden() && s.blankCursor)
    XDefineCursor(s.display, w.xwin, s.blankCursor);
  else
    XUndefineCursor(s.display, w.xwin);
}

Cursor MakeBlankCursor(Display* d) {
  static char empty[8] = {};
  Pixmap bits = XCreateBitmapFromData(d, DefaultRootWindow(d), empty, 8, 8);
  if (!bits) return 0;
  XColor black{};
  Cursor c = XCreatePixmapCursor(d, bits, bits, &black, &black, 0, 0);
  XFreePixmap(d, bits);
  return c;
}

// Waits (a bounded time) for the server to confirm that the window is
// mapped: focus may only be given to a viewable window.
void WaitForMap(PlatWindow& w) {
  Connected& s = S();
  auto isMap = [](Display*, XEvent* e, XPointer arg) -> Bool {
    return e->type == MapNotify && e->xmap.window == *reinterpret_cast<::Window*>(arg);
  };
  XEvent ev;
  for (int i = 0; i < 200 && !w.mapped; ++i) {
    if (XCheckIfEvent(s.display, &ev, isMap, reinterpret_cast<XPointer>(&w.xwin))) {
      w.mapped = true;
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

bool CreateXWindow(PlatWindow& w) {
  Connected& s = S();
  Display* d = s.display;
  int screen = DefaultScreen(d);
  XVisualInfo* vi = plat::x11::GLVisual();
  Visual* visual = vi ? vi->visual : DefaultVisual(d, screen);
  int depth = vi ? vi->depth : DefaultDepth(d, screen);
  XSetWindowAttributes attrs{};
  w.colormap = XCreateColormap(d, RootWindow(d, screen), visual, AllocNone);
  attrs.colormap = w.colormap;
  attrs.background_pixel = BlackPixel(d, screen);
  attrs.border_pixel = 0;
  attrs.event_mask = KeyPressMask | KeyReleaseMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask |
                     StructureNotifyMask | FocusChangeMask;
  w.xwin = XCreateWindow(d, RootWindow(d, screen), w.x, w.y, static_cast<unsigned>(std::max(1, w.input.width)),
                         static_cast<unsigned>(std::max(1, w.input.height)), 0, depth, InputOutput, visual,
                         CWColormap | CWBackPixel | CWBorderPixel | CWEventMask, &attrs);
  if (!w.xwin) return false;
  XSetWMProtocols(d, w.xwin, &s.deleteWindow, 1);
  // Which process the window belongs to, for window managers and tools.
  long pid = static_cast<long>(getpid());
  XChangeProperty(d, w.xwin, XInternAtom(d, "_NET_WM_PID", False), XA_CARDINAL, 32, PropModeReplace,
                  reinterpret_cast<unsigned char*>(&pid), 1);
  // A window without a frame that covers the whole screen is the full-screen
  // window: the window manager is asked to keep its panels off it.
  if (!(w.style & WS_CAPTION) && w.x <= 0 && w.y <= 0 && w.input.width >= DisplayWidth(d, screen) &&
      w.input.height >= DisplayHeight(d, screen))
    XChangeProperty(d, w.xwin, s.netWmState, XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&s.netWmStateFullscreen), 1);
  ApplyTitle(w);
  ApplyFrame(w);
  ApplyCursor(w);
  return true;
}


void TrackPointer(PlatWindow& w, int x, int y, int rootX, int rootY) {
  w.rootOffsetX = rootX - x;
  w.rootOffsetY = rootY - y;
}

// One X event into our queue.
void Translate(XEvent& ev) {
  using Kind = plat::InputEvent::Kind;
  PlatWindow* w = FindByX(ev.xany.window);
  if (!w) return;
  plat::InputEvent in;
  switch (ev.type) {
    case KeyPress:
    case KeyRelease:
      in.kind = ev.type == KeyPress ? Kind::KeyDown : Kind::KeyUp;
      in.keysym = XLookupKeysym(&ev.xkey, 0);
      in.keysymNumLock = XLookupKeysym(&ev.xkey, 1);
      in.state = ev.xkey.state;
      in.x = ev.xkey.x;
      in.y = ev.xkey.y;
      in.rootX = ev.xkey.x_root;
      in.rootY = ev.xkey.y_root;
      in.time = ev.xkey.time;
      break;
    case ButtonPress:
    case ButtonRelease:
      in.kind = ev.type == ButtonPress ? Kind::ButtonDown : Kind::ButtonUp;
      in.button = ev.xbutton.button;
      in.state = ev.xbutton.state;
      in.x = ev.xbutton.x;
      in.y = ev.xbutton.y;
      in.rootX = ev.xbutton.x_root;
      in.rootY = ev.xbutton.y_root;
      in.time = ev.xbutton.time;
      TrackPointer(*w, in.x, in.y, in.rootX, in.rootY);
      break;
    case MotionNotify:
      in.kind = Kind::Motion;
      in.state = ev.xmotion.state;
      in.x = ev.xmotion.x;
      in.y = ev.xmotion.y;
      in.rootX = ev.xmotion.x_root;
      in.rootY = ev.xmotion.y_root;
      in.time = ev.xmotion.time;
      TrackPointer(*w, in.x, in.y, in.rootX, in.rootY);
      break;
    case ConfigureNotify:
      in.kind = Kind::Configure;
      in.width = ev.xconfigure.width;
      in.height = ev.xconfigure.height;
      in.time = plat::win::NowMs();
      break;
    case ClientMessage:
      if (static_cast<Atom>(ev.xclient.data.l[0]) != S().deleteWindow) return;
      in.kind = Kind::CloseRequest;
      in.time = plat::win::NowMs();
      break;
    case MapNotify:
      w->mapped = true;
      return;
    case UnmapNotify:
      w->mapped = false;
      return;
    default:
      return;
  }
  MSG out[2];
  int n = plat::TranslateInput(w->handle, in, w->input, out);
  for (int i = 0; i < n; ++i) plat::win::Enqueue(out[i]);
}

void PumpX() {
  Display* d = S().display;
  if (!d) return;
  while (XPending(d)) {
    XEvent ev;
    XNextEvent(d, &ev);
    Translate(ev);
  }
}

// --- the back end's table ----------------------------------------------------------

bool Create(PlatWindow& w) {
  if (!plat::x11::Connection()) return false;
  return CreateXWindow(w);
}

void Destroy(PlatWindow& w) {
  Connected& s = S();
  if (!w.xwin || !s.display) return;
  plat::x11::DrawableGone(w.xwin);
  XDestroyWindow(s.display, w.xwin);
  if (w.colormap) XFreeColormap(s.display, w.colormap);
  XFlush(s.display);
}

void Show(PlatWindow& w, bool show) {
  Connected& s = S();
  if (!w.xwin || !s.display) return;
  if (show) {
    XMapRaised(s.display, w.xwin);
    XFlush(s.display);
    WaitForMap(w);
  } else {
    XUnmapWindow(s.display, w.xwin);
    XFlush(s.display);
  }
}

void Raise(PlatWindow& w) {
  if (w.xwin && S().display) XRaiseWindow(S().display, w.xwin);
}

void Focus(PlatWindow& w) {
  Connected& s = S();
  if (w.xwin && s.display && w.mapped) XSetInputFocus(s.display, w.xwin, RevertToParent, CurrentTime);
}

void Title(PlatWindow& w) { ApplyTitle(w); }
void Frame(PlatWindow& w) { ApplyFrame(w); }
void Cursor(PlatWindow& w) { ApplyCursor(w); }

void Placement(PlatWindow& w) {
  Connected& s = S();
  if (!w.xwin || !s.display) return;
  ApplyFrame(w);
  XMoveResizeWindow(s.display, w.xwin, w.x, w.y, static_cast<unsigned>(std::max(1, w.input.width)),
                    static_cast<unsigned>(std::max(1, w.input.height)));
  XFlush(s.display);
}

void Flush() {
  if (S().display) XFlush(S().display);
}

constexpr plat::win::Backend kX11{
    .create = Create,
    .destroy = Destroy,
    .show = Show,
    .raise = Raise,
    .focus = Focus,
    .applyTitle = Title,
    .applyFrame = Frame,
    .applyPlacement = Placement,
    .applyCursor = Cursor,
    .flush = Flush,
    .pump = PumpX,
};

// A forked child must not talk over its parent's connection: both would
// read and write the one socket. The child forgets it (and the windows and
// contexts made over it) and opens its own when it needs one. A child of a
// threaded process may run only async-signal-safe code here, so what the
// parent held is dropped, never freed: no call of this handler allocates.
void ForgetConnectionInChild() {
  S() = Connected{};
  plat::win::ForEachWindowDo(
      [](PlatWindow& w, void*) {
        w.xwin = 0;
        w.colormap = 0;
        w.mapped = false;
      },
      nullptr);
  plat::x11::ForgetGLInChild();
}

}  // namespace

namespace plat::win {
const Backend& X11Backend() { return kX11; }
}  // namespace plat::win

namespace plat {

bool DisplayAvailable() { return x11::Connection() != nullptr; }

const char* DisplayName() {
  const char* name = std::getenv("DISPLAY");
  return name && *name ? name : nullptr;
}

}  // namespace plat

namespace plat::x11 {

Display* Connection() {
  Connected& s = S();
  if (s.triedOpen) return s.display;
  s.triedOpen = true;
  static bool atForkInstalled = false;
  if (!atForkInstalled) atForkInstalled = pthread_atfork(nullptr, nullptr, ForgetConnectionInChild) == 0;
  if (!plat::DisplayName()) return nullptr;
  XInitThreads();
  s.display = XOpenDisplay(nullptr);
  if (!s.display) return nullptr;
  XSetErrorHandler(NonFatalXError);
  Bool supported = False;
  // Held keys repeat as presses only, the way Windows repeats WM_KEYDOWN.
  XkbSetDetectableAutoRepeat(s.display, True, &supported);
  s.deleteWindow = XInternAtom(s.display, "WM_DELETE_WINDOW", False);
  s.protocols = XInternAtom(s.display, "WM_PROTOCOLS", False);
  s.motifHints = XInternAtom(s.display, "_MOTIF_WM_HINTS", False);
  s.netWmName = XInternAtom(s.display, "_NET_WM_NAME", False);
  s.utf8 = XInternAtom(s.display, "UTF8_STRING", False);
  s.netWmState = XInternAtom(s.display, "_NET_WM_STATE", False);
  s.netWmStateFullscreen = XInternAtom(s.display, "_NET_WM_STATE_FULLSCREEN", False);
  s.blankCursor = MakeBlankCursor(s.display);
  return s.display;
}

int TakeErrorCount() {
  if (S().display) XSync(S().display, False);
  int n = S().errors;
  S().errors = 0;
  return n;
}

::Window WindowOf(HWND window) {
  PlatWindow* w = plat::win::Find(window);
  return w ? w->xwin : 0;
}

::Window DrawableOf(HDC dc) { return WindowOf(WindowFromDC(dc)); }

}  // namespace plat::x11
