// World generator: the colour tables (a 256 x 16 grading table per look: warm, lush, misty, cold).
#include <cmath>

#include "wg_world.h"

struct look {
  const char *file;
  float sat, contrast, lift;   // saturation, contrast round mid grey, black level
  float mul[3], add[3];        // per-channel gain and offset
  float shadow_tint[3];        // added in the shadows only
};

static const look g_looks[] = {
    {"clut/warm.bmp", 1.08f, 1.05f, 0.0f, {1.05f, 1.01f, 0.90f}, {0.01f, 0.005f, 0}, {0.01f, 0.0f, -0.01f}},
    {"clut/lush.bmp", 1.2f, 1.04f, 0.0f, {0.97f, 1.04f, 0.98f}, {0, 0.005f, 0}, {-0.01f, 0.015f, 0.02f}},
    {"clut/misty.bmp", 0.8f, 0.84f, 0.07f, {0.95f, 0.98f, 1.02f}, {0, 0.01f, 0.03f}, {0.0f, 0.01f, 0.03f}},
    {"clut/cold.bmp", 0.86f, 1.07f, 0.0f, {0.93f, 0.99f, 1.07f}, {0, 0.005f, 0.015f}, {0, 0.005f, 0.025f}},
};

static void grade(const look &l, const float in[3], float out[3]) {
  float y = 0.2126f * in[0] + 0.7152f * in[1] + 0.0722f * in[2];
  for (int c = 0; c < 3; c++) {
    float v = y + (in[c] - y) * l.sat;
    v = 0.5f + (v - 0.5f) * l.contrast;
    v = l.lift + v * (1 - l.lift);
    v = v * l.mul[c] + l.add[c] + l.shadow_tint[c] * (1 - y) * (1 - y);
    out[c] = clampf(v, 0, 1);
  }
}

bool cluts_write(wg_world &w) {
  for (const auto &l : g_looks) {
    // column x, row y: red x % 16, green y, blue x / 16
    std::vector<uint8_t> rgb(256 * 16 * 3);
    for (int y = 0; y < 16; y++)
      for (int x = 0; x < 256; x++) {
        float in[3] = {(x % 16) / 15.0f, y / 15.0f, (x / 16) / 15.0f}, out[3];
        grade(l, in, out);
        for (int c = 0; c < 3; c++) rgb[((size_t)y * 256 + x) * 3 + c] = (uint8_t)std::lround(out[c] * 255);
      }
    if (!wg_save_bmp(w, 256, 16, rgb, l.file)) return false;
  }
  return true;
}
