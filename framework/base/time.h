// The millisecond timer, time stamps and sleep.
#pragma once
#include <cstdint>

void SYS_TimerReset(void);
int32_t SYS_TimerGet(void);
void SYS_TimerSetAdjust(int32_t milliseconds);
void SYS_TimerPause(void);
char* SYS_TimeStamp(void);  // tracked text, released by the caller
// The same text in the caller's buffer; returns the buffer.
char* SYS_TimeStampTo(char* buffer, unsigned size);

void SYS_Sleep(uint32_t milliseconds);
