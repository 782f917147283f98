// The game's shell seen from outside: start-up lines, title, quitting, window size and resizing.
#include "fixture.h"
#include "proc.h"

#include <algorithm>
#include <regex>

namespace {

using shell = game_test;

TEST_F(shell, starts_names_its_libraries_and_quits_on_escape) {
  start_running();
  EXPECT_TRUE(game_wait_output(&g, "init: using SDL 2.", 2000)) << game_stdout(&g);
  EXPECT_TRUE(game_wait_output(&g, "init: using GLEW v ", 2000)) << game_stdout(&g);
  image img;
  std::string shot;
  EXPECT_TRUE(game_capture(&g, "running", &img, &shot));
  ASSERT_TRUE(game_key(&g, "Escape")) << game_report(&g);
  expect_clean_exit();
  EXPECT_EQ(game_stderr(&g).find("error: "), std::string::npos) << game_stderr(&g);
}

TEST_F(shell, window_close_request_quits_cleanly) {
  start_running();
  ASSERT_TRUE(game_close(&g));
  expect_clean_exit();
  // the exit line is the last thing written
  std::string out = game_stdout(&g);
  ASSERT_GE(out.size(), 16u);
  EXPECT_EQ(out.substr(out.size() - 16), "game_main: exit\n") << out;
}

TEST_F(shell, default_window_is_854_by_480) {
  game_param_drop(&g, "i_screen_"); // the generated world names the size too
  start_running();
  int w = 0, h = 0;
  ASSERT_TRUE(xw_size(g.win, &w, &h));
  EXPECT_EQ(w, 854);
  EXPECT_EQ(h, 480);
  ASSERT_TRUE(game_key(&g, "Escape")) << game_report(&g);
  expect_clean_exit();
}

TEST_F(shell, param_cfg_sets_the_window_size) {
  game_param(&g, "i_screen_w 1280");
  game_param(&g, "i_screen_h 720");
  start_running();
  int w = 0, h = 0;
  ASSERT_TRUE(xw_size(g.win, &w, &h));
  EXPECT_EQ(w, 1280);
  EXPECT_EQ(h, 720);
  image img;
  ASSERT_TRUE(game_capture(&g, "1280x720", &img));
  EXPECT_EQ(img.w, 1280);
  EXPECT_EQ(img.h, 720);
  ASSERT_TRUE(game_key(&g, "Escape")) << game_report(&g);
  expect_clean_exit();
}

// Whether the picture reaches the right and bottom edges: the strips along them must look like
// the rest of the frame, not like an undrawn border.
static void expect_picture_fills(const image &img, const std::string &shot) {
  int cols = img.w / 8, rows = img.h / 8;
  double inner = img_lit_fraction(img, 0, 0, img.w - cols, img.h - rows, 8);
  double right = img_lit_fraction(img, img.w - cols, 0, img.w, img.h, 8);
  double bottom = img_lit_fraction(img, 0, img.h - rows, img.w, img.h, 8);
  if (inner < 0.05 && img_colour_count(img) < 2) {
    // an all-black frame cannot tell; the size checks still hold
    std::printf("note: %s is uniformly dark, fill not checked\n", shot.c_str());
    return;
  }
  EXPECT_GT(right, inner * 0.5) << "right edge looks undrawn in " << shot;
  EXPECT_GT(bottom, inner * 0.5) << "bottom edge looks undrawn in " << shot;
}

TEST_F(shell, resizing_keeps_running_and_drawing_at_the_new_size) {
  start_running();
  image before, after;
  std::string shot;
  ASSERT_TRUE(game_capture(&g, "before-resize", &before, &shot));
  struct {
    int w, h;
  } sizes[] = {{1100, 700}, {640, 360}, {160, 90}};
  for (auto s : sizes) {
    ASSERT_TRUE(game_resize(&g, s.w, s.h));
    ASSERT_TRUE(game_wait_size(&g, s.w, s.h, 5000)) << s.w << "x" << s.h;
    proc_sleep_ms(1500); // a few frames at the new size
    ASSERT_TRUE(game_running(&g)) << "ended after resize; " << game_report(&g);
    std::string name = "after-resize-" + std::to_string(s.w) + "x" + std::to_string(s.h);
    ASSERT_TRUE(game_capture(&g, name, &after, &shot));
    EXPECT_EQ(after.w, s.w);
    EXPECT_EQ(after.h, s.h);
    expect_picture_fills(after, shot);
  }
  ASSERT_TRUE(game_key(&g, "Escape")) << game_report(&g);
  expect_clean_exit();
}

// The statistics printed at exit carry the frame rate of the last one-second sample.
TEST_F(shell, frame_rate_statistics_at_exit) {
  start_running();
  proc_sleep_ms(3000);
  ASSERT_TRUE(game_key(&g, "Escape")) << game_report(&g);
  expect_clean_exit();
  std::map<std::string, double> st = game_stats(&g);
  if (!st.count("r.fps")) GTEST_SKIP() << "the game printed no frame-rate statistics";
  ASSERT_TRUE(st.count("r.fps.min") && st.count("r.fps.max"));
  std::printf("frame rate: last %.0f, min %.0f, max %.0f\n", st["r.fps"], st["r.fps.min"],
              st["r.fps.max"]);
  EXPECT_GE(st["r.fps.min"], 1);
  EXPECT_LE(st["r.fps.min"], st["r.fps"]);
  EXPECT_LE(st["r.fps"], st["r.fps.max"]);
  for (const char *pct : {"r.fps.lt_30", "r.fps.lt_60"})
    if (st.count(pct)) {
      EXPECT_GE(st[pct], 0) << pct;
      EXPECT_LE(st[pct], 100) << pct;
    }
}

} // namespace

namespace {

// Bounded poll of the pointer grab.
static bool wait_grab(bool want, int timeout_ms) {
  long long deadline = proc_now_ms() + timeout_ms;
  do {
    if (xw_pointer_grabbed() == want) return true;
    proc_sleep_ms(50);
  } while (proc_now_ms() < deadline);
  return false;
}

TEST_F(shell, click_captures_the_mouse_and_alt_q_releases_it) {
  start_running();
  EXPECT_FALSE(xw_pointer_grabbed()) << "the mouse is taken before any click";
  ASSERT_TRUE(game_click(&g, 400, 240));
  EXPECT_TRUE(wait_grab(true, 15000)) << "a left click did not capture the mouse";
  // a quick tap of the chord: Alt is up again before the game's next step reads the keys
  ASSERT_TRUE(game_key(&g, "alt+q"));
  EXPECT_TRUE(wait_grab(false, 15000)) << "Alt+Q did not release the mouse";
  ASSERT_TRUE(game_running(&g)) << game_report(&g);
  ASSERT_TRUE(game_key(&g, "Escape")) << game_report(&g);
  expect_clean_exit();
}

} // namespace

namespace {

// A line whose first word names no parameter is reported with its line number and skipped;
// a word that merely begins with a parameter's name sets that parameter, silently.
TEST_F(shell, param_cfg_unknown_words_warn_and_prefixes_match) {
  game_param(&g, "i_bogus 3");
  std::string cfg = file_read(g.dir + "/" + g.data + "/param.cfg");
  long line = std::count(cfg.begin(), cfg.end(), '\n');
  game_param(&g, "i_screen_width 1000");
  start_running();
  int w = 0, h = 0;
  ASSERT_TRUE(xw_size(g.win, &w, &h));
  EXPECT_EQ(w, 1000);
  std::string err = game_stderr(&g);
  EXPECT_TRUE(std::regex_search(err, std::regex("(^|\\n)warning: parse_cfg#[0-9]+: unknown param at #" +
                                                std::to_string(line) + ": i_bogus\\n")))
      << err;
  EXPECT_EQ(err.find("i_screen_width"), std::string::npos) << err;
  ASSERT_TRUE(game_key(&g, "Escape")) << game_report(&g);
  expect_clean_exit();
}

} // namespace
