// Critical sections, kernel mutexes and threads over pthreads. Both kinds of
// lock are recursive, as on Windows.
#include "platform/kernel.h"

#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <ctime>
#include <mutex>
#include <new>

namespace {

static_assert(sizeof(pthread_mutex_t) <= sizeof(CRITICAL_SECTION::opaque));

pthread_mutex_t* Native(CRITICAL_SECTION* cs) { return reinterpret_cast<pthread_mutex_t*>(cs->opaque); }

void InitRecursive(pthread_mutex_t* m) {
  pthread_mutexattr_t attr;
  pthread_mutexattr_init(&attr);
  pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
  pthread_mutex_init(m, &attr);
  pthread_mutexattr_destroy(&attr);
}

// Every kernel handle points to one of these.
struct KernelObject {
  virtual ~KernelObject() = default;
  virtual DWORD Wait(DWORD milliseconds) = 0;
};

struct MutexObject final : KernelObject {
  pthread_mutex_t mutex;
  MutexObject() { InitRecursive(&mutex); }
  ~MutexObject() override { pthread_mutex_destroy(&mutex); }
  DWORD Wait(DWORD milliseconds) override {
    if (milliseconds == INFINITE) return pthread_mutex_lock(&mutex) == 0 ? WAIT_OBJECT_0 : WAIT_FAILED;
    timespec until{};
    clock_gettime(CLOCK_REALTIME, &until);
    until.tv_sec += milliseconds / 1000u;
    until.tv_nsec += static_cast<long>(milliseconds % 1000u) * 1000000L;
    if (until.tv_nsec >= 1000000000L) {
      until.tv_sec += 1;
      until.tv_nsec -= 1000000000L;
    }
    int rc = pthread_mutex_timedlock(&mutex, &until);
    if (rc == 0) return WAIT_OBJECT_0;
    return rc == ETIMEDOUT ? WAIT_TIMEOUT : WAIT_FAILED;
  }
};

struct ThreadObject final : KernelObject {
  pthread_t thread{};
  plat_thread_start_t start = nullptr;
  void* arg = nullptr;
  std::atomic<DWORD> id{0};
  std::mutex lock;
  std::condition_variable ended;
  bool finished = false;
  bool joined = false;
  bool detached = false;  // the handle was closed before the thread ended

  DWORD Wait(DWORD milliseconds) override {
    std::unique_lock<std::mutex> guard(lock);
    if (milliseconds == INFINITE) {
      ended.wait(guard, [&] { return finished; });
    } else if (!ended.wait_for(guard, std::chrono::milliseconds(milliseconds), [&] { return finished; })) {
      return WAIT_TIMEOUT;
    }
    if (!joined) {
      joined = true;
      guard.unlock();
      pthread_join(thread, nullptr);
    }
    return WAIT_OBJECT_0;
  }
};

thread_local ThreadObject* currentThread = nullptr;

// The thread's end, however it comes (return or _endthreadex): wake the
// waiters and, if nobody holds the handle any more, release it.
void ThreadCleanup(void* p) {
  auto* t = static_cast<ThreadObject*>(p);
  bool release;
  {
    std::lock_guard<std::mutex> guard(t->lock);
    t->finished = true;
    t->ended.notify_all();
    release = t->detached;
  }
  if (release) delete t;
}

void* ThreadMain(void* p) {
  auto* t = static_cast<ThreadObject*>(p);
  currentThread = t;
  t->id.store(GetCurrentThreadId());
  pthread_cleanup_push(ThreadCleanup, t);
  t->start(t->arg);
  pthread_cleanup_pop(1);
  return nullptr;
}

}  // namespace

void InitializeCriticalSection(CRITICAL_SECTION* cs) { InitRecursive(Native(cs)); }
void DeleteCriticalSection(CRITICAL_SECTION* cs) { pthread_mutex_destroy(Native(cs)); }
void EnterCriticalSection(CRITICAL_SECTION* cs) { pthread_mutex_lock(Native(cs)); }
void LeaveCriticalSection(CRITICAL_SECTION* cs) { pthread_mutex_unlock(Native(cs)); }
BOOL TryEnterCriticalSection(CRITICAL_SECTION* cs) { return pthread_mutex_trylock(Native(cs)) == 0; }

HANDLE CreateMutexA(void*, BOOL initialOwner, LPCSTR) {
  auto* m = new (std::nothrow) MutexObject();
  if (m && initialOwner) m->Wait(INFINITE);
  return static_cast<KernelObject*>(m);
}

BOOL ReleaseMutex(HANDLE mutex) {
  auto* m = dynamic_cast<MutexObject*>(static_cast<KernelObject*>(mutex));
  return m && pthread_mutex_unlock(&m->mutex) == 0;
}

DWORD WaitForSingleObject(HANDLE object, DWORD milliseconds) {
  if (!object) return WAIT_FAILED;
  return static_cast<KernelObject*>(object)->Wait(milliseconds);
}

BOOL CloseHandle(HANDLE object) {
  if (!object) return FALSE;
  auto* k = static_cast<KernelObject*>(object);
  if (auto* t = dynamic_cast<ThreadObject*>(k)) {
    std::unique_lock<std::mutex> guard(t->lock);
    if (!t->finished) {
      // The thread still runs: it releases the object itself when it ends.
      t->detached = true;
      if (!t->joined) {
        t->joined = true;
        pthread_detach(t->thread);
      }
      return TRUE;
    }
    bool join = !t->joined;
    t->joined = true;
    guard.unlock();
    if (join) pthread_join(t->thread, nullptr);
  }
  delete k;
  return TRUE;
}

uintptr_t _beginthreadex(void*, unsigned, plat_thread_start_t start, void* arg, unsigned, unsigned* threadId) {
  auto* t = new (std::nothrow) ThreadObject();
  if (!t) return 0;
  t->start = start;
  t->arg = arg;
  if (pthread_create(&t->thread, nullptr, ThreadMain, t) != 0) {
    delete t;
    return 0;
  }
  if (threadId) {
    while (t->id.load() == 0) sched_yield();
    *threadId = t->id.load();
  }
  return reinterpret_cast<uintptr_t>(static_cast<KernelObject*>(t));
}

void _endthreadex(unsigned) { pthread_exit(nullptr); }

BOOL SetThreadPriority(HANDLE, int) { return TRUE; }  // priorities stay as the host sets them

DWORD GetCurrentThreadId(void) { return static_cast<DWORD>(syscall(SYS_gettid)); }

