// The game on the generated tiny world: the first picture, the colour-table screenshot, loading errors.
#include "fixture.h"
#include "proc.h"

#include <filesystem>
#include <regex>

namespace {

class scene : public game_test {
 protected:
  void SetUp() override {
    game_test::SetUp();
    if (!game_has_world()) GTEST_SKIP() << "velder-worldgen was not built; no world to load";
  }
};

// Items are placed at random, so what stands in front of the camera differs from run to run;
// whatever it is, the frame holds a drawn scene (many colours, nothing left black) rather than
// a cleared or half-drawn buffer.
TEST_F(scene, first_picture_is_a_drawn_scene) {
  start_running();
  proc_sleep_ms(1500);
  image img;
  std::string shot;
  ASSERT_TRUE(game_capture(&g, "view", &img, &shot));
  EXPECT_GE(img_colour_count(img), 32) << "a flat picture: " << shot;
  EXPECT_GT(img_lit_fraction(img, 0, 0, img.w, img.h, 4), 0.95) << "black areas in " << shot;
  ASSERT_TRUE(game_key(&g, "Escape")) << game_report(&g);
  expect_clean_exit();
}

using load_errors = scene;

// Starts a game that must fail while loading: one error box, closed, then exit status 1.
void expect_fatal_start(game *g) {
  ASSERT_TRUE(game_start(g));
  xw_id box = error_box_wait(E2E_BOX_MS);
  ASSERT_NE(box, 0u) << game_report(g);
  EXPECT_TRUE(error_box_close(box));
  ASSERT_TRUE(game_wait_exit(g, E2E_EXIT_MS));
  EXPECT_EQ(g->exit_code, 1);
}

TEST_F(load_errors, missing_height_map) { // named, not "Parameter 'src' is invalid"
  ASSERT_TRUE(std::filesystem::remove(g.dir + "/data/hm.bmp"));
  expect_fatal_start(&g);
  EXPECT_TRUE(std::regex_search(game_stderr(&g), std::regex("(^|\\n)error: init#[0-9]+: SDL_LoadBMP: .*data/hm\\.bmp\\n")))
      << game_stderr(&g);
}

TEST_F(load_errors, missing_sky_face_is_named) {
  // replace the linked sky folder by a copy without the front face
  std::string sky = g.dir + "/data/skybox";
  std::string from = std::filesystem::read_symlink(sky).string();
  ASSERT_TRUE(std::filesystem::remove(sky));
  std::filesystem::copy(from, sky);
  ASSERT_TRUE(std::filesystem::remove(sky + "/front.png"));
  expect_fatal_start(&g);
  EXPECT_NE(game_stderr(&g).find("failed to open skybox/front.png\n"), std::string::npos)
      << game_stderr(&g);
}

} // namespace

namespace {

// One argument names the data root; none or two leave it at "data".
TEST_F(scene, one_argument_names_the_data_root) {
  std::filesystem::rename(g.dir + "/data", g.dir + "/other world");
  g.args = {"other world"};
  start_running();
  EXPECT_TRUE(game_wait_output(&g, "init: using \"other world/hm.bmp\" as height map\n", 2000))
      << game_report(&g);
  ASSERT_TRUE(game_key(&g, "Escape")) << game_report(&g);
  expect_clean_exit();
}

TEST_F(scene, two_arguments_fall_back_to_data) {
  g.args = {"missing-a", "missing-b"};
  start_running();
  EXPECT_TRUE(game_wait_output(&g, "init: using \"data/hm.bmp\" as height map\n", 2000))
      << game_report(&g);
  ASSERT_TRUE(game_key(&g, "Escape")) << game_report(&g);
  expect_clean_exit();
}

} // namespace

namespace {

// Keys pressed while the world loads are thrown away with the other pending events: an Escape
// that reaches the server before loading has built the quadtree does not end the game.
TEST_F(scene, escape_during_loading_is_discarded) {
  // the tiny world loads in a blink; a finer terrain grid keeps it busy long enough
  game_param(&g, "i_tn_ndivs 800");
  ASSERT_TRUE(game_start(&g));
  ASSERT_TRUE(game_wait_window(&g, E2E_WINDOW_MS)) << game_report(&g);
  ASSERT_TRUE(game_key(&g, "Escape")) << game_report(&g);
  if (game_stdout(&g).find("quadtree_print_debug") != std::string::npos)
    GTEST_SKIP() << "loading was nearly over when the key went out";
  ASSERT_TRUE(game_wait_title(&g, "Velder 2", E2E_TITLE_MS)) << game_report(&g);
  proc_sleep_ms(500);
  EXPECT_TRUE(game_running(&g)) << game_report(&g);
  ASSERT_TRUE(game_key(&g, "Escape")) << game_report(&g);
  expect_clean_exit();
}

} // namespace
