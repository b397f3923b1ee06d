// Private heaps for the native builds.
//
// The runtime relies on HeapDestroy releasing every block still allocated on a heap (arrays and
// registries are never freed one by one at exit), so each heap keeps its blocks on a list. Each
// block carries a header in front of the caller's bytes; malloc does the real work, which keeps
// AddressSanitizer's view of every block precise. Heaps are serialised, as private heaps created
// with options 0 are on Windows.
#include <pthread.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <new>

#include "host/host.h"

namespace {

const uint32_t kHeapMagic = 0x48656170;

struct alignas(16) BlockHeader {
  BlockHeader* next;
  BlockHeader* prev;
  size_t size;
  struct HostHeap* heap;
};

struct HostHeap {
  uint32_t magic;
  pthread_mutex_t lock;
  BlockHeader* blocks;
  size_t count;
  bool listed;  // false for the process heap, which is never destroyed
};

// Failure injection: allocations still to pass before failing, and how many then fail.
pthread_mutex_t failLock = PTHREAD_MUTEX_INITIALIZER;
long failCountdown;
long failRemaining;
long failuresMade;
long heapCreatesToFail;

// True when this allocation is one the test asked to fail.
bool injectedFailure() {
  pthread_mutex_lock(&failLock);
  bool fail = false;
  if (failCountdown > 0 && --failCountdown == 0) {
    fail = true;
    failuresMade++;
    if (failRemaining < 0) {
      failCountdown = 1;  // every later allocation fails too
    } else if (--failRemaining > 0) {
      failCountdown = 1;
    }
  }
  pthread_mutex_unlock(&failLock);
  return fail;
}

HostHeap* asHeap(HANDLE heap) {
  HostHeap* h = (HostHeap*)heap;
  return (h && h->magic == kHeapMagic) ? h : nullptr;
}

// Windows faults when a block function is given a null heap: so does the host, rather than
// hide the fault.
HostHeap* blockHeap(HANDLE heap) {
  if (!heap) {
    fputs("host: a null heap handle was given to a heap block function\n", stderr);
    abort();
  }
  return asHeap(heap);
}

BlockHeader* headerOf(const void* block) { return (BlockHeader*)block - 1; }

void linkBlock(HostHeap* h, BlockHeader* b) {
  b->heap = h;
  h->count++;
  if (!h->listed) return;
  b->prev = nullptr;
  b->next = h->blocks;
  if (h->blocks) h->blocks->prev = b;
  h->blocks = b;
}

void unlinkBlock(HostHeap* h, BlockHeader* b) {
  h->count--;
  if (!h->listed) return;
  if (b->prev) b->prev->next = b->next;
  else h->blocks = b->next;
  if (b->next) b->next->prev = b->prev;
}

bool tooLarge(size_t bytes) { return bytes > 0x7FFFFFFFu; }

}  // namespace

void Host_FailAllocation(long k, long count) {
  pthread_mutex_lock(&failLock);
  failCountdown = (k > 0 && count != 0) ? k : 0;
  failRemaining = count;
  failuresMade = 0;
  pthread_mutex_unlock(&failLock);
}

long Host_FailedAllocations() {
  pthread_mutex_lock(&failLock);
  long n = failuresMade;
  pthread_mutex_unlock(&failLock);
  return n;
}

void Host_FailHeapCreate(long count) {
  pthread_mutex_lock(&failLock);
  heapCreatesToFail = count;
  pthread_mutex_unlock(&failLock);
}

HANDLE HeapCreate(DWORD, size_t, size_t) {
  pthread_mutex_lock(&failLock);
  bool fail = heapCreatesToFail > 0;
  if (fail) heapCreatesToFail--;
  pthread_mutex_unlock(&failLock);
  if (fail) return nullptr;
  HostHeap* h = new (std::nothrow) HostHeap;
  if (!h) return nullptr;
  h->magic = kHeapMagic;
  pthread_mutex_init(&h->lock, nullptr);
  h->blocks = nullptr;
  h->count = 0;
  h->listed = true;
  return h;
}

HANDLE GetProcessHeap() {
  static HostHeap* heap = [] {
    HostHeap* h = (HostHeap*)HeapCreate(0, 0, 0);
    if (h) h->listed = false;
    return h;
  }();
  return heap;
}

BOOL HeapDestroy(HANDLE heap) {
  HostHeap* h = asHeap(heap);
  if (!h || !h->listed) return FALSE;  // the process heap lives as long as the process
  BlockHeader* b = h->blocks;
  while (b) {
    BlockHeader* next = b->next;
    free(b);
    b = next;
  }
  pthread_mutex_destroy(&h->lock);
  h->magic = 0;
  delete h;
  return TRUE;
}

void* HeapAlloc(HANDLE heap, DWORD flags, size_t bytes) {
  HostHeap* h = blockHeap(heap);
  if (!h || tooLarge(bytes) || injectedFailure()) return nullptr;
  BlockHeader* b = (BlockHeader*)malloc(sizeof(BlockHeader) + bytes);
  if (!b) return nullptr;
  b->size = bytes;
  if (flags & HEAP_ZERO_MEMORY) memset(b + 1, 0, bytes);
  pthread_mutex_lock(&h->lock);
  linkBlock(h, b);
  pthread_mutex_unlock(&h->lock);
  return b + 1;
}

void* HeapReAlloc(HANDLE heap, DWORD flags, void* block, size_t bytes) {
  HostHeap* h = blockHeap(heap);
  if (!h || !block || tooLarge(bytes) || injectedFailure()) return nullptr;
  BlockHeader* old = headerOf(block);
  if (old->heap != h) return nullptr;
  pthread_mutex_lock(&h->lock);
  size_t oldSize = old->size;
  // The block may move: take it off the list first and put the survivor back, so that a
  // failed reallocation leaves the old block where it was.
  unlinkBlock(h, old);
  BlockHeader* b = (BlockHeader*)realloc(old, sizeof(BlockHeader) + bytes);
  if (!b) {
    linkBlock(h, old);
    pthread_mutex_unlock(&h->lock);
    return nullptr;
  }
  b->size = bytes;
  linkBlock(h, b);
  pthread_mutex_unlock(&h->lock);
  if ((flags & HEAP_ZERO_MEMORY) && bytes > oldSize)
    memset((char*)(b + 1) + oldSize, 0, bytes - oldSize);
  return b + 1;
}

BOOL HeapFree(HANDLE heap, DWORD, void* block) {
  HostHeap* h = blockHeap(heap);
  if (!h) return FALSE;
  if (!block) return TRUE;
  BlockHeader* b = headerOf(block);
  if (b->heap != h) return FALSE;
  pthread_mutex_lock(&h->lock);
  unlinkBlock(h, b);
  pthread_mutex_unlock(&h->lock);
  b->heap = nullptr;
  free(b);
  return TRUE;
}

size_t HeapSize(HANDLE heap, DWORD, const void* block) {
  HostHeap* h = blockHeap(heap);
  if (!h || !block || headerOf(block)->heap != h) return (size_t)-1;
  return headerOf(block)->size;
}

size_t Host_HeapBlockCount(HANDLE heap) {
  HostHeap* h = asHeap(heap);
  if (!h) return 0;
  pthread_mutex_lock(&h->lock);
  size_t n = h->count;
  pthread_mutex_unlock(&h->lock);
  return n;
}
