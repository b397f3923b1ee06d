// The font library: the pixels-per-inch reading and the registry's clean-up at end.
#include "runtime/accounting.h"
#include "runtime/font.h"
#include "runtime/registry.h"
#include "tests/support/runtime_fixture.h"

namespace {

class FontLibTest : public RuntimeCoreTest {};

HFONT makeFont() {
  HFONT font = CreateFontW(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Tahoma");
  if (font) Account_Created(ACCOUNT_FONT);
  return font;
}

TEST_F(FontLibTest, StartReadsPixelsPerInchAndLeavesNoDeviceContext) {
  int64_t dcsBefore = Account_Created_Total(ACCOUNT_DC);
  FontLib_Start();
  EXPECT_GT(FontLib_PixelsPerInchY(), 0);
  EXPECT_LE(Account_Created_Total(ACCOUNT_DC) - dcsBefore, 1);
  EXPECT_EQ(Account_Live(ACCOUNT_DC), 0);
  ObjectRegistry* fonts = FontLib_Registry();
  ASSERT_NE(fonts, nullptr);
  EXPECT_EQ(fonts->capacity, 16);
  FontLib_End();
}

TEST_F(FontLibTest, EndFreesEveryFont) {
  FontLib_Start();
  ObjectRegistry* fonts = FontLib_Registry();
  HFONT numbered = makeFont();
  HFONT dynamic = makeFont();
  ASSERT_TRUE(numbered && dynamic);
  *(HFONT*)Registry_Allocate(fonts, 3) = numbered;
  HFONT* record = (HFONT*)Registry_Allocate(fonts, OBJECT_DYNAMIC);
  *record = dynamic;
  EXPECT_EQ(Account_Live(ACCOUNT_FONT), 2);
  FontLib_End();
  EXPECT_EQ(Account_Live(ACCOUNT_FONT), 0);
  EXPECT_EQ(GetObjectType(numbered), 0u);
  EXPECT_EQ(GetObjectType(dynamic), 0u);
  EXPECT_EQ(Registry_Get(fonts, 3), nullptr);
  EXPECT_EQ(fonts->dynamicChain, nullptr);
}

TEST_F(FontLibTest, FreeOfAllFontsAndOfNothing) {
  FontLib_Start();
  ObjectRegistry* fonts = FontLib_Registry();
  *(HFONT*)Registry_Allocate(fonts, 0) = makeFont();
  *(HFONT*)Registry_Allocate(fonts, 20) = makeFont();
  Font_Free(5);  // never used: nothing happens
  EXPECT_EQ(Account_Live(ACCOUNT_FONT), 2);
  Font_Free(OBJECT_ALL);
  EXPECT_EQ(Account_Live(ACCOUNT_FONT), 0);
  EXPECT_EQ(Registry_Get(fonts, 20), nullptr);
}

}  // namespace
