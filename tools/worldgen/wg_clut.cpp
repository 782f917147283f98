// World generator: the colour tables, one look per region (warm meadow, blooming flower field, lush
// wood, cool misty pines, cold upland, crisp snow), each a 24-bit 256 x 16 grading table.
#include <cmath>

#include "wg_world.h"

struct look {
  const char *file;
  float sat, contrast;   // saturation round the pixel's luminance; contrast round mid grey
  float gain[3];         // per-channel gain
  float shadows[3];      // added in the dark tones, fading out towards white
  float highlights[3];   // added in the bright tones, fading out towards black
};

// Names as the regions' brushes give them (g_regions).
static const look g_looks[] = {
    // late afternoon sun: golden highlights, warm shadows, a little richer colour
    {"clut/warm.bmp", 1.15f, 1.06f, {1.06f, 1.02f, 0.86f}, {0.025f, 0.008f, -0.02f}, {0.03f, 0.012f, -0.03f}},
    // soft and rosy: lifted violet shadows, low contrast, strong colour
    {"clut/bloom.bmp", 1.3f, 0.92f, {1.05f, 0.97f, 1.03f}, {0.05f, 0.0f, 0.06f}, {0.02f, -0.01f, 0.01f}},
    // deep saturated greens under the canopy, shadows towards teal
    {"clut/lush.bmp", 1.35f, 1.08f, {0.95f, 1.05f, 0.92f}, {-0.02f, 0.02f, 0.015f}, {0.0f, 0.015f, -0.02f}},
    // cool blue-green shade with a faint veil of mist in the darks
    {"clut/misty.bmp", 0.72f, 0.98f, {0.88f, 0.98f, 1.1f}, {0.02f, 0.05f, 0.08f}, {-0.02f, 0.0f, 0.03f}},
    // bare wind-swept upland: grey, hard contrast, a steel-blue cast
    {"clut/cold.bmp", 0.6f, 1.15f, {0.95f, 0.99f, 1.06f}, {0.0f, 0.01f, 0.04f}, {-0.01f, 0.0f, 0.02f}},
    // bright snow light: clean whites, blue shadows, crisp contrast
    {"clut/crisp.bmp", 0.9f, 1.14f, {1.02f, 1.05f, 1.1f}, {-0.03f, 0.0f, 0.07f}, {0.0f, 0.01f, 0.02f}},
};

static void grade(const look &l, const float in[3], float out[3]) {
  float y = 0.2126f * in[0] + 0.7152f * in[1] + 0.0722f * in[2];
  float dark = (1 - y) * (1 - y), bright = y * y;
  for (int c = 0; c < 3; c++) {
    float v = y + (in[c] - y) * l.sat;
    v = 0.5f + (v - 0.5f) * l.contrast;
    v = v * l.gain[c] + l.shadows[c] * dark + l.highlights[c] * bright;
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
