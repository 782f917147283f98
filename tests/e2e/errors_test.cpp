// Fatal errors seen from outside: one stderr line, a box titled "Error", status 1 once it is closed.
#include "fixture.h"
#include "proc.h"

#include <cstdio>
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
