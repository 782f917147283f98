// GL test helpers: an off-screen target to draw into and read back, texture read-back, PNG fixtures.
#pragma once
#include <SDL.h>
#include <SDL_image.h>
#include <cstdint>
#include <string>
#include <vector>

// A size x size colour and depth frame buffer, bound and cleared to black while it lives.
struct GlTarget {
  explicit GlTarget(int size = 64);
  ~GlTarget();
  uint32_t pixel(int x, int y) const; // 0xRRGGBBAA, origin bottom left
  int size;
  uint32_t fbo = 0, rb[2] = {0, 0};
};

// Level of the bound texture (or cube map face target) as 0xRRGGBBAA values, row 0 first.
std::vector<uint32_t> tex_level_rgba(uint32_t target, int level);
// A w x h PNG of one colour (0xRRGGBBAA); depth 24 writes no alpha channel.
void save_solid_png(const std::string &path, int w, int h, uint32_t rgba, int depth = 32);
