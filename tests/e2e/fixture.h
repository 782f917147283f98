// Test fixture for end-to-end cases: one game per test, set up fresh and always torn down.
#pragma once
#include "game.h"
#include <gtest/gtest.h>

// Bounds of every wait; generous, as llvmpipe on two cores is slow when tests run in parallel.
enum {
  E2E_WINDOW_MS = 30000, // process start to its window
  E2E_TITLE_MS = 60000,  // window to "Velder 2": world loading and the first sample
  E2E_BOX_MS = 30000,    // start to the error box
  E2E_EXIT_MS = 20000,   // quit request to process end
};

// A case derives from game_test, adjusts the scratch folder, runs the game and checks it:
//
//   TEST_F(shell, something) {
//     game_param(&g, "i_snow_nflakes 500");   // param.cfg line, appended to the world's
//     start_running();                        // window up, title "Velder 2"
//     game_key(&g, "p");                      // xdotool input to the window
//     image img;
//     game_capture(&g, "shot", &img);         // runs/<suite>.<case>/shot.png
//     game_key(&g, "Escape");
//     expect_clean_exit();
//   }
//
// The scratch folder (runs/<suite>.<case>) stays after the run with stdout.txt, stderr.txt and
// the captures; it is emptied when the case runs again.
class game_test : public ::testing::Test {
 protected:
  game g;

  void SetUp() override {
    const ::testing::TestInfo *t = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(t->test_suite_name()) + "." + t->name();
    for (char &c : name)
      if (c == '/') c = '_';
    ASSERT_TRUE(game_setup(&g, name)) << "cannot prepare " << g.dir;
  }
  void TearDown() override { game_stop(&g); }

  // Starts the game and waits until it runs its loop (the title says so).
  void start_running() {
    ASSERT_TRUE(game_start(&g));
    ASSERT_TRUE(game_wait_window(&g, E2E_WINDOW_MS)) << "no window; " << game_report(&g);
    ASSERT_TRUE(game_wait_title(&g, "Velder 2", E2E_TITLE_MS))
        << "title stayed \"" << game_title(&g) << "\"; " << game_report(&g);
  }

  // Waits for the end and expects a clean quit: status 0 after "game_main: exit".
  void expect_clean_exit() {
    ASSERT_TRUE(game_wait_exit(&g, E2E_EXIT_MS)) << "still running; killed\n" << game_report(&g);
    EXPECT_EQ(g.exit_code, 0) << game_report(&g);
    EXPECT_NE(game_stdout(&g).find("game_main: exit\n"), std::string::npos) << game_stdout(&g);
  }
};
