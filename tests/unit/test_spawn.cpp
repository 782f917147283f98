// World item spawning with a seeded generator, landmarks and discoveries.
#include "app/app.h"
#include "core/file.h"
#include "core/params.h"
#include "render/batch.h"
#include "render/texture.h"
#include "world/brush.h"
#include "world/object.h"
#include "world/spawn.h"
#include "world/terrain.h"
#include "tests/unit/testutil.h"
#include <SDL.h>
#include <gtest/gtest.h>
#include <functional>
#include <string>

namespace {
texture g_tex = {64, 128, 2};
texture *fake_texture(const char *) { return &g_tex; }

// A catalogue, the given brushes and a w x h object map over a flat terrain 400 units wide
// at height 5; the map covers the same square. No OpenGL.
struct Spawn : testing::Test {
  TempDir dir;
  std::string old_root = g_root;
  float old_sz = f_tn_sz, old_r = f_veg_pos_r;
  terrain *old_terrain = g_terrain;
  void SetUp() override {
    usetroot(dir.dir.c_str());
    g_wobj_texture_get = fake_texture;
    f_tn_sz = 400;
    f_veg_pos_r = 200;
    dir.write("index", "object bush\nfile b.png\nscale 2\n\n"
                       "object rock\nfile r.png\nscale 1\nscale_rnd 0.5\n\n"
                       "object statue\nfile s.png\ntype unique\nscale 3\n\n"
                       "object obelisk\nfile o.png\ntype unique\nscale 5\n\n");
    testing::internal::CaptureStdout();
    parse_index();
    testing::internal::GetCapturedStdout();
    g_terrain = tn_alloc();
    for (int r = 0; r <= g_terrain->ndivs; r++)
      for (int c = 0; c <= g_terrain->ndivs; c++) g_terrain->verts[r][c].y = 5;
  }
  void TearDown() override {
    usetroot(old_root.c_str());
    f_tn_sz = old_sz, f_veg_pos_r = old_r;
    g_terrain = old_terrain;
    g_wobj_texture_get = texmgr_get;
    brush_clear();
    wobj_clear();
  }
  std::string spawn(const std::string &brushes, int w, int h, std::function<uint32_t(int, int)> color) {
    dir.write("brushes", brushes);
    brush_read_file();
    SDL_Surface *s = SDL_CreateRGBSurface(0, w, h, 24, 0xFF0000, 0x00FF00, 0x0000FF, 0);
    for (int y = 0; y < h; y++)
      for (int x = 0; x < w; x++) {
        uint32_t c = color(x, y);
        uint8_t *p = (uint8_t *)s->pixels + y * s->pitch + x * 3;
        p[0] = c & 0xFF, p[1] = c >> 8 & 0xFF, p[2] = c >> 16 & 0xFF;
      }
    objmap_set(s, f_veg_pos_r * 2);
    testing::internal::CaptureStdout();
    spawn_all();
    return testing::internal::GetCapturedStdout();
  }
  // the draws made since usrand(seed) was followed by spawning
  int draws_since(uint32_t seed) {
    int next = urand();
    usrand(seed);
    for (int n = 0; n < 100000; n++)
      if (urand() == next) return n;
    return -1;
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
    int size = urand();
    EXPECT_NEAR(w.height, w.obj->scale + (size / 32767.0 - 0.5) * w.obj->scale_rnd * 2, 1e-5);
    // a billboard stands on the ground; the bush (scale 2, clip 64 x 128) is 2 high and 1 wide
    EXPECT_FLOAT_EQ(w.box.min[1], 5);
    EXPECT_FLOAT_EQ(w.box.max[1], 5 + w.height);
    EXPECT_NEAR(w.box.max[0] - w.box.min[0], w.width, 1e-4);
    if (w.obj->scale == 2) {
      EXPECT_FLOAT_EQ(w.width, 1);
    }
  }
}

TEST_F(Spawn, PixelsWithoutDensityOrMassPlaceNothing) {
  usrand(5);
  spawn("brush 112233\ndensity:0\nbush\n", 2, 2, one);
  EXPECT_EQ(wi_list.count, 0u);
  EXPECT_EQ(draws_since(5), 0);
  brush_clear();
  // an empty mass list ends each pixel's attempts after the first position
  usrand(9);
  spawn("brush 112233\ndensity:10\n", 2, 3, one);
  EXPECT_EQ(wi_list.count, 0u);
  EXPECT_EQ(draws_since(9), 2 * 6);
}

TEST_F(Spawn, LandmarksAppearOnceAtAnAttemptOfTheirBrush) {
  // left half: bushes and the statue; right half: rocks, the statue again and the obelisk twice
  usrand(11);
  std::string out = spawn("brush 0000ff\nbush\nstatue\nbrush 00ff00\nrock\nstatue\nobelisk\nobelisk\n", 8, 8,
                          [](int x, int) { return x < 4 ? 0x0000FFu : 0x00FF00u; });
  ASSERT_EQ(uniq_count, 2u);
  EXPECT_EQ(wi_list.count, 66u); // the landmarks come on top of the 64 mass items
  // every attempt drew 4 times, then each landmark its size
  EXPECT_EQ(draws_since(11), 64 * 4 + 2);
  const wi &s = wi_list[uniq_list[0].item], &o = wi_list[uniq_list[1].item];
  EXPECT_STREQ(s.obj->name, "statue");
  EXPECT_EQ(objmap_get_brush(s.pos[0], s.pos[2])->color, 0x0000FFu); // the first brush won
  EXPECT_EQ(objmap_get_brush(o.pos[0], o.pos[2])->color, 0x00FF00u);
  std::string at_s = ufmt("%.2f,%.2f", -s.pos[0], -s.pos[2]), at_o = ufmt("%.2f,%.2f", -o.pos[0], -o.pos[2]);
  EXPECT_EQ(out, "spawn_wi: unique 'statue' at " + at_s + "\nspawn_wi: unique 'obelisk' at " + at_o + "\n");
  int same = 0;
  for (const wi &w : wi_list) same += w.pos[0] == s.pos[0] && w.pos[2] == s.pos[2];
  EXPECT_EQ(same, 2); // it stands where one attempt placed a bush
  // a second pass starts over and places each again, once
  spawn_all();
  EXPECT_EQ(uniq_count, 2u);
}

TEST_F(Spawn, DiscoveriesAreReportedOnceWithinFourUnits) {
  spawn("brush 112233\ndensity:0\nobelisk\nbrush 445566\nobelisk\n", 2, 1, [](int x, int) { return x ? 0x445566u : 0x112233u; });
  ASSERT_EQ(uniq_count, 1u);
  const wi &w = wi_list[uniq_list[0].item];
  EXPECT_GT(w.pos[0], 0); // the brush without attempts could not place it
  camera saved = g_cam;
  auto check_at = [&](float dx, float dz) {
    g_cam.pos[0] = w.pos[0] + dx, g_cam.pos[1] = 1000, g_cam.pos[2] = w.pos[2] + dz;
    testing::internal::CaptureStdout();
    check_uniqs();
    return testing::internal::GetCapturedStdout();
  };
  EXPECT_EQ(check_at(4.0f, 0), "");
  EXPECT_EQ(check_at(0, -4.0f), "");
  EXPECT_EQ(check_at(0, 3.9f), "check_uniqs: 'obelisk' discovered!\n");
  EXPECT_EQ(check_at(0, 3.9f), "");
  g_cam = saved;
}

TEST_F(Spawn, MoreThanAHundredUniqueItemsEndTheLoad) {
  wobj *o = wobj_find("statue");
  EXPECT_EXIT(
      {
        for (int i = 0; i <= UNIQ_MAX; i++, o->spawned = 0) spawn_wi(0, 0, o);
      },
      testing::ExitedWithCode(1), "error: spawn_wi#[0-9]+: too many unique items: 'statue' is past the limit of 100\n");
}
