// The display guardian process.
#include "platform/restore.h"

#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>
#include <X11/extensions/dpms.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

extern char** environ;

namespace plat::restore {

namespace {

enum Kind : int32_t { kMode = 1, kForgetMode = 2, kPowerOff = 3, kForgetPowerOff = 4 };

struct Record {
  int32_t kind;
  int32_t a, b, c;
};

// What the guardian finds in its environment: the descriptor of the pipe's
// read end, and the test's record file.
constexpr char kGuardianVariable[] = "QUARN_DISPLAY_GUARDIAN";
constexpr char kRecordVariable[] = "QUARN_DISPLAY_GUARDIAN_RECORD";
constexpr int kGuardianReadFd = 3;

int writeEnd = -1;
bool started = false;
std::string recordFile;

bool ReadRecord(int fd, Record& r) {
  auto* p = reinterpret_cast<unsigned char*>(&r);
  size_t got = 0;
  while (got < sizeof r) {
    ssize_t n = read(fd, p + got, sizeof r - got);
    if (n == 0) return false;
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    got += static_cast<size_t>(n);
  }
  return true;
}

void WriteRecords(const char* path, const Record* mode, const Record* power) {
  const int fd = open(path, O_WRONLY | O_CREAT | O_APPEND, 0600);
  if (fd < 0) return;
  for (const Record* r : {mode, power})
    if (r) dprintf(fd, "%d %d %d %d\n", r->kind, r->a, r->b, r->c);
  close(fd);
}

[[noreturn]] void Guard(int readEnd) {
  // Our parent's signals (Ctrl-C to the process group) must not end us
  // before we have done our job.
  for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE}) signal(sig, SIG_IGN);
  // Hold nothing of the parent's open: its pipes and sockets must close
  // when it ends.
  long maxFd = sysconf(_SC_OPEN_MAX);
  if (maxFd < 0 || maxFd > 65536) maxFd = 65536;
  for (int fd = 3; fd < maxFd; ++fd)
    if (fd != readEnd) close(fd);

  bool haveMode = false, havePower = false;
  Record mode{}, power{};
  Record r{};
  while (ReadRecord(readEnd, r)) {
    if (r.kind == kMode) {
      mode = r;
      haveMode = true;
    } else if (r.kind == kForgetMode) {
      haveMode = false;
    } else if (r.kind == kPowerOff) {
      power = r;
      havePower = true;
    } else if (r.kind == kForgetPowerOff) {
      havePower = false;
    }
  }
  if (const char* record = std::getenv(kRecordVariable)) {
    WriteRecords(record, haveMode ? &mode : nullptr, havePower ? &power : nullptr);
  } else if (haveMode || havePower) {
    if (Display* d = XOpenDisplay(nullptr)) {
      if (haveMode) RestoreMode(d, mode.a, mode.b, mode.c);
      if (havePower) RestorePowerOff(d, power.a != 0);
      XCloseDisplay(d);
    }
  }
  _exit(0);
}

// The guardian is this program again: it takes that road before main, ahead
// of everything the program would start.
[[maybe_unused]] const bool guardianMode = [] {
  if (std::getenv(kGuardianVariable)) Guard(kGuardianReadFd);
  return false;
}();

// This process's environment with the display it uses now and the
// guardian's variables.
std::vector<std::string> GuardianEnvironment() {
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) {
    const std::string entry = *e;
    const std::string name = entry.substr(0, entry.find('='));
    if (name != kGuardianVariable && name != kRecordVariable) env.push_back(entry);
  }
  env.push_back(std::string(kGuardianVariable) + "=" + std::to_string(kGuardianReadFd));
  if (!recordFile.empty()) env.push_back(std::string(kRecordVariable) + "=" + recordFile);
  return env;
}

// Stdin, stdout and stderr from /dev/null, the read end as descriptor 3, in
// a process group of its own so that a Ctrl-C to ours does not reach it.
bool SpawnGuardian(int readEnd) {
  // dup2 onto itself would keep close-on-exec: bring the read end elsewhere
  // first.
  const int source = fcntl(readEnd, F_DUPFD_CLOEXEC, kGuardianReadFd + 1);
  if (source < 0) return false;
  std::vector<std::string> env = GuardianEnvironment();
  std::vector<char*> envp;
  for (auto& entry : env) envp.push_back(entry.data());
  envp.push_back(nullptr);
  char program[] = "/proc/self/exe";
  char* argv[] = {program, nullptr};

  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attr;
  posix_spawn_file_actions_init(&actions);
  posix_spawnattr_init(&attr);
  for (int fd : {0, 1, 2}) posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", O_RDWR, 0);
  posix_spawn_file_actions_adddup2(&actions, source, kGuardianReadFd);
  sigset_t none;
  sigemptyset(&none);
  posix_spawnattr_setsigmask(&attr, &none);
  posix_spawnattr_setpgroup(&attr, 0);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETPGROUP);
  pid_t pid = 0;
  const int failed = posix_spawn(&pid, program, &actions, &attr, argv, envp.data());
  posix_spawnattr_destroy(&attr);
  posix_spawn_file_actions_destroy(&actions);
  close(source);
  return failed == 0;
}

bool Start() {
  if (started) return writeEnd >= 0;
  started = true;
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return false;
  const bool spawned = SpawnGuardian(fds[0]);
  close(fds[0]);
  if (!spawned) {
    close(fds[1]);
    return false;
  }
  // The write end stays close-on-exec: programs we start must not keep the
  // guardian waiting.
  writeEnd = fds[1];
  return true;
}

void Send(const Record& r) {
  if (!Start()) return;
  const auto* p = reinterpret_cast<const unsigned char*>(&r);
  size_t sent = 0;
  while (sent < sizeof r) {
    ssize_t n = write(writeEnd, p + sent, sizeof r - sent);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    sent += static_cast<size_t>(n);
  }
}

}  // namespace

void SetRestoreRecordFile(const char* path) { recordFile = path ? path : ""; }

void RememberMode(int sizeIndex, int rotation, int rate) { Send(Record{kMode, sizeIndex, rotation, rate}); }
void ForgetMode() {
  if (started) Send(Record{kForgetMode, 0, 0, 0});
}
void RememberPowerOff(bool enabled) { Send(Record{kPowerOff, enabled ? 1 : 0, 0, 0}); }
void ForgetPowerOff() {
  if (started) Send(Record{kForgetPowerOff, 0, 0, 0});
}

void RestoreMode(void* display, int sizeIndex, int rotation, int rate) {
  auto* d = static_cast<Display*>(display);
  ::Window root = DefaultRootWindow(d);
  XRRScreenConfiguration* conf = XRRGetScreenInfo(d, root);
  if (!conf) return;
  XRRSetScreenConfigAndRate(d, conf, root, sizeIndex, static_cast<Rotation>(rotation), static_cast<short>(rate),
                            CurrentTime);
  XRRFreeScreenConfigInfo(conf);
  XSync(d, False);
}

void RestorePowerOff(void* display, bool enabled) {
  auto* d = static_cast<Display*>(display);
  if (enabled)
    DPMSEnable(d);
  else
    DPMSDisable(d);
  XSync(d, False);
}

bool QueryPowerOff(void* display, bool& enabled) {
  auto* d = static_cast<Display*>(display);
  int eventBase = 0, errorBase = 0;
  if (!d || !DPMSQueryExtension(d, &eventBase, &errorBase) || !DPMSCapable(d)) return false;
  CARD16 level = 0;
  BOOL on = 0;
  if (!DPMSInfo(d, &level, &on)) return false;
  enabled = on != 0;
  return true;
}

}  // namespace plat::restore
