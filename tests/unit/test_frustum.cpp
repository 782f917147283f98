// Frustum planes from the camera, the box test and its tie-breaks, matrices and boxes.
#include "render/frustum.h"
#include <gtest/gtest.h>
#include <cmath>

// The projection gluPerspective(60, w / h, 0.1, far) loads, and the view the camera loads.
static void perspective(float m[16], double aspect, double zfar) {
  double f = 1 / tan(30 * M_PI / 180), n = (double)0.1f;
  for (int i = 0; i < 16; i++) m[i] = 0;
  m[0] = (float)(f / aspect);
  m[5] = (float)f;
  m[10] = (float)((zfar + n) / (n - zfar));
  m[11] = -1;
  m[14] = (float)(2 * zfar * n / (n - zfar));
}

static void load_view(float pitch, float yaw, float x, float y, float z, double zfar = 100) {
  float mv[16], pr[16];
  mat4_identity(mv);
  mat4_rotate_x(mv, pitch);
  mat4_rotate_y(mv, yaw);
  mat4_translate(mv, -x, -y, -z);
  perspective(pr, 854.0 / 480.0, zfar);
  frustum_update(mv, pr);
}

static aabb box_at(float x, float y, float z, float half) {
  return aabb{{x - half, y - half, z - half}, {x + half, y + half, z + half}};
}

TEST(Frustum, CameraAtOriginLooksDownMinusZ) {
  load_view(0, 0, 0, 0, 0);
  aabb front = box_at(0, 0, -10, 1), behind = box_at(0, 0, 10, 1);
  aabb near_straddle = {{-0.05f, -0.05f, -0.2f}, {0.05f, 0.05f, 0.0f}};
  aabb beyond = box_at(0, 0, -150, 1);
  EXPECT_EQ(frustum_test_box(&front, g_frustum), FRUSTUM_INSIDE);
  EXPECT_EQ(frustum_test_box(&behind, g_frustum), FRUSTUM_OUTSIDE);
  EXPECT_EQ(frustum_test_box(&near_straddle, g_frustum), FRUSTUM_INTERSECT);
  EXPECT_EQ(frustum_test_box(&beyond, g_frustum), FRUSTUM_OUTSIDE);
  for (const plane &p : g_frustum) EXPECT_NEAR(p.a * p.a + p.b * p.b + p.c * p.c, 1.0f, 1e-5f);
  // the eye lies 0.1 behind the near plane; the normal points out, toward +z
  EXPECT_NEAR(g_frustum[FRUSTUM_NEAR].d, 0.1f, 1e-5f);
  EXPECT_NEAR(g_frustum[FRUSTUM_NEAR].c, 1.0f, 1e-5f);
  EXPECT_NEAR(g_frustum[FRUSTUM_FAR].d, -100.0f, 1e-2f);
}

TEST(Frustum, FollowsTheCameraPose) {
  // yaw 90 looks along +x; from (50, 5, 50) the box at (60, 5, 50) is ahead and (40, 5, 50) behind
  load_view(0, 90, 50, 5, 50);
  aabb ahead = box_at(60, 5, 50, 1), back = box_at(40, 5, 50, 1);
  EXPECT_EQ(frustum_test_box(&ahead, g_frustum), FRUSTUM_INSIDE);
  EXPECT_EQ(frustum_test_box(&back, g_frustum), FRUSTUM_OUTSIDE);
  // pitch 45 looks down: a box straight below the eye is outside a 60-degree view, below-ahead inside
  load_view(45, 0, 0, 10, 0);
  aabb below_ahead = box_at(0, 0, -10, 0.5f), above = box_at(0, 30, -5, 0.5f);
  EXPECT_EQ(frustum_test_box(&below_ahead, g_frustum), FRUSTUM_INSIDE);
  EXPECT_EQ(frustum_test_box(&above, g_frustum), FRUSTUM_OUTSIDE);
}

TEST(Frustum, TieBreaksOnAPlane) {
  plane planes[6];
  // five planes far away, one plane x = 0 with its normal toward +x
  for (plane &p : planes) p = {0, 0, 1, -1000};
  planes[0] = {1, 0, 0, 0};
  aabb touching = {{-2, 0, 0}, {0, 1, 1}}; // farthest corner on the plane: intersecting
  aabb nearest_on = {{0, 0, 0}, {2, 1, 1}}; // nearest corner on the plane: not outside
  aabb point_in = {{-1, 0, 0}, {-1, 0, 0}}, point_on = {{0, 0, 0}, {0, 0, 0}};
  aabb out = {{0.001f, 0, 0}, {2, 1, 1}};
  EXPECT_EQ(frustum_test_box(&touching, planes), FRUSTUM_INTERSECT);
  EXPECT_EQ(frustum_test_box(&nearest_on, planes), FRUSTUM_INTERSECT);
  EXPECT_EQ(frustum_test_box(&point_in, planes), FRUSTUM_INSIDE);
  EXPECT_EQ(frustum_test_box(&point_on, planes), FRUSTUM_INTERSECT);
  EXPECT_EQ(frustum_test_box(&out, planes), FRUSTUM_OUTSIDE);
}

TEST(Matrix, ProductAliasingAndBoxes) {
  float a[16], b[16];
  mat4_identity(a);
  mat4_translate(a, 1, 2, 3);
  mat4_identity(b);
  mat4_scale(b, 2, 2, 2);
  mat4_mul(a, a, b); // in place: translate, then scale
  EXPECT_FLOAT_EQ(a[0], 2);
  EXPECT_FLOAT_EQ(a[12], 1);
  EXPECT_FLOAT_EQ(a[14], 3);
  float r[16];
  mat4_identity(r);
  mat4_rotate_x(r, 90); // (0, 1, 0) turns to (0, 0, 1)
  EXPECT_NEAR(r[4 * 1 + 2], 1, 1e-6f);
  float pts[] = {1, 5, -2, -3, 0, 4, 2, 2, 2};
  aabb box;
  box_from_points(3, pts, &box);
  EXPECT_EQ(box.min[0], -3);
  EXPECT_EQ(box.max[1], 5);
  EXPECT_EQ(box.min[2], -2);
  box_from_points(0, pts, &box);
  EXPECT_GT(box.min[0], box.max[0]);
}
