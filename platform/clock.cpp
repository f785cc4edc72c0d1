// The millisecond clock and sleep, with hooks for tests.
#include "platform/kernel.h"

#include <atomic>
#include <cerrno>
#include <ctime>

namespace {
std::atomic<plat::ClockHook> clockHook{nullptr};
std::atomic<plat::SleepHook> sleepHook{nullptr};
}  // namespace

DWORD timeGetTime(void) {
  if (auto hook = clockHook.load()) return hook();
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  // Wraps every 49.7 days, like the Windows counter.
  return static_cast<DWORD>(static_cast<uint64_t>(ts.tv_sec) * 1000u +
                            static_cast<uint64_t>(ts.tv_nsec) / 1000000u);
}

void Sleep(DWORD milliseconds) {
  if (auto hook = sleepHook.load()) {
    hook(milliseconds);
    return;
  }
  timespec ts{static_cast<time_t>(milliseconds / 1000u), static_cast<long>(milliseconds % 1000u) * 1000000L};
  while (nanosleep(&ts, &ts) == -1 && errno == EINTR) {
  }
}

namespace plat {
void SetClockHook(ClockHook hook) { clockHook.store(hook); }
void SetSleepHook(SleepHook hook) { sleepHook.store(hook); }
}  // namespace plat
