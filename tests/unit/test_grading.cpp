// Colour tables (table images read back, the blend towards a region's
// table and its restart, the check of a world's tables) and the rain.
#include "fx/postproc.h"
#include "fx/weather.h"
#include "tests/unit/testutil.h"

namespace {
uint32_t pixel(SDL_Surface *s, int x, int y) { return ((uint32_t *)((uint8_t *)s->pixels + y * s->pitch))[x] & 0xFFFFFF; }
const int WHITE = CLUT_ENTRIES - 1;

// Pixel (x, y) of a table image is entry r = x % 16, g = y, b = x / 16.
uint32_t distinct(int x, int y) { return (uint32_t)x << 16 | (uint32_t)(y * 16 + 3) << 8 | (uint32_t)(255 - x); }

struct Grading : WorldRoot {
  void SetUp() override {
    WorldRoot::SetUp();
    s_default_clut[0] = 0;
    brush_clear();
  }
  // A table file whose entry (r, g, b) is (r, g, b) scaled by k per channel.
  std::string table(const std::string &name, float kr, float kg, float kb) {
    save_bmp(dir.path(name), 256, 16, [&](int x, int y) {
      return (uint32_t)std::lround(x % 16 * 17 * kr) << 16 | (uint32_t)std::lround(y * 17 * kg) << 8 |
             (uint32_t)std::lround(x / 16 * 17 * kb);
    });
    return dir.path(name);
  }
};

// Blends at the fixed step until settled; returns the number of steps that moved the table.
int blend_until_settled(const char *want) {
  int steps = 0;
  while (clut_blend(want, 1 / 30.0f) && steps < 1000) steps++;
  return steps;
}
} // namespace

TEST_F(Grading, TableImagesLoadTileByTileFromTheTopLeftOrEndTheGame) {
  save_bmp(dir.path("t.bmp"), 256, 16, distinct);
  clut t;
  clut_load(dir.path("t.bmp").c_str(), &t);
  for (int i = 0; i < CLUT_ENTRIES * 3; i++)
    ASSERT_EQ(t.e[i / 3][i % 3], (distinct(i / 768 * 16 + i / 3 % 16, i / 48 % 16) >> 8 * (2 - i % 3) & 255) / 255.0f) << i;
  SDL_Surface *s = clut_surface_make(&t);
  for (int y = 0; y < 16; y++)
    for (int x = 0; x < 256; x++) ASSERT_EQ(pixel(s, x, y), distinct(x, y)) << x << "," << y;
  SDL_FreeSurface(s);
  // a larger image counts with its top-left corner only
  save_bmp(dir.path("big.bmp"), 1024, 768, [](int x, int y) { return x < 256 && y < 16 ? distinct(x, y) : 0xFF00FFu; });
  clut big;
  clut_load(dir.path("big.bmp").c_str(), &big);
  EXPECT_EQ(memcmp(&big, &t, sizeof t), 0);

  save_bmp(dir.path("32.bmp"), 256, 16, distinct, 32);
  save_bmp(dir.path("narrow.bmp"), 255, 16, distinct);
  save_bmp(dir.path("low.bmp"), 256, 15, distinct);
  dir.write("text.bmp", "not an image");
  const std::string cases[][2] = {{"32.bmp", "image must be 24 bpp"}, {"narrow.bmp", "image is too small to fully contain a clut"},
      {"low.bmp", "image is too small to fully contain a clut"}, {"missing.bmp", ".*missing.bmp.*"}, {"text.bmp", ".+"}}; // SDL's words
  for (auto &c : cases)
    EXPECT_EXIT(clut_load(dir.path(c[0]).c_str(), &t), testing::ExitedWithCode(1), "error: clut_load#[0-9]+: " + c[1] + "\n") << c[0];
  std::string good = dir.path("t.bmp"), bad = dir.path("32.bmp");
  const char *names[] = {good.c_str(), "", good.c_str(), bad.c_str()};
  clut_check_tables(names, 3); // fine: one good table, named twice, and a region without any
  EXPECT_EXIT(clut_check_tables(names, 4), testing::ExitedWithCode(1), "error: clut_load#[0-9]+: image must be 24 bpp\n");
}

TEST_F(Grading, LerpMayWriteOverEitherInputAndBlendSettlesAfterFiveSecondsOfSteps) {
  clut a, b;
  clut_identity(&a);
  for (int i = 0; i < CLUT_ENTRIES * 3; i++) b.e[i / 3][i % 3] = 1 - a.e[i / 3][i % 3];
  clut x = a, y = b;
  clut_lerp(&x, &x, &b, 0.25f); // out is a
  clut_lerp(&y, &a, &y, 0.25f); // out is b
  EXPECT_EQ(memcmp(&x, &y, sizeof x), 0);
  EXPECT_TRUE(x.e[WHITE][2] == 0.75f && x.e[0][0] == 0.25f);
  std::string warm = table("warm.bmp", 1, 0.9f, 0.6f);
  clut_reset(); // identity, settled
  EXPECT_FALSE(clut_blend("", 1 / 30.0f)) << "settled on the identity: nothing to do";
  EXPECT_TRUE(blend_until_settled(warm.c_str()) == 151 && std::string(clut_name) == warm && clut_time >= CLUT_BLEND_SECONDS);
}

TEST_F(Grading, RegionChangeMidBlendStartsFromThePartlyBlendedTable) {
  std::string a = table("a.bmp", 1, 0.5f, 0.5f), b = table("b.bmp", 0.5f, 0.5f, 1);
  strcpy(s_default_clut, "a.bmp");
  clut_reset();
  EXPECT_TRUE(fabsf(clut_cur.e[WHITE][0] - 1) < 1e-6 && clut_name[0] == 0); // the default, settled, but not yet its name
  for (int s = 0; s < 30; s++) ASSERT_TRUE(clut_blend(b.c_str(), 1 / 30.0f)); // a second into B
  float part = clut_cur.e[WHITE][0];
  EXPECT_TRUE(part > 0.6f && part < 0.8f) << part;
  ASSERT_TRUE(clut_blend(a.c_str(), 1 / 30.0f) && std::string(clut_name) == a); // and back to A
  EXPECT_NEAR(clut_time, 1 / 30.0f, 1e-6) << "the count restarts";
  EXPECT_NEAR(clut_cur.e[WHITE][0], part + (1 - part) / 30, 1e-5) << "no jump";
  EXPECT_EQ(blend_until_settled(a.c_str()), 150);
  ASSERT_TRUE(clut_blend("", 1 / 30.0f));
  EXPECT_TRUE(clut_name[0] == 0 && clut_target.e[WHITE][1] == 1.0f);
}

TEST(Rain, StreaksFallAndStartAgainAtTheTop) {
  int old = i_rain_ndroplets;
  i_rain_ndroplets = 500, usrand(7), rain_init(8), i_rain_ndroplets = old;
  ASSERT_TRUE(rain_droplets.count == 500 && rain_radius == 8);
  // at the edge: exactly one step above 0 lands on 0 and stays; anything less wraps to 60 exactly
  rain_droplets[0] = {1, 0.5f, 2, 2.5f}, rain_droplets[1] = {-1, RAIN_FALL_PER_STEP, -2, 2.2f}, rain_droplets[2] = {3, 60, 4, 3};
  rain_update();
  EXPECT_TRUE(rain_droplets[0].y == 60.0f && rain_droplets[1].y == 0.0f && rain_droplets[2].y == 60 - RAIN_FALL_PER_STEP);
  EXPECT_TRUE(rain_droplets[0].x == 1 && rain_droplets[0].z == 2 && rain_droplets[0].length == 2.5f);
}
