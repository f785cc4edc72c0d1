// Helpers for the tests: child processes, temporary folders, files and a
// watchdog.
#pragma once
#include <sys/types.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

// A check inside a child process: a failure is written to stderr, which the
// parent expects to stay empty.
#define CHILD_CHECK(cond)                                                         \
  do {                                                                            \
    if (!(cond)) std::fprintf(stderr, "FAILED line %d: %s\n", __LINE__, #cond); \
  } while (0)

namespace qt {

struct ChildResult {
  int exitCode = -1;  // the child's exit code, or 128 + signal
  std::string out;    // what it wrote to stdout
  std::string err;    // what it wrote to stderr
};

// The exit code of a re-executed child whose test never came to the call it
// was started for (the test took another path in the child).
inline constexpr int kChildMissedItsCall = 86;
// Set (to anything) to make every RunInChild re-execute the test program,
// as it does by itself when the process has threads.
inline constexpr char kForceReexecVariable[] = "QT_RUN_IN_CHILD_REEXEC";

// Runs body in a child process with stdout and stderr captured; a body that
// returns ends the child with exit code 0. The child is killed after
// timeoutSeconds.
//
// A process with one thread forks. A forked child of a process with threads
// could find a lock (the allocator's, stdio's) held for ever, so then the
// test program is executed again, filtered to the running test: the test
// runs up to this call in the new process, where earlier calls give back
// what they gave in the parent and the test's TempDirs name the parent's
// folders, and the body runs there. A test that takes another path in the
// child ends it with kChildMissedItsCall.
ChildResult RunInChild(const std::function<void()>& body, int timeoutSeconds = 60);
// Runs a body of gtest checks in a child (for state that lasts the whole
// process, such as mounts) and expects the child to end without a failed
// check; the child's output is shown when it does not.
void ExpectPassesInChild(const std::function<void()>& body);

// A program started from a process that may have threads: between fork and
// exec the child makes only system calls. The program is killed when the
// thread that started it ends.
struct SpawnSpec {
  std::vector<std::string> argv;  // argv[0] without a '/' is looked up in PATH
  std::vector<std::pair<std::string, std::string>> setEnv;
  std::vector<std::string> unsetEnv;
  std::string stdoutPath;  // empty: the test's own
  std::string stderrPath;
  int passFd = -1;  // given to the program as descriptor 3
};
// The process id, or -1.
pid_t Spawn(const SpawnSpec& spec);

// A fresh folder under the temporary folder, removed again at the end.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
  bool borrowed_ = false;  // the parent's folder, seen from a re-executed child
  int slot_ = -1;
  unsigned test_ = 0;
};

// Changes the current folder for the lifetime of the object.
class ChangeDir {
 public:
  explicit ChangeDir(const std::string& path);
  ~ChangeDir();

 private:
  std::string old_;
};

std::string ReadFile(const std::string& path);
bool WriteFile(const std::string& path, const std::string& contents);
bool FileExists(const std::string& path);
std::vector<std::string> SplitLines(const std::string& text);
inline bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Polls the condition every few milliseconds until it holds (true) or the
// limit has passed (false). For work on other threads: a fixed sleep is
// either too short on a loaded machine or too long everywhere else.
inline bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

// Aborts the test program when it is still alive after the given time, and
// first kills the processes handed to KillWhenTheWatchdogFires. It runs on a
// timer signal, not a thread: a thread started just before a fork could hold
// a lock the child needs.
class Watchdog {
 public:
  explicit Watchdog(int seconds);
  ~Watchdog();
  Watchdog(const Watchdog&) = delete;
  Watchdog& operator=(const Watchdog&) = delete;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// Processes that must not outlive a hanging test (an X server, a program
// under test). Room for a few at a time; the rest are not watched.
void KillWhenTheWatchdogFires(pid_t pid);
void ForgetWhenTheWatchdogFires(pid_t pid);

// An X server (Xvfb) of the test's own, with DISPLAY pointing at it, for as
// long as the object lives: tests that move the pointer, press keys or take
// screenshots are then safe from the others, which switch display modes and
// open windows on the shared server. running() is false when none started.
class OwnXServer {
 public:
  OwnXServer();
  ~OwnXServer();
  OwnXServer(const OwnXServer&) = delete;
  OwnXServer& operator=(const OwnXServer&) = delete;
  bool running() const { return pid_ > 0 || borrowed_; }
  pid_t pid() const { return pid_; }

 private:
  bool Start(int number);
  void Stop();
  pid_t pid_ = 0;
  bool borrowed_ = false;  // a re-executed child uses its parent's server
  std::string previous_;
};

// An argv that owns its strings, for start-up tests.
class Args {
 public:
  Args(std::initializer_list<std::string> args);
  int argc() const { return static_cast<int>(ptrs_.size()) - 1; }
  char** argv() { return ptrs_.data(); }

 private:
  std::vector<std::string> store_;
  std::vector<char*> ptrs_;
};

}  // namespace qt
