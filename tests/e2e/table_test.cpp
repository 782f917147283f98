// The file table holds what start-up registers (each shader file, each texture, each tree file
// line) and nothing else: a world of exactly 1024 registrations loads and walks, its footstep
// definitions and colour tables watched beside the table; one more ends the start.
#include "fixture.h"

#include <filesystem>
#include <regex>
#include <set>
#include <sstream>

namespace {

using table = game_test;

// Objects of a one-pixel texture each, added to the catalogue until start-up registers n files.
bool fill_table(game *g, int n) {
  if (!game_own_data(g, "index")) return false;
  std::filesystem::create_directories(game_data_path(g, "extra"));
  std::string index = file_read(game_data_path(g, "index")), line;
  std::set<std::string> textures = {"terraintexture.png", "credits.png", "logo.png"};
  int trees = 0;
  for (std::istringstream in(index); std::getline(in, line);) {
    if (line.rfind("file ", 0) == 0) textures.insert(line.substr(5));
    if (line.rfind("pg ", 0) == 0) trees++;
  }
  int registered = 16 + (int)textures.size() + trees; // eight programs of two shader files
  for (int i = 0; registered < n; i++, registered++) {
    std::string name = "extra/" + std::to_string(i) + ".png";
    if (!img_write(img_make(1, 1, [](int, int) { return 0x808080u; }), game_data_path(g, name))) return false;
    index += "object extra_" + std::to_string(i) + "\nfile " + name + "\n\n";
  }
  return file_write(game_data_path(g, "index"), index);
}

TEST_F(table, a_world_of_1024_registrations_loads_and_walks) {
  ASSERT_TRUE(fill_table(&g, 1024));
  start_running();
  walk(2000); // the first step watches its footstep definition
  ASSERT_TRUE(game_running(&g)) << game_report(&g);
  quit_cleanly();
  EXPECT_EQ(game_stderr(&g).find("ftab overflow"), std::string::npos) << game_stderr(&g);
}

TEST_F(table, the_1025th_registration_ends_the_start) {
  ASSERT_TRUE(fill_table(&g, 1025));
  ASSERT_TRUE(game_start(&g));
  expect_fatal();
  EXPECT_TRUE(std::regex_search(game_stderr(&g), std::regex("(^|\n)error: fmon_register#[0-9]+: ftab overflow \\(1024\\)\n")))
      << game_stderr(&g);
}

} // namespace
