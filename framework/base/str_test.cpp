#include "framework/base/str.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "framework/base/log.h"
#include "framework/base/mem.h"

namespace {

std::string Cut(const char* text, char separator, int field) {
  std::string work(text);
  std::string dest(work.size() + 1, '\x7f');
  const char* r = SYS_Cut(work.data(), dest.data(), separator, field);
  return r ? std::string(r) : std::string("<null>");
}

TEST(StrCut, Fields) {
  struct Case {
    const char* text;
    char separator;
    int field;
    const char* expected;
  } cases[] = {
      {"a,b,c", ',', 0, "a"},  {"a,b,c", ',', 1, "b"}, {"a,b,c", ',', 2, "c"}, {"a,b,c", ',', 3, ""},
      {",x", ',', 0, "x"},     {",x", ',', 1, "x"},    {"a,,b", ',', 1, ""},   {"a,,b", ',', 2, "b"},
      {"", ',', 0, ""},        {"abc", ',', 0, "abc"}, {"abc", ',', 1, ""},    {",,x", ',', 0, ""},
      {"a,b", 0, 0, "<null>"},
      // The two-step cut that the configuration and phrase files use.
      {"key = \"some value\"", '=', 1, " \"some value\""},
  };
  for (const Case& c : cases) EXPECT_EQ(Cut(c.text, c.separator, c.field), c.expected) << c.text << " " << c.field;
  EXPECT_EQ(SYS_Cut(nullptr, nullptr, ',', 0), nullptr);
}

TEST(StrCut, InPlace) {
  char line[] = "name = \"value\" tail";
  SYS_Cut(line, line, '=', 1);
  EXPECT_STREQ(SYS_Cut(line, line, '"', 1), "value");
  char fields[] = "alpha;beta;gamma";
  EXPECT_STREQ(SYS_Cut(fields, fields, ';', 2), "gamma");
  char longer[] = "xx,yyyyyyyy,z";
  EXPECT_STREQ(SYS_Cut(longer, longer, ',', 1), "yyyyyyyy");
}

TEST(StrCut, Numbers) {
  struct Case {
    const char* text;
    char separator;
    int field;
    int32_t i;
    uint32_t u;
    float f;
  } cases[] = {
      {"1,-2,3.5", ',', 1, -2, 0xFFFFFFFEu, -2.0f},
      {"1,-2,3.5", ',', 2, 3, 3, 3.5f},
      {" 12abc", 0, 0, 12, 12, 12.0f},
      {"x;  7", ';', 1, 7, 7, 7.0f},
      {"4294967296", 0, 0, INT32_MAX, 0xFFFFFFFFu, 4294967296.0f},
      {"-99999999999", 0, 0, INT32_MIN, 0xFFFFFFFFu, -99999999999.0f},
      {"-1", 0, 0, -1, 0xFFFFFFFFu, -1.0f},
      {"abc", 0, 0, 0, 0, 0.0f},
      {"a,b", ',', 5, 0, 0, 0.0f},
      {"2.5e3", 0, 0, 2, 2, 2500.0f},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SYS_Cuti(c.text, c.separator, c.field), c.i) << c.text;
    EXPECT_EQ(SYS_Cutu(c.text, c.separator, c.field), c.u) << c.text;
    EXPECT_FLOAT_EQ(SYS_Cutf(c.text, c.separator, c.field), c.f) << c.text;
  }
  EXPECT_EQ(SYS_Cuti(nullptr, ',', 0), 0);
  EXPECT_EQ(SYS_Cutu(nullptr, ',', 0), 0u);
  EXPECT_EQ(SYS_Cutf(nullptr, ',', 0), 0.0f);
}

TEST(StrItemsSwap, Basics) {
  EXPECT_EQ(SYS_Items("a,b,c", ','), 2);
  EXPECT_EQ(SYS_Items("", ','), 0);
  EXPECT_EQ(SYS_Items(nullptr, ','), 0);
  char comment[] = "key = 1 # note # more";
  EXPECT_STREQ(SYS_StrSwap(comment, '#', 0), "key = 1 ");
  char tabs[] = "a\tb\tc";
  EXPECT_STREQ(SYS_StrSwap(tabs, '\t', ' '), "a b c");
  EXPECT_EQ(SYS_StrSwap(nullptr, 'a', 'b'), nullptr);
}

TEST(StrTrim, Table) {
  struct Case {
    const char* text;
    const char* left;
    const char* both;
  } cases[] = {
      {"  ab  ", "ab  ", "ab"}, {"", "", ""},         {"   ", "", ""},
      {"a", "a", "a"},          {"\tab ", "\tab ", "\tab"},  // tabs are no blanks
      {" a b ", "a b ", "a b"},
  };
  for (const Case& c : cases) {
    std::string left(c.text), both(c.text);
    EXPECT_STREQ(SYS_TrimLeft(left.data()), c.left) << '"' << c.text << '"';
    EXPECT_STREQ(SYS_Trim(both.data()), c.both) << '"' << c.text << '"';
  }
  EXPECT_EQ(SYS_Trim(nullptr), nullptr);
}

TEST(StrUri, EncodeDecode) {
  char out[64];
  EXPECT_STREQ(SYS_Str2Uri(" ", out), "%20");
  EXPECT_STREQ(SYS_Str2Uri("\xE9", out), "%E9");
  EXPECT_STREQ(SYS_Str2Uri("a-b.C9", out), "a%2Db.C9");
  EXPECT_STREQ(SYS_Uri2Str("%41%42", out), "AB");
  EXPECT_STREQ(SYS_Uri2Str("%e9%2d", out), "\xE9-");
  // A "%" without two hex digits stays as it is, also at the very end.
  EXPECT_STREQ(SYS_Uri2Str("100%", out), "100%");
  EXPECT_STREQ(SYS_Uri2Str("x%4", out), "x%4");
  EXPECT_STREQ(SYS_Uri2Str("%zz%", out), "%zz%");
  EXPECT_EQ(SYS_Str2Uri(nullptr, out), nullptr);
  EXPECT_EQ(SYS_Uri2Str("a", nullptr), nullptr);

  std::string all;
  for (int c = 1; c < 256; ++c) all.push_back(static_cast<char>(c));
  std::string encoded(3 * all.size() + 1, 0), decoded(all.size() + 1, 0);
  SYS_Str2Uri(all.c_str(), encoded.data());
  for (char c : std::string(encoded.c_str())) EXPECT_TRUE(c == '%' || c == '.' || std::isalnum(static_cast<unsigned char>(c)));
  SYS_Uri2Str(encoded.c_str(), decoded.data());
  EXPECT_EQ(std::string(decoded.c_str()), all);
}

TEST(StrRep, Table) {
  struct Case {
    const char* text;
    const char* pattern;
    const char* replacement;
    const char* expected;
  } cases[] = {
      {"aaa", "aa", "b", "ba"},      {"hello world", "o", "0", "hell0 w0rld"},
      {"abc", "x", "y", "abc"},      {"abc", "", "y", "abc"},
      {"abab", "ab", "", ""},        {"a.b", ".", "\\.", "a\\.b"},
      {"xx", "x", "long", "longlong"},
  };
  for (const Case& c : cases) {
    char* r = SYS_StrRep(c.text, c.pattern, c.replacement);
    ASSERT_NE(r, nullptr) << c.text;
    EXPECT_STREQ(r, c.expected) << c.text;
    EXPECT_NE(r, c.text);  // always a new text
    EXPECT_EQ(errGetLastError(), 0);
    SYS_MemFree(r);
  }
  EXPECT_EQ(SYS_StrRep(nullptr, "a", "b"), nullptr);
  EXPECT_EQ(errGetLastError(), ERR_BADARG);
  EXPECT_EQ(SYS_StrRep("a", "a", nullptr), nullptr);
  EXPECT_EQ(errGetLastError(), ERR_BADARG);
}

TEST(StrCase, AsciiOnly) {
  char text[] = "Mixed Case \xC9\xE9 123 [z]";
  EXPECT_STREQ(SYS_StrLwr(text), "mixed case \xC9\xE9 123 [z]");
  EXPECT_STREQ(SYS_StrUpr(text), "MIXED CASE \xC9\xE9 123 [Z]");
  EXPECT_EQ(SYS_StrLwr(nullptr), nullptr);
}

TEST(StrDup, TracksCopies) {
  char* copy = SYS_StrDup("text");
  ASSERT_NE(copy, nullptr);
  EXPECT_STREQ(copy, "text");
  EXPECT_EQ(SYS_MemSize(copy), 5);
  SYS_MemFree(copy);
  EXPECT_EQ(SYS_StrDup(nullptr), nullptr);
}

}  // namespace
