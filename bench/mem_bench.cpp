// The tracked allocator promises constant-time allocation and release: the
// cost per block must not grow with the number of live blocks.
#include <benchmark/benchmark.h>

#include <vector>

#include "framework/base/log.h"
#include "framework/base/mem.h"

static void AllocateAndRelease(benchmark::State& state) {
  std::vector<void*> live(static_cast<size_t>(state.range(0)));
  for (auto& p : live) p = SYS_MemGet(32);
  for (auto _ : state) {
    void* p = SYS_MemGet(64);
    benchmark::DoNotOptimize(p);
    SYS_MemFree(p);
  }
  for (auto& p : live) SYS_MemFree(p);
}
BENCHMARK(AllocateAndRelease)->Arg(0)->Arg(1000)->Arg(100000);

static void LogLineWhileLoggingIsOff(benchmark::State& state) {
  for (auto _ : state) SYS_DbgMessage(SYS_DBG_MSG, "[bench][%s:%d:%s()] %d\n", SYS_LOGPOS, 42);
}
BENCHMARK(LogLineWhileLoggingIsOff);
