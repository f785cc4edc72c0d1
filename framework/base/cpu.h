// Processor detection.
#pragma once
#include <cstdint>

struct SYS_CPU_t;  // the processor record (laid out by the detection module)
typedef SYS_CPU_t* SYS_PCPU_t;
typedef SYS_PCPU_t* SYS_PPCPU_t;

SYS_PCPU_t SYS_GetCPU(void);
