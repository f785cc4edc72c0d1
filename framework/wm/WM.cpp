// The window manager: window records, their options, showing with a GL
// context, the window procedure that turns messages into events, the pump.
#include <cstring>

#include "framework/base/log.h"
#include "framework/base/mem.h"
#include "framework/wm/gl.h"
#include "framework/wm/wm_internal.h"
#include "platform/kernel.h"

#define WM_LOG(level, ...) SYS_LOG_TAGGED(level, "[wm]", __VA_ARGS__)
#define WM_LOG_AS(level, fn, ...) SYS_LOG_TAGGED_AS(level, "[wm]", fn, __VA_ARGS__)

wm_state_t wmState;

namespace {

constexpr const char* kClassName = "Quarnel";

constexpr int32_t kKeyCodeCount = 256;

struct KeyCode {
  int vk;
  int32_t code;
};

// Along the rows of a full-size keyboard, left to right.
constexpr KeyCode kKeyCodes[] = {
    {VK_ESCAPE, 1}, {VK_F1, 2}, {VK_F1 + 1, 3}, {VK_F1 + 2, 4}, {VK_F1 + 3, 5}, {VK_F1 + 4, 6}, {VK_F1 + 5, 7},
    {VK_F1 + 6, 8}, {VK_F1 + 7, 9}, {VK_F1 + 8, 10}, {VK_F1 + 9, 11}, {VK_F1 + 10, 12}, {VK_F1 + 11, 13},
    {VK_SCROLL, 15}, {VK_PAUSE, 16},
    {VK_OEM_3, 17}, {'1', 18}, {'2', 19}, {'3', 20}, {'4', 21}, {'5', 22}, {'6', 23}, {'7', 24}, {'8', 25},
    {'9', 26}, {'0', 27}, {VK_OEM_MINUS, 28}, {VK_OEM_PLUS, 29}, {VK_BACK, 30}, {VK_INSERT, 31}, {VK_HOME, 32},
    {VK_PRIOR, 33}, {VK_NUMLOCK, 34}, {VK_DIVIDE, 35}, {VK_MULTIPLY, 36}, {VK_SUBTRACT, 37},
    {VK_TAB, 38}, {'Q', 39}, {'W', 40}, {'E', 41}, {'R', 42}, {'T', 43}, {'Y', 44}, {'U', 45}, {'I', 46},
    {'O', 47}, {'P', 48}, {VK_OEM_4, 49}, {VK_OEM_6, 50}, {VK_RETURN, 51}, {VK_DELETE, 52}, {VK_END, 53},
    {VK_NEXT, 54}, {VK_NUMPAD7, 55}, {VK_NUMPAD8, 56}, {VK_NUMPAD9, 57}, {VK_ADD, 58},
    {VK_CAPITAL, 59}, {'A', 60}, {'S', 61}, {'D', 62}, {'F', 63}, {'G', 64}, {'H', 65}, {'J', 66}, {'K', 67},
    {'L', 68}, {VK_OEM_1, 69}, {VK_OEM_7, 70}, {VK_OEM_102, 71}, {VK_NUMPAD4, 72}, {VK_NUMPAD5, 73},
    {VK_NUMPAD6, 74},
    {VK_LSHIFT, 75}, {VK_OEM_5, 76}, {'Z', 77}, {'X', 78}, {'C', 79}, {'V', 80}, {'B', 81}, {'N', 82}, {'M', 83},
    {VK_OEM_COMMA, 84}, {VK_OEM_PERIOD, 85}, {VK_OEM_2, 86}, {VK_RSHIFT, 87}, {VK_UP, 88}, {VK_NUMPAD1, 89},
    {VK_NUMPAD2, 90}, {VK_NUMPAD3, 91},
    {VK_SPACE, 95}, {VK_LEFT, 98}, {VK_DOWN, 99}, {VK_RIGHT, 100}, {VK_NUMPAD0, 101}, {VK_DECIMAL, 102},
    {VK_SHIFT, 106}, {VK_CONTROL, 107}, {VK_LWIN, 108}, {VK_RWIN, 108}, {VK_MENU, 109},
};
static_assert(sizeof kKeyCodes / sizeof kKeyCodes[0] == 101, "101 keys have a code");

struct KeyTable {
  int32_t codes[kKeyCodeCount];
};
constexpr KeyTable MakeKeyTable() {
  KeyTable t{};
  for (const auto& k : kKeyCodes) t.codes[k.vk] = k.code;
  return t;
}
constexpr KeyTable kKeyTable = MakeKeyTable();

int Detail() { return SYS_DBG_MSG; }

char* CopyText(const char* text) {
  const char* t = text ? text : "";
  size_t n = std::strlen(t) + 1;
  auto* copy = static_cast<char*>(SYS_MemGet(n));
  if (copy) std::memcpy(copy, t, n);
  return copy;
}

void ShowCursorTwice(bool show) {
  // Two calls, as the window manager always makes them: the system counts.
  ShowCursor(show ? TRUE : FALSE);
  ShowCursor(show ? TRUE : FALSE);
}

void SetResizable(wm_window_t* w, bool on) {
  w->resizable = on ? 1 : 0;
  if (on)
    w->style |= WS_THICKFRAME;
  else
    w->style &= ~static_cast<uint32_t>(WS_THICKFRAME);
  if (w->hwnd) SetWindowLongA(w->hwnd, GWL_STYLE, static_cast<LONG>(w->style));
}

void SetFrameless(wm_window_t* w, bool on) {
  w->frameless = on ? 1 : 0;
  if (on)
    w->style &= WM_STYLE_FRAMELESS_MASK;
  else
    w->style |= WM_STYLE_DEFAULT;
  if (w->hwnd) {
    ShowWindow(w->hwnd, SW_HIDE);
    SetWindowLongA(w->hwnd, GWL_STYLE, static_cast<LONG>(w->style));
    ShowWindow(w->hwnd, SW_SHOW);
  }
}

void SetGeometry(wm_window_t* w, const wm_conf_t* conf) {
  if (!conf) return;
  w->x = conf->x;
  w->y = conf->y;
  w->width = conf->width;
  w->height = conf->height;
  if (w->hwnd) SetWindowPos(w->hwnd, nullptr, w->x, w->y, w->width, w->height, SWP_SHOWWINDOW);
}

void SetTitle(wm_window_t* w, const char* text) {
  SYS_MemFree(w->title);
  w->title = CopyText(text);
  if (w->hwnd) SetWindowTextA(w->hwnd, w->title ? w->title : "");
}

bool IsGlobalOption(uint32_t option) {
  switch (option) {
    case WM_OPT_DRIVER_NAME: case WM_OPT_VIDEO_MEMORY:
    case WM_OPT_DESKTOP_WIDTH: case WM_OPT_DESKTOP_HEIGHT: case WM_OPT_DESKTOP_BITS: case WM_OPT_DESKTOP_FREQUENCY:
      return true;
    default:
      return false;
  }
}

bool IsWindowOption(uint32_t option) {
  switch (option) {
    case WM_OPT_CALLBACK: case WM_OPT_SET_GEOMETRY: case WM_OPT_WIDTH: case WM_OPT_HEIGHT: case WM_OPT_X:
    case WM_OPT_Y: case WM_OPT_GET_GEOMETRY: case WM_OPT_HIDE_CURSOR: case WM_OPT_FULLSCREEN: case WM_OPT_TITLE:
    case WM_OPT_FRAMELESS: case WM_OPT_SET_USERDATA: case WM_OPT_GET_USERDATA: case WM_OPT_RESIZABLE:
      return true;
    default:
      return false;
  }
}

intptr_t GlobalOption(uint32_t option) {
  switch (option) {
    case WM_OPT_DRIVER_NAME: return reinterpret_cast<intptr_t>(wmState.driverName);
    case WM_OPT_VIDEO_MEMORY: return wmState.videoMemory;
    case WM_OPT_DESKTOP_WIDTH: return wmState.desktopWidth;
    case WM_OPT_DESKTOP_HEIGHT: return wmState.desktopHeight;
    case WM_OPT_DESKTOP_BITS: return wmState.desktopBits;
    case WM_OPT_DESKTOP_FREQUENCY: return wmState.desktopFrequency;
    default: return 0;
  }
}

// fn: the framework function that asks, named in the log line.
intptr_t WindowOption(wm_window_t* w, uint32_t option, intptr_t value, const char* fn) {
  switch (option) {
    case WM_OPT_CALLBACK: w->callback = reinterpret_cast<wm_callback_t>(value); return 0;
    case WM_OPT_SET_GEOMETRY: SetGeometry(w, reinterpret_cast<const wm_conf_t*>(value)); return 0;
    case WM_OPT_WIDTH: return w->width;
    case WM_OPT_HEIGHT: return w->height;
    case WM_OPT_X: return w->x;
    case WM_OPT_Y: return w->y;
    case WM_OPT_GET_GEOMETRY:
      if (auto* conf = reinterpret_cast<wm_conf_t*>(value)) {
        conf->x = w->x;
        conf->y = w->y;
        conf->width = w->width;
        conf->height = w->height;
      }
      return 0;
    case WM_OPT_HIDE_CURSOR:
      w->hideCursor = value != 0;
      ShowCursorTwice(value == 0);
      return 0;
    case WM_OPT_FULLSCREEN:
      w->fullscreen = value != 0;
      if (w->hwnd) WM_LOG_AS(Detail(), fn, "  ! TODO: switch fullscreen (%s:%d)\n", SYS_SrcName(__FILE__), __LINE__);
      return 0;
    case WM_OPT_TITLE: SetTitle(w, reinterpret_cast<const char*>(value)); return 0;
    case WM_OPT_FRAMELESS: SetFrameless(w, value != 0); return 0;
    case WM_OPT_SET_USERDATA: w->userData = value; return 0;
    case WM_OPT_GET_USERDATA: return w->userData;
    case WM_OPT_RESIZABLE: SetResizable(w, value != 0); return 0;
    default: return 0;
  }
}

// --- the GL report of a new context ---------------------------------------------
// fn: the framework function that made the context, named in the log lines.

void LogGLString(const char* name, GLenum which, const char* fn) {
  const GLubyte* s = wmWGL.glGetString ? wmWGL.glGetString(which) : nullptr;
  WM_LOG_AS(Detail(), fn, "  - %s: %s\n", name, s ? reinterpret_cast<const char*>(s) : "");
}

void LogGLReport(const char* fn) {
  LogGLString("GL_VENDOR", GL_VENDOR, fn);
  LogGLString("GL_RENDERER", GL_RENDERER, fn);
  LogGLString("GL_VERSION", GL_VERSION, fn);
  LogGLString("GL_SHADING_LANGUAGE_VERSION", GL_SHADING_LANGUAGE_VERSION, fn);
  LogGLString("GL_EXTENSIONS", GL_EXTENSIONS, fn);
  static const struct {
    const char* name;
    GLenum which;
  } kLimits[] = {
      {"GL_MAX_TEXTURE_UNITS", GL_MAX_TEXTURE_UNITS},
      {"GL_MAX_VERTEX_ATTRIBS_ARB", GL_MAX_VERTEX_ATTRIBS_ARB},
      {"GL_MAX_VERTEX_UNIFORM_COMPONENTS_ARB", GL_MAX_VERTEX_UNIFORM_COMPONENTS_ARB},
      {"GL_MAX_VERTEX_TEXTURE_IMAGE_UNITS_ARB", GL_MAX_VERTEX_TEXTURE_IMAGE_UNITS_ARB},
      {"GL_MAX_VARYING_FLOATS_ARB", GL_MAX_VARYING_FLOATS_ARB},
      {"GL_MAX_TEXTURE_IMAGE_UNITS_ARB", GL_MAX_TEXTURE_IMAGE_UNITS_ARB},
      {"GL_MAX_TEXTURE_COORDS_ARB", GL_MAX_TEXTURE_COORDS_ARB},
      {"GL_MAX_COMBINED_TEXTURE_IMAGE_UNITS_ARB", GL_MAX_COMBINED_TEXTURE_IMAGE_UNITS_ARB},
      {"GL_MAX_FRAGMENT_UNIFORM_COMPONENTS_ARB", GL_MAX_FRAGMENT_UNIFORM_COMPONENTS_ARB},
  };
  // One variable in turn: a query the driver does not answer logs the value
  // before it.
  GLint value = 0;
  for (const auto& limit : kLimits) {
    if (wmWGL.glGetIntegerv) wmWGL.glGetIntegerv(limit.which, &value);
    WM_LOG_AS(Detail(), fn, "  - %s: %d\n", limit.name, value);
  }
  // A query the driver refuses leaves an error queued; later users would
  // take it for theirs.
  if (wmWGL.glGetError)
    for (int i = 0; i < 64 && wmWGL.glGetError() != GL_NO_ERROR; ++i) {
    }
}

bool RegisterClass() {
  if (wmState.classRegistered) return true;
  WNDCLASSA wc{};
  wc.style = CS_OWNDC | CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = wmWindowProc;
  wc.hInstance = wmState.instance;
  wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  wc.lpszClassName = kClassName;
  wmState.classRegistered = RegisterClassA(&wc) != 0;
  return wmState.classRegistered;
}

// Makes a shown window visible again with its context current.
int ShowAgain(wm_window_t* w) {
  ShowWindow(w->hwnd, SW_SHOW);
  SetForegroundWindow(w->hwnd);
  UpdateWindow(w->hwnd);
  SetFocus(w->hwnd);
  if (!w->glContext && wglContextCreate(w) != 0) {
    errSetLastError(WM_ERR_GL);
    return -1;
  }
  wmMakeCurrent(w);
  return 0;
}

void FillMouse(wm_window_t* w, wm_event_t& ev, LPARAM lParam) {
  ev.type = WM_EVENT_MOUSE;
  ev.mouse.left = w->leftHeld;
  ev.mouse.right = w->rightHeld;
  ev.mouse.middle = w->middleHeld;
  // Both coordinates are signed: a held button reports positions left of
  // and above the window as negative numbers.
  ev.mouse.x = static_cast<int16_t>(LOWORD(lParam));
  ev.mouse.y = static_cast<int16_t>(HIWORD(lParam));
  ev.mouse.dx = ev.mouse.x - w->lastMouseX;
  ev.mouse.dy = ev.mouse.y - w->lastMouseY;
  w->lastMouseX = ev.mouse.x;
  w->lastMouseY = ev.mouse.y;
}

// Wheel messages carry screen coordinates; events are in client ones.
LPARAM WheelToClient(HWND hwnd, LPARAM lParam) {
  POINT p{static_cast<int16_t>(LOWORD(lParam)), static_cast<int16_t>(HIWORD(lParam))};
  ScreenToClient(hwnd, &p);
  return MAKELPARAM(p.x, p.y);
}

void FillSize(wm_window_t* w, wm_event_t& ev) {
  ev.type = WM_EVENT_WINDOW;
  ev.conf.action = WM_CONF_SIZE;
  RECT r{};
  GetClientRect(w->hwnd, &r);
  ev.conf.width = r.right - r.left;
  ev.conf.height = r.bottom - r.top;
  w->width = ev.conf.width;
  w->height = ev.conf.height;
}

void SetButton(wm_window_t* w, wm_event_t& ev, int32_t& held, int32_t state, int32_t action, LPARAM lParam) {
  held = state;
  ev.mouse.action = action;
  FillMouse(w, ev, lParam);
}

}  // namespace

const int32_t wm_keytable[256] = {
#define K(i) kKeyTable.codes[i]
#define K8(i) K(i), K(i + 1), K(i + 2), K(i + 3), K(i + 4), K(i + 5), K(i + 6), K(i + 7)
#define K64(i) K8(i), K8(i + 8), K8(i + 16), K8(i + 24), K8(i + 32), K8(i + 40), K8(i + 48), K8(i + 56)
    K64(0), K64(64), K64(128), K64(192)
#undef K64
#undef K8
#undef K
};

wm_window_t* wmFindWindow(HWND hwnd) {
  if (!hwnd) return nullptr;
  for (SYS_List_p node = wmState.windows; node; node = node->next) {
    auto* w = static_cast<wm_window_t*>(node->data);
    if (w && w->hwnd == hwnd) return w;
  }
  return nullptr;
}

int wmInit(void) {
  errClear();
  wmState.instance = GetModuleHandleA(nullptr);
  plat::InstallX11MessageBox();
  WM_LOG(Detail(), "   - initialize WGL subsystem...\n");
  if (wglInit() != 0) {
    WM_LOG(Detail(), "  ! FATAL ERROR in WGL initialization.\n");
    errSetLastError(WM_ERR_GL);
    return -1;
  }
  WM_LOG(Detail(), "  ...done.\n");
  if (gl_stub() != 0) {
    WM_LOG(Detail(), "  ! FATAL ERROR in OpenGL initialization.\n");
    errSetLastError(WM_ERR_GL);
    return -1;
  }
  WM_LOG(Detail(), "   - initialize DirectX subsystem...\n");
  if (ddInit() == 0) {
    SYS_MemFree(wmState.driverName);
    wmState.driverName = ddGetDriverName();
    wmState.videoMemory = ddCheckVideoMemory();
  }
  WM_LOG(Detail(), "  ...done.\n");
  dpmsInit();
  dpmsEnable(0);
  dmInit();
  if (!RegisterClass()) {
    errSetLastError(WM_ERR_CLASS);
    return -1;
  }
  return 0;
}

int wmDone(void) {
  errClear();
  ddDone();
  wglDone();
  dpmsDone();
  dmDone();
  return 0;
}

wm_window_t* wmNewWindow(int32_t x, int32_t y, int32_t width, int32_t height) {
  errClear();
  auto* w = static_cast<wm_window_t*>(SYS_MemGet(sizeof(wm_window_t)));
  if (!w) {
    errSetLastError(ERR_NOMEM);
    return nullptr;
  }
  std::memset(static_cast<void*>(w), 0, sizeof *w);
  w->x = x;
  w->y = y;
  w->width = width;
  w->height = height;
  w->style = WM_STYLE_DEFAULT;
  SYS_List_p head = SYS_ListAddFirst(wmState.windows, w);
  if (!head) {
    SYS_MemFree(w);
    errSetLastError(ERR_NOMEM);
    return nullptr;
  }
  wmState.windows = head;
  return w;
}

intptr_t wmOptions(wm_window_t* window, uint32_t option, intptr_t value) {
  errClear();
  if (IsGlobalOption(option)) return GlobalOption(option);
  if (!IsWindowOption(option)) return 0;
  if (!window) {
    errSetLastError(WM_ERR_NOWINDOW);
    return -1;
  }
  return WindowOption(window, option, value, __func__);
}

int wmShowWindow(wm_window_t* w) {
  errClear();
  if (!w) {
    errSetLastError(ERR_BADARG);
    return -1;
  }
  SetResizable(w, w->resizable != 0);
  // A window shown before comes back as it was, with its context.
  if (w->hwnd) return ShowAgain(w);
  RECT r{w->x, w->y, w->x + w->width, w->y + w->height};
  AdjustWindowRect(&r, w->style, FALSE);
  DWORD style = w->style | (w->fullscreen ? WM_STYLE_FULLSCREEN : 0u);
  w->hwnd = CreateWindowExA(0, kClassName, w->title ? w->title : "", style, r.left, r.top, r.right - r.left,
                            r.bottom - r.top, nullptr, nullptr, wmState.instance, nullptr);
  if (!w->hwnd) {
    errSetLastError(WM_ERR_CREATE);
    return -1;
  }
  ShowCursorTwice(!w->hideCursor);
  ShowWindow(w->hwnd, SW_SHOW);
  SetForegroundWindow(w->hwnd);
  UpdateWindow(w->hwnd);
  SetFocus(w->hwnd);
  if (wglContextCreate(w) != 0) {
    errSetLastError(WM_ERR_GL);
    return -1;
  }
  LogGLReport(__func__);
  return 0;
}

int wmHideWindow(wm_window_t* w) {
  errClear();
  if (!w) {
    errSetLastError(ERR_BADARG);
    return -1;
  }
  if (w->hwnd) ShowWindow(w->hwnd, SW_HIDE);
  return 0;
}

int wmDestroyWindow(wm_window_t* w) {
  errClear();
  if (!w) {
    errSetLastError(ERR_BADARG);
    return -1;
  }
  if (w->hwnd) {
    ShowWindow(w->hwnd, SW_HIDE);
    ShowCursor(TRUE);
    wglContextRelease(w);
    // The close event of WM_DESTROY reaches the callback while the record
    // is still listed.
    DestroyWindow(w->hwnd);
    w->hwnd = nullptr;
  }
  if (wmState.windows) wmState.windows = SYS_ListDelItem(wmState.windows, w);
  SYS_MemFree(w->title);
  SYS_MemFree(w);
  return 0;
}

int wmPumpMessages(void) {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return 0;
}

int wmSwapBuffers(wm_window_t* w) {
  if (!w || !w->hdc) return 0;
  return SwapBuffers(w->hdc);
}

int wmMakeCurrent(wm_window_t* w) {
  // A released context is gone: nothing to make current.
  if (!w || !w->hdc || !w->glContext || !wmWGL.wglMakeCurrent) return 0;
  return wmWGL.wglMakeCurrent(w->hdc, w->glContext);
}

void wmTransitionBegin(int32_t, float) { errClear(); }
void wmTransitionEnd(void) { errClear(); }

LRESULT wmWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  wm_window_t* w = wmFindWindow(hwnd);
  if (!w) return DefWindowProcA(hwnd, message, wParam, lParam);
  wm_event_t ev{};
  ev.window = w;
  switch (message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYUP:
      ev.type = WM_EVENT_KEY;
      ev.key.action = (message == WM_KEYDOWN || message == WM_SYSKEYDOWN) ? WM_KEY_DOWN : WM_KEY_UP;
      ev.key.code = wParam < 256 ? wm_keytable[wParam] : 0;
      break;
    case WM_MOUSEMOVE:
      ev.mouse.action = 0;
      FillMouse(w, ev, lParam);
      break;
    case WM_LBUTTONDOWN: SetButton(w, ev, w->leftHeld, 1, 1, lParam); break;
    case WM_LBUTTONUP: SetButton(w, ev, w->leftHeld, 0, 4, lParam); break;
    case WM_RBUTTONDOWN: SetButton(w, ev, w->rightHeld, 1, 2, lParam); break;
    case WM_RBUTTONUP: SetButton(w, ev, w->rightHeld, 0, 5, lParam); break;
    case WM_MBUTTONDOWN: SetButton(w, ev, w->middleHeld, 1, 3, lParam); break;
    case WM_MBUTTONUP: SetButton(w, ev, w->middleHeld, 0, 6, lParam); break;
    case WM_MOUSEWHEEL:
      ev.mouse.action = 0;
      if (GET_WHEEL_DELTA_WPARAM(wParam) > 0)
        ev.mouse.wheelForward = 1;
      else
        ev.mouse.wheelBackward = 1;
      FillMouse(w, ev, WheelToClient(hwnd, lParam));
      break;
    case WM_CLOSE:
    case WM_DESTROY:
      ev.type = WM_EVENT_WINDOW;
      ev.conf.action = WM_CONF_CLOSE;
      break;
    case WM_SIZE:
    case WM_SIZING:
    case WM_WINDOWPOSCHANGED:
      // The stored position stays the one the window was placed at.
      FillSize(w, ev);
      break;
    default:
      return DefWindowProcA(hwnd, message, wParam, lParam);
  }
  if (w->callback) w->callback(&ev);
  return 0;
}
