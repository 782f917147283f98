// GL test helpers: an off-screen target to draw into, texture read-back, PNG fixtures.
#pragma once
#include <SDL.h>
#include <SDL_image.h>
#include <cstdint>
#include <string>

// A bound size x size colour buffer with the game's 60-degree perspective and an identity model-view.
struct GlTarget {
  explicit GlTarget(int size);
  ~GlTarget();
  uint32_t pixel(int x, int y) const; // 0xRRGGBBAA, origin bottom left
  uint32_t fbo = 0, rb = 0;
};
// Texel (x, y) of level 0 of the texture bound to target (a face target for cube maps), 0xRRGGBBAA.
uint32_t texel(uint32_t target, int x, int y);
// A w x h PNG of one colour (0xRRGGBBAA); depth 24 has no alpha channel, depth 8 is palettised.
void save_png(const std::string &path, int w, int h, uint32_t rgba, int depth = 32);
