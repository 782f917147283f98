// The world makers' pictures on a generated tiny world: a painted grey ground lit by velder-shade
// (brighter on slopes toward the sky's sun, darker on slopes away, the sun the sky shader's), and
// the map of velder-fly --map with every landmark marked where the game's own log placed it.
#include "../e2e/proc.h"
#include "fx/skybox.h"
#include "shade.h"
#include <SDL.h>
#include <SDL_image.h>
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <regex>
#include <string>

namespace fs = std::filesystem;

namespace {

std::string top, tiny; // the suite's folder and its tiny world

class makers : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    char tmpl[] = "/tmp/velder-makers-XXXXXX";
    top = mkdtemp(tmpl);
    tiny = top + "/tiny";
    ASSERT_EQ(proc_run({WORLDGEN_EXE, "--preset", "tiny", tiny}, 60000), 0);
  }
  static void TearDownTestSuite() { fs::remove_all(top); }
};

// A picture as RGB bytes, rows from the top.
struct rgb_image {
  int w = 0, h = 0;
  std::vector<uint8_t> px;
  const uint8_t *at(int x, int y) const { return &px[((size_t)y * w + x) * 3]; }
};
rgb_image load_rgb(const std::string &path) {
  rgb_image im;
  SDL_Surface *s = IMG_Load(path.c_str());
  if (!s) return im;
  SDL_Surface *c = SDL_ConvertSurfaceFormat(s, SDL_PIXELFORMAT_RGB24, 0);
  im.w = c->w, im.h = c->h;
  for (int y = 0; y < c->h; y++)
    im.px.insert(im.px.end(), (uint8_t *)c->pixels + (size_t)y * c->pitch, (uint8_t *)c->pixels + (size_t)y * c->pitch + c->w * 3);
  SDL_FreeSurface(c);
  SDL_FreeSurface(s);
  return im;
}

} // namespace

// The light baked into the ground comes from the sun the sky draws.
TEST(shade, SunIsTheSkys) {
  float sky[3], sun[3];
  skybox_sundir(sky);
  shade_sun(sun);
  float n = std::sqrt(sky[0] * sky[0] + sky[1] * sky[1] + sky[2] * sky[2]);
  for (int k = 0; k < 3; k++) EXPECT_NEAR(sun[k], -sky[k] / n, 0.001f) << k;
  EXPECT_FLOAT_EQ(shade_light(0, 0, SHADE_SKY_DEFAULT, SHADE_SUN_DEFAULT), 1); // flat ground keeps its colour
}

// A grey ground lit by the tiny world's height map: the slope that rises most steeply toward +z
// faces the sun (high in the north, -z) and is lighter than the grey, the one that falls most
// steeply is darker; the heights are read from hm.bmp here, not by the tool's code.
TEST_F(makers, ShadedSlopeIsDarkerAwayFromTheSun) {
  const int side = 64, grey = 160;
  SDL_Surface *g = SDL_CreateRGBSurfaceWithFormat(0, side, side, 24, SDL_PIXELFORMAT_RGB24);
  SDL_FillRect(g, nullptr, SDL_MapRGB(g->format, grey, grey, grey));
  ASSERT_EQ(IMG_SavePNG(g, (top + "/painted.png").c_str()), 0);
  SDL_FreeSurface(g);
  std::string out;
  ASSERT_EQ(proc_run({SHADE_EXE, tiny, top + "/painted.png", top + "/lit.png"}, 60000, &out), 0) << out;
  EXPECT_TRUE(std::regex_search(out, std::regex("^velder-shade: .*/lit.png: 64 x 64 RGB, lit by the height map"))) << out;
  // writing over the painted texture would light it twice at the next run
  EXPECT_EQ(proc_run({SHADE_EXE, tiny, top + "/painted.png", top + "/painted.png"}, 60000), 2);
  rgb_image lit = load_rgb(top + "/lit.png");
  ASSERT_EQ(lit.w, side);

  SDL_Surface *hm = SDL_ConvertSurfaceFormat(SDL_LoadBMP((tiny + "/hm.bmp").c_str()), SDL_PIXELFORMAT_RGB24, 0);
  ASSERT_TRUE(hm);
  auto height = [&](int x, int y) {
    const uint8_t *p = (const uint8_t *)hm->pixels + (size_t)y * hm->pitch + x * 3;
    return (double)(p[0] << 16 | p[1] << 8 | p[2]);
  };
  // rise per pixel toward +z, over the texel's height map pixels
  int best_x = 0, best_y = 0, worst_x = 0, worst_y = 0;
  double best = -1e30, worst = 1e30;
  for (int y = 2; y < side - 2; y++)
    for (int x = 2; x < side - 2; x++) {
      int hx = x * (hm->w - 1) / side, hy = y * (hm->h - 1) / side;
      double rise = height(hx, hy + 2) - height(hx, hy - 1);
      if (rise > best) best = rise, best_x = x, best_y = y;
      if (rise < worst) worst = rise, worst_x = x, worst_y = y;
    }
  SDL_FreeSurface(hm);
  ASSERT_GT(best, 0);
  ASSERT_LT(worst, 0);
  EXPECT_GT(lit.at(best_x, best_y)[0], grey + 8) << best_x << "," << best_y;
  EXPECT_LT(lit.at(worst_x, worst_y)[0], grey - 16) << worst_x << "," << worst_y;
  EXPECT_EQ(lit.at(worst_x, worst_y)[0], lit.at(worst_x, worst_y)[2]); // light, not colour
}

// The map of the tiny world: a picture of the ground (many colours, not black), the start marked
// at the start pose, and each landmark's red ring round the place the game's log names (with
// its coordinates negated, as the game prints them).
TEST_F(makers, MapMarksTheLandmarksWhereTheGamePlacedThem) {
  std::string log = top + "/map.txt", err = top + "/map-err.txt", png = top + "/map.png";
  pid_t pid = proc_spawn({"xvfb-run", "-a", "-s", "-screen 0 1280x1024x24", FLY_EXE, "--map", png, "--seed", "3", tiny},
                         SOURCE_DIR, log, err, {"SDL_AUDIODRIVER=dummy"});
  int status = 0;
  ASSERT_TRUE(proc_wait(pid, 120000, &status)) << file_read(err);
  ASSERT_EQ(proc_exit_code(status), 0) << file_read(log) << file_read(err);
  rgb_image map = load_rgb(png);
  ASSERT_EQ(map.w, 640) << file_read(err);
  ASSERT_GT(map.h, 640);

  double mean = 0;
  std::vector<bool> seen(1 << 15);
  size_t colours = 0;
  for (size_t i = 0; i + 2 < map.px.size(); i += 3) {
    mean += map.px[i] + map.px[i + 1] + map.px[i + 2];
    int c = map.px[i] >> 3 << 10 | map.px[i + 1] >> 3 << 5 | map.px[i + 2] >> 3;
    colours += !seen[c], seen[c] = true;
  }
  mean /= map.px.size();
  EXPECT_GT(mean, 40);
  EXPECT_GT(colours, 300u);

  const float size = 64, k = 640 / size; // the tiny world's edge; pixels a unit
  auto is = [&](int x, int y, int r, int g, int b) {
    const uint8_t *p = map.at(x, y);
    return std::abs(p[0] - r) < 40 && std::abs(p[1] - g) < 40 && std::abs(p[2] - b) < 40;
  };
  std::string printed = file_read(log);
  std::regex unique("unique '([A-Za-z_]+)' at (-?[0-9.]+),(-?[0-9.]+)");
  int marked = 0;
  for (std::sregex_iterator it(printed.begin(), printed.end(), unique), end; it != end; ++it, marked++) {
    float x = -std::stof((*it)[2]), z = -std::stof((*it)[3]);
    int px = (int)((x + size / 2) * k), py = (int)((z + size / 2) * k);
    SCOPED_TRACE((*it)[1].str());
    EXPECT_TRUE(is(px, py, 255, 255, 255)); // the white centre
    for (int d : {-6, 6}) EXPECT_TRUE(is(px + d, py, 255, 40, 40) && is(px, py + d, 255, 40, 40)) << px << "," << py;
    EXPECT_NE(printed.find("  " + (*it)[1].str() + " at x "), std::string::npos) << printed;
  }
  EXPECT_EQ(marked, 4) << printed;
  // the start pose: the tiny world's start, a white disc
  std::regex start("v3_camera_start_pos (-?[0-9.]+) [-0-9.]+ (-?[0-9.]+)");
  std::smatch m;
  std::string cfg = file_read(tiny + "/param.cfg");
  ASSERT_TRUE(std::regex_search(cfg, m, start));
  EXPECT_TRUE(is((int)((std::stof(m[1]) + size / 2) * k), (int)((std::stof(m[2]) + size / 2) * k) + 2, 255, 255, 255));
}
