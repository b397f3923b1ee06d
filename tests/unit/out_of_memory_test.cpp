// Running out of memory: every operation that allocates gives its failure result, changes
// nothing it cannot complete, and never writes through a failed allocation. The native host's
// heaps can be told to fail, so these run in the native builds.
#include <string>

#include "runtime/random.h"
#include "runtime/registry.h"
#include "tests/support/runtime_fixture.h"

#ifndef _WIN32
namespace {

class OutOfMemoryTest : public RuntimeCoreTest {
 protected:
  void TearDown() override {
    Host_FailAllocation(0);
    RuntimeCoreTest::TearDown();
  }
  TempStringArea& area = TempString_Area();
  std::u16string text() { return std::u16string((const char16_t*)TempString_Address(0)); }
};

// A text that lost a piece ends in a mark that no name may hold, and takes no further piece,
// even once memory is back, until the end is set back below it.
TEST_F(OutOfMemoryTest, ATextThatLostAPieceStaysMarked) {
  TempString_Append(TEXT16("abc"));  // fits the first 16 bytes
  Char16* base = area.base;
  Host_FailAllocation(1, -1);
  TempString_Append(TEXT16("GFX\\Balls\\"));
  EXPECT_EQ(area.base, base);
  EXPECT_EQ(area.capacity, 16);
  EXPECT_EQ(text(), u"abc\u0001");
  EXPECT_EQ(area.end, 8);
  Host_FailAllocation(0);
  Number_AppendText(7, area.end);
  TempString_Append(TEXT16(".png"));
  EXPECT_EQ(TempString_Reserve(1, area.end), nullptr);
  area.end += 2;  // the protocol's step past the terminator: still marked
  TempString_Append(TEXT16("x"));
  EXPECT_EQ(text(), u"abc\u0001");
  area.end = 6;  // a saved end inside the text, behind the mark
  TempString_Append(TEXT16(".png"));
  EXPECT_EQ(text(), u"abc.png");
}

// A string heap that could not be created: short texts still fit the first 16 bytes, longer
// ones lose their piece, and no variable holds a text. The host ends the process if the missing
// heap is handed to a heap function.
TEST_F(OutOfMemoryTest, NoStringHeap) {
  TempString_End();
  Host_FailHeapCreate(1);
  TempString_Start();
  Host_FailHeapCreate(0);
  ASSERT_EQ(area.heap, nullptr);
  TempString_Append(TEXT16("abc"));
  TempString_Append(TEXT16("GFX\\Balls\\"));
  EXPECT_EQ(text(), u"abc\u0001");
  Char16* variable = nullptr;
  String_Assign(&variable, TEXT16("GFX\\Balls\\"));
  EXPECT_EQ(variable, nullptr);
  String_Assign(&variable, nullptr);
}

TEST_F(OutOfMemoryTest, StringVariableKeepsItsText) {
  Char16* variable = nullptr;
  Host_FailAllocation(1);
  String_Assign(&variable, TEXT16("GFX\\Balls\\"));
  EXPECT_EQ(variable, nullptr);
  String_Assign(&variable, TEXT16("old"));
  Host_FailAllocation(1);
  String_Assign(&variable, TEXT16("a much longer text"));
  EXPECT_EQ(std::u16string((const char16_t*)variable), u"old");
}

void freeNothing(intptr_t) {}

TEST_F(OutOfMemoryTest, RegistryGivesNoneAndKeepsItsTable) {
  ObjectRegistry* registry = Registry_Create(16, 4, freeNothing);
  Host_FailAllocation(1);
  EXPECT_EQ(Registry_Allocate(registry, 10), nullptr);  // table growth
  EXPECT_EQ(registry->capacity, 4);
  Host_FailAllocation(1);
  EXPECT_EQ(Registry_Allocate(registry, 2), nullptr);  // the record
  EXPECT_EQ(registry->slots[2], nullptr);
  Host_FailAllocation(1);
  EXPECT_EQ(Registry_Allocate(registry, OBJECT_DYNAMIC), nullptr);
  EXPECT_EQ(registry->dynamicChain, nullptr);
  Host_FailAllocation(1);
  EXPECT_EQ(Registry_Create(16, 4, freeNothing), nullptr);  // half-made registry not kept
  Host_FailAllocation(2);
  EXPECT_EQ(Registry_Create(16, 4, freeNothing), nullptr);
  EXPECT_NE(Registry_Allocate(registry, 2), nullptr);
}

int initRuns;
void countInit(void*) { initRuns++; }

TEST_F(OutOfMemoryTest, ContainersGiveNone) {
  Host_FailAllocation(1);
  EXPECT_EQ(LibState_Alloc(8, countInit, nullptr), nullptr);
  EXPECT_EQ(initRuns, 0);

  BlockPool* pool = Pool_Create(8, 16, 256, 0);
  Host_FailAllocation(1);  // the 16-block chunk fails; a one-block chunk is the fallback
  void* single = Pool_Alloc(pool);
  EXPECT_NE(single, nullptr);
  EXPECT_EQ(Pool_TotalBlocks(pool), 1);
  Host_FailAllocation(1, 2);
  EXPECT_EQ(Pool_Alloc(pool), nullptr);
  EXPECT_EQ(Pool_TotalBlocks(pool), 1);
  Pool_Free(pool, single);
  Pool_Destroy(pool);

  HashMap* map = nullptr;
  Map_Create(8, 0, nullptr, &map, 16);
  Map_Add(map, TEXT16("kept"), 0);
  Host_FailAllocation(1);  // the key copy: the node comes from the pool's chunk without a heap call
  EXPECT_EQ(Map_Add(map, TEXT16("lost"), 0), nullptr);
  EXPECT_EQ(Map_Count(map), 1);
  EXPECT_EQ(Map_Find(map, TEXT16("lost")), nullptr);
  Map_Free(&map);
  Host_FailAllocation(1);
  EXPECT_EQ(Map_Create(8, 0, nullptr, &map, 16), nullptr);
  EXPECT_EQ(map, nullptr);
}

TEST_F(OutOfMemoryTest, ArraysAndShuffle) {
  void* owner = nullptr;
  Host_FailAllocation(1);
  EXPECT_EQ(Array_Allocate(4, 50, 21, nullptr, &owner), nullptr);
  EXPECT_EQ(owner, nullptr);

  // Three-byte elements need a scratch block: without it nothing moves and nothing is drawn.
  unsigned char* a = (unsigned char*)Array_Allocate(3, 10, 0, nullptr, &owner);
  for (int i = 0; i < 30; i++) a[i] = (unsigned char)i;
  Random_Seed(0);
  Host_FailAllocation(1);
  Array_Shuffle(a);
  for (int i = 0; i < 30; i++) EXPECT_EQ(a[i], i);
  EXPECT_EQ(Random_Range(0xFFFFFFFFu), 0x8B910D61u);
  Array_Free(a);
}

}  // namespace
#endif
