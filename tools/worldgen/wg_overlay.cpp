// World generator: the title overlay images (logo and credits), lettered with a TrueType font.
#include <SDL.h>
#include <SDL_ttf.h>

#include <cmath>

#include "wg_world.h"

static const char *FONT = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";

// Renders one line of text into an alpha mask (1 where the glyphs are).
static bool text_mask(const char *text, int size, image &mask) {
  TTF_Font *f = TTF_OpenFont(FONT, size);
  if (!f) {
    wg_error = std::string("cannot open the font ") + FONT + ": " + SDL_GetError();
    return false;
  }
  SDL_Color white = {255, 255, 255, 255};
  SDL_Surface *s = TTF_RenderUTF8_Blended(f, text, white);
  TTF_CloseFont(f);
  if (!s) {
    wg_error = std::string("cannot render text: ") + SDL_GetError();
    return false;
  }
  SDL_Surface *c = SDL_ConvertSurfaceFormat(s, SDL_PIXELFORMAT_RGBA32, 0);
  SDL_FreeSurface(s);
  if (!c) {
    wg_error = std::string("cannot convert text: ") + SDL_GetError();
    return false;
  }
  mask = img_new(c->w, c->h);
  for (int y = 0; y < c->h; y++)
    for (int x = 0; x < c->w; x++) {
      uint8_t a = ((uint8_t *)c->pixels)[(size_t)y * c->pitch + x * 4 + 3];
      img_at(mask, x, y) = {1, 1, 1, a / 255.0f};
    }
  SDL_FreeSurface(c);
  return true;
}

// Draws the mask at (ox, oy) with a dark outline of radius `ol`, a drop shadow and a vertical colour ramp.
static void letter(image &im, const image &m, int ox, int oy, int ol, col4 top, col4 bottom) {
  for (int pass = 0; pass < 3; pass++)
    for (int y = -ol - 3; y < m.h + ol + 3; y++)
      for (int x = -ol - 3; x < m.w + ol + 3; x++) {
        float a = 0;
        if (pass == 2) {
          if (x >= 0 && y >= 0 && x < m.w && y < m.h) a = m.px[(size_t)y * m.w + x].a;
        } else {  // outline (and, shifted, the shadow): the mask grown by a disc
          int sx = pass == 0 ? x - ol / 2 - 1 : x, sy = pass == 0 ? y - ol / 2 - 1 : y;
          for (int dy = -ol; dy <= ol; dy++)
            for (int dx = -ol; dx <= ol; dx++) {
              int u = sx + dx, v = sy + dy;
              if (dx * dx + dy * dy > ol * ol || u < 0 || v < 0 || u >= m.w || v >= m.h) continue;
              a = std::fmax(a, m.px[(size_t)v * m.w + u].a);
            }
        }
        if (a <= 0) continue;
        float t = clampf((float)y / m.h, 0, 1);
        col4 c = pass == 0 ? rgb(0, 0, 0, 0.55f) : pass == 1 ? hexc(0x2A1E10) : cmix(top, bottom, t);
        img_blend(im, ox + x, oy + y, c, a);
      }
}

bool overlay_write(wg_world &w) {
  image title, sub;
  if (!text_mask("VELDER", 104, title) || !text_mask("walk the painted lands", 24, sub)) return false;
  int W = title.w + 40, H = title.h + sub.h + 30;
  image logo = img_new(W, H, {0.2f, 0.15f, 0.08f, 0});
  letter(logo, title, (W - title.w) / 2, 10, 4, hexc(0xFFF4C8), hexc(0xE09A38));
  letter(logo, sub, (W - sub.w) / 2, 10 + title.h + 6, 2, hexc(0xFFFFFF), hexc(0xE8ECF0));
  if (!wg_save_png(w, logo, "logo.png", true)) return false;

  char line2[96];
  snprintf(line2, sizeof line2, "world %s, seed %llu, grown by velder-worldgen", w.P->name, (unsigned long long)w.seed);
  image a, b;
  if (!text_mask("Velder: a first-person walk", 18, a) || !text_mask(line2, 14, b)) return false;
  int cw = (a.w > b.w ? a.w : b.w) + 16, chh = a.h + b.h + 16;
  image credits = img_new(cw, chh, {0.1f, 0.1f, 0.1f, 0});
  letter(credits, a, cw - a.w - 8, 6, 2, hexc(0xFFFFFF), hexc(0xF0E8D8));
  letter(credits, b, cw - b.w - 8, 8 + a.h, 2, hexc(0xF0F0F0), hexc(0xD8D8D8));
  return wg_save_png(w, credits, "credits.png", true);
}
