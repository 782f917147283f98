// Files that end the game: each edit of a shader or world file gives its exact message on stderr,
// the box titled "Error", and status 1 once the box is closed.
#include "fixture.h"

#include <SDL.h>
#include <filesystem>
#include <regex>

namespace {

namespace fs = std::filesystem;

struct fatal_case {
  const char *name;
  std::function<bool(game *)> edit;
  std::vector<const char *> lines; // regular expressions, each matching a whole line of stderr
  bool walk = false;               // the file is read at the first step
};

bool shader_edit(game *g, const char *file, const std::string &from, const std::string &to) {
  std::string path = game_shader_path(g, file), src = file_read(path);
  size_t at = src.find(from);
  return at != std::string::npos && file_write(path, src.replace(at, from.size(), to));
}

// After the #version line, so the compiler itself (not the preprocessor) objects.
bool not_glsl(game *g, const char *file) { return shader_edit(g, file, "\n", "\nthis is not glsl;\n"); }

// A world made with the wrong image settings: the loader says what is wrong with each file on
// its way to the first fatal one. An 8-bit height map warns that the terrain will be flat, a
// sky face of another size is named alone, a missing catalogue ends the start.
bool wrong_images(game *g) {
  SDL_Surface *s = SDL_CreateRGBSurfaceWithFormat(0, 8, 8, 8, SDL_PIXELFORMAT_INDEX8);
  fs::remove(game_data_path(g, "hm.bmp"));
  bool ok = SDL_SaveBMP(s, game_data_path(g, "hm.bmp").c_str()) == 0;
  SDL_FreeSurface(s);
  return ok && game_own_data(g, "skybox/top.png") &&
         img_write(img_make(16, 16, [](int, int) { return 0x808080; }), game_data_path(g, "skybox/top.png")) &&
         fs::remove(game_data_path(g, "index"));
}

// Every footstep definition (or every step sound) of the world broken before the start: the first
// step reads it, and as for any file of a world as it was started, that read is fatal.
bool each_step(game *g, const char *what, const std::string &text) {
  bool ok = game_own_data(g, "sounds");
  for (const char *ground : {"grass", "forest", "gravel", "snow"}) {
    std::string base = std::string("sounds/step") + (what[0] == 'd' ? "s_" + std::string(ground) + ".def" : "_" + std::string(ground) + "_");
    if (what[0] == 'd') ok = ok && file_write(game_data_path(g, base), text);
    else
      for (int i = 1; i <= 3; i++) ok = ok && file_write(game_data_path(g, base + std::to_string(i) + ".wav"), text);
  }
  return ok;
}

const fatal_case k_cases[] = {
    {"fragment_shader", [](game *g) { return not_glsl(g, "terrain.fs"); },
     {"error: \\w+#[0-9]+: failed to compile fragment shader shader/terrain.fs: .{3,}"}},
    {"vertex_shader", [](game *g) { return not_glsl(g, "wobj.vs"); },
     {"error: \\w+#[0-9]+: failed to compile vertex shader shader/wobj.vs: .{3,}"}},
    {"missing_shader", [](game *g) { return fs::remove(game_shader_path(g, "snow.fs")); },
     {"error: ureadf#[0-9]+: failed to open shader/snow.fs"}},
    // both stages compile but disagree on a varying: the program does not link
    {"link", [](game *g) {
       return shader_edit(g, "skybox.vs", "varying vec3 v_dir;", "varying vec4 v_dir;") &&
              shader_edit(g, "skybox.vs", "v_dir = gl_Vertex.xyz;", "v_dir = gl_Vertex;");
     },
     {"error: \\w+#[0-9]+: failed to link shader program \\(shader/skybox.vs,shader/skybox.fs\\):"}},
    {"missing_height_map", [](game *g) { return fs::remove(game_data_path(g, "hm.bmp")); }, // not "Parameter 'src' is invalid"
     {"error: init#[0-9]+: SDL_LoadBMP: .*data/hm\\.bmp"}},
    {"missing_sky_face", [](game *g) { return game_own_data(g, "skybox") && fs::remove(game_data_path(g, "skybox/front.png")); },
     {"error: .*failed to open skybox/front.png"}},
    {"wrong_images", wrong_images,
     {"warning: init#[0-9]+: \"data/hm.bmp\" is a palette image: its pixels hold no height and the terrain will be flat "
      "\\(save it as a 24-bit image\\)",
      "warning: load_cubemap#[0-9]+: cube map face skybox/top.png is 16x16, expected 64x64",
      "error: parse_index#[0-9]+: failed to open data/index"}},
    {"tree_key_missing", [](game *g) { return game_edit(g, "trees/oak.pg", "br_count", "br_cnt"); },
     {"error: cfg_get_string#[0-9]+: br_count doesn't exist"}},
    {"tree_file_missing", [](game *g) { return game_edit(g, "index", "pg trees/oak.pg", "pg trees/none.pg"); },
     {"error: ufopen#[0-9]+: failed to open .*trees/none.pg"}},
    {"tree_texture_missing", [](game *g) { return game_edit(g, "index", "object oak\nfile textures/oak.png\n", "object oak\n"); },
     {"error: process_pgparam#[0-9]+: missing texture"}},
    {"footstep_definition", [](game *g) { return each_step(g, "definition", "sound1 sounds/step_grass_1.wav\nvolume loud\n"); },
     {"error: cfg_get_vec2#[0-9]+: volume type error"}, true},
    {"step_sound", [](game *g) { return each_step(g, "sound", "RIFF, but no wave"); }, {"error: snd_load#[0-9]+: Mix_LoadWAV: .+"}, true},
};

void PrintTo(const fatal_case &c, std::ostream *os) { *os << c.name; }

class fatal : public game_test, public ::testing::WithParamInterface<fatal_case> {};

TEST_P(fatal, message_box_and_status_1) {
  const fatal_case &c = GetParam();
  ASSERT_TRUE(c.edit(&g)) << "the edit did not apply; the file changed?";
  if (c.walk) {
    start_running();
    ASSERT_TRUE(game_click(&g, 400, 240)) << game_report(&g);
    game_click(&g, 400, 240, 1, 1000); // the box comes at the first step
  } else {
    ASSERT_TRUE(game_start(&g));
  }
  expect_fatal();
  // each expected line, and no other warning or error
  std::string err = game_stderr(&g);
  for (const char *l : c.lines) EXPECT_TRUE(std::regex_search(err, std::regex(std::string("(^|\n)") + l + "\n"))) << l << "\n" << err;
  std::regex any("(^|\n)(warning|error): \\w+#[0-9]+: ");
  EXPECT_EQ(std::distance(std::sregex_iterator(err.begin(), err.end(), any), std::sregex_iterator()), (long)c.lines.size()) << err;
}

INSTANTIATE_TEST_SUITE_P(edit, fatal, ::testing::ValuesIn(k_cases),
                         [](const ::testing::TestParamInfo<fatal_case> &i) { return std::string(i.param.name); });

} // namespace
