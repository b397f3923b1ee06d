// Native host layer: the subset of the Win32 kernel API that the platform-free code calls,
// written from what that code expects of each call. Linked only into native builds.
// Windows builds get the real calls from <windows.h>; nothing here is used there.
#pragma once
#ifdef _WIN32
#error "host/host.h is for native builds only"
#endif

#include <stddef.h>
#include <stdint.h>

typedef int BOOL;
typedef uint32_t DWORD;
typedef uint16_t WORD;
typedef uint8_t BYTE;
typedef int32_t LONG;
typedef void* HANDLE;
typedef void* HMODULE;
typedef void* HINSTANCE;
typedef void* HBITMAP;
typedef void* HICON;
typedef void* HDC;
typedef void* HGDIOBJ;
typedef void* LPVOID;
typedef intptr_t (*FARPROC)();
typedef char16_t WCHAR;
typedef const char16_t* LPCWSTR;

#define TRUE 1
#define FALSE 0
#define WINAPI
#define CALLBACK
#define HEAP_ZERO_MEMORY 0x00000008
#define INVALID_HANDLE_VALUE ((HANDLE)(intptr_t)-1)

// Private heaps. A null heap given to HeapAlloc, HeapReAlloc, HeapFree or HeapSize ends the
// process, as it faults on Windows. Each heap is a real object that tracks its blocks, so
// HeapDestroy releases everything still allocated on it, as the runtime's exit sequence relies on.
// Blocks above 2 GiB - 1 are refused, as a 32-bit process's heap would refuse them.
HANDLE HeapCreate(DWORD options, size_t initialSize, size_t maximumSize);
BOOL HeapDestroy(HANDLE heap);
// The process heap: never destroyed, and it keeps no list of its blocks, so that a block lost
// on it is a leak LeakSanitizer sees. Injected failures apply to it as to every heap.
HANDLE GetProcessHeap(void);
void* HeapAlloc(HANDLE heap, DWORD flags, size_t bytes);
void* HeapReAlloc(HANDLE heap, DWORD flags, void* block, size_t bytes);
BOOL HeapFree(HANDLE heap, DWORD flags, void* block);
size_t HeapSize(HANDLE heap, DWORD flags, const void* block);

// Run-once: the look-up that the runtime does at run time. "Kernel32.dll" loads, and
// GetProcAddress answers for "InitOnceExecuteOnce" unless the host is told to hide it
// (Host_HideInitOnce), so that the interlocked fallback can be tested too.
typedef union {
  void* Ptr;
} INIT_ONCE;
typedef BOOL (*PINIT_ONCE_FN)(INIT_ONCE* initOnce, void* parameter, void** context);
BOOL InitOnceExecuteOnce(INIT_ONCE* initOnce, PINIT_ONCE_FN fn, void* parameter, void** context);
HMODULE LoadLibraryW(LPCWSTR name);
FARPROC GetProcAddress(HMODULE module, const char* name);
BOOL FreeLibrary(HMODULE module);
void Host_HideInitOnce(int hide);

typedef struct CRITICAL_SECTION {
  void* impl;
} CRITICAL_SECTION;
void InitializeCriticalSection(CRITICAL_SECTION* cs);
void EnterCriticalSection(CRITICAL_SECTION* cs);
void LeaveCriticalSection(CRITICAL_SECTION* cs);
void DeleteCriticalSection(CRITICAL_SECTION* cs);

LONG InterlockedCompareExchange(volatile LONG* target, LONG exchange, LONG comparand);
LONG InterlockedExchange(volatile LONG* target, LONG value);
// Pointer-sized forms, for words as wide as an address (the run-once flag).
void* InterlockedCompareExchangePointer(void* volatile* target, void* exchange, void* comparand);
void* InterlockedExchangePointer(void* volatile* target, void* value);
void Sleep(DWORD milliseconds);

DWORD GetTickCount(void);
DWORD GetCurrentThreadId(void);

// Allocation-failure injection for tests: with k > 0, the k-th heap allocation (HeapAlloc or
// HeapReAlloc) from now fails, and so do the `count` - 1 after it (count < 0: every one after
// it, until the next call); k = 0 turns injection off.
void Host_FailAllocation(long k, long count = 1);
// How many allocations have been made to fail since the last Host_FailAllocation call: a test
// that fails the k-th allocation knows from a 0 here that the operation made fewer than k.
long Host_FailedAllocations(void);
// The next `count` HeapCreate calls fail (0: none).
void Host_FailHeapCreate(long count);
// The number of blocks a heap holds now (for tests that check nothing was left behind).
size_t Host_HeapBlockCount(HANDLE heap);
