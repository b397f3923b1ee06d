#include <gtest/gtest.h>

#include "runtime/platform.h"

TEST(Text, LengthAndCompare) {
  EXPECT_EQ(Text_Length(nullptr), 0u);
  EXPECT_EQ(Text_Length(TEXT16("GFX\\Balls\\")), 10u);
  EXPECT_EQ(Text_Compare(TEXT16("abc"), TEXT16("abc")), 0);
  EXPECT_LT(Text_Compare(TEXT16("abc"), TEXT16("abd")), 0);
  EXPECT_EQ(Text_CompareNoCase(TEXT16("Vide.PNG"), TEXT16("vide.png")), 0);
  EXPECT_GT(Text_CompareNoCase(TEXT16("b"), TEXT16("A")), 0);
  // Ordered by the folded letters: raw code units would put every capital first.
  EXPECT_LT(Text_CompareNoCase(TEXT16("a"), TEXT16("B")), 0);
  EXPECT_GT(Text_CompareNoCase(TEXT16("B"), TEXT16("a")), 0);
}

TEST(Text, LowerCharFoldsOnlyAToZ) {
  const Char16 in[] = {'@', 'A', 'M', 'Z', '[', '`', 'a', 'z', '{', 0xC0, 0x141, 0xFF21};
  const Char16 out[] = {'@', 'a', 'm', 'z', '[', '`', 'a', 'z', '{', 0xC0, 0x141, 0xFF21};
  for (size_t i = 0; i < sizeof in / sizeof in[0]; i++)
    EXPECT_EQ(Text_LowerChar(in[i]), out[i]) << std::hex << in[i];
}
