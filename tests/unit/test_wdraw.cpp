// World drawing without a context: buckets by texture and their limits, billboard geometry.
#include "render/batch.h"
#include "render/texture.h"
#include "world/object.h"
#include "world/spawn.h"
#include "world/wdraw.h"
#include <gtest/gtest.h>
#include <vector>

namespace {
// items[i] of object objs[kind[i]]: textures 7, 3, 1024, and none
struct Visible {
  texture tex[3] = {{64, 64, 7}, {64, 128, 3}, {64, 64, 1024}};
  wobj objs[4] = {};
  std::vector<wi> items;
  uarray<wi *> list;
  Visible(std::vector<int> kind) : items(kind.size()) {
    for (int i = 0; i < 3; i++) objs[i].tex = &tex[i];
    for (size_t i = 0; i < kind.size(); i++) items[i].obj = &objs[kind[i]], ua_push(list, &items[i]);
  }
  ~Visible() { ua_free(list); }
};
} // namespace

TEST(WiSort, BucketsByTextureNameKeepTheVisibleOrderWithinBounds) {
  Visible v({0, 1, 0, 3, 1, 0});
  g_wi_nsorted = 0;
  wi_sort(&v.list);
  EXPECT_EQ(g_wi_nsorted, 5u); // the item without a texture has nothing to draw
  ASSERT_TRUE(wi_bucket(3)->count == 2 && wi_bucket(7)->count == 3);
  EXPECT_TRUE((*wi_bucket(3))[1] == &v.items[4] && (*wi_bucket(7))[2] == &v.items[5]);
  Visible one({0});
  wi_sort(&one.list); // buckets start empty; the counter runs on until the frame resets it
  EXPECT_TRUE(wi_bucket(3)->count == 0 && g_wi_nsorted == 6);
  Visible big({2});
  EXPECT_EXIT(wi_sort(&big.list), testing::ExitedWithCode(1), "error: wi_sort#[0-9]+: 1024 >= WISL_MAX_TEX\n");
  Visible full(std::vector<int>(WISL_MAX_WI_PER_TEX - 1, 1));
  wi_sort(&full.list);
  EXPECT_EQ(wi_bucket(3)->count, (uint32_t)WISL_MAX_WI_PER_TEX - 1);
  ua_push(full.list, full.list[0]);
  EXPECT_EXIT(wi_sort(&full.list), testing::ExitedWithCode(1),
              "error: wi_sort#[0-9]+: wi_sort_list overflow \\(n >= WISL_MAX_WI_PER_TEX\\)\n");
  g_wi_nsorted = 0;
}

TEST(WiBillboard, ItemsSinkAndAreCutFromTheirRectangle) {
  texture tex = {100, 200, 4};
  wobj o = {};
  o.tex = &tex;
  o.clip[0] = 10, o.clip[1] = 20, o.clip[2] = 50, o.clip[3] = 100;
  wi w = {&o, {3, 2, -4}, 2, 4, {}};
  batch *b = b_create();
  b_reset(b);
  for (int i = 0; i < 10; i++) wi_add_billboard(&w, b);
  EXPECT_EQ(b->v.count / 3, 80u);
  // vertex 1, top left: x - width / 2, ground - 0.2 + height; then (s0, t1), (s0, t0)
  const float v[4] = {2, 2 - 0.2f + 4, 1.8f, -3}, tc[5] = {0.1f, 0.6f, 0.1f, 0.1f, 0.6f};
  for (int i = 0; i < 4; i++) EXPECT_FLOAT_EQ(b->v[i < 2 ? 3 + i : 17 + i], v[i]) << i;
  for (int i = 0; i < 5; i++) EXPECT_FLOAT_EQ(b->tc[i], tc[i]) << i;
  b_free(b);
}
