// Test helper: buffer-object calls answered without a context, counting the buffers alive.
#pragma once
#include <GL/glew.h>

// While one exists, glGenBuffers hands out names, glDeleteBuffers takes them back and binds and
// uploads do nothing; the previous entry points come back when it goes.
struct FakeBuffers {
  static inline int live = 0;
  static inline GLuint next = 1;
  static inline GLuint array_bound = 0, element_bound = 0; // what glBindBuffer left bound
  PFNGLGENBUFFERSPROC gen = __glewGenBuffers;
  PFNGLDELETEBUFFERSPROC del = __glewDeleteBuffers;
  PFNGLBINDBUFFERPROC bind = __glewBindBuffer;
  PFNGLBUFFERDATAPROC data = __glewBufferData;
  FakeBuffers() {
    live = 0;
    __glewGenBuffers = [](GLsizei n, GLuint *ids) {
      for (GLsizei i = 0; i < n; i++) ids[i] = next++, live++;
    };
    __glewDeleteBuffers = [](GLsizei n, const GLuint *) { live -= n; };
    __glewBindBuffer = [](GLenum target, GLuint id) { (target == GL_ARRAY_BUFFER ? array_bound : element_bound) = id; };
    __glewBufferData = [](GLenum, GLsizeiptr, const void *, GLenum) {};
  }
  ~FakeBuffers() {
    __glewGenBuffers = gen;
    __glewDeleteBuffers = del;
    __glewBindBuffer = bind;
    __glewBufferData = data;
  }
};
