// Desktop scaling: the identity with the switch off, MulDiv rounding with it on, and the
// resolution each window is shown at.
#include <gtest/gtest.h>

#include <vector>

#include "gui/scaling.h"

namespace {

TEST(Scaling, IsTheIdentityWhenNotDpiAware) {
  scaling_detail::configure(false, 144, 144);
  for (int32_t v : {0, 1, 5, 760, 140, -1, -300, -65535, 2000000}) {
    EXPECT_EQ(Scale_X(v), v);
    EXPECT_EQ(Scale_Y(v), v);
    EXPECT_EQ(Unscale_X(v), v);
  }
  int32_t x = -65535, y = 110, w = 750, h = -25;
  Scale_Rect(&x, &y, &w, &h);
  EXPECT_EQ(x, -65535);
  EXPECT_EQ(y, 110);
  EXPECT_EQ(w, 750);
  EXPECT_EQ(h, -25);
  EXPECT_EQ(Scaling_Desktop().x, 96);
  HWND window = CreateWindowExW(0, L"STATIC", L"dpi", WS_POPUP, 0, 0, 50, 50, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
  EXPECT_FALSE(Scaling_SetWindow(window, Resolution{144, 144})) << "the switch is off";
  Scaling_Target(window);
  EXPECT_EQ(Scale_X(760), 760);
  Scaling_Target(nullptr);
  DestroyWindow(window);
  scaling_detail::reset();
}

TEST(Scaling, RoundsToNearestWhenDpiAware) {
  scaling_detail::configure(true, 144, 120);
  EXPECT_EQ(Scale_X(760), 1140);
  EXPECT_EQ(Scale_Y(140), 175);
  int32_t x = 5, y = 110, w = 750, h = 25;
  scaling_detail::configure(true, 144, 144);
  Scale_Rect(&x, &y, &w, &h);
  EXPECT_EQ(x, 8);  // 7.5 rounds up
  EXPECT_EQ(y, 165);
  EXPECT_EQ(w, 1125);
  EXPECT_EQ(h, 38);            // 37.5 rounds up
  EXPECT_EQ(Unscale_X(5), 3);  // 3.33
  EXPECT_EQ(Scale_X(-5), -8);  // rounds away from zero, as MulDiv does
  // Across and down apart: each side by its own resolution.
  scaling_detail::configure(true, 144, 192);
  x = 5, y = 110, w = 750, h = 25;
  Scale_Rect(&x, &y, &w, &h);
  EXPECT_EQ(std::vector<int32_t>({x, y, w, h}), std::vector<int32_t>({8, 220, 1125, 50}));
  // The inverse gives back every design value the conversion made.
  for (int32_t dpi : {96, 120, 144, 168, 192, 288})
    for (int32_t v = -300; v <= 800; v++)
      ASSERT_EQ(Scaling_ToDesign(Scaling_ToPixels(v, dpi), dpi), v) << v << " at " << dpi;
  // A resolution of nothing keeps design units.
  scaling_detail::configure(true, 0, 0);
  EXPECT_EQ(Scale_X(760), 760);
  scaling_detail::configure(false, 96, 96);
  EXPECT_EQ(Scale_X(760), 760);
  scaling_detail::reset();
}

// The build is DPI-aware: a window keeps the resolution it is given, and its children with it;
// the conversions follow the window being built; a resolution of nothing or less is none.
TEST(Scaling, EachWindowKeepsItsOwnResolution) {
  scaling_detail::reset();
  HWND window = CreateWindowExW(0, L"STATIC", L"dpi", WS_POPUP, 0, 0, 50, 50, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
  HWND child = CreateWindowExW(0, L"STATIC", L"", WS_CHILD, 0, 0, 5, 5, window, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
  ASSERT_TRUE(Scaling_SetWindow(window, Resolution{144, 144}));
  for (int32_t ignored : {0, -1, -96}) EXPECT_FALSE(Scaling_SetWindow(window, {ignored, 144}));
  EXPECT_EQ(Scaling_Of(child).x * 1000 + Scaling_Of(child).y, 144144);
  Scaling_Target(child);
  EXPECT_EQ(Scale_X(760), 1140);
  EXPECT_EQ(Scale_Y(140), 210);
  Scaling_ForgetWindow(window);
  EXPECT_EQ(Scaling_Of(child).x, Scaling_Desktop().x);
  DestroyWindow(window);
  Scaling_Target(nullptr);
}

TEST(Scaling, AWindowsResolutionIsTheOneTheSystemGivesIt) {
  HWND window = CreateWindowExW(0, L"STATIC", L"dpi", WS_POPUP, 0, 0, 50, 50, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(window, nullptr);
  typedef UINT(WINAPI * ForWindow)(HWND);
  ForWindow forWindow =
      (ForWindow)(void*)GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow");
  int32_t dpi = Scaling_WindowDpi(window);
  EXPECT_GT(dpi, 0);
  EXPECT_EQ(dpi, forWindow ? (int32_t)forWindow(window) : dpi);
  DestroyWindow(window);
}

}  // namespace
