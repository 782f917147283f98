// Geometry batches on the CPU side: emptiness, appends, crossed quads, boxes and normalising.
#include "render/batch.h"
#include "render/texture.h"
#include <GL/gl.h>
#include <gtest/gtest.h>

namespace {
batch *fresh() {
  batch *b = b_create();
  b_reset(b);
  return b;
}
} // namespace

TEST(Batch, EmptinessFollowsIndicesThenVertices) {
  batch *b = fresh();
  EXPECT_TRUE(b_is_empty(b));
  EXPECT_EQ(b->prim_type, (uint32_t)GL_TRIANGLES);
  b_add_vertex(b, 0, 0, 0);
  b_add_vertex(b, 1, 0, 0);
  EXPECT_TRUE(b_is_empty(b));
  b_add_vertex(b, 0, 1, 0);
  EXPECT_FALSE(b_is_empty(b));
  // once there are indices, they alone decide
  b_add_triangle(b, 0, 1, 2);
  b->idx.count = 2;
  EXPECT_TRUE(b_is_empty(b));
  b->idx.count = 3;
  EXPECT_FALSE(b_is_empty(b));
  // an empty batch is not prepared and no buffer is made (no context needed)
  b_reset(b);
  b_prepare(b);
  EXPECT_EQ(b->prepared, 0u);
  EXPECT_EQ(b->v.count, 0u);
  EXPECT_GT(b->v.capacity, 0u); // storage kept for reuse
  b_free(b);
}

TEST(BatchDeath, DrawingAnUnpreparedBatchNamesWhetherItIsEmpty) {
  EXPECT_EXIT(b_draw(fresh()), testing::ExitedWithCode(1), "error: b_draw#[0-9]+: unprepared batch \\(empty\\)\n");
  EXPECT_EXIT(
      {
        batch *b = fresh();
        for (int i = 0; i < 3; i++) b_add_vertex(b, (float)i, 0, 0);
        b_draw(b);
      },
      testing::ExitedWithCode(1), "error: b_draw#[0-9]+: unprepared batch \n");
}

TEST(Batch, VertexXformAppliesTheAffinePart) {
  float m[16];
  mat4_identity(m);
  mat4_translate(m, 1, 2, 3);
  mat4_scale(m, 2, 3, 4);
  m[3] = m[7] = m[11] = 5; // the projective row is ignored
  batch *b = fresh();
  b_add_vertex_xform(m, b, 1, 1, 1);
  ASSERT_EQ(b->v.count, 3u);
  EXPECT_FLOAT_EQ(b->v[0], 3);
  EXPECT_FLOAT_EQ(b->v[1], 5);
  EXPECT_FLOAT_EQ(b->v[2], 7);
  b_free(b);
}

TEST(Batch, XpolyAddsTwoCrossedQuadsAfterExistingVertices) {
  texture tex = {64, 128, 1};
  float m[16];
  mat4_identity(m);
  float whole[4] = {0, 0, 64, 128};
  batch *b = fresh();
  bgen_xpoly(&tex, m, b, whole);
  ASSERT_EQ(b->v.count, 24u);
  ASSERT_EQ(b->tc.count, 16u);
  ASSERT_EQ(b->idx.count, 12u);
  // vertex 1 is the top left of the x-y quad, vertex 6 the bottom right of the z-y quad
  EXPECT_FLOAT_EQ(b->v[3], -0.5f);
  EXPECT_FLOAT_EQ(b->v[4], 1);
  EXPECT_FLOAT_EQ(b->v[18], 0);
  EXPECT_FLOAT_EQ(b->v[20], 0.5f);
  const float tc[16] = {0, 1, 0, 0, 1, 1, 1, 0, 0, 1, 0, 0, 1, 1, 1, 0};
  for (int i = 0; i < 16; i++) EXPECT_FLOAT_EQ(b->tc[i], tc[i]) << i;
  const uint32_t idx[12] = {0, 1, 2, 2, 1, 3, 4, 5, 6, 6, 5, 7};
  for (int i = 0; i < 12; i++) EXPECT_EQ(b->idx[i], idx[i]);

  // a sub-rectangle, a placed quad, and indices from base 8
  mat4_translate(m, 10, 0, 0);
  mat4_scale(m, 2, 3, 2);
  float part[4] = {16, 32, 48, 96};
  bgen_xpoly(&tex, m, b, part);
  ASSERT_EQ(b->v.count, 48u);
  EXPECT_EQ(b->idx[12], 8u);
  EXPECT_EQ(b->idx[23], 15u);
  EXPECT_FLOAT_EQ(b->v[24 + 3], 9);   // x of vertex 9: 10 - 0.5 * 2
  EXPECT_FLOAT_EQ(b->v[24 + 4], 3);   // its top
  EXPECT_FLOAT_EQ(b->tc[16], 0.25f);  // s0 of vertex 8
  EXPECT_FLOAT_EQ(b->tc[17], 0.75f);  // bottom row t1
  EXPECT_FLOAT_EQ(b->tc[19], 0.25f);  // top row t0
  b_free(b);
}

TEST(BatchDeath, XpolyRefusesPreparedBatchesAndOtherPrimitives) {
  texture tex = {4, 4, 1};
  float m[16], r[4] = {0, 0, 4, 4};
  mat4_identity(m);
  EXPECT_EXIT(
      {
        batch *b = fresh();
        b->prepared = 1;
        bgen_xpoly(&tex, m, b, r);
      },
      testing::ExitedWithCode(1), "error: bgen_xpoly#[0-9]+: batch already prepaired\n");
  EXPECT_EXIT(
      {
        batch *b = fresh();
        b->prim_type = GL_QUADS;
        bgen_xpoly(&tex, m, b, r);
      },
      testing::ExitedWithCode(1), "error: bgen_xpoly#[0-9]+: invalid prim_type\n");
}

TEST(Batch, BoxIsComputedOnceAndKept) {
  batch *b = fresh();
  b_add_vertex(b, -1, 2, 3);
  b_add_vertex(b, 4, -5, 6);
  aabb box;
  b_get_box(b, &box);
  EXPECT_FLOAT_EQ(box.min[0], -1);
  EXPECT_FLOAT_EQ(box.min[1], -5);
  EXPECT_FLOAT_EQ(box.max[2], 6);
  // later vertices do not move a box whose max corner is not at the origin
  b_add_vertex(b, 100, 100, 100);
  b_get_box(b, &box);
  EXPECT_FLOAT_EQ(box.max[0], 4);
  // b_reset keeps the box too
  b_reset(b);
  b_get_box(b, &box);
  EXPECT_FLOAT_EQ(box.max[1], 2);
  b_free(b);
}

TEST(Batch, NormalizeDividesByTheDiagonal) {
  batch *b = fresh();
  b_add_vertex(b, 0, 0, 0);
  b_add_vertex(b, 3, 4, 0);
  b_add_vertex(b, 1.5f, 2, 0);
  b_normalize(b);
  EXPECT_FLOAT_EQ(b->v[3], 0.6f);
  EXPECT_FLOAT_EQ(b->v[4], 0.8f);
  EXPECT_FLOAT_EQ(b->v[6], 0.3f);
  EXPECT_FLOAT_EQ(b->box.max[0], 0.6f);
  EXPECT_FLOAT_EQ(b->box.max[1], 0.8f);
  // a batch without extent is left alone rather than divided by zero
  batch *p = fresh();
  b_add_vertex(p, 1, 1, 1);
  b_add_vertex(p, 1, 1, 1);
  b_add_vertex(p, 1, 1, 1);
  b_normalize(p);
  EXPECT_FLOAT_EQ(p->v[0], 1);
  b_free(b);
  b_free(p);
}

TEST(BatchDeath, PrepareRejectsArraysThatWouldBeReadPastTheirEnd) {
  EXPECT_EXIT(
      {
        batch *b = fresh();
        for (int i = 0; i < 3; i++) b_add_vertex(b, (float)i, 0, 0);
        b_add_triangle(b, 0, 1, 3);
        b_prepare(b);
      },
      testing::ExitedWithCode(1), "batch index 3 out of range \\(3 vertices\\)");
  EXPECT_EXIT(
      {
        batch *b = fresh();
        for (int i = 0; i < 3; i++) b_add_vertex(b, (float)i, 0, 0);
        b_add_texcoord(b, 0, 0);
        b_prepare(b);
      },
      testing::ExitedWithCode(1), "batch has 1 texture coordinates for 3 vertices");
}
