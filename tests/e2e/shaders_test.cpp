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

// Two samplers of different kinds on one unit make every draw fail; the game puts the
// world item texture on unit 0 and the environment cube map on unit 1.
TEST_F(shaders, sampler_units_as_the_game_binds_them_validate) {
  struct unit_set {
    const char *vs, *fs;
    std::vector<std::pair<const char *, int>> units;
  } sets[] = {
      {"wobj.vs", "wobj.fs", {{"tex", 0}, {"cubemap", 1}}},
      {"postproc.vs", "postproc.fs", {{"framebuffer", 0}, {"clut", 1}}},
      {"skybox.vs", "skybox.fs", {}},
  };
  for (const unit_set &s : sets) {
    std::string log;
    GLuint prg = link({s.vs, s.fs, {}}, &log);
    ASSERT_NE(prg, 0u) << log;
    glUseProgram(prg);
    for (auto &u : s.units) glUniform1i(glGetUniformLocation(prg, u.first), u.second);
    glValidateProgram(prg);
    GLint ok = 0;
    glGetProgramiv(prg, GL_VALIDATE_STATUS, &ok);
    EXPECT_TRUE(ok) << s.vs << " + " << s.fs;
    glUseProgram(0);
    glDeleteProgram(prg);
  }
}

// A small RGBA8 target to draw into and read back.
struct offscreen {
  GLuint fb = 0, tex = 0;
  int w = 0, h = 0;
};

static void offscreen_begin(offscreen *o, int w, int h) {
  o->w = w, o->h = h;
  glGenTextures(1, &o->tex);
  glBindTexture(GL_TEXTURE_2D, o->tex);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, w, h, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
  glGenFramebuffers(1, &o->fb);
  glBindFramebuffer(GL_FRAMEBUFFER, o->fb);
  glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, o->tex, 0);
  glViewport(0, 0, w, h);
  glClearColor(0, 0, 0, 0);
  glClear(GL_COLOR_BUFFER_BIT);
}

static std::vector<uint8_t> offscreen_end(offscreen *o) {
  std::vector<uint8_t> px((size_t)o->w * o->h * 4);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, o->w, o->h, GL_RGBA, GL_UNSIGNED_BYTE, px.data());
  glUseProgram(0);
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  glDeleteFramebuffers(1, &o->fb);
  glDeleteTextures(1, &o->tex);
  return px;
}

static GLuint texture_2d(int w, int h, const void *rgb) {
  GLuint t;
  glGenTextures(1, &t);
  glBindTexture(GL_TEXTURE_2D, t);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB8, w, h, 0, GL_RGB, GL_UNSIGNED_BYTE, rgb);
  return t;
}

// Terrain, grass and world items take their fog from the fixed-function state: linear fog
// toward gl_Fog.color when world loading turned it on, no fog at all when it left it alone.
TEST_F(shaders, terrain_fog_follows_the_fixed_function_state) {
  std::string log;
  GLuint prg = link(k_pairs[4], &log); // terrain
  ASSERT_NE(prg, 0u) << log;
  const uint8_t green[3] = {0, 200, 0};
  GLuint tex = texture_2d(1, 1, green);

  // two quads facing the camera, one 5 units away (left half), one 95 (right half)
  auto draw = [&]() {
    offscreen o;
    offscreen_begin(&o, 2, 1);
    glUseProgram(prg);
    glBindTexture(GL_TEXTURE_2D, tex);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glFrustum(-0.1, 0.1, -0.05, 0.05, 0.1, 200);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glColor4f(1, 1, 1, 1);
    for (float z : {5.0f, 95.0f}) {
      float x0 = z == 5.0f ? -z : 0, x1 = z == 5.0f ? 0 : z;
      glBegin(GL_QUADS);
      glTexCoord2f(0, 0); glVertex3f(x0, -z, -z);
      glTexCoord2f(1, 0); glVertex3f(x1, -z, -z);
      glTexCoord2f(1, 1); glVertex3f(x1, z, -z);
      glTexCoord2f(0, 1); glVertex3f(x0, z, -z);
      glEnd();
    }
    return offscreen_end(&o);
  };

  std::vector<uint8_t> px = draw(); // fog state untouched
  EXPECT_NEAR(px[1], 200, 2) << "near quad";
  EXPECT_NEAR(px[5], 200, 2) << "far quad fogged though fog was never set up";

  const float fog[4] = {0.5f, 0.25f, 1.0f, 1.0f};
  glFogi(GL_FOG_MODE, GL_LINEAR);
  glFogfv(GL_FOG_COLOR, fog);
  glFogf(GL_FOG_START, 20);
  glFogf(GL_FOG_END, 80);
  px = draw();
  EXPECT_NEAR(px[0], 0, 2) << "near quad, inside the fog start";
  EXPECT_NEAR(px[1], 200, 2) << "near quad, inside the fog start";
  EXPECT_NEAR(px[4], 128, 2) << "far quad, beyond the fog end";
  EXPECT_NEAR(px[5], 64, 2) << "far quad, beyond the fog end";
  EXPECT_NEAR(px[6], 255, 2) << "far quad, beyond the fog end";

  // One floor quad from under the camera to 300 units ahead: its corners are all far away,
  // yet the floor just below the camera must stay clear (the distance is per fragment).
  {
    offscreen o;
    offscreen_begin(&o, 1, 64);
    glUseProgram(prg);
    glBindTexture(GL_TEXTURE_2D, tex);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(60, 1.0 / 64, 0.1, 500);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0); glVertex3f(-300, -1, 0);
    glTexCoord2f(1, 0); glVertex3f(300, -1, 0);
    glTexCoord2f(1, 1); glVertex3f(300, -1, -300);
    glTexCoord2f(0, 1); glVertex3f(-300, -1, -300);
    glEnd();
    px = offscreen_end(&o);
    EXPECT_NEAR(px[1], 200, 2) << "the floor right below the camera is fogged";
    // the row below the horizon sees the floor about 120 units away
    EXPECT_NEAR(px[4 * 31 + 2], 255, 2) << "the floor near the horizon is not fogged";
  }

  const float none[4] = {0, 0, 0, 0};
  glFogfv(GL_FOG_COLOR, none);
  glDeleteTextures(1, &tex);
  glDeleteProgram(prg);
}

} // namespace
