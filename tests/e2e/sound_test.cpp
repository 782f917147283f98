// Sound heard from outside: SDL's disk driver records the mix, in which the ambient loop plays
// alone while the player stands and footsteps join it at the walking pace.
#include "fixture.h"

#include <algorithm>
#include <cmath>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

using sound = game_test;

// One second of a 441 Hz sine (a whole number of periods, so it loops seamlessly), 16-bit mono.
std::string hum_wav(int amplitude) {
  std::string b = "RIFF";
  auto u32 = [&](uint32_t v) { for (int i = 0; i < 4; i++) b += (char)(v >> 8 * i); };
  auto u16 = [&](uint16_t v) { b += (char)v, b += (char)(v >> 8); };
  u32(36 + 44100);
  b += "WAVEfmt ";
  u32(16), u16(1), u16(1), u32(22050), u32(44100), u16(2), u16(16);
  b += "data";
  u32(44100);
  for (int i = 0; i < 22050; i++) u16((uint16_t)(int16_t)std::lround(amplitude * std::sin(2 * M_PI * 441 * i / 22050)));
  return b;
}

long long frames_written(const std::string &raw) { return (long long)(file_read(raw).size() / 4); } // 16-bit stereo

// RMS of the left channel in windows of 500 frames (ten periods of the hum), from frame a to b.
std::vector<double> window_rms(const std::string &pcm, long long a, long long b) {
  std::vector<double> out;
  const int16_t *s = (const int16_t *)pcm.data();
  b = std::min(b, (long long)(pcm.size() / 4));
  for (long long w = std::max(a, 0LL); w + 500 <= b; w += 500) {
    double sum = 0;
    for (long long i = w; i < w + 500; i++) sum += (double)s[2 * i] * s[2 * i];
    out.push_back(std::sqrt(sum / 500));
  }
  return out;
}

// Steps in a stretch: windows at least twice as loud as the hum, 350 ms apart at least.
std::vector<double> step_onsets(const std::vector<double> &rms, double hum) {
  std::vector<double> at;
  for (size_t i = 0; i < rms.size(); i++) {
    double t = i * 500 / 22050.0;
    if (rms[i] > 2 * hum && (at.empty() || t - at.back() > 0.35)) at.push_back(t);
  }
  return at;
}

// The ambient loop is replaced by a steady hum, so that whatever else sounds stands out.
TEST_F(sound, disk_output_has_steps_at_the_walking_pace_and_only_the_ambient_when_standing) {
  const int amplitude = 2400;
  ASSERT_TRUE(file_write(game_data_path(&g, "hum.wav"), hum_wav(amplitude)));
  game_param(&g, "s_ambient_loop hum.wav");
  std::string raw = g.dir + "/audio.raw";
  g.env = {"SDL_AUDIODRIVER=disk", "SDL_DISKAUDIOFILE=" + raw};
  // The loop plays at chunk volume 89: a sine of amplitude * 89 / 128.
  const double hum = amplitude * 89.0 / 128 / std::sqrt(2.0);
  // Over 1.5 s of mix written since, ending in 0.6 s of the hum alone: a step the game started
  // up to a slow frame after the input has rung out.
  auto settled = [&](long long since) {
    long long n = frames_written(raw);
    std::vector<double> tail = window_rms(file_read(raw), n - 13230, n);
    return n - since > 33075 && std::all_of(tail.begin(), tail.end(), [&](double v) { return std::fabs(v - hum) < hum * 0.03; });
  };
  start_running();
  ASSERT_TRUE(game_click(&g, 400, 240)); // takes the mouse (a held button may walk a step)
  long long clicked = frames_written(raw);
  EXPECT_TRUE(proc_until([&] { return settled(clicked); }, 10000)) << "no quiet after taking the mouse";
  long long stand0 = frames_written(raw);
  proc_sleep_ms(2500);
  long long walk0 = frames_written(raw);
  long long t0 = proc_now_ms();
  ASSERT_TRUE(game_click(&g, 400, 240, 1, 4000));
  double walk_secs = (proc_now_ms() - t0) / 1000.0;
  long long walk1 = frames_written(raw);
  EXPECT_TRUE(proc_until([&] { return settled(walk1); }, 10000)) << "no quiet after the walk";
  long long after0 = frames_written(raw);
  proc_sleep_ms(1000);
  long long stand1 = frames_written(raw);
  quit_cleanly();


  std::string pcm = file_read(raw);
  ASSERT_GT(walk0 - stand0, 22050) << "the disk driver wrote under a second in 2.5 s";
  std::vector<double> still = window_rms(pcm, stand0, walk0);
  std::vector<double> after = window_rms(pcm, after0, stand1);
  still.insert(still.end(), after.begin(), after.end());
  ASSERT_GT(still.size(), 50u);
  for (size_t i = 0; i < still.size(); i++) ASSERT_NEAR(still[i], hum, hum * 0.03) << "window " << i << " of standing";

  // Walking: the stretch written while the button was held, and the last step's tail.
  std::vector<double> walk = window_rms(pcm, walk0, walk1 + 6615);
  std::vector<double> at = step_onsets(walk, hum);
  std::string when;
  for (double t : at) when += " " + std::to_string(t).substr(0, 5);
  // a step every 600 ms of full input, later when the machine runs slow; the first at once
  EXPECT_GE(at.size(), (size_t)(walk_secs / 1.0)) << when;
  EXPECT_LE(at.size(), (size_t)(walk_secs / 0.6) + 1) << when;
  if (at.size() >= 3) {
    std::vector<double> gaps;
    for (size_t i = 1; i < at.size(); i++) gaps.push_back(at[i] - at[i - 1]);
    std::sort(gaps.begin(), gaps.end());
    double median = gaps[gaps.size() / 2];
    EXPECT_GT(median, 0.5) << when;
    EXPECT_LT(median, 1.0) << when;
  }
}

} // namespace
