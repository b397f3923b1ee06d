// The numbered object registry, the chain, library state blocks and run-once.
#include <atomic>
#include <thread>
#include <vector>

#include "runtime/registry.h"
#include "tests/support/runtime_fixture.h"

namespace {

struct Record {
  void* handle;  // live mark
  int value;
};

ObjectRegistry* registry;
std::vector<intptr_t> freed;

// A free entry as libraries write it: get, release the platform object, release the record.
void freeRecord(intptr_t number) {
  if (number == OBJECT_ALL) {
    Registry_FreeAll(registry);
    return;
  }
  if (Registry_Get(registry, number)) {
    freed.push_back(number);
    Registry_Release(registry, number);
  }
}

class RegistryTest : public RuntimeCoreTest {
 protected:
  void SetUp() override {
    RuntimeCoreTest::SetUp();
    freed.clear();
    registry = Registry_Create(sizeof(Record), 50, freeRecord);
    ASSERT_NE(registry, nullptr);
  }
  Record* create(intptr_t number) {
    Record* r = (Record*)Registry_Allocate(registry, number);
    if (r) r->handle = (void*)(intptr_t)0x1234;
    return r;
  }
};

TEST_F(RegistryTest, TableGrowsByItsStepPastTheNumber) {
  EXPECT_EQ(registry->capacity, 50);
  ASSERT_NE(create(60), nullptr);
  EXPECT_EQ(registry->capacity, 110);
  for (int i = 0; i < 110; i++) {
    if (i != 60) { EXPECT_EQ(registry->slots[i], nullptr) << i; }
  }
  EXPECT_EQ(Registry_Get(registry, 55), nullptr);
  EXPECT_NE(Registry_Get(registry, 60), nullptr);
  ASSERT_NE(create(110), nullptr);
  EXPECT_EQ(registry->capacity, 160);
}

TEST_F(RegistryTest, CreatingUnderALiveNumberFreesTheOldObjectAndReusesItsBlock) {
  Record* first = create(0);
  first->value = 5;
  Record* second = (Record*)Registry_Allocate(registry, 0);
  EXPECT_EQ(second, first);
  EXPECT_EQ(freed, std::vector<intptr_t>{0});
  EXPECT_EQ(second->handle, nullptr);
  EXPECT_EQ(second->value, 0);
  EXPECT_EQ(Registry_Get(registry, 0), nullptr);  // not live until the mark is set
}

TEST_F(RegistryTest, FreedNumberedObjectIsNoObjectButKeepsItsBlock) {
  Record* r = create(3);
  Registry_Release(registry, 3);
  EXPECT_EQ(Registry_Get(registry, 3), nullptr);
  EXPECT_EQ(registry->slots[3], r);
  EXPECT_EQ(r->handle, nullptr);
}

TEST_F(RegistryTest, DynamicNumbersAreRecordAddresses) {
  Record* older = create(OBJECT_DYNAMIC);
  Record* newer = create(OBJECT_DYNAMIC);
  ASSERT_NE(older, nullptr);
  ASSERT_NE(newer, nullptr);
  EXPECT_EQ(Registry_Get(registry, (intptr_t)older), older);
  EXPECT_EQ(Registry_Get(registry, (intptr_t)newer), newer);
  Registry_Release(registry, (intptr_t)older);
  EXPECT_EQ(Registry_Get(registry, (intptr_t)older), nullptr);
  EXPECT_EQ(Registry_Get(registry, (intptr_t)newer), newer);
  EXPECT_EQ(registry->dynamicChain, (void*)newer);
  EXPECT_EQ(Chain_Next(newer), nullptr);
  Registry_Release(registry, (intptr_t)newer);
  EXPECT_EQ(registry->dynamicChain, nullptr);
}

TEST_F(RegistryTest, NumbersNamingNothingAreNeverReadThrough) {
  create(1);
  create(OBJECT_DYNAMIC);
  // Looks like a live record, but it is not on the chain: it must not be taken for one, and
  // releasing it must not free it.
  Record impostor = {(void*)(intptr_t)1, 0};
  EXPECT_EQ(Registry_Get(registry, (intptr_t)&impostor), nullptr);
  Registry_Release(registry, (intptr_t)&impostor);
  EXPECT_EQ(impostor.handle, (void*)(intptr_t)1);
  for (intptr_t n : {(intptr_t)-1, (intptr_t)-5, (intptr_t)2, (intptr_t)50, (intptr_t)1000})
    EXPECT_EQ(Registry_Get(registry, n), nullptr) << n;
  EXPECT_EQ(Registry_Allocate(registry, -2), nullptr);
  Registry_FreeAll(registry);
}

TEST_F(RegistryTest, FreeAllGoesByNumberThenNewestDynamicFirst) {
  create(3);
  create(1);
  Record* older = create(OBJECT_DYNAMIC);
  Record* newer = create(OBJECT_DYNAMIC);
  create(7);
  Registry_Release(registry, 7);  // a freed number is not visited
  freeRecord(OBJECT_ALL);
  EXPECT_EQ(freed, (std::vector<intptr_t>{1, 3, (intptr_t)newer, (intptr_t)older}));
  EXPECT_EQ(registry->dynamicChain, nullptr);
  EXPECT_EQ(Registry_Get(registry, 1), nullptr);
}

void keepDynamicRecords(intptr_t) {}

TEST_F(RegistryTest, FreeAllEndsWhenAFreeEntryLeavesItsRecord) {
  ObjectRegistry* stubborn = Registry_Create(sizeof(Record), 4, keepDynamicRecords);
  for (int i = 0; i < 3; i++)
    ((Record*)Registry_Allocate(stubborn, OBJECT_DYNAMIC))->handle = &stubborn;
  Registry_FreeAll(stubborn);
  EXPECT_EQ(stubborn->dynamicChain, nullptr);
}

TEST_F(RegistryTest, TableGrowthThatWouldOverflowIsRefused) {
  EXPECT_EQ(Registry_Allocate(registry, INT32_MAX), nullptr);
  EXPECT_EQ(Registry_Allocate(registry, (intptr_t)INT32_MAX - 49), nullptr);
  if (sizeof(void*) == 4) {
    // The slot count fits, but its byte size wraps on 32 bits.
    EXPECT_EQ(Registry_Allocate(registry, (intptr_t)INT32_MAX - 60), nullptr);
  }
  EXPECT_EQ(registry->capacity, 50);
  EXPECT_NE(create(49), nullptr);
}

TEST_F(RegistryTest, ChainUnlinksFromAnyPosition) {
  void* head = nullptr;
  void* a = Chain_Add(&head, 2 * sizeof(void*) + 4);
  void* b = Chain_Add(&head, 2 * sizeof(void*) + 4);
  void* c = Chain_Add(&head, 2 * sizeof(void*) + 4);
  EXPECT_EQ(head, c);
  EXPECT_EQ(Chain_Next(c), b);
  EXPECT_EQ(Chain_Next(b), a);
  Chain_Remove(&head, b);  // an inner node: a's back link must now be c
  EXPECT_EQ(Chain_Next(c), a);
  Chain_Remove(&head, a);  // unlinked through that back link
  EXPECT_EQ(Chain_Next(c), nullptr);
  EXPECT_EQ(head, c);
  void* d = Chain_Add(&head, 2 * sizeof(void*) + 4);
  Chain_Remove(&head, d);
  EXPECT_EQ(head, c);
  void* e = Chain_Add(&head, 2 * sizeof(void*) + 4);
  Chain_Remove(&head, c);
  EXPECT_EQ(head, e);
  EXPECT_EQ(Chain_Next(e), nullptr);
  Chain_Remove(&head, e);
  EXPECT_EQ(head, nullptr);
}

void setSeven(void* state) { *(int*)state += 7; }

TEST_F(RegistryTest, LibraryStateIsZeroFilledBeforeItsInit) {
  int* state = (int*)LibState_Alloc(4 * sizeof(int), setSeven, nullptr);
  ASSERT_NE(state, nullptr);
  EXPECT_EQ(state[0], 7);
  EXPECT_EQ(state[3], 0);
  EXPECT_EQ(LibState_Get(state), state);
}

std::atomic<int> onceRuns;
std::atomic<bool> onceFinished;

void slowRoutine() {
  onceRuns++;
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  onceFinished = true;
}

// Both callers return only after the routine has finished, and it runs once.
void runOnceFromTwoThreads(volatile intptr_t* flag) {
  onceRuns = 0;
  onceFinished = false;
  std::atomic<int> sawFinished{0};
  auto caller = [&] {
    Once_Run(flag, slowRoutine);
    if (onceFinished) sawFinished++;
  };
  std::thread t1(caller), t2(caller);
  t1.join();
  t2.join();
  Once_Run(flag, slowRoutine);
  EXPECT_EQ(onceRuns, 1);
  EXPECT_EQ(sawFinished, 2);
}

TEST(OnceRun, RunsOnceAcrossThreads) {
  volatile intptr_t flag = 0;
  runOnceFromTwoThreads(&flag);
}

#ifndef _WIN32
TEST(OnceRun, InterlockedFallbackRunsOnceAcrossThreads) {
  Host_HideInitOnce(1);
  volatile intptr_t flag = 0;
  runOnceFromTwoThreads(&flag);
  EXPECT_EQ(flag, 2);
  Host_HideInitOnce(0);
}
#endif

}  // namespace
