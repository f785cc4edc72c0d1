// The program on a machine without a usable X display: it must end at
// start-up with a message that names the display, never open the audio
// device and never run on without a window.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "testsupport/testsupport.h"

extern char** environ;

namespace {

struct Outcome {
  int exitCode = -1;  // -1: killed after the time limit
  std::string err;
  bool audioOpened = false;
};

// The environment of this process without the display and audio settings,
// then the given ones.
std::vector<std::string> Environment(const std::vector<std::string>& extra) {
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) {
    std::string entry = *e;
    if (entry.starts_with("DISPLAY=") || entry.starts_with("ALSOFT_CONF=") || entry.starts_with("ALSOFT_DRIVERS="))
      continue;
    env.push_back(entry);
  }
  env.insert(env.end(), extra.begin(), extra.end());
  return env;
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
  std::vector<char*> out;
  for (auto& t : texts) out.push_back(t.data());
  out.push_back(nullptr);
  return out;
}

// Runs a copy of the program beside the demo archive, audio through OpenAL
// Soft's wave writer (whose file appears once the device is opened).
Outcome RunWithDisplay(const char* display) {
  qt::TempDir dir;
  std::filesystem::copy_file(MUSICDISK_EXE, dir / "musicdisk");
  std::filesystem::permissions(dir / "musicdisk", std::filesystem::perms::owner_all);
  std::filesystem::create_symlink(MUSICDISK_ARCHIVE, dir / "kelm.dat");
  std::string wav = dir / "out.wav";
  qt::WriteFile(dir / "alsoft.conf", "drivers=wave\n[wave]\nfile=" + wav + "\n");

  std::vector<std::string> extra{"ALSOFT_CONF=" + (dir / "alsoft.conf")};
  if (display) extra.push_back(std::string("DISPLAY=") + display);
  std::vector<std::string> env = Environment(extra);
  std::vector<std::string> args{dir / "musicdisk", "-default"};
  std::vector<char*> envp = Pointers(env), argv = Pointers(args);

  std::string errFile = dir / "stderr.txt";
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addchdir_np(&actions, dir.path().c_str());
  pid_t child = 0;
  int spawned = posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  Outcome outcome;
  if (spawned != 0) return outcome;

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
    EXPECT_TRUE(qt::Contains(r.err, c.message)) << r.err;
    EXPECT_FALSE(r.audioOpened);
  }
}

}  // namespace
