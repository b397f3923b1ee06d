// Block pool: fixed-size blocks carved from chunks on the program heap.
//
// Every block has a one-pointer header in front of what the caller gets: while the block is
// handed out it names the owning chunk, while it is free it links the chunk's free list. A
// chunk goes back to the heap as soon as every block it has handed out is free again.
#include <string.h>

#include "runtime/memory.h"
#include "runtime/registry.h"

namespace {

struct PoolChunk {
  PoolChunk* next;
  PoolChunk* prev;
  void* freeList;  // header of the first free block
  int32_t blockCount;
  int32_t nextUnused;  // index of the first block never handed out
  int32_t freeCount;   // blocks on the free list
};

}  // namespace

struct BlockPool {
  int32_t blockSize;  // header plus payload rounded up
  int32_t minBlocks;
  int32_t maxBlocks;
  uint32_t mode;
  PoolChunk* available;  // chunks that can still hand out a block
  PoolChunk* exhausted;
  int32_t totalBlocks;
  bool locked;
  CRITICAL_SECTION lock;
  int32_t references;  // shared pools only
  BlockPool* nextShared;
};

namespace {

volatile intptr_t sharedOnce;
CRITICAL_SECTION sharedLock;
BlockPool* sharedPools;

void initShared() { InitializeCriticalSection(&sharedLock); }

size_t chunkHeaderSize() { return (sizeof(PoolChunk) + sizeof(void*) - 1) & ~(sizeof(void*) - 1); }

char* blockAt(PoolChunk* chunk, int32_t blockSize, int32_t index) {
  return (char*)chunk + chunkHeaderSize() + (size_t)index * (size_t)blockSize;
}

void pushChunk(PoolChunk** list, PoolChunk* chunk) {
  chunk->prev = nullptr;
  chunk->next = *list;
  if (*list) (*list)->prev = chunk;
  *list = chunk;
}

void unlinkChunk(PoolChunk** list, PoolChunk* chunk) {
  if (chunk->prev) chunk->prev->next = chunk->next;
  else *list = chunk->next;
  if (chunk->next) chunk->next->prev = chunk->prev;
  chunk->next = chunk->prev = nullptr;
}

// Moves a chunk between the available and exhausted lists (rare: only when it fills up or
// gets its first block back).
void moveChunk(PoolChunk** from, PoolChunk** to, PoolChunk* chunk) {
  unlinkChunk(from, chunk);
  pushChunk(to, chunk);
}

bool chunkIsExhausted(const PoolChunk* chunk) {
  return chunk->freeCount == 0 && chunk->nextUnused == chunk->blockCount;
}

PoolChunk* newChunk(BlockPool* pool, int32_t blocks) {
  size_t bytes = (size_t)blocks * (size_t)pool->blockSize;
  if (bytes / (size_t)pool->blockSize != (size_t)blocks || bytes > SIZE_MAX - chunkHeaderSize())
    return nullptr;
  PoolChunk* chunk = (PoolChunk*)HeapAlloc(g_programHeap, 0, chunkHeaderSize() + bytes);
  if (!chunk) return nullptr;
  memset(chunk, 0, sizeof(PoolChunk));
  chunk->blockCount = blocks;
  return chunk;
}

// Adds a chunk to the available list; null when memory ran out. Off the common path.
PoolChunk* growPool(BlockPool* pool) {
  // Chunks grow with the pool: a sixteenth of what it holds, in steps of 16 blocks, within
  // the pool's bounds; a single block is the last resort when memory is short.
  int32_t blocks = (pool->totalBlocks / 16) & ~15;
  if (blocks < pool->minBlocks) blocks = pool->minBlocks;
  if (blocks > pool->maxBlocks) blocks = pool->maxBlocks;
  PoolChunk* chunk = newChunk(pool, blocks);
  if (!chunk && blocks > 1) chunk = newChunk(pool, 1);
  if (!chunk) return nullptr;
  pool->totalBlocks += chunk->blockCount;
  pushChunk(&pool->available, chunk);
  return chunk;
}

inline void* allocLocked(BlockPool* pool) {
  PoolChunk* chunk = pool->available;
  if (!chunk && !(chunk = growPool(pool))) return nullptr;

  void** header;
  if (chunk->freeList) {
    header = (void**)chunk->freeList;
    chunk->freeList = *header;
    chunk->freeCount--;
  } else {
    header = (void**)blockAt(chunk, pool->blockSize, chunk->nextUnused++);
  }
  *header = chunk;
  if (chunkIsExhausted(chunk)) moveChunk(&pool->available, &pool->exhausted, chunk);
  return header + 1;
}

inline void freeLocked(BlockPool* pool, void* block) {
  void** header = (void**)block - 1;
  PoolChunk* chunk = (PoolChunk*)*header;
  bool wasExhausted = chunkIsExhausted(chunk);
  *header = chunk->freeList;
  chunk->freeList = header;
  chunk->freeCount++;
  if (chunk->freeCount == chunk->nextUnused) {
    unlinkChunk(wasExhausted ? &pool->exhausted : &pool->available, chunk);
    pool->totalBlocks -= chunk->blockCount;
    HeapFree(g_programHeap, 0, chunk);
  } else if (wasExhausted) {
    moveChunk(&pool->exhausted, &pool->available, chunk);
  }
}

void clearList(PoolChunk** list) {
  while (PoolChunk* chunk = *list) {
    *list = chunk->next;
    HeapFree(g_programHeap, 0, chunk);
  }
}

int32_t roundedBlockSize(int32_t payloadSize) {
  // Payloads are rounded up to whole words so every block's header stays aligned.
  if (payloadSize < 0 || payloadSize > INT32_MAX / 2) return 0;
  int32_t word = (int32_t)sizeof(void*);
  return ((payloadSize + word - 1) / word) * word + word;
}

BlockPool* createUnshared(int32_t blockSize, int32_t minBlocks, int32_t maxBlocks, uint32_t mode) {
  BlockPool* pool = (BlockPool*)HeapAlloc(g_programHeap, HEAP_ZERO_MEMORY, sizeof(BlockPool));
  if (!pool) return nullptr;
  if (minBlocks < 1) minBlocks = 1;
  if (maxBlocks < minBlocks) maxBlocks = minBlocks;
  pool->blockSize = blockSize;
  pool->minBlocks = minBlocks;
  pool->maxBlocks = maxBlocks;
  pool->mode = mode;
  pool->locked = (mode & 3) == POOL_LOCKED;
  if (pool->locked) InitializeCriticalSection(&pool->lock);
  return pool;
}

void destroyUnshared(BlockPool* pool) {
  Pool_Clear(pool);
  if (pool->locked) DeleteCriticalSection(&pool->lock);
  HeapFree(g_programHeap, 0, pool);
}

struct PoolGuard {
  BlockPool* pool;
  explicit PoolGuard(BlockPool* p) : pool(p) {
    if (pool->locked) EnterCriticalSection(&pool->lock);
  }
  ~PoolGuard() {
    if (pool->locked) LeaveCriticalSection(&pool->lock);
  }
};

// The locked forms stay out of line (GCC and Clang both read the attribute), so that the
// unlocked path needs no stack frame of its own: without it the compiler merges them and every
// call pays the locked path's register saves.
#define POOL_OUT_OF_LINE __attribute__((noinline))

POOL_OUT_OF_LINE void* allocUnderLock(BlockPool* pool) {
  EnterCriticalSection(&pool->lock);
  void* block = allocLocked(pool);
  LeaveCriticalSection(&pool->lock);
  return block;
}

POOL_OUT_OF_LINE void freeUnderLock(BlockPool* pool, void* block) {
  EnterCriticalSection(&pool->lock);
  freeLocked(pool, block);
  LeaveCriticalSection(&pool->lock);
}

}  // namespace

BlockPool* Pool_Create(int32_t payloadSize, int32_t minBlocks, int32_t maxBlocks, uint32_t mode) {
  int32_t blockSize = roundedBlockSize(payloadSize);
  if (!blockSize) return nullptr;
  if (!(mode & POOL_SHARED)) return createUnshared(blockSize, minBlocks, maxBlocks, mode);

  Once_Run(&sharedOnce, initShared);
  EnterCriticalSection(&sharedLock);
  BlockPool* pool = sharedPools;
  while (pool && !(pool->blockSize == blockSize && pool->mode == mode)) pool = pool->nextShared;
  if (pool) {
    pool->references++;
  } else {
    pool = createUnshared(blockSize, minBlocks, maxBlocks, mode);
    if (pool) {
      pool->references = 1;
      pool->nextShared = sharedPools;
      sharedPools = pool;
    }
  }
  LeaveCriticalSection(&sharedLock);
  return pool;
}

// Allocation and release are the hot pair: an unlocked pool (the common kind) goes straight
// to the work, without a guard object and the unwinding frame it brings.
void* Pool_Alloc(BlockPool* pool) {
  if (!pool) return nullptr;
  return pool->locked ? allocUnderLock(pool) : allocLocked(pool);
}

void Pool_Free(BlockPool* pool, void* block) {
  if (!pool || !block) return;
  if (pool->locked) freeUnderLock(pool, block);
  else freeLocked(pool, block);
}

void Pool_Clear(BlockPool* pool) {
  if (!pool) return;
  PoolGuard guard(pool);
  clearList(&pool->available);
  clearList(&pool->exhausted);
  pool->totalBlocks = 0;
}

void Pool_Destroy(BlockPool* pool) {
  if (!pool) return;
  if (!(pool->mode & POOL_SHARED)) {
    destroyUnshared(pool);
    return;
  }
  Once_Run(&sharedOnce, initShared);
  EnterCriticalSection(&sharedLock);
  if (--pool->references <= 0) {
    BlockPool** link = &sharedPools;
    while (*link && *link != pool) link = &(*link)->nextShared;
    if (*link) *link = pool->nextShared;
    destroyUnshared(pool);
  }
  LeaveCriticalSection(&sharedLock);
}

int32_t Pool_TotalBlocks(const BlockPool* pool) { return pool ? pool->totalBlocks : 0; }
