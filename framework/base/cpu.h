// Processor detection: one record per process with the processor count,
// identification, instruction-set features, clock and a printable name.
#pragma once
#include <cstdint>

// The feature flags are 1 when the feature is present and not switched off
// by its "disable-" switch, else 0.
struct SYS_CPU_t {
  int32_t family;     // base family; for base family 15, 15 plus the extended family
  int32_t model;      // base model
  int32_t stepping;
  int32_t extFamily;
  int32_t extModel;
  int32_t count;      // number of processors
  int32_t mmx;
  int32_t mmxExt;
  int32_t threeDNow;
  int32_t threeDNowExt;
  int32_t sse;
  int32_t sse2;
  int32_t sse3;
  int32_t ssse3;
  int32_t sse41;
  int32_t sse42;
  int32_t sse4a;
  int32_t sse5a;
  int32_t x64;
  int32_t tsc;
  int32_t altivec;    // never set on this architecture; kept for its switch
  float mhz;          // clock measured against the system timer, 0 without a counter
  char name[256];     // known name with its signature, or the bare signature
  char vendor[32];    // vendor's name, or the 12-character identification
};
typedef SYS_CPU_t* SYS_PCPU_t;
typedef SYS_PCPU_t* SYS_PPCPU_t;

// The record, detected at the first successful call; null with last error -1
// when the processor cannot be identified (a later call tries again).
SYS_PCPU_t SYS_GetCPU(void);
// Fills the identification, features, clock, signature and vendor
// identification of the record; 0, or -1 with error 100 when the processor has
// no identification instruction.
int SYS_GetCPUbyPlatformX86(SYS_PCPU_t cpu);
// The processor count, then SYS_GetCPUbyPlatformX86.
int SYS_GetCPUbyPlatform(SYS_PCPU_t cpu);
