// Helpers for the tests: child processes, temporary folders, files and a
// watchdog.
#pragma once
#include <cstdio>
#include <functional>
#include <string>
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

// Runs body in a forked child with stdout and stderr captured; a body that
// returns ends the child with exit code 0. The child is killed after
// timeoutSeconds.
ChildResult RunInChild(const std::function<void()>& body, int timeoutSeconds = 60);

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

// Aborts the test program when it is still alive after the given time.
class Watchdog {
 public:
  explicit Watchdog(int seconds);
  ~Watchdog();

 private:
  struct Impl;
  Impl* impl_;
};

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
  bool running() const { return pid_ > 0; }

 private:
  void Stop();
  int pid_ = 0;
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
