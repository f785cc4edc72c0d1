// The processor query: the identification instruction, the time-stamp
// counter and the processor count, each replaceable in tests.
#pragma once
#include <cstdint>

#include "platform/win32.h"

struct SYSTEM_INFO {
  WORD wProcessorArchitecture;
  WORD wReserved;
  DWORD dwPageSize;
  LPVOID lpMinimumApplicationAddress;
  LPVOID lpMaximumApplicationAddress;
  UINT_PTR dwActiveProcessorMask;
  DWORD dwNumberOfProcessors;
  DWORD dwProcessorType;
  DWORD dwAllocationGranularity;
  WORD wProcessorLevel;
  WORD wProcessorRevision;
};

#define PROCESSOR_ARCHITECTURE_INTEL 0
#define PROCESSOR_ARCHITECTURE_AMD64 9
#define PROCESSOR_ARCHITECTURE_UNKNOWN 0xFFFF

// The processors online (at least 1), the page size and the architecture.
void GetSystemInfo(SYSTEM_INFO* info);

namespace plat {

struct CpuidRegisters {
  uint32_t eax, ebx, ecx, edx;
};

// Whether the identification instruction exists. On x86-64 it always does;
// on 32-bit x86 this is the flags-register bit-21 probe.
bool CpuidPresent();
// The registers that identification function `function` returns.
CpuidRegisters Cpuid(uint32_t function);
// The time-stamp counter (0 where the processor has none).
uint64_t ReadTimeStampCounter();

// Test seams; a null hook (or a count of 0) restores the real query.
using CpuidHook = CpuidRegisters (*)(uint32_t function);
using TimeStampHook = uint64_t (*)();
void SetCpuidHook(CpuidHook hook);
void SetCpuidMissing(bool missing);  // makes CpuidPresent() answer false
void SetTimeStampHook(TimeStampHook hook);
void SetProcessorCount(DWORD count);

}  // namespace plat
