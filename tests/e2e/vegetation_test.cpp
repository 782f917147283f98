// Grass and trees seen from outside: grass on both sides of a patch boundary, trunks and leaf
// cards under trees, tree files that end the loading.
#include "fixture.h"
#include "proc.h"
#include <SDL.h>
#include <SDL_image.h>
#include <functional>
#include <algorithm>
#include <cstring>
#include <regex>

namespace {

// Fraction of the pixels of rows y0..y1 that pass the test.
double fraction(const image &img, int y0, int y1, std::function<bool(int, int, int)> test) {
  long n = 0, hit = 0;
  for (int y = y0; y < y1; y++)
    for (int x = 0; x < img.w; x++, n++) {
      uint32_t p = img_pixel(img, x, y);
      hit += test(p >> 16, (p >> 8) & 255, p & 255);
    }
  return n ? (double)hit / n : 0;
}
bool magenta(int r, int g, int b) { return r > 100 && b > 100 && g < 70; }
bool red(int r, int g, int b) { return r > 120 && g < 60 && b < 60; }
bool yellow(int r, int g, int b) { return r > 120 && g > 120 && b < 60; }

// A PNG of w x h whose column x has the colour colour(x) (0xAARRGGBB).
void save_columns(const std::string &path, int w, int h, std::function<uint32_t(int)> colour) {
  SDL_Surface *s = SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, SDL_PIXELFORMAT_ARGB8888);
  for (int y = 0; y < h; y++)
    for (int x = 0; x < w; x++) ((uint32_t *)((uint8_t *)s->pixels + y * s->pitch))[x] = colour(x);
  IMG_SavePNG(s, path.c_str());
  SDL_FreeSurface(s);
}

// The data root's "index" with the "file" line of the named objects pointing at another texture.
void retexture(game *g, const std::vector<std::string> &names, const std::string &file) {
  ASSERT_TRUE(game_own_data(g, "index"));
  std::string text = file_read(game_data_path(g, "index")), out, object;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    std::string line = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
    at = end == std::string::npos ? text.size() : end + 1;
    if (line.compare(0, 7, "object ") == 0) object = line.substr(7);
    bool mine = std::find(names.begin(), names.end(), object) != names.end();
    out += (mine && line.compare(0, 5, "file ") == 0 ? "file " + file : line) + "\n";
  }
  ASSERT_TRUE(file_write(game_data_path(g, "index"), out));
}

class vegetation : public game_test {
 protected:
  void SetUp() override {
    game_test::SetUp();
    if (!game_has_world()) GTEST_SKIP() << "velder-worldgen was not built; no world to load";
  }
};

// The tiny world's grass in solid magenta: the camera starts 5 units south of the boundary
// z = 0 between two patch rows and walks north across it.
TEST_F(vegetation, grass_stands_on_both_sides_of_a_patch_boundary) {
  save_columns(game_data_path(&g, "magenta.png"), 64, 32, [](int) { return 0xFFFF00FFu; });
  retexture(&g, {"grass_meadow", "grass_short", "grass_dry", "flowers", "flowers_thick", "fern", "grass_snow"}, "magenta.png");
  game_param(&g, "b_fog_on 0");
  game_param(&g, "v3_camera_start_pos 0 0 5");
  game_param(&g, "v3_camera_start_rot 20 0 0");
  start_running();
  proc_sleep_ms(1000);
  image img;
  std::string shot;
  ASSERT_TRUE(game_capture(&g, "before", &img, &shot));
  EXPECT_GT(fraction(img, img.h / 2, img.h, magenta), 0.02) << "no grass in " << shot;
  ASSERT_TRUE(game_click(&g, img.w / 2, img.h / 2));          // takes the mouse
  ASSERT_TRUE(game_click(&g, img.w / 2, img.h / 2, 1, 4500)); // about 11 units north
  ASSERT_TRUE(game_running(&g)) << game_report(&g);
  ASSERT_TRUE(game_capture(&g, "after", &img, &shot));
  EXPECT_GT(fraction(img, img.h / 2, img.h, magenta), 0.02) << "no grass in " << shot;
  ASSERT_TRUE(game_key(&g, "Escape"));
  expect_clean_exit();
  auto stats = game_stats(&g);
  EXPECT_GT(stats["r.grass_ntris"], 0) << game_stdout(&g);
}

// The default world's woods with red bark and yellow leaf cards: standing in them, both show.
TEST_F(vegetation, under_trees_trunks_and_leaf_cards_show) {
  ASSERT_TRUE(game_use_preset(&g, "default"));
  // the bark column (u 0 to 0.25) red, the leaf card (u 0.5 to 1) yellow, clear between
  save_columns(game_data_path(&g, "tree.png"), 512, 256,
               [](int x) { return x < 128 ? 0xFFE01010u : x < 256 ? 0u : 0xFFF0E010u; });
  retexture(&g, {"pine", "oak", "birch"}, "tree.png");
  // the middle of the 9 x 9 pixels of broadleaf or pine woods with the most growing pixels
  SDL_Surface *map = SDL_LoadBMP(game_data_path(&g, "objmap.bmp").c_str());
  ASSERT_NE(map, nullptr);
  auto woods = [map](int x, int y) { // 0 elsewhere, 1 open ground, 2 growing
    uint8_t *p = (uint8_t *)map->pixels + y * map->pitch + x * map->format->BytesPerPixel;
    uint32_t c = p[2] << 16 | p[1] << 8 | p[0];
    return c == 0x2F8F2F || c == 0x1F5F3F ? 2 : c == 0x2F8F30 || c == 0x1F5F40 ? 1 : 0;
  };
  int best = -1, bx = 0, by = 0;
  for (int y = 4; y < map->h - 4; y += 2)
    for (int x = 4; x < map->w - 4; x += 2) {
      int n = 0;
      for (int dy = -4; dy <= 4 && n >= 0; dy++)
        for (int dx = -4; dx <= 4 && n >= 0; dx++) {
          int k = woods(x + dx, y + dy);
          n = k ? n + k - 1 : -1;
        }
      if (n > best) best = n, bx = x, by = y;
    }
  float px = 400.0f / map->w, wx = (bx + 0.5f) * px - 200, wz = (by + 0.5f) * px - 200;
  SDL_FreeSurface(map);
  ASSERT_GT(best, 10) << "no woods on the object map";
  game_param(&g, "b_fog_on 0");
  game_param(&g, "i_grass_ntufts 0");
  game_param(&g, "v3_camera_start_pos " + std::to_string(wx) + " 0 " + std::to_string(wz));
  game_param(&g, "v3_camera_start_rot -15 0 0");
  start_running();
  proc_sleep_ms(1500);
  image img;
  std::string shot;
  ASSERT_TRUE(game_capture(&g, "woods", &img, &shot));
  EXPECT_GT(fraction(img, 0, img.h, red), 0.003) << "no trunks in " << shot;
  EXPECT_GT(fraction(img, 0, img.h, yellow), 0.03) << "no leaf cards in " << shot;
  ASSERT_TRUE(game_key(&g, "Escape"));
  expect_clean_exit();
}

struct bad_tree {
  const char *name, *file, *from, *to, *message;
};

class tree_errors : public vegetation, public ::testing::WithParamInterface<bad_tree> {};

// An edited tree file or catalogue ends the loading: the message, the box, status 1.
TEST_P(tree_errors, end_the_loading_with_the_box) {
  const bad_tree &t = GetParam();
  ASSERT_TRUE(game_own_data(&g, t.file));
  std::string path = game_data_path(&g, t.file), text = file_read(path);
  size_t at = text.find(t.from);
  ASSERT_NE(at, std::string::npos) << t.file << " changed; update this test";
  ASSERT_TRUE(file_write(path, text.replace(at, strlen(t.from), t.to)));
  ASSERT_TRUE(game_start(&g));
  xw_id box = error_box_wait(E2E_BOX_MS);
  ASSERT_NE(box, 0u) << game_report(&g);
  EXPECT_TRUE(error_box_close(box));
  ASSERT_TRUE(game_wait_exit(&g, E2E_EXIT_MS));
  EXPECT_EQ(g.exit_code, 1);
  EXPECT_TRUE(std::regex_search(game_stderr(&g), std::regex(t.message))) << game_stderr(&g);
}

INSTANTIATE_TEST_SUITE_P(
    tree, tree_errors,
    ::testing::Values(bad_tree{"key_missing", "trees/oak.pg", "br_count", "br_cnt",
                               "(^|\\n)error: cfg_get_string#[0-9]+: br_count doesn't exist\\n"},
                      bad_tree{"file_missing", "index", "pg trees/oak.pg", "pg trees/none.pg",
                               "(^|\\n)error: ufopen#[0-9]+: failed to open [^\\n]*trees/none.pg\\n"},
                      bad_tree{"no_texture", "index", "object oak\nfile textures/oak.png\n", "object oak\n",
                               "(^|\\n)error: process_pgparam#[0-9]+: missing texture\\n"}),
    [](const ::testing::TestParamInfo<bad_tree> &i) { return std::string(i.param.name); });

} // namespace
