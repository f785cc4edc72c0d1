// The operating-system version record, the system metrics that go with it
// and the read-only registry. The platform stands in for one Windows
// release (NT 6.1, build 7601, "Service Pack 1", workstation, no suite
// bits) and its registry is empty; tests may set any record and values.
#pragma once
#include "platform/kernel.h"
#include "platform/win32.h"

// --- version record ------------------------------------------------------------
#define VER_PLATFORM_WIN32s 0u
#define VER_PLATFORM_WIN32_WINDOWS 1u
#define VER_PLATFORM_WIN32_NT 2u

#define VER_NT_WORKSTATION 1
#define VER_NT_DOMAIN_CONTROLLER 2
#define VER_NT_SERVER 3

#define VER_SUITE_ENTERPRISE 0x0002
#define VER_SUITE_DATACENTER 0x0080
#define VER_SUITE_PERSONAL 0x0200
#define VER_SUITE_BLADE 0x0400

struct OSVERSIONINFOA {
  DWORD dwOSVersionInfoSize;
  DWORD dwMajorVersion;
  DWORD dwMinorVersion;
  DWORD dwBuildNumber;
  DWORD dwPlatformId;
  CHAR szCSDVersion[128];
};

struct OSVERSIONINFOEXA {
  DWORD dwOSVersionInfoSize;
  DWORD dwMajorVersion;
  DWORD dwMinorVersion;
  DWORD dwBuildNumber;
  DWORD dwPlatformId;
  CHAR szCSDVersion[128];
  WORD wServicePackMajor;
  WORD wServicePackMinor;
  WORD wSuiteMask;
  BYTE wProductType;
  BYTE wReserved;
};

static_assert(sizeof(OSVERSIONINFOA) == 148, "basic version record size");
static_assert(sizeof(OSVERSIONINFOEXA) == 156, "extended version record size");

// Fills the record up to the size its first field names: 148 (basic) or 156
// (extended). Any other size, or an extended request where only the basic
// record is offered, fails with ERROR_INVALID_PARAMETER.
BOOL GetVersionExA(OSVERSIONINFOA* info);
BOOL GetVersionExA(OSVERSIONINFOEXA* info);

// --- system metrics --------------------------------------------------------------
#define SM_SERVERR2 89
// Only the metrics of the version record are answered; others give 0.
int GetSystemMetrics(int index);

// --- registry (read only) --------------------------------------------------------
struct plat_registry_key;
typedef plat_registry_key* HKEY;
typedef DWORD REGSAM;

#define HKEY_CLASSES_ROOT (reinterpret_cast<HKEY>(static_cast<UINT_PTR>(0x80000000u)))
#define HKEY_CURRENT_USER (reinterpret_cast<HKEY>(static_cast<UINT_PTR>(0x80000001u)))
#define HKEY_LOCAL_MACHINE (reinterpret_cast<HKEY>(static_cast<UINT_PTR>(0x80000002u)))
#define HKEY_USERS (reinterpret_cast<HKEY>(static_cast<UINT_PTR>(0x80000003u)))

#define KEY_QUERY_VALUE 0x0001u
#define KEY_READ 0x20019u

#define REG_NONE 0u
#define REG_SZ 1u
#define REG_BINARY 3u
#define REG_DWORD 4u

// Key and value names are compared without regard to case. The results are
// ERROR_SUCCESS or an ERROR_* code (ERROR_FILE_NOT_FOUND for a missing key or
// value, ERROR_MORE_DATA when the caller's buffer is too small, with *size
// set to the size needed).
LONG RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD options, REGSAM desired, HKEY* result);
LONG RegQueryValueExA(HKEY key, LPCSTR valueName, DWORD* reserved, DWORD* type, BYTE* data, DWORD* size);
LONG RegCloseKey(HKEY key);

namespace plat {

// Test seams. The record's size field is ignored; extendedOffered false makes
// the layer refuse the extended record, as early NT 4 releases did.
void SetVersionRecord(const OSVERSIONINFOEXA& record, bool extendedOffered = true);
void SetServerR2(bool serverR2);
// Back to the record of the release the platform stands in for.
void ResetVersionRecord();

// Puts a text value (REG_SZ, stored with its terminating zero) under a key of
// a root key, creating the key and its parents; a null valueName only creates
// the key.
void SetRegistryText(HKEY root, const char* subKey, const char* valueName, const char* text);
// Empties the registry again (open keys stay valid handles).
void ClearRegistry();

}  // namespace plat
