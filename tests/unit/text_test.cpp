#include <gtest/gtest.h>

#include "runtime/platform.h"

TEST(Text, LengthAndCompare) {
  EXPECT_EQ(Text_Length(nullptr), 0u);
  EXPECT_EQ(Text_Length(TEXT16("GFX\\Balls\\")), 10u);
  EXPECT_EQ(Text_Compare(TEXT16("abc"), TEXT16("abc")), 0);
  EXPECT_LT(Text_Compare(TEXT16("abc"), TEXT16("abd")), 0);
  EXPECT_EQ(Text_CompareNoCase(TEXT16("Vide.PNG"), TEXT16("vide.png")), 0);
  EXPECT_GT(Text_CompareNoCase(TEXT16("b"), TEXT16("A")), 0);
}
