// The Windows types our code is written against, declared for Linux.
// Only what the system uses is here; every declaration is our own.
#pragma once
#include <cstdint>
#include <cstddef>

typedef int BOOL;
typedef uint8_t BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef int32_t LONG;
typedef uint32_t UINT;
typedef uint64_t DWORDLONG;
typedef char CHAR;
typedef const char* LPCSTR;
typedef char* LPSTR;
typedef void* LPVOID;
typedef void* HANDLE;
typedef HANDLE HMODULE;
typedef HANDLE HWND;
typedef intptr_t INT_PTR;
typedef uintptr_t UINT_PTR;
// A generic entry point; cast to the real type before calling.
typedef void (*FARPROC)(void);

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

#define INFINITE 0xFFFFFFFFu
#define WAIT_OBJECT_0 0u
#define WAIT_TIMEOUT 258u
#define WAIT_FAILED 0xFFFFFFFFu
