#include "framework/base/cfg.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstring>
#include <string>

#include "framework/base/log.h"
#include "framework/base/mem.h"
#include "framework/base/str.h"
#include "testsupport/testsupport.h"

namespace {

void SetArgs(std::initializer_list<const char*> args) {
  SYS_CfgDone();
  SYS_CfgAdd("\\bin\\prog");
  for (const char* a : args) SYS_CfgAdd(a);
}

TEST(Switches, Lookup) {
  SetArgs({"/V", "-mf", "leaks.txt", "-Debug-Log", "x.log", "-n", "2.9", "-m", "-2.9", "-big", "1e30", "-int",
           "  -17abc", "-ncpu"});
  struct Case {
    const char* name;
    int type;
    intptr_t result;  // for type 1: 1 when a text is expected
    int code;
    const char* text;
  } cases[] = {
      {"v", 0, 1, 0, nullptr},          {"V", 0, 1, 0, nullptr},       {"mf", 1, 1, 0, "leaks.txt"},
      {"debug-log", 1, 1, 0, "x.log"},  {"DEBUG-LOG", 0, 1, 0, nullptr}, {"n", 3, 2, 0, nullptr},
      {"m", 3, -2, 0, nullptr},         {"big", 3, INT32_MAX, 0, nullptr}, {"int", 2, -17, 0, nullptr},
      {"mf", 2, 0, 0, nullptr},         {"absent", 0, 0, 0, nullptr},  {"absent", 2, 0, 0, nullptr},
      {"ncpu", 2, -1, 10, nullptr},     {"ncpu", 3, -1, 10, nullptr},  {"ncpu", 1, 0, 10, nullptr},
      {"v", 7, 0, 0, nullptr},  // an unknown type is ignored
      {"prog", 0, 0, 0, nullptr},  // the program path is no switch
  };
  for (const auto& c : cases) {
    intptr_t r = SYS_CfgGet(c.name, c.type);
    int code = errGetLastError();
    if (c.type == SYS_CFG_STRING && c.text) {
      ASSERT_NE(r, 0) << c.name;
      EXPECT_STREQ(reinterpret_cast<const char*>(r), c.text);
    } else {
      EXPECT_EQ(r, c.result) << c.name << " type " << c.type;
    }
    EXPECT_EQ(code, c.code) << c.name << " type " << c.type;
  }
  EXPECT_EQ(SYS_CfgGet(nullptr, 0), -1);
  EXPECT_EQ(errGetLastError(), 10);
  SYS_CfgDone();
  EXPECT_EQ(SYS_CfgCount(), 0);
}

struct Vars {
  int32_t flag = 7, other = 7, size = 0;
  char* name = nullptr;
  char* empty = nullptr;
  float scale = 0;
  std::string called;
};
Vars* current;
void Called(const char* v) { current->called = v; }

TEST(ConfigFile, LoadsTheEdgeCases) {
  qt::TempDir dir;
  qt::WriteFile(dir / "a.cfg",
                "# a comment line\n"
                "\n"
                "   size\t=   \"12\"   # trailing comment\n"
                "flag = \"true\"\r\n"
                "other = yes-ish\n"
                "name = \"with # hash\"\n"
                "empty = no quotes\n"
                "scale = \"1.5\"\n"
                "Flag = \"false\"\n"
                "cb = \"hello\"\n"
                "lonely line\n");
  Vars v;
  current = &v;
  SYS_CFG_t table[] = {{"size", &v.size, SYS_CFG_INT, nullptr},
                       {"flag", &v.flag, SYS_CFG_BOOL, nullptr},
                       {"other", &v.other, SYS_CFG_BOOL, nullptr},
                       {"name", &v.name, SYS_CFG_TEXT, nullptr},
                       {"empty", &v.empty, SYS_CFG_TEXT, nullptr},
                       {"scale", &v.scale, SYS_CFG_REAL, nullptr},
                       {"cb", reinterpret_cast<void*>(&Called), SYS_CFG_CALLBACK, nullptr},
                       {"lonely", &v.other, SYS_CFG_BOOL, nullptr},
                       {nullptr, nullptr, 0, nullptr}};
  ASSERT_EQ(SYS_CfgLoad((dir.path() + "/a.cfg").c_str(), table), 0);
  EXPECT_EQ(v.size, 12);
  EXPECT_EQ(v.flag, 1);   // "Flag" differs in case and is not taken
  EXPECT_EQ(v.other, 0);  // "yes-ish" without quotes is the empty value
  ASSERT_NE(v.name, nullptr);
  EXPECT_STREQ(v.name, "");  // cut at the "#"
  ASSERT_NE(v.empty, nullptr);
  EXPECT_STREQ(v.empty, "");
  EXPECT_FLOAT_EQ(v.scale, 1.5f);
  EXPECT_EQ(v.called, "hello");
  SYS_MemFree(v.name);
  SYS_MemFree(v.empty);
}

TEST(ConfigFile, MissingFileFailsWithoutTheCallback) {
  static int calls = 0;
  errSetCallback([](int, const char*) { ++calls; });
  int32_t x = 0;
  SYS_CFG_t table[] = {{"x", &x, SYS_CFG_INT, nullptr}, {nullptr, nullptr, 0, nullptr}};
  EXPECT_EQ(SYS_CfgLoad("/no/such/file.cfg", table), -1);
  EXPECT_EQ(errGetLastError(), 1);
  EXPECT_EQ(calls, 0);
  errSetCallback(nullptr);
}

TEST(ConfigFile, SaveAndLoadRoundTripWithoutTouchingTheLocale) {
  qt::TempDir dir;
  std::string path = dir / "round.cfg";
  std::string localeBefore = std::setlocale(LC_ALL, nullptr);
  int32_t b = 1, i = -42, off = 0;
  float r = 2.25f;
  char text[] = "hello world";
  char* t = text;
  char* nothing = nullptr;
  SYS_CFG_t out[] = {{"b", &b, SYS_CFG_BOOL, nullptr},      {"i", &i, SYS_CFG_INT, nullptr},
                     {"r", &r, SYS_CFG_REAL, nullptr},      {"t", &t, SYS_CFG_TEXT, nullptr},
                     {"null", &nothing, SYS_CFG_TEXT, nullptr}, {"skipped", &i, SYS_CFG_INT, &off},
                     {nullptr, nullptr, 0, nullptr}};
  ASSERT_EQ(SYS_CfgSave(path.c_str(), out), 0);
  EXPECT_EQ(qt::ReadFile(path), "b = \"true\"\ni = \"-42\"\nr = \"2.250000\"\nt = \"hello world\"\n");
  int32_t b2 = 0, i2 = 0;
  float r2 = 0;
  char* t2 = nullptr;
  SYS_CFG_t in[] = {{"b", &b2, SYS_CFG_BOOL, nullptr}, {"i", &i2, SYS_CFG_INT, nullptr},
                    {"r", &r2, SYS_CFG_REAL, nullptr}, {"t", &t2, SYS_CFG_TEXT, nullptr},
                    {nullptr, nullptr, 0, nullptr}};
  ASSERT_EQ(SYS_CfgLoad(path.c_str(), in), 0);
  EXPECT_EQ(b2, 1);
  EXPECT_EQ(i2, -42);
  EXPECT_FLOAT_EQ(r2, 2.25f);
  EXPECT_STREQ(t2, "hello world");
  SYS_MemFree(t2);
  EXPECT_EQ(localeBefore, std::setlocale(LC_ALL, nullptr));
}

// The tracked allocator's live blocks, from its own report.
int TrackedBlocks(const qt::TempDir& dir) {
  const std::string report = dir / "blocks.txt";
  SYS_MemInfo(report.c_str());
  int blocks = 0;
  for (const std::string& line : qt::SplitLines(qt::ReadFile(report)))
    if (qt::Contains(line, " -> ")) ++blocks;
  return blocks;
}

// A key repeated in a file keeps one copy of its text: the load releases
// its own earlier copies (keeping them all would let a file use up memory,
// input handled unsafely), and never a text the caller put in the table,
// nor the text an earlier load left there, which is the caller's by then.
TEST(ConfigFile, RepeatedTextKeyKeepsOneCopyAndNeverReleasesTheCallersText) {
  qt::TempDir dir;
  std::string file;
  for (int i = 0; i < 1000; ++i) file += "t = \"v" + std::to_string(i) + "\"\n";
  const std::string path = dir / "repeat.cfg";
  ASSERT_TRUE(qt::WriteFile(path, file));
  char* callers = SYS_StrDup("mine");
  char* t = callers;
  SYS_CFG_t table[] = {{"t", &t, SYS_CFG_TEXT, nullptr}, {nullptr, nullptr, 0, nullptr}};
  const int before = TrackedBlocks(dir);
  ASSERT_EQ(SYS_CfgLoad(path.c_str(), table), 0);
  EXPECT_EQ(TrackedBlocks(dir), before + 1);
  EXPECT_STREQ(t, "v999");
  EXPECT_EQ(SYS_MemSize(callers), 5);  // still live
  char* first = t;
  ASSERT_EQ(SYS_CfgLoad(path.c_str(), table), 0);
  EXPECT_EQ(TrackedBlocks(dir), before + 2);
  EXPECT_EQ(SYS_MemSize(first), 5);
  SYS_MemFree(t);
  SYS_MemFree(first);
  SYS_MemFree(callers);
  EXPECT_EQ(TrackedBlocks(dir), before - 1);
}

}  // namespace
