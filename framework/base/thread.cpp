// Named threads with a cooperative stop request, and mutexes.
//
// Mutexes are critical sections when the kernel offers a working
// TryEnterCriticalSection, kernel mutexes otherwise; the choice is made once.
#include "framework/base/thread.h"

#include <atomic>
#include <cstring>
#include <mutex>

#include "framework/base/list.h"
#include "framework/base/log.h"
#include "framework/base/mem.h"
#include "framework/base/nodestroy.h"
#include "framework/base/time.h"
#include "platform/kernel.h"

struct SYS_Thread_t {
  HANDLE handle;
  std::atomic<int32_t> stop;
  std::atomic<int32_t> state;
  SYS_Thread_proc procedure;
  void* argument;
  char* name;
  std::atomic<uint32_t> id;
};

namespace {

constexpr const char* kSource = "thread";

bool useCriticalSections = true;
CRITICAL_SECTION probe;
bool probeLive = false;

// The thread list and its lock. The lock is not a tracked block: player
// threads may still reach it while the framework is being released.
SYS_NoDestroy<std::recursive_mutex> listLock;
SYS_List_p threads = nullptr;

SYS_Thread_p FindById(uint32_t id) {
  for (SYS_List_p n = threads; n; n = n->next) {
    auto* t = static_cast<SYS_Thread_p>(n->data);
    if (t->id.load() == id) return t;
  }
  return nullptr;
}

unsigned SYS_ThreadEntry(void* parameter) {
  auto* t = static_cast<SYS_Thread_p>(parameter);
  t->id.store(GetCurrentThreadId());
  t->procedure(t->argument);
  return 0;
}

void FreeRecord(SYS_Thread_p t) {
  SYS_MemFreeAt(t->name, kSource, __LINE__);
  t->~SYS_Thread_t();
  SYS_MemFreeAt(t, kSource, __LINE__);
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
  for (SYS_List_p n = threads; n; n = n->next)
    SYS_DbgMessage(SYS_DBG_MSG, "[thread][%s:%d:%s()] !!! Unterminated thread: \"%s\"\n", SYS_LOGPOS,
                   static_cast<SYS_Thread_p>(n->data)->name);
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
  void* raw = _SYS_MemGet(sizeof(SYS_Thread_t), kSource, __LINE__);
  size_t n = std::strlen(name) + 1;
  auto* nameCopy = static_cast<char*>(_SYS_MemGet(n, kSource, __LINE__));
  if (!raw || !nameCopy) {
    _SYS_MemFree(&raw, kSource, __LINE__);
    SYS_MemFreeAt(nameCopy, kSource, __LINE__);
    errSetLastError(ERR_NOMEM);
    return nullptr;
  }
  std::memcpy(nameCopy, name, n);
  auto* t = new (raw) SYS_Thread_t{nullptr, {0}, {SYS_THREAD_NEW}, procedure, argument, nameCopy, {0}};
  {
    std::lock_guard<std::recursive_mutex> guard(*listLock);
    SYS_List_p head = SYS_ListAddFirst(threads, t);
    if (!head) {
      FreeRecord(t);
      errSetLastError(ERR_NOMEM);
      return nullptr;
    }
    threads = head;
  }
  SYS_DbgMessage(SYS_DBG_MSG, "[thread][%s:%d:%s()] create thread: \"%s\"\n", SYS_LOGPOS, t->name);
  // Running before the thread starts: a fast thread's "finished" must not be
  // overwritten afterwards.
  t->state.store(SYS_THREAD_RUNNING);
  unsigned id = 0;
  t->handle = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, SYS_ThreadEntry, t, 0, &id));
  if (!t->handle) {
    {
      std::lock_guard<std::recursive_mutex> guard(*listLock);
      threads = SYS_ListDelItem(threads, t);
    }
    FreeRecord(t);
    errSetLastError(ERR_NOMEM);
    return nullptr;
  }
  if (priority >= -1 && priority <= 2) SetThreadPriority(t->handle, priority);
  SYS_DbgMessage(SYS_DBG_MSG, "[thread][%s:%d:%s()] thread created: \"%s\" (priority: %d)\n", SYS_LOGPOS, t->name,
                 priority);
  return t;
}

SYS_Thread_p SYS_ThreadSelf(void) {
  SYS_Thread_p self;
  {
    std::lock_guard<std::recursive_mutex> guard(*listLock);
    SYS_Sleep(25);
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
    {
      std::lock_guard<std::recursive_mutex> guard(*listLock);
      SYS_Sleep(25);
    }
    errClear();
    return (thread->stop.load() || thread->state.load() == SYS_THREAD_STOPPING) ? 1 : 0;
  }
  SYS_Thread_p self = SYS_ThreadSelf();
  errClear();
  self->stop.store(0);
  self->state.store(SYS_THREAD_FINISHED);
  SYS_DbgMessage(SYS_DBG_MSG, "[thread][%s:%d:%s()] [SYS_ThreadExit] thread: '%s' state: %d\n", SYS_LOGPOS,
                 self->name, self->state.load());
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
  SYS_DbgMessage(SYS_DBG_MSG, "[thread][%s:%d:%s()] [SYS_ThreadKill] terminate thread: \"%s\"\n", SYS_LOGPOS,
                 thread->name);
  int32_t running = SYS_THREAD_RUNNING;
  thread->state.compare_exchange_strong(running, SYS_THREAD_STOPPING);
  thread->stop.store(1);
  WaitForSingleObject(thread->handle, INFINITE);
  CloseHandle(thread->handle);
  thread->handle = nullptr;
  // The OS thread has ended, so it is finished whether or not it said so.
  thread->state.store(SYS_THREAD_FINISHED);
  SYS_DbgMessage(SYS_DBG_MSG, "[thread][%s:%d:%s()] [SYS_ThreadKill] thread: '%s' state: %d\n", SYS_LOGPOS,
                 thread->name, thread->state.load());
  {
    std::lock_guard<std::recursive_mutex> guard(*listLock);
    threads = SYS_ListDelItem(threads, thread);
  }
  FreeRecord(thread);
  return 0;
}

int SYS_ThreadStopRequested(SYS_Thread_p thread) { return thread ? thread->stop.load() : 0; }
int SYS_ThreadState(SYS_Thread_p thread) { return thread ? thread->state.load() : -1; }
const char* SYS_ThreadName(SYS_Thread_p thread) { return thread ? thread->name : nullptr; }
