// String utilities on zero-terminated texts, byte by byte and independent of
// the locale. A blank is the space character only.
#pragma once
#include <cstdint>

#include "framework/base/srcname.h"

// A new tracked copy allocated under the caller's file and line; null for a
// null text or when out of memory (the caller sets code 5).
char* _SYS_StrDup(const char* text, const char* file, int line);
#define SYS_StrDup(text) _SYS_StrDup((text), SYS_SrcName(__FILE__), __LINE__)

// In place; they return the text (null for null).
char* SYS_TrimLeft(char* text);
char* SYS_Trim(char* text);
// Replaces every a by b; with b = 0 the text ends at the first a.
char* SYS_StrSwap(char* text, char a, char b);
// The number of separator characters in the text.
int SYS_Items(const char* text, char separator);
// Copies field n (the text between the n-th and the (n+1)-th separator)
// into destination, which may be the text itself; null for a null text or
// destination or a separator of 0.
char* SYS_Cut(char* text, char* destination, char separator, int field);
// Field n converted as a decimal number (32-bit, clamped); the whole text
// with a separator of 0; 0 for a null text.
int32_t SYS_Cuti(const char* text, char separator, int field);
uint32_t SYS_Cutu(const char* text, char separator, int field);
float SYS_Cutf(const char* text, char separator, int field);
// Percent-encoding: every byte other than ".", letters and digits becomes
// "%XX". The destination needs 3 * length + 1 bytes for an encode and
// length + 1 for a decode.
char* SYS_Str2Uri(const char* text, char* destination);
char* SYS_Uri2Str(const char* text, char* destination);
// A new tracked text with every (non-overlapping) pattern replaced; a copy
// when the pattern is absent or empty; null with code 10 or 5.
char* SYS_StrRep(const char* text, const char* pattern, const char* replacement);
// ASCII letters only; other bytes stay.
char* SYS_StrLwr(char* text);
char* SYS_StrUpr(char* text);
