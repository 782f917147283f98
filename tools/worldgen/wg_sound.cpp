// World generator: the ambient loop of wind and birds (Ogg Vorbis), and the sounds step that also writes the footsteps.
#include <vorbis/vorbisenc.h>

#include <cmath>
#include <cstring>

#include "wg_audio.h"
#include "wg_world.h"

using namespace wga;

// Gust strength 0.15 .. 1 at loop position t (0..1): whole numbers of periods, so it loops.
static float gust(float t, const float ph[5]) {
  static const float k[5] = {1, 2, 3, 5, 8}, a[5] = {0.35f, 0.3f, 0.2f, 0.1f, 0.05f};
  float g = 0;
  for (int i = 0; i < 5; i++) g += a[i] * std::sin(TWO_PI * k[i] * t + ph[i]);
  return clampf(0.58f + 0.55f * g, 0.15f, 1);
}

// Wind: a low rumble, a band of air rushing whose pitch rises with each gust, and leaves
// rustling in the strong gusts. The tail past the loop end is cross-faded over the head.
static void wind(std::vector<float> &L, std::vector<float> &R, int n, wg_rng &r) {
  int pad = RATE / 2;
  float ph[5];
  for (float &p : ph) p = rng_range(r, 0, TWO_PI);
  float lp1 = 0, lp2 = 0, flutter = 0;
  biquad body, rustle = highpass(1800, 0.6f), rustle_top = lowpass(7000);
  std::vector<float> wl(n + pad), wr(n + pad);
  for (int i = 0; i < n + pad; i++) {
    float g = gust((float)(i % n) / n, ph);
    if (i % 64 == 0) {
      biquad b = bandpass(260 + 380 * g, 0.8f);
      b.x1 = body.x1, b.x2 = body.x2, b.y1 = body.y1, b.y2 = body.y2;
      body = b;
    }
    float x = white(r);
    lp1 += 0.03f * (x - lp1);
    lp2 += 0.03f * (lp1 - lp2);
    // leaves: a faint hiss that comes and goes in flurries
    flutter += 0.002f * (white(r) - flutter);
    float flurry = clampf(flutter * 30, 0, 1);
    float leaves = rustle_top.run(rustle.run(white(r))) * flurry * flurry;
    float v = g * (lp2 * 2.4f + body.run(x) * 0.35f) + g * g * leaves * 0.06f;
    wl[i] = v;
    wr[i] = g * lp2 * 2.4f * 0.9f + (v - g * lp2 * 2.4f) * (0.7f + 0.3f * std::sin(TWO_PI * i / n * 3));
  }
  for (int i = 0; i < n; i++) {
    float l = wl[i], rr = wr[i];
    if (i < pad) {  // sample n continues sample n - 1
      l = mixf(wl[n + i], l, (float)i / pad);
      rr = mixf(wr[n + i], rr, (float)i / pad);
    }
    L[i] = l, R[i] = rr;
  }
}

// One whistled note of a bird: a glide from f0 to f1 with a little vibrato and its octave,
// wrapping round the loop.
static void note(std::vector<float> &L, std::vector<float> &R, int n, int at, float secs, float f0, float f1,
                 float amp, float pan, float vib_hz, float vib) {
  int len = (int)(secs * RATE);
  float ph = 0;
  for (int i = 0; i < len; i++) {
    float t = (float)i / len;
    float f = mixf(f0, f1, t * t * (3 - 2 * t)) * (1 + vib * std::sin(TWO_PI * vib_hz * i / RATE));
    ph += TWO_PI * f / RATE;
    float env = std::sin(3.14159f * std::pow(t, 0.7f));
    float octave = 2 * f < RATE * 0.45f ? 0.15f * std::sin(2 * ph) : 0;  // none above the top of the band
    float v = amp * env * env * (std::sin(ph) + octave);
    int j = (at + i) % n;
    L[j] += v * (1 - pan), R[j] += v * pan;
  }
}

// Three kinds of bird: a two-note call repeated ("tee-chu tee-chu"), a trill of quick falling
// chirps that runs down the scale, and a slow fluting phrase.
static void bird(std::vector<float> &L, std::vector<float> &R, int n, wg_rng &r) {
  int at = rng_int(r, n);
  float pan = rng_range(r, 0.1f, 0.9f), amp = rng_range(r, 0.06f, 0.17f);
  switch (rng_int(r, 3)) {
    case 0: {
      float hi = rng_range(r, 5200, 6400), lo = hi * rng_range(r, 0.62f, 0.72f);
      for (int k = 2 + rng_int(r, 3); k > 0; k--) {
        note(L, R, n, at, 0.075f, hi, hi * 0.94f, amp, pan, 0, 0);
        at += (int)(0.11f * RATE);
        note(L, R, n, at, 0.09f, lo, lo * 0.97f, amp * 0.9f, pan, 0, 0);
        at += (int)(rng_range(r, 0.15f, 0.2f) * RATE);
      }
      break;
    }
    case 1: {
      float f = rng_range(r, 4800, 6200);
      for (int k = 8 + rng_int(r, 6); k > 0; k--, f *= 0.965f) {
        note(L, R, n, at, 0.04f, f, f * 0.72f, amp, pan, 0, 0);
        at += (int)(0.065f * RATE);
      }
      note(L, R, n, at + (int)(0.03f * RATE), 0.16f, f * 1.3f, f * 0.8f, amp * 1.1f, pan, 24, 0.04f);  // the flourish
      break;
    }
    default: {
      float f = rng_range(r, 1900, 2700);
      for (int k = 3 + rng_int(r, 3); k > 0; k--) {
        float next = f * rng_range(r, 0.85f, 1.2f), secs = rng_range(r, 0.14f, 0.3f);
        note(L, R, n, at, secs, f, next, amp * 1.2f, pan, 6, 0.012f);
        at += (int)((secs + rng_range(r, 0.04f, 0.12f)) * RATE);
        f = clampf(next, 1600, 3400);
      }
    }
  }
}

static void ambient(std::vector<float> &L, std::vector<float> &R, int n, wg_rng &r) {
  wind(L, R, n, r);
  int calls = (int)(n / (float)RATE / 2.2f) + 1;
  for (int c = 0; c < calls; c++) bird(L, R, n, r);
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
  if (!steps_write(w)) return false;
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
