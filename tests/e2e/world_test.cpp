// The landscape seen from outside: sky faces in their directions, the camera walking on the ground.
#include "fixture.h"
#include "proc.h"
#include <SDL.h>
#include <SDL_image.h>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

// Path of an entry of the run's data root (the root is relative to the working directory).
std::string data_path(const game *g, const std::string &rel) {
  std::string root = g->data[0] == '/' ? g->data : g->dir + "/" + g->data;
  return root + "/" + rel;
}

// Replaces a linked entry of the shared tiny world with a file or folder of this run's own.
void unlink_entry(game *g, const std::string &rel) {
  std::error_code ec;
  fs::remove(data_path(g, rel), ec);
}

SDL_Surface *solid(int w, int h, uint32_t rgb, uint32_t format) {
  SDL_Surface *s = SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, format);
  SDL_FillRect(s, nullptr, SDL_MapRGBA(s->format, rgb >> 16, (rgb >> 8) & 255, rgb & 255, 255));
  return s;
}

const uint32_t FACE_COLOURS[6] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0xFF00FF, 0x00FFFF};
const char *const FACE_NAMES[6] = {"front", "right", "back", "left", "top", "bottom"};

// Six faces of one colour each, for both the sky and the environment set.
void write_coloured_sky(game *g) {
  unlink_entry(g, "skybox");
  fs::create_directory(data_path(g, "skybox"));
  for (int i = 0; i < 6; i++) {
    SDL_Surface *s = solid(32, 32, FACE_COLOURS[i], SDL_PIXELFORMAT_RGBA32);
    for (const char *prefix : {"", "s_"})
      IMG_SavePNG(s, data_path(g, std::string("skybox/") + prefix + FACE_NAMES[i] + ".png").c_str());
    SDL_FreeSurface(s);
  }
}

// One bare brush over the whole object map: nothing grows, nothing stands in the view.
void write_bare_ground(game *g) {
  unlink_entry(g, "objmap.bmp");
  SDL_Surface *map = SDL_CreateRGBSurfaceWithFormat(0, 8, 8, 24, SDL_PIXELFORMAT_BGR24);
  SDL_FillRect(map, nullptr, SDL_MapRGB(map->format, 0x10, 0x20, 0x30));
  SDL_SaveBMP(map, data_path(g, "objmap.bmp").c_str());
  SDL_FreeSurface(map);
  unlink_entry(g, "brushes");
  FILE *fp = fopen(data_path(g, "brushes").c_str(), "w");
  fputs("brush 102030\nfootsteps:sounds/steps_grass.def\nclut:clut/warm.bmp\ndensity:0\n", fp);
  fclose(fp);
}

// Index of the face colour nearest to a pixel.
int nearest_face(uint32_t px) {
  int best = -1;
  long best_d = 1L << 40;
  for (int i = 0; i < 6; i++) {
    long d = 0;
    for (int sh = 0; sh <= 16; sh += 8) {
      long a = (px >> sh) & 255, b = (FACE_COLOURS[i] >> sh) & 255;
      d += (a - b) * (a - b);
    }
    if (d < best_d) best_d = d, best = i;
  }
  return best;
}

class world : public game_test {
 protected:
  void expect_sky_at_top(const char *rot, int face);
};

void world::expect_sky_at_top(const char *rot, int face) {
  world *t = this;
  write_coloured_sky(&t->g);
  write_bare_ground(&t->g);
  game_param(&t->g, "b_fog_on 0");
  game_param(&t->g, std::string("v3_camera_start_rot ") + rot);
  t->start_running();
  proc_sleep_ms(500);
  image img;
  std::string shot;
  ASSERT_TRUE(game_capture(&t->g, "sky", &img, &shot));
  uint32_t px = img_pixel(img, img.w / 2, img.h / 20);
  EXPECT_EQ(nearest_face(px), face) << "top centre is #" << std::hex << px << " in " << shot;
  ASSERT_TRUE(game_key(&t->g, "Escape"));
  t->expect_clean_exit();
}

TEST_F(world, looking_along_minus_z_shows_the_front_face) { expect_sky_at_top("0 0 0", 0); }
TEST_F(world, looking_along_plus_x_shows_the_right_face) { expect_sky_at_top("0 90 0", 1); }
TEST_F(world, looking_along_plus_z_shows_the_back_face) { expect_sky_at_top("0 180 0", 2); }
TEST_F(world, tilted_up_the_top_of_the_picture_shows_the_top_face) {
  expect_sky_at_top("-45 0 0", 4);
}

// A ramp rising toward +z, painted red up to z = 16 and yellow beyond; the camera starts at
// z = 9.5 looking up the ramp. Walking keeps the eye above the rising ground, and the ground just
// ahead turns from red to yellow.
TEST_F(world, walking_up_a_ramp_keeps_the_camera_on_the_ground) {
  write_coloured_sky(&g);
  write_bare_ground(&g);
  unlink_entry(&g, "hm.bmp");
  SDL_Surface *hm = SDL_CreateRGBSurfaceWithFormat(0, 65, 65, 24, SDL_PIXELFORMAT_BGR24);
  for (int row = 0; row < 65; row++) {
    SDL_Rect line = {0, row, 65, 1};
    Uint8 v = (Uint8)(row * 255 / 64);
    SDL_FillRect(hm, &line, SDL_MapRGB(hm->format, v, v, v));
  }
  SDL_SaveBMP(hm, data_path(&g, "hm.bmp").c_str());
  SDL_FreeSurface(hm);
  unlink_entry(&g, "terraintexture.png");
  SDL_Surface *tex = solid(64, 64, 0xFF0000, SDL_PIXELFORMAT_RGBA32);
  SDL_Rect far_part = {0, 48, 64, 16}; // rows from z = 16 on
  SDL_FillRect(tex, &far_part, SDL_MapRGBA(tex->format, 255, 255, 0, 255));
  IMG_SavePNG(tex, data_path(&g, "terraintexture.png").c_str());
  SDL_FreeSurface(tex);
  game_param(&g, "b_fog_on 0");
  game_param(&g, "f_tn_hm_maxy 20");
  game_param(&g, "v3_camera_start_rot 0 180 0");
  start_running();
  image img;
  std::string shot;
  // the first frame may come before the first step has lifted the eye off the ground (a loaded
  // machine draws it slowly): the start is the first picture with the ground at the bottom
  uint32_t ground = 0;
  for (long long end = proc_now_ms() + 10000; proc_now_ms() < end; proc_sleep_ms(200)) {
    ASSERT_TRUE(game_capture(&g, "ramp-start", &img, &shot));
    ground = img_pixel(img, img.w / 2, img.h - 5);
    if ((ground & 0xFFFF00) == 0xFF0000u) break;
  }
  EXPECT_EQ(ground & 0xFFFF00, 0xFF0000u) << "bottom centre #" << std::hex << ground << " in " << shot;
  ASSERT_TRUE(game_click(&g, img.w / 2, img.h / 2)); // takes the mouse
  ASSERT_TRUE(game_click(&g, img.w / 2, img.h / 2, 1, 5000)); // walks
  ASSERT_TRUE(game_capture(&g, "ramp-walked", &img, &shot));
  ground = img_pixel(img, img.w / 2, img.h - 5);
  // under the ground the picture would be all sky; on it, the near ground is the yellow part
  EXPECT_EQ(ground & 0xF0F000, 0xF0F000u) << "bottom centre #" << std::hex << ground << " in " << shot;
  EXPECT_EQ(nearest_face(img_pixel(img, img.w / 2, img.h / 20)), 2) << shot;
  ASSERT_TRUE(game_key(&g, "Escape"));
  expect_clean_exit();
}

} // namespace
