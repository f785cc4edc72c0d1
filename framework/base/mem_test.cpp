#include "framework/base/mem.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <utility>
#include <vector>
#include <string>

#include "framework/base/bytes.h"
#include "framework/base/cfg.h"
#include "framework/base/log.h"
#include "framework/base/main.h"
#include "testsupport/testsupport.h"

namespace {

using qt::Contains;

// Runs body in a child started with the given switches, in a fresh folder.
qt::ChildResult WithSwitches(const qt::TempDir& dir, std::initializer_list<std::string> args,
                             const std::function<void()>& body) {
  return qt::RunInChild([&] {
    qt::ChangeDir cd(dir.path());
    std::vector<std::string> all{"\\bin\\prog"};
    all.insert(all.end(), args.begin(), args.end());
    for (auto& a : all) SYS_CfgAdd(a.c_str());
    SYS_DbgInit();
    SYS_MemInit();
    body();
  });
}

// The report's part behind its time stamp.
std::string ReportBody(const std::string& report) {
  std::string::size_type at = report.find("\n\n", report.find("--- started : "));
  return at == std::string::npos ? report : report.substr(at + 2);
}

TEST(Mem, LeakReportListsBlocksNewestFirst) {
  qt::TempDir dir;
  auto r = qt::RunInChild([&] {
    qt::ChangeDir cd(dir.path());
    SYS_MemInfo("empty.txt");
    void* a = _SYS_MemGet(10, "a.c", 1);
    void* b = _SYS_MemGet(20, "b.c", 2);
    void* c = _SYS_MemGet(30, "a_file_name_much_longer_than_forty_three_chars.c", 3);
    SYS_MemInfo(nullptr);
    (void)a, (void)b, (void)c;
  });
  ASSERT_EQ(r.exitCode, 0);
  std::string empty = qt::ReadFile(dir / "empty.txt");
  EXPECT_EQ(empty.rfind("\n--- Quarnel memory manager\n--- started : ", 0), 0u);
  EXPECT_EQ(ReportBody(empty), "No memory allocated.\n\n\nTotal: 0 bytes\n---\n");
  std::string full = qt::ReadFile(dir / "debug.memleaks");
  EXPECT_EQ(ReportBody(full),
            "Unreleased memory:\n\n"
            "a_file_name_much_longer_than_forty_three_ch:3 -> 30 bytes\n"
            "b.c:2 -> 20 bytes\n"
            "a.c:1 -> 10 bytes\n"
            "\n\nTotal: 60 bytes\n---\n");
}

TEST(Mem, ReleaseAtBaseDoneWritesReportWhereAsked) {
  struct Case {
    std::initializer_list<std::string> args;
    const char* reportFile;
  } cases[] = {{{"-debug-memleak"}, "debug.memleaks"},
               {{"-debug-memleak", "-mf", "leaks.txt"}, "leaks.txt"},
               {{"-debug-memleak", "-mf"}, "debug.memleaks"}};
  for (const auto& c : cases) {
    qt::TempDir dir;
    auto r = WithSwitches(dir, c.args, [] {
      _SYS_MemGet(10, "leak.c", 7);
      SYS_BaseDone();
    });
    ASSERT_EQ(r.exitCode, 0);
    EXPECT_TRUE(Contains(qt::ReadFile(dir / c.reportFile), "leak.c:7 -> 10 bytes\n")) << c.reportFile;
  }
  qt::TempDir none;
  WithSwitches(none, {}, [] { SYS_BaseDone(); });
  EXPECT_FALSE(qt::FileExists(none / "debug.memleaks"));
}

TEST(Mem, SizeZeroAndZeroFill) {
  errSetLastError(3);
  EXPECT_EQ(_SYS_MemGet(0, "t", 1), nullptr);
  EXPECT_EQ(errGetLastError(), 3);  // no code of its own
  auto* p = static_cast<unsigned char*>(SYS_MemGet(64));
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % 16, 0u);
  for (int i = 0; i < 64; ++i) EXPECT_EQ(p[i], 0);
  EXPECT_EQ(SYS_MemSize(p), 64);
  EXPECT_EQ(SYS_MemSize(nullptr), -1);
  EXPECT_EQ(errGetLastError(), 10);
  SYS_MemFree(p);
  EXPECT_EQ(p, nullptr);
}

TEST(Mem, ReallocKeepsContents) {
  struct Case {
    size_t from, to;
  } cases[] = {{100, 10}, {10, 100}, {16, 16}};
  for (const auto& c : cases) {
    auto* p = static_cast<unsigned char*>(SYS_MemGet(c.from));
    for (size_t i = 0; i < c.from; ++i) p[i] = static_cast<unsigned char>(i + 1);
    unsigned char* q = SYS_MemRealloc(p, c.to);
    ASSERT_NE(q, nullptr);
    EXPECT_EQ(p, q);
    EXPECT_EQ(SYS_MemSize(q), static_cast<int64_t>(c.to));
    for (size_t i = 0; i < c.to; ++i) EXPECT_EQ(q[i], i < c.from ? i + 1 : 0) << c.from << "->" << c.to;
    SYS_MemFree(q);
  }
  unsigned char* p = nullptr;
  EXPECT_NE(SYS_MemRealloc(p, 8), nullptr);  // from nothing: a new block
  EXPECT_EQ(SYS_MemRealloc(p, 0), nullptr);  // to nothing: released
  EXPECT_EQ(p, nullptr);
  EXPECT_EQ(_SYS_MemRealloc(nullptr, 8, "t", 1), nullptr);
}

TEST(Mem, DoubleReleaseAndOverrunAreReportedAndKept) {
  qt::TempDir dir;
  auto r = WithSwitches(dir, {"-v"}, [] {
    void* first = _SYS_MemGet(10, "first.c", 11);
    void* copy = first;
    _SYS_MemFree(&first, "free1.c", 21);
    _SYS_MemFree(&copy, "free2.c", 22);  // already released: reported, nothing read
    if (copy == nullptr) _exit(2);       // the variable keeps its value

    auto* over = static_cast<unsigned char*>(_SYS_MemGet(10, "over.c", 12));
    over[10] = 0xAB;  // one byte behind the end
    void* v = over;
    _SYS_MemFree(&v, "free3.c", 23);
    if (v == nullptr) _exit(3);
    // A corrupted block stays listed; its resize refuses to copy from it.
    if (_SYS_MemRealloc(&v, 100, "re.c", 24) != nullptr) _exit(4);
    SYS_MemInfo("list.txt");
  });
  ASSERT_EQ(r.exitCode, 0) << r.err;
  std::string log = qt::ReadFile(dir / "debug.log");
  EXPECT_TRUE(Contains(log, "\n!!! Already released or corrupted memory area: "));
  EXPECT_TRUE(Contains(log, "!!!  - b: 00000000, a: 00000000, fence: 71726e7a\n!!!  - SYS_MemFree: free2.c:22\n"));
  EXPECT_TRUE(Contains(log, "!!!  - b: 71726e7a, a: 71726eab, fence: 71726e7a\n!!!  - SYS_MemFree: free3.c:23\n"
                            "!!!  - SYS_MemGet: over.c:12\n\n"));
  EXPECT_TRUE(Contains(log, "SYS_MemFree: re.c:24"));
  EXPECT_TRUE(Contains(qt::ReadFile(dir / "list.txt"), "over.c:12 -> 10 bytes\n"));
}

TEST(Mem, DfreeEndsTheProcess) {
  qt::TempDir dir;
  auto r = WithSwitches(dir, {"-debug-dfree"}, [] {
    void* p = _SYS_MemGet(4, "x.c", 1);
    void* q = p;
    _SYS_MemFree(&p, "x.c", 2);
    _SYS_MemFree(&q, "x.c", 3);
    _exit(0);
  });
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(Contains(r.err, "Memory handler already released, or corrupted."));
}

// A block that its caller fills itself is tracked as any other: listed in
// the report with its origin and size, sized, logged with "debug-memalloc",
// guarded against overruns and released.
TEST(Mem, FilledBlocksAreTrackedAlike) {
  qt::TempDir dir;
  auto r = WithSwitches(dir, {"-v", "-debug-memalloc"}, [] {
    auto* p = static_cast<unsigned char*>(_SYS_MemGetFilled(40, "fill.c", 5));
    if (!p || reinterpret_cast<uintptr_t>(p) % 16 != 0 || SYS_MemSize(p) != 40) std::_Exit(2);
    std::memset(p, 0xAB, 40);
    SYS_MemInfo("report.txt");
    p[40] = 0;  // one byte behind the end
    void* q = p;
    _SYS_MemFree(&q, "free.c", 6);
    if (q != p) std::_Exit(3);  // a damaged block stays listed
    if (_SYS_MemGetFilled(0, "fill.c", 7) != nullptr) std::_Exit(4);
  });
  ASSERT_EQ(r.exitCode, 0);
  // The newest block heads the list.
  EXPECT_EQ(ReportBody(qt::ReadFile(dir / "report.txt")).rfind("Unreleased memory:\n\nfill.c:5 -> 40 bytes\n", 0), 0u);
  std::string log = qt::ReadFile(dir / "debug.log");
  EXPECT_TRUE(Contains(log, "_SYS_MemGet()]  - allocated: 0x"));
  EXPECT_TRUE(Contains(log, " in fill.c:5\n"));
  EXPECT_TRUE(Contains(log, "Already released or corrupted memory area"));
  EXPECT_TRUE(Contains(log, "!!!  - SYS_MemGet: fill.c:5\n"));
}

TEST(Mem, AllocationLogDoesNotRecurse) {
  qt::TempDir dir;
  auto r = WithSwitches(dir, {"-v", "-debug-ts", "-debug-memalloc"}, [] {
    _SYS_MemGet(5, "mine.c", 99);
    SYS_DbgMessage(SYS_DBG_MSG, "done\n");
  });
  ASSERT_EQ(r.exitCode, 0);
  std::string log = qt::ReadFile(dir / "debug.log");
  EXPECT_TRUE(Contains(log, "[mem]["));
  EXPECT_TRUE(Contains(log, "_SYS_MemGet()]  - allocated: 0x"));
  EXPECT_TRUE(Contains(log, " in mine.c:99\n"));
  EXPECT_TRUE(Contains(log, " done\n"));
}

TEST(Mem, DumpHasTheFixedLayout) {
  qt::TempDir dir;
  qt::ChangeDir cd(dir.path());
  auto* p = static_cast<unsigned char*>(_SYS_MemGet(3, "dump.c", 0x1234));
  p[0] = 'a', p[1] = 'b', p[2] = 'c';
  ASSERT_EQ(SYS_MemDump("blk", p), 0);
  std::string d = qt::ReadFile("blk.memdump");
  ASSERT_EQ(d.size(), 3u + 68u);
  auto u32 = [&](size_t at) {
    uint32_t v = 0;
    SYS_ByteReader::U32At({reinterpret_cast<const uint8_t*>(d.data()), d.size()}, at, v);
    return v;
  };
  EXPECT_EQ(u32(0), 3u);
  EXPECT_EQ(std::string(d.data() + 12), "dump.c");
  EXPECT_EQ(u32(56), 0x1234u);
  EXPECT_EQ(u32(60), SYS_MEM_GUARD);
  EXPECT_EQ(d.substr(64, 3), "abc");
  EXPECT_EQ(u32(67), SYS_MEM_GUARD);
  EXPECT_EQ(SYS_MemDump("no-such-folder\\x", p), -1);
  EXPECT_EQ(errGetLastError(), 9);
  void* v = p;
  _SYS_MemFree(&v, "dump.c", 1);
}

// A pointer the allocator does not hold (released, foreign, or inside a
// block) has no header to read: asking for its size or dump must not touch
// it. Under the address sanitizer a read would abort the test.
TEST(Mem, SizeAndDumpRefuseBlocksThatAreNotLive) {
  qt::TempDir dir;
  qt::ChangeDir cd(dir.path());
  void* released = _SYS_MemGet(24, "gone.c", 1);
  const void* stale = released;
  _SYS_MemFree(&released, "gone.c", 2);
  unsigned char foreign[128] = {};
  void* live = _SYS_MemGet(32, "live.c", 3);
  const void* inside = static_cast<unsigned char*>(live) + 16;
  for (const void* p : {stale, static_cast<const void*>(foreign + 96), inside}) {
    errClear();
    EXPECT_EQ(SYS_MemSize(p), -1);
    EXPECT_EQ(errGetLastError(), 10);
    EXPECT_EQ(SYS_MemDump("stray", p), -1);
    EXPECT_EQ(errGetLastError(), 10);
  }
  EXPECT_FALSE(qt::FileExists("stray.memdump"));
  EXPECT_EQ(SYS_MemSize(live), 32);
  _SYS_MemFree(&live, "live.c", 4);
}

// The allocator's record of live blocks stays right through any order of
// allocations and releases: every live block answers with its size and
// every released one is refused.
TEST(Mem, LiveBlocksStayKnownInAnyOrder) {
  std::mt19937 rng(1234);
  std::vector<std::pair<void*, size_t>> live;
  std::vector<const void*> released;
  for (int step = 0; step < 20000; ++step) {
    if (live.empty() || rng() % 3 != 0) {
      const size_t size = 1 + rng() % 200;
      live.emplace_back(_SYS_MemGet(size, "order.c", step), size);
    } else {
      const size_t at = rng() % live.size();
      void* p = live[at].first;
      released.push_back(p);
      _SYS_MemFree(&p, "order.c", step);
      ASSERT_EQ(p, nullptr);
      live[at] = live.back();
      live.pop_back();
    }
  }
  for (const auto& [p, size] : live) ASSERT_EQ(SYS_MemSize(p), static_cast<int64_t>(size));
  size_t refused = 0;
  for (const void* p : released) {
    // The system may hand a released address out again for a later block.
    if (std::any_of(live.begin(), live.end(), [&](const auto& b) { return b.first == p; })) continue;
    EXPECT_EQ(SYS_MemSize(p), -1);
    ++refused;
  }
  EXPECT_GT(refused, 0u);
  for (auto& [p, size] : live) _SYS_MemFree(&p, "order.c", 0);
}

TEST(Mem, MachineMemory) {
  EXPECT_GT(SYS_MemTotal(), 0u);
  EXPECT_LE(SYS_MemAvail(), SYS_MemTotal());
}

}  // namespace
