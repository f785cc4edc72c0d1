#include "framework/base/time.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "framework/base/list.h"
#include "framework/base/log.h"
#include "framework/base/mem.h"
#include "platform/kernel.h"

namespace {

DWORD fakeNow = 0;
DWORD FakeClock() { return fakeNow; }

struct FakeClockScope {
  FakeClockScope() { plat::SetClockHook(FakeClock); }
  ~FakeClockScope() { plat::SetClockHook(nullptr); }
};

TEST(Timer, FollowsTheClock) {
  FakeClockScope scope;
  fakeNow = 1000;
  SYS_TimerReset();
  EXPECT_EQ(SYS_TimerGet(), 0);
  fakeNow = 1500;
  EXPECT_EQ(SYS_TimerGet(), 500);

  // An adjustment larger than the elapsed time resets the timer.
  fakeNow = 1000;
  SYS_TimerReset();
  SYS_TimerSetAdjust(5000);
  EXPECT_EQ(SYS_TimerGet(), 0);
  fakeNow = 1100;
  EXPECT_EQ(SYS_TimerGet(), 100);  // counted from the new origin
  SYS_TimerSetAdjust(-50);         // forward
  EXPECT_EQ(SYS_TimerGet(), 150);

  // The counter wraps: origin just before the wrap, now just after.
  fakeNow = 0xFFFFFF00u;
  SYS_TimerReset();
  fakeNow = 0x100u;
  EXPECT_EQ(SYS_TimerGet(), 512);

  // More than 2^31 ms since the origin reads as negative: reset to 0.
  fakeNow = 0;
  SYS_TimerReset();
  fakeNow = 0x80000001u;
  EXPECT_EQ(SYS_TimerGet(), 0);
  fakeNow += 10;
  EXPECT_EQ(SYS_TimerGet(), 10);
}

TEST(Timer, PauseHoldsTheValue) {
  FakeClockScope scope;
  fakeNow = 0;
  SYS_TimerReset();
  fakeNow = 2000;
  SYS_TimerPause();  // no read just before: the value is taken at the pause
  fakeNow = 3500;
  EXPECT_EQ(SYS_TimerGet(), 2000);
  fakeNow = 5000;
  SYS_TimerPause();
  EXPECT_EQ(SYS_TimerGet(), 2000);
  fakeNow = 5250;
  EXPECT_EQ(SYS_TimerGet(), 2250);
}

TEST(TimeStamp, Format) {
  char* s = SYS_TimeStamp();
  ASSERT_NE(s, nullptr);
  ASSERT_EQ(std::strlen(s), 15u);
  for (int i = 0; i < 15; ++i) EXPECT_TRUE(i == 8 ? s[i] == ' ' : (s[i] >= '0' && s[i] <= '9')) << s;
  SYS_MemFree(s);
}

// Checks the list's links both ways against the expected elements.
void ExpectList(SYS_List_p list, const std::vector<int*>& want) {
  std::vector<int*> forward;
  SYS_List_p last = nullptr;
  for (SYS_List_p n = list; n; n = n->next) {
    EXPECT_EQ(n->prev, last);
    forward.push_back(static_cast<int*>(n->data));
    last = n;
  }
  EXPECT_EQ(forward, want);
  std::vector<int*> backward;
  for (SYS_List_p n = last; n; n = n->prev) backward.insert(backward.begin(), static_cast<int*>(n->data));
  EXPECT_EQ(backward, want);
}

TEST(List, Operations) {
  int a = 1, b = 2, c = 3;
  SYS_List_p list = nullptr;
  list = SYS_ListAddLast(list, &a);
  ExpectList(list, {&a});
  list = SYS_ListAddFirst(list, &b);
  list = SYS_ListAddLast(list, &c);
  list = SYS_ListAddLast(list, &b);  // twice
  ExpectList(list, {&b, &a, &c, &b});
  list = SYS_ListDelItem(list, &b);  // only the first goes
  ExpectList(list, {&a, &c, &b});
  list = SYS_ListDelItem(list, &c);
  ExpectList(list, {&a, &b});
  int stranger = 9;
  list = SYS_ListDelItem(list, &stranger);
  ExpectList(list, {&a, &b});

  // A failed add leaves the caller's list alone.
  EXPECT_EQ(SYS_ListAddFirst(list, nullptr), nullptr);
  EXPECT_EQ(errGetLastError(), 10);
  EXPECT_EQ(SYS_ListAddLast(list, nullptr), nullptr);
  EXPECT_EQ(errGetLastError(), 10);
  ExpectList(list, {&a, &b});

  list = SYS_ListDelItem(list, &a);
  list = SYS_ListDelItem(list, &b);
  EXPECT_EQ(list, nullptr);
  EXPECT_EQ(errGetLastError(), 0);
  EXPECT_EQ(SYS_ListDelItem(nullptr, &a), nullptr);
  EXPECT_EQ(errGetLastError(), 10);

  list = SYS_ListAddFirst(SYS_ListAddFirst(nullptr, &a), &b);
  EXPECT_EQ(SYS_ListRemove(list), 0);
  EXPECT_EQ(SYS_ListRemove(nullptr), -1);
  EXPECT_EQ(errGetLastError(), 10);
}

}  // namespace
