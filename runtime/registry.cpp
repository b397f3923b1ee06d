// Numbered object registry, chain, library state blocks and run-once.
//
// Every block here comes from the program heap. Registries are never destroyed: they go with
// the heap at the end of the run.
#include "runtime/registry.h"

#include <string.h>

#include "runtime/memory.h"

namespace {

struct ChainLinks {
  ChainLinks* next;
  ChainLinks* prev;
};

ChainLinks* linksOf(void* payload) { return (ChainLinks*)payload - 1; }
void* payloadOf(ChainLinks* node) { return node + 1; }

// The live mark is the first word of every record: the platform handle.
bool isLive(const void* record) { return *(void* const*)record != nullptr; }

// A dynamic number is only ever compared against the chain's payload addresses, never read
// through, so a stray value (a freed record, a stack address, a typo) is harmless.
void* findOnChain(const ObjectRegistry* registry, intptr_t number) {
  for (void* p = registry->dynamicChain; p; p = Chain_Next(p)) {
    if ((intptr_t)p == number) return p;
  }
  return nullptr;
}

bool isSlotNumber(const ObjectRegistry* registry, intptr_t number) {
  return number >= 0 && number < registry->capacity;
}

}  // namespace

// ---- chain ----

void* Chain_Add(void** head, size_t nodeSize) {
  if (nodeSize < sizeof(ChainLinks)) nodeSize = sizeof(ChainLinks);
  ChainLinks* node = (ChainLinks*)HeapAlloc(g_programHeap, HEAP_ZERO_MEMORY, nodeSize);
  if (!node) return nullptr;
  if (*head) {
    ChainLinks* first = linksOf(*head);
    first->prev = node;
    node->next = first;
  }
  *head = payloadOf(node);
  return *head;
}

void Chain_Remove(void** head, void* payload) {
  if (!payload) return;
  ChainLinks* node = linksOf(payload);
  if (payloadOf(node) == *head) {
    *head = node->next ? payloadOf(node->next) : nullptr;
    if (node->next) node->next->prev = nullptr;
  } else {
    if (node->prev) node->prev->next = node->next;
    if (node->next) node->next->prev = node->prev;
  }
  HeapFree(g_programHeap, 0, node);
}

void* Chain_Next(void* payload) {
  ChainLinks* next = linksOf(payload)->next;
  return next ? payloadOf(next) : nullptr;
}

// ---- registry ----

ObjectRegistry* Registry_Create(int32_t objectSize, int32_t growBy, ObjectFreeFn freeObject) {
  if (objectSize < (int32_t)sizeof(void*)) objectSize = sizeof(void*);  // room for the live mark
  if (growBy < 1) growBy = 1;
  ObjectRegistry* registry =
      (ObjectRegistry*)HeapAlloc(g_programHeap, HEAP_ZERO_MEMORY, sizeof(ObjectRegistry));
  if (!registry) return nullptr;
  registry->slots =
      (void**)HeapAlloc(g_programHeap, HEAP_ZERO_MEMORY, (size_t)growBy * sizeof(void*));
  if (!registry->slots) {
    HeapFree(g_programHeap, 0, registry);
    return nullptr;
  }
  registry->objectSize = objectSize;
  registry->growBy = growBy;
  registry->capacity = growBy;
  registry->freeObject = freeObject;
  return registry;
}

void* Registry_Allocate(ObjectRegistry* registry, intptr_t number) {
  if (!registry) return nullptr;
  if (number == OBJECT_DYNAMIC)
    return Chain_Add(&registry->dynamicChain, 2 * sizeof(void*) + (size_t)registry->objectSize);
  if (number < 0) return nullptr;

  if (number >= registry->capacity) {
    // The table grows to number + growBy slots. The slot count must fit the 32-bit capacity
    // and the table's byte size the address space, or the table would come out short and
    // the store below would land past its end.
    if (number > (intptr_t)INT32_MAX - registry->growBy) return nullptr;
    int32_t capacity = (int32_t)number + registry->growBy;
    if ((size_t)capacity > SIZE_MAX / sizeof(void*)) return nullptr;
    void** slots = (void**)HeapReAlloc(g_programHeap, HEAP_ZERO_MEMORY, registry->slots,
                                       (size_t)capacity * sizeof(void*));
    if (!slots) return nullptr;
    registry->slots = slots;
    registry->capacity = capacity;
  }

  void* record = registry->slots[number];
  if (record) {
    // Creating under a number in use frees the old object first; its block is reused.
    if (registry->freeObject) registry->freeObject(number);
    memset(record, 0, (size_t)registry->objectSize);
    return record;
  }
  record = HeapAlloc(g_programHeap, HEAP_ZERO_MEMORY, (size_t)registry->objectSize);
  if (record) registry->slots[number] = record;
  return record;
}

void* Registry_Get(ObjectRegistry* registry, intptr_t number) {
  if (!registry) return nullptr;
  void* record =
      isSlotNumber(registry, number) ? registry->slots[number] : findOnChain(registry, number);
  return (record && isLive(record)) ? record : nullptr;
}

void Registry_Release(ObjectRegistry* registry, intptr_t number) {
  if (!registry) return;
  if (isSlotNumber(registry, number)) {
    if (registry->slots[number]) memset(registry->slots[number], 0, (size_t)registry->objectSize);
    return;
  }
  void* payload = findOnChain(registry, number);
  if (payload) Chain_Remove(&registry->dynamicChain, payload);
}

void Registry_Rewind(ObjectRegistry* registry) {
  if (registry) registry->cursor = 0;
}

void* Registry_Next(ObjectRegistry* registry, intptr_t* number) {
  if (!registry) return nullptr;
  while (registry->cursor >= 0 && registry->cursor < registry->capacity) {
    int32_t index = registry->cursor++;
    void* record = registry->slots[index];
    if (record && isLive(record)) {
      if (number) *number = index;
      return record;
    }
  }
  // Slots done: the newest dynamic record, without advancing; the free entry removes it.
  void* payload = registry->dynamicChain;
  if (payload && number) *number = (intptr_t)payload;
  return payload;
}

void Registry_FreeAll(ObjectRegistry* registry) {
  if (!registry || !registry->freeObject) return;
  Registry_Rewind(registry);
  intptr_t number = 0;
  void* previousDynamic = nullptr;
  while (void* record = Registry_Next(registry, &number)) {
    if (!isSlotNumber(registry, number)) {
      // A free entry that failed to remove its dynamic record would have the walk return it
      // forever: drop it from the chain ourselves rather than loop.
      if (record == previousDynamic) {
        Chain_Remove(&registry->dynamicChain, record);
        previousDynamic = nullptr;
        continue;
      }
      previousDynamic = record;
    }
    registry->freeObject(number);
  }
}

// ---- library state ----

void* LibState_Alloc(size_t size, LibStateFn init, LibStateFn) {
  // The destroy routine is accepted for the callers' sake; state blocks live until the heap
  // goes, so it is never run.
  void* block = HeapAlloc(g_programHeap, HEAP_ZERO_MEMORY, size ? size : 1);
  if (block && init) init(block);
  return block;
}

// ---- run-once ----

namespace {

typedef BOOL(WINAPI* InitOnceExecuteOnceFn)(INIT_ONCE*, PINIT_ONCE_FN, void*, void**);

BOOL CALLBACK runOnceAdapter(INIT_ONCE*, void* parameter, void**) {
  (*(OnceFn*)parameter)();
  return TRUE;
}

}  // namespace

void Once_Run(volatile intptr_t* flag, OnceFn routine) {
  // InitOnceExecuteOnce is looked up at run time so the runtime still starts on systems that
  // lack it; the interlocked fallback below does the same job with a spin on Sleep(0).
  HMODULE kernel = LoadLibraryW(TEXT16("Kernel32.dll"));
  if (kernel) {
    InitOnceExecuteOnceFn initOnce =
        (InitOnceExecuteOnceFn)(void*)GetProcAddress(kernel, "InitOnceExecuteOnce");
    if (initOnce) {
      OnceFn parameter = routine;
      void* context = nullptr;
      initOnce((INIT_ONCE*)(intptr_t*)flag, runOnceAdapter, &parameter, &context);
      FreeLibrary(kernel);
      return;
    }
    FreeLibrary(kernel);
  }

  void* volatile* word = (void* volatile*)flag;
  void* previous = InterlockedCompareExchangePointer(word, (void*)1, nullptr);
  if (previous == nullptr) {
    routine();
    InterlockedExchangePointer(word, (void*)2);
  } else if (previous == (void*)1) {
    while (*flag != 2) Sleep(0);
  }
}
