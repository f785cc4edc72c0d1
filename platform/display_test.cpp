// Display settings through a backend, and the guardian that puts the display
// back however the process ends.
#include "platform/display.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <vector>
#include <cstdio>
#include <string>
#include <thread>

#include "platform/restore.h"
#include "testsupport/testsupport.h"

namespace {

class Recorder : public plat::DisplayBackend {
 public:
  bool Current(plat::DisplayMode& m) override {
    m = {1280, 1024, 32, 0};
    return true;
  }
  bool Mode(DWORD index, plat::DisplayMode& m) override {
    if (index > 1) return false;
    m = {index ? 800 : 1280, index ? 600 : 1024, 32, index ? 75 : 60};
    return true;
  }
  LONG Change(const plat::DisplayMode& m, bool matchFrequency) override {
    last = m;
    rate = matchFrequency;
    return DISP_CHANGE_BADPARAM;
  }
  LONG Restore() override {
    ++restores;
    return DISP_CHANGE_SUCCESSFUL;
  }
  plat::DisplayMode last;
  bool rate = false;
  int restores = 0;
};

TEST(DisplaySettings, ThroughTheBackend) {
  Recorder r;
  plat::SetDisplayBackend(&r);
  DEVMODEA dm{};
  dm.dmSize = sizeof dm;
  ASSERT_TRUE(EnumDisplaySettingsA(nullptr, 1, &dm));
  EXPECT_EQ(dm.dmPelsWidth, 800u);
  EXPECT_EQ(dm.dmDisplayFrequency, 75u);
  EXPECT_FALSE(EnumDisplaySettingsA(nullptr, 2, &dm));
  ASSERT_TRUE(EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &dm));
  EXPECT_EQ(dm.dmPelsHeight, 1024u);
  EXPECT_EQ(GetDeviceCaps(GetDC(nullptr), BITSPIXEL), 32);
  EXPECT_EQ(GetDeviceCaps(GetDC(nullptr), VREFRESH), 0);
  dm = DEVMODEA{};
  dm.dmFields = DM_PELSWIDTH;  // no height: not a mode
  EXPECT_EQ(ChangeDisplaySettingsA(&dm, CDS_FULLSCREEN), DISP_CHANGE_BADMODE);
  dm.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT | DM_BITSPERPEL | DM_DISPLAYFREQUENCY;
  dm.dmPelsWidth = 640;
  dm.dmPelsHeight = 480;
  dm.dmBitsPerPel = 32;
  dm.dmDisplayFrequency = 85;
  EXPECT_EQ(ChangeDisplaySettingsA(&dm, CDS_FULLSCREEN), DISP_CHANGE_BADPARAM);  // the backend's answer
  EXPECT_EQ(r.last.width, 640);
  EXPECT_EQ(r.last.frequency, 85);
  EXPECT_TRUE(r.rate);
  EXPECT_EQ(ChangeDisplaySettingsA(nullptr, 0), DISP_CHANGE_SUCCESSFUL);
  EXPECT_EQ(r.restores, 1);
  plat::SetDisplayBackend(nullptr);
}

// What the guardian wrote, once it holds what is expected, or what stands
// there after the deadline. The guardian writes its records a line at a
// time, so a file that is not empty may still lack its last line.
std::string WaitForContents(const std::string& path, const std::string& expected) {
  std::string contents;
  qt::WaitUntil([&] { return (contents = qt::ReadFile(path)) == expected; }, std::chrono::seconds(5));
  return contents;
}

TEST(Guardian, RestoresWhatWasRememberedWhenTheProcessIsKilled) {
  qt::TempDir dir;
  std::string path = dir / "restored.txt";
  auto r = qt::RunInChild([&] {
    plat::restore::SetRestoreRecordFile(path.c_str());
    plat::restore::RememberMode(3, 1, 60);
    plat::restore::RememberPowerOff(true);
    plat::restore::ForgetPowerOff();  // put back by the process itself
    kill(getpid(), SIGKILL);
  });
  EXPECT_EQ(r.exitCode, 128 + SIGKILL);
  const std::string restored = "1 3 1 60\n";
  EXPECT_EQ(WaitForContents(path, restored), restored);
}

// Threads that allocate all the time: a guardian forked now could inherit
// the allocator's lock held and never do its job.
TEST(Guardian, StartsFromAProcessWithThreads) {
  qt::TempDir dir;
  std::string path = dir / "restored.txt";
  auto r = qt::RunInChild([&] {
    std::atomic<bool> stop{false};
    std::vector<std::thread> busy;
    for (int i = 0; i < 4; ++i)
      busy.emplace_back([&stop, i] {
        for (size_t n = 0; !stop; ++n) {
          auto block = std::make_unique<char[]>(1000 + (n * 37 + static_cast<size_t>(i)) % 5000);
          block[0] = 1;
        }
      });
    plat::restore::SetRestoreRecordFile(path.c_str());
    plat::restore::RememberPowerOff(false);
    plat::restore::RememberMode(5, 2, 75);
    std::printf("remembered\n");
    std::fflush(stdout);
    kill(getpid(), SIGKILL);
  });
  EXPECT_EQ(r.exitCode, 128 + SIGKILL);
  EXPECT_EQ(r.out, "remembered\n");
  const std::string restored = "1 5 2 75\n3 0 0 0\n";
  EXPECT_EQ(WaitForContents(path, restored), restored);
}

}  // namespace
