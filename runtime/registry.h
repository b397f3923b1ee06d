// Numbered object registry and the runtime's small containers: chain, library state block,
// run-once, block pool and string-keyed hash map.
//
// An object number is intptr_t: 0 .. capacity-1 names a slot, any other value is a dynamic
// number, the address of a record on the kind's dynamic chain. The first field of every
// record is its live mark (the platform handle), non-zero exactly while the object lives.
#pragma once

#include "runtime/platform.h"

const intptr_t OBJECT_DYNAMIC = -1;  // at creation: make up a number (the record's address)
const intptr_t OBJECT_ALL = -1;      // given to a kind's free entry: every object of the kind

typedef void (*ObjectFreeFn)(intptr_t number);

struct ObjectRegistry {
  int32_t objectSize;
  int32_t growBy;
  int32_t capacity;
  void** slots;
  void* dynamicChain;  // payload of the newest node, or null
  ObjectFreeFn freeObject;
  int32_t cursor;
};

ObjectRegistry* Registry_Create(int32_t objectSize, int32_t growBy, ObjectFreeFn freeObject);
void* Registry_Allocate(ObjectRegistry* registry, intptr_t number);
void* Registry_Get(ObjectRegistry* registry, intptr_t number);
void Registry_Release(ObjectRegistry* registry, intptr_t number);
void Registry_FreeAll(ObjectRegistry* registry);
void Registry_Rewind(ObjectRegistry* registry);
void* Registry_Next(ObjectRegistry* registry, intptr_t* number);

// Chain: doubly linked nodes (next, previous) in front of the payload; callers hold payloads.
// nodeSize counts the two links.
void* Chain_Add(void** head, size_t nodeSize);
void Chain_Remove(void** head, void* payload);
// The payload after `payload` on its chain, or null; for walking a chain.
void* Chain_Next(void* payload);

// Library state: one zero-filled block per library for the whole process.
typedef void (*LibStateFn)(void* state);
void* LibState_Alloc(size_t size, LibStateFn init, LibStateFn destroy);
// The block is the state itself; inline, since every library reaches its state through it
// on each call.
inline void* LibState_Get(void* block) { return block; }

// Runs the routine exactly once per flag, whatever the number of threads calling.
typedef void (*OnceFn)(void);
void Once_Run(volatile intptr_t* flag, OnceFn routine);

// Fixed-size block allocator carving blocks out of chunks.
const uint32_t POOL_LOCKED = 1;     // in the low two bits: the pool has its own lock
const uint32_t POOL_SHARED = 0x10;  // pools of the same block size and mode are shared
struct BlockPool;
BlockPool* Pool_Create(int32_t payloadSize, int32_t minBlocks, int32_t maxBlocks, uint32_t mode);
void* Pool_Alloc(BlockPool* pool);
void Pool_Free(BlockPool* pool, void* block);
void Pool_Clear(BlockPool* pool);
void Pool_Destroy(BlockPool* pool);
int32_t Pool_TotalBlocks(const BlockPool* pool);  // blocks in all chunks (for tests and accounting)

// Map from UTF-16 keys to fixed-size zero-filled elements.
const uint32_t MAP_CASE_INSENSITIVE = 1;
struct HashMap;
HashMap* Map_Create(int32_t elementSize, int32_t typeCode, const void* elementDescription,
                    HashMap** variable, int32_t bucketCount, uint32_t flags = 0);
void* Map_Find(HashMap* map, const Char16* key);
void* Map_Add(HashMap* map, const Char16* key, int reuse);
void Map_DeleteCurrent(HashMap* map);
void Map_Clear(HashMap* map);
void Map_Free(HashMap** variable);
// Walk: Map_Rewind, then Map_Next until it returns null; each element becomes current, so
// Map_DeleteCurrent may be called during the walk.
void Map_Rewind(HashMap* map);
void* Map_Next(HashMap* map);
int32_t Map_Count(const HashMap* map);
