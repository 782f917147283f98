// GL test runner: one hidden window with a compatibility context shared by every test.
#include "tests/gl/gltest.h"
#include "core/params.h"
#include "render/shader.h"
#include <GL/glew.h>
#include <GL/glu.h>
#include <gtest/gtest.h>
#include <unistd.h>

int main(int argc, char **argv) {
  testing::InitGoogleTest(&argc, argv);
  SDL_Init(SDL_INIT_VIDEO);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
  SDL_Window *w = SDL_CreateWindow("gl tests", 0, 0, 64, 64, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
  glewExperimental = GL_TRUE;
  if (!w || !SDL_GL_CreateContext(w) || glewInit() != GLEW_OK) return fprintf(stderr, "no GL context: %s\n", SDL_GetError()), 1;
  return RUN_ALL_TESTS();
}

GlTarget::GlTarget(int w, int h) : old_w(i_screen_w), old_h(i_screen_h) {
  i_screen_w = w, i_screen_h = h = h ? h : w;
  glGenFramebuffers(1, &fbo), glGenRenderbuffers(1, &rb);
  glBindFramebuffer(GL_FRAMEBUFFER, fbo), glBindRenderbuffer(GL_RENDERBUFFER, rb);
  glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, w, h);
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, rb);
  glViewport(0, 0, w, h);
  glClear(GL_COLOR_BUFFER_BIT);
  glMatrixMode(GL_PROJECTION), glLoadIdentity(), gluPerspective(60, (double)w / h, 0.1, 1000);
  glMatrixMode(GL_MODELVIEW), glLoadIdentity();
}

GlTarget::~GlTarget() {
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  glDeleteFramebuffers(1, &fbo), glDeleteRenderbuffers(1, &rb);
  i_screen_w = old_w, i_screen_h = old_h;
}

static uint32_t rgba(const uint8_t *p) { return uint32_t(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3]; }

uint32_t GlTarget::pixel(int x, int y) const {
  uint8_t p[4];
  glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
  return rgba(p);
}

uint32_t texel(uint32_t target, int x, int y) {
  GLint w = 0, h = 0;
  glGetTexLevelParameteriv(target, 0, GL_TEXTURE_WIDTH, &w), glGetTexLevelParameteriv(target, 0, GL_TEXTURE_HEIGHT, &h);
  std::vector<uint8_t> p((size_t)w * h * 4 + 4);
  glGetTexImage(target, 0, GL_RGBA, GL_UNSIGNED_BYTE, p.data());
  return rgba(&p[((size_t)y * w + x) * 4]);
}

void save_png(const std::string &path, int w, int h, uint32_t c, int depth) {
  SDL_Surface *s = SDL_CreateRGBSurfaceWithFormat(0, w, h, depth, depth == 8 ? SDL_PIXELFORMAT_INDEX8 : depth == 24 ? SDL_PIXELFORMAT_RGB24 : SDL_PIXELFORMAT_ABGR8888);
  SDL_Color one = {Uint8(c >> 24), Uint8(c >> 16), Uint8(c >> 8), Uint8(c)};
  if (depth == 8) SDL_SetPaletteColors(s->format->palette, &one, 0, 1);
  SDL_FillRect(s, nullptr, depth == 8 ? 0 : SDL_MapRGBA(s->format, one.r, one.g, one.b, one.a));
  IMG_SavePNG(s, path.c_str());
  SDL_FreeSurface(s);
}

void put_pixels(int w, int h, const std::vector<uint8_t> &rgb) {
  glUseProgram(0), glDisable(GL_DEPTH_TEST), glDisable(GL_TEXTURE_2D), glDisable(GL_FOG);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1), glWindowPos2i(0, 0);
  glDrawPixels(w, h, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
}

std::vector<uint8_t> read_rgb(int w, int h) {
  std::vector<uint8_t> px((size_t)w * h * 3);
  glPixelStorei(GL_PACK_ALIGNMENT, 1), glReadPixels(0, 0, w, h, GL_RGB, GL_UNSIGNED_BYTE, px.data());
  return glPixelStorei(GL_PACK_ALIGNMENT, 4), px;
}

void build_programs(void) {
  static bool built = false;
  char cwd[1024];
  if (built || !getcwd(cwd, sizeof cwd) || chdir(VELDER_SOURCE_DIR) != 0) return;
  prg_create();
  built = chdir(cwd) == 0;
}
