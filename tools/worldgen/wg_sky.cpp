// World generator: the sky box (blue sky with drifting cloud banks over a hazy horizon) and its environment set.
#include <cmath>

#include "wg_world.h"

static const col4 HORIZON = {0.74f, 0.80f, 0.85f, 1};  // also the fog colour: distant land melts into it
static const col4 ZENITH = {0.27f, 0.48f, 0.80f, 1};
static const col4 GROUND = {0.31f, 0.36f, 0.22f, 1};   // what the environment map shows below the horizon
static const float SUN[3] = {0, 0.788f, -0.616f};      // high over the north (-z)

struct face_def {
  const char *name;
  int flip_z;  // the sky cube reads its faces with x mirrored (z faces, bottom) or z mirrored (x faces, top)
};
// front = -z, right = +x, back = +z, left = -x, top = +y, bottom = -y
static const face_def g_faces[6] = {{"front", 0}, {"right", 1}, {"back", 0}, {"left", 1}, {"top", 1}, {"bottom", 0}};

// World direction seen through pixel (a, b) of face f, a and b in [-1, 1] left-right and top-bottom.
static void face_dir(int f, float a, float b, float d[3]) {
  float l[3];
  switch (f) {  // the cube map lookup direction of each face's pixel
    case 0: l[0] = -a, l[1] = -b, l[2] = -1; break;
    case 1: l[0] = 1, l[1] = -b, l[2] = -a; break;
    case 2: l[0] = a, l[1] = -b, l[2] = 1; break;
    case 3: l[0] = -1, l[1] = -b, l[2] = a; break;
    case 4: l[0] = a, l[1] = 1, l[2] = b; break;
    default: l[0] = a, l[1] = -1, l[2] = -b; break;
  }
  d[0] = g_faces[f].flip_z ? l[0] : -l[0];
  d[1] = l[1];
  d[2] = g_faces[f].flip_z ? -l[2] : l[2];
  float n = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
  d[0] /= n, d[1] /= n, d[2] /= n;
}

static col4 sky_colour(const float d[3], uint32_t seed, bool env) {
  float e = d[1];
  float sun = clampf(d[0] * SUN[0] + d[1] * SUN[1] + d[2] * SUN[2], 0, 1);
  col4 c;
  if (e >= 0) {
    c = cmix(HORIZON, ZENITH, std::pow(e, 0.6f));
    float glow = 0.22f * std::pow(sun, 10) + 0.5f * std::pow(sun, 300);
    c = cmix(c, hexc(0xFFF4DC), clampf(glow, 0, 1));
    // clouds on a flat layer overhead, fading into the haze toward the horizon
    float k = 1.0f / (e + 0.12f);
    float px = d[0] * k, pz = d[2] * k;
    float oct = env ? 2 : 6;
    float n = fbm2(px * 0.9f, pz * 0.9f, (int)oct, seed + 41);
    float cov = smooth01(0.02f, 0.42f, n + 0.12f * fbm2(px * 0.2f, pz * 0.2f, 2, seed + 42));
    cov *= smooth01(0.03f, 0.3f, e) * (env ? 0.6f : 1.0f);
    // lit from the sun side: sample the layer a step toward the sun
    float n2 = fbm2(px * 0.9f - 0.08f * SUN[0], pz * 0.9f - 0.08f * SUN[2], (int)oct, seed + 41);
    float lit = clampf(0.75f + 1.6f * (n - n2) + 0.25f * sun, 0.55f, 1.1f);
    col4 cloud = cmix(hexc(0x9AA4B4), hexc(0xFFFFFF), clampf(lit - 0.1f, 0, 1));
    c = cmix(c, cloud, cov * 0.92f);
  } else {
    c = env ? cmix(HORIZON, GROUND, smooth01(0, 0.25f, -e)) : cmix(HORIZON, cscale(HORIZON, 0.92f), smooth01(0, 0.4f, -e));
  }
  return c;
}

struct face_ctx {
  image *im;
  int f;
  uint32_t seed;
  bool env;
};

static void face_row(int y, void *p) {
  face_ctx &c = *(face_ctx *)p;
  int n = c.im->w;
  for (int x = 0; x < n; x++) {
    float d[3];
    face_dir(c.f, (x + 0.5f) / n * 2 - 1, (y + 0.5f) / n * 2 - 1, d);
    col4 col = sky_colour(d, c.seed, c.env);
    // a breath of noise keeps the 8-bit gradient from banding
    float dith = ((wg_hash((uint32_t)x, (uint32_t)y, c.seed + (uint32_t)c.f) & 255) / 255.0f - 0.5f) / 255.0f;
    img_at(*c.im, x, y) = {col.r + dith, col.g + dith, col.b + dith, 1};
  }
}

bool sky_write(wg_world &w) {
  w.fog = HORIZON;
  w.zenith = ZENITH;
  for (int set = 0; set < 2; set++) {
    int n = set ? w.P->env_size : w.P->sky_size;
    for (int f = 0; f < 6; f++) {
      image im = img_new(n, n);
      face_ctx c{&im, f, (uint32_t)w.seed, set == 1};
      wg_parallel_rows(n, face_row, &c);
      std::string rel = std::string("skybox/") + (set ? "s_" : "") + g_faces[f].name + ".png";
      if (!wg_save_png(w, im, rel, true)) return false;
    }
  }
  return true;
}
