// Windows, messages, device contexts and the cursor over Xlib.
//
// A window is an entry of our own table: it has a class, a window procedure,
// a style, a title and a client size, and, when a display is open, an X
// window. X events become Windows messages in one queue that PeekMessageA
// reads; tests post messages into that queue directly and can run windows
// without a display (plat::SetHeadlessWindows).
#pragma once
#include "platform/win32.h"

typedef HANDLE HDC;
typedef HANDLE HGLRC;
typedef HANDLE HINSTANCE;
typedef HANDLE HCURSOR;
typedef HANDLE HICON;
typedef HANDLE HBRUSH;
typedef HANDLE HMENU;
typedef HANDLE HGDIOBJ;
typedef UINT_PTR WPARAM;
typedef INT_PTR LPARAM;
typedef INT_PTR LRESULT;
typedef WORD ATOM;
typedef LRESULT (*WNDPROC)(HWND, UINT, WPARAM, LPARAM);

struct POINT {
  LONG x;
  LONG y;
};
struct RECT {
  LONG left;
  LONG top;
  LONG right;
  LONG bottom;
};
struct MSG {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  DWORD time;
  POINT pt;
};
struct WNDCLASSA {
  UINT style;
  WNDPROC lpfnWndProc;
  int cbClsExtra;
  int cbWndExtra;
  HINSTANCE hInstance;
  HICON hIcon;
  HCURSOR hCursor;
  HBRUSH hbrBackground;
  LPCSTR lpszMenuName;
  LPCSTR lpszClassName;
};

#define LOWORD(l) (static_cast<WORD>(static_cast<UINT_PTR>(l) & 0xFFFFu))
#define HIWORD(l) (static_cast<WORD>((static_cast<UINT_PTR>(l) >> 16) & 0xFFFFu))
#define MAKELPARAM(lo, hi) \
  (static_cast<LPARAM>(static_cast<DWORD>((static_cast<DWORD>(lo) & 0xFFFFu) | ((static_cast<DWORD>(hi) & 0xFFFFu) << 16))))
#define MAKEWPARAM(lo, hi) \
  (static_cast<WPARAM>(static_cast<DWORD>((static_cast<DWORD>(lo) & 0xFFFFu) | ((static_cast<DWORD>(hi) & 0xFFFFu) << 16))))
#define GET_WHEEL_DELTA_WPARAM(w) (static_cast<short>(HIWORD(w)))
#define WHEEL_DELTA 120

// --- messages ------------------------------------------------------------------
#define WM_NULL 0x0000u
#define WM_CREATE 0x0001u
#define WM_DESTROY 0x0002u
#define WM_MOVE 0x0003u
#define WM_SIZE 0x0005u
#define WM_SETFOCUS 0x0007u
#define WM_KILLFOCUS 0x0008u
#define WM_CLOSE 0x0010u
#define WM_QUIT 0x0012u
#define WM_SHOWWINDOW 0x0018u
#define WM_WINDOWPOSCHANGED 0x0047u
#define WM_NCDESTROY 0x0082u
#define WM_KEYDOWN 0x0100u
#define WM_KEYUP 0x0101u
#define WM_CHAR 0x0102u
#define WM_SYSKEYDOWN 0x0104u
#define WM_SYSKEYUP 0x0105u
#define WM_MOUSEMOVE 0x0200u
#define WM_LBUTTONDOWN 0x0201u
#define WM_LBUTTONUP 0x0202u
#define WM_RBUTTONDOWN 0x0204u
#define WM_RBUTTONUP 0x0205u
#define WM_MBUTTONDOWN 0x0207u
#define WM_MBUTTONUP 0x0208u
#define WM_MOUSEWHEEL 0x020Au
#define WM_SIZING 0x0214u
#define WM_USER 0x0400u

#define SIZE_RESTORED 0
#define MK_LBUTTON 0x0001u
#define MK_RBUTTON 0x0002u
#define MK_SHIFT 0x0004u
#define MK_CONTROL 0x0008u
#define MK_MBUTTON 0x0010u

// --- virtual keys ---------------------------------------------------------------
#define VK_BACK 0x08
#define VK_TAB 0x09
#define VK_RETURN 0x0D
#define VK_SHIFT 0x10
#define VK_CONTROL 0x11
#define VK_MENU 0x12
#define VK_PAUSE 0x13
#define VK_CAPITAL 0x14
#define VK_ESCAPE 0x1B
#define VK_SPACE 0x20
#define VK_PRIOR 0x21
#define VK_NEXT 0x22
#define VK_END 0x23
#define VK_HOME 0x24
#define VK_LEFT 0x25
#define VK_UP 0x26
#define VK_RIGHT 0x27
#define VK_DOWN 0x28
#define VK_SNAPSHOT 0x2C
#define VK_INSERT 0x2D
#define VK_DELETE 0x2E
#define VK_LWIN 0x5B
#define VK_RWIN 0x5C
#define VK_APPS 0x5D
#define VK_NUMPAD0 0x60
#define VK_NUMPAD1 0x61
#define VK_NUMPAD2 0x62
#define VK_NUMPAD3 0x63
#define VK_NUMPAD4 0x64
#define VK_NUMPAD5 0x65
#define VK_NUMPAD6 0x66
#define VK_NUMPAD7 0x67
#define VK_NUMPAD8 0x68
#define VK_NUMPAD9 0x69
#define VK_MULTIPLY 0x6A
#define VK_ADD 0x6B
#define VK_SUBTRACT 0x6D
#define VK_DECIMAL 0x6E
#define VK_DIVIDE 0x6F
#define VK_F1 0x70
#define VK_F10 0x79
#define VK_F12 0x7B
#define VK_NUMLOCK 0x90
#define VK_SCROLL 0x91
#define VK_LSHIFT 0xA0
#define VK_RSHIFT 0xA1
#define VK_OEM_1 0xBA
#define VK_OEM_PLUS 0xBB
#define VK_OEM_COMMA 0xBC
#define VK_OEM_MINUS 0xBD
#define VK_OEM_PERIOD 0xBE
#define VK_OEM_2 0xBF
#define VK_OEM_3 0xC0
#define VK_OEM_4 0xDB
#define VK_OEM_5 0xDC
#define VK_OEM_6 0xDD
#define VK_OEM_7 0xDE
#define VK_OEM_102 0xE2

// --- classes, styles, showing ------------------------------------------------------
#define CS_VREDRAW 0x0001u
#define CS_HREDRAW 0x0002u
#define CS_OWNDC 0x0020u

#define WS_OVERLAPPED 0x00000000u
#define WS_MAXIMIZEBOX 0x00010000u
#define WS_MINIMIZEBOX 0x00020000u
#define WS_THICKFRAME 0x00040000u
#define WS_SYSMENU 0x00080000u
#define WS_CAPTION 0x00C00000u
#define WS_VISIBLE 0x10000000u
#define WS_POPUP 0x80000000u

#define GWL_STYLE (-16)

#define SW_HIDE 0
#define SW_SHOWNORMAL 1
#define SW_SHOW 5

#define SWP_NOSIZE 0x0001u
#define SWP_NOMOVE 0x0002u
#define SWP_NOZORDER 0x0004u
#define SWP_SHOWWINDOW 0x0040u
#define SWP_HIDEWINDOW 0x0080u

#define PM_NOREMOVE 0x0000u
#define PM_REMOVE 0x0001u

// Resource and stock-object identifiers.
#define IDC_ARROW (reinterpret_cast<LPCSTR>(static_cast<UINT_PTR>(32512)))
#define BLACK_BRUSH 4

// GetDeviceCaps indexes.
#define HORZRES 8
#define VERTRES 10
#define BITSPIXEL 12
#define PLANES 14
#define VREFRESH 116

// --- functions ----------------------------------------------------------------------
ATOM RegisterClassA(const WNDCLASSA* windowClass);
BOOL UnregisterClassA(LPCSTR className, HINSTANCE instance);
HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR title, DWORD style, int x, int y, int width,
                     int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param);
BOOL DestroyWindow(HWND window);
BOOL IsWindow(HWND window);
BOOL AdjustWindowRect(RECT* rect, DWORD style, BOOL menu);
BOOL ShowWindow(HWND window, int command);
BOOL UpdateWindow(HWND window);
BOOL SetForegroundWindow(HWND window);
HWND SetFocus(HWND window);
BOOL SetWindowTextA(HWND window, LPCSTR text);
int GetWindowTextA(HWND window, LPSTR text, int size);
LONG SetWindowLongA(HWND window, int index, LONG value);
LONG GetWindowLongA(HWND window, int index);
BOOL SetWindowPos(HWND window, HWND after, int x, int y, int width, int height, UINT flags);
BOOL GetClientRect(HWND window, RECT* rect);
BOOL ScreenToClient(HWND window, POINT* point);
int ShowCursor(BOOL show);
HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR name);
HGDIOBJ GetStockObject(int object);

BOOL PeekMessageA(MSG* msg, HWND window, UINT first, UINT last, UINT remove);
BOOL TranslateMessage(const MSG* msg);
LRESULT DispatchMessageA(const MSG* msg);
BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

HDC GetDC(HWND window);
int ReleaseDC(HWND window, HDC dc);
HWND WindowFromDC(HDC dc);
int GetDeviceCaps(HDC dc, int index);

namespace plat {

// Test seam: windows made from now on use the headless back end (true) or
// the X11 one (false, the default). Headless windows have a client size, a
// style, a title and messages, but no pixels and no GL context.
void SetHeadlessWindows(bool headless);
// True when an X display could be opened (DISPLAY set and reachable).
bool DisplayAvailable();
// The display the window layer opens (the DISPLAY variable), or null when
// none is named; for telling the user which display could not be opened.
const char* DisplayName();

// Makes MessageBoxA show a small modal X window when a display is open.
void InstallX11MessageBox();

// Whether the cursor is hidden over our windows (ShowCursor keeps a flag,
// not a counter: one FALSE hides, one TRUE shows).
bool CursorHidden();

// X input reduced to what becomes a message, so the translation can be tested
// without a server. The modifier and button bits are X's own.
struct InputEvent {
  enum class Kind { KeyDown, KeyUp, ButtonDown, ButtonUp, Motion, Configure, CloseRequest };
  Kind kind = Kind::Motion;
  unsigned long keysym = 0;         // keysym of the key without modifiers (index 0)
  unsigned long keysymNumLock = 0;  // keysym with Num Lock (index 1), for the keypad
  unsigned state = 0;               // modifier and button state before the event
  unsigned button = 0;              // 1 left, 2 middle, 3 right, 4/5 wheel
  int x = 0, y = 0;                 // client position
  int rootX = 0, rootY = 0;         // screen position
  int width = 0, height = 0;        // client size (Configure)
  unsigned long time = 0;           // milliseconds
};
constexpr unsigned kShiftMask = 1u << 0;
constexpr unsigned kControlMask = 1u << 2;
constexpr unsigned kAltMask = 1u << 3;      // Mod1
constexpr unsigned kNumLockMask = 1u << 4;  // Mod2
constexpr unsigned kButton1Mask = 1u << 8;
constexpr unsigned kButton2Mask = 1u << 9;
constexpr unsigned kButton3Mask = 1u << 10;

// What one window remembers between events.
struct InputState {
  int width = 0, height = 0;
  bool keyDown[256] = {};
};

// Turns one input event into at most two messages (returns their count).
int TranslateInput(HWND window, const InputEvent& event, InputState& state, MSG out[2]);
// The Windows virtual key of a keysym; 0 when the key has none.
UINT VirtualKeyFromKeysym(unsigned long keysym);

}  // namespace plat
