// World generator: the shared records and helpers of velder-worldgen (random numbers, noise, images, writers).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// ---- random numbers: one seeded stream per thing generated, so order of work never changes bytes
struct wg_rng {
  uint64_t s;
};
wg_rng rng_make(uint64_t seed, const char *stream);
uint32_t rng_next(wg_rng &r);
float rng_float(wg_rng &r);                    // [0, 1)
float rng_range(wg_rng &r, float a, float b);  // [a, b)
int rng_int(wg_rng &r, int n);                 // 0 .. n-1
uint32_t wg_hash(uint32_t a, uint32_t b = 0, uint32_t c = 0);
uint32_t wg_hash_str(const char *s, uint32_t seed);

// ---- noise, all in about [-1, 1]
float noise2(float x, float y, uint32_t seed);
float fbm2(float x, float y, int octaves, uint32_t seed, float gain = 0.5f);
float ridged2(float x, float y, int octaves, uint32_t seed);    // [0, 1], sharp crests

// ---- small maths
inline float clampf(float v, float a, float b) { return v < a ? a : v > b ? b : v; }
inline float mixf(float a, float b, float t) { return a + (b - a) * t; }
inline float smooth01(float e0, float e1, float x) {
  float t = clampf((x - e0) / (e1 - e0), 0, 1);
  return t * t * (3 - 2 * t);
}
struct col4 {
  float r, g, b, a;
};
inline col4 rgb(float r, float g, float b, float a = 1) { return {r, g, b, a}; }
inline col4 hexc(uint32_t c, float a = 1) {
  return {((c >> 16) & 255) / 255.f, ((c >> 8) & 255) / 255.f, (c & 255) / 255.f, a};
}
inline col4 cmix(col4 a, col4 b, float t) {
  return {mixf(a.r, b.r, t), mixf(a.g, b.g, t), mixf(a.b, b.b, t), mixf(a.a, b.a, t)};
}
inline col4 cscale(col4 a, float k) { return {a.r * k, a.g * k, a.b * k, a.a}; }

// ---- images: RGBA floats, row 0 is the top row
struct image {
  int w = 0, h = 0;
  std::vector<col4> px;
};
image img_new(int w, int h, col4 fill = {0, 0, 0, 0});
inline col4 &img_at(image &im, int x, int y) { return im.px[(size_t)y * im.w + x]; }
void img_blend(image &im, int x, int y, col4 c, float cover);  // "over" with coverage
void img_disc(image &im, float cx, float cy, float r, col4 c);
void img_stroke(image &im, float x0, float y0, float x1, float y1, float r0, float r1, col4 c0, col4 c1);
void img_leaf(image &im, float cx, float cy, float len, float wid, float ang, col4 c);
image img_half(const image &im);  // 2x box filter, alpha-weighted colour
void img_bleed(image &im);        // spread colour into transparent pixels (no dark fringes)

// ---- writers; each returns false and fills wg_error on failure
extern std::string wg_error;
bool write_png(const image &im, const std::string &path, bool alpha);
bool write_bmp24_raw(int w, int h, const std::vector<uint8_t> &rgb, const std::string &path);
bool write_dds(const image &im, const std::string &path, bool dxt5);  // full mip chain
bool write_text(const std::string &path, const std::string &text);
bool write_file(const std::string &path, const std::vector<uint8_t> &bytes);

// ---- parallel rows: f(y) for y in [0, h) on the machine's cores
void wg_parallel_rows(int h, void (*f)(int y, void *ctx), void *ctx);
