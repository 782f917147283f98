// The landscape as the player sees it: sky faces in their directions, the camera walking on the
// ground, grass on both sides of a patch boundary, trunks and leaf cards under trees.
#include "fixture.h"

#include <SDL.h>
#include <algorithm>
#include <cmath>
#include <regex>

namespace {

const uint32_t FACE_COLOURS[6] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0xFF00FF, 0x00FFFF};
const char *const FACE_NAMES[6] = {"front", "right", "back", "left", "top", "bottom"};

// Index of the face colour nearest to a pixel.
int nearest_face(uint32_t px) {
  auto d = [px](uint32_t c) {
    double s = 0;
    for (int sh = 0; sh <= 16; sh += 8) s += std::pow(int(px >> sh & 255) - int(c >> sh & 255), 2);
    return s;
  };
  return int(std::min_element(FACE_COLOURS, FACE_COLOURS + 6, [&](uint32_t a, uint32_t b) { return d(a) < d(b); }) - FACE_COLOURS);
}

class look : public game_test {
 protected:
  // Six faces of one colour each, for both the sky and the environment set, over bare ground:
  // one brush without items covers the object map.
  void coloured_sky_over_bare_ground() {
    ASSERT_TRUE(game_own_data(&g, "skybox"));
    for (int i = 0; i < 6; i++)
      for (const char *prefix : {"", "s_"})
        ASSERT_TRUE(img_write(img_make(32, 32, [i](int, int) { return FACE_COLOURS[i]; }),
                              game_data_path(&g, std::string("skybox/") + prefix + FACE_NAMES[i] + ".png")));
    ASSERT_TRUE(img_write(img_make(8, 8, [](int, int) { return 0x102030; }), game_data_path(&g, "objmap.bmp")));
    ASSERT_TRUE(game_own_data(&g, "brushes"));
    file_write(game_data_path(&g, "brushes"), "brush 102030\nfootsteps:sounds/steps_grass.def\nclut:clut/warm.bmp\ndensity:0\n");
    game_param(&g, "b_fog_on 0");
  }
  // The "file" line of the named objects in the catalogue pointed at another texture.
  void retexture(const std::vector<std::string> &names, const std::string &file) {
    ASSERT_TRUE(game_own_data(&g, "index"));
    std::string text = file_read(game_data_path(&g, "index"));
    for (const std::string &n : names)
      text = std::regex_replace(text, std::regex("((^|\n)object " + n + "\n([^\n]+\n)*?)file [^\n]*"), "$1file " + file);
    ASSERT_TRUE(file_write(game_data_path(&g, "index"), text));
  }
  double share(int y0, int y1, bool (*test)(int, int, int)) { return img_fraction(img, 0, y0, img.w, y1, test); }
  image img;
  std::string shot;
};

struct sky_case {
  const char *name, *rot;
  int face;
};

class sky : public look, public ::testing::WithParamInterface<sky_case> {};

// The top centre of the picture shows the sky face the camera looks toward.
TEST_P(sky, top_of_the_picture_shows_the_face_ahead) {
  coloured_sky_over_bare_ground();
  game_param(&g, std::string("v3_camera_start_rot ") + GetParam().rot);
  start_running();
  uint32_t px = 0;
  auto seen = [&] { return game_capture(&g, "sky", &img, &shot) && nearest_face(px = img_pixel(img, img.w / 2, img.h / 20)) == GetParam().face; };
  EXPECT_TRUE(proc_until(seen, 5000)) << "top centre is #" << std::hex << px << " in " << shot;
  quit_cleanly();
}

INSTANTIATE_TEST_SUITE_P(faces, sky,
                         ::testing::Values(sky_case{"front", "0 0 0", 0}, sky_case{"right", "0 90 0", 1},
                                           sky_case{"top", "-45 0 0", 4}),
                         [](const ::testing::TestParamInfo<sky_case> &i) { return std::string(i.param.name); });

// A ramp rising toward +z, painted red up to z = 16 and yellow beyond; the camera starts at
// z = 9.5 looking up the ramp (the back face of the sky above it). Walking keeps the eye above
// the rising ground, and the ground just ahead turns from red to yellow.
TEST_F(look, walking_up_a_ramp_keeps_the_camera_on_the_ground) {
  coloured_sky_over_bare_ground();
  ASSERT_TRUE(img_write(img_make(65, 65, [](int, int y) { return (y * 255 / 64) * 0x010101u; }), game_data_path(&g, "hm.bmp")));
  ASSERT_TRUE(img_write(img_make(64, 64, [](int, int y) { return y < 48 ? 0xFF0000u : 0xFFFF00u; }),
                        game_data_path(&g, "terraintexture.png"))); // rows from z = 16 on yellow
  game_param(&g, "f_tn_hm_maxy 20");
  game_param(&g, "v3_camera_start_rot 0 180 0");
  start_running();
  // the first frame may come before the first step has lifted the eye off the ground (a loaded
  // machine draws it slowly): the start is the first picture with the ground at the bottom
  uint32_t ground = 0;
  auto on_red = [&] { return game_capture(&g, "ramp-start", &img, &shot) && ((ground = img_pixel(img, img.w / 2, img.h - 5)) & 0xFFFF00) == 0xFF0000u; };
  EXPECT_TRUE(proc_until(on_red, 10000)) << "bottom centre #" << std::hex << ground << " in " << shot;
  walk(5000);
  ASSERT_TRUE(game_capture(&g, "ramp-walked", &img, &shot));
  ground = img_pixel(img, img.w / 2, img.h - 5);
  // under the ground the picture would be all sky; on it, the near ground is the yellow part
  EXPECT_EQ(ground & 0xF0F000, 0xF0F000u) << "bottom centre #" << std::hex << ground << " in " << shot;
  EXPECT_EQ(nearest_face(img_pixel(img, img.w / 2, img.h / 20)), 2) << shot;
  quit_cleanly();
}

bool magenta(int r, int g, int b) { return r > 100 && b > 100 && g < 70; }

// The tiny world's grass in solid magenta: the camera starts 5 units south of the boundary
// z = 0 between two patch rows and walks north across it.
TEST_F(look, grass_stands_on_both_sides_of_a_patch_boundary) {
  ASSERT_TRUE(img_write(img_make(64, 32, [](int, int) { return 0xFF00FF; }), game_data_path(&g, "magenta.png")));
  retexture({"grass_meadow", "grass_short", "grass_dry", "flowers", "flowers_thick", "fern", "grass_snow"}, "magenta.png");
  game_param(&g, "b_fog_on 0");
  game_param(&g, "v3_camera_start_pos 0 0 5");
  game_param(&g, "v3_camera_start_rot 20 0 0");
  start_running();
  EXPECT_TRUE(proc_until([&] { return game_capture(&g, "before", &img, &shot) && share(img.h / 2, img.h, magenta) > 0.02; }, 5000))
      << "no grass in " << shot;
  walk(4500); // about 11 units north
  ASSERT_TRUE(game_capture(&g, "after", &img, &shot));
  EXPECT_GT(share(img.h / 2, img.h, magenta), 0.02) << "no grass in " << shot;
  quit_cleanly();
  EXPECT_GT(game_stats(&g)["r.grass_ntris"], 0) << game_stdout(&g);
}

// The default world's woods with red bark and yellow leaf cards: standing in them, both show.
TEST_F(look, under_trees_trunks_and_leaf_cards_show) {
  ASSERT_TRUE(game_use_world(&g, "--preset default"));
  // the bark column (u 0 to 0.25) red, the leaf card (u 0.5 to 1) yellow, clear between
  ASSERT_TRUE(img_write(img_make(512, 256, [](int x, int) { return x < 128 ? 0xE01010u : x < 256 ? 0u : 0xF0E010u; }),
                        game_data_path(&g, "tree.png")));
  retexture({"pine", "oak", "birch"}, "tree.png");
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
        for (int dx = -4; dx <= 4 && n >= 0; dx++) n = woods(x + dx, y + dy) ? n + woods(x + dx, y + dy) - 1 : -1;
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
  auto trunks = [](int r, int g, int b) { return r > 120 && g < 60 && b < 60; };
  auto leaves = [](int r, int g, int b) { return r > 120 && g > 120 && b < 60; };
  // items stand at random: when a leaf card fills the view, the player backs off a little
  auto both = [&] {
    if (game_capture(&g, "woods", &img, &shot) && share(0, img.h, trunks) > 0.003 && share(0, img.h, leaves) > 0.03) return true;
    return game_click(&g, 400, 240) && game_click(&g, 400, 240, 3, 300) && false;
  };
  EXPECT_TRUE(proc_until(both, 15000)) << "trunks " << share(0, img.h, trunks) << ", leaf cards " << share(0, img.h, leaves)
                                      << " in " << shot;
  quit_cleanly();
}

} // namespace
