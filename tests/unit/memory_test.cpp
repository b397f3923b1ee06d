// Arrays with their record in front of element 0, and the memory heap.
#include <stddef.h>

#include "tests/support/runtime_fixture.h"

namespace {

class MemoryTest : public RuntimeCoreTest {};

#if defined(__i386__) || defined(_M_IX86)
TEST(ArrayRecordLayout, SixWordsOnI686) {
  EXPECT_EQ(sizeof(ArrayRecord), 24u);
  EXPECT_EQ(offsetof(ArrayRecord, owner), 12u);
  EXPECT_EQ(offsetof(ArrayRecord, typeCode), 20u);
}
#endif

TEST_F(MemoryTest, ArrayRecordAndZeroedElements) {
  void* owner = nullptr;
  int32_t* pool = (int32_t*)Array_Allocate(4, 50, 21, nullptr, &owner);
  ASSERT_NE(pool, nullptr);
  EXPECT_EQ(owner, pool);
  const ArrayRecord* record = Array_Record(pool);
  EXPECT_EQ((const char*)record + sizeof(ArrayRecord), (const char*)pool);
  EXPECT_EQ(record->dimensions, 1);
  EXPECT_EQ(record->elementSize, 4);
  EXPECT_EQ(record->description, nullptr);
  EXPECT_EQ(record->owner, &owner);
  EXPECT_EQ(record->count, 50);
  EXPECT_EQ(record->typeCode, 21);
  for (int i = 0; i < 50; i++) EXPECT_EQ(pool[i], 0);
  EXPECT_EQ(HeapSize(g_programHeap, 0, record), sizeof(ArrayRecord) + 200);
  Array_Free(pool);
  EXPECT_EQ(owner, nullptr);
  Array_Free(nullptr);
}

TEST_F(MemoryTest, AllocatingAgainReplacesTheArray) {
  void* owner = nullptr;
  int32_t* first = (int32_t*)Array_Allocate(4, 12, 21, nullptr, &owner);
  first[3] = 99;
#ifndef _WIN32
  size_t blocks = Host_HeapBlockCount(g_programHeap);
#endif
  int32_t* second = (int32_t*)Array_Allocate(4, 12, 21, nullptr, &owner);
  EXPECT_EQ(owner, second);
  EXPECT_EQ(second[3], 0);
#ifndef _WIN32
  EXPECT_EQ(Host_HeapBlockCount(g_programHeap), blocks);  // the first one went
#endif
  EXPECT_EQ(Array_Allocate(4, 0, 21, nullptr, &owner), nullptr);
  EXPECT_EQ(owner, nullptr);  // freed and cleared even though nothing new came
  EXPECT_EQ(Array_Allocate(4, -3, 21, nullptr, &owner), nullptr);
}

TEST_F(MemoryTest, ArraysWhoseSizeOverflows32BitsAreRefused) {
  void* owner = nullptr;
  EXPECT_EQ(Array_Allocate(4, 0x40000000, 21, nullptr, &owner), nullptr);
  EXPECT_EQ(Array_Allocate(4, 0x3FFFFFFA, 21, nullptr, &owner), nullptr);  // 2^32 exactly
  EXPECT_EQ(Array_Allocate(0x7FFFFFFF, 2, 0, nullptr, &owner), nullptr);
  EXPECT_EQ(Array_Allocate(0x10000, 0x10000, 0, nullptr, &owner), nullptr);
  EXPECT_EQ(Array_Allocate(-4, 10, 0, nullptr, &owner), nullptr);
  EXPECT_EQ(owner, nullptr);
}

TEST_F(MemoryTest, MemoryHeapBlocks) {
  Memory_Start();
  unsigned char* block = (unsigned char*)Memory_Allocate(16, 0);
  ASSERT_NE(block, nullptr);
  for (int i = 0; i < 16; i++) EXPECT_EQ(block[i], 0);
  EXPECT_EQ(Memory_Allocate(0, 0), nullptr);
  EXPECT_EQ(Memory_Allocate(-8, 0), nullptr);
  void* raw = Memory_Allocate(32, 1);
  EXPECT_NE(raw, nullptr);
  Memory_Free(block);
  Memory_End();  // takes the raw block with it
  EXPECT_EQ(Memory_Allocate(16, 0), nullptr);
}

}  // namespace
