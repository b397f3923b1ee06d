#include "tests/support/runtime_fixture.h"

void RuntimeCoreTest::SetUp() {
  g_programHeap = HeapCreate(0, 4096, 0);
  ASSERT_NE(g_programHeap, nullptr);
  TempString_Start();
}

void RuntimeCoreTest::TearDown() {
  TempString_End();
  HeapDestroy(g_programHeap);
  g_programHeap = nullptr;
}
