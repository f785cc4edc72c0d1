// Paths, the program path, process end and memory status.
#include "platform/kernel.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/sanitizer.h"
#if QUARN_ASAN
#include <sanitizer/lsan_interface.h>
#endif

namespace plat {

std::string HostPath(std::string_view frameworkPath) {
  std::string out(frameworkPath);
  for (char& c : out)
    if (c == '\\') c = '/';
  return out;
}

std::string ProgramPath() {
  std::string buf(4096, '\0');
  ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size() - 1);
  if (n <= 0) return {};
  buf.resize(static_cast<size_t>(n));
  for (char& c : buf)
    if (c == '/') c = '\\';
  return buf;
}

void Exit(int code) {
  std::fflush(nullptr);
#if QUARN_ASAN
  // _exit skips the exit handlers where the leak checker would run. With
  // detect_leaks on, a leak is reported and ends the process with the
  // sanitizer's failure status in place of the code.
  __lsan_do_leak_check();
#endif
  _exit(code);
}

}  // namespace plat

BOOL GlobalMemoryStatusEx(MEMORYSTATUSEX* status) {
  if (!status) return FALSE;
  *status = MEMORYSTATUSEX{};
  status->dwLength = sizeof(MEMORYSTATUSEX);
  std::ifstream in("/proc/meminfo");
  if (!in) return FALSE;
  std::string key;
  uint64_t kb = 0;
  std::string unit;
  uint64_t swapTotal = 0, swapFree = 0;
  while (in >> key >> kb) {
    std::getline(in, unit);
    if (key == "MemTotal:") status->ullTotalPhys = kb * 1024u;
    else if (key == "MemAvailable:") status->ullAvailPhys = kb * 1024u;
    else if (key == "SwapTotal:") swapTotal = kb * 1024u;
    else if (key == "SwapFree:") swapFree = kb * 1024u;
  }
  status->ullTotalPageFile = status->ullTotalPhys + swapTotal;
  status->ullAvailPageFile = status->ullAvailPhys + swapFree;
  status->ullTotalVirtual = UINT64_C(1) << 47;
  status->ullAvailVirtual = status->ullTotalVirtual;
  if (status->ullTotalPhys)
    status->dwMemoryLoad =
        static_cast<DWORD>(100 - (status->ullAvailPhys * 100) / status->ullTotalPhys);
  return status->ullTotalPhys != 0;
}
