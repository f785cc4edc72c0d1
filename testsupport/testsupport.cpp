#include "testsupport/testsupport.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>

extern char** environ;

namespace qt {

namespace {

std::string TempBase() {
  const char* t = std::getenv("TMPDIR");
  return t && *t ? t : "/tmp";
}

// --- what the running test has done so far, so that a re-executed child can
// replay it ---------------------------------------------------------------

struct TestTrack {
  std::mutex lock;
  unsigned test = 0;                 // bumped when a test starts
  int calls = 0;                     // RunInChild calls of the running test
  std::vector<ChildResult> results;  // what they gave back
  std::vector<std::string> dirs;     // its TempDirs in order, empty once removed
};
TestTrack track;

class TestStartListener : public testing::EmptyTestEventListener {
  void OnTestStart(const testing::TestInfo&) override {
    std::lock_guard<std::mutex> guard(track.lock);
    ++track.test;
    track.calls = 0;
    track.results.clear();
    track.dirs.clear();
  }
};

// In a re-executed child: the call to run, and what the parent had seen up
// to it.
constexpr char kPlanVariable[] = "QT_RUN_IN_CHILD_PLAN";
struct ChildPlan {
  bool active = false;
  bool reached = false;
  int call = 0;
  int timeoutSeconds = 60;
  std::string test, outPath, errPath;
  std::vector<ChildResult> earlier;
  std::vector<std::string> dirs;
};
ChildPlan plan;

bool BeforeThePlannedCall() { return plan.active && !plan.reached; }

// The plan travels as a file of fields, each its length in decimal, a line
// break and its bytes.
void Put(std::string& to, const std::string& field) {
  to += std::to_string(field.size());
  to += '\n';
  to += field;
}

class Fields {
 public:
  explicit Fields(const std::string& text) : text_(text) {}
  bool Next(std::string& field) {
    const size_t end = text_.find('\n', pos_);
    if (end == std::string::npos) return false;
    const unsigned long long size = std::strtoull(text_.c_str() + pos_, nullptr, 10);
    if (size > text_.size() - end - 1) return false;
    field.assign(text_, end + 1, size);
    pos_ = end + 1 + size;
    return true;
  }
  bool Next(int& number) {
    std::string field;
    if (!Next(field)) return false;
    number = std::atoi(field.c_str());
    return true;
  }

 private:
  const std::string& text_;
  size_t pos_ = 0;
};

std::string PlanText(int call, int timeoutSeconds, const std::string& test, const std::string& outPath,
                     const std::string& errPath) {
  std::string text;
  for (const std::string& field : {std::to_string(call), std::to_string(timeoutSeconds), test, outPath, errPath})
    Put(text, field);
  Put(text, std::to_string(track.results.size()));
  for (const ChildResult& r : track.results) {
    Put(text, std::to_string(r.exitCode));
    Put(text, r.out);
    Put(text, r.err);
  }
  Put(text, std::to_string(track.dirs.size()));
  for (const std::string& dir : track.dirs) Put(text, dir);
  return text;
}

bool ParsePlan(const std::string& text, ChildPlan& p) {
  Fields f(text);
  int results = 0, dirs = 0;
  if (!f.Next(p.call) || !f.Next(p.timeoutSeconds) || !f.Next(p.test) || !f.Next(p.outPath) || !f.Next(p.errPath) ||
      !f.Next(results))
    return false;
  for (int i = 0; i < results; ++i) {
    ChildResult r;
    if (!f.Next(r.exitCode) || !f.Next(r.out) || !f.Next(r.err)) return false;
    p.earlier.push_back(std::move(r));
  }
  if (!f.Next(dirs)) return false;
  for (int i = 0; i < dirs; ++i) {
    std::string dir;
    if (!f.Next(dir)) return false;
    p.dirs.push_back(std::move(dir));
  }
  return true;
}

// A descriptor that replaces 1 or 2; only system calls, so a forked child
// may use it.
bool Redirect(const char* path, int target, int extraFlags) {
  const int fd = open(path, O_WRONLY | O_CREAT | extraFlags, 0600);
  if (fd < 0) return false;
  if (fd != target) {
    dup2(fd, target);
    close(fd);
  }
  return true;
}

// At exit of a re-executed child that did not come to its call.
void ReportMissedCall() {
  if (!BeforeThePlannedCall()) return;
  std::fflush(nullptr);
  const int fd = open(plan.errPath.c_str(), O_WRONLY | O_APPEND);
  if (fd >= 0) {
    dprintf(fd, "RunInChild: the re-executed test %s ended before its call number %d\n", plan.test.c_str(),
            plan.call + 1);
    close(fd);
  }
  _exit(kChildMissedItsCall);
}

void LoadPlan() {
  const char* path = std::getenv(kPlanVariable);
  if (!path) return;
  if (!ParsePlan(ReadFile(path), plan)) {
    std::fprintf(stderr, "RunInChild: unreadable plan %s\n", path);
    _exit(kChildMissedItsCall);
  }
  plan.active = true;
  std::atexit(ReportMissedCall);
  // The way to the call is timed as the body is.
  alarm(static_cast<unsigned>(plan.timeoutSeconds));
}

[[maybe_unused]] const bool initialised = [] {
  // Google Test owns its listeners.
  testing::UnitTest::GetInstance()->listeners().Append(new TestStartListener);
  LoadPlan();
  return true;
}();

[[noreturn]] void RunBody(const std::function<void()>& body, int timeoutSeconds) {
  alarm(static_cast<unsigned>(timeoutSeconds));
  body();
  std::fflush(nullptr);
  _exit(0);
}

[[noreturn]] void RunThePlannedCall(const std::function<void()>& body) {
  plan.reached = true;
  std::fflush(nullptr);  // what the test wrote on its way belongs to no capture
  Redirect(plan.outPath.c_str(), 1, O_TRUNC);
  Redirect(plan.errPath.c_str(), 2, O_TRUNC);
  unsetenv(kPlanVariable);
  RunBody(body, plan.timeoutSeconds);
}

int ThreadCount() {
  std::error_code ec;
  int n = 0;
  for (std::filesystem::directory_iterator it("/proc/self/task", ec), end; !ec && it != end; it.increment(ec)) ++n;
  return n;
}

bool MustReexecute() { return std::getenv(kForceReexecVariable) != nullptr || ThreadCount() != 1; }

std::string RunningTestName() {
  const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
  return info ? std::string(info->test_suite_name()) + "." + info->name() : std::string();
}

pid_t Reexecute(const std::string& test, int call, int timeoutSeconds, const std::string& outPath,
                const std::string& errPath, std::string& planPath) {
  planPath = TempBase() + "/qt-plan-XXXXXX";
  const int planFd = mkstemp(planPath.data());
  if (planFd < 0) return -1;
  close(planFd);
  if (!WriteFile(planPath, PlanText(call, timeoutSeconds, test, outPath, errPath))) return -1;
  SpawnSpec spec;
  spec.argv = {"/proc/self/exe", "--gtest_filter=" + test, "--gtest_also_run_disabled_tests", "--gtest_repeat=1"};
  spec.setEnv = {{kPlanVariable, planPath}};
  spec.unsetEnv = {"GTEST_OUTPUT", "GTEST_TOTAL_SHARDS", "GTEST_SHARD_INDEX", "GTEST_SHARD_STATUS_FILE"};
  // Until the call, Google Test's own report goes where a failure of the
  // child is looked for.
  spec.stdoutPath = spec.stderrPath = errPath;
  return Spawn(spec);
}

int ExitCodeOf(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

// --- Spawn ----------------------------------------------------------------

std::string FindProgram(const std::string& name) {
  if (name.find('/') != std::string::npos) return name;
  const char* path = std::getenv("PATH");
  std::istringstream dirs(path ? path : "/usr/bin:/bin");
  for (std::string dir; std::getline(dirs, dir, ':');) {
    const std::string candidate = (dir.empty() ? "." : dir) + "/" + name;
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return name;
}

std::vector<std::string> EnvironmentFor(const SpawnSpec& spec) {
  auto overridden = [&](const std::string& entry) {
    const std::string name = entry.substr(0, entry.find('='));
    for (const auto& unset : spec.unsetEnv)
      if (unset == name) return true;
    for (const auto& set : spec.setEnv)
      if (set.first == name) return true;
    return false;
  };
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e)
    if (!overridden(*e)) env.emplace_back(*e);
  for (const auto& set : spec.setEnv) env.push_back(set.first + "=" + set.second);
  return env;
}

std::vector<char*> Pointers(std::vector<std::string>& strings) {
  std::vector<char*> pointers;
  for (auto& s : strings) pointers.push_back(s.data());
  pointers.push_back(nullptr);
  return pointers;
}

constexpr int kPassedFd = 3;

// The forked child: system calls only, then exec.
[[noreturn]] void ExecSpawned(pid_t parent, const SpawnSpec& spec, const std::string& program, char** argv,
                              char** envp) {
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (getppid() != parent) _exit(127);  // the parent is gone already
  if (spec.passFd == kPassedFd)
    fcntl(kPassedFd, F_SETFD, 0);
  else if (spec.passFd >= 0)
    dup2(spec.passFd, kPassedFd);
  // Append: two descriptors on one file must not write over each other.
  if (!spec.stdoutPath.empty() && !Redirect(spec.stdoutPath.c_str(), 1, O_TRUNC | O_APPEND)) _exit(126);
  if (!spec.stderrPath.empty()) {
    if (spec.stderrPath == spec.stdoutPath)
      dup2(1, 2);
    else if (!Redirect(spec.stderrPath.c_str(), 2, O_TRUNC | O_APPEND))
      _exit(126);
  }
  execve(program.c_str(), argv, envp);
  _exit(127);
}

// --- the watchdog -----------------------------------------------------------

std::array<std::atomic<pid_t>, 8> watched{};
constexpr char kHangMessage[] = "watchdog: the test hangs, aborting\n";

int WatchdogSignal() { return SIGRTMIN + 4; }

void OnWatchdogTimer(int) {
  for (auto& slot : watched) {
    const pid_t pid = slot.load();
    if (pid > 0) kill(pid, SIGKILL);
  }
  [[maybe_unused]] const ssize_t n = write(2, kHangMessage, sizeof kHangMessage - 1);
  std::abort();
}

// --- the X server -----------------------------------------------------------

constexpr int kFirstDisplay = 150, kLastDisplay = 250;
constexpr int kXvfbReportMs = 20000;

// The line a program writes to fd, up to the time limit; empty on EOF.
std::string ReadLine(int fd, int timeoutMs) {
  std::string line;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (std::chrono::steady_clock::now() < deadline) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 100) <= 0) continue;
    char c = 0;
    const ssize_t n = read(fd, &c, 1);
    if (n == 0) return {};
    if (n < 0) {
      if (errno == EINTR) continue;
      return {};
    }
    if (c == '\n') return line;
    line += c;
  }
  return {};
}

// Whether the process holds a listening socket of the display: proof that
// the server a client reaches there is that process.
bool ServesDisplay(pid_t pid, int number) {
  const std::string suffix = "/tmp/.X11-unix/X" + std::to_string(number);
  std::vector<std::string> inodes;
  std::istringstream table(ReadFile("/proc/net/unix"));
  for (std::string line; std::getline(table, line);) {
    std::istringstream fields(line);
    std::string num, refs, protocol, flags, type, state, inode, path;
    if (!(fields >> num >> refs >> protocol >> flags >> type >> state >> inode >> path)) continue;
    if (path == suffix || path == "@" + suffix) inodes.push_back("socket:[" + inode + "]");
  }
  std::error_code ec;
  const std::string fds = "/proc/" + std::to_string(pid) + "/fd";
  for (std::filesystem::directory_iterator it(fds, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code linkError;
    const std::string target = std::filesystem::read_symlink(it->path(), linkError).string();
    for (const auto& inode : inodes)
      if (target == inode) return true;
  }
  return false;
}

}  // namespace

pid_t Spawn(const SpawnSpec& spec) {
  if (spec.argv.empty()) return -1;
  const std::string program = FindProgram(spec.argv[0]);
  std::vector<std::string> args = spec.argv;
  std::vector<std::string> env = EnvironmentFor(spec);
  std::vector<char*> argv = Pointers(args), envp = Pointers(env);
  const pid_t parent = getpid();
  const pid_t pid = fork();
  if (pid == 0) ExecSpawned(parent, spec, program, argv.data(), envp.data());
  return pid;
}

ChildResult RunInChild(const std::function<void()>& body, int timeoutSeconds) {
  int call = 0;
  {
    std::lock_guard<std::mutex> guard(track.lock);
    call = track.calls++;
  }
  if (BeforeThePlannedCall()) {
    if (call == plan.call) RunThePlannedCall(body);
    return call < static_cast<int>(plan.earlier.size()) ? plan.earlier[static_cast<size_t>(call)] : ChildResult{};
  }
  ChildResult result;
  std::string outName = TempBase() + "/qt-out-XXXXXX";
  std::string errName = TempBase() + "/qt-err-XXXXXX";
  std::string planName;
  const int outFd = mkstemp(outName.data());
  const int errFd = mkstemp(errName.data());
  std::fflush(nullptr);
  const std::string test = RunningTestName();
  pid_t pid = -1;
  if (!test.empty() && MustReexecute()) {
    std::lock_guard<std::mutex> guard(track.lock);
    pid = Reexecute(test, call, timeoutSeconds, outName, errName, planName);
  } else {
    pid = fork();
    if (pid == 0) {
      dup2(outFd, 1);
      dup2(errFd, 2);
      RunBody(body, timeoutSeconds);
    }
  }
  int status = 0;
  if (pid > 0) {
    KillWhenTheWatchdogFires(pid);
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    ForgetWhenTheWatchdogFires(pid);
    result.exitCode = ExitCodeOf(status);
  }
  close(outFd);
  close(errFd);
  result.out = ReadFile(outName);
  result.err = ReadFile(errName);
  unlink(outName.c_str());
  unlink(errName.c_str());
  if (!planName.empty()) unlink(planName.c_str());
  std::lock_guard<std::mutex> guard(track.lock);
  track.results.push_back(result);
  return result;
}

void ExpectPassesInChild(const std::function<void()>& body) {
  ChildResult r = RunInChild([&] {
    body();
    std::fflush(nullptr);
    _exit(::testing::Test::HasFailure() ? 1 : 0);
  });
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
}

TempDir::TempDir() {
  std::lock_guard<std::mutex> guard(track.lock);
  slot_ = static_cast<int>(track.dirs.size());
  test_ = track.test;
  const size_t slot = static_cast<size_t>(slot_);
  if (BeforeThePlannedCall() && slot < plan.dirs.size() && !plan.dirs[slot].empty()) {
    path_ = plan.dirs[slot];
    borrowed_ = true;
  } else {
    std::string tmpl = TempBase() + "/qt-dir-XXXXXX";
    if (mkdtemp(tmpl.data())) path_ = tmpl;
  }
  track.dirs.push_back(path_);
}

TempDir::~TempDir() {
  {
    std::lock_guard<std::mutex> guard(track.lock);
    if (test_ == track.test && static_cast<size_t>(slot_) < track.dirs.size())
      track.dirs[static_cast<size_t>(slot_)].clear();
  }
  std::error_code ec;
  if (!path_.empty() && !borrowed_) std::filesystem::remove_all(path_, ec);
}

ChangeDir::ChangeDir(const std::string& path) {
  old_ = std::filesystem::current_path().string();
  std::filesystem::current_path(path);
}

ChangeDir::~ChangeDir() {
  std::error_code ec;
  std::filesystem::current_path(old_, ec);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

bool WriteFile(const std::string& path, const std::string& contents) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << contents;
  return static_cast<bool>(out);
}

bool FileExists(const std::string& path) {
  struct stat st{};
  return stat(path.c_str(), &st) == 0;
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) lines.push_back(line);
  return lines;
}

void KillWhenTheWatchdogFires(pid_t pid) {
  for (auto& slot : watched) {
    pid_t empty = 0;
    if (slot.compare_exchange_strong(empty, pid)) return;
  }
}

void ForgetWhenTheWatchdogFires(pid_t pid) {
  for (auto& slot : watched) {
    pid_t expected = pid;
    slot.compare_exchange_strong(expected, 0);
  }
}

struct Watchdog::Impl {
  timer_t timer{};
  bool armed = false;
};

Watchdog::Watchdog(int seconds) : impl_(std::make_unique<Impl>()) {
  struct sigaction action{};
  action.sa_handler = OnWatchdogTimer;
  sigemptyset(&action.sa_mask);
  sigaction(WatchdogSignal(), &action, nullptr);
  sigevent event{};
  event.sigev_notify = SIGEV_SIGNAL;
  event.sigev_signo = WatchdogSignal();
  if (timer_create(CLOCK_MONOTONIC, &event, &impl_->timer) != 0) {
    std::fprintf(stderr, "watchdog: no timer: %s\n", std::strerror(errno));
    return;
  }
  itimerspec when{};
  when.it_value.tv_sec = seconds;
  timer_settime(impl_->timer, 0, &when, nullptr);
  impl_->armed = true;
}

Watchdog::~Watchdog() {
  if (impl_->armed) timer_delete(impl_->timer);
}

OwnXServer::OwnXServer() {
  if (const char* d = std::getenv("DISPLAY")) previous_ = d;
  if (BeforeThePlannedCall()) {
    // The parent's server, which DISPLAY names.
    borrowed_ = !previous_.empty();
    return;
  }
  for (int n = kFirstDisplay; n < kLastDisplay && !running(); ++n) Start(n);
}

OwnXServer::~OwnXServer() {
  Stop();
  if (!previous_.empty()) setenv("DISPLAY", previous_.c_str(), 1);
}

// Xvfb itself makes sure that one server only gets the number, and tells on
// the descriptor when it is ready; the server found there must be ours.
bool OwnXServer::Start(int number) {
  const std::string name = std::to_string(number);
  if (FileExists("/tmp/.X" + name + "-lock") || FileExists("/tmp/.X11-unix/X" + name)) return false;
  int report[2];
  if (pipe2(report, O_CLOEXEC) != 0) return false;
  SpawnSpec spec;
  // -noreset: without it the server resets whenever its last client leaves,
  // and a client connecting meanwhile is refused (a test's short-lived
  // xdotool calls leave it without clients again and again).
  spec.argv = {"Xvfb",     ":" + name, "-displayfd", std::to_string(kPassedFd), "-screen", "0", "1920x1080x24",
               "-nolisten", "tcp",      "-noreset"};
  spec.stdoutPath = spec.stderrPath = "/dev/null";
  spec.passFd = report[1];
  pid_ = Spawn(spec);
  close(report[1]);
  const std::string reported = pid_ > 0 ? ReadLine(report[0], kXvfbReportMs) : std::string();
  close(report[0]);
  if (pid_ > 0 && reported == name && ServesDisplay(pid_, number)) {
    KillWhenTheWatchdogFires(pid_);
    setenv("DISPLAY", (":" + name).c_str(), 1);
    return true;
  }
  Stop();
  return false;
}

void OwnXServer::Stop() {
  if (pid_ <= 0) return;
  ForgetWhenTheWatchdogFires(pid_);
  kill(pid_, SIGTERM);
  while (waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
  }
  pid_ = 0;
}

Args::Args(std::initializer_list<std::string> args) : store_(args) {
  for (auto& s : store_) ptrs_.push_back(s.data());
  ptrs_.push_back(nullptr);
}

}  // namespace qt
