#include "framework/base/numconv.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

namespace {
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

// Length of the longest prefix of p that reads as a decimal real.
size_t RealPrefix(const char* p) {
  size_t i = 0, digits = 0;
  while (p[i] >= '0' && p[i] <= '9') ++i, ++digits;
  if (p[i] == '.') {
    ++i;
    while (p[i] >= '0' && p[i] <= '9') ++i, ++digits;
  }
  if (!digits) return 0;
  if (p[i] == 'e' || p[i] == 'E') {
    size_t j = i + 1;
    if (p[j] == '+' || p[j] == '-') ++j;
    if (p[j] >= '0' && p[j] <= '9') {
      while (p[j] >= '0' && p[j] <= '9') ++j;
      i = j;
    }
  }
  return i;
}
}  // namespace

int32_t SYS_ParseInt32(const char* text) {
  if (!text) return 0;
  while (IsBlank(*text)) ++text;
  bool negative = false;
  if (*text == '+' || *text == '-') negative = *text++ == '-';
  int64_t value = 0;
  for (; *text >= '0' && *text <= '9'; ++text) {
    value = value * 10 + (*text - '0');
    if (value > INT64_C(0x80000000)) value = INT64_C(0x80000000);
  }
  if (negative) value = -value;
  if (value > std::numeric_limits<int32_t>::max()) value = std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(value);
}

uint32_t SYS_ParseUInt32(const char* text) {
  if (!text) return 0;
  while (IsBlank(*text)) ++text;
  bool negative = false;
  if (*text == '+' || *text == '-') negative = *text++ == '-';
  uint64_t value = 0;
  for (; *text >= '0' && *text <= '9'; ++text) {
    value = value * 10 + static_cast<uint64_t>(*text - '0');
    if (value > UINT32_MAX) value = UINT64_C(0x100000000);
  }
  if (value > UINT32_MAX) return UINT32_MAX;
  // Like the C library, a negative number wraps around.
  return negative ? static_cast<uint32_t>(0u - static_cast<uint32_t>(value)) : static_cast<uint32_t>(value);
}

double SYS_ParseReal(const char* text) {
  if (!text) return 0.0;
  while (IsBlank(*text)) ++text;
  bool negative = false;
  if (*text == '+' || *text == '-') negative = *text++ == '-';
  size_t n = RealPrefix(text);
  if (!n) return 0.0;
  double value = 0.0;
  auto r = std::from_chars(text, text + n, value, std::chars_format::general);
  if (r.ec == std::errc::result_out_of_range) {
    // Too large keeps its sign as infinity; too small becomes 0.
    value = 0.0;
    for (size_t i = 0; i < n && text[i] != 'e' && text[i] != 'E'; ++i)
      if (text[i] >= '1' && text[i] <= '9') {
        const char* e = std::strpbrk(text, "eE");
        value = (e && e < text + n && e[1] == '-') ? 0.0 : std::numeric_limits<double>::infinity();
        break;
      }
  }
  return negative ? -value : value;
}

int32_t SYS_TruncInt32(double value) {
  if (std::isnan(value)) return 0;
  if (value >= 2147483647.0) return std::numeric_limits<int32_t>::max();
  if (value <= -2147483648.0) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(value);
}

int32_t SYS_RoundInt32(double value) {
  if (std::isnan(value)) return 0;
  return SYS_TruncInt32(std::nearbyint(value));
}

std::string SYS_FormatFixed6(double value) {
  char buf[400];
  auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, 6);
  if (r.ec != std::errc()) return "0.000000";
  return std::string(buf, r.ptr);
}
