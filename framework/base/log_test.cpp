#include "framework/base/log.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cctype>
#include <set>
#include <string>

#include "framework/base/file-pack.h"
#include "testsupport/base/file-pack.h"
#include "framework/base/file.h"
#include "framework/base/main.h"
#include "framework/base/mem.h"
#include "testsupport/testsupport.h"

namespace {

// Starts the base library in a child process inside a fresh folder, with the
// given arguments behind the program path, then runs body.
qt::ChildResult InBase(const qt::TempDir& dir, std::initializer_list<std::string> args,
                       const std::function<void()>& body) {
  return qt::RunInChild([&] {
    qt::ChangeDir cd(dir.path());
    std::vector<std::string> all{"\\opt\\disk\\kelm"};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& s : all) argv.push_back(s.data());
    SYS_BaseInit(nullptr, static_cast<int>(argv.size()), argv.data(), nullptr);
    body();
  });
}

using qt::Contains;

TEST(Log, SwitchesDecideWhereLinesGo) {
  struct Case {
    std::initializer_list<std::string> args;
    const char* file;  // log file name, or null
    bool inFile, onConsole, stamped;
  } cases[] = {
      {{}, nullptr, false, false, false},
      {{"-v"}, "debug.log", true, false, false},
      {{"/C"}, "debug.log", true, true, false},
      {{"-v", "-c"}, "debug.log", true, true, false},
      {{"-c", "-debug-ts"}, "debug.log", true, true, true},
      {{"-v", "-debug-log", "other.txt"}, "other.txt", true, false, false},
      {{"-v", "-debug-log"}, "debug.log", true, false, false},
  };
  for (const auto& c : cases) {
    qt::TempDir dir;
    auto r = InBase(dir, c.args, [] { SYS_DbgMessage(SYS_DBG_MSG, "[test] hello\n"); });
    ASSERT_EQ(r.exitCode, 0);
    std::string file = c.file ? qt::ReadFile(dir / c.file) : "";
    EXPECT_EQ(Contains(file, "[test] hello\n"), c.inFile) << (c.file ? c.file : "none");
    EXPECT_EQ(Contains(file, "--- Quarnel application framework 0.90\n"), c.inFile);
    EXPECT_EQ(Contains(r.out, "[test] hello\n"), c.onConsole);
    if (c.inFile) {
      EXPECT_TRUE(Contains(file, "--- application : \\opt\\disk\\kelm\n\n"));
      // A stamp is eight digits, a blank, six digits and a blank.
      std::string::size_type at = file.find("[test] hello");
      bool stamped = at >= 16 && file[at - 1] == ' ' && file[at - 8] == ' ' && isdigit(file[at - 16]);
      EXPECT_EQ(stamped, c.stamped);
    }
    if (!c.inFile) {
      EXPECT_FALSE(qt::FileExists(dir / "debug.log"));
    }
  }
}

TEST(Log, OldLogIsRemovedUnlessAppending) {
  qt::TempDir dir;
  qt::WriteFile(dir / "debug.log", "old line\n");
  InBase(dir, {}, [] {});
  EXPECT_FALSE(qt::FileExists(dir / "debug.log"));  // removed even without "v"

  qt::WriteFile(dir / "debug.log", "old line\n");
  InBase(dir, {"-v", "-debug-append"}, [] { SYS_DbgMessage(SYS_DBG_MSG, "new line\n"); });
  std::string log = qt::ReadFile(dir / "debug.log");
  EXPECT_EQ(log.rfind("old line\n", 0), 0u);
  EXPECT_TRUE(Contains(log, "new line\n"));
}

TEST(Log, LevelsPrefixesAndLimits) {
  qt::TempDir dir;
  auto r = InBase(dir, {"-v"}, [] {
    SYS_DbgMessage(SYS_DBG_ALL, "level0 dropped\n");
    SYS_DbgMessage(SYS_DBG_WRN, "[file] warning\n");
    SYS_DbgMessage(SYS_DBG_MSG, "plain\n");
    SYS_DbgMessage(SYS_DBG_ERR, "[file] error\n");
    SYS_DbgMessage(4, "level4 refused\n");
    SYS_DbgMessage(-1, "level-1 refused\n");
    std::string big(5000, 'x');
    SYS_DbgMessage(SYS_DBG_WRN, "%s", big.c_str());
    SYS_DbgMessage(SYS_DBG_MSG, "\nafter\n");
  });
  ASSERT_EQ(r.exitCode, 0);
  std::string log = qt::ReadFile(dir / "debug.log");
  EXPECT_FALSE(Contains(log, "dropped"));
  EXPECT_TRUE(Contains(log, "\n[wrn][file] warning\n"));
  EXPECT_TRUE(Contains(log, "\nplain\n"));
  EXPECT_TRUE(Contains(log, "\n[err][file] error\n"));
  EXPECT_FALSE(Contains(log, "refused"));
  // The long line is cut to 4095 characters in all, prefix included.
  EXPECT_TRUE(Contains(log, "[wrn]" + std::string(4090, 'x') + "\nafter\n"));

  qt::TempDir all;
  InBase(all, {"-v", "-Debug-All"}, [] { SYS_DbgMessage(SYS_DBG_ALL, "level0 kept\n"); });
  EXPECT_TRUE(Contains(qt::ReadFile(all / "debug.log"), "level0 kept\n"));
}

TEST(Log, EndOfLogAndNothingAfterwards) {
  qt::TempDir dir;
  auto r = InBase(dir, {"-c"}, [] {
    SYS_BaseDone();
    // The file name is gone: lines still reach the console, never a file.
    SYS_DbgMessage(SYS_DBG_MSG, "late line\n");
    errSetLastError(7);
    if (errGetLastError() != 7) _exit(3);
  });
  EXPECT_EQ(r.exitCode, 0);
  std::string log = qt::ReadFile(dir / "debug.log");
  EXPECT_TRUE(Contains(log, "\n--- End of log.\n\n"));
  EXPECT_FALSE(Contains(log, "late line"));
  EXPECT_TRUE(Contains(r.out, "late line\n"));
}

int seenCode;
std::string seenText;
void Remember(int code, const char* text) {
  seenCode = code;
  seenText = text;
}

// The position field of a framework line names the framework function whose
// line it is, never a helper that writes it on that function's behalf.
// The "%s()" fields of the log's positions "[...][file.cpp:line:function()]".
std::set<std::string> PositionFunctions(const std::string& log) {
  std::set<std::string> functions;
  for (size_t at = log.find(".cpp:"); at != std::string::npos; at = log.find(".cpp:", at + 1)) {
    size_t digits = at + 5;
    size_t colon = digits;
    while (colon < log.size() && std::isdigit(static_cast<unsigned char>(log[colon]))) ++colon;
    if (colon == digits || colon >= log.size() || log[colon] != ':') continue;
    const size_t close = log.find("()]", colon);
    const size_t lineEnd = log.find('\n', colon);
    if (close == std::string::npos || close > lineEnd) continue;
    functions.insert(log.substr(colon + 1, close - colon - 1));
  }
  return functions;
}

TEST(Log, PositionsNameFrameworkFunctions) {
  qt::TempDir dir;
  auto r = InBase(dir, {"-v", "-debug-all", "-debug-file", "-debug-base"}, [] {
    mkdir("folder", 0777);
    qt::WriteFile("folder/a.txt", "a");
    const std::string good = packtest::Archive({{"b.txt", "bee", true}});
    qt::WriteFile("good.dat", good);
    qt::WriteFile("bad.dat", "QRNP" + std::string(20, '\x7f'));
    SYS_FilePackOpen("folder");
    SYS_FilePackOpen("good.dat");
    SYS_FilePackOpen("bad.dat");
    SYS_FilePackOpen("missing.dat");
    SYS_FilePackOpenMem("memory.dat", good.data(), good.size());
    SYS_FilePackOpenMem("memory-bad.dat", "QRNX", 4);
    for (const char* name : {"a.txt", "b.txt", "missing.txt"}) SYS_FileClose(SYS_FileOpen(name, 0));
    SYS_MemInfo("leaks.txt");
  });
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const std::string log = qt::ReadFile(dir / "debug.log");
  const std::set<std::string> functions = PositionFunctions(log);
  for (const char* expected : {"SYS_BaseInit", "SYS_FilePackOpen_pack", "SYS_FilePackOpenMem", "SYS_FileOpen"})
    EXPECT_EQ(functions.count(expected), 1u) << expected << "\n" << log;
  for (const std::string& fn : functions)
    EXPECT_TRUE(fn.rfind("SYS_", 0) == 0 || fn.rfind("_SYS_", 0) == 0) << fn << "\n" << log;
}

TEST(LastError, GetClearsAndCallbackOnlyWithText) {
  errClear();
  errSetLastError(5);
  EXPECT_EQ(errGetLastError(), 5);
  EXPECT_EQ(errGetLastError(), 0);

  seenCode = 0;
  errSetLastErrorEx(1, "kelm.dat");  // no callback yet: only the code
  EXPECT_EQ(seenCode, 0);
  EXPECT_EQ(errGetLastError(), 1);

  errSetCallback(Remember);
  errSetLastErrorEx(11, nullptr);
  EXPECT_EQ(seenCode, 0);
  EXPECT_EQ(errGetLastError(), 11);
  errSetLastErrorEx(1, "tracks.dat");
  EXPECT_EQ(seenCode, 1);
  EXPECT_EQ(seenText, "tracks.dat");
  errSetCallback(nullptr);

  EXPECT_EQ(SYS_DbgLogFile(nullptr), -1);
  EXPECT_EQ(errGetLastError(), 10);
}

void SetCodeAgain(int, const char*) { errSetLastError(42); }

TEST(LastError, CallbackRunsWithTheLockFree) {
  qt::Watchdog dog(20);
  errSetCallback(SetCodeAgain);  // would deadlock if the lock were still held
  errSetLastErrorEx(2, "x");
  errSetCallback(nullptr);
  EXPECT_EQ(errGetLastError(), 42);
}

}  // namespace

namespace {

TEST(LastError, PeekKeepsTheCodeAndTheKeeperRestoresIt) {
  errSetLastError(ERR_NOMEM);
  EXPECT_EQ(errPeekLastError(), ERR_NOMEM);
  {
    SYS_ErrKeeper keep;
    EXPECT_EQ(keep.code(), ERR_NOMEM);
    errClear();  // what a cleanup's calls may do
    errSetLastError(ERR_BADARG);
  }
  EXPECT_EQ(errGetLastError(), ERR_NOMEM);
}

}  // namespace
