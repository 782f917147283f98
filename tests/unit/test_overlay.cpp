// Overlay placement and the projection's aspect for every window size the parameters can hold.
#include "core/params.h"
#include "render/overlay.h"
#include <gtest/gtest.h>
#include <climits>

TEST(Overlay, PositionsAtAnyWindowSize) {
  int w = i_screen_w, h = i_screen_h, x, y;
  const struct {
    int sw, sh, logo_w, cw, ch, logo_x, cx, cy;
  } cases[] = {
      {854, 480, 512, 200, 40, 171, 634, 420},
      {855, 480, 511, 200, 40, 172, 635, 420}, // halves round toward zero: 427 - 255
      {100, 50, 512, 200, 40, -206, -120, -10}, // larger than the window: off to the left, clipped
      // extremes of "param.cfg": the corner is held to the int range instead of wrapping
      {INT_MIN, INT_MIN, 512, 200, 40, INT_MIN / 2 - 256, INT_MIN, INT_MIN},
      {INT_MAX, INT_MAX, 512, 200, 40, INT_MAX / 2 - 256, INT_MAX - 220, INT_MAX - 60},
  };
  for (auto &c : cases) {
    i_screen_w = c.sw, i_screen_h = c.sh;
    overlay_logo_pos(c.logo_w, &x, &y);
    EXPECT_EQ(x, c.logo_x) << c.sw;
    EXPECT_EQ(y, 50);
    overlay_credits_pos(c.cw, c.ch, &x, &y);
    EXPECT_EQ(x, c.cx) << c.sw;
    EXPECT_EQ(y, c.cy) << c.sh;
  }
  i_screen_w = w, i_screen_h = h;
  EXPECT_DOUBLE_EQ(screen_aspect(854, 480), 854.0 / 480);
  EXPECT_DOUBLE_EQ(screen_aspect(INT_MIN, -1), 2147483648.0);
  EXPECT_DOUBLE_EQ(screen_aspect(854, 0), 1.0); // no division by zero
}
