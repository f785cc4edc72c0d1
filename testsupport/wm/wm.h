// Helpers for the window manager's tests.
#pragma once
#include <functional>
#include <string>

#include <unistd.h>

#include "framework/base/main.h"
#include "framework/wm/wm.h"
#include "testsupport/testsupport.h"

namespace wmtest {

struct LoggedRun {
  int exitCode = -1;
  std::string log;
  std::string err;
};

// Runs body in a child process whose base library logs to a file ("-v");
// gives the log and the exit code.
inline LoggedRun RunLogged(const std::function<void()>& body) {
  qt::TempDir dir;
  auto r = qt::RunInChild([&] {
    qt::ChangeDir cd(dir.path());
    qt::Args args{"\\bin\\prog", "-v"};
    SYS_BaseInit(nullptr, args.argc(), args.argv(), nullptr);
    body();
  });
  return {r.exitCode, qt::ReadFile(dir / "debug.log"), r.err};
}

// In a child process: starts the base library and shows a window (64x64
// unless given) whose GL context is current (the GL table filled). Ends the
// child with 10 or 11 when there is no window.
inline void ShowGLWindowOrExit(int32_t width = 64, int32_t height = 64) {
  static qt::Args args{"\\bin\\prog"};
  SYS_BaseInit(nullptr, args.argc(), args.argv(), nullptr);
  if (wmInit() != 0) _exit(10);
  wm_window_t* w = wmNewWindow(0, 0, width, height);
  if (wmShowWindow(w) != 0) _exit(11);
}

inline int CountOf(const std::string& text, const std::string& what) {
  int n = 0;
  for (size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + what.size())) ++n;
  return n;
}

}  // namespace wmtest
