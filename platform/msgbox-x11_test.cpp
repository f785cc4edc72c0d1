// The message box on a display, answered the way a user would.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "platform/user.h"
#include "platform/window.h"
#include "testsupport/testsupport.h"

namespace {

// Sends the key to the window of that title until told to stop: a key
// sent before the box listens is lost, so it is sent again.
void PressUntil(const std::string& title, const std::string& key, const std::atomic<bool>& stop) {
  std::string cmd = "xdotool search --name '^" + title + "$' key --window %1 " + key + " >/dev/null 2>&1";
  while (!stop) {
    std::system(cmd.c_str());
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
  }
}

TEST(X11MessageBox, AnswersFromTheKeyboard) {
  if (!std::getenv("DISPLAY") || std::system("command -v xdotool >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "no X display or no xdotool";
  struct Case {
    UINT type;
    const char* key;
    int answer;
  };
  const Case cases[] = {{MB_YESNO, "Escape", IDNO}, {MB_YESNO, "Return", IDYES}, {MB_OK, "Escape", IDOK},
                        {MB_OKCANCEL, "Escape", IDCANCEL}};
  constexpr int kNoDisplay = 100;
  int n = 0;
  for (const auto& c : cases) {
    std::string title = "BoxTest" + std::to_string(n++);
    // Each box opens on a server of its own. The box takes the input focus,
    // so xdotool types into the server's keyboard rather than sending to the
    // window, and a key still queued in a loaded server would otherwise reach
    // the next case's box; nor must other tests' keys reach ours.
    qt::OwnXServer server;
    ASSERT_TRUE(server.running());
    std::atomic<bool> stop{false};
    std::thread presser([&] { PressUntil(title, c.key, stop); });
    auto r = qt::RunInChild(
        [&] {
          unsetenv("QUARN_MSGBOX_TEST");
          if (!plat::DisplayAvailable()) _exit(kNoDisplay);
          plat::InstallX11MessageBox();
          _exit(MessageBoxA(nullptr, "Line one\nLine two", title.c_str(), c.type));
        },
        20);
    stop = true;
    presser.join();
    EXPECT_EQ(r.exitCode, c.answer) << title << " " << r.err;
    EXPECT_NE(r.err.find(title + ": Line one\nLine two"), std::string::npos);  // always on stderr too
  }
}

}  // namespace
