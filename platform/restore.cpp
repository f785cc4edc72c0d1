// The display guardian process.
#include "platform/restore.h"

#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>
#include <X11/extensions/dpms.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

namespace plat::restore {

namespace {

enum Kind : int32_t { kMode = 1, kForgetMode = 2, kPowerOff = 3, kForgetPowerOff = 4 };

struct Record {
  int32_t kind;
  int32_t a, b, c;
};

int writeEnd = -1;
bool started = false;
RestoreHook restoreHook = nullptr;

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

[[noreturn]] void Guard(int readEnd, const std::string& displayName) {
  // Our parent's signals (Ctrl-C to the process group) must not end us
  // before we have done our job.
  for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE}) signal(sig, SIG_IGN);
  int devnull = open("/dev/null", O_RDWR);
  if (devnull >= 0) {
    dup2(devnull, 0);
    dup2(devnull, 1);
    dup2(devnull, 2);
  }
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
  if (restoreHook) {
    if (haveMode) restoreHook(mode.kind, mode.a, mode.b, mode.c);
    if (havePower) restoreHook(power.kind, power.a, power.b, power.c);
  } else if (haveMode || havePower) {
    if (Display* d = XOpenDisplay(displayName.empty() ? nullptr : displayName.c_str())) {
      if (haveMode) RestoreMode(d, mode.a, mode.b, mode.c);
      if (havePower) RestorePowerOff(d, power.a != 0);
      XCloseDisplay(d);
    }
  }
  _exit(0);
}

bool Start() {
  if (started) return writeEnd >= 0;
  started = true;
  int fds[2];
  if (pipe(fds) != 0) return false;
  const char* name = std::getenv("DISPLAY");
  std::string displayName = name ? name : "";
  pid_t pid = fork();
  if (pid < 0) {
    close(fds[0]);
    close(fds[1]);
    return false;
  }
  if (pid == 0) {
    close(fds[1]);
    Guard(fds[0], displayName);
  }
  close(fds[0]);
  // Programs we start must not keep the guardian waiting.
  fcntl(fds[1], F_SETFD, FD_CLOEXEC);
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

void SetRestoreHook(RestoreHook hook) { restoreHook = hook; }

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
