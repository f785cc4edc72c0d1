// System detection: the operating-system type, the product text built from
// the version record (and, for old NT releases, the registry), the kernel
// version and the processor texts.
#include "framework/base/info.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "framework/base/cpu.h"
#include "framework/base/log.h"
#include "framework/base/mem.h"
#include "platform/ascii.h"
#include "platform/version.h"

#define INFO_LOG(level, ...) SYS_LOG_TAGGED(level, "[info]", __VA_ARGS__)

namespace {

constexpr size_t kPieceRoom = 64;    // each piece of the product text: 63 characters
constexpr size_t kKernelRoom = 16;
constexpr size_t kClockRoom = 512;
constexpr DWORD kProductTypeRoom = 80;

const char* const kProductOptionsKey = "SYSTEM\\CurrentControlSet\\Control\\ProductOptions";
const char* const kSp6aHotfixKey = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Hotfix\\Q246009";

char* osType = nullptr;
char* product = nullptr;
char* kernel = nullptr;
SYS_PCPU_t cpu = nullptr;
char clockText[kClockRoom];

int Level() { return SYS_DbgDetail(SYS_DbgSwitches.info); }

// Appends one piece, formatted within 63 characters.
void Add(std::string& text, const char* format, ...) __attribute__((format(printf, 2, 3)));
void Add(std::string& text, const char* format, ...) {
  char piece[kPieceRoom];
  va_list ap;
  va_start(ap, format);
  std::vsnprintf(piece, sizeof piece, format, ap);
  va_end(ap);
  text += piece;
}

char* Keep(const std::string& text) {
  auto* copy = static_cast<char*>(SYS_MemGet(text.size() + 1));
  if (copy) std::memcpy(copy, text.c_str(), text.size() + 1);
  return copy;
}

void AddWindows9xName(std::string& text, const OSVERSIONINFOEXA& v) {
  char mark = v.szCSDVersion[0] ? v.szCSDVersion[1] : '\0';
  if (v.dwMajorVersion == 4 && v.dwMinorVersion == 0) {
    Add(text, "Windows 95 ");
    if (mark == 'B' || mark == 'C') Add(text, "OSR2 ");
  } else if (v.dwMajorVersion == 4 && v.dwMinorVersion == 10) {
    Add(text, "Windows 98 ");
    if (mark == 'A') Add(text, "SE ");
  } else if (v.dwMajorVersion == 4 && v.dwMinorVersion == 90) {
    Add(text, "Windows Millennium Edition");
  }
}

void AddNtName(std::string& text, const OSVERSIONINFOEXA& v) {
  DWORD major = v.dwMajorVersion, minor = v.dwMinorVersion;
  bool workstation = v.wProductType == VER_NT_WORKSTATION;
  if (major == 6 && minor == 1)
    Add(text, workstation ? "Windows 7 " : "Windows Windows Server 2008 R2");
  else if (major == 6 && minor == 0)
    Add(text, workstation ? "Windows Vista " : "Windows Windows Server 2008");
  else if (major == 5 && minor == 2)
    Add(text, GetSystemMetrics(SM_SERVERR2) ? "Windows Server 2003 R2,  " : "Windows Server 2003,  ");
  else if (major == 5 && minor == 1)
    Add(text, "Windows XP ");
  else if (major == 5 && minor == 0)
    Add(text, "Windows 2000 ");
  else if (major <= 4)
    Add(text, "Windows NT ");
}

void AddNtEdition(std::string& text, const OSVERSIONINFOEXA& v) {
  DWORD major = v.dwMajorVersion, minor = v.dwMinorVersion;
  WORD suite = v.wSuiteMask;
  if (v.wProductType == VER_NT_WORKSTATION) {
    if (major == 4)
      Add(text, "Workstation 4.0 ");
    else
      Add(text, (suite & VER_SUITE_PERSONAL) ? "home Edition " : "Professional ");
  } else if (v.wProductType == VER_NT_SERVER) {
    if (major == 5 && minor == 2) {
      if (suite & VER_SUITE_DATACENTER)
        Add(text, "Datacenter Edition ");
      else if (suite & VER_SUITE_ENTERPRISE)
        Add(text, "Enterprise Edition ");
      else if (suite == VER_SUITE_BLADE)
        Add(text, "Web Edition ");
      else
        Add(text, "Standard Edition ");
    } else if (major == 5 && minor == 0) {
      if (suite & VER_SUITE_DATACENTER)
        Add(text, "Datacenter Server ");
      else if (suite & VER_SUITE_ENTERPRISE)
        Add(text, "Advanced Server ");
      else
        Add(text, "Server ");
    } else {
      Add(text, (suite & VER_SUITE_ENTERPRISE) ? "Server 4.0, Enterprise Edition " : "Server 4.0 ");
    }
  }
}

// Releases without the extended record keep their product type in the
// registry; a refused read leaves the edition word out.
void AddNtEditionFromRegistry(std::string& text, const OSVERSIONINFOEXA& v) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kProductOptionsKey, 0, KEY_QUERY_VALUE, &key) == ERROR_SUCCESS) {
    char type[kProductTypeRoom + 1] = {};
    DWORD size = kProductTypeRoom;
    LONG result = RegQueryValueExA(key, "ProductType", nullptr, nullptr, reinterpret_cast<BYTE*>(type), &size);
    RegCloseKey(key);
    if (result == ERROR_SUCCESS && size <= kProductTypeRoom) {
      if (SYS_AsciiEqualNoCase(type, "WINNT"))
        Add(text, "Workstation ");
      else if (SYS_AsciiEqualNoCase(type, "LANMANNT"))
        Add(text, "Server ");
      else if (SYS_AsciiEqualNoCase(type, "SERVERNT"))
        Add(text, "Advanced Server ");
    }
  }
  Add(text, "%u.%u ", v.dwMajorVersion, v.dwMinorVersion);
}

bool HasSp6aHotfix() {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSp6aHotfixKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

void AddServicePackAndBuild(std::string& text, const OSVERSIONINFOEXA& v) {
  unsigned build = v.dwBuildNumber & 0xFFFFu;
  if (v.dwMajorVersion == 4 && SYS_AsciiEqualNoCase(v.szCSDVersion, "Service Pack 6") && HasSp6aHotfix())
    Add(text, "Service Pack 6a (Build %u)", build);
  else
    Add(text, "%s (Build %u)", v.szCSDVersion, build);
}

std::string ProductText(const OSVERSIONINFOEXA& v, bool extended) {
  std::string text;
  if (v.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS) {
    AddWindows9xName(text, v);
  } else if (v.dwPlatformId == VER_PLATFORM_WIN32_NT) {
    AddNtName(text, v);
    if (extended)
      AddNtEdition(text, v);
    else
      AddNtEditionFromRegistry(text, v);
    AddServicePackAndBuild(text, v);
  }
  return text;
}

// The extended record when offered, else the basic one (product type and
// suite mask then stay 0).
bool ReadVersion(OSVERSIONINFOEXA& v) {
  v = OSVERSIONINFOEXA{};
  v.dwOSVersionInfoSize = sizeof(OSVERSIONINFOEXA);
  if (GetVersionExA(&v)) return true;
  OSVERSIONINFOA basic{};
  basic.dwOSVersionInfoSize = sizeof basic;
  if (GetVersionExA(&basic)) {
    v.dwMajorVersion = basic.dwMajorVersion;
    v.dwMinorVersion = basic.dwMinorVersion;
    v.dwBuildNumber = basic.dwBuildNumber;
    v.dwPlatformId = basic.dwPlatformId;
    std::memcpy(v.szCSDVersion, basic.szCSDVersion, sizeof v.szCSDVersion);
    v.szCSDVersion[sizeof v.szCSDVersion - 1] = '\0';
  }
  return false;
}

void FreeTexts() {
  SYS_MemFree(osType);
  SYS_MemFree(product);
  SYS_MemFree(kernel);
}

}  // namespace

int SYS_DetectSystem(void) {
  errClear();
  FreeTexts();  // a second detection replaces the texts of the first
  osType = Keep("Microsoft Windows (TM)");
  OSVERSIONINFOEXA v;
  bool extended = ReadVersion(v);
  product = Keep(ProductText(v, extended));
  char kernelText[kKernelRoom];
  std::snprintf(kernelText, sizeof kernelText, "%u.%u", v.dwMajorVersion, v.dwMinorVersion);
  kernel = Keep(kernelText);

  INFO_LOG(Level(), " OS type: %s\n", osType ? osType : "");
  INFO_LOG(Level(), " Distrib: %s\n", product ? product : "");
  INFO_LOG(Level(), " Kernel version: %s\n", kernel ? kernel : "");
  INFO_LOG(Level(), " Total memory: %lu KB\n", static_cast<unsigned long>(SYS_MemTotal() / 1024));
  INFO_LOG(Level(), " Free memory: %lu KB\n", static_cast<unsigned long>(SYS_MemAvail() / 1024));
  cpu = SYS_GetCPU();
  return 0;
}

const char* SYS_GetString(uint32_t selector) {
  errClear();
  if (!cpu) cpu = SYS_GetCPU();
  switch (selector) {
    case SYS_INFO_OSTYPE: return osType;
    case SYS_INFO_PRODUCT: return product;
    case SYS_INFO_KERNEL: return kernel;
    case SYS_INFO_CPUNAME:
    case SYS_INFO_CPUCLOCK:
      // A processor without identification has no record to describe.
      if (!cpu) {
        errSetLastError(ERR_BADARG);
        return nullptr;
      }
      if (selector == SYS_INFO_CPUNAME) return cpu->name;
      std::snprintf(clockText, sizeof clockText, "%.2f MHz", static_cast<double>(cpu->mhz));
      return clockText;
    case SYS_INFO_CPU: return reinterpret_cast<const char*>(cpu);
    default:
      errSetLastError(ERR_BADARG);
      return nullptr;
  }
}

int SYS_InfoDone(void) {
  FreeTexts();
  return 0;
}
