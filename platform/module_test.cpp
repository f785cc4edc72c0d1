#include <dlfcn.h>
#include <gtest/gtest.h>

#include <string>

#include "platform/kernel.h"

namespace {

TEST(Module, WellKnownNamesMapToHostModules) {
  struct Case {
    const char* name;
    bool present;
  } cases[] = {
      {"OpenGL32.dll", true}, {"OPENGL32.DLL", true}, {"opengl32", true}, {"glu32.dll", true},
      {"GLU32.dll", true},    {"KERNEL32.DLL", true}, {"kernel32", true}, {"ddraw.dll", false},
      {"DDraw.dll", false},   {"d3d9.dll", false},    {"d3d9", false},    {"no-such-library.so.7", false},
  };
  for (const auto& c : cases) {
    SetLastError(ERROR_SUCCESS);
    HMODULE m = LoadLibraryA(c.name);
    EXPECT_EQ(m != nullptr, c.present) << c.name;
    if (!c.present) {
      EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND)) << c.name;
    }
  }
  // Every spelling of a name is the one module.
  EXPECT_EQ(LoadLibraryA("OpenGL32.dll"), LoadLibraryA("opengl32"));
  EXPECT_EQ(LoadLibraryA("GLU32.dll"), LoadLibraryA("glu32.dll"));
  EXPECT_EQ(LoadLibraryA("KERNEL32.DLL"), GetModuleHandleA("kernel32.dll"));
  EXPECT_NE(GetProcAddress(LoadLibraryA("OpenGL32.dll"), "glGetString"), nullptr);
  EXPECT_NE(GetProcAddress(LoadLibraryA("glu32.dll"), "gluPerspective"), nullptr);
  EXPECT_NE(GetProcAddress(GetModuleHandleA("KERNEL32.DLL"), "TryEnterCriticalSection"), nullptr);
  EXPECT_EQ(LoadLibraryA(nullptr), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST(Module, GraphicsLibrariesStayLoaded) {
  HMODULE gl = LoadLibraryA("OpenGL32.dll");
  ASSERT_NE(gl, nullptr);
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(FreeLibrary(gl));
  EXPECT_NE(dlopen("libGL.so.1", RTLD_NOW | RTLD_NOLOAD), nullptr);
  EXPECT_NE(GetProcAddress(gl, "glGetString"), nullptr);  // the handle keeps working
}

TEST(Module, ExtraExportsComeFirst) {
  static int marker;
  plat::SetModuleExports("opengl32.DLL", [](const char* name) -> FARPROC {
    return std::string(name) == "wglGetProcAddress" ? reinterpret_cast<FARPROC>(&marker) : nullptr;
  });
  HMODULE gl = LoadLibraryA("OpenGL32.dll");
  EXPECT_EQ(reinterpret_cast<void*>(GetProcAddress(gl, "wglGetProcAddress")), &marker);
  EXPECT_NE(GetProcAddress(gl, "glViewport"), nullptr);  // the host library answers the rest
  SetLastError(ERROR_SUCCESS);
  EXPECT_EQ(GetProcAddress(gl, "wglNoSuchThing"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
  plat::SetModuleExports("OpenGL32.dll", nullptr);
  EXPECT_EQ(GetProcAddress(gl, "wglGetProcAddress"), nullptr);
}

TEST(Module, HostModulesAreCountedAndHandlesChecked) {
  HMODULE first = LoadLibraryA("libz.so.1");
  ASSERT_NE(first, nullptr);
  HMODULE second = LoadLibraryA("libz.so.1");
  EXPECT_EQ(first, second);
  EXPECT_TRUE(FreeLibrary(first));
  EXPECT_NE(GetProcAddress(first, "zlibVersion"), nullptr);  // one load still holds it
  EXPECT_TRUE(FreeLibrary(second));
  EXPECT_EQ(dlopen("libz.so.1", RTLD_NOW | RTLD_NOLOAD), nullptr);

  // A freed or foreign handle is refused instead of reaching the host loader.
  int foreign = 0;
  for (HMODULE bad : {first, static_cast<HMODULE>(&foreign), static_cast<HMODULE>(nullptr)}) {
    SetLastError(ERROR_SUCCESS);
    EXPECT_FALSE(FreeLibrary(bad));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(GetProcAddress(bad, "zlibVersion"), nullptr);
  }
  EXPECT_TRUE(FreeLibrary(GetModuleHandleA("KERNEL32.DLL")));  // our own table is never unloaded
}

TEST(Module, MissingFileAndBadFileAreToldApart) {
  SetLastError(ERROR_SUCCESS);
  EXPECT_EQ(LoadLibraryA("Modules\\nothing-w32.so"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  // This test program exists but is no loadable library.
  std::string self = plat::ProgramPath();
  SetLastError(ERROR_SUCCESS);
  HMODULE m = LoadLibraryA(self.c_str());
  if (m) {
    FreeLibrary(m);  // a position-independent program may load after all
  } else {
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BAD_EXE_FORMAT));
  }
}

}  // namespace
