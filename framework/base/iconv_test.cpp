#include "framework/base/iconv.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "framework/base/log.h"

namespace {

using Bytes = std::vector<uint8_t>;

constexpr uint8_t kSentinel = 0x5A;

struct Converted {
  int result;
  int code;
  int outLength;
  Bytes out;
};

// The destination is prefilled with a sentinel one character wider than
// needed, so a write past the end or a write on failure shows.
Converted Convert(int from, int to, const Bytes& in) {
  Converted c{};
  c.outLength = -7;
  c.out.assign(in.size() * 4 + 4, kSentinel);
  c.result = SYS_IConvToUCS(from, to, reinterpret_cast<const char*>(in.data()), static_cast<int>(in.size()),
                            reinterpret_cast<char*>(c.out.data()), &c.outLength);
  c.code = errGetLastError();
  return c;
}

Bytes Prefix(const Bytes& b, size_t n) { return Bytes(b.begin(), b.begin() + static_cast<std::ptrdiff_t>(n)); }

TEST(IConv, PublishedVectors) {
  const Bytes text = {0x41, 0xA4, 0xE9};
  Converted ucs2 = Convert(15, SYS_CHARSET_UCS2, text);
  EXPECT_EQ(ucs2.result, 0);
  EXPECT_EQ(ucs2.code, ERR_NONE);
  EXPECT_EQ(ucs2.outLength, 6);
  EXPECT_EQ(Prefix(ucs2.out, 7), (Bytes{0x00, 0x41, 0x20, 0xAC, 0x00, 0xE9, kSentinel}));

  Converted ucs4 = Convert(1, SYS_CHARSET_UCS4, text);
  EXPECT_EQ(ucs4.result, 0);
  EXPECT_EQ(ucs4.outLength, 12);
  EXPECT_EQ(Prefix(ucs4.out, 13),
            (Bytes{0, 0, 0, 0x41, 0, 0, 0, 0xA4, 0, 0, 0, 0xE9, kSentinel}));

  Converted cyrillic = Convert(5, SYS_CHARSET_UCS2, {0xB0});
  EXPECT_EQ(Prefix(cyrillic.out, 2), (Bytes{0x04, 0x10}));
}

TEST(IConv, UnknownPairsLeaveTheDestination) {
  struct Case {
    int from, to;
  } cases[] = {{3, 30}, {1, 29}, {30, 30}, {31, 31}, {20, 30}, {0, 30}, {-1, 31}, {16, 30}, {1, 1}, {15, 32}};
  for (const Case& c : cases) {
    errSetLastError(ERR_NOTFOUND);
    Converted r = Convert(c.from, c.to, {0x41, 0xE9});
    EXPECT_EQ(r.result, -1) << c.from << "->" << c.to;
    EXPECT_EQ(r.code, ERR_UNSUPPORTED) << c.from << "->" << c.to;
    EXPECT_EQ(r.outLength, -7) << c.from << "->" << c.to;
    EXPECT_EQ(r.out, Bytes(r.out.size(), kSentinel)) << c.from << "->" << c.to;
  }
}

TEST(IConv, EmptyOrNegativeLengthWritesNothing) {
  for (int length : {0, -1, -100}) {
    uint8_t out[4] = {kSentinel, kSentinel, kSentinel, kSentinel};
    int outLength = -7;
    EXPECT_EQ(SYS_IConvToUCS(1, SYS_CHARSET_UCS4, "A", length, reinterpret_cast<char*>(out), &outLength), 0);
    EXPECT_EQ(outLength, 0);
    EXPECT_EQ(Bytes(out, out + 4), Bytes(4, kSentinel));
  }
  int outLength = -7;
  EXPECT_EQ(SYS_IConvToUCS(2, SYS_CHARSET_UCS2, nullptr, 0, nullptr, &outLength), 0);
  EXPECT_EQ(outLength, 0);
}

TEST(IConv, NullArguments) {
  char out[8] = {};
  int outLength = -7;
  EXPECT_EQ(SYS_IConvToUCS(1, SYS_CHARSET_UCS2, "AB", 2, out, nullptr), -1);
  EXPECT_EQ(errGetLastError(), ERR_BADARG);
  EXPECT_EQ(SYS_IConvToUCS(1, SYS_CHARSET_UCS2, nullptr, 2, out, &outLength), -1);
  EXPECT_EQ(errGetLastError(), ERR_BADARG);
  EXPECT_EQ(SYS_IConvToUCS(1, SYS_CHARSET_UCS2, "AB", 2, nullptr, &outLength), -1);
  EXPECT_EQ(errGetLastError(), ERR_BADARG);
  EXPECT_EQ(outLength, -7);
}

}  // namespace
