#include "platform/window.h"

#include <X11/keysym.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/wgl.h"

namespace {

struct Seen {
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
};
std::vector<Seen> seen;

LRESULT Record(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  seen.push_back({message, wParam, lParam});
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

class HeadlessWindows : public ::testing::Test {
 protected:
  void SetUp() override {
    plat::SetHeadlessWindows(true);
    WNDCLASSA wc{};
    wc.lpfnWndProc = Record;
    wc.lpszClassName = "HeadlessTest";
    RegisterClassA(&wc);
    seen.clear();
  }
  void TearDown() override { plat::SetHeadlessWindows(false); }
  static void Pump() {
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
  }
  static bool SawMessage(UINT message) {
    for (const auto& s : seen)
      if (s.message == message) return true;
    return false;
  }
};

TEST_F(HeadlessWindows, PostedMessagesReachTheProcedureInOrder) {
  HWND w = CreateWindowExA(0, "headlesstest", "t", WS_POPUP, 0, 0, 64, 48, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(w, nullptr);
  EXPECT_TRUE(SawMessage(WM_CREATE));
  seen.clear();
  EXPECT_TRUE(PostMessageA(w, WM_KEYDOWN, VK_ESCAPE, 1));
  EXPECT_TRUE(PostMessageA(w, WM_MOUSEMOVE, 0, MAKELPARAM(3, 4)));
  MSG peeked;
  ASSERT_TRUE(PeekMessageA(&peeked, nullptr, 0, 0, PM_NOREMOVE));
  EXPECT_EQ(peeked.message, WM_KEYDOWN);
  Pump();
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].message, WM_KEYDOWN);
  EXPECT_EQ(seen[0].wParam, static_cast<WPARAM>(VK_ESCAPE));
  EXPECT_EQ(seen[1].lParam, MAKELPARAM(3, 4));
  EXPECT_FALSE(PeekMessageA(&peeked, nullptr, 0, 0, PM_REMOVE));
  DestroyWindow(w);
}

TEST_F(HeadlessWindows, CloseDestroysOnlyThroughTheDefaultProcedure) {
  HWND w = CreateWindowExA(0, "HeadlessTest", "t", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(w, nullptr);
  PostMessageA(w, WM_CLOSE, 0, 0);
  PostMessageA(w, WM_USER, 0, 0);
  Pump();
  // The default answer to a close request destroys the window, synchronously
  // with its WM_DESTROY, and drops what was still queued for it.
  EXPECT_TRUE(SawMessage(WM_DESTROY));
  EXPECT_FALSE(SawMessage(WM_USER));
  EXPECT_FALSE(IsWindow(w));
  EXPECT_FALSE(PostMessageA(w, WM_USER, 0, 0));
  EXPECT_EQ(GetDC(w), nullptr);
  EXPECT_FALSE(DestroyWindow(w));
}

TEST_F(HeadlessWindows, SizeStyleTitleAndDeviceContext) {
  HWND w = CreateWindowExA(0, "HeadlessTest", "first", WS_CAPTION, 5, 6, 320, 200, nullptr, nullptr, nullptr,
                           nullptr);
  ASSERT_NE(w, nullptr);
  RECT r{};
  ASSERT_TRUE(GetClientRect(w, &r));
  EXPECT_EQ(r.right, 320);
  EXPECT_EQ(r.bottom, 200);
  RECT adjusted{5, 6, 325, 206};
  AdjustWindowRect(&adjusted, WS_CAPTION, FALSE);
  EXPECT_EQ(adjusted.right - adjusted.left, 320);  // the frame lies outside the X window
  SetWindowTextA(w, nullptr);
  char title[16] = "x";
  EXPECT_EQ(GetWindowTextA(w, title, sizeof title), 0);
  EXPECT_EQ(SetWindowLongA(w, GWL_STYLE, 0), static_cast<LONG>(WS_CAPTION));
  seen.clear();
  SetWindowPos(w, nullptr, 0, 0, 100, 50, 0);
  EXPECT_TRUE(SawMessage(WM_WINDOWPOSCHANGED));
  GetClientRect(w, &r);
  EXPECT_EQ(r.right, 100);
  HDC dc = GetDC(w);
  EXPECT_EQ(WindowFromDC(dc), w);
  EXPECT_EQ(WindowFromDC(GetDC(nullptr)), nullptr);
  // No display, no pixels: no pixel format and no context.
  PIXELFORMATDESCRIPTOR pfd{};
  EXPECT_EQ(ChoosePixelFormat(dc, &pfd), 0);
  EXPECT_EQ(wglCreateContext(dc), nullptr);
  EXPECT_EQ(wglGetProcAddress("glBegin"), nullptr);  // no context is current
  DestroyWindow(w);
}

TEST(Cursor, OneCallHidesOneShows) {
  ShowCursor(FALSE);
  EXPECT_TRUE(plat::CursorHidden());
  ShowCursor(FALSE);
  ShowCursor(TRUE);
  EXPECT_FALSE(plat::CursorHidden());
}

TEST(Keysyms, VirtualKeys) {
  struct Case {
    unsigned long keysym;
    UINT vk;
  };
  const Case cases[] = {
      {XK_a, 'A'},           {XK_Z, 'Z'},           {XK_0, '0'},           {XK_F12, VK_F12},
      {XK_Shift_L, VK_SHIFT}, {XK_Shift_R, VK_SHIFT}, {XK_Control_R, VK_CONTROL}, {XK_Alt_L, VK_MENU},
      {XK_Super_L, VK_LWIN}, {XK_Super_R, VK_RWIN}, {XK_KP_Enter, VK_RETURN}, {XK_KP_7, VK_NUMPAD7},
      {XK_KP_Home, VK_HOME}, {XK_less, VK_OEM_102}, {XK_grave, VK_OEM_3},    {XK_Print, VK_SNAPSHOT},
      {XK_Menu, VK_APPS},    {XK_eacute, 0},        {0, 0},
  };
  for (const auto& c : cases) EXPECT_EQ(plat::VirtualKeyFromKeysym(c.keysym), c.vk) << std::hex << c.keysym;
}

using Kind = plat::InputEvent::Kind;

plat::InputEvent Key(Kind kind, unsigned long keysym, unsigned state = 0, unsigned long numLockSym = 0) {
  plat::InputEvent e;
  e.kind = kind;
  e.keysym = keysym;
  e.keysymNumLock = numLockSym;
  e.state = state;
  return e;
}

TEST(TranslateInput, Keys) {
  plat::InputState state;
  MSG m[2];
  HWND w = reinterpret_cast<HWND>(0x2000);
  ASSERT_EQ(plat::TranslateInput(w, Key(Kind::KeyDown, XK_Escape), state, m), 1);
  EXPECT_EQ(m[0].message, WM_KEYDOWN);
  EXPECT_EQ(m[0].wParam, static_cast<WPARAM>(VK_ESCAPE));
  EXPECT_EQ(m[0].lParam & (1 << 30), 0);
  // A held key repeats as presses; the repeat says the key was down.
  plat::TranslateInput(w, Key(Kind::KeyDown, XK_Escape), state, m);
  EXPECT_NE(m[0].lParam & (1 << 30), 0);
  plat::TranslateInput(w, Key(Kind::KeyUp, XK_Escape), state, m);
  EXPECT_EQ(m[0].message, WM_KEYUP);
  // Alt and keys held with Alt are system keys.
  plat::TranslateInput(w, Key(Kind::KeyDown, XK_Alt_L), state, m);
  EXPECT_EQ(m[0].message, WM_SYSKEYDOWN);
  EXPECT_EQ(m[0].wParam, static_cast<WPARAM>(VK_MENU));
  plat::TranslateInput(w, Key(Kind::KeyUp, XK_x, plat::kAltMask), state, m);
  EXPECT_EQ(m[0].message, WM_SYSKEYUP);
  // The keypad follows Num Lock.
  plat::TranslateInput(w, Key(Kind::KeyDown, XK_KP_Home, plat::kNumLockMask, XK_KP_7), state, m);
  EXPECT_EQ(m[0].wParam, static_cast<WPARAM>(VK_NUMPAD7));
  plat::TranslateInput(w, Key(Kind::KeyDown, XK_KP_Home, 0, XK_KP_7), state, m);
  EXPECT_EQ(m[0].wParam, static_cast<WPARAM>(VK_HOME));
  plat::TranslateInput(w, Key(Kind::KeyDown, XK_KP_Delete, plat::kNumLockMask, XK_KP_Decimal), state, m);
  EXPECT_EQ(m[0].wParam, static_cast<WPARAM>(VK_DECIMAL));
}

TEST(TranslateInput, ButtonsWheelMotionConfigureClose) {
  plat::InputState state;
  state.width = 640;
  state.height = 480;
  MSG m[2];
  HWND w = reinterpret_cast<HWND>(0x2000);
  plat::InputEvent e;
  e.kind = Kind::ButtonDown;
  e.button = 1;
  e.x = -5;
  e.y = 7;
  e.rootX = 95;
  e.rootY = 107;
  ASSERT_EQ(plat::TranslateInput(w, e, state, m), 1);
  EXPECT_EQ(m[0].message, WM_LBUTTONDOWN);
  EXPECT_EQ(m[0].wParam & MK_LBUTTON, MK_LBUTTON);  // the state after the press
  EXPECT_EQ(static_cast<short>(LOWORD(m[0].lParam)), -5);
  e.kind = Kind::ButtonUp;
  e.state = plat::kButton1Mask;
  plat::TranslateInput(w, e, state, m);
  EXPECT_EQ(m[0].message, WM_LBUTTONUP);
  EXPECT_EQ(m[0].wParam & MK_LBUTTON, 0u);
  e.kind = Kind::ButtonDown;
  e.state = 0;
  e.button = 2;
  plat::TranslateInput(w, e, state, m);
  EXPECT_EQ(m[0].message, WM_MBUTTONDOWN);
  e.button = 3;
  plat::TranslateInput(w, e, state, m);
  EXPECT_EQ(m[0].message, WM_RBUTTONDOWN);
  // The wheel: presses give a notch of 120 at the screen position, releases nothing.
  e.button = 4;
  ASSERT_EQ(plat::TranslateInput(w, e, state, m), 1);
  EXPECT_EQ(m[0].message, WM_MOUSEWHEEL);
  EXPECT_EQ(GET_WHEEL_DELTA_WPARAM(m[0].wParam), 120);
  EXPECT_EQ(LOWORD(m[0].lParam), 95);
  e.button = 5;
  plat::TranslateInput(w, e, state, m);
  EXPECT_EQ(GET_WHEEL_DELTA_WPARAM(m[0].wParam), -120);
  e.kind = Kind::ButtonUp;
  EXPECT_EQ(plat::TranslateInput(w, e, state, m), 0);
  e.kind = Kind::ButtonDown;
  e.button = 6;  // horizontal scrolling
  EXPECT_EQ(plat::TranslateInput(w, e, state, m), 0);
  e.kind = Kind::Motion;
  plat::TranslateInput(w, e, state, m);
  EXPECT_EQ(m[0].message, WM_MOUSEMOVE);
  // A configure event that only moves the window says nothing.
  e.kind = Kind::Configure;
  e.width = 640;
  e.height = 480;
  EXPECT_EQ(plat::TranslateInput(w, e, state, m), 0);
  e.width = 800;
  ASSERT_EQ(plat::TranslateInput(w, e, state, m), 1);
  EXPECT_EQ(m[0].message, WM_SIZE);
  EXPECT_EQ(LOWORD(m[0].lParam), 800);
  EXPECT_EQ(state.width, 800);
  e.kind = Kind::CloseRequest;
  plat::TranslateInput(w, e, state, m);
  EXPECT_EQ(m[0].message, WM_CLOSE);
}

}  // namespace
