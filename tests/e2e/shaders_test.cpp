// The sixteen shader sources: each pair compiles and links on this driver, declares the uniforms
// the drawing code sets with the types it sets them with, and the terrain takes its fog right.
#include <GL/glew.h>
#include <GL/glu.h>
#include <SDL.h>
#include <cmath>
#include <gtest/gtest.h>
#include <map>
#include <string>
#include <vector>

#include "proc.h"

namespace {

struct uniform_want {
  const char *name;
  GLenum type;
};

struct pair_want {
  const char *vs, *fs;
  std::vector<uniform_want> uniforms;
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

class shaders : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
    win_ = SDL_CreateWindow("shader check", 0, 0, 64, 64, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    ASSERT_NE(win_, nullptr) << SDL_GetError();
    ctx_ = SDL_GL_CreateContext(win_);
    ASSERT_NE(ctx_, nullptr) << SDL_GetError();
    ASSERT_EQ(glewInit(), (GLenum)GLEW_OK);
  }
  static void TearDownTestSuite() {
    SDL_GL_DeleteContext(ctx_);
    SDL_DestroyWindow(win_);
    SDL_Quit();
  }

  // Compiles one source; the driver's log goes to *log.
  static GLuint compile(const std::string &file, GLenum type, std::string *log) {
    std::string src = file_read(std::string(E2E_SHADER_DIR) + "/" + file);
    if (src.empty()) return *log = "missing or empty", 0;
    GLuint sh = glCreateShader(type);
    const char *p = src.c_str();
    GLint len = (GLint)src.size();
    glShaderSource(sh, 1, &p, &len);
    glCompileShader(sh);
    GLint ok = 0;
    char text[4096] = "";
    glGetShaderiv(sh, GL_COMPILE_STATUS, &ok);
    glGetShaderInfoLog(sh, sizeof text, nullptr, text);
    *log = text;
    if (!ok) glDeleteShader(sh);
    return ok ? sh : 0;
  }

  static GLuint link(const pair_want &p, std::string *log) {
    GLuint vs = compile(p.vs, GL_VERTEX_SHADER, log), fs = vs ? compile(p.fs, GL_FRAGMENT_SHADER, log) : 0;
    if (!fs) return *log = std::string(vs ? p.fs : p.vs) + ": " + *log, 0;
    GLuint prg = glCreateProgram();
    glAttachShader(prg, vs);
    glAttachShader(prg, fs);
    glLinkProgram(prg);
    GLint ok = 0;
    char text[4096] = "";
    glGetProgramiv(prg, GL_LINK_STATUS, &ok);
    glGetProgramInfoLog(prg, sizeof text, nullptr, text);
    *log = text;
    glDeleteShader(vs);
    glDeleteShader(fs);
    if (!ok) glDeleteProgram(prg);
    return ok ? prg : 0;
  }

  static std::map<std::string, GLenum> active_uniforms(GLuint prg) {
    std::map<std::string, GLenum> out;
    GLint n = 0;
    glGetProgramiv(prg, GL_ACTIVE_UNIFORMS, &n);
    for (GLint i = 0; i < n; i++) {
      char name[256];
      GLsizei len = 0;
      GLint size = 0;
      GLenum type = 0;
      glGetActiveUniform(prg, (GLuint)i, sizeof name, &len, &size, &type, name);
      out[std::string(name, len)] = type;
    }
    return out;
  }

  static SDL_Window *win_;
  static SDL_GLContext ctx_;
};
SDL_Window *shaders::win_;
SDL_GLContext shaders::ctx_;

TEST_F(shaders, every_pair_links_with_the_uniforms_the_game_sets) {
  for (const pair_want &p : k_pairs) {
    std::string log;
    GLuint prg = link(p, &log);
    EXPECT_NE(prg, 0u) << p.vs << " + " << p.fs << ":\n" << log;
    std::map<std::string, GLenum> got = active_uniforms(prg);
    for (const uniform_want &u : p.uniforms) {
      // an absent one (unused or misspelt) reads as type 0
      EXPECT_EQ(got[u.name], u.type) << p.vs << " + " << p.fs << ": uniform \"" << u.name << "\"";
    }
    glDeleteProgram(prg);
  }
}

// Draws textured quads (four corners each, x y z) with the program into a w x h RGBA8 target under
// the projection and reads the target back.
static std::vector<uint8_t> render(GLuint prg, GLuint tex, int w, int h, void (*projection)(void),
                                   const std::vector<std::vector<float>> &quads) {
  GLuint fb, target;
  glGenTextures(1, &target);
  glBindTexture(GL_TEXTURE_2D, target);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, w, h, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
  glGenFramebuffers(1, &fb);
  glBindFramebuffer(GL_FRAMEBUFFER, fb);
  glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, target, 0);
  glViewport(0, 0, w, h);
  glClearColor(0, 0, 0, 0);
  glClear(GL_COLOR_BUFFER_BIT);
  glUseProgram(prg);
  glBindTexture(GL_TEXTURE_2D, tex);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  projection();
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glColor4f(1, 1, 1, 1);
  const float uv[8] = {0, 0, 1, 0, 1, 1, 0, 1};
  for (const std::vector<float> &q : quads) {
    glBegin(GL_QUADS);
    for (int i = 0; i < 4; i++) glTexCoord2f(uv[2 * i], uv[2 * i + 1]), glVertex3f(q[3 * i], q[3 * i + 1], q[3 * i + 2]);
    glEnd();
  }
  std::vector<uint8_t> px((size_t)w * h * 4);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
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
  GLuint prg = link(k_pairs[4], &log), tex; // terrain
  ASSERT_NE(prg, 0u) << log;
  const uint8_t green[3] = {0, 200, 0};
  glGenTextures(1, &tex);
  glBindTexture(GL_TEXTURE_2D, tex);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB8, 1, 1, 0, GL_RGB, GL_UNSIGNED_BYTE, green);
  // two quads facing the camera, one 5 units away (left pixel), one 95 (right pixel)
  auto pair = [&] {
    return render(prg, tex, 2, 1, [] { glFrustum(-0.1, 0.1, -0.05, 0.05, 0.1, 200); },
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
    if (i != 3) EXPECT_NEAR(px[i], want[i], 2) << "byte " << i;

  // One floor quad from under the camera to 300 units ahead: its corners are all far away,
  // yet the floor just below the camera must stay clear (the distance is per fragment).
  px = render(prg, tex, 1, 64, [] { gluPerspective(60, 1.0 / 64, 0.1, 500); },
              {{-300, -1, 0, 300, -1, 0, 300, -1, -300, -300, -1, -300}});
  EXPECT_NEAR(px[1], 200, 2) << "the floor right below the camera is fogged";
  // the row below the horizon sees the floor about 120 units away
  EXPECT_NEAR(px[4 * 31 + 2], 255, 2) << "the floor near the horizon is not fogged";
  glFogfv(GL_FOG_COLOR, none);
  glDeleteTextures(1, &tex);
  glDeleteProgram(prg);
}

} // namespace
