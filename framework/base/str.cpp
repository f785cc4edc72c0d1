// String utilities.
#include "framework/base/str.h"

#include <cstring>

#include "framework/base/log.h"
#include "framework/base/mem.h"
#include "framework/base/numconv.h"
#include "platform/ascii.h"

namespace {
int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool KeptInUri(unsigned char c) {
  return c == '.' || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// Cuts field n of a tracked copy of the text (the whole text for a
// separator of 0) and hands it to convert; 0 when there is no text.
template <class T, class Convert>
T CutNumber(const char* text, char separator, int field, Convert convert) {
  if (!text) return 0;
  char* work = SYS_StrDup(text);
  if (!work) return 0;
  if (separator) SYS_Cut(work, work, separator, field);
  T value = convert(work);
  SYS_MemFree(work);
  return value;
}
}  // namespace

char* _SYS_StrDup(const char* text, const char* file, int line) {
  if (!text) return nullptr;
  size_t n = std::strlen(text);
  auto* copy = static_cast<char*>(_SYS_MemGet(n + 1, file, line));
  if (copy) std::memcpy(copy, text, n + 1);
  return copy;
}

char* SYS_TrimLeft(char* text) {
  if (!text) return nullptr;
  size_t skip = 0;
  while (text[skip] == ' ') ++skip;
  if (skip) std::memmove(text, text + skip, std::strlen(text + skip) + 1);
  return text;
}

char* SYS_Trim(char* text) {
  if (!SYS_TrimLeft(text)) return nullptr;
  // The first character is no blank after the left trim (or the text is
  // empty), so the walk back stops before it.
  for (size_t n = std::strlen(text); n > 1 && text[n - 1] == ' '; --n) text[n - 1] = 0;
  return text;
}

char* SYS_StrSwap(char* text, char a, char b) {
  if (!text) return nullptr;
  for (size_t i = 0; text[i]; ++i)
    if (text[i] == a) text[i] = b;
  return text;
}

int SYS_Items(const char* text, char separator) {
  if (!text || !separator) return 0;
  int count = 0;
  for (; *text; ++text)
    if (*text == separator) ++count;
  return count;
}

char* SYS_Cut(char* text, char* destination, char separator, int field) {
  if (!text || !destination || !separator) return nullptr;
  // Character by character, because the destination may be the text: the
  // write position never passes the read position.
  int seen = 0;
  size_t out = 0;
  for (size_t i = 0; text[i]; ++i) {
    const char c = text[i];
    if (c == separator) ++seen;
    if (seen < field) continue;
    if (c != separator) destination[out++] = c;
    if (text[i + 1] == separator) break;
  }
  destination[out] = 0;
  return destination;
}

int32_t SYS_Cuti(const char* text, char separator, int field) {
  return CutNumber<int32_t>(text, separator, field, SYS_ParseInt32);
}

uint32_t SYS_Cutu(const char* text, char separator, int field) {
  return CutNumber<uint32_t>(text, separator, field, SYS_ParseUInt32);
}

float SYS_Cutf(const char* text, char separator, int field) {
  return CutNumber<float>(text, separator, field,
                          [](const char* s) { return static_cast<float>(SYS_ParseReal(s)); });
}

char* SYS_Str2Uri(const char* text, char* destination) {
  if (!text || !destination) return nullptr;
  static const char kHex[] = "0123456789ABCDEF";
  char* out = destination;
  for (const char* p = text; *p; ++p) {
    const auto c = static_cast<unsigned char>(*p);
    if (KeptInUri(c)) {
      *out++ = static_cast<char>(c);
    } else {
      *out++ = '%';
      *out++ = kHex[c >> 4];
      *out++ = kHex[c & 15];
    }
  }
  *out = 0;
  return destination;
}

char* SYS_Uri2Str(const char* text, char* destination) {
  if (!text || !destination) return nullptr;
  char* out = destination;
  for (size_t i = 0; text[i]; ++i) {
    // A "%" without two hex digits behind it (also at the very end) is
    // copied as it stands; the digit test stops at the terminator.
    if (text[i] == '%') {
      const int high = HexDigit(text[i + 1]);
      const int low = high < 0 ? -1 : HexDigit(text[i + 2]);
      if (low >= 0) {
        *out++ = static_cast<char>(high * 16 + low);
        i += 2;
        continue;
      }
    }
    *out++ = text[i];
  }
  *out = 0;
  return destination;
}

char* SYS_StrRep(const char* text, const char* pattern, const char* replacement) {
  errClear();
  if (!text || !pattern || !replacement) {
    errSetLastError(ERR_BADARG);
    return nullptr;
  }
  const size_t patternLength = std::strlen(pattern);
  uint64_t matches = 0;
  if (patternLength)
    for (const char* p = std::strstr(text, pattern); p; p = std::strstr(p + 1, pattern)) ++matches;
  if (!matches) {
    char* copy = SYS_StrDup(text);
    if (!copy) errSetLastError(ERR_NOMEM);
    return copy;
  }
  const size_t textLength = std::strlen(text);
  const size_t replacementLength = std::strlen(replacement);
  const uint64_t size = uint64_t(textLength) + matches * replacementLength + 1;
  char* result = size > SIZE_MAX ? nullptr : static_cast<char*>(SYS_MemGet(static_cast<size_t>(size)));
  if (!result) {
    errSetLastError(ERR_NOMEM);
    return nullptr;
  }
  char* out = result;
  for (size_t i = 0; i < textLength;) {
    if (std::strncmp(text + i, pattern, patternLength) == 0) {
      std::memcpy(out, replacement, replacementLength);
      out += replacementLength;
      i += patternLength;
    } else {
      *out++ = text[i++];
    }
  }
  return result;
}

char* SYS_StrLwr(char* text) {
  if (!text) return nullptr;
  SYS_AsciiLowerInPlace(text);
  return text;
}

char* SYS_StrUpr(char* text) {
  if (!text) return nullptr;
  for (char* p = text; *p; ++p) *p = SYS_AsciiUpper(*p);
  return text;
}
