// Live reload seen from outside: edits of a texture, a shader and a tree file while the game runs
// change the picture within about two seconds; broken edits warn once and keep the old look; the
// game runs on without a stall.
#include "fixture.h"
#include <cstring>
#include <filesystem>
#include <fstream>
#include <regex>

namespace fs = std::filesystem;

namespace {

using reload = game_test;

// What a step leaves on screen: the colour of the ground, the colour of the leaf cards, or the look
// of the step before (a broken edit).
enum tint { RED, GREEN, BLUE, YELLOW, MAGENTA, KEPT };

struct edit {
  const char *what;    // the file under the working directory, as the game names it in its reload line
  std::string content; // written whole and renamed into place, as editors save (a linked file of
                       // the shared world is replaced, not written through)
  tint want;
  const char *warning; // broken edits: the one warning expected, a regex
};

std::string png_bytes(game *g, uint32_t colour) {
  std::string tmp = g->dir + "/tmp-solid.png";
  img_write(img_make(64, 64, [colour](int, int) { return colour; }), tmp);
  std::string b = file_read(tmp);
  fs::remove(tmp);
  return b;
}

const char *const SHADER_HEAD = "#version 120\nuniform sampler2D tex;\nvarying vec3 v_eye;\n";

// The game writes one line per reload, good or bad: "<path> changed: reload took N ms".
int reloads_of(game *g, const std::string &what, std::vector<double> *ms) {
  std::string out = game_stdout(g);
  std::regex re("fmon_poll: " + what + " changed: reload took ([0-9]+) ms\n");
  int n = 0;
  for (std::sregex_iterator it(out.begin(), out.end(), re), end; it != end; ++it, n++)
    if (ms && n >= (int)ms->size()) ms->push_back(std::stod((*it)[1]));
  return n;
}

// Items stand at random, so the ground is found by colour: the one pure colour that covers the
// most of the lower half (the edits paint it red, green or blue; the world has none of these).
tint ground(const image &img) {
  double n[3];
  for (int c = 0; c < 3; c++)
    n[c] = img_fraction(img, 0, img.h / 2, img.w, img.h, [c](int r, int g, int b) {
      int p[3] = {r, g, b};
      return p[c] > 150 && p[(c + 1) % 3] < 90 && p[(c + 2) % 3] < 90;
    });
  int best = n[1] > n[0] ? 1 : 0;
  if (n[2] > n[best]) best = 2;
  return n[best] > 0.02 ? (tint)best : KEPT; // a hundredth of the picture
}

// The trees' texture has magenta bark and yellow leaves: yellow shows while the leaf cards read the
// leaves, none when an edit points them at the bark.
tint leaves(const image &img) {
  double y = img_fraction(img, 0, 0, img.w, img.h, [](int r, int g, int b) { return r > 150 && g > 150 && b < 90; });
  double m = img_fraction(img, 0, 0, img.w, img.h, [](int r, int g, int b) { return r > 150 && g < 90 && b > 150; });
  return y > 0.02 ? YELLOW : m > 0.02 ? MAGENTA : KEPT;
}

bool is_tree(const edit &e) { return strstr(e.what, "/trees/") != nullptr; }

TEST_F(reload, edits_are_picked_up_and_broken_ones_keep_the_old_look) {
  g.env = {"GALLIUM_HUD=frametime", "GALLIUM_HUD_VISIBLE=false", "GALLIUM_HUD_PERIOD=0",
           "GALLIUM_HUD_DUMP_DIR=" + g.dir};
  std::string original_fs = file_read(game_shader_path(&g, "terrain.fs"));
  // one region of oaks alone, textured with bark and leaves of their own colours, in clear air
  ASSERT_TRUE(game_own_data(&g, "trees") && game_own_data(&g, "brushes"));
  ASSERT_TRUE(img_write(img_make(8, 8, [](int, int) { return 0x102030; }), game_data_path(&g, "objmap.bmp")));
  file_write(game_data_path(&g, "brushes"), "brush 102030\nfootsteps:sounds/steps_grass.def\nclut:clut/warm.bmp\ndensity:1\noak\n");
  game_param(&g, "b_fog_on 0");
  ASSERT_TRUE(img_write(img_make(512, 256, [](int x, int) { return x < 128 ? 0xE010E0u : x < 256 ? 0u : 0xF0E010u; }),
                        game_data_path(&g, "tree.png")));
  ASSERT_TRUE(game_edit(&g, "index", "file textures/oak.png", "file tree.png"));
  std::string oak = file_read(game_data_path(&g, "trees/oak.pg")), bark_leaves = oak, no_count = oak;
  ASSERT_TRUE(oak.find("br_texture_rect_top 0.5 0\n") != std::string::npos && oak.find("br_count") != std::string::npos);
  bark_leaves.replace(bark_leaves.find("br_texture_rect_top 0.5 0"), 25, "br_texture_rect_top 0.0 0");
  bark_leaves.replace(bark_leaves.find("br_texture_rect_bottom 1 1"), 26, "br_texture_rect_bottom 0.2 1");
  no_count.replace(no_count.find("br_count"), 8, "br_cnt");
  const std::vector<edit> edits = {
      {"data/terraintexture.png", png_bytes(&g, 0x0000FF), BLUE, nullptr},
      {"data/terraintexture.png", png_bytes(&g, 0xFF0000).substr(0, 60), KEPT,
       "warning: load_something_else#[0-9]+: IMG_Load: "},
      {"data/terraintexture.png", png_bytes(&g, 0xFF0000), RED, nullptr},
      {"shader/terrain.fs",
       std::string(SHADER_HEAD) + "void main() { gl_FragColor = vec4(0.0, 1.0, 0.0, 1.0); }\n", GREEN, nullptr},
      {"shader/terrain.fs", std::string(SHADER_HEAD) + "void main() { gl_FragColor = ; }\n",
       KEPT, "warning: compile_shader#[0-9]+: failed to compile fragment shader shader/terrain.fs: "},
      {"shader/terrain.fs",
       std::string(SHADER_HEAD) + "vec4 shade(void);\nvoid main() { gl_FragColor = shade(); }\n", KEPT,
       "warning: reload_prog#[0-9]+: failed to link shader program \\(shader/terrain.vs,shader/terrain.fs\\):"},
      {"shader/terrain.fs", original_fs, RED, nullptr},
      {"data/trees/oak.pg", bark_leaves, MAGENTA, nullptr},
      {"data/trees/oak.pg", no_count, KEPT, "warning: cfg_get_string#[0-9]+: br_count doesn't exist"},
      {"data/trees/oak.pg", oak, YELLOW, nullptr},
  };
  start_running();
  // oaks stand at random: when a trunk fills the view, the player backs off a little
  image first;
  auto in_view = [&] {
    if (game_capture(&g, "start", &first) && leaves(first) == YELLOW) return true;
    return game_click(&g, 400, 240) && game_click(&g, 400, 240, 3, 400) && false;
  };
  ASSERT_TRUE(proc_until(in_view, 15000)) << "no leaf cards in view";
  std::vector<double> costs;
  tint shown[2] = {KEPT, YELLOW}; // the ground, the leaf cards
  for (size_t i = 0; i < edits.size(); i++) {
    const edit &e = edits[i];
    SCOPED_TRACE(std::string("edit ") + std::to_string(i) + " of " + e.what);
    int before = reloads_of(&g, e.what, nullptr);
    size_t err_before = game_stderr(&g).size();
    std::string path = g.dir + "/" + e.what, tmp = path + ".new";
    ASSERT_TRUE(file_write(tmp, e.content));
    fs::rename(tmp, path);
    long long t0 = proc_now_ms();
    proc_until([&] { return reloads_of(&g, e.what, nullptr) != before || !game_running(&g); }, 10000);
    long long latency = proc_now_ms() - t0;
    ASSERT_EQ(reloads_of(&g, e.what, &costs), before + 1) << game_report(&g);
    EXPECT_LT(latency, 3500) << "the change was acted on late";
    // frames with the result: a good edit shows within a few frames (slow ones on a loaded
    // machine), a broken one must still show the old look after them
    image img;
    std::string shot;
    tint now = KEPT;
    long long t1 = proc_now_ms();
    do {
      proc_sleep_ms(300);
      ASSERT_TRUE(game_capture(&g, "edit" + std::to_string(i), &img, &shot));
      now = is_tree(e) ? leaves(img) : ground(img);
    } while (e.want != KEPT && now != e.want && proc_now_ms() - t1 < 5000);
    if (e.want == KEPT) {
      proc_sleep_ms(900);
      ASSERT_TRUE(game_capture(&g, "edit" + std::to_string(i), &img, &shot));
      now = is_tree(e) ? leaves(img) : ground(img);
    }
    EXPECT_EQ(now, e.want == KEPT ? shown[is_tree(e)] : e.want) << shot;
    shown[is_tree(e)] = now;
    std::string err = game_stderr(&g).substr(err_before);
    if (e.warning) {
      EXPECT_TRUE(std::regex_search(err, std::regex(e.warning))) << err;
      std::regex line("(^|\n)warning: ");
      EXPECT_EQ(std::distance(std::sregex_iterator(err.begin(), err.end(), line), std::sregex_iterator()), 1) << err;
    } else {
      EXPECT_EQ(err.find("warning:"), std::string::npos) << err;
    }
    printf("reload %zu (%s): acted on after %lld ms, took %.0f ms\n", i, e.what, latency, costs.back());
  }
  ASSERT_TRUE(game_running(&g)) << game_report(&g);
  quit_cleanly();
  // a reload is done between two frames: its cost is that frame's extra time
  for (double ms : costs) EXPECT_LT(ms, 100);
  std::ifstream hud(g.dir + "/frametime_(ms)");
  std::vector<double> frames;
  for (double v; hud >> v;) frames.push_back(v);
  if (frames.size() > 10) {
    std::vector<double> sorted(frames.begin() + 5, frames.end());
    std::sort(sorted.begin(), sorted.end());
    double p90 = sorted[sorted.size() * 9 / 10];
    printf("frame times over %zu frames: median %.0f ms, 90th percentile %.0f ms, worst %.0f ms\n", sorted.size(),
           sorted[sorted.size() / 2], p90, sorted.back());
    // A reload used to freeze the game for 2 s. The seven reloads are under a tenth of the frames,
    // so on a loaded machine (the game runs niced beside other work) the bound follows the slow frames.
    EXPECT_LT(sorted.back(), std::max(1800.0, 5 * p90)) << "the game stalled";
  }
}

} // namespace
