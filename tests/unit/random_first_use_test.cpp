// The generator's first use by each path seeds it once from the thread identity and the clock.
// Each path runs in a child process of its own, on a generator nothing has touched yet.
#include <stdlib.h>

#include <vector>

#include "runtime/random.h"
#include "tests/support/runtime_fixture.h"

namespace {

class RandomFirstUseTest : public RuntimeCoreTest {};

// Runs `use` twice on the untouched generator, then once more after each seed the first use
// could have taken (thread identity XOR a tick of its time): the words must be those of that
// seed, continued rather than seeded afresh. Exits 0 when they are.
template <typename Use>
void firstUseSeedsOnce(Use use) {
  DWORD thread = GetCurrentThreadId();
  DWORD before = GetTickCount();
  std::vector<uint32_t> first = use();
  DWORD after = GetTickCount();
  bool seeded = Random_State().seeded != 0;
  std::vector<uint32_t> second = use();
  for (DWORD t = before; t - before <= after - before; t++) {
    Random_Seed(thread ^ t);
    if (use() == first && use() == second) _Exit(seeded ? 0 : 2);
  }
  _Exit(1);
}

// A shuffle of `count` elements of `size` bytes holding their own index in the first byte.
std::vector<uint32_t> shuffled(int32_t size, int32_t count) {
  void* owner = nullptr;
  unsigned char* a = (unsigned char*)Array_Allocate(size, count, 0, nullptr, &owner);
  for (int32_t i = 0; i < count; i++) a[i * size] = (unsigned char)i;
  Array_Shuffle(a);
  std::vector<uint32_t> order;
  for (int32_t i = 0; i < count; i++) order.push_back(a[i * size]);
  Array_Free(a);
  return order;
}

TEST_F(RandomFirstUseTest, RangeCall) {
  EXPECT_EXIT(firstUseSeedsOnce([] {
                return std::vector<uint32_t>{Random_Range(49), Random_Range(0xFFFFFFFFu)};
              }),
              ::testing::ExitedWithCode(0), "");
}

TEST_F(RandomFirstUseTest, ShuffleOfFourByteElements) {
  EXPECT_EXIT(firstUseSeedsOnce([] { return shuffled(4, 50); }), ::testing::ExitedWithCode(0), "");
}

TEST_F(RandomFirstUseTest, ShuffleOfTwelveByteElements) {
  EXPECT_EXIT(firstUseSeedsOnce([] { return shuffled(12, 12); }), ::testing::ExitedWithCode(0), "");
}

}  // namespace
