// Brushes and the object map: the brush file's rules and messages, and the lookup at edges.
#include "core/file.h"
#include "core/params.h"
#include "render/texture.h"
#include "world/brush.h"
#include "world/object.h"
#include "world/terrain.h"
#include "tests/unit/testutil.h"
#include <SDL.h>
#include <gtest/gtest.h>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

namespace {

texture g_tex = {32, 32, 3};
texture *fake_texture(const char *) { return &g_tex; }

const char *const kIndex = "object tree\nfile t.png\n\n"
                           "object fern\nfile f.png\ntype grass\n\n"
                           "object statue\nfile s.png\ntype unique\n\n"
                           "object pebble\nfile p.png\ntype detail\n\n";

// A data root with "index", "brushes" and a 24-bit "objmap.bmp" whose pixel (x, y) is color(x, y).
struct Brushes : testing::Test {
  TempDir dir;
  std::string old_root = g_root;
  float old_r = f_veg_pos_r;
  char old_clut[PARAM_STRING_SIZE];
  void SetUp() override {
    memcpy(old_clut, s_default_clut, sizeof old_clut);
    s_default_clut[0] = 0;
    usetroot(dir.dir.c_str());
    g_wobj_texture_get = fake_texture;
    brush_clear();
    wobj_clear();
    dir.write("index", kIndex);
    testing::internal::CaptureStdout();
    parse_index();
    testing::internal::GetCapturedStdout();
  }
  void TearDown() override {
    usetroot(old_root.c_str());
    f_veg_pos_r = old_r;
    memcpy(s_default_clut, old_clut, sizeof old_clut);
    g_wobj_texture_get = texmgr_get;
    brush_clear();
    wobj_clear();
  }
  void map(int w, int h, std::function<uint32_t(int, int)> color) {
    SDL_Surface *s = SDL_CreateRGBSurface(0, w, h, 24, 0xFF0000, 0x00FF00, 0x0000FF, 0);
    for (int y = 0; y < h; y++)
      for (int x = 0; x < w; x++) {
        uint8_t *p = (uint8_t *)s->pixels + y * s->pitch + x * 3;
        uint32_t c = color(x, y);
        p[0] = c & 0xFF, p[1] = c >> 8 & 0xFF, p[2] = c >> 16 & 0xFF;
      }
    ASSERT_EQ(SDL_SaveBMP(s, dir.path("objmap.bmp").c_str()), 0) << SDL_GetError();
    SDL_FreeSurface(s);
  }
  void load(const std::string &brushes) {
    dir.write("brushes", brushes);
    parse_brushes();
  }
};
using BrushesDeath = Brushes;

// the specified lookup: the pixel under (x, z), then the first brush of its colour in file order
brush *linear_lookup(float x, float z) {
  SDL_Surface *s = g_objmap;
  float e = g_objmap_extent;
  float fc = (x + e * 0.5f) / e * s->w, fr = (z + e * 0.5f) / e * s->h;
  int col = fc < 0 ? 0 : fc >= s->w ? s->w - 1 : (int)fc;
  int row = fr < 0 ? 0 : fr >= s->h ? s->h - 1 : (int)fr;
  uint32_t c = surf_get_pixel(s, col, row);
  for (size_t i = 0; i < g_nbrushes; i++)
    if (g_brushes[i].color == c) return &g_brushes[i];
  return nullptr;
}

} // namespace

TEST_F(Brushes, ReadsLinesIntoTheCurrentBrush) {
  std::strcpy(s_default_clut, "cluts/default.bmp");
  map(1, 1, [](int, int) { return 0xFF8000u; });
  load("# regions\n"
       "\n"
       "brush FF8000\n"
       "tree\n"
       "fern\n"
       "statue\n"
       "pebble\n"
       "tree\n"
       "footsteps: steps/grass.cfg\n"
       "density:3\n"
       "density:\n"
       "brush ff8000\n"
       "clut:cluts/autumn.bmp\n"
       "density:-2\n");
  ASSERT_EQ(g_nbrushes, 2u);
  const brush &b = g_brushes[0];
  EXPECT_EQ(b.color, 0xFF8000u);
  ASSERT_EQ(b.mass.count, 2u); // listed twice, stored twice
  EXPECT_STREQ(b.mass[0]->name, "tree");
  EXPECT_EQ(b.mass[1], b.mass[0]);
  ASSERT_EQ(b.grass.count, 1u);
  EXPECT_STREQ(b.grass[0]->name, "fern");
  ASSERT_EQ(b.unique.count, 1u);
  ASSERT_EQ(b.detail.count, 1u);
  EXPECT_EQ(b.density, 3); // a density line without a number changes nothing
  // the value keeps its blanks
  EXPECT_EQ(std::string(b.footsteps), dir.dir + "/ steps/grass.cfg");
  EXPECT_EQ(std::string(b.clut), dir.dir + "/cluts/default.bmp");
  const brush &b2 = g_brushes[1];
  EXPECT_EQ(b2.footsteps[0], 0);
  EXPECT_EQ(std::string(b2.clut), dir.dir + "/cluts/autumn.bmp");
  EXPECT_EQ(b2.density, -2);
  // hex case does not matter, and the first brush of a colour is the one found
  EXPECT_EQ(objmap_get_brush(0, 0), &g_brushes[0]);
  EXPECT_FLOAT_EQ(g_objmap_extent, 120);
}

TEST_F(Brushes, LookupMapsTheSquareAndClampsOutside) {
  // 4 x 3 pixels, every one its own colour; the map covers -60..60 in x and z
  map(4, 3, [](int x, int y) { return uint32_t(0x100000 * (y + 1) + x); });
  std::string text;
  for (int y = 0; y < 3; y++)
    for (int x = 0; x < 4; x++) text += std::string("brush ") + ufmt("%x", 0x100000 * (y + 1) + x) + "\n";
  load(text);
  auto at = [](float x, float z) { return objmap_get_brush(x, z)->color; };
  EXPECT_EQ(at(-60, -60), 0x100000u);
  EXPECT_EQ(at(-30.1f, -20.1f), 0x100000u);
  EXPECT_EQ(at(-29.9f, -19.9f), 0x200001u);
  EXPECT_EQ(at(1000, 0), 0x200003u);   // rightmost pixel of the middle row
  EXPECT_EQ(at(60, 60), 0x300003u);    // col = width, row = height: clamped
  EXPECT_EQ(at(-1e30f, 1e30f), 0x300000u);
  EXPECT_EQ(at(NAN, NAN), 0x100000u);
  // the table lookup answers as the linear search does, all over and around the map
  for (float z = -70; z <= 70; z += 0.7f)
    for (float x = -70; x <= 70; x += 0.9f) ASSERT_EQ(objmap_get_brush(x, z), linear_lookup(x, z)) << x << "," << z;
}

TEST_F(Brushes, ExtentFollowsTheVegetationRadius) {
  f_veg_pos_r = 10;
  map(2, 1, [](int x, int) { return x ? 0x00FF00u : 0x0000FFu; });
  load("brush 0000ff\nbrush 00ff00\n");
  EXPECT_EQ(objmap_get_brush(-0.01f, 0)->color, 0x0000FFu);
  EXPECT_EQ(objmap_get_brush(0.01f, 0)->color, 0x00FF00u);
  EXPECT_EQ(objmap_get_brush(9.99f, 0)->color, 0x00FF00u);
}

TEST_F(BrushesDeath, FileMessagesNameTheLine) {
  map(1, 1, [](int, int) { return 0x00FF00u; });
  EXPECT_EXIT(load("# c\n\nbrush\n"), testing::ExitedWithCode(1), "error: parse_brushes#[0-9]+: invalid brush definition at #3\n");
  EXPECT_EXIT(load("brush zz\n"), testing::ExitedWithCode(1), "invalid brush definition at #1\n");
  EXPECT_EXIT(load("\ntree\n"), testing::ExitedWithCode(1), "error: parse_brushes#[0-9]+: wobj\\(\\?\\) before brush decl at 2\n");
  EXPECT_EXIT(load("brush 00ff00\ntree \n"), testing::ExitedWithCode(1), "error: parse_brushes#[0-9]+: undefined name 'tree '\n");
  std::string longpath(300, 'p');
  EXPECT_EXIT(load("brush 00ff00\nfootsteps:" + longpath + "\n"), testing::ExitedWithCode(1), "path too long for p+\n");
  std::string many;
  for (int i = 0; i <= BRUSH_MAX; i++) many += "brush 00ff00\n";
  EXPECT_EXIT(load(many), testing::ExitedWithCode(1), "error: parse_brushes#[0-9]+: too many brushes at #1025 \\(at most 1024\\)\n");
  remove(dir.path("brushes").c_str());
  EXPECT_EXIT(parse_brushes(), testing::ExitedWithCode(1), "error: parse_brushes#[0-9]+: failed to open .*/brushes\n");
}

TEST_F(BrushesDeath, MapMessages) {
  dir.write("brushes", "brush 00ff00\n");
  EXPECT_EXIT(parse_brushes(), testing::ExitedWithCode(1), "error: parse_brushes#[0-9]+: .*objmap.bmp");
  // a colour without a brush ends the load, in decimal and as six hex digits
  map(3, 2, [](int x, int y) { return x == 2 && y == 1 ? 0x00FF00u : 0x0000FFu; });
  EXPECT_EXIT(load("brush 0000ff\n"), testing::ExitedWithCode(1),
              "error: parse_brushes#[0-9]+: no matching brush for color 65280 \\(#00ff00\\)\n");
}
