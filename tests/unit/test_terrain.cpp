// Height map sampling, vertex heights and ground queries on BMP surfaces; no OpenGL.
#include "core/params.h"
#include "world/terrain.h"
#include "tests/unit/testutil.h"
#include <SDL.h>
#include <gtest/gtest.h>
#include <cmath>
#include <functional>

namespace {
// w x h image whose pixel (x, y) encodes v(x, y) (0 to 0xFFFFFF), saved as a BMP and read back as
// world loading reads "hm.bmp"; depth 8 writes palette index 200 everywhere.
SDL_Surface *bmp(int w, int h, std::function<uint32_t(int, int)> v, int depth = 24) {
  SDL_Surface *s = SDL_CreateRGBSurfaceWithFormat(0, w, h, depth, depth == 24 ? SDL_PIXELFORMAT_BGR24 : SDL_PIXELFORMAT_INDEX8);
  for (int y = 0; y < h; y++)
    for (int x = 0; x < w; x++) {
      uint8_t *p = (uint8_t *)s->pixels + y * s->pitch + x * depth / 8;
      if (depth == 8) *p = 200;
      else p[0] = v(x, y) & 0xFF, p[1] = v(x, y) >> 8 & 0xFF, p[2] = v(x, y) >> 16;
    }
  TempDir d;
  SDL_SaveBMP(s, d.path("hm.bmp").c_str());
  SDL_FreeSurface(s);
  return SDL_LoadBMP(d.path("hm.bmp").c_str());
}

struct Grid { // a 10 x 10 grid of 400 units, the parameters restored afterwards
  int ndivs = i_tn_ndivs;
  float sz = f_tn_sz;
  Grid() { i_tn_ndivs = 10, f_tn_sz = 400; }
  ~Grid() { i_tn_ndivs = ndivs, f_tn_sz = sz; }
  terrain *on(SDL_Surface *s, float maxy) {
    terrain *t = tn_alloc();
    t->hm = new heightmap{s, maxy};
    tn_sample_heights(t);
    return t;
  }
};
} // namespace

TEST(HmSample, BilinearInsideZeroOutsideNeverPastTheImage) {
  // 3 x 2; the last column is distinct so a read past the image would show
  SDL_Surface *s = bmp(3, 2, [](int x, int y) { return x == 2 ? 0xFFFFFFu : uint32_t(1000 * (y * 2 + x)); });
  EXPECT_EQ(hm_sample(s, 0.25f, 0.5f, 1), 1500u);
  EXPECT_EQ(hm_sample(s, 1, 1, 1), 0xFFFFFFu);
  EXPECT_EQ(hm_sample(s, 50, 100, 100), 3000u);
  for (float u : {-0.01f, 1.01f, NAN}) EXPECT_EQ(hm_sample(s, u, 0.5f, 1), 0u) << u;
}

TEST(TerrainHeights, WhiteIsMaxyPaletteIsFlatAndSaysSo) {
  Grid g;
  terrain *white = g.on(bmp(16, 16, [](int, int) { return 0xFFFFFFu; }), 20);
  terrain *pal = g.on(bmp(16, 16, nullptr, 8), 20);
  for (int r = 0; r <= 10; r++)
    for (int c = 0; c <= 10; c++) {
      EXPECT_EQ(white->verts[r][c].y, 20.0f) << r << "," << c;
      EXPECT_EQ(pal->verts[r][c].y, 0.0f);
    }
  // the flat result stays, but loading (and the world checker) say why
  EXPECT_EQ(hm_check(white->hm->surf), nullptr);
  ASSERT_NE(hm_check(pal->hm->surf), nullptr);
  EXPECT_STREQ(hm_check(pal->hm->surf), "is a palette image: its pixels hold no height and the terrain will be flat (save it as a 24-bit image)");
  SDL_Surface *s16 = SDL_CreateRGBSurfaceWithFormat(0, 1, 1, 16, SDL_PIXELFORMAT_RGB565);
  EXPECT_STREQ(hm_check(s16), "is a 16-bit image: its heights reach at most 1/256 of f_tn_hm_maxy (save it as a 24-bit image)");
  SDL_FreeSurface(s16);
}

TEST(TnHeight, CornersCellsAndBeyondTheEdges) {
  Grid g; // one pixel per vertex, grey 10 * column + row: the top-left pixel is vertex (row 0, column 0)
  terrain *t = g.on(bmp(11, 11, [](int x, int y) { return uint32_t(10 * x + y) * 0x010101u; }), 255);
  EXPECT_NEAR(tn_height(t, -200, -200), 0, 1e-4);
  EXPECT_NEAR(tn_height(t, 200, 200), 110, 1e-4);
  EXPECT_NEAR(tn_height(t, -190, -170), .75f * .25f * 0 + .25f * .25f * 10 + .75f * .75f * 1 + .25f * .75f * 11, 1e-4);
  // outside: the edge vertex of that row or column however far, no extrapolation just before the near edge
  EXPECT_NEAR(tn_height(t, 3e9f, -120), 102, 1e-4);
  EXPECT_NEAR(tn_height(t, -210, -120), 2, 1e-4);
  EXPECT_NEAR(tn_height(t, -200, -201), 0, 1e-4);
  EXPECT_TRUE(std::isfinite(tn_height(t, INFINITY, -INFINITY)));
}

TEST(TerrainDeath, SizesThatMakeNoGridAreRejected) {
  Grid g;
  i_tn_ndivs = 0;
  EXPECT_EXIT(tn_alloc(), testing::ExitedWithCode(1), "^error: tn_alloc#[0-9]+: i_tn_ndivs \\(0\\) must be between 1 and 2048\n$");
  i_tn_ndivs = 2147483647; // ndivs + 1 rows would overflow
  EXPECT_EXIT(tn_alloc(), testing::ExitedWithCode(1), "i_tn_ndivs \\(2147483647\\)");
  i_tn_ndivs = 10, f_tn_sz = 0;
  EXPECT_EXIT(tn_alloc(), testing::ExitedWithCode(1), "^error: tn_alloc#[0-9]+: f_tn_sz \\(0\\) must be a positive size\n$");
}
