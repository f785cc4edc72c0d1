// String utilities. Minimal form: what the switches and config files need.
#include "framework/base/str.h"

#include <cstring>

#include "framework/base/mem.h"

char* _SYS_StrDup(const char* text, const char* file, int line) {
  if (!text) return nullptr;
  size_t n = std::strlen(text);
  auto* copy = static_cast<char*>(_SYS_MemGet(n + 1, file, line));
  if (copy) std::memcpy(copy, text, n + 1);
  return copy;
}

char* SYS_StrSwap(char* text, char a, char b) {
  if (!text) return nullptr;
  for (char* p = text; *p; ++p)
    if (*p == a) *p = b;
  return text;
}
