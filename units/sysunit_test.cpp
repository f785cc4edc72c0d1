#include "units/sysunit.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/kernel.h"
#include "platform/rtl.h"
#include "testsupport/testsupport.h"

namespace {

std::string calls;
void ProcA() { calls += "A"; }
void ProcB() { calls += "B"; }
void ProcC() { calls += "C"; }

TEST(Registry, RegisterReplaceAndUnregister) {
  EXPECT_EQ(RegisterInit("first", 2, ProcA), 0);
  EXPECT_EQ(RegisterInit("second", 2, ProcB), 0);  // replaces
  EXPECT_EQ(SYS_InitTable[2].name, std::string_view("second"));
  EXPECT_EQ(SYS_InitTable[2].proc, ProcB);
  EXPECT_EQ(RegisterInit("bad", 32, ProcA), -1);
  EXPECT_EQ(RegisterInit("bad", -1, ProcA), -1);

  // The first exit registration clears only the exit table.
  EXPECT_EQ(RegisterExit("exit", 5, ProcC), 0);
  EXPECT_EQ(SYS_InitTable[2].active, 1);

  std::string longName(40, 'n');
  RegisterInit(longName, 7, ProcC);
  EXPECT_EQ(SYS_InitTable[7].name.size(), 32u);
  UnregisterInit(longName);  // cut the same way, so found
  EXPECT_EQ(SYS_InitTable[7].active, 0);
  UnregisterExit("not registered");
  EXPECT_EQ(SYS_ExitTable[5].active, 1);
  UnregisterExit("exit");
  EXPECT_EQ(SYS_ExitTable[5].active, 0);
}

TEST(Registry, RunInitsAndShutdownInAChild) {
  qt::TempDir dir;
  auto r = qt::RunInChild([&] {
    qt::ChangeDir cd(dir.path());
    qt::Args args{"\\bin\\prog", "-v", "-debug-memleak"};
    SYS_BaseInit(nullptr, args.argc(), args.argv(), nullptr);
    for (auto& e : SYS_InitTable) e.active = 0;  // earlier tests of this program registered some
    for (auto& e : SYS_ExitTable) e.active = 0;
    RegisterExit("Release base lib ...", 0, BaseDone);
    RegisterInit("Window manager ...", 1, ProcA);
    RegisterInit("Texture loader ...", 4, ProcB);
    RegisterExit("Uninit texture loader ...", 4, [] { Log("in exit 4"); });
    calls.clear();
    RunInits();
    Log(calls);
    Shutdown(1);
  });
  EXPECT_EQ(r.exitCode, 1);
  std::string log = qt::ReadFile(dir / "debug.log");
  const std::string expected =
      "[init] --- subsystems\n"
      "[init] -------------------------\n"
      "[init] call : Window manager ...\n"
      "[init] -------------------------\n"
      "[init] call : Texture loader ...\n"
      "[init] --- end\n"
      "AB\n"
      "[exit] --- subsystems\n"
      "[exit] call : Uninit texture loader ...\n"
      "in exit 4\n"
      "[exit] call : Release base lib ...\n"
      "[exit]\n"
      "\n--- End of log.\n\n";
  ASSERT_NE(log.find(expected), std::string::npos) << log;
  // The release ran: the leak report lists what was still allocated.
  EXPECT_NE(qt::ReadFile(dir / "debug.memleaks").find("Unreleased memory:"), std::string::npos);
}

TEST(Registry, ShutdownFromAnExitEntryDoesNotRunTheEntriesAgain) {
  qt::TempDir dir;
  auto r = qt::RunInChild([&] {
    qt::ChangeDir cd(dir.path());
    qt::Args args{"\\bin\\prog", "-v"};
    SYS_BaseInit(nullptr, args.argc(), args.argv(), nullptr);
    RegisterExit("outer", 3, [] {
      Log("outer runs");
      Shutdown(7);
    });
    RegisterExit("inner", 1, [] { Log("inner runs"); });
    Shutdown(2);
  });
  EXPECT_EQ(r.exitCode, 7);
  std::string log = qt::ReadFile(dir / "debug.log");
  EXPECT_EQ(log.find("outer runs"), log.rfind("outer runs"));
  EXPECT_EQ(log.find("inner runs"), std::string::npos);
}

TEST(UnitServices, PasStrBuffer) {
  const char* first = PasStr("");  // the first call has no buffer yet
  EXPECT_STREQ(first, "");
  const char* a = PasStr("abcdef");
  const char* b = PasStr("xyz");  // not longer: the same buffer
  EXPECT_EQ(a, b);
  EXPECT_STREQ(b, "xyz");
  const char* c = PasStr(std::string(200, 'q'));
  EXPECT_EQ(std::string(c), std::string(200, 'q'));
  void* block = MemGet(0, "none");
  EXPECT_EQ(block, nullptr);
  block = MemGet(16, "tag");
  ASSERT_NE(block, nullptr);
  MemFree(block);
  EXPECT_EQ(block, nullptr);
}

TEST(UnitServices, LogCutsAtTheShortStringLimit) {
  qt::TempDir dir;
  auto r = qt::RunInChild([&] {
    qt::ChangeDir cd(dir.path());
    qt::Args args{"\\bin\\prog", "-v"};
    SYS_BaseInit(nullptr, args.argc(), args.argv(), nullptr);
    Log(std::string(255, 'a'));
    Log("short");
    LogRaw("raw");
    LogRaw(" piece");
    Log("");
  });
  EXPECT_EQ(r.exitCode, 0);
  std::string log = qt::ReadFile(dir / "debug.log");
  EXPECT_NE(log.find(std::string(255, 'a') + "short\nraw piece\n"), std::string::npos);
}

TEST(UnitInit, ChangesIntoTheProgramFolder) {
  qt::TempDir elsewhere;  // made here: the child ends without its destructors
  auto r = qt::RunInChild([&] {
    qt::ChangeDir cd(elsewhere.path());
    char name[] = "prog";
    char* argv[] = {name, nullptr};
    RtlSetArgs(1, argv);
    SysUnitInit();
    std::string program = plat::HostPath(RtlArgv()[0]);
    std::string folder = program.substr(0, program.rfind('/'));
    char cwd[4096];
    if (!getcwd(cwd, sizeof cwd) || folder != cwd) _exit(2);
    if (ProgramDir.view().back() != '\\' || HomeDir.view().back() != '\\') _exit(3);
    if (SYS_ExitTable[0].name != std::string_view("Release base lib ...")) _exit(4);
    _exit(0);
  });
  EXPECT_EQ(r.exitCode, 0) << r.err;
}

}  // namespace
