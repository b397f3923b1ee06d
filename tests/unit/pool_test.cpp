// Block pools: chunk sizing, chunk return and reuse, sharing and the locked mode.
#include <string.h>

#include <atomic>
#include <map>
#include <thread>
#include <vector>

#include "runtime/registry.h"
#include "tests/support/runtime_fixture.h"

namespace {

class PoolTest : public RuntimeCoreTest {};

TEST_F(PoolTest, ChunksGrowWithThePool) {
  BlockPool* pool = Pool_Create(12, 16, 256, 0);
  ASSERT_NE(pool, nullptr);
  std::map<int32_t, int32_t> chunkAt;  // pool total before a new chunk -> its size
  std::vector<void*> blocks;
  while (Pool_TotalBlocks(pool) < 6000) {
    int32_t before = Pool_TotalBlocks(pool);
    void* block = Pool_Alloc(pool);
    ASSERT_NE(block, nullptr);
    memset(block, 0xA5, 12);
    blocks.push_back(block);
    if (Pool_TotalBlocks(pool) != before) chunkAt[before] = Pool_TotalBlocks(pool) - before;
  }
  EXPECT_EQ(chunkAt[0], 16);
  EXPECT_EQ(chunkAt[16], 16);
  EXPECT_EQ(chunkAt[496], 16);
  EXPECT_EQ(chunkAt[512], 32);
  EXPECT_EQ(chunkAt.lower_bound(4096)->second, 256);
  for (auto it = chunkAt.lower_bound(4096); it != chunkAt.end(); ++it) EXPECT_EQ(it->second, 256);
  for (auto it = chunkAt.begin(); it != chunkAt.lower_bound(512); ++it) EXPECT_EQ(it->second, 16);

  for (void* block : blocks) Pool_Free(pool, block);
  EXPECT_EQ(Pool_TotalBlocks(pool), 0);  // each chunk went back once all its blocks were free
  Pool_Destroy(pool);
}

TEST_F(PoolTest, FreedBlocksAreHandedOutBeforeANewChunk) {
  BlockPool* pool = Pool_Create(4, 16, 256, 0);
  std::vector<void*> blocks;
  for (int i = 0; i < 32; i++) blocks.push_back(Pool_Alloc(pool));
  EXPECT_EQ(Pool_TotalBlocks(pool), 32);
  // Both chunks are exhausted; freeing one block makes its chunk usable again.
  Pool_Free(pool, blocks[3]);
  EXPECT_EQ(Pool_Alloc(pool), blocks[3]);
  EXPECT_EQ(Pool_TotalBlocks(pool), 32);
  // Freeing every block of one chunk returns it; the other chunk stays.
  for (int i = 0; i < 16; i++) Pool_Free(pool, blocks[i]);
  EXPECT_EQ(Pool_TotalBlocks(pool), 16);
  Pool_Clear(pool);
  EXPECT_EQ(Pool_TotalBlocks(pool), 0);
  Pool_Destroy(pool);
}

TEST_F(PoolTest, SharedPoolsMeetBySizeAndMode) {
  BlockPool* a = Pool_Create(5, 16, 65536, POOL_SHARED);
  BlockPool* b = Pool_Create(8, 16, 65536, POOL_SHARED);  // same rounded block
  BlockPool* c = Pool_Create(24, 16, 65536, POOL_SHARED);
  BlockPool* d = Pool_Create(8, 16, 65536, 0);
  BlockPool* e = Pool_Create(8, 16, 65536, POOL_SHARED | POOL_LOCKED);  // another mode
  BlockPool* f = Pool_Create(7, 16, 65536, POOL_SHARED | POOL_LOCKED);
  EXPECT_EQ(a, b);
  EXPECT_NE(a, c);
  EXPECT_NE(a, d);
  EXPECT_NE(a, e);
  EXPECT_EQ(e, f);
  Pool_Destroy(e);
  Pool_Destroy(f);
  Pool_Destroy(a);
  void* block = Pool_Alloc(b);  // still alive: one reference left
  EXPECT_NE(block, nullptr);
  Pool_Free(b, block);
  Pool_Destroy(b);
  BlockPool* fresh = Pool_Create(8, 16, 65536, POOL_SHARED);
  EXPECT_EQ(Pool_TotalBlocks(fresh), 0);
  Pool_Destroy(fresh);
  Pool_Destroy(c);
  Pool_Destroy(d);
}

class LockedPoolTest : public PoolTest, public ::testing::WithParamInterface<uint32_t> {};

TEST_P(LockedPoolTest, ServesSeveralThreads) {
  BlockPool* pool = Pool_Create(16, 16, 256, GetParam());
  std::atomic<int> ready(0);
  auto worker = [pool, &ready](int tag) {
    // Both start together, and every round makes and returns chunks: without the lock the
    // chunk lists and counts tear within a few rounds.
    ready++;
    while (ready < 2) {}
    std::vector<void*> mine;
    for (int round = 0; round < 2000; round++) {
      for (int i = 0; i < 40; i++) {
        void* block = Pool_Alloc(pool);
        ASSERT_NE(block, nullptr);
        memset(block, tag, 16);
        mine.push_back(block);
      }
      for (void* block : mine) {
        for (int k = 0; k < 16; k++) ASSERT_EQ(((unsigned char*)block)[k], tag);
        Pool_Free(pool, block);
      }
      mine.clear();
    }
  };
  std::thread t1(worker, 1), t2(worker, 2);
  t1.join();
  t2.join();
  EXPECT_EQ(Pool_TotalBlocks(pool), 0);
  Pool_Destroy(pool);
}

#ifdef _WIN32
// The same without relying on chance: one thread waits inside Pool_Alloc for the program heap,
// which the test holds, and a free from another thread must wait until it is out.
TEST_P(LockedPoolTest, KeepsOthersOutWhileOneIsInside) {
  BlockPool* pool = Pool_Create(16, 16, 256, GetParam());
  std::vector<void*> blocks;
  for (int i = 0; i < 16; i++) blocks.push_back(Pool_Alloc(pool));  // one full chunk
  ASSERT_TRUE(HeapLock(g_programHeap));
  void* grown = nullptr;
  std::atomic<bool> freed(false);
  std::thread inside([&] { grown = Pool_Alloc(pool); });  // needs a new chunk
  Sleep(200);
  std::thread other([&] {
    Pool_Free(pool, blocks[0]);
    freed = true;
  });
  Sleep(200);
  EXPECT_FALSE(freed);
  HeapUnlock(g_programHeap);
  inside.join();
  other.join();
  EXPECT_TRUE(freed);
  EXPECT_NE(grown, nullptr);
  Pool_Destroy(pool);
}
#endif

// A shared pool takes its lock from its mode as an unshared one does.
INSTANTIATE_TEST_SUITE_P(EachMode, LockedPoolTest,
                         ::testing::Values(POOL_LOCKED, POOL_LOCKED | POOL_SHARED));

}  // namespace
