// Native stand-ins for the kernel services the runtime core calls besides heaps: run-once and
// the look-up through which the runtime finds it, critical sections, interlocked operations,
// Sleep, the tick count and the thread id.
#include <pthread.h>
#include <sched.h>
#include <string.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <new>

#include "host/host.h"

namespace {

std::atomic<int> initOnceHidden{0};
pthread_mutex_t onceLock = PTHREAD_MUTEX_INITIALIZER;
pthread_cond_t onceDone = PTHREAD_COND_INITIALIZER;

// The one module the runtime asks for. Any non-null value serves as its handle.
char kernelModule;

bool sameNameNoCase(const char16_t* a, const char* b) {
  for (; *a && *b; a++, b++) {
    char16_t x = (*a >= 'A' && *a <= 'Z') ? (char16_t)(*a + 32) : *a;
    char y = (*b >= 'A' && *b <= 'Z') ? (char)(*b + 32) : *b;
    if (x != (char16_t)(unsigned char)y) return false;
  }
  return *a == 0 && *b == 0;
}

}  // namespace

void Host_HideInitOnce(int hide) { initOnceHidden.store(hide != 0); }

// States of the word: 0 not run, 1 running, 2 done. A routine that fails leaves it at 0 so a
// later caller tries again.
BOOL InitOnceExecuteOnce(INIT_ONCE* initOnce, PINIT_ONCE_FN fn, void* parameter, void** context) {
  pthread_mutex_lock(&onceLock);
  while (initOnce->Ptr == (void*)1) pthread_cond_wait(&onceDone, &onceLock);
  if (initOnce->Ptr == (void*)2) {
    pthread_mutex_unlock(&onceLock);
    return TRUE;
  }
  initOnce->Ptr = (void*)1;
  pthread_mutex_unlock(&onceLock);
  BOOL ok = fn(initOnce, parameter, context);
  pthread_mutex_lock(&onceLock);
  initOnce->Ptr = ok ? (void*)2 : (void*)0;
  pthread_cond_broadcast(&onceDone);
  pthread_mutex_unlock(&onceLock);
  return ok;
}

HMODULE LoadLibraryW(LPCWSTR name) {
  return (name && sameNameNoCase(name, "kernel32.dll")) ? &kernelModule : nullptr;
}

FARPROC GetProcAddress(HMODULE module, const char* name) {
  if (module != &kernelModule || !name) return nullptr;
  if (strcmp(name, "InitOnceExecuteOnce") == 0 && !initOnceHidden.load())
    return (FARPROC)(void*)&InitOnceExecuteOnce;
  return nullptr;
}

BOOL FreeLibrary(HMODULE module) { return module == &kernelModule; }

// Critical sections are recursive on Windows: the owner may enter again.
void InitializeCriticalSection(CRITICAL_SECTION* cs) {
  pthread_mutex_t* m = new (std::nothrow) pthread_mutex_t;
  if (m) {
    pthread_mutexattr_t attr;
    pthread_mutexattr_init(&attr);
    pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
    pthread_mutex_init(m, &attr);
    pthread_mutexattr_destroy(&attr);
  }
  cs->impl = m;
}

void EnterCriticalSection(CRITICAL_SECTION* cs) {
  if (cs->impl) pthread_mutex_lock((pthread_mutex_t*)cs->impl);
}

void LeaveCriticalSection(CRITICAL_SECTION* cs) {
  if (cs->impl) pthread_mutex_unlock((pthread_mutex_t*)cs->impl);
}

void DeleteCriticalSection(CRITICAL_SECTION* cs) {
  pthread_mutex_t* m = (pthread_mutex_t*)cs->impl;
  if (m) {
    pthread_mutex_destroy(m);
    delete m;
  }
  cs->impl = nullptr;
}

LONG InterlockedCompareExchange(volatile LONG* target, LONG exchange, LONG comparand) {
  __atomic_compare_exchange_n(target, &comparand, exchange, false, __ATOMIC_SEQ_CST,
                              __ATOMIC_SEQ_CST);
  return comparand;  // holds the previous value either way
}

LONG InterlockedExchange(volatile LONG* target, LONG value) {
  return __atomic_exchange_n(target, value, __ATOMIC_SEQ_CST);
}

void* InterlockedCompareExchangePointer(void* volatile* target, void* exchange, void* comparand) {
  __atomic_compare_exchange_n(target, &comparand, exchange, false, __ATOMIC_SEQ_CST,
                              __ATOMIC_SEQ_CST);
  return comparand;
}

void* InterlockedExchangePointer(void* volatile* target, void* value) {
  return __atomic_exchange_n(target, value, __ATOMIC_SEQ_CST);
}

void Sleep(DWORD milliseconds) {
  if (milliseconds == 0) {
    sched_yield();
    return;
  }
  struct timespec t = {(time_t)(milliseconds / 1000), (long)(milliseconds % 1000) * 1000000L};
  while (nanosleep(&t, &t) != 0) {}
}

DWORD GetTickCount(void) {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return (DWORD)((uint64_t)t.tv_sec * 1000u + (uint64_t)t.tv_nsec / 1000000u);
}

DWORD GetCurrentThreadId(void) { return (DWORD)syscall(SYS_gettid); }
