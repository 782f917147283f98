// World generator: footsteps (16-bit mono WAV) on grass, leaf litter, gravel and snow.
//
// A step is two contacts, the heel and then the ball of the foot about a tenth of a second
// later. Each contact gives a dull thump of the sole (low-passed noise, not a tone) and the
// sound of what lies on the ground, made of many small grains whose kind, loudness spread and
// timing tell the grounds apart: soft overlapping swishes for grass, sharp crackles of very
// uneven loudness (and now and then a twig) for dry leaves, short ringing knocks of stones for
// gravel, and bursts of crunch that thicken as the foot presses for snow.
#include <cmath>

#include "wg_audio.h"
#include "wg_world.h"

using namespace wga;

enum ground { G_GRASS, G_FOREST, G_GRAVEL, G_SNOW };

static const float STEP_SECONDS = 0.42f;

static float log_range(wg_rng &r, float a, float b) { return a * std::pow(b / a, rng_float(r)); }

// The sole meeting the ground: noise low-passed twice at fc, a 2 ms rise and an exponential fall.
static void thud(std::vector<float> &s, wg_rng &r, float at, float fc, float decay, float amp) {
  biquad a = lowpass(fc, 0.8f), b = lowpass(fc, 0.6f);
  float gain = std::sqrt(RATE * 0.5f / fc) * 1.7f;  // the level white noise loses in the filters
  int i0 = (int)(at * RATE), n = (int)(decay * 7 * RATE);
  for (int i = 0; i < n && i0 + i < (int)s.size(); i++) {
    float t = (float)i / RATE;
    float env = t < 0.002f ? t / 0.002f : std::exp(-(t - 0.002f) / decay);
    s[i0 + i] += amp * gain * env * b.run(a.run(white(r)));
  }
}

// A burst of band-passed noise: rise over `attack` of its length, then an exponential fall.
static void grain(std::vector<float> &s, wg_rng &r, float at, float len, float f, float q, float amp,
                  float attack = 0.05f) {
  biquad b = bandpass(f, q);
  float gain = std::sqrt(RATE * 0.5f / (f / q));
  int i0 = (int)(at * RATE), n = (int)(len * RATE) + 1, rise = (int)(attack * n) + 1;
  for (int i = 0; i < n * 2 && i0 + i < (int)s.size(); i++) {  // twice: the filter rings on
    float env = i < rise ? (float)i / rise : std::exp(-4.0f * (i - rise) / n);
    s[i0 + i] += amp * gain * 0.5f * b.run(i < n ? env * white(r) : 0);
  }
}

// A hard little knock: a click through a narrow resonance that rings for Q / (pi f) seconds.
static void knock(std::vector<float> &s, wg_rng &r, float at, float f, float q, float amp) {
  biquad b = bandpass(f, q);
  float tau = q / (3.14159f * f);
  int i0 = (int)(at * RATE), n = (int)(tau * 6 * RATE) + 8;
  for (int i = 0; i < n && i0 + i < (int)s.size(); i++) s[i0 + i] += amp * q * 0.9f * b.run(i < 3 ? white(r) : 0);
}

static void grass(std::vector<float> &s, wg_rng &r, float heel, float ball) {
  thud(s, r, heel, 170, 0.028f, 0.4f);
  thud(s, r, ball, 210, 0.022f, 0.22f);
  // blades bent flat and brushing the shoe: a soft rustle of overlapping swishes
  for (float at : {heel, ball}) {
    float w = at == heel ? 1.0f : 0.8f;
    for (int i = 0; i < 70; i++) {
      float t = at + 0.17f * std::pow(rng_float(r), 1.6f);
      float fade = 1 - 0.6f * (t - at) / 0.17f;
      grain(s, r, t, rng_range(r, 0.008f, 0.02f), log_range(r, 1800, 6000), rng_range(r, 0.9f, 1.6f),
            w * fade * 0.27f * (0.3f + 0.7f * heavy(r, 1.5f)), 0.35f);
    }
  }
  // a few stalks snapping
  for (int i = 0; i < 8; i++)
    knock(s, r, heel + rng_range(r, 0.01f, 0.2f), log_range(r, 4500, 8000), 5, rng_range(r, 0.1f, 0.25f));
}

static void forest(std::vector<float> &s, wg_rng &r, float heel, float ball) {
  thud(s, r, heel, 130, 0.04f, 0.5f);  // soft soil under the litter
  thud(s, r, ball, 160, 0.03f, 0.35f);
  for (float at : {heel, ball}) {
    float w = at == heel ? 1.0f : 0.85f;
    // dry leaves crackling: very short sharp grains, most faint, a few loud
    for (int i = 0; i < 130; i++) {
      float t = at + 0.2f * std::pow(rng_float(r), 2.0f);
      float fade = 1 - 0.7f * (t - at) / 0.2f;
      grain(s, r, t, rng_range(r, 0.0005f, 0.003f), log_range(r, 1500, 7500), rng_range(r, 1.5f, 4),
            w * fade * 2.2f * heavy(r, 3), 0.02f);
    }
    // the litter crumpling underneath
    for (int i = 0; i < 25; i++)
      grain(s, r, at + 0.15f * rng_float(r), rng_range(r, 0.01f, 0.03f), log_range(r, 700, 2500), 1.2f,
            w * 0.12f * (0.3f + 0.7f * rng_float(r)), 0.3f);
  }
  // one step in two breaks a twig: a crack and a brief woody ring
  if (rng_float(r) < 0.5f) {
    float at = ball + rng_range(r, -0.02f, 0.03f), f = log_range(r, 900, 2000);
    knock(s, r, at, f, 14, 0.7f);
    knock(s, r, at + 0.0007f, f * rng_range(r, 2.2f, 2.9f), 10, 0.4f);
    grain(s, r, at, 0.002f, 4000, 0.7f, 0.6f, 0.01f);
  }
}

static void gravel(std::vector<float> &s, wg_rng &r, float heel, float ball) {
  thud(s, r, heel, 230, 0.018f, 0.3f);
  thud(s, r, ball, 260, 0.015f, 0.25f);
  for (float at : {heel, ball}) {
    float w = at == heel ? 1.0f : 0.9f;
    // stones knocking against each other: a dense burst, then the heap settling
    for (int i = 0; i < 150; i++) {
      float u = rng_float(r), t = at + 0.035f * u + 0.13f * u * u * u;
      knock(s, r, t, log_range(r, 2000, 9000), rng_range(r, 5, 16), w * 0.45f * heavy(r, 2.5f) * (1 - 0.5f * u));
    }
    // grit grinding under the stones
    for (int i = 0; i < 25; i++)
      grain(s, r, at + 0.09f * rng_float(r), rng_range(r, 0.01f, 0.025f), log_range(r, 400, 1500), 1.0f,
            w * 0.06f * rng_float(r), 0.3f);
  }
  for (int i = 0; i < 15; i++)
    knock(s, r, rng_range(r, ball + 0.12f, 0.36f), log_range(r, 2000, 7000), 10, 0.08f * heavy(r, 2));
}

static void snow(std::vector<float> &s, wg_rng &r, float heel, float ball) {
  thud(s, r, heel, 110, 0.035f, 0.3f);  // muffled: snow swallows the thump
  thud(s, r, ball, 130, 0.03f, 0.2f);
  for (float at : {heel, ball}) {
    float w = at == heel ? 1.0f : 0.9f, press = at == heel ? 0.13f : 0.16f;
    // crystals breaking as the snow packs: bursts of crunch, thickest in the middle of the press
    for (int i = 0; i < 75; i++) {
      float u = rng_float(r), t = at + press * 0.5f * (1 - std::cos(3.14159f * u));
      grain(s, r, t, rng_range(r, 0.003f, 0.012f), log_range(r, 700, 3000), rng_range(r, 1.2f, 2.5f),
            w * 0.35f * (0.25f + 0.75f * heavy(r, 1.5f)), 0.02f);
    }
    // and settling a little after the press, fainter
    for (int i = 0; i < 15; i++)
      grain(s, r, at + press * rng_range(r, 0.9f, 1.5f), rng_range(r, 0.003f, 0.01f), log_range(r, 700, 2500), 1.5f,
            w * 0.12f * rng_float(r), 0.02f);
  }
  // the squeak of cold snow: short buzzes of a few hundred pulses a second
  int squeaks = 3 + rng_int(r, 3);
  for (int k = 0; k < squeaks; k++) {
    float at = rng_range(r, heel + 0.03f, ball + 0.14f), f0 = rng_range(r, 500, 1100), len = rng_range(r, 0.01f, 0.025f);
    biquad b = bandpass(rng_range(r, 1300, 2200), 2);
    float ph = 0, amp = rng_range(r, 0.25f, 0.45f);
    int i0 = (int)(at * RATE), n = (int)(len * RATE);
    for (int i = 0; i < n * 2 && i0 + i < (int)s.size(); i++) {
      ph += f0 * (1 + 0.15f * (float)i / n) / RATE;
      float pulse = i < n ? ph - std::floor(ph) - 0.5f : 0;
      s[i0 + i] += amp * std::sin(3.14159f * std::fmin(1.0f, (float)i / n)) * b.run(pulse) * 3;
    }
  }
}

static std::vector<float> footstep(ground g, wg_rng &r) {
  std::vector<float> s((size_t)(STEP_SECONDS * RATE), 0);
  float heel = rng_range(r, 0.004f, 0.012f), ball = heel + rng_range(r, 0.085f, 0.125f);
  switch (g) {
    case G_GRASS: grass(s, r, heel, ball); break;
    case G_FOREST: forest(s, r, heel, ball); break;
    case G_GRAVEL: gravel(s, r, heel, ball); break;
    case G_SNOW: snow(s, r, heel, ball); break;
  }
  // softer grounds lose the top end; everything loses the rumble below the thump
  biquad top = lowpass(g == G_SNOW ? 5000.0f : g == G_GRASS ? 7000.0f : 9500.0f), low = highpass(45);
  for (float &v : s) v = low.run(top.run(v));
  int fade = RATE / 50;
  for (int i = 0; i < fade; i++) s[s.size() - 1 - i] *= (float)i / fade;
  normalise(s, 0.8f);
  return s;
}

static std::vector<uint8_t> wav_bytes(const std::vector<float> &s) {
  std::vector<uint8_t> b;
  auto p32 = [&](uint32_t v) { for (int i = 0; i < 4; i++) b.push_back((uint8_t)(v >> (8 * i))); };
  auto p16 = [&](uint16_t v) { b.push_back((uint8_t)v), b.push_back((uint8_t)(v >> 8)); };
  uint32_t data = (uint32_t)s.size() * 2;
  b.insert(b.end(), {'R', 'I', 'F', 'F'});
  p32(36 + data);
  b.insert(b.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
  p32(16), p16(1), p16(1), p32(RATE), p32(RATE * 2), p16(2), p16(16);
  b.insert(b.end(), {'d', 'a', 't', 'a'});
  p32(data);
  for (float v : s) p16((uint16_t)(int16_t)std::lround(clampf(v, -1, 1) * 32767));
  return b;
}

bool steps_write(wg_world &w) {
  const char *names[4] = {"grass", "forest", "gravel", "snow"};
  for (int g = 0; g < 4; g++)
    for (int i = 1; i <= w.P->step_sounds; i++) {
      std::string rel = std::string("sounds/step_") + names[g] + "_" + std::to_string(i) + ".wav";
      wg_rng r = rng_make(w.seed, rel.c_str());
      if (!wg_save_bytes(w, rel, wav_bytes(footstep((ground)g, r)))) return false;
    }
  return true;
}
