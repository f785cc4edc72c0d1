// Character-set conversion: 8-bit ISO 8859 text to big-endian Unicode.
#pragma once

// Character-set codes besides the ISO 8859 parts, whose part n is the code n.
#define SYS_CHARSET_UCS2 30
#define SYS_CHARSET_UCS4 31

// Converts length bytes of source into destination, one character per byte:
// two bytes each for UCS-2, four for UCS-4, most significant byte first, no
// terminator. The destination needs length × width bytes. Stores length ×
// width in *outLength and returns 0; -1 with code 11 when no table converts
// from the source code to the target code (the destination is untouched), or
// with code 10 for a null output length, a null source or destination while
// there are bytes to convert, or an output length beyond the int range.
int SYS_IConvToUCS(int from, int to, const char* source, int length, char* destination, int* outLength);
