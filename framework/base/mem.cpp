// The tracked allocator.
//
// Each block is one piece of system memory: the header, the caller's bytes
// (zero-filled, unless the caller overwrites them at once) and a tail guard.
// Live blocks sit on one list, newest first, and in a set of live headers,
// so that a second release or a stray pointer is recognised without reading
// memory that is no longer ours.
#include "framework/base/mem.h"

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "framework/base/bytes.h"
#include "framework/base/cfg.h"
#include "framework/base/log.h"
#include "framework/base/nodestroy.h"
#include "framework/base/time.h"
#include "platform/kernel.h"
#include "platform/user.h"

#define MEM_LOG(level, ...) SYS_LOG_TAGGED(level, "[mem]", __VA_ARGS__)
#define MEM_LOG_AS(level, fn, ...) SYS_LOG_TAGGED_AS(level, "[mem]", fn, __VA_ARGS__)

namespace {

// The header in front of every block; 16-byte aligned so the caller's bytes
// keep malloc's alignment.
struct alignas(16) SYS_MemBlock_t {
  uint32_t size;
  SYS_MemBlock_t* newer;
  SYS_MemBlock_t* older;
  char file[44];
  int32_t line;
  uint32_t guard;
};
constexpr size_t kHeader = sizeof(SYS_MemBlock_t);
constexpr size_t kTail = sizeof(uint32_t);

// The set of live headers: open addressing with linear probing, at most half
// full, so that recording a block allocates nothing of its own (a node per
// block would double the allocations behind every tracked one). A removal
// moves the later members of its probe run back, so no tombstones pile up.
class LiveSet {
 public:
  bool contains(const void* p) const {
    if (slots_.empty()) return false;
    for (size_t i = Home(p);; i = Next(i)) {
      if (slots_[i] == p) return true;
      if (!slots_[i]) return false;
    }
  }
  void insert(const void* p) {
    if ((count_ + 1) * 2 > slots_.size()) Grow();
    size_t i = Home(p);
    while (slots_[i]) i = Next(i);
    slots_[i] = p;
    ++count_;
  }
  void erase(const void* p) {
    if (slots_.empty()) return;
    size_t hole = Home(p);
    while (slots_[hole] != p) {
      if (!slots_[hole]) return;
      hole = Next(hole);
    }
    for (size_t i = Next(hole); slots_[i]; i = Next(i)) {
      // A member may fill the hole when its home does not lie cyclically
      // in (hole, i]: its probe run then passes through the hole.
      const size_t home = Home(slots_[i]);
      const bool homeBetween = hole < i ? (home > hole && home <= i) : (home > hole || home <= i);
      if (!homeBetween) {
        slots_[hole] = slots_[i];
        hole = i;
      }
    }
    slots_[hole] = nullptr;
    --count_;
  }
  void clear() {
    slots_.clear();
    count_ = 0;
  }

 private:
  size_t Home(const void* p) const {
    uint64_t h = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(p)) * 0x9E3779B97F4A7C15ull;
    return static_cast<size_t>(h ^ (h >> 29)) & (slots_.size() - 1);
  }
  size_t Next(size_t i) const { return (i + 1) & (slots_.size() - 1); }
  void Grow() {
    std::vector<const void*> old(slots_.empty() ? 64 : slots_.size() * 2, nullptr);
    old.swap(slots_);
    count_ = 0;
    for (const void* p : old)
      if (p) insert(p);
  }

  std::vector<const void*> slots_;
  size_t count_ = 0;
};

struct State {
  std::recursive_mutex lock;
  LiveSet live;
  SYS_MemBlock_t* newest = nullptr;
  bool logAllocations = false;
  bool leakReport = false;
  bool fatalBadRelease = false;
  char* reportName = nullptr;
};
SYS_NoDestroy<State> state;

// Set while an allocation's own log line is written: the log's allocations
// are then not reported again.
thread_local bool reporting = false;

SYS_MemBlock_t* HeaderOf(const void* p) {
  return reinterpret_cast<SYS_MemBlock_t*>(const_cast<unsigned char*>(static_cast<const unsigned char*>(p)) - kHeader);
}
void* DataOf(SYS_MemBlock_t* b) { return reinterpret_cast<unsigned char*>(b) + kHeader; }
uint32_t TailGuard(const SYS_MemBlock_t* b) {
  uint32_t g;
  std::memcpy(&g, reinterpret_cast<const unsigned char*>(b) + kHeader + b->size, kTail);
  return g;
}
void SetTailGuard(SYS_MemBlock_t* b, uint32_t g) {
  std::memcpy(reinterpret_cast<unsigned char*>(b) + kHeader + b->size, &g, kTail);
}

// The header of a block the allocator made and has not released, or null:
// anything else (a released block, a stray pointer) is not ours to read.
// Called with the lock held.
SYS_MemBlock_t* LiveHeader(const void* p) {
  SYS_MemBlock_t* b = HeaderOf(p);
  return state->live.contains(b) ? b : nullptr;
}

void Unlink(SYS_MemBlock_t* b) {
  if (b->newer) b->newer->older = b->older;
  else state->newest = b->older;
  if (b->older) b->older->newer = b->newer;
  b->newer = b->older = nullptr;
  state->live.erase(b);
}

// Which bytes of a new block the system clears: all of them, or only the
// header (for a caller that overwrites every byte of its block at once).
enum class Fill { kZero, kHeaderOnly };

SYS_MemBlock_t* Allocate(size_t size, const char* file, int line, Fill fill = Fill::kZero) {
  if (size == 0 || size > UINT32_MAX - kHeader - kTail) return nullptr;
  const size_t whole = kHeader + size + kTail;
  auto* b = static_cast<SYS_MemBlock_t*>(fill == Fill::kZero ? std::calloc(1, whole) : std::malloc(whole));
  if (!b) return nullptr;
  if (fill == Fill::kHeaderOnly) std::memset(static_cast<void*>(b), 0, kHeader);
  b->size = static_cast<uint32_t>(size);
  // The caller's name, cut to the field (it is zero-filled already).
  if (file) std::memcpy(b->file, file, strnlen(file, sizeof b->file - 1));
  b->line = line;
  b->guard = SYS_MEM_GUARD;
  SetTailGuard(b, SYS_MEM_GUARD);
  {
    std::lock_guard<std::recursive_mutex> guard(state->lock);
    if (state->logAllocations && !reporting) {
      reporting = true;
      MEM_LOG_AS(SYS_DBG_MSG, "_SYS_MemGet", "  - allocated: %p in %s:%d\n", static_cast<void*>(b), b->file, line);
      reporting = false;
    }
    b->older = state->newest;
    if (state->newest) state->newest->newer = b;
    state->newest = b;
    state->live.insert(b);
  }
  return b;
}

// Checks a block's guards; on success takes it off the list and returns
// true. Otherwise writes the report (and with "debug-dfree" ends the
// process); the block stays listed. Called with the lock held.
bool Release(void* p, const char* file, int line) {
  SYS_MemBlock_t* b = HeaderOf(p);
  const bool listed = LiveHeader(p) != nullptr;
  uint32_t head = listed ? b->guard : 0;
  uint32_t tail = listed ? TailGuard(b) : 0;
  if (listed && head == SYS_MEM_GUARD && tail == SYS_MEM_GUARD) {
    b->guard = 0;
    SetTailGuard(b, 0);
    Unlink(b);
    return true;
  }
  SYS_DbgPrintf(0,
                "\n!!! Already released or corrupted memory area: %p\n!!!  - b: %08x, a: %08x, fence: %08x\n"
                "!!!  - SYS_MemFree: %s:%d\n!!!  - SYS_MemGet: %s:%d\n\n",
                static_cast<void*>(b), head, tail, SYS_MEM_GUARD, file ? file : "", line,
                listed ? b->file : "(not allocated)", listed ? b->line : 0);
  if (state->fatalBadRelease) {
    MessageBoxA(nullptr, "Memory handler already released, or corrupted.", "error...", MB_OK | MB_ICONERROR);
    plat::Exit(1);
  }
  return false;
}

}  // namespace

void* _SYS_MemGet(size_t size, const char* file, int line) {
  SYS_MemBlock_t* b = Allocate(size, file, line);
  return b ? DataOf(b) : nullptr;
}

void* _SYS_MemGetFilled(size_t size, const char* file, int line) {
  SYS_MemBlock_t* b = Allocate(size, file, line, Fill::kHeaderOnly);
  return b ? DataOf(b) : nullptr;
}

void _SYS_MemFree(void** pointer, const char* file, int line) {
  if (!pointer || !*pointer) return;
  std::lock_guard<std::recursive_mutex> guard(state->lock);
  if (Release(*pointer, file, line)) {
    std::free(HeaderOf(*pointer));
    *pointer = nullptr;
  }
}

void* _SYS_MemRealloc(void** pointer, size_t size, const char* file, int line) {
  if (!pointer) return nullptr;
  if (size == 0) {
    if (*pointer) {
      std::lock_guard<std::recursive_mutex> guard(state->lock);
      if (Release(*pointer, SYS_SrcName(__FILE__), __LINE__)) std::free(HeaderOf(*pointer));
    }
    *pointer = nullptr;
    return nullptr;
  }
  if (!*pointer) {
    *pointer = _SYS_MemGet(size, file, line);
    return *pointer;
  }
  std::lock_guard<std::recursive_mutex> guard(state->lock);
  SYS_MemBlock_t* old = HeaderOf(*pointer);
  // The old block's guards are checked before anything is copied from it.
  if (!state->live.contains(old) || old->guard != SYS_MEM_GUARD || TailGuard(old) != SYS_MEM_GUARD) {
    Release(*pointer, file, line);
    return nullptr;
  }
  SYS_MemBlock_t* fresh = Allocate(size, file, line);
  if (!fresh) return nullptr;
  std::memcpy(DataOf(fresh), *pointer, old->size < size ? old->size : size);
  Release(*pointer, file, line);
  std::free(old);
  *pointer = DataOf(fresh);
  return *pointer;
}

int64_t SYS_MemSize(const void* pointer) {
  if (pointer) {
    std::lock_guard<std::recursive_mutex> guard(state->lock);
    if (const SYS_MemBlock_t* b = LiveHeader(pointer)) return b->size;
  }
  errSetLastError(ERR_BADARG);
  return -1;
}

int SYS_MemDump(const char* name, const void* pointer) {
  errClear();
  std::lock_guard<std::recursive_mutex> guard(state->lock);
  const SYS_MemBlock_t* b = pointer ? LiveHeader(pointer) : nullptr;
  if (!name || !b) {
    errSetLastError(ERR_BADARG);
    return -1;
  }
  char fileName[256];
  std::snprintf(fileName, sizeof fileName, "%s.memdump", name);
  FILE* f = std::fopen(plat::HostPath(fileName).c_str(), "wb");
  if (!f) {
    errSetLastError(ERR_CANTCREATE);
    return -1;
  }
  // The dump keeps the 32-bit layout: 4-byte links, 64 bytes of header.
  SYS_ByteWriter header;
  header.u32(b->size);
  header.u32(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(b->newer)));
  header.u32(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(b->older)));
  header.bytes({reinterpret_cast<const uint8_t*>(b->file), sizeof b->file});
  header.u32(static_cast<uint32_t>(b->line));
  header.u32(b->guard);
  SYS_ByteWriter tail;
  tail.u32(TailGuard(b));
  std::fwrite(header.data().data(), 1, header.size(), f);
  std::fwrite(DataOf(const_cast<SYS_MemBlock_t*>(b)), 1, b->size, f);
  std::fwrite(tail.data().data(), 1, tail.size(), f);
  int rc = std::fclose(f) == 0 ? 0 : -1;
  if (rc) errSetLastError(ERR_CANTCREATE);
  return rc;
}

int SYS_MemInfo(const char* name) {
  errClear();
  if (!name) name = "debug.memleaks";
  MEM_LOG(SYS_DBG_MSG, " dump allocation list to '%s'.\n", name);
  FILE* f = std::fopen(plat::HostPath(name).c_str(), "w");
  if (!f) {
    errSetLastError(ERR_CANTCREATE);
    return -1;
  }
  char* stamp = SYS_TimeStamp();
  std::fprintf(f, "\n--- Quarnel memory manager\n--- started : %s\n\n", stamp ? stamp : "");
  SYS_MemFree(stamp);
  std::lock_guard<std::recursive_mutex> guard(state->lock);
  uint64_t total = 0;
  if (!state->newest) {
    std::fputs("No memory allocated.\n", f);
  } else {
    std::fputs("Unreleased memory:\n\n", f);
    for (const SYS_MemBlock_t* b = state->newest; b; b = b->older) {
      std::fprintf(f, "%s:%d -> %u bytes\n", b->file, b->line, b->size);
      total += b->size;
    }
  }
  std::fprintf(f, "\n\nTotal: %" PRIu64 " bytes\n---\n", total);
  std::fclose(f);
  return 0;
}

uint64_t SYS_MemTotal(void) {
  MEMORYSTATUSEX status{};
  status.dwLength = sizeof status;
  return GlobalMemoryStatusEx(&status) ? status.ullTotalPhys : 0;
}

uint64_t SYS_MemAvail(void) {
  MEMORYSTATUSEX status{};
  status.dwLength = sizeof status;
  return GlobalMemoryStatusEx(&status) ? status.ullAvailPhys : 0;
}

int SYS_MemInit(void) {
  state->logAllocations = SYS_CfgHas("debug-memalloc");
  state->leakReport = SYS_CfgHas("debug-memleak");
  state->fatalBadRelease = SYS_CfgHas("debug-dfree");
  const char* name = SYS_CfgText("mf");
  errClear();
  if (name) {
    size_t n = std::strlen(name) + 1;
    state->reportName = static_cast<char*>(SYS_MemGet(n));
    if (state->reportName) std::memcpy(state->reportName, name, n);
  }
  return 0;
}

int SYS_MemDone(void) {
  if (state->leakReport) SYS_MemInfo(state->reportName);
  SYS_MemFree(state->reportName);
  errClear();
  std::lock_guard<std::recursive_mutex> guard(state->lock);
  while (SYS_MemBlock_t* b = state->newest) {
    state->newest = b->older;
    std::free(b);
  }
  state->live.clear();
  state->logAllocations = state->leakReport = state->fatalBadRelease = false;
  return 0;
}
