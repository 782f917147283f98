// Brushes and the object map: the brush file's rules and messages, and the lookup at the edges.
#include "tests/unit/testutil.h"

namespace {
struct Brushes : WorldRoot {
  void SetUp() override { WorldRoot::SetUp(), catalogue("object tree\nfile t.png\n\nobject fern\ntype grass\n\nobject statue\ntype unique\n\n"); }
  void map(int w, int h, std::function<uint32_t(int, int)> colour) { save_bmp(dir.path("objmap.bmp"), w, h, colour); }
  void load(const std::string &text) { dir.write("brushes", text), brush_clear(), parse_brushes(); }
};

// the lookup as a linear search: the pixel under (x, z), then the first brush of its colour
brush *linear_lookup(float x, float z) {
  SDL_Surface *s = g_objmap;
  float e = g_objmap_extent, fc = (x + e * 0.5f) / e * s->w, fr = (z + e * 0.5f) / e * s->h;
  int col = fc < 0 ? 0 : fc >= s->w ? s->w - 1 : (int)fc, row = fr < 0 ? 0 : fr >= s->h ? s->h - 1 : (int)fr;
  for (size_t i = 0; i < g_nbrushes; i++)
    if (g_brushes[i].color == surf_get_pixel(s, col, row)) return &g_brushes[i];
  return nullptr;
}
} // namespace

TEST_F(Brushes, LinesFillTheCurrentBrushByKind) {
  strcpy(s_default_clut, "cluts/default.bmp");
  map(1, 1, [](int, int) { return 0xFF8000u; });
  load("# regions\n\nbrush FF8000\ntree\nfern\nstatue\ntree\nfootsteps: steps/grass.cfg\ndensity:3\ndensity:\n"
       "brush ff8000\nclut:cluts/autumn.bmp\n");
  ASSERT_EQ(g_nbrushes, 2u);
  const brush &b = g_brushes[0], &b2 = g_brushes[1];
  ASSERT_EQ(b.mass.count, 2u); // listed twice, stored twice
  EXPECT_TRUE(b.mass[1] == wobj_find("tree") && b.grass.count == 1 && b.unique.count == 1);
  EXPECT_EQ(b.density, 3); // "density:" without a number changes nothing
  EXPECT_EQ(std::string(b.footsteps), dir.dir + "/ steps/grass.cfg");
  EXPECT_EQ(std::string(b.clut), dir.dir + "/cluts/default.bmp");
  EXPECT_EQ(std::string(b2.clut), dir.dir + "/cluts/autumn.bmp");
  EXPECT_EQ(b2.footsteps[0], 0);
  // FF8000 and ff8000 are one colour, and the first brush of it is the one found
  EXPECT_EQ(objmap_get_brush(0, 0), &b);
}

TEST_F(Brushes, LookupCoversTheSquareAndClampsOutside) {
  // 4 x 3 pixels, each its own colour, over -60..60 (f_veg_pos_r 60)
  f_veg_pos_r = 60;
  map(4, 3, [](int x, int y) { return uint32_t(0x100000 * (y + 1) + x); });
  std::string text;
  for (int y = 0; y < 3; y++)
    for (int x = 0; x < 4; x++) text += std::string("brush ") + ufmt("%x", 0x100000 * (y + 1) + x) + "\n";
  load(text);
  auto at = [](float x, float z) { return objmap_get_brush(x, z)->color; };
  EXPECT_TRUE(at(1000, 0) == 0x200003u && at(60, 60) == 0x300003u && at(NAN, -1e30f) == 0x100000u); // clamped
  for (float z = -70; z <= 70; z += 0.7f)
    for (float x = -70; x <= 70; x += 0.9f) ASSERT_EQ(objmap_get_brush(x, z), linear_lookup(x, z)) << x << "," << z;
}

TEST_F(Brushes, EveryBadLineEndsTheLoadWithItsMessage) {
  dir.write("brushes", "brush 00ff00\n");
  EXPECT_EXIT(parse_brushes(), testing::ExitedWithCode(1), "error: parse_brushes#[0-9]+: .*objmap.bmp");
  map(3, 2, [](int x, int y) { return x == 2 && y == 1 ? 0x00FF00u : 0x0000FFu; });
  std::string many;
  for (int i = 0; i <= BRUSH_MAX; i++) many += "brush 00ff00\n";
  const std::string cases[][2] = {
      {"brush 0000ff\n", "no matching brush for color 65280 \\(#00ff00\\)\n"},
      {"# c\n\nbrush\n", "invalid brush definition at #3\n"},
      {"brush zz\n", "invalid brush definition at #1\n"},
      {"\ntree\n", "wobj\\(\\?\\) before brush decl at 2\n"},
      {"brush 00ff00\ntree \n", "undefined name 'tree '\n"},
      {"brush 00ff00\nfootsteps:" + std::string(300, 'p') + "\n", "path too long for p+\n"},
      {many, "too many brushes at #1025 \\(at most 1024\\)\n"},
  };
  for (auto &c : cases) EXPECT_EXIT(load(c[0]), testing::ExitedWithCode(1), "error: [a-z_]+#[0-9]+: " + c[1]) << c[0];
  remove(dir.path("brushes").c_str());
  EXPECT_EXIT(parse_brushes(), testing::ExitedWithCode(1), "error: parse_brushes#[0-9]+: failed to open .*/brushes\n");
}
