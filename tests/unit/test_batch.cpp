// Geometry batches on the CPU side: emptiness, crossed quads, boxes, normalising, upload checks.
#include "render/batch.h"
#include "render/texture.h"
#include "tests/unit/fakegl.h"
#include <GL/gl.h>
#include <gtest/gtest.h>

static batch *fresh(int nverts = 0) {
  batch *b = b_create();
  b_reset(b);
  for (int i = 0; i < nverts; i++) b_add_vertex(b, (float)i, (float)(i % 2), 0);
  return b;
}

TEST(Batch, EmptyBatchesAreNeitherPreparedNorDrawnAndBadArraysAreRefused) {
  batch *b = fresh(2);
  EXPECT_TRUE(b_is_empty(b));
  b_add_vertex(b, 0, 0, 1);
  EXPECT_FALSE(b_is_empty(b));
  b_add_triangle(b, 0, 1, 2);
  b->idx.count = 2; // with indices, they alone decide
  EXPECT_TRUE(b_is_empty(b));
  b_reset(b);
  b_prepare(b); // no buffer is made, so no context is needed
  EXPECT_EQ(b->prepared, 0u);
  EXPECT_EXIT(b_draw(b), testing::ExitedWithCode(1), "error: b_draw#[0-9]+: unprepared batch \\(empty\\)\n");
  EXPECT_EXIT(b_draw(fresh(3)), testing::ExitedWithCode(1), "error: b_draw#[0-9]+: unprepared batch \n");
  b = fresh(3);
  b_add_triangle(b, 0, 1, 3);
  EXPECT_EXIT(b_prepare(b), testing::ExitedWithCode(1), "batch index 3 out of range \\(3 vertices\\)");
  b = fresh(3);
  b_add_texcoord(b, 0, 0);
  EXPECT_EXIT(b_prepare(b), testing::ExitedWithCode(1), "batch has 1 texture coordinates for 3 vertices");
}

TEST(Batch, XpolyAppendsTwoTexturedQuadsFromTheCurrentBaseAndUploadsLeaveNothingBound) {
  FakeBuffers gl;
  texture tex = {64, 128, 1};
  float m[16], whole[4] = {0, 0, 64, 128}, part[4] = {16, 32, 48, 96};
  mat4_identity(m);
  batch *b = fresh();
  bgen_xpoly(&tex, m, b, whole);
  ASSERT_TRUE(b->v.count == 24 && b->idx.count == 12);
  const float tc[16] = {0, 1, 0, 0, 1, 1, 1, 0, 0, 1, 0, 0, 1, 1, 1, 0};
  for (int i = 0; i < 16; i++) EXPECT_FLOAT_EQ(b->tc[i], tc[i]) << i;
  const uint32_t idx[12] = {0, 1, 2, 2, 1, 3, 4, 5, 6, 6, 5, 7};
  for (int i = 0; i < 12; i++) EXPECT_EQ(b->idx[i], idx[i]);
  b_prepare(b);
  EXPECT_EQ(FakeBuffers::live, 3); // positions, texture coordinates, indices
  // bound buffers would turn a later pass's client-side arrays into offsets
  EXPECT_TRUE(FakeBuffers::array_bound == 0 && FakeBuffers::element_bound == 0);
  b_free(b);
  EXPECT_EQ(FakeBuffers::live, 0);
  b = fresh();
  bgen_xpoly(&tex, m, b, whole);
  mat4_translate(m, 10, 0, 0);
  mat4_scale(m, 2, 3, 2);
  bgen_xpoly(&tex, m, b, part);
  EXPECT_TRUE(b->idx[12] == 8 && b->idx[23] == 15);
  EXPECT_TRUE(b->v[27] == 9 && b->v[28] == 3); // vertex 9 (top left): x = 10 - 0.5 * 2
  EXPECT_TRUE(b->tc[16] == 0.25f && b->tc[17] == 0.75f); // s0 of vertex 8, then its bottom row t1
  b = fresh();
  b->prepared = 1;
  EXPECT_EXIT(bgen_xpoly(&tex, m, b, whole), testing::ExitedWithCode(1), "error: bgen_xpoly#[0-9]+: batch already prepaired\n");
  b->prepared = 0;
  b->prim_type = GL_QUADS;
  EXPECT_EXIT(bgen_xpoly(&tex, m, b, whole), testing::ExitedWithCode(1), "error: bgen_xpoly#[0-9]+: invalid prim_type\n");
}

TEST(Batch, BoxIsKeptOnceComputedAndNormalizeUsesIt) {
  batch *b = fresh();
  b_add_vertex(b, 0, 0, 0);
  b_add_vertex(b, 3, 4, 0);
  aabb box;
  b_get_box(b, &box);
  b_add_vertex(b, 100, 100, 100); // not seen: the stored max corner is not at the origin
  b_normalize(b);
  EXPECT_TRUE(b->v[3] == 0.6f && b->v[4] == 0.8f && b->v[6] == 20); // divided by the stored box's diagonal
  batch *point = fresh();
  for (int i = 0; i < 3; i++) b_add_vertex(point, 1, 1, 1);
  b_normalize(point); // no extent: left alone rather than divided by zero
  EXPECT_FLOAT_EQ(point->v[0], 1);
}
