// System detection: describes the machine in the log once at start and keeps
// the operating-system texts for later questions.
#pragma once
#include <cstdint>

// Selectors of SYS_GetString.
#define SYS_INFO_OSTYPE 0    // "Microsoft Windows (TM)"
#define SYS_INFO_PRODUCT 1   // name, edition, service pack and build
#define SYS_INFO_KERNEL 2    // "major.minor"
#define SYS_INFO_CPUNAME 3   // the processor record's name
#define SYS_INFO_CPUCLOCK 4  // "%.2f MHz", in one buffer shared by all callers
#define SYS_INFO_CPU 5       // the processor record itself (SYS_PCPU_t)

// Builds the three texts, logs five lines and fetches the processor record; 0.
int SYS_DetectSystem(void);
// A text by selector, or for 5 the processor record; null with error 10 for
// an unknown selector or a processor text without a processor record.
// Selectors 0 to 2 give null before SYS_DetectSystem and after SYS_InfoDone.
const char* SYS_GetString(uint32_t selector);
// Frees the three texts; 0.
int SYS_InfoDone(void);
