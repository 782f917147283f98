// GL test runner: one hidden window with a compatibility context for every test.
#include "tests/gl/gltest.h"
#include <GL/glew.h>
#include <SDL.h>
#include <gtest/gtest.h>
#include <cstdio>

static SDL_Window *test_window;

int main(int argc, char **argv) {
  testing::InitGoogleTest(&argc, argv);
  if (SDL_Init(SDL_INIT_VIDEO) != 0) {
    fprintf(stderr, "SDL_Init: %s\n", SDL_GetError());
    return 1;
  }
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
  test_window = SDL_CreateWindow("gl tests", 0, 0, 64, 64, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
  SDL_GLContext ctx = test_window ? SDL_GL_CreateContext(test_window) : nullptr;
  if (!ctx) {
    fprintf(stderr, "no GL context: %s\n", SDL_GetError());
    return 1;
  }
  glewExperimental = GL_TRUE;
  if (glewInit() != GLEW_OK) {
    fprintf(stderr, "glewInit failed\n");
    return 1;
  }
  int rc = RUN_ALL_TESTS();
  SDL_GL_DeleteContext(ctx);
  SDL_DestroyWindow(test_window);
  SDL_Quit();
  return rc;
}

GlTarget::GlTarget(int size) : size(size) {
  glGenFramebuffers(1, &fbo);
  glGenRenderbuffers(2, rb);
  glBindRenderbuffer(GL_RENDERBUFFER, rb[0]);
  glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, size, size);
  glBindRenderbuffer(GL_RENDERBUFFER, rb[1]);
  glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, size, size);
  glBindFramebuffer(GL_FRAMEBUFFER, fbo);
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, rb[0]);
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, rb[1]);
  glViewport(0, 0, size, size);
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

GlTarget::~GlTarget() {
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  glDeleteFramebuffers(1, &fbo);
  glDeleteRenderbuffers(2, rb);
}

uint32_t GlTarget::pixel(int x, int y) const {
  uint8_t p[4];
  glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
  return uint32_t(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3];
}

std::vector<uint32_t> tex_level_rgba(uint32_t target, int level) {
  GLint w = 0, h = 0;
  glGetTexLevelParameteriv(target, level, GL_TEXTURE_WIDTH, &w);
  glGetTexLevelParameteriv(target, level, GL_TEXTURE_HEIGHT, &h);
  std::vector<uint8_t> raw((size_t)w * h * 4);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGetTexImage(target, level, GL_RGBA, GL_UNSIGNED_BYTE, raw.data());
  std::vector<uint32_t> out((size_t)w * h);
  for (size_t i = 0; i < out.size(); i++)
    out[i] = uint32_t(raw[i * 4]) << 24 | raw[i * 4 + 1] << 16 | raw[i * 4 + 2] << 8 | raw[i * 4 + 3];
  return out;
}

void save_solid_png(const std::string &path, int w, int h, uint32_t rgba, int depth) {
  Uint32 fmt = depth == 24 ? SDL_PIXELFORMAT_RGB24 : SDL_PIXELFORMAT_ABGR8888;
  SDL_Surface *s = SDL_CreateRGBSurfaceWithFormat(0, w, h, depth, fmt);
  SDL_FillRect(s, nullptr, SDL_MapRGBA(s->format, rgba >> 24, rgba >> 16 & 0xFF, rgba >> 8 & 0xFF, rgba & 0xFF));
  IMG_SavePNG(s, path.c_str());
  SDL_FreeSurface(s);
}
