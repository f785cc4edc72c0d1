// Display modes and the screen-saver settings, on fake backends.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/base/log.h"
#include "framework/base/mem.h"
#include "framework/wm/wm_internal.h"
#include "testsupport/wm/wm.h"
#include "platform/display.h"

namespace {

class FakeDisplay : public plat::DisplayBackend {
 public:
  bool Current(plat::DisplayMode& mode) override {
    mode = desktop;
    return true;
  }
  bool Mode(DWORD index, plat::DisplayMode& mode) override {
    if (index >= modes.size()) return false;
    mode = modes[index];
    return true;
  }
  LONG Change(const plat::DisplayMode& mode, bool matchFrequency) override {
    changes.push_back(mode);
    withFrequency.push_back(matchFrequency);
    return result;
  }
  LONG Restore() override {
    ++restores;
    return 0;
  }
  plat::DisplayMode desktop{1920, 1080, 32, 60};
  std::vector<plat::DisplayMode> modes;
  std::vector<plat::DisplayMode> changes;
  std::vector<bool> withFrequency;
  LONG result = DISP_CHANGE_SUCCESSFUL;
  int restores = 0;
};

class Modes : public ::testing::Test {
 protected:
  void SetUp() override {
    plat::SetDisplayBackend(&fake);
    dmInit();
    wmState.modeSwitched = 0;
  }
  void TearDown() override {
    plat::SetDisplayBackend(nullptr);
    wmState.modeSwitched = 0;
  }
  FakeDisplay fake;
};

TEST_F(Modes, DesktopModeIsReadAtStart) {
  EXPECT_EQ(wmOptions(nullptr, WM_OPT_DESKTOP_WIDTH, 0), 1920);
  EXPECT_EQ(wmOptions(nullptr, WM_OPT_DESKTOP_HEIGHT, 0), 1080);
  EXPECT_EQ(wmOptions(nullptr, WM_OPT_DESKTOP_BITS, 0), 32);
  EXPECT_EQ(wmOptions(nullptr, WM_OPT_DESKTOP_FREQUENCY, 0), 60);
}

TEST_F(Modes, ResultCodes) {
  struct Case {
    LONG code;
    int result;
    int error;
  };
  // Only a switch that happened counts.
  const Case cases[] = {{DISP_CHANGE_SUCCESSFUL, 0, 0}, {DISP_CHANGE_FAILED, -1, 3007},
                        {DISP_CHANGE_BADMODE, -1, 3007}, {DISP_CHANGE_NOTUPDATED, -1, 3007},
                        {DISP_CHANGE_BADFLAGS, -1, 3007}, {DISP_CHANGE_BADPARAM, -1, 3007},
                        {DISP_CHANGE_RESTART, -1, 3007}, {7, -1, 3007}};
  for (const auto& c : cases) {
    wmState.modeSwitched = 0;
    fake.result = c.code;
    EXPECT_EQ(wmSetVideoMode(1280, 720, 32, 0.0f), c.result) << c.code;
    EXPECT_EQ(errGetLastError(), c.error) << c.code;
    EXPECT_EQ(wmState.modeSwitched, c.result == 0 ? 1 : 0) << c.code;
  }
  // A refused switch keeps the flag as it was.
  wmState.modeSwitched = 1;
  fake.result = DISP_CHANGE_FAILED;
  wmSetVideoMode(1280, 720, 32, 0.0f);
  EXPECT_EQ(wmState.modeSwitched, 1);
}

TEST_F(Modes, TheDesktopModeIsNotSwitchedTo) {
  EXPECT_EQ(wmSetVideoMode(1920, 1080, 32, 60.0f), 0);
  EXPECT_TRUE(fake.changes.empty());
  EXPECT_EQ(wmState.modeSwitched, 0);
  // Frequency 0 is not the desktop's 60 Hz: that request switches, without a rate.
  EXPECT_EQ(wmSetVideoMode(1920, 1080, 32, 0.0f), 0);
  ASSERT_EQ(fake.changes.size(), 1u);
  EXPECT_FALSE(fake.withFrequency[0]);
  // A rate is passed cut toward zero.
  wmSetVideoMode(1280, 800, 32, 75.9f);
  ASSERT_EQ(fake.changes.size(), 2u);
  EXPECT_TRUE(fake.withFrequency[1]);
  EXPECT_EQ(fake.changes[1].frequency, 75);
  EXPECT_EQ(fake.changes[1].width, 1280);
  EXPECT_EQ(fake.changes[1].bits, 32);
}

TEST_F(Modes, RestoreOnlyAfterASwitch) {
  EXPECT_EQ(wmRestoreVideoMode(), 0);
  dmDone();
  EXPECT_EQ(fake.restores, 0);
  wmSetVideoMode(1280, 720, 32, 0.0f);
  wmRestoreVideoMode();
  wmRestoreVideoMode();
  EXPECT_EQ(fake.restores, 2);
  dmDone();
  EXPECT_EQ(fake.restores, 3);
}

TEST_F(Modes, ListInEnumerationOrderWithDuplicates) {
  EXPECT_EQ(wmGetVideoModes(), nullptr);
  EXPECT_EQ(errGetLastError(), 0);
  fake.modes = {{1280, 720, 32, 60}, {1280, 720, 32, 75}, {1280, 720, 16, 60}, {1280, 1024, 32, 0}};
  SYS_List_p list = wmGetVideoModes();
  std::vector<wm_videomode_t> got;
  for (SYS_List_p n = list; n; n = n->next) got.push_back(*static_cast<wm_videomode_t*>(n->data));
  ASSERT_EQ(got.size(), 4u);
  EXPECT_EQ(got[1].frequency, 75.0f);
  EXPECT_EQ(got[2].bits, 16);
  EXPECT_EQ(got[3].height, 1024);
  EXPECT_EQ(got[3].frequency, 0.0f);
  for (SYS_List_p n = list; n; n = n->next) SYS_MemFree(n->data);
  SYS_ListRemove(list);
}

TEST(ModesLog, LinesOfStartAndSwitch) {
  auto run = wmtest::RunLogged([] {
    FakeDisplay fake;
    fake.result = DISP_CHANGE_BADMODE;
    plat::SetDisplayBackend(&fake);
    dmInit();
    wmSetVideoMode(1280, 720, 32, 0.0f);
  });
  EXPECT_NE(run.log.find("()] Screen size: 1920x1080 60.00Hz 32bits\n"), std::string::npos) << run.log;
  EXPECT_NE(run.log.find("()] switch to 1280x720 (0.00Hz) 32 bits\n"), std::string::npos);
  EXPECT_NE(run.log.find("()]  ! unable to switch to requested mode.\n"), std::string::npos);
}

// --- screen saver and power-off ---------------------------------------------------------

class FakeSaver : public plat::ScreenSaverBackend {
 public:
  bool GetScreenSaver(bool& active) override {
    active = saver;
    return saverReadable;
  }
  bool SetScreenSaver(bool active) override {
    saver = active;
    writes.push_back(std::string("saver=") + (active ? "1" : "0"));
    return true;
  }
  bool GetPowerOff(bool& active) override {
    active = power;
    return powerReadable;
  }
  bool SetPowerOff(bool active) override {
    power = active;
    writes.push_back(std::string("power=") + (active ? "1" : "0"));
    return true;
  }
  bool saver = true, power = false;
  bool saverReadable = true, powerReadable = true;
  std::vector<std::string> writes;
};

TEST(Dpms, OffWhileRunningThenBackToWhatWasRead) {
  FakeSaver fake;
  plat::SetScreenSaverBackend(&fake);
  dpmsInit();
  dpmsEnable(0);
  EXPECT_FALSE(fake.saver);
  dpmsEnable(1);  // on, even though power-off was off before
  EXPECT_TRUE(fake.power);
  dpmsDone();
  EXPECT_TRUE(fake.saver);
  EXPECT_FALSE(fake.power);
  EXPECT_EQ(fake.writes, (std::vector<std::string>{"saver=0", "power=0", "saver=1", "power=1", "saver=1",
                                                   "power=0"}));
  plat::SetScreenSaverBackend(nullptr);
}

TEST(Dpms, AnUnreadableSettingIsNeverWritten) {
  FakeSaver fake;
  fake.powerReadable = false;
  plat::SetScreenSaverBackend(&fake);
  dpmsInit();
  dpmsEnable(0);
  dpmsDone();
  EXPECT_EQ(fake.writes, (std::vector<std::string>{"saver=0", "saver=1"}));
  plat::SetScreenSaverBackend(nullptr);
}

TEST(Dpms, LogLines) {
  auto run = wmtest::RunLogged([] {
    FakeSaver fake;
    fake.powerReadable = false;
    plat::SetScreenSaverBackend(&fake);
    dpmsInit();
    dpmsEnable(0);
  });
  EXPECT_NE(run.log.find("[wm][dpms][dpms.cpp:"), std::string::npos) << run.log;
  EXPECT_NE(run.log.find("()] ScreenSaver: 1 (1)\n"), std::string::npos) << run.log;
  EXPECT_NE(run.log.find("()] DPMS: 0 (0)\n"), std::string::npos);
  EXPECT_NE(run.log.find("()] ScreenSaver & DPMS disabled.\n"), std::string::npos);
}

}  // namespace
