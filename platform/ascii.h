// ASCII letter case, the way the framework compares names: only A-Z and a-z
// change, whatever the locale and whatever bytes above 127 mean. Header-only
// and in the lowest layer, so the platform layer, the framework and the tools
// share it.
#pragma once
#include <string>
#include <string_view>

constexpr char SYS_AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
constexpr char SYS_AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

inline std::string SYS_AsciiLowered(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = SYS_AsciiLower(c);
  return out;
}

constexpr bool SYS_AsciiEqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (SYS_AsciiLower(a[i]) != SYS_AsciiLower(b[i])) return false;
  return true;
}

// Lower-cases a zero-terminated text in place.
inline void SYS_AsciiLowerInPlace(char* text) {
  for (; text && *text; ++text) *text = SYS_AsciiLower(*text);
}
