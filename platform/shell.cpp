// Shell folders over the XDG user directories.
#include "platform/shell.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

namespace {
std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

// The value of XDG_DESKTOP_DIR in the user-dirs file: a quoted path that may
// start with $HOME.
std::string DesktopFromUserDirs(const std::string& home) {
  std::string config = Env("XDG_CONFIG_HOME");
  if (config.empty()) {
    if (home.empty()) return {};
    config = home + "/.config";
  }
  std::ifstream in(config + "/user-dirs.dirs");
  const std::string key = "XDG_DESKTOP_DIR=\"";
  for (std::string line; std::getline(in, line);) {
    if (line.compare(0, key.size(), key) != 0) continue;
    size_t end = line.find('"', key.size());
    if (end == std::string::npos) return {};
    std::string value = line.substr(key.size(), end - key.size());
    if (value.compare(0, 5, "$HOME") == 0) {
      if (home.empty()) return {};
      value = home + value.substr(5);
    }
    return value;
  }
  return {};
}
}  // namespace

BOOL SHGetSpecialFolderPathA(HWND, LPSTR path, int folder, BOOL) {
  if (!path) return FALSE;
  path[0] = 0;
  if (folder != CSIDL_DESKTOPDIRECTORY) return FALSE;
  const std::string home = Env("HOME");
  std::string desktop = Env("XDG_DESKTOP_DIR");
  if (desktop.empty()) desktop = DesktopFromUserDirs(home);
  if (desktop.empty() && !home.empty()) desktop = home + "/Desktop";
  if (desktop.empty() || desktop.size() >= MAX_PATH) return FALSE;
  std::memcpy(path, desktop.c_str(), desktop.size() + 1);
  return TRUE;
}
