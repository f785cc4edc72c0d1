#include "testsupport/testsupport.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <thread>

namespace qt {

namespace {
std::string TempBase() {
  const char* t = std::getenv("TMPDIR");
  return t && *t ? t : "/tmp";
}
}  // namespace

ChildResult RunInChild(const std::function<void()>& body, int timeoutSeconds) {
  ChildResult result;
  std::string outName = TempBase() + "/qt-out-XXXXXX";
  std::string errName = TempBase() + "/qt-err-XXXXXX";
  int outFd = mkstemp(outName.data());
  int errFd = mkstemp(errName.data());
  std::fflush(nullptr);
  pid_t pid = fork();
  if (pid == 0) {
    dup2(outFd, 1);
    dup2(errFd, 2);
    alarm(static_cast<unsigned>(timeoutSeconds));
    body();
    std::fflush(nullptr);
    _exit(0);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  if (WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
  else if (WIFSIGNALED(status)) result.exitCode = 128 + WTERMSIG(status);
  close(outFd);
  close(errFd);
  result.out = ReadFile(outName);
  result.err = ReadFile(errName);
  unlink(outName.c_str());
  unlink(errName.c_str());
  return result;
}

TempDir::TempDir() {
  std::string tmpl = TempBase() + "/qt-dir-XXXXXX";
  if (mkdtemp(tmpl.data())) path_ = tmpl;
}

TempDir::~TempDir() {
  std::error_code ec;
  if (!path_.empty()) std::filesystem::remove_all(path_, ec);
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

struct Watchdog::Impl {
  std::mutex lock;
  std::condition_variable done;
  bool cancelled = false;
  std::thread thread;
};

Watchdog::Watchdog(int seconds) : impl_(new Impl) {
  impl_->thread = std::thread([this, seconds] {
    std::unique_lock<std::mutex> guard(impl_->lock);
    if (!impl_->done.wait_for(guard, std::chrono::seconds(seconds), [this] { return impl_->cancelled; })) {
      std::fprintf(stderr, "watchdog: the test hangs, aborting\n");
      std::abort();
    }
  });
}

Watchdog::~Watchdog() {
  {
    std::lock_guard<std::mutex> guard(impl_->lock);
    impl_->cancelled = true;
  }
  impl_->done.notify_all();
  impl_->thread.join();
  delete impl_;
}

OwnXServer::OwnXServer() {
  if (const char* d = std::getenv("DISPLAY")) previous_ = d;
  for (int n = 150; n < 250 && !running(); ++n) {
    const std::string number = std::to_string(n);
    const std::string socket = "/tmp/.X11-unix/X" + number;
    if (FileExists("/tmp/.X" + number + "-lock") || FileExists(socket)) continue;
    pid_ = fork();
    if (pid_ == 0) {
      if (!std::freopen("/dev/null", "w", stderr)) _exit(126);
      execlp("Xvfb", "Xvfb", (":" + number).c_str(), "-screen", "0", "1920x1080x24", "-nolisten", "tcp",
             static_cast<char*>(nullptr));
      _exit(127);
    }
    for (int i = 0; i < 100 && running(); ++i) {
      if (FileExists(socket)) {
        setenv("DISPLAY", (":" + number).c_str(), 1);
        return;
      }
      if (waitpid(pid_, nullptr, WNOHANG) == pid_) pid_ = 0;  // another test took the number first
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    Stop();
  }
}

OwnXServer::~OwnXServer() {
  Stop();
  if (!previous_.empty()) setenv("DISPLAY", previous_.c_str(), 1);
}

void OwnXServer::Stop() {
  if (pid_ <= 0) return;
  kill(pid_, SIGTERM);
  waitpid(pid_, nullptr, 0);
  pid_ = 0;
}

Args::Args(std::initializer_list<std::string> args) : store_(args) {
  for (auto& s : store_) ptrs_.push_back(s.data());
  ptrs_.push_back(nullptr);
}

}  // namespace qt
