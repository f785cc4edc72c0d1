// Start and release of the base library.
#pragma once
#include "framework/base/cpu.h"

int SYS_BaseInit(void* handle, int argc, char** argv, SYS_PPCPU_t cpu);
int SYS_BaseDone(void);
