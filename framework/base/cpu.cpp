// Processor detection through the identification instruction, with the
// clock measured against the system timer.
#include "framework/base/cpu.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "framework/base/cfg.h"
#include "framework/base/log.h"
#include "framework/base/time.h"
#include "platform/cpuid.h"
#include "platform/kernel.h"

#define CPU_LOG(level, ...) SYS_LOG_TAGGED(level, "[cpu]", __VA_ARGS__)

namespace {

SYS_CPU_t record;
bool done = false;

constexpr uint32_t kExtendedBase = 0x80000000u;
constexpr int kClockRounds = 5;
constexpr uint32_t kClockSleepMs = 50;

struct NamePair {
  const char* key;
  const char* name;
};

constexpr NamePair kVendors[] = {
    {"GenuineIntel", "Intel"},  {"UMC UMC UMC ", "UMC"},          {"AuthenticAMD", "AMD"},
    {"CyrixInstead", "Cyrix/VIA"}, {"NexGenDriven", "NexGen"},    {"CentaurHauls", "IDT/Centaur/VIA"},
    {"RiseRiseRise", "Rise"},   {"GenuineTMx86", "Transmeta"},
};

constexpr NamePair kKnownProcessors[] = {
    {"6:7:6:0:1", "Core2 Duo P8600"},
    {"6:15:6:0:0", "Core2 T7200"},
};

int Level() { return SYS_DbgDetail(SYS_DbgSwitches.cpu); }

int32_t Bit(uint32_t value, int bit) { return static_cast<int32_t>((value >> bit) & 1u); }

void PutRegister(char* out, uint32_t value) { std::memcpy(out, &value, 4); }

// Ticks of the time-stamp counter per microsecond over five short sleeps; a
// round in which the timer did not advance is left out rather than divided by.
float MeasureClock() {
  double sum = 0;
  int rounds = 0;
  for (int i = 0; i < kClockRounds; ++i) {
    uint64_t ticks0 = plat::ReadTimeStampCounter();
    DWORD ms0 = timeGetTime();
    SYS_Sleep(kClockSleepMs);
    uint64_t ticks1 = plat::ReadTimeStampCounter();
    DWORD ms1 = timeGetTime();
    uint64_t elapsedUs = static_cast<uint64_t>(static_cast<DWORD>(ms1 - ms0)) * 1000u;
    if (elapsedUs == 0) continue;
    sum += static_cast<double>(ticks1 - ticks0) / static_cast<double>(elapsedUs);
    ++rounds;
  }
  return rounds ? static_cast<float>(sum / rounds) : 0.0f;
}

void ReadLeaf1(SYS_PCPU_t cpu) {
  plat::CpuidRegisters r = plat::Cpuid(1);
  cpu->stepping = static_cast<int32_t>(r.eax & 0xFu);
  cpu->model = static_cast<int32_t>((r.eax >> 4) & 0xFu);
  int32_t baseFamily = static_cast<int32_t>((r.eax >> 8) & 0xFu);
  cpu->extModel = static_cast<int32_t>((r.eax >> 16) & 0xFu);
  cpu->extFamily = static_cast<int32_t>((r.eax >> 20) & 0xFFu);
  cpu->family = baseFamily == 15 ? 15 + cpu->extFamily : baseFamily;
  cpu->tsc = Bit(r.edx, 4);
  cpu->mmx = Bit(r.edx, 23);
  cpu->sse = Bit(r.edx, 25);
  cpu->sse2 = Bit(r.edx, 26);
  cpu->sse3 = Bit(r.ecx, 0);
  cpu->ssse3 = Bit(r.ecx, 9);
  cpu->sse41 = Bit(r.ecx, 19);
  cpu->sse42 = Bit(r.ecx, 20);
}

void ReadExtendedLeaf(SYS_PCPU_t cpu) {
  if (plat::Cpuid(kExtendedBase).eax <= kExtendedBase) return;
  plat::CpuidRegisters r = plat::Cpuid(kExtendedBase + 1);
  cpu->x64 = Bit(r.edx, 29);
  cpu->mmxExt = Bit(r.edx, 22);
  cpu->threeDNow = Bit(r.edx, 31);
  cpu->threeDNowExt = Bit(r.edx, 30);
  cpu->mmx |= Bit(r.edx, 23);
  cpu->sse4a = Bit(r.ecx, 6);
  cpu->sse5a = Bit(r.ecx, 11);
}

void ApplyDisableSwitches(SYS_PCPU_t cpu) {
  const struct {
    const char* name;
    int32_t SYS_CPU_t::*flag;
  } switches[] = {
      {"disable-altivec", &SYS_CPU_t::altivec}, {"disable-mmx", &SYS_CPU_t::mmx},
      {"disable-sse", &SYS_CPU_t::sse},         {"disable-sse2", &SYS_CPU_t::sse2},
      {"disable-sse3", &SYS_CPU_t::sse3},       {"disable-ssse3", &SYS_CPU_t::ssse3},
      {"disable-sse41", &SYS_CPU_t::sse41},     {"disable-sse42", &SYS_CPU_t::sse42},
      {"disable-sse4a", &SYS_CPU_t::sse4a},     {"disable-sse5a", &SYS_CPU_t::sse5a},
      {"disable-x64", &SYS_CPU_t::x64},
  };
  for (const auto& s : switches)
    if (SYS_CfgHas(s.name)) cpu->*s.flag = 0;
}

// "ncpu" overrides the count. Without its number the switch reader answers
// -1, and a count of 0 or less means nothing, so only positive values count.
void ApplyProcessorCount(SYS_PCPU_t cpu) {
  intptr_t value = SYS_CfgGet("ncpu", SYS_CFG_INTEGER);
  if (value > 0) cpu->count = static_cast<int32_t>(value);
}

void ApplyNames(SYS_PCPU_t cpu) {
  for (const auto& v : kVendors) {
    if (std::strcmp(cpu->vendor, v.key) == 0) {
      std::snprintf(cpu->vendor, sizeof cpu->vendor, "%s", v.name);
      break;
    }
  }
  for (const auto& p : kKnownProcessors) {
    if (std::strcmp(cpu->name, p.key) == 0) {
      std::snprintf(cpu->name, sizeof cpu->name, "%s (%d:%d:%d:%d:%d)", p.name, cpu->family, cpu->model,
                    cpu->stepping, cpu->extFamily, cpu->extModel);
      break;
    }
  }
}

std::string FeatureText(const SYS_CPU_t& cpu) {
  std::string text = "[" + std::to_string(cpu.count) + " cpu] ";
  const struct {
    int32_t SYS_CPU_t::*flag;
    const char* label;
  } features[] = {
      {&SYS_CPU_t::x64, "[x64] "},       {&SYS_CPU_t::altivec, "[altivec] "}, {&SYS_CPU_t::mmx, "[mmx] "},
      {&SYS_CPU_t::sse, "[sse] "},       {&SYS_CPU_t::sse2, "[sse2] "},       {&SYS_CPU_t::sse3, "[sse3] "},
      {&SYS_CPU_t::ssse3, "[ssse3] "},   {&SYS_CPU_t::sse41, "[sse4.1] "},    {&SYS_CPU_t::sse42, "[sse4.2] "},
      {&SYS_CPU_t::sse4a, "[sse4.a] "},  {&SYS_CPU_t::sse5a, "[sse5.a] "},
  };
  for (const auto& f : features)
    if (cpu.*f.flag) text += f.label;
  return text;
}

}  // namespace

int SYS_GetCPUbyPlatformX86(SYS_PCPU_t cpu) {
  if (!cpu) {
    errSetLastError(ERR_BADARG);
    return -1;
  }
  if (!plat::CpuidPresent()) {
    CPU_LOG(Level(), " This processor doesn't have CPUID instruction.\n");
    errSetLastError(ERR_NOCPUID);
    return -1;
  }
  // Everything but the count is filled here; nothing of an earlier fill stays.
  int32_t count = cpu->count;
  *cpu = SYS_CPU_t{};
  cpu->count = count;

  plat::CpuidRegisters leaf0 = plat::Cpuid(0);
  if (leaf0.eax != 0) {
    ReadLeaf1(cpu);
    if (cpu->tsc) cpu->mhz = MeasureClock();
    PutRegister(cpu->vendor, leaf0.ebx);
    PutRegister(cpu->vendor + 4, leaf0.edx);
    PutRegister(cpu->vendor + 8, leaf0.ecx);
    cpu->vendor[12] = '\0';
    std::snprintf(cpu->name, sizeof cpu->name, "%d:%d:%d:%d:%d", cpu->family, cpu->model, cpu->stepping,
                  cpu->extFamily, cpu->extModel);
  }
  ReadExtendedLeaf(cpu);
  return 0;
}

int SYS_GetCPUbyPlatform(SYS_PCPU_t cpu) {
  if (!cpu) {
    errSetLastError(ERR_BADARG);
    return -1;
  }
  SYSTEM_INFO info{};
  GetSystemInfo(&info);
  cpu->count = static_cast<int32_t>(info.dwNumberOfProcessors);
  return SYS_GetCPUbyPlatformX86(cpu);
}

SYS_PCPU_t SYS_GetCPU(void) {
  errClear();
  if (done) return &record;
  CPU_LOG(Level(), "  --- determine cpu capabilities\n");
  record.count = 1;
  if (SYS_GetCPUbyPlatform(&record) != 0) {
    errSetLastError(-1);
    return nullptr;
  }
  ApplyDisableSwitches(&record);
  ApplyProcessorCount(&record);
  ApplyNames(&record);
  CPU_LOG(Level(), " CPU: %s %s at %.2f MHz\n", record.vendor, record.name, static_cast<double>(record.mhz));
  CPU_LOG(Level(), "  - %s\n", FeatureText(record).c_str());
  done = true;
  return &record;
}
