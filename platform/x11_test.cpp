// The window layer on a real X server (Xvfb in CI): windows, X input as
// messages, GLX contexts that share their textures.
#include <GL/gl.h>
#include <X11/keysym.h>
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "platform/kernel.h"
#include "platform/wgl.h"
#include "platform/x11.h"

namespace {

std::vector<MSG> got;

LRESULT Keep(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  MSG m{};
  m.hwnd = hwnd;
  m.message = message;
  m.wParam = wParam;
  m.lParam = lParam;
  got.push_back(m);
  return message == WM_CLOSE ? 0 : DefWindowProcA(hwnd, message, wParam, lParam);
}

class OnDisplay : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!plat::DisplayAvailable()) GTEST_SKIP() << "no X display";
    static bool registered = false;
    if (!registered) {
      WNDCLASSA wc{};
      wc.lpfnWndProc = Keep;
      wc.lpszClassName = "X11Test";
      registered = RegisterClassA(&wc) != 0;
    }
    got.clear();
  }
  static HWND Open(int w = 160, int h = 120) {
    HWND hwnd = CreateWindowExA(0, "X11Test", "x11 test", WS_CAPTION | WS_THICKFRAME, 10, 10, w, h, nullptr,
                                nullptr, nullptr, nullptr);
    if (hwnd) ShowWindow(hwnd, SW_SHOW);
    return hwnd;
  }
  // Pumps until a message of the kind arrives (or a second has passed).
  static const MSG* WaitFor(UINT message) {
    for (int i = 0; i < 100; ++i) {
      MSG m;
      while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
      for (const auto& g : got)
        if (g.message == message) return &g;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return nullptr;
  }
  static void Send(HWND hwnd, XEvent ev) {
    Display* d = plat::x11::Connection();
    ev.xany.window = plat::x11::WindowOf(hwnd);
    ev.xany.display = d;
    XSendEvent(d, ev.xany.window, False, 0, &ev);
    XFlush(d);
  }
};

TEST_F(OnDisplay, XInputArrivesAsMessages) {
  HWND hwnd = Open();
  ASSERT_NE(hwnd, nullptr);
  Display* d = plat::x11::Connection();
  XEvent ev{};
  ev.type = ButtonPress;
  ev.xbutton.button = Button1;
  ev.xbutton.x = 12;
  ev.xbutton.y = 34;
  ev.xbutton.x_root = 112;
  ev.xbutton.y_root = 134;
  Send(hwnd, ev);
  const MSG* down = WaitFor(WM_LBUTTONDOWN);
  ASSERT_NE(down, nullptr);
  EXPECT_EQ(LOWORD(down->lParam), 12);
  EXPECT_EQ(HIWORD(down->lParam), 34);
  // A wheel notch: screen position, which ScreenToClient turns back.
  ev.xbutton.button = 4;
  Send(hwnd, ev);
  const MSG* wheel = WaitFor(WM_MOUSEWHEEL);
  ASSERT_NE(wheel, nullptr);
  POINT p{static_cast<short>(LOWORD(wheel->lParam)), static_cast<short>(HIWORD(wheel->lParam))};
  EXPECT_EQ(p.x, 112);
  ScreenToClient(hwnd, &p);
  EXPECT_EQ(p.x, 12);
  EXPECT_EQ(p.y, 34);

  XEvent key{};
  key.type = KeyPress;
  key.xkey.keycode = XKeysymToKeycode(d, XK_Escape);
  Send(hwnd, key);
  const MSG* esc = WaitFor(WM_KEYDOWN);
  ASSERT_NE(esc, nullptr);
  EXPECT_EQ(esc->wParam, static_cast<WPARAM>(VK_ESCAPE));

  // The close button asks; the window stays until someone destroys it.
  XEvent close{};
  close.type = ClientMessage;
  close.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
  close.xclient.format = 32;
  close.xclient.data.l[0] = static_cast<long>(XInternAtom(d, "WM_DELETE_WINDOW", False));
  Send(hwnd, close);
  ASSERT_NE(WaitFor(WM_CLOSE), nullptr);
  EXPECT_TRUE(IsWindow(hwnd));

  // A real resize from the server arrives as one size message.
  XResizeWindow(d, plat::x11::WindowOf(hwnd), 200, 150);
  XFlush(d);
  const MSG* size = WaitFor(WM_SIZE);
  ASSERT_NE(size, nullptr);
  EXPECT_EQ(LOWORD(size->lParam), 200);
  RECT r{};
  GetClientRect(hwnd, &r);
  EXPECT_EQ(r.bottom, 150);
  EXPECT_TRUE(DestroyWindow(hwnd));
  EXPECT_EQ(plat::x11::TakeErrorCount(), 0);
}

TEST_F(OnDisplay, ContextsAreCurrentSwapAndShareTextures) {
  HWND a = Open();
  HWND b = Open();
  ASSERT_TRUE(a && b);
  HDC da = GetDC(a), db = GetDC(b);
  PIXELFORMATDESCRIPTOR pfd{};
  pfd.nSize = sizeof pfd;
  int format = ChoosePixelFormat(da, &pfd);
  ASSERT_EQ(format, 1);
  ASSERT_TRUE(SetPixelFormat(da, format, &pfd));
  ASSERT_TRUE(SetPixelFormat(db, format, &pfd));
  ASSERT_EQ(DescribePixelFormat(da, 1, sizeof pfd, &pfd), 1);
  EXPECT_EQ(pfd.cStencilBits, 8);
  EXPECT_GE(pfd.cDepthBits, 24);
  EXPECT_NE(pfd.dwFlags & PFD_DOUBLEBUFFER, 0u);
  HGLRC ca = wglCreateContext(da);
  HGLRC cb = wglCreateContext(db);
  ASSERT_TRUE(ca && cb);
  EXPECT_EQ(wglGetProcAddress("glGenTextures"), nullptr);  // nothing current yet
  ASSERT_TRUE(wglMakeCurrent(da, ca));
  EXPECT_EQ(wglGetCurrentContext(), ca);
  EXPECT_NE(wglGetProcAddress("glGenTextures"), nullptr);
  EXPECT_EQ(wglGetProcAddress("wglSwapIntervalEXT"), reinterpret_cast<PROC>(&wglSwapIntervalEXT));
  EXPECT_EQ(wglGetProcAddress("wglNoSuchCall"), nullptr);
  wglSwapIntervalEXT(0);
  GLuint texture = 0;
  glGenTextures(1, &texture);
  glBindTexture(GL_TEXTURE_2D, texture);
  unsigned char pixel[4] = {1, 2, 3, 4};
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
  glFinish();
  EXPECT_TRUE(SwapBuffers(da));
  ASSERT_TRUE(wglMakeCurrent(db, cb));
  EXPECT_EQ(glIsTexture(texture), GL_TRUE);  // one texture namespace
  EXPECT_TRUE(wglDeleteContext(cb));
  EXPECT_EQ(wglGetCurrentContext(), nullptr);
  EXPECT_FALSE(wglMakeCurrent(db, cb));  // a deleted handle is refused
  wglMakeCurrent(da, ca);
  // Destroying the window under a current context releases it first.
  DestroyWindow(a);
  EXPECT_EQ(wglGetCurrentContext(), nullptr);
  EXPECT_TRUE(wglDeleteContext(ca));
  DestroyWindow(b);
  EXPECT_EQ(plat::x11::TakeErrorCount(), 0);
}

// A forked child drops the parent's connection, X windows and contexts (its
// fork handler may not allocate or free, so the child only looks here);
// the parent goes on with its own.
TEST_F(OnDisplay, AForkedChildLetsTheParentsConnectionGo) {
  HWND hwnd = Open();
  ASSERT_NE(hwnd, nullptr);
  HDC dc = GetDC(hwnd);
  PIXELFORMATDESCRIPTOR pfd{};
  pfd.nSize = sizeof pfd;
  ASSERT_TRUE(SetPixelFormat(dc, ChoosePixelFormat(dc, &pfd), &pfd));
  HGLRC context = wglCreateContext(dc);
  ASSERT_NE(context, nullptr);
  ASSERT_TRUE(wglMakeCurrent(dc, context));
  std::fflush(nullptr);
  pid_t child = fork();
  if (child == 0) {
    int seen = 0;
    if (plat::x11::WindowOf(hwnd) != 0) seen |= 1;
    if (wglGetCurrentContext() != nullptr || wglGetCurrentDC() != nullptr) seen |= 2;
    if (!IsWindow(hwnd)) seen |= 4;  // the Windows side of the window stays
    _exit(seen);
  }
  ASSERT_GT(child, 0);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_NE(plat::x11::WindowOf(hwnd), 0u);
  EXPECT_EQ(wglGetCurrentContext(), context);
  EXPECT_TRUE(SwapBuffers(dc));
  EXPECT_TRUE(wglDeleteContext(context));
  EXPECT_TRUE(DestroyWindow(hwnd));
  EXPECT_EQ(plat::x11::TakeErrorCount(), 0);
}

// No display needed: the names are answered by the layer, not by the server.
TEST(GLModule, ExportsAnswerTheWglNames) {
  plat::InstallGLModuleExports();
  HMODULE gl = LoadLibraryA("OpenGL32.dll");
  ASSERT_NE(gl, nullptr);
  EXPECT_EQ(GetProcAddress(gl, "wglCreateContext"), reinterpret_cast<FARPROC>(&wglCreateContext));
  EXPECT_NE(GetProcAddress(gl, "glBegin"), nullptr);
  FreeLibrary(gl);
}

}  // namespace
