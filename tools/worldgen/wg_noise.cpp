// World generator: seeded random streams, hashing and gradient noise (deterministic on every run).
#include <cmath>
#include <cstring>
#include <thread>

#include "wg.h"

static uint64_t splitmix(uint64_t &s) {
  uint64_t z = (s += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

uint32_t wg_hash(uint32_t a, uint32_t b, uint32_t c) {
  uint32_t h = a * 0x8DA6B343u ^ b * 0xD8163841u ^ c * 0xCB1AB31Fu;
  h ^= h >> 15;
  h *= 0x2C1B3C6Du;
  h ^= h >> 12;
  h *= 0x297A2D39u;
  h ^= h >> 15;
  return h;
}

uint32_t wg_hash_str(const char *s, uint32_t seed) {
  uint32_t h = 2166136261u ^ seed;
  for (; *s; s++) h = (h ^ (uint8_t)*s) * 16777619u;
  return wg_hash(h, seed);
}

wg_rng rng_make(uint64_t seed, const char *stream) {
  wg_rng r;
  r.s = seed * 0x9E3779B97F4A7C15ull ^ wg_hash_str(stream, (uint32_t)(seed ^ (seed >> 32)));
  splitmix(r.s);
  return r;
}

uint32_t rng_next(wg_rng &r) { return (uint32_t)(splitmix(r.s) >> 32); }
float rng_float(wg_rng &r) { return (rng_next(r) >> 8) * (1.0f / 16777216.0f); }
float rng_range(wg_rng &r, float a, float b) { return a + (b - a) * rng_float(r); }
int rng_int(wg_rng &r, int n) { return n <= 1 ? 0 : (int)(rng_next(r) % (uint32_t)n); }

// gradient at a lattice point: one of 16 unit directions
static inline float grad(int ix, int iy, uint32_t seed, float dx, float dy) {
  static const float gx[16] = {1, 0.9239f, 0.7071f, 0.3827f, 0, -0.3827f, -0.7071f, -0.9239f,
                               -1, -0.9239f, -0.7071f, -0.3827f, 0, 0.3827f, 0.7071f, 0.9239f};
  uint32_t h = wg_hash((uint32_t)ix, (uint32_t)iy, seed) & 15;
  return gx[h] * dx + gx[(h + 4) & 15] * dy;
}

static inline float fade(float t) { return t * t * t * (t * (t * 6 - 15) + 10); }

float noise2(float x, float y, uint32_t seed) {
  float fx = std::floor(x), fy = std::floor(y);
  int ix = (int)fx, iy = (int)fy;
  float dx = x - fx, dy = y - fy;
  int ix1 = ix + 1, iy1 = iy + 1;
  float n00 = grad(ix, iy, seed, dx, dy), n10 = grad(ix1, iy, seed, dx - 1, dy);
  float n01 = grad(ix, iy1, seed, dx, dy - 1), n11 = grad(ix1, iy1, seed, dx - 1, dy - 1);
  float u = fade(dx), v = fade(dy);
  return 1.41f * mixf(mixf(n00, n10, u), mixf(n01, n11, u), v);
}

float fbm2(float x, float y, int octaves, uint32_t seed, float gain) {
  float sum = 0, amp = 1, norm = 0;
  for (int i = 0; i < octaves; i++) {
    sum += amp * noise2(x, y, seed + (uint32_t)i * 1013u);
    norm += amp;
    amp *= gain;
    // rotate a little between octaves so lattice lines never stack up
    float nx = x * 1.6f - y * 1.2f, ny = x * 1.2f + y * 1.6f;
    x = nx + 17.3f;
    y = ny - 9.1f;
  }
  return sum / norm;
}

float ridged2(float x, float y, int octaves, uint32_t seed) {
  float sum = 0, amp = 1, norm = 0, weight = 1;
  for (int i = 0; i < octaves; i++) {
    float n = 1 - std::fabs(noise2(x, y, seed + (uint32_t)i * 7919u));
    n *= n * weight;
    weight = clampf(n * 1.5f, 0, 1);
    sum += n * amp;
    norm += amp;
    amp *= 0.5f;
    x *= 2.03f;
    y *= 2.03f;
  }
  return sum / norm;
}

void wg_parallel_rows(int h, void (*f)(int y, void *ctx), void *ctx) {
  unsigned n = std::thread::hardware_concurrency();
  if (n < 2 || h < 64) {
    for (int y = 0; y < h; y++) f(y, ctx);
    return;
  }
  if (n > 8) n = 8;
  // interleaved rows: every row is computed by a pure function of its index, so the split is invisible
  std::vector<std::thread> ts;
  for (unsigned t = 0; t < n; t++)
    ts.emplace_back([=]() {
      for (int y = (int)t; y < h; y += (int)n) f(y, ctx);
    });
  for (auto &t : ts) t.join();
}
