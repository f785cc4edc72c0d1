// Modules: the kernel's own table of entry points.
#include "platform/kernel.h"

#include <atomic>
#include <string_view>

namespace {
std::atomic<bool> hideTryEnter{false};
int kernelModuleTag;
bool SameNameNoCase(const char* a, const char* b) {
  for (; *a && *b; ++a, ++b) {
    char x = (*a >= 'A' && *a <= 'Z') ? char(*a + 32) : *a;
    char y = (*b >= 'A' && *b <= 'Z') ? char(*b + 32) : *b;
    if (x != y) return false;
  }
  return *a == *b;
}
}  // namespace

HMODULE GetModuleHandleA(LPCSTR name) {
  if (name && (SameNameNoCase(name, "KERNEL32.DLL") || SameNameNoCase(name, "KERNEL32"))) return &kernelModuleTag;
  return nullptr;
}

FARPROC GetProcAddress(HMODULE module, LPCSTR name) {
  if (module != &kernelModuleTag || !name) return nullptr;
  std::string_view n(name);
  if (n == "TryEnterCriticalSection" && !hideTryEnter.load())
    return reinterpret_cast<FARPROC>(&TryEnterCriticalSection);
  return nullptr;
}

namespace plat {
void HideTryEnterCriticalSection(bool hide) { hideTryEnter.store(hide); }
}  // namespace plat
