#include "platform/kernel.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>

#include "platform/rtl.h"
#include "platform/sanitizer.h"
#include "platform/user.h"
#include "testsupport/testsupport.h"

namespace {

TEST(Paths, FrameworkAndHostForms) {
  EXPECT_EQ(plat::HostPath(".\\data\\kelm.dat"), "./data/kelm.dat");
  EXPECT_EQ(plat::HostPath("plain"), "plain");
  std::string program = plat::ProgramPath();
  ASSERT_FALSE(program.empty());
  EXPECT_EQ(program[0], '\\');
  EXPECT_EQ(program.find('/'), std::string::npos);
  EXPECT_TRUE(qt::FileExists(plat::HostPath(program)));
}

TEST(Paths, FirstArgumentBecomesTheProgramPath) {
  char a0[] = "relative-name", a1[] = "-v";
  char* argv[] = {a0, a1, nullptr};
  RtlSetArgs(2, argv);
  EXPECT_EQ(RtlArgc(), 2);
  EXPECT_EQ(std::string(RtlArgv()[0]), plat::ProgramPath());
  EXPECT_STREQ(RtlArgv()[1], "-v");
  EXPECT_EQ(RtlArgv()[2], nullptr);
}

TEST(Process, ExitSkipsDestructorsAndKeepsTheCode) {
  auto r = qt::RunInChild([] {
    std::printf("flushed");
    plat::Exit(42);
  });
  EXPECT_EQ(r.exitCode, 42);
  EXPECT_EQ(r.out, "flushed");
}

// Run by the test below in a program of its own: ends through plat::Exit
// with code 7, after dropping the only pointer to a block when asked to.
constexpr int kLeakProbeCode = 7;
void* volatile leakProbeBlock = nullptr;
TEST(Process, DISABLED_LeakProbe) {
  if (std::getenv("QUARN_LEAK_PROBE_LEAKS")) {
    leakProbeBlock = std::malloc(4096);
    leakProbeBlock = nullptr;
  }
  plat::Exit(kLeakProbeCode);
}

// The sanitizer build's leak checker runs at the end through _exit too: a
// leak fails the program, which otherwise keeps its code.
TEST(Process, ExitRunsTheLeakCheckInTheSanitizerBuild) {
  if (!QUARN_ASAN) GTEST_SKIP() << "not a sanitizer build";
  qt::Watchdog dog(120);
  for (const bool leaks : {false, true}) {
    qt::TempDir dir;
    qt::SpawnSpec spec;
    spec.argv = {"/proc/self/exe", "--gtest_filter=Process.DISABLED_LeakProbe", "--gtest_also_run_disabled_tests"};
    spec.setEnv = {{"ASAN_OPTIONS", "detect_leaks=1:abort_on_error=1"}};
    if (leaks) spec.setEnv.emplace_back("QUARN_LEAK_PROBE_LEAKS", "1");
    spec.unsetEnv = {"LSAN_OPTIONS", "GTEST_OUTPUT", "GTEST_TOTAL_SHARDS", "GTEST_SHARD_INDEX"};
    spec.stdoutPath = dir / "out.txt";
    spec.stderrPath = dir / "err.txt";
    const pid_t child = qt::Spawn(spec);
    ASSERT_GT(child, 0);
    qt::KillWhenTheWatchdogFires(child);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    qt::ForgetWhenTheWatchdogFires(child);
    const std::string err = qt::ReadFile(dir / "err.txt");
    const bool keptItsCode = WIFEXITED(status) && WEXITSTATUS(status) == kLeakProbeCode;
    EXPECT_EQ(keptItsCode, !leaks) << err;
    EXPECT_EQ(qt::Contains(err, "LeakSanitizer: detected memory leaks"), leaks) << err;
  }
}

TEST(Locks, CriticalSectionsAndMutexesAreRecursive) {
  qt::Watchdog dog(20);
  CRITICAL_SECTION cs;
  InitializeCriticalSection(&cs);
  EnterCriticalSection(&cs);
  EXPECT_TRUE(TryEnterCriticalSection(&cs));
  LeaveCriticalSection(&cs);
  LeaveCriticalSection(&cs);
  DeleteCriticalSection(&cs);

  HANDLE m = CreateMutexA(nullptr, FALSE, nullptr);
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(WaitForSingleObject(m, INFINITE), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(m, 0), WAIT_OBJECT_0);
  std::atomic<DWORD> other{WAIT_FAILED};
  uintptr_t t = _beginthreadex(nullptr, 0, [](void* p) -> unsigned {
    *static_cast<std::atomic<DWORD>*>(p) = WaitForSingleObject(nullptr, 0) == WAIT_FAILED ? 1u : 0u;
    return 0;
  }, &other, 0, nullptr);
  EXPECT_EQ(WaitForSingleObject(reinterpret_cast<HANDLE>(t), INFINITE), WAIT_OBJECT_0);
  EXPECT_EQ(other.load(), 1u);
  CloseHandle(reinterpret_cast<HANDLE>(t));
  EXPECT_TRUE(ReleaseMutex(m));
  EXPECT_TRUE(ReleaseMutex(m));
  CloseHandle(m);
}

size_t ThreadsOfThisProcess() {
  size_t n = 0;
  for ([[maybe_unused]] const auto& task : std::filesystem::directory_iterator("/proc/self/task")) ++n;
  return n;
}

TEST(Threads, EndThreadAndCloseBeforeTheEnd) {
  qt::Watchdog dog(20);
  unsigned id = 0;
  uintptr_t t = _beginthreadex(nullptr, 0, [](void*) -> unsigned { _endthreadex(0); }, nullptr, 0, &id);
  ASSERT_NE(t, 0u);
  EXPECT_NE(id, 0u);
  EXPECT_EQ(WaitForSingleObject(reinterpret_cast<HANDLE>(t), INFINITE), WAIT_OBJECT_0);
  CloseHandle(reinterpret_cast<HANDLE>(t));
  // A handle closed while its thread still runs: the thread cleans up after
  // itself and ends.
  static std::atomic<bool> release{false};
  const size_t threadsBefore = ThreadsOfThisProcess();
  uintptr_t slow = _beginthreadex(nullptr, 0, [](void*) -> unsigned {
    while (!release) Sleep(1);
    return 0;
  }, nullptr, 0, nullptr);
  ASSERT_NE(slow, 0u);
  EXPECT_TRUE(CloseHandle(reinterpret_cast<HANDLE>(slow)));
  release = true;
  EXPECT_TRUE(qt::WaitUntil([&] { return ThreadsOfThisProcess() == threadsBefore; }, std::chrono::seconds(10)));
}

DWORD fake = 0;

TEST(Clock, HookAndKernelTable) {
  plat::SetClockHook([] { return fake; });
  fake = 0xFFFFFFF0u;
  EXPECT_EQ(timeGetTime(), 0xFFFFFFF0u);
  plat::SetClockHook(nullptr);
  DWORD a = timeGetTime();
  Sleep(20);
  EXPECT_GE(timeGetTime() - a, 19u);

  HMODULE k = GetModuleHandleA("kernel32.dll");
  ASSERT_NE(k, nullptr);
  EXPECT_NE(GetProcAddress(k, "TryEnterCriticalSection"), nullptr);
  plat::HideTryEnterCriticalSection(true);
  EXPECT_EQ(GetProcAddress(k, "TryEnterCriticalSection"), nullptr);
  plat::HideTryEnterCriticalSection(false);
}

TEST(MessageBox, TestModeAnswersAndRecords) {
  qt::TempDir dir;
  std::string log = dir / "boxes.txt";
  auto r = qt::RunInChild([&] {
    setenv("QUARN_MSGBOX_TEST", "1", 1);
    setenv("QUARN_MSGBOX_LOG", log.c_str(), 1);
    int a = MessageBoxA(nullptr, "File not found: x.", "Error!", MB_OK | MB_ICONERROR);
    int b = MessageBoxA(nullptr, "Quit?", "Question", MB_YESNO);
    _exit(a == IDOK && b == IDYES ? 0 : 1);
  });
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(qt::ReadFile(log), "Error!|File not found: x.\nQuestion|Quit?\n");
  EXPECT_NE(r.err.find("Error!: File not found: x."), std::string::npos);
}

TEST(Memory, Status) {
  MEMORYSTATUSEX s{};
  ASSERT_TRUE(GlobalMemoryStatusEx(&s));
  EXPECT_GT(s.ullTotalPhys, 0u);
  EXPECT_LE(s.ullAvailPhys, s.ullTotalPhys);
}

}  // namespace
