#include "framework/base/cpu.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "framework/base/cfg.h"
#include "framework/base/log.h"
#include "framework/base/main.h"
#include "platform/cpuid.h"
#include "platform/kernel.h"
#include "testsupport/testsupport.h"

namespace {

using qt::Contains;

// --- a fake processor ------------------------------------------------------------

std::map<uint32_t, plat::CpuidRegisters> leaves;
std::vector<uint32_t> asked;

plat::CpuidRegisters FakeCpuid(uint32_t function) {
  asked.push_back(function);
  auto it = leaves.find(function);
  return it == leaves.end() ? plat::CpuidRegisters{} : it->second;
}

uint32_t Reg(const char* four) {
  uint32_t v;
  std::memcpy(&v, four, 4);
  return v;
}

constexpr uint32_t kTsc = 1u << 4, kMmx = 1u << 23, kSse = 1u << 25, kSse2 = 1u << 26;

// Leaf 0 with the vendor text, leaf 1 with the signature and feature bits, and
// the extended leaves when extMax is above 0x80000000.
void Processor(const char* vendor, uint32_t signature, uint32_t edx1, uint32_t ecx1, uint32_t extMax = 0,
               uint32_t edxExt = 0, uint32_t ecxExt = 0, uint32_t maxLeaf = 1) {
  leaves.clear();
  asked.clear();
  leaves[0] = {maxLeaf, Reg(vendor), Reg(vendor + 8), Reg(vendor + 4)};
  leaves[1] = {signature, 0, ecx1, edx1};
  leaves[0x80000000u] = {extMax, 0, 0, 0};
  leaves[0x80000001u] = {0, 0, ecxExt, edxExt};
  plat::SetCpuidHook(&FakeCpuid);
}

uint32_t Signature(uint32_t family, uint32_t model, uint32_t stepping, uint32_t extFamily = 0, uint32_t extModel = 0) {
  return stepping | (model << 4) | (family << 8) | (extModel << 16) | (extFamily << 20);
}

// The counter runs at 2400 ticks per microsecond; a sleep moves the clock on.
uint64_t fakeMs = 5000;
int sleeps = 0;
DWORD FakeClock() { return static_cast<DWORD>(fakeMs); }
void FakeSleep(DWORD ms) {
  fakeMs += ms;
  ++sleeps;
}
void StoppedSleep(DWORD) { ++sleeps; }
uint64_t FakeCounter() { return fakeMs * 2400000u; }

class Cpu : public ::testing::Test {
 protected:
  void SetUp() override {
    plat::SetClockHook(&FakeClock);
    plat::SetSleepHook(&FakeSleep);
    plat::SetTimeStampHook(&FakeCounter);
    sleeps = 0;
  }
  void TearDown() override {
    plat::SetCpuidHook(nullptr);
    plat::SetCpuidMissing(false);
    plat::SetClockHook(nullptr);
    plat::SetSleepHook(nullptr);
    plat::SetTimeStampHook(nullptr);
  }
  SYS_CPU_t Fill() {
    SYS_CPU_t cpu{};
    cpu.count = 3;
    EXPECT_EQ(SYS_GetCPUbyPlatformX86(&cpu), 0);
    EXPECT_EQ(cpu.count, 3);  // the count is not this function's business
    return cpu;
  }
};

TEST_F(Cpu, IdentificationFromLeafOne) {
  struct Case {
    uint32_t signature;
    int family, model, stepping, extFamily, extModel;
    const char* name;
  } cases[] = {
      {Signature(6, 15, 6), 6, 15, 6, 0, 0, "6:15:6:0:0"},
      {Signature(6, 7, 6, 0, 1), 6, 7, 6, 0, 1, "6:7:6:0:1"},
      {Signature(15, 2, 3, 1), 16, 2, 3, 1, 0, "16:2:3:1:0"},   // family 15 takes the extended family
      {Signature(6, 10, 9, 1, 3), 6, 10, 9, 1, 3, "6:10:9:1:3"},  // other families do not
      {Signature(15, 4, 1, 0), 15, 4, 1, 0, 0, "15:4:1:0:0"},
  };
  for (const auto& c : cases) {
    Processor("GenuineIntel", c.signature, 0, 0);
    SYS_CPU_t cpu = Fill();
    EXPECT_EQ(cpu.family, c.family) << c.name;
    EXPECT_EQ(cpu.model, c.model) << c.name;
    EXPECT_EQ(cpu.stepping, c.stepping) << c.name;
    EXPECT_EQ(cpu.extFamily, c.extFamily) << c.name;
    EXPECT_EQ(cpu.extModel, c.extModel) << c.name;
    EXPECT_STREQ(cpu.name, c.name);
    EXPECT_STREQ(cpu.vendor, "GenuineIntel");
  }
}

TEST_F(Cpu, EveryFeatureBit) {
  enum Where { Edx1, Ecx1, EdxExt, EcxExt };
  struct Case {
    Where where;
    int bit;
    int32_t SYS_CPU_t::*flag;
    const char* what;
  } cases[] = {
      {Edx1, 23, &SYS_CPU_t::mmx, "mmx"},          {Edx1, 25, &SYS_CPU_t::sse, "sse"},
      {Edx1, 26, &SYS_CPU_t::sse2, "sse2"},        {Edx1, 4, &SYS_CPU_t::tsc, "tsc"},
      {Ecx1, 0, &SYS_CPU_t::sse3, "sse3"},         {Ecx1, 9, &SYS_CPU_t::ssse3, "ssse3"},
      {Ecx1, 19, &SYS_CPU_t::sse41, "sse41"},      {Ecx1, 20, &SYS_CPU_t::sse42, "sse42"},
      {EdxExt, 23, &SYS_CPU_t::mmx, "mmx (extended)"}, {EdxExt, 22, &SYS_CPU_t::mmxExt, "mmxExt"},
      {EdxExt, 31, &SYS_CPU_t::threeDNow, "3DNow"}, {EdxExt, 30, &SYS_CPU_t::threeDNowExt, "3DNowExt"},
      {EdxExt, 29, &SYS_CPU_t::x64, "x64"},        {EcxExt, 6, &SYS_CPU_t::sse4a, "sse4a"},
      {EcxExt, 11, &SYS_CPU_t::sse5a, "sse5a"},
  };
  int32_t SYS_CPU_t::*const allFlags[] = {
      &SYS_CPU_t::mmx,   &SYS_CPU_t::mmxExt, &SYS_CPU_t::threeDNow, &SYS_CPU_t::threeDNowExt, &SYS_CPU_t::sse,
      &SYS_CPU_t::sse2,  &SYS_CPU_t::sse3,   &SYS_CPU_t::ssse3,     &SYS_CPU_t::sse41,        &SYS_CPU_t::sse42,
      &SYS_CPU_t::sse4a, &SYS_CPU_t::sse5a,  &SYS_CPU_t::x64,       &SYS_CPU_t::tsc,          &SYS_CPU_t::altivec,
  };
  for (const auto& c : cases) {
    uint32_t bit = 1u << c.bit;
    Processor("AuthenticAMD", Signature(15, 1, 2, 1), c.where == Edx1 ? bit : 0, c.where == Ecx1 ? bit : 0,
              0x80000008u, c.where == EdxExt ? bit : 0, c.where == EcxExt ? bit : 0);
    SYS_CPU_t cpu = Fill();
    for (auto flag : allFlags) EXPECT_EQ(cpu.*flag, flag == c.flag ? 1 : 0) << c.what;
  }
}

TEST_F(Cpu, ExtendedLeafOnlyWhenOffered) {
  for (uint32_t extMax : {0u, 0x80000000u, 0x80000001u}) {
    Processor("AuthenticAMD", Signature(15, 1, 2, 1), 0, 0, extMax, 0xFFFFFFFFu, 0xFFFFFFFFu);
    SYS_CPU_t cpu = Fill();
    bool read = extMax > 0x80000000u;
    EXPECT_EQ(std::count(asked.begin(), asked.end(), 0x80000001u), read ? 1 : 0) << std::hex << extMax;
    EXPECT_EQ(cpu.x64, read ? 1 : 0);
    EXPECT_EQ(cpu.mmx, read ? 1 : 0);
  }
}

TEST_F(Cpu, HighestFunctionZeroSkipsTheIdentification) {
  Processor("GenuineIntel", Signature(6, 15, 6), kMmx | kTsc, 0, 0x80000001u, 1u << 29, 0, /*maxLeaf=*/0);
  SYS_CPU_t cpu = Fill();
  EXPECT_EQ(std::count(asked.begin(), asked.end(), 1u), 0);
  EXPECT_EQ(cpu.family, 0);
  EXPECT_EQ(cpu.mmx, 0);
  EXPECT_STREQ(cpu.name, "");
  EXPECT_STREQ(cpu.vendor, "");
  EXPECT_EQ(cpu.x64, 1);  // the extended leaves are still read
  EXPECT_EQ(sleeps, 0);
}

TEST_F(Cpu, ClockIsTheMeanOfFiveMeasurements) {
  Processor("GenuineIntel", Signature(6, 15, 6), kTsc, 0);
  SYS_CPU_t cpu = Fill();
  EXPECT_FLOAT_EQ(cpu.mhz, 2400.0f);
  EXPECT_EQ(sleeps, 5);

  // A timer that does not move gives no measurement and no division by zero.
  plat::SetSleepHook(&StoppedSleep);
  sleeps = 0;
  cpu = Fill();
  EXPECT_EQ(cpu.mhz, 0.0f);
  EXPECT_EQ(sleeps, 5);

  // Without the counter nothing is measured.
  Processor("GenuineIntel", Signature(6, 15, 6), 0, 0);
  sleeps = 0;
  cpu = Fill();
  EXPECT_EQ(cpu.mhz, 0.0f);
  EXPECT_EQ(sleeps, 0);
}

TEST_F(Cpu, MissingIdentificationInstruction) {
  plat::SetCpuidMissing(true);
  SYS_CPU_t cpu{};
  errClear();
  EXPECT_EQ(SYS_GetCPUbyPlatformX86(&cpu), -1);
  EXPECT_EQ(errGetLastError(), ERR_NOCPUID);
  EXPECT_EQ(SYS_GetCPUbyPlatformX86(nullptr), -1);
  EXPECT_EQ(errGetLastError(), ERR_BADARG);

  auto r = qt::RunInChild([] {
    qt::TempDir dir;
    qt::ChangeDir cd(dir.path());
    qt::Args args{"\\opt\\disk\\kelm", "-c", "-debug-cpu"};
    SYS_BaseInit(nullptr, args.argc(), args.argv(), nullptr);  // detection runs at the log start
    CHILD_CHECK(SYS_GetCPU() == nullptr && errGetLastError() == -1);
    plat::SetCpuidMissing(false);
    Processor("GenuineIntel", Signature(6, 15, 6), 0, 0);
    CHILD_CHECK(SYS_GetCPU() != nullptr);  // a failed detection is tried again
  });
  ASSERT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_TRUE(Contains(r.out, ":SYS_GetCPUbyPlatformX86()] This processor doesn't have CPUID instruction.\n"));
  EXPECT_TRUE(Contains(r.out, "] CPU: Intel Core2 T7200 (6:15:6:0:0) at 0.00 MHz\n")) << r.out;
}

// Starts the base library in a child on the fake processor with the given
// switches behind "-c -debug-cpu"; the child prints the record's fields.
struct Detected {
  std::string out;
  std::string err;
};
Detected Detect(std::initializer_list<std::string> switches, const char* vendor, uint32_t signature,
                uint32_t edx1 = kTsc | kMmx | kSse | kSse2, uint32_t ecx1 = 0, uint32_t extMax = 0,
                uint32_t edxExt = 0, uint32_t ecxExt = 0) {
  auto r = qt::RunInChild([&] {
    Processor(vendor, signature, edx1, ecx1, extMax, edxExt, ecxExt);
    plat::SetProcessorCount(2);
    qt::TempDir dir;
    qt::ChangeDir cd(dir.path());
    std::vector<std::string> all{"\\opt\\disk\\kelm", "-c", "-debug-cpu"};
    all.insert(all.end(), switches.begin(), switches.end());
    std::vector<char*> argv;
    for (auto& s : all) argv.push_back(s.data());
    SYS_PCPU_t cpu = nullptr;
    SYS_BaseInit(nullptr, static_cast<int>(argv.size()), argv.data(), &cpu);
    CHILD_CHECK(cpu != nullptr && cpu == SYS_GetCPU());
    if (cpu) std::fprintf(stderr, "count=%d sse2=%d x64=%d\n", cpu->count, cpu->sse2, cpu->x64);
  });
  EXPECT_EQ(r.exitCode, 0);
  return {r.out, r.err};
}

TEST_F(Cpu, VendorAndKnownProcessorNames) {
  struct Case {
    const char* vendor;
    uint32_t signature;
    const char* line;
  } cases[] = {
      {"GenuineIntel", Signature(6, 15, 6), "] CPU: Intel Core2 T7200 (6:15:6:0:0) at 2400.00 MHz\n"},
      {"GenuineIntel", Signature(6, 7, 6, 0, 1), "] CPU: Intel Core2 Duo P8600 (6:7:6:0:1) at 2400.00 MHz\n"},
      {"GenuineIntel", Signature(6, 7, 10, 0, 1), "] CPU: Intel 6:7:10:0:1 at 2400.00 MHz\n"},
      {"AuthenticAMD", Signature(15, 1, 2, 1), "] CPU: AMD 16:1:2:1:0 at 2400.00 MHz\n"},
      {"UMC UMC UMC ", Signature(4, 1, 0), "] CPU: UMC 4:1:0:0:0 at"},
      {"CyrixInstead", Signature(5, 4, 0), "] CPU: Cyrix/VIA 5:4:0:0:0 at"},
      {"NexGenDriven", Signature(5, 0, 0), "] CPU: NexGen 5:0:0:0:0 at"},
      {"CentaurHauls", Signature(6, 9, 8), "] CPU: IDT/Centaur/VIA 6:9:8:0:0 at"},
      {"RiseRiseRise", Signature(5, 0, 4), "] CPU: Rise 5:0:4:0:0 at"},
      {"GenuineTMx86", Signature(5, 4, 3), "] CPU: Transmeta 5:4:3:0:0 at"},
      {"KVMKVMKVMKVM", Signature(6, 13, 3), "] CPU: KVMKVMKVMKVM 6:13:3:0:0 at"},  // unknown: kept as is
  };
  for (const auto& c : cases) {
    Detected d = Detect({}, c.vendor, c.signature);
    EXPECT_TRUE(Contains(d.out, c.line)) << d.out;
    EXPECT_TRUE(Contains(d.out, "[cpu][cpu.cpp:")) << d.out;
    EXPECT_TRUE(Contains(d.out, ":SYS_GetCPU()]  --- determine cpu capabilities\n")) << d.out;
  }
}

TEST_F(Cpu, FeatureLineAndSwitches) {
  constexpr uint32_t kAllEcx1 = 1u | (1u << 9) | (1u << 19) | (1u << 20);
  constexpr uint32_t kExtEdx = (1u << 29) | (1u << 22) | (1u << 30) | (1u << 31);
  constexpr uint32_t kExtEcx = (1u << 6) | (1u << 11);
  struct Case {
    std::initializer_list<std::string> switches;
    const char* line;
    const char* fields;
  } cases[] = {
      {{}, "]  - [2 cpu] [x64] [mmx] [sse] [sse2] [sse3] [ssse3] [sse4.1] [sse4.2] [sse4.a] [sse5.a] \n",
       "count=2 sse2=1 x64=1"},
      {{"-disable-sse2"}, "]  - [2 cpu] [x64] [mmx] [sse] [sse3] [ssse3] [sse4.1] [sse4.2] [sse4.a] [sse5.a] \n",
       "count=2 sse2=0 x64=1"},
      {{"-disable-mmx", "-disable-sse", "-disable-sse3", "-disable-ssse3", "-disable-sse41", "-disable-sse42",
        "-disable-sse4a", "-disable-sse5a", "-disable-x64", "-disable-altivec"},
       "]  - [2 cpu] [sse2] \n", "count=2 sse2=1 x64=0"},
      {{"-ncpu", "4"}, "]  - [4 cpu] [x64] ", "count=4"},
      {{"-ncpu"}, "]  - [2 cpu] [x64] ", "count=2"},  // no number: the count stays
      {{"-ncpu", "0"}, "]  - [2 cpu] [x64] ", "count=2"},
      {{"-ncpu", "-3"}, "]  - [2 cpu] [x64] ", "count=2"},
  };
  for (const auto& c : cases) {
    Detected d = Detect(c.switches, "GenuineIntel", Signature(6, 15, 6), kTsc | kMmx | kSse | kSse2, kAllEcx1,
                        0x80000008u, kExtEdx, kExtEcx);
    EXPECT_TRUE(Contains(d.out, c.line)) << c.line << "\n" << d.out;
    EXPECT_TRUE(Contains(d.err, c.fields)) << d.err;
    EXPECT_FALSE(Contains(d.err, "FAILED")) << d.err;
  }
}

TEST_F(Cpu, LinesFollowTheModuleSwitch) {
  auto r = qt::RunInChild([] {
    Processor("GenuineIntel", Signature(6, 15, 6), kTsc, 0);
    qt::TempDir dir;
    qt::ChangeDir cd(dir.path());
    qt::Args args{"\\opt\\disk\\kelm", "-c"};
    SYS_BaseInit(nullptr, args.argc(), args.argv(), nullptr);
  });
  ASSERT_EQ(r.exitCode, 0);
  EXPECT_FALSE(Contains(r.out, "[cpu]")) << r.out;
}

}  // namespace
