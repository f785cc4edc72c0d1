// Named threads with a cooperative stop request, and mutexes.
//
// Mutexes are critical sections when the kernel offers a working
// TryEnterCriticalSection, kernel mutexes otherwise; the choice is made once.
#include "framework/base/thread.h"

#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "framework/base/list.h"
#include "framework/base/log.h"
#include "framework/base/mem.h"
#include "framework/base/nodestroy.h"
#include "framework/base/time.h"
#include "platform/kernel.h"

#define THREAD_LOG(level, ...) SYS_LOG_TAGGED(level, "[thread]", __VA_ARGS__)

struct SYS_Thread_t {
  HANDLE handle = nullptr;
  std::atomic<int32_t> stop{0};
  std::atomic<int32_t> state{SYS_THREAD_NEW};
  SYS_Thread_proc procedure = nullptr;
  void* argument = nullptr;
  std::string name;
  std::atomic<uint32_t> id{0};
};

namespace {

constexpr const char* kSource = "thread";

bool useCriticalSections = true;
CRITICAL_SECTION probe;
bool probeLive = false;

// The thread list (newest first), its records and its lock live outside the
// tracked allocator: a thread that was never killed keeps running while the
// framework is released, and must not find its record freed under it.
SYS_NoDestroy<std::recursive_mutex> listLock;
SYS_NoDestroy<std::vector<std::unique_ptr<SYS_Thread_t>>> threads;

SYS_Thread_p FindById(uint32_t id) {
  for (auto& t : *threads)
    if (t->id.load() == id) return t.get();
  return nullptr;
}

void Unlist(SYS_Thread_p t) {
  std::lock_guard<std::recursive_mutex> guard(*listLock);
  for (auto it = threads->begin(); it != threads->end(); ++it)
    if (it->get() == t) {
      threads->erase(it);
      return;
    }
}

unsigned SYS_ThreadEntry(void* parameter) {
  auto* t = static_cast<SYS_Thread_p>(parameter);
  t->id.store(GetCurrentThreadId());
  t->procedure(t->argument);
  return 0;
}


}  // namespace

int SYS_ThreadInit(void) {
  InitializeCriticalSection(&probe);
  probeLive = true;
  using TryEnter = BOOL (*)(CRITICAL_SECTION*);
  auto tryEnter = reinterpret_cast<TryEnter>(GetProcAddress(GetModuleHandleA("KERNEL32.DLL"), "TryEnterCriticalSection"));
  useCriticalSections = false;
  if (tryEnter && tryEnter(&probe)) {
    LeaveCriticalSection(&probe);
    useCriticalSections = true;
  }
  return 0;
}

int SYS_ThreadDone(void) {
  if (probeLive) {
    DeleteCriticalSection(&probe);
    probeLive = false;
  }
  std::lock_guard<std::recursive_mutex> guard(*listLock);
  for (auto& t : *threads) THREAD_LOG(SYS_DBG_MSG, " !!! Unterminated thread: \"%s\"\n", t->name.c_str());
  return 0;
}

int SYS_ThreadMutexKind(void) { return useCriticalSections ? 1 : 0; }

SYS_Thread_Mutex_p SYS_MutexCreate(void) {
  if (useCriticalSections) {
    auto* cs = static_cast<CRITICAL_SECTION*>(_SYS_MemGet(sizeof(CRITICAL_SECTION), kSource, __LINE__));
    if (cs) InitializeCriticalSection(cs);
    return cs;
  }
  auto* cell = static_cast<HANDLE*>(_SYS_MemGet(sizeof(HANDLE), kSource, __LINE__));
  if (cell) *cell = CreateMutexA(nullptr, FALSE, nullptr);
  return cell;
}

void SYS_MutexDestroy(SYS_Thread_Mutex_p mutex) {
  if (!mutex) return;
  if (useCriticalSections) DeleteCriticalSection(static_cast<CRITICAL_SECTION*>(mutex));
  else CloseHandle(*static_cast<HANDLE*>(mutex));
  _SYS_MemFree(&mutex, kSource, __LINE__);
}

int SYS_MutexLock(SYS_Thread_Mutex_p mutex) {
  if (!mutex) return 0;
  if (useCriticalSections) EnterCriticalSection(static_cast<CRITICAL_SECTION*>(mutex));
  else WaitForSingleObject(*static_cast<HANDLE*>(mutex), INFINITE);
  return 0;
}

int SYS_MutexUnlock(SYS_Thread_Mutex_p mutex) {
  if (!mutex) return 0;
  if (useCriticalSections) LeaveCriticalSection(static_cast<CRITICAL_SECTION*>(mutex));
  else ReleaseMutex(*static_cast<HANDLE*>(mutex));
  return 0;
}

SYS_Thread_p SYS_ThreadCreate(SYS_Thread_proc procedure, void* argument, int priority, const char* name) {
  errClear();
  if (!procedure) {
    errSetLastError(ERR_BADARG);
    return nullptr;
  }
  if (!name) name = "";
  std::unique_ptr<SYS_Thread_t> record(new (std::nothrow) SYS_Thread_t);
  if (!record) {
    errSetLastError(ERR_NOMEM);
    return nullptr;
  }
  record->procedure = procedure;
  record->argument = argument;
  record->name = name;
  SYS_Thread_p t = record.get();
  {
    std::lock_guard<std::recursive_mutex> guard(*listLock);
    threads->insert(threads->begin(), std::move(record));
  }
  THREAD_LOG(SYS_DBG_MSG, " create thread: \"%s\"\n", t->name.c_str());
  // Running before the thread starts: a fast thread's "finished" must not be
  // overwritten afterwards.
  t->state.store(SYS_THREAD_RUNNING);
  unsigned id = 0;
  t->handle = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, SYS_ThreadEntry, t, 0, &id));
  if (!t->handle) {
    Unlist(t);
    errSetLastError(ERR_NOMEM);
    return nullptr;
  }
  if (priority >= -1 && priority <= 2) SetThreadPriority(t->handle, priority);
  THREAD_LOG(SYS_DBG_MSG, " thread created: \"%s\" (priority: %d)\n", t->name.c_str(), priority);
  return t;
}

SYS_Thread_p SYS_ThreadSelf(void) {
  SYS_Thread_p self;
  // The look-up costs 25 ms, which paces every poll of a stop request. The
  // wait comes before the lock, not under it: a polling thread would
  // otherwise hold the lock almost all the time and starve everyone else.
  SYS_Sleep(25);
  {
    std::lock_guard<std::recursive_mutex> guard(*listLock);
    self = FindById(GetCurrentThreadId());
  }
  if (!self) {
    SYS_DbgPrintf(0, "[thread] (%s:%d) !!! list is NULL\n", SYS_SrcName(__FILE__), __LINE__);
    plat::Exit(1);
  }
  return self;
}

int SYS_ThreadExit(SYS_Thread_p thread) {
  if (thread) {
    // The poll costs one look-up of the caller's own record (25 ms), as the
    // sound system's player threads rely on; a caller that is not one of our
    // threads still gets its answer.
    SYS_Sleep(25);
    errClear();
    return (thread->stop.load() || thread->state.load() == SYS_THREAD_STOPPING) ? 1 : 0;
  }
  SYS_Thread_p self = SYS_ThreadSelf();
  errClear();
  self->stop.store(0);
  self->state.store(SYS_THREAD_FINISHED);
  THREAD_LOG(SYS_DBG_MSG, " [SYS_ThreadExit] thread: '%s' state: %d\n", self->name.c_str(), self->state.load());
  _endthreadex(0);
}

int SYS_ThreadKill(SYS_Thread_p thread) {
  errClear();
  if (!thread) {
    errSetLastError(ERR_BADARG);
    return -1;
  }
  if (thread->id.load() == GetCurrentThreadId()) {
    // A thread cannot wait for its own end.
    errSetLastError(ERR_BADARG);
    return -1;
  }
  THREAD_LOG(SYS_DBG_MSG, " [SYS_ThreadKill] terminate thread: \"%s\"\n", thread->name.c_str());
  int32_t running = SYS_THREAD_RUNNING;
  thread->state.compare_exchange_strong(running, SYS_THREAD_STOPPING);
  thread->stop.store(1);
  WaitForSingleObject(thread->handle, INFINITE);
  CloseHandle(thread->handle);
  thread->handle = nullptr;
  // The OS thread has ended, so it is finished whether or not it said so.
  thread->state.store(SYS_THREAD_FINISHED);
  THREAD_LOG(SYS_DBG_MSG, " [SYS_ThreadKill] thread: '%s' state: %d\n", thread->name.c_str(), thread->state.load());
  Unlist(thread);
  return 0;
}

int SYS_ThreadStopRequested(SYS_Thread_p thread) { return thread ? thread->stop.load() : 0; }
int SYS_ThreadState(SYS_Thread_p thread) { return thread ? thread->state.load() : -1; }
const char* SYS_ThreadName(SYS_Thread_p thread) { return thread ? thread->name.c_str() : nullptr; }
