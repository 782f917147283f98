// World generator: RGBA float images, painting primitives and the PNG, BMP and DDS writers.
#include <SDL.h>
#include <SDL_image.h>
#include <squish.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "wg.h"

std::string wg_error;

image img_new(int w, int h, col4 fill) {
  image im;
  im.w = w;
  im.h = h;
  im.px.assign((size_t)w * h, fill);
  return im;
}

void img_blend(image &im, int x, int y, col4 c, float cover) {
  if (x < 0 || y < 0 || x >= im.w || y >= im.h) return;
  float a = clampf(c.a * cover, 0, 1);
  if (a <= 0) return;
  col4 &d = img_at(im, x, y);
  float da = d.a * (1 - a), oa = a + da;
  d.r = (c.r * a + d.r * da) / oa;
  d.g = (c.g * a + d.g * da) / oa;
  d.b = (c.b * a + d.b * da) / oa;
  d.a = oa;
}

void img_disc(image &im, float cx, float cy, float r, col4 c) {
  int x0 = (int)std::floor(cx - r - 1), x1 = (int)std::ceil(cx + r + 1);
  int y0 = (int)std::floor(cy - r - 1), y1 = (int)std::ceil(cy + r + 1);
  for (int y = y0; y <= y1; y++)
    for (int x = x0; x <= x1; x++) {
      float dx = x + 0.5f - cx, dy = y + 0.5f - cy;
      float cover = clampf(r - std::sqrt(dx * dx + dy * dy) + 0.5f, 0, 1);
      if (cover > 0) img_blend(im, x, y, c, cover);
    }
}

void img_stroke(image &im, float x0, float y0, float x1, float y1, float r0, float r1, col4 c0, col4 c1) {
  float rm = r0 > r1 ? r0 : r1;
  int bx0 = (int)std::floor(std::fmin(x0, x1) - rm - 1), bx1 = (int)std::ceil(std::fmax(x0, x1) + rm + 1);
  int by0 = (int)std::floor(std::fmin(y0, y1) - rm - 1), by1 = (int)std::ceil(std::fmax(y0, y1) + rm + 1);
  float vx = x1 - x0, vy = y1 - y0, len2 = vx * vx + vy * vy;
  if (bx0 < 0) bx0 = 0;
  if (by0 < 0) by0 = 0;
  if (bx1 >= im.w) bx1 = im.w - 1;
  if (by1 >= im.h) by1 = im.h - 1;
  for (int y = by0; y <= by1; y++)
    for (int x = bx0; x <= bx1; x++) {
      float px = x + 0.5f - x0, py = y + 0.5f - y0;
      float t = len2 > 0 ? clampf((px * vx + py * vy) / len2, 0, 1) : 0;
      float dx = px - t * vx, dy = py - t * vy;
      float r = mixf(r0, r1, t);
      float cover = clampf(r - std::sqrt(dx * dx + dy * dy) + 0.5f, 0, 1);
      if (cover > 0) img_blend(im, x, y, cmix(c0, c1, t), cover);
    }
}

void img_leaf(image &im, float cx, float cy, float len, float wid, float ang, col4 c) {
  float ca = std::cos(ang), sa = std::sin(ang);
  float ex = cx + ca * len, ey = cy + sa * len;
  int x0 = (int)std::floor(std::fmin(cx, ex) - wid - 1), x1 = (int)std::ceil(std::fmax(cx, ex) + wid + 1);
  int y0 = (int)std::floor(std::fmin(cy, ey) - wid - 1), y1 = (int)std::ceil(std::fmax(cy, ey) + wid + 1);
  for (int y = y0; y <= y1; y++)
    for (int x = x0; x <= x1; x++) {
      float px = x + 0.5f - cx, py = y + 0.5f - cy;
      float u = px * ca + py * sa, v = -px * sa + py * ca;
      if (u < 0 || u > len) continue;
      float t = u / len;
      float half = wid * 0.5f * std::pow(std::sin(3.14159f * t), 0.7f) * (1.0f - 0.25f * t);
      float cover = clampf(half - std::fabs(v) + 0.5f, 0, 1);
      if (cover <= 0) continue;
      // light midrib, darker rim and base: a leaf reads as a leaf even at 6 pixels
      float rim = half > 0 ? std::fabs(v) / half : 1;
      float k = 0.78f + 0.32f * (1 - rim) * (0.6f + 0.4f * t);
      if (std::fabs(v) < 0.6f && t < 0.85f) k += 0.12f;
      img_blend(im, x, y, cscale(c, k), cover);
    }
}

image img_half(const image &im) {
  int w = im.w > 1 ? im.w / 2 : 1, h = im.h > 1 ? im.h / 2 : 1;
  image o = img_new(w, h);
  for (int y = 0; y < h; y++)
    for (int x = 0; x < w; x++) {
      float r = 0, g = 0, b = 0, a = 0, pr = 0, pg = 0, pb = 0;
      int n = 0;
      for (int j = 0; j < 2; j++)
        for (int i = 0; i < 2; i++) {
          int sx = x * 2 + i < im.w ? x * 2 + i : im.w - 1, sy = y * 2 + j < im.h ? y * 2 + j : im.h - 1;
          const col4 &c = im.px[(size_t)sy * im.w + sx];
          r += c.r * c.a, g += c.g * c.a, b += c.b * c.a, a += c.a;
          pr += c.r, pg += c.g, pb += c.b, n++;
        }
      col4 &d = img_at(o, x, y);
      if (a > 1e-6f)
        d = {r / a, g / a, b / a, a / n};
      else
        d = {pr / n, pg / n, pb / n, 0};
    }
  return o;
}

void img_bleed(image &im) {
  // push-pull: average the covered colour down a pyramid, then pour it back into empty pixels
  std::vector<image> pyr;
  pyr.push_back(im);
  while (pyr.back().w > 1 || pyr.back().h > 1) pyr.push_back(img_half(pyr.back()));
  for (int i = (int)pyr.size() - 2; i >= 0; i--) {
    image &lv = pyr[i];
    const image &up = pyr[i + 1];
    for (int y = 0; y < lv.h; y++)
      for (int x = 0; x < lv.w; x++) {
        col4 &c = img_at(lv, x, y);
        if (c.a > 0.02f) continue;
        int ux = x / 2 < up.w ? x / 2 : up.w - 1, uy = y / 2 < up.h ? y / 2 : up.h - 1;
        const col4 &u = up.px[(size_t)uy * up.w + ux];
        c.r = u.r, c.g = u.g, c.b = u.b;
      }
  }
  for (size_t i = 0; i < im.px.size(); i++)
    if (im.px[i].a <= 0.02f) {
      im.px[i].r = pyr[0].px[i].r;
      im.px[i].g = pyr[0].px[i].g;
      im.px[i].b = pyr[0].px[i].b;
    }
}

static inline uint8_t to8(float v) { return (uint8_t)(clampf(v, 0, 1) * 255.0f + 0.5f); }

bool write_png(const image &im, const std::string &path, bool alpha) {
  SDL_Surface *s = SDL_CreateRGBSurfaceWithFormat(0, im.w, im.h, alpha ? 32 : 24,
                                                  alpha ? SDL_PIXELFORMAT_RGBA32 : SDL_PIXELFORMAT_RGB24);
  if (!s) {
    wg_error = std::string("cannot create surface: ") + SDL_GetError();
    return false;
  }
  for (int y = 0; y < im.h; y++) {
    uint8_t *row = (uint8_t *)s->pixels + (size_t)y * s->pitch;
    for (int x = 0; x < im.w; x++) {
      const col4 &c = im.px[(size_t)y * im.w + x];
      uint8_t *p = row + x * (alpha ? 4 : 3);
      p[0] = to8(c.r), p[1] = to8(c.g), p[2] = to8(c.b);
      if (alpha) p[3] = to8(c.a);
    }
  }
  int rc = IMG_SavePNG(s, path.c_str());
  SDL_FreeSurface(s);
  if (rc != 0) {
    wg_error = "cannot write " + path + ": " + SDL_GetError();
    return false;
  }
  return true;
}

bool write_bmp24_raw(int w, int h, const std::vector<uint8_t> &rgb, const std::string &path) {
  // BGR24 in memory is what the BMP format stores, so SDL writes it as a 24-bit file unchanged
  SDL_Surface *s = SDL_CreateRGBSurfaceWithFormat(0, w, h, 24, SDL_PIXELFORMAT_BGR24);
  if (!s) {
    wg_error = std::string("cannot create surface: ") + SDL_GetError();
    return false;
  }
  for (int y = 0; y < h; y++) {
    uint8_t *row = (uint8_t *)s->pixels + (size_t)y * s->pitch;
    for (int x = 0; x < w; x++) {
      const uint8_t *src = &rgb[((size_t)y * w + x) * 3];
      row[x * 3 + 0] = src[2], row[x * 3 + 1] = src[1], row[x * 3 + 2] = src[0];
    }
  }
  int rc = SDL_SaveBMP(s, path.c_str());
  SDL_FreeSurface(s);
  if (rc != 0) {
    wg_error = "cannot write " + path + ": " + SDL_GetError();
    return false;
  }
  return true;
}

static void put32(std::vector<uint8_t> &b, uint32_t v) {
  for (int i = 0; i < 4; i++) b.push_back((uint8_t)(v >> (8 * i)));
}

bool write_dds(const image &im, const std::string &path, bool dxt5) {
  int flags = (dxt5 ? squish::kDxt5 : squish::kDxt1) | squish::kColourClusterFit;
  int bs = dxt5 ? 16 : 8;
  int levels = 1;
  for (int w = im.w, h = im.h; w > 1 || h > 1; w = w > 1 ? w / 2 : 1, h = h > 1 ? h / 2 : 1) levels++;
  std::vector<uint8_t> out;
  out.insert(out.end(), {'D', 'D', 'S', ' '});
  put32(out, 124);
  put32(out, 0x1 | 0x2 | 0x4 | 0x1000 | 0x20000 | 0x80000);  // caps, height, width, format, mips, linear size
  put32(out, (uint32_t)im.h);
  put32(out, (uint32_t)im.w);
  put32(out, (uint32_t)(((im.w + 3) / 4) * ((im.h + 3) / 4) * bs));
  put32(out, 0);
  put32(out, (uint32_t)levels);
  for (int i = 0; i < 11; i++) put32(out, 0);
  put32(out, 32);
  put32(out, 0x4);  // four-character code present
  out.insert(out.end(), {'D', 'X', 'T', (uint8_t)(dxt5 ? '5' : '1')});
  for (int i = 0; i < 5; i++) put32(out, 0);
  put32(out, 0x1000 | 0x400000 | 0x8);  // texture, mip map, complex
  for (int i = 0; i < 4; i++) put32(out, 0);
  image lv = im;
  for (int l = 0; l < levels; l++) {
    std::vector<uint8_t> rgba((size_t)lv.w * lv.h * 4);
    for (size_t i = 0; i < lv.px.size(); i++) {
      rgba[i * 4] = to8(lv.px[i].r), rgba[i * 4 + 1] = to8(lv.px[i].g);
      rgba[i * 4 + 2] = to8(lv.px[i].b), rgba[i * 4 + 3] = to8(lv.px[i].a);
    }
    size_t sz = (size_t)((lv.w + 3) / 4) * ((lv.h + 3) / 4) * bs;
    size_t at = out.size();
    out.resize(at + sz);
    squish::CompressImage(rgba.data(), lv.w, lv.h, out.data() + at, flags);
    if (l + 1 < levels) lv = img_half(lv);
  }
  return write_file(path, out);
}

bool write_file(const std::string &path, const std::vector<uint8_t> &bytes) {
  FILE *f = fopen(path.c_str(), "wb");
  if (!f) {
    wg_error = "cannot write " + path + ": " + strerror(errno);
    return false;
  }
  bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  ok = (fclose(f) == 0) && ok;
  if (!ok) wg_error = "cannot write " + path + ": " + strerror(errno);
  return ok;
}

bool write_text(const std::string &path, const std::string &text) {
  return write_file(path, std::vector<uint8_t>(text.begin(), text.end()));
}
