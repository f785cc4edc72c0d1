#include "framework/wm/wm.h"

#include <X11/keysym.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <set>
#include <string>
#include <vector>

#include "framework/base/log.h"
#include "framework/wm/wm_internal.h"
#include "testsupport/wm/wm.h"

namespace {

// --- the key table -----------------------------------------------------------------

struct KeyCase {
  unsigned long keysym;  // 0: use vk
  int vk;
  int32_t code;
};

// Every one of the 101 entries, reached from the key that produces it.
const KeyCase kKeys[] = {
    {XK_Escape, 0, 1}, {XK_F1, 0, 2}, {XK_F2, 0, 3}, {XK_F3, 0, 4}, {XK_F4, 0, 5}, {XK_F5, 0, 6},
    {XK_F6, 0, 7}, {XK_F7, 0, 8}, {XK_F8, 0, 9}, {XK_F9, 0, 10}, {XK_F10, 0, 11}, {XK_F11, 0, 12},
    {XK_F12, 0, 13}, {XK_Scroll_Lock, 0, 15}, {XK_Pause, 0, 16},
    {XK_grave, 0, 17}, {XK_1, 0, 18}, {XK_2, 0, 19}, {XK_3, 0, 20}, {XK_4, 0, 21}, {XK_5, 0, 22},
    {XK_6, 0, 23}, {XK_7, 0, 24}, {XK_8, 0, 25}, {XK_9, 0, 26}, {XK_0, 0, 27}, {XK_minus, 0, 28},
    {XK_equal, 0, 29}, {XK_BackSpace, 0, 30}, {XK_Insert, 0, 31}, {XK_Home, 0, 32}, {XK_Prior, 0, 33},
    {XK_Num_Lock, 0, 34}, {XK_KP_Divide, 0, 35}, {XK_KP_Multiply, 0, 36}, {XK_KP_Subtract, 0, 37},
    {XK_Tab, 0, 38}, {XK_q, 0, 39}, {XK_w, 0, 40}, {XK_e, 0, 41}, {XK_r, 0, 42}, {XK_t, 0, 43},
    {XK_y, 0, 44}, {XK_u, 0, 45}, {XK_i, 0, 46}, {XK_o, 0, 47}, {XK_p, 0, 48}, {XK_bracketleft, 0, 49},
    {XK_bracketright, 0, 50}, {XK_Return, 0, 51}, {XK_Delete, 0, 52}, {XK_End, 0, 53}, {XK_Next, 0, 54},
    {XK_KP_7, 0, 55}, {XK_KP_8, 0, 56}, {XK_KP_9, 0, 57}, {XK_KP_Add, 0, 58},
    {XK_Caps_Lock, 0, 59}, {XK_a, 0, 60}, {XK_s, 0, 61}, {XK_d, 0, 62}, {XK_f, 0, 63}, {XK_g, 0, 64},
    {XK_h, 0, 65}, {XK_j, 0, 66}, {XK_k, 0, 67}, {XK_l, 0, 68}, {XK_semicolon, 0, 69},
    {XK_apostrophe, 0, 70}, {XK_less, 0, 71}, {XK_KP_4, 0, 72}, {XK_KP_5, 0, 73}, {XK_KP_6, 0, 74},
    {0, VK_LSHIFT, 75}, {XK_backslash, 0, 76}, {XK_z, 0, 77}, {XK_x, 0, 78}, {XK_c, 0, 79}, {XK_v, 0, 80},
    {XK_b, 0, 81}, {XK_n, 0, 82}, {XK_m, 0, 83}, {XK_comma, 0, 84}, {XK_period, 0, 85}, {XK_slash, 0, 86},
    {0, VK_RSHIFT, 87}, {XK_Up, 0, 88}, {XK_KP_1, 0, 89}, {XK_KP_2, 0, 90}, {XK_KP_3, 0, 91},
    {XK_space, 0, 95}, {XK_Left, 0, 98}, {XK_Down, 0, 99}, {XK_Right, 0, 100}, {XK_KP_0, 0, 101},
    {XK_KP_Decimal, 0, 102},
    {XK_Shift_L, 0, 106}, {XK_Control_L, 0, 107}, {XK_Super_L, 0, 108}, {XK_Super_R, 0, 108}, {XK_Alt_L, 0, 109},
};

TEST(KeyTable, EveryCodeFromItsKey) {
  std::set<int> vks;
  for (const auto& k : kKeys) {
    int vk = k.keysym ? static_cast<int>(plat::VirtualKeyFromKeysym(k.keysym)) : k.vk;
    ASSERT_GT(vk, 0) << "keysym " << std::hex << k.keysym;
    EXPECT_EQ(wm_keytable[vk], k.code) << "keysym " << std::hex << k.keysym;
    vks.insert(vk);
  }
  int nonZero = 0;
  for (int i = 0; i < 256; ++i)
    if (wm_keytable[i]) {
      ++nonZero;
      EXPECT_TRUE(vks.count(i)) << "virtual key " << i << " has a code but no key reaches it";
    }
  EXPECT_EQ(nonZero, 101);
  EXPECT_EQ(vks.size(), 101u);
  // The right-hand modifiers arrive as the generic keys.
  EXPECT_EQ(wm_keytable[plat::VirtualKeyFromKeysym(XK_Shift_R)], 106);
  EXPECT_EQ(wm_keytable[plat::VirtualKeyFromKeysym(XK_Control_R)], 107);
  EXPECT_EQ(wm_keytable[plat::VirtualKeyFromKeysym(XK_Alt_R)], 109);
  EXPECT_EQ(wm_keytable[plat::VirtualKeyFromKeysym(XK_KP_Enter)], 51);
  for (int unused : {14, 92, 93, 94, 96, 97, 103, 104, 105})
    for (int i = 0; i < 256; ++i) EXPECT_NE(wm_keytable[i], unused);
}

// --- options ---------------------------------------------------------------------------

class Records : public ::testing::Test {
 protected:
  void TearDown() override {
    for (auto* w : made) wmDestroyWindow(w);
  }
  wm_window_t* New(int x = 10, int y = 20, int w = 640, int h = 480) {
    wm_window_t* r = wmNewWindow(x, y, w, h);
    if (r) made.push_back(r);
    return r;
  }
  std::vector<wm_window_t*> made;
};

TEST_F(Records, NewRecordIsListedNewestFirstAndZeroFilled) {
  wm_window_t* a = New();
  wm_window_t* b = New();
  ASSERT_TRUE(a && b);
  EXPECT_EQ(wmState.windows->data, b);
  EXPECT_EQ(wmState.windows->next->data, a);
  EXPECT_EQ(a->style, 0x90CE0000u);
  EXPECT_EQ(a->hwnd, nullptr);
  EXPECT_EQ(a->callback, nullptr);
  EXPECT_EQ(a->title, nullptr);
}

TEST_F(Records, OptionsTable) {
  wm_window_t* w = New(10, 20, 640, 480);
  ASSERT_NE(w, nullptr);
  wmState.desktopWidth = 1920;
  wmState.desktopHeight = 1080;
  wmState.desktopBits = 32;
  wmState.desktopFrequency = 60;
  struct Case {
    bool window;
    uint32_t option;
    intptr_t result;
    int error;
  };
  const Case cases[] = {
      {false, WM_OPT_DESKTOP_WIDTH, 1920, 0},
      {false, WM_OPT_DESKTOP_HEIGHT, 1080, 0},
      {false, WM_OPT_DESKTOP_BITS, 32, 0},
      {false, WM_OPT_DESKTOP_FREQUENCY, 60, 0},
      {false, WM_OPT_WIDTH, -1, 3006},
      {false, WM_OPT_CALLBACK, -1, 3006},
      {false, WM_OPT_RESIZABLE, -1, 3006},
      {false, 200, 0, 0},
      {true, WM_OPT_WIDTH, 640, 0},
      {true, WM_OPT_HEIGHT, 480, 0},
      {true, WM_OPT_X, 10, 0},
      {true, WM_OPT_Y, 20, 0},
      // Numbers without an option, and the one the window manager ignores.
      {true, 2, 0, 0},
      {true, 14, 0, 0},
      {true, 99, 0, 0},
      {true, 103, 0, 0},
      {true, 107, 0, 0},
      {true, WM_OPT_DND, 0, 0},
      {true, 200, 0, 0},
      {true, WM_OPT_DESKTOP_WIDTH, 1920, 0},
  };
  for (const auto& c : cases) {
    errSetLastError(77);
    EXPECT_EQ(wmOptions(c.window ? w : nullptr, c.option, 0), c.result) << "option " << c.option;
    EXPECT_EQ(errGetLastError(), c.error) << "option " << c.option;
  }
}

TEST_F(Records, SettersOnARecordWithoutWindow) {
  wm_window_t* w = New();
  // Pointer-sized values come back whole.
  intptr_t big = static_cast<intptr_t>(0x123456789ABCLL);
  EXPECT_EQ(wmOptions(w, WM_OPT_SET_USERDATA, big), 0);
  EXPECT_EQ(wmOptions(w, WM_OPT_GET_USERDATA, 0), big);
  // Frameless clears the caption bits, resizable toggles the thick frame.
  wmOptions(w, WM_OPT_FRAMELESS, 1);
  EXPECT_EQ(w->style, 0u);
  wmOptions(w, WM_OPT_RESIZABLE, 1);
  EXPECT_EQ(w->style, 0x40000u);
  wmOptions(w, WM_OPT_FRAMELESS, 0);
  EXPECT_EQ(w->style, 0x90CE0000u);
  wmOptions(w, WM_OPT_RESIZABLE, 0);
  EXPECT_EQ(w->style, 0x90CA0000u);
  // Geometry in and out; a null record pointer does nothing.
  wm_conf_t conf{0, 1, 2, 300, 200};
  EXPECT_EQ(wmOptions(w, WM_OPT_SET_GEOMETRY, reinterpret_cast<intptr_t>(&conf)), 0);
  EXPECT_EQ(wmOptions(w, WM_OPT_SET_GEOMETRY, 0), 0);
  wm_conf_t out{};
  wmOptions(w, WM_OPT_GET_GEOMETRY, reinterpret_cast<intptr_t>(&out));
  EXPECT_EQ(out.x, 1);
  EXPECT_EQ(out.y, 2);
  EXPECT_EQ(out.width, 300);
  EXPECT_EQ(out.height, 200);
  EXPECT_EQ(wmOptions(w, WM_OPT_GET_GEOMETRY, 0), 0);
  // The title is only kept until there is a window; null is the empty title.
  wmOptions(w, WM_OPT_TITLE, reinterpret_cast<intptr_t>("first"));
  EXPECT_STREQ(w->title, "first");
  wmOptions(w, WM_OPT_TITLE, 0);
  EXPECT_STREQ(w->title, "");
  wmOptions(w, WM_OPT_FULLSCREEN, 1);
  EXPECT_EQ(w->fullscreen, 1);
}

TEST(NullWindows, Calls) {
  EXPECT_EQ(wmHideWindow(nullptr), -1);
  EXPECT_EQ(errGetLastError(), ERR_BADARG);
  EXPECT_EQ(wmDestroyWindow(nullptr), -1);
  EXPECT_EQ(errGetLastError(), ERR_BADARG);
  EXPECT_EQ(wmShowWindow(nullptr), -1);
  EXPECT_EQ(wmSwapBuffers(nullptr), 0);
  EXPECT_EQ(wmMakeCurrent(nullptr), 0);
}

// --- the window procedure, through the message queue -------------------------------------

std::vector<wm_event_t> events;
int32_t Collect(wm_event_t* ev) {
  events.push_back(*ev);
  return 0;
}

// Windows without a display: messages flow, no GL context can be made.
class Headless : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    plat::SetHeadlessWindows(true);
    ASSERT_EQ(wmInit(), 0);
  }
  static void TearDownTestSuite() { plat::SetHeadlessWindows(false); }
  void SetUp() override {
    w = wmNewWindow(0, 0, 320, 200);
    ASSERT_NE(w, nullptr);
    wmOptions(w, WM_OPT_CALLBACK, reinterpret_cast<intptr_t>(&Collect));
    EXPECT_EQ(wmShowWindow(w), -1);  // the window is made, the context cannot be
    EXPECT_EQ(errGetLastError(), WM_ERR_GL);
    ASSERT_NE(w->hwnd, nullptr);
    EXPECT_EQ(w->glContext, nullptr);
    wmPumpMessages();
    events.clear();
  }
  void TearDown() override {
    if (w) wmDestroyWindow(w);
  }
  wm_event_t Deliver(UINT message, WPARAM wParam, LPARAM lParam) {
    events.clear();
    PostMessageA(w->hwnd, message, wParam, lParam);
    wmPumpMessages();
    EXPECT_EQ(events.size(), 1u);
    return events.empty() ? wm_event_t{} : events.back();
  }
  wm_window_t* w = nullptr;
};

TEST_F(Headless, KeyMessages) {
  struct Case {
    UINT message;
    WPARAM vk;
    int32_t action, code;
  };
  const Case cases[] = {
      {WM_KEYDOWN, VK_ESCAPE, 6, 1},   {WM_KEYUP, VK_ESCAPE, 7, 1},      {WM_SYSKEYDOWN, VK_MENU, 6, 109},
      {WM_SYSKEYUP, VK_F10, 7, 11},    {WM_KEYDOWN, VK_RETURN, 6, 51},   {WM_KEYDOWN, VK_SNAPSHOT, 6, 0},
      {WM_KEYDOWN, VK_APPS, 6, 0},     {WM_KEYDOWN, 0x1234, 6, 0},
  };
  for (const auto& c : cases) {
    wm_event_t ev = Deliver(c.message, c.vk, 0);
    EXPECT_EQ(ev.type, 0);
    EXPECT_EQ(ev.window, w);
    EXPECT_EQ(ev.key.action, c.action) << c.vk;
    EXPECT_EQ(ev.key.code, c.code) << c.vk;
    EXPECT_EQ(ev.key.reserved, 0);
  }
}

TEST_F(Headless, MouseMessages) {
  struct Case {
    UINT message;
    WPARAM wParam;
    int x, y;
    int32_t action, left, right, middle, forward, backward, ex, ey, dx, dy;
  };
  const Case cases[] = {
      {WM_MOUSEMOVE, 0, 10, 20, 0, 0, 0, 0, 0, 0, 10, 20, 10, 20},
      {WM_LBUTTONDOWN, 0, 12, 20, 1, 1, 0, 0, 0, 0, 12, 20, 2, 0},
      // Held: a drag left of the window gives a negative x, not 65531.
      {WM_MOUSEMOVE, MK_LBUTTON, -5, -7, 0, 1, 0, 0, 0, 0, -5, -7, -17, -27},
      {WM_RBUTTONDOWN, 0, -5, -7, 2, 1, 1, 0, 0, 0, -5, -7, 0, 0},
      {WM_MBUTTONDOWN, 0, 1, 1, 3, 1, 1, 1, 0, 0, 1, 1, 6, 8},
      {WM_LBUTTONUP, 0, 1, 1, 4, 0, 1, 1, 0, 0, 1, 1, 0, 0},
      {WM_RBUTTONUP, 0, 1, 1, 5, 0, 0, 1, 0, 0, 1, 1, 0, 0},
      {WM_MBUTTONUP, 0, 1, 1, 6, 0, 0, 0, 0, 0, 1, 1, 0, 0},
      {WM_MOUSEWHEEL, MAKEWPARAM(0, 120), 30, 40, 0, 0, 0, 0, 1, 0, 30, 40, 29, 39},
      {WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-120)), 30, 40, 0, 0, 0, 0, 0, 1, 30, 40, 0, 0},
      {WM_MOUSEWHEEL, MAKEWPARAM(0, 0), 30, 40, 0, 0, 0, 0, 0, 1, 30, 40, 0, 0},
  };
  for (const auto& c : cases) {
    wm_event_t ev = Deliver(c.message, c.wParam, MAKELPARAM(c.x, c.y));
    SCOPED_TRACE(testing::Message() << "message " << std::hex << c.message << std::dec << " at " << c.x << ","
                                    << c.y);
    EXPECT_EQ(ev.type, 1);
    EXPECT_EQ(ev.mouse.reserved, 0);
    EXPECT_EQ(ev.mouse.action, c.action);
    EXPECT_EQ(ev.mouse.left, c.left);
    EXPECT_EQ(ev.mouse.right, c.right);
    EXPECT_EQ(ev.mouse.middle, c.middle);
    EXPECT_EQ(ev.mouse.wheelForward, c.forward);
    EXPECT_EQ(ev.mouse.wheelBackward, c.backward);
    EXPECT_EQ(ev.mouse.x, c.ex);
    EXPECT_EQ(ev.mouse.y, c.ey);
    EXPECT_EQ(ev.mouse.dx, c.dx);
    EXPECT_EQ(ev.mouse.dy, c.dy);
  }
}

TEST_F(Headless, WindowMessagesAndOthers) {
  wm_event_t close = Deliver(WM_CLOSE, 0, 0);
  EXPECT_EQ(close.type, 2);
  EXPECT_EQ(close.conf.action, 5);
  EXPECT_EQ(close.conf.width, 0);
  EXPECT_TRUE(IsWindow(w->hwnd));  // a close request leaves the window to the callback
  events.clear();
  SetWindowPos(w->hwnd, nullptr, 0, 0, 500, 300, SWP_NOMOVE);  // answered at once
  ASSERT_EQ(events.size(), 1u);
  for (UINT m : {WM_SIZE, WM_SIZING, WM_WINDOWPOSCHANGED}) {
    wm_event_t ev = Deliver(m, 0, 0);
    EXPECT_EQ(ev.type, 2);
    EXPECT_EQ(ev.conf.action, 12);
    EXPECT_EQ(ev.conf.x, 0);
    EXPECT_EQ(ev.conf.width, 500);
    EXPECT_EQ(ev.conf.height, 300);
  }
  EXPECT_EQ(wmOptions(w, WM_OPT_WIDTH, 0), 500);
  EXPECT_EQ(wmOptions(w, WM_OPT_HEIGHT, 0), 300);
  events.clear();
  PostMessageA(w->hwnd, WM_USER + 7, 0, 0);
  PostMessageA(w->hwnd, WM_SETFOCUS, 0, 0);
  wmPumpMessages();
  EXPECT_TRUE(events.empty());
}

TEST_F(Headless, DestroyDeliversOneCloseWhileListed) {
  static wm_window_t* self;
  static bool listed;
  self = w;
  listed = false;
  wmOptions(w, WM_OPT_CALLBACK, reinterpret_cast<intptr_t>(+[](wm_event_t* ev) -> int32_t {
              events.push_back(*ev);
              for (SYS_List_p n = wmState.windows; n; n = n->next)
                if (n->data == self) listed = true;
              return 0;
            }));
  events.clear();
  HWND hwnd = w->hwnd;
  EXPECT_EQ(wmDestroyWindow(w), 0);
  w = nullptr;
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].type, 2);
  EXPECT_EQ(events[0].conf.action, 5);
  EXPECT_TRUE(listed);
  EXPECT_FALSE(IsWindow(hwnd));
  for (SYS_List_p n = wmState.windows; n; n = n->next) EXPECT_NE(n->data, self);
}

TEST_F(Headless, ReleasedContextLeavesNothingToMakeCurrent) {
  w->hdc = GetDC(w->hwnd);
  w->glContext = reinterpret_cast<HGLRC>(0x5);  // as if one had been made
  auto saved = wmWGL;
  static int deleted;
  deleted = 0;
  wmWGL.wglMakeCurrent = [](HDC, HGLRC) -> BOOL { return TRUE; };
  wmWGL.wglDeleteContext = [](HGLRC) -> BOOL {
    ++deleted;
    return TRUE;
  };
  EXPECT_EQ(wglContextRelease(w), 0);
  EXPECT_EQ(deleted, 1);
  EXPECT_EQ(w->hdc, nullptr);
  EXPECT_EQ(w->glContext, nullptr);
  EXPECT_EQ(wmMakeCurrent(w), 0);
  EXPECT_EQ(wglContextRelease(w), 0);  // a second release finds nothing
  EXPECT_EQ(deleted, 1);
  wmWGL = saved;
}

TEST_F(Headless, SecondShowReusesTheWindow) {
  HWND first = w->hwnd;
  wmHideWindow(w);
  wmShowWindow(w);
  EXPECT_EQ(w->hwnd, first);
  // The style was re-applied from the resizable flag.
  EXPECT_EQ(GetWindowLongA(w->hwnd, GWL_STYLE) & WS_THICKFRAME, 0);
}

// The full-screen option on a made window only logs; the line names the
// framework function asked and repeats its own source position.
TEST(FullscreenOption, LogsTheTodoLineOfWmOptions) {
  auto run = wmtest::RunLogged([] {
    plat::SetHeadlessWindows(true);
    if (wmInit() != 0) _exit(10);
    wm_window_t* w = wmNewWindow(0, 0, 64, 48);
    wmShowWindow(w);  // headless: the window is made, the context cannot be
    if (!w->hwnd) _exit(11);
    wmOptions(w, WM_OPT_FULLSCREEN, 1);
    _exit(w->fullscreen == 1 ? 0 : 12);
  });
  ASSERT_EQ(run.exitCode, 0) << run.err;
  // "[wm][WM.cpp:<line>:wmOptions()]  ! TODO: switch fullscreen (WM.cpp:<line>)"
  const std::string head = "[wm][WM.cpp:";
  const std::string middle = ":wmOptions()]  ! TODO: switch fullscreen (WM.cpp:";
  size_t at = run.log.find(middle);
  ASSERT_NE(at, std::string::npos) << run.log;
  size_t lineStart = run.log.rfind(head, at);
  size_t close = run.log.find(")\n", at);
  ASSERT_NE(lineStart, std::string::npos) << run.log;
  ASSERT_NE(close, std::string::npos) << run.log;
  std::string ownLine = run.log.substr(lineStart + head.size(), at - lineStart - head.size());
  std::string repeated = run.log.substr(at + middle.size(), close - at - middle.size());
  EXPECT_FALSE(ownLine.empty());
  EXPECT_EQ(ownLine.find_first_not_of("0123456789"), std::string::npos) << ownLine;
  EXPECT_EQ(ownLine, repeated);
}

// --- under X -------------------------------------------------------------------------------

TEST(OnDisplay, CreateShowSwapHideDestroy) {
  if (!plat::DisplayAvailable()) GTEST_SKIP() << "no X display";
  auto run = wmtest::RunLogged([] {
    if (wmInit() != 0) _exit(10);
    wm_window_t* w = wmNewWindow(20, 30, 320, 240);
    int closes = 0;
    static int* counter;
    counter = &closes;
    wmOptions(w, WM_OPT_CALLBACK, reinterpret_cast<intptr_t>(+[](wm_event_t* ev) -> int32_t {
                if (ev->type == 2 && ev->conf.action == 5) ++*counter;
                return 0;
              }));
    wmOptions(w, WM_OPT_TITLE, reinterpret_cast<intptr_t>("wm test"));
    if (wmShowWindow(w) != 0) _exit(11);
    char title[32] = {};
    GetWindowTextA(w->hwnd, title, sizeof title);
    if (std::string(title) != "wm test") _exit(12);
    RECT r{};
    GetClientRect(w->hwnd, &r);
    if (r.right != 320 || r.bottom != 240) _exit(13);
    if (!w->glContext || wglGetCurrentContext() != w->glContext) _exit(14);
    for (int i = 0; i < 3; ++i) {
      wmPumpMessages();
      if (!wmSwapBuffers(w)) _exit(15);
    }
    HWND first = w->hwnd;
    wmHideWindow(w);
    if (wmShowWindow(w) != 0 || w->hwnd != first) _exit(16);
    if (!wmMakeCurrent(w)) _exit(17);
    wmDestroyWindow(w);
    if (closes != 1) _exit(20 + closes);
    _exit(0);
  });
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(run.log.find("[wm][WM.cpp:"), std::string::npos);
  EXPECT_NE(run.log.find("]   - initialize WGL subsystem...\n"), std::string::npos);
  EXPECT_NE(run.log.find("[wm][gl][wgl.cpp:"), std::string::npos);
  EXPECT_NE(run.log.find(" ... loaded.\n"), std::string::npos);
  EXPECT_EQ(wmtest::CountOf(run.log, "[gl_stub]  ! load GL module.\n"), 1);
  EXPECT_NE(run.log.find("()]  - GL_RENDERER: "), std::string::npos) << run.log;
  EXPECT_NE(run.log.find("()]  - GL_MAX_TEXTURE_UNITS: "), std::string::npos);
  EXPECT_NE(run.log.find("()]  - GL_MAX_FRAGMENT_UNIFORM_COMPONENTS_ARB: "), std::string::npos);
  // The report's lines name the framework function that made the context.
  EXPECT_NE(run.log.find(":wmShowWindow()]  - GL_RENDERER: "), std::string::npos);
  EXPECT_NE(run.log.find(":wmShowWindow()]  - GL_MAX_TEXTURE_UNITS: "), std::string::npos);
  EXPECT_NE(run.log.find("[wm][dm][dm.cpp:"), std::string::npos);
  EXPECT_NE(run.log.find("ScreenSaver & DPMS disabled.\n"), std::string::npos);
}

}  // namespace
