// The shell's own music: StartMusic and StopMusic over the sound system,
// playing a track of the demo archive through OpenAL Soft's wave writer.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <string>
#include <thread>

#include "app/appshell.h"
#include "framework/base/file.h"
#include "framework/base/main.h"
#include "testsupport/bass/wave.h"
#include "testsupport/testsupport.h"
#include "units/sysunit.h"

namespace {

struct MusicRun {
  int exitCode;
  std::string err;
  std::string box;
  bass_test::WaveData written;
};

// Runs the body in a child with the base library started, the demo archive
// mounted, boxes answered at once and the sound going to a wave file.
MusicRun InChild(const std::function<void()>& body, const char* drivers = nullptr) {
  qt::TempDir dir;
  const std::string boxLog = dir / "box.txt", wav = dir / "out.wav", conf = dir / "alsoft.conf";
  qt::WriteFile(conf, "drivers=wave\n[wave]\nfile=" + wav + "\n");
  const qt::ChildResult r = qt::RunInChild([&] {
    qt::ChangeDir cd(dir.path());
    setenv("QUARN_MSGBOX_TEST", "1", 1);
    setenv("QUARN_MSGBOX_LOG", boxLog.c_str(), 1);
    setenv("ALSOFT_CONF", conf.c_str(), 1);
    if (drivers) setenv("ALSOFT_DRIVERS", drivers, 1);
    else unsetenv("ALSOFT_DRIVERS");
    qt::Args args{"\\bin\\prog"};
    SYS_BaseInit(nullptr, args.argc(), args.argv(), nullptr);
    if (SYS_FilePackOpen(MUSICDISK_ARCHIVE) != 0) _exit(3);
    body();
    _exit(0);
  });
  return {r.exitCode, r.err, qt::ReadFile(boxLog), bass_test::ReadWave(qt::ReadFile(wav))};
}

TEST(ShellMusic, PlaysATrackOfTheDemoArchive) {
  const MusicRun r = InChild([] {
    StartMusic("intro.ogg");
    if (FSS_GetMusicState(Shell.AppMusic) != FSS_STATE_PLAYING) _exit(4);
    std::this_thread::sleep_for(std::chrono::milliseconds(1200));
    if (FSS_GetMusicTime(Shell.AppMusic) < 1000) _exit(5);
    StopMusic();
    if (Shell.AppMusic) _exit(6);
  });
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(r.err.empty()) << r.err;
  // About a second of music was written, not silence.
  size_t loud = 0;
  for (size_t i = 0; i < r.written.Frames(); ++i)
    if (std::abs(r.written.At(i, 0)) > 0.01 || std::abs(r.written.At(i, 1)) > 0.01) ++loud;
  EXPECT_GT(loud, 44100u / 2) << r.written.Frames();
}

TEST(ShellMusic, FailuresAreFatal) {
  struct Case {
    const char* file;
    const char* drivers;
    const char* box;
  } cases[] = {
      {"intro.ogg", "no-such-backend", "Error!|Unable to initialise sound system.\n"},
      {"no-such-track.ogg", nullptr, "Error!|Unable to load music.\n"},
  };
  for (const Case& c : cases) {
    const MusicRun r = InChild([&] { StartMusic(c.file); }, c.drivers);
    EXPECT_EQ(r.exitCode, 1) << c.file;
    EXPECT_EQ(r.box, c.box);
  }
}

}  // namespace
