// Rain and snow without a context: the rain volume's fall and wrap-around, and the flake quads.
#include "core/params.h"
#include "core/util.h"
#include "fx/weather.h"
#include <gtest/gtest.h>
#include <cmath>

TEST(Rain, StreaksFallAndStartAgainAtTheTop) {
  int old = i_rain_ndroplets;
  i_rain_ndroplets = 500;
  usrand(7);
  rain_init(8);
  i_rain_ndroplets = old;
  ASSERT_TRUE(rain_droplets.count == 500 && rain_radius == 8);
  for (const droplet &d : rain_droplets)
    ASSERT_TRUE(fabsf(d.x) <= 8 && fabsf(d.z) <= 8 && d.y >= 0 && d.y <= 60 && d.length >= 2 && d.length <= 3) << d.x << "," << d.y;
  // at the edge: exactly one step above 0 lands on 0 and stays; anything less wraps to 60 exactly
  rain_droplets[0] = {1, 0.5f, 2, 2.5f};
  rain_droplets[1] = {-1, RAIN_FALL_PER_STEP, -2, 2.2f};
  rain_droplets[2] = {3, 60, 4, 3};
  rain_update();
  EXPECT_TRUE(rain_droplets[0].y == 60.0f && rain_droplets[1].y == 0.0f);
  EXPECT_FLOAT_EQ(rain_droplets[2].y, 60 - RAIN_FALL_PER_STEP);
  EXPECT_TRUE(rain_droplets[0].x == 1 && rain_droplets[0].z == 2 && rain_droplets[0].length == 2.5f);
  int steps = 1; // a streak crosses the volume in 52 steps (about 1.7 s) and comes back to the top
  do rain_update();
  while (++steps < 100 && rain_droplets[2].y != 60.0f);
  EXPECT_EQ(steps, 52);
}

TEST(Snow, FlakesAreUprightSquaresTurnedAboutTheVertical) {
  // half-extent of the bottom edge along x and z
  const float cases[][3] = {{0, 0.0625f, 0}, {90, 0, 0.0625f}, {45, 0.0441942f, 0.0441942f}, {180, -0.0625f, 0}};
  for (auto &c : cases) {
    float q[SNOW_FLAKE_FLOATS], dx = c[1], dz = c[2];
    snow_flake_quad(q, 1, 2, 3, c[0] * (float)(M_PI / 180));
    const float want[12] = {1 - dx, 2 - 0.0625f, 3 - dz, 1 - dx, 2 + 0.0625f, 3 - dz,
                            1 + dx, 2 + 0.0625f, 3 + dz, 1 + dx, 2 - 0.0625f, 3 + dz};
    for (int k = 0; k < 12; k++) EXPECT_NEAR(q[k], want[k], 1e-6) << c[0] << " value " << k;
  }
}
