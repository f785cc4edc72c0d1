// The tracked allocator: every framework block carries its origin and guard
// words and sits on one list, so leaks and bad releases can be reported.
#pragma once
#include <cstddef>
#include <cstdint>

#include "framework/base/srcname.h"

#define SYS_MEM_GUARD 0x71726E7Au

void* _SYS_MemGet(size_t size, const char* file, int line);
// A block that its caller overwrites whole at once (a file read into it, a
// copy of pixels): listed, guarded and reported as every other block, but
// its bytes are not cleared first, as nothing could ever see the zeros.
void* _SYS_MemGetFilled(size_t size, const char* file, int line);
void _SYS_MemFree(void** pointer, const char* file, int line);
void* _SYS_MemRealloc(void** pointer, size_t size, const char* file, int line);
// Both answer only for a live block of this allocator: a null, released or
// foreign pointer gives -1 with code 10, and its memory is never read.
int64_t SYS_MemSize(const void* pointer);
int SYS_MemDump(const char* name, const void* pointer);
int SYS_MemInfo(const char* name);
uint64_t SYS_MemTotal(void);
uint64_t SYS_MemAvail(void);
int SYS_MemInit(void);
int SYS_MemDone(void);

// Typed helpers: release or resize through a variable of any pointer type.
template <class T>
inline void SYS_MemFreeAt(T*& pointer, const char* file, int line) {
  void* p = const_cast<void*>(static_cast<const void*>(pointer));
  _SYS_MemFree(&p, file, line);
  pointer = static_cast<T*>(p);
}
template <class T>
inline T* SYS_MemReallocAt(T*& pointer, size_t size, const char* file, int line) {
  void* p = static_cast<void*>(pointer);
  void* r = _SYS_MemRealloc(&p, size, file, line);
  pointer = static_cast<T*>(p);
  return static_cast<T*>(r);
}

#define SYS_MemGet(size) _SYS_MemGet((size), SYS_SrcName(__FILE__), __LINE__)
#define SYS_MemGetFilled(size) _SYS_MemGetFilled((size), SYS_SrcName(__FILE__), __LINE__)
#define SYS_MemFree(var) SYS_MemFreeAt((var), SYS_SrcName(__FILE__), __LINE__)
#define SYS_MemRealloc(var, size) SYS_MemReallocAt((var), (size), SYS_SrcName(__FILE__), __LINE__)
