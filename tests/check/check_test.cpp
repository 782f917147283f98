// velder-check on generated worlds: sound ones pass, and each broken one gets its fault named,
// with the file and the line, and nothing else.
#include "../e2e/proc.h"
#include <gtest/gtest.h>

#include <SDL.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

struct check_run {
  int status = -1;
  std::string out;
  std::vector<std::string> lines;
  int faults = 0, warnings = 0;
};

// Runs the checker from top on the world folder w under it, so its paths read "w/...".
static check_run run_check(const std::string &top, const std::string &w) {
  check_run r;
  r.status = proc_run({"sh", "-c", "cd '" + top + "' && " CHECK_EXE " " + w + " 2>&1"}, 120000, &r.out);
  std::istringstream in(r.out);
  for (std::string l; std::getline(in, l);) {
    r.lines.push_back(l);
    r.faults += l.find(": fault: ") != std::string::npos;
    r.warnings += l.find(": warning: ") != std::string::npos;
  }
  return r;
}

static int worldgen(const std::string &args) { return std::system((WORLDGEN_EXE " " + args + " >/dev/null").c_str()); }

static void append(const std::string &path, const std::string &s) { file_write(path, file_read(path) + s); }
// The first occurrence of from, which must be there.
static void replace(const std::string &path, const std::string &from, const std::string &to) {
  std::string s = file_read(path);
  size_t at = s.find(from);
  ASSERT_NE(at, std::string::npos) << from << " in " << path;
  file_write(path, s.replace(at, from.size(), to));
}
// 1-based number of the first line that equals text.
static int line_of(const std::string &path, const std::string &text) {
  std::istringstream in(file_read(path));
  int n = 0;
  for (std::string l; std::getline(in, l);)
    if (++n, l == text) return n;
  return 0;
}
static int lines_in(const std::string &path) {
  std::string s = file_read(path);
  return (int)std::count(s.begin(), s.end(), '\n');
}
static std::string str(int n) { return std::to_string(n); }

// BMP rewrites through SDL: one pixel of another colour, 32 bits a pixel, an 8-bit palette image.
static void bmp_set_pixel(const std::string &path, int x, int y, uint32_t rgb, uint32_t format = SDL_PIXELFORMAT_BGR24) {
  SDL_Surface *s = SDL_LoadBMP(path.c_str());
  ASSERT_TRUE(s) << SDL_GetError();
  SDL_Surface *c = SDL_ConvertSurfaceFormat(s, format, 0);
  if (format == SDL_PIXELFORMAT_BGR24) { // else the conversion alone is the edit
    uint8_t *p = (uint8_t *)c->pixels + y * c->pitch + x * 3;
    p[0] = rgb & 0xFF, p[1] = rgb >> 8 & 0xFF, p[2] = rgb >> 16 & 0xFF;
  }
  SDL_SaveBMP(c, path.c_str());
  SDL_FreeSurface(c);
  SDL_FreeSurface(s);
}
static void bmp_palette(const std::string &path) {
  SDL_Surface *s = SDL_CreateRGBSurfaceWithFormat(0, 33, 33, 8, SDL_PIXELFORMAT_INDEX8);
  SDL_SaveBMP(s, path.c_str());
  SDL_FreeSurface(s);
}

static std::string top, tiny; // the suite's folder and its generated tiny world

class check : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    char tmpl[] = "/tmp/velder-check-XXXXXX";
    top = mkdtemp(tmpl);
    tiny = top + "/tiny";
    ASSERT_EQ(worldgen("--preset tiny " + tiny), 0);
  }
  static void TearDownTestSuite() { fs::remove_all(top); }
};

// A broken world: the breakage, what the checker must say (regular expressions, each matching
// one line of its output) and how many faults and warnings it reports in all.
using lines = std::vector<std::string>;
struct broken_world {
  const char *name;
  std::function<void(const std::string &w)> breakage;
  std::function<lines(const std::string &w)> expect;
  int faults, warnings;
};

static const broken_world broken[] = {
    {"param_missing", [](const std::string &w) { fs::remove(w + "/param.cfg"); },
     [](const std::string &) { return lines{"^w/param.cfg: warning: missing: every parameter keeps its default$"}; }, 0, 1},
    {"param_warnings",
     [](const std::string &w) {
       append(w + "/param.cfg", "i_scren_w 900\nb_fog_on yes\ni_screen_h 12abc\nv3_fog_color 1 0\ni_screen_width 0\n"
                                "s_ambient_loop sounds/ambient.ogg again\n# " + std::string(600, 'x') + "\n");
     },
     [](const std::string &w) {
       int n = lines_in(w + "/param.cfg") - 7;
       return lines{
           "^w/param.cfg:" + str(n + 1) + ": warning: unknown param at #" + str(n + 1) + ": i_scren_w$",
           "^w/param.cfg:" + str(n + 2) + ": warning: value 'yes' of b_fog_on is not a number: the game keeps 1 \\(from line ",
           "^w/param.cfg:" + str(n + 3) + ": warning: value '12abc' of i_screen_h is not fully a number: the game reads 12 ",
           "^w/param.cfg:" + str(n + 4) + ": warning: value '1 0' of v3_fog_color holds 2 of 3 numbers: .*giving 1 0 0.85$",
           "^w/param.cfg:" + str(n + 5) + ": warning: 'i_screen_width' is read as i_screen_w ",
           "^w/param.cfg:" + str(n + 5) + ": warning: window size 0x12: ",
           "^w/param.cfg:" + str(n + 6) + ": warning: value of s_ambient_loop is more than one word: the game reads only 'sounds/ambient.ogg'$",
           "^w/param.cfg:" + str(n + 7) + ": warning: line of 602 characters: the game reads at most 511 at a time and takes the rest as 1 more line$",
           // the rest of the comment is a line of its own to the game
           "^w/param.cfg:" + str(n + 7) + ": warning: unknown param at #" + str(n + 8) + ": x+$"};
     },
     0, 9},
    {"param_terrain", [](const std::string &w) { append(w + "/param.cfg", "i_tn_ndivs 0\n"); },
     [](const std::string &w) {
       return lines{"^w/param.cfg:" + str(lines_in(w + "/param.cfg")) + ": fault: i_tn_ndivs \\(0\\) must be between 1 and 2048$"};
     },
     1, 0},
    // counts past their limits, said at the line that set them or against the map they multiply
    {"limits",
     [](const std::string &w) {
       append(w + "/param.cfg", "i_snow_nflakes 200000\n");
       replace(w + "/brushes", "density:0\n", "density:500\n"); // the meadow's open ground, most of the map
     },
     [](const std::string &w) {
       return lines{"^w/param.cfg:" + str(lines_in(w + "/param.cfg")) + ": fault: i_snow_nflakes \\(200000\\) must be at most 100000$",
                    "^w/objmap.bmp: fault: objmap.bmp \\(64x64 pixels\\) with the density: of its brushes asks for [0-9]+ spawn "
                    "attempts, more than 500000$"};
     },
     2, 0},
    {"catalogue", [](const std::string &w) { replace(w + "/index", "scale 19\n", "scael 19\n"); },
     [](const std::string &w) {
       return lines{"^w/index:" + str(line_of(w + "/index", "scael 19")) + ": fault: unknown specifier 'scael'$"};
     },
     1, 0},
    {"catalogue_missing", [](const std::string &w) { fs::remove(w + "/index"); },
     [](const std::string &) {
       return lines{"^w/index: fault: failed to open w/index$",
                    "^w/brushes: warning: [0-9]+ object names not checked: the catalogue could not be read$"};
     },
     1, 1},
    {"tree_file", [](const std::string &w) { replace(w + "/trees/oak.pg", "br_count", "br_cnt"); },
     [](const std::string &w) {
       return lines{"^w/trees/oak.pg: fault: br_count doesn't exist \\(tree file of 'oak', index line " +
                        str(line_of(w + "/index", "pg trees/oak.pg")) + "\\)$",
                    "^w/trees/oak.pg:[0-9]+: warning: unknown key 'br_cnt': the game ignores it; did you mean br_count\\?$"};
     },
     1, 1},
    {"brushes", [](const std::string &w) { replace(w + "/brushes", "\nheather\n", "\nheathr\n"); },
     [](const std::string &w) {
       return lines{"^w/brushes:" + str(line_of(w + "/brushes", "heathr")) + ": fault: undefined name 'heathr'$"};
     },
     1, 0},
    {"objmap_colour", [](const std::string &w) { bmp_set_pixel(w + "/objmap.bmp", 5, 7, 0x123456); },
     [](const std::string &) {
       return lines{"^w/objmap.bmp: fault: no matching brush for color 1193046 \\(#123456\\): 1 pixel, the first at column 5, row 7$"};
     },
     1, 0},
    {"height_map", [](const std::string &w) { file_write(w + "/hm.bmp", "BM not a bitmap"); },
     [](const std::string &) { return lines{"^w/hm.bmp: fault: SDL_LoadBMP: "}; }, 1, 0},
    {"height_map_palette", [](const std::string &w) { bmp_palette(w + "/hm.bmp"); },
     [](const std::string &) {
       return lines{"^w/hm.bmp: warning: is a palette image: its pixels hold no height and the terrain will be flat"};
     },
     0, 1},
    {"texture_png", [](const std::string &w) { file_write(w + "/textures/oak.png", file_read(w + "/textures/oak.png").substr(0, 300)); },
     [](const std::string &w) {
       return lines{"^w/textures/oak.png: fault: IMG_Load: Error reading the PNG file\\. \\(texture of object 'oak', index line " +
                    str(line_of(w + "/index", "file textures/oak.png")) + "\\)$"};
     },
     1, 0},
    {"texture_dds", [](const std::string &w) { file_write(w + "/textures/pine.dds", file_read(w + "/textures/pine.dds").substr(0, 1000)); },
     [](const std::string &) {
       return lines{"^w/textures/pine.dds: fault: expression '\\(r = fread\\(buf, 1, size, fp\\)\\) == size' is false "
                    "\\(texture of object 'pine', index line [0-9]+\\)$"};
     },
     1, 0},
    // the game warns and goes on
    {"sky_face", [](const std::string &w) { fs::copy_file(w + "/credits.png", w + "/skybox/top.png", fs::copy_options::overwrite_existing); },
     [](const std::string &) { return lines{"^w/skybox/top.png: warning: cube map face skybox/top.png is [0-9]+x[0-9]+, expected 64x64$"}; },
     0, 1},
    {"colour_table", [](const std::string &w) { bmp_set_pixel(w + "/clut/lush.bmp", 0, 0, 0, SDL_PIXELFORMAT_ARGB8888); },
     [](const std::string &w) {
       return lines{"^w/clut/lush.bmp: fault: image must be 24 bpp \\(clut: of brush 2f8f2f, brushes line " +
                    str(line_of(w + "/brushes", "clut:clut/lush.bmp")) + "\\)$"};
     },
     1, 0},
    {"sound_definition", [](const std::string &w) { append(w + "/sounds/steps_grass.def", "loudness\n"); },
     [](const std::string &w) {
       int n = lines_in(w + "/sounds/steps_grass.def");
       return lines{"^w/sounds/steps_grass.def:" + str(n) + ": fault: #" + str(n) +
                    ": missing value \\(footsteps: of brush 7fbf3f, brushes line " +
                    str(line_of(w + "/brushes", "footsteps:sounds/steps_grass.def")) + "\\)$"};
     },
     1, 0},
    {"sound_file", [](const std::string &w) { file_write(w + "/sounds/step_snow_2.wav", std::string(2000, 'R')); },
     [](const std::string &) {
       return lines{"^w/sounds/step_snow_2.wav: fault: Mix_LoadWAV: .* \\(sound2 of w/sounds/steps_snow.def\\)$"};
     },
     1, 0},
    {"ambient_loop", [](const std::string &w) { fs::remove(w + "/sounds/ambient.ogg"); },
     [](const std::string &w) {
       return lines{"^w/sounds/ambient.ogg: fault: Mix_LoadWAV: Couldn't open w/sounds/ambient.ogg \\(s_ambient_loop, param.cfg line " +
                    str(line_of(w + "/param.cfg", "s_ambient_loop sounds/ambient.ogg")) + "\\)$"};
     },
     1, 0},
    {"unique_unlisted", [](const std::string &w) { replace(w + "/brushes", "\nRunestone\n", "\n"); },
     [](const std::string &w) {
       return lines{"^w/index:" + str(line_of(w + "/index", "object Runestone")) +
                    ": warning: object 'Runestone' is listed by no brush: it would never appear$"};
     },
     0, 1},
    // beginners' mistakes, each said at its file and line with how to mend it
    {"byte_order_mark", [](const std::string &w) { file_write(w + "/param.cfg", "\xEF\xBB\xBF" + file_read(w + "/param.cfg")); },
     [](const std::string &) {
       return lines{"^w/param.cfg:1: warning: the file starts with a UTF-8 byte order mark .*: save it as plain text",
                    "^w/param.cfg:1: warning: unknown param at #1: "};
     },
     0, 2},
    {"objmap_32_bit", [](const std::string &w) { bmp_set_pixel(w + "/objmap.bmp", 0, 0, 0, SDL_PIXELFORMAT_ARGB8888); },
     [](const std::string &) {
       return lines{"^w/objmap.bmp: fault: no matching brush for color [0-9]+ \\(#ff[0-9a-f]{6}\\): objmap.bmp is a 32-bit "
                    "image, .*: save it as a 24-bit BMP$"};
     },
     1, 0},
    {"fractional_density", [](const std::string &w) { replace(w + "/brushes", "density:1\n", "density:0.3\n"); },
     [](const std::string &w) {
       return lines{"^w/brushes:" + str(line_of(w + "/brushes", "density:0.3")) +
                    ": warning: 'density:0.3': density is a whole number of spawn attempts per pixel: 0.3 reads as 0; "};
     },
     0, 1},
    {"png_named_bmp", [](const std::string &w) { fs::copy_file(w + "/credits.png", w + "/hm.bmp", fs::copy_options::overwrite_existing); },
     [](const std::string &) {
       return lines{"^w/hm.bmp: fault: SDL_LoadBMP: .*: the file holds a PNG image under a .bmp name; save it as a 24-bit BMP$"};
     },
     1, 0},
    {"blank_after_path", [](const std::string &w) { replace(w + "/index", "file textures/oak.png\n", "file textures/oak.png \n"); },
     [](const std::string &w) {
       return lines{"^w/index:" + str(line_of(w + "/index", "file textures/oak.png ")) +
                    ": fault: IMG_Load: Couldn't open w/textures/oak.png  \\(texture of object 'oak'\\); 'textures/oak.png ' ends "
                    "in a blank, which the game takes as part of the name: remove it$"};
     },
     1, 0},
    {"tree_key_misspelt", [](const std::string &w) { replace(w + "/trees/oak.pg", "br_leaf_width", "br_leaf_widht"); },
     [](const std::string &w) {
       return lines{"^w/trees/oak.pg: fault: br_leaf_width doesn't exist ",
                    "^w/trees/oak.pg:" + str(line_of(w + "/trees/oak.pg", "br_leaf_widht 1.5")) +
                        ": warning: unknown key 'br_leaf_widht': the game ignores it; did you mean br_leaf_width\\?$"};
     },
     1, 1},
    {"sound_key_misspelt", [](const std::string &w) { replace(w + "/sounds/steps_grass.def", "volume", "volum"); },
     [](const std::string &w) {
       return lines{"^w/sounds/steps_grass.def:" + str(line_of(w + "/sounds/steps_grass.def", "volum 0.45 0.7")) +
                    ": warning: unknown key 'volum': the game ignores it; did you mean volume\\?$"};
     },
     0, 1},
    // two in one object block (the reader goes on after the first) and one in a later reader
    {"three_faults",
     [](const std::string &w) {
       replace(w + "/index", "scale 19\nscale_rnd 4\n", "scael 19\ntype tall\n");
       bmp_set_pixel(w + "/objmap.bmp", 5, 7, 0x123456);
     },
     [](const std::string &w) {
       int n = line_of(w + "/index", "scael 19");
       return lines{"^w/index:" + str(n) + ": fault: unknown specifier 'scael'$",
                    "^w/index:" + str(n + 1) + ": fault: invalid type value at " + str(n + 1) + "$",
                    "^w/objmap.bmp: fault: no matching brush for color 1193046"};
     },
     3, 0},
};

TEST_F(check, BrokenWorldsGetTheirFaultsNamed) {
  for (const broken_world &b : broken) {
    SCOPED_TRACE(b.name);
    std::string dir = top + "/" + b.name;
    fs::create_directory(dir);
    fs::copy(tiny, dir + "/w", fs::copy_options::recursive);
    b.breakage(dir + "/w");
    check_run r = run_check(dir, "w");
    for (const std::string &want : b.expect(dir + "/w")) {
      std::regex re(want);
      EXPECT_TRUE(std::any_of(r.lines.begin(), r.lines.end(), [&](const std::string &l) { return std::regex_search(l, re); })) << want << "\n" << r.out;
    }
    EXPECT_EQ(r.faults, b.faults) << r.out;
    EXPECT_EQ(r.warnings, b.warnings) << r.out;
    EXPECT_EQ(r.status, b.faults ? 1 : 0) << r.out;
    EXPECT_TRUE(std::regex_search(r.lines.empty() ? "" : r.lines.back(),
                                  std::regex("^velder-check: w: [0-9]+ files, " + str(b.faults) + " faults?, " +
                                             str(b.warnings) + " warnings?$")))
        << r.out;
    fs::remove_all(dir);
  }
}

// The generated worlds are sound.
TEST_F(check, GeneratedWorldsPass) {
  ASSERT_EQ(worldgen("--preset default " + top + "/default"), 0);
  ASSERT_EQ(worldgen("--preset dense --weather snow " + top + "/dense"), 0);
  for (const char *w : {"tiny", "default", "dense"}) {
    check_run r = run_check(top, w);
    EXPECT_EQ(r.status, 0) << w << "\n" << r.out;
    EXPECT_EQ(r.faults + r.warnings, 0) << w << "\n" << r.out;
    ASSERT_FALSE(r.lines.empty());
    EXPECT_TRUE(std::regex_match(r.lines.back(), std::regex(std::string("velder-check: ") + w + ": [0-9]+ files, 0 faults, 0 warnings")))
        << r.out;
    // what it will hold: every landmark where its plot is painted, items from a density, grass
    for (const char *want : {"^  landmark Runestone: brush ff2020, 4 pixels, x -?[0-9.]+ to -?[0-9.]+, z ", "^  landmark Elder_Tree: ",
                             "^  brush 7fbf3f \\(brushes line [0-9]+\\): [0-9]+ pixels, density:1, [1-9][0-9]* items: .*; grass [1-9][0-9]* tufts a patch$",
                             "^  in all: [1-9][0-9]* world items, 4 landmarks$"}) {
      std::regex re(want);
      EXPECT_TRUE(std::any_of(r.lines.begin(), r.lines.end(), [&](const std::string &l) { return std::regex_search(l, re); })) << want << "\n" << r.out;
    }
  }
  fs::remove_all(top + "/default");
  fs::remove_all(top + "/dense");
}

TEST_F(check, NoFolderIsAFault) {
  check_run r = run_check(top, "nowhere");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.faults, 1) << r.out;
  EXPECT_EQ(run_check(top, "").status, 2);
}
