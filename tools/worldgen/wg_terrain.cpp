// World generator: the landscape (hills, valley, ridge), its painted regions, landmarks and start pose.
#include <cmath>
#include <cstring>

#include "wg_world.h"

// Layout in normalised coordinates (x and z in [-1, 1] over the terrain square).
static const float START_NZ = 0.30f;  // start position, on a gentle rise looking north (-z)
static const float RIDGE_NZ = -0.62f; // the ridge crosses the north of the map
static const float VALLEY_NZ = -0.18f;

struct landmark_plan {
  const char *object, *plot;
  uint32_t color;
  const char *filler;
  wg_region host;
  float nx, nz;      // wanted position (nz < -5: on the ridge crest at nx)
  float keep_r;      // radius (normalised) painted with the host region
};
static const landmark_plan g_plan[] = {
    {"Runestone", "runestone_plot", 0xFF2020, "pebbles", R_MEADOW, 0, 99, 0.05f},
    {"Old_Watchtower", "watchtower_plot", 0xFFD020, "pebbles", R_ROCKY, 0.14f, -10, 0.05f},
    {"Dolmen", "dolmen_plot", 0xFF8020, "pebbles", R_FLOWERS, -0.48f, 0.22f, 0.13f},
    {"Elder_Tree", "elder_plot", 0xC02080, "pebbles", R_BROADLEAF, 0.52f, 0.02f, 0.22f},
};

static float raw_height(float nx, float nz, uint32_t s) {
  // rolling hills at two scales, with some crests sharpened
  float h = 0.30f * fbm2(nx * 1.6f, nz * 1.6f, 3, s + 1);
  h += 0.14f * fbm2(nx * 4.0f, nz * 4.0f, 5, s + 2);
  h += 0.10f * ridged2(nx * 2.2f + 3, nz * 2.2f, 3, s + 7);
  // the ridge: a wandering crest with craggy shoulders
  float rz = RIDGE_NZ + 0.07f * std::sin(nx * 2.3f + 0.7f) + 0.04f * fbm2(nx * 2, 3.1f, 2, s + 3);
  float d = (nz - rz) / 0.16f;
  float crest = std::exp(-d * d);
  h += crest * (0.34f + 0.1f * fbm2(nx * 2.5f, 0.5f, 3, s + 4) + 0.2f * ridged2(nx * 4, nz * 4, 4, s + 5));
  // a broad valley between the start and the ridge
  float dv = (nz - VALLEY_NZ - 0.05f * std::sin(nx * 3.1f)) / 0.2f;
  h -= 0.16f * std::exp(-dv * dv);
  // the rim closes the world in with hills
  float e = std::fmax(std::fabs(nx), std::fabs(nz));
  h += smooth01(0.72f, 1.0f, e) * (0.24f + 0.1f * fbm2(nx * 3, nz * 3, 3, s + 6));
  // a rise under the start position, so the first view looks out over the valley
  float sx = nx, sz = nz - START_NZ;
  h += 0.16f * std::exp(-(sx * sx + sz * sz) / 0.03f);
  return h;
}

struct hm_ctx {
  wg_world *w;
  uint32_t s;
};

static void hm_row(int r, void *p) {
  hm_ctx *c = (hm_ctx *)p;
  int n = c->w->P->hm_size;
  for (int col = 0; col < n; col++)
    c->w->height[(size_t)r * n + col] = raw_height(col * 2.0f / (n - 1) - 1, r * 2.0f / (n - 1) - 1, c->s);
}

float world_height(const wg_world &w, float x, float z) {
  int n = w.P->hm_size;
  float u = clampf((x / w.P->tn_sz + 0.5f) * (n - 1), 0, (float)(n - 1));
  float v = clampf((z / w.P->tn_sz + 0.5f) * (n - 1), 0, (float)(n - 1));
  int x0 = (int)u, y0 = (int)v;
  int x1 = x0 + 1 < n ? x0 + 1 : x0, y1 = y0 + 1 < n ? y0 + 1 : y0;
  float tx = u - x0, ty = v - y0;
  const float *h = w.height.data();
  float a = mixf(h[(size_t)y0 * n + x0], h[(size_t)y0 * n + x1], tx);
  float b = mixf(h[(size_t)y1 * n + x0], h[(size_t)y1 * n + x1], tx);
  return mixf(a, b, ty) * w.P->hm_maxy;
}

// 1 on the open ground round the start and in the cone of its first view (north), 0 elsewhere.
static float start_view(float nx, float nz) {
  float dsx = nx, dsz = nz - START_NZ, ds = std::sqrt(dsx * dsx + dsz * dsz);
  float k = 1 - smooth01(0.14f, 0.2f, ds);
  if (dsz < 0) {
    float off = std::fabs(dsx) / -dsz;  // tangent of the angle off the view line
    k = std::fmax(k, (1 - smooth01(0.4f, 0.6f, off)) * (1 - smooth01(0.5f, 0.62f, ds)));
  }
  return k;
}

// Soft region weights at a world position; the object map samples them, the terrain texture blends them.
void region_weights(const wg_world &w, float x, float z, float wt[R_COUNT]) {
  float sz = w.P->tn_sz, nx = x / sz * 2, nz = z / sz * 2;
  uint32_t s = (uint32_t)w.seed;
  float h = world_height(w, x, z) / w.P->hm_maxy;
  float e = sz / 400.0f;  // slope probe of about one unit in the default world
  float gx = (world_height(w, x + e, z) - world_height(w, x - e, z)) / (2 * e);
  float gz = (world_height(w, x, z + e) - world_height(w, x, z - e)) / (2 * e);
  float slope = std::sqrt(gx * gx + gz * gz);  // rise per unit
  float hp = h + 0.035f * fbm2(nx * 9, nz * 9, 3, s + 11);
  float moist = fbm2(nx * 2.2f, nz * 2.2f, 4, s + 12) + 0.25f * (0.5f - h);
  float flow = fbm2(nx * 3.0f + 5, nz * 3.0f - 2, 3, s + 13);
  float t_snow = smooth01(0.70f, 0.74f, hp);
  float t_rock = std::fmax(smooth01(0.57f, 0.61f, hp), smooth01(0.75f, 0.95f, slope));
  float t_pine = smooth01(0.45f, 0.49f, hp);
  float t_wood = smooth01(0.02f, 0.10f, moist);
  float t_flow = smooth01(0.12f, 0.2f, flow);
  float rest = 1;
  wt[R_SNOW] = t_snow, rest *= 1 - t_snow;
  wt[R_ROCKY] = rest * t_rock, rest *= 1 - t_rock;
  wt[R_PINE] = rest * t_pine, rest *= 1 - t_pine;
  wt[R_BROADLEAF] = rest * t_wood, rest *= 1 - t_wood;
  wt[R_FLOWERS] = rest * t_flow;
  wt[R_MEADOW] = rest * (1 - t_flow);
  // painted areas: open meadow and flowers round the start and down the view to the north,
  // then each landmark's surroundings in its host region
  float k = start_view(nx, nz);
  for (int i = 0; i < R_COUNT; i++) wt[i] *= 1 - k;
  wt[R_FLOWERS] += k * t_flow;
  wt[R_MEADOW] += k * (1 - t_flow);
  for (const auto &lm : w.landmarks) {
    float lx = lm.x / sz * 2, lz = lm.z / sz * 2;
    float r = 0;
    for (const auto &p : g_plan)
      if (strcmp(p.object, lm.object) == 0) r = p.keep_r;
    float d = std::sqrt((nx - lx) * (nx - lx) + (nz - lz) * (nz - lz));
    float kk = 1 - smooth01(r * 0.7f, r, d);
    for (int i = 0; i < R_COUNT; i++) wt[i] *= 1 - kk;
    wt[lm.host] += kk;
  }
}

static void place_landmarks(wg_world &w) {
  const wg_preset &P = *w.P;
  float cell = P.tn_sz / P.objmap_size, half = P.tn_sz / 2;
  // landmarks and the start sit on pixel corners: a plot is the 2 x 2 pixels round its corner, so the
  // spawn pass finds a plot pixel even when rounding moves a pixel's corner lookup to its neighbour
  auto snap = [&](float v) { return std::round((v + half) / cell) * cell - half; };
  w.start_x = snap(0);
  w.start_z = snap(START_NZ * half);
  float ahead = P.tn_sz >= 200 ? 16.0f : 7.5f;
  for (const auto &p : g_plan) {
    wg_landmark lm{p.object, p.plot, p.color, p.filler, p.host, 0, 0};
    if (p.nz > 5) {
      lm.x = w.start_x;
      lm.z = w.start_z - ahead;
    } else if (p.nz < -5) {  // highest point of the ridge at this x
      lm.x = p.nx * half;
      float best = -1;
      for (float nz = -0.9f; nz < -0.35f; nz += 0.005f) {
        float h = world_height(w, lm.x, nz * half);
        if (h > best) best = h, lm.z = nz * half;
      }
    } else {
      lm.x = p.nx * half;
      lm.z = p.nz * half;
    }
    lm.x = snap(lm.x);
    lm.z = snap(lm.z);
    w.landmarks.push_back(lm);
  }
}

struct omap_ctx {
  wg_world *w;
};

static void omap_row(int r, void *p) {
  wg_world &w = *((omap_ctx *)p)->w;
  const wg_preset &P = *w.P;
  int n = P.objmap_size;
  float cell = P.tn_sz / n, half = P.tn_sz / 2, area = cell * cell;
  uint32_t s = (uint32_t)w.seed;
  for (int c = 0; c < n; c++) {
    float x = (c + 0.5f) * cell - half, z = (r + 0.5f) * cell - half;
    float wt[R_COUNT];
    region_weights(w, x, z, wt);
    // stochastic choice between neighbouring regions makes the borders interleave
    float u = (wg_hash((uint32_t)c, (uint32_t)r, s + 21) >> 8) / 16777216.0f, acc = 0;
    int reg = R_COUNT - 1;
    for (int i = 0; i < R_COUNT; i++) {
      acc += wt[i];
      if (u < acc) {
        reg = i;
        break;
      }
    }
    float clump = clampf(1 + 0.9f * fbm2(x / 25, z / 25, 3, s + 22), 0.05f, 2.0f);
    float pr = g_regions[reg].items_per_100m2 / 100 * area * P.density_mul * clump;
    pr *= 1 - 0.7f * start_view(x / half, z / half);  // few trees in the way of the first view
    float v = (wg_hash((uint32_t)c, (uint32_t)r, s + 23) >> 8) / 16777216.0f;
    uint8_t sp = v < pr;
    // keep the start and the way to the first landmark clear: tree crowns reach 6 units out
    float dx = x - w.start_x, dz = z - w.start_z, clear = std::fmin(14.0f, P.tn_sz * 0.1f);
    if (std::sqrt(dx * dx + dz * dz) < clear || (std::fabs(dx) < clear * 0.5f && dz < 0 && dz > -2.5f * clear)) sp = 0;
    w.region[(size_t)r * n + c] = (uint8_t)reg;
    w.spawn[(size_t)r * n + c] = sp;
  }
}

bool terrain_generate(wg_world &w) {
  const wg_preset &P = *w.P;
  int n = P.hm_size;
  w.height.assign((size_t)n * n, 0);
  hm_ctx hc{&w, (uint32_t)w.seed * 7 + 1};
  wg_parallel_rows(n, hm_row, &hc);
  float lo = 1e9f, hi = -1e9f;
  for (float h : w.height) lo = std::fmin(lo, h), hi = std::fmax(hi, h);
  for (float &h : w.height) h = 0.02f + 0.96f * (h - lo) / (hi - lo);
  place_landmarks(w);
  int m = P.objmap_size;
  w.region.assign((size_t)m * m, 0);
  w.spawn.assign((size_t)m * m, 0);
  omap_ctx oc{&w};
  wg_parallel_rows(m, omap_row, &oc);
  float cell = P.tn_sz / m, half = P.tn_sz / 2;
  for (size_t i = 0; i < w.landmarks.size(); i++) {
    int c = (int)std::lround((w.landmarks[i].x + half) / cell), r = (int)std::lround((w.landmarks[i].z + half) / cell);
    for (int pr = r - 1; pr <= r; pr++)
      for (int pc = c - 1; pc <= c; pc++) {
        w.region[(size_t)pr * m + pc] = (uint8_t)(R_COUNT + i);
        w.spawn[(size_t)pr * m + pc] = 1;
      }
    // the Elder Tree stands in a clearing wide enough to see its crown
    if (strcmp(w.landmarks[i].object, "Elder_Tree") == 0) {
      int rad = (int)(std::fmin(18.0f, P.tn_sz * 0.06f) / cell);
      for (int dr = -rad; dr <= rad; dr++)
        for (int dc = -rad; dc <= rad; dc++)
          if (dr * dr + dc * dc <= rad * rad && r + dr >= 0 && r + dr < m && c + dc >= 0 && c + dc < m &&
              w.region[(size_t)(r + dr) * m + c + dc] < R_COUNT)
            w.spawn[(size_t)(r + dr) * m + c + dc] = 0;
    }
  }
  size_t items = 0, per[R_COUNT] = {0};
  for (size_t i = 0; i < w.spawn.size(); i++)
    if (w.spawn[i]) items++, per[w.region[i] < R_COUNT ? w.region[i] : 0]++;
  wg_progress("  %zu of %d object map pixels spawn (about %zu world items)", items, m * m, items);
  for (int i = 0; i < R_COUNT; i++) wg_progress("    %-16s %zu", g_regions[i].name, per[i]);
  w.start_y = world_height(w, w.start_x, w.start_z);
  w.start_yaw = 0;
  w.start_pitch = P.tn_sz >= 200 ? 3 : 0;
  return true;
}
