// The living world seen from outside: catalogue, landmarks and quadtree lines, and a discovery.
#include "fixture.h"
#include "proc.h"
#include <map>
#include <regex>

namespace {

using living = game_test;

TEST_F(living, loading_reports_objects_landmarks_and_the_quadtree) {
  start_running();
  std::string out = game_stdout(&g);
  EXPECT_TRUE(std::regex_search(out, std::regex("\nparse_index: [1-9][0-9]* objects loaded\n"))) << out;
  std::smatch m;
  EXPECT_TRUE(std::regex_search(out, m, std::regex("\nspawn_wi: unique '[^']+' at -?[0-9]+\\.[0-9]{2},-?[0-9]+\\.[0-9]{2}\n")))
      << out;
  EXPECT_TRUE(std::regex_search(
      out, std::regex("\nquadtree_print_debug: \n  max depth [0-4]\n  num quadrants [0-9]+\n  num items [0-9]+\n")))
      << out;
  ASSERT_TRUE(game_key(&g, "Escape"));
  expect_clean_exit();
}

// The tiny world keeps a landmark a few steps ahead of the start: holding the button walks into
// it, and it is reported once however long the player stays near it.
TEST_F(living, walking_to_the_landmark_ahead_discovers_it_once) {
  start_running();
  ASSERT_TRUE(game_click(&g, 400, 240)); // takes the mouse
  ASSERT_TRUE(game_click(&g, 400, 240, 1, 7000));
  EXPECT_TRUE(game_wait_output(&g, "' discovered!\n", 3000)) << game_stdout(&g);
  ASSERT_TRUE(game_click(&g, 400, 240, 3, 1500)); // back off and walk in again
  ASSERT_TRUE(game_click(&g, 400, 240, 1, 1500));
  ASSERT_TRUE(game_key(&g, "Escape"));
  expect_clean_exit();
  std::string out = game_stdout(&g);
  std::map<std::string, int> found;
  std::regex line("check_uniqs: '([^']+)' discovered!\n");
  for (std::sregex_iterator it(out.begin(), out.end(), line), end; it != end; ++it) found[(*it)[1]]++;
  ASSERT_FALSE(found.empty()) << out;
  for (auto &f : found) EXPECT_EQ(f.second, 1) << f.first << " reported " << f.second << " times";
}

} // namespace
