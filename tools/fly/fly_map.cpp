// velder-fly --map: the whole world from above, as the game grew it with the seed: the ground's
// texture under the regions' colours of the object map, height lines, every world item as a dot,
// the landmarks named where they stand, the start pose with its view, and a scale. Everything
// comes from the loaded world (the terrain, the object map lookup, the spawned items), so the
// map shows what the game shows for that seed.
#include "fly.h"
#include "core/file.h"
#include "core/params.h"
#include "core/util.h"
#include "render/image.h"
#include "world/brush.h"
#include "world/object.h"
#include "world/spawn.h"
#include "world/terrain.h"
#include <SDL.h>
#include <SDL_image.h>
#include <SDL_ttf.h>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

enum { MAP_SIDE = 640, MAP_BAR = 50, MAP_FONT_SIZE = 13 };
static const char *MAP_FONT = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
static const float REGION_TINT = 0.4f, LINE_DARKEN = 0.3f;
static const uint32_t TREE_DOT = 0x1E4A1E, ITEM_DOT = 0x3C3A36, LANDMARK = 0xFF2828, WHITE = 0xFFFFFF;

struct picture {
  int w, h;
  std::vector<uint8_t> rgb;
};

static void put(picture &p, int x, int y, uint32_t c, float a = 1) {
  if (x < 0 || y < 0 || x >= p.w || y >= p.h) return;
  uint8_t *d = &p.rgb[((size_t)y * p.w + x) * 3];
  for (int k = 0; k < 3; k++) d[k] = (uint8_t)(d[k] + ((float)(c >> (16 - 8 * k) & 255) - d[k]) * a + 0.5f);
}

// A disc (r1 = 0) or a ring between radii r1 and r0, in picture pixels.
static void disc(picture &p, float cx, float cy, float r0, float r1, uint32_t c) {
  for (int y = (int)floorf(cy - r0); y <= (int)ceilf(cy + r0); y++)
    for (int x = (int)floorf(cx - r0); x <= (int)ceilf(cx + r0); x++) {
      float d = hypotf(x + 0.5f - cx, y + 0.5f - cy);
      if (d <= r0 && d >= r1) put(p, x, y, c);
    }
}

static void line(picture &p, float x0, float y0, float x1, float y1, uint32_t c) {
  int n = (int)ceilf(fmaxf(fabsf(x1 - x0), fabsf(y1 - y0))) + 1;
  for (int i = 0; i <= n; i++) put(p, (int)(x0 + (x1 - x0) * i / n), (int)(y0 + (y1 - y0) * i / n), c);
}

// Text with a dark outline, so that it reads over any ground; its width in pixels.
static int text(picture &p, TTF_Font *f, int x, int y, const char *s, uint32_t c = WHITE) {
  SDL_Color white = {255, 255, 255, 255};
  SDL_Surface *t = f ? TTF_RenderUTF8_Blended(f, s, white) : nullptr;
  if (!t) return 0;
  SDL_Surface *a = SDL_ConvertSurfaceFormat(t, SDL_PIXELFORMAT_RGBA32, 0);
  SDL_FreeSurface(t);
  for (int pass = 0; pass < 2; pass++)
    for (int ty = 0; ty < a->h; ty++)
      for (int tx = 0; tx < a->w; tx++) {
        float al = ((uint8_t *)a->pixels)[(size_t)ty * a->pitch + tx * 4 + 3] / 255.0f;
        if (al <= 0) continue;
        if (pass == 1) {
          put(p, x + tx, y + ty, c, al);
          continue;
        }
        for (int dy = -1; dy <= 1; dy++)
          for (int dx = -1; dx <= 1; dx++) put(p, x + tx + dx, y + ty + dy, 0, al * 0.6f);
      }
  int w = a->w;
  SDL_FreeSurface(a);
  return w;
}

// 1, 2 or 5 times a power of ten, the nearest at or below v.
static float round_down(float v) {
  float e = powf(10, floorf(log10f(v))), m = v / e;
  return (m >= 5 ? 5 : m >= 2 ? 2 : 1) * e;
}

// The ground: the terrain texture as the game stretches it, the regions' colours over it, and
// height lines; returns the lines' spacing.
static float ground(picture &p, float size) {
  SDL_Surface *tex = img_load(ufmt("%s/terraintexture.png", g_root));
  SDL_Surface *rgba = tex ? SDL_ConvertSurfaceFormat(tex, SDL_PIXELFORMAT_RGBA32, 0) : nullptr;
  int s = MAP_SIDE;
  std::vector<float> h((size_t)s * s);
  float lo = INFINITY, hi = -INFINITY;
  for (int y = 0; y < s; y++)
    for (int x = 0; x < s; x++) {
      float wx = (x + 0.5f) / s * size - size / 2, wz = (y + 0.5f) / s * size - size / 2;
      float v = h[(size_t)y * s + x] = tn_height(g_terrain, wx, wz);
      lo = fminf(lo, v), hi = fmaxf(hi, v);
      uint32_t c = 0x808080;
      if (rgba) {
        const uint8_t *t = (const uint8_t *)rgba->pixels + (size_t)(y * rgba->h / s) * rgba->pitch + (x * rgba->w / s) * 4;
        c = (uint32_t)t[0] << 16 | t[1] << 8 | t[2];
      }
      put(p, x, y, c);
      put(p, x, y, objmap_get_brush(wx, wz)->color & 0xFFFFFF, REGION_TINT);
    }
  if (rgba) SDL_FreeSurface(rgba);
  if (tex) SDL_FreeSurface(tex);
  // flat ground (a grey height map) carries no lines
  float step = hi - lo > 0.05f ? round_down((hi - lo) / 8) : 0;
  for (int y = 0; step > 0 && y + 1 < s; y++)
    for (int x = 0; x + 1 < s; x++) {
      float a = floorf(h[(size_t)y * s + x] / step);
      if (a != floorf(h[(size_t)y * s + x + 1] / step) || a != floorf(h[(size_t)(y + 1) * s + x] / step))
        put(p, x, y, 0, LINE_DARKEN);
    }
  return step;
}

int fly_map(const char *out, const char *dir, int seed) {
  float size = g_terrain->sz, k = MAP_SIDE / size; // pixels a unit
  picture p{MAP_SIDE, MAP_SIDE + MAP_BAR, std::vector<uint8_t>((size_t)MAP_SIDE * (MAP_SIDE + MAP_BAR) * 3, 24)};
  auto px = [&](float x) { return (x + size / 2) * k; };
  float step = ground(p, size);
  TTF_Font *font = TTF_Init() == 0 ? TTF_OpenFont(MAP_FONT, MAP_FONT_SIZE) : nullptr;
  if (!font) fprintf(stderr, "velder-fly: no lettering on the map: %s\n", SDL_GetError());

  // the world items: trees dark green, everything else dark grey, the size of their foot
  for (uint32_t i = 0; i < wi_list.count; i++) {
    const wi &w = wi_list[i];
    if (w.obj->type == WOBJ_UNIQUE) continue;
    float r = fminf(fmaxf((w.box.max[0] - w.box.min[0]) * 0.25f * k, 1.0f), 4.0f);
    disc(p, px(w.pos[0]), px(w.pos[2]), r, 0, w.obj->is_tree ? TREE_DOT : ITEM_DOT);
  }

  // the start pose and what it sees: the window's width of view out to the fog's end
  float sx = px(v3_camera_start_pos[0]), sy = px(v3_camera_start_pos[2]);
  float yaw = v3_camera_start_rot[1] * (float)M_PI / 180;
  float half = atanf(tanf(30 * (float)M_PI / 180) * (float)i_screen_w / (float)(i_screen_h > 0 ? i_screen_h : 1));
  float reach = (b_fog_on ? fminf(f_fog_end, f_camera_zfar) : f_camera_zfar) * k;
  for (int side = -1; side <= 1; side += 2) {
    float a = yaw + side * half;
    line(p, sx, sy, sx + sinf(a) * reach, sy - cosf(a) * reach, WHITE);
  }
  for (float t = -half; t <= half; t += 0.5f / reach)
    put(p, (int)(sx + sinf(yaw + t) * reach), (int)(sy - cosf(yaw + t) * reach), WHITE);
  disc(p, sx, sy, 6, 0, 0);
  disc(p, sx, sy, 4.5f, 0, WHITE);
  line(p, sx, sy, sx + sinf(yaw) * 12, sy - cosf(yaw) * 12, 0);
  text(p, font, (int)sx + 8, (int)sy + 2, "start");

  // the landmarks where they grew
  printf("map: %s, seed %d: %u world items, %u landmarks, %.2f pixels a unit\n", out, seed, wi_list.count, uniq_count, k);
  for (uint32_t i = 0; i < uniq_count; i++) {
    const wi &w = wi_list[uniq_list[i].item];
    float x = px(w.pos[0]), y = px(w.pos[2]);
    disc(p, x, y, 8, 5.5f, 0);
    disc(p, x, y, 7, 4.5f, LANDMARK);
    disc(p, x, y, 1.5f, 0, WHITE);
    text(p, font, (int)x + 10, (int)y - 8, w.obj->name);
    printf("  %s at x %.2f, z %.2f\n", w.obj->name, w.pos[0], w.pos[2]);
  }

  // the bar: a scale, and what the picture shows
  int by = MAP_SIDE + 10;
  float unit = round_down(size / 5);
  int bw = (int)lroundf(unit * k);
  for (int y = by; y < by + 6; y++)
    for (int x = 12; x < 12 + bw; x++) put(p, x, y, (x - 12) * 2 < bw ? WHITE : 0x909090);
  char s[512];
  snprintf(s, sizeof s, "%g units, %.0f s on foot", unit, unit / (f_walk_speed > 0 ? f_walk_speed : 2.8f));
  text(p, font, 12, by + 10, s);
  int tx = 24 + bw > 200 ? 24 + bw : 200;
  std::string name = std::filesystem::path(dir).lexically_normal().parent_path().filename().string();
  if (!std::filesystem::path(dir).lexically_normal().filename().empty())
    name = std::filesystem::path(dir).lexically_normal().filename().string();
  snprintf(s, sizeof s, "%s, seed %d: %u world items, %u landmarks", name.c_str(), seed, wi_list.count, uniq_count);
  text(p, font, tx, by - 4, s);
  if (step > 0) snprintf(s, sizeof s, "north (-z) up; a height line every %g units", step);
  else snprintf(s, sizeof s, "north (-z) up; flat ground");
  text(p, font, tx, by + 14, s);
  if (font) TTF_CloseFont(font);

  SDL_Surface *img = SDL_CreateRGBSurfaceWithFormatFrom(p.rgb.data(), p.w, p.h, 24, p.w * 3, SDL_PIXELFORMAT_RGB24);
  int status = img && IMG_SavePNG(img, out) == 0 ? 0 : 1;
  if (status) fprintf(stderr, "velder-fly: cannot write %s: %s\n", out, SDL_GetError());
  SDL_FreeSurface(img);
  return status;
}
