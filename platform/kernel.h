// Kernel services over POSIX: clock and sleep, critical sections, mutexes,
// threads, the kernel's own module table, memory status and process end.
#pragma once
#include "platform/win32.h"
#include <string>
#include <string_view>

// --- clock -----------------------------------------------------------------
// A wrapping 32-bit millisecond count from CLOCK_MONOTONIC.
DWORD timeGetTime(void);
void Sleep(DWORD milliseconds);

// --- critical sections (recursive, like their Windows namesakes) -----------
struct CRITICAL_SECTION {
  alignas(16) unsigned char opaque[64];  // holds a pthread mutex
};
void InitializeCriticalSection(CRITICAL_SECTION* cs);
void DeleteCriticalSection(CRITICAL_SECTION* cs);
void EnterCriticalSection(CRITICAL_SECTION* cs);
void LeaveCriticalSection(CRITICAL_SECTION* cs);
BOOL TryEnterCriticalSection(CRITICAL_SECTION* cs);

// --- kernel objects ----------------------------------------------------------
// Unnamed mutexes (recursive, owned by the thread that waited on them) and
// thread handles. Waiting on a thread handle waits for the thread's end.
HANDLE CreateMutexA(void* security, BOOL initialOwner, LPCSTR name);
BOOL ReleaseMutex(HANDLE mutex);
DWORD WaitForSingleObject(HANDLE object, DWORD milliseconds);
BOOL CloseHandle(HANDLE object);

// --- threads -------------------------------------------------------------------
typedef unsigned (*plat_thread_start_t)(void*);
#define THREAD_PRIORITY_BELOW_NORMAL (-1)
#define THREAD_PRIORITY_NORMAL 0
#define THREAD_PRIORITY_ABOVE_NORMAL 1
#define THREAD_PRIORITY_HIGHEST 2
// Returns the thread's handle, or 0 when no thread could be started.
uintptr_t _beginthreadex(void* security, unsigned stackSize, plat_thread_start_t start, void* arg,
                         unsigned initFlag, unsigned* threadId);
[[noreturn]] void _endthreadex(unsigned exitCode);
BOOL SetThreadPriority(HANDLE thread, int priority);
DWORD GetCurrentThreadId(void);

// --- modules -------------------------------------------------------------------
// Well-known Windows module names map to host modules (compared without
// regard to case); "KERNEL32.DLL" is our own table (TryEnterCriticalSection
// and friends). Handles are pointers.
HMODULE LoadLibraryA(LPCSTR name);
BOOL FreeLibrary(HMODULE module);
HMODULE GetModuleHandleA(LPCSTR name);
FARPROC GetProcAddress(HMODULE module, LPCSTR name);

// --- the calling thread's last system error ----------------------------------
// Set by the platform calls when they fail; the registry calls return their
// code instead.
#define ERROR_SUCCESS 0L
#define ERROR_FILE_NOT_FOUND 2L
#define ERROR_INVALID_HANDLE 6L
#define ERROR_INVALID_PARAMETER 87L
#define ERROR_MOD_NOT_FOUND 126L
#define ERROR_PROC_NOT_FOUND 127L
#define ERROR_BAD_EXE_FORMAT 193L
#define ERROR_MORE_DATA 234L
DWORD GetLastError(void);
void SetLastError(DWORD code);

// --- memory status -------------------------------------------------------------
struct MEMORYSTATUSEX {
  DWORD dwLength;
  DWORD dwMemoryLoad;
  DWORDLONG ullTotalPhys;
  DWORDLONG ullAvailPhys;
  DWORDLONG ullTotalPageFile;
  DWORDLONG ullAvailPageFile;
  DWORDLONG ullTotalVirtual;
  DWORDLONG ullAvailVirtual;
};
BOOL GlobalMemoryStatusEx(MEMORYSTATUSEX* status);

namespace plat {

// Entry points that a well-known module offers on top of its host library's
// own symbols, asked first by GetProcAddress: the window layer registers the
// wgl* functions of "OpenGL32.dll" this way.
using ExportLookup = FARPROC (*)(const char* name);
void SetModuleExports(const char* moduleName, ExportLookup lookup);

// Framework paths use '\' as their separator; the host wants '/'.
std::string HostPath(std::string_view frameworkPath);
// The running program's absolute path in framework form ('\' separators).
std::string ProgramPath();
// Flushes stdio and ends the process at once: no static destructors run.
[[noreturn]] void Exit(int code);

// Test seams. A null hook restores the real clock or sleep.
using ClockHook = DWORD (*)();
using SleepHook = void (*)(DWORD);
void SetClockHook(ClockHook hook);
void SetSleepHook(SleepHook hook);
// Makes the kernel table answer null for TryEnterCriticalSection, so the
// framework falls back to kernel mutexes.
void HideTryEnterCriticalSection(bool hide);

}  // namespace plat
