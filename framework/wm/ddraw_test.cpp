// The adapter queries: the failure path of this platform and, through a
// fake module, the path of a present DirectDraw and Direct3D 9.
#include "framework/wm/ddraw.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "framework/base/log.h"
#include "framework/base/mem.h"
#include "framework/wm/wm_internal.h"
#include "testsupport/wm/wm.h"

namespace {

struct Fake {
  bool haveD3d = true;
  bool haveEnumerate = true;
  HRESULT createResult = DD_OK;
  HRESULT capsResult = DD_OK;
  int ddReleases = 0, d3dReleases = 0, closes = 0;
};
Fake fake;

DWORD DdRelease(IDirectDraw*) { return static_cast<DWORD>(++fake.ddReleases); }
HRESULT DdGetCaps(IDirectDraw*, DDCAPS* caps, DDCAPS* emulation) {
  if (!caps || caps->dwSize != 380 || emulation) return -5;
  caps->dwVidMemTotal = 256u << 20;
  caps->dwVidMemFree = (100u << 20) + 12345;
  return fake.capsResult;
}
const IDirectDrawVtbl kDdVtbl = {nullptr, nullptr, DdRelease, {}, DdGetCaps};
IDirectDraw fakeDd{&kDdVtbl};

HRESULT DirectDrawCreate(void* guid, IDirectDraw** out, void* outer) {
  if (guid != DDCREATE_HARDWAREONLY || outer) return -7;
  if (fake.createResult != DD_OK) return fake.createResult;
  *out = &fakeDd;
  return DD_OK;
}
HRESULT DirectDrawEnumerateExA(void*, void*, DWORD) { return DD_OK; }

DWORD D3dRelease(IDirect3D9*) { return static_cast<DWORD>(++fake.d3dReleases); }
UINT D3dCount(IDirect3D9*) { return 2; }
HRESULT D3dIdentifier(IDirect3D9*, UINT adapter, DWORD, D3DADAPTER_IDENTIFIER9* id) {
  std::snprintf(id->Description, sizeof id->Description, "Fake Adapter %u", adapter);
  std::snprintf(id->Driver, sizeof id->Driver, "fake%u.dll", adapter);
  return DD_OK;
}
const IDirect3D9Vtbl kD3dVtbl = {nullptr, nullptr, D3dRelease, nullptr, D3dCount, D3dIdentifier};
IDirect3D9 fakeD3d{&kD3dVtbl};
IDirect3D9* Direct3DCreate9(UINT version) { return version == D3D_SDK_VERSION ? &fakeD3d : nullptr; }

int ddTag, d3dTag;
void* Open(const char* name) {
  if (std::string(name) == "ddraw.dll") return &ddTag;
  if (std::string(name) == "d3d9.dll" && fake.haveD3d) return &d3dTag;
  return nullptr;
}
template <class F>
void* Address(F f) {
  void* p;
  std::memcpy(&p, &f, sizeof p);
  return p;
}
void* GetProc(void* handle, const char* name) {
  std::string n(name);
  if (handle == &ddTag && n == "DirectDrawCreate") return Address(&DirectDrawCreate);
  if (handle == &ddTag && n == "DirectDrawEnumerateExA" && fake.haveEnumerate) return Address(&DirectDrawEnumerateExA);
  if (handle == &d3dTag && n == "Direct3DCreate9") return Address(&Direct3DCreate9);
  return nullptr;
}
int Close(void*) {
  ++fake.closes;
  return 0;
}
const wm_dd_loader_t kFakeLoader = {Open, GetProc, Close};

class Adapter : public ::testing::Test {
 protected:
  void SetUp() override {
    fake = Fake{};
    ddSetLoader(&kFakeLoader);
  }
  void TearDown() override {
    ddDone();
    ddSetLoader(nullptr);
  }
};

TEST_F(Adapter, PresentLibrariesAnswerMemoryAndName) {
  ASSERT_EQ(ddInit(), 0);
  EXPECT_EQ(ddCheckVideoMemory(), 256);
  EXPECT_EQ(fake.ddReleases, 1);
  char* name = ddGetDriverName();
  ASSERT_NE(name, nullptr);
  EXPECT_STREQ(name, "Fake Adapter 0");
  EXPECT_EQ(fake.d3dReleases, 1);
  SYS_MemFree(name);
  ddDone();
  EXPECT_EQ(fake.closes, 2);
}

TEST_F(Adapter, Failures) {
  fake.haveD3d = false;
  ASSERT_EQ(ddInit(), 0);  // no Direct3D is no failure
  char* name = ddGetDriverName();
  EXPECT_STREQ(name, "Unknown");
  SYS_MemFree(name);
  fake.createResult = -2005532552;
  EXPECT_EQ(ddCheckVideoMemory(), 0);
  fake.createResult = DD_OK;
  fake.capsResult = -1;
  EXPECT_EQ(ddCheckVideoMemory(), 0);
  EXPECT_EQ(fake.ddReleases, 1);  // released after the failed caps query
  ddDone();
  fake.haveEnumerate = false;
  EXPECT_EQ(ddInit(), 1);
}

TEST_F(Adapter, LogLines) {
  auto run = wmtest::RunLogged([] {
    ddSetLoader(&kFakeLoader);
    ddInit();
    ddCheckVideoMemory();
    char* name = ddGetDriverName();
    SYS_MemFree(name);
  });
  EXPECT_NE(run.log.find("[wm][ddraw][ddraw.cpp:"), std::string::npos) << run.log;
  EXPECT_NE(run.log.find("()] Total video memory: 256 MB\n"), std::string::npos) << run.log;
  EXPECT_NE(run.log.find("()] Free video memory: 100 MB\n"), std::string::npos);
  EXPECT_NE(run.log.find("()] Direct3D adapters: 2\n"), std::string::npos);
  EXPECT_NE(run.log.find("()]  - 1: Fake Adapter 1 (fake1.dll)\n"), std::string::npos);
}

TEST(AdapterOnThisPlatform, TakesTheFailurePath) {
  auto run = wmtest::RunLogged([] {
    if (ddInit() != 1) _exit(3);
    if (ddGetDriverName() == nullptr) _exit(4);
  });
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_NE(run.log.find("()] lib: d3d9.dll ...\n"), std::string::npos) << run.log;
  EXPECT_NE(run.log.find("()] ...failed.\n"), std::string::npos);
  EXPECT_NE(run.log.find("()] lib: DDraw.dll ...\n"), std::string::npos);
  EXPECT_NE(run.log.find("()] ...failed\n"), std::string::npos);
  // The window manager then answers no name and no memory.
  EXPECT_EQ(wmState.driverName, nullptr);
  EXPECT_EQ(wmOptions(nullptr, WM_OPT_DRIVER_NAME, 0), 0);
  EXPECT_EQ(wmOptions(nullptr, WM_OPT_VIDEO_MEMORY, 0), 0);
}

}  // namespace
