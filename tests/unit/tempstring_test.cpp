// The temporary string area: growth and shrink figures, the call protocol, number text and
// string variables.
#include <string>

#include "tests/support/runtime_fixture.h"

namespace {

class TempStringTest : public RuntimeCoreTest {
 protected:
  TempStringArea& area = TempString_Area();
  std::u16string textAt(int32_t offset) {
    return std::u16string((const char16_t*)TempString_Address(offset));
  }
  std::u16string numberText(int64_t value) {
    int32_t start = area.end;
    Number_AppendText(value, area.end);
    std::u16string text = textAt(start);
    EXPECT_EQ(area.end, start + 2 * (int32_t)text.size());
    area.end = start;
    return text;
  }
};

const Char16 kBalls[] = TEXT16("GFX\\Balls\\");

// Blocks on the string heap now, to see that a variable's block went back.
size_t stringHeapBlocks() {
#ifdef _WIN32
  size_t blocks = 0;
  PROCESS_HEAP_ENTRY entry = {};
  while (HeapWalk(TempString_Area().heap, &entry))
    if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) blocks++;
  return blocks;
#else
  return Host_HeapBlockCount(TempString_Area().heap);
#endif
}

TEST_F(TempStringTest, FirstAppendGrowsTheArea) {
  EXPECT_EQ(area.capacity, 16);
  EXPECT_EQ(area.end, 0);
  TempString_Append(kBalls);
  EXPECT_EQ(area.capacity, 16404);
  EXPECT_EQ(HeapSize(area.heap, 0, area.base), 16414u);
  EXPECT_EQ(area.end, 20);
  EXPECT_EQ(textAt(0), u"GFX\\Balls\\");
}

TEST_F(TempStringTest, FileNameUnderTheCallProtocol) {
  for (int round = 0; round < 2; round++) {
    int32_t start = area.end;
    TempString_Append(kBalls);
    Number_AppendText(7, area.end);
    TempString_Append(TEXT16(".png"));
    EXPECT_EQ(area.end, 30);
    area.end += 2;
    EXPECT_EQ(area.end, 32);
    const Char16* name = TempString_Address(start);
    EXPECT_EQ(std::u16string((const char16_t*)name), u"GFX\\Balls\\7.png");
    area.end = start;
    EXPECT_EQ(start, 0);  // the second name starts where the first did
  }
}

TEST_F(TempStringTest, AppendingNoTextOnlyTerminates) {
  TempString_Append(TEXT16("abc"));
  *TempString_Address(area.end) = 'Z';
  TempString_Append(nullptr);
  EXPECT_EQ(area.end, 6);
  EXPECT_EQ(textAt(0), u"abc");
  TempString_Append(TEXT16("de"));  // even length: the terminator is written, not copied
  EXPECT_EQ(textAt(0), u"abcde");
}

TEST_F(TempStringTest, AppendingATextOfTheAreaItself) {
  TempString_Append(TEXT16("xy"));
  area.end += 2;
  std::u16string big(9000, u'q');
  TempString_Append((const Char16*)big.c_str());  // forces the area to move
  area.end = 6;
  TempString_Append(TempString_Address(0));
  EXPECT_EQ(textAt(6), u"xy");

  // The same at the moment the area has to grow for it: the copy reads the moved text.
  std::u16string text(1001, u'k');
  text[0] = u's';
  area.end = 0;
  TempString_Append((const Char16*)text.c_str());
  Char16* after = nullptr;
  String_Assign(&after, TEXT16("a block behind the area, so that it cannot grow in place"));
  int32_t capacity = area.capacity;
  area.end = capacity - 4 - 2 * (int32_t)text.size();
  TempString_Append(TempString_Address(0));
  EXPECT_GT(area.capacity, capacity);
  EXPECT_EQ(textAt(capacity - 4 - 2 * (int32_t)text.size()), text);
}

TEST_F(TempStringTest, LongTextAreaShrinksBackToOneMebibyte) {
  std::u16string text(600000, u'w');
  TempString_Append((const Char16*)text.c_str());
  EXPECT_EQ(area.capacity, 1200000 + 16384);
  // A reservation that fits shrinks the area to what it needs while that is above 1 MiB...
  area.end = 0;
  TempString_Reserve(550000, 0);
  EXPECT_EQ(area.capacity, 1100000);
  EXPECT_EQ(HeapSize(area.heap, 0, area.base), 1100010u);
  EXPECT_EQ(TempString_Address(0)[549999], u'w');  // the text before the end moved along
  // ...and to 1 MiB below that.
  area.end = 0;
  TempString_Reserve(10, 0);
  EXPECT_EQ(area.capacity, 0x100000);
  EXPECT_EQ(HeapSize(area.heap, 0, area.base), 0x100000u + 10);
  area.end = 0;
  TempString_Reserve(10, 0);
  EXPECT_EQ(area.capacity, 0x100000);  // not above the ceiling: left as it is
  EXPECT_EQ(TempString_Reserve(-1, 0), nullptr);
}

TEST_F(TempStringTest, NumberTexts) {
  EXPECT_EQ(numberText(0), u"0");
  EXPECT_EQ(numberText(7), u"7");
  EXPECT_EQ(numberText(49), u"49");
  EXPECT_EQ(numberText(-1), u"-1");
  EXPECT_EQ(numberText(INT32_MIN), u"-2147483648");
  EXPECT_EQ(numberText(INT32_MAX), u"2147483647");
  EXPECT_EQ(numberText(2147483648LL), u"2147483648");
  EXPECT_EQ(numberText(-2147483649LL), u"-2147483649");
  EXPECT_EQ(numberText(INT64_MAX), u"9223372036854775807");
  EXPECT_EQ(numberText(INT64_MIN), u"-9223372036854775808");
}

TEST_F(TempStringTest, StringVariables) {
  size_t blocks = stringHeapBlocks();
  Char16* variable = nullptr;
  String_Assign(&variable, TEXT16(""));
  ASSERT_NE(variable, nullptr);
  EXPECT_EQ(HeapSize(area.heap, 0, variable), 10u);
  EXPECT_EQ(variable[0], 0);
  String_Assign(&variable, TEXT16("GFX\\Stars\\"));
  EXPECT_EQ(HeapSize(area.heap, 0, variable), 30u);
  EXPECT_EQ(std::u16string((const char16_t*)variable), u"GFX\\Stars\\");
  String_Assign(&variable, variable + 4);  // a part of its own text
  EXPECT_EQ(std::u16string((const char16_t*)variable), u"Stars\\");
  String_Assign(&variable, nullptr);
  EXPECT_EQ(variable, nullptr);
  EXPECT_EQ(stringHeapBlocks(), blocks);  // no text holds no block
}

}  // namespace
