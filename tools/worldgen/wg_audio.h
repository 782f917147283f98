// World generator: the small signal toolkit the footsteps and the ambient loop are built from.
#pragma once
#include <cmath>
#include <vector>

#include "wg.h"

namespace wga {

const int RATE = 22050;
const float TWO_PI = 6.2831853f;

// RBJ biquads (direct form I)
struct biquad {
  float b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0, x1 = 0, x2 = 0, y1 = 0, y2 = 0;
  float run(float x) {
    float y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
    x2 = x1, x1 = x, y2 = y1, y1 = y;
    return y;
  }
};
inline biquad bq_make(float b0, float b1, float b2, float a0, float a1, float a2) {
  biquad b;
  b.b0 = b0 / a0, b.b1 = b1 / a0, b.b2 = b2 / a0, b.a1 = a1 / a0, b.a2 = a2 / a0;
  return b;
}
// band-pass with 0 dB peak
inline biquad bandpass(float f, float q) {
  float w = TWO_PI * fminf(f, RATE * 0.45f) / RATE, al = std::sin(w) / (2 * q);
  return bq_make(al, 0, -al, 1 + al, -2 * std::cos(w), 1 - al);
}
inline biquad lowpass(float f, float q = 0.7071f) {
  float w = TWO_PI * fminf(f, RATE * 0.45f) / RATE, al = std::sin(w) / (2 * q), c = std::cos(w);
  return bq_make((1 - c) / 2, 1 - c, (1 - c) / 2, 1 + al, -2 * c, 1 - al);
}
inline biquad highpass(float f, float q = 0.7071f) {
  float w = TWO_PI * f / RATE, al = std::sin(w) / (2 * q), c = std::cos(w);
  return bq_make((1 + c) / 2, -(1 + c), (1 + c) / 2, 1 + al, -2 * c, 1 - al);
}

inline float white(wg_rng &r) { return rng_float(r) * 2 - 1; }
// mostly small values, now and then a large one: the loudness of grains in a heap of stuff
inline float heavy(wg_rng &r, float p) { return std::pow(rng_float(r), p); }

inline void normalise(std::vector<float> &s, float peak_to) {
  float peak = 1e-6f;
  for (float v : s) peak = std::fmax(peak, std::fabs(v));
  for (float &v : s) v *= peak_to / peak;
}

}  // namespace wga

struct wg_world;
// the footsteps of every ground (wg_steps.cpp)
bool steps_write(wg_world &w);
