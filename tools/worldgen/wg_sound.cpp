// World generator: synthesised footsteps (WAV) per ground and the ambient wind-and-birds loop (Ogg Vorbis).
#include <vorbis/vorbisenc.h>

#include <cmath>
#include <cstring>

#include "wg_world.h"

static const int RATE = 22050;
static const float TWO_PI = 6.2831853f;

// RBJ band-pass biquad (constant peak gain)
struct biquad {
  float b0, b1, b2, a1, a2, x1 = 0, x2 = 0, y1 = 0, y2 = 0;
  float run(float x) {
    float y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
    x2 = x1, x1 = x, y2 = y1, y1 = y;
    return y;
  }
};
static biquad bandpass(float f, float q) {
  float w = TWO_PI * f / RATE, al = std::sin(w) / (2 * q), a0 = 1 + al;
  biquad b;
  b.b0 = al / a0, b.b1 = 0, b.b2 = -al / a0, b.a1 = -2 * std::cos(w) / a0, b.a2 = (1 - al) / a0;
  return b;
}

static float white(wg_rng &r) { return rng_float(r) * 2 - 1; }

// One short grain: a decaying band-passed noise burst added at `at` seconds.
static void grain(std::vector<float> &s, wg_rng &r, float at, float len, float f, float q, float amp) {
  biquad b = bandpass(f, q);
  int i0 = (int)(at * RATE), n = (int)(len * RATE);
  for (int i = 0; i < n && i0 + i < (int)s.size(); i++)
    s[i0 + i] += amp * b.run(white(r)) * std::exp(-5.0f * i / n);
}

static void thud(std::vector<float> &s, float at, float f, float amp) {
  int i0 = (int)(at * RATE);
  for (int i = 0; i < RATE / 10 && i0 + i < (int)s.size(); i++)
    s[i0 + i] += amp * std::sin(TWO_PI * f * i / RATE) * std::exp(-i / (0.018f * RATE));
}

enum ground { G_GRASS, G_FOREST, G_GRAVEL, G_SNOW };

static std::vector<float> footstep(ground g, wg_rng &r) {
  std::vector<float> s((size_t)(0.42f * RATE), 0);
  float heel = rng_range(r, 0.0f, 0.01f), toe = heel + rng_range(r, 0.07f, 0.11f);
  switch (g) {
    case G_GRASS:  // a soft swish of blades under the sole
      for (float at : {heel, toe}) {
        grain(s, r, at, 0.16f, rng_range(r, 2600, 3600), 0.6f, at == heel ? 0.7f : 0.5f);
        grain(s, r, at + 0.02f, 0.2f, rng_range(r, 5000, 6500), 0.8f, 0.25f);
      }
      thud(s, heel, 85, 0.25f);
      break;
    case G_FOREST:  // leaf litter and the odd twig
      for (float at : {heel, toe}) grain(s, r, at, 0.2f, rng_range(r, 1400, 2000), 0.7f, 0.55f);
      for (int i = 0; i < 14; i++)
        grain(s, r, heel + rng_range(r, 0, 0.22f), 0.012f, rng_range(r, 1800, 4200), 2.0f, rng_range(r, 0.3f, 0.9f));
      thud(s, heel, 70, 0.45f);
      break;
    case G_GRAVEL:  // many small stones shifting
      for (int i = 0; i < 110; i++) {
        float at = (rng_float(r) < 0.55f ? heel : toe) + 0.12f * std::pow(rng_float(r), 2.0f);
        grain(s, r, at, rng_range(r, 0.003f, 0.008f), rng_range(r, 1500, 5500), 3.0f, rng_range(r, 0.2f, 0.7f));
      }
      thud(s, heel, 95, 0.35f);
      break;
    case G_SNOW:  // packed crystals crunching
      for (int i = 0; i < 260; i++) {
        float at = heel + 0.24f * std::sqrt(rng_float(r));
        grain(s, r, at, rng_range(r, 0.002f, 0.005f), rng_range(r, 900, 2600), 1.6f, rng_range(r, 0.15f, 0.5f));
      }
      thud(s, heel, 60, 0.3f);
      break;
  }
  float peak = 1e-6f;
  for (float v : s) peak = std::fmax(peak, std::fabs(v));
  for (float &v : s) v *= 0.8f / peak;
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

// Wind in the grass with birds calling; every event wraps round the loop, so the seam is silent.
static void ambient(std::vector<float> &L, std::vector<float> &R, int n, wg_rng &r) {
  int pad = RATE / 2;  // the tail past the loop end is cross-faded over the head
  float lp1 = 0, lp2 = 0, hp = 0;
  std::vector<float> wind(n + pad);
  for (int i = 0; i < n + pad; i++) {
    float t = (float)(i % n) / n;
    float gust = 0.55f + 0.3f * std::sin(TWO_PI * t * 2) + 0.15f * std::sin(TWO_PI * t * 5 + 1.3f);
    float x = white(r);
    float k = 0.02f + 0.03f * gust;
    lp1 += k * (x - lp1);
    lp2 += k * (lp1 - lp2);
    hp += 0.2f * (x - hp);
    wind[i] = (lp2 * 3.2f + (x - hp) * 0.02f * gust) * gust;
  }
  for (int i = 0; i < n; i++) {
    float v = wind[i];
    if (i < pad) v = mixf(wind[n + i], v, (float)i / pad);  // sample n continues sample n - 1
    L[i] = v * 0.9f, R[i] = v * (0.8f + 0.1f * std::sin(TWO_PI * i / n));
  }
  int calls = (int)(n / (float)RATE / 1.6f) + 1;
  for (int c = 0; c < calls; c++) {
    int start = rng_int(r, n);
    float pan = rng_range(r, 0.15f, 0.85f), amp = rng_range(r, 0.04f, 0.12f);
    float base = rng_range(r, 2600, 4600);
    int notes = 2 + rng_int(r, 5);
    int at = start;
    for (int k = 0; k < notes; k++) {
      int len = (int)(rng_range(r, 0.05f, 0.13f) * RATE);
      float f0 = base * rng_range(r, 0.85f, 1.15f), f1 = f0 * rng_range(r, 0.8f, 1.4f), ph = 0;
      for (int i = 0; i < len; i++) {
        float t = (float)i / len;
        float f = mixf(f0, f1, t) * (1 + 0.03f * std::sin(TWO_PI * 38 * i / RATE));
        ph += TWO_PI * f / RATE;
        float env = std::sin(3.14159f * t);
        float v = amp * env * env * (std::sin(ph) + 0.2f * std::sin(2 * ph));
        int j = (at + i) % n;
        L[j] += v * (1 - pan), R[j] += v * pan;
      }
      at += len + (int)(rng_range(r, 0.03f, 0.1f) * RATE);
    }
  }
}

static bool ogg_bytes(const std::vector<float> &L, const std::vector<float> &R, uint32_t serial,
                      std::vector<uint8_t> &out) {
  vorbis_info vi;
  vorbis_info_init(&vi);
  if (vorbis_encode_init_vbr(&vi, 2, RATE, 0.3f) != 0) {
    wg_error = "the Vorbis encoder refused its settings";
    return false;
  }
  vorbis_comment vc;
  vorbis_comment_init(&vc);
  vorbis_comment_add_tag(&vc, "TITLE", "Velder ambience");
  vorbis_dsp_state vd;
  vorbis_block vb;
  vorbis_analysis_init(&vd, &vi);
  vorbis_block_init(&vd, &vb);
  ogg_stream_state os;
  ogg_stream_init(&os, (int)serial);
  ogg_packet h0, h1, h2;
  vorbis_analysis_headerout(&vd, &vc, &h0, &h1, &h2);
  ogg_stream_packetin(&os, &h0);
  ogg_stream_packetin(&os, &h1);
  ogg_stream_packetin(&os, &h2);
  ogg_page og;
  auto put = [&](ogg_page &p) {
    out.insert(out.end(), p.header, p.header + p.header_len);
    out.insert(out.end(), p.body, p.body + p.body_len);
  };
  while (ogg_stream_flush(&os, &og)) put(og);
  size_t n = L.size(), pos = 0;
  bool eos = false;
  while (!eos) {
    size_t chunk = n - pos < 1024 ? n - pos : 1024;
    if (chunk == 0) {
      vorbis_analysis_wrote(&vd, 0);
    } else {
      float **buf = vorbis_analysis_buffer(&vd, (int)chunk);
      memcpy(buf[0], &L[pos], chunk * sizeof(float));
      memcpy(buf[1], &R[pos], chunk * sizeof(float));
      vorbis_analysis_wrote(&vd, (int)chunk);
      pos += chunk;
    }
    while (vorbis_analysis_blockout(&vd, &vb) == 1) {
      vorbis_analysis(&vb, nullptr);
      vorbis_bitrate_addblock(&vb);
      ogg_packet op;
      while (vorbis_bitrate_flushpacket(&vd, &op)) {
        ogg_stream_packetin(&os, &op);
        while (ogg_stream_pageout(&os, &og)) {
          put(og);
          if (ogg_page_eos(&og)) eos = true;
        }
      }
    }
  }
  ogg_stream_clear(&os);
  vorbis_block_clear(&vb);
  vorbis_dsp_clear(&vd);
  vorbis_comment_clear(&vc);
  vorbis_info_clear(&vi);
  return true;
}

bool sounds_write(wg_world &w) {
  const char *names[4] = {"grass", "forest", "gravel", "snow"};
  for (int g = 0; g < 4; g++)
    for (int i = 1; i <= w.P->step_sounds; i++) {
      std::string rel = std::string("sounds/step_") + names[g] + "_" + std::to_string(i) + ".wav";
      wg_rng r = rng_make(w.seed, rel.c_str());
      if (!wg_save_bytes(w, rel, wav_bytes(footstep((ground)g, r)))) return false;
    }
  int n = (int)(w.P->ambient_seconds * RATE);
  std::vector<float> L(n), R(n);
  wg_rng r = rng_make(w.seed, "ambient");
  ambient(L, R, n, r);
  float peak = 1e-6f;
  for (int i = 0; i < n; i++) peak = std::fmax(peak, std::fmax(std::fabs(L[i]), std::fabs(R[i])));
  for (int i = 0; i < n; i++) L[i] *= 0.6f / peak, R[i] *= 0.6f / peak;
  std::vector<uint8_t> ogg;
  if (!ogg_bytes(L, R, wg_hash((uint32_t)w.seed, 0x4F67), ogg)) return false;
  return wg_save_bytes(w, "sounds/ambient.ogg", ogg);
}
