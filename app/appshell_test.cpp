#include "app/appshell.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "app/musicdisk.h"
#include "testsupport/app/events.h"
#include "testsupport/app/gl.h"
#include "framework/base/file.h"
#include "framework/base/log.h"
#include "framework/base/main.h"
#include "platform/rtl.h"
#include "testsupport/testsupport.h"
#include "units/glunit.h"
#include "units/gluunit.h"
#include "units/sysunit.h"
#include "units/txunit.h"

namespace {

using apptest::KeyEvent;
using apptest::MouseEvent;
using apptest::WindowEvent;

void ResetShell() {
  Shell.AppQuit = Shell.AppLastKey = Shell.AppMouseX = Shell.AppMouseY = 0;
  Shell.AppMouseButton = Shell.AppMousePressed = 0;
}

// The press latch: set by the left button going down, kept through the
// release, not set by moving or releasing; the frame loop clears it.
TEST(AppShellEvents, LatchesAPressUntilTheFrameReadsIt) {
  struct Step {
    int left;
    int32_t pressed, button;
  };
  const Step steps[] = {{0, 0, 0}, {1, 1, 1}, {0, 1, 0}, {1, 1, 1}, {1, 1, 1}};
  ResetShell();
  for (const auto& s : steps) {
    wm_event_t e = MouseEvent(5, 6, s.left);
    AppWindowEvent(&e);
    EXPECT_EQ(Shell.AppMousePressed, s.pressed);
    EXPECT_EQ(Shell.AppMouseButton, s.button);
  }
  Shell.AppMousePressed = 0;
  wm_event_t moved = MouseEvent(7, 8, 1);  // still held: no new press
  AppWindowEvent(&moved);
  EXPECT_EQ(Shell.AppMousePressed, 0);
}

TEST(AppShellEvents, WhatEachEventRecords) {
  ResetShell();
  apptest::InstallGLRecorder();
  wm_event_t e = KeyEvent(WM_KEY_DOWN, 1);
  EXPECT_EQ(AppWindowEvent(&e), 0);
  EXPECT_EQ(Shell.AppLastKey, 1);
  e = KeyEvent(WM_KEY_UP, 51);  // a release counts like a press
  AppWindowEvent(&e);
  EXPECT_EQ(Shell.AppLastKey, 51);

  e = MouseEvent(300, 200, 1);
  AppWindowEvent(&e);
  EXPECT_EQ(Shell.AppMouseX, 300);
  EXPECT_EQ(Shell.AppMouseY, 200);
  EXPECT_EQ(Shell.AppMouseButton, 1);
  e = MouseEvent(310, 205, 1);  // moving while held keeps the button
  AppWindowEvent(&e);
  EXPECT_EQ(Shell.AppMouseButton, 1);
  e = MouseEvent(310, 205, 0);
  AppWindowEvent(&e);
  EXPECT_EQ(Shell.AppMouseButton, 0);

  e = WindowEvent(WM_CONF_CLOSE);
  AppWindowEvent(&e);
  EXPECT_EQ(Shell.AppQuit, 1);
  EXPECT_EQ(Shell.AppLastKey, 51);
  EXPECT_EQ(Shell.AppMouseX, 310);
  EXPECT_TRUE(apptest::Rec().calls.empty());

  e = WindowEvent(WM_CONF_SIZE, 0, 0);
  AppWindowEvent(&e);
  EXPECT_EQ(e.conf.width, 1);
  EXPECT_EQ(e.conf.height, 1);
  e = WindowEvent(WM_CONF_SIZE, 1280, 720);
  AppWindowEvent(&e);
  EXPECT_EQ(apptest::Rec().calls, (std::vector<std::string>{"viewport 0 0 1 1", "viewport 0 0 1280 720"}));

  ResetShell();
  for (int type : {-1, 3, 10}) {
    wm_event_t other = MouseEvent(5, 5, 1);
    other.type = type;
    other.conf.action = WM_CONF_CLOSE;
    AppWindowEvent(&other);
  }
  e = WindowEvent(7);
  AppWindowEvent(&e);
  EXPECT_EQ(Shell.AppQuit + Shell.AppMouseX + Shell.AppMouseButton, 0);
  EXPECT_EQ(AppWindowEvent(nullptr), 0);
}

TEST(AppShellWindow, PlacementAndVersionRule) {
  EXPECT_EQ(AppCentre(1920, 1280), 320);
  EXPECT_EQ(AppCentre(1080, 720), 180);
  EXPECT_EQ(AppCentre(1919, 1280), 319);  // an odd difference is cut
  EXPECT_EQ(AppCentre(1000, 1280), -140);
  struct Case {
    const char* version;
    bool frameless;
  } cases[] = {{"6.1", true}, {"6.0", false}, {"5.1", false}, {"10.0", true}, {"7", true}, {"6.10", true}, {"", false}};
  for (const auto& c : cases) EXPECT_EQ(AppFramelessVersion(c.version), c.frameless) << c.version;
  EXPECT_FALSE(AppFramelessVersion(nullptr));
}

TEST(AppShellErrors, Messages) {
  EXPECT_EQ(AppErrorMessage(1, "tracks.dat"), "File not found: tracks.dat.");
  EXPECT_EQ(AppErrorMessage(11, "a.ife"), "File not found: a.ife.");
  EXPECT_EQ(AppErrorMessage(2, "b"), "File not found: b.");
  EXPECT_EQ(AppErrorMessage(3, "d.tga"), "File not found: d.tga.");
  EXPECT_EQ(AppErrorMessage(5, "c.ogg"), "c.ogg");
  EXPECT_EQ(AppErrorMessage(0, nullptr), "Unknown error.");
  EXPECT_EQ(AppErrorMessage(1, nullptr), "File not found: Unknown error..");
  std::string longName(300, 'x');
  EXPECT_EQ(AppErrorMessage(5, longName.c_str()).size(), 255u);
  EXPECT_EQ(AppErrorMessage(1, longName.c_str()).size(), 255u);
}

// A file the layer cannot open ends the program with code 1, the message
// on standard error, in the log and in a box. Here the message box's own
// description is missing as well: the error that raises is not handled
// again (no endless descent), and the platform's box shows the message.
TEST(AppShellErrors, MissingFileEndsWithCodeOne) {
  qt::TempDir dir;
  auto r = qt::RunInChild([&] {
    qt::ChangeDir cd(dir.path());
    setenv("QUARN_MSGBOX_LOG", (dir / "boxes.txt").c_str(), 1);
    qt::Args args{"\\bin\\prog", "-v"};
    SYS_BaseInit(nullptr, args.argc(), args.argv(), nullptr);
    AppShellUnitInit();
    SYS_FileOpen("tracks.dat", 0);
    std::printf("not reached\n");
  });
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.out.find("not reached"), std::string::npos);
  EXPECT_NE(r.err.find("File not found: tracks.dat."), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("The message box cannot be shown: File not found: msgbox.xml."), std::string::npos) << r.err;
  EXPECT_EQ(qt::ReadFile(dir / "boxes.txt"), "Error!|File not found: tracks.dat.\n");
  const std::string log = qt::ReadFile(dir / "debug.log");
  EXPECT_LT(log.find("File not found: tracks.dat.\n"),
            log.find("The message box cannot be shown: File not found: msgbox.xml.\n[exit] --- subsystems"));

  // Once handled, a further call changes nothing and returns.
  auto again = qt::RunInChild([] {
    Shell.ErrorHandled = true;
    AppErrorHandler(1, "x");
    std::printf("returned\n");
  });
  EXPECT_EQ(again.exitCode, 0);
  EXPECT_EQ(again.out, "returned\n");
}

TEST(AppShellWindow, CloseWithoutWindowIsHarmless) {
  auto r = qt::RunInChild([] {
    Shell.AppWindow = nullptr;
    Shell.CfgFullscreen = 0;
    AppCloseWindow();
    std::printf("%s\n", Shell.AppWindow ? "window" : "none");
  });
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, "none\n");
}

// On a display: the window is centred, shown, and after closing AppWindow
// is null (a second close, from the error handler, would otherwise use the
// destroyed window: a crash) and the close event of the destruction has set
// AppQuit.
TEST(AppShellWindow, CreateAndCloseOnADisplay) {
  if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no display";
  // The dialogs the window's start reads: windowed, and a box.
  qt::TempDir dir;
  ASSERT_TRUE(qt::WriteFile(dir / "cfg.xml",
                            "<WINDOW ID=\"1\" TITLE=\"setup\"/>"
                            "<CHECKBOX ID=\"122\" WIDTH=\"90\" HEIGHT=\"20\" VALUE=\"1\"/>"));
  ASSERT_TRUE(qt::WriteFile(dir / "msgbox.xml", "<WINDOW ID=\"1\" TITLE=\"box\"/>"));
  auto r = qt::RunInChild([&] {
    qt::Args args{"/bin/prog", "-default"};
    RtlSetArgs(args.argc(), args.argv());
    MusicDiskUnitInits();
    qt::ChangeDir cd(dir.path());  // from the program's folder to the files
    RunInits();
    int32_t w = 800, h = 600, fs = 1;
    AppCreateWindow("shell test", w, h, fs);
    intptr_t dw = wmOptions(nullptr, WM_OPT_DESKTOP_WIDTH, 0), dh = wmOptions(nullptr, WM_OPT_DESKTOP_HEIGHT, 0);
    std::printf("size %dx%d fs %d at %ld,%ld desktop %ldx%ld\n", w, h, fs, static_cast<long>(wmOptions(Shell.AppWindow, WM_OPT_X, 0)),
                static_cast<long>(wmOptions(Shell.AppWindow, WM_OPT_Y, 0)), static_cast<long>(dw), static_cast<long>(dh));
    Shell.AppQuit = 0;
    AppCloseWindow();
    wmPumpMessages();
    std::printf("after close: %s quit %d\n", Shell.AppWindow ? "window" : "null", Shell.AppQuit);
  });
  ASSERT_EQ(r.exitCode, 0) << r.err;
  auto lines = qt::SplitLines(r.out);
  ASSERT_EQ(lines.size(), 2u) << r.out;
  long dw = 0, dh = 0, x = 0, y = 0;
  ASSERT_EQ(std::sscanf(lines[0].c_str(), "size 1280x720 fs 0 at %ld,%ld desktop %ldx%ld", &x, &y, &dw, &dh), 4)
      << lines[0];
  EXPECT_EQ(x, (dw - 1280) / 2);
  EXPECT_EQ(y, (dh - 720) / 2);
  EXPECT_EQ(lines[1], "after close: null quit 1");
}

}  // namespace
