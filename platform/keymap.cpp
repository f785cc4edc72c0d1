// X input to Windows messages: keysyms to virtual keys, buttons to button and
// wheel messages, configure and close requests to size and close messages.
// Kept free of any server call, so every case can be tested without one.
#include <X11/keysym.h>

#include "platform/window.h"

namespace plat {

namespace {

struct KeysymVk {
  unsigned long keysym;
  UINT vk;
};

// Keys whose keysym does not follow from a range below.
constexpr KeysymVk kKeys[] = {
    {XK_BackSpace, VK_BACK},     {XK_Tab, VK_TAB},
    {XK_ISO_Left_Tab, VK_TAB},   {XK_Return, VK_RETURN},
    {XK_KP_Enter, VK_RETURN},    {XK_Pause, VK_PAUSE},
    {XK_Break, VK_PAUSE},        {XK_Caps_Lock, VK_CAPITAL},
    {XK_Escape, VK_ESCAPE},      {XK_space, VK_SPACE},
    {XK_Prior, VK_PRIOR},        {XK_Next, VK_NEXT},
    {XK_End, VK_END},            {XK_Home, VK_HOME},
    {XK_Left, VK_LEFT},          {XK_Up, VK_UP},
    {XK_Right, VK_RIGHT},        {XK_Down, VK_DOWN},
    {XK_Print, VK_SNAPSHOT},     {XK_Insert, VK_INSERT},
    {XK_Delete, VK_DELETE},      {XK_Super_L, VK_LWIN},
    {XK_Super_R, VK_RWIN},       {XK_Menu, VK_APPS},
    {XK_Num_Lock, VK_NUMLOCK},   {XK_Scroll_Lock, VK_SCROLL},
    {XK_Shift_L, VK_SHIFT},      {XK_Shift_R, VK_SHIFT},
    {XK_Control_L, VK_CONTROL},  {XK_Control_R, VK_CONTROL},
    {XK_Alt_L, VK_MENU},         {XK_Alt_R, VK_MENU},
    {XK_Meta_L, VK_MENU},        {XK_Meta_R, VK_MENU},
    {XK_ISO_Level3_Shift, VK_MENU},
    {XK_semicolon, VK_OEM_1},    {XK_equal, VK_OEM_PLUS},
    {XK_comma, VK_OEM_COMMA},    {XK_minus, VK_OEM_MINUS},
    {XK_period, VK_OEM_PERIOD},  {XK_slash, VK_OEM_2},
    {XK_grave, VK_OEM_3},        {XK_bracketleft, VK_OEM_4},
    {XK_backslash, VK_OEM_5},    {XK_bracketright, VK_OEM_6},
    {XK_apostrophe, VK_OEM_7},   {XK_less, VK_OEM_102},
    // The keypad without Num Lock gives the cursor block's keys.
    {XK_KP_Home, VK_HOME},       {XK_KP_Up, VK_UP},
    {XK_KP_Prior, VK_PRIOR},     {XK_KP_Left, VK_LEFT},
    {XK_KP_Begin, 0x0C},         {XK_KP_Right, VK_RIGHT},
    {XK_KP_End, VK_END},         {XK_KP_Down, VK_DOWN},
    {XK_KP_Next, VK_NEXT},       {XK_KP_Insert, VK_INSERT},
    {XK_KP_Delete, VK_DELETE},   {XK_KP_Divide, VK_DIVIDE},
    {XK_KP_Multiply, VK_MULTIPLY}, {XK_KP_Subtract, VK_SUBTRACT},
    {XK_KP_Add, VK_ADD},         {XK_KP_Decimal, VK_DECIMAL},
    {XK_KP_Separator, VK_DECIMAL},
};

bool IsKeypadDigitOrDecimal(unsigned long keysym) {
  return (keysym >= XK_KP_0 && keysym <= XK_KP_9) || keysym == XK_KP_Decimal || keysym == XK_KP_Separator;
}

// The keysym that decides the virtual key: with Num Lock on, the keypad's
// digits and decimal point; otherwise the key's plain keysym.
unsigned long EffectiveKeysym(const InputEvent& e) {
  if ((e.state & kNumLockMask) && IsKeypadDigitOrDecimal(e.keysymNumLock)) return e.keysymNumLock;
  return e.keysym;
}

// Key-message flags in lParam: repeat count 1, previous state in bit 30,
// transition in bit 31.
LPARAM KeyFlags(bool press, bool wasDown) {
  DWORD flags = 1;
  if (wasDown || !press) flags |= 1u << 30;
  if (!press) flags |= 1u << 31;
  return static_cast<LPARAM>(flags);
}

WPARAM MouseKeyState(unsigned state) {
  WPARAM w = 0;
  if (state & kButton1Mask) w |= MK_LBUTTON;
  if (state & kButton3Mask) w |= MK_RBUTTON;
  if (state & kButton2Mask) w |= MK_MBUTTON;
  if (state & kShiftMask) w |= MK_SHIFT;
  if (state & kControlMask) w |= MK_CONTROL;
  return w;
}

// X reports the button state before the event; messages carry it after.
unsigned ButtonMask(unsigned button) {
  switch (button) {
    case 1: return kButton1Mask;
    case 2: return kButton2Mask;
    case 3: return kButton3Mask;
    default: return 0;
  }
}

MSG Message(HWND window, UINT message, WPARAM w, LPARAM l, const InputEvent& e) {
  MSG m{};
  m.hwnd = window;
  m.message = message;
  m.wParam = w;
  m.lParam = l;
  m.time = static_cast<DWORD>(e.time);
  m.pt.x = e.rootX;
  m.pt.y = e.rootY;
  return m;
}

int TranslateKey(HWND window, const InputEvent& e, InputState& state, MSG out[2]) {
  bool press = e.kind == InputEvent::Kind::KeyDown;
  UINT vk = VirtualKeyFromKeysym(EffectiveKeysym(e));
  // Alt itself, F10 and every key while Alt is held are system keys.
  bool system = vk == VK_MENU || vk == VK_F10 || (e.state & kAltMask);
  bool wasDown = vk < 256 && state.keyDown[vk];
  if (vk < 256) state.keyDown[vk] = press;
  UINT message = press ? (system ? WM_SYSKEYDOWN : WM_KEYDOWN) : (system ? WM_SYSKEYUP : WM_KEYUP);
  out[0] = Message(window, message, vk, KeyFlags(press, wasDown), e);
  return 1;
}

int TranslateButton(HWND window, const InputEvent& e, MSG out[2]) {
  bool press = e.kind == InputEvent::Kind::ButtonDown;
  if (e.button == 4 || e.button == 5) {
    // A wheel notch arrives as a press and a release; only the press counts.
    if (!press) return 0;
    int delta = e.button == 4 ? WHEEL_DELTA : -WHEEL_DELTA;
    WPARAM w = MAKEWPARAM(MouseKeyState(e.state), static_cast<WORD>(static_cast<short>(delta)));
    out[0] = Message(window, WM_MOUSEWHEEL, w, MAKELPARAM(e.rootX, e.rootY), e);
    return 1;
  }
  UINT message;
  switch (e.button) {
    case 1: message = press ? WM_LBUTTONDOWN : WM_LBUTTONUP; break;
    case 2: message = press ? WM_MBUTTONDOWN : WM_MBUTTONUP; break;
    case 3: message = press ? WM_RBUTTONDOWN : WM_RBUTTONUP; break;
    default: return 0;  // horizontal scrolling and extra buttons have no message
  }
  unsigned after = press ? (e.state | ButtonMask(e.button)) : (e.state & ~ButtonMask(e.button));
  out[0] = Message(window, message, MouseKeyState(after), MAKELPARAM(e.x, e.y), e);
  return 1;
}

}  // namespace

UINT VirtualKeyFromKeysym(unsigned long keysym) {
  if (keysym >= XK_a && keysym <= XK_z) return static_cast<UINT>('A' + (keysym - XK_a));
  if (keysym >= XK_A && keysym <= XK_Z) return static_cast<UINT>('A' + (keysym - XK_A));
  if (keysym >= XK_0 && keysym <= XK_9) return static_cast<UINT>('0' + (keysym - XK_0));
  if (keysym >= XK_F1 && keysym <= XK_F12) return static_cast<UINT>(VK_F1 + (keysym - XK_F1));
  if (keysym >= XK_KP_0 && keysym <= XK_KP_9) return static_cast<UINT>(VK_NUMPAD0 + (keysym - XK_KP_0));
  for (const auto& k : kKeys)
    if (k.keysym == keysym) return k.vk;
  return 0;
}

int TranslateInput(HWND window, const InputEvent& e, InputState& state, MSG out[2]) {
  switch (e.kind) {
    case InputEvent::Kind::KeyDown:
    case InputEvent::Kind::KeyUp:
      return TranslateKey(window, e, state, out);
    case InputEvent::Kind::ButtonDown:
    case InputEvent::Kind::ButtonUp:
      return TranslateButton(window, e, out);
    case InputEvent::Kind::Motion:
      out[0] = Message(window, WM_MOUSEMOVE, MouseKeyState(e.state), MAKELPARAM(e.x, e.y), e);
      return 1;
    case InputEvent::Kind::Configure:
      // Moves alone change nothing that a window procedure is told about.
      if (e.width == state.width && e.height == state.height) return 0;
      state.width = e.width;
      state.height = e.height;
      out[0] = Message(window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(e.width, e.height), e);
      return 1;
    case InputEvent::Kind::CloseRequest:
      out[0] = Message(window, WM_CLOSE, 0, 0, e);
      return 1;
  }
  return 0;
}

}  // namespace plat
