// Shader programs: compile and link the fixed table at start; recompile one source on reload.
#include "render/shader.h"
#include "core/file.h"
#include "core/fmon.h"
#include "core/util.h"
#include <GL/glew.h>
#include <cstdlib>
#include <cstring>

shader_row g_shader_table[PRG_COUNT] = {
    {{"shader/generic.vs", "shader/flat_color.fs", nullptr}, nullptr},
    {{"shader/flat_image.vs", "shader/flat_image.fs", nullptr}, nullptr},
    {{"shader/wobj.vs", "shader/wobj.fs", nullptr}, nullptr},
    {{"shader/grass.vs", "shader/grass.fs", nullptr}, nullptr},
    {{"shader/terrain.vs", "shader/terrain.fs", nullptr}, nullptr},
    {{"shader/skybox.vs", "shader/skybox.fs", nullptr}, nullptr},
    {{"shader/snow.vs", "shader/snow.fs", nullptr}, nullptr},
    {{"shader/postproc.vs", "shader/postproc.fs", nullptr}, nullptr},
};

static char *info_log(GLuint obj, bool program) {
  GLint n = 0;
  if (program) glGetProgramiv(obj, GL_INFO_LOG_LENGTH, &n);
  else glGetShaderiv(obj, GL_INFO_LOG_LENGTH, &n);
  if (n < 1) n = 1;
  char *log = (char *)umalloc((size_t)n);
  log[0] = 0;
  if (program) glGetProgramInfoLog(obj, n, nullptr, log);
  else glGetShaderInfoLog(obj, n, nullptr, log);
  return log;
}

static bool is_vertex(const char *path) {
  size_t len = strlen(path);
  return len >= 2 && strcmp(path + len - 2, "vs") == 0;
}

uint32_t compile_shader(const char *path, int fatal) {
  size_t size;
  char *src = ureadf(path, &size);
  bool vertex = is_vertex(path);
  GLuint sh = glCreateShader(vertex ? GL_VERTEX_SHADER : GL_FRAGMENT_SHADER);
  const GLchar *text = src;
  GLint text_len = (GLint)size;
  glShaderSource(sh, 1, &text, &text_len);
  glCompileShader(sh);
  GLint ok = 0;
  glGetShaderiv(sh, GL_COMPILE_STATUS, &ok);
  free(src);
  if (ok) return sh;
  char *log = info_log(sh, false);
  const char *kind = vertex ? "vertex" : "fragment";
  if (fatal) uerror("failed to compile %s shader %s: %s", kind, path, log);
  uwarn("failed to compile %s shader %s: %s", kind, path, log);
  free(log);
  glDeleteShader(sh);
  return 0;
}

void prg_create(void) {
  for (shader_row &row : g_shader_table) {
    prg *p = (prg *)ucalloc(1, sizeof *p);
    p->id = glCreateProgram();
    p->count = 0;
    for (const char *const *path = row.paths; *path; path++) {
      prg_shader &e = p->shaders[p->count++];
      e.id = compile_shader(*path, 1);
      size_t n = strlen(*path) + 1;
      e.path = (char *)umalloc(n);
      memcpy(e.path, *path, n);
      e.mtime = ufmodtime(*path);
      glAttachShader(p->id, e.id);
      e.fmon = fmon_register(e.path, reload_prog, p);
    }
    glLinkProgram(p->id);
    GLint ok = 0;
    glGetProgramiv(p->id, GL_LINK_STATUS, &ok);
    if (!ok) uerror("failed to link shader program (%s,%s):\n%s", row.paths[0], row.paths[1], info_log(p->id, true));
    row.program = p;
  }
}

// The new source is compiled and linked into a new program beside the old one; the record switches
// only when it links, so a failed edit (unreadable, not compiling, not linking) warns and the old
// program stays in use. The next good save reloads normally.
void reload_prog(const char *path, void *record) {
  prg *p = (prg *)record;
  int32_t slot = -1;
  for (uint32_t i = 0; i < p->count && slot < 0; i++)
    if (strcmp(p->shaders[i].path, path) == 0) slot = (int32_t)i;
  if (slot < 0) return;
  uint32_t sh = 0;
  if (!utry([&] { sh = compile_shader(path, 0); }) || !sh) return;
  GLuint id = glCreateProgram();
  for (uint32_t i = 0; i < p->count; i++) glAttachShader(id, (int32_t)i == slot ? sh : p->shaders[i].id);
  glLinkProgram(id);
  GLint ok = 0;
  glGetProgramiv(id, GL_LINK_STATUS, &ok);
  if (!ok) {
    char *log = info_log(id, true);
    uwarn("failed to link shader program (%s,%s):\n%s", p->shaders[0].path, p->count > 1 ? p->shaders[1].path : "", log);
    free(log);
    glDeleteProgram(id);
    glDeleteShader(sh);
    return;
  }
  glDeleteProgram(p->id); // deferred by GL while it is still current
  glDeleteShader(p->shaders[slot].id);
  p->shaders[slot].id = sh;
  p->id = id;
}

void prg_use(int row) {
  prg *p = g_shader_table[row].program;
  glUseProgram(p ? p->id : 0);
}
