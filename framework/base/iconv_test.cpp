#include "framework/base/iconv.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <cstdint>
#include <string>
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

Bytes Slice(const Bytes& b, size_t at, size_t n) {
  const auto first = b.begin() + static_cast<std::ptrdiff_t>(at);
  return Bytes(first, first + static_cast<std::ptrdiff_t>(n));
}

TEST(IConv, PublishedVectors) {
  const Bytes text = {0x41, 0xA4, 0xE9};
  Converted ucs2 = Convert(15, SYS_CHARSET_UCS2, text);
  EXPECT_EQ(ucs2.result, 0);
  EXPECT_EQ(ucs2.code, ERR_NONE);
  EXPECT_EQ(ucs2.outLength, 6);
  EXPECT_EQ(Slice(ucs2.out, 0, 7), (Bytes{0x00, 0x41, 0x20, 0xAC, 0x00, 0xE9, kSentinel}));

  Converted ucs4 = Convert(1, SYS_CHARSET_UCS4, text);
  EXPECT_EQ(ucs4.result, 0);
  EXPECT_EQ(ucs4.outLength, 12);
  EXPECT_EQ(Slice(ucs4.out, 0, 13),
            (Bytes{0, 0, 0, 0x41, 0, 0, 0, 0xA4, 0, 0, 0, 0xE9, kSentinel}));

  Converted cyrillic = Convert(5, SYS_CHARSET_UCS2, {0xB0});
  EXPECT_EQ(Slice(cyrillic.out, 0, 2), (Bytes{0x04, 0x10}));
}

// The C library's own converter, as a second and independent reading of the
// published mappings.
Bytes SystemConvert(const char* from, const char* to, const Bytes& in) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    ADD_FAILURE() << "the C library cannot convert " << from << " to " << to;
    return {};
  }
  Bytes out(in.size() * 4);
  Bytes source = in;
  char* inPtr = reinterpret_cast<char*>(source.data());
  char* outPtr = reinterpret_cast<char*>(out.data());
  size_t inLeft = source.size(), outLeft = out.size();
  const size_t done = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
  iconv_close(cd);
  EXPECT_NE(done, static_cast<size_t>(-1)) << from << " to " << to;
  EXPECT_EQ(inLeft, 0u) << from << " to " << to;
  out.resize(out.size() - outLeft);
  return out;
}

TEST(IConv, EveryByteOfEveryPartMatchesTheCLibrary) {
  Bytes everyByte(256);
  for (int b = 0; b < 256; ++b) everyByte[static_cast<size_t>(b)] = static_cast<uint8_t>(b);
  struct Target {
    int code;
    const char* name;
    int width;
  } targets[] = {{SYS_CHARSET_UCS2, "UCS-2BE", 2}, {SYS_CHARSET_UCS4, "UCS-4BE", 4}};
  for (int part : {1, 2, 4, 5, 9, 10, 13, 14, 15}) {
    const std::string charset = "ISO-8859-" + std::to_string(part);
    for (const Target& t : targets) {
      SCOPED_TRACE(charset + " to " + t.name);
      Converted ours = Convert(part, t.code, everyByte);
      ASSERT_EQ(ours.result, 0);
      EXPECT_EQ(ours.code, ERR_NONE);
      const size_t size = 256u * static_cast<size_t>(t.width);
      EXPECT_EQ(ours.outLength, static_cast<int>(size));
      EXPECT_EQ(ours.out[size], kSentinel);
      const Bytes expected = SystemConvert(charset.c_str(), t.name, everyByte);
      ASSERT_EQ(expected.size(), size);
      const size_t width = static_cast<size_t>(t.width);
      for (size_t b = 0; b < 256; ++b)
        EXPECT_EQ(Slice(ours.out, b * width, width), Slice(expected, b * width, width)) << "byte " << b;
    }
  }
}

TEST(IConv, UnknownPairsLeaveTheDestination) {
  struct Case {
    int from, to;
  } cases[] = {{3, 30},  {1, 29},  {30, 30}, {31, 31}, {20, 30}, {0, 30},  {-1, 31},
                 {6, 30},  {7, 31},  {8, 30},  {11, 31}, {12, 30}, {16, 30}, {1, 1}, {15, 32}};
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
