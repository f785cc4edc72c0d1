// The harness itself: children of processes with threads, the watchdog, the
// test's own X server.
#include "testsupport/testsupport.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>

namespace {

int ThreadsNow() {
  int n = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator("/proc/self/task")) ++n;
  return n;
}

// Gone, or a zombie nobody has reaped yet.
bool Ended(pid_t pid) {
  for (int i = 0; i < 100; ++i) {
    const std::string stat = qt::ReadFile("/proc/" + std::to_string(pid) + "/stat");
    const size_t close = stat.rfind(')');
    if (stat.empty() || (close != std::string::npos && stat.compare(close, 3, ") Z") == 0)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return false;
}

// How a child came to be: the test keeps its own process id before the
// call; a forked child's parent has that id, a re-executed child took the
// test's way again and kept its own.
const char* HowMade(pid_t keptByTheTest) { return getppid() == keptByTheTest ? "forked" : "re-executed"; }

class ForcedReexec : public ::testing::Test {
 protected:
  void SetUp() override { setenv(qt::kForceReexecVariable, "1", 1); }
  void TearDown() override {
    if (!wasForced_) unsetenv(qt::kForceReexecVariable);
  }

 private:
  bool wasForced_ = std::getenv(qt::kForceReexecVariable) != nullptr;
};

TEST_F(ForcedReexec, ChildReplaysTheTestUpToItsCall) {
  qt::TempDir dir;
  ASSERT_TRUE(qt::WriteFile(dir / "seen.txt", "from the parent"));
  const pid_t kept = getpid();
  const qt::ChildResult first = qt::RunInChild([] {
    std::printf("first out");
    std::fprintf(stderr, "first err");
    std::exit(3);
  });
  EXPECT_EQ(first.exitCode, 3);
  EXPECT_EQ(first.out, "first out");
  EXPECT_EQ(first.err, "first err");
  // The second child's way to its call passes the first call, which gives
  // back what it gave here, and the folder, which is this one.
  const std::string expected = first.out;
  const qt::ChildResult second = qt::RunInChild([&] {
    std::printf("%s|%s|%s|%s", first.out.c_str(), dir.path().c_str(), qt::ReadFile(dir / "seen.txt").c_str(),
                HowMade(kept));
    qt::WriteFile(dir / "from-child.txt", "written by the child");
  });
  EXPECT_EQ(second.exitCode, 0) << second.err;
  EXPECT_EQ(second.out, expected + "|" + dir.path() + "|from the parent|re-executed");
  EXPECT_EQ(second.err, "");
  EXPECT_EQ(qt::ReadFile(dir / "from-child.txt"), "written by the child");
  EXPECT_TRUE(qt::FileExists(dir.path())) << "the child removed the parent's folder";
}

TEST_F(ForcedReexec, ChildThatTakesAnotherPathSaysSo) {
  qt::TempDir dir;
  // The marker exists in the child: it never comes to the call.
  if (!qt::FileExists(dir / "marker")) {
    ASSERT_TRUE(qt::WriteFile(dir / "marker", ""));
    const qt::ChildResult r = qt::RunInChild([] { std::printf("ran"); });
    EXPECT_EQ(r.exitCode, qt::kChildMissedItsCall);
    EXPECT_EQ(r.out, "");
    EXPECT_TRUE(qt::Contains(r.err, "ChildThatTakesAnotherPathSaysSo ended before its call number 1")) << r.err;
  }
}

TEST_F(ForcedReexec, TimeoutAndSignalsAreTheChilds) {
  const qt::ChildResult slow = qt::RunInChild([] { pause(); }, 1);
  EXPECT_EQ(slow.exitCode, 128 + SIGALRM);
  const qt::ChildResult killed = qt::RunInChild([] { kill(getpid(), SIGKILL); });
  EXPECT_EQ(killed.exitCode, 128 + SIGKILL);
}

TEST(RunInChild, ForksOnlyWithoutThreadsAndReexecutesWithThem) {
  const bool forced = std::getenv(qt::kForceReexecVariable) != nullptr;
  auto seen = [] {
    const pid_t kept = getpid();
    return qt::RunInChild([kept] { std::printf("%s", HowMade(kept)); }).out;
  };
  ASSERT_EQ(ThreadsNow(), 1);
  EXPECT_EQ(seen(), forced ? "re-executed" : "forked");
  std::atomic<bool> stop{false};
  std::thread busy([&] {
    while (!stop) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  });
  EXPECT_EQ(seen(), "re-executed");
  stop = true;
  busy.join();
}

TEST(Watchdog, StartsNoThreadAndFiresOnATimer) {
  {
    qt::Watchdog dog(60);
    EXPECT_EQ(ThreadsNow(), 1);
  }
  // A process of the test's, which the watchdog of the hanging child ends.
  // Started once: a re-executed child finds its number in the folder.
  qt::TempDir dir;
  if (!qt::FileExists(dir / "victim")) {
    qt::SpawnSpec sleeper;
    sleeper.argv = {"sleep", "60"};
    ASSERT_TRUE(qt::WriteFile(dir / "victim", std::to_string(qt::Spawn(sleeper))));
  }
  const pid_t victim = std::atoi(qt::ReadFile(dir / "victim").c_str());
  ASSERT_GT(victim, 0);
  const qt::ChildResult r = qt::RunInChild([victim] {
    { qt::Watchdog cancelled(1); }
    qt::KillWhenTheWatchdogFires(victim);
    qt::Watchdog dog(2);
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    std::printf("the cancelled watchdog did not fire\n");
    std::fflush(stdout);
    for (;;) pause();
  });
  EXPECT_EQ(r.exitCode, 128 + SIGABRT);
  EXPECT_EQ(r.out, "the cancelled watchdog did not fire\n");
  EXPECT_TRUE(qt::Contains(r.err, "watchdog: the test hangs, aborting")) << r.err;
  int status = 0;
  ASSERT_EQ(waitpid(victim, &status, 0), victim);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
}

TEST(Spawn, EnvironmentOutputAndADescriptor) {
  qt::TempDir dir;
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  setenv("QT_SPAWN_DROPPED", "x", 1);
  qt::SpawnSpec spec;
  spec.argv = {"sh", "-c", "echo \"$QT_SPAWN_SET${QT_SPAWN_DROPPED:-none}\"; echo err >&2; echo fd >&3"};
  spec.setEnv = {{"QT_SPAWN_SET", "set-"}};
  spec.unsetEnv = {"QT_SPAWN_DROPPED"};
  spec.stdoutPath = spec.stderrPath = dir / "both.txt";
  spec.passFd = fds[1];
  const pid_t pid = qt::Spawn(spec);
  unsetenv("QT_SPAWN_DROPPED");
  close(fds[1]);
  ASSERT_GT(pid, 0);
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(qt::ReadFile(dir / "both.txt"), "set-none\nerr\n");
  char got[4] = {};
  EXPECT_EQ(read(fds[0], got, 3), 3);
  EXPECT_STREQ(got, "fd\n");
  close(fds[0]);
}

TEST(Spawn, ProgramEndsWithTheTestThatStartedIt) {
  const qt::ChildResult r = qt::RunInChild([] {
    qt::SpawnSpec spec;
    spec.argv = {"sleep", "60"};
    std::printf("%d", qt::Spawn(spec));
  });
  ASSERT_EQ(r.exitCode, 0);
  const pid_t orphan = std::atoi(r.out.c_str());
  ASSERT_GT(orphan, 0);
  EXPECT_TRUE(Ended(orphan));
}

TEST(OwnXServer, EachHasItsOwnDisplayAndEndsItsServer) {
  pid_t first = 0;
  {
    qt::OwnXServer a;
    ASSERT_TRUE(a.running()) << "no Xvfb";
    const std::string displayA = std::getenv("DISPLAY");
    // Its number now looks free, as it does to two tests that start at the
    // same time: the second server must not take it.
    std::remove(("/tmp/.X11-unix/X" + displayA.substr(1)).c_str());
    qt::OwnXServer b;
    ASSERT_TRUE(b.running());
    EXPECT_NE(displayA, std::getenv("DISPLAY"));
    EXPECT_NE(a.pid(), b.pid());
    EXPECT_EQ(kill(a.pid(), 0), 0) << "the first server died";
    first = a.pid();
  }
  EXPECT_EQ(kill(first, 0), -1);
}

}  // namespace
