// A player's session on the tiny world: start-up lines, first picture, the mouse, a walk to the
// landmark, sounds, window sizes, the data root argument, and the ways out.
#include "fixture.h"

#include <filesystem>
#include <regex>

namespace {

using play = game_test;

// Default window; an unknown parameter warns with its line; the mouse is taken by a click and
// given back by Alt+Q; the landmark a few steps ahead is discovered once however long the player
// stays near it; the world's sounds load; a close request quits after the statistics.
TEST_F(play, start_look_walk_to_the_landmark_and_close) {
  // the generated world names the size too
  std::string cfg = std::regex_replace(file_read(game_data_path(&g, "param.cfg")), std::regex("i_screen_[^\n]*\n"), "");
  ASSERT_TRUE(file_write(game_data_path(&g, "param.cfg"), cfg += "i_bogus 3\n"));
  long bogus_line = std::count(cfg.begin(), cfg.end(), '\n');
  start_running();
  int w = 0, h = 0;
  ASSERT_TRUE(xw_size(g.win, &w, &h));
  EXPECT_EQ(w, 854);
  EXPECT_EQ(h, 480);
  // Items stand at random; whatever is in front of the camera, the frame holds a drawn scene
  // (many colours, nothing left black) rather than a cleared or half-drawn buffer.
  image img;
  std::string shot;
  auto drawn = [&] {
    return game_capture(&g, "view", &img, &shot) && img_colour_count(img) >= 32 &&
           img_fraction(img, 0, 0, img.w, img.h, [](int r, int g, int b) { return std::max({r, g, b}) > 4; }) > 0.95;
  };
  EXPECT_TRUE(proc_until(drawn, 10000)) << "a flat or partly black picture: " << shot;
  EXPECT_FALSE(xw_pointer_grabbed()) << "the mouse is taken before any click";
  walk(7000);
  EXPECT_TRUE(game_wait_output(&g, "' discovered!\n", 3000)) << game_stdout(&g);
  walk(1500, 3); // back off and walk in again
  walk(1500);
  EXPECT_TRUE(xw_pointer_grabbed()) << "a left click did not capture the mouse";
  // a quick tap of the chord: Alt is up again before the game's next step reads the keys
  ASSERT_TRUE(game_key(&g, "alt+q"));
  EXPECT_TRUE(proc_until([] { return !xw_pointer_grabbed(); }, 15000)) << "Alt+Q did not release the mouse";
  quit_cleanly(true);

  std::string out = game_stdout(&g), err = game_stderr(&g);
  for (const char *re : {"\ninit: using SDL 2\\.", "\ninit: using GLEW v ", "\ninit: using \"data/hm.bmp\" as height map\n",
                         "\nparse_index: [1-9][0-9]* objects loaded\n",
                         "\nspawn_wi: unique '[^']+' at -?[0-9]+\\.[0-9]{2},-?[0-9]+\\.[0-9]{2}\n",
                         "\nquadtree_print_debug: \n  max depth [0-4]\n  num quadrants [0-9]+\n  num items [0-9]+\n",
                         "\nsnd_init: audio initialized: 22050Hz, channels 2\nsnd_load: data/sounds/ambient.ogg loaded\n",
                         "\nsnd_load: data/sounds/step_grass_[0-9]+\\.wav loaded\n"})
    EXPECT_TRUE(std::regex_search("\n" + out, std::regex(re))) << re << "\n" << out;
  // the one warning is the unknown word's; the exit line is the last thing written
  EXPECT_TRUE(std::regex_match(err, std::regex("warning: parse_cfg#[0-9]+: unknown param at #" + std::to_string(bogus_line) +
                                               ": i_bogus\n")))
      << err;
  EXPECT_EQ(out.substr(out.size() - std::min<size_t>(out.size(), 16)), "game_main: exit\n");
  std::map<std::string, int> found;
  std::regex line("check_uniqs: '([^']+)' discovered!\n");
  for (std::sregex_iterator it(out.begin(), out.end(), line), end; it != end; ++it) found[(*it)[1]]++;
  ASSERT_FALSE(found.empty()) << out;
  for (auto &f : found) EXPECT_EQ(f.second, 1) << f.first << " reported " << f.second << " times";
  // the frame rate of the last one-second sample, between the slowest and the fastest
  std::map<std::string, double> st = game_stats(&g);
  ASSERT_TRUE(st.count("r.fps") && st.count("r.fps.min") && st.count("r.fps.max")) << out;
  EXPECT_GE(st["r.fps.min"], 1);
  EXPECT_LE(st["r.fps.min"], st["r.fps"]);
  EXPECT_LE(st["r.fps"], st["r.fps.max"]);
}

// One argument names the data root; param.cfg sets the window size, a word that merely begins
// with a parameter's name sets that parameter silently; resizing keeps the game drawing to the
// edges of the new size. On a machine without sound the game says so once, and walking adds no
// other warning.
TEST_F(play, data_root_argument_window_size_and_resizing) {
  std::filesystem::rename(g.dir + "/data", g.dir + "/other world");
  g.data = "other world";
  g.args = {g.data};
  g.env = {"SDL_AUDIODRIVER=no_such_driver"};
  game_param(&g, "i_screen_w 1280");
  game_param(&g, "i_screen_height 720");
  start_running();
  EXPECT_TRUE(game_wait_output(&g, "init: using \"other world/hm.bmp\" as height map\n", 2000)) << game_report(&g);
  image img;
  std::string shot;
  ASSERT_TRUE(game_capture(&g, "1280x720", &img));
  EXPECT_EQ(img.w, 1280);
  EXPECT_EQ(img.h, 720);
  walk(3000);
  for (auto s : std::vector<std::pair<int, int>>{{1100, 700}, {640, 360}, {160, 90}}) {
    ASSERT_TRUE(game_resize(&g, s.first, s.second)) << s.first << "x" << s.second;
    // the strips along the right and bottom edges look like the rest, not like an undrawn border
    auto fills = [&] {
      if (!game_capture(&g, "resized-" + std::to_string(s.first), &img, &shot) || img.w != s.first) return false;
      auto lit = [](int r, int g, int b) { return std::max({r, g, b}) > 8; };
      int cols = img.w / 8, rows = img.h / 8;
      double inner = img_fraction(img, 0, 0, img.w - cols, img.h - rows, lit);
      return inner > 0.05 && img_fraction(img, img.w - cols, 0, img.w, img.h, lit) > inner * 0.5 &&
             img_fraction(img, 0, img.h - rows, img.w, img.h, lit) > inner * 0.5;
    };
    EXPECT_TRUE(proc_until(fills, 10000)) << "not drawn to the edges: " << shot;
    EXPECT_EQ(img.h, s.second);
  }
  quit_cleanly();
  EXPECT_TRUE(std::regex_match(game_stderr(&g), std::regex("warning: snd_init#[0-9]+: no audio device: the game runs silent \\([^\n]+\\)\n")))
      << game_stderr(&g);
}

// Keys pressed while the world loads are thrown away with the other pending events: an Escape
// that reaches the server before loading has built the quadtree does not end the game. Two
// arguments leave the data root at "data".
TEST_F(play, escape_while_loading_is_discarded_and_two_arguments_mean_data) {
  g.args = {"missing-a", "missing-b"};
  game_param(&g, "i_tn_ndivs 800"); // the tiny world loads in a blink; a finer grid keeps it busy
  ASSERT_TRUE(game_start(&g));
  ASSERT_TRUE(game_wait_window(&g, E2E_WINDOW_MS)) << game_report(&g);
  ASSERT_TRUE(game_key(&g, "Escape")) << game_report(&g);
  bool early = game_stdout(&g).find("quadtree_print_debug") == std::string::npos;
  if (!early) printf("note: loading was nearly over when the key went out\n");
  ASSERT_TRUE(proc_until([&] { return game_title(&g) == "Velder 2" || !game_running(&g); }, E2E_TITLE_MS));
  proc_sleep_ms(500);
  EXPECT_TRUE(game_running(&g) || !early) << game_report(&g);
  EXPECT_TRUE(game_wait_output(&g, "init: using \"data/hm.bmp\" as height map\n", 2000)) << game_report(&g);
  if (game_running(&g)) quit_cleanly();
}

} // namespace
