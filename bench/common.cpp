#include "bench/common.h"

#include "runtime/memory.h"
#include "runtime/tempstring.h"

// glibc's own entry points, under the names glibc exports for exactly this purpose.
extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* block, size_t size);
void __libc_free(void* block);
}

namespace {
bool counting;
uint64_t allocations;
}  // namespace

// Interposed for the whole program: one predictable branch when not counting.
extern "C" void* malloc(size_t size) {
  if (counting) allocations++;
  return __libc_malloc(size);
}
extern "C" void* calloc(size_t count, size_t size) {
  if (counting) allocations++;
  return __libc_calloc(count, size);
}
extern "C" void* realloc(void* block, size_t size) {
  if (counting) allocations++;
  return __libc_realloc(block, size);
}
extern "C" void free(void* block) { __libc_free(block); }

namespace bench {

void startRuntimeCore() {
  g_programHeap = HeapCreate(0, 4096, 0);
  TempString_Start();
}

void endRuntimeCore() {
  TempString_End();
  HeapDestroy(g_programHeap);
  g_programHeap = nullptr;
}

void startCounting() {
  allocations = 0;
  counting = true;
}

uint64_t stopCounting() {
  counting = false;
  return allocations;
}

}  // namespace bench
