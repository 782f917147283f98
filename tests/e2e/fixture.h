// Test fixture for end-to-end cases: one game per test on the generated tiny world, always torn down.
#pragma once
#include "game.h"
#include "proc.h"
#include <gtest/gtest.h>

// Bounds of every wait; generous, as llvmpipe on two cores is slow when tests run in parallel
// (and slower still in the checked build).
enum {
  E2E_WINDOW_MS = 30000, // process start to its window
  E2E_TITLE_MS = 60000,  // window to "Velder 2": world loading and the first sample
  E2E_BOX_MS = 30000,    // start to the error box
  E2E_EXIT_MS = 20000,   // quit request to process end
};

// A case adjusts its scratch folder runs/<suite>.<case> (game_param, game_edit, ...), runs the
// game, drives it and checks what it shows and prints; the folder is emptied when it runs again.
class game_test : public ::testing::Test {
 protected:
  game g;

  void SetUp() override {
    const ::testing::TestInfo *t = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(t->test_suite_name()) + "." + t->name();
    for (char &c : name)
      if (c == '/') c = '_';
    if (!game_has_world()) GTEST_SKIP() << "velder-worldgen was not built or failed; no world to load";
    ASSERT_TRUE(game_setup(&g, name)) << "cannot prepare " << g.dir;
  }
  void TearDown() override { game_stop(&g); }

  // Starts the game and waits until it runs its loop (the title says so).
  void start_running() {
    ASSERT_TRUE(game_start(&g));
    ASSERT_TRUE(game_wait_window(&g, E2E_WINDOW_MS)) << "no window; " << game_report(&g);
    ASSERT_TRUE(proc_until([this] { return game_title(&g) == "Velder 2" || !game_running(&g); }, E2E_TITLE_MS) &&
                game_title(&g) == "Velder 2")
        << "title stayed \"" << game_title(&g) << "\"; " << game_report(&g);
  }

  // Takes the mouse with a click, then walks (button 1) or backs off (button 3) for ms.
  void walk(int ms, int button = 1) {
    ASSERT_TRUE(game_click(&g, 400, 240)) << game_report(&g);
    ASSERT_TRUE(game_click(&g, 400, 240, button, ms)) << game_report(&g);
  }

  // Escape (or a close request), then a clean quit: status 0 after "game_main: exit".
  void quit_cleanly(bool close_request = false) {
    ASSERT_TRUE(close_request ? game_close(&g) : game_key(&g, "Escape")) << game_report(&g);
    ASSERT_TRUE(game_wait_exit(&g, E2E_EXIT_MS)) << "still running; killed\n" << game_report(&g);
    EXPECT_EQ(g.exit_code, 0) << game_report(&g);
    EXPECT_NE(game_stdout(&g).find("game_main: exit\n"), std::string::npos) << game_stdout(&g);
  }

  // A fatal error: the box comes, the process waits for it, closing it ends the game with
  // status 1 and no clean quit. The box is saved as error-box.png for a human to read.
  void expect_fatal() {
    xw_id box = error_box_wait(E2E_BOX_MS);
    ASSERT_NE(box, 0u) << "no error box; " << game_report(&g);
    proc_sleep_ms(300);
    EXPECT_TRUE(game_running(&g)) << "the process did not wait for the box";
    image img;
    if (xw_capture(box, &img)) img_save(img, g.dir + "/error-box");
    EXPECT_TRUE(error_box_close(box)) << "the box did not close";
    ASSERT_TRUE(game_wait_exit(&g, E2E_EXIT_MS)) << "still running after the box; killed";
    EXPECT_EQ(g.exit_code, 1);
    EXPECT_EQ(game_stdout(&g).find("game_main: exit"), std::string::npos);
  }
};
