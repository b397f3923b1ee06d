// The generator's output words and the shuffle's permutations, against worked-out vectors.
#include <string.h>

#include <vector>

#include "runtime/random.h"
#include "tests/support/runtime_fixture.h"

namespace {

class RandomTest : public RuntimeCoreTest {};

// An array of `count` elements of `size` bytes; element i carries i in its first byte and a
// pattern derived from i in the rest, so a torn copy shows.
void* makeTaggedArray(void** owner, int32_t size, int32_t count) {
  char* a = (char*)Array_Allocate(size, count, 0, nullptr, owner);
  for (int32_t i = 0; i < count; i++) {
    for (int32_t k = 0; k < size; k++) a[i * size + k] = (char)(k == 0 ? i : i * 7 + k);
  }
  return a;
}

std::vector<int> readTags(const void* array, int32_t size, int32_t count) {
  std::vector<int> tags;
  const unsigned char* a = (const unsigned char*)array;
  for (int32_t i = 0; i < count; i++) {
    int tag = a[i * size];
    for (int32_t k = 1; k < size; k++) EXPECT_EQ(a[i * size + k], (unsigned char)(tag * 7 + k));
    tags.push_back(tag);
  }
  return tags;
}

std::vector<int> shuffledInts(uint32_t seed, int count) {
  void* owner = nullptr;
  int32_t* a = (int32_t*)Array_Allocate(4, count, 21, nullptr, &owner);
  for (int i = 0; i < count; i++) a[i] = i;
  Random_Seed(seed);
  Array_Shuffle(a);
  std::vector<int> result(a, a + count);
  Array_Free(a);
  return result;
}

TEST_F(RandomTest, SeedZeroTablesAndOutputs) {
  Random_Seed(0);
  const RandomState& s = Random_State();
  EXPECT_EQ(s.seeded, 1);
  EXPECT_EQ(s.p1, 3);
  EXPECT_EQ(s.p2, 13);
  EXPECT_EQ(s.a[0], 0x12CEB592u);
  EXPECT_EQ(s.a[1], 0x9B24BCEAu);
  EXPECT_EQ(s.a[2], 0x856AB9A2u);
  const uint32_t expected[] = {0x8B910D61u, 0xC8AFE081u, 0xA90E502Fu, 0x60EE47BFu, 0x3C73645Bu};
  for (uint32_t e : expected) EXPECT_EQ(Random_Range(0xFFFFFFFFu), e);
}

TEST_F(RandomTest, SeedOneOutputs) {
  Random_Seed(1);
  EXPECT_EQ(Random_Range(0xFFFFFFFFu), 0xB8C1309Fu);
  EXPECT_EQ(Random_Range(0xFFFFFFFFu), 0x2E59857Au);
  EXPECT_EQ(Random_Range(0xFFFFFFFFu), 0x9B9E595Fu);
}

TEST_F(RandomTest, RangeTakesTheHighWordOfTheProduct) {
  Random_Seed(0);
  EXPECT_EQ(Random_Range(49), 27u);
  EXPECT_EQ(Random_Range(49), 39u);
  EXPECT_EQ(Random_Range(49), 33u);
  // Range 0 always answers 0 but still consumes a word.
  EXPECT_EQ(Random_Range(0), 0u);
  EXPECT_EQ(Random_Range(0xFFFFFFFFu), 0x3C73645Bu);
}

TEST_F(RandomTest, ShufflesOfTheDrawPools) {
  const std::vector<int> balls = {33, 16, 9,  8,  6,  12, 1,  28, 32, 23, 38, 48, 10,
                                  2,  29, 36, 49, 37, 17, 39, 47, 44, 5,  30, 15, 42,
                                  11, 40, 25, 24, 3,  0,  13, 46, 45, 22, 34, 18, 27,
                                  31, 7,  35, 43, 21, 4,  14, 20, 19, 26, 41};
  EXPECT_EQ(shuffledInts(0, 50), balls);
  EXPECT_EQ(shuffledInts(0, 12), (std::vector<int>{0, 5, 9, 8, 6, 10, 1, 4, 2, 3, 7, 11}));
}

TEST_F(RandomTest, ShuffleOfNElementsDrawsNMinusOneWords) {
  void* owner = nullptr;
  int32_t* one = (int32_t*)Array_Allocate(4, 1, 21, nullptr, &owner);
  one[0] = 42;
  Random_Seed(0);
  Array_Shuffle(one);
  Array_ShuffleRange(one, 0, 0);
  Array_Shuffle(nullptr);
  EXPECT_EQ(one[0], 42);
  EXPECT_EQ(Random_Range(0xFFFFFFFFu), 0x8B910D61u);  // still the first word

  int32_t* ten = (int32_t*)Array_Allocate(4, 10, 21, nullptr, &owner);
  for (int i = 0; i < 10; i++) ten[i] = i;
  Random_Seed(0);
  Array_ShuffleRange(ten, 2, 5);
  for (int i : {0, 1, 6, 7, 8, 9}) EXPECT_EQ(ten[i], i);
  EXPECT_EQ(Random_Range(0xFFFFFFFFu), 0x60EE47BFu);  // three words used by four elements
  Array_Free(ten);
}

TEST_F(RandomTest, RangeOutsideTheArrayIsRefused) {
  void* owner = nullptr;
  int32_t* a = (int32_t*)Array_Allocate(4, 10, 21, nullptr, &owner);
  for (int i = 0; i < 10; i++) a[i] = i;
  Random_Seed(0);
  Array_ShuffleRange(a, 0, 10);
  Array_ShuffleRange(a, -1, 5);
  for (int i = 0; i < 10; i++) EXPECT_EQ(a[i], i);
  EXPECT_EQ(Random_Range(0xFFFFFFFFu), 0x8B910D61u);
  Array_Free(a);
}

TEST_F(RandomTest, EveryElementSizeGivesThePermutationOfFourByteElements) {
  const int32_t count = 40;
  void* owner = nullptr;
  makeTaggedArray(&owner, 4, count);
  Random_Seed(7);
  Array_Shuffle(owner);
  std::vector<int> reference = readTags(owner, 4, count);
  Array_Free(owner);
  for (int32_t size : {1, 2, 3, 5, 8, 12}) {
    SCOPED_TRACE(size);
    makeTaggedArray(&owner, size, count);
    Random_Seed(7);
    Array_Shuffle(owner);
    EXPECT_EQ(readTags(owner, size, count), reference);
    Array_Free(owner);
    // The same from a state of the caller's own, the process-wide generator left alone; a
    // zeroed state seeds itself at its first shuffle.
    makeTaggedArray(&owner, size, count);
    RandomState own = RandomState(), fresh = RandomState();
    RandomState_Seed(own, 7);
    Random_Seed(0);
    RandomState_Shuffle(own, owner);
    EXPECT_EQ(readTags(owner, size, count), reference);
    RandomState_Shuffle(fresh, owner);
    EXPECT_EQ(fresh.seeded, 1);
    EXPECT_EQ(Random_Range(0xFFFFFFFFu), 0x8B910D61u);
    Array_Free(owner);
  }
}

}  // namespace
