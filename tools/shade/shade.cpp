// Light for the ground: the sky's sun and the hill shading of a height field.
#include "shade.h"
#include <cmath>

void shade_sun(float out[3]) {
  out[0] = 0;
  out[1] = 0.788f;
  out[2] = -0.616f;
}

float shade_light(float dhdx, float dhdz, float sky, float sun) {
  float s[3];
  shade_sun(s);
  // the surface normal is (-dhdx, 1, -dhdz); flat ground faces the sun by s[1]
  float n = std::sqrt(dhdx * dhdx + 1 + dhdz * dhdz);
  float d = (-dhdx * s[0] + s[1] - dhdz * s[2]) / n;
  float light = sky + sun * d / s[1];
  return light < 0.35f ? 0.35f : light > 1.15f ? 1.15f : light;
}

void shade_field(shade_height_fn height, void *ctx, float size, int w, int h, float step, float sky, float *out) {
  float du = step / size;
  for (int y = 0; y < h; y++)
    for (int x = 0; x < w; x++) {
      float u = (x + 0.5f) / w, v = (y + 0.5f) / h;
      float dx = (height(u + du, v, ctx) - height(u - du, v, ctx)) / (2 * step);
      float dz = (height(u, v + du, ctx) - height(u, v - du, ctx)) / (2 * step);
      out[(size_t)y * w + x] = shade_light(dx, dz, sky, 1 - sky);
    }
}
