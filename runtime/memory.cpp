// The program heap, arrays with their record in front of element 0, and the memory heap.
#include "runtime/memory.h"

#include <string.h>

HANDLE g_programHeap;
HINSTANCE g_instance;

namespace {
HANDLE memoryHeap;
}

#if defined(__i386__) || defined(_M_IX86)
static_assert(sizeof(ArrayRecord) == 24, "the array record is six 32-bit fields on i686");
#endif

void* Array_Allocate(int32_t elementSize, int32_t count, int32_t typeCode, const void* description,
                     void* ownerVariable) {
  void** owner = (void**)ownerVariable;
  if (owner) Array_Free(*owner);  // allocating again discards the old array
  if (count <= 0 || elementSize < 0) return nullptr;
  // The block size must fit in 32 bits; a wrapped size would give a short block.
  uint64_t bytes = (uint64_t)elementSize * (uint64_t)count + sizeof(ArrayRecord);
  if (bytes > UINT32_MAX || bytes > SIZE_MAX) return nullptr;

  ArrayRecord* record = (ArrayRecord*)HeapAlloc(g_programHeap, 0, (size_t)bytes);
  if (!record) return nullptr;
  record->dimensions = 1;
  record->elementSize = elementSize;
  record->description = description;
  record->owner = owner;
  record->count = count;
  record->typeCode = typeCode;
  void* elements = record + 1;
  memset(elements, 0, (size_t)bytes - sizeof(ArrayRecord));
  // Described elements (nested containers) would be set up here; their description format
  // lies outside what this runtime uses, so every array holds plain elements.
  if (owner) *owner = elements;
  return elements;
}

void Array_Free(void* array) {
  if (!array) return;
  ArrayRecord* record = Array_Record(array);
  if (record->owner) *record->owner = nullptr;
  HeapFree(g_programHeap, 0, record);
}

void Memory_Start() { memoryHeap = HeapCreate(0, 4096, 0); }

void Memory_End() {
  if (memoryHeap) HeapDestroy(memoryHeap);
  memoryHeap = nullptr;
}

void* Memory_Allocate(int32_t size, uint32_t flags) {
  if (size <= 0 || !memoryHeap) return nullptr;
  return HeapAlloc(memoryHeap, (flags & 1) ? 0 : HEAP_ZERO_MEMORY, (size_t)size);
}

void Memory_Free(void* block) {
  if (block && memoryHeap) HeapFree(memoryHeap, 0, block);
}
