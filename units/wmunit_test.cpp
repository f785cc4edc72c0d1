// The window-manager binding unit: FatalError and registry entry 1, and the
// first three registry entries starting the whole chain on a display.
#include "units/wmunit.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "framework/wm/wm_internal.h"
#include "testsupport/wm/wm.h"
#include "units/glunit.h"
#include "units/gluunit.h"
#include "units/sysunit.h"

namespace {

// Starts the base library logging into the current folder, with the
// registry as the program has it before its units register.
void StartBase() {
  qt::Args args{"\\bin\\prog", "-v"};
  SYS_BaseInit(nullptr, args.argc(), args.argv(), nullptr);
  for (auto& e : SYS_InitTable) e.active = 0;
  for (auto& e : SYS_ExitTable) e.active = 0;
  RegisterExit("Release base lib ...", 0, BaseDone);
}

struct ChildRun {
  int exitCode;
  std::string log;
  std::string box;
};

ChildRun InChild(const std::function<void()>& body) {
  qt::TempDir dir;
  std::string boxLog = dir / "box.txt";
  auto r = qt::RunInChild([&] {
    qt::ChangeDir cd(dir.path());
    setenv("QUARN_MSGBOX_TEST", "1", 1);
    setenv("QUARN_MSGBOX_LOG", boxLog.c_str(), 1);
    StartBase();
    body();
  });
  return {r.exitCode, qt::ReadFile(dir / "debug.log"), qt::ReadFile(boxLog)};
}

TEST(FatalError, BoxLogLineShutdownAndAFailureExitCode) {
  ChildRun r = InChild([] {
    RegisterExit("Uninit texture loader ...", 4, [] { Log("texture loader down"); });
    WindowManagerUnitInit();
    FatalError("Something broke.");
  });
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.box, "Error!|Something broke.\n");
  const std::string expected =
      "Something broke.\n"
      "[exit] --- subsystems\n"
      "[exit] call : Uninit texture loader ...\n"
      "texture loader down\n"
      "[exit] call : Uninit window manager ...\n"
      "[exit] call : Release base lib ...\n"
      "[exit]\n";
  EXPECT_NE(r.log.find(expected), std::string::npos) << r.log;
}

TEST(FatalError, EmptyText) {
  ChildRun r = InChild([] { FatalError(""); });
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.box, "Error!|\n");
  EXPECT_NE(r.log.find("\n\n[exit] --- subsystems\n"), std::string::npos) << r.log;
}

TEST(WindowManagerUnit, RegistersEntryOne) {
  ChildRun r = InChild([] {
    WindowManagerUnitInit();
    if (!SYS_InitTable[1].active || !(SYS_InitTable[1].name == "Window manager ...")) _exit(2);
    if (SYS_InitTable[1].proc != WindowManagerInit) _exit(3);
    if (!(SYS_ExitTable[1].name == "Uninit window manager ...") || SYS_ExitTable[1].proc != WindowManagerDone)
      _exit(4);
    GLUnitInit();
    GLUUnitInit();
    if (!(SYS_InitTable[2].name == "GL unit ...") || !(SYS_ExitTable[2].name == "Uninit GL unit ...")) _exit(5);
    if (!(SYS_InitTable[3].name == "GLU unit ...") || !(SYS_ExitTable[3].name == "Uninit GLU unit ...")) _exit(6);
  });
  EXPECT_EQ(r.exitCode, 0);
}

TEST(WindowManagerUnit, FailingStartIsFatal) {
  ChildRun r = InChild([] {
    // The class name taken already: the window manager cannot register it.
    plat::SetHeadlessWindows(true);
    WNDCLASSA wc{};
    wc.lpszClassName = "Quarnel";
    RegisterClassA(&wc);
    WindowManagerUnitInit();
    RunInits();
    _exit(7);
  });
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.box, "Error!|WM initialization error.\n");
  EXPECT_NE(r.log.find("[init] call : Window manager ...\n"), std::string::npos) << r.log;
  EXPECT_NE(r.log.find("WM initialization error.\n[exit] --- subsystems\n"), std::string::npos) << r.log;
}

TEST(WholeChain, RegistryStartsWindowManagerGLAndGLUAndAWindowOpens) {
  if (!plat::DisplayAvailable()) GTEST_SKIP() << "no X display";
  ChildRun r = InChild([] {
    WindowManagerUnitInit();
    GLUnitInit();
    GLUUnitInit();
    RunInits();
    if (!glLibHandle || !gluLibHandle) _exit(2);
    if (!qgl::glBegin || !qgl::glTexImage2D || !qgl::wglGetProcAddress || !qgl::gluBuild2DMipmaps) _exit(3);
    if (glGetExtProc("wglSwapIntervalEXT") != nullptr) _exit(4);  // no context yet
    wm_window_t* w = wmNewWindow(0, 0, 320, 240);
    if (wmShowWindow(w) != 0) _exit(5);
    glInitExt();
    if (!glSupportDXT1 || !glSupportDXT3 || !glSupportDXT5) _exit(6);
    if (glMaxTextureSize <= 0) _exit(7);
    // Found through the layer; Xvfb has no swap control, so the call may say no.
    if (!qgl::wglSwapIntervalEXT) _exit(8);
    qgl::wglSwapIntervalEXT(1);
    if (!qgl::glCompressedTexImage2DARB || !qgl::glActiveTextureARB) _exit(9);
    qgl::glClearColor(0, 0, 0, 1);
    qgl::glClear(GL_COLOR_BUFFER_BIT);
    if (qgl::glGetError() != GL_NO_ERROR) _exit(10);  // nothing left queued by the start
    for (int i = 0; i < 4; ++i) wmSwapBuffers(w);
    wmDestroyWindow(w);
  });
  EXPECT_EQ(r.exitCode, 0) << r.log;
  for (const char* line : {"[init] call : Window manager ...\n", "[init] call : GL unit ...\n",
                           "[init] call : GLU unit ...\n", "[gl] --- check extensions:\n",
                           "[gl] - GL_EXT_texture_compression_s3tc : available\n",
                           "[gl]   - supported DXTC modes (", " DXT1", " DXT3", " DXT5\n", "[gl] - renderer: "})
    EXPECT_NE(r.log.find(line), std::string::npos) << line << "\n" << r.log;
}

}  // namespace
