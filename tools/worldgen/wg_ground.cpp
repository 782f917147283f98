// World generator: writes the height map, the object map and the terrain texture painted to match it.
#include <cmath>

#include "shade.h"
#include "wg_world.h"

bool terrain_write(wg_world &w) {
  const wg_preset &P = *w.P;
  int n = P.hm_size;
  std::vector<uint8_t> rgb((size_t)n * n * 3);
  for (size_t i = 0; i < w.height.size(); i++) {
    // all 24 bits carry height: red the coarse part, green and blue the fine steps
    uint32_t v = (uint32_t)std::lround(clampf(w.height[i], 0, 1) * 16777215.0);
    rgb[i * 3] = (uint8_t)(v >> 16), rgb[i * 3 + 1] = (uint8_t)(v >> 8), rgb[i * 3 + 2] = (uint8_t)v;
  }
  if (!wg_save_bmp(w, n, n, rgb, "hm.bmp")) return false;

  int m = P.objmap_size;
  rgb.assign((size_t)m * m * 3, 0);
  for (size_t i = 0; i < w.region.size(); i++) {
    int reg = w.region[i];
    uint32_t c = reg >= R_COUNT ? w.landmarks[reg - R_COUNT].color
                                : (w.spawn[i] ? g_regions[reg].color : g_regions[reg].open_color);
    rgb[i * 3] = (uint8_t)(c >> 16), rgb[i * 3 + 1] = (uint8_t)(c >> 8), rgb[i * 3 + 2] = (uint8_t)c;
  }
  if (!wg_save_bmp(w, m, m, rgb, "objmap.bmp")) return false;
  return true;
}

struct tex_ctx {
  const wg_world *w;
  int T, G;                 // texture size, weight grid size
  int row0;                 // first texture row of the band being painted
  std::vector<float> wgrid; // G x G x R_COUNT
  image *out;
};

static void weight_row(int r, void *p) {
  tex_ctx &c = *(tex_ctx *)p;
  float sz = c.w->P->tn_sz;
  for (int i = 0; i < c.G; i++)
    region_weights(*c.w, (i + 0.5f) / c.G * sz - sz / 2, (r + 0.5f) / c.G * sz - sz / 2,
                   &c.wgrid[((size_t)r * c.G + i) * R_COUNT]);
}

static col4 ground_colour(int reg, float x, float z, float n1, float n2, float grain, uint32_t hs, float slope) {
  switch (reg) {
    case R_MEADOW: {
      col4 c = cmix(hexc(0x557F2A), hexc(0x7D9A3A), 0.5f + 0.5f * n1);
      return cscale(c, 0.9f + 0.15f * n2 + grain);
    }
    case R_FLOWERS: {
      col4 c = cscale(cmix(hexc(0x628A30), hexc(0x8AA444), 0.5f + 0.5f * n1), 0.92f + 0.12f * n2 + grain);
      uint32_t k = hs % 1000;
      if (k < 90) {
        static const uint32_t pal[] = {0xE070B0, 0xF4F0F8, 0xF0D040, 0x9070E0, 0xE04848};
        c = cmix(c, hexc(pal[(hs >> 12) % 5]), 0.4f);
      }
      return c;
    }
    case R_BROADLEAF: {
      // moss with drifts of last year's leaves
      col4 c = cmix(hexc(0x3E5A24), hexc(0x6A5634), 0.6f * smooth01(0.0f, 0.5f, n1 + 0.3f * n2));
      return cscale(c, 0.88f + 0.14f * n2 + grain);
    }
    case R_PINE: {
      col4 c = cmix(hexc(0x6A4E30), hexc(0x3E5230), smooth01(-0.3f, 0.3f, n1));
      return cscale(c, 0.82f + 0.14f * n2 + grain * 1.5f);
    }
    case R_ROCKY: {
      col4 rock = cmix(hexc(0x6E6C66), hexc(0x9A968C), 0.5f + 0.5f * n2);
      float crack = smooth01(0.0f, 0.08f, std::fabs(noise2(x * 0.7f, z * 0.7f, 99)));
      rock = cscale(rock, 0.65f + 0.35f * crack + grain);
      col4 turf = cmix(hexc(0x7D7A48), hexc(0x5E6B34), 0.5f + 0.5f * n2);
      return cmix(turf, rock, clampf(smooth01(-0.25f, 0.2f, n1) + slope * 0.6f, 0, 1));
    }
    default: {
      col4 snow = cmix(hexc(0xDCE4F0), hexc(0xFAFCFF), 0.5f + 0.5f * n2);
      snow = cscale(snow, 0.97f + grain * 0.5f);
      col4 rock = cscale(hexc(0x706E6C), 0.8f + 0.3f * n2);
      return cmix(snow, rock, smooth01(0.7f, 1.1f, slope + 0.2f * n1));
    }
  }
}

static void tex_row(int band_row, void *p) {
  tex_ctx &c = *(tex_ctx *)p;
  int r = c.row0 + band_row;
  const wg_world &w = *c.w;
  float sz = w.P->tn_sz, half = sz / 2, e = sz / c.T;
  uint32_t s = (uint32_t)w.seed;
  for (int i = 0; i < c.T; i++) {
    float x = (i + 0.5f) / c.T * sz - half, z = (r + 0.5f) / c.T * sz - half;
    float gu = clampf((i + 0.5f) / c.T * c.G - 0.5f, 0, c.G - 1.001f);
    float gv = clampf((r + 0.5f) / c.T * c.G - 0.5f, 0, c.G - 1.001f);
    int g0 = (int)gu, h0 = (int)gv;
    float tu = gu - g0, tv = gv - h0;
    float wt[R_COUNT];
    for (int k = 0; k < R_COUNT; k++) {
      auto at = [&](int a, int b) { return c.wgrid[((size_t)b * c.G + a) * R_COUNT + k]; };
      wt[k] = mixf(mixf(at(g0, h0), at(g0 + 1, h0), tu), mixf(at(g0, h0 + 1), at(g0 + 1, h0 + 1), tu), tv);
    }
    float hx = (world_height(w, x + e, z) - world_height(w, x - e, z)) / (2 * e);
    float hz = (world_height(w, x, z + e) - world_height(w, x, z - e)) / (2 * e);
    float slope = std::sqrt(hx * hx + hz * hz);
    float n1 = fbm2(x * 0.12f, z * 0.12f, 4, s + 31);
    float n2 = fbm2(x * 0.9f, z * 0.9f, 3, s + 32);
    uint32_t hs = wg_hash((uint32_t)i, (uint32_t)r, s + 33);
    float grain = ((hs & 255) / 255.0f - 0.5f) * 0.08f;
    col4 sum = {0, 0, 0, 1};
    for (int k = 0; k < R_COUNT; k++) {
      if (wt[k] < 0.004f) continue;
      col4 g = ground_colour(k, x, z, n1, n2, grain, hs >> 8, slope);
      sum.r += g.r * wt[k], sum.g += g.g * wt[k], sum.b += g.b * wt[k];
    }
    // the game does not light the ground: the light of the sun the sky shows is baked in
    float shade = shade_light(hx, hz, SHADE_SKY_DEFAULT, SHADE_SUN_DEFAULT);
    img_at(*c.out, i, r) = {sum.r * shade, sum.g * shade, sum.b * shade, 1};
  }
}

bool terrain_texture_write(wg_world &w) {
  tex_ctx c;
  c.w = &w;
  c.T = w.P->terrain_tex;
  c.G = c.T > 512 ? 512 : c.T;
  c.wgrid.assign((size_t)c.G * c.G * R_COUNT, 0);
  wg_parallel_rows(c.G, weight_row, &c);
  image im = img_new(c.T, c.T);
  c.out = &im;
  const int bands = 4;  // painted in bands so a long run shows its progress
  for (int b = 0; b < bands; b++) {
    c.row0 = c.T * b / bands;
    wg_parallel_rows(c.T * (b + 1) / bands - c.row0, tex_row, &c);
    if (c.T >= 1024) wg_progress("  terrain texture %d%%", (b + 1) * 100 / bands);
  }
  return wg_save_png(w, im, "terraintexture.png", false);
}
