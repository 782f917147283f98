// World generator: painted plant textures (tree bark and leaf cards, bushes, grass tufts, flowers, ferns).
#include <algorithm>
#include <cmath>

#include "wg_world.h"

static const float PI = 3.14159265f;

static col4 pick(wg_rng &r, std::initializer_list<uint32_t> pal) {
  return hexc(*(pal.begin() + rng_int(r, (int)pal.size())));
}

enum bark_style { B_PINE, B_OAK, B_BIRCH, B_ELDER };

// A bark column standing in the rectangle [x0, x1] x [0, h]: tapered, root flare, round shading.
static void paint_trunk(image &im, int x0, int x1, bark_style st, uint32_t seed) {
  float rw = (float)(x1 - x0), cx = (x0 + x1) * 0.5f, H = (float)im.h;
  float base = rw * (st == B_OAK ? 0.42f : st == B_ELDER ? 0.55f : st == B_BIRCH ? 0.16f : 0.2f);
  float top = rw * (st == B_PINE ? 0.03f : st == B_BIRCH ? 0.07f : 0.18f);
  float sc = 256.0f / H;  // pattern scale follows the design size
  for (int y = 0; y < im.h; y++) {
    float t = (y + 0.5f) / H;
    float half = 0.5f * (mixf(top, base, std::pow(t, 1.3f)) + base * 0.5f * smooth01(0.86f, 1.0f, t));
    half *= 1 + 0.06f * noise2(0.5f, y * sc * 0.05f, seed);
    float wob = rw * 0.03f * noise2(1.5f, y * sc * 0.02f, seed + 1);
    for (int x = x0; x < x1; x++) {
      float u = (x + 0.5f - cx - wob) / half;
      float cover = clampf((1 - std::fabs(u)) * half + 0.5f, 0, 1);
      if (cover <= 0) continue;
      float px = (x - x0) * sc, py = y * sc;
      float round = 0.5f + 0.5f * std::sqrt(clampf(1 - u * u, 0, 1)) - 0.18f * u;
      col4 c;
      if (st == B_PINE) {
        float plate = fbm2(px * 0.12f, py * 0.035f, 3, seed + 2);
        float crack = smooth01(0.0f, 0.12f, std::fabs(noise2(px * 0.09f, py * 0.02f, seed + 3)));
        c = cscale(cmix(hexc(0x5E3422), hexc(0xA06A48), 0.5f + 0.6f * plate), 0.55f + 0.45f * crack);
      } else if (st == B_OAK || st == B_ELDER) {
        float furrow = smooth01(0.0f, 0.25f, std::fabs(fbm2(px * 0.16f, py * 0.025f, 3, seed + 4)));
        c = cmix(hexc(st == B_OAK ? 0x3E362E : 0x2E2820), hexc(st == B_OAK ? 0x857A68 : 0x6A5E4C), furrow);
        float moss = smooth01(0.15f, 0.45f, fbm2(px * 0.05f, py * 0.05f, 3, seed + 5) + (t - 0.6f) * 0.6f);
        c = cmix(c, hexc(0x55702E), moss * (st == B_ELDER ? 0.7f : 0.4f));
      } else {
        float dash = smooth01(0.45f, 0.6f, noise2(px * 0.06f, py * 0.5f, seed + 6));
        c = cmix(hexc(0xE6E2D8), hexc(0x2A2622), dash * 0.9f);
        c = cmix(c, hexc(0x3A342E), smooth01(0.82f, 1.0f, t) * smooth01(-0.2f, 0.3f, noise2(px * 0.2f, py * 0.1f, seed)));
        c = cscale(c, 0.92f + 0.1f * noise2(px * 0.3f, py * 0.3f, seed + 7));
      }
      img_blend(im, x, y, cscale(c, clampf(round, 0.3f, 1.1f)), cover);
    }
  }
}

struct leaf_mark {
  float x, y, ang, len, wid, k;
  col4 c;
};

static bool in_shape(float dx, float dy, bool dome, float lump) {
  if (dome) {
    if (dy > 0.58f) return false;  // flat base on the ground
    dy = dy < 0 ? dy / 1.0f : dy / 0.9f;
  }
  float a = std::atan2(dy, dx), r = std::sqrt(dx * dx + dy * dy);
  return r < 1 + lump * (std::sin(a * 5 + 1.3f) * 0.5f + std::sin(a * 9 + 0.4f) * 0.3f);
}

static void paint_pine_spray(image &im, float x0, float y0, float S, wg_rng &r) {
  float cx = x0 + S / 2, cy = y0 + S / 2, R = S * 0.47f;
  int nt = 16 + rng_int(r, 4);
  for (int i = 0; i < nt; i++) {
    float th = i * 2 * PI / nt + rng_range(r, -0.2f, 0.2f), L = R * rng_range(r, 0.7f, 1.0f);
    float ex = cx + std::cos(th) * L, ey = cy + std::sin(th) * L;
    float hx = cx + std::cos(th) * R * 0.12f, hy = cy + std::sin(th) * R * 0.12f;  // no bare hub in the middle
    img_stroke(im, hx, hy, ex, ey, S * 0.008f, S * 0.004f, hexc(0x4A3A22), hexc(0x5A4A2A));
    for (int k = 0; k < 3; k++) {  // side twigs fill the gaps between the main ones
      float t = L * rng_range(r, 0.3f, 0.7f), side = rng_int(r, 2) ? 0.6f : -0.6f;
      float sx = cx + std::cos(th) * t, sy = cy + std::sin(th) * t, sl = L * rng_range(r, 0.25f, 0.4f);
      float ta = th + side;
      for (float u = 0; u < sl; u += S * 0.014f) {
        float px = sx + std::cos(ta) * u, py = sy + std::sin(ta) * u;
        for (int sd = -1; sd <= 1; sd += 2) {
          float a = ta + sd * 0.9f, nl = S * 0.05f;
          col4 c = pick(r, {0x1E4A2C, 0x24563A, 0x2C5E34});
          img_stroke(im, px, py, px + std::cos(a) * nl, py + std::sin(a) * nl, S * 0.005f, S * 0.0025f, cscale(c, 0.8f), c);
        }
      }
    }
    float step = S * 0.012f;
    for (float t = S * 0.02f; t < L; t += step) {
      float px = cx + std::cos(th) * t, py = cy + std::sin(th) * t, f = t / L;
      for (int side = -1; side <= 1; side += 2) {
        float a = th + side * rng_range(r, 0.7f, 1.1f) * (1 - 0.3f * f);
        float nl = S * (0.09f - 0.04f * f) * rng_range(r, 0.8f, 1.1f);
        float light = 0.8f + 0.35f * f - 0.2f * (std::sin(th) * 0.5f + 0.5f);
        col4 c = cmix(pick(r, {0x1E4A2C, 0x24563A, 0x2C5E34}), hexc(0x6A9A50), f * f * 0.6f);
        img_stroke(im, px, py, px + std::cos(a) * nl, py + std::sin(a) * nl, S * 0.006f, S * 0.003f,
                   cscale(c, light * 0.85f), cscale(c, light * 1.1f));
      }
    }
  }
}

void paint_foliage(image &im, float x0, float y0, float S, foliage_style st, wg_rng &r, bool dome) {
  if (st == F_PINE) {
    paint_pine_spray(im, x0, y0, S, r);
    return;
  }
  float cx = x0 + S / 2, cy = y0 + S * (dome ? 0.52f : 0.5f), R = S * 0.46f;
  if (st == F_JUNIPER) cy = y0 + S * 0.64f, R = S * 0.565f;  // a cone from the ground up
  float area = (S / 256) * (S / 256);
  // tree crowns are painted dense: a few such cards make a full crown
  int n = (int)(area * (st == F_ELDER     ? 1300
                        : st == F_JUNIPER ? 3200
                        : st == F_BIRCH   ? 900
                        : st == F_OAK     ? 1100
                                          : 750));
  float len = S * (st == F_BIRCH ? 0.05f : st == F_JUNIPER ? 0.05f : 0.065f);
  float wid = len * (st == F_JUNIPER ? 0.3f : 0.62f);
  // twigs under the leaves
  for (int i = 0; i < (st == F_JUNIPER ? 0 : 7); i++) {
    float a = dome ? rng_range(r, -PI * 0.9f, -PI * 0.1f) : rng_range(r, 0, 2 * PI);
    float L = R * rng_range(r, 0.5f, 0.85f);
    float sx = cx, sy = dome ? y0 + S * 0.98f : cy;
    img_stroke(im, sx, sy, cx + std::cos(a) * L, cy + std::sin(a) * L * 0.9f, S * 0.012f, S * 0.004f,
               hexc(0x4A3626), hexc(0x5E4630));
  }
  std::vector<leaf_mark> ls;
  for (int i = 0, tries = 0; i < n && tries < n * 6; tries++) {
    float dx = rng_range(r, -1.2f, 1.2f), dy = rng_range(r, -1.2f, 1.2f);
    if (st == F_JUNIPER) {  // a flame: narrow at the top
      float wdt = 0.05f + 0.78f * clampf((dy + 1.1f) / 1.68f, 0, 1) * (1 + 0.12f * std::sin(dy * 9));
      if (std::fabs(dx) > wdt || dy < -1.1f || dy > 0.58f) continue;
    } else if (!in_shape(dx, dy, dome, 0.14f)) {
      continue;
    }
    i++;
    leaf_mark l;
    l.x = cx + dx * R, l.y = cy + dy * R;
    float edge = std::sqrt(dx * dx + dy * dy);
    // sun from the upper left, darker inside the crown
    l.k = 0.62f + 0.28f * (-(dx * 0.55f + dy * 0.8f)) * 0.5f + 0.25f * edge + rng_range(r, -0.1f, 0.1f);
    l.ang = st == F_BIRCH ? PI / 2 + rng_range(r, -1.0f, 1.0f) : st == F_JUNIPER ? -PI / 2 + rng_range(r, -0.6f, 0.6f)
                                                                                 : rng_range(r, 0, 2 * PI);
    // small textures keep leaves at least two pixels wide, or nothing survives the alpha cut
    l.len = std::fmax(len * rng_range(r, 0.75f, 1.2f), 3.0f);
    l.wid = std::fmax(wid * rng_range(r, 0.8f, 1.15f), 2.0f);
    switch (st) {
      case F_OAK: l.c = pick(r, {0x3E6E22, 0x4F8A2C, 0x5A9A34, 0x2F5A1C}); break;
      case F_BIRCH: l.c = pick(r, {0x7FA83A, 0x9CC050, 0x6A9A30, 0x8AB840}); break;
      case F_ELDER: l.c = pick(r, {0xD08A2A, 0xE0A83A, 0xB8602A, 0xC8A040, 0x9A8A30}); break;
      case F_BERRY: l.c = pick(r, {0x2E5424, 0x3B6A2C, 0x24461E}); break;
      case F_JUNIPER: l.c = pick(r, {0x2E5A48, 0x3C6E56, 0x24483A}); break;
      default: l.c = pick(r, {0x35652A, 0x447A30, 0x2A5022, 0x5C8C36}); break;
    }
    ls.push_back(l);
  }
  std::sort(ls.begin(), ls.end(), [](const leaf_mark &a, const leaf_mark &b) { return a.k < b.k; });
  for (auto &l : ls) img_leaf(im, l.x, l.y, l.len, l.wid, l.ang, cscale(l.c, clampf(l.k, 0.45f, 1.25f)));
  if (st == F_BERRY)
    for (int i = 0; i < (int)(70 * area) + 3; i++) {
      float dx = rng_range(r, -0.9f, 0.9f), dy = rng_range(r, -0.9f, 0.5f);
      if (!in_shape(dx, dy, dome, 0.1f)) continue;
      float bx = cx + dx * R, by = cy + dy * R, br = S * 0.014f;
      img_disc(im, bx, by, br, pick(r, {0xC02030, 0xE03040, 0x901828}));
      img_disc(im, bx - br * 0.35f, by - br * 0.35f, br * 0.3f, hexc(0xFFD0D0));
    }
}

void paint_blades(image &im, wg_rng &r, int n, col4 base, col4 tip, float hmin, float hmax, float spread) {
  float W = (float)im.w, H = (float)im.h;
  for (int i = 0; i < n; i++) {
    float x = W * 0.5f + rng_range(r, -1, 1) * spread * W * 0.25f, y = H - 1;
    float a = rng_range(r, -0.45f, 0.45f) + (x - W * 0.5f) / W * 0.8f;
    float L = H * rng_range(r, hmin, hmax), bend = rng_range(r, -1.2f, 1.2f);
    float k = rng_range(r, 0.85f, 1.15f);
    const int segs = 8;
    for (int s = 0; s < segs; s++) {
      float t0 = (float)s / segs, t1 = (float)(s + 1) / segs;
      float a1 = a + bend * t1 * t1;
      float nx = x + std::sin(a1) * L / segs, ny = y - std::cos(a1) * L / segs;
      float r0 = W * 0.010f * (1 - t0) + 0.4f, r1 = W * 0.010f * (1 - t1) + 0.4f;
      img_stroke(im, x, y, nx, ny, r0, r1, cscale(cmix(base, tip, t0), k), cscale(cmix(base, tip, t1), k));
      x = nx, y = ny;
    }
  }
}

static void paint_flowers(image &im, wg_rng &r, int n) {
  float W = (float)im.w, H = (float)im.h;
  for (int i = 0; i < n; i++) {
    float bx = W * rng_range(r, 0.2f, 0.8f), tx = bx + W * rng_range(r, -0.08f, 0.08f);
    float ty = H * rng_range(r, 0.1f, 0.45f);
    img_stroke(im, bx, H - 1, tx, ty, W * 0.006f + 0.3f, W * 0.004f + 0.3f, hexc(0x2E5A1E), hexc(0x4A7A2A));
    col4 pc = pick(r, {0xF4F2F0, 0x5A78E0, 0xE03A2A, 0xF2D23A, 0xD070C0});
    float pr = W * rng_range(r, 0.022f, 0.032f);
    float a0 = rng_range(r, 0, 2 * PI);
    for (int p = 0; p < 5; p++) img_leaf(im, tx, ty, pr, pr * 0.75f, a0 + p * 2 * PI / 5, pc);
    img_disc(im, tx, ty, pr * 0.32f, pc.r > 0.9f && pc.g > 0.9f ? hexc(0xF0C020) : hexc(0x3A2A10));
  }
}

static void paint_fern(image &im, wg_rng &r) {
  float W = (float)im.w, H = (float)im.h;
  int fronds = 7;
  for (int f = 0; f < fronds; f++) {
    float a = (f - (fronds - 1) * 0.5f) / fronds * 2.2f + rng_range(r, -0.15f, 0.15f);
    float L = H * rng_range(r, 0.8f, 1.0f), x = W * 0.5f, y = H - 1;
    const int segs = 14;
    for (int s = 0; s < segs; s++) {
      float t = (float)s / segs;
      float da = a * (1 + 0.9f * t);  // fronds arch outward and down toward the tip
      float nx = x + std::sin(da) * L / segs * 1.2f, ny = y - std::cos(da) * L / segs;
      img_stroke(im, x, y, nx, ny, W * 0.006f + 0.3f, W * 0.005f + 0.3f, hexc(0x3A5A22), hexc(0x3A5A22));
      float ll = W * 0.07f * std::sin(PI * (0.15f + 0.85f * t)) * (1 - 0.6f * t);
      col4 c = cmix(hexc(0x2E6A22), hexc(0x6AA83A), t * 0.7f + rng_range(r, 0, 0.2f));
      if (s > 1) {
        img_leaf(im, nx, ny, ll, ll * 0.4f, -PI / 2 + da - 1.2f, c);
        img_leaf(im, nx, ny, ll, ll * 0.4f, -PI / 2 + da + 1.2f, cscale(c, 0.9f));
      }
      x = nx, y = ny;
    }
  }
}

static void paint_snag(image &im, wg_rng &r) {
  float W = (float)im.w, H = (float)im.h;
  struct br {
    float x, y, a, len, rad;
    int depth;
  };
  std::vector<br> st = {{W * 0.5f, H - 1, 0, H * 0.45f, W * 0.07f, 0}};
  while (!st.empty()) {
    br b = st.back();
    st.pop_back();
    float ex = b.x + std::sin(b.a) * b.len, ey = b.y - std::cos(b.a) * b.len;
    img_stroke(im, b.x, b.y, ex, ey, b.rad, b.rad * 0.65f, hexc(0x7A7266), hexc(0xA8A092));
    if (b.depth >= 4 || b.rad < 0.8f) continue;
    int kids = b.depth == 0 ? 3 : 2;
    for (int k = 0; k < kids; k++) {
      float na = b.a + rng_range(r, -0.8f, 0.8f) + (k - 0.5f) * 0.4f;
      st.push_back({ex, ey, na, b.len * rng_range(r, 0.55f, 0.75f), b.rad * 0.62f, b.depth + 1});
    }
  }
  for (int y = 0; y < im.h; y++)  // weathered grain along the wood
    for (int x = 0; x < im.w; x++) {
      float k = 0.8f + 0.3f * noise2(x * 0.4f, y * 0.05f, 91);
      col4 &c = img_at(im, x, y);
      c.r *= k, c.g *= k, c.b *= k;
    }
}

static bool save(wg_world &w, image &im, const char *rel, bool dds5 = false) {
  img_bleed(im);
  if (dds5) return wg_save_dds(w, im, rel, true);
  return wg_save_png(w, im, rel, true);
}

bool textures_write(wg_world &w) {
  int d = w.P->tex_div;
  wg_rng r = rng_make(w.seed, "plants");
  struct tree_tex {
    const char *file;
    bark_style bark;
    foliage_style leaves;
  } trees[] = {{"textures/pine.dds", B_PINE, F_PINE},
               {"textures/oak.png", B_OAK, F_OAK},
               {"textures/birch.png", B_BIRCH, F_BIRCH},
               {"textures/elder.png", B_ELDER, F_ELDER}};
  for (auto &t : trees) {
    image im = img_new(512 / d, 256 / d);
    paint_trunk(im, 0, im.w / 4, t.bark, wg_hash_str(t.file, (uint32_t)w.seed));
    paint_foliage(im, im.w * 0.5f, 0, (float)im.h, t.leaves, r, false);
    if (!save(w, im, t.file, t.bark == B_PINE)) return false;
  }
  struct bush_tex {
    const char *file;
    foliage_style st;
  } bushes[] = {{"textures/bush_green.png", F_BUSH}, {"textures/bush_berry.png", F_BERRY},
                {"textures/juniper.png", F_JUNIPER}};
  for (auto &b : bushes) {
    image im = img_new(256 / d, 256 / d);
    paint_foliage(im, 0, 0, (float)im.w, b.st, r, true);
    if (!save(w, im, b.file)) return false;
  }
  image heather = img_new(256 / d, 128 / d);
  paint_blades(heather, r, 90, hexc(0x2A3A1E), hexc(0x4A6A2E), 0.4f, 0.85f, 1.8f);
  for (int i = 0; i < 260 / d; i++) {
    float x = heather.w * rng_range(r, 0.08f, 0.92f), y = heather.h * rng_range(r, 0.15f, 0.7f);
    float edge = std::fabs(x / heather.w - 0.5f) * 2;
    if (y < heather.h * (0.15f + 0.5f * edge * edge)) continue;  // a rounded mound
    img_disc(heather, x, y, heather.w * 0.012f + 0.5f, pick(r, {0xB05AA8, 0xC878C0, 0x8E4A96, 0xD8A0D8}));
  }
  if (!save(w, heather, "textures/heather.png")) return false;

  image g = img_new(256 / d, 128 / d);
  paint_blades(g, r, 200, hexc(0x2A521A), hexc(0x9AC050), 0.45f, 0.98f, 1.5f);
  if (!save(w, g, "textures/grass_meadow.png")) return false;
  g = img_new(256 / d, 128 / d);
  paint_blades(g, r, 60, hexc(0x5A5028), hexc(0xDCC67E), 0.4f, 0.95f, 1.5f);
  for (int i = 0; i < 8; i++)
    img_leaf(g, g.w * rng_range(r, 0.25f, 0.75f), g.h * rng_range(r, 0.05f, 0.3f), g.h * 0.14f, g.h * 0.05f,
             -PI / 2 + rng_range(r, -0.4f, 0.4f), hexc(0xC8B070));
  if (!save(w, g, "textures/grass_dry.png")) return false;
  g = img_new(256 / d, 128 / d);
  paint_blades(g, r, 40, hexc(0x2A521A), hexc(0x8AB048), 0.35f, 0.8f, 1.6f);
  paint_flowers(g, r, 11);
  if (!save(w, g, "textures/flowers.png")) return false;
  g = img_new(256 / d, 128 / d);
  paint_fern(g, r);
  if (!save(w, g, "textures/fern.png")) return false;
  g = img_new(256 / d, 128 / d);
  paint_blades(g, r, 28, hexc(0x6A7A60), hexc(0xEEF4F4), 0.3f, 0.8f, 1.3f);
  if (!save(w, g, "textures/grass_snow.png")) return false;
  image snag = img_new(128 / d, 256 / d);
  paint_snag(snag, r);
  if (!save(w, snag, "textures/snag.png")) return false;
  return stone_textures_write(w);
}
