#include "framework/base/info.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "framework/base/cpu.h"
#include "framework/base/log.h"
#include "framework/base/main.h"
#include "platform/cpuid.h"
#include "platform/kernel.h"
#include "platform/version.h"
#include "testsupport/testsupport.h"

namespace {

using qt::Contains;

struct RegistryText {
  const char* key;
  const char* value;  // null: the key alone
  const char* text;
};

struct ProductCase {
  const char* what;
  DWORD platform, major, minor, build;
  const char* servicePack;
  BYTE productType;
  WORD suite;
  bool extended;
  bool serverR2;
  std::vector<RegistryText> registry;
  const char* product;
  const char* kernel;
};

const char* const kProductOptions = "SYSTEM\\CurrentControlSet\\Control\\ProductOptions";
const char* const kHotfix = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Hotfix\\Q246009";
const std::string kLongProductType(90, 'W');  // more than the 80 bytes read

OSVERSIONINFOEXA Record(const ProductCase& c) {
  OSVERSIONINFOEXA r{};
  r.dwMajorVersion = c.major;
  r.dwMinorVersion = c.minor;
  r.dwBuildNumber = c.build;
  r.dwPlatformId = c.platform;
  std::snprintf(r.szCSDVersion, sizeof r.szCSDVersion, "%s", c.servicePack);
  r.wProductType = c.productType;
  r.wSuiteMask = c.suite;
  return r;
}

// The product texts need no processor: without identification the record is
// never built, so the child processes of later tests still detect their own.
class InfoText : public ::testing::Test {
 protected:
  void SetUp() override { plat::SetCpuidMissing(true); }
  void TearDown() override {
    plat::SetCpuidMissing(false);
    plat::ClearRegistry();
    plat::ResetVersionRecord();
    SYS_InfoDone();
  }
};

TEST_F(InfoText, ProductTextFollowsTheVersionRecordAndRegistry) {
  const ProductCase cases[] = {
      {"XP Professional", 2, 5, 1, 2600, "Service Pack 3", 1, 0, true, false, {},
       "Windows XP Professional Service Pack 3 (Build 2600)", "5.1"},
      {"XP Home", 2, 5, 1, 2600, "Service Pack 3", 1, 0x0200, true, false, {},
       "Windows XP home Edition Service Pack 3 (Build 2600)", "5.1"},
      {"Windows 7", 2, 6, 1, 7601, "Service Pack 1", 1, 0, true, false, {},
       "Windows 7 Professional Service Pack 1 (Build 7601)", "6.1"},
      {"Vista", 2, 6, 0, 6002, "Service Pack 2", 1, 0, true, false, {},
       "Windows Vista Professional Service Pack 2 (Build 6002)", "6.0"},
      {"unnamed NT 6.2", 2, 6, 2, 9200, "", 1, 0, true, false, {}, "Professional  (Build 9200)", "6.2"},
      // The server names of 6.0 and 6.1 run into the edition as they always did.
      {"Server 2008 R2", 2, 6, 1, 7601, "Service Pack 1", 3, 0, true, false, {},
       "Windows Windows Server 2008 R2Server 4.0 Service Pack 1 (Build 7601)", "6.1"},
      {"2003 R2 Datacenter", 2, 5, 2, 3790, "Service Pack 2", 3, 0x0080, true, true, {},
       "Windows Server 2003 R2,  Datacenter Edition Service Pack 2 (Build 3790)", "5.2"},
      {"2003 Enterprise", 2, 5, 2, 3790, "Service Pack 1", 3, 0x0402, true, false, {},
       "Windows Server 2003,  Enterprise Edition Service Pack 1 (Build 3790)", "5.2"},
      {"2003 Web", 2, 5, 2, 3790, "Service Pack 1", 3, 0x0400, true, false, {},
       "Windows Server 2003,  Web Edition Service Pack 1 (Build 3790)", "5.2"},
      {"2003 Standard (not exactly the web mask)", 2, 5, 2, 3790, "", 3, 0x0410, true, false, {},
       "Windows Server 2003,  Standard Edition  (Build 3790)", "5.2"},
      {"2000 Advanced Server", 2, 5, 0, 2195, "Service Pack 4", 3, 0x0002, true, false, {},
       "Windows 2000 Advanced Server Service Pack 4 (Build 2195)", "5.0"},
      {"2000 Datacenter", 2, 5, 0, 2195, "Service Pack 4", 3, 0x0082, true, false, {},
       "Windows 2000 Datacenter Server Service Pack 4 (Build 2195)", "5.0"},
      {"2000 domain controller", 2, 5, 0, 2195, "Service Pack 4", 2, 0, true, false, {},
       "Windows 2000 Service Pack 4 (Build 2195)", "5.0"},
      {"NT4 Enterprise", 2, 4, 0, 1381, "Service Pack 5", 3, 0x0002, true, false, {},
       "Windows NT Server 4.0, Enterprise Edition Service Pack 5 (Build 1381)", "4.0"},
      {"NT4 SP6", 2, 4, 0, 1381, "Service Pack 6", 1, 0, true, false, {},
       "Windows NT Workstation 4.0 Service Pack 6 (Build 1381)", "4.0"},
      {"NT4 SP6 with the hotfix", 2, 4, 0, 1381, "service pack 6", 1, 0, true, false, {{kHotfix, nullptr, nullptr}},
       "Windows NT Workstation 4.0 Service Pack 6a (Build 1381)", "4.0"},
      {"NT4 basic record, LANMANNT", 2, 4, 0, 1381, "Service Pack 5", 0, 0, false, false,
       {{kProductOptions, "ProductType", "LANMANNT"}}, "Windows NT Server 4.0 Service Pack 5 (Build 1381)", "4.0"},
      {"NT4 basic record, winnt", 2, 4, 0, 1381, "Service Pack 5", 0, 0, false, false,
       {{kProductOptions, "ProductType", "winnt"}}, "Windows NT Workstation 4.0 Service Pack 5 (Build 1381)", "4.0"},
      {"NT4 basic record, SERVERNT", 2, 4, 0, 1381, "Service Pack 5", 0, 0, false, false,
       {{kProductOptions, "ProductType", "SERVERNT"}},
       "Windows NT Advanced Server 4.0 Service Pack 5 (Build 1381)", "4.0"},
      {"NT4 basic record, no registry", 2, 4, 0, 1381, "Service Pack 5", 0, 0, false, false, {},
       "Windows NT 4.0 Service Pack 5 (Build 1381)", "4.0"},
      {"NT4 basic record, product type too long", 2, 4, 0, 1381, "", 0, 0, false, false,
       {{kProductOptions, "ProductType", kLongProductType.c_str()}}, "Windows NT 4.0  (Build 1381)", "4.0"},
      {"build number keeps its low 16 bits", 2, 5, 1, 0x12340A28, "", 1, 0, true, false, {},
       "Windows XP Professional  (Build 2600)", "5.1"},
      {"95", 1, 4, 0, 0x040003B6, " A", 0, 0, true, false, {}, "Windows 95 ", "4.0"},
      {"95 OSR2", 1, 4, 0, 0x04000457, " B", 0, 0, true, false, {}, "Windows 95 OSR2 ", "4.0"},
      {"95 OSR2.5", 1, 4, 0, 0x04000457, " C", 0, 0, true, false, {}, "Windows 95 OSR2 ", "4.0"},
      {"98", 1, 4, 10, 0x040A07CE, " ", 0, 0, true, false, {}, "Windows 98 ", "4.10"},
      {"98 SE", 1, 4, 10, 0x040A08AE, " A ", 0, 0, true, false, {}, "Windows 98 SE ", "4.10"},
      {"Me", 1, 4, 90, 0x045A0BB8, " ", 0, 0, true, false, {}, "Windows Millennium Edition", "4.90"},
      {"Win32s", 0, 3, 10, 0, "", 0, 0, true, false, {}, "", "3.10"},
  };
  for (const auto& c : cases) {
    plat::ClearRegistry();
    for (const auto& r : c.registry) plat::SetRegistryText(HKEY_LOCAL_MACHINE, r.key, r.value, r.text);
    plat::SetVersionRecord(Record(c), c.extended);
    plat::SetServerR2(c.serverR2);
    EXPECT_EQ(SYS_DetectSystem(), 0);
    const char* product = SYS_GetString(SYS_INFO_PRODUCT);
    ASSERT_NE(product, nullptr) << c.what;
    EXPECT_STREQ(product, c.product) << c.what;
    EXPECT_STREQ(SYS_GetString(SYS_INFO_KERNEL), c.kernel) << c.what;
    EXPECT_STREQ(SYS_GetString(SYS_INFO_OSTYPE), "Microsoft Windows (TM)") << c.what;
  }
}

TEST_F(InfoText, ThePlatformStandsInForWindows7) {
  SYS_DetectSystem();
  EXPECT_STREQ(SYS_GetString(SYS_INFO_PRODUCT), "Windows 7 Professional Service Pack 1 (Build 7601)");
  EXPECT_STREQ(SYS_GetString(SYS_INFO_KERNEL), "6.1");
}

// A fake machine: the counter runs at 2400 ticks per microsecond and every
// sleep moves the clock on at once.
uint64_t fakeMs = 1000;
DWORD FakeClock() { return static_cast<DWORD>(fakeMs); }
void FakeSleep(DWORD ms) { fakeMs += ms; }
uint64_t FakeCounter() { return fakeMs * 2400000u; }

void UseFakeClock() {
  plat::SetClockHook(&FakeClock);
  plat::SetSleepHook(&FakeSleep);
  plat::SetTimeStampHook(&FakeCounter);
}

TEST(Info, SelectorsHandOutTheTexts) {
  auto r = qt::RunInChild([] {
    UseFakeClock();
    CHILD_CHECK(SYS_GetString(SYS_INFO_OSTYPE) == nullptr);  // before the detection
    CHILD_CHECK(SYS_GetString(SYS_INFO_PRODUCT) == nullptr);
    CHILD_CHECK(SYS_GetString(SYS_INFO_KERNEL) == nullptr);
    SYS_DetectSystem();
    CHILD_CHECK(std::string(SYS_GetString(SYS_INFO_KERNEL)) == "6.1");
    SYS_PCPU_t cpu = SYS_GetCPU();
    CHILD_CHECK(cpu != nullptr);
    if (!cpu) return;
    CHILD_CHECK(SYS_GetString(SYS_INFO_CPUNAME) == cpu->name);
    CHILD_CHECK(reinterpret_cast<const void*>(SYS_GetString(SYS_INFO_CPU)) == cpu);
    const char* clock = SYS_GetString(SYS_INFO_CPUCLOCK);
    CHILD_CHECK(std::string(clock) == "2400.00 MHz");
    cpu->mhz = 1000.125f;
    CHILD_CHECK(SYS_GetString(SYS_INFO_CPUCLOCK) == clock);  // one shared buffer
    CHILD_CHECK(std::string(clock) == "1000.12 MHz" || std::string(clock) == "1000.13 MHz");
    CHILD_CHECK(SYS_GetString(6) == nullptr && errGetLastError() == ERR_BADARG);
    CHILD_CHECK(SYS_GetString(0xFFFFFFFFu) == nullptr && errGetLastError() == ERR_BADARG);
    SYS_InfoDone();
    CHILD_CHECK(SYS_GetString(SYS_INFO_OSTYPE) == nullptr);
    CHILD_CHECK(SYS_GetString(SYS_INFO_PRODUCT) == nullptr);
    CHILD_CHECK(SYS_GetString(SYS_INFO_KERNEL) == nullptr);
    CHILD_CHECK(SYS_GetString(SYS_INFO_CPUNAME) == cpu->name);  // the record outlives the texts
  });
  ASSERT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.err, "");
}

TEST(Info, ProcessorTextsWithoutAProcessorRecord) {
  auto r = qt::RunInChild([] {
    plat::SetCpuidMissing(true);
    SYS_DetectSystem();
    CHILD_CHECK(SYS_GetString(SYS_INFO_CPUNAME) == nullptr && errGetLastError() == ERR_BADARG);
    CHILD_CHECK(SYS_GetString(SYS_INFO_CPUCLOCK) == nullptr && errGetLastError() == ERR_BADARG);
    CHILD_CHECK(SYS_GetString(SYS_INFO_CPU) == nullptr);
    CHILD_CHECK(std::string(SYS_GetString(SYS_INFO_KERNEL)) == "6.1");
    // Identification that turns up later is fetched by the next question.
    plat::SetCpuidMissing(false);
    UseFakeClock();
    CHILD_CHECK(SYS_GetString(SYS_INFO_CPUCLOCK) != nullptr);
  });
  ASSERT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.err, "");
}

TEST(Info, LogStartDescribesTheSystem) {
  for (const char* sw : {"-debug-info", "-debug-all", "-debug-cpu"}) {
    qt::TempDir dir;
    auto r = qt::RunInChild([&] {
      UseFakeClock();
      qt::ChangeDir cd(dir.path());
      qt::Args args{"\\opt\\disk\\kelm", "-c", sw};
      SYS_BaseInit(nullptr, args.argc(), args.argv(), nullptr);
    });
    ASSERT_EQ(r.exitCode, 0);
    bool shown = std::string(sw) != "-debug-cpu";
    EXPECT_EQ(Contains(r.out, "[info][info.cpp:"), shown) << sw;
    EXPECT_EQ(Contains(r.out, ":SYS_DetectSystem()] OS type: Microsoft Windows (TM)\n"), shown) << sw;
    EXPECT_EQ(Contains(r.out, "] Distrib: Windows 7 Professional Service Pack 1 (Build 7601)\n"), shown) << sw;
    EXPECT_EQ(Contains(r.out, "] Kernel version: 6.1\n"), shown) << sw;
    EXPECT_EQ(Contains(r.out, "] Total memory: "), shown) << sw;
    EXPECT_EQ(Contains(r.out, " KB\n"), shown) << sw;
    EXPECT_EQ(Contains(r.out, "] Free memory: "), shown) << sw;
    // The processor lines follow their own switch.
    EXPECT_EQ(Contains(r.out, "[cpu][cpu.cpp:"), std::string(sw) != "-debug-info") << sw;
  }
}

}  // namespace
