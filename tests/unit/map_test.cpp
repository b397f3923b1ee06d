// The string-keyed hash map: find, add, reuse, delete, case folding and the walk.
#include <set>
#include <string>
#include <vector>

#include "runtime/registry.h"
#include "tests/support/runtime_fixture.h"

namespace {

struct Element {
  int32_t a;
  int32_t b;
};

class MapTest : public RuntimeCoreTest {
 protected:
  HashMap* map = nullptr;
  void TearDown() override {
    Map_Free(&map);
    RuntimeCoreTest::TearDown();
  }
  Element* add(const Char16* key, int value, int reuse = 0) {
    Element* e = (Element*)Map_Add(map, key, reuse);
    if (e) e->a = value;
    return e;
  }
};

TEST_F(MapTest, FindAddAndReuse) {
  ASSERT_NE(Map_Create(sizeof(Element), 0, nullptr, &map, 1024), nullptr);
  EXPECT_EQ(Map_Find(map, TEXT16("one")), nullptr);
  Element* one = add(TEXT16("one"), 1);
  add(TEXT16("two"), 2);
  EXPECT_EQ(Map_Find(map, TEXT16("one")), one);
  EXPECT_EQ(Map_Find(map, TEXT16("ONE")), nullptr);  // case matters by default
  EXPECT_EQ(((Element*)Map_Find(map, TEXT16("two")))->a, 2);

  one->b = 9;
  Element* again = (Element*)Map_Add(map, TEXT16("one"), 1);
  EXPECT_EQ(again, one);
  EXPECT_EQ(again->a, 0);  // reused elements come back cleared
  EXPECT_EQ(again->b, 0);
  EXPECT_EQ(Map_Count(map), 2);

  Element* shadow = add(TEXT16("one"), 11);  // without reuse: a new node in front
  EXPECT_NE(shadow, one);
  EXPECT_EQ(Map_Find(map, TEXT16("one")), shadow);
  EXPECT_EQ(Map_Count(map), 3);
}

TEST_F(MapTest, DeleteCurrentLeavesTheRestOfTheBucket) {
  // One bucket: every key shares a chain, so deletion must unlink from any position.
  Map_Create(sizeof(Element), 0, nullptr, &map, 0);
  const Char16* keys[] = {TEXT16("a"), TEXT16("b"), TEXT16("c"), TEXT16("d")};
  for (int i = 0; i < 4; i++) add(keys[i], i);
  Map_Find(map, TEXT16("b"));
  Map_DeleteCurrent(map);
  Map_DeleteCurrent(map);  // nothing current any more: no effect
  EXPECT_EQ(Map_Find(map, TEXT16("b")), nullptr);
  Map_Find(map, TEXT16("d"));
  Map_DeleteCurrent(map);
  EXPECT_EQ(Map_Count(map), 2);
  EXPECT_EQ(((Element*)Map_Find(map, TEXT16("a")))->a, 0);
  EXPECT_EQ(((Element*)Map_Find(map, TEXT16("c")))->a, 2);

  // A walk of the chain (newest first: f, e, c, a) that deletes the element it stands on, and
  // once, from f, the element it would have gone to next.
  add(TEXT16("e"), 4);
  add(TEXT16("f"), 5);
  std::vector<int> walked;
  Map_Rewind(map);
  while (Element* e = (Element*)Map_Next(map)) {
    walked.push_back(e->a);
    Map_DeleteCurrent(map);
    if (walked.back() == 5) Map_Find(map, TEXT16("e")), Map_DeleteCurrent(map);
  }
  EXPECT_EQ(walked, (std::vector<int>{5, 2, 0}));
  EXPECT_EQ(Map_Count(map), 0);
}

TEST_F(MapTest, CaseInsensitiveKeysFold) {
  // One character's case moves a key to another bucket at these counts (not at powers of two
  // up to 32), so the hash itself must fold.
  for (int32_t buckets : {7, 1024}) {
    SCOPED_TRACE(buckets);
    Map_Create(sizeof(Element), 0, nullptr, &map, buckets, MAP_CASE_INSENSITIVE);
    Element* e = add(TEXT16("vide.png"), 5);
    EXPECT_EQ(Map_Find(map, TEXT16("vide.pnG")), e);
    EXPECT_EQ(Map_Find(map, TEXT16("Vide.png")), e);
    EXPECT_EQ(Map_Add(map, TEXT16("VIDE.PNG"), 1), e);
    EXPECT_EQ(Map_Count(map), 1);
    EXPECT_EQ(Map_Find(map, nullptr), nullptr);
    Element* empty = add(nullptr, 3);  // no key is the empty key
    EXPECT_EQ(Map_Find(map, TEXT16("")), empty);
  }
}

TEST_F(MapTest, WalkVisitsEveryElementAndAllowsDeletion) {
  Map_Create(sizeof(Element), 0, nullptr, &map, 7);
  std::u16string key;
  for (int i = 0; i < 100; i++) {
    key = u"k" + std::u16string(1, (char16_t)('A' + i % 26)) +
          std::u16string(1, (char16_t)('0' + i / 26));
    add((const Char16*)key.c_str(), i);
  }
  std::set<int> seen;
  Map_Rewind(map);
  while (Element* e = (Element*)Map_Next(map)) {
    seen.insert(e->a);
    if (e->a % 2) Map_DeleteCurrent(map);
  }
  EXPECT_EQ(seen.size(), 100u);
  EXPECT_EQ(Map_Count(map), 50);
  int left = 0;
  Map_Rewind(map);
  while (Element* e = (Element*)Map_Next(map)) {
    EXPECT_EQ(e->a % 2, 0);
    left++;
  }
  EXPECT_EQ(left, 50);
}

// Blocks on the program heap now, to see that nothing was left behind.
size_t programHeapBlocks() {
#ifdef _WIN32
  size_t blocks = 0;
  PROCESS_HEAP_ENTRY entry = {};
  while (HeapWalk(g_programHeap, &entry))
    if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) blocks++;
  return blocks;
#else
  return Host_HeapBlockCount(g_programHeap);
#endif
}

TEST_F(MapTest, CreatingIntoAVariableFreesItsMap) {
  size_t before = programHeapBlocks();
  Map_Create(sizeof(Element), 0, nullptr, &map, 4);
  add(TEXT16("x"), 1);
  add(TEXT16("y"), 2);
  Map_Create(sizeof(Element), 0, nullptr, &map, 4);
  EXPECT_NE(map, nullptr);
  EXPECT_EQ(Map_Count(map), 0);
  EXPECT_EQ(Map_Find(map, TEXT16("y")), nullptr);
  add(TEXT16("z"), 3);
  Map_Clear(map);
  EXPECT_EQ(Map_Find(map, TEXT16("z")), nullptr);
  EXPECT_EQ(Map_Count(map), 0);
  Map_Free(&map);
  EXPECT_EQ(map, nullptr);
  EXPECT_EQ(programHeapBlocks(), before);  // the first map went with its nodes and keys
}

}  // namespace
