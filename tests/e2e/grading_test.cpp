// Colour grading and weather as the player sees them: screenshots with the table in their corner,
// key 0, a table made from a screenshot, the glide between regions' tables, rain and snow.
#include "fixture.h"
#include "proc.h"

#include <SDL.h>
#include <cmath>
#include <filesystem>
#include <regex>

namespace {

namespace fs = std::filesystem;

enum { TW = 256, TH = 16 }; // the table in the corner of a screenshot

// Presses P and waits for the whole new "screenshot.bmp".
bool screenshot(game *g, image *img) {
  std::string path = g->dir + "/screenshot.bmp";
  fs::remove(path);
  if (!game_key(g, "p")) return false;
  for (long long end = proc_now_ms() + 15000; proc_now_ms() < end; proc_sleep_ms(100))
    if (img_load_bmp(path, img)) return true; // a file still being written is too short to load
  return false;
}

std::vector<uint8_t> corner(const image &img) {
  std::vector<uint8_t> t(TW * TH * 3);
  for (int y = 0; y < TH; y++)
    for (int x = 0; x < TW * 3; x++) t[(y * TW) * 3 + x] = img.rgb[((size_t)y * img.w) * 3 + x];
  return t;
}

// Largest channel difference between two tables.
int table_distance(const std::vector<uint8_t> &a, const std::vector<uint8_t> &b) {
  int d = 0;
  for (size_t i = 0; i < a.size(); i++) d = std::max(d, std::abs(a[i] - b[i]));
  return d;
}

// A table as an artist saves it: 24 bits per pixel.
bool save_table(const std::string &path, const std::vector<uint8_t> &t) {
  SDL_Surface *s = SDL_CreateRGBSurfaceWithFormat(0, TW, TH, 24, SDL_PIXELFORMAT_RGB24);
  if (!s) return false;
  for (int y = 0; y < TH; y++) memcpy((uint8_t *)s->pixels + y * s->pitch, &t[y * TW * 3], TW * 3);
  bool ok = SDL_SaveBMP(s, path.c_str()) == 0;
  SDL_FreeSurface(s);
  return ok;
}

// The linked world file becomes a file of the run's own.
void own_copy(game *g, const std::string &name, const std::string &text) {
  std::string p = g->dir + "/data/" + name;
  fs::remove(p);
  file_write(p, text);
}

class grading : public game_test {
 protected:
  void SetUp() override {
    game_test::SetUp();
    if (!game_has_world()) GTEST_SKIP() << "velder-worldgen was not built; no world to load";
  }
};

// The tiny world starts on a warm meadow (the default table) looking north. Here the ground a
// few steps ahead becomes the pine forest's open ground, whose table is "mine.bmp": the test
// makes it from the ungraded screenshot, as an artist would, before walking there.
TEST_F(grading, screenshots_key_0_a_table_from_a_screenshot_and_the_glide_between_regions) {
  const std::string data = g.dir + "/data/";
  std::string brushes = std::regex_replace(file_read(data + "brushes"), std::regex("clut:clut/misty.bmp"), "clut:mine.bmp");
  own_copy(&g, "brushes", brushes);
  own_copy(&g, "mine.bmp", file_read(data + "clut/misty.bmp")); // a table must be there at loading
  SDL_Surface *map = SDL_LoadBMP((data + "objmap.bmp").c_str());
  ASSERT_TRUE(map && map->format->BytesPerPixel == 3 && map->w == 64) << SDL_GetError();
  for (int row = 0; row < 38; row++) // z < 6 (the start is at z 10), open ground without items
    for (int x = 0; x < map->w; x++) memcpy((uint8_t *)map->pixels + row * map->pitch + x * 3, "\x40\x5f\x1f", 3);
  fs::remove(data + "objmap.bmp");
  ASSERT_EQ(SDL_SaveBMP(map, (data + "objmap.bmp").c_str()), 0);
  SDL_FreeSurface(map);

  start_running();
  ASSERT_TRUE(game_click(&g, 400, 240));         // takes the mouse
  ASSERT_TRUE(game_click(&g, 400, 240, 1, 150)); // a step: the intro sway stops
  proc_sleep_ms(1000);
  image graded, plain;
  ASSERT_TRUE(screenshot(&g, &graded)) << game_report(&g);
  ASSERT_TRUE(game_key(&g, "0"));
  proc_sleep_ms(300);
  ASSERT_TRUE(screenshot(&g, &plain)) << game_report(&g);
  ASSERT_EQ(plain.w, 854);
  ASSERT_EQ(plain.h, 480);

  // key 0: the identity in the corner and the scene without the meadow's warmth
  const struct {
    int x, y;
    uint32_t rgb;
  } identity[] = {{0, 0, 0x000000}, {15, 0, 0xFF0000}, {240, 0, 0x0000FF}, {255, 15, 0xFFFFFF}, {15, 15, 0xFFFF00}};
  for (auto &p : identity) EXPECT_EQ(img_pixel(plain, p.x, p.y), p.rgb) << p.x << "," << p.y;
  std::vector<uint8_t> warm = corner(graded), id = corner(plain);
  EXPECT_GT(table_distance(warm, id), 20) << "the meadow's table hardly differs from the identity";
  double g_mean[3], p_mean[3];
  img_mean(graded, 0, TH, graded.w, graded.h, g_mean);
  img_mean(plain, 0, TH, plain.w, plain.h, p_mean);
  EXPECT_LT(g_mean[2], p_mean[2] - 5) << "the warm meadow is no warmer than the ungraded scene";

  // the artist's table: the ungraded screenshot cut to its corner, saved with 24 bits
  ASSERT_TRUE(save_table(data + "mine.bmp", id));
  ASSERT_TRUE(game_key(&g, "0")); // grading on again
  // walk into the pines for 2.5 s, taking screenshots all the while and after
  ASSERT_EQ(proc_run({"xdotool", "mousedown", "1"}, 5000), 0);
  long long walk_end = proc_now_ms() + 2500;
  bool walking = true;
  std::vector<int> left; // distance of the displayed table from the artist's, shot by shot
  // shots as fast as they come, for 6 s after the walk: on a loaded machine (a checked build, tests
  // in parallel) a shot can take two seconds, so the glide may show in one shot only
  for (long long end = walk_end + 6000; proc_now_ms() < end && left.size() < 60;) {
    image shot;
    ASSERT_TRUE(screenshot(&g, &shot)) << game_report(&g);
    left.push_back(table_distance(corner(shot), id));
    if (walking && proc_now_ms() >= walk_end) walking = proc_run({"xdotool", "mouseup", "1"}, 5000) != 0;
  }
  if (walking) proc_run({"xdotool", "mouseup", "1"}, 5000);
  proc_sleep_ms(5000);
  image settled;
  ASSERT_TRUE(screenshot(&g, &settled)) << game_report(&g);
  int start = table_distance(warm, id), between = 0;
  for (size_t i = 0; i < left.size(); i++) {
    between += left[i] > start / 20 && left[i] < start * 19 / 20;
    if (i) {
      EXPECT_LE(left[i], left[i - 1]) << "the glide turned back";
    }
  }
  EXPECT_GE(between, 1) << "no glide: " << testing::PrintToString(left); // a snap shows none
  EXPECT_LE(table_distance(corner(settled), id), 1) << "the table made from the screenshot is not the one shown";

  // a window too small for the table: a warning and no file
  ASSERT_TRUE(game_resize(&g, 200, 600));
  ASSERT_TRUE(game_wait_size(&g, 200, 600, 5000));
  proc_sleep_ms(500);
  fs::remove(g.dir + "/screenshot.bmp");
  ASSERT_TRUE(game_key(&g, "p"));
  EXPECT_TRUE(game_wait_output(&g, ": clut doesn't fit in the screeshot\n", 5000, true)) << game_report(&g);
  EXPECT_FALSE(fs::exists(g.dir + "/screenshot.bmp"));
  ASSERT_TRUE(game_key(&g, "Escape"));
  expect_clean_exit();
}

// Weather against a clear sky: the brushes lose their objects, so nothing but the falling
// rain or snow stands out against the smooth sky above the horizon.
struct weather_case {
  const char *weather;
  const char *count; // the parameter velder-worldgen sets for it
};

class weather : public grading, public testing::WithParamInterface<weather_case> {};

// Rain streaks: columns at least five rows high, brighter than the pixels three to either side.
long streak_pixels(const image &img, int y0, int y1) {
  auto sum = [&](int x, int y) {
    const uint8_t *p = &img.rgb[((size_t)y * img.w + x) * 3];
    return p[0] + p[1] + p[2];
  };
  long n = 0;
  for (int y = y0 + 2; y < y1 - 2; y++)
    for (int x = 3; x < img.w - 3; x++) {
      bool line = true;
      for (int k = -2; k <= 2 && line; k++) {
        int c = sum(x, y + k);
        line = c - sum(x - 3, y + k) >= 4 && c - sum(x + 3, y + k) >= 4;
      }
      n += line;
    }
  return n;
}

// Snow flakes: whitish pixels well above the ring of pixels three away.
long speck_pixels(const image &img, int y0, int y1) {
  auto at = [&](int x, int y, int c) { return (int)img.rgb[((size_t)y * img.w + x) * 3 + c]; };
  auto sum = [&](int x, int y) { return at(x, y, 0) + at(x, y, 1) + at(x, y, 2); };
  long n = 0;
  for (int y = y0 + 3; y < y1 - 3; y++)
    for (int x = 3; x < img.w - 3; x++) {
      int ring = sum(x - 3, y - 3) + sum(x, y - 3) + sum(x + 3, y - 3) + sum(x - 3, y) + sum(x + 3, y) +
                 sum(x - 3, y + 3) + sum(x, y + 3) + sum(x + 3, y + 3);
      int lo = std::min({at(x, y, 0), at(x, y, 1), at(x, y, 2)}), hi = std::max({at(x, y, 0), at(x, y, 1), at(x, y, 2)});
      n += sum(x, y) * 8 - ring > 8 * 60 && lo > 140 && hi - lo < 70;
    }
  return n;
}

// Mean difference of two pictures over a rectangle, all channels.
double mean_diff(const image &a, const image &b, int x0, int y0, int x1, int y1) {
  double d = 0;
  for (int y = y0; y < y1; y++)
    for (int x = x0; x < x1; x++)
      for (int c = 0; c < 3; c++) d += std::abs(a.rgb[((size_t)y * a.w + x) * 3 + c] - b.rgb[((size_t)y * b.w + x) * 3 + c]);
  return d / ((x1 - x0) * (y1 - y0) * 3);
}

TEST_P(weather, falls_where_the_player_looks) {
#ifndef E2E_WORLDGEN
  GTEST_SKIP() << "velder-worldgen was not built";
#else
  const weather_case &w = GetParam();
  std::string gen = g.dir + "/generated";
  ASSERT_EQ(proc_run({E2E_WORLDGEN, "--preset", "tiny", "--weather", w.weather, gen}, 120000), 0);
  std::smatch m;
  std::string cfg = file_read(gen + "/param.cfg");
  ASSERT_TRUE(std::regex_search(cfg, m, std::regex(std::string("\n") + w.count + " ([0-9]+)\n")));
  ASSERT_GT(std::stoi(m[1]), 0);
  game_param(&g, w.count + std::string(" ") + m[1].str());
  std::string brushes = file_read(g.dir + "/data/brushes");
  own_copy(&g, "brushes", std::regex_replace(brushes, std::regex("\n[A-Za-z_]+(?=\n)"), ""));

  start_running();
  proc_sleep_ms(1500);
  image shot;
  ASSERT_TRUE(screenshot(&g, &shot)) << game_report(&g);
  // the start looks level at the horizon, in the middle of the picture
  long streaks = streak_pixels(shot, TH + 4, shot.h * 3 / 8), specks = speck_pixels(shot, TH + 4, shot.h * 3 / 8);
  img_save(shot, g.dir + "/sky");
  // until the player moves, the logo stands over the picture in the window, never in a screenshot
  image window;
  ASSERT_TRUE(game_capture(&g, "window", &window));
  ASSERT_TRUE(window.w == shot.w && window.h == shot.h);
  double logo = mean_diff(window, shot, 171, 60, 683, 170), beside = mean_diff(window, shot, 0, 60, 160, 170);
  EXPECT_GT(logo, beside + 3) << "logo " << logo << ", beside it " << beside;
  if (std::string(w.weather) == "rain") {
    EXPECT_GT(streaks, 1000) << "no rain in the sky";
  } else {
    EXPECT_GT(specks, 40) << "no snow in the sky";
  }
  ASSERT_TRUE(game_key(&g, "Escape"));
  expect_clean_exit();
#endif
}

INSTANTIATE_TEST_SUITE_P(worlds, weather,
                         testing::Values(weather_case{"rain", "i_rain_ndroplets"}, weather_case{"snow", "i_snow_nflakes"}),
                         [](const testing::TestParamInfo<weather_case> &i) { return std::string(i.param.weather); });

} // namespace
