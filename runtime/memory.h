// The private heaps, arrays with their record in front of element 0, and the memory heap.
#pragma once

#include "runtime/platform.h"

// The program heap: created by the entry point before anything else, destroyed last.
extern HANDLE g_programHeap;
// The program's module instance, taken by the entry point; windows and controls use it.
extern HINSTANCE g_instance;

// Lies directly in front of element 0 of every array. 24 bytes on i686.
struct ArrayRecord {
  int32_t dimensions;
  int32_t elementSize;
  const void* description;  // structured element description, or null
  void** owner;             // variable that holds the array
  int32_t count;
  int32_t typeCode;
};

inline ArrayRecord* Array_Record(void* array) { return (ArrayRecord*)array - 1; }

void* Array_Allocate(int32_t elementSize, int32_t count, int32_t typeCode, const void* description,
                     void* ownerVariable);
void Array_Free(void* array);

void Memory_Start();
void Memory_End();
void* Memory_Allocate(int32_t size, uint32_t flags);  // bit 0 of flags: leave contents undefined
void Memory_Free(void* block);
