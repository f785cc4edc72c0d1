// Display settings through a backend, and the guardian that puts the display
// back however the process ends.
#include "platform/display.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
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

char hookFile[512];
void WriteWhatIsRestored(int kind, int a, int b, int c) {
  if (FILE* f = std::fopen(hookFile, "a")) {
    std::fprintf(f, "%d %d %d %d\n", kind, a, b, c);
    std::fclose(f);
  }
}

TEST(Guardian, RestoresWhatWasRememberedWhenTheProcessIsKilled) {
  qt::TempDir dir;
  std::string path = dir / "restored.txt";
  std::snprintf(hookFile, sizeof hookFile, "%s", path.c_str());
  auto r = qt::RunInChild([] {
    plat::restore::SetRestoreHook(WriteWhatIsRestored);
    plat::restore::RememberMode(3, 1, 60);
    plat::restore::RememberPowerOff(true);
    plat::restore::ForgetPowerOff();  // put back by the process itself
    kill(getpid(), SIGKILL);
  });
  EXPECT_EQ(r.exitCode, 128 + SIGKILL);
  std::string restored;
  for (int i = 0; i < 200 && restored.empty(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    restored = qt::ReadFile(path);
  }
  EXPECT_EQ(restored, "1 3 1 60\n");
}

}  // namespace
