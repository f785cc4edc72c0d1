// Character-set conversion by fixed tables: one lookup per byte, no
// allocation, so the font renderer can call it for every text it draws.
#include "framework/base/iconv.h"

#include <climits>
#include <cstddef>
#include <cstdint>

#include "framework/base/log.h"

namespace {

#include "framework/base/iso8859_tables.inc"

struct IConvRecord_t {
  const char* name;
  int from;
  int to;
  int width;  // output bytes per character
  const uint16_t* table;  // 256 code points; every part converted lies in the BMP
};

constexpr int kUcs2Width = 2;
constexpr int kUcs4Width = 4;

// The first record whose pair matches wins, so the order is part of the interface.
constexpr IConvRecord_t kRecords[] = {
    {"ISO88591 to UCS2", 1, SYS_CHARSET_UCS2, kUcs2Width, kIso8859_1},
    {"ISO88592 to UCS2", 2, SYS_CHARSET_UCS2, kUcs2Width, kIso8859_2},
    {"ISO88594 to UCS2", 4, SYS_CHARSET_UCS2, kUcs2Width, kIso8859_4},
    {"ISO88595 to UCS2", 5, SYS_CHARSET_UCS2, kUcs2Width, kIso8859_5},
    {"ISO88599 to UCS2", 9, SYS_CHARSET_UCS2, kUcs2Width, kIso8859_9},
    {"ISO885910 to UCS2", 10, SYS_CHARSET_UCS2, kUcs2Width, kIso8859_10},
    {"ISO885913 to UCS2", 13, SYS_CHARSET_UCS2, kUcs2Width, kIso8859_13},
    {"ISO885914 to UCS2", 14, SYS_CHARSET_UCS2, kUcs2Width, kIso8859_14},
    {"ISO885915 to UCS2", 15, SYS_CHARSET_UCS2, kUcs2Width, kIso8859_15},
    {"ISO88591 to UCS4", 1, SYS_CHARSET_UCS4, kUcs4Width, kIso8859_1},
    {"ISO88592 to UCS4", 2, SYS_CHARSET_UCS4, kUcs4Width, kIso8859_2},
    {"ISO88594 to UCS4", 4, SYS_CHARSET_UCS4, kUcs4Width, kIso8859_4},
    {"ISO88595 to UCS4", 5, SYS_CHARSET_UCS4, kUcs4Width, kIso8859_5},
    {"ISO88599 to UCS4", 9, SYS_CHARSET_UCS4, kUcs4Width, kIso8859_9},
    {"ISO885910 to UCS4", 10, SYS_CHARSET_UCS4, kUcs4Width, kIso8859_10},
    {"ISO885913 to UCS4", 13, SYS_CHARSET_UCS4, kUcs4Width, kIso8859_13},
    {"ISO885914 to UCS4", 14, SYS_CHARSET_UCS4, kUcs4Width, kIso8859_14},
    {"ISO885915 to UCS4", 15, SYS_CHARSET_UCS4, kUcs4Width, kIso8859_15},
    {nullptr, 0, 0, 0, nullptr},
};

const IConvRecord_t* FindRecord(int from, int to) {
  for (const IConvRecord_t* r = kRecords; r->name; ++r)
    if (r->from == from && r->to == to) return r->table ? r : nullptr;
  return nullptr;
}

// Byte by byte, most significant first: the renderer reads the codes as
// big-endian whatever the host's order is.
void StoreBigEndian(unsigned char* out, uint32_t code, int width) {
  for (int i = width - 1; i >= 0; --i) {
    out[i] = static_cast<unsigned char>(code & 0xFF);
    code >>= 8;
  }
}

}  // namespace

int SYS_IConvToUCS(int from, int to, const char* source, int length, char* destination, int* outLength) {
  errClear();
  const bool hasBytes = length > 0;
  if (!outLength || (hasBytes && (!source || !destination))) {
    errSetLastError(ERR_BADARG);
    return -1;
  }
  const IConvRecord_t* record = FindRecord(from, to);
  if (!record) {
    errSetLastError(ERR_UNSUPPORTED);
    return -1;
  }
  if (length > INT_MAX / record->width) {
    errSetLastError(ERR_BADARG);
    return -1;
  }
  const auto* in = reinterpret_cast<const unsigned char*>(source);
  auto* out = reinterpret_cast<unsigned char*>(destination);
  for (int i = 0; i < length; ++i)
    StoreBigEndian(out + static_cast<size_t>(i) * record->width, record->table[in[i]], record->width);
  *outLength = (hasBytes ? length : 0) * record->width;
  return 0;
}
