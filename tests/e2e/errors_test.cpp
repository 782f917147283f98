// Fatal errors seen from outside: one stderr line, a box titled "Error", status 1 once it is closed.
#include "fixture.h"
#include "proc.h"

#include <SDL.h>
#include <SDL_image.h>
#include <cstdio>
#include <filesystem>
#include <regex>

namespace {

class errors : public game_test {
 protected:
  // Starts the game, expects the error box, checks the process waits for it, closes it and
  // expects status 1 without a clean quit. The stderr text is returned.
  std::string run_to_error_box() {
    EXPECT_TRUE(game_start(&g));
    xw_id box = error_box_wait(E2E_BOX_MS);
    EXPECT_NE(box, 0u) << "no error box; stderr:\n" << game_stderr(&g);
    if (!box) return game_stderr(&g);
    proc_sleep_ms(300);
    EXPECT_TRUE(game_running(&g)) << "the process did not wait for the box";
    image img;
    if (xw_capture(box, &img)) img_save(img, g.dir + "/error-box"); // for a human to read
    EXPECT_TRUE(error_box_close(box)) << "the box did not close";
    EXPECT_TRUE(game_wait_exit(&g, E2E_EXIT_MS)) << "still running after the box; killed";
    EXPECT_EQ(g.exit_code, 1);
    EXPECT_EQ(game_stdout(&g).find("game_main: exit"), std::string::npos);
    return game_stderr(&g);
  }
};

struct broken_source {
  const char *file, *kind;
};

class compile_errors : public errors, public ::testing::WithParamInterface<broken_source> {};

TEST_P(compile_errors, syntax_error_names_the_stage_path_and_log) {
  std::string path = game_shader_path(&g, GetParam().file);
  std::string src = file_read(path);
  // right after the #version line, so the compiler itself (not the preprocessor) objects
  size_t at = src.find("#version");
  ASSERT_NE(at, std::string::npos);
  at = src.find('\n', at) + 1;
  ASSERT_TRUE(file_write(path, src.substr(0, at) + "this is not glsl;\n" + src.substr(at)));
  std::string err = run_to_error_box();
  // "error: FUNC#LINE: failed to compile fragment shader shader/terrain.fs: <log>"
  std::regex line(std::string("(^|\\n)error: \\w+#[0-9]+: failed to compile ") + GetParam().kind +
                  " shader shader/" + GetParam().file + ": (.+)");
  std::smatch m;
  ASSERT_TRUE(std::regex_search(err, m, line)) << err;
  EXPECT_GT(m[2].length(), 3) << "no compiler log in: " << err;
}

INSTANTIATE_TEST_SUITE_P(stage, compile_errors,
                         ::testing::Values(broken_source{"terrain.fs", "fragment"},
                                           broken_source{"wobj.vs", "vertex"}),
                         [](const ::testing::TestParamInfo<broken_source> &i) {
                           std::string n = i.param.file;
                           for (char &c : n)
                             if (c == '.') c = '_';
                           return n;
                         });

TEST_F(errors, missing_shader_file_is_named) {
  ASSERT_EQ(std::remove(game_shader_path(&g, "snow.fs").c_str()), 0);
  std::string err = run_to_error_box();
  EXPECT_TRUE(std::regex_search(err, std::regex("(^|\\n)error: ureadf#[0-9]+: failed to open shader/snow.fs\\n")))
      << err;
}

// Both stages compile but disagree on a varying: the program does not link.
TEST_F(errors, link_error_names_both_sources_and_the_log) {
  std::string path = game_shader_path(&g, "skybox.vs");
  std::string src = file_read(path);
  size_t at = src.find("varying vec3 v_dir;");
  ASSERT_NE(at, std::string::npos) << "skybox.vs changed; update this test";
  src.replace(at, 19, "varying vec4 v_dir;");
  at = src.find("v_dir = gl_Vertex.xyz;");
  ASSERT_NE(at, std::string::npos);
  src.replace(at, 22, "v_dir = gl_Vertex;");
  ASSERT_TRUE(file_write(path, src));
  std::string err = run_to_error_box();
  EXPECT_NE(err.find("failed to link shader program (shader/skybox.vs,shader/skybox.fs):\n"),
            std::string::npos)
      << err;
}

} // namespace

// A world made with the wrong image settings: the loader says what is wrong with each file on
// its way to the first fatal one. An 8-bit height map warns that the terrain will be flat, a
// sky face of another size is named alone, and a missing catalogue ends the start.
TEST_F(errors, a_broken_world_says_what_is_wrong_with_each_file) {
  if (!game_has_world()) GTEST_SKIP() << "no generated world";
  namespace fs = std::filesystem;
  std::string data = g.dir + "/" + g.data, sky = data + "/skybox";
  fs::path world_sky = fs::read_symlink(sky);
  ASSERT_TRUE(fs::remove(sky) && fs::create_directory(sky));
  for (const fs::directory_entry &e : fs::directory_iterator(world_sky))
    if (e.path().filename() != "top.png") fs::create_symlink(e.path(), sky + "/" + e.path().filename().string());
  SDL_Surface *face = SDL_CreateRGBSurfaceWithFormat(0, 16, 16, 32, SDL_PIXELFORMAT_ABGR8888);
  SDL_Surface *pal = SDL_CreateRGBSurfaceWithFormat(0, 8, 8, 8, SDL_PIXELFORMAT_INDEX8);
  ASSERT_EQ(IMG_SavePNG(face, (sky + "/top.png").c_str()), 0);
  fs::remove(data + "/hm.bmp");
  ASSERT_EQ(SDL_SaveBMP(pal, (data + "/hm.bmp").c_str()), 0);
  SDL_FreeSurface(face);
  SDL_FreeSurface(pal);
  fs::remove(data + "/index");
  std::string err = run_to_error_box();
  EXPECT_TRUE(std::regex_search(err, std::regex("(^|\\n)warning: init#[0-9]+: \"data/hm.bmp\" is a palette image: its pixels "
                                                "hold no height and the terrain will be flat \\(save it as a 24-bit image\\)\\n")))
      << err;
  EXPECT_TRUE(std::regex_search(err, std::regex("(^|\\n)warning: load_cubemap#[0-9]+: cube map face skybox/top.png is 16x16, expected 64x64\\n")))
      << err;
  EXPECT_EQ(std::regex_replace(err, std::regex("[^\\n]*skybox/top.png[^\\n]*\\n"), "").find("cube map face"), std::string::npos) << err;
  EXPECT_TRUE(std::regex_search(err, std::regex("(^|\\n)error: parse_index#[0-9]+: failed to open data/index\\n$"))) << err;
}
