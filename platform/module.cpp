// Modules: LoadLibraryA and friends over dlopen. The well-known Windows
// module names map to host libraries, "KERNEL32.DLL" is our own table, and a
// handle is a pointer to one of our module objects, so every handle that
// comes back to us can be checked before the host loader sees it.
#include "platform/kernel.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ascii.h"

namespace {

thread_local DWORD lastError = ERROR_SUCCESS;
std::atomic<bool> hideTryEnter{false};

// How a well-known Windows name is served on this platform.
enum class Serve { Kernel, Host, Absent };

struct WellKnown {
  const char* key;   // canonical lower-case name, also the key of its extra exports
  const char* bare;  // the same name without ".dll", which LoadLibrary accepts too
  Serve serve;
  const char* host;  // host library for Serve::Host
};

// GL and GLU stay loaded once opened: a GL context may outlive every handle,
// and unloading libGL under a live context crashes the process at exit.
constexpr WellKnown kWellKnown[] = {
    {"kernel32.dll", "kernel32", Serve::Kernel, nullptr},
    {"opengl32.dll", "opengl32", Serve::Host, "libGL.so.1"},
    {"glu32.dll", "glu32", Serve::Host, "libGLU.so.1"},
    // No DirectDraw or Direct3D here: the adapter queries take their failure path.
    {"ddraw.dll", "ddraw", Serve::Absent, nullptr},
    {"d3d9.dll", "d3d9", Serve::Absent, nullptr},
};

const WellKnown* FindWellKnown(std::string_view name) {
  std::string lower = SYS_AsciiLowered(name);
  for (const auto& w : kWellKnown)
    if (lower == w.key || lower == w.bare) return &w;
  return nullptr;
}

struct Module {
  std::string key;          // canonical name: a well-known key or the lower-case request
  void* library = nullptr;  // dlopen handle (null for the kernel table)
  bool pinned = false;      // never unloaded
  int references = 0;
};

struct Loader {
  std::recursive_mutex lock;
  std::vector<std::unique_ptr<Module>> live;  // every handle handed out and not yet freed
  std::map<std::string, plat::ExportLookup> exports;
  Module kernel{"kernel32.dll", nullptr, true, 1};
};

Loader& State() {
  static Loader loader;
  return loader;
}

Module* FindLive(Loader& s, const void* handle) {
  if (handle == &s.kernel) return &s.kernel;
  for (auto& m : s.live)
    if (m.get() == handle) return m.get();
  return nullptr;
}

Module* FindByLibrary(Loader& s, void* library) {
  for (auto& m : s.live)
    if (m->library == library) return m.get();
  return nullptr;
}

// Tells a missing file apart from one that exists and would not load.
DWORD LoadFailureCode(const std::string& hostName, const char* message) {
  if (hostName.find('/') != std::string::npos) {
    struct stat st {};
    return (stat(hostName.c_str(), &st) != 0 && errno == ENOENT) ? ERROR_FILE_NOT_FOUND : ERROR_BAD_EXE_FORMAT;
  }
  // A bare name is searched for along the library path.
  return (message && std::strstr(message, "No such file")) ? ERROR_FILE_NOT_FOUND : ERROR_BAD_EXE_FORMAT;
}

Module* Adopt(Loader& s, const std::string& key, void* library, bool pinned) {
  auto module = std::make_unique<Module>();
  module->key = key;
  module->library = library;
  module->pinned = pinned;
  module->references = 1;
  s.live.push_back(std::move(module));
  return s.live.back().get();
}

// A well-known module is one object for all its spellings, loaded once.
Module* OpenWellKnown(Loader& s, const WellKnown& w) {
  for (auto& m : s.live)
    if (m->pinned && m->key == w.key) return m.get();
  void* library = dlopen(w.host, RTLD_NOW | RTLD_GLOBAL);
  if (!library) {
    SetLastError(LoadFailureCode(w.host, dlerror()));
    return nullptr;
  }
  return Adopt(s, w.key, library, true);
}

// Any other library: one object per host library, counted like Windows
// counts its loads; the host loader holds one reference per load.
Module* OpenHost(Loader& s, const std::string& key, const std::string& hostName) {
  void* library = dlopen(hostName.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!library) {
    SetLastError(LoadFailureCode(hostName, dlerror()));
    return nullptr;
  }
  if (Module* known = FindByLibrary(s, library)) {
    // A pinned module never gives its reference back, so this one goes now.
    if (known->pinned) dlclose(library);
    ++known->references;
    return known;
  }
  return Adopt(s, key, library, false);
}

FARPROC KernelExport(std::string_view name) {
  if (name == "TryEnterCriticalSection" && !hideTryEnter.load())
    return reinterpret_cast<FARPROC>(&TryEnterCriticalSection);
  return nullptr;
}

}  // namespace

DWORD GetLastError(void) { return lastError; }
void SetLastError(DWORD code) { lastError = code; }

HMODULE LoadLibraryA(LPCSTR name) {
  if (!name || !*name) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  Loader& s = State();
  std::lock_guard<std::recursive_mutex> guard(s.lock);
  if (const WellKnown* w = FindWellKnown(name)) {
    switch (w->serve) {
      case Serve::Kernel:
        return &s.kernel;
      case Serve::Absent:
        SetLastError(ERROR_FILE_NOT_FOUND);
        return nullptr;
      case Serve::Host:
        return OpenWellKnown(s, *w);
    }
  }
  return OpenHost(s, SYS_AsciiLowered(name), plat::HostPath(name));
}

BOOL FreeLibrary(HMODULE module) {
  Loader& s = State();
  std::lock_guard<std::recursive_mutex> guard(s.lock);
  Module* m = FindLive(s, module);
  if (!m) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (m->pinned) return TRUE;
  if (--m->references > 0) {
    dlclose(m->library);
    return TRUE;
  }
  void* library = m->library;
  std::erase_if(s.live, [m](const std::unique_ptr<Module>& p) { return p.get() == m; });
  if (dlclose(library) != 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}

HMODULE GetModuleHandleA(LPCSTR name) {
  if (!name) return nullptr;
  Loader& s = State();
  std::lock_guard<std::recursive_mutex> guard(s.lock);
  const WellKnown* w = FindWellKnown(name);
  if (w && w->serve == Serve::Kernel) return &s.kernel;
  std::string key = w ? std::string(w->key) : SYS_AsciiLowered(name);
  for (auto& m : s.live)
    if (m->key == key) return m.get();
  SetLastError(ERROR_MOD_NOT_FOUND);
  return nullptr;
}

FARPROC GetProcAddress(HMODULE module, LPCSTR name) {
  if (!name) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  Loader& s = State();
  std::lock_guard<std::recursive_mutex> guard(s.lock);
  Module* m = FindLive(s, module);
  if (!m) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  FARPROC found = nullptr;
  if (m == &s.kernel) found = KernelExport(name);
  auto extra = s.exports.find(m->key);
  if (!found && extra != s.exports.end()) found = extra->second(name);
  if (!found && m->library) {
    // A function pointer and an object pointer have the same size here.
    void* symbol = dlsym(m->library, name);
    std::memcpy(&found, &symbol, sizeof found);
  }
  if (!found) SetLastError(ERROR_PROC_NOT_FOUND);
  return found;
}

namespace plat {

void SetModuleExports(const char* moduleName, ExportLookup lookup) {
  if (!moduleName) return;
  Loader& s = State();
  std::lock_guard<std::recursive_mutex> guard(s.lock);
  const WellKnown* w = FindWellKnown(moduleName);
  std::string key = w ? std::string(w->key) : SYS_AsciiLowered(moduleName);
  if (lookup)
    s.exports[key] = lookup;
  else
    s.exports.erase(key);
}

void HideTryEnterCriticalSection(bool hide) { hideTryEnter.store(hide); }

}  // namespace plat
