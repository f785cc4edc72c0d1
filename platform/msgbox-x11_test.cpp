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
  // Keys and clicks of other tests on the shared server must not answer our
  // boxes: they open on a server of their own.
  qt::OwnXServer server;
  ASSERT_TRUE(server.running());
  ASSERT_TRUE(plat::DisplayAvailable());
  struct Case {
    UINT type;
    const char* key;
    int answer;
  };
  const Case cases[] = {{MB_YESNO, "Escape", IDNO}, {MB_YESNO, "Return", IDYES}, {MB_OK, "Escape", IDOK},
                        {MB_OKCANCEL, "Escape", IDCANCEL}};
  int n = 0;
  for (const auto& c : cases) {
    std::string title = "BoxTest" + std::to_string(n++);
    std::atomic<bool> stop{false};
    std::thread presser([&] { PressUntil(title, c.key, stop); });
    auto r = qt::RunInChild(
        [&] {
          unsetenv("QUARN_MSGBOX_TEST");
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
