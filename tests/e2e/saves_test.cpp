// Saves that must not break the running game: a colour table broken while the player walks into
// its region, a brush save that waits for that table to be mended, footstep definitions broken
// by a save. The game warns once for each, keeps drawing and walking, and quits cleanly. (Each
// kind of hostile save, one by one, is the reload suite's.)
#include "fixture.h"

#include <filesystem>
#include <regex>

namespace {

using saves = game_test;

const uint32_t FLOWERS = 0xd8b0e1, MEADOW = 0x7fbf40; // the open ground of two regions: nothing grows

// Saved as editors do: written beside, then renamed over the file.
bool save(game *g, const std::string &rel, const std::function<bool(const std::string &)> &write) {
  std::string path = game_data_path(g, rel), tmp = path + ".new";
  std::filesystem::remove_all(path + ".keep");
  return write(tmp) && (std::filesystem::remove_all(path), true) && (std::filesystem::rename(tmp, path), true);
}

double lit(const image &img) {
  return img_fraction(img, 0, 0, img.w, img.h, [](int r, int g, int b) { return r + g + b > 60; });
}

TEST_F(saves, broken_saves_warn_once_and_the_game_goes_on) {
  // the flower field ahead (its table bloom.bmp), the meadow where the player starts
  ASSERT_TRUE(game_own_data(&g, "objmap.bmp") && game_own_data(&g, "brushes") && game_own_data(&g, "clut") &&
              game_own_data(&g, "sounds"));
  ASSERT_TRUE(img_write(img_make(64, 64, [](int, int y) { return y < 32 ? FLOWERS : MEADOW; }), game_data_path(&g, "objmap.bmp")));
  std::string bloom = file_read(game_data_path(&g, "clut/bloom.bmp"));
  start_running();
  struct step {
    const char *what;
    std::function<bool()> act; // the save, and what the player does
    const char *out, *err;     // regular expressions searched for in what it printed since the last step
  } steps[] = {
      {"the flower field's table broken", [&] { return save(&g, "clut/bloom.bmp", [](const std::string &p) { return file_write(p, "BM?"); }); },
       "clut/bloom.bmp changed", "warning: clut_load#[0-9]+: "},
      {"brushes saved: they wait for the table", [&] {
         return save(&g, "brushes", [&](const std::string &p) { return file_write(p, file_read(game_data_path(&g, "brushes")) + "# saved\n"); });
       },
       "data/brushes: the world stays as it was \\(data/clut/bloom.bmp: clut_load: ", "warning: clut_load#[0-9]+: "},
      {"walking into the flower field", [&] {
         game_click(&g, 400, 240);
         return game_click(&g, 400, 240, 1, 5000);
       },
       "", ""},
      {"the table mended: the brushes come in", [&] { return save(&g, "clut/bloom.bmp", [&](const std::string &p) { return file_write(p, bloom); }); },
       // the landmarks find no place on this map, as at the start
       "clut/bloom.bmp changed[^]*quadtree_print_debug", "unique 'Runestone' of brush ff2020: the brush has no spawn attempt"},
      {"the footstep definitions broken, then a walk back", [&] {
         bool ok = true;
         for (const char *d : {"grass", "forest", "gravel", "snow"})
           ok = ok && save(&g, std::string("sounds/steps_") + d + ".def", [](const std::string &p) { return file_write(p, "volume loud\n"); });
         proc_sleep_ms(2500); // taken up by the file monitor
         return ok && game_click(&g, 400, 240, 3, 3000);
       },
       "", "^warning: cfg_get_vec2#[0-9]+: volume type error\n$"},
  };
  for (const step &s : steps) {
    SCOPED_TRACE(s.what);
    std::string out0 = game_stdout(&g), err0 = game_stderr(&g);
    ASSERT_TRUE(s.act()) << game_report(&g);
    if (s.out[0]) {
      EXPECT_TRUE(proc_until([&] { return std::regex_search(game_stdout(&g).substr(out0.size()), std::regex(s.out)); }, 10000))
          << game_stdout(&g).substr(out0.size());
    }
    if (s.err[0]) {
      EXPECT_TRUE(proc_until([&] { return std::regex_search(game_stderr(&g).substr(err0.size()), std::regex(s.err)); }, 10000))
          << game_stderr(&g).substr(err0.size());
    } else {
      proc_sleep_ms(300);
      EXPECT_EQ(game_stderr(&g).substr(err0.size()), "");
    }
    ASSERT_TRUE(game_running(&g)) << game_report(&g);
    image img;
    std::string shot;
    ASSERT_TRUE(game_capture(&g, std::string("after-") + std::to_string(&s - steps), &img, &shot));
    EXPECT_GT(lit(img), 0.5) << "the game still draws: " << shot;
  }
  quit_cleanly();
}

} // namespace
