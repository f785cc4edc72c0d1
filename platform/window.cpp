// Windows and the message queue: the Windows side of every window, over a
// back end that gives it pixels and input (X11, or headless for tests and
// for a program without a display).
//
// Handles are numbers, not pointers, so a stale handle is recognised and
// refused instead of reaching freed memory. A window's device context is its
// handle plus one (every window owns its context, as with CS_OWNDC); the
// screen's context is 1.
#include <algorithm>
#include <chrono>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <string>

#include "platform/kernel.h"
#include "platform/window_backend.h"

namespace {

using plat::win::Window;

constexpr UINT_PTR kScreenDC = 1;
constexpr UINT_PTR kFirstWindow = 0x1000;
constexpr UINT_PTR kHandleStep = 4;

constexpr DWORD kErrorClassExists = 1410;
constexpr DWORD kErrorNoSuchClass = 1407;
constexpr DWORD kErrorNoWindow = 1400;

struct WindowClass {
  UINT style = 0;
  WNDPROC proc = nullptr;
};

struct State {
  std::map<std::string, WindowClass> classes;
  std::map<UINT_PTR, std::unique_ptr<Window>> windows;
  std::deque<MSG> queue;
  UINT_PTR nextHandle = kFirstWindow;
  // Chosen once here, and again only by the test seam: no call asks which.
  const plat::win::Backend* backend = &plat::win::X11Backend();
  bool cursorHidden = false;
  HWND focus = nullptr;
};

// Made on first use and never destroyed: static destructors at exit may
// still post or destroy. Main thread only, as the window layer is.
State* state = nullptr;

State& S() {
  if (!state) state = std::make_unique<State>().release();
  return *state;
}

UINT_PTR Id(const void* handle) { return reinterpret_cast<UINT_PTR>(handle); }
HWND ToHandle(UINT_PTR id) { return reinterpret_cast<HWND>(id); }

std::string ClassKey(const char* name) {
  std::string key(name ? name : "");
  for (char& c : key)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  return key;
}

bool Matches(const MSG& m, HWND window, UINT first, UINT last) {
  if (window && m.hwnd != window) return false;
  if (first == 0 && last == 0) return true;
  return m.message >= first && m.message <= last;
}

LRESULT Deliver(Window* w, UINT message, WPARAM wParam, LPARAM lParam) {
  HWND h = w->handle;
  WNDPROC proc = w->proc;
  return proc ? proc(h, message, wParam, lParam) : DefWindowProcA(h, message, wParam, lParam);
}

}  // namespace

namespace plat::win {

Window* Find(HWND handle) {
  auto& w = S().windows;
  auto it = w.find(Id(handle));
  return it == w.end() ? nullptr : it->second.get();
}

void ForEachWindowDo(void (*visit)(Window& w, void* context), void* context) {
  // Without a table there is nothing to visit, and nothing is made here: a
  // fork-child handler walks the windows and must not allocate.
  if (!state) return;
  for (auto& [id, w] : state->windows) visit(*w, context);
}

void Enqueue(const MSG& message) { S().queue.push_back(message); }

DWORD NowMs() {
  using namespace std::chrono;
  return static_cast<DWORD>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

}  // namespace plat::win

namespace plat {

void SetHeadlessWindows(bool headless) { S().backend = headless ? &win::HeadlessBackend() : &win::X11Backend(); }
bool CursorHidden() { return S().cursorHidden; }

}  // namespace plat

using plat::win::Find;

ATOM RegisterClassA(const WNDCLASSA* windowClass) {
  if (!windowClass || !windowClass->lpszClassName || !*windowClass->lpszClassName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::string key = ClassKey(windowClass->lpszClassName);
  auto& classes = S().classes;
  if (classes.count(key)) {
    SetLastError(kErrorClassExists);
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
    SetLastError(kErrorNoSuchClass);
    return nullptr;
  }
  auto w = std::make_unique<Window>();
  w->backend = s.backend;
  w->handle = ToHandle(s.nextHandle);
  w->proc = cls->second.proc;
  w->style = style;
  w->title = title ? title : "";
  w->x = x;
  w->y = y;
  w->input.width = std::max(0, width);
  w->input.height = std::max(0, height);
  if (!w->backend->create(*w)) {
    SetLastError(kErrorNoWindow);  // no display: no window
    return nullptr;
  }
  s.nextHandle += kHandleStep;
  Window* created = w.get();
  s.windows[Id(created->handle)] = std::move(w);
  SendMessageA(created->handle, WM_CREATE, 0, 0);
  if (Find(created->handle) && (style & WS_VISIBLE)) ShowWindow(created->handle, SW_SHOW);
  return Find(created->handle) ? created->handle : nullptr;
}

BOOL DestroyWindow(HWND window) {
  Window* w = Find(window);
  if (!w) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  SendMessageA(window, WM_DESTROY, 0, 0);
  SendMessageA(window, WM_NCDESTROY, 0, 0);
  w = Find(window);  // the procedure may have destroyed it already
  if (!w) return TRUE;
  w->backend->destroy(*w);
  State& s = S();
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
  Window* w = Find(window);
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
  w->backend->show(*w, show);
  return wasVisible;
}

BOOL UpdateWindow(HWND window) { return Find(window) ? TRUE : FALSE; }

BOOL SetForegroundWindow(HWND window) {
  Window* w = Find(window);
  if (!w) return FALSE;
  w->backend->raise(*w);
  return TRUE;
}

HWND SetFocus(HWND window) {
  State& s = S();
  HWND previous = s.focus;
  Window* w = Find(window);
  if (!w) return previous;
  s.focus = window;
  w->backend->focus(*w);
  return previous;
}

BOOL SetWindowTextA(HWND window, LPCSTR text) {
  Window* w = Find(window);
  if (!w) return FALSE;
  w->title = text ? text : "";
  w->backend->applyTitle(*w);
  return TRUE;
}

int GetWindowTextA(HWND window, LPSTR text, int size) {
  Window* w = Find(window);
  if (!w || !text || size <= 0) return 0;
  size_t n = std::min(w->title.size(), static_cast<size_t>(size - 1));
  std::memcpy(text, w->title.data(), n);
  text[n] = 0;
  return static_cast<int>(n);
}

LONG SetWindowLongA(HWND window, int index, LONG value) {
  Window* w = Find(window);
  if (!w || index != GWL_STYLE) return 0;
  LONG old = static_cast<LONG>(w->style);
  w->style = static_cast<DWORD>(value);
  w->backend->applyFrame(*w);
  return old;
}

LONG GetWindowLongA(HWND window, int index) {
  Window* w = Find(window);
  return (w && index == GWL_STYLE) ? static_cast<LONG>(w->style) : 0;
}

BOOL SetWindowPos(HWND window, HWND, int x, int y, int width, int height, UINT flags) {
  Window* w = Find(window);
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
  w->backend->applyPlacement(*w);
  SendMessageA(window, WM_WINDOWPOSCHANGED, 0, 0);
  if ((flags & SWP_SHOWWINDOW) && Find(window)) ShowWindow(window, SW_SHOW);
  if ((flags & SWP_HIDEWINDOW) && Find(window)) ShowWindow(window, SW_HIDE);
  return TRUE;
}

BOOL GetClientRect(HWND window, RECT* rect) {
  Window* w = Find(window);
  if (!w || !rect) return FALSE;
  *rect = RECT{0, 0, w->input.width, w->input.height};
  return TRUE;
}

BOOL ScreenToClient(HWND window, POINT* point) {
  Window* w = Find(window);
  if (!w || !point) return FALSE;
  point->x -= w->rootOffsetX;
  point->y -= w->rootOffsetY;
  return TRUE;
}

int ShowCursor(BOOL show) {
  State& s = S();
  s.cursorHidden = !show;
  for (auto& [id, w] : s.windows) w->backend->applyCursor(*w);
  s.backend->flush();
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
  S().backend->pump();
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
  Window* w = Find(msg->hwnd);
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
  m.time = plat::win::NowMs();
  plat::win::Enqueue(m);
  return TRUE;
}

LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Window* w = Find(window);
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
