// Terrain grid, height map sampling and height queries, on BMP surfaces; no OpenGL.
#include "core/params.h"
#include "world/terrain.h"
#include "tests/unit/testutil.h"
#include <SDL.h>
#include <gtest/gtest.h>
#include <cmath>
#include <functional>

namespace {

// Pixels written through SDL's own colour mapping, saved as BMP and read back the way world
// loading reads "hm.bmp".
SDL_Surface *bmp(int w, int h, int depth, std::function<void(SDL_Surface *, int, int, uint8_t *)> put) {
  Uint32 fmt = depth == 24 ? SDL_PIXELFORMAT_BGR24 : depth == 32 ? SDL_PIXELFORMAT_ARGB8888 : SDL_PIXELFORMAT_INDEX8;
  SDL_Surface *s = SDL_CreateRGBSurfaceWithFormat(0, w, h, depth, fmt);
  if (depth == 8) {
    SDL_Color grey[256];
    for (int i = 0; i < 256; i++) grey[i] = {Uint8(i), Uint8(i), Uint8(i), 255};
    SDL_SetPaletteColors(s->format->palette, grey, 0, 256);
  }
  for (int y = 0; y < h; y++)
    for (int x = 0; x < w; x++) put(s, x, y, (uint8_t *)s->pixels + y * s->pitch + x * s->format->BytesPerPixel);
  TempDir d;
  std::string p = d.path("hm.bmp");
  SDL_SaveBMP(s, p.c_str());
  SDL_FreeSurface(s);
  SDL_Surface *back = SDL_LoadBMP(p.c_str());
  EXPECT_NE(back, nullptr) << SDL_GetError();
  return back;
}

// 24-bit image whose pixel (x, y) encodes the value v(x, y) (0 to 0xFFFFFF)
SDL_Surface *bmp24(int w, int h, std::function<uint32_t(int, int)> v) {
  return bmp(w, h, 24, [&](SDL_Surface *s, int x, int y, uint8_t *p) {
    uint32_t c = v(x, y);
    uint32_t px = SDL_MapRGB(s->format, c >> 16 & 0xFF, c >> 8 & 0xFF, c & 0xFF);
    p[0] = px & 0xFF, p[1] = px >> 8 & 0xFF, p[2] = px >> 16 & 0xFF;
  });
}

SDL_Surface *grey24(int w, int h, std::function<int(int, int)> g) {
  return bmp24(w, h, [&](int x, int y) { return uint32_t(g(x, y)) * 0x010101u; });
}

struct GridParams {
  int ndivs = i_tn_ndivs;
  float sz = f_tn_sz;
  ~GridParams() { i_tn_ndivs = ndivs, f_tn_sz = sz; }
};

terrain *terrain_on(SDL_Surface *s, float maxy) {
  terrain *t = tn_alloc();
  t->hm = new heightmap{s, maxy};
  tn_sample_heights(t);
  return t;
}

} // namespace

TEST(SurfGetPixel, ReadsEachPixelSizeAtItsRowAndColumn) {
  SDL_Surface *s8 = SDL_CreateRGBSurfaceWithFormat(0, 3, 2, 8, SDL_PIXELFORMAT_INDEX8);
  SDL_Surface *s16 = SDL_CreateRGBSurfaceWithFormat(0, 3, 2, 16, SDL_PIXELFORMAT_RGB565);
  SDL_Surface *s24 = SDL_CreateRGBSurfaceWithFormat(0, 3, 2, 24, SDL_PIXELFORMAT_BGR24);
  SDL_Surface *s32 = SDL_CreateRGBSurfaceWithFormat(0, 3, 2, 32, SDL_PIXELFORMAT_ARGB8888);
  // the last pixel of row 1 sits after the row padding of the 24-bit surface (pitch 12, not 9)
  ((uint8_t *)s8->pixels)[s8->pitch + 2] = 0xAB;
  memcpy((uint8_t *)s16->pixels + s16->pitch + 4, "\x34\x12", 2);
  memcpy((uint8_t *)s24->pixels + s24->pitch + 6, "\x56\x34\x12", 3);
  memcpy((uint8_t *)s32->pixels + s32->pitch + 8, "\x78\x56\x34\x12", 4);
  EXPECT_EQ(surf_get_pixel(s8, 2, 1), 0xABu);
  EXPECT_EQ(surf_get_pixel(s16, 2, 1), 0x1234u);
  EXPECT_EQ(surf_get_pixel(s24, 2, 1), 0x123456u);
  EXPECT_EQ(surf_get_pixel(s32, 2, 1), 0x12345678u);
  EXPECT_EQ(surf_get_pixel(s32, 1, 1), 0u);
  // outside the image nothing is read
  EXPECT_EQ(surf_get_pixel(s32, 3, 1), 0u);
  EXPECT_EQ(surf_get_pixel(s32, 0, 2), 0u);
  EXPECT_EQ(surf_get_pixel(s32, -1, 0), 0u);
  for (SDL_Surface *s : {s8, s16, s24, s32}) SDL_FreeSurface(s);
}

TEST(HmSample, BilinearOverMaskedPixels) {
  // 3 x 2: the last column is distinct so a read past the image would show
  SDL_Surface *s = bmp24(3, 2, [](int x, int y) { return x == 2 ? 0xFFFFFFu : uint32_t(1000 * (y * 2 + x)); });
  EXPECT_EQ(hm_sample(s, 0, 0, 1), 0u);
  EXPECT_EQ(hm_sample(s, 0, 1, 1), 2000u);
  EXPECT_EQ(hm_sample(s, 0.25f, 0, 1), 500u);         // halfway between columns 0 and 1
  EXPECT_EQ(hm_sample(s, 0.25f, 0.5f, 1), 1500u);     // and halfway down
  EXPECT_EQ(hm_sample(s, 1, 1, 1), 0xFFFFFFu);        // the far corner, exactly
  EXPECT_EQ(hm_sample(s, 100, 100, 100), 0xFFFFFFu);  // any extent
  EXPECT_EQ(hm_sample(s, 50, 100, 100), 3000u);
  for (float u : {-0.01f, 1.01f, NAN}) EXPECT_EQ(hm_sample(s, u, 0.5f, 1), 0u) << u;
  EXPECT_EQ(hm_sample(s, 0.5f, 1.5f, 1), 0u);
  SDL_FreeSurface(s);

  // 32-bit pixels: the alpha byte is not part of the height
  SDL_Surface *a = bmp(2, 2, 32, [](SDL_Surface *f, int, int, uint8_t *p) {
    uint32_t px = SDL_MapRGBA(f->format, 0, 0, 7, 0xFF);
    memcpy(p, &px, 4);
  });
  EXPECT_EQ(hm_sample(a, 0.3f, 0.3f, 1), 7u);
  SDL_FreeSurface(a);
}

TEST(TerrainGrid, NormalisedCoordinates) {
  GridParams keep;
  i_tn_ndivs = 4, f_tn_sz = 100;
  terrain *t = tn_alloc();
  EXPECT_EQ(t->ndivs, 4);
  EXPECT_FLOAT_EQ(t->sz, 100);
  EXPECT_EQ(t->hm, nullptr);
  EXPECT_EQ(t->dlist, 0u);
  for (int r = 0; r <= 4; r++)
    for (int c = 0; c <= 4; c++) {
      EXPECT_FLOAT_EQ(t->verts[r][c].x, c / 4.0f - 0.5f);
      EXPECT_FLOAT_EQ(t->verts[r][c].z, r / 4.0f - 0.5f);
      EXPECT_EQ(t->verts[r][c].y, 0);
    }
  EXPECT_EQ(t->verts[4][4].x, 0.5f); // exactly on the edge, so the far column is sampled in range
}

TEST(TerrainGridDeath, SizesThatMakeNoGridAreRejected) {
  GridParams keep;
  i_tn_ndivs = 0;
  EXPECT_EXIT(tn_alloc(), testing::ExitedWithCode(1), "^error: tn_alloc#[0-9]+: i_tn_ndivs \\(0\\) must be between 1 and 4096\n$");
  i_tn_ndivs = -3;
  EXPECT_EXIT(tn_alloc(), testing::ExitedWithCode(1), "i_tn_ndivs \\(-3\\)");
  i_tn_ndivs = 2147483647;
  EXPECT_EXIT(tn_alloc(), testing::ExitedWithCode(1), "i_tn_ndivs \\(2147483647\\)");
  i_tn_ndivs = 10, f_tn_sz = 0;
  EXPECT_EXIT(tn_alloc(), testing::ExitedWithCode(1), "^error: tn_alloc#[0-9]+: f_tn_sz \\(0\\) must be a positive size\n$");
}

TEST(TerrainHeights, ImageToVertexHeights) {
  GridParams keep;
  i_tn_ndivs = 10, f_tn_sz = 400;
  terrain *white = terrain_on(grey24(16, 16, [](int, int) { return 255; }), 20);
  terrain *black = terrain_on(grey24(16, 16, [](int, int) { return 0; }), 20);
  terrain *grey = terrain_on(grey24(16, 16, [](int, int) { return 51; }), 20);
  // an 8-bit palette image has no channel masks: flat, whatever the palette says
  terrain *pal = terrain_on(bmp(16, 16, 8, [](SDL_Surface *, int, int, uint8_t *p) { *p = 200; }), 20);
  for (int r = 0; r <= 10; r++)
    for (int c = 0; c <= 10; c++) {
      EXPECT_EQ(white->verts[r][c].y, 20.0f) << r << "," << c;
      EXPECT_EQ(black->verts[r][c].y, 0.0f);
      EXPECT_NEAR(grey->verts[r][c].y, 4.0f, 1e-5);
      EXPECT_EQ(pal->verts[r][c].y, 0.0f);
    }
  // detaching the map and resampling flattens again
  white->hm = nullptr;
  tn_sample_heights(white);
  EXPECT_EQ(white->verts[5][5].y, 0.0f);
}

TEST(TnHeight, CornersInterpolationAndEdges) {
  GridParams keep;
  i_tn_ndivs = 10, f_tn_sz = 400;
  // 11 x 11 image: one pixel per vertex; grey value 10 * column + row, top-left darkest
  terrain *t = terrain_on(grey24(11, 11, [](int x, int y) { return 10 * x + y; }), 255);
  auto vh = [](int c, int r) { return float(10 * c + r); }; // height of vertex (row r, column c)
  EXPECT_NEAR(tn_height(t, -200, -200), vh(0, 0), 1e-4);
  EXPECT_NEAR(tn_height(t, 200, 200), vh(10, 10), 1e-4);
  EXPECT_NEAR(tn_height(t, -160, -120), vh(1, 2), 1e-4); // a vertex: 40-unit cells
  EXPECT_NEAR(tn_height(t, -180, -200), (vh(0, 0) + vh(1, 0)) / 2, 1e-4);
  EXPECT_NEAR(tn_height(t, -190, -170), 0.75f * 0.25f * vh(0, 0) + 0.25f * 0.25f * vh(1, 0) + 0.75f * 0.75f * vh(0, 1) + 0.25f * 0.75f * vh(1, 1), 1e-4);
  // beyond the far edge: the edge vertex of that row or column, however far
  EXPECT_NEAR(tn_height(t, 260, -120), vh(10, 2), 1e-4);
  EXPECT_NEAR(tn_height(t, 3e9f, -120), vh(10, 2), 1e-4);
  EXPECT_NEAR(tn_height(t, -80, 999), vh(3, 10), 1e-4);
  // before the near edge, including just before it, no extrapolation of the first cell
  EXPECT_NEAR(tn_height(t, -210, -120), vh(0, 2), 1e-4);
  EXPECT_NEAR(tn_height(t, -1e20f, -1e20f), vh(0, 0), 1e-4);
  EXPECT_NEAR(tn_height(t, -200, -201), vh(0, 0), 1e-4);
  EXPECT_TRUE(std::isfinite(tn_height(t, INFINITY, -INFINITY)));
}
