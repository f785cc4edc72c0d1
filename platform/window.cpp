// Windows and the message queue over Xlib.
//
// Handles are numbers, not pointers, so a stale handle is recognised and
// refused instead of reaching freed memory. A window's device context is its
// handle plus one (every window owns its context, as with CS_OWNDC); the
// screen's context is 1.
#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <pthread.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <thread>

#include "platform/kernel.h"
#include "platform/x11.h"

namespace {

constexpr UINT_PTR kScreenDC = 1;
constexpr UINT_PTR kFirstWindow = 0x1000;
constexpr UINT_PTR kHandleStep = 4;

struct WindowClass {
  UINT style = 0;
  WNDPROC proc = nullptr;
};

struct PlatWindow {
  HWND handle = nullptr;
  WNDPROC proc = nullptr;
  DWORD style = 0;
  std::string title;
  int x = 0, y = 0;
  plat::InputState input;  // client size and held keys
  int rootOffsetX = 0, rootOffsetY = 0;  // client origin on the screen, from pointer events
  bool visible = false;
  bool mapped = false;
  ::Window xwin = 0;
  Colormap colormap = 0;
};

struct State {
  std::map<std::string, WindowClass> classes;
  std::map<UINT_PTR, std::unique_ptr<PlatWindow>> windows;
  std::deque<MSG> queue;
  UINT_PTR nextHandle = kFirstWindow;
  bool headless = false;
  bool cursorHidden = false;
  HWND focus = nullptr;
  // The display connection.
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

State& S() {
  // Never destroyed: static destructors at exit may still post or destroy.
  static State& state = *std::make_unique<State>().release();
  return state;
}

UINT_PTR Id(const void* handle) { return reinterpret_cast<UINT_PTR>(handle); }
HWND ToHandle(UINT_PTR id) { return reinterpret_cast<HWND>(id); }

PlatWindow* Find(HWND handle) {
  auto& w = S().windows;
  auto it = w.find(Id(handle));
  return it == w.end() ? nullptr : it->second.get();
}

PlatWindow* FindByX(::Window xwin) {
  if (!xwin) return nullptr;
  for (auto& [id, w] : S().windows)
    if (w->xwin == xwin) return w.get();
  return nullptr;
}

std::string ClassKey(const char* name) {
  std::string key(name ? name : "");
  for (char& c : key)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  return key;
}

int NonFatalXError(Display*, XErrorEvent* error) {
  // A window or drawable gone under us must not end the process.
  ++S().errors;
  (void)error;
  return 0;
}

DWORD NowMs() {
  using namespace std::chrono;
  return static_cast<DWORD>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

// --- X window properties --------------------------------------------------------

struct MotifWmHints {
  unsigned long flags, functions, decorations;
  long inputMode;
  unsigned long status;
};

void ApplyFrame(const PlatWindow& w) {
  State& s = S();
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
  State& s = S();
  if (!s.display || !w.xwin) return;
  XStoreName(s.display, w.xwin, w.title.c_str());
  XChangeProperty(s.display, w.xwin, s.netWmName, s.utf8, 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(w.title.data()), static_cast<int>(w.title.size()));
}

void ApplyCursor(const PlatWindow& w) {
  State& s = S();
  if (!s.display || !w.xwin) return;
  if (s.cursorHidden && s.blankCursor)
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
  State& s = S();
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
  State& s = S();
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

// --- messages --------------------------------------------------------------------------

void Enqueue(const MSG& m) { S().queue.push_back(m); }

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
      in.time = NowMs();
      break;
    case ClientMessage:
      if (static_cast<Atom>(ev.xclient.data.l[0]) != S().deleteWindow) return;
      in.kind = Kind::CloseRequest;
      in.time = NowMs();
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
  for (int i = 0; i < n; ++i) Enqueue(out[i]);
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

bool Matches(const MSG& m, HWND window, UINT first, UINT last) {
  if (window && m.hwnd != window) return false;
  if (first == 0 && last == 0) return true;
  return m.message >= first && m.message <= last;
}

LRESULT Deliver(PlatWindow* w, UINT message, WPARAM wParam, LPARAM lParam) {
  HWND h = w->handle;
  WNDPROC proc = w->proc;
  return proc ? proc(h, message, wParam, lParam) : DefWindowProcA(h, message, wParam, lParam);
}

// A forked child must not talk over its parent's connection: both would
// read and write the one socket. The child forgets it (and the windows and
// contexts made over it) and opens its own when it needs one.
void ForgetConnectionInChild() {
  State& s = S();
  s.display = nullptr;
  s.triedOpen = false;
  s.blankCursor = 0;
  for (auto& [id, w] : s.windows) {
    w->xwin = 0;
    w->colormap = 0;
  }
  plat::x11::ForgetGLInChild();
}

}  // namespace

namespace plat::x11 {

Display* Connection() {
  State& s = S();
  if (s.triedOpen) return s.display;
  s.triedOpen = true;
  static bool atForkInstalled = false;
  if (!atForkInstalled) atForkInstalled = pthread_atfork(nullptr, nullptr, ForgetConnectionInChild) == 0;
  const char* name = std::getenv("DISPLAY");
  if (!name || !*name) return nullptr;
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
  PlatWindow* w = Find(window);
  return w ? w->xwin : 0;
}

::Window DrawableOf(HDC dc) { return WindowOf(WindowFromDC(dc)); }

}  // namespace plat::x11

namespace plat {

void SetHeadlessWindows(bool headless) { S().headless = headless; }
bool DisplayAvailable() { return x11::Connection() != nullptr; }
bool CursorHidden() { return S().cursorHidden; }

}  // namespace plat

ATOM RegisterClassA(const WNDCLASSA* windowClass) {
  if (!windowClass || !windowClass->lpszClassName || !*windowClass->lpszClassName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::string key = ClassKey(windowClass->lpszClassName);
  auto& classes = S().classes;
  if (classes.count(key)) {
    SetLastError(1410);  // the class already exists
    return 0;
  }
  classes[key] = WindowClass{windowClass->style, windowClass->lpfnWndProc};
  return static_cast<ATOM>(0xC000 + classes.size());
}

BOOL UnregisterClassA(LPCSTR className, HINSTANCE) { return S().classes.erase(ClassKey(className)) ? TRUE : FALSE; }

HWND CreateWindowExA(DWORD, LPCSTR className, LPCSTR title, DWORD style, int x, int y, int width, int height,
                     HWND, HMENU, HINSTANCE, LPVOID) {
  State& s = S();
  auto cls = s.classes.find(ClassKey(className));
  if (cls == s.classes.end()) {
    SetLastError(1407);  // no such class
    return nullptr;
  }
  if (!s.headless && !plat::x11::Connection()) {
    SetLastError(1400);  // no display: no window
    return nullptr;
  }
  auto w = std::make_unique<PlatWindow>();
  w->handle = ToHandle(s.nextHandle);
  w->proc = cls->second.proc;
  w->style = style;
  w->title = title ? title : "";
  w->x = x;
  w->y = y;
  w->input.width = std::max(0, width);
  w->input.height = std::max(0, height);
  if (!s.headless && !CreateXWindow(*w)) {
    SetLastError(1400);
    return nullptr;
  }
  s.nextHandle += kHandleStep;
  PlatWindow* created = w.get();
  s.windows[Id(created->handle)] = std::move(w);
  SendMessageA(created->handle, WM_CREATE, 0, 0);
  if (Find(created->handle) && (style & WS_VISIBLE)) ShowWindow(created->handle, SW_SHOW);
  return Find(created->handle) ? created->handle : nullptr;
}

BOOL DestroyWindow(HWND window) {
  PlatWindow* w = Find(window);
  if (!w) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  SendMessageA(window, WM_DESTROY, 0, 0);
  SendMessageA(window, WM_NCDESTROY, 0, 0);
  w = Find(window);  // the procedure may have destroyed it already
  if (!w) return TRUE;
  State& s = S();
  if (w->xwin && s.display) {
    plat::x11::DrawableGone(w->xwin);
    XDestroyWindow(s.display, w->xwin);
    if (w->colormap) XFreeColormap(s.display, w->colormap);
    XFlush(s.display);
  }
  std::erase_if(s.queue, [window](const MSG& m) { return m.hwnd == window; });
  if (s.focus == window) s.focus = nullptr;
  s.windows.erase(Id(window));
  return TRUE;
}

BOOL IsWindow(HWND window) { return Find(window) ? TRUE : FALSE; }

BOOL AdjustWindowRect(RECT* rect, DWORD, BOOL) {
  // The frame belongs to the X window manager and lies outside the X window,
  // so the window rectangle is the client rectangle.
  return rect ? TRUE : FALSE;
}

BOOL ShowWindow(HWND window, int command) {
  PlatWindow* w = Find(window);
  if (!w) return FALSE;
  BOOL wasVisible = w->visible ? TRUE : FALSE;
  bool show = command != SW_HIDE;
  if (show == w->visible) return wasVisible;
  w->visible = show;
  if (show)
    w->style |= WS_VISIBLE;
  else
    w->style &= ~WS_VISIBLE;
  SendMessageA(window, WM_SHOWWINDOW, show ? TRUE : FALSE, 0);
  w = Find(window);
  if (!w) return wasVisible;
  State& s = S();
  if (w->xwin && s.display) {
    if (show) {
      XMapRaised(s.display, w->xwin);
      XFlush(s.display);
      WaitForMap(*w);
    } else {
      XUnmapWindow(s.display, w->xwin);
      XFlush(s.display);
    }
  }
  return wasVisible;
}

BOOL UpdateWindow(HWND window) { return Find(window) ? TRUE : FALSE; }

BOOL SetForegroundWindow(HWND window) {
  PlatWindow* w = Find(window);
  if (!w) return FALSE;
  if (w->xwin && S().display) XRaiseWindow(S().display, w->xwin);
  return TRUE;
}

HWND SetFocus(HWND window) {
  State& s = S();
  HWND previous = s.focus;
  PlatWindow* w = Find(window);
  if (!w) return previous;
  s.focus = window;
  if (w->xwin && s.display && w->mapped) XSetInputFocus(s.display, w->xwin, RevertToParent, CurrentTime);
  return previous;
}

BOOL SetWindowTextA(HWND window, LPCSTR text) {
  PlatWindow* w = Find(window);
  if (!w) return FALSE;
  w->title = text ? text : "";
  ApplyTitle(*w);
  return TRUE;
}

int GetWindowTextA(HWND window, LPSTR text, int size) {
  PlatWindow* w = Find(window);
  if (!w || !text || size <= 0) return 0;
  size_t n = std::min(w->title.size(), static_cast<size_t>(size - 1));
  std::memcpy(text, w->title.data(), n);
  text[n] = 0;
  return static_cast<int>(n);
}

LONG SetWindowLongA(HWND window, int index, LONG value) {
  PlatWindow* w = Find(window);
  if (!w || index != GWL_STYLE) return 0;
  LONG old = static_cast<LONG>(w->style);
  w->style = static_cast<DWORD>(value);
  ApplyFrame(*w);
  return old;
}

LONG GetWindowLongA(HWND window, int index) {
  PlatWindow* w = Find(window);
  return (w && index == GWL_STYLE) ? static_cast<LONG>(w->style) : 0;
}

BOOL SetWindowPos(HWND window, HWND, int x, int y, int width, int height, UINT flags) {
  PlatWindow* w = Find(window);
  if (!w) return FALSE;
  if (!(flags & SWP_NOMOVE)) {
    w->x = x;
    w->y = y;
  }
  if (!(flags & SWP_NOSIZE)) {
    // The size messages of the resize are answered here, once.
    w->input.width = std::max(0, width);
    w->input.height = std::max(0, height);
  }
  State& s = S();
  if (w->xwin && s.display) {
    ApplyFrame(*w);
    XMoveResizeWindow(s.display, w->xwin, w->x, w->y, static_cast<unsigned>(std::max(1, w->input.width)),
                      static_cast<unsigned>(std::max(1, w->input.height)));
    XFlush(s.display);
  }
  SendMessageA(window, WM_WINDOWPOSCHANGED, 0, 0);
  if ((flags & SWP_SHOWWINDOW) && Find(window)) ShowWindow(window, SW_SHOW);
  if ((flags & SWP_HIDEWINDOW) && Find(window)) ShowWindow(window, SW_HIDE);
  return TRUE;
}

BOOL GetClientRect(HWND window, RECT* rect) {
  PlatWindow* w = Find(window);
  if (!w || !rect) return FALSE;
  *rect = RECT{0, 0, w->input.width, w->input.height};
  return TRUE;
}

BOOL ScreenToClient(HWND window, POINT* point) {
  PlatWindow* w = Find(window);
  if (!w || !point) return FALSE;
  point->x -= w->rootOffsetX;
  point->y -= w->rootOffsetY;
  return TRUE;
}

int ShowCursor(BOOL show) {
  State& s = S();
  s.cursorHidden = !show;
  for (auto& [id, w] : s.windows) ApplyCursor(*w);
  if (s.display) XFlush(s.display);
  return s.cursorHidden ? -1 : 0;
}

HCURSOR LoadCursorA(HINSTANCE, LPCSTR name) {
  // Only the arrow is offered: it is X's default cursor.
  return name == IDC_ARROW ? reinterpret_cast<HCURSOR>(static_cast<UINT_PTR>(32512)) : nullptr;
}

HGDIOBJ GetStockObject(int object) {
  return object == BLACK_BRUSH ? reinterpret_cast<HGDIOBJ>(static_cast<UINT_PTR>(0x10 + object)) : nullptr;
}

BOOL PeekMessageA(MSG* msg, HWND window, UINT first, UINT last, UINT remove) {
  if (!msg) return FALSE;
  PumpX();
  auto& q = S().queue;
  auto it = std::find_if(q.begin(), q.end(), [&](const MSG& m) { return Matches(m, window, first, last); });
  if (it == q.end()) return FALSE;
  *msg = *it;
  if (remove & PM_REMOVE) q.erase(it);
  return TRUE;
}

BOOL TranslateMessage(const MSG* msg) {
  // Character messages are not produced: nothing here reads them.
  if (!msg) return FALSE;
  return (msg->message == WM_KEYDOWN || msg->message == WM_SYSKEYDOWN) ? TRUE : FALSE;
}

LRESULT DispatchMessageA(const MSG* msg) {
  if (!msg) return 0;
  PlatWindow* w = Find(msg->hwnd);
  if (!w) return 0;
  return Deliver(w, msg->message, msg->wParam, msg->lParam);
}

BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (window && !Find(window)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  MSG m{};
  m.hwnd = window;
  m.message = message;
  m.wParam = wParam;
  m.lParam = lParam;
  m.time = NowMs();
  Enqueue(m);
  return TRUE;
}

LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  PlatWindow* w = Find(window);
  return w ? Deliver(w, message, wParam, lParam) : 0;
}

LRESULT DefWindowProcA(HWND window, UINT message, WPARAM, LPARAM) {
  if (message == WM_CLOSE) DestroyWindow(window);
  return 0;
}

HDC GetDC(HWND window) {
  if (!window) return reinterpret_cast<HDC>(kScreenDC);
  return Find(window) ? reinterpret_cast<HDC>(Id(window) + 1) : nullptr;
}

int ReleaseDC(HWND, HDC dc) { return dc ? 1 : 0; }

HWND WindowFromDC(HDC dc) {
  UINT_PTR id = Id(dc);
  if (id < kFirstWindow || (id & (kHandleStep - 1)) != 1) return nullptr;
  HWND window = ToHandle(id - 1);
  return Find(window) ? window : nullptr;
}
