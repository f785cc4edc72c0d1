// The processor query over the compiler's CPUID and RDTSC intrinsics.
#include "platform/cpuid.h"

#include <unistd.h>

#include <atomic>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#include <x86intrin.h>
#define PLAT_X86 1
#endif

namespace {
std::atomic<plat::CpuidHook> cpuidHook{nullptr};
std::atomic<plat::TimeStampHook> timeStampHook{nullptr};
std::atomic<bool> cpuidMissing{false};
std::atomic<DWORD> processorCount{0};
}  // namespace

void GetSystemInfo(SYSTEM_INFO* info) {
  if (!info) return;
  *info = SYSTEM_INFO{};
#if defined(__x86_64__)
  info->wProcessorArchitecture = PROCESSOR_ARCHITECTURE_AMD64;
#elif defined(__i386__)
  info->wProcessorArchitecture = PROCESSOR_ARCHITECTURE_INTEL;
#else
  info->wProcessorArchitecture = PROCESSOR_ARCHITECTURE_UNKNOWN;
#endif
  long page = sysconf(_SC_PAGESIZE);
  info->dwPageSize = page > 0 ? static_cast<DWORD>(page) : 4096u;
  info->dwAllocationGranularity = 65536u;
  DWORD count = processorCount.load();
  if (count == 0) {
    long online = sysconf(_SC_NPROCESSORS_ONLN);
    count = online > 0 ? static_cast<DWORD>(online) : 1u;
  }
  info->dwNumberOfProcessors = count;
  info->dwActiveProcessorMask = count >= sizeof(UINT_PTR) * 8 ? ~UINT_PTR{0} : (UINT_PTR{1} << count) - 1;
}

namespace plat {

bool CpuidPresent() {
  if (cpuidMissing.load()) return false;
  if (cpuidHook.load()) return true;
#if defined(__x86_64__)
  return true;  // every 64-bit x86 processor has it
#elif defined(__i386__)
  return __get_cpuid_max(0, nullptr) != 0;  // the compiler's probe toggles flags bit 21
#else
  return false;
#endif
}

CpuidRegisters Cpuid(uint32_t function) {
  if (auto hook = cpuidHook.load()) return hook(function);
  CpuidRegisters r{};
#ifdef PLAT_X86
  __cpuid(function, r.eax, r.ebx, r.ecx, r.edx);
#else
  (void)function;
#endif
  return r;
}

uint64_t ReadTimeStampCounter() {
  if (auto hook = timeStampHook.load()) return hook();
#ifdef PLAT_X86
  return __rdtsc();
#else
  return 0;
#endif
}

void SetCpuidHook(CpuidHook hook) { cpuidHook.store(hook); }
void SetCpuidMissing(bool missing) { cpuidMissing.store(missing); }
void SetTimeStampHook(TimeStampHook hook) { timeStampHook.store(hook); }
void SetProcessorCount(DWORD count) { processorCount.store(count); }

}  // namespace plat
