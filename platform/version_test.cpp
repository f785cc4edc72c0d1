#include "platform/version.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

class Version : public ::testing::Test {
 protected:
  void TearDown() override {
    plat::ResetVersionRecord();
    plat::ClearRegistry();
  }
};

TEST_F(Version, StandInRecord) {
  OSVERSIONINFOEXA ex{};
  ex.dwOSVersionInfoSize = sizeof ex;
  ASSERT_TRUE(GetVersionExA(&ex));
  EXPECT_EQ(ex.dwMajorVersion, 6u);
  EXPECT_EQ(ex.dwMinorVersion, 1u);
  EXPECT_EQ(ex.dwBuildNumber, 7601u);
  EXPECT_EQ(ex.dwPlatformId, VER_PLATFORM_WIN32_NT);
  EXPECT_STREQ(ex.szCSDVersion, "Service Pack 1");
  EXPECT_EQ(ex.wProductType, VER_NT_WORKSTATION);
  EXPECT_EQ(ex.wSuiteMask, 0);
  EXPECT_EQ(GetSystemMetrics(SM_SERVERR2), 0);

  OSVERSIONINFOA basic{};
  basic.dwOSVersionInfoSize = sizeof basic;
  ASSERT_TRUE(GetVersionExA(&basic));
  EXPECT_EQ(basic.dwBuildNumber, 7601u);

  OSVERSIONINFOA wrong{};
  wrong.dwOSVersionInfoSize = 100;
  EXPECT_FALSE(GetVersionExA(&wrong));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST_F(Version, TestsSetTheRecord) {
  OSVERSIONINFOEXA r{};
  r.dwMajorVersion = 4;
  r.dwBuildNumber = 1381;
  r.dwPlatformId = VER_PLATFORM_WIN32_NT;
  std::strcpy(r.szCSDVersion, "Service Pack 5");
  plat::SetVersionRecord(r, false);
  plat::SetServerR2(true);
  EXPECT_EQ(GetSystemMetrics(SM_SERVERR2), 1);

  OSVERSIONINFOEXA ex{};
  ex.dwOSVersionInfoSize = sizeof ex;
  EXPECT_FALSE(GetVersionExA(&ex));  // the extended record is refused
  OSVERSIONINFOA basic{};
  basic.dwOSVersionInfoSize = sizeof basic;
  ASSERT_TRUE(GetVersionExA(&basic));
  EXPECT_EQ(basic.dwMajorVersion, 4u);
  EXPECT_EQ(basic.dwOSVersionInfoSize, sizeof basic);
  EXPECT_STREQ(basic.szCSDVersion, "Service Pack 5");
}

TEST_F(Version, RegistryIsEmptyUntilTestsFillIt) {
  HKEY key = nullptr;
  const char* path = "SYSTEM\\CurrentControlSet\\Control\\ProductOptions";
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_QUERY_VALUE, &key), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(key, nullptr);

  plat::SetRegistryText(HKEY_LOCAL_MACHINE, path, "ProductType", "LANMANNT");
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "system\\currentcontrolset", 0, KEY_READ, &key), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControl", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "system\\CURRENTCONTROLSET\\control\\productoptions", 0,
                          KEY_QUERY_VALUE, &key),
            ERROR_SUCCESS);

  DWORD type = 0, size = 0;
  EXPECT_EQ(RegQueryValueExA(key, "producttype", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(type, REG_SZ);
  EXPECT_EQ(size, 9u);  // with its terminating zero
  char small[4];
  size = sizeof small;
  EXPECT_EQ(RegQueryValueExA(key, "ProductType", nullptr, nullptr, reinterpret_cast<BYTE*>(small), &size),
            ERROR_MORE_DATA);
  EXPECT_EQ(size, 9u);
  char text[80];
  size = sizeof text;
  EXPECT_EQ(RegQueryValueExA(key, "ProductType", nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size),
            ERROR_SUCCESS);
  EXPECT_STREQ(text, "LANMANNT");
  EXPECT_EQ(RegQueryValueExA(key, "Other", nullptr, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);

  plat::ClearRegistry();
  EXPECT_EQ(RegQueryValueExA(key, "ProductType", nullptr, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);  // closed already
  EXPECT_EQ(RegQueryValueExA(key, "ProductType", nullptr, nullptr, nullptr, &size), ERROR_INVALID_HANDLE);
}

}  // namespace
