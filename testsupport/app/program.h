// Test helper: the music disk run as a program under X, as a person would
// run it: started in a folder of its own, its windows found by title and
// process, clicked and keyed with xdotool, photographed with import.
// Needs MUSICDISK_EXE, MUSICDISK_ARCHIVE and MUSICDISK_SCREENSHOTS.
#pragma once
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "testsupport/testsupport.h"

namespace apptest {

// The process a window belongs to, or 0.
inline pid_t WindowPid(Display* d, Window w) {
  Atom type = 0;
  int format = 0;
  unsigned long items = 0, left = 0;
  unsigned char* data = nullptr;
  pid_t pid = 0;
  if (XGetWindowProperty(d, w, XInternAtom(d, "_NET_WM_PID", False), 0, 1, False, XA_CARDINAL, &type, &format,
                         &items, &left, &data) == Success &&
      data && items == 1 && format == 32)
    pid = static_cast<pid_t>(*reinterpret_cast<long*>(data));
  if (data) XFree(data);
  return pid;
}

// Windows of other programs come and go while the search reads them: an X
// error about one that has just gone must not end the test (Xlib's own
// handler exits), it only means "not this one".
inline int IgnoreXError(Display*, XErrorEvent*) { return 0; }
class XErrorsIgnored {
 public:
  explicit XErrorsIgnored(Display* d) : display_(d), previous_(XSetErrorHandler(IgnoreXError)) {}
  ~XErrorsIgnored() {
    XSync(display_, False);  // errors still on their way land here, not later
    XSetErrorHandler(previous_);
  }
  XErrorsIgnored(const XErrorsIgnored&) = delete;
  XErrorsIgnored& operator=(const XErrorsIgnored&) = delete;

 private:
  Display* display_;
  XErrorHandler previous_;
};

// The top-level window of the process whose name is the title, or 0 (other
// tests may show the same title at the same time).
inline Window FindWindow(Display* d, const char* title, pid_t owner) {
  XErrorsIgnored quiet(d);
  Window root = DefaultRootWindow(d), parent = 0, *children = nullptr;
  unsigned n = 0;
  Window found = 0;
  if (!XQueryTree(d, root, &root, &parent, &children, &n)) return 0;
  for (unsigned i = 0; i < n && !found; ++i) {
    char* name = nullptr;
    if (XFetchName(d, children[i], &name) && name) {
      if (std::strcmp(name, title) == 0 && WindowPid(d, children[i]) == owner) found = children[i];
      XFree(name);
    }
  }
  if (children) XFree(children);
  return found;
}

inline void SendClose(Display* d, Window w) {
  XEvent e{};
  e.xclient.type = ClientMessage;
  e.xclient.window = w;
  e.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
  e.xclient.format = 32;
  e.xclient.data.l[0] = static_cast<long>(XInternAtom(d, "WM_DELETE_WINDOW", False));
  e.xclient.data.l[1] = CurrentTime;
  XSendEvent(d, w, False, NoEventMask, &e);
  XFlush(d);
}

inline long FileSize(const std::string& path) {
  struct stat st{};
  return stat(path.c_str(), &st) == 0 ? static_cast<long>(st.st_size) : -1;
}

// Makes the folder kelm.dat in the folder, which the program mounts in
// place of the archive: the demo data, with one file left out.
inline void FolderArchiveWithout(const qt::TempDir& dir, const std::string& leftOut) {
  const std::filesystem::path archive = dir / "kelm.dat";
  std::filesystem::create_directory(archive);
  for (const auto& entry : std::filesystem::directory_iterator(MUSICDISK_DATA))
    if (entry.path().filename() != leftOut) std::filesystem::create_symlink(entry.path(), archive / entry.path().filename());
}

// Starts a copy of the program in the folder (the archive beside it when
// asked), audio through OpenAL Soft's wave writer or the given drivers.
// The switches are the program's arguments; boxes are answered at once
// unless answerBoxes is false, when a test must answer them itself; the
// boxes answered so are noted in boxes.txt of the folder.
inline pid_t Launch(const qt::TempDir& dir, bool withArchive, const char* drivers = nullptr,
                    const std::vector<std::string>& switches = {"-default", "-v"}, bool answerBoxes = true) {
  std::filesystem::copy_file(MUSICDISK_EXE, dir / "musicdisk");
  std::filesystem::permissions(dir / "musicdisk", std::filesystem::perms::owner_all);
  if (withArchive) std::filesystem::create_symlink(MUSICDISK_ARCHIVE, dir / "kelm.dat");
  std::string wav = dir / "out.wav";
  qt::WriteFile(dir / "alsoft.conf", "drivers=wave\n[wave]\nfile=" + wav + "\n");
  // Spawned, not forked by hand: the test has threads, and the program must
  // end with the test whatever ends it.
  qt::SpawnSpec spec;
  spec.argv = {dir / "musicdisk"};
  spec.argv.insert(spec.argv.end(), switches.begin(), switches.end());
  spec.setEnv = {{"ALSOFT_CONF", dir / "alsoft.conf"}};
  if (drivers)
    spec.setEnv.emplace_back("ALSOFT_DRIVERS", drivers);
  else
    spec.unsetEnv = {"ALSOFT_DRIVERS"};
  if (answerBoxes) {
    spec.setEnv.emplace_back("QUARN_MSGBOX_TEST", "1");
    spec.setEnv.emplace_back("QUARN_MSGBOX_LOG", dir / "boxes.txt");
  } else
    spec.unsetEnv.push_back("QUARN_MSGBOX_TEST");
  spec.stderrPath = dir / "stderr.txt";
  return qt::Spawn(spec);
}

// The exit status, or -1 after the program was killed for taking too long.
inline int WaitFor(pid_t child, int seconds) {
  int status = 0;
  for (int i = 0; i < seconds * 10; ++i) {
    if (waitpid(child, &status, WNOHANG) == child) return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  kill(child, SIGKILL);
  waitpid(child, &status, 0);
  return -1;
}

// Ends a program that a failed check left running, and lets a watchdog end
// it when the test hangs.
class ChildGuard {
 public:
  explicit ChildGuard(pid_t& pid) : pid_(pid), watched_(pid) {
    if (watched_ > 0) qt::KillWhenTheWatchdogFires(watched_);
  }
  ~ChildGuard() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (watched_ > 0) qt::ForgetWhenTheWatchdogFires(watched_);
  }
  ChildGuard(const ChildGuard&) = delete;
  ChildGuard& operator=(const ChildGuard&) = delete;

 private:
  pid_t& pid_;
  const pid_t watched_;
};

// Waits until the window is there and music has been written: the loading
// phase is over and the frame loop runs. The window, or 0; child becomes 0
// when the program has ended.
// Waits for the program's window of that title until ready() holds as well
// (or the time is up). The window, or 0; child becomes 0 when the program
// has ended.
template <class Ready>
Window WaitForWindow(Display* d, const char* title, pid_t& child, int seconds, Ready ready) {
  Window w = 0;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (std::chrono::steady_clock::now() < deadline) {
    if (!w) w = FindWindow(d, title, child);
    if (w && ready()) break;
    int status = 0;
    if (waitpid(child, &status, WNOHANG) == child) {
      child = 0;
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return w;
}

inline Window WaitForTheFrameLoop(Display* d, pid_t& child, const std::string& wav) {
  return WaitForWindow(d, "Zentrove Remix Competition 2 Musicdisk", child, 90,
                       [&] { return FileSize(wav) > 200000; });
}

// xdotool, on the test's own display.
inline void Xdo(const std::string& args) {
  const std::string command = "timeout 20 xdotool " + args + " >/dev/null 2>&1";
  EXPECT_EQ(std::system(command.c_str()), 0) << command;
}

// A press at a point of the window (pixels from its top left corner), held
// long enough for slow frames (a loaded machine, a sanitizer build) to see
// the button go down: a press and release within one frame is no click.
inline void ClickWindowAt(Window w, int x, int y) {
  Xdo("mousemove --window " + std::to_string(w) + " " + std::to_string(x) + " " + std::to_string(y));
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  Xdo("mousedown 1");
  std::this_thread::sleep_for(std::chrono::milliseconds(600));
  Xdo("mouseup 1");
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
}

// The same at a point of the drawing space (a 1280 x 720 window: no bars).
inline void ClickAt(Window w, int x, int y) { ClickWindowAt(w, x, 720 - y); }

inline void Screenshot(Window w, const std::string& name) {
  std::filesystem::create_directories(MUSICDISK_SCREENSHOTS);
  const std::string file = std::string(MUSICDISK_SCREENSHOTS) + "/" + name + ".png";
  const std::string command = "timeout 20 import -window " + std::to_string(w) + " " + file + " >/dev/null 2>&1";
  EXPECT_EQ(std::system(command.c_str()), 0) << command;
}

}  // namespace apptest
