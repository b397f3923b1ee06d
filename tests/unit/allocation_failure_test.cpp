// Every allocation an operation makes, made to fail in turn: for k = 1, 2, ... the k-th heap
// allocation fails, until a run of the operation makes fewer than k. Each failing run must give
// the operation's failure result (or the documented fallback), crash nothing, and leave no
// block behind on any heap; a run that succeeds anyway must give the right result. The native
// host's heaps make the failures, so these run in the native builds (LeakSanitizer watches
// the process heap and malloc; the listed heaps are checked by their block counts).
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include <functional>
#include <string>

#include "image/bitmap.h"
#include "image/record.h"
#include "runtime/accounting.h"
#include "runtime/random.h"
#include "runtime/registry.h"
#include "tests/support/image_fixture.h"

#ifndef _WIN32
using namespace testpics;

namespace {

struct HeapCounts {
  size_t program, strings, process;
  bool operator==(const HeapCounts& o) const {
    return program == o.program && strings == o.strings && process == o.process;
  }
};
HeapCounts heapCounts() {
  return {Host_HeapBlockCount(g_programHeap), Host_HeapBlockCount(TempString_Area().heap),
          Host_HeapBlockCount(GetProcessHeap())};
}
std::ostream& operator<<(std::ostream& out, const HeapCounts& c) {
  return out << "{program " << c.program << ", strings " << c.strings << ", process " << c.process
             << "}";
}

// For k = 1, 2, ...: `prepare` runs, then `operation` with its k-th allocation failing, then
// `finish` (told the result and whether a failure was injected) checks the outcome and frees
// what was made; the heaps must then hold what they held after a first run with no failure
// (which makes what is kept for reuse: a number's record, a grown table). Ends with the first
// run that makes fewer than k allocations, which must succeed. Returns the failure points.
long everyFailurePoint(const std::function<void()>& prepare, const std::function<bool()>& operation,
                       const std::function<void(bool ok, bool injected)>& finish) {
  prepare();
  bool warm = operation();
  finish(warm, false);
  EXPECT_TRUE(warm);
  HeapCounts before = heapCounts();
  bool failedBefore = ::testing::Test::HasFailure();
  int64_t bitmaps = Account_Live(ACCOUNT_BITMAP);
  for (long k = 1; k < 100000; k++) {
    prepare();
    Host_FailAllocation(k);
    bool ok = operation();
    bool injected = Host_FailedAllocations() != 0;
    Host_FailAllocation(0);
    finish(ok, injected);
    EXPECT_EQ(heapCounts(), before) << "blocks left behind with allocation " << k << " failing";
    EXPECT_EQ(Account_Live(ACCOUNT_BITMAP), bitmaps) << "allocation " << k << " failing";
    if (!failedBefore && ::testing::Test::HasFailure()) return k;
    if (!injected) {
      EXPECT_TRUE(ok) << "failed with no allocation failing";
      return k - 1;
    }
  }
  ADD_FAILURE() << "the operation never stopped allocating";
  return 0;
}

long total;  // failure points over the whole program, printed at the end

class FailureCount : public ::testing::Environment {
  void TearDown() override { printf("allocation failure points exercised: %ld\n", total); }
};
const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new FailureCount);

class AllocationFailureTest : public ImageLibraryTest {
 protected:
  void TearDown() override {
    Host_FailAllocation(0);
    ImageLibraryTest::TearDown();
  }
  void count(long points, long atLeast) {
    EXPECT_GE(points, atLeast);
    total += points;
  }
};

// -------------------------------------------------------------------------------------------
// Loading pictures

// The pixels of image `number`, row by row (empty if it has none).
std::string pixels(intptr_t number) {
  BitmapView v = {};
  if (!Bitmap_Describe((HANDLE)Image_Handle(number), &v)) return std::string();
  std::string out;
  for (int y = 0; y < v.rows; y++) {
    out.append((const char*)BitmapView_Row(v, y), (size_t)v.width * (size_t)(v.bitCount / 8));
  }
  return out;
}

Bytes png(int type, int depth, bool interlace, bool trns, int width = 7, int height = 5) {
  return samplePng(type, depth, interlace, trns, width, height);
}

// Every failure point of loading `file` into a number that already holds another picture:
// a load that fails leaves the number empty; one that succeeds has the right pixels.
long loadEveryWay(const Bytes& file) {
  const intptr_t kNumber = 4;
  EXPECT_NE(Image_LoadMemory(kNumber, file.data(), (uint32_t)file.size()), 0);
  std::string reference = pixels(kNumber);
  EXPECT_FALSE(reference.empty());
  Image_Free(kNumber);
  Bytes other = png(2, 8, false, false, 2, 2);
  return everyFailurePoint(
      [&] { EXPECT_NE(Image_LoadMemory(kNumber, other.data(), (uint32_t)other.size()), 0); },
      [&] { return Image_LoadMemory(kNumber, file.data(), (uint32_t)file.size()) != 0; },
      [&](bool ok, bool) {
        if (ok) {
          EXPECT_EQ(pixels(kNumber), reference);
        } else {
          EXPECT_EQ(Image_Handle(kNumber), 0);
          EXPECT_EQ(Image_Width(kNumber), 0);
        }
        Image_Free(kNumber);
      });
}

TEST_F(AllocationFailureTest, LoadingEveryKindOfPng) {
  for (const PngKind& p : kPngKinds) {
    SCOPED_TRACE("colour type " + std::to_string(p.type) + ", depth " + std::to_string(p.depth));
    // libpng itself allocates a dozen blocks or more for every picture.
    count(loadEveryWay(png(p.type, p.depth, p.interlace, p.trns)), 8);
  }
}

TEST_F(AllocationFailureTest, LoadingEveryKindOfBmp) {
  Bytes rows(64, 0x5A);
  struct B {
    uint16_t bits;
    uint32_t compression;
  } kinds[] = {{1, 0}, {4, 0}, {8, 0}, {16, 0}, {16, 3}, {24, 0}, {32, 0}};
  for (const B& b : kinds) {
    SCOPED_TRACE("bits " + std::to_string(b.bits));
    count(loadEveryWay(sampleBmp(b.bits, b.compression, rows)), 2);  // the bitmap and its bits
  }
  Bytes rle = {0x03, 0x01, 0x00, 0x03, 1,    2,    3,    0x00, 0x00, 0x00,
               0x02, 0x01, 0x01, 0x02, 0x02, 0x00, 0x00, 0x00, 0x01};
  count(loadEveryWay(sampleBmp(8, 1, rle)), 2);
}

TEST_F(AllocationFailureTest, LoadingFromAFile) {
  std::string folder = tempFolder("allocation_failure");
  ASSERT_TRUE(writeFile(folder + "ball.png", png(6, 8, false, false)));
  auto name = path16(folder + "ball.png");
  count(everyFailurePoint([] {}, [&] { return Image_Load(2, name.c_str(), 0) != 0; },
                          [&](bool ok, bool) {
                            EXPECT_EQ(Image_Handle(2) != 0, ok);
                            Image_Free(2);
                          }),
        10);
}

// A blank picture under a dynamic number: a failure gives the number's record back.
TEST_F(AllocationFailureTest, CreatingUnderADynamicNumber) {
  intptr_t made = 0;
  count(everyFailurePoint([] {}, [&] { return (made = Image_Create(OBJECT_DYNAMIC, 5, 7)) != 0; },
                          [&](bool ok, bool) {
                            EXPECT_EQ(Image_Width(made), ok ? 5 : 0);
                            Image_Free(made);
                          }),
        3);  // the number's record, the bitmap and its bits
}

// Ball 7's name built as the draw builds it, with the given allocations failing while it is
// built (Host_FailAllocation's arguments; 0 for none), then loaded as image 1.
intptr_t loadBallSeven(long firstFailing, long failing) {
  int32_t start = TempString_Area().end;
  Host_FailAllocation(firstFailing, failing);
  TempString_Append(TEXT16("GFX\\Balls\\"));
  Number_AppendText(7, TempString_Area().end);
  TempString_Append(TEXT16(".png"));
  Host_FailAllocation(0);
  TempString_Area().end += 2;
  intptr_t loaded = Image_Load(1, TempString_Address(start), 0);
  TempString_Area().end = start;
  return loaded;
}

// A name that lost a piece names nothing, not the shorter name that the pieces which did fit
// spell ("7.png", or ".png", in the current folder); restoring the end makes names whole again.
TEST_F(AllocationFailureTest, AFileNameThatLostAPieceLoadsNothing) {
  std::string folder = tempFolder("lost_piece");
  for (const char* name : {"7.png", ".png", "GFX\\Balls\\7.png"})  // one name each, here
    ASSERT_TRUE(writeFile(folder + name, png(6, 8, false, false)));
  char previous[4096];
  ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
  ASSERT_EQ(chdir(folder.c_str()), 0);
  const long kCases[][2] = {{1, 1}, {1, -1}};  // the area's first growth; every allocation
  for (const long* failures : kCases) {
    SCOPED_TRACE("failing from allocation 1, count " + std::to_string(failures[1]));
    TempString_End();
    TempString_Start();  // back to the first 16 bytes
    EXPECT_EQ(loadBallSeven(failures[0], failures[1]), 0);
    EXPECT_EQ(Image_Handle(1), 0);
    EXPECT_NE(loadBallSeven(0, 0), 0);
    Image_Free(1);
  }
  EXPECT_EQ(chdir(previous), 0);
}

// -------------------------------------------------------------------------------------------
// The runtime core

void freeNothing(intptr_t) {}

TEST_F(AllocationFailureTest, RegistryNumbersAndDynamicNumbers) {
  ObjectRegistry* registry = Registry_Create(24, 4, freeNothing);
  ASSERT_NE(registry, nullptr);
  intptr_t dynamic = 0;
  count(everyFailurePoint([] {},
                          [&] {
                            void* a = Registry_Allocate(registry, 3);
                            void* b = Registry_Allocate(registry, OBJECT_DYNAMIC);
                            if (a) *(void**)a = registry;  // the live mark
                            if (b) *(void**)b = registry;
                            dynamic = (intptr_t)b;
                            EXPECT_EQ(Registry_Get(registry, 3), a);
                            return a && b;
                          },
                          [&](bool, bool) {
                            Registry_Release(registry, 3);
                            if (dynamic) Registry_Release(registry, dynamic);
                            EXPECT_EQ(Registry_Get(registry, 3), nullptr);
                            EXPECT_EQ(registry->dynamicChain, nullptr);
                          }),
        1);
}

TEST_F(AllocationFailureTest, PoolAndMap) {
  count(everyFailurePoint([] {},
                          [] {
                            BlockPool* pool = Pool_Create(16, 8, 64, 0);
                            if (!pool) return false;
                            void* blocks[20] = {};
                            bool ok = true;
                            for (void*& b : blocks) {
                              b = Pool_Alloc(pool);
                              if (b) memset(b, 0xAB, 16);
                              ok = ok && b;
                            }
                            for (void* b : blocks) {
                              if (b) Pool_Free(pool, b);
                            }
                            Pool_Destroy(pool);
                            return ok;
                          },
                          [](bool, bool) {}),
        3);

  const Char16* keys[] = {TEXT16("GFX\\Balls\\1.png"),
                          TEXT16("two"),
                          TEXT16("THREE"),
                          TEXT16("four"),
                          TEXT16("five"),
                          TEXT16("six")};
  HashMap* map = nullptr;
  count(everyFailurePoint([] {},
                          [&] {
                            if (!Map_Create(8, 0, nullptr, &map, 4, MAP_CASE_INSENSITIVE))
                              return false;
                            bool ok = true;
                            for (const Char16* key : keys) {
                              int32_t before = Map_Count(map);
                              void* element = Map_Add(map, key, 0);
                              if (element) memset(element, 1, 8);
                              // A failed add adds nothing.
                              EXPECT_EQ(Map_Count(map), before + (element ? 1 : 0));
                              EXPECT_EQ(Map_Find(map, key) != nullptr, element != nullptr);
                              ok = ok && element;
                            }
                            return ok;
                          },
                          [&](bool, bool) {
                            Map_Free(&map);
                            EXPECT_EQ(map, nullptr);
                          }),
        6);
}

TEST_F(AllocationFailureTest, TemporaryStringsAndVariables) {
  std::u16string longText(9000, u'x');  // past the first growth of the area
  Char16* variable = nullptr;
  count(everyFailurePoint([] { TempString_Area().end = 0; },
                          [&] {
                            TempStringArea& area = TempString_Area();
                            TempString_Append(TEXT16("GFX\\Balls\\"));
                            Number_AppendText(-1234567890123LL, area.end);
                            TempString_Append((const Char16*)longText.c_str());
                            String_Assign(&variable, TempString_Address(0));
                            // Whatever failed, the built text is terminated where the area ends.
                            std::u16string whole = u"GFX\\Balls\\-1234567890123" + longText;
                            std::u16string built((const char16_t*)TempString_Address(0));
                            EXPECT_EQ((size_t)area.end, 2 * built.size());
                            return built == whole && variable &&
                                   std::u16string((const char16_t*)variable) == whole;
                          },
                          [&](bool, bool) {
                            String_Assign(&variable, nullptr);
                            // The area keeps its block between texts; drop back to the start so
                            // that the heap counts compare.
                            TempString_End();
                            TempString_Start();
                          }),
        3);
}

TEST_F(AllocationFailureTest, ArraysShuffleAndMemoryBlocks) {
  void* owner = nullptr;
  count(everyFailurePoint([] {},
                          [&] {
                            uint8_t* a = (uint8_t*)Array_Allocate(3, 40, 0, nullptr, &owner);
                            if (!a) return false;
                            for (int i = 0; i < 120; i++) a[i] = (uint8_t)i;
                            Array_Shuffle(a);  // three-byte elements need a scratch block
                            int sum = 0;
                            for (int i = 0; i < 120; i++) sum += a[i];
                            EXPECT_EQ(sum, 119 * 120 / 2);  // the same bytes, moved or not
                            Array_Free(a);
                            return true;
                          },
                          [&](bool, bool) { EXPECT_EQ(owner, nullptr); }),
        1);
  Memory_Start();
  count(everyFailurePoint([] {},
                          [] {
                            void* a = Memory_Allocate(100, 0);
                            void* b = Memory_Allocate(5000, 1);
                            Memory_Free(a);
                            Memory_Free(b);
                            return a && b;
                          },
                          [](bool, bool) {}),
        2);
  Memory_End();
}

}  // namespace
#endif
