// The font library: the pixels-per-inch reading and the registry's clean-up at end.
#include <stdlib.h>

#include "runtime/accounting.h"
#include "runtime/font.h"
#include "runtime/registry.h"
#include "tests/support/runtime_fixture.h"

namespace {

class FontLibTest : public RuntimeCoreTest {};

// The screen resolution that a fresh process of this user sees, set to 120 dots per inch while
// the guard lives and put back afterwards.
class ScreenResolution120 {
 public:
  ScreenResolution120() {
    RegCreateKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, nullptr, 0,
                    KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &key_, nullptr);
    DWORD size = sizeof old_;
    had_ = RegQueryValueExW(key_, L"LogPixels", nullptr, nullptr, (BYTE*)&old_, &size) ==
           ERROR_SUCCESS;
    DWORD dpi = 120;
    RegSetValueExW(key_, L"LogPixels", 0, REG_DWORD, (const BYTE*)&dpi, sizeof dpi);
  }
  ~ScreenResolution120() {
    if (had_) RegSetValueExW(key_, L"LogPixels", 0, REG_DWORD, (const BYTE*)&old_, sizeof old_);
    else RegDeleteValueW(key_, L"LogPixels");
    RegCloseKey(key_);
  }

 private:
  HKEY key_ = nullptr;
  DWORD old_ = 0;
  bool had_ = false;
};

HFONT makeFont() {
  HFONT font =
      CreateFontW(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Tahoma");
  if (font) Account_Created(ACCOUNT_FONT);
  return font;
}

TEST_F(FontLibTest, StartReadsPixelsPerInchAndLeavesNoDeviceContext) {
  int64_t dcsBefore = Account_Created_Total(ACCOUNT_DC);
  FontLib_Start();
  HDC screen = GetDC(nullptr);
  int expected = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  EXPECT_EQ(FontLib_PixelsPerInchY(), expected);
  EXPECT_LE(Account_Created_Total(ACCOUNT_DC) - dcsBefore, 1);
  EXPECT_EQ(Account_Live(ACCOUNT_DC), 0);
  ObjectRegistry* fonts = FontLib_Registry();
  ASSERT_NE(fonts, nullptr);
  EXPECT_EQ(fonts->capacity, 16);
  FontLib_End();

  // The reading follows the screen rather than the usual 96: a process started on a screen of
  // 120 dots per inch reads 120.
  ScreenResolution120 resolution;
  EXPECT_EXIT(
      {
        FontLib_Start();
        _Exit(FontLib_PixelsPerInchY() == 120 ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
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
