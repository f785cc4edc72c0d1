#include "framework/base/file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "framework/base/cfg.h"
#include "framework/base/file-pack.h"
#include "testsupport/base/file-pack.h"
#include "framework/base/log.h"
#include "framework/base/main.h"
#include "framework/base/mem.h"
#include "testsupport/testsupport.h"

namespace {

// The file layer keeps its mounts for the whole run, so every test that
// mounts or changes the environment runs in a child of its own.
void InChild(const std::function<void()>& body) { qt::ExpectPassesInChild(body); }

struct Call {
  int code;
  std::string text;
};
std::vector<Call> calls;
void RecordCall(int code, const char* text) { calls.push_back({code, text ? text : "(null)"}); }

void SetProgram(const char* path) {
  SYS_CfgDone();
  if (path) SYS_CfgAdd(path);
}

std::string Take(char* text) {
  std::string s = text ? text : "<null>";
  SYS_MemFree(text);
  return s;
}

std::string ReadAll(SYS_File_p f) {
  std::string out;
  char buffer[7];
  for (int64_t n; (n = SYS_FileRead(f, buffer, sizeof buffer)) > 0;) out.append(buffer, static_cast<size_t>(n));
  return out;
}

std::string ReadName(const char* name) {
  SYS_File_p f = SYS_FileOpen(name, 0);
  if (!f) return "<none>";
  std::string s = ReadAll(f);
  SYS_FileClose(f);
  return s;
}

// --- standard paths --------------------------------------------------------

TEST(PathGet, Environment) {
  InChild([] {
    for (const char* v : {"HOME", "HOMEDRIVE", "HOMEPATH", "USERPROFILE", "TEMP", "TMPDIR", "XDG_DESKTOP_DIR",
                          "XDG_CONFIG_HOME"})
      unsetenv(v);
    SetProgram("\\opt\\disk\\prog");
    struct Case {
      std::vector<std::pair<const char*, const char*>> env;
      int type;
      const char* name;
      const char* expected;
    } cases[] = {
        {{{"HOME", "/home/u"}}, 2, "", "\\home\\u\\"},
        {{{"HOMEDRIVE", "C:"}}, 2, "", "C:\\"},
        {{{"HOMEPATH", "\\Users\\u"}, {"USERPROFILE", "X"}}, 2, "f", "\\Users\\u\\f"},
        {{{"HOME", "\\"}}, 2, "f", "\\opt\\disk\\f"},
        {{}, 2, "f", "\\opt\\disk\\f"},
        {{}, 1, "kelm.dat", "\\opt\\disk\\kelm.dat"},
        {{}, 1, "", "\\opt\\disk\\"},
        {{}, 1, "sub/x.txt", "\\opt\\disk\\sub\\x.txt"},
        {{{"HOME", "/h"}}, 3, "a.cfg", "\\h\\.quarn\\config\\a.cfg"},
        {{{"TEMP", "/var/t"}}, 5, "x", "\\var\\t\\x"},
        {{{"TMPDIR", "/tmp/d"}}, 5, "x", "\\tmp\\d\\x"},
        {{}, 5, "x", "\\tmp\\x"},
        {{{"HOME", "/h"}}, 4, "n", "\\h\\Desktop\\n"},
        {{{"HOME", "/h"}, {"XDG_DESKTOP_DIR", "/h/Schreibtisch"}}, 4, "n", "\\h\\Schreibtisch\\n"},
    };
    for (const Case& c : cases) {
      for (auto& [k, v] : c.env) setenv(k, v, 1);
      EXPECT_EQ(Take(SYS_PathGet(c.type, c.name)), c.expected) << c.type << " " << c.name;
      EXPECT_EQ(errGetLastError(), 0);
      for (auto& [k, v] : c.env) unsetenv(k);
    }
    // The desktop from the XDG user-dirs file.
    qt::TempDir dir;
    qt::WriteFile(dir / "user-dirs.dirs", "# comment\nXDG_DESKTOP_DIR=\"$HOME/Arbeitsfl\"\n");
    setenv("XDG_CONFIG_HOME", dir.path().c_str(), 1);
    setenv("HOME", "/h", 1);
    EXPECT_EQ(Take(SYS_PathGet(4, "n")), "\\h\\Arbeitsfl\\n");
    unsetenv("HOME");
    unsetenv("XDG_CONFIG_HOME");
    // No home at all: no desktop either.
    EXPECT_EQ(SYS_PathGet(4, "n"), nullptr);
    EXPECT_EQ(errGetLastError(), ERR_NOTFOUND);

    SYS_PathSetHomeBase(".other");
    setenv("HOME", "/h", 1);
    EXPECT_EQ(Take(SYS_PathGet(3, "")), "\\h\\.other\\config\\");
    EXPECT_EQ(SYS_PathGet(0, "x"), nullptr);
    EXPECT_EQ(errGetLastError(), 0);
    EXPECT_EQ(SYS_PathGet(7, "x"), nullptr);
    EXPECT_EQ(errGetLastError(), ERR_BADARG);
    // Without a program path the program folder is the current one.
    SetProgram(nullptr);
    EXPECT_EQ(Take(SYS_PathGet(1, "kelm.dat")), ".\\kelm.dat");
    SetProgram("prog");
    EXPECT_EQ(Take(SYS_PathGet(1, "kelm.dat")), ".\\kelm.dat");
  });
}

// --- folder listing and creation ---------------------------------------

std::vector<std::string> Glob(const std::string& pattern, int* result = nullptr) {
  SYS_Glob_p g = nullptr;
  int r = SYS_Glob(pattern.c_str(), &g);
  if (result) *result = r;
  std::vector<std::string> names;
  if (!g) return {"<null>"};
  for (int i = 0; i < g->count; ++i) names.push_back(g->names[i]);
  EXPECT_EQ(SYS_GlobFree(&g), 0);
  EXPECT_EQ(g, nullptr);
  return names;
}

TEST(Glob, Listing) {
  qt::TempDir dir;
  qt::ChangeDir cd(dir.path());
  mkdir("tree", 0777);
  mkdir("tree/sub", 0777);
  for (const char* f : {"tree/b.txt", "tree/A.TXT", "tree/c.dat", "tree/.hidden", "tree/sub/x.txt", "top.txt"})
    qt::WriteFile(f, "x");
  using V = std::vector<std::string>;
  EXPECT_EQ(Glob("tree\\*"), (V{"tree\\.hidden", "tree\\A.TXT", "tree\\b.txt", "tree\\c.dat", "tree\\sub"}));
  EXPECT_EQ(Glob("tree/*.txt"), (V{"tree\\A.TXT", "tree\\b.txt"}));
  EXPECT_EQ(Glob("tree\\*.*"), Glob("tree\\*"));
  EXPECT_EQ(Glob("tree\\?.dat"), (V{"tree\\c.dat"}));
  EXPECT_EQ(Glob("*.txt"), (V{"top.txt"}));
  EXPECT_EQ(Glob("tree\\sub\\*"), (V{"tree\\sub\\x.txt"}));
  int r = -1;
  EXPECT_EQ(Glob("tree\\*.none", &r), V{});
  EXPECT_EQ(r, 0);
  EXPECT_EQ(Glob("missing\\*", &r), V{});
  EXPECT_EQ(r, 0);
  mkdir("empty", 0777);
  EXPECT_EQ(Glob("empty\\*", &r), V{});
  EXPECT_EQ(r, 0);

  SYS_Glob_p g = reinterpret_cast<SYS_Glob_p>(1);
  EXPECT_EQ(SYS_Glob("", &g), -1);
  EXPECT_EQ(errGetLastError(), ERR_BADARG);
  EXPECT_EQ(g, nullptr);
  EXPECT_EQ(SYS_Glob(nullptr, &g), -1);
  EXPECT_EQ(SYS_Glob("*", nullptr), -1);
  EXPECT_EQ(errGetLastError(), ERR_BADARG);
  EXPECT_EQ(SYS_GlobFree(&g), -1);
  EXPECT_EQ(errGetLastError(), ERR_BADARG);
  EXPECT_EQ(SYS_GlobFree(nullptr), -1);
}

bool IsFolder(const std::string& path) {
  struct stat st{};
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

TEST(MkDir, CreatesParentsAndTellsTheTruth) {
  qt::TempDir dir;
  qt::ChangeDir cd(dir.path());
  mkdir("a", 0777);
  EXPECT_EQ(SYS_MkDir("a\\b\\c"), 0);
  EXPECT_TRUE(IsFolder("a/b/c"));
  EXPECT_EQ(SYS_MkDir("a\\b\\c"), 1);  // exists already
  EXPECT_EQ(SYS_MkDir("x\\y\\z\\"), 0);
  EXPECT_TRUE(IsFolder("x/y/z"));
  EXPECT_EQ(SYS_MkDir("n/m"), 0);
  EXPECT_TRUE(IsFolder("n/m"));
  // A file in the way is a failure, not a success.
  qt::WriteFile("file", "x");
  EXPECT_EQ(SYS_MkDir("file\\sub"), 1);
  EXPECT_EQ(SYS_MkDir("file\\sub\\deeper"), 1);
  EXPECT_EQ(SYS_MkDir("nosep"), 0);
  EXPECT_EQ(SYS_MkDir(""), 1);
  EXPECT_EQ(SYS_MkDir(nullptr), 1);
}

// --- the regular-file handler -------------------------------------------

TEST(RegularFile, FlagsAndModes) {
  InChild([] {
    qt::TempDir dir;
    qt::ChangeDir cd(dir.path());
    calls.clear();
    errSetCallback(RecordCall);

    SYS_File_p w = SYS_FileOpen("new.txt", SYS_FILE_WRITE | SYS_FILE_TEXT);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(SYS_FilePutStr(w, "%s=%d\n", "k", 5), 0);
    EXPECT_EQ(SYS_FileWrite(w, "raw", 3), 0);
    EXPECT_EQ(SYS_FileTell(w), 7);
    SYS_FileClose(w);
    EXPECT_EQ(qt::ReadFile("new.txt"), "k=5\nraw");

    SYS_File_p a = SYS_FileOpen("new.txt", SYS_FILE_APPEND);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(SYS_FileWrite(a, "+", 1), 0);
    SYS_FileClose(a);
    EXPECT_EQ(qt::ReadFile("new.txt"), "k=5\nraw+");

    // Write wins over append: the file starts again.
    SYS_File_p t = SYS_FileOpen("new.txt", SYS_FILE_WRITE | SYS_FILE_APPEND);
    ASSERT_NE(t, nullptr);
    SYS_FileWrite(t, "z", 1);
    SYS_FileClose(t);
    EXPECT_EQ(qt::ReadFile("new.txt"), "z");

    SYS_File_p r = SYS_FileOpen("new.txt", 0);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->size, 1);
    EXPECT_EQ(SYS_FileWrite(r, "q", 1), -1);  // read only
    EXPECT_EQ(SYS_FileSeek(r, 0), 0);
    char c = 0;
    EXPECT_EQ(SYS_FileRead(r, &c, 1), 1);
    EXPECT_EQ(SYS_FileEof(r), 0);  // only a read that hits the end sets it
    EXPECT_EQ(SYS_FileRead(r, &c, 1), 0);
    EXPECT_NE(SYS_FileEof(r), 0);
    SYS_FileClose(r);
    EXPECT_TRUE(calls.empty());
  });
}

TEST(RegularFile, LineReads) {
  InChild([] {
    qt::TempDir dir;
    qt::ChangeDir cd(dir.path());
    qt::WriteFile("lines.txt", std::string("x\r\ny\r\nlf\n\nlone\rcr\r\n") + '\0' + "after\nlast");
    SYS_File_p f = SYS_FileOpen("lines.txt", SYS_FILE_TEXT);
    ASSERT_NE(f, nullptr);
    char buffer[64];
    std::vector<std::string> lines;
    while (SYS_FileGetStr(f, buffer, sizeof buffer)) lines.emplace_back(buffer);
    EXPECT_EQ(lines, (std::vector<std::string>{"x", "y", "lf", "", "lone\rcr", "", "last"}));
    SYS_FileClose(f);

    // A short buffer cuts a long line into pieces without losing characters.
    qt::WriteFile("long.txt", "abcdefgh\r\n");
    f = SYS_FileOpen("long.txt", 0);
    ASSERT_NE(f, nullptr);
    lines.clear();
    while (SYS_FileGetStr(f, buffer, 4)) lines.emplace_back(buffer);
    EXPECT_EQ(lines, (std::vector<std::string>{"abc", "def", "gh", ""}));
    EXPECT_EQ(SYS_FileGetStr(f, buffer, 1), nullptr);
    SYS_FileClose(f);
  });
}

TEST(FileLayer, FailuresAndTheCallback) {
  InChild([] {
    qt::TempDir dir;
    qt::ChangeDir cd(dir.path());
    mkdir("folder", 0777);
    qt::WriteFile("present.txt", "p");
    calls.clear();
    errSetCallback(RecordCall);
    struct Case {
      const char* name;
      int flags;
      int code;
    } cases[] = {
        {"missing.txt", 0, ERR_UNSUPPORTED},
        {"missing.txt", SYS_FILE_TEXT, ERR_UNSUPPORTED},
        {"missing.txt", SYS_FILE_APPEND, ERR_UNSUPPORTED},
        {"folder", 0, ERR_CANTOPEN},  // a folder is never opened as a file
        {"folder", SYS_FILE_WRITE, ERR_CANTOPEN},
        {"nodir/new.txt", SYS_FILE_WRITE, ERR_CANTOPEN},
    };
    for (const Case& c : cases) {
      calls.clear();
      std::string name = c.name;  // the callback must see the caller's text
      EXPECT_EQ(SYS_FileOpen(name.c_str(), c.flags), nullptr) << c.name;
      EXPECT_EQ(errGetLastError(), c.code) << c.name;
      ASSERT_EQ(calls.size(), 1u) << c.name;
      EXPECT_EQ(calls[0].code, c.code) << c.name;
      EXPECT_EQ(calls[0].text, c.name);
    }
    calls.clear();
    EXPECT_EQ(SYS_FileOpen(nullptr, 0), nullptr);
    EXPECT_EQ(errGetLastError(), ERR_BADARG);

    // Exist and size answer without the callback.
    EXPECT_EQ(SYS_FileExist("present.txt"), 0);
    EXPECT_EQ(errGetLastError(), 0);
    EXPECT_EQ(SYS_FileExist("folder"), 0);
    EXPECT_EQ(SYS_FileExist("missing.txt"), -1);
    EXPECT_EQ(errGetLastError(), ERR_NOTFOUND);
    EXPECT_EQ(SYS_FileSize("present.txt"), 1);
    EXPECT_EQ(SYS_FileSize("missing.txt"), -1);
    EXPECT_EQ(errGetLastError(), ERR_NOTFOUND);
    EXPECT_EQ(SYS_FilePackOpen("missing.dat"), -1);
    EXPECT_EQ(errGetLastError(), ERR_UNSUPPORTED);
    EXPECT_EQ(SYS_FilePackOpen(nullptr), -1);
    EXPECT_EQ(errGetLastError(), ERR_UNSUPPORTED);
    EXPECT_TRUE(calls.empty());

    // Null and closed files are refused with code 10.
    EXPECT_EQ(SYS_FileSeek(nullptr, 0), -1);
    EXPECT_EQ(errGetLastError(), ERR_BADARG);
    EXPECT_EQ(SYS_FilePutStr(nullptr, "x"), -1);
    EXPECT_EQ(errGetLastError(), ERR_BADARG);
    SYS_File_p f = SYS_FileOpen("present.txt", 0);
    ASSERT_NE(f, nullptr);
    SYS_File_p g = SYS_FileOpen("present.txt", 0);
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(SYS_FilePutStr(f, nullptr), -1);
    EXPECT_EQ(errGetLastError(), ERR_BADARG);
    SYS_FileClose(f);
    EXPECT_EQ(SYS_FileSeek(f, 0), -1);
    EXPECT_EQ(errGetLastError(), ERR_BADARG);
    EXPECT_EQ(SYS_FileRead(f, nullptr, 1), -1);
    SYS_FileClose(f);  // a second close is ignored
    EXPECT_EQ(ReadAll(g), "p");
    SYS_FileClose(g);
    SYS_FileClose(nullptr);
    EXPECT_TRUE(calls.empty());
  });
}

// --- mounted folders and the chain -----------------------------------------

TEST(DirHandler, NamesAndScan) {
  InChild([] {
    qt::TempDir dir;
    qt::ChangeDir cd(dir.path());
    mkdir("data", 0777);
    mkdir("data/sub", 0777);
    mkdir("data/sub/deep", 0777);
    qt::WriteFile("data/a.txt", "x\r\ny\r\n");
    qt::WriteFile("data/sub/a.txt", "sub a");
    qt::WriteFile("data/sub/deep/d.bin", "deep");
    qt::WriteFile("data/empty.txt", "");
    ASSERT_EQ(symlink("../data", "data/sub/loop"), 0);  // a folder link loop
    ASSERT_EQ(symlink("a.txt", "data/link.txt"), 0);     // a file link counts
    calls.clear();
    errSetCallback(RecordCall);

    ASSERT_EQ(SYS_FilePackOpen("data"), 0);
    EXPECT_EQ(ReadName("sub\\a.txt"), "sub a");
    EXPECT_EQ(ReadName("sub\\deep\\d.bin"), "deep");
    EXPECT_EQ(ReadName("link.txt"), "x\r\ny\r\n");
    EXPECT_EQ(ReadName("empty.txt"), "");
    EXPECT_EQ(SYS_FileExist("sub/a.txt"), -1);  // names keep "\"
    EXPECT_EQ(SYS_FileExist("sub\\loop\\a.txt"), -1);
    EXPECT_EQ(SYS_FileSize("sub\\deep\\d.bin"), 4);
    EXPECT_TRUE(calls.empty());

    // Line reads go through the regular handler: the line end is stripped.
    SYS_File_p f = SYS_FileOpen("a.txt", SYS_FILE_TEXT);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->handler, &SYS_FileHandlerDir);
    EXPECT_STREQ(f->name, "a.txt");
    char line[16];
    ASSERT_NE(SYS_FileGetStr(f, line, sizeof line), nullptr);
    EXPECT_STREQ(line, "x");
    SYS_FileClose(f);

    // Entries are fixed at mount time; mounting again scans nothing anew.
    qt::WriteFile("data/later.txt", "l");
    ASSERT_EQ(SYS_FilePackOpen("data"), 0);
    EXPECT_EQ(SYS_FileExist("later.txt"), -1);
    // A removed file fails at open with code 1 and the name.
    unlink("data/sub/deep/d.bin");
    EXPECT_EQ(SYS_FileExist("sub\\deep\\d.bin"), 0);
    EXPECT_EQ(SYS_FileSize("sub\\deep\\d.bin"), -1);
    EXPECT_EQ(SYS_FileOpen("sub\\deep\\d.bin", 0), nullptr);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].code, ERR_CANTOPEN);
    EXPECT_EQ(calls[0].text, "sub\\deep\\d.bin");
    EXPECT_EQ(SYS_FilePackOpen_dir("data/a.txt"), -1);  // not a folder
  });
}

TEST(FileLayer, Precedence) {
  InChild([] {
    qt::TempDir dir;
    qt::ChangeDir cd(dir.path());
    mkdir("folder", 0777);
    mkdir("kelm.dat", 0777);  // a folder of the archive's name is mounted instead
    qt::WriteFile("both.txt", "loose");
    qt::WriteFile("folder/both.txt", "folder");
    qt::WriteFile("folder/fa.txt", "folder");
    qt::WriteFile("kelm.dat/k.txt", "kelm folder");
    qt::WriteFile("old.dat", packtest::Archive({{"both.txt", "old archive"},
                                                {"fa.txt", "old archive"},
                                                {"aa.txt", "old archive", true},
                                                {"dup.txt", "old"}}));
    qt::WriteFile("new.dat", packtest::Archive({{"dup.txt", "new", true}, {"n.txt", "new only"}}));
    ASSERT_EQ(SYS_FilePackOpen("old.dat"), 0);
    ASSERT_EQ(SYS_FilePackOpen("new.dat"), 0);
    ASSERT_EQ(SYS_FilePackOpen("folder"), 0);
    ASSERT_EQ(SYS_FilePackOpen("kelm.dat"), 0);
    EXPECT_EQ(SYS_FindPack("k.txt"), nullptr);  // served by the folder, not an archive
    struct Case {
      const char* name;
      const char* contents;
      const SYS_FileHandler_t* handler;
    } cases[] = {
        {"both.txt", "loose", &SYS_FileHandlerRegular},   {"fa.txt", "folder", &SYS_FileHandlerDir},
        {"aa.txt", "old archive", &SYS_FileHandlerPack},  {"dup.txt", "new", &SYS_FileHandlerPack},
        {"n.txt", "new only", &SYS_FileHandlerPack},      {"k.txt", "kelm folder", &SYS_FileHandlerDir},
    };
    for (const Case& c : cases) {
      SYS_File_p f = SYS_FileOpen(c.name, 0);
      ASSERT_NE(f, nullptr) << c.name;
      EXPECT_EQ(f->handler, c.handler) << c.name;
      EXPECT_EQ(ReadAll(f), c.contents) << c.name;
      SYS_FileClose(f);
      EXPECT_EQ(SYS_FileSize(c.name), static_cast<int64_t>(std::strlen(c.contents))) << c.name;
    }
    SYS_Pack_p newer = SYS_FindPack("dup.txt");
    ASSERT_NE(newer, nullptr);
    EXPECT_STREQ(newer->path, "new.dat");
    ASSERT_NE(SYS_FindPack("aa.txt"), nullptr);
    EXPECT_STREQ(SYS_FindPack("aa.txt")->path, "old.dat");

    // Creating a file that only an archive holds: archives are read-only.
    calls.clear();
    errSetCallback(RecordCall);
    EXPECT_EQ(SYS_FileOpen("n.txt", SYS_FILE_WRITE), nullptr);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].code, ERR_UNSUPPORTED);
    EXPECT_EQ(SYS_FileOpen("n.txt", SYS_FILE_APPEND), nullptr);
    EXPECT_EQ(errGetLastError(), ERR_UNSUPPORTED);
    // A new name is created on disk.
    SYS_File_p w = SYS_FileOpen("created.txt", SYS_FILE_WRITE | SYS_FILE_TEXT);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->handler, &SYS_FileHandlerRegular);
    SYS_FileClose(w);
    EXPECT_TRUE(qt::FileExists("created.txt"));
  });
}

// The layer's lines go to the log at level 2 with "debug-file", and only
// with "debug-all" without it.
TEST(FileLayer, LogLines) {
  for (bool fileSwitch : {true, false}) {
    qt::TempDir dir;
    qt::ChildResult r = qt::RunInChild([&] {
      qt::ChangeDir cd(dir.path());
      mkdir("data", 0777);
      qt::WriteFile("data/a.txt", "a");
      qt::Args args{"\\opt\\prog", "-v", fileSwitch ? "-debug-file" : "-other"};
      SYS_BaseInit(nullptr, args.argc(), args.argv(), nullptr);
      SYS_FilePackOpen("data");
      SYS_File_p f = SYS_FileOpen("a.txt", 0);
      SYS_FileClose(f);
      SYS_FileOpen("missing.txt", 0);
    });
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::string log = qt::ReadFile(dir / "debug.log");
    const bool has = log.find("[file][file.cpp:") != std::string::npos;
    EXPECT_EQ(has, fileSwitch) << log;
    if (!fileSwitch) continue;
    for (const char* part : {"opening a.txt...\n", "open new pack: data\n", "[SYS_FileOpen_dir] open : a.txt -> data/a.txt\n",
                             "[SYS_FileOpen_reg] open : data/a.txt -> data\\a.txt\n", "[glob] filter: data\\*\n",
                             "[glob] 1 file(s) found.\n", "[glob] entry 0: data\\a.txt\n", "opening missing.txt...\n"})
      EXPECT_NE(log.find(part), std::string::npos) << part << "\n" << log;
  }
}

}  // namespace
