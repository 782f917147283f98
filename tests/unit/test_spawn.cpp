// World items: spawning with a seeded generator, landmarks and discoveries, buckets by texture
// and billboard geometry.
#include "render/camera.h"
#include "tests/unit/testutil.h"
#include "world/spawn.h"
#include "world/wdraw.h"
#include <regex>

namespace {
// A catalogue, the given brushes and a w x h object map over a flat terrain at height 5.
struct Spawn : WorldRoot {
  void SetUp() override {
    WorldRoot::SetUp();
    catalogue("object bush\nfile b.png\nscale 2\n\nobject rock\nfile r.png\nscale 1\nscale_rnd 0.5\n\n"
              "object statue\nfile s.png\ntype unique\nscale 3\n\nobject obelisk\nfile o.png\ntype unique\nscale 5\n\n");
    flat_terrain(5);
  }
  std::string spawn(const std::string &text, int w, int h, std::function<uint32_t(int, int)> colour) {
    brushes(text), objmap(w, h, colour);
    return stdout_of(spawn_all);
  }
};
uint32_t one(int, int) { return 0x112233; }
} // namespace

TEST_F(Spawn, AttemptsDrawPositionObjectAndSizeInOrder) {
  usrand(77);
  spawn("brush 112233\ndensity:3\nbush\nrock\n", 1, 1, one);
  ASSERT_EQ(wi_list.count, 3u);
  usrand(77);
  for (const wi &w : wi_list) {
    // one pixel of 400 units: the cell is the whole terrain square
    EXPECT_FLOAT_EQ(w.pos[0], (float)(-200 + 400 * (urand() / 32767.0)));
    EXPECT_FLOAT_EQ(w.pos[2], (float)(-200 + 400 * (urand() / 32767.0)));
    EXPECT_STREQ(w.obj->name, urand() % 2 ? "rock" : "bush");
    EXPECT_NEAR(w.height, w.obj->scale + (urand() / 32767.0 - 0.5) * w.obj->scale_rnd * 2, 1e-5);
    // a billboard stands on the ground; the bush (scale 2, clip 64 x 128) is 2 high and 1 wide
    EXPECT_TRUE(w.box.min[1] == 5 && w.box.max[1] == 5 + w.height && fabsf(w.box.max[0] - w.box.min[0] - w.width) < 1e-4 &&
                (w.obj->scale != 2 || w.width == 1));
  }
  // no density: no draw; no mass objects: each pixel's attempts end after the first position
  const struct { const char *text; int draws; } empty[] = {{"brush 112233\ndensity:0\nbush\n", 0}, {"brush 112233\ndensity:10\n", 2 * 6}};
  for (auto &c : empty) {
    usrand(9), spawn(c.text, 2, 3, one);
    EXPECT_TRUE(wi_list.count == 0 && draws_since(9) == c.draws) << c.text;
  }
}

TEST_F(Spawn, LandmarksAppearOnceAtAnAttemptOfTheirBrush) {
  // left half: bushes and the statue; right half: rocks, the statue again and the obelisk twice
  usrand(11);
  std::string out = spawn("brush 0000ff\nbush\nstatue\nbrush 00ff00\nrock\nstatue\nobelisk\nobelisk\n", 8, 8,
                          [](int x, int) { return x < 4 ? 0x0000FFu : 0x00FF00u; });
  // the landmarks come on top of the 64 mass items; every attempt drew 4 times, then each landmark its size
  ASSERT_TRUE(uniq_count == 2 && wi_list.count == 66 && draws_since(11) == 64 * 4 + 2);
  const wi &s = wi_list[uniq_list[0].item], &o = wi_list[uniq_list[1].item];
  EXPECT_STREQ(s.obj->name, "statue");
  EXPECT_TRUE(objmap_get_brush(s.pos[0], s.pos[2])->color == 0x0000FF && objmap_get_brush(o.pos[0], o.pos[2])->color == 0x00FF00);
  std::string at_s = ufmt("%.2f,%.2f", -s.pos[0], -s.pos[2]), at_o = ufmt("%.2f,%.2f", -o.pos[0], -o.pos[2]);
  EXPECT_EQ(out, "spawn_wi: unique 'statue' at " + at_s + "\nspawn_wi: unique 'obelisk' at " + at_o + "\n");
  int same = 0;
  for (const wi &w : wi_list) same += w.pos[0] == s.pos[0] && w.pos[2] == s.pos[2];
  EXPECT_EQ(same, 2); // it stands where one attempt placed a bush
  spawn_all(); // a second pass starts over and places each again, once
  EXPECT_EQ(uniq_count, 2u);
  wobj *statue = wobj_find("statue");
  EXPECT_EXIT({ for (int i = 0; i <= UNIQ_MAX; i++, statue->spawned = 0) spawn_wi(0, 0, statue); }, testing::ExitedWithCode(1),
              "error: spawn_wi#[0-9]+: too many unique items: 'statue' is past the limit of 100\n");
}

TEST_F(Spawn, DiscoveriesAreReportedOnceWithinFourUnits) {
  spawn("brush 112233\ndensity:0\nobelisk\nbrush 445566\nobelisk\n", 2, 1, [](int x, int) { return x ? 0x445566u : 0x112233u; });
  ASSERT_EQ(uniq_count, 1u);
  const wi &w = wi_list[uniq_list[0].item];
  EXPECT_GT(w.pos[0], 0); // the brush without attempts could not place it
  camera saved = g_cam;
  auto check_at = [&](float dx, float dz) {
    g_cam.pos[0] = w.pos[0] + dx, g_cam.pos[1] = 1000, g_cam.pos[2] = w.pos[2] + dz;
    return stdout_of(check_uniqs);
  };
  EXPECT_EQ(check_at(4.0f, 0) + check_at(0, -4.0f), "");
  EXPECT_EQ(check_at(0, 3.9f), "check_uniqs: 'obelisk' discovered!\n");
  EXPECT_EQ(check_at(0, 3.9f), "");
  g_cam = saved;
}

namespace {
// items[i] of object objs[kind[i]]: textures 7, 3, 1024, and none
struct Visible {
  texture tex[3] = {{64, 64, 7, 0}, {64, 128, 3, 0}, {64, 64, 1024, 0}};
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
  // past the tables items are left out, with one warning each
  Visible big({2, 2});
  EXPECT_TRUE(std::regex_search(stderr_of([&] { wi_sort(&big.list); }),
                                std::regex("^warning: wi_sort#[0-9]+: '.*' has texture number 1024, past the 1024 the world "
                                           "drawing sorts: its items are not drawn\n$")));
  Visible full(std::vector<int>(WISL_MAX_WI_PER_TEX + 1, 1));
  std::string err = stderr_of([&] { wi_sort(&full.list); });
  EXPECT_EQ(wi_bucket(3)->count, (uint32_t)WISL_MAX_WI_PER_TEX - 1);
  EXPECT_TRUE(std::regex_search(err, std::regex("^warning: wi_sort#[0-9]+: more than 24999 world items of one texture in view "
                                                "\\('.*' and others\\): the farther ones are not drawn\n$"))) << err;
  g_wi_nsorted = 0;
}

TEST(WiBillboard, ItemsSinkAndAreCutFromTheirRectangle) {
  texture tex = {100, 200, 4, 0};
  wobj o = {};
  o.tex = &tex, o.clip[0] = 10, o.clip[1] = 20, o.clip[2] = 50, o.clip[3] = 100;
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
