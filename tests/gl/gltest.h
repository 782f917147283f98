// GL test helpers: an off-screen target to draw into and read back.
#pragma once
#include "tests/unit/testutil.h"
#include <SDL_image.h>

// A bound w x h (h = w if 0) colour and depth buffer, the window's size while it lives, with the
// game's 60-degree perspective and an identity model-view.
struct GlTarget {
  explicit GlTarget(int w, int h = 0);
  ~GlTarget();
  uint32_t pixel(int x, int y) const; // 0xRRGGBBAA, origin bottom left
  uint32_t fbo = 0, rb = 0, depth = 0;
  int old_w, old_h;
};
