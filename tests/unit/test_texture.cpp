// Texture loader choice, pixel conversion to RGBA and the sky box's fixed tables; no OpenGL.
#include "fx/skybox.h"
#include "render/texture.h"
#include <SDL.h>
#include <gtest/gtest.h>
#include <cmath>
#include <cstring>

TEST(TexmgrLoader, ExactlyLowerCaseDdsEnding) {
  EXPECT_TRUE(texmgr_is_dds("data/stone.dds"));
  EXPECT_TRUE(texmgr_is_dds("data/stonedds")); // no dot needed
  EXPECT_TRUE(texmgr_is_dds("dds"));
  EXPECT_FALSE(texmgr_is_dds("data/stone.DDS"));
  EXPECT_FALSE(texmgr_is_dds("data/stone.Dds"));
  EXPECT_FALSE(texmgr_is_dds("data/stone.dds.png"));
  EXPECT_FALSE(texmgr_is_dds("ds"));
  EXPECT_FALSE(texmgr_is_dds(""));
}

namespace {
struct Rgba {
  uint8_t *p;
  explicit Rgba(SDL_Surface *s) : p(surf_to_rgba(s)) {}
  ~Rgba() { free(p); }
  uint32_t at(int w, int x, int y) const {
    const uint8_t *q = p + (y * w + x) * 4;
    return uint32_t(q[0]) << 24 | q[1] << 16 | q[2] << 8 | q[3]; // 0xRRGGBBAA
  }
};
} // namespace

TEST(SurfToRgba, EveryFormatComesOutAsRgbaBytes) {
  // palettised: through the palette, alpha from the palette entry
  SDL_Surface *pal = SDL_CreateRGBSurfaceWithFormat(0, 3, 2, 8, SDL_PIXELFORMAT_INDEX8);
  SDL_Color colors[2] = {{10, 20, 30, 255}, {200, 100, 50, 128}};
  SDL_SetPaletteColors(pal->format->palette, colors, 0, 2);
  ((uint8_t *)pal->pixels)[pal->pitch + 2] = 1;
  Rgba a(pal);
  EXPECT_EQ(a.at(3, 0, 0), 0x0A141EFFu);
  EXPECT_EQ(a.at(3, 2, 1), 0xC8643280u);

  // 24-bit (with row padding): alpha 255
  SDL_Surface *s24 = SDL_CreateRGBSurfaceWithFormat(0, 3, 2, 24, SDL_PIXELFORMAT_BGR24);
  SDL_FillRect(s24, nullptr, SDL_MapRGB(s24->format, 1, 2, 3));
  SDL_Rect one = {2, 1, 1, 1};
  SDL_FillRect(s24, &one, SDL_MapRGB(s24->format, 250, 128, 7));
  Rgba b(s24);
  EXPECT_EQ(b.at(3, 0, 1), 0x010203FFu);
  EXPECT_EQ(b.at(3, 2, 1), 0xFA8007FFu);

  // 32-bit in both byte orders and 16-bit
  SDL_Surface *argb = SDL_CreateRGBSurfaceWithFormat(0, 1, 1, 32, SDL_PIXELFORMAT_ARGB8888);
  SDL_Surface *abgr = SDL_CreateRGBSurfaceWithFormat(0, 1, 1, 32, SDL_PIXELFORMAT_ABGR8888);
  SDL_Surface *s16 = SDL_CreateRGBSurfaceWithFormat(0, 1, 1, 16, SDL_PIXELFORMAT_RGB565);
  for (SDL_Surface *s : {argb, abgr}) SDL_FillRect(s, nullptr, SDL_MapRGBA(s->format, 9, 8, 7, 6));
  SDL_FillRect(s16, nullptr, SDL_MapRGB(s16->format, 255, 0, 255));
  EXPECT_EQ(Rgba(argb).at(1, 0, 0), 0x09080706u);
  EXPECT_EQ(Rgba(abgr).at(1, 0, 0), 0x09080706u);
  EXPECT_EQ(Rgba(s16).at(1, 0, 0), 0xFF00FFFFu);
  for (SDL_Surface *s : {pal, s24, argb, abgr, s16}) SDL_FreeSurface(s);
}

TEST(SkyTables, SunDirectionIsFixed) {
  float sun[3];
  skybox_sundir(sun);
  EXPECT_NEAR(sun[0], 0, 1e-6);
  EXPECT_NEAR(sun[1], -0.39401f, 1e-5);
  EXPECT_NEAR(sun[2], 0.30783f, 1e-5);
}

TEST(SkyTables, CubeQuadsLieOnTheirFacesWithCubeMapCoordinates) {
  // quads in order: z = -0.5, x = +0.5, z = +0.5, x = -0.5, y = +0.5, y = -0.5
  const int axis[6] = {2, 0, 2, 0, 1, 1};
  const float side[6] = {-.5f, .5f, .5f, -.5f, .5f, -.5f};
  for (int q = 0; q < 6; q++) {
    bool flip_x = q == 0 || q == 2 || q == 5; // z faces and the bottom look up (-x, y, z)
    for (int k = 0; k < 4; k++) {
      const float *v = g_sky_cube[q * 4 + k];
      EXPECT_EQ(v[axis[q]], side[q]) << q << "/" << k;
      for (int i = 0; i < 3; i++) EXPECT_EQ(std::fabs(v[i]), 0.5f);
      EXPECT_EQ(v[3], flip_x ? -v[0] : v[0]) << q << "/" << k;
      EXPECT_EQ(v[4], v[1]) << q << "/" << k;
      EXPECT_EQ(v[5], flip_x ? v[2] : -v[2]) << q << "/" << k;
    }
  }
}
