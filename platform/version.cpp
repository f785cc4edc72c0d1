// The version record, its system metric and the read-only registry store.
#include "platform/version.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ascii.h"

// An open registry key: the lower-case path below its root.
struct plat_registry_key {
  std::string path;
};

namespace {

OSVERSIONINFOEXA StandInRecord() {
  OSVERSIONINFOEXA r{};
  r.dwOSVersionInfoSize = sizeof r;
  r.dwMajorVersion = 6;
  r.dwMinorVersion = 1;
  r.dwBuildNumber = 7601;
  r.dwPlatformId = VER_PLATFORM_WIN32_NT;
  std::strcpy(r.szCSDVersion, "Service Pack 1");
  r.wServicePackMajor = 1;
  r.wProductType = VER_NT_WORKSTATION;
  return r;
}

struct VersionState {
  std::mutex lock;
  OSVERSIONINFOEXA record = StandInRecord();
  bool extendedOffered = true;
  bool serverR2 = false;
};

VersionState& Version() {
  static VersionState state;
  return state;
}

BOOL FillVersion(void* out) {
  if (!out) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  DWORD size = 0;
  std::memcpy(&size, out, sizeof size);
  VersionState& v = Version();
  std::lock_guard<std::mutex> guard(v.lock);
  bool basic = size == sizeof(OSVERSIONINFOA);
  bool extended = size == sizeof(OSVERSIONINFOEXA) && v.extendedOffered;
  if (!basic && !extended) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  OSVERSIONINFOEXA record = v.record;
  record.dwOSVersionInfoSize = size;
  // The caller's record may be the shorter one: copy only what it holds.
  std::memcpy(out, &record, size);
  return TRUE;
}

// --- registry ----------------------------------------------------------------

struct Value {
  DWORD type = REG_NONE;
  std::vector<BYTE> bytes;
};

struct Registry {
  std::mutex lock;
  std::map<std::string, std::map<std::string, Value>> keys;  // full lower-case path
  std::vector<std::unique_ptr<plat_registry_key>> open;
};

Registry& Store() {
  static Registry registry;
  return registry;
}

const char* RootName(HKEY key) {
  if (key == HKEY_CLASSES_ROOT) return "hkey_classes_root";
  if (key == HKEY_CURRENT_USER) return "hkey_current_user";
  if (key == HKEY_LOCAL_MACHINE) return "hkey_local_machine";
  if (key == HKEY_USERS) return "hkey_users";
  return nullptr;
}

std::string Join(const std::string& base, const char* subKey) {
  std::string sub = subKey ? SYS_AsciiLowered(subKey) : std::string();
  while (!sub.empty() && sub.front() == '\\') sub.erase(sub.begin());
  while (!sub.empty() && sub.back() == '\\') sub.pop_back();
  return sub.empty() ? base : base + "\\" + sub;
}

bool IsOpen(Registry& r, HKEY key) {
  return std::any_of(r.open.begin(), r.open.end(), [key](const auto& k) { return k.get() == key; });
}

// The path of a root or open key; false for anything else.
bool PathOf(Registry& r, HKEY key, std::string* path) {
  if (const char* root = RootName(key)) {
    *path = root;
    return true;
  }
  if (!IsOpen(r, key)) return false;
  *path = key->path;
  return true;
}

// A key exists when it, or a key below it, was stored.
bool KeyExists(Registry& r, const std::string& path) {
  if (r.keys.count(path)) return true;
  std::string below = path + "\\";
  auto it = r.keys.lower_bound(below);
  return it != r.keys.end() && it->first.rfind(below, 0) == 0;
}

}  // namespace

BOOL GetVersionExA(OSVERSIONINFOA* info) { return FillVersion(info); }
BOOL GetVersionExA(OSVERSIONINFOEXA* info) { return FillVersion(info); }

int GetSystemMetrics(int index) {
  if (index != SM_SERVERR2) return 0;
  VersionState& v = Version();
  std::lock_guard<std::mutex> guard(v.lock);
  return v.serverR2 ? 1 : 0;
}

LONG RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD, REGSAM, HKEY* result) {
  if (!result) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  Registry& r = Store();
  std::lock_guard<std::mutex> guard(r.lock);
  std::string base;
  if (!PathOf(r, key, &base)) return ERROR_INVALID_HANDLE;
  std::string path = Join(base, subKey);
  if (!KeyExists(r, path)) return ERROR_FILE_NOT_FOUND;
  r.open.push_back(std::make_unique<plat_registry_key>(plat_registry_key{path}));
  *result = r.open.back().get();
  return ERROR_SUCCESS;
}

LONG RegQueryValueExA(HKEY key, LPCSTR valueName, DWORD* reserved, DWORD* type, BYTE* data, DWORD* size) {
  if (reserved || (data && !size)) return ERROR_INVALID_PARAMETER;
  Registry& r = Store();
  std::lock_guard<std::mutex> guard(r.lock);
  std::string path;
  if (!PathOf(r, key, &path)) return ERROR_INVALID_HANDLE;
  auto k = r.keys.find(path);
  if (k == r.keys.end()) return ERROR_FILE_NOT_FOUND;
  auto v = k->second.find(SYS_AsciiLowered(valueName ? valueName : ""));
  if (v == k->second.end()) return ERROR_FILE_NOT_FOUND;
  const Value& value = v->second;
  if (type) *type = value.type;
  if (!size) return ERROR_SUCCESS;
  DWORD needed = static_cast<DWORD>(value.bytes.size());
  DWORD room = *size;
  *size = needed;
  if (!data) return ERROR_SUCCESS;
  if (room < needed) return ERROR_MORE_DATA;
  std::copy(value.bytes.begin(), value.bytes.end(), data);
  return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY key) {
  if (RootName(key)) return ERROR_SUCCESS;
  Registry& r = Store();
  std::lock_guard<std::mutex> guard(r.lock);
  auto it = std::find_if(r.open.begin(), r.open.end(), [key](const auto& k) { return k.get() == key; });
  if (it == r.open.end()) return ERROR_INVALID_HANDLE;
  r.open.erase(it);
  return ERROR_SUCCESS;
}

namespace plat {

void SetVersionRecord(const OSVERSIONINFOEXA& record, bool extendedOffered) {
  VersionState& v = Version();
  std::lock_guard<std::mutex> guard(v.lock);
  v.record = record;
  v.record.szCSDVersion[sizeof v.record.szCSDVersion - 1] = '\0';
  v.extendedOffered = extendedOffered;
}

void SetServerR2(bool serverR2) {
  VersionState& v = Version();
  std::lock_guard<std::mutex> guard(v.lock);
  v.serverR2 = serverR2;
}

void ResetVersionRecord() {
  VersionState& v = Version();
  std::lock_guard<std::mutex> guard(v.lock);
  v.record = StandInRecord();
  v.extendedOffered = true;
  v.serverR2 = false;
}

void SetRegistryText(HKEY root, const char* subKey, const char* valueName, const char* text) {
  const char* rootName = RootName(root);
  if (!rootName) return;
  Registry& r = Store();
  std::lock_guard<std::mutex> guard(r.lock);
  auto& values = r.keys[Join(rootName, subKey)];
  if (!valueName) return;
  std::string_view t = text ? text : "";
  Value value;
  value.type = REG_SZ;
  value.bytes.assign(t.begin(), t.end());
  value.bytes.push_back(0);
  values[SYS_AsciiLowered(valueName)] = std::move(value);
}

void ClearRegistry() {
  Registry& r = Store();
  std::lock_guard<std::mutex> guard(r.lock);
  r.keys.clear();
}

}  // namespace plat
