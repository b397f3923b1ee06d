// Desktop scaling: the identity in this program, and MulDiv rounding when a build is DPI-aware.
#include <gtest/gtest.h>

#include "gui/scaling.h"

namespace {

TEST(Scaling, IsTheIdentityWhenNotDpiAware) {
  Scaling_Start();
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
  EXPECT_EQ(Scaling_FactorX(), 1.0);
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
  // A resolution of nothing keeps design units.
  scaling_detail::configure(true, 0, 0);
  EXPECT_EQ(Scale_X(760), 760);
  scaling_detail::configure(false, 96, 96);
  EXPECT_EQ(Scale_X(760), 760);
}

}  // namespace
