#include "framework/base/lang.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "framework/base/cfg.h"
#include "framework/base/log.h"
#include "framework/base/mem.h"
#include "testsupport/testsupport.h"

namespace {

// The phrase file sits in the program folder, so the test's folder plays it.
class ProgramIn {
 public:
  explicit ProgramIn(const qt::TempDir& dir) {
    // The program's own path comes in the framework's form, with "\\".
    std::string path = dir / "prog";
    std::replace(path.begin(), path.end(), '/', '\\');
    SYS_CfgDone();
    SYS_CfgAdd(path.c_str());
  }
  ~ProgramIn() { SYS_CfgDone(); }
};

const std::string kLongKey(SYS_LANG_LINE_LIMIT, 'L');
const std::string kLongCrlfKey(SYS_LANG_LINE_LIMIT, 'C');

std::string Fixture() {
  std::string longLine = "overlong = \"" + std::string(SYS_LANG_LINE_LIMIT, 'x') + "\"";
  return "# phrases of the test\n"
         "\n"
         "   greeting = \"Hello\"\n"
         "tabbed\t= \"with a tab\"\n"
         "bare = Hello\n"
         "lonely\n"
         "twice = \"first\"\n"
         "twice = \"second\"\n"
         "hash = \"one # two\"\n"
         "equal = \"a = b\"\n"
         "spaced key = \"only the first word\"\n"
         "crlf = \"windows\"\r\n"
         "quoted = \"x\" \"y\"\n" +
         longLine + "\n" +
         "after = \"still read\"\n" +
         kLongKey + "\n" +
         kLongCrlfKey + "\r\n" +
         "last = \"no line end\"";
}

std::string MemReport(const qt::TempDir& dir, const char* name) {
  SYS_MemInfo((dir / name).c_str());
  std::string report = qt::ReadFile(dir / name);
  return report.substr(report.find("\n\n", report.find("--- started : ")));
}

TEST(Lang, LooksUpThePhrasesOfTheFile) {
  qt::TempDir dir;
  ASSERT_TRUE(qt::WriteFile(dir / "phrases.txt", Fixture()));
  ProgramIn program(dir);
  SYS_List_p list = SYS_LangSetFile("phrases.txt");
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(errGetLastError(), 0);
  struct Case {
    const char* key;
    const char* text;  // null: the key comes back
  } cases[] = {
      {"greeting", "Hello"},
      {"tabbed\t", "with a tab"},
      {"tabbed", nullptr},  // a tab is no blank, so it stays in the key
      {"bare", ""},         // no quotes
      {"lonely", ""},       // no "=" either
      {"twice", "first"},
      {"hash", ""},         // the comment starts inside the quotes, the closing one is gone
      {"equal", ""},        // the text ends at the second "=" before its closing quote
      {"spaced", "only the first word"},
      {"spaced key", nullptr},
      {"crlf", "windows"},
      {"quoted", "x"},
      {"overlong", nullptr},  // a line past the limit is left out, its tail too
      {"after", "still read"},
      {kLongKey.c_str(), ""},  // a line at the limit is read
      {kLongCrlfKey.c_str(), ""},
      {"last", "no line end"},
      {"absent", nullptr},
  };
  for (const Case& c : cases) {
    const char* got = SYS_LangGetPhrase(list, c.key);
    if (c.text)
      EXPECT_STREQ(got, c.text) << c.key;
    else
      EXPECT_EQ(got, c.key) << c.key;  // the very pointer, not a copy
    EXPECT_EQ(errGetLastError(), 0) << c.key;
  }
  EXPECT_EQ(SYS_LangGetPhrase(nullptr, "greeting"), nullptr);
  EXPECT_EQ(errGetLastError(), ERR_BADARG);
  EXPECT_EQ(SYS_LangGetPhrase(list, nullptr), nullptr);
  EXPECT_EQ(errGetLastError(), ERR_BADARG);
  EXPECT_EQ(SYS_LangDestroy(list), 0);
  EXPECT_EQ(SYS_LangDestroy(nullptr), -1);
  EXPECT_EQ(errGetLastError(), ERR_BADARG);
}

TEST(Lang, FilesWithoutPhrases) {
  qt::TempDir dir;
  ASSERT_TRUE(qt::WriteFile(dir / "comments.txt", "# only\n   # comments\n\n"));
  ASSERT_TRUE(qt::WriteFile(dir / "empty.txt", ""));
  ProgramIn program(dir);
  struct Case {
    const char* name;
    int code;
  } cases[] = {
      {"comments.txt", ERR_NONE}, {"empty.txt", ERR_NONE}, {"missing.txt", ERR_NOTFOUND}, {nullptr, ERR_BADARG}};
  for (const Case& c : cases) {
    const char* label = c.name ? c.name : "(null)";
    EXPECT_EQ(SYS_LangSetFile(c.name), nullptr) << label;
    EXPECT_EQ(errGetLastError(), c.code) << label;
  }
}

TEST(Lang, LeavesNoTrackedBlockBehind) {
  qt::TempDir dir;
  ASSERT_TRUE(qt::WriteFile(dir / "phrases.txt", Fixture()));
  ASSERT_TRUE(qt::WriteFile(dir / "comments.txt", "# none\n"));
  ProgramIn program(dir);
  std::string before = MemReport(dir, "before.txt");
  SYS_List_p list = SYS_LangSetFile("phrases.txt");
  ASSERT_NE(list, nullptr);
  SYS_LangGetPhrase(list, "absent");
  SYS_LangDestroy(list);
  EXPECT_EQ(SYS_LangSetFile("comments.txt"), nullptr);
  EXPECT_EQ(SYS_LangSetFile("missing.txt"), nullptr);
  EXPECT_EQ(MemReport(dir, "after.txt"), before);
}

}  // namespace
