// GL test helpers: an off-screen target to draw into, read-back, PNG fixtures, the game's programs.
#pragma once
#include "tests/unit/testutil.h"
#include <SDL_image.h>

// A bound w x h (h = w if 0) colour buffer, the window's size while it lives, with the game's
// 60-degree perspective and an identity model-view.
struct GlTarget {
  explicit GlTarget(int w, int h = 0);
  ~GlTarget();
  uint32_t pixel(int x, int y) const; // 0xRRGGBBAA, origin bottom left
  uint32_t fbo = 0, rb = 0;
  int old_w, old_h;
};
// Texel (x, y) of level 0 of the texture bound to target (a face target for cube maps), 0xRRGGBBAA.
uint32_t texel(uint32_t target, int x, int y);
// A w x h PNG of one colour (0xRRGGBBAA); depth 24 has no alpha channel, depth 8 is palettised.
void save_png(const std::string &path, int w, int h, uint32_t rgba, int depth = 32);
// w x h RGB pixels, bottom row first, written into the bound frame buffer bypassing every pass,
// and read back.
void put_pixels(int w, int h, const std::vector<uint8_t> &rgb);
std::vector<uint8_t> read_rgb(int w, int h);
// The game's programs, built once from the source tree's shader/.
void build_programs(void);
