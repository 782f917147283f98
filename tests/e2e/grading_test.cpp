// Colour grading and weather as the player sees them: screenshots with the table in their corner,
// key 0, a table made from a screenshot, the glide between regions' tables, rain and snow.
#include "fixture.h"

#include <cmath>
#include <filesystem>
#include <regex>

namespace {

namespace fs = std::filesystem;

enum { TW = 256, TH = 16 }; // the table in the corner of a screenshot

image corner(const image &img) {
  return img_make(TW, TH, [&](int x, int y) { return img_pixel(img, x, y); });
}

// Largest channel difference between two tables.
int table_distance(const image &a, const image &b) {
  int d = 0;
  for (size_t i = 0; i < a.rgb.size(); i++) d = std::max(d, std::abs(a.rgb[i] - b.rgb[i]));
  return d;
}

using grading = game_test;

// The tiny world starts on a warm meadow (the default table) looking north. Here the ground a
// few steps ahead becomes the pine forest's open ground, whose table is "mine.bmp": the test
// makes it from the ungraded screenshot, as an artist would, before walking there.
TEST_F(grading, screenshots_key_0_a_table_from_a_screenshot_and_the_glide_between_regions) {
  ASSERT_TRUE(game_edit(&g, "brushes", "clut:clut/misty.bmp", "clut:mine.bmp"));
  ASSERT_TRUE(file_write(game_data_path(&g, "mine.bmp"), file_read(game_data_path(&g, "clut/misty.bmp")))); // read at loading
  image map;
  ASSERT_TRUE(img_load_bmp(game_data_path(&g, "objmap.bmp"), &map) && map.w == 64);
  // z < 6 (the start is at z 10): open pine ground without items
  ASSERT_TRUE(img_write(img_make(64, map.h, [&](int x, int y) { return y < 38 ? 0x1F5F40 : img_pixel(map, x, y); }),
                        game_data_path(&g, "objmap.bmp")));

  start_running();
  walk(150); // a step: the intro sway stops
  image graded, plain, settled;
  ASSERT_TRUE(game_screenshot(&g, &graded)) << game_report(&g);
  ASSERT_TRUE(game_key(&g, "0"));
  // key 0: the identity in the corner
  const struct {
    int x, y;
    uint32_t rgb;
  } identity[] = {{0, 0, 0x000000}, {15, 0, 0xFF0000}, {240, 0, 0x0000FF}, {255, 15, 0xFFFFFF}, {15, 15, 0xFFFF00}};
  auto ungraded = [&] {
    bool all = game_screenshot(&g, &plain);
    for (auto &p : identity) all = all && img_pixel(plain, p.x, p.y) == p.rgb;
    return all;
  };
  EXPECT_TRUE(proc_until(ungraded, 5000)) << "no identity table in the corner";
  ASSERT_EQ(plain.w, 854);
  ASSERT_EQ(plain.h, 480);
  // and the scene without the meadow's warmth
  image warm = corner(graded), id = corner(plain);
  EXPECT_GT(table_distance(warm, id), 20) << "the meadow's table hardly differs from the identity";
  double g_mean[3], p_mean[3];
  img_mean(graded, 0, TH, graded.w, graded.h, g_mean);
  img_mean(plain, 0, TH, plain.w, plain.h, p_mean);
  EXPECT_LT(g_mean[2], p_mean[2] - 5) << "the warm meadow is no warmer than the ungraded scene";

  // the artist's table: the ungraded screenshot cut to its corner, saved with 24 bits
  ASSERT_TRUE(img_write(id, game_data_path(&g, "mine.bmp")));
  // the walk waits for the reload: a glide begun toward the old table would turn when it comes
  ASSERT_TRUE(game_wait_output(&g, "mine.bmp changed: reload took ", 5000)) << game_report(&g);
  ASSERT_TRUE(game_key(&g, "0")); // grading on again
  // walk into the pines for 2.5 s, taking screenshots as fast as they come, for 6 s after the
  // walk: on a loaded machine (a checked build, tests in parallel) a shot can take two
  // seconds, so the glide may show in one shot only
  ASSERT_EQ(proc_run({"xdotool", "mousedown", "1"}, 5000), 0);
  long long walk_end = proc_now_ms() + 2500;
  bool walking = true;
  std::vector<int> left; // distance of the displayed table from the artist's, shot by shot
  for (long long end = walk_end + 6000; proc_now_ms() < end && left.size() < 60;) {
    image shot;
    ASSERT_TRUE(game_screenshot(&g, &shot)) << game_report(&g);
    left.push_back(table_distance(corner(shot), id));
    if (walking && proc_now_ms() >= walk_end) walking = proc_run({"xdotool", "mouseup", "1"}, 5000) != 0;
  }
  if (walking) proc_run({"xdotool", "mouseup", "1"}, 5000);
  int start = table_distance(warm, id), between = 0;
  for (size_t i = 0; i < left.size(); i++) {
    between += left[i] > start / 20 && left[i] < start * 19 / 20;
    EXPECT_LE(left[i], left[i ? i - 1 : 0]) << "the glide turned back";
  }
  EXPECT_GE(between, 1) << "no glide: " << testing::PrintToString(left); // a snap shows none
  auto arrived = [&] { return game_screenshot(&g, &settled) && table_distance(corner(settled), id) <= 1; };
  EXPECT_TRUE(proc_until(arrived, 10000)) << "the table made from the screenshot is not the one shown";

  // a window too small for the table: a warning and no file
  ASSERT_TRUE(game_resize(&g, 200, 600));
  fs::remove(g.dir + "/screenshot.bmp");
  ASSERT_TRUE(game_key(&g, "p"));
  EXPECT_TRUE(game_wait_output(&g, ": clut doesn't fit in the screeshot\n", 5000, true)) << game_report(&g);
  EXPECT_FALSE(fs::exists(g.dir + "/screenshot.bmp"));
  quit_cleanly();
}

// Rain streaks: columns at least five rows high, brighter than the pixels three to either side.
bool streak(const image &img, int x, int y) {
  auto sum = [&](int x, int y) { return (img_pixel(img, x, y) >> 16) + (img_pixel(img, x, y) >> 8 & 255) + (img_pixel(img, x, y) & 255); };
  for (int k = -2; k <= 2; k++)
    if ((int)(sum(x, y + k) - sum(x - 3, y + k)) < 4 || (int)(sum(x, y + k) - sum(x + 3, y + k)) < 4) return false;
  return true;
}

// Snow flakes: whitish pixels well above the ring of pixels three away.
bool speck(const image &img, int x, int y) {
  auto sum = [&](int x, int y) { return int((img_pixel(img, x, y) >> 16) + (img_pixel(img, x, y) >> 8 & 255) + (img_pixel(img, x, y) & 255)); };
  int ring = 0;
  for (int dy = -3; dy <= 3; dy += 3)
    for (int dx = -3; dx <= 3; dx += 3) ring += dx || dy ? sum(x + dx, y + dy) : 0;
  uint32_t p = img_pixel(img, x, y);
  int lo = std::min({p >> 16, p >> 8 & 255, p & 255}), hi = std::max({p >> 16, p >> 8 & 255, p & 255});
  return sum(x, y) * 8 - ring > 8 * 60 && lo > 140 && hi - lo < 70;
}

// Mean difference of two pictures over a rectangle, all channels.
double mean_diff(const image &a, const image &b, int x0, int y0, int x1, int y1) {
  double d = 0;
  for (int y = y0; y < y1; y++)
    for (int x = x0; x < x1; x++)
      for (int c = 0; c < 3; c++) d += std::abs(a.rgb[((size_t)y * a.w + x) * 3 + c] - b.rgb[((size_t)y * b.w + x) * 3 + c]);
  return d / ((x1 - x0) * (y1 - y0) * 3);
}

struct weather_case {
  const char *weather;
  bool (*mark)(const image &, int, int);
  long least;
};

void PrintTo(const weather_case &c, std::ostream *os) { *os << c.weather; }

class weather : public game_test, public testing::WithParamInterface<weather_case> {};

// Weather against a clear sky: the brushes lose their objects, so nothing but the falling rain
// or snow stands out against the smooth sky above the horizon. Until the player moves, the logo
// stands over the picture in the window, never in a screenshot.
TEST_P(weather, falls_where_the_player_looks_and_the_logo_stays_out_of_screenshots) {
  ASSERT_TRUE(game_use_world(&g, std::string("--preset tiny --weather ") + GetParam().weather));
  ASSERT_TRUE(game_own_data(&g, "brushes"));
  std::string brushes = file_read(game_data_path(&g, "brushes"));
  ASSERT_TRUE(file_write(game_data_path(&g, "brushes"), std::regex_replace(brushes, std::regex("\n[A-Za-z_]+(?=\n)"), "")));
  start_running();
  image shot, window;
  long marks = 0;
  auto falling = [&] {
    if (!game_screenshot(&g, &shot)) return false;
    marks = 0; // the start looks level at the horizon, in the middle of the picture
    for (int y = TH + 7; y < shot.h * 3 / 8 - 3; y++)
      for (int x = 3; x < shot.w - 3; x++) marks += GetParam().mark(shot, x, y);
    return marks > GetParam().least;
  };
  EXPECT_TRUE(proc_until(falling, 5000)) << marks << " marks of " << GetParam().weather << " in the sky";
  img_save(shot, g.dir + "/sky");
  ASSERT_TRUE(game_capture(&g, "window", &window));
  ASSERT_TRUE(window.w == shot.w && window.h == shot.h);
  double logo = mean_diff(window, shot, 171, 60, 683, 170), beside = mean_diff(window, shot, 0, 60, 160, 170);
  EXPECT_GT(logo, beside + 3) << "logo " << logo << ", beside it " << beside;
  quit_cleanly();
}

INSTANTIATE_TEST_SUITE_P(worlds, weather, testing::Values(weather_case{"rain", streak, 1000}, weather_case{"snow", speck, 40}),
                         [](const testing::TestParamInfo<weather_case> &i) { return std::string(i.param.weather); });

} // namespace
