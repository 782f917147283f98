// Frustum planes from the camera, the box test and its tie-breaks, matrices and boxes.
#include "render/frustum.h"
#include <gtest/gtest.h>
#include <cmath>

// Loads the view the camera loads and the projection gluPerspective(60, 854 / 480, 0.1, 100).
static void load_view(float pitch, float yaw, float x, float y, float z) {
  float mv[16], pr[16] = {};
  mat4_identity(mv);
  mat4_rotate_x(mv, pitch);
  mat4_rotate_y(mv, yaw);
  mat4_translate(mv, -x, -y, -z);
  double f = 1 / tan(30 * M_PI / 180), n = (double)0.1f, zfar = 100;
  pr[0] = (float)(f / (854.0 / 480.0)), pr[5] = (float)f, pr[10] = (float)((zfar + n) / (n - zfar)), pr[11] = -1;
  pr[14] = (float)(2 * zfar * n / (n - zfar));
  frustum_update(mv, pr);
}

static int test_at(float x, float y, float z, float half) {
  aabb b = {{x - half, y - half, z - half}, {x + half, y + half, z + half}};
  return frustum_test_box(&b, g_frustum);
}

TEST(Frustum, FollowsTheCameraPose) {
  load_view(0, 0, 0, 0, 0); // at the origin, looking down -z
  EXPECT_EQ(test_at(0, 0, -10, 1), FRUSTUM_INSIDE);
  EXPECT_EQ(test_at(0, 0, 10, 1), FRUSTUM_OUTSIDE);
  EXPECT_EQ(test_at(0, 0, -150, 1), FRUSTUM_OUTSIDE);
  aabb near_straddle = {{-0.05f, -0.05f, -0.2f}, {0.05f, 0.05f, 0.0f}};
  EXPECT_EQ(frustum_test_box(&near_straddle, g_frustum), FRUSTUM_INTERSECT);
  for (const plane &p : g_frustum) EXPECT_NEAR(p.a * p.a + p.b * p.b + p.c * p.c, 1.0f, 1e-5f);
  // the eye lies 0.1 behind the near plane; the normal points out, toward +z
  EXPECT_NEAR(g_frustum[FRUSTUM_NEAR].d, 0.1f, 1e-5f);
  EXPECT_NEAR(g_frustum[FRUSTUM_NEAR].c, 1.0f, 1e-5f);
  EXPECT_NEAR(g_frustum[FRUSTUM_FAR].d, -100.0f, 1e-2f);
  // yaw 90 looks along +x; from (50, 5, 50) the box at (60, 5, 50) is ahead and (40, 5, 50) behind
  load_view(0, 90, 50, 5, 50);
  EXPECT_TRUE(test_at(60, 5, 50, 1) == FRUSTUM_INSIDE && test_at(40, 5, 50, 1) == FRUSTUM_OUTSIDE);
  // pitch 45 looks down: below-ahead is inside a 60-degree view, above is outside
  load_view(45, 0, 0, 10, 0);
  EXPECT_TRUE(test_at(0, 0, -10, 0.5f) == FRUSTUM_INSIDE && test_at(0, 30, -5, 0.5f) == FRUSTUM_OUTSIDE);
}

TEST(Frustum, TieBreaksOnAPlane) {
  plane planes[6];
  for (plane &p : planes) p = {0, 0, 1, -1000}; // five planes far away
  planes[0] = {1, 0, 0, 0};                     // and x = 0 with its normal toward +x
  const struct { aabb box; int want; } cases[] = {
      {{{-2, 0, 0}, {0, 1, 1}}, FRUSTUM_INTERSECT}, // farthest corner on the plane
      {{{0, 0, 0}, {2, 1, 1}}, FRUSTUM_INTERSECT},  // nearest corner on the plane: not outside
      {{{-1, 0, 0}, {-1, 0, 0}}, FRUSTUM_INSIDE},
      {{{0, 0, 0}, {0, 0, 0}}, FRUSTUM_INTERSECT},
      {{{0.001f, 0, 0}, {2, 1, 1}}, FRUSTUM_OUTSIDE},
  };
  for (auto &c : cases) EXPECT_EQ(frustum_test_box(&c.box, planes), c.want) << c.box.min[0];
}

TEST(Matrix, ProductAliasingAndBoxes) {
  float a[16], b[16], r[16];
  mat4_identity(a);
  mat4_translate(a, 1, 2, 3);
  mat4_identity(b);
  mat4_scale(b, 2, 2, 2);
  mat4_mul(a, a, b); // in place: translate, then scale
  EXPECT_TRUE(a[0] == 2 && a[12] == 1 && a[14] == 3);
  mat4_identity(r);
  mat4_rotate_x(r, 90); // (0, 1, 0) turns to (0, 0, 1)
  EXPECT_NEAR(r[4 * 1 + 2], 1, 1e-6f);
  float pts[] = {1, 5, -2, -3, 0, 4, 2, 2, 2};
  aabb box;
  box_from_points(3, pts, &box);
  EXPECT_TRUE(box.min[0] == -3 && box.max[1] == 5 && box.min[2] == -2);
  box_from_points(0, pts, &box);
  EXPECT_GT(box.min[0], box.max[0]);
}
