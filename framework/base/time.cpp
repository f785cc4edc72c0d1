// The millisecond timer, time stamps and sleep. The timer computes in
// unsigned 32 bits, so it keeps working across the counter's wrap.
#include "framework/base/time.h"

#include <cstdio>
#include <cstring>
#include <ctime>

#include "framework/base/mem.h"
#include "platform/kernel.h"

namespace {
uint32_t origin = 0;
uint32_t adjustment = 0;
bool paused = false;
uint32_t pauseStart = 0;
int32_t last = 0;

int32_t Elapsed(uint32_t now) { return static_cast<int32_t>(now - origin - adjustment); }
}  // namespace

void SYS_TimerReset(void) {
  origin = timeGetTime();
  adjustment = 0;
  last = 0;
}

int32_t SYS_TimerGet(void) {
  if (!paused) last = Elapsed(timeGetTime());
  if (last < 0) {
    SYS_TimerReset();
    return 0;
  }
  return last;
}

void SYS_TimerSetAdjust(int32_t milliseconds) { adjustment += static_cast<uint32_t>(milliseconds); }

void SYS_TimerPause(void) {
  uint32_t now = timeGetTime();
  if (!paused) {
    // Keep the value of the moment the pause begins, whether or not it was read.
    last = Elapsed(now);
    pauseStart = now;
    paused = true;
  } else {
    adjustment += now - pauseStart;
    paused = false;
  }
}

char* SYS_TimeStampTo(char* buffer, unsigned size) {
  std::time_t t = std::time(nullptr);
  std::tm local{};
  localtime_r(&t, &local);
  std::snprintf(buffer, size, "%d%02d%02d %02d%02d%02d", local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                local.tm_hour, local.tm_min, local.tm_sec);
  return buffer;
}

char* SYS_TimeStamp(void) {
  char text[256];
  SYS_TimeStampTo(text, sizeof text);
  size_t n = std::strlen(text) + 1;
  auto* copy = static_cast<char*>(SYS_MemGet(n));
  if (copy) std::memcpy(copy, text, n);
  return copy;
}

void SYS_Sleep(uint32_t milliseconds) { Sleep(milliseconds); }
