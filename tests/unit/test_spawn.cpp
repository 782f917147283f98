// World item spawning with a seeded generator, unique landmarks and discoveries.
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
#include <cmath>
#include <functional>
#include <string>

namespace {

texture g_tex = {64, 128, 2};
texture *fake_texture(const char *) { return &g_tex; }

const char *const kIndex = "object bush\nfile b.png\nscale 2\n\n"
                           "object rock\nfile r.png\nscale 1\nscale_rnd 0.5\nclip 0 0 32 32\n\n"
                           "object statue\nfile s.png\ntype unique\nscale 3\n\n"
                           "object obelisk\nfile o.png\ntype unique\nscale 5\n\n"
                           "object bare\nscale 1\n\n";

// A world of one catalogue, the given brushes and an object map of w x h pixels, on a flat
// terrain at height 5. Nothing of it touches OpenGL.
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
    brush_clear();
    wobj_clear();
    dir.write("index", kIndex);
    testing::internal::CaptureStdout();
    parse_index();
    testing::internal::GetCapturedStdout();
    g_terrain = tn_alloc();
    for (int r = 0; r <= g_terrain->ndivs; r++)
      for (int c = 0; c <= g_terrain->ndivs; c++) g_terrain->verts[r][c].y = 5;
  }
  void TearDown() override {
    usetroot(old_root.c_str());
    f_tn_sz = old_sz;
    f_veg_pos_r = old_r;
    g_terrain = old_terrain;
    g_wobj_texture_get = texmgr_get;
    brush_clear();
    wobj_clear();
  }
  void world(const std::string &brushes, int w, int h, std::function<uint32_t(int, int)> color) {
    dir.write("brushes", brushes);
    brush_read_file();
    SDL_Surface *s = SDL_CreateRGBSurface(0, w, h, 24, 0xFF0000, 0x00FF00, 0x0000FF, 0);
    for (int y = 0; y < h; y++)
      for (int x = 0; x < w; x++) {
        uint8_t *p = (uint8_t *)s->pixels + y * s->pitch + x * 3;
        uint32_t c = color(x, y);
        p[0] = c & 0xFF, p[1] = c >> 8 & 0xFF, p[2] = c >> 16 & 0xFF;
      }
    objmap_set(s, f_veg_pos_r * 2);
  }
  std::string spawn() {
    testing::internal::CaptureStdout();
    spawn_all();
    return testing::internal::GetCapturedStdout();
  }
};
using SpawnDeath = Spawn;

uint32_t one_color(int, int) { return 0x112233; }

} // namespace

TEST_F(Spawn, AttemptsDrawPositionObjectAndSizeInOrder) {
  world("brush 112233\ndensity:3\nbush\nrock\n", 1, 1, one_color);
  usrand(77);
  spawn();
  ASSERT_EQ(wi_list.count, 3u);
  usrand(77);
  for (uint32_t i = 0; i < 3; i++) {
    // one pixel of 400 units: the cell is the whole terrain square
    float x = (float)(-200 + 400 * (urand() / 32767.0));
    float z = (float)(-200 + 400 * (urand() / 32767.0));
    const char *name = urand() % 2 ? "rock" : "bush";
    int size = urand();
    const wi &w = wi_list[i];
    EXPECT_FLOAT_EQ(w.pos[0], x);
    EXPECT_FLOAT_EQ(w.pos[2], z);
    EXPECT_FLOAT_EQ(w.pos[1], 5);
    EXPECT_STREQ(w.obj->name, name);
    float expect = std::string(name) == "rock" ? (float)(1 + size / 32767.0 * 1.0 - 0.5) : 2.0f;
    EXPECT_NEAR(w.height, expect, 1e-5);
  }
}

TEST_F(Spawn, BillboardSizeAndBoxStandOnTheGround) {
  world("brush 112233\nbush\n", 1, 1, one_color);
  spawn();
  ASSERT_EQ(wi_list.count, 1u);
  const wi &w = wi_list[0];
  // scale 2 without deviation; clip 64 x 128 makes it half as wide
  EXPECT_FLOAT_EQ(w.height, 2);
  EXPECT_FLOAT_EQ(w.width, 1);
  EXPECT_FLOAT_EQ(w.box.min[1], 5);
  EXPECT_FLOAT_EQ(w.box.max[1], 7);
  EXPECT_FLOAT_EQ(w.box.min[0], w.pos[0] - 0.5f);
  EXPECT_FLOAT_EQ(w.box.max[2], w.pos[2] + 0.5f);
}

TEST_F(Spawn, TreeBoxScalesTheTreeGeometry) {
  wobj *bush = wobj_find("bush");
  bush->is_tree = 1;
  bush->pg.batch = b_create();
  b_reset(bush->pg.batch);
  b_add_vertex(bush->pg.batch, -0.25f, 0, -0.5f);
  b_add_vertex(bush->pg.batch, 0.25f, 0.5f, 0.5f);
  spawn_wi(10, 20, bush);
  const wi &w = wi_list[wi_list.count - 1];
  EXPECT_FLOAT_EQ(w.box.min[0], 10 - 0.5f);
  EXPECT_FLOAT_EQ(w.box.max[1], 5 + 1);
  EXPECT_FLOAT_EQ(w.box.min[2], 20 - 1);
  b_free(bush->pg.batch);
}

TEST_F(Spawn, DensityZeroPlacesNothingAndDrawsNothing) {
  // density 0 places nothing and draws nothing
  world("brush 112233\ndensity:0\nbush\n", 2, 2, one_color);
  usrand(5);
  spawn();
  EXPECT_EQ(wi_list.count, 0u);
  int next = urand();
  usrand(5);
  EXPECT_EQ(urand(), next);
}

TEST_F(Spawn, EmptyMassListStopsThePixelAfterOnePosition) {
  world("brush 112233\ndensity:10\n", 2, 3, one_color);
  usrand(9);
  spawn();
  EXPECT_EQ(wi_list.count, 0u);
  int next = urand();
  usrand(9);
  for (int i = 0; i < 2 * 6; i++) urand();
  EXPECT_EQ(urand(), next);
}

TEST_F(Spawn, LandmarkTakesOneAttemptPositionAfterThePass) {
  world("brush 112233\ndensity:4\nbush\nstatue\n", 1, 1, one_color);
  usrand(3);
  std::string out = spawn();
  ASSERT_EQ(wi_list.count, 5u);
  ASSERT_EQ(uniq_count, 1u);
  EXPECT_EQ(uniq_list[0].item, 4u);
  EXPECT_EQ(uniq_list[0].discovered, 0);
  const wi &u = wi_list[4];
  EXPECT_EQ(out, std::string("spawn_wi: unique 'statue' at ") + ufmt("%.2f,%.2f", -u.pos[0], -u.pos[2]) + "\n");
  // it stands where one of the four attempts stood
  int same = 0;
  for (int i = 0; i < 4; i++) same += wi_list[i].pos[0] == u.pos[0] && wi_list[i].pos[2] == u.pos[2];
  EXPECT_EQ(same, 1);
  // the attempts draw as always (4 each); the landmark then draws its size
  int next = urand();
  usrand(3);
  for (int i = 0; i < 4 * 4 + 1; i++) urand();
  EXPECT_EQ(urand(), next);
  // a second pass starts over: the landmark is placed again, once
  spawn();
  EXPECT_EQ(wi_list.count, 5u);
  EXPECT_EQ(uniq_count, 1u);
}

TEST_F(Spawn, LandmarkListedUnderTwoBrushesGoesToTheFirst) {
  world("brush 0000ff\nbush\nstatue\n"
        "brush 00ff00\nrock\nstatue\n",
        4, 4, [](int x, int) { return x < 2 ? 0x00FF00u : 0x0000FFu; });
  std::string out = spawn();
  ASSERT_EQ(uniq_count, 1u);
  const wi &u = wi_list[uniq_list[0].item];
  EXPECT_EQ(objmap_get_brush(u.pos[0], u.pos[2])->color, 0x0000FFu);
  // already placed: the second offer draws nothing and prints nothing
  EXPECT_EQ(out.find("unique"), out.rfind("unique"));
}

TEST_F(Spawn, UniqueListsPlaceEachLandmarkInsideItsBrushRegion) {
  // left half: bushes; right half: rocks and two landmarks, one listed twice
  world("brush 0000ff\nbush\n"
        "brush 00ff00\nrock\nstatue\nobelisk\nstatue\n",
        8, 8, [](int x, int) { return x < 4 ? 0x0000FFu : 0x00FF00u; });
  usrand(11);
  spawn();
  ASSERT_EQ(uniq_count, 2u);
  uint32_t mass = 0;
  for (const wi &w : wi_list) mass += w.obj->type == WOBJ_MASS;
  EXPECT_EQ(mass, 64u); // the landmarks do not take the place of mass items
  for (uint32_t i = 0; i < 2; i++) {
    const wi &w = wi_list[uniq_list[i].item];
    EXPECT_EQ(w.obj->type, WOBJ_UNIQUE);
    EXPECT_EQ(objmap_get_brush(w.pos[0], w.pos[2])->color, 0x00FF00u);
  }
  EXPECT_STREQ(wi_list[uniq_list[0].item].obj->name, "statue");
  EXPECT_STREQ(wi_list[uniq_list[1].item].obj->name, "obelisk");
  // two landmarks, two different places
  EXPECT_NE(wi_list[uniq_list[0].item].pos[0], wi_list[uniq_list[1].item].pos[0]);
}

TEST_F(Spawn, LandmarksOfARegionWithoutMassStillAppear) {
  world("brush 112233\ndensity:2\nobelisk\n", 3, 3, one_color);
  spawn();
  ASSERT_EQ(wi_list.count, 1u);
  EXPECT_STREQ(wi_list[0].obj->name, "obelisk");
  EXPECT_FLOAT_EQ(wi_list[0].height, 5);
}

TEST_F(Spawn, ObjectWithoutTextureGetsAFiniteBox) {
  spawn_wi(1, 2, wobj_find("bare"));
  const wi &w = wi_list[wi_list.count - 1];
  EXPECT_FLOAT_EQ(w.width, 0);
  EXPECT_FLOAT_EQ(w.box.min[0], 1);
  EXPECT_FLOAT_EQ(w.box.max[1], 6);
}

TEST_F(Spawn, DiscoveriesAreReportedOnceWithinFourUnits) {
  world("brush 112233\nstatue\n", 1, 1, one_color);
  spawn();
  ASSERT_EQ(uniq_count, 1u);
  const wi &w = wi_list[uniq_list[0].item];
  camera saved = g_cam;
  auto check_at = [&](float dx, float dz) {
    g_cam.pos[0] = w.pos[0] + dx;
    g_cam.pos[1] = 1000; // height is ignored
    g_cam.pos[2] = w.pos[2] + dz;
    testing::internal::CaptureStdout();
    check_uniqs();
    return testing::internal::GetCapturedStdout();
  };
  EXPECT_EQ(check_at(4.0f, 0), "");
  EXPECT_EQ(check_at(0, -4.0f), "");
  EXPECT_EQ(uniq_list[0].discovered, 0);
  EXPECT_EQ(check_at(0, 3.9f), "check_uniqs: 'statue' discovered!\n");
  EXPECT_EQ(uniq_list[0].discovered, 1);
  EXPECT_EQ(check_at(0, 3.9f), "");
  EXPECT_EQ(check_at(0, 0), "");
  g_cam = saved;
}

TEST_F(SpawnDeath, MoreThanAHundredUniqueItemsEndTheLoad) {
  EXPECT_EXIT(
      {
        testing::internal::CaptureStdout();
        for (int i = 0; i <= UNIQ_MAX; i++) {
          wobj *o = wobj_find("statue");
          o->spawned = 0;
          spawn_wi(0, 0, o);
        }
      },
      testing::ExitedWithCode(1), "error: spawn_wi#[0-9]+: too many unique items: 'statue' is past the limit of 100\n");
}
