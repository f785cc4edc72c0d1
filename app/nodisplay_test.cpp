// The program on a machine without a usable X display: it must end at
// start-up with a message that names the display, never open the audio
// device and never run on without a window.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "testsupport/testsupport.h"

namespace {

struct Outcome {
  int exitCode = -1;  // -1: killed after the time limit
  std::string err;
  bool audioOpened = false;
};

// Runs a copy of the program beside the demo archive, audio through OpenAL
// Soft's wave writer (whose file appears once the device is opened).
Outcome RunWithDisplay(const char* display) {
  qt::TempDir dir;
  std::filesystem::copy_file(MUSICDISK_EXE, dir / "musicdisk");
  std::filesystem::permissions(dir / "musicdisk", std::filesystem::perms::owner_all);
  std::filesystem::create_symlink(MUSICDISK_ARCHIVE, dir / "kelm.dat");
  std::string wav = dir / "out.wav";
  qt::WriteFile(dir / "alsoft.conf", "drivers=wave\n[wave]\nfile=" + wav + "\n");

  qt::SpawnSpec spec;
  spec.argv = {dir / "musicdisk", "-default"};
  spec.setEnv = {{"ALSOFT_CONF", dir / "alsoft.conf"}};
  spec.unsetEnv = {"ALSOFT_DRIVERS"};
  if (display)
    spec.setEnv.emplace_back("DISPLAY", display);
  else
    spec.unsetEnv.push_back("DISPLAY");
  spec.stdoutPath = "/dev/null";
  const std::string errFile = dir / "stderr.txt";
  spec.stderrPath = errFile;
  const pid_t child = qt::Spawn(spec);
  Outcome outcome;
  if (child <= 0) return outcome;

  int status = 0;
  bool ended = false;
  for (int i = 0; i < 600 && !ended; ++i) {
    ended = waitpid(child, &status, WNOHANG) == child;
    if (!ended) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  if (!ended) {
    kill(child, SIGKILL);
    waitpid(child, &status, 0);
  } else if (WIFEXITED(status)) {
    outcome.exitCode = WEXITSTATUS(status);
  } else {
    outcome.exitCode = 128 + WTERMSIG(status);
  }
  outcome.err = qt::ReadFile(errFile);
  outcome.audioOpened = qt::FileExists(wav);
  return outcome;
}

TEST(MusicDiskWithoutDisplay, EndsAtStartWithAMessageThatNamesTheDisplay) {
  if (!qt::FileExists(MUSICDISK_ARCHIVE)) GTEST_SKIP() << "kelm.dat has not been built";
  struct Case {
    const char* display;  // null: DISPLAY unset
    const char* message;
  };
  const Case cases[] = {
      {nullptr, "Cannot open display: DISPLAY is not set."},
      {":99999", "Cannot open display \":99999\"."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.display ? c.display : "(unset)");
    Outcome r = RunWithDisplay(c.display);
    EXPECT_NE(r.exitCode, -1) << "still running after a minute";
    EXPECT_NE(r.exitCode, 0);
    EXPECT_FALSE(qt::Contains(r.err, "LeakSanitizer")) << r.err;  // the sanitizer build checks at the end
    EXPECT_TRUE(qt::Contains(r.err, c.message)) << r.err;
    EXPECT_FALSE(r.audioOpened);
  }
}

}  // namespace
