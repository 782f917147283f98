// World drawing without a context: buckets by texture, their limits, billboard geometry, wind.
#include "core/params.h"
#include "render/batch.h"
#include "render/texture.h"
#include "world/object.h"
#include "world/spawn.h"
#include "world/wdraw.h"
#include <gtest/gtest.h>
#include <cmath>
#include <vector>

namespace {

struct Items {
  texture tex[3] = {{64, 64, 7}, {64, 128, 3}, {64, 64, 1024}};
  wobj obj[4] = {};
  std::vector<wi> items;
  Items(size_t n) : items(n) {
    for (int i = 0; i < 3; i++) {
      obj[i].tex = &tex[i];
      obj[i].clip[2] = tex[i].w;
      obj[i].clip[3] = tex[i].h;
    }
  }
  uarray<wi *> list(std::initializer_list<std::pair<size_t, int>> which) {
    uarray<wi *> l;
    for (auto &p : which) {
      items[p.first].obj = &obj[p.second];
      ua_push(l, &items[p.first]);
    }
    return l;
  }
};

} // namespace

TEST(WiSort, BucketsByTextureNameKeepingTheVisibleOrder) {
  Items it(6);
  // objects 0 and 1 have textures 7 and 3; object 3 has none
  uarray<wi *> l = it.list({{0, 0}, {1, 1}, {2, 0}, {3, 3}, {4, 1}, {5, 0}});
  g_wi_nsorted = 0;
  wi_sort(&l);
  EXPECT_EQ(g_wi_nsorted, 5u); // the item without a texture is left out
  const uarray<wi *> *b3 = wi_bucket(3), *b7 = wi_bucket(7);
  ASSERT_EQ(b3->count, 2u);
  ASSERT_EQ(b7->count, 3u);
  EXPECT_EQ((*b3)[0], &it.items[1]);
  EXPECT_EQ((*b3)[1], &it.items[4]);
  EXPECT_EQ((*b7)[0], &it.items[0]);
  EXPECT_EQ((*b7)[2], &it.items[5]);
  // every sort starts from empty buckets; the counter runs on until the frame resets it
  uarray<wi *> one = it.list({{1, 0}});
  wi_sort(&one);
  EXPECT_EQ(wi_bucket(3)->count, 0u);
  EXPECT_EQ(wi_bucket(7)->count, 1u);
  EXPECT_EQ(g_wi_nsorted, 6u);
  uarray<wi *> none;
  wi_sort(&none);
  EXPECT_EQ(wi_bucket(7)->count, 0u);
  ua_free(l);
  ua_free(one);
}

TEST(WiSortDeath, TextureNamesAndBucketSizesAreBounded) {
  EXPECT_EXIT(
      {
        Items it(1);
        uarray<wi *> l = it.list({{0, 2}});
        wi_sort(&l);
      },
      testing::ExitedWithCode(1), "error: wi_sort#[0-9]+: 1024 >= WISL_MAX_TEX\n");
  // 24999 items fit in one bucket; the next one is an error
  Items it(WISL_MAX_WI_PER_TEX);
  uarray<wi *> l;
  for (size_t i = 0; i + 1 < WISL_MAX_WI_PER_TEX; i++) {
    it.items[i].obj = &it.obj[1];
    ua_push(l, &it.items[i]);
  }
  wi_sort(&l);
  EXPECT_EQ(wi_bucket(3)->count, (uint32_t)WISL_MAX_WI_PER_TEX - 1);
  it.items[WISL_MAX_WI_PER_TEX - 1].obj = &it.obj[1];
  ua_push(l, &it.items[WISL_MAX_WI_PER_TEX - 1]);
  EXPECT_EXIT(wi_sort(&l), testing::ExitedWithCode(1), "error: wi_sort#[0-9]+: wi_sort_list overflow \\(n >= WISL_MAX_WI_PER_TEX\\)\n");
  ua_free(l);
}

TEST(WiBillboard, ItemsAreSunkScaledAndCutFromTheirRectangle) {
  texture tex = {100, 200, 4};
  wobj o = {};
  o.tex = &tex;
  o.clip[0] = 10, o.clip[1] = 20, o.clip[2] = 50, o.clip[3] = 100;
  wi w = {};
  w.obj = &o;
  w.pos[0] = 3, w.pos[1] = 2, w.pos[2] = -4;
  w.width = 2, w.height = 4;
  batch *b = b_create();
  b_reset(b);
  wi_add_billboard(&w, b);
  ASSERT_EQ(b->v.count, 24u);
  // vertex 1: top left of the x-y quad; vertex 6: bottom of the z-y quad at +z
  EXPECT_FLOAT_EQ(b->v[3], 2);
  EXPECT_FLOAT_EQ(b->v[4], 2 - 0.2f + 4);
  EXPECT_FLOAT_EQ(b->v[5], -4);
  EXPECT_FLOAT_EQ(b->v[19], 1.8f);
  EXPECT_FLOAT_EQ(b->v[20], -3);
  EXPECT_FLOAT_EQ(b->tc[0], 0.1f);  // s0 = 10 / 100
  EXPECT_FLOAT_EQ(b->tc[1], 0.6f);  // t1 = 120 / 200
  EXPECT_FLOAT_EQ(b->tc[3], 0.1f);  // t0 = 20 / 200
  EXPECT_FLOAT_EQ(b->tc[4], 0.6f);  // s1 = 60 / 100
  for (int i = 1; i < 10; i++) wi_add_billboard(&w, b);
  EXPECT_EQ(b->v.count / 3, 80u);
  EXPECT_EQ(b->idx.count, 120u);
  b_free(b);
}

TEST(Wind, DirectionTurnsByDegreesAndStrengthStaysBounded) {
  float d[3];
  wdraw_wind_dir(90, d);
  EXPECT_NEAR(d[0], 1, 1e-6);
  EXPECT_NEAR(d[2], 0, 1e-6);
  wdraw_wind_dir(0, d);
  EXPECT_FLOAT_EQ(d[2], 1);
  wdraw_wind_dir(360, d);
  EXPECT_NEAR(d[0], 0, 1e-5);
  // either reading at the start of its period silences the gust
  EXPECT_EQ(wdraw_wind_strength(3301 * 7, 12345), 0);
  EXPECT_EQ(wdraw_wind_strength(1234, 15001 * 3), 0);
  float peak = 0;
  for (uint32_t t = 0; t < 60000; t += 7) {
    float s = wdraw_wind_strength(t, t);
    EXPECT_LE(std::fabs(s), 0.0275f + 1e-6f);
    peak = std::fmax(peak, std::fabs(s));
  }
  EXPECT_GT(peak, 0.02f);
}

TEST(WiStats, DrawnCountAndPeaksFollowTheSortedCounter) {
  r_stats saved = r;
  r.ndraw_peak = 50, r.ncull_peak = 20;
  g_wi_nsorted = 0;
  wi_stats_update(0);
  EXPECT_EQ(r.ndraw, 0u);
  EXPECT_EQ(r.ndraw_peak, 50u);
  EXPECT_EQ(r.ncull_peak, 20u);
  g_wi_nsorted = 70;
  wi_stats_update(100);
  EXPECT_EQ(r.ndraw, 70u);
  EXPECT_EQ(r.ndraw_peak, 70u);
  EXPECT_EQ(r.ncull_peak, 30u);
  // a counter that ran past the visible count leaves the cull peak alone
  g_wi_nsorted = 200;
  wi_stats_update(100);
  EXPECT_EQ(r.ncull_peak, 30u);
  g_wi_nsorted = 0;
  r = saved;
}
