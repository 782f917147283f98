// Shader warm-up on a second context: the state notes taken in the game's frame, and the worker
// that draws a new program once under each of them.
#include "render/warm.h"
#include "core/util.h"
#include <GL/glew.h>
#include <SDL.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

static SDL_Window *warm_window; // hidden, 1 x 1, made with the main window's attributes
static SDL_GLContext warm_context;
static std::atomic<bool> warm_running;

struct warm_job {
  char *sources[WARM_MAX_SOURCES];
  uint32_t types[WARM_MAX_SOURCES];
  int n;
  warm_list list;
};

bool warm_init(void) {
  SDL_Window *main_window = SDL_GL_GetCurrentWindow();
  SDL_GLContext main_context = SDL_GL_GetCurrentContext();
  if (!main_window || !main_context) return false;
  warm_window = SDL_CreateWindow("", 0, 0, 1, 1, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
  if (warm_window) warm_context = SDL_GL_CreateContext(warm_window);
  SDL_GL_MakeCurrent(main_window, main_context);
  if (warm_context) return true;
  uinfo("shader warm-up unavailable (%s): a reloaded shader compiles at its first draw", SDL_GetError());
  if (warm_window) SDL_DestroyWindow(warm_window);
  warm_window = nullptr;
  return false;
}

bool warm_available(void) { return warm_context != nullptr; }

// The internal format of a frame buffer attachment, 0 when there is none.
static int32_t attachment_format(GLuint fb, GLenum attachment) {
  GLint type = GL_NONE, name = 0, format = 0;
  glGetNamedFramebufferAttachmentParameteriv(fb, attachment, GL_FRAMEBUFFER_ATTACHMENT_OBJECT_TYPE, &type);
  if (type == GL_NONE) return 0;
  glGetNamedFramebufferAttachmentParameteriv(fb, attachment, GL_FRAMEBUFFER_ATTACHMENT_OBJECT_NAME, &name);
  if (type == GL_TEXTURE) glGetTextureLevelParameteriv((GLuint)name, 0, GL_TEXTURE_INTERNAL_FORMAT, &format);
  else glGetNamedRenderbufferParameteriv((GLuint)name, GL_RENDERBUFFER_INTERNAL_FORMAT, &format);
  return format;
}

static void note_samplers(GLuint prog, warm_state *s) {
  GLint n = 0;
  glGetProgramiv(prog, GL_ACTIVE_UNIFORMS, &n);
  for (GLint i = 0; i < n && s->nsamplers < WARM_MAX_UNITS; i++) {
    char name[32];
    GLint size;
    GLenum type;
    glGetActiveUniform(prog, (GLuint)i, sizeof name, nullptr, &size, &type, name);
    GLenum target = type == GL_SAMPLER_2D ? GL_TEXTURE_2D : type == GL_SAMPLER_CUBE ? GL_TEXTURE_CUBE_MAP
                    : type == GL_SAMPLER_3D ? GL_TEXTURE_3D : 0;
    if (!target) continue;
    warm_sampler &w = s->samplers[s->nsamplers++];
    memset(&w, 0, sizeof w);
    usnprintf(w.name, sizeof w.name, "%s", name);
    w.target = target;
    glGetUniformiv(prog, glGetUniformLocation(prog, name), &w.unit);
    GLint tex = 0;
    GLenum binding = target == GL_TEXTURE_2D ? GL_TEXTURE_BINDING_2D
                     : target == GL_TEXTURE_CUBE_MAP ? GL_TEXTURE_BINDING_CUBE_MAP : GL_TEXTURE_BINDING_3D;
    GLint active = GL_TEXTURE0;
    glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
    glActiveTexture(GL_TEXTURE0 + (GLenum)w.unit);
    glGetIntegerv(binding, &tex);
    glActiveTexture((GLenum)active);
    if (!tex) continue;
    glGetTextureLevelParameteriv((GLuint)tex, 0, GL_TEXTURE_INTERNAL_FORMAT, &w.format);
    const GLenum dims[3] = {GL_TEXTURE_WIDTH, GL_TEXTURE_HEIGHT, GL_TEXTURE_DEPTH};
    for (int d = 0; d < 3; d++) {
      GLint n = 1;
      glGetTextureLevelParameteriv((GLuint)tex, 0, dims[d], &n);
      w.npot[d] = n > 0 && (n & (n - 1)) != 0;
    }
    GLint w1 = 0;
    glGetTextureLevelParameteriv((GLuint)tex, 1, GL_TEXTURE_WIDTH, &w1);
    w.levels = w1 > 0;
    glGetTextureParameteriv((GLuint)tex, GL_TEXTURE_MIN_FILTER, &w.filter[0]);
    glGetTextureParameteriv((GLuint)tex, GL_TEXTURE_MAG_FILTER, &w.filter[1]);
    glGetTextureParameteriv((GLuint)tex, GL_TEXTURE_WRAP_S, &w.wrap[0]);
    glGetTextureParameteriv((GLuint)tex, GL_TEXTURE_WRAP_T, &w.wrap[1]);
    glGetTextureParameteriv((GLuint)tex, GL_TEXTURE_WRAP_R, &w.wrap[2]);
  }
}

static const GLenum array_caps[WARM_ARRAYS] = {GL_VERTEX_ARRAY, GL_NORMAL_ARRAY, GL_COLOR_ARRAY, GL_TEXTURE_COORD_ARRAY};

static void note_arrays(warm_state *s) {
  static const GLenum q[WARM_ARRAYS][5] = {
      {GL_VERTEX_ARRAY_SIZE, GL_VERTEX_ARRAY_TYPE, GL_VERTEX_ARRAY_STRIDE, GL_VERTEX_ARRAY_BUFFER_BINDING, GL_VERTEX_ARRAY_POINTER},
      {0, GL_NORMAL_ARRAY_TYPE, GL_NORMAL_ARRAY_STRIDE, GL_NORMAL_ARRAY_BUFFER_BINDING, GL_NORMAL_ARRAY_POINTER},
      {GL_COLOR_ARRAY_SIZE, GL_COLOR_ARRAY_TYPE, GL_COLOR_ARRAY_STRIDE, GL_COLOR_ARRAY_BUFFER_BINDING, GL_COLOR_ARRAY_POINTER},
      {GL_TEXTURE_COORD_ARRAY_SIZE, GL_TEXTURE_COORD_ARRAY_TYPE, GL_TEXTURE_COORD_ARRAY_STRIDE,
       GL_TEXTURE_COORD_ARRAY_BUFFER_BINDING, GL_TEXTURE_COORD_ARRAY_POINTER}};
  GLint buffers[WARM_ARRAYS] = {};
  for (int i = 0; i < WARM_ARRAYS; i++) {
    warm_array &a = s->arrays[i];
    if (!glIsEnabled(array_caps[i])) continue;
    a.size = 3;
    if (q[i][0]) glGetIntegerv(q[i][0], &a.size);
    glGetIntegerv(q[i][1], &a.type);
    glGetIntegerv(q[i][2], &a.stride);
    glGetIntegerv(q[i][3], &buffers[i]);
    void *p = nullptr;
    glGetPointerv(q[i][4], &p);
    a.offset = buffers[i] ? (int32_t)(uintptr_t)p : 0;
    a.group = buffers[i] ? i : -1;
    for (int k = 0; k < i && buffers[i]; k++)
      if (buffers[k] == buffers[i]) a.group = s->arrays[k].group, k = i;
  }
}

void warm_note(warm_list *l, const char *vertex) {
  if (l->count == WARM_MAX_STATES) return;
  warm_state s;
  memset(&s, 0, sizeof s); // compared bytewise
  if (vertex) usnprintf(s.vertex, sizeof s.vertex, "%s", vertex);
  else note_arrays(&s);
  GLint v = 0, prog = 0;
  glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &v);
  if (v) {
    s.colour_format = attachment_format((GLuint)v, GL_COLOR_ATTACHMENT0);
    s.depth_format = attachment_format((GLuint)v, GL_DEPTH_ATTACHMENT);
  }
  s.depth_test = glIsEnabled(GL_DEPTH_TEST);
  s.alpha_test = glIsEnabled(GL_ALPHA_TEST);
  s.blend = glIsEnabled(GL_BLEND);
  GLboolean b[4];
  glGetBooleanv(GL_DEPTH_WRITEMASK, b);
  s.depth_mask = b[0];
  glGetBooleanv(GL_COLOR_WRITEMASK, b);
  for (int i = 0; i < 4; i++) s.colour_mask[i] = b[i];
  glGetIntegerv(GL_DEPTH_FUNC, &s.depth_func);
  glGetIntegerv(GL_ALPHA_TEST_FUNC, &s.alpha_func);
  const GLenum funcs[4] = {GL_BLEND_SRC_RGB, GL_BLEND_DST_RGB, GL_BLEND_SRC_ALPHA, GL_BLEND_DST_ALPHA};
  for (int i = 0; i < 4; i++) glGetIntegerv(funcs[i], &s.blend_func[i]);
  glGetIntegerv(GL_BLEND_EQUATION_RGB, &s.blend_eq);
  glGetIntegerv(GL_CURRENT_PROGRAM, &prog);
  if (prog) note_samplers((GLuint)prog, &s);
  for (int i = 0; i < l->count; i++)
    if (memcmp(&l->states[i], &s, sizeof s) == 0) return;
  l->states[l->count++] = s;
}

static GLuint warm_program(const warm_job &j) {
  GLuint prog = glCreateProgram();
  for (int i = 0; i < j.n; i++) {
    GLuint sh = glCreateShader(j.types[i]);
    glShaderSource(sh, 1, &j.sources[i], nullptr);
    glCompileShader(sh);
    glAttachShader(prog, sh);
    glDeleteShader(sh); // goes with the program
  }
  glLinkProgram(prog);
  GLint ok = 0;
  glGetProgramiv(prog, GL_LINK_STATUS, &ok);
  if (!ok) glDeleteProgram(prog);
  return ok ? prog : 0;
}

// A small texture like the one a sampler read: its format, filters and wrapping, sides that are
// powers of two or not as its were, and one level or a chain (complete under any filter).
static GLuint warm_texture(const warm_sampler &w) {
  GLuint t;
  glGenTextures(1, &t);
  glActiveTexture(GL_TEXTURE0 + (GLenum)w.unit);
  glBindTexture(w.target, t);
  static const uint8_t px[4 * 27] = {}; // up to 3 x 3 x 3
  GLint format = w.format ? w.format : GL_RGBA8;
  int n[3];
  for (int d = 0; d < 3; d++) n[d] = w.npot[d] ? 3 : w.levels ? 2 : 1;
  if (w.target != GL_TEXTURE_3D) n[2] = 1;
  if (w.target == GL_TEXTURE_CUBE_MAP) n[1] = n[0];
  for (int level = 0; level <= (w.levels ? 1 : 0); level++) {
    int lw = n[0] >> level > 0 ? n[0] >> level : 1, lh = n[1] >> level > 0 ? n[1] >> level : 1;
    int ld = n[2] >> level > 0 ? n[2] >> level : 1;
    if (w.target == GL_TEXTURE_3D) {
      glTexImage3D(GL_TEXTURE_3D, level, format, lw, lh, ld, 0, GL_RGBA, GL_UNSIGNED_BYTE, px);
    } else if (w.target == GL_TEXTURE_CUBE_MAP) {
      for (int f = 0; f < 6; f++)
        glTexImage2D(GL_TEXTURE_CUBE_MAP_POSITIVE_X + (GLenum)f, level, format, lw, lw, 0, GL_RGBA, GL_UNSIGNED_BYTE, px);
    } else {
      glTexImage2D(GL_TEXTURE_2D, level, format, lw, lh, 0, GL_RGBA, GL_UNSIGNED_BYTE, px);
    }
  }
  if (w.levels) glTexParameteri(w.target, GL_TEXTURE_MAX_LEVEL, 1);
  if (w.filter[0]) glTexParameteri(w.target, GL_TEXTURE_MIN_FILTER, w.filter[0]);
  if (w.filter[1]) glTexParameteri(w.target, GL_TEXTURE_MAG_FILTER, w.filter[1]);
  const GLenum wraps[3] = {GL_TEXTURE_WRAP_S, GL_TEXTURE_WRAP_T, GL_TEXTURE_WRAP_R};
  for (int i = 0; i < 3; i++)
    if (w.wrap[i]) glTexParameteri(w.target, wraps[i], w.wrap[i]);
  glActiveTexture(GL_TEXTURE0);
  return t;
}

static void gl_set(GLenum cap, bool on) { on ? glEnable(cap) : glDisable(cap); }

// One triangle over the whole target, its vertices given as the real draw gave them.
static void warm_vertices(const warm_state &s) {
  static const float corner[3][4] = {{-1, -1, 0, 1}, {3, -1, 0, 1}, {-1, 3, 0, 1}};
  if (s.vertex[0]) {
    bool list = s.vertex[0] == 'L'; // a display list holds its vertices in a layout of its own
    GLuint id = list ? glGenLists(1) : 0;
    if (list) glNewList(id, GL_COMPILE);
    glBegin(GL_TRIANGLES);
    for (const float *c : corner)
      for (const char *v = s.vertex + list; v[0] && v[1]; v += 2) {
        int n = v[1] - '0';
        switch (v[0]) {
        case 't': n == 3 ? glTexCoord3fv(c) : n == 4 ? glTexCoord4fv(c) : glTexCoord2fv(c); break;
        case 'c': n == 4 ? glColor4fv(c) : glColor3fv(c); break;
        case 'n': glNormal3fv(c); break;
        default: n == 2 ? glVertex2fv(c) : n == 4 ? glVertex4fv(c) : glVertex3fv(c); break;
        }
      }
    glEnd();
    if (list) {
      glEndList();
      glCallList(id);
      glDeleteLists(id, 1);
    }
    return;
  }
  // the arrays in buffers grouped as they were, at their offsets; the vertex array gets the corners
  static uint8_t client[WARM_ARRAYS][3 * 64];
  GLuint buffers[WARM_ARRAYS] = {};
  uint8_t data[WARM_ARRAYS][1024 + 3 * 64];
  memset(data, 0, sizeof data);
  memset(client, 0, sizeof client);
  for (int i = 0; i < WARM_ARRAYS; i++) {
    const warm_array &a = s.arrays[i];
    if (!a.size || a.offset < 0 || a.offset > 1024 || a.stride < 0 || a.stride > 64) continue;
    int elem = a.type == GL_FLOAT ? 4 : a.type == GL_DOUBLE ? 8 : a.type == GL_SHORT ? 2 : a.type == GL_INT ? 4 : 1;
    int stride = a.stride ? a.stride : a.size * elem;
    uint8_t *base = a.group < 0 ? client[i] : data[a.group] + a.offset;
    for (int v = 0; v < 3 && i == WARM_ARRAY_VERTEX && a.type == GL_FLOAT && stride >= a.size * 4; v++)
      memcpy(base + v * stride, corner[v], (size_t)a.size * 4);
  }
  for (int i = 0; i < WARM_ARRAYS; i++) {
    const warm_array &a = s.arrays[i];
    if (!a.size || a.offset < 0 || a.offset > 1024 || a.stride < 0 || a.stride > 64) continue;
    glEnableClientState(array_caps[i]);
    const void *p = a.group < 0 ? (const void *)client[i] : (const void *)(uintptr_t)a.offset;
    if (a.group >= 0) {
      if (!buffers[a.group]) {
        glGenBuffers(1, &buffers[a.group]);
        glBindBuffer(GL_ARRAY_BUFFER, buffers[a.group]);
        glBufferData(GL_ARRAY_BUFFER, sizeof data[0], data[a.group], GL_STATIC_DRAW);
      }
      glBindBuffer(GL_ARRAY_BUFFER, buffers[a.group]);
    } else {
      glBindBuffer(GL_ARRAY_BUFFER, 0);
    }
    switch (i) {
    case WARM_ARRAY_VERTEX: glVertexPointer(a.size, (GLenum)a.type, a.stride, p); break;
    case WARM_ARRAY_NORMAL: glNormalPointer((GLenum)a.type, a.stride, p); break;
    case WARM_ARRAY_COLOR: glColorPointer(a.size, (GLenum)a.type, a.stride, p); break;
    default: glTexCoordPointer(a.size, (GLenum)a.type, a.stride, p); break;
    }
  }
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  // drawn both ways: the note does not say whether the draw had an index buffer
  glDrawArrays(GL_TRIANGLES, 0, 3);
  static const GLuint index[3] = {0, 1, 2};
  GLuint ibo;
  glGenBuffers(1, &ibo);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, ibo);
  glBufferData(GL_ELEMENT_ARRAY_BUFFER, sizeof index, index, GL_STATIC_DRAW);
  glDrawRangeElements(GL_TRIANGLES, 0, 2, 3, GL_UNSIGNED_INT, nullptr);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
  glDeleteBuffers(1, &ibo);
  for (int i = 0; i < WARM_ARRAYS; i++) glDisableClientState(array_caps[i]);
  glDeleteBuffers(WARM_ARRAYS, buffers);
}

static void warm_draw(GLuint prog, const warm_state &s) {
  GLuint fb = 0, colour = 0, depth = 0, tex[WARM_MAX_UNITS] = {};
  if (s.colour_format || s.depth_format) {
    glGenFramebuffers(1, &fb);
    glBindFramebuffer(GL_FRAMEBUFFER, fb);
    if (s.colour_format) {
      glGenRenderbuffers(1, &colour);
      glBindRenderbuffer(GL_RENDERBUFFER, colour);
      glRenderbufferStorage(GL_RENDERBUFFER, (GLenum)s.colour_format, 1, 1);
      glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colour);
    }
    if (s.depth_format) {
      glGenRenderbuffers(1, &depth);
      glBindRenderbuffer(GL_RENDERBUFFER, depth);
      glRenderbufferStorage(GL_RENDERBUFFER, (GLenum)s.depth_format, 1, 1);
      glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depth);
    }
  } else {
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
  }
  glViewport(0, 0, 1, 1);
  glDepthMask(GL_TRUE);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  gl_set(GL_DEPTH_TEST, s.depth_test);
  gl_set(GL_ALPHA_TEST, s.alpha_test);
  gl_set(GL_BLEND, s.blend);
  glDepthMask(s.depth_mask);
  glColorMask(s.colour_mask[0], s.colour_mask[1], s.colour_mask[2], s.colour_mask[3]);
  glDepthFunc((GLenum)s.depth_func);
  glAlphaFunc((GLenum)s.alpha_func, 0.5f);
  glBlendFuncSeparate((GLenum)s.blend_func[0], (GLenum)s.blend_func[1], (GLenum)s.blend_func[2], (GLenum)s.blend_func[3]);
  glBlendEquation((GLenum)s.blend_eq);
  glUseProgram(prog);
  for (int i = 0; i < s.nsamplers; i++) {
    tex[i] = warm_texture(s.samplers[i]);
    glUniform1i(glGetUniformLocation(prog, s.samplers[i].name), s.samplers[i].unit);
  }
  // The current colour reaches the vertex stage in the size of the call that last changed it
  // (glColor3f or glColor4f); a colour given just before glBegin, with no state change between,
  // even joins the vertices as an attribute. The note cannot tell which: each is drawn.
  for (int joined = 0; joined < (s.vertex[0] ? 2 : 1); joined++) {
    glColor4f(0.5f, 0.5f, 0.5f, 0.5f);
    if (!joined) glFlush(); // made current
    warm_vertices(s);
    glColor3f(1, 1, 1);
    if (!joined) glFlush();
    warm_vertices(s);
  }
  glFinish();
  glUseProgram(0);
  glDeleteTextures(WARM_MAX_UNITS, tex);
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  if (fb) glDeleteFramebuffers(1, &fb);
  if (colour) glDeleteRenderbuffers(1, &colour);
  if (depth) glDeleteRenderbuffers(1, &depth);
}

static void warm_run(warm_job *j) {
  // below the game's own threads: the frames keep their pace, the switch comes a little later
  setpriority(PRIO_PROCESS, (id_t)syscall(SYS_gettid), 19);
  if (SDL_GL_MakeCurrent(warm_window, warm_context) == 0) {
    GLuint prog = warm_program(*j);
    for (int i = 0; prog && i < j->list.count; i++) warm_draw(prog, j->list.states[i]);
    if (prog) glDeleteProgram(prog);
    SDL_GL_MakeCurrent(warm_window, nullptr);
  }
  for (int i = 0; i < j->n; i++) free(j->sources[i]);
  delete j;
  warm_running.store(false, std::memory_order_release);
}

bool warm_start(const char *const *sources, const uint32_t *types, int n, const warm_list *l) {
  if (!warm_context || warm_running.load(std::memory_order_acquire)) return false;
  warm_job *j = new warm_job();
  j->n = n < WARM_MAX_SOURCES ? n : WARM_MAX_SOURCES;
  for (int i = 0; i < j->n; i++) {
    size_t len = strlen(sources[i]) + 1;
    j->sources[i] = (char *)umalloc(len);
    memcpy(j->sources[i], sources[i], len);
    j->types[i] = types[i];
  }
  j->list = *l;
  warm_running.store(true, std::memory_order_release);
  std::thread(warm_run, j).detach();
  return true;
}

bool warm_busy(bool wait) {
  while (wait && warm_running.load(std::memory_order_acquire)) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  return warm_running.load(std::memory_order_acquire);
}
