// Colour tables: the identity and its image, table images read back, the blend towards a region's
// table and its restart, and the check of a world's tables.
#include "core/file.h"
#include "core/params.h"
#include "fx/postproc.h"
#include "world/brush.h"
#include "tests/unit/testutil.h"
#include <SDL.h>
#include <gtest/gtest.h>
#include <cmath>
#include <functional>

namespace {

// A 24-bit (or 32-bit) BMP whose pixel (x, y), row 0 at the top, is colour(x, y) = 0xRRGGBB.
void save_bmp(const std::string &path, int w, int h, std::function<uint32_t(int, int)> colour, int depth = 24) {
  SDL_Surface *s = SDL_CreateRGBSurfaceWithFormat(0, w, h, depth, depth == 24 ? SDL_PIXELFORMAT_BGR24 : SDL_PIXELFORMAT_ARGB8888);
  for (int y = 0; y < h; y++)
    for (int x = 0; x < w; x++) {
      uint32_t c = colour(x, y);
      uint8_t *p = (uint8_t *)s->pixels + y * s->pitch + x * (depth / 8);
      p[0] = c & 0xFF, p[1] = c >> 8 & 0xFF, p[2] = c >> 16 & 0xFF;
      if (depth == 32) p[3] = 0xFF;
    }
  ASSERT_EQ(SDL_SaveBMP(s, path.c_str()), 0) << SDL_GetError();
  SDL_FreeSurface(s);
}

uint32_t pixel(SDL_Surface *s, int x, int y) { return ((uint32_t *)((uint8_t *)s->pixels + y * s->pitch))[x]; }
const float *entry(const clut &t, int r, int g, int b) { return t.e[(b * 16 + g) * 16 + r]; }

// Pixel (x, y) of a table image is entry r = x % 16, g = y, b = x / 16.
uint32_t distinct(int x, int y) { return (uint32_t)x << 16 | (uint32_t)(y * 16 + 3) << 8 | (uint32_t)(255 - x); }

struct Grading : testing::Test {
  TempDir dir;
  std::string old_root = g_root;
  char old_clut[PARAM_STRING_SIZE];
  void SetUp() override {
    memcpy(old_clut, s_default_clut, sizeof old_clut);
    usetroot(dir.dir.c_str());
    s_default_clut[0] = 0;
    brush_clear();
  }
  void TearDown() override {
    usetroot(old_root.c_str());
    memcpy(s_default_clut, old_clut, sizeof old_clut);
    brush_clear();
  }
  // A table file whose entry (r, g, b) is (r, g, b) scaled by k per channel.
  std::string table(const std::string &name, float kr, float kg, float kb) {
    std::string p = dir.path(name);
    save_bmp(p, 256, 16, [&](int x, int y) {
      int r = x % 16, b = x / 16;
      return (uint32_t)std::lround(r * 17 * kr) << 16 | (uint32_t)std::lround(y * 17 * kg) << 8 | (uint32_t)std::lround(b * 17 * kb);
    });
    return p;
  }
};

TEST_F(Grading, IdentityTableAndItsImage) {
  clut id;
  clut_identity(&id);
  for (int b = 0; b < 16; b++)
    for (int g = 0; g < 16; g++)
      for (int r = 0; r < 16; r++) {
        const float *e = entry(id, r, g, b);
        ASSERT_TRUE(e[0] == (float)(r / 15.0) && e[1] == (float)(g / 15.0) && e[2] == (float)(b / 15.0)) << r << g << b;
      }
  SDL_Surface *s = clut_surface_make(&id);
  ASSERT_EQ(s->w, 256);
  ASSERT_EQ(s->h, 16);
  const struct {
    int x, y;
    uint32_t argb;
  } corners[] = {
      {0, 0, 0xFF000000}, {15, 0, 0xFFFF0000}, {15, 15, 0xFFFFFF00}, {255, 15, 0xFFFFFFFF}, {240, 0, 0xFF0000FF},
  };
  for (auto &c : corners) EXPECT_EQ(pixel(s, c.x, c.y), c.argb) << c.x << "," << c.y;
  // every pixel is its lattice colour, 17 levels a step (truncation may cost one level)
  for (int y = 0; y < 16; y++)
    for (int x = 0; x < 256; x++) {
      uint32_t p = pixel(s, x, y);
      int want[3] = {x % 16 * 17, y * 17, x / 16 * 17}, got[3] = {int(p >> 16 & 255), int(p >> 8 & 255), int(p & 255)};
      for (int c = 0; c < 3; c++) ASSERT_LE(want[c] - got[c], 1) << x << "," << y;
      for (int c = 0; c < 3; c++) ASSERT_GE(want[c] - got[c], 0) << x << "," << y;
    }
  SDL_FreeSurface(s);
}

TEST_F(Grading, TableImagesLoadTileByTileFromTheTopLeft) {
  std::string path = dir.path("t.bmp");
  save_bmp(path, 256, 16, distinct);
  clut t;
  clut_load(path.c_str(), &t);
  for (int b = 0; b < 16; b++)
    for (int g = 0; g < 16; g++)
      for (int r = 0; r < 16; r++) {
        uint32_t c = distinct(16 * b + r, g);
        const float *e = entry(t, r, g, b);
        ASSERT_EQ(e[0], (c >> 16) / 255.0f) << r << "," << g << "," << b;
        ASSERT_EQ(e[1], (c >> 8 & 255) / 255.0f) << r << "," << g << "," << b;
        ASSERT_EQ(e[2], (c & 255) / 255.0f) << r << "," << g << "," << b;
      }
  // the image of a loaded table gives the file's bytes back
  SDL_Surface *s = clut_surface_make(&t);
  for (int y = 0; y < 16; y++)
    for (int x = 0; x < 256; x++) ASSERT_EQ(pixel(s, x, y) & 0xFFFFFF, distinct(x, y)) << x << "," << y;
  SDL_FreeSurface(s);

  // a larger image counts with its top-left corner only
  save_bmp(dir.path("big.bmp"), 1024, 768, [](int x, int y) { return x < 256 && y < 16 ? distinct(x, y) : 0xFF00FFu; });
  clut big;
  clut_load(dir.path("big.bmp").c_str(), &big);
  EXPECT_EQ(memcmp(&big, &t, sizeof t), 0);
}

TEST_F(Grading, UnusableTableImagesEndTheGame) {
  save_bmp(dir.path("32.bmp"), 256, 16, distinct, 32);
  save_bmp(dir.path("narrow.bmp"), 255, 16, distinct);
  save_bmp(dir.path("low.bmp"), 256, 15, distinct);
  dir.write("text.bmp", "not an image");
  const std::string cases[][2] = {
      {"32.bmp", "image must be 24 bpp"},
      {"narrow.bmp", "image is too small to fully contain a clut"},
      {"low.bmp", "image is too small to fully contain a clut"},
      {"missing.bmp", ".*missing.bmp.*"}, // SDL's words, with the file named
      {"text.bmp", ".+"},
  };
  clut t;
  for (auto &c : cases)
    EXPECT_EXIT(clut_load(dir.path(c[0]).c_str(), &t), testing::ExitedWithCode(1), "error: clut_load#[0-9]+: " + c[1] + "\n")
        << c[0];
}

TEST_F(Grading, LerpMayWriteOverEitherInput) {
  clut a, b;
  clut_identity(&a);
  for (int i = 0; i < CLUT_ENTRIES; i++)
    for (int c = 0; c < 3; c++) b.e[i][c] = 1 - a.e[i][c];
  clut x = a, y = b;
  clut_lerp(&x, &x, &b, 0.25f); // out is a
  clut_lerp(&y, &a, &y, 0.25f); // out is b
  EXPECT_EQ(memcmp(&x, &y, sizeof x), 0);
  EXPECT_FLOAT_EQ(x.e[CLUT_ENTRIES - 1][2], 0.75f);
  EXPECT_FLOAT_EQ(x.e[0][0], 0.25f);
}

// Blends at the fixed step until settled; returns the number of steps that moved the table.
int blend_until_settled(const char *want) {
  int steps = 0;
  while (clut_blend(want, 1 / 30.0f) && steps < 1000) steps++;
  return steps;
}

TEST_F(Grading, BlendSettlesAfterFiveSecondsOfSteps) {
  std::string warm = table("warm.bmp", 1, 0.9f, 0.6f);
  clut_reset(); // identity, settled
  EXPECT_FALSE(clut_blend("", 1 / 30.0f)) << "settled on the identity: nothing to do";
  clut want;
  clut_load(warm.c_str(), &want);
  EXPECT_EQ(blend_until_settled(warm.c_str()), 151);
  EXPECT_EQ(std::string(clut_name), warm);
  EXPECT_GE(clut_time, CLUT_BLEND_SECONDS);
  // an exponential approach: about 0.6 % of the way is left, and stays
  clut id;
  clut_identity(&id);
  int i = (15 * 16 + 15) * 16 + 15; // white
  double left = std::pow(29.0 / 30.0, 151);
  EXPECT_NEAR(clut_cur.e[i][2], want.e[i][2] + (id.e[i][2] - want.e[i][2]) * left, 1e-4);
  EXPECT_GT(clut_cur.e[i][2], want.e[i][2]);
  clut before = clut_cur;
  EXPECT_FALSE(clut_blend(warm.c_str(), 1 / 30.0f));
  EXPECT_EQ(memcmp(&before, &clut_cur, sizeof before), 0);
}

TEST_F(Grading, RegionChangeMidBlendStartsFromThePartlyBlendedTable) {
  std::string a = table("a.bmp", 1, 0.5f, 0.5f), b = table("b.bmp", 0.5f, 0.5f, 1);
  int white = (15 * 16 + 15) * 16 + 15;
  strcpy(s_default_clut, "a.bmp");
  clut_reset();
  EXPECT_NEAR(clut_cur.e[white][0], 1, 1e-6); // the default, settled, but not yet its name
  EXPECT_EQ(clut_name[0], 0);
  for (int s = 0; s < 30; s++) ASSERT_TRUE(clut_blend(b.c_str(), 1 / 30.0f)); // a second into B
  float part = clut_cur.e[white][0];
  EXPECT_GT(part, 0.6f);
  EXPECT_LT(part, 0.8f);
  ASSERT_TRUE(clut_blend(a.c_str(), 1 / 30.0f)); // and back to A
  EXPECT_EQ(std::string(clut_name), a);
  EXPECT_NEAR(clut_time, 1 / 30.0f, 1e-6) << "the count restarts";
  EXPECT_NEAR(clut_cur.e[white][0], part + (1 - part) / 30, 1e-5) << "no jump";
  EXPECT_EQ(blend_until_settled(a.c_str()), 150);
  // a region without a table blends to the identity
  ASSERT_TRUE(clut_blend("", 1 / 30.0f));
  EXPECT_EQ(clut_name[0], 0);
  EXPECT_EQ(clut_target.e[white][1], 1.0f);
}

TEST_F(Grading, EveryTableOfTheBrushesIsCheckedWhileTheWorldLoads) {
  std::string good = table("good.bmp", 1, 1, 1);
  save_bmp(dir.path("bad.bmp"), 256, 16, distinct, 32);
  g_nbrushes = 3;
  strcpy(g_brushes[0].clut, good.c_str());
  strcpy(g_brushes[2].clut, good.c_str());
  clut_reset(); // fine: one good table, and a brush without any
  strcpy(g_brushes[2].clut, dir.path("bad.bmp").c_str());
  EXPECT_EXIT(clut_reset(), testing::ExitedWithCode(1), "error: clut_load#[0-9]+: image must be 24 bpp\n");
  strcpy(g_brushes[2].clut, dir.path("gone.bmp").c_str());
  EXPECT_EXIT(clut_reset(), testing::ExitedWithCode(1), "error: clut_load#[0-9]+: .*gone.bmp");
}

} // namespace
