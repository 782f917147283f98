// Grass field without a context: patch indices, the 3 x 3 window as the camera crosses
// boundaries, clumps and their random draws, thinning order.
#include "tests/unit/testutil.h"
#include "world/grass.h"
#include <set>

namespace {
texture g_tex[2] = {{64, 32, 1, 0}, {64, 64, 2, 0}};
int g_ntex;
texture *two_textures(const char *) { return &g_tex[g_ntex++ % 2]; }

// A flat terrain at height 2 under one brush with two grass objects (two textures) and few
// tufts, so a patch builds quickly; buffers are faked.
struct Grass : WorldRoot {
  FakeBuffers gl;
  int old_ntufts = i_grass_ntufts, old_res = i_grass_cell_sample_res;
  void SetUp() override {
    WorldRoot::SetUp();
    g_wobj_texture_get = two_textures, g_ntex = 0, i_grass_ntufts = 8, i_grass_cell_sample_res = 4;
    catalogue("object tall\nfile a.png\ntype grass\nscale 1\nscale_rnd 0.5\nnum_clumps 2\nclumpiness 0.5\n\n"
              "object short\nfile b.png\ntype grass\nscale 0.5\ndensity 0.5\n\n"
              "object none\nfile a.png\ntype grass\nnum_clumps 0\n\n");
    brushes("brush 112233\ntall\nshort\nnone\nbrush 445566\n");
    objmap(1, 1, [](int, int) { return 0x112233u; });
    flat_terrain(2);
  }
  void TearDown() override { i_grass_ntufts = old_ntufts, i_grass_cell_sample_res = old_res, WorldRoot::TearDown(); }
};

// Every slot holds the patch the centre indices name.
void expect_invariant(const grass_field *f) {
  for (int s = 0; s < 9; s++)
    ASSERT_TRUE(f->patches[s] && f->patches[s]->x0 == 40.0f * (f->col + s % 3 - 1) && f->patches[s]->z0 == 40.0f * (f->row + s / 3 - 1))
        << "slot " << s;
}
} // namespace

TEST(GrassIndex, BoundariesBelongToThePatchAhead) {
  const struct { float p, half; int32_t want; } cases[] = {{0, 200, 0},   {39.99f, 200, 0}, {40, 200, 1},   {-0.001f, 200, -1}, {-40, 200, -1},
               {-40.01f, 200, -2}, {200, 200, 5}, {-200, 200, -5}, {80, 0, 2},       {-1e-7f, 200, 0}};
  for (auto &c : cases) EXPECT_EQ(grass_patch_index(c.p, c.half), c.want) << c.p << " half " << c.half;
}

TEST_F(Grass, TheWindowFollowsTheCameraBuildingOnlyWhatItLacks) {
  grass_field *f = grass_create(20, 20);
  EXPECT_TRUE(f->col == 0 && f->row == 0);
  expect_invariant(f);
  for (int s = 0; s < 9; s++) EXPECT_EQ(f->patches[s]->serial, g_grass_built - 8 + s); // built in slot order
  // to: camera position; fresh: slots built by the step; from[s]: the old slot that moved into s
  const struct { float x, z; std::set<int> fresh; int from[9]; } steps[] = {
      {60, 20, {2, 5, 8}, {1, 2, -1, 4, 5, -1, 7, 8, -1}},      // one column to the right
      {20, 20, {0, 3, 6}, {-1, 0, 1, -1, 3, 4, -1, 6, 7}},      // and straight back: built afresh
      {20, 39.9f, {}, {0, 1, 2, 3, 4, 5, 6, 7, 8}},              // no boundary: nothing changes
      {-20, -20, {0, 1, 2, 3, 6}, {-1, -1, -1, -1, 0, 1, -1, 3, 4}}, // diagonal: column, then row
      {20, 20, {2, 5, 6, 7, 8}, {4, 5, -1, 7, 8, -1, -1, -1, -1}},   // and diagonally back
  };
  for (auto &st : steps) {
    SCOPED_TRACE(testing::Message() << "to " << st.x << ", " << st.z);
    grass_patch *old[9];
    for (int s = 0; s < 9; s++) old[s] = f->patches[s];
    uint32_t before = g_grass_built;
    float pos[3] = {st.x, 0, st.z};
    grass_update(pos);
    expect_invariant(f);
    EXPECT_EQ(g_grass_built - before, st.fresh.size());
    EXPECT_EQ(g_grass_live, 9u); // whatever left the window was freed
    for (int s = 0; s < 9; s++)
      EXPECT_TRUE(st.fresh.count(s) ? f->patches[s]->serial > before : st.from[s] < 0 || f->patches[s] == old[st.from[s]])
          << "slot " << s;
  }
  EXPECT_EQ(FakeBuffers::live, 9 * 2 * 4); // two batches of four buffers (with the feet) per patch
  // a diagonal crossing draws as if the dropped corner were built: the same crossing made the
  // long way, the column's three patches and then the row's three, leaves the generator alike
  float pos[3] = {-20, 0, -20};
  usrand(31), grass_update(pos);
  int after = urand();
  usrand(31);
  const int at[6][2] = {{-2, -1}, {-2, 0}, {-2, 1}, {-2, -2}, {-1, -2}, {0, -2}};
  for (auto &a : at) grass_patch_free(grass_patch_build(40.0f * a[0], 40.0f * a[1], 40, g_terrain));
  EXPECT_EQ(urand(), after);
}

TEST_F(Grass, ClumpsDrawTheirCentreThenEachTuftAndStopAtTheTerrainEdge) {
  wobj *o = wobj_find("tall");
  grass_patch *p = (grass_patch *)ucalloc(1, sizeof *p);
  grass_pair *q = grass_patch_batch(p, o->tex);
  EXPECT_EQ(grass_patch_batch(p, o->tex), q);
  // draws: the centre's ox, oz, then x, z and scale per tuft; the first tuft off the terrain ends the clump
  const struct { float count, x; uint32_t tufts; int draws; } cases[] = {{2.5f, 0, 3, 2 + 3 * 3}, {0, 0, 0, 2}, {-1, 0, 0, 2}, {4, 300, 0, 2 + 2}};
  for (auto &c : cases) {
    uint32_t before = q->b->idx.count / 12;
    usrand(3), grass_clump(q, c.count, c.x, 0, 5, g_terrain, o);
    EXPECT_TRUE(draws_since(3) == c.draws && q->b->idx.count / 12 - before == c.tufts) << c.count;
  }
  // tufts stand on the ground, scaled by the clip's aspect (64 x 32: twice as wide as high)
  EXPECT_TRUE(q->b->v[1] == 2 && fabsf(q->b->v[6] - q->b->v[0] - 2 * (q->b->v[4] - q->b->v[1])) < 1e-4);
  for (int i = 0; i < 20; i++) grass_clump(q, 5, 199, -199, 5, g_terrain, o);
  for (uint32_t t = 0; t < q->b->n.count; t += 3) EXPECT_TRUE(fabsf(q->b->n[t]) <= 200 && fabsf(q->b->n[t + 1]) <= 200);
  grass_patch_free(p);
}

TEST_F(Grass, PatchesHoldTuftsPerTextureAndNothingWithoutCells) {
  grass_patch *p = grass_patch_build(0, 0, 40, g_terrain);
  ASSERT_EQ(p->pairs.count, 2u); // "none" has no clumps, its texture is shared with "tall"
  // per cell: tall 8 * 1 / 4 = 2 tufts in 2 clumps of 1, short 8 * 0.5 / 4 = 1
  uint32_t tufts = 0;
  for (const grass_pair &q : p->pairs) {
    EXPECT_EQ(q.b->prepared, 1u);
    uint32_t sum = 0;
    for (const grass_block &g : q.blocks) {
      sum += g.nrank[0];
      // inside a block the tufts come in falling rank steps
      auto step = [&](uint32_t t) { return (int)(q.b->n[q.b->idx[12 * t] * 3 + 2] * GRASS_THIN_STEPS); };
      for (uint32_t t = g.first + 1; t < g.first + g.nrank[0]; t++) EXPECT_GE(step(t - 1), step(t));
      EXPECT_TRUE(grass_tufts_at(&g, GRASS_THIN_NEAR) == g.nrank[0] && grass_tufts_at(&g, GRASS_THIN_FAR) == 0 &&
                  grass_tufts_at(&g, 25) <= g.nrank[0]);
    }
    EXPECT_EQ(sum, q.b->idx.count / 12);
    tufts += sum;
  }
  EXPECT_EQ(tufts, 16u * 3);
  grass_patch_free(p);
  i_grass_cell_sample_res = 0;
  EXPECT_TRUE((p = grass_patch_build(0, 0, 40, g_terrain))->pairs.count == 0 && p->pairs.items == nullptr);
  grass_patch_free(p);
  i_grass_cell_sample_res = 4;
  objmap(1, 1, [](int, int) { return 0x445566u; }); // a brush without grass
  EXPECT_EQ((p = grass_patch_build(0, 0, 40, g_terrain))->pairs.items, nullptr);
  grass_patch_free(p);
  EXPECT_EQ(FakeBuffers::live, 0);
}
