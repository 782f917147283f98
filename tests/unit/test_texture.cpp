// Texture loader choice, pixel conversion to RGBA, unreadable images and the sky's tables; no OpenGL.
#include "fx/skybox.h"
#include "render/camera.h"
#include <cmath>
#include "tests/unit/testutil.h"
#include <SDL_image.h>

TEST(Texture, LoaderByExactlyLowerCaseDdsEndingAndEveryPixelSizeToRgba) {
  EXPECT_FALSE(texmgr_is_dds("data/stone.DDS") || texmgr_is_dds("stone.dds.png") || texmgr_is_dds("ds"));
  // pixel (2, 1) of 3 x 2 surfaces sits after any row padding (pitch 12, not 9, at 24 bits)
  const struct { Uint32 format; uint32_t rgba; } cases[] = {
      {SDL_PIXELFORMAT_INDEX8, 0xC8643280},   {SDL_PIXELFORMAT_RGB565, 0xFF00FFFF},   {SDL_PIXELFORMAT_BGR24, 0xFA8007FF},
      {SDL_PIXELFORMAT_ARGB8888, 0x09080706}, {SDL_PIXELFORMAT_ABGR8888, 0x09080706}, {SDL_PIXELFORMAT_RGB24, 0xFA8007FF}};
  for (auto &c : cases) {
    SDL_Surface *s = SDL_CreateRGBSurfaceWithFormat(0, 3, 2, SDL_BITSPERPIXEL(c.format), c.format);
    SDL_Color col[2] = {{10, 20, 30, 255}, {200, 100, 50, 128}};
    if (s->format->palette) SDL_SetPaletteColors(s->format->palette, col, 0, 2);
    SDL_Rect px = {2, 1, 1, 1};
    SDL_FillRect(s, &px, s->format->palette ? 1 : SDL_MapRGBA(s->format, c.rgba >> 24, c.rgba >> 16, c.rgba >> 8, c.rgba));
    uint8_t *p = surf_to_rgba(s);
    EXPECT_EQ(uint32_t(p[20]) << 24 | p[21] << 16 | p[22] << 8 | p[23], c.rgba) << SDL_GetPixelFormatName(c.format);
    EXPECT_EQ(p[3], s->format->Amask ? 0 : 255); // pixel 0: alpha 255 where the format has none
    free(p);
    SDL_FreeSurface(s);
  }
}

TEST(Sky, TheOddFaceIsNamed) {
  const struct { int w[6], h[6]; uint32_t odd; int side; } cases[] = {
      {{64, 64, 64, 64, 64, 64}, {64, 64, 64, 64, 64, 64}, 0, 64},
      {{32, 64, 64, 64, 64, 64}, {32, 64, 64, 64, 64, 64}, 1 << 0, 64}, // the first face is the odd one
      {{64, 64, 64, 64, 64, 64}, {64, 64, 64, 32, 64, 64}, 1 << 3, 64}, // not square
      {{32, 32, 32, 64, 64, 64}, {32, 32, 32, 64, 64, 64}, 7 << 3, 32}, // a tie: the earliest size
      {{64, 64, 64, 64, 64, 64}, {32, 32, 32, 32, 32, 32}, 63, 64},     // nothing square: all
  };
  for (auto &c : cases) {
    int side = 0;
    EXPECT_TRUE(sky_odd_faces(c.w, c.h, &side) == c.odd && side == c.side) << c.w[0] << "x" << c.h[0];
  }
}

// The rows said to show ground only ever hold rays that, marched from the eye, sink below the
// lowest ground before they leave the ground's reach or pass the far plane; the row above them
// has one that does not (a pixel of sky may show there). The camera's pitch tilts its view
// direction less than the pitch itself: (sin yaw, -sin pitch, -cos yaw) normalised.
TEST(Sky, HiddenRowsHoldOnlyRaysThatReachTheGround) {
  const int w = 160, h = 90;
  const float t = tanf(30 * (float)M_PI / 180), a = (float)w / h;
  auto reaches = [&](const camera &c, float sx, float sy, float height, float reach, float zfar) {
    float d[3], len = sqrtf(c.right[0] * c.right[0] + c.right[2] * c.right[2]), ul = 0;
    for (int k = 0; k < 3; k++) ul += c.up[k] * c.up[k];
    ul = sqrtf(ul);
    for (int k = 0; k < 3; k++) d[k] = c.dir[k] + sy * t * c.up[k] / ul + sx * t * a * c.right[k] / len;
    for (float depth = 0; depth <= zfar; depth += 0.01f) // eye depth along the view: d has unit length along dir
      if (depth * d[1] <= -height) return depth * hypotf(d[0], d[2]) <= reach;
    return false;
  };
  const struct { float pitch, height, reach, zfar; int lo, hi; } cases[] = {
      {0, 2, 100, 160, 20, 44},    // level: the rows well below the horizon
      {30, 2, 100, 160, 80, 90},   // looking down
      {45, 2, 50, 160, 90, 90},    // steeply down near ground all round: nothing of the sky
      {-30, 2, 100, 160, 1, 6},    // looking up (dir is 27 degrees up): the bottom rows only
      {0, 2, 0, 160, 0, 0},        // at the edge of the ground
      {0, 0, 100, 160, 0, 0},      // not above the lowest ground: nothing is assumed
      {0, 20, 400, 30, 0, 0},      // high up with a near far plane: every ray is cut before it lands
  };
  for (auto &k : cases) {
    camera c = {};
    c.pitch = k.pitch, c.yaw = 37;
    cam_update_vectors(&c);
    int rows = sky_rows_hidden(c.dir, c.up, k.height, k.reach, k.zfar, w, h);
    EXPECT_TRUE(rows >= k.lo && rows <= k.hi) << k.pitch << ": " << rows;
    for (int j = 0; j < rows; j++)
      for (float sx : {-1.0f, -0.3f, 0.0f, 1.0f})
        ASSERT_TRUE(reaches(c, sx, 2.0f * (j + 1) / h - 1, k.height, k.reach, k.zfar)) << k.pitch << " row " << j << " x " << sx;
    bool last = rows == h || k.height <= 0 || !reaches(c, 1, 2.0f * (rows + 1) / h - 1, k.height, k.reach, k.zfar);
    EXPECT_TRUE(last) << k.pitch << ": the row above the hidden ones shows ground too";
  }
}

// What SDL_image reads loads (a PNG without its closing IEND chunk); what it cannot read ends the
// program with its own reason, at once: a chunk that runs past the end, and a PNG that stops
// inside a text chunk before its image data, which libpng left alone would re-read for ever.
TEST(ImageDeath, WhatTheImageLibraryReadsLoadsTheRestEndsTheProgramAtOnce) {
  TempDir d;
  SDL_Surface *s = paint(4, 4, [](int, int) { return 0x336699u; }, 32);
  IMG_SavePNG(s, d.path("ok.png").c_str());
  SDL_FreeSurface(s);
  size_t n = 0;
  char *bytes = ureadf(d.path("ok.png").c_str(), &n);
  std::string png(bytes, n);
  free(bytes);
  tex_image img;
  image_decode(d.write("open.png", png.substr(0, png.size() - 12)).c_str(), &img);
  EXPECT_TRUE(img.w == 4 && img.h == 4 && img.rgba[0] == 0x33 && img.rgba[62] == 0x99 && img.rgba[63] == 0xFF);
  free(img.rgba);
  const std::string cases[] = {
      std::string(png).replace(33, 4, "\x79\x00\x00\x00", 4),                    // the chunk after IHDR
      png.substr(0, 33) + std::string("\0\0\0\x13tEXtComment\0hel", 19), // 19 bytes declared, 11 there
  };
  for (auto &c : cases)
    EXPECT_EXIT(load_something_else(d.write("bad.png", c).c_str()), testing::ExitedWithCode(1),
                "^(libpng .*\n)*error: load_something_else#[0-9]+: IMG_Load: Error reading the PNG file\\.\n$");
  EXPECT_EXIT({ usetroot(d.dir.c_str()); load_cubemap(g_sky_faces, false); }, testing::ExitedWithCode(1), "^error: load_cubemap#[0-9]+: failed to open skybox/front.png\n$");
}
