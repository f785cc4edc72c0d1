// Locale-free number conversions used by the readers of texts.
#pragma once
#include <cstdint>
#include <string>

// The C library's decimal integer conversion (leading blanks, optional sign,
// digits up to the first other character, no digits give 0), clamped to the
// 32-bit range instead of overflowing.
int32_t SYS_ParseInt32(const char* text);
uint32_t SYS_ParseUInt32(const char* text);
// A decimal real in the C locale's form (blanks, sign, digits, ".", exponent);
// no number gives 0. Hexadecimal, "inf" and "nan" are not numbers here.
double SYS_ParseReal(const char* text);
// A real cut toward zero to 32 bits, clamped at the range's ends (NaN gives 0).
int32_t SYS_TruncInt32(double value);
// A real rounded with halves to the even neighbour (the default rounding
// mode), clamped at the 32-bit range's ends (NaN gives 0).
int32_t SYS_RoundInt32(double value);
// "%f" of the C locale: fixed notation, six decimals.
std::string SYS_FormatFixed6(double value);
