// System detection: the OS type, product and kernel texts for the log.
#pragma once
#include <cstdint>

int SYS_DetectSystem(void);
const char* SYS_GetString(uint32_t selector);  // selector 5 gives the processor record
int SYS_InfoDone(void);
