#include "framework/base/thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "framework/base/cfg.h"
#include "framework/base/log.h"
#include "framework/base/main.h"
#include "framework/base/time.h"
#include "platform/kernel.h"
#include "testsupport/testsupport.h"

namespace {

class Threads : public ::testing::Test {
 protected:
  void SetUp() override { SYS_ThreadInit(); }
  qt::Watchdog dog{60};
};

std::atomic<int> polls{0};
std::atomic<int> sawStop{0};

int Poller(void*) {
  SYS_Thread_p self = SYS_ThreadSelf();
  while (!SYS_ThreadExit(self)) polls.fetch_add(1);
  sawStop = 1;
  SYS_ThreadExit(nullptr);
  return 0;
}

TEST_F(Threads, PollSeesTheKill) {
  polls = 0;
  sawStop = 0;
  SYS_Thread_p t = SYS_ThreadCreate(Poller, nullptr, 0, "poller");
  ASSERT_NE(t, nullptr);
  EXPECT_STREQ(SYS_ThreadName(t), "poller");
  while (polls.load() < 2) SYS_Sleep(5);
  EXPECT_EQ(SYS_ThreadStopRequested(t), 0);
  EXPECT_EQ(SYS_ThreadKill(t), 0);
  EXPECT_EQ(sawStop.load(), 1);
  EXPECT_EQ(SYS_ThreadKill(nullptr), -1);
  EXPECT_EQ(errGetLastError(), 10);
}

int Quick(void*) {
  SYS_ThreadExit(nullptr);
  return 0;
}
int ReturnsWithoutExit(void*) { return 0; }

TEST_F(Threads, KillOfAFinishedThreadReturnsPromptly) {
  for (auto proc : {Quick, ReturnsWithoutExit}) {
    for (int priority : {0, 3, -2}) {
      SYS_Thread_p t = SYS_ThreadCreate(proc, nullptr, priority, "quick");
      ASSERT_NE(t, nullptr);
      SYS_Sleep(20);
      DWORD start = timeGetTime();
      EXPECT_EQ(SYS_ThreadKill(t), 0);
      EXPECT_LT(timeGetTime() - start, 2000u);
    }
  }
}

struct Counter {
  SYS_Thread_Mutex_p lock;
  long value;
};

int AddMany(void* p) {
  auto* c = static_cast<Counter*>(p);
  for (int i = 0; i < 100000; ++i) {
    SYS_MutexLock(c->lock);
    SYS_MutexLock(c->lock);  // recursive
    ++c->value;
    SYS_MutexUnlock(c->lock);
    SYS_MutexUnlock(c->lock);
  }
  SYS_ThreadExit(nullptr);
  return 0;
}

void CountWithTwoThreads() {
  Counter c{SYS_MutexCreate(), 0};
  SYS_Thread_p a = SYS_ThreadCreate(AddMany, &c, 0, "a");
  SYS_Thread_p b = SYS_ThreadCreate(AddMany, &c, 0, "b");
  SYS_ThreadKill(a);
  SYS_ThreadKill(b);
  EXPECT_EQ(c.value, 200000);
  SYS_MutexDestroy(c.lock);
}

TEST_F(Threads, MutexesOfBothKinds) {
  EXPECT_EQ(SYS_ThreadMutexKind(), 1);  // critical sections where they work
  CountWithTwoThreads();
  EXPECT_EQ(SYS_MutexLock(nullptr), 0);
  EXPECT_EQ(SYS_MutexUnlock(nullptr), 0);
  SYS_MutexDestroy(nullptr);

  auto r = qt::RunInChild([] {
    plat::HideTryEnterCriticalSection(true);
    SYS_ThreadInit();
    if (SYS_ThreadMutexKind() != 0) _exit(2);
    Counter c{SYS_MutexCreate(), 0};
    SYS_Thread_p a = SYS_ThreadCreate(AddMany, &c, 0, "a");
    SYS_Thread_p b = SYS_ThreadCreate(AddMany, &c, 0, "b");
    SYS_ThreadKill(a);
    SYS_ThreadKill(b);
    _exit(c.value == 200000 ? 0 : 3);
  });
  EXPECT_EQ(r.exitCode, 0);
}

int Sleeper(void*) {
  while (!SYS_ThreadExit(SYS_ThreadSelf())) {
  }
  SYS_ThreadExit(nullptr);
  return 0;
}

TEST_F(Threads, ReleaseNamesUnterminatedThreads) {
  qt::TempDir dir;
  auto r = qt::RunInChild([&] {
    qt::ChangeDir cd(dir.path());
    qt::Args args{"\\bin\\prog", "-v"};
    SYS_BaseInit(nullptr, args.argc(), args.argv(), nullptr);
    SYS_ThreadCreate(Sleeper, nullptr, 0, "player thread");
    SYS_BaseDone();
    _exit(0);
  });
  EXPECT_EQ(r.exitCode, 0);
  std::string log = qt::ReadFile(dir / "debug.log");
  EXPECT_NE(log.find("create thread: \"player thread\"\n"), std::string::npos);
  EXPECT_NE(log.find("!!! Unterminated thread: \"player thread\"\n"), std::string::npos);
}

TEST_F(Threads, SelfOfAStrangerEndsTheProcess) {
  auto r = qt::RunInChild([] { SYS_ThreadSelf(); });
  EXPECT_EQ(r.exitCode, 1);
}

}  // namespace
