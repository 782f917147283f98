// The sixteen shader sources: each pair compiles and links on this driver, declares the uniforms
// the drawing code sets with the types it sets them with, and the terrain takes its fog right.
#include <GL/glew.h>
#include <GL/glu.h>
#include <SDL.h>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "proc.h"

namespace {

struct pair_want {
  const char *vs, *fs;
  std::vector<std::pair<const char *, GLenum>> uniforms;
};

// The rows of the game's shader table and what its drawing passes set on each program:
// glUniform1f/3f/Matrix4fv need float types, glUniform1i an int or a sampler.
const std::vector<pair_want> k_pairs = {
    {"generic.vs", "flat_color.fs", {}},
    {"flat_image.vs", "flat_image.fs", {}},
    {"wobj.vs", "wobj.fs",
     {{"wdir", GL_FLOAT_VEC3}, {"wstr", GL_FLOAT}, {"tex", GL_SAMPLER_2D},
      {"cubemap", GL_SAMPLER_CUBE}, {"camera_matrix", GL_FLOAT_MAT4}, {"cam_height", GL_FLOAT}}},
    {"grass.vs", "grass.fs", {{"campos", GL_FLOAT_VEC3}, {"wdir", GL_FLOAT_VEC3}, {"wstr", GL_FLOAT}}},
    {"terrain.vs", "terrain.fs", {}},
    {"skybox.vs", "skybox.fs",
     {{"time", GL_FLOAT}, {"camdir", GL_FLOAT_VEC3}, {"sundir", GL_FLOAT_VEC3}}},
    {"snow.vs", "snow.fs", {{"time", GL_INT}, {"randrad", GL_FLOAT}}},
    {"postproc.vs", "postproc.fs", {{"framebuffer", GL_SAMPLER_2D}, {"clut", GL_SAMPLER_3D}}},
};

// One hidden window on the suite's display, its context kept until the process ends.
class shaders : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
    SDL_Window *win = SDL_CreateWindow("shader check", 0, 0, 64, 64, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    ASSERT_TRUE(win && SDL_GL_CreateContext(win)) << SDL_GetError();
    ASSERT_EQ(glewInit(), (GLenum)GLEW_OK);
  }
};

// Builds the pair's program; 0 on failure, with the driver's logs in *log.
GLuint link(const pair_want &p, std::string *log) {
  GLuint prg = glCreateProgram();
  char text[4096];
  for (const char *file : {p.vs, p.fs}) {
    std::string src = file_read(std::string(E2E_SHADER_DIR) + "/" + file);
    const char *s = src.c_str();
    GLuint sh = glCreateShader(file == p.vs ? GL_VERTEX_SHADER : GL_FRAGMENT_SHADER);
    glShaderSource(sh, 1, &s, nullptr);
    glCompileShader(sh);
    glGetShaderInfoLog(sh, sizeof text, nullptr, text);
    *log += std::string(file) + ": " + text + "\n";
    glAttachShader(prg, sh);
    glDeleteShader(sh);
  }
  GLint ok = 0;
  glLinkProgram(prg);
  glGetProgramiv(prg, GL_LINK_STATUS, &ok);
  glGetProgramInfoLog(prg, sizeof text, nullptr, text);
  *log += text;
  if (!ok) glDeleteProgram(prg);
  return ok ? prg : 0;
}

TEST_F(shaders, every_pair_links_with_the_uniforms_the_game_sets) {
  for (const pair_want &p : k_pairs) {
    std::string log;
    GLuint prg = link(p, &log);
    EXPECT_NE(prg, 0u) << p.vs << " + " << p.fs << ":\n" << log;
    for (auto &u : p.uniforms) {
      GLuint at = GL_INVALID_INDEX;
      GLint type = 0; // an absent one (unused or misspelt) stays 0
      if (prg) glGetUniformIndices(prg, 1, &u.first, &at);
      if (at != GL_INVALID_INDEX) glGetActiveUniformsiv(prg, 1, &at, GL_UNIFORM_TYPE, &type);
      EXPECT_EQ((GLenum)type, u.second) << p.vs << " + " << p.fs << ": uniform \"" << u.first << "\"";
    }
    glDeleteProgram(prg);
  }
}

// Draws green quads (four corners each, x y z) with the program into a w x h RGBA8 target under
// the projection and reads the target back.
std::vector<uint8_t> render(GLuint prg, int w, int h, void (*projection)(void), const std::vector<std::vector<float>> &quads) {
  GLuint fb, target;
  glGenTextures(1, &target);
  glBindTexture(GL_TEXTURE_2D, target);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, w, h, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
  glGenFramebuffers(1, &fb);
  glBindFramebuffer(GL_FRAMEBUFFER, fb);
  glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, target, 0);
  glViewport(0, 0, w, h);
  glClear(GL_COLOR_BUFFER_BIT);
  glUseProgram(prg);
  // the terrain's texture: one green texel
  const uint8_t green[4] = {0, 200, 0, 255};
  glBindTexture(GL_TEXTURE_2D, 0);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, green);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  projection();
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glColor4f(1, 1, 1, 1);
  for (const std::vector<float> &q : quads) {
    glBegin(GL_QUADS);
    for (int i = 0; i < 4; i++) glVertex3fv(&q[3 * i]);
    glEnd();
  }
  std::vector<uint8_t> px((size_t)w * h * 4);
  glReadPixels(0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, px.data());
  glUseProgram(0);
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  glDeleteFramebuffers(1, &fb);
  glDeleteTextures(1, &target);
  return px;
}

// Terrain, grass and world items take their fog from the fixed-function state: linear fog
// toward gl_Fog.color when world loading turned it on, no fog at all when it left it alone.
TEST_F(shaders, terrain_fog_follows_the_fixed_function_state) {
  std::string log;
  GLuint prg = link(k_pairs[4], &log); // terrain
  ASSERT_NE(prg, 0u) << log;
  // two quads facing the camera, one 5 units away (left pixel), one 95 (right pixel)
  auto pair = [&] {
    return render(prg, 2, 1, [] { glFrustum(-0.1, 0.1, -0.05, 0.05, 0.1, 200); },
                  {{-5, -5, -5, 0, -5, -5, 0, 5, -5, -5, 5, -5}, {0, -95, -95, 95, -95, -95, 95, 95, -95, 0, 95, -95}});
  };
  std::vector<uint8_t> px = pair(); // fog state untouched
  EXPECT_NEAR(px[1], 200, 2) << "near quad";
  EXPECT_NEAR(px[5], 200, 2) << "far quad fogged though fog was never set up";

  const float fog[4] = {0.5f, 0.25f, 1.0f, 1.0f}, none[4] = {0, 0, 0, 0};
  glFogi(GL_FOG_MODE, GL_LINEAR);
  glFogfv(GL_FOG_COLOR, fog);
  glFogf(GL_FOG_START, 20);
  glFogf(GL_FOG_END, 80);
  px = pair();
  const int want[8] = {0, 200, 0, 255, 128, 64, 255, 255}; // near: inside the fog start; far: beyond its end
  for (int i = 0; i < 7; i++)
    EXPECT_NEAR(px[i], i == 3 ? px[3] : want[i], 2) << "byte " << i; // byte 3: alpha, any

  // One floor quad from under the camera to 300 units ahead: its corners are all far away,
  // yet the floor just below the camera must stay clear (the distance is per fragment).
  px = render(prg, 1, 64, [] { gluPerspective(60, 1.0 / 64, 0.1, 500); }, {{-300, -1, 0, 300, -1, 0, 300, -1, -300, -300, -1, -300}});
  EXPECT_NEAR(px[1], 200, 2) << "the floor right below the camera is fogged";
  // the row below the horizon sees the floor about 120 units away
  EXPECT_NEAR(px[4 * 31 + 2], 255, 2) << "the floor near the horizon is not fogged";
  glFogfv(GL_FOG_COLOR, none);
  glDeleteProgram(prg);
}

} // namespace
