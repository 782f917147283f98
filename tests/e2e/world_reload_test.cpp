// The world reloading in place: a world maker repaints the object map, raises the height map,
// saves a broken brush file, then a good one, tunes the fog and asks for a grid the game refuses,
// all while the game runs, and sees the world follow, or stay, without a restart.
#include "fixture.h"
#include <filesystem>
#include <functional>
#include <regex>

namespace {

using world_reload = game_test;

const uint32_t BARE = 0x102030, BUSHES = 0x405060;

// Bushes of pure magenta over pure blue ground: what the player sees is told by colour.
double magenta(const image &img) {
  return img_fraction(img, 0, 0, img.w, img.h, [](int r, int g, int b) { return r > 150 && g < 90 && b > 150; });
}
double blue_ground(const image &img) {
  return img_fraction(img, 0, img.h / 2, img.w, img.h, [](int r, int g, int b) { return b > 150 && r < 90 && g < 90; });
}
// The distant ground in red fog.
double red_distance(const image &img) {
  return img_fraction(img, 0, img.h / 2, img.w, img.h * 5 / 8, [](int r, int g, int b) { return r > 150 && g < 90 && b < 110; });
}

TEST_F(world_reload, maps_brushes_and_parameters_saved_while_the_game_runs) {
  ASSERT_TRUE(game_own_data(&g, "brushes") && game_own_data(&g, "index"));
  ASSERT_TRUE(game_edit(&g, "param.cfg", "s_default_clut clut/warm.bmp\n", "")); // no grading: pure colours
  game_param(&g, "b_fog_on 0");
  ASSERT_TRUE(img_write(img_make(8, 8, [](int, int) { return 0x0000FFu; }), game_data_path(&g, "terraintexture.png")));
  ASSERT_TRUE(img_write(img_make(8, 8, [](int, int) { return 0xFF00FFu; }), game_data_path(&g, "magenta.png")));
  ASSERT_TRUE(game_edit(&g, "index", "file textures/bush_green.png", "file magenta.png"));
  auto hm = [&](uint32_t grey) { return img_make(8, 8, [grey](int, int) { return grey * 0x010101u; }); };
  auto map = [&](uint32_t ahead) { return img_make(8, 8, [ahead](int, int y) { return y < 3 ? ahead : BARE; }); };
  auto brushes = [](int density, const char *extra) {
    return "brush 102030\ndensity:0\n\nbrush 405060\ndensity:" + std::to_string(density) + "\nbush_green\n" + extra;
  };
  ASSERT_TRUE(img_write(hm(0), game_data_path(&g, "hm.bmp")) && img_write(map(BARE), game_data_path(&g, "objmap.bmp")));
  ASSERT_TRUE(file_write(game_data_path(&g, "brushes"), brushes(3, "")));
  start_running();

  std::string cfg = file_read(game_data_path(&g, "param.cfg"));
  cfg += "b_fog_on 1\nv3_fog_color 1 0 0\nf_fog_start 2\nf_fog_end 30\ni_screen_w 1000\n";
  struct step {
    const char *what, *file;
    std::function<bool(const std::string &)> save;
    bool bushes;         // magenta bushes in view afterwards
    const char *warning; // a broken save: the one warning
    bool fog;            // red fog over the distance
  } steps[] = {
      {"the object map repainted ahead", "objmap.bmp", [&](const std::string &p) { return img_write(map(BUSHES), p); }, true, nullptr, false},
      // the whole ground six units higher: the bushes stand on it, the player too
      {"the height map raised", "hm.bmp", [&](const std::string &p) { return img_write(hm(255), p); }, true, nullptr, false},
      {"a brush naming no object", "brushes", [&](const std::string &p) { return file_write(p, brushes(3, "no_such_bush\n")); }, true,
       "warning: parse_brushes#[0-9]+: undefined name 'no_such_bush'\n", false},
      {"the bushes' brush emptied", "brushes", [&](const std::string &p) { return file_write(p, brushes(0, "")); }, false, nullptr, false},
      // red fog now; the window's size waits for the next start
      {"fog and a window size", "param.cfg", [&](const std::string &p) { return file_write(p, cfg); }, false, nullptr, true},
      {"a grid beyond its limit", "param.cfg", [&](const std::string &p) { return file_write(p, cfg + "i_tn_ndivs 100000\n"); },
       false, "warning: tn_alloc#[0-9]+: i_tn_ndivs \\(100000\\) must be between 1 and 2048\n", true},
      // the fog taken out of the picture, not only out of the fixed-function state
      {"fog switched off", "param.cfg", [&](const std::string &p) { return file_write(p, cfg + "b_fog_on 0\n"); }, false, nullptr,
       false},
  };
  image img;
  std::string shot;
  ASSERT_TRUE(game_capture(&g, "start", &img, &shot));
  EXPECT_LT(magenta(img), 0.001) << shot;
  for (const step &s : steps) {
    SCOPED_TRACE(s.what);
    std::string out0 = game_stdout(&g), err0 = game_stderr(&g), path = game_data_path(&g, s.file);
    std::string tmp = game_data_path(&g, std::string("new-") + s.file); // the same kind of file
    ASSERT_TRUE(s.save(tmp));
    std::filesystem::rename(tmp, path); // as editors save
    std::string line = g.data + "/" + s.file + " changed: reload took ";
    ASSERT_TRUE(proc_until([&] { return game_stdout(&g).find(line, out0.size()) != std::string::npos || !game_running(&g); }, 10000))
        << game_report(&g);
    proc_sleep_ms(500); // a few frames of the new world
    ASSERT_TRUE(game_capture(&g, s.file, &img, &shot));
    EXPECT_EQ(magenta(img) > 0.02, s.bushes) << magenta(img) << " " << shot;
    EXPECT_GT(blue_ground(img), s.fog ? 0.05 : 0.3) << "the player does not stand on the ground: " << shot;
    EXPECT_EQ(red_distance(img) > 0.3, s.fog) << red_distance(img) << " " << shot;
    std::string out = game_stdout(&g).substr(out0.size()), err = game_stderr(&g).substr(err0.size());
    if (s.warning) {
      EXPECT_TRUE(std::regex_match(err, std::regex(s.warning))) << err;
      EXPECT_NE(out.find("world_reload: " + g.data + "/" + s.file + ": the world stays as it was ("), std::string::npos) << out;
    } else if (s.file == std::string("param.cfg") && !s.fog) {
      EXPECT_EQ(err, "");
    } else if (s.fog) {
      EXPECT_EQ(err, "");
      EXPECT_NE(out.find("world_reload: i_screen_w changes at the next start\n"), std::string::npos) << out;
      int w = 0, h = 0;
      EXPECT_TRUE(xw_size(g.win, &w, &h) && w == 854) << w;
    } else {
      EXPECT_EQ(err, "");
      EXPECT_NE(out.find("quadtree_print_debug: "), std::string::npos) << "loading's lines for what was rebuilt\n" << out;
    }
  }
  ASSERT_TRUE(game_running(&g)) << game_report(&g);
  quit_cleanly();
}

} // namespace
