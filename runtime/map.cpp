// Hash map from UTF-16 keys to fixed-size, zero-filled elements.
//
// Nodes (link, key, then the element) come from a shared block pool; key copies live on the
// program heap. The map remembers the element last found, added or walked to as its current
// element, which Map_DeleteCurrent removes.
#include <string.h>

#include "runtime/memory.h"
#include "runtime/registry.h"

namespace {

struct MapNode {
  MapNode* next;
  Char16* key;
  // the element follows
};

void* elementOf(MapNode* node) { return node + 1; }

}  // namespace

struct HashMap {
  int32_t elementSize;
  int32_t typeCode;         // kept with the map; read by nothing here
  const void* description;  // structured element description, or null
  HashMap** variable;
  uint32_t flags;
  int32_t bucketCount;
  MapNode** buckets;
  BlockPool* pool;
  int32_t count;
  MapNode* current;
  int32_t walkBucket;  // next bucket the walk looks at
  MapNode* walkNext;   // next node the walk returns, or null to move to walkBucket
};

namespace {

const Char16 kEmptyKey[1] = {0};

uint32_t hashKey(const HashMap* map, const Char16* key) {
  uint32_t h = 0;
  bool fold = (map->flags & MAP_CASE_INSENSITIVE) != 0;
  for (; *key; key++) h = (uint32_t)(fold ? Text_LowerChar(*key) : *key) + h * 65599u;
  return h;
}

MapNode** bucketOf(const HashMap* map, const Char16* key) {
  return &map->buckets[hashKey(map, key) % (uint32_t)map->bucketCount];
}

bool sameKey(const HashMap* map, const Char16* a, const Char16* b) {
  return (map->flags & MAP_CASE_INSENSITIVE) ? Text_CompareNoCase(a, b) == 0
                                             : Text_Compare(a, b) == 0;
}

MapNode* findNode(const HashMap* map, const Char16* key) {
  for (MapNode* node = *bucketOf(map, key); node; node = node->next) {
    if (sameKey(map, node->key, key)) return node;
  }
  return nullptr;
}

void releaseNode(HashMap* map, MapNode* node) {
  HeapFree(g_programHeap, 0, node->key);
  Pool_Free(map->pool, node);
}

}  // namespace

HashMap* Map_Create(int32_t elementSize, int32_t typeCode, const void* elementDescription,
                    HashMap** variable, int32_t bucketCount, uint32_t flags) {
  if (variable) Map_Free(variable);
  if (elementSize < 0 || elementSize > INT32_MAX / 2 - (int32_t)sizeof(MapNode)) return nullptr;
  if (bucketCount < 1) bucketCount = 1;
  if ((size_t)bucketCount > SIZE_MAX / sizeof(MapNode*)) return nullptr;

  HashMap* map = (HashMap*)HeapAlloc(g_programHeap, HEAP_ZERO_MEMORY, sizeof(HashMap));
  if (!map) return nullptr;
  map->buckets =
      (MapNode**)HeapAlloc(g_programHeap, HEAP_ZERO_MEMORY, (size_t)bucketCount * sizeof(MapNode*));
  map->pool = Pool_Create(elementSize + (int32_t)sizeof(MapNode), 16, 65536, POOL_SHARED);
  if (!map->buckets || !map->pool) {
    Pool_Destroy(map->pool);
    HeapFree(g_programHeap, 0, map->buckets);
    HeapFree(g_programHeap, 0, map);
    return nullptr;
  }
  map->elementSize = elementSize;
  map->typeCode = typeCode;
  map->description = elementDescription;
  map->variable = variable;
  map->flags = flags;
  map->bucketCount = bucketCount;
  if (variable) *variable = map;
  return map;
}

void* Map_Find(HashMap* map, const Char16* key) {
  if (!map) return nullptr;
  MapNode* node = findNode(map, key ? key : kEmptyKey);
  map->current = node;
  return node ? elementOf(node) : nullptr;
}

void* Map_Add(HashMap* map, const Char16* key, int reuse) {
  if (!map) return nullptr;
  if (!key) key = kEmptyKey;
  if (reuse) {
    if (MapNode* node = findNode(map, key)) {
      memset(elementOf(node), 0, (size_t)map->elementSize);
      map->current = node;
      return elementOf(node);
    }
  }
  MapNode* node = (MapNode*)Pool_Alloc(map->pool);
  if (!node) return nullptr;
  size_t keyBytes = (Text_Length(key) + 1) * sizeof(Char16);
  node->key = (Char16*)HeapAlloc(g_programHeap, 0, keyBytes);
  if (!node->key) {
    Pool_Free(map->pool, node);
    return nullptr;
  }
  memcpy(node->key, key, keyBytes);
  MapNode** bucket = bucketOf(map, key);
  node->next = *bucket;
  *bucket = node;
  memset(elementOf(node), 0, (size_t)map->elementSize);
  map->count++;
  map->current = node;
  return elementOf(node);
}

void Map_DeleteCurrent(HashMap* map) {
  if (!map || !map->current) return;
  MapNode* node = map->current;
  MapNode** link = bucketOf(map, node->key);
  while (*link && *link != node) link = &(*link)->next;
  if (!*link) return;  // not on its chain: nothing to unlink
  *link = node->next;
  if (map->walkNext == node) map->walkNext = node->next;
  map->current = nullptr;
  map->count--;
  releaseNode(map, node);
}

void Map_Clear(HashMap* map) {
  if (!map) return;
  for (int32_t i = 0; i < map->bucketCount; i++) {
    MapNode* node = map->buckets[i];
    while (node) {
      MapNode* next = node->next;
      releaseNode(map, node);
      node = next;
    }
    map->buckets[i] = nullptr;
  }
  map->count = 0;
  map->current = nullptr;
  map->walkNext = nullptr;
  map->walkBucket = map->bucketCount;
}

void Map_Free(HashMap** variable) {
  if (!variable || !*variable) return;
  HashMap* map = *variable;
  Map_Clear(map);
  Pool_Destroy(map->pool);
  HeapFree(g_programHeap, 0, map->buckets);
  HeapFree(g_programHeap, 0, map);
  *variable = nullptr;
}

void Map_Rewind(HashMap* map) {
  if (!map) return;
  map->walkBucket = 0;
  map->walkNext = nullptr;
  map->current = nullptr;
}

void* Map_Next(HashMap* map) {
  if (!map) return nullptr;
  MapNode* node = map->walkNext;
  while (!node && map->walkBucket < map->bucketCount) node = map->buckets[map->walkBucket++];
  map->current = node;
  if (!node) return nullptr;
  map->walkNext = node->next;
  return elementOf(node);
}

int32_t Map_Count(const HashMap* map) { return map ? map->count : 0; }
