#include "framework/base/dl.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "framework/base/cpu.h"
#include "framework/base/iconv.h"
#include "framework/base/info.h"
#include "framework/base/list.h"
#include "framework/base/log.h"
#include "framework/base/main.h"
#include "platform/kernel.h"
#include "testsupport/testsupport.h"

namespace {

using qt::Contains;

// The lines that contain `part`, in the order they appear.
std::vector<std::string> LinesWith(const std::string& text, const std::string& part) {
  std::vector<std::string> found;
  for (const auto& line : qt::SplitLines(text))
    if (Contains(line, part)) found.push_back(line);
  return found;
}

// A program folder with the test module in Modules, the base library
// started there with the given switches, then body.
qt::ChildResult InModuleFolder(std::initializer_list<std::string> args, const std::function<void()>& body) {
  return qt::RunInChild([&] {
    qt::TempDir dir;
    std::string module = qt::ReadFile(QUARN_TESTMOD_PATH);
    mkdir((dir / "Modules").c_str(), 0755);
    qt::WriteFile(dir / "Modules/testmod-w32.so", module);
    qt::WriteFile(dir / "Modules/broken-w32.so", "this is not a shared object\n");
    qt::ChangeDir cd(dir.path());
    std::vector<std::string> all{"\\opt\\disk\\kelm"};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& s : all) argv.push_back(s.data());
    SYS_BaseInit(nullptr, static_cast<int>(argv.size()), argv.data(), nullptr);
    body();
  });
}

template <class F>
F Entry(void* handle, const char* name) {
  void* address = SYS_DlGetProc(handle, name);
  F f;
  std::memcpy(&f, &address, sizeof f);
  return f;
}

TEST(Dl, ModuleIsInitialisedOnceAndReusedByName) {
  auto r = InModuleFolder({"-c", "-debug-dl", "-debug-dlsymbols"}, [] {
    void* h = SYS_DlOpen("testmod");
    CHILD_CHECK(h != nullptr);
    CHILD_CHECK(errGetLastError() == 0);
    auto calls = Entry<int (*)()>(h, "testmodInitCalls");
    auto lookup = Entry<void* (*)()>(h, "testmodLookup");
    auto getter = Entry<void* (*)()>(h, "testmodErrorGetter");
    CHILD_CHECK(calls && lookup && getter);
    if (!calls || !lookup || !getter) return;
    CHILD_CHECK(calls() == 1);
    CHILD_CHECK(lookup() == reinterpret_cast<void*>(&SYS_FindFunction));
    CHILD_CHECK(getter() == reinterpret_cast<void*>(&errGetLastError));

    CHILD_CHECK(SYS_DlOpen("testmod") == h);
    CHILD_CHECK(calls() == 1);

    CHILD_CHECK(SYS_DlGetProc(h, "noSuchEntry") == nullptr);
    CHILD_CHECK(errGetLastError() == 0);  // a missing entry point is no error

    PModule list = SYS_DlGetList();
    CHILD_CHECK(list && std::string(list->name) == "testmod" && list->handle == h && !list->next);
    CHILD_CHECK(SYS_DlClose(h) == 0);
    CHILD_CHECK(SYS_DlGetList() == nullptr);
  });
  ASSERT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.err, "");
  auto dl = LinesWith(r.out, "[dl][dl.cpp:");
  ASSERT_EQ(dl.size(), 5u) << r.out;
  EXPECT_TRUE(Contains(dl[0], ":SYS_DlOpen()] Load lib: Modules\\testmod-w32.so")) << dl[0];
  EXPECT_TRUE(Contains(dl[1], "] address: 0x")) << dl[1];
  EXPECT_TRUE(Contains(dl[2], "] preloaded module: testmod")) << dl[2];
  EXPECT_TRUE(Contains(dl[3], ":SYS_DlGetProc()] symbol not found: noSuchEntry (127)")) << dl[3];
  EXPECT_TRUE(Contains(dl[4], ":SYS_DlClose()] release: testmod")) << dl[4];
}

TEST(Dl, LoadFailuresGiveTheirCodesAndLines) {
  struct Case {
    const char* name;
    int code;
    const char* tried;  // the module-folder file tried first
    const char* error;  // the error line's end
  } cases[] = {
      {"nothere", ERR_DL_NOTFOUND, "Modules\\nothere-w32.so", "error: lib (nothere) not found."},
      {"ddraw.dll", ERR_DL_NOTFOUND, "Modules\\ddraw.dll-w32.so", "error: lib (ddraw.dll) not found."},
      {"d3d9.dll", ERR_DL_NOTFOUND, "Modules\\d3d9.dll-w32.so", "error: lib (d3d9.dll) not found."},
      // A name holding "-w32.so" is tried as it stands, both times.
      {"Modules\\broken-w32.so", ERR_DL_LOAD, "Modules\\broken-w32.so", "error: unknown error (193)"},
  };
  for (const auto& c : cases) {
    auto r = InModuleFolder({"-c", "-debug-dl"}, [&] {
      CHILD_CHECK(SYS_DlOpen(c.name) == nullptr);
      CHILD_CHECK(errGetLastError() == c.code);
      CHILD_CHECK(SYS_DlGetList() == nullptr);
    });
    ASSERT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.err, "") << c.name;
    auto dl = LinesWith(r.out, "[dl][");
    ASSERT_EQ(dl.size(), 3u) << r.out;
    EXPECT_TRUE(Contains(dl[0], std::string("] Load lib: ") + c.tried)) << dl[0];
    EXPECT_TRUE(Contains(dl[1], std::string("] failed,  try ") + c.name + ".")) << dl[1];
    EXPECT_TRUE(Contains(dl[2], c.error)) << dl[2];
  }
}

TEST(Dl, DetailLinesNeedTheirSwitch) {
  for (const char* extra : {"-debug-dl", "-debug-all", "-debug-info"}) {
    auto r = InModuleFolder({"-c", extra}, [] { SYS_DlOpen("nothere"); });
    ASSERT_EQ(r.exitCode, 0);
    EXPECT_EQ(Contains(r.out, "error: lib (nothere) not found."), std::string(extra) != "-debug-info") << extra;
  }
}

TEST(Dl, BadArgumentsAndUnknownHandles) {
  auto r = InModuleFolder({"-c", "-debug-dl"}, [] {
    CHILD_CHECK(SYS_DlOpen(nullptr) == nullptr && errGetLastError() == ERR_BADARG);
    int local = 0;
    CHILD_CHECK(SYS_DlGetProc(nullptr, "x") == nullptr && errGetLastError() == ERR_DL_NOHANDLE);
    CHILD_CHECK(SYS_DlGetProc(&local, nullptr) == nullptr && errGetLastError() == ERR_BADARG);
    CHILD_CHECK(SYS_DlClose(nullptr) == -1 && errGetLastError() == ERR_DL_NOHANDLE);
    CHILD_CHECK(SYS_DlAddModule(nullptr, "x") == -1 && errGetLastError() == ERR_BADARG);
    CHILD_CHECK(SYS_DlAddModule(&local, nullptr) == -1 && errGetLastError() == ERR_BADARG);
    // A handle the list never handed out is reported, not unloaded.
    void* h = SYS_DlOpen("testmod");
    std::printf("-- unknown\n");
    CHILD_CHECK(SYS_DlClose(&local) == -1 && errGetLastError() == ERR_DL_UNLOAD);
    CHILD_CHECK(SYS_DlGetList() && SYS_DlGetList()->handle == h);
    auto calls = Entry<int (*)()>(h, "testmodInitCalls");
    CHILD_CHECK(calls && calls() == 1);  // still loaded
  });
  ASSERT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.err, "");
  std::string after = r.out.substr(r.out.find("-- unknown"));
  EXPECT_EQ(LinesWith(after, "] release: testmod").size(), 1u) << after;
}

TEST(Dl, ClosingTheOldestWalksTheWholeList) {
  auto r = InModuleFolder({"-c", "-debug-dl"}, [] {
    void* h = SYS_DlOpen("testmod");
    int a = 0, b = 0;
    CHILD_CHECK(SYS_DlAddModule(&a, "Alpha") == 0);
    CHILD_CHECK(SYS_DlAddModule(&b, "Beta") == 0);
    PModule list = SYS_DlGetList();
    CHILD_CHECK(list && std::string(list->name) == "Beta" && list->next && list->next->handle == &a);
    std::printf("-- close\n");
    CHILD_CHECK(SYS_DlClose(h) == 0);
    list = SYS_DlGetList();
    CHILD_CHECK(list && list->handle == &b && list->next && list->next->handle == &a && !list->next->next);
    // The added rows are in the list but not loaded by it: unloading fails.
    CHILD_CHECK(SYS_DlClose(&a) == -1 && errGetLastError() == ERR_DL_UNLOAD);
    CHILD_CHECK(SYS_DlGetList() && SYS_DlGetList()->handle == &b && !SYS_DlGetList()->next);
  });
  ASSERT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.err, "");
  std::string after = r.out.substr(r.out.find("-- close"));
  auto released = LinesWith(after, "] release: ");
  ASSERT_GE(released.size(), 3u);
  EXPECT_TRUE(Contains(released[0], "release: Beta"));
  EXPECT_TRUE(Contains(released[1], "release: Alpha"));
  EXPECT_TRUE(Contains(released[2], "release: testmod"));
}

TEST(Dl, WindowsNamesReachTheHostGraphicsLibraries) {
  auto r = InModuleFolder({"-c", "-debug-dl", "-debug-dlsymbols"}, [] {
    static int marker;
    plat::SetModuleExports("OpenGL32.dll", [](const char* name) -> FARPROC {
      return std::string(name) == "wglTestEntry" ? reinterpret_cast<FARPROC>(&marker) : nullptr;
    });
    void* gl = SYS_DlOpen("OpenGL32.dll");
    CHILD_CHECK(gl != nullptr);
    CHILD_CHECK(SYS_DlOpen("OpenGL32.dll") == gl);
    CHILD_CHECK(SYS_DlGetProc(gl, "glGetString") != nullptr);
    CHILD_CHECK(SYS_DlGetProc(gl, "wglTestEntry") == reinterpret_cast<void*>(&marker));
    void* glu = SYS_DlOpen("GLU32.dll");
    CHILD_CHECK(glu != nullptr && SYS_DlOpen("glu32.dll") == glu);  // two rows, one library
    CHILD_CHECK(SYS_DlGetProc(glu, "gluPerspective") != nullptr);
    int rows = 0;
    for (PModule m = SYS_DlGetList(); m; m = m->next) ++rows;
    CHILD_CHECK(rows == 3);

    // A context may outlive the handles: libGL stays loaded after the close.
    CHILD_CHECK(SYS_DlClose(gl) == 0);
    CHILD_CHECK(SYS_DlClose(glu) == 0);
    CHILD_CHECK(dlopen("libGL.so.1", RTLD_NOW | RTLD_NOLOAD) != nullptr);
    CHILD_CHECK(dlopen("libGLU.so.1", RTLD_NOW | RTLD_NOLOAD) != nullptr);
    CHILD_CHECK(SYS_DlOpen("OpenGL32.dll") == gl);  // the same module comes back
  });
  ASSERT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.err, "");
  // The loader asks every library for dllInit; these have none.
  EXPECT_TRUE(Contains(r.out, "] symbol not found: dllInit (127)")) << r.out;
  EXPECT_TRUE(Contains(r.out, "] failed,  try OpenGL32.dll.")) << r.out;
}

TEST(Dl, FunctionTableKeepsItsNamesInOrder) {
  const char* const expected[] = {
      "SYS_DbgSetFlag", "SYS_DbgLogFile", "SYS_DbgPrintf", "SYS_DbgLog", "SYS_DetectSystem", "errClear",
      "errSetCallback", "errSetLastError", "errSetLastErrorEx", "errGetLastError", "SYS_DlOpen", "SYS_DlGetProc",
      "SYS_DlClose", "SYS_DlGetList", "SYS_TimerGet", "SYS_TimerSetAdjust", "SYS_TimerReset", "SYS_TimerPause",
      "SYS_Sleep", "SYS_MemInfo", "_SYS_MemFree", "SYS_MemDump", "_SYS_MemGet", "_SYS_MemRealloc", "SYS_MemSize",
      "_SYS_StrDup", "SYS_MemTotal", "SYS_MemAvail", "SYS_GetCPU", "SYS_CfgGet", "SYS_CfgAdd", "SYS_CfgLoad",
      "SYS_CfgSave", "SYS_FilePackOpen", "SYS_FindPack", "SYS_FileOpen", "SYS_FileSeek", "SYS_FileRead",
      "SYS_FileWrite", "SYS_FileGetStr", "SYS_FilePutStr", "SYS_FileClose", "SYS_FileExist", "SYS_FileSize",
      "SYS_PathSetHomeBase", "SYS_PathGet", "SYS_MkDir", "SYS_Glob", "SYS_GlobFree", "SYS_ZSetCompLevel",
      "SYS_ZCompress", "SYS_ZUncompress", "SYS_ZCrc32", "SYS_ZAdler", "SYS_TrimLeft", "SYS_StrSwap", "SYS_StrRep",
      "SYS_StrLwr", "SYS_StrUpr", "SYS_Trim", "SYS_Items", "SYS_Cut", "SYS_Cuti", "SYS_Cutu", "SYS_Cutf",
      "SYS_Str2Uri", "SYS_Uri2Str", "SYS_GetString", "SYS_ThreadCreate", "SYS_ThreadKill", "SYS_ThreadExit",
      "SYS_ThreadSelf", "SYS_MutexCreate", "SYS_MutexDestroy", "SYS_MutexLock", "SYS_MutexUnlock",
      "SYS_IConvToUCS", "SYS_LangSetFile", "SYS_LangGetPhrase", "SYS_LangDestroy", "SYS_ListAddFirst",
      "SYS_ListAddLast", "SYS_ListDelItem", "SYS_ListRemove", "SYS_SocketResolve", "SYS_SocketNew",
      "SYS_SocketConnect", "SYS_SocketListen", "SYS_SocketAccept", "SYS_SocketClear", "SYS_SocketClose",
      "SYS_SocketSend", "SYS_SocketRead", "SYS_SocketFGets", "SYS_XMLOpen", "SYS_XMLClose", "SYS_XMLSetCB",
      "SYS_XMLParse",
  };
  static_assert(std::size(expected) == SYS_FUNCTION_COUNT);
  for (size_t i = 0; i < std::size(expected); ++i) {
    ASSERT_NE(SYS_FunctionTable[i].name, nullptr) << i;
    EXPECT_STREQ(SYS_FunctionTable[i].name, expected[i]) << i;
    // The lookup answers each row with its own address (the first match).
    EXPECT_EQ(SYS_FindFunction(expected[i]), SYS_FunctionTable[i].address) << expected[i];
  }
  EXPECT_EQ(SYS_FunctionTable[SYS_FUNCTION_COUNT].name, nullptr);

  struct Known {
    const char* name;
    void* address;
  } known[] = {
      {"errGetLastError", reinterpret_cast<void*>(&errGetLastError)},
      {"SYS_DlOpen", reinterpret_cast<void*>(&SYS_DlOpen)},
      {"SYS_GetCPU", reinterpret_cast<void*>(&SYS_GetCPU)},
      {"SYS_GetString", reinterpret_cast<void*>(&SYS_GetString)},
      {"SYS_ListRemove", reinterpret_cast<void*>(&SYS_ListRemove)},
      {"SYS_IConvToUCS", reinterpret_cast<void*>(&SYS_IConvToUCS)},
  };
  for (const auto& k : known) EXPECT_EQ(SYS_FindFunction(k.name), k.address) << k.name;
  EXPECT_EQ(SYS_FindFunction("errgetlasterror"), nullptr);  // exact case
  EXPECT_EQ(SYS_FindFunction("SYS_DlAddModule"), nullptr);  // not offered to modules
  EXPECT_EQ(SYS_FindFunction(""), nullptr);
  EXPECT_EQ(SYS_FindFunction(nullptr), nullptr);
}

}  // namespace
