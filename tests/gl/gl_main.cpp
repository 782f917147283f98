// GL test runner: one hidden window with a compatibility context shared by every test.
#include "tests/gl/gltest.h"
#include "core/params.h"
#include <GL/glew.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

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
  glGenRenderbuffers(1, &depth), glBindRenderbuffer(GL_RENDERBUFFER, depth);
  glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, w, h);
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depth);
  glViewport(0, 0, w, h);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glMatrixMode(GL_PROJECTION), glLoadIdentity(), gluPerspective(60, (double)w / h, 0.1, 1000);
  glMatrixMode(GL_MODELVIEW), glLoadIdentity();
}

GlTarget::~GlTarget() {
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  glDeleteFramebuffers(1, &fbo), glDeleteRenderbuffers(1, &rb), glDeleteRenderbuffers(1, &depth);
  i_screen_w = old_w, i_screen_h = old_h;
}

uint32_t GlTarget::pixel(int x, int y) const {
  uint8_t p[4];
  glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
  return uint32_t(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3];
}
