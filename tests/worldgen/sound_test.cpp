// World generator tests: the footsteps and the ambient loop decode, are audible, loop cleanly, and the grounds sound apart.
#include <gtest/gtest.h>
#include <vorbis/vorbisfile.h>

#include <cmath>
#include <cstring>
#include <map>

#include "wg_check.h"

class WorldSounds : public ::testing::Test {
 protected:
  static std::string top;
  static void SetUpTestSuite() {
    top = wg_tempdir();
    ASSERT_EQ(wg_run("--preset tiny --seed 3 " + top + "/w"), 0);
  }
  static void TearDownTestSuite() { wg_rmtree(top); }
};
std::string WorldSounds::top;

TEST_F(WorldSounds, FootstepsAreShortAudibleMonoPcm) {
  int n = 0;
  for (auto &f : wg_list_files(top + "/w")) {
    if (f.size() < 4 || f.compare(f.size() - 4, 4, ".wav")) continue;
    SCOPED_TRACE(f);
    auto b = wg_read(top + "/w/" + f);
    ASSERT_GT(b.size(), 44u);
    EXPECT_EQ(b[22], 1) << "mono";
    EXPECT_EQ(b[34], 16) << "16-bit";
    uint32_t rate = b[24] | b[25] << 8 | b[26] << 16;
    uint32_t bytes = b[40] | b[41] << 8 | b[42] << 16 | (uint32_t)b[43] << 24;
    ASSERT_EQ(bytes + 44, b.size());
    double secs = bytes / 2.0 / rate, peak = 0;
    for (size_t i = 44; i + 1 < b.size(); i += 2) peak = std::fmax(peak, std::fabs((int16_t)(b[i] | b[i + 1] << 8) / 32768.0));
    EXPECT_GT(secs, 0.15);
    EXPECT_LT(secs, 0.6) << "a step must end before the next one (600 ms)";
    EXPECT_GT(peak, 0.3);
    EXPECT_LT(peak, 0.99) << "no clipping";
    n++;
  }
  EXPECT_GE(n, 8);
}

TEST_F(WorldSounds, AmbientLoopDecodesAndJoinsItsEnds) {
  OggVorbis_File vf;
  ASSERT_EQ(ov_fopen((top + "/w/sounds/ambient.ogg").c_str(), &vf), 0);
  vorbis_info *vi = ov_info(&vf, -1);
  EXPECT_EQ(vi->channels, 2);
  const long rate = vi->rate;  // vi dies with ov_clear
  std::vector<float> left;
  float **pcm;
  int bs;
  long got;
  while ((got = ov_read_float(&vf, &pcm, 4096, &bs)) > 0) left.insert(left.end(), pcm[0], pcm[0] + got);
  ov_clear(&vf);
  ASSERT_GT(left.size(), (size_t)rate * 2);
  double rms = 0, step = 0;
  for (size_t i = 1; i < left.size(); i++) rms += left[i] * left[i], step += std::fabs(left[i] - left[i - 1]);
  rms = std::sqrt(rms / left.size());
  step /= left.size() - 1;
  EXPECT_GT(rms, 0.02) << "audible";
  // the jump from the last sample back to the first is no louder than an ordinary step
  EXPECT_LT(std::fabs(left.front() - left.back()), 6 * step + 0.02);
}

// Each ground has its own sound, not one noise burst for all: gravel's stones knock brightest,
// snow's crunch is the dullest, grass and leaf litter lie between. Brightness here is the mean
// sample-to-sample change over the mean level, a rough spectral centroid.
TEST_F(WorldSounds, GroundsDifferInBrightness) {
  std::map<std::string, double> mean;
  for (const char *g : {"grass", "forest", "gravel", "snow"}) {
    int n = 0;
    for (int i = 1; i <= 3; i++) {
      auto b = wg_read(top + "/w/sounds/step_" + g + "_" + std::to_string(i) + ".wav");
      ASSERT_GT(b.size(), 1000u) << g << i;
      double level = 0, change = 0, last = 0;
      for (size_t k = 44; k + 1 < b.size(); k += 2) {
        double v = (int16_t)(b[k] | b[k + 1] << 8);
        level += std::fabs(v), change += std::fabs(v - last), last = v;
      }
      mean[g] += change / level;
      n++;
    }
    mean[g] /= n;
  }
  EXPECT_LT(mean["snow"], 0.8 * std::min(mean["grass"], mean["forest"]));
  EXPECT_GT(mean["gravel"], 1.15 * std::max(mean["grass"], mean["forest"]));
}
