// Named threads with a cooperative stop request, and recursive mutexes.
#pragma once
#include <cstdint>

typedef void* SYS_Thread_Mutex_p;
typedef int (*SYS_Thread_proc)(void* argument);

#define SYS_THREAD_NEW 0
#define SYS_THREAD_RUNNING 1
#define SYS_THREAD_FINISHED 2
#define SYS_THREAD_STOPPING 3

struct SYS_Thread_t;
typedef SYS_Thread_t* SYS_Thread_p;
typedef SYS_Thread_p* SYS_Thread_pp;

int SYS_ThreadInit(void);
int SYS_ThreadDone(void);
SYS_Thread_Mutex_p SYS_MutexCreate(void);
void SYS_MutexDestroy(SYS_Thread_Mutex_p mutex);
int SYS_MutexLock(SYS_Thread_Mutex_p mutex);
int SYS_MutexUnlock(SYS_Thread_Mutex_p mutex);
SYS_Thread_p SYS_ThreadCreate(SYS_Thread_proc procedure, void* argument, int priority, const char* name);
int SYS_ThreadKill(SYS_Thread_p thread);
int SYS_ThreadExit(SYS_Thread_p thread);
SYS_Thread_p SYS_ThreadSelf(void);
// Read-outs of a record (its stop request, state and name).
int SYS_ThreadStopRequested(SYS_Thread_p thread);
int SYS_ThreadState(SYS_Thread_p thread);
const char* SYS_ThreadName(SYS_Thread_p thread);
// Test seam: whether mutexes are critical sections (1) or kernel mutexes (0).
int SYS_ThreadMutexKind(void);
