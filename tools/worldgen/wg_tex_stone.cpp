// World generator: stone textures (boulders, pebbles) and the landmarks (runestone, watchtower, dolmen).
#include <cmath>
#include <functional>

#include "wg_world.h"

// A stone silhouette with a bump height per pixel; shaded as a lit surface.
struct stone_field {
  int w, h;
  std::vector<float> cover, z;
};

static stone_field field_new(int w, int h) { return {w, h, std::vector<float>((size_t)w * h, 0), std::vector<float>((size_t)w * h, 0)}; }

// An upright lumpy ellipse (rx, ry around cx, cy), cut flat at `bottom`.
static void field_blob(stone_field &f, float cx, float cy, float rx, float ry, float bottom, uint32_t seed, float lump) {
  for (int y = 0; y < f.h; y++)
    for (int x = 0; x < f.w; x++) {
      float dx = (x + 0.5f - cx) / rx, dy = (y + 0.5f - cy) / ry;
      float a = std::atan2(dy, dx), rr = std::sqrt(dx * dx + dy * dy);
      float edge = 1 + lump * fbm2(std::cos(a) * 1.5f, std::sin(a) * 1.5f, 3, seed);
      float cov = clampf((edge - rr) * rx + 0.5f, 0, 1) * clampf(bottom - y, 0, 1);
      if (cov <= 0) continue;
      size_t i = (size_t)y * f.w + x;
      float z = std::sqrt(clampf(1 - (rr / edge) * (rr / edge), 0, 1));
      f.cover[i] = std::fmax(f.cover[i], cov);
      f.z[i] = std::fmax(f.z[i], z);
    }
}

// A slab between x0 and x1 (at the top) / bx0 and bx1 (at the bottom), y from top to bottom, rounded edges.
static void field_slab(stone_field &f, float x0, float x1, float bx0, float bx1, float top, float bottom, float cap,
                       uint32_t seed) {
  for (int y = 0; y < f.h; y++)
    for (int x = 0; x < f.w; x++) {
      float t = clampf((y - top) / (bottom - top), 0, 1);
      float l = mixf(x0, bx0, t), r = mixf(x1, bx1, t), c = (l + r) / 2, hw = (r - l) / 2;
      hw *= 1 + 0.05f * noise2(y * 0.05f, 0.5f, seed);
      float u = (x + 0.5f - c) / hw;
      float v = (y + 0.5f - top) / cap;  // rounded top corners
      float capk = v < 1 ? std::sqrt(clampf(1 - (1 - v) * (1 - v), 0, 1)) : 1;
      float cov = clampf((capk - std::fabs(u)) * hw + 0.5f, 0, 1) * clampf(bottom - y, 0, 1) * (y + 0.5f > top);
      if (cov <= 0) continue;
      size_t i = (size_t)y * f.w + x;
      f.cover[i] = std::fmax(f.cover[i], cov);
      f.z[i] = std::fmax(f.z[i], 0.6f * std::sqrt(clampf(1 - u * u, 0, 1)) + 0.3f);
    }
}

using stone_colour = std::function<col4(int x, int y, float nx, float ny)>;

static void field_shade(image &im, const stone_field &f, uint32_t seed, float rough, const stone_colour &col) {
  std::vector<float> z(f.z);
  float sc = 256.0f / f.w;
  for (int y = 0; y < f.h; y++)
    for (int x = 0; x < f.w; x++)
      z[(size_t)y * f.w + x] += rough * fbm2(x * sc * 0.05f, y * sc * 0.05f, 4, seed) +
                                rough * 0.6f * ridged2(x * sc * 0.02f, y * sc * 0.02f, 3, seed + 1);
  const float lx = -0.5f, ly = -0.6f, lz = 0.62f;  // upper left, toward the viewer
  for (int y = 0; y < f.h; y++)
    for (int x = 0; x < f.w; x++) {
      size_t i = (size_t)y * f.w + x;
      if (f.cover[i] <= 0) continue;
      int xl = x > 0 ? x - 1 : x, xr = x + 1 < f.w ? x + 1 : x, yu = y > 0 ? y - 1 : y, yd = y + 1 < f.h ? y + 1 : y;
      float gx = (z[(size_t)y * f.w + xr] - z[(size_t)y * f.w + xl]) * f.w * 0.08f;
      float gy = (z[(size_t)yd * f.w + x] - z[(size_t)yu * f.w + x]) * f.h * 0.08f;
      float nl = std::sqrt(gx * gx + gy * gy + 1), nx = -gx / nl, ny = -gy / nl, nz = 1 / nl;
      float diff = clampf(nx * lx + ny * ly + nz * lz, 0, 1);
      col4 c = col(x, y, nx, ny);
      img_blend(im, x, y, cscale(c, 0.38f + 0.78f * diff), f.cover[i]);
    }
}

static col4 granite(int x, int y, uint32_t seed, float sc, col4 a, col4 b) {
  col4 c = cmix(a, b, 0.5f + 0.6f * fbm2(x * sc * 0.03f, y * sc * 0.03f, 3, seed + 9));
  uint32_t h = wg_hash((uint32_t)x, (uint32_t)y, seed) % 100;
  if (h < 6) c = cscale(c, 0.6f);
  if (h > 95) c = cscale(c, 1.2f);
  return c;
}

static bool save(wg_world &w, image &im, const char *rel, int dds) {
  img_bleed(im);
  if (dds) return wg_save_dds(w, im, rel, false);
  return wg_save_png(w, im, rel, true);
}

static bool boulders(wg_world &w, int d) {
  const char *names[3] = {"textures/rock_grey.dds", "textures/rock_mossy.dds", "textures/rock_snow.png"};
  for (int k = 0; k < 3; k++) {
    int n = 256 / d;
    uint32_t s = wg_hash_str(names[k], (uint32_t)w.seed);
    float sc = 256.0f / n;
    stone_field f = field_new(n, n);
    field_blob(f, n * 0.5f, n * 0.68f, n * 0.47f, n * 0.44f, n * 0.985f, s, 0.2f);
    if (k == 1) field_blob(f, n * 0.3f, n * 0.75f, n * 0.2f, n * 0.2f, n * 0.985f, s + 5, 0.2f);
    image im = img_new(n, n);
    field_shade(im, f, s, 0.12f, [&](int x, int y, float nx, float ny) {
      col4 c = granite(x, y, s, sc, hexc(k == 1 ? 0x6A6A60 : 0x787670), hexc(k == 1 ? 0x8E8A7C : 0xA6A298));
      float up = clampf(-ny, 0, 1), mn = fbm2(x * sc * 0.04f, y * sc * 0.04f, 3, s + 3);
      if (k == 1) {
        c = cmix(c, hexc(0x4E6E2A), smooth01(0.1f, 0.4f, up + 0.5f * mn));
        if (wg_hash((uint32_t)x / 3, (uint32_t)y / 3, s) % 60 == 0) c = hexc(0xB8B060);
      } else if (k == 2) {
        c = cmix(c, hexc(0xF2F6FC), smooth01(0.05f, 0.25f, up + 0.3f * mn));
      } else {
        c = cmix(c, hexc(0xA8A070), 0.25f * smooth01(0.3f, 0.6f, mn));
      }
      return c;
    });
    if (!save(w, im, names[k], k < 2)) return false;
  }
  // pebbles: a few small stones in the grass
  int pw = 128 / d, ph = 64 / d;
  wg_rng r = rng_make(w.seed, "pebbles");
  stone_field f = field_new(pw, ph);
  for (int i = 0; i < 7; i++) {
    float rx = pw * rng_range(r, 0.06f, 0.12f);
    field_blob(f, pw * rng_range(r, 0.15f, 0.85f), ph - rx * 0.5f, rx, rx * 0.7f, (float)ph, (uint32_t)i, 0.1f);
  }
  image im = img_new(pw, ph);
  field_shade(im, f, 77, 0.05f, [&](int x, int y, float, float) {
    return granite(x, y, 77, 2, hexc(0x7E786E), hexc(0xB0A898));
  });
  return save(w, im, "textures/pebbles.png", 0);
}

static col4 pick_ivy(wg_rng &r) {
  static const uint32_t pal[] = {0x2E5A1E, 0x3C6E26, 0x4A7E2E, 0x26481A};
  return hexc(pal[rng_int(r, 4)]);
}

static void rune(image &im, float x, float y, float h, wg_rng &r, col4 groove, col4 glow) {
  float rw = h * 0.02f + 0.4f;
  auto line = [&](float ax, float ay, float bx, float by) {
    img_stroke(im, x + ax * h, y + ay * h, x + bx * h, y + by * h, rw * 1.8f, rw * 1.8f, groove, groove);
    img_stroke(im, x + ax * h, y + ay * h, x + bx * h, y + by * h, rw * 0.8f, rw * 0.8f, glow, glow);
  };
  line(0, 0, 0, 1);  // every rune hangs on its stave
  int kind = rng_int(r, 5);
  float s = rng_range(r, 0.35f, 0.45f) * (rng_int(r, 2) ? 1 : -1);
  if (kind == 0) line(0, 0.1f, s, 0.4f), line(0, 0.4f, s, 0.7f);
  if (kind == 1) line(0, 0.2f, s, 0.5f), line(s, 0.5f, 0, 0.8f);
  if (kind == 2) line(-s, 0.2f, s, 0.6f), line(s, 0.2f, -s, 0.6f);
  if (kind == 3) line(0, 0.05f, s, 0.35f), line(0, 0.35f, -s, 0.65f);
  if (kind == 4) line(0, 0.3f, s, 0.05f), line(0, 0.3f, -s, 0.05f);
}

static bool landmarks(wg_world &w, int d) {
  wg_rng r = rng_make(w.seed, "landmarks");
  // runestone: a tall slab with a band of glowing runes
  int W = 128 / d, H = 256 / d;
  stone_field f = field_new(W, H);
  field_slab(f, W * 0.18f, W * 0.8f, W * 0.08f, W * 0.92f, H * 0.03f, H * 0.995f, H * 0.1f, 11);
  image im = img_new(W, H);
  float sc = 256.0f / H;
  field_shade(im, f, 12, 0.06f, [&](int x, int y, float, float) {
    col4 c = granite(x, y, 13, sc, hexc(0x6C747E), hexc(0x9AA2A8));
    float base = smooth01(0.8f, 1.0f, (float)y / H) * smooth01(-0.3f, 0.3f, fbm2(x * sc * 0.05f, y * sc * 0.05f, 3, 14));
    return cmix(c, hexc(0x4A6A2A), base);
  });
  for (float y = H * 0.16f; y < H * 0.84f; y += H * 0.1f)
    rune(im, W * 0.5f + rng_range(r, -0.04f, 0.04f) * W, y, H * 0.07f, r, hexc(0x2E3238), hexc(0x6FE6D6));
  img_stroke(im, W * 0.28f, H * 0.13f, W * 0.26f, H * 0.88f, W * 0.012f + 0.4f, W * 0.012f + 0.4f, hexc(0x3A4048), hexc(0x3A4048));
  img_stroke(im, W * 0.72f, H * 0.13f, W * 0.74f, H * 0.88f, W * 0.012f + 0.4f, W * 0.012f + 0.4f, hexc(0x3A4048), hexc(0x3A4048));
  if (!save(w, im, "textures/runestone.png", 0)) return false;

  // watchtower: a round stone tower, its top broken off, with a door, slits and ivy
  W = 256 / d, H = 512 / d;
  sc = 512.0f / H;
  im = img_new(W, H);
  float cx = W * 0.5f;
  for (int y = 0; y < H; y++)
    for (int x = 0; x < W; x++) {
      float t = (float)y / H, hw = W * mixf(0.31f, 0.37f, t);
      float u = (x + 0.5f - cx) / hw;
      float top = H * (0.1f + 0.09f * std::fabs(fbm2(x * sc * 0.02f, 0.3f, 3, 21)) + 0.07f * (u > 0.2f));
      if (std::fabs(u) > 1 || y < top) continue;
      float ch = H * 0.03f;
      int row = (int)(y / ch);
      float off = (wg_hash((uint32_t)row, 5) % 100) / 100.0f * W * 0.1f;
      float bw = W * 0.11f;
      float xx = (u * 0.5f + 0.5f) * W * 1.6f + off;  // courses wrap round the curve
      int colb = (int)(xx / bw);
      float fx = xx / bw - colb, fy = y / ch - row;
      float mortar = std::fmin(std::fmin(fx, 1 - fx) * bw, std::fmin(fy, 1 - fy) * ch);
      uint32_t hb = wg_hash((uint32_t)row, (uint32_t)colb, 22);
      col4 c = cmix(hexc(0x857E70), hexc(0xB0A894), (hb % 100) / 100.0f);
      c = cscale(c, 0.9f + 0.15f * fbm2(x * sc * 0.08f, y * sc * 0.08f, 2, 23));
      if (mortar < 1.2f / d + 0.6f) c = hexc(0x4A4438);
      float round = 0.45f + 0.6f * std::sqrt(clampf(1 - u * u, 0, 1)) - 0.25f * u;
      c = cmix(c, hexc(0x3A4A26), 0.6f * smooth01(0.92f, 1.0f, t));
      img_blend(im, x, y, cscale(c, round), clampf((1 - std::fabs(u)) * hw + 0.5f, 0, 1));
    }
  auto opening = [&](float ox, float oy, float ow, float oh) {
    for (int y = (int)(oy - ow); y < oy + oh; y++)
      for (int x = (int)(ox - ow); x <= ox + ow; x++) {
        float dx = (x + 0.5f - ox) / ow, dy = (y + 0.5f - oy) / ow;
        if ((y >= oy && std::fabs(dx) <= 1) || dx * dx + dy * dy <= 1)
          if (x >= 0 && y >= 0 && x < W && y < H && img_at(im, x, y).a > 0.5f) img_at(im, x, y) = hexc(0x16120E);
      }
  };
  opening(cx, H * 0.84f, W * 0.09f, H * 0.16f);
  opening(cx - W * 0.12f, H * 0.5f, W * 0.025f, H * 0.07f);
  opening(cx + W * 0.1f, H * 0.3f, W * 0.025f, H * 0.07f);
  for (int i = 0; i < 500 / (d * d) + 20; i++) {  // ivy climbing the left side
    float x = W * rng_range(r, 0.2f, 0.48f), y = H * rng_range(r, 0.35f, 1.0f);
    if (rng_float(r) > (y / H - 0.3f) * 1.4f || img_at(im, (int)x, (int)y).a < 0.5f) continue;
    img_leaf(im, x, y, W * 0.035f, W * 0.025f, rng_range(r, 0, 6.28f), pick_ivy(r));
  }
  if (!save(w, im, "textures/watchtower.png", 0)) return false;

  // dolmen: two standing stones under a capstone
  W = 256 / d, H = 192 / d;
  f = field_new(W, H);
  field_slab(f, W * 0.14f, W * 0.33f, W * 0.12f, W * 0.36f, H * 0.3f, H * 0.995f, H * 0.05f, 31);
  field_slab(f, W * 0.66f, W * 0.85f, W * 0.63f, W * 0.88f, H * 0.3f, H * 0.995f, H * 0.05f, 32);
  field_blob(f, W * 0.5f, H * 0.27f, W * 0.47f, H * 0.17f, H * 0.42f, 33, 0.12f);
  im = img_new(W, H);
  sc = 256.0f / W;
  field_shade(im, f, 34, 0.1f, [&](int x, int y, float, float ny) {
    col4 c = granite(x, y, 35, sc, hexc(0x74706A), hexc(0x9E988C));
    return cmix(c, hexc(0x587A30), smooth01(0.2f, 0.5f, -ny + 0.4f * fbm2(x * sc * 0.05f, y * sc * 0.05f, 3, 36)));
  });
  return save(w, im, "textures/dolmen.png", 0);
}

bool stone_textures_write(wg_world &w) { return boulders(w, w.P->tex_div) && landmarks(w, w.P->tex_div); }
