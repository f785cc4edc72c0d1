// String utilities, all independent of the locale.
#pragma once
#include <cstdint>

#include "framework/base/srcname.h"

char* _SYS_StrDup(const char* text, const char* file, int line);
#define SYS_StrDup(text) _SYS_StrDup((text), SYS_SrcName(__FILE__), __LINE__)
char* SYS_TrimLeft(char* text);
char* SYS_Trim(char* text);
char* SYS_StrSwap(char* text, char a, char b);
int SYS_Items(const char* text, char separator);
char* SYS_Cut(char* text, char* destination, char separator, int field);
int32_t SYS_Cuti(const char* text, char separator, int field);
uint32_t SYS_Cutu(const char* text, char separator, int field);
float SYS_Cutf(const char* text, char separator, int field);
char* SYS_Str2Uri(const char* text, char* destination);
char* SYS_Uri2Str(const char* text, char* destination);
char* SYS_StrRep(const char* text, const char* pattern, const char* replacement);
char* SYS_StrLwr(char* text);
char* SYS_StrUpr(char* text);
